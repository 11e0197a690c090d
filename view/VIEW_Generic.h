#pragma once

#include "foundation/MTH_Vector.h"

class MDL_Texture;
class MDL_Viewport;
class MDL_Font;
class MDL_Image;
class UTIL_Bitmap;

// The renderer interface the controller draws through, in the order of a
// frame: beginFrame and clear open it, releaseTexture, renderViewport and the
// text operations fill it, present closes it. Back ends derive from it: the
// renderer that draws nothing (view/null/) and the OpenGL renderer. Every
// operation defaults to doing nothing (read-backs succeed without reading,
// string queries give null), so a back end overrides what it does.
// Positions and sizes are pixels of the drawing surface with the origin at
// the lower left.
class VIEW_Generic {
public:
    VIEW_Generic() = default;
    virtual ~VIEW_Generic();

    VIEW_Generic(const VIEW_Generic &) = delete;
    VIEW_Generic &operator=(const VIEW_Generic &) = delete;

    virtual void setTextureFilter(int filter);
    virtual void invalidateImageTextures();
    virtual void invalidateGlyphTextures();
    virtual void start();
    virtual void releaseBuffers();
    virtual void beginFrame(void *context, bool wireframe);
    virtual void releaseTexture(MDL_Texture *texture);
    virtual void present(void *context);
    virtual bool readStencil(void *context, int x, int y, int width, int height, UTIL_Bitmap *out);
    virtual bool readColor(void *context, int x, int y, int width, int height, UTIL_Bitmap *out);
    virtual bool readDepth(void *context, int x, int y, int width, int height, UTIL_Bitmap *out);
    virtual void clear(const MTH_Vector4D &color);
    virtual void renderViewport(MDL_Viewport *viewport, const MTH_Vector2D &position, const MTH_Vector2D &size);
    virtual void drawShadowedText(const MTH_Vector2D &position, const MTH_Vector2D &size, const char *text,
                                  MDL_Font *font, double textSize, double alpha);
    virtual void drawSplash(const MTH_Vector2D &position, const MTH_Vector2D &size, const char *caption, MDL_Font *font,
                            MDL_Image *logo);
    virtual void drawMessage(const MTH_Vector2D &position, const MTH_Vector2D &size, const char *text, MDL_Font *font);
    virtual const char *getVersion();
    virtual const char *getRenderer();
    virtual const char *getVendor();
    virtual const char *getRenderModeName();
};
