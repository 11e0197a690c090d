#pragma once

#include "foundation/UTIL_DynArray.h"

class CTRL_Generic;

// Input events read from a text file and handed to a controller before
// given frames, so that runs without a user (headless runs, tests) can
// press keys, click, drag and turn the wheel. One event a line:
//
//     FRAME VERB ARGUMENTS
//
// delivered before frame FRAME (counted from 1) runs, events of one frame in
// file order. Verbs: keyDown CODE, keyUp CODE, mouseDown X Y, mouseUp X Y,
// rightMouseDown X Y, rightMouseUp X Y, mouseMove X Y [shift] [control],
// mouseWheel X Y AMOUNT [shift]. CODE is a key code (KEY_ values; 16, 17
// and 18 for shift, control and alt), X and Y are view pixels from the
// top-left corner, AMOUNT the wheel amount as the controller takes it (the
// scroll delta times 60). "#" starts a comment; blank lines are skipped.
class CTRL_InputScript {
public:
    CTRL_InputScript() = default;
    CTRL_InputScript(const CTRL_InputScript &) = delete;
    CTRL_InputScript &operator=(const CTRL_InputScript &) = delete;

    // Reads the file. False, with "FILE:LINE: reason" (or why the file could
    // not be read) in error, at the first line that cannot be read; no
    // events are kept then.
    bool load(const char *path, char *error, int errorSize);
    // The same for a text held in memory, named name in messages.
    bool parse(const char *text, const char *name, char *error, int errorSize);

    // Hands the controller the events from the one at next on whose frame
    // is at most frame; next moves past what was handed. Each reader (a
    // window, the headless host) keeps its own next.
    void deliver(CTRL_Generic *controller, long frame, int &next) const;
    int count() const { return m_oEvents.m_iCount; }

    enum Verb {
        KEY_DOWN,
        KEY_UP,
        MOUSE_DOWN,
        MOUSE_UP,
        RIGHT_MOUSE_DOWN,
        RIGHT_MOUSE_UP,
        MOUSE_MOVE,
        MOUSE_WHEEL,
    };
    struct Event {
        long m_iFrame;
        int m_iVerb;
        int m_iCode;
        double m_fX, m_fY, m_fAmount;
        bool m_bShift, m_bControl;
    };
    const Event &event(int i) const { return m_oEvents.m_pData[i]; }

private:
    UTIL_DynArray<Event> m_oEvents; // by frame, then in file order
};
