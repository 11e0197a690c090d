// The script proxy of a movie stream, the Lua class "newStream": an Ogg
// Theora member of the document, kept in the controller's stream list.
#include <cfloat>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Stream.h"
#include "model/MDL_Texture.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Luna.h"
#include "scripting/LMP_ResourceProxy.h"
#include "scripting/LMP_Sample.h"
#include "scripting/LMP_Texture.h"

class LMP_Stream : public LMP_Proxy {
public:
    static const LMP_Class<LMP_Stream> binding;

    explicit LMP_Stream(MDL_Stream *stream) : LMP_Proxy(stream)
    {
        if (stream != nullptr)
            stream->m_oProxyHandle.bind(this);
    }
    ~LMP_Stream() override
    {
        if (getStream() != nullptr)
            LMP_forgetProxy(this, getStream()->m_oProxyHandle);
    }

    static LMP_Stream *create(lua_State *L);
    MDL_Stream *getStream() const { return static_cast<MDL_Stream *>(m_poObject); }

    int destroy(lua_State *L); // "delete"
    int getDuration(lua_State *L);
    int getSample(lua_State *L);
    int getTexture(lua_State *L);
    int getTime(lua_State *L);
    int getCurrentFrame(lua_State *L);
    int pause(lua_State *L);
    int play(lua_State *L);
    int seek(lua_State *L);
    int isPlaying(lua_State *L);
};

// newStream(name [, filter]): a movie of the controller's list over the
// document's member of that name; its frame texture takes the filter given
// (default 0).
LMP_Stream *LMP_Stream::create(lua_State *L)
{
    const char *name = nullptr;
    int32_t filter = MDL_FILTER_DEFAULT;
    if (!LMP_iCheckArgs(L, "S|I", &name, &filter))
        return new LMP_Stream(nullptr);
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return new LMP_Stream(nullptr);
    MDL_Stream *stream = controller->addStream(name);
    if (stream == nullptr) {
        LMP_iReportError(L, "File %s not found", name);
        return new LMP_Stream(nullptr);
    }
    if (stream->getTexture() != nullptr)
        stream->getTexture()->m_iFilter = static_cast<uint32_t>(filter);
    return new LMP_Stream(stream);
}

// Deletes a stream of the controller's list (with its frame texture unless
// that was handed over). Extra arguments are reported and the stream goes
// all the same.
int LMP_Stream::destroy(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Stream *stream = getStream();
    CTRL_Generic *controller = LMP_poController(L);
    if (stream == nullptr || controller == nullptr)
        return 0;
    LMP_unbindProxy(this, stream->m_oProxyHandle);
    controller->removeStream(stream); // nothing for a stream that is not listed
    return 0;
}

int LMP_Stream::getDuration(lua_State *L)
{
    MDL_Stream *stream = getStream();
    if (stream == nullptr)
        return 0;
    lua_pushnumber(L, stream->getDuration());
    return 1;
}

// The movie's own audio: a proxy that only stands for it (deleting it
// leaves the audio to the movie).
int LMP_Stream::getSample(lua_State *L)
{
    MDL_Stream *stream = getStream();
    if (stream == nullptr)
        return 0;
    return LMP_Luna<LMP_Sample>::pushObject(L, stream->getSample());
}

// The frame texture (nil for a movie without pictures).
int LMP_Stream::getTexture(lua_State *L)
{
    MDL_Stream *stream = getStream();
    if (stream == nullptr)
        return 0;
    return LMP_Luna<LMP_Texture>::pushObject(L, stream->getTexture());
}

int LMP_Stream::getTime(lua_State *L)
{
    MDL_Stream *stream = getStream();
    if (stream == nullptr)
        return 0;
    lua_pushnumber(L, stream->getTime());
    return 1;
}

int LMP_Stream::getCurrentFrame(lua_State *L)
{
    MDL_Stream *stream = getStream();
    if (stream == nullptr)
        return 0;
    lua_pushinteger(L, stream->getCurrentFrame());
    return 1;
}

int LMP_Stream::pause(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Stream *stream = getStream();
    if (stream != nullptr)
        stream->pause();
    return 0;
}

int LMP_Stream::play(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Stream *stream = getStream();
    if (stream != nullptr)
        stream->play();
    return 0;
}

int LMP_Stream::seek(lua_State *L)
{
    double seconds = 0;
    if (!LMP_iCheckArgs(L, "N", &seconds))
        return 0;
    MDL_Stream *stream = getStream();
    if (stream == nullptr)
        return 0;
    stream->seek(LMP_fToSingle(seconds));
    return 0;
}

int LMP_Stream::isPlaying(lua_State *L)
{
    MDL_Stream *stream = getStream();
    if (stream == nullptr)
        return 0;
    lua_pushboolean(L, !stream->isPaused());
    return 1;
}

static const LMP_Method<LMP_Stream> s_aoMethods[] = {
    {"delete", &LMP_Stream::destroy},
    {"getDuration", &LMP_Stream::getDuration},
    {"getSample", &LMP_Stream::getSample},
    {"getTexture", &LMP_Stream::getTexture},
    {"getTime", &LMP_Stream::getTime},
    {"getCurrentFrame", &LMP_Stream::getCurrentFrame},
    {"pause", &LMP_Stream::pause},
    {"play", &LMP_Stream::play},
    {"seek", &LMP_Stream::seek},
    {"isPlaying", &LMP_Stream::isPlaying},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Stream> LMP_Stream::binding = {"newStream", LMP_NO_TYPE_CODE, false, s_aoMethods};

void LMP_registerStream(lua_State *L)
{
    LMP_Luna<LMP_Stream>::registerClass(L);
}
