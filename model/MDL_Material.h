#pragma once

#include "foundation/MTH_Frame.h"
#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_DynArray.h"
#include "foundation/UTIL_ProxyHandle.h"

class MDL_Texture;
class TiXmlElement;

// One texture layer of a material: a texture (not owned), the layer's colour
// (its fourth component is the layer's alpha) and the transform the renderer
// applies to the texture coordinates. Plain data: layers are copied byte for
// byte and texture pointers are shared.
struct MDL_TextureLayer {
    // No texture, colour (1, 1, 1, 1), identity transform.
    MDL_TextureLayer();

    MDL_Texture *m_poTexture;
    MTH_Vector4D m_oColor;
    MTH_Frame m_oTransform;
};

// The surface of meshes, images and polylines: three colours, shininess,
// three flags and a list of texture layers. Materials of a models set are
// shared by every object that names them; an object copies one before it is
// changed (makeOwnMaterial of the object kinds).
//
// The three pass tests decide where the renderer draws a surface: opaque
// pass, sorted transparent pass, depth only (fully transparent), or the
// mirror pass (a mirror passes none of the three). A material can pass none
// of them, for instance with a diffuse alpha of exactly 0 (fully transparent
// only).
class MDL_Material {
public:
    // No name, no layers, shininess 50, not shadeless, casts shadows, not a
    // mirror, ambient (0.5, 0.5, 0.5, 1), diffuse and specular (1, 1, 1, 1).
    MDL_Material();
    // A copy of the name, the layers and every property; no proxy.
    MDL_Material(const MDL_Material &other);
    MDL_Material &operator=(const MDL_Material &) = delete;
    // Frees the layers and the name; detaches the script proxy.
    ~MDL_Material();

    const char *getName() const { return m_sName; }
    // Keeps a copy; null clears the name.
    void setName(const char *name);

    // Reads the properties of a models-set "material" element: attribute
    // "name"; optional child elements "ambient", "diffuse", "specular" (red,
    // green, blue; the fourth component is kept), "shininess", "alpha" (the
    // diffuse colour's fourth component), "shadeless", "mirror" and
    // "cast_shadows" (first integer, non-zero is true). Missing elements keep
    // their values, a short number list sets the leading components. Layers
    // are added by readLayers. Always true (false only for a null element).
    bool loadFromXML(const TiXmlElement *element);
    // Adds the layers of a "material" element: one default layer for each
    // child "texture", in document order, whose texture is the first of
    // textures[0..count) with the element's text as name (compared without
    // regard to case; null when none matches or the text is empty); then each
    // child "color" (red, green, blue, alpha) is written into layer 0's
    // colour, the last one winning, and ignored when there is no layer.
    void readLayers(const TiXmlElement *element, MDL_Texture *const *textures, int count);

    // --- layers ---
    int getLayerCount() const { return m_oLayers.m_iCount; }
    // Layer i, or null when i is not a layer index.
    MDL_TextureLayer *getLayer(int i);
    // The texture of layer i; null when i is not a layer index.
    MDL_Texture *getLayerTexture(int i) const;
    // The texture of the first layer that has one; null when none has.
    MDL_Texture *getFirstTexture() const;
    // Appends a default layer with texture (null allowed); returns it.
    MDL_TextureLayer &addLayer(MDL_Texture *texture);
    // Removes layer i; the later layers move down one place. False when i is
    // not a layer index.
    bool removeLayer(int i);

    // --- pass tests ---
    // Not a mirror and the diffuse alpha strictly between 0 and 1; or, with
    // an opaque or cleared diffuse alpha, layer 0's alpha strictly between 0
    // and 1 or layer 0's texture with a non-binary alpha channel.
    bool isTransparent() const;
    // Not a mirror, diffuse alpha 1 or more, and either no layer or layer 0
    // with alpha 1 or more whose texture is absent, has no alpha channel, or
    // has a binary one.
    bool isOpaque() const;
    // Not a mirror and the diffuse alpha exactly 0.
    bool isFullyTransparent() const;

    // --- fields, in order ---
    UTIL_ProxyHandle m_oProxyHandle;
    char *m_sName;
    UTIL_DynArray<MDL_TextureLayer> m_oLayers;
    double m_fShininess;
    bool m_bShadeless;
    bool m_bCastShadows;
    bool m_bMirror;
    MTH_Vector4D m_oAmbient;
    MTH_Vector4D m_oDiffuse; // its fourth component is the material's alpha
    MTH_Vector4D m_oSpecular;
};

// The material of an object that shares its material until it makes its
// own copy (meshes, images, polylines): the pointer and whether the object
// owns it.
// Shares material (null allowed); an owned one is deleted first.
void MDL_shareMaterial(MDL_Material *&slot, bool &owns, MDL_Material *material);
// A private copy of the material (a default one when there is none) unless
// it is owned already; returns it.
MDL_Material *MDL_ownMaterial(MDL_Material *&slot, bool &owns);
// The material of a copy of an object (slot and owns start shared, as the
// original's pointer and false): an own material of the original is copied
// for it, since sharing it would leave the copy pointing at freed memory once
// the original is deleted.
void MDL_copyOwnMaterial(MDL_Material *&slot, bool &owns, bool originalOwns);
