#include "controller/desktop/CTRL_HeadlessHost.h"

#include <ctime>

#include "controller/CTRL_Generic.h"
#include "controller/desktop/CTRL_Interrupt.h"
#include "view/VIEW_Generic.h"

CTRL_HeadlessHost::CTRL_HeadlessHost(CTRL_Generic *controller, VIEW_Generic *renderer, int width, int height)
    : m_poController(controller), m_poRenderer(renderer), m_iWidth(width), m_iHeight(height)
{
    m_poController->m_poRenderer = renderer;
    if (renderer != nullptr)
        renderer->start();
    CTRL_Interrupt::setEngine(m_poController->m_poScriptEngine);
}

CTRL_HeadlessHost::~CTRL_HeadlessHost()
{
    CTRL_Interrupt::setEngine(nullptr);
    if (m_poController->m_poRenderer == m_poRenderer)
        m_poController->m_poRenderer = nullptr;
}

long CTRL_HeadlessHost::run(long frames, double deltaTime)
{
    m_poController->m_bRunning = true;
    m_poController->resize(m_iWidth, m_iHeight);
    long done = 0;
    while ((frames < 0 || done < frames) && CTRL_Interrupt::signal() == 0) {
        m_poController->frame(nullptr, m_poRenderer, deltaTime);
        done++;
        if (frames < 0 && m_poController->m_bHalted)
            break; // nothing more will happen in this document
        if (deltaTime == 0) {
            // Real time: about sixty frames a second, as a display would ask.
            struct timespec pause = {0, 16 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
    }
    return done;
}
