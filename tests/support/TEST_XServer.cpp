#include "tests/support/TEST_XServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

TEST_XServer::TEST_XServer() : m_iPid(0)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        m_sFailure = "no pipe";
        return;
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        std::string fd = std::to_string(pipeEnds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               static_cast<char *>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    if (pid < 0) {
        close(pipeEnds[0]);
        m_sFailure = "cannot fork";
        return;
    }
    // The server writes its display number once it accepts clients.
    std::string number;
    struct pollfd ready = {pipeEnds[0], POLLIN, 0};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline && poll(&ready, 1, 100) >= 0) {
        char c;
        if ((ready.revents & (POLLIN | POLLHUP)) == 0)
            continue;
        if (read(pipeEnds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close(pipeEnds[0]);
    if (number.empty()) {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        m_sFailure = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? "Xvfb is not installed" : "Xvfb did not start";
        return;
    }
    m_iPid = pid;
    m_sDisplay = ":" + number;
}

TEST_XServer::~TEST_XServer()
{
    if (m_iPid <= 0)
        return;
    kill(m_iPid, SIGTERM);
    waitpid(m_iPid, nullptr, 0);
}

namespace {

// A connection to the server for one request.
struct Connection {
    explicit Connection(const std::string &name) : m_poDisplay(XOpenDisplay(name.c_str())) {}
    ~Connection()
    {
        if (m_poDisplay != nullptr)
            XCloseDisplay(m_poDisplay);
    }
    Display *m_poDisplay;
};

bool titleContains(Display *display, Window window, const std::string &text)
{
    XTextProperty property;
    if (XGetWMName(display, window, &property) == 0 || property.value == nullptr)
        return false;
    bool found = strstr(reinterpret_cast<const char *>(property.value), text.c_str()) != nullptr;
    XFree(property.value);
    return found;
}

} // namespace

unsigned long TEST_XServer::findWindow(const std::string &text, double timeoutSeconds) const
{
    if (!running())
        return 0;
    Connection connection(m_sDisplay);
    Display *display = connection.m_poDisplay;
    if (display == nullptr)
        return 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    do {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        Window found = 0;
        if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0) {
            for (unsigned int i = 0; i < count && found == 0; i++)
                if (titleContains(display, children[i], text))
                    found = children[i];
            XFree(children);
        }
        if (found != 0)
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return 0;
}

bool TEST_XServer::resizeWindow(unsigned long window, int width, int height) const
{
    Connection connection(m_sDisplay);
    if (connection.m_poDisplay == nullptr)
        return false;
    XResizeWindow(connection.m_poDisplay, window, static_cast<unsigned int>(width), static_cast<unsigned int>(height));
    XSync(connection.m_poDisplay, False);
    return true;
}

bool TEST_XServer::requestClose(unsigned long window) const
{
    Connection connection(m_sDisplay);
    Display *display = connection.m_poDisplay;
    if (display == nullptr)
        return false;
    XEvent event;
    memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    bool sent = XSendEvent(display, window, False, NoEventMask, &event) != 0;
    XSync(display, False);
    return sent;
}
