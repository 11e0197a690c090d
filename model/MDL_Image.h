#pragma once

#include "foundation/MTH_Vector.h"
#include "model/MDL_Object.h"

class MDL_Material;

// A flat picture of a scene's overlays (type 10), drawn by the renderer with
// its material. The image spans 0..1 along its own x axis and 0..aspect
// ratio along its y axis (downwards on the screen), the aspect ratio being
// that of the first textured layer's texture, so a picture keeps its
// proportions. The material is shared until makeOwnMaterial gives the image
// a private copy.
class MDL_Image : public MDL_Object {
public:
    // No material.
    MDL_Image();
    // Deletes an owned material.
    ~MDL_Image() override;
    MDL_Image(const MDL_Image &) = delete;
    MDL_Image &operator=(const MDL_Image &) = delete;

    // Whether (u, v) in the image's own coordinates lies on it:
    // 0 <= u <= 1 and 0 <= v <= getAspectRatio (a NaN misses).
    bool hitTest(const MTH_Vector2D &point) override;

    MDL_Material *getMaterial() const { return m_poMaterial; }
    // Shares material (null allowed); a material the image owned is deleted.
    void setMaterial(MDL_Material *material);
    bool ownsMaterial() const { return m_bOwnsMaterial; }
    // Gives the image its own copy of its material (a default material when
    // it has none) unless it owns one already; returns the material. Called
    // before any change of the material through the image.
    MDL_Material *makeOwnMaterial();

    // Height over width of the texture of the material's first layer that
    // has one; 1 without a material, without a textured layer, or for a
    // texture of width 0.
    double getAspectRatio() const;

    // --- fields, in order ---
    MDL_Material *m_poMaterial;
    bool m_bOwnsMaterial;
};
