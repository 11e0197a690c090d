#pragma once

#include <SDL.h>

class CTRL_Generic;

// Turns SDL's keyboard, mouse and wheel events into controller calls, as the
// controller wants them: positions in view pixels from the view's top-left
// corner, key codes of the scripts' KEY_ table, and the modifiers shift,
// control and alt as key events 16, 17 and 18 of their own.
//
// Key codes: a character key gives its character, a to z raised to A to Z
// (the unshifted character of the layout: shift and 1 give "1", 49); the
// arrows give 37 to 40 (left, up, right, down), F1 to F12 give 112 to 123,
// the keypad gives the characters it types (its Enter 13); other keys have
// no code and are not passed on. Either shift key (control, alt) is the one
// modifier: it goes down with the first and up with the last.
class CTRL_SdlInput {
public:
    explicit CTRL_SdlInput(CTRL_Generic *controller);
    CTRL_SdlInput(const CTRL_SdlInput &) = delete;
    CTRL_SdlInput &operator=(const CTRL_SdlInput &) = delete;

    // View pixels per unit of SDL's mouse coordinates on each axis: the
    // window's drawing size over its size (above 1 on high-density
    // displays). 1 and 1 at first.
    void setScale(double x, double y);

    // Hands one event to the controller. True when it was an input event
    // (whether or not it led to a call).
    bool handle(const SDL_Event &event);

    // The key code of an SDL key; 0 for a key without one.
    static int keyCode(SDL_Keycode key);

    // Whether shift, control or alt is held, as the events told.
    bool shift() const { return (m_uiModifierKeys & SHIFT_KEYS) != 0; }
    bool control() const { return (m_uiModifierKeys & CONTROL_KEYS) != 0; }

private:
    enum {
        LEFT_SHIFT = 1,
        RIGHT_SHIFT = 2,
        LEFT_CONTROL = 4,
        RIGHT_CONTROL = 8,
        LEFT_ALT = 16,
        RIGHT_ALT = 32,
        SHIFT_KEYS = LEFT_SHIFT | RIGHT_SHIFT,
        CONTROL_KEYS = LEFT_CONTROL | RIGHT_CONTROL,
        ALT_KEYS = LEFT_ALT | RIGHT_ALT,
    };
    // A modifier key went down or up: the modifier's key event when that
    // changes whether it is held. False for a key that is no modifier.
    bool modifier(SDL_Keycode key, bool down);
    // Shows the cursor kind a desktop controller asked for last.
    void showCursor();

    CTRL_Generic *m_poController;
    double m_fScaleX, m_fScaleY;
    double m_fMouseX, m_fMouseY; // the last motion, in SDL's coordinates
    unsigned m_uiModifierKeys;
};
