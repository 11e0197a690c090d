#include "controller/desktop/CTRL_Shell.h"

#include <SDL.h>

#include <cstdio>

#include "controller/desktop/CTRL_Desktop.h"
#include "controller/desktop/CTRL_InputScript.h"
#include "controller/desktop/CTRL_Interrupt.h"
#include "controller/desktop/CTRL_LanguageChooser.h"
#include "controller/desktop/CTRL_WindowHost.h"
#include "foundation/UTIL_Log.h"
#include "view/desktop/VIEW_SdlCursor.h"
#include "view/desktop/VIEW_SdlWindow.h"

namespace {

// A display refresh, for pacing frames where no swap waits for one.
const Uint32 REFRESH_MS = 16;

bool readable(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    fclose(file);
    return true;
}

} // namespace

struct CTRL_Shell::Window {
    Window(CTRL_Desktop *controller, const std::string &path)
        : m_poController(controller), m_poHost(new CTRL_WindowHost(controller)),
          m_poChooser(new CTRL_LanguageChooser(controller->m_poDefaultFont)), m_sPath(path),
          m_abTakenKeys(SDL_NUM_SCANCODES, false)
    {
    }
    // The window goes first (its renderer with it), then the controller.
    ~Window()
    {
        delete m_poChooser;
        delete m_poHost;
        delete m_poController;
    }
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;

    CTRL_Desktop *m_poController;
    CTRL_WindowHost *m_poHost;
    CTRL_LanguageChooser *m_poChooser;
    std::string m_sPath;
    long m_iFramesDone = 0;
    bool m_bScreenshot = false; // its last frame is the screenshot
    UTIL_Bitmap m_oShot;
    bool m_bClosing = false;
    bool m_bSynchronised = false; // its swaps were asked to wait for the display
    // Keys and buttons whose press the shell took: their release is not
    // the controller's either.
    std::vector<bool> m_abTakenKeys;
    unsigned int m_uiTakenButtons = 0;
    int m_iNextInput = 0; // the next event of the input file
};

CTRL_Shell::CTRL_Shell(const CTRL_ShellSettings &settings, std::function<CTRL_Desktop *()> makeController)
    : m_oSettings(settings), m_fnMakeController(std::move(makeController)), m_sLanguage(settings.m_sLanguage),
      m_bFailed(false), m_bStarted(false)
{
}

CTRL_Shell::~CTRL_Shell()
{
    for (Window *window : m_apoWindows)
        window->m_bClosing = true;
    closeFinished();
    VIEW_SdlCursor::releaseAll();
}

std::string CTRL_Shell::windowTitle(const std::string &path)
{
    size_t slash = path.rfind('/');
    return (slash == std::string::npos ? path : path.substr(slash + 1)) + " - Vekta (Ctrl+L: language)";
}

bool CTRL_Shell::isChooserChord(const SDL_Event &event)
{
    if (event.type != SDL_KEYDOWN || event.key.keysym.sym != SDLK_l)
        return false;
    Uint16 mod = event.key.keysym.mod;
    return (mod & KMOD_CTRL) != 0 && (mod & (KMOD_SHIFT | KMOD_ALT | KMOD_GUI)) == 0;
}

bool CTRL_Shell::start(const std::vector<std::string> &documents)
{
    for (size_t i = 0; i < documents.size(); i++) {
        bool first = !m_bStarted;
        if (!openWindow(documents[i], NAMED, m_oSettings.m_iWidth, m_oSettings.m_iHeight) && first)
            return false; // said why; with no display nothing more will open
        if (first && !m_apoWindows.empty())
            m_apoWindows.back()->m_bScreenshot = !m_oSettings.m_sScreenshot.empty();
    }
    return !m_apoWindows.empty();
}

