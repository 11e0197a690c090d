#pragma once

#include "foundation/UTIL_ProxyHandle.h"

struct MTH_Vector2D;
class CTRL_Generic;

// The event record handed to sendEvent: the type, then a payload by type.
struct CTRL_ScriptEvent {
    // The event types, as the scripts' EVENT_ constants number them.
    enum { KEY_DOWN = 1, KEY_UP = 2, MOUSE_MOVE = 3, MOUSE_DOWN = 4, MOUSE_UP = 5, ZOOM = 6, DEVICE = 7, CLOSE = 8 };
    int m_iType = 0;
    int m_iKey = 0;                               // EVENT_KEY_DOWN, EVENT_KEY_UP
    const MTH_Vector2D *m_poZoomVector = nullptr; // EVENT_ZOOM
    double m_fZoom = 0;                           // EVENT_ZOOM
    int m_iDevice = 0;                            // EVENT_DEVICE
    const char *m_sData = nullptr;                // EVENT_DEVICE
    int m_iLength = 0;                            // EVENT_DEVICE
};

// The script engine as the controller drives it: the controller owns it,
// hands it input events, and has it run the document's scripts and their
// update callbacks. The scripting layer implements it over Lua. Engine
// objects post their events through it (UTIL_EventHost): they are accepted
// while a controller is attached and not halted.
class CTRL_ScriptEngine : public UTIL_EventHost {
public:
    CTRL_ScriptEngine() = default;
    virtual ~CTRL_ScriptEngine() = default;

    CTRL_ScriptEngine(const CTRL_ScriptEngine &) = delete;
    CTRL_ScriptEngine &operator=(const CTRL_ScriptEngine &) = delete;

    // An input event for the scripts' global event callback; true when the
    // callback handled it.
    virtual bool sendEvent(const CTRL_ScriptEvent &event) = 0;
    // The scripts' update callback with the frame's time step.
    virtual void update(double deltaTime) = 0;
    // The scripts' aspect-ratio callback.
    virtual void aspectRatioChanged(double ratio) = 0;
    // Runs "init.lua" and then "startup"; false when either failed (the
    // failure went to the controller's error report).
    virtual bool loadScripts() = 0;
    // Attaches the controller whose document the scripts belong to.
    virtual void setController(CTRL_Generic *controller) { m_poController = controller; }
    // The user asked the player to stop (Ctrl-C): the script that runs ends
    // at once with an error that is no fault of the document (nothing is
    // reported, the controller is not halted) and no script runs after it.
    // Safe to call from a signal handler and from another thread; an engine
    // without scripts has nothing to stop.
    virtual void requestInterrupt() {}
    // Ends the scripts for good: the interpreter closes, its finalizers run
    // now (they may call anything a script can, so the controller calls this
    // while all the document holds still lives), and after it no script
    // runs and no event is accepted. Nothing when already closed.
    virtual void close() {}

    CTRL_Generic *getController() const { return m_poController; }
    bool acceptsEvents() const override;

    CTRL_Generic *m_poController = nullptr;
};
