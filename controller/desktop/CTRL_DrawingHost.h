#pragma once

class CTRL_Generic;
class UTIL_Bitmap;
class VIEW_OpenGL;

// What a host draws over the controller's frame (a window's own panels):
// called after the frame, in the same OpenGL state, with the renderer and
// the drawing surface's size in pixels.
class CTRL_Overlay {
public:
    virtual ~CTRL_Overlay() = default;
    virtual void drawOverlay(VIEW_OpenGL *renderer, int width, int height) = 0;
};

// What every host that draws with OpenGL shares: a window's and the
// off-screen one's. The host owns the OpenGL context and makes it current;
// this part drives the controller inside it. The renderer is the
// controller's: made at the first refresh that finds none, deleted by
// release, and made again, with empty caches, at the next refresh.
class CTRL_DrawingHost {
public:
    explicit CTRL_DrawingHost(CTRL_Generic *controller);
    // The host calls release first, with its context current.
    ~CTRL_DrawingHost() = default;
    CTRL_DrawingHost(const CTRL_DrawingHost &) = delete;
    CTRL_DrawingHost &operator=(const CTRL_DrawingHost &) = delete;

    // One refresh, with the context current and a drawing surface of
    // width x height pixels: an OpenGL renderer is made and started when the
    // controller has none, the OpenGL viewport covers the surface, the
    // controller is resized to it and runs one frame through the renderer
    // (deltaTime 0: the time step is measured). The OpenGL state is left as
    // it was found. An empty surface (a minimised window) resizes the
    // controller to 0 x 0: the frame then updates but draws nothing. An
    // overlay, when given, draws over the frame.
    void refresh(void *context, int width, int height, double deltaTime, CTRL_Overlay *overlay = nullptr);

    // With the context still current: flushes the renderer's image and
    // glyph textures, deletes the renderer and leaves the controller without
    // one. Nothing when the controller holds no renderer of this host's.
    void release(void *context);

    // Reads what the last refresh drew, while it is still in the surface (a
    // window's back buffer before the swap): 8-bit RGB, rows bottom-up, the
    // surface's size. False, and out empty, when that frame drew nothing
    // (no renderer, an empty surface) or the pixels could not be read.
    bool readFrame(void *context, UTIL_Bitmap &out);

    // The renderers made so far.
    int renderersMade() const { return m_iRenderersMade; }

private:
    CTRL_Generic *m_poController;
    VIEW_OpenGL *m_poRenderer; // the controller's renderer when this host made it
    int m_iRenderersMade;
    int m_iWidth; // the surface of the last refresh
    int m_iHeight;
};