bool CTRL_Shell::openWindow(const std::string &path, Origin origin, int width, int height)
{
    bool first = !m_bStarted;
    Window *window = new Window(m_fnMakeController(), path);
    CTRL_Desktop *controller = window->m_poController;
    // A chosen language is the controller's before its document opens.
    if (!m_sLanguage.empty())
        controller->setLanguage(m_sLanguage.c_str());
    char error[512];
    bool noDisplay = false;
    if (!window->m_poHost->open(windowTitle(path).c_str(), width, height, error, sizeof(error), &noDisplay)) {
        if (first)
            fprintf(stderr, "vekta: cannot open a window (%s); --headless plays without a display\n", error);
        else
            fprintf(stderr, "vekta: cannot open a window for %s (%s)\n", path.c_str(), error);
        delete window;
        m_bFailed = true;
        return false;
    }
    m_bStarted = true;
    m_apoWindows.push_back(window);
    if (origin == DROPPED && !readable(path)) {
        // Nothing to play: the window stays empty.
        UTIL_warn("%s cannot be read: its window stays empty", path.c_str());
        return true;
    }
    // The sound device opens with the window; the first document's sound may
    // go to a file instead, made before the document opens so that a
    // document that fails still leaves a complete (silent) capture.
    const std::string &capture = m_oSettings.m_sAudioOut;
    if (!controller->openSound(true, first && !capture.empty() ? capture.c_str() : nullptr)) {
        m_bFailed = true;
        window->m_bClosing = true;
        return true;
    }
    controller->openDocumentOrReport(path.c_str());
    controller->m_bRunning = true;
    return true;
}

unsigned int CTRL_Shell::windowId(int index) const
{
    return index >= 0 && index < windowCount() ? m_apoWindows[static_cast<size_t>(index)]->m_poHost->id() : 0;
}

CTRL_Desktop *CTRL_Shell::controller(int index) const
{
    return index >= 0 && index < windowCount() ? m_apoWindows[static_cast<size_t>(index)]->m_poController : nullptr;
}

CTRL_Shell::Window *CTRL_Shell::windowOf(unsigned int id) const
{
    for (Window *window : m_apoWindows)
        if (!window->m_bClosing && window->m_poHost->id() == id)
            return window;
    return nullptr;
}

void CTRL_Shell::handleEvent(const SDL_Event &event)
{
    Window *window = nullptr;
    switch (event.type) {
    case SDL_QUIT:
        for (Window *open : m_apoWindows)
            open->m_bClosing = true;
        return;
    case SDL_WINDOWEVENT:
        window = windowOf(event.window.windowID);
        if (window == nullptr)
            return;
        if (event.window.event == SDL_WINDOWEVENT_CLOSE)
            window->m_bClosing = true;
        else if (event.window.event == SDL_WINDOWEVENT_ENTER)
            VIEW_SdlCursor::show(window->m_poChooser->isOpen() ? 0 : window->m_poController->m_iCursor);
        // A new size needs nothing here: every frame takes the drawing size
        // of the window as it is.
        return;
    case SDL_DROPFILE: {
        // A file dropped on a window opens in a window of its own, of the
        // size of the one it was dropped on.
        int width = m_oSettings.m_iWidth, height = m_oSettings.m_iHeight;
        Window *target = windowOf(event.drop.windowID);
        if (target != nullptr)
            target->m_poHost->window()->windowSize(width, height);
        if (event.drop.file != nullptr)
            openWindow(event.drop.file, DROPPED, width, height);
        SDL_free(event.drop.file);
        return;
    }
    case SDL_DROPTEXT:
        SDL_free(event.drop.file);
        return;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_TEXTINPUT: {
        unsigned int id = event.type == SDL_TEXTINPUT ? event.text.windowID : event.key.windowID;
        window = windowOf(id);
        // Keys (and their text) that come before the desktop has told SDL
        // which window has the keyboard carry no window: with one window
        // they are its own.
        if (id == 0 && m_apoWindows.size() == 1 && !m_apoWindows[0]->m_bClosing)
            window = m_apoWindows[0];
        break;
    }
    case SDL_TEXTEDITING:
        window = windowOf(event.edit.windowID);
        break;
    case SDL_MOUSEMOTION:
        window = windowOf(event.motion.windowID);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        window = windowOf(event.button.windowID);
        break;
    case SDL_MOUSEWHEEL:
        window = windowOf(event.wheel.windowID);
        break;
    default:
        return;
    }
    if (window == nullptr)
        return;
    // A signal stops a script that the event runs (a key or mouse callback).
    CTRL_Interrupt::setEngine(window->m_poController->m_poScriptEngine);
    dispatch(*window, event);
    CTRL_Interrupt::setEngine(nullptr);
}

