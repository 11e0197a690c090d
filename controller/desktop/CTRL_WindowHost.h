#pragma once

#include "controller/desktop/CTRL_DrawingHost.h"

class CTRL_Generic;
class CTRL_InputScript;
class CTRL_SdlInput;
class UTIL_Bitmap;
class VIEW_SdlWindow;

// Plays a controller in a desktop window: one frame per display refresh,
// drawn with OpenGL, until the window is closed, a number of frames have
// run or the player is interrupted (SIGINT or SIGTERM). Resizing the window
// resizes the controller at the next frame.
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

    // frames < 0: until the window is closed or the player interrupted.
    // deltaTime 0: real time. When lastFrame is not null it receives what
    // the last frame drew before it was shown (RGB, rows bottom-up, the
    // window's drawing size), or is left empty when no frame drew. Returns
    // the number of frames run.
    long run(long frames, double deltaTime, UTIL_Bitmap *lastFrame = nullptr);

    // Whether the window was closed by its user (or the system) during run.
    bool closed() const { return m_bClosed; }

    // Events to hand the controller before each frame (not owned; null:
    // none).
    void setInput(CTRL_InputScript *input) { m_poInput = input; }

private:
    // Handles the waiting window events; false when the window is to close.
    bool handleEvents();

    CTRL_Generic *m_poController;
    CTRL_InputScript *m_poInput = nullptr;
    // The window's keyboard, mouse and wheel events for the controller.
    CTRL_SdlInput *m_poSdlInput;
    VIEW_SdlWindow *m_poWindow;
    CTRL_DrawingHost m_oDrawing;
    bool m_bClosed;
};
