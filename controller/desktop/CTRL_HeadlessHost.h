#pragma once

#include "controller/desktop/CTRL_DrawingHost.h"
#include "view/null/VIEW_Null.h"

class CTRL_Generic;
class CTRL_InputScript;
class UTIL_Bitmap;
class VIEW_EglContext;
class VIEW_Generic;

// Runs a controller's frames with no display: a fixed view size, a fixed or
// measured time step, a number of frames or until interrupted (SIGINT or
// SIGTERM, CTRL_Interrupt: a signal also stops the controller's script
// engine while the host exists). Every frame is drawn: with OpenGL into an off-screen
// framebuffer when OpenGL can be had, else through a renderer that draws
// nothing, which the controller holds while the host runs.
class CTRL_HeadlessHost {
public:
    // Draws with OpenGL into a width x height framebuffer; where no OpenGL
    // context can be made, through the renderer that draws nothing, and
    // failure() tells why.
    CTRL_HeadlessHost(CTRL_Generic *controller, int width, int height);
    // Draws through the given renderer, without OpenGL.
    CTRL_HeadlessHost(CTRL_Generic *controller, VIEW_Generic *renderer, int width, int height);
    // Deletes the OpenGL renderer and context; the controller no longer
    // holds a renderer of the host's, nor does a signal stop its engine.
    ~CTRL_HeadlessHost();
    CTRL_HeadlessHost(const CTRL_HeadlessHost &) = delete;
    CTRL_HeadlessHost &operator=(const CTRL_HeadlessHost &) = delete;

    // Whether frames are drawn with OpenGL.
    bool drawing() const { return m_poContext != nullptr; }
    // Why no OpenGL context could be made ("" when one was, or none was
    // asked for).
    const char *failure() const { return m_acFailure; }

    // frames < 0: until interrupted or halted. deltaTime 0: real time.
    // When lastFrame is not null and the frames were drawn with OpenGL, it
    // receives what the last one drew (RGB, rows bottom-up), else it is left
    // empty. Returns the number of frames run.
    long run(long frames, double deltaTime, UTIL_Bitmap *lastFrame = nullptr);

    // Events to hand the controller before each frame (not owned; null:
    // none), from the first one on.
    void setInput(const CTRL_InputScript *input)
    {
        m_poInput = input;
        m_iNextInput = 0;
    }

private:
    CTRL_Generic *m_poController;
    const CTRL_InputScript *m_poInput = nullptr;
    int m_iNextInput = 0;       // the next event of m_poInput to hand over
    VIEW_Generic *m_poRenderer; // without OpenGL
    VIEW_Null m_oNullRenderer;
    VIEW_EglContext *m_poContext;
    CTRL_DrawingHost m_oDrawing;
    int m_iWidth;
    int m_iHeight;
    char m_acFailure[256];
};
