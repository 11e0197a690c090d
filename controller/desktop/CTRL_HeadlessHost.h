#pragma once

class CTRL_Generic;
class VIEW_Generic;

// Runs a controller's frames with no display: a fixed view size, a fixed or
// measured time step, a number of frames or until interrupted (SIGINT or
// SIGTERM, CTRL_Interrupt: a signal also stops the controller's script
// engine while the host exists). Every frame is drawn through the renderer,
// which the controller holds while the host runs.
class CTRL_HeadlessHost {
public:
    CTRL_HeadlessHost(CTRL_Generic *controller, VIEW_Generic *renderer, int width, int height);
    // The controller no longer holds the renderer, nor signals its engine.
    ~CTRL_HeadlessHost();
    CTRL_HeadlessHost(const CTRL_HeadlessHost &) = delete;
    CTRL_HeadlessHost &operator=(const CTRL_HeadlessHost &) = delete;

    // frames < 0: until interrupted or halted. deltaTime 0: real time.
    // Returns the number of frames run.
    long run(long frames, double deltaTime);

private:
    CTRL_Generic *m_poController;
    VIEW_Generic *m_poRenderer;
    int m_iWidth;
    int m_iHeight;
};
