#include "view/desktop/VIEW_SdlWindow.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

static void setReason(char *error, int errorSize, const char *what)
{
    if (error != nullptr && errorSize > 0)
        snprintf(error, static_cast<size_t>(errorSize), "%s: %s", what, SDL_GetError());
}

// Asks for the buffers of every context the window gets; samples 0 leaves
// multisampling out.
static void setAttributes(int samples)
{
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples);
}

// Starts SDL's video on a display that a person can see. Unless a video
// driver was chosen with SDL_VIDEODRIVER, only the X and Wayland displays
// that the session names are tried: SDL would otherwise end on its
// invisible off-screen driver where no display answers.
static bool openDisplay(char *error, int errorSize)
{
    const char *chosen = getenv("SDL_VIDEODRIVER");
    bool asked = chosen != nullptr && chosen[0] != '\0';
    if (!asked) {
        bool x11 = getenv("DISPLAY") != nullptr, wayland = getenv("WAYLAND_DISPLAY") != nullptr;
        if (!x11 && !wayland) {
            if (error != nullptr && errorSize > 0)
                snprintf(error, static_cast<size_t>(errorSize),
                         "no display: neither DISPLAY nor WAYLAND_DISPLAY is set");
            return false;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, x11 && wayland ? "x11,wayland" : x11 ? "x11" : "wayland");
    }
    // SIGINT and SIGTERM stay the player's: they stop a running script.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The player decides itself when its last window has gone.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        setReason(error, errorSize, "no display");
        return false;
    }
    return true;
}

VIEW_SdlWindow *VIEW_SdlWindow::open(const char *title, int width, int height, char *error, int errorSize,
                                     bool *noDisplay)
{
    if (noDisplay != nullptr)
        *noDisplay = false;
    if (width < 1 || height < 1) {
        if (error != nullptr && errorSize > 0)
            snprintf(error, static_cast<size_t>(errorSize), "a window needs a size of at least 1 x 1");
        return nullptr;
    }
    if (!openDisplay(error, errorSize)) {
        if (noDisplay != nullptr)
            *noDisplay = true;
        return nullptr;
    }
    VIEW_SdlWindow *window = new VIEW_SdlWindow();
    const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    // Multisampled first; a display without such buffers refuses the window
    // or its context, and the second try asks for none.
    const int sampleCounts[] = {4, 0};
    for (int samples : sampleCounts) {
        setAttributes(samples);
        window->m_poWindow =
            SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height, flags);
        if (window->m_poWindow == nullptr) {
            setReason(error, errorSize, "no OpenGL window");
            continue;
        }
        window->m_poContext = SDL_GL_CreateContext(window->m_poWindow);
        if (window->m_poContext != nullptr)
            break;
        setReason(error, errorSize, "no OpenGL context");
        SDL_DestroyWindow(window->m_poWindow);
        window->m_poWindow = nullptr;
    }
    if (window->m_poContext == nullptr) {
        delete window;
        return nullptr;
    }
    int stencil = 0, depth = 0, buffers = 0, samples = 0;
    SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencil);
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth);
    SDL_GL_GetAttribute(SDL_GL_MULTISAMPLEBUFFERS, &buffers);
    SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &samples);
    if (stencil < 8 || depth < 16) {
        if (error != nullptr && errorSize > 0)
            snprintf(error, static_cast<size_t>(errorSize),
                     "the OpenGL context has %d stencil and %d depth bits, too few to draw", stencil, depth);
        delete window;
        return nullptr;
    }
    window->m_iSamples = buffers > 0 ? samples : 0;
    window->m_bSynchronised = SDL_GL_SetSwapInterval(1) == 0;
    return window;
}

VIEW_SdlWindow::~VIEW_SdlWindow()
{
    if (m_poContext != nullptr) {
        SDL_GL_MakeCurrent(m_poWindow, nullptr);
        SDL_GL_DeleteContext(m_poContext);
    }
    if (m_poWindow != nullptr)
        SDL_DestroyWindow(m_poWindow);
    // SDL's video stays up to the end of the process: ending it would close
    // the display connection and unload the OpenGL driver, which the next
    // window would load again.
}

bool VIEW_SdlWindow::makeCurrent()
{
    return SDL_GL_MakeCurrent(m_poWindow, m_poContext) == 0;
}

void VIEW_SdlWindow::releaseCurrent()
{
    SDL_GL_MakeCurrent(m_poWindow, nullptr);
}

void VIEW_SdlWindow::swap()
{
    SDL_GL_SwapWindow(m_poWindow);
}

void VIEW_SdlWindow::drawableSize(int &width, int &height) const
{
    width = 0;
    height = 0;
    SDL_GL_GetDrawableSize(m_poWindow, &width, &height);
}

void VIEW_SdlWindow::windowSize(int &width, int &height) const
{
    width = 0;
    height = 0;
    SDL_GetWindowSize(m_poWindow, &width, &height);
}

bool VIEW_SdlWindow::setSynchronised(bool synchronised)
{
    if (!makeCurrent())
        return false;
    m_bSynchronised = SDL_GL_SetSwapInterval(synchronised ? 1 : 0) == 0 && synchronised;
    return m_bSynchronised == synchronised;
}

void VIEW_SdlWindow::setTitle(const char *title)
{
    SDL_SetWindowTitle(m_poWindow, title);
}

bool VIEW_SdlWindow::hidden() const
{
    return (SDL_GetWindowFlags(m_poWindow) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) != 0;
}

unsigned int VIEW_SdlWindow::id() const
{
    return SDL_GetWindowID(m_poWindow);
}