void CTRL_Shell::dispatch(Window &window, const SDL_Event &event)
{
    CTRL_LanguageChooser &chooser = *window.m_poChooser;
    bool key = event.type == SDL_KEYDOWN || event.type == SDL_KEYUP;
    bool button = event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP;
    size_t scancode = key ? static_cast<size_t>(event.key.keysym.scancode) : 0;
    unsigned int buttonBit = button && event.button.button < 32 ? 1u << event.button.button : 0;
    // A key press waits in the controller for the text that follows it; any
    // other event, also one the shell takes, means it typed nothing.
    if (event.type != SDL_TEXTINPUT)
        window.m_poController->flushInput();
    if (key && scancode >= window.m_abTakenKeys.size())
        return;
    // The release of what the shell took is the shell's too.
    if (event.type == SDL_KEYUP && window.m_abTakenKeys[scancode]) {
        window.m_abTakenKeys[scancode] = false;
        return;
    }
    if (event.type == SDL_MOUSEBUTTONUP && (window.m_uiTakenButtons & buttonBit) != 0) {
        window.m_uiTakenButtons &= ~buttonBit;
        return;
    }
    if (isChooserChord(event)) {
        window.m_abTakenKeys[scancode] = true;
        if (event.key.repeat != 0)
            return;
        if (chooser.isOpen()) {
            chooser.close();
            VIEW_SdlCursor::show(window.m_poController->m_iCursor);
        } else {
            char language[8] = "";
            window.m_poController->getLanguage(language);
            chooser.open(language);
            VIEW_SdlCursor::show(0);
        }
        return;
    }
    if (!chooser.isOpen()) {
        deliverInput(window, event);
        // The controller may have asked for another cursor.
        if (event.type == SDL_MOUSEMOTION)
            VIEW_SdlCursor::show(window.m_poController->m_iCursor);
        return;
    }
    // The chooser takes every press; a release of a press it did not take
    // (a key held when it opened) still reaches the controller.
    if (event.type == SDL_KEYUP || event.type == SDL_MOUSEBUTTONUP) {
        deliverInput(window, event);
        return;
    }
    if (event.type == SDL_KEYDOWN)
        window.m_abTakenKeys[scancode] = true;
    if (event.type == SDL_MOUSEBUTTONDOWN)
        window.m_uiTakenButtons |= buttonBit;
    int width = 0, height = 0;
    window.m_poHost->window()->drawableSize(width, height);
    double scaleX = 1, scaleY = 1;
    window.m_poHost->pixelScale(scaleX, scaleY);
    int choice = chooser.handleEvent(event, width, height, scaleX, scaleY);
    if (!chooser.isOpen())
        VIEW_SdlCursor::show(window.m_poController->m_iCursor);
    if (choice >= 0)
        chooseLanguage(window, CTRL_LanguageChooser::code(choice));
}

void CTRL_Shell::deliverInput(Window &window, const SDL_Event &event)
{
    double x = 1, y = 1;
    window.m_poHost->pixelScale(x, y);
    window.m_poController->deliverInput(event, x, y);
}

