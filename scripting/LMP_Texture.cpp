#include "scripting/LMP_Texture.h"

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Texture.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_ResourceProxy.h"

LMP_Texture::LMP_Texture(MDL_Texture *texture) : LMP_Proxy(texture)
{
    if (texture != nullptr)
        texture->m_oProxyHandle.bind(this);
}

LMP_Texture::~LMP_Texture()
{
    MDL_Texture *texture = getTexture();
    if (texture != nullptr)
        LMP_forgetProxy(this, texture->m_oProxyHandle);
}

// newTexture(name [, filter]): a texture of the controller's list, read from
// the document's member of that name, with the filter given (default 0).
LMP_Texture *LMP_Texture::create(lua_State *L)
{
    const char *name = nullptr;
    int32_t filter = MDL_FILTER_DEFAULT;
    if (!LMP_iCheckArgs(L, "S|I", &name, &filter))
        return new LMP_Texture(nullptr);
    CTRL_Generic *controller = LMP_poController(L);
    if (controller == nullptr)
        return new LMP_Texture(nullptr);
    MDL_Texture *texture = controller->addTexture(name);
    if (texture == nullptr) {
        LMP_iReportError(L, "File %s not found", name);
        return new LMP_Texture(nullptr);
    }
    texture->m_iFilter = static_cast<uint32_t>(filter);
    return new LMP_Texture(texture);
}

int LMP_Texture::getBinaryAlpha(lua_State *L)
{
    MDL_Texture *texture = getTexture();
    if (texture == nullptr)
        return 0;
    lua_pushboolean(L, texture->m_bBinaryAlpha);
    return 1;
}

int LMP_Texture::setBinaryAlpha(lua_State *L)
{
    bool binaryAlpha = false;
    if (!LMP_iCheckArgs(L, "B", &binaryAlpha))
        return 0;
    MDL_Texture *texture = getTexture();
    if (texture == nullptr)
        return 0;
    texture->m_bBinaryAlpha = binaryAlpha;
    return 0;
}

int LMP_Texture::getFilter(lua_State *L)
{
    MDL_Texture *texture = getTexture();
    if (texture == nullptr)
        return 0;
    // Stored from any 32-bit integer, so it reads back signed.
    lua_pushinteger(L, static_cast<int32_t>(texture->m_iFilter));
    return 1;
}

int LMP_Texture::setFilter(lua_State *L)
{
    int32_t filter = 0;
    if (!LMP_iCheckArgs(L, "I", &filter))
        return 0;
    MDL_Texture *texture = getTexture();
    if (texture == nullptr)
        return 0;
    texture->m_iFilter = static_cast<uint32_t>(filter);
    return 0;
}

// A texture of the controller's list is flagged for release (the next draw
// removes it); any other texture (a movie's frame texture, a models set's)
// belongs to its owner, and the proxy only lets go of it. Extra arguments
// are reported and the texture goes all the same.
int LMP_Texture::destroy(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Texture *texture = getTexture();
    CTRL_Generic *controller = LMP_poController(L);
    if (texture == nullptr || controller == nullptr)
        return 0;
    LMP_unbindProxy(this, texture->m_oProxyHandle);
    if (LMP_bIsListed(controller->m_oTextures, texture))
        controller->releaseTexture(texture);
    return 0;
}

LMP_Texture *LMP_iCheckTexture(lua_State *L, int index)
{
    LMP_Texture *texture = LMP_Luna<LMP_Texture>::toProxy(L, index);
    if (texture == nullptr)
        LMP_iArgError(L, index, "newTexture");
    return texture;
}

static const LMP_Method<LMP_Texture> s_aoMethods[] = {
    {"getBinaryAlpha", &LMP_Texture::getBinaryAlpha},
    {"setBinaryAlpha", &LMP_Texture::setBinaryAlpha},
    {"getFilter", &LMP_Texture::getFilter},
    {"setFilter", &LMP_Texture::setFilter},
    {"delete", &LMP_Texture::destroy},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Texture> LMP_Texture::binding = {"newTexture", LMP_NO_TYPE_CODE, false, s_aoMethods};

void LMP_registerTexture(lua_State *L)
{
    LMP_Luna<LMP_Texture>::registerClass(L);
}
