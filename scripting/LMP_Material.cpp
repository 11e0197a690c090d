#include "scripting/LMP_Material.h"

#include <cmath>

#include <lua.hpp>

#include "foundation/MTH_Frame.h"
#include "foundation/MTH_Vector.h"
#include "model/MDL_Material.h"
#include "model/MDL_Texture.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_ResourceProxy.h"
#include "scripting/LMP_Texture.h"
#include "scripting/LMP_ValueTypes.h"

static const double DEGREES_TO_RADIANS = 0.017453292519943295;

LMP_Material::LMP_Material(MDL_Material *material) : LMP_Proxy(material)
{
    if (material != nullptr)
        material->m_oProxyHandle.bind(this);
}

LMP_Material::~LMP_Material()
{
    MDL_Material *material = getMaterial();
    if (material != nullptr)
        LMP_forgetProxy(this, material->m_oProxyHandle);
}

LMP_Material *LMP_Material::create(lua_State *)
{
    return new LMP_Material(nullptr);
}

MDL_TextureLayer *LMP_Material::layerAt(lua_State *L, int index) const
{
    MDL_Material *material = getMaterial();
    if (material == nullptr)
        return nullptr;
    MDL_TextureLayer *layer = material->getLayer(index);
    if (layer == nullptr)
        LMP_iReportError(L, "Material layer %d does not exist", index);
    return layer;
}

// --- the three colours ---

int LMP_Material::setAmbient(lua_State *L)
{
    MTH_Vector4D *color = nullptr;
    if (!LMP_iCheckArgs(L, "C", &color))
        return 0;
    MDL_Material *material = getMaterial();
    if (material == nullptr)
        return 0;
    material->m_oAmbient = *color;
    return 0;
}

// The diffuse colour's alpha is the material's.
int LMP_Material::setDiffuse(lua_State *L)
{
    MTH_Vector4D *color = nullptr;
    if (!LMP_iCheckArgs(L, "C", &color))
        return 0;
    MDL_Material *material = getMaterial();
    if (material == nullptr)
        return 0;
    material->m_oDiffuse = *color;
    return 0;
}

int LMP_Material::setSpecular(lua_State *L)
{
    MTH_Vector4D *color = nullptr;
    if (!LMP_iCheckArgs(L, "C", &color))
        return 0;
    MDL_Material *material = getMaterial();
    if (material == nullptr)
        return 0;
    material->m_oSpecular = *color;
    return 0;
}

int LMP_Material::getAmbient(lua_State *L)
{
    MDL_Material *material = getMaterial();
    if (material == nullptr)
        return 0;
    *LMP_iPushColor(L) = material->m_oAmbient;
    return 1;
}

int LMP_Material::getDiffuse(lua_State *L)
{
    return LMP_iPushDiffuse(L, getMaterial());
}

int LMP_Material::getSpecular(lua_State *L)
{
    MDL_Material *material = getMaterial();
    if (material == nullptr)
        return 0;
    *LMP_iPushColor(L) = material->m_oSpecular;
    return 1;
}

// --- layers ---

int LMP_Material::setColor(lua_State *L)
{
    int32_t index = 0;
    MTH_Vector4D *color = nullptr;
    if (!LMP_iCheckArgs(L, "IC", &index, &color))
        return 0;
    MDL_TextureLayer *layer = layerAt(L, index);
    if (layer == nullptr)
        return 0;
    layer->m_oColor = *color;
    return 0;
}

int LMP_Material::getColor(lua_State *L)
{
    int32_t index = 0;
    if (!LMP_iCheckArgs(L, "I", &index))
        return 0;
    MDL_TextureLayer *layer = layerAt(L, index);
    if (layer == nullptr)
        return 0;
    *LMP_iPushColor(L) = layer->m_oColor;
    return 1;
}

// setTexture(layer, texture): the layer is the next-to-last argument, a
// number (else the standard argument error); the texture the last, a
// "newTexture" (else the argument error naming it), tested once the layer is
// known to exist.
int LMP_Material::setTexture(lua_State *L)
{
    int top = lua_gettop(L);
    int indexArgument = top >= 2 ? top - 1 : 1;
    if (!lua_isnumber(L, indexArgument))
        return LMP_iArgError(
            L, indexArgument,
            lua_pushfstring(L, "%s expected, got %s", lua_typename(L, LUA_TNUMBER), luaL_typename(L, indexArgument)));
    int32_t index = LMP_iToInteger(L, indexArgument);
    MDL_TextureLayer *layer = layerAt(L, index);
    if (layer == nullptr)
        return 0;
    LMP_Texture *texture = LMP_iCheckTexture(L, top >= 1 ? top : 1);
    layer->m_poTexture = texture->getTexture();
    return 0;
}

// The texture's proxy (made when it has none); nothing for a layer without
// a texture.
int LMP_Material::getTexture(lua_State *L)
{
    int32_t index = 0;
    if (!LMP_iCheckArgs(L, "I", &index))
        return 0;
    MDL_TextureLayer *layer = layerAt(L, index);
    if (layer == nullptr || layer->m_poTexture == nullptr)
        return 0;
    return LMP_Luna<LMP_Texture>::pushObject(L, layer->m_poTexture);
}

// addLayer(texture or nil): a default layer, with the texture when the last
// argument is one. Without any argument the texture test is made and raises.
int LMP_Material::addLayer(lua_State *L)
{
    int top = lua_gettop(L);
    LMP_Texture *texture = nullptr;
    if (top == 0 || !lua_isnil(L, top))
        texture = LMP_iCheckTexture(L, top >= 1 ? top : 1);
    MDL_Material *material = getMaterial();
    if (material == nullptr)
        return 0;
    material->addLayer(texture != nullptr ? texture->getTexture() : nullptr);
    return 0;
}

