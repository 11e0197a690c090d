#include "controller/desktop/CTRL_WindowHost.h"

#include <SDL.h>

#include "controller/CTRL_Generic.h"
#include "foundation/UTIL_Bitmap.h"
#include "view/desktop/VIEW_SdlWindow.h"

CTRL_WindowHost::CTRL_WindowHost(CTRL_Generic *controller) : m_poWindow(nullptr), m_oDrawing(controller) {}

CTRL_WindowHost::~CTRL_WindowHost()
{
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
    if (m_poWindow == nullptr)
        return false;
    // Keys report the text they type (the key codes are its characters).
    // SDL starts this with its video on the desktop; asked for here so that
    // it holds whatever turned it off. Nothing is shown for it.
    SDL_StartTextInput();
    return true;
}

bool CTRL_WindowHost::frame(double deltaTime, CTRL_Overlay *overlay, UTIL_Bitmap *lastFrame)
{
    if (lastFrame != nullptr)
        lastFrame->clear();
    if (m_poWindow == nullptr || !m_poWindow->makeCurrent())
        return false;
    int width = 0, height = 0;
    m_poWindow->drawableSize(width, height);
    m_oDrawing.refresh(m_poWindow, width, height, deltaTime, overlay);
    if (lastFrame != nullptr)
        m_oDrawing.readFrame(m_poWindow, *lastFrame);
    m_poWindow->swap();
    return true;
}

unsigned int CTRL_WindowHost::id() const
{
    return m_poWindow != nullptr ? m_poWindow->id() : 0;
}

void CTRL_WindowHost::pixelScale(double &x, double &y) const
{
    x = y = 1;
    if (m_poWindow == nullptr)
        return;
    int drawWidth = 0, drawHeight = 0, width = 0, height = 0;
    m_poWindow->drawableSize(drawWidth, drawHeight);
    m_poWindow->windowSize(width, height);
    if (width > 0 && drawWidth > 0)
        x = static_cast<double>(drawWidth) / width;
    if (height > 0 && drawHeight > 0)
        y = static_cast<double>(drawHeight) / height;
}
