#pragma once

#include <cstdint>

#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_HashMap.h"

class MDL_Texture;
class MDL_Viewport;
class MDL_Font;
class MDL_Image;
class UTIL_Bitmap;

// The OpenGL names of one mesh's vertex and element buffers.
struct VIEW_BufferPair {
    uint32_t m_uiVertexBuffer;
    uint32_t m_uiElementBuffer;
};

// The renderer the controller draws through. Every operation does nothing
// here, so that a controller runs frames with a renderer that draws nothing
// (the headless host, and tests). Positions and sizes are pixels of the
// drawing surface with the origin at the lower left.
class VIEW_Generic {
public:
    VIEW_Generic();
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

    // Mesh data (the pointer's 8 bytes are the key) to its buffer pair, which
    // only the OpenGL renderer fills and deletes.
    UTIL_HashMap<8, VIEW_BufferPair *> m_oMeshBuffers;
};