void CTRL_Shell::chooseLanguage(Window &window, const char *code)
{
    m_sLanguage = code;
    int width = m_oSettings.m_iWidth, height = m_oSettings.m_iHeight;
    window.m_poHost->window()->windowSize(width, height);
    size_t before = m_apoWindows.size();
    if (openWindow(window.m_sPath, DROPPED, width, height) && m_apoWindows.size() > before) {
        // The document's screenshot is taken in its new window.
        m_apoWindows.back()->m_bScreenshot = window.m_bScreenshot;
        window.m_bScreenshot = false;
    }
    window.m_bClosing = true;
}

void CTRL_Shell::frame(Window &window)
{
    long frames = m_oSettings.m_iFrames;
    if (frames >= 0 && window.m_iFramesDone >= frames) {
        window.m_bClosing = true;
        return;
    }
    // Without a frame count, any frame may turn out to be the last one: each
    // is read back while it is still in the back buffer.
    bool read = window.m_bScreenshot && (frames < 0 || window.m_iFramesDone + 1 == frames);
    // A signal stops the script that runs: the input's callbacks or the
    // frame's.
    CTRL_Interrupt::setEngine(window.m_poController->m_poScriptEngine);
    // The window's events are read: a key press still waiting for its text
    // typed none. The events of an input file come next, before their
    // frames, in every window from its first frame on.
    window.m_poController->flushInput();
    if (m_oSettings.m_poInput != nullptr)
        m_oSettings.m_poInput->deliver(window.m_poController, window.m_iFramesDone + 1, window.m_iNextInput);
    window.m_poHost->frame(m_oSettings.m_fDeltaTime, window.m_poChooser, read ? &window.m_oShot : nullptr);
    CTRL_Interrupt::setEngine(nullptr);
    window.m_iFramesDone++;
    if (frames >= 0 && window.m_iFramesDone >= frames)
        window.m_bClosing = true;
}

void CTRL_Shell::runFrames()
{
    Uint32 start = SDL_GetTicks();
    bool paced = false, first = true;
    // Only the first window's swaps wait for the display: with every window
    // waiting, each would wait a refresh of its own.
    for (size_t i = 0; i < m_apoWindows.size(); i++) {
        Window &window = *m_apoWindows[i];
        if (window.m_bClosing || CTRL_Interrupt::signal() != 0)
            continue;
        VIEW_SdlWindow *sdl = window.m_poHost->window();
        bool wanted = first;
        first = false;
        if (wanted != window.m_bSynchronised) {
            sdl->setSynchronised(wanted);
            window.m_bSynchronised = wanted;
        }
        frame(window);
        paced = paced || (sdl->synchronised() && !sdl->hidden());
    }
    closeFinished();
    if (!paced) {
        Uint32 spent = SDL_GetTicks() - start;
        if (spent < REFRESH_MS)
            SDL_Delay(REFRESH_MS - spent);
    }
}

void CTRL_Shell::run()
{
    while (!m_apoWindows.empty()) {
        if (CTRL_Interrupt::signal() != 0) {
            for (Window *window : m_apoWindows)
                window->m_bClosing = true;
            closeFinished();
            break;
        }
        SDL_Event event;
        while (SDL_PollEvent(&event))
            handleEvent(event);
        runFrames();
    }
}

void CTRL_Shell::finish(Window *window)
{
    // The window goes first, its renderer with it (the last frame was read
    // back already), so that the scripts' finalizers, which run as the
    // controller finishes, draw nothing into a context that is not theirs.
    delete window->m_poChooser;
    window->m_poChooser = nullptr;
    delete window->m_poHost;
    window->m_poHost = nullptr;
    const char *screenshot = window->m_bScreenshot ? m_oSettings.m_sScreenshot.c_str() : nullptr;
    if (!window->m_poController->finishPlay(screenshot, window->m_oShot))
        m_bFailed = true;
    delete window;
}

void CTRL_Shell::closeFinished()
{
    std::vector<Window *> open;
    std::vector<Window *> done;
    for (Window *window : m_apoWindows)
        (window->m_bClosing ? done : open).push_back(window);
    m_apoWindows = open;
    for (Window *window : done)
        finish(window);
}
