#pragma once

#include <cstdint>

#include "foundation/MTH_Vector.h"
#include "model/MDL_Object.h"

// Shadow volumes of a lamp (the values of the scripts' SHADOW_ZPASS and
// SHADOW_ZFAIL constants): volumes without caps, or capped volumes.
enum {
    SHADOW_ZPASS = 0,
    SHADOW_ZFAIL = 1,
};

// A lamp (type 1): the lighting parameters that the renderer hands to its
// fixed-function lights, and the shadow settings of the stencil shadow
// volumes. The renderer and the lamp binding read and write the fields
// directly.
class MDL_Lamp : public MDL_Object {
public:
    // Lamp kinds, as the models-set files name them.
    enum {
        LAMP_NONE = 0,
        LAMP_POINT = 1, // "Lamp"
        LAMP_SUN = 2,   // directional
        LAMP_SPOT = 3,
        LAMP_HEMI = 4,
        LAMP_AREA = 5,
        LAMP_PHOTON = 6,
    };

    // A point lamp, lit, without shadows; see the fields for the defaults.
    MDL_Lamp();
    // Copies the base object (MDL_Object's copy) and every lamp field.
    MDL_Lamp(const MDL_Lamp &other);
    ~MDL_Lamp() override;

    // The base reader, then the required child element "type" (without it
    // nothing more is read and the result is false), the optional "color"
    // (three numbers, alpha untouched), "energy", "no_diffuse" and
    // "no_specular", and by kind: a spot lamp "spot_size", "quad1", "quad2",
    // "distance" and "shadows"; a sun "shadows"; a point lamp "distance",
    // "quad1", "quad2" and "shadows"; other kinds nothing more. A value that
    // is missing, incomplete, NaN or infinite leaves its field as it was.
    bool loadFromXML(const TiXmlElement *element) override;

    // "None", "Lamp", "Sun", "Spot", "Hemi", "Area", "Photon" without regard
    // to case give 0 to 6; any other name, or null, gives 0.
    static int typeFromName(const char *name);

    double getShadowDepth() const { return m_fShadowDepth; }
    void setShadowDepth(double depth) { m_fShadowDepth = depth; }
    int getShadowType() const { return m_iShadowType; }
    void setShadowType(int type) { m_iShadowType = type; }

    // --- fields, in order ---
    int32_t m_iLampType;          // LAMP_POINT
    MTH_Vector4D m_oColor;        // RGBA (0, 0, 0, 1)
    MTH_Vector4D m_oAmbientColor; // RGBA (0, 0, 0, 1)
    double m_fShadowCoeff;        // darkness of shadows, 0.5
    double m_fEnergy;             // intensity factor, 1
    double m_fDistance;           // attenuation distance, 20
    double m_fQuad1;              // attenuation coefficients, 0 and 0
    double m_fQuad2;
    bool m_bShadows;        // casts shadows, false
    bool m_bNoSpecular;     // false
    bool m_bNoDiffuse;      // false
    bool m_bOn;             // lit, true
    double m_fShadowDepth;  // shadow-volume extrusion in scene units, 30
    double m_fSpotSize;     // spot cone size, 45
    double m_fSpotExponent; // spot falloff exponent, 42
    int32_t m_iShadowType;  // SHADOW_ZPASS
};
