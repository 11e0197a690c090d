#pragma once

#include "view/VIEW_Generic.h"

// The renderer that draws nothing: the back end of a player with no OpenGL
// (headless without a graphics library, or where none could be set up). The
// controller runs whole frames through it, so that everything a frame does
// besides drawing still happens: released textures are freed, timed
// messages count down, the splash advances. It counts what it was asked to
// do, for the host's diagnostics and for tests.
class VIEW_Null : public VIEW_Generic {
public:
    VIEW_Null() = default;

    void beginFrame(void *context, bool wireframe) override;
    void releaseTexture(MDL_Texture *texture) override;
    void present(void *context) override;
    void renderViewport(MDL_Viewport *viewport, const MTH_Vector2D &position, const MTH_Vector2D &size) override;
    void drawShadowedText(const MTH_Vector2D &position, const MTH_Vector2D &size, const char *text, MDL_Font *font,
                          double textSize, double alpha) override;
    void drawSplash(const MTH_Vector2D &position, const MTH_Vector2D &size, const char *caption, MDL_Font *font,
                    MDL_Image *logo) override;
    void drawMessage(const MTH_Vector2D &position, const MTH_Vector2D &size, const char *text, MDL_Font *font) override;

    long m_iFramesBegun = 0;
    long m_iFramesPresented = 0;
    long m_iTexturesReleased = 0;
    long m_iViewportsRendered = 0;
    long m_iTextsDrawn = 0; // timed messages, splashes and failure messages
};
