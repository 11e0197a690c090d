#include "model/MDL_Image.h"

#include "model/MDL_Material.h"
#include "model/MDL_Texture.h"

MDL_Image::MDL_Image() : m_poMaterial(nullptr), m_bOwnsMaterial(false)
{
    m_iType = OBJECT_IMAGE;
}

MDL_Image::~MDL_Image()
{
    if (m_bOwnsMaterial)
        delete m_poMaterial;
}

bool MDL_Image::hitTest(const MTH_Vector2D &point)
{
    return point.m_fX >= 0 && point.m_fX <= 1 && point.m_fY >= 0 && point.m_fY <= getAspectRatio();
}

void MDL_Image::setMaterial(MDL_Material *material)
{
    MDL_shareMaterial(m_poMaterial, m_bOwnsMaterial, material);
}

MDL_Material *MDL_Image::makeOwnMaterial()
{
    return MDL_ownMaterial(m_poMaterial, m_bOwnsMaterial);
}

double MDL_Image::getAspectRatio() const
{
    const MDL_Texture *texture = m_poMaterial != nullptr ? m_poMaterial->getFirstTexture() : nullptr;
    return texture != nullptr ? texture->getAspectRatio() : 1;
}
