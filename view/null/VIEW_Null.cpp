#include "view/null/VIEW_Null.h"

void VIEW_Null::beginFrame(void *, bool)
{
    m_iFramesBegun++;
}

void VIEW_Null::releaseTexture(MDL_Texture *)
{
    m_iTexturesReleased++;
}

void VIEW_Null::present(void *)
{
    m_iFramesPresented++;
}

void VIEW_Null::renderViewport(MDL_Viewport *, const MTH_Vector2D &, const MTH_Vector2D &)
{
    m_iViewportsRendered++;
}

void VIEW_Null::drawShadowedText(const MTH_Vector2D &, const MTH_Vector2D &, const char *, MDL_Font *, double, double)
{
    m_iTextsDrawn++;
}

void VIEW_Null::drawSplash(const MTH_Vector2D &, const MTH_Vector2D &, const char *, MDL_Font *, MDL_Image *)
{
    m_iTextsDrawn++;
}

void VIEW_Null::drawMessage(const MTH_Vector2D &, const MTH_Vector2D &, const char *, MDL_Font *)
{
    m_iTextsDrawn++;
}
