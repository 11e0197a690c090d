// The logo of the splash that shows while a document loads.
#include "controller/CTRL_Generic.h"

#include "model/MDL_Image.h"
#include "model/MDL_Logo.h"
#include "model/MDL_Material.h"
#include "model/MDL_Texture.h"

void CTRL_Generic::createLogoImage()
{
    destroyLogoImage();
    // The texture reads the built-in bytes in place and never frees them.
    m_poLogoTexture = new MDL_Texture("Vekta", const_cast<unsigned char *>(MDL_kaucLogoData),
                                      static_cast<uint32_t>(MDL_kiLogoSize), false);
    m_poLogoImage = new MDL_Image();
    m_poLogoImage->makeOwnMaterial()->addLayer(m_poLogoTexture);
    MTH_Frame &frame = m_poLogoImage->editGlobalFrame();
    frame.m_oBasis.setIdentity();
    frame.m_oBasis.scaleRows(MTH_Vector3D(0.25, 0.25, 1));
    frame.invalidateInverse();
    // The centre in the image's own coordinates, taken through the basis.
    MTH_Vector3D centre(0.5, 0.5 * m_poLogoImage->getAspectRatio(), 0);
    frame.m_oBasis.transform(centre);
    frame.m_oPosition = MTH_Vector3D(0.5 - centre.m_fX, 0.2 - centre.m_fY, 1);
}

void CTRL_Generic::destroyLogoImage()
{
    delete m_poLogoImage;
    m_poLogoImage = nullptr;
    delete m_poLogoTexture;
    m_poLogoTexture = nullptr;
}
