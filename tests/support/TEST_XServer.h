#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/TEST_Process.h"
#include "tests/support/TEST_Support.h"

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
    // The changes to a program's environment (as TEST_run takes them) that
    // make it open its windows on this server: DISPLAY set, the Wayland
    // display and SDL's choice of video driver removed.
    std::vector<std::string> environment() const;

    // The first top-level window whose title contains text, waiting up to
    // timeoutSeconds for it to appear; 0 when none did.
    unsigned long findWindow(const std::string &text, double timeoutSeconds) const;
    // Resizes a window as a window manager would on the user's behalf.
    bool resizeWindow(unsigned long window, int width, int height) const;
    // Asks a window to close, as a window manager does when its close
    // button is pressed (the WM_DELETE_WINDOW message).
    bool requestClose(unsigned long window) const;
    // The top-level windows whose titles contain text, now.
    std::vector<unsigned long> windowsTitled(const std::string &text) const;
    // Waits up to timeoutSeconds for the number of windows titled text to
    // become count; whether it did.
    bool waitForWindowCount(const std::string &text, size_t count, double timeoutSeconds) const;

    // Drops files on a window as a file manager does (the XDND protocol,
    // offering their names as a text/uri-list); true once the window has
    // taken the drop and said it finished.
    bool dropFiles(unsigned long window, const std::vector<std::string> &paths, double timeoutSeconds) const;
    // Gives a window the keyboard focus and moves the pointer to (x, y) in
    // it.
    bool focus(unsigned long window, int x, int y) const;
    // Presses or releases a key as the keyboard does (XTEST), by the name of
    // its key symbol ("a", "Shift_L", "Control_L", "Return", "Down").
    bool key(const std::string &keysym, bool down) const;
    // Moves the pointer to (x, y) in the window (XTEST).
    bool movePointer(unsigned long window, int x, int y) const;
    // Presses or releases a mouse button (1 left, 3 right) (XTEST).
    bool button(int number, bool down) const;

private:
    pid_t m_iPid;
    std::string m_sDisplay;
    std::string m_sFailure;
};

// Tests of windows: an X server of their own (the test skips without one),
// a folder and the environment that opens a started program's windows on
// the server.
struct TEST_WindowTest : ::testing::Test {
    TEST_XServer m_oServer;
    TEST_TempDir m_oDir;
    TEST_Environment m_aEnvironment;

    void SetUp() override
    {
        if (!m_oServer.running())
            TEST_SKIP_WITHOUT() << "no X server for the window tests: " << m_oServer.failure();
        m_aEnvironment = m_oServer.environment();
    }
};
