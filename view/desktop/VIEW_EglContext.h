#pragma once

// An off-screen OpenGL context for drawing without a display: EGL on Mesa's
// surfaceless platform (the default display when that platform is missing),
// the desktop OpenGL API with its compatibility profile (the fixed-function
// pipeline the renderer draws with), and a framebuffer object of the
// requested size with 8-bit RGBA colour and a packed 24-bit depth / 8-bit
// stencil buffer. Works on Mesa's software rasterisers with no GPU.
//
// While current, the framebuffer object is bound for drawing and reading
// and the OpenGL viewport covers it, so the renderer draws and reads back as
// it would on a window.
class VIEW_EglContext {
public:
    // A context of width x height pixels (each at least 1), left current.
    // Null when no OpenGL can be had, with a one-line reason in error (when
    // error is not null).
    static VIEW_EglContext *create(int width, int height, char *error, int errorSize);
    // Deletes the framebuffer and the context; no context is current after.
    ~VIEW_EglContext();

    VIEW_EglContext(const VIEW_EglContext &) = delete;
    VIEW_EglContext &operator=(const VIEW_EglContext &) = delete;

    // Makes the context current on this thread with its framebuffer bound.
    bool makeCurrent();
    // Makes no context current on this thread.
    void releaseCurrent();
    // Ends a frame as a window's buffer swap does: returns once everything
    // drawn so far is in the framebuffer. Without it a software rasteriser
    // keeps queueing frame after frame (memory grows with every frame) and
    // a frame's time leaves its drawing out. The context must be current.
    void endFrame();
    // Reallocates the framebuffer's buffers at the new size (contents
    // undefined) and leaves the context current with the viewport covering
    // them. False, size unchanged, for a size below 1 or when the buffers
    // cannot be made.
    bool resize(int width, int height);

    int width() const { return m_iWidth; }
    int height() const { return m_iHeight; }

private:
    VIEW_EglContext();
    bool allocateBuffers(int width, int height);

    void *m_poDisplay;
    void *m_poContext;
    void *m_poSurface; // a 1 x 1 pbuffer when surfaceless contexts are not offered, else null
    unsigned int m_uiFramebuffer;
    unsigned int m_uiColorBuffer;
    unsigned int m_uiDepthStencilBuffer;
    int m_iWidth;
    int m_iHeight;
};
