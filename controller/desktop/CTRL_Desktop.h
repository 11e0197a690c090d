#pragma once

#include <cstddef>

#include "controller/CTRL_Generic.h"

class CTRL_SdlInput;
class UTIL_Bitmap;
union SDL_Event;

// The controller of this platform (Linux desktop). Its window and sound
// output come with the window shell; headless, it has neither.
class CTRL_Desktop : public CTRL_Generic {
public:
    explicit CTRL_Desktop(CTRL_ScriptEngine *engine);
    // Deletes the sound output when there is one (a WAV capture is then
    // complete), then the base.
    ~CTRL_Desktop() override;

    // Creates the sound output (replacing one made before): with a capture
    // path, the WAV file output, false when that file cannot be written (no
    // output is made then); else, when device is true, the default audio
    // device, or the output that plays nothing when no device opens (said
    // in one line); else the output that plays nothing.
    bool openSound(bool device, const char *capturePath);
    // Opens the document at path for a host. An empty or unreadable file,
    // which fails without the error report, is reported here, so that the
    // user sees that nothing can be played. False when the controller is
    // halted.
    bool openDocumentOrReport(const char *path);
    // Ends what a host played: completes the sound output, says the error
    // report's message on standard error, and writes shot (what the last
    // frame drew) as the PNG file screenshotPath when that is not null; then
    // closes the scripts within a bounded time (CTRL_CloseGuard), saying the
    // message of an error that their finalizers report. False when the
    // document failed (also while closing) or the capture or screenshot did.
    bool finishPlay(const char *screenshotPath, const UTIL_Bitmap &shot);

    // The cursor kind asked for last (0 arrow, 1 crosshair, 2 closed hand,
    // 3 open hand), shown at once while SDL's video runs; the window shell
    // shows it again when the pointer enters the controller's window.
    int m_iCursor;
    void setCursor(int kind) override;

    // Hands the address to the desktop's opener (m_sOpenProgram) as its
    // single argument, without a shell, and does not wait for it.
    void openExternal(const char *address) override;
    // The chosen language, or else the user's locale: two upper-case
    // letters ("FR"), "US" when the locale names no language.
    void getLanguage(char *output) override;

    // A keyboard, mouse or wheel event of the controller's window, as SDL
    // gives it (mouse positions in window units; scaleX and scaleY drawing
    // pixels per unit), turned into the controller's input calls
    // (CTRL_SdlInput).
    virtual void deliverInput(const SDL_Event &event, double scaleX, double scaleY);
    // Hands on a key press delivered last that still waits for the text it
    // types: the window's events read at one time end with this.
    void flushInput();

    // The program that opens addresses, looked up on the PATH; "xdg-open"
    // unless changed (tests put a harmless program here).
    const char *m_sOpenProgram;

    // Starts program with the one argument in its own process, detached (a
    // short-lived intermediate process is reaped at once, so nothing is left
    // to wait for). False when the program could not be started.
    static bool launchDetached(const char *program, const char *argument);
    // The two-letter code of a locale name such as "fr_FR.UTF-8" ("FR"):
    // "US" for null, empty, "C", "POSIX" or a name without two letters in
    // front. output holds at least 3 characters.
    static void languageOfLocale(const char *locale, char *output);
    // The first non-empty of LANGUAGE, LC_ALL, LC_MESSAGES and LANG, or null.
    static const char *userLocale();
    // The memory cap for a document's scripts: wanted, or half of what a
    // limit on the process's memory (its address space or data, as ulimit -v
    // and -d set them) allows when that is less, so that the other half
    // stays for the rest of the player (drawing the error message among it).
    static size_t scriptMemoryCap(size_t wanted);

private:
    CTRL_SdlInput *m_poSdlInput; // made with the first event delivered
    // Set by the sound capture, through the pointer it was given, when
    // writing it failed part-way (what was written stays a valid file).
    bool m_bCaptureFailed;
};
