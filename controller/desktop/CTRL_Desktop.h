#pragma once

#include "controller/CTRL_Generic.h"

// The controller of this platform (Linux desktop). Its window and sound
// output come with the window shell; headless, it has neither.
class CTRL_Desktop : public CTRL_Generic {
public:
    explicit CTRL_Desktop(CTRL_ScriptEngine *engine);

    // The cursor kind asked for last (0 arrow, 1 crosshair, 2 closed hand,
    // 3 open hand); the window shell shows it.
    int m_iCursor;
    void setCursor(int kind) override;
};
