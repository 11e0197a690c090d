#include "controller/desktop/CTRL_WindowHost.h"

#include <SDL.h>

#include "controller/CTRL_Generic.h"
#include "controller/desktop/CTRL_InputScript.h"
#include "controller/desktop/CTRL_Interrupt.h"
#include "controller/desktop/CTRL_SdlInput.h"
#include "foundation/UTIL_Bitmap.h"
#include "view/desktop/VIEW_SdlWindow.h"

// A display refresh, for pacing frames where swapping does not wait for one.
static const Uint32 REFRESH_MS = 16;

CTRL_WindowHost::CTRL_WindowHost(CTRL_Generic *controller)
    : m_poController(controller), m_poSdlInput(new CTRL_SdlInput(controller)), m_poWindow(nullptr),
      m_oDrawing(controller), m_bClosed(false)
{
    CTRL_Interrupt::setEngine(m_poController->m_poScriptEngine);
}

CTRL_WindowHost::~CTRL_WindowHost()
{
    CTRL_Interrupt::setEngine(nullptr);
    delete m_poSdlInput;
    if (m_poWindow == nullptr)
        return;
    m_poWindow->makeCurrent();
    m_oDrawing.release(m_poWindow);
    delete m_poWindow;
}

bool CTRL_WindowHost::open(const char *title, int width, int height, char *error, int errorSize, bool *noDisplay)
{
    if (m_poWindow == nullptr)
        m_poWindow = VIEW_SdlWindow::open(title, width, height, error, errorSize, noDisplay);
    return m_poWindow != nullptr;
}

bool CTRL_WindowHost::handleEvents()
{
    // Mouse positions come in window coordinates; the controller takes
    // pixels of the drawing surface.
    int width = 0, height = 0, pixelsWide = 0, pixelsHigh = 0;
    SDL_Window *window = SDL_GetWindowFromID(m_poWindow->id());
    if (window != nullptr)
        SDL_GetWindowSize(window, &width, &height);
    m_poWindow->drawableSize(pixelsWide, pixelsHigh);
    if (width > 0 && height > 0 && pixelsWide > 0 && pixelsHigh > 0)
        m_poSdlInput->setScale(static_cast<double>(pixelsWide) / width, static_cast<double>(pixelsHigh) / height);
    SDL_Event event;
    bool open = true;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT)
            open = false;
        else if (event.type == SDL_WINDOWEVENT && event.window.windowID == m_poWindow->id() &&
                 event.window.event == SDL_WINDOWEVENT_CLOSE)
            open = false;
        else
            m_poSdlInput->handle(event);
        // A new size needs nothing here: every frame takes the drawing size
        // of the window as it is.
    }
    return open;
}

long CTRL_WindowHost::run(long frames, double deltaTime, UTIL_Bitmap *lastFrame)
{
    if (lastFrame != nullptr)
        lastFrame->clear();
    if (m_poWindow == nullptr || !m_poWindow->makeCurrent())
        return 0;
    m_poController->m_bRunning = true;
    // Without a frame count, any frame may turn out to be the last one: each
    // is read back while it is still in the back buffer.
    bool readEvery = lastFrame != nullptr && frames < 0;
    long done = 0;
    while ((frames < 0 || done < frames) && CTRL_Interrupt::signal() == 0) {
        if (!handleEvents()) {
            m_bClosed = true;
            break;
        }
        if (m_poInput != nullptr)
            m_poInput->deliver(m_poController, done + 1);
        Uint32 start = SDL_GetTicks();
        int width = 0, height = 0;
        m_poWindow->drawableSize(width, height);
        m_oDrawing.refresh(m_poWindow, width, height, deltaTime);
        done++;
        if (lastFrame != nullptr && (readEvery || done == frames))
            m_oDrawing.readFrame(m_poWindow, *lastFrame);
        m_poWindow->swap();
        if (!m_poWindow->synchronised() || m_poWindow->hidden()) {
            Uint32 spent = SDL_GetTicks() - start;
            if (spent < REFRESH_MS)
                SDL_Delay(REFRESH_MS - spent);
        }
    }
    return done;
}
