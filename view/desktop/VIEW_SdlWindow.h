#pragma once

struct SDL_Window;

// A desktop window with an OpenGL context, made with SDL2: resizable, with a
// compatibility-profile context (the fixed-function pipeline the renderer
// draws with) on 8-bit RGBA colour, a 24-bit depth buffer, an 8-bit stencil
// buffer and double buffering. Four-sample multisampling is asked for first
// and left out when the display does not offer it; the buffers swap with the
// display's refresh when it lets them.
class VIEW_SdlWindow {
public:
    // Opens a window of width x height (each at least 1) titled title, its
    // context left current. Null when it cannot, with a one-line reason in
    // error (when error is not null); noDisplay (when not null) tells whether
    // it was the display itself that could not be opened.
    static VIEW_SdlWindow *open(const char *title, int width, int height, char *error, int errorSize, bool *noDisplay);
    // Deletes the context and closes the window; no context is current after.
    ~VIEW_SdlWindow();

    VIEW_SdlWindow(const VIEW_SdlWindow &) = delete;
    VIEW_SdlWindow &operator=(const VIEW_SdlWindow &) = delete;

    bool makeCurrent();
    void releaseCurrent();
    // Shows the frame drawn into the back buffer.
    void swap();
    // The size of the window's drawing surface in pixels (0 x 0 while it is
    // minimised on some systems).
    void drawableSize(int &width, int &height) const;
    // The window's size in the desktop's units (its drawing size may be
    // larger on a high-density display).
    void windowSize(int &width, int &height) const;
    // The samples per pixel of the colour buffer: 0 without multisampling.
    int samples() const { return m_iSamples; }
    // Whether swap waits for the display's refresh.
    bool synchronised() const { return m_bSynchronised; }
    // Makes swap wait for the display's refresh, or not (the context is
    // made current); false when the driver refused.
    bool setSynchronised(bool synchronised);
    void setTitle(const char *title);
    // Whether the window is minimised or hidden, so that nothing is shown.
    bool hidden() const;
    // The identifier that SDL's window events carry.
    unsigned int id() const;

private:
    VIEW_SdlWindow() = default;

    SDL_Window *m_poWindow = nullptr;
    void *m_poContext = nullptr;
    int m_iSamples = 0;
    bool m_bSynchronised = false;
};
