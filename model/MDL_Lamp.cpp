#include "model/MDL_Lamp.h"

#include <strings.h>

#include <tinyxml.h>

#include "foundation/UTIL_XmlValues.h"
#include "model/MDL_FiniteValues.h"

namespace {

const char *const LAMP_TYPE_NAMES[] = {"None", "Lamp", "Sun", "Spot", "Hemi", "Area", "Photon"};

} // namespace

MDL_Lamp::MDL_Lamp()
    : m_iLampType(LAMP_POINT), m_oColor(0, 0, 0, 1.0), m_oAmbientColor(0, 0, 0, 1.0), m_fShadowCoeff(0.5),
      m_fEnergy(1.0), m_fDistance(20.0), m_fQuad1(0), m_fQuad2(0), m_bShadows(false), m_bNoSpecular(false),
      m_bNoDiffuse(false), m_bOn(true), m_fShadowDepth(30.0), m_fSpotSize(45.0), m_fSpotExponent(42.0),
      m_iShadowType(SHADOW_ZPASS)
{
    m_iType = OBJECT_LAMP;
}

MDL_Lamp::MDL_Lamp(const MDL_Lamp &other)
    : MDL_Object(other), m_iLampType(other.m_iLampType), m_oColor(other.m_oColor),
      m_oAmbientColor(other.m_oAmbientColor), m_fShadowCoeff(other.m_fShadowCoeff), m_fEnergy(other.m_fEnergy),
      m_fDistance(other.m_fDistance), m_fQuad1(other.m_fQuad1), m_fQuad2(other.m_fQuad2), m_bShadows(other.m_bShadows),
      m_bNoSpecular(other.m_bNoSpecular), m_bNoDiffuse(other.m_bNoDiffuse), m_bOn(other.m_bOn),
      m_fShadowDepth(other.m_fShadowDepth), m_fSpotSize(other.m_fSpotSize), m_fSpotExponent(other.m_fSpotExponent),
      m_iShadowType(other.m_iShadowType)
{
}

MDL_Lamp::~MDL_Lamp() {}

int MDL_Lamp::typeFromName(const char *name)
{
    if (name == nullptr)
        return LAMP_NONE;
    for (int i = 0; i < static_cast<int>(sizeof(LAMP_TYPE_NAMES) / sizeof(LAMP_TYPE_NAMES[0])); i++)
        if (strcasecmp(name, LAMP_TYPE_NAMES[i]) == 0)
            return i;
    return LAMP_NONE;
}

bool MDL_Lamp::loadFromXML(const TiXmlElement *element)
{
    if (!MDL_Object::loadFromXML(element))
        return false;
    const TiXmlElement *type = element->FirstChildElement("type");
    if (type == nullptr)
        return false;
    m_iLampType = typeFromName(type->GetText());

    double color[3];
    if (MDL_readFiniteNumbers(element, "color", color, 3)) {
        m_oColor.m_fX = color[0];
        m_oColor.m_fY = color[1];
        m_oColor.m_fZ = color[2];
    }
    MDL_readFiniteNumbers(element, "energy", &m_fEnergy, 1);
    UTIL_readChildBool(element, "no_diffuse", &m_bNoDiffuse);
    UTIL_readChildBool(element, "no_specular", &m_bNoSpecular);

    switch (m_iLampType) {
    case LAMP_SPOT:
        MDL_readFiniteNumbers(element, "spot_size", &m_fSpotSize, 1);
        MDL_readFiniteNumbers(element, "quad1", &m_fQuad1, 1);
        MDL_readFiniteNumbers(element, "quad2", &m_fQuad2, 1);
        MDL_readFiniteNumbers(element, "distance", &m_fDistance, 1);
        UTIL_readChildBool(element, "shadows", &m_bShadows);
        break;
    case LAMP_SUN:
        UTIL_readChildBool(element, "shadows", &m_bShadows);
        break;
    case LAMP_POINT:
        MDL_readFiniteNumbers(element, "distance", &m_fDistance, 1);
        MDL_readFiniteNumbers(element, "quad1", &m_fQuad1, 1);
        MDL_readFiniteNumbers(element, "quad2", &m_fQuad2, 1);
        UTIL_readChildBool(element, "shadows", &m_bShadows);
        break;
    default:
        // Hemi, area, photon and unknown lamps read no attenuation and never
        // read "shadows".
        break;
    }
    return true;
}
