#include "model/MDL_Material.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

#include <tinyxml.h>

#include "foundation/UTIL_String.h"
#include "foundation/UTIL_XmlValues.h"
#include "model/MDL_Texture.h"

namespace {

// The red, green and blue of a colour from a list of up to three numbers;
// components the list does not reach keep their values.
void readRGB(const TiXmlElement *element, const char *child, MTH_Vector4D &colour)
{
    double v[3] = {colour.m_fX, colour.m_fY, colour.m_fZ};
    UTIL_readChildDoubles(element, child, v, 3);
    colour.m_fX = v[0];
    colour.m_fY = v[1];
    colour.m_fZ = v[2];
}

bool strictlyBetween01(double a)
{
    return a > 0.0 && a < 1.0;
}

} // namespace

MDL_TextureLayer::MDL_TextureLayer() : m_poTexture(nullptr), m_oColor(1.0, 1.0, 1.0, 1.0)
{
    m_oTransform.setIdentity();
}

MDL_Material::MDL_Material()
    : m_sName(nullptr), m_fShininess(50.0), m_bShadeless(false), m_bCastShadows(true), m_bMirror(false),
      m_oAmbient(0.5, 0.5, 0.5, 1.0), m_oDiffuse(1.0, 1.0, 1.0, 1.0), m_oSpecular(1.0, 1.0, 1.0, 1.0)
{
}

MDL_Material::MDL_Material(const MDL_Material &other)
    : m_oProxyHandle(other.m_oProxyHandle), m_sName(UTIL_sCopyString(other.m_sName)), m_fShininess(other.m_fShininess),
      m_bShadeless(other.m_bShadeless), m_bCastShadows(other.m_bCastShadows), m_bMirror(other.m_bMirror),
      m_oAmbient(other.m_oAmbient), m_oDiffuse(other.m_oDiffuse), m_oSpecular(other.m_oSpecular)
{
    for (int i = 0; i < other.m_oLayers.m_iCount; i++)
        m_oLayers.append(other.m_oLayers[i]);
}

MDL_Material::~MDL_Material()
{
    free(m_sName);
}

void MDL_Material::setName(const char *name)
{
    char *copy = UTIL_sCopyString(name);
    free(m_sName);
    m_sName = copy;
}

bool MDL_Material::loadFromXML(const TiXmlElement *element)
{
    if (element == nullptr)
        return false;
    setName(element->Attribute("name"));
    readRGB(element, "ambient", m_oAmbient);
    readRGB(element, "diffuse", m_oDiffuse);
    readRGB(element, "specular", m_oSpecular);
    UTIL_readChildDoubles(element, "shininess", &m_fShininess, 1);
    UTIL_readChildDoubles(element, "alpha", &m_oDiffuse.m_fW, 1);
    UTIL_readChildBool(element, "shadeless", &m_bShadeless);
    UTIL_readChildBool(element, "mirror", &m_bMirror);
    UTIL_readChildBool(element, "cast_shadows", &m_bCastShadows);
    return true;
}

void MDL_Material::readLayers(const TiXmlElement *element, MDL_Texture *const *textures, int count)
{
    if (element == nullptr)
        return;
    for (const TiXmlElement *e = element->FirstChildElement("texture"); e != nullptr;
         e = e->NextSiblingElement("texture")) {
        // An empty text names nothing: the layer has no texture.
        const char *name = e->GetText();
        MDL_Texture *found = nullptr;
        for (int i = 0; name != nullptr && textures != nullptr && i < count; i++) {
            MDL_Texture *t = textures[i];
            if (t != nullptr && t->getName() != nullptr && strcasecmp(t->getName(), name) == 0) {
                found = t;
                break;
            }
        }
        addLayer(found);
    }
    for (const TiXmlElement *e = element->FirstChildElement("color"); e != nullptr;
         e = e->NextSiblingElement("color")) {
        if (m_oLayers.m_iCount == 0)
            break;
        MTH_Vector4D &c = m_oLayers[0].m_oColor;
        double v[4] = {c.m_fX, c.m_fY, c.m_fZ, c.m_fW};
        UTIL_parseDoubles(e->GetText(), v, 4);
        c = MTH_Vector4D(v[0], v[1], v[2], v[3]);
    }
}

MDL_TextureLayer *MDL_Material::getLayer(int i)
{
    if (i < 0 || i >= m_oLayers.m_iCount)
        return nullptr;
    return &m_oLayers[i];
}

MDL_Texture *MDL_Material::getLayerTexture(int i) const
{
    if (i < 0 || i >= m_oLayers.m_iCount)
        return nullptr;
    return m_oLayers[i].m_poTexture;
}

MDL_Texture *MDL_Material::getFirstTexture() const
{
    for (int i = 0; i < m_oLayers.m_iCount; i++)
        if (m_oLayers[i].m_poTexture != nullptr)
            return m_oLayers[i].m_poTexture;
    return nullptr;
}

MDL_TextureLayer &MDL_Material::addLayer(MDL_Texture *texture)
{
    MDL_TextureLayer layer;
    layer.m_poTexture = texture;
    m_oLayers.append(layer);
    return m_oLayers[m_oLayers.m_iCount - 1];
}

bool MDL_Material::removeLayer(int i)
{
    if (i < 0 || i >= m_oLayers.m_iCount)
        return false;
    m_oLayers.remove(i);
    return true;
}

bool MDL_Material::isTransparent() const
{
    if (m_bMirror)
        return false;
    if (strictlyBetween01(m_oDiffuse.m_fW))
        return true;
    if (m_oLayers.m_iCount == 0)
        return false;
    const MDL_TextureLayer &layer = m_oLayers[0];
    if (strictlyBetween01(layer.m_oColor.m_fW))
        return true;
    return layer.m_poTexture != nullptr && layer.m_poTexture->m_bHasAlpha && !layer.m_poTexture->m_bBinaryAlpha;
}

bool MDL_Material::isOpaque() const
{
    // Written as "not (alpha >= 1)" so that a NaN alpha is never opaque.
    if (m_bMirror || !(m_oDiffuse.m_fW >= 1.0))
        return false;
    if (m_oLayers.m_iCount == 0)
        return true;
    const MDL_TextureLayer &layer = m_oLayers[0];
    if (!(layer.m_oColor.m_fW >= 1.0))
        return false;
    const MDL_Texture *t = layer.m_poTexture;
    return t == nullptr || !t->m_bHasAlpha || t->m_bBinaryAlpha;
}

bool MDL_Material::isFullyTransparent() const
{
    return !m_bMirror && m_oDiffuse.m_fW == 0.0;
}

void MDL_shareMaterial(MDL_Material *&slot, bool &owns, MDL_Material *material)
{
    if (owns && material != slot)
        delete slot;
    slot = material;
    owns = false;
}

void MDL_copyOwnMaterial(MDL_Material *&slot, bool &owns, bool originalOwns)
{
    if (originalOwns && slot != nullptr) {
        slot = new MDL_Material(*slot);
        owns = true;
    }
}

MDL_Material *MDL_ownMaterial(MDL_Material *&slot, bool &owns)
{
    if (!owns) {
        slot = slot != nullptr ? new MDL_Material(*slot) : new MDL_Material();
        owns = true;
    }
    return slot;
}
