#pragma once

#include "scripting/LMP_Luna.h"

class MDL_Material;
class MDL_Texture;
struct MDL_TextureLayer;

// The script proxy of a material, the Lua class "newMaterial": its three
// colours and its texture layers, counted from 0, each with a colour, a
// texture and a transform of its texture coordinates. Scripts reach
// materials through the surfaces' getMaterial; a material that is shared
// (one of a models set) changes for every surface that shows it.
// newMaterial() stands for no material; a proxy whose material is gone does
// nothing and returns nothing.
class LMP_Material : public LMP_Proxy {
public:
    static const LMP_Class<LMP_Material> binding;

    // Wraps a material and binds itself into its handle (a proxy bound
    // before is detached). Null gives an unbound proxy.
    explicit LMP_Material(MDL_Material *material);
    ~LMP_Material() override;

    // newMaterial(): a proxy bound to no material, whatever the arguments.
    static LMP_Material *create(lua_State *L);

    MDL_Material *getMaterial() const { return static_cast<MDL_Material *>(m_poObject); }

    int setAmbient(lua_State *L);
    int setDiffuse(lua_State *L);
    int setSpecular(lua_State *L);
    int getAmbient(lua_State *L);
    int getDiffuse(lua_State *L);
    int getSpecular(lua_State *L);
    int setColor(lua_State *L);
    int getColor(lua_State *L);
    int setTexture(lua_State *L);
    int getTexture(lua_State *L);
    int addLayer(lua_State *L);
    int deleteLayer(lua_State *L);
    int rotate(lua_State *L);
    int dilate(lua_State *L);
    int reset(lua_State *L);
    int translate(lua_State *L);

private:
    // Layer index of the bound material, or null after reporting "Material
    // layer %d does not exist" (null without a report when unbound).
    MDL_TextureLayer *layerAt(lua_State *L, int index) const;
};

void LMP_registerMaterial(lua_State *L);

// --- shared by the classes of surfaces that show a material (meshes,
// animated meshes, images) ---

// Pushes a new color of the material's diffuse colour; nothing (0) without
// a material.
int LMP_iPushDiffuse(lua_State *L, const MDL_Material *material);
// Pushes the "newTexture" proxy of layer 0's texture, made when the texture
// has none; nothing (0) without a material, a layer or a texture.
int LMP_iPushFirstTexture(lua_State *L, const MDL_Material *material);
// The texture of the material's last layer := texture (null allowed); a
// material without layers gets a default layer first.
void LMP_setLastLayerTexture(MDL_Material *material, MDL_Texture *texture);
// Pushes the material's "newMaterial" proxy, made when it has none; nothing
// (0) without a material.
int LMP_iPushMaterial(lua_State *L, MDL_Material *material);
// The material of a surface that only takes a material of its own when it
// has none (images, polylines): its material, shared or not, else a new
// default one of its own.
template <class S> MDL_Material *LMP_poMaterialOf(S *surface)
{
    MDL_Material *material = surface->getMaterial();
    return material != nullptr ? material : surface->makeOwnMaterial();
}
