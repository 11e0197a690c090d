#pragma once

class CTRL_ScriptEngine;

// Ctrl-C and termination requests (SIGINT, SIGTERM). The first one stops
// the script that runs in the engine that plays, even inside an endless
// loop, and makes the hosts stop after their frame, so that the player shuts
// down as after its last frame; a second one ends the process at once (the
// default action comes back).
class CTRL_Interrupt {
public:
    static void install();
    // The number of the first signal received, or 0.
    static int signal();
    // The engine whose script a signal stops, or null; a host sets it while
    // it runs frames. An engine set after a signal came is stopped at once.
    static void setEngine(CTRL_ScriptEngine *engine);
    // While a document closes (CTRL_CloseGuard) no interrupt reaches its
    // finalizers: a signal then ends the process at once with the status
    // 128 plus its number, also one that follows a first signal.
    static void setClosing(bool closing);
};
