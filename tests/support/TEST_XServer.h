#pragma once

#include <sys/types.h>

#include <string>

// An X server of the test's own (Xvfb on a free display, with GLX drawn by
// Mesa's software rasteriser), for tests of windows; stopped with the
// object. Tests skip, naming failure(), where none can be started.
class TEST_XServer {
public:
    TEST_XServer();
    ~TEST_XServer();
    TEST_XServer(const TEST_XServer &) = delete;
    TEST_XServer &operator=(const TEST_XServer &) = delete;

    bool running() const { return m_iPid > 0; }
    // Why no server runs.
    const std::string &failure() const { return m_sFailure; }
    // The display name (":N") for DISPLAY.
    const std::string &display() const { return m_sDisplay; }

    // The first top-level window whose title contains text, waiting up to
    // timeoutSeconds for it to appear; 0 when none did.
    unsigned long findWindow(const std::string &text, double timeoutSeconds) const;
    // Resizes a window as a window manager would on the user's behalf.
    bool resizeWindow(unsigned long window, int width, int height) const;
    // Asks a window to close, as a window manager does when its close
    // button is pressed (the WM_DELETE_WINDOW message).
    bool requestClose(unsigned long window) const;

private:
    pid_t m_iPid;
    std::string m_sDisplay;
    std::string m_sFailure;
};
