#pragma once

#include <functional>
#include <string>
#include <vector>

#include "foundation/UTIL_Bitmap.h"

union SDL_Event;
class CTRL_Desktop;
class CTRL_InputScript;
class CTRL_LanguageChooser;
class CTRL_WindowHost;

// How the shell plays its documents.
struct CTRL_ShellSettings {
    int m_iWidth = 800; // of a new window
    int m_iHeight = 600;
    long m_iFrames = -1;       // frames of each window before it closes itself; -1: until closed
    double m_fDeltaTime = 0;   // 0: real time
    std::string m_sScreenshot; // PNG file for the last frame of the first document's window; empty: none
    std::string m_sAudioOut;   // WAV file for the first document's sound; empty: the audio device
    std::string m_sLanguage;   // the language given to every controller; empty: the user's locale
    const CTRL_InputScript *m_poInput = nullptr; // events for the frames of every window (not owned)
};

// The player on the desktop: one window per document, each with its own
// controller, OpenGL context and renderer, all run by one loop that reads
// the events of every window and draws a frame in each in turn. A file
// dropped on a window opens in a new window; Ctrl+L shows a window's
// language chooser, and a choice opens that window's document again in a
// new window whose controller has the language before the document opens,
// then closes the old one. The loop ends when the last window has closed,
// or at SIGINT or SIGTERM (CTRL_Interrupt), which close every window.
class CTRL_Shell {
public:
    // makeController makes the controller of each new window.
    CTRL_Shell(const CTRL_ShellSettings &settings, std::function<CTRL_Desktop *()> makeController);
    // Closes the windows still open.
    ~CTRL_Shell();
    CTRL_Shell(const CTRL_Shell &) = delete;
    CTRL_Shell &operator=(const CTRL_Shell &) = delete;

    // Opens a window for each document named at start. False when not one
    // window could be opened (the reason written in one line).
    bool start(const std::vector<std::string> &documents);
    // Runs until the last window has closed or a signal came.
    void run();
    // Whether any window's document failed (its error report fired), or a
    // window, capture or screenshot could not be made.
    bool failed() const { return m_bFailed; }

    // How a window's document came.
    enum Origin {
        NAMED,   // on the command line: opened whatever it is
        DROPPED, // dropped on a window, or opened again with a new language:
                 // a file that cannot be read gives an empty window
    };
    // Opens a window of width x height for the document; false when no
    // window could be made.
    bool openWindow(const std::string &path, Origin origin, int width, int height);
    // Handles one event of the SDL queue.
    void handleEvent(const SDL_Event &event);
    // Runs a frame in every window, then closes those that are done.
    void runFrames();
    int windowCount() const { return static_cast<int>(m_apoWindows.size()); }
    // The SDL identifier and the controller of the window at index, in the
    // order the windows opened (0 and null past the last).
    unsigned int windowId(int index) const;
    CTRL_Desktop *controller(int index) const;
    // The language chosen so far ("" for none).
    const std::string &language() const { return m_sLanguage; }

    // The key chord that shows and hides a window's language chooser.
    static bool isChooserChord(const SDL_Event &event);
    // A window's title for a document path: its file name, the player's
    // name and the chooser's chord.
    static std::string windowTitle(const std::string &path);

private:
    struct Window;

    Window *windowOf(unsigned int id) const;
    // An event that belongs to one window: its chooser when that is open,
    // else the window's controller.
    void dispatch(Window &window, const SDL_Event &event);
    // Hands an event of the window's keyboard, mouse or wheel to its
    // controller as the controller's input calls.
    void deliverInput(Window &window, const SDL_Event &event);
    // The language was chosen in the window: every later window gets it,
    // and this one's document opens again in a new window.
    void chooseLanguage(Window &window, const char *code);
    void frame(Window &window);
    // Says what went wrong in the window, writes its screenshot, closes it.
    void finish(Window *window);
    void closeFinished();

    CTRL_ShellSettings m_oSettings;
    std::function<CTRL_Desktop *()> m_fnMakeController;
    std::vector<Window *> m_apoWindows;
    std::string m_sLanguage;
    bool m_bFailed;
    bool m_bStarted; // a first window was opened
};
