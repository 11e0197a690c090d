#include "view/VIEW_Generic.h"

VIEW_Generic::~VIEW_Generic() {}

void VIEW_Generic::setTextureFilter(int) {}
void VIEW_Generic::invalidateImageTextures() {}
void VIEW_Generic::invalidateGlyphTextures() {}
void VIEW_Generic::start() {}
void VIEW_Generic::releaseBuffers() {}
void VIEW_Generic::beginFrame(void *, bool) {}
void VIEW_Generic::releaseTexture(MDL_Texture *) {}
void VIEW_Generic::present(void *) {}

bool VIEW_Generic::readStencil(void *, int, int, int, int, UTIL_Bitmap *)
{
    return true;
}

bool VIEW_Generic::readColor(void *, int, int, int, int, UTIL_Bitmap *)
{
    return true;
}

bool VIEW_Generic::readDepth(void *, int, int, int, int, UTIL_Bitmap *)
{
    return true;
}

void VIEW_Generic::clear(const MTH_Vector4D &) {}
void VIEW_Generic::renderViewport(MDL_Viewport *, const MTH_Vector2D &, const MTH_Vector2D &) {}
void VIEW_Generic::drawShadowedText(const MTH_Vector2D &, const MTH_Vector2D &, const char *, MDL_Font *, double,
                                    double)
{
}
void VIEW_Generic::drawSplash(const MTH_Vector2D &, const MTH_Vector2D &, const char *, MDL_Font *, MDL_Image *) {}
void VIEW_Generic::drawMessage(const MTH_Vector2D &, const MTH_Vector2D &, const char *, MDL_Font *) {}

const char *VIEW_Generic::getVersion()
{
    return nullptr;
}

const char *VIEW_Generic::getRenderer()
{
    return nullptr;
}

const char *VIEW_Generic::getVendor()
{
    return nullptr;
}

const char *VIEW_Generic::getRenderModeName()
{
    return nullptr;
}
