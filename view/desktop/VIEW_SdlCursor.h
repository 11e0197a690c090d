#pragma once

// The pointer shapes the player shows, as SDL cursors: kind 0 the arrow, 1
// the crosshair (the system's own), 2 the closed hand and 3 the open hand
// (small pictures of our own: SDL has no hand that grabs); any other kind
// shows the arrow. The cursors are made at their first use and kept.
class VIEW_SdlCursor {
public:
    // Shows the cursor of the kind. False, nothing changed, while SDL's
    // video is not running or the cursor cannot be made.
    static bool show(int kind);
    // The kind shown last (0 before any).
    static int shown();
    // Frees the cursors made so far (the arrow comes back).
    static void releaseAll();

    // The picture of a hand, 16 x 16: rows of 'X' (black), '.' (white) and
    // ' ' (transparent). closed: the hand that holds.
    static const char *const *handPicture(bool closed);
};
