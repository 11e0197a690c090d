// The script proxy of an image, the Lua class "newImage": the 41 rows of
// "newObject", then the image's material (its colour and textures) and its
// proportions. An image is a flat picture of its scene's overlays: it spans
// 0..1 along its own x axis and 0..aspect ratio along its y axis, the
// aspect ratio being height over width of the first texture of its
// material's layers, so a picture keeps its proportions.
#include <lua.hpp>

#include "foundation/MTH_Vector.h"
#include "model/MDL_Image.h"
#include "model/MDL_Material.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Material.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"
#include "scripting/LMP_Texture.h"
#include "scripting/LMP_ValueTypes.h"

class LMP_Image : public LMP_Object {
public:
    static const LMP_Class<LMP_Image, LMP_Object> binding;

    explicit LMP_Image(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newImage"; }

    // newImage(scene | object [, texture]): a new image without material;
    // with an object and no texture it takes the object's placement, and it
    // becomes the object's child. With a texture the image gets a material
    // of its own with one layer of that texture, and keeps the scene's
    // origin even under a parent.
    static LMP_Image *create(lua_State *L);

    // The bound image while it is alive and not flagged deleted.
    MDL_Image *getImage() const { return dynamic_cast<MDL_Image *>(getLiveObject()); }

    int setOwnMaterial(lua_State *L);
    int setColor(lua_State *L);
    int getColor(lua_State *L);
    int setTexture(lua_State *L);
    int getTexture(lua_State *L);
    int getCenter(lua_State *L);
    int getAspectRatio(lua_State *L);
    int getMaterial(lua_State *L);
};

// The checks come first (they may raise, and nothing may be allocated then):
// the place, then the texture.
LMP_Image *LMP_Image::create(lua_State *L)
{
    MDL_Scene *scene = nullptr;
    MDL_Object *parent = nullptr;
    int n = placeNewObject(L, binding.m_sClassName, &scene, &parent);
    LMP_Texture *texture = n >= 2 ? LMP_iCheckTexture(L, 2) : nullptr;
    if (scene == nullptr)
        return new LMP_Image(nullptr);
    MDL_Image *image = new MDL_Image();
    if (texture != nullptr)
        image->makeOwnMaterial()->addLayer(texture->getTexture());
    return new LMP_Image(addNewObject(scene, parent, image, texture == nullptr));
}

// With arguments the "Too much arguments" report is made, and the image
// gets its own material all the same.
int LMP_Image::setOwnMaterial(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Image *image = getImage();
    if (image == nullptr)
        return 0;
    image->makeOwnMaterial();
    return 0;
}

// The material an image has, shared or not, takes the colour; an image
// without one gets a default material of its own first. The alpha is the
// material's.
int LMP_Image::setColor(lua_State *L)
{
    MTH_Vector4D *color = nullptr;
    if (!LMP_iCheckArgs(L, "C", &color))
        return 0;
    MDL_Image *image = getImage();
    if (image == nullptr)
        return 0;
    LMP_poMaterialOf(image)->m_oDiffuse = *color;
    return 0;
}

int LMP_Image::getColor(lua_State *L)
{
    MDL_Image *image = getImage();
    if (image == nullptr)
        return 0;
    return LMP_iPushDiffuse(L, image->getMaterial());
}

// setTexture(texture): the last argument, a "newTexture" (else the argument
// error naming it), becomes the texture of the material's last layer.
int LMP_Image::setTexture(lua_State *L)
{
    int top = lua_gettop(L);
    LMP_Texture *texture = LMP_iCheckTexture(L, top >= 1 ? top : 1);
    MDL_Image *image = getImage();
    if (image == nullptr)
        return 0;
    LMP_setLastLayerTexture(LMP_poMaterialOf(image), texture->getTexture());
    return 0;
}

// The texture of layer 0 (while setTexture writes the last layer).
int LMP_Image::getTexture(lua_State *L)
{
    MDL_Image *image = getImage();
    if (image == nullptr)
        return 0;
    return LMP_iPushFirstTexture(L, image->getMaterial());
}

// getCenter([ref]): the middle of the picture, (0.5, aspect ratio / 2, 0) in
// its own coordinates.
int LMP_Image::getCenter(lua_State *L)
{
    int32_t ref = optionalReference(L);
    MDL_Image *image = getImage();
    if (image == nullptr)
        return 0;
    MTH_Vector3D centre(0.5, 0.5 * image->getAspectRatio(), 0);
    return pushOwnPoint(L, image, centre, ref);
}

int LMP_Image::getAspectRatio(lua_State *L)
{
    MDL_Image *image = getImage();
    if (image == nullptr)
        return 0;
    lua_pushnumber(L, image->getAspectRatio());
    return 1;
}

// The material as it is, possibly shared.
int LMP_Image::getMaterial(lua_State *L)
{
    MDL_Image *image = getImage();
    if (image == nullptr)
        return 0;
    return LMP_iPushMaterial(L, image->getMaterial());
}

static const LMP_Method<LMP_Image> s_aoMethods[] = {
    {"setOwnMaterial", &LMP_Image::setOwnMaterial},
    {"setColor", &LMP_Image::setColor},
    {"getColor", &LMP_Image::getColor},
    {"setTexture", &LMP_Image::setTexture},
    {"getTexture", &LMP_Image::getTexture},
    {"getCenter", &LMP_Image::getCenter},
    {"getAspectRatio", &LMP_Image::getAspectRatio},
    {"getMaterial", &LMP_Image::getMaterial},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Image, LMP_Object> LMP_Image::binding = {"newImage", OBJECT_IMAGE, true, s_aoMethods};

void LMP_registerImage(lua_State *L)
{
    LMP_Luna<LMP_Image>::registerClass(L);
}
