#pragma once

#include "controller/desktop/CTRL_DrawingHost.h"

class CTRL_Generic;
class UTIL_Bitmap;
class VIEW_SdlWindow;

// A controller's desktop window: an SDL window with its own OpenGL context,
// in which the controller's frames are drawn, one per call of frame. The
// window's events are read by the shell that runs all windows (CTRL_Shell).
// Resizing the window resizes the controller at the next frame.
class CTRL_WindowHost {
public:
    explicit CTRL_WindowHost(CTRL_Generic *controller);
    // Deletes the renderer with the window's context current, then closes
    // the window.
    ~CTRL_WindowHost();
    CTRL_WindowHost(const CTRL_WindowHost &) = delete;
    CTRL_WindowHost &operator=(const CTRL_WindowHost &) = delete;

    // Opens the window (width x height, resizable). False with a one-line
    // reason in error; noDisplay (when not null) tells whether no display
    // could be opened at all.
    bool open(const char *title, int width, int height, char *error, int errorSize, bool *noDisplay);
    bool isOpen() const { return m_poWindow != nullptr; }

    // One frame at the window's drawing size (deltaTime 0: real time), the
    // overlay (when not null) drawn over it, then shown. When lastFrame is
    // not null it receives what the frame drew before it was shown (RGB,
    // rows bottom-up), or is left empty when the frame drew nothing. False
    // when the window's context could not be made current (nothing drawn).
    bool frame(double deltaTime, CTRL_Overlay *overlay, UTIL_Bitmap *lastFrame);

    // The window, once open.
    VIEW_SdlWindow *window() const { return m_poWindow; }
    // The identifier that the window's SDL events carry; 0 before open.
    unsigned int id() const;
    // The drawing surface's pixels per window unit across and down (above 1
    // on a high-density display); 1 before open.
    void pixelScale(double &x, double &y) const;

private:
    VIEW_SdlWindow *m_poWindow;
    CTRL_DrawingHost m_oDrawing;
};
