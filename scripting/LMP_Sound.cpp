// The script proxy of a sound object, the Lua class "newSound": an object
// class with the 41 rows of "newObject" first, then its own.
#include <lua.hpp>

#include "model/MDL_ObjectTypes.h"
#include "model/MDL_Sample.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Sound.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Sample.h"

class LMP_Sound : public LMP_Object {
public:
    static const LMP_Class<LMP_Sound, LMP_Object> binding;

    explicit LMP_Sound(MDL_Object *object) : LMP_Object(object) {}

    // newSound(scene | object [, sample]).
    static LMP_Sound *create(lua_State *L);
    const char *getClassName() const override { return "newSound"; }

    // The bound sound while it is alive and not flagged deleted (null for
    // an object of another kind).
    MDL_Sound *getSound() const { return dynamic_cast<MDL_Sound *>(getLiveObject()); }

    int setSample(lua_State *L);
    int getVolume(lua_State *L);
    int setVolume(lua_State *L);
    int getLooping(lua_State *L);
    int setLooping(lua_State *L);
    int seek(lua_State *L);
    int getTime(lua_State *L);
    int setAutoDelete(lua_State *L);
    int getAutoDelete(lua_State *L);
};

LMP_Sound *LMP_Sound::create(lua_State *L)
{
    MDL_Scene *scene = nullptr;
    MDL_Object *parent = nullptr;
    int n = placeNewObject(L, binding.m_sClassName, &scene, &parent);
    // The sample argument is checked before anything is made, so that its
    // argument error leaves nothing half built.
    MDL_Sample *sample = n >= 2 ? LMP_Sample::checkSample(L, 2) : nullptr;
    if (scene == nullptr)
        return new LMP_Sound(nullptr);
    MDL_Sound *sound = new MDL_Sound();
    if (n >= 2)
        sound->setSample(sample);
    return new LMP_Sound(addNewObject(scene, parent, sound, true));
}

// The last argument must be a "newSample" proxy (else the argument error is
// raised); the sound plays its sample, none when that proxy is unbound.
int LMP_Sound::setSample(lua_State *L)
{
    int top = lua_gettop(L);
    MDL_Sample *sample = LMP_Sample::checkSample(L, top > 0 ? top : 1);
    MDL_Sound *sound = getSound();
    if (sound == nullptr)
        return 0;
    sound->setSample(sample);
    return 0;
}

int LMP_Sound::getVolume(lua_State *L)
{
    MDL_Sound *sound = getSound();
    if (sound == nullptr)
        return 0;
    lua_pushnumber(L, sound->getVolume());
    return 1;
}

int LMP_Sound::setVolume(lua_State *L)
{
    double volume = 0;
    if (!LMP_iCheckArgs(L, "N", &volume))
        return 0;
    MDL_Sound *sound = getSound();
    if (sound == nullptr)
        return 0;
    sound->setVolume(volume);
    return 0;
}

int LMP_Sound::getLooping(lua_State *L)
{
    MDL_Sound *sound = getSound();
    if (sound == nullptr)
        return 0;
    lua_pushboolean(L, sound->getLooping());
    return 1;
}

int LMP_Sound::setLooping(lua_State *L)
{
    bool looping = false;
    if (!LMP_iCheckArgs(L, "B", &looping))
        return 0;
    MDL_Sound *sound = getSound();
    if (sound == nullptr)
        return 0;
    sound->setLooping(looping);
    return 0;
}

// The play offset := seconds x the sample's rate, truncated, and kept within
// the sample (from its first frame to its end), so that the mixer never reads
// past it. Nothing without a sample.
int LMP_Sound::seek(lua_State *L)
{
    double seconds = 0;
    if (!LMP_iCheckArgs(L, "N", &seconds))
        return 0;
    MDL_Sound *sound = getSound();
    if (sound == nullptr || sound->getSample() == nullptr)
        return 0;
    sound->seek(seconds);
    int frames = sound->getSample()->getFrameCount();
    if (sound->m_iPlayOffset > frames)
        sound->m_iPlayOffset = frames;
    if (sound->m_iPlayOffset < 0)
        sound->m_iPlayOffset = 0;
    return 0;
}

int LMP_Sound::getTime(lua_State *L)
{
    MDL_Sound *sound = getSound();
    if (sound == nullptr)
        return 0;
    lua_pushnumber(L, sound->getTime());
    return 1;
}

int LMP_Sound::setAutoDelete(lua_State *L)
{
    bool autoDelete = false;
    if (!LMP_iCheckArgs(L, "B", &autoDelete))
        return 0;
    MDL_Sound *sound = getSound();
    if (sound == nullptr)
        return 0;
    sound->setAutoDelete(autoDelete);
    return 0;
}

int LMP_Sound::getAutoDelete(lua_State *L)
{
    MDL_Sound *sound = getSound();
    if (sound == nullptr)
        return 0;
    lua_pushboolean(L, sound->getAutoDelete());
    return 1;
}

static const LMP_Method<LMP_Sound> s_aoMethods[] = {
    {"setSample", &LMP_Sound::setSample},
    {"getVolume", &LMP_Sound::getVolume},
    {"setVolume", &LMP_Sound::setVolume},
    {"getLooping", &LMP_Sound::getLooping},
    {"setLooping", &LMP_Sound::setLooping},
    {"seek", &LMP_Sound::seek},
    {"getTime", &LMP_Sound::getTime},
    {"setAutoDelete", &LMP_Sound::setAutoDelete},
    {"getAutoDelete", &LMP_Sound::getAutoDelete},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Sound, LMP_Object> LMP_Sound::binding = {"newSound", OBJECT_SOUND, true, s_aoMethods};

void LMP_registerSound(lua_State *L)
{
    LMP_Luna<LMP_Sound>::registerClass(L);
}