// The later layers move down one place.
int LMP_Material::deleteLayer(lua_State *L)
{
    int32_t index = 0;
    if (!LMP_iCheckArgs(L, "I", &index))
        return 0;
    if (layerAt(L, index) == nullptr)
        return 0;
    getMaterial()->removeLayer(index);
    return 0;
}

// rotate(layer, centre, degrees): turns the layer's texture transform about
// the point centre (about z).
int LMP_Material::rotate(lua_State *L)
{
    int32_t index = 0;
    MTH_Vector2D *centre = nullptr;
    double angle = 0;
    if (!LMP_iCheckArgs(L, "IWN", &index, &centre, &angle))
        return 0;
    MDL_TextureLayer *layer = layerAt(L, index);
    if (layer == nullptr)
        return 0;
    double theta = angle * DEGREES_TO_RADIANS;
    MTH_Frame &transform = layer->m_oTransform;
    const MTH_Vector3D z(0, 0, 1);
    transform.rotate(z, theta);
    MTH_Vector3D &p = transform.m_oPosition;
    p.m_fX -= centre->m_fX;
    p.m_fY -= centre->m_fY;
    MTH_Vector3D::rotate(p, z, std::cos(theta), std::sin(theta));
    p.m_fX += centre->m_fX;
    p.m_fY += centre->m_fY;
    return 0;
}

// dilate(layer, centre, factor): scales the layer's texture transform about
// the point centre.
int LMP_Material::dilate(lua_State *L)
{
    int32_t index = 0;
    MTH_Vector2D *centre = nullptr;
    double factor = 0;
    if (!LMP_iCheckArgs(L, "IWN", &index, &centre, &factor))
        return 0;
    MDL_TextureLayer *layer = layerAt(L, index);
    if (layer == nullptr)
        return 0;
    MTH_Frame &transform = layer->m_oTransform;
    transform.invalidateInverse();
    transform.m_oBasis.scale(factor);
    MTH_Vector3D &p = transform.m_oPosition;
    p.m_fX = factor * (p.m_fX - centre->m_fX) + centre->m_fX;
    p.m_fY = factor * (p.m_fY - centre->m_fY) + centre->m_fY;
    p.m_fZ = factor * p.m_fZ;
    return 0;
}

int LMP_Material::reset(lua_State *L)
{
    int32_t index = 0;
    if (!LMP_iCheckArgs(L, "I", &index))
        return 0;
    MDL_TextureLayer *layer = layerAt(L, index);
    if (layer == nullptr)
        return 0;
    layer->m_oTransform.setIdentity();
    layer->m_oTransform.invalidateInverse();
    return 0;
}

int LMP_Material::translate(lua_State *L)
{
    int32_t index = 0;
    MTH_Vector2D *offset = nullptr;
    if (!LMP_iCheckArgs(L, "IW", &index, &offset))
        return 0;
    MDL_TextureLayer *layer = layerAt(L, index);
    if (layer == nullptr)
        return 0;
    layer->m_oTransform.m_oPosition.m_fX += offset->m_fX;
    layer->m_oTransform.m_oPosition.m_fY += offset->m_fY;
    return 0;
}

// --- shared by the surface classes ---

int LMP_iPushDiffuse(lua_State *L, const MDL_Material *material)
{
    if (material == nullptr)
        return 0;
    *LMP_iPushColor(L) = material->m_oDiffuse;
    return 1;
}

int LMP_iPushFirstTexture(lua_State *L, const MDL_Material *material)
{
    MDL_Texture *texture = material != nullptr ? material->getLayerTexture(0) : nullptr;
    if (texture == nullptr)
        return 0;
    return LMP_Luna<LMP_Texture>::pushObject(L, texture);
}

void LMP_setLastLayerTexture(MDL_Material *material, MDL_Texture *texture)
{
    if (material->getLayerCount() == 0)
        material->addLayer(nullptr);
    material->getLayer(material->getLayerCount() - 1)->m_poTexture = texture;
}

int LMP_iPushMaterial(lua_State *L, MDL_Material *material)
{
    if (material == nullptr)
        return 0;
    return LMP_Luna<LMP_Material>::pushObject(L, material);
}

// --- the class ---

static const LMP_Method<LMP_Material> s_aoMethods[] = {
    {"setAmbient", &LMP_Material::setAmbient},
    {"setDiffuse", &LMP_Material::setDiffuse},
    {"setSpecular", &LMP_Material::setSpecular},
    {"getAmbient", &LMP_Material::getAmbient},
    {"getDiffuse", &LMP_Material::getDiffuse},
    {"getSpecular", &LMP_Material::getSpecular},
    {"setColor", &LMP_Material::setColor},
    {"getColor", &LMP_Material::getColor},
    {"setTexture", &LMP_Material::setTexture},
    {"getTexture", &LMP_Material::getTexture},
    {"addLayer", &LMP_Material::addLayer},
    {"deleteLayer", &LMP_Material::deleteLayer},
    {"rotate", &LMP_Material::rotate},
    {"dilate", &LMP_Material::dilate},
    {"reset", &LMP_Material::reset},
    {"translate", &LMP_Material::translate},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Material> LMP_Material::binding = {"newMaterial", LMP_NO_TYPE_CODE, false, s_aoMethods};

void LMP_registerMaterial(lua_State *L)
{
    LMP_Luna<LMP_Material>::registerClass(L);
}
