#include "tests/support/TEST_XServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
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
        // The server goes with the test program, however that ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
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

// Windows come and go while the tests look at them: a request about one
// that has just gone fails, and is only that (Xlib's own handler would end
// the test program).
int ignoreError(Display *, XErrorEvent *)
{
    return 0;
}

// A connection to the server for one request.
struct Connection {
    explicit Connection(const std::string &name)
    {
        XSetErrorHandler(ignoreError);
        m_poDisplay = XOpenDisplay(name.c_str());
    }
    ~Connection()
    {
        if (m_poDisplay != nullptr)
            XCloseDisplay(m_poDisplay);
    }
    Display *m_poDisplay;
};

// One request on a connection of its own, waited for; false when no
// connection could be made or the request says it failed.
template <class Request> bool request(const std::string &name, Request ask)
{
    Connection connection(name);
    if (connection.m_poDisplay == nullptr)
        return false;
    bool done = ask(connection.m_poDisplay);
    XSync(connection.m_poDisplay, False);
    return done;
}

bool titleContains(Display *display, Window window, const std::string &text)
{
    XTextProperty property;
    if (XGetWMName(display, window, &property) == 0 || property.value == nullptr)
        return false;
    bool found = strstr(reinterpret_cast<const char *>(property.value), text.c_str()) != nullptr;
    XFree(property.value);
    return found;
}

// The top-level windows whose titles contain text.
std::vector<unsigned long> titled(Display *display, const std::string &text)
{
    std::vector<unsigned long> found;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0) {
        for (unsigned int i = 0; i < count; i++)
            if (titleContains(display, children[i], text))
                found.push_back(children[i]);
        XFree(children);
    }
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
        std::vector<unsigned long> found = titled(display, text);
        if (!found.empty())
            return found[0];
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return 0;
}

bool TEST_XServer::resizeWindow(unsigned long window, int width, int height) const
{
    return request(m_sDisplay, [&](Display *display) {
        XResizeWindow(display, window, static_cast<unsigned int>(width), static_cast<unsigned int>(height));
        return true;
    });
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

std::vector<unsigned long> TEST_XServer::windowsTitled(const std::string &text) const
{
    Connection connection(m_sDisplay);
    return connection.m_poDisplay != nullptr ? titled(connection.m_poDisplay, text) : std::vector<unsigned long>();
}

bool TEST_XServer::waitForWindowCount(const std::string &text, size_t count, double timeoutSeconds) const
{
    Connection connection(m_sDisplay);
    if (connection.m_poDisplay == nullptr)
        return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (titled(connection.m_poDisplay, text).size() != count) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

namespace {

// A file name as a file: address, every byte outside the unreserved ones
// and '/' written as %XX.
std::string fileUri(const std::string &path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        if (isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

void sendClientMessage(Display *display, Window to, Atom type, long l0, long l1, long l2, long l3, long l4)
{
    XEvent event;
    memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = to;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, to, False, NoEventMask, &event);
    XFlush(display);
}

} // namespace

bool TEST_XServer::dropFiles(unsigned long target, const std::vector<std::string> &paths, double timeoutSeconds) const
{
    Connection connection(m_sDisplay);
    Display *display = connection.m_poDisplay;
    if (display == nullptr)
        return false;
    std::string list;
    for (const std::string &path : paths)
        list += fileUri(path) + "\r\n";
    Atom selection = XInternAtom(display, "XdndSelection", False);
    Atom enter = XInternAtom(display, "XdndEnter", False), position = XInternAtom(display, "XdndPosition", False);
    Atom status = XInternAtom(display, "XdndStatus", False), drop = XInternAtom(display, "XdndDrop", False);
    Atom finished = XInternAtom(display, "XdndFinished", False), copy = XInternAtom(display, "XdndActionCopy", False);
    Atom uriList = XInternAtom(display, "text/uri-list", False);
    // The drag's source: a window of ours that owns the selection.
    Window source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, selection, source, CurrentTime);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, target, DefaultRootWindow(display), 10, 10, &x, &y, &child);
    const long version = 5;
    sendClientMessage(display, target, enter, static_cast<long>(source), version << 24, static_cast<long>(uriList), 0,
                      0);
    sendClientMessage(display, target, position, static_cast<long>(source), 0, (x << 16) | y, CurrentTime,
                      static_cast<long>(copy));
    bool dropped = false, done = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        if (XPending(display) == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ClientMessage && event.xclient.message_type == status && !dropped) {
            if ((event.xclient.data.l[1] & 1) == 0)
                break; // the window refused the files
            sendClientMessage(display, target, drop, static_cast<long>(source), 0, CurrentTime, 0, 0);
            dropped = true;
        } else if (event.type == SelectionRequest) {
            // The window asks for the names.
            XSelectionRequestEvent &request = event.xselectionrequest;
            XEvent reply;
            memset(&reply, 0, sizeof(reply));
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = request.requestor;
            reply.xselection.selection = request.selection;
            reply.xselection.target = request.target;
            reply.xselection.time = request.time;
            reply.xselection.property = None;
            if (request.target == uriList) {
                XChangeProperty(display, request.requestor, request.property, uriList, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char *>(list.data()), static_cast<int>(list.size()));
                reply.xselection.property = request.property;
            }
            XSendEvent(display, request.requestor, False, NoEventMask, &reply);
            XFlush(display);
        } else if (event.type == ClientMessage && event.xclient.message_type == finished) {
            done = dropped;
        }
    }
    XDestroyWindow(display, source);
    XSync(display, False);
    return done;
}

bool TEST_XServer::focus(unsigned long window, int x, int y) const
{
    return request(m_sDisplay, [&](Display *display) {
        XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
        XWarpPointer(display, None, window, 0, 0, 0, 0, x, y);
        return true;
    });
}

bool TEST_XServer::key(const std::string &keysym, bool down) const
{
    return request(m_sDisplay, [&](Display *display) {
        KeySym symbol = XStringToKeysym(keysym.c_str());
        KeyCode code = symbol != NoSymbol ? XKeysymToKeycode(display, symbol) : 0;
        return code != 0 && XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime) != 0;
    });
}

bool TEST_XServer::movePointer(unsigned long window, int x, int y) const
{
    return request(m_sDisplay, [&](Display *display) {
        int rootX = 0, rootY = 0;
        Window child = 0;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
        return XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, CurrentTime) != 0;
    });
}

bool TEST_XServer::button(int number, bool down) const
{
    return request(m_sDisplay, [&](Display *display) {
        return XTestFakeButtonEvent(display, static_cast<unsigned int>(number), down ? True : False, CurrentTime) != 0;
    });
}

std::vector<std::string> TEST_XServer::environment() const
{
    return {"DISPLAY=" + m_sDisplay, "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
}
