#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

class CTRL_Generic;

// Turns SDL's keyboard, mouse and wheel events into controller calls, as the
// controller wants them: positions in view pixels from the view's top-left
// corner, key codes of the scripts' KEY_ table, and the modifiers shift,
// control and alt as key events 16, 17 and 18 of their own.
//
// Key codes: a key that types text gives the code of each character it
// types, in order: the character's code point, a to z raised to A to Z
// (shift and 1 give "!", 33; a letter of another layout its own code). SDL
// reports the text after the key's press, so a press waits for the event
// that follows it: its text, or any other event (or flush), which means it
// typed nothing. A key that types nothing (Escape, Enter, Tab, Backspace,
// the arrows, function keys, letters held with control) gives the code of
// its key (keyCode), and is not passed on when that is 0. A key's release,
// and its repeats while it is held, give the codes its press gave. Either
// shift key (control, alt) is the one modifier: it goes down with the first
// and up with the last.
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
    // Hands on a key press still waiting for its text as a press that typed
    // nothing. The events read at one time end with it.
    void flush();

    // The key code of an SDL key, for a key that types nothing: a character
    // key its unshifted character, a to z raised to A to Z; the arrows 37 to
    // 40 (left, up, right, down), F1 to F12 112 to 123, the keypad the
    // characters it types (its Enter 13); 0 for other keys.
    static int keyCode(SDL_Keycode key);
    // The key code of a typed character: its code point, a to z raised to A
    // to Z.
    static int characterCode(uint64_t codePoint);

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
    // The press of the waiting key, with the codes of its text (or its key
    // code when text is null).
    void press(const char *text);
    // The codes of a key's press, kept until its release.
    std::vector<int> &codesOf(SDL_Scancode scancode);

    CTRL_Generic *m_poController;
    double m_fScaleX, m_fScaleY;
    double m_fMouseX, m_fMouseY; // the last motion, in SDL's coordinates
    unsigned m_uiModifierKeys;
    bool m_bWaiting; // a key's press waits for its text
    SDL_Keysym m_oWaitingKey;
    std::vector<std::vector<int>> m_aaiPressCodes; // by scancode
};
