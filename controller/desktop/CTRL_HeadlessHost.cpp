#include "controller/desktop/CTRL_HeadlessHost.h"

#include <cstdio>
#include <ctime>

#include "controller/CTRL_Generic.h"
#include "controller/desktop/CTRL_InputScript.h"
#include "controller/desktop/CTRL_Interrupt.h"
#include "foundation/UTIL_Bitmap.h"
#include "view/desktop/VIEW_EglContext.h"

CTRL_HeadlessHost::CTRL_HeadlessHost(CTRL_Generic *controller, int width, int height)
    : m_poController(controller), m_poRenderer(nullptr), m_poContext(nullptr), m_oDrawing(controller), m_iWidth(width),
      m_iHeight(height)
{
    m_acFailure[0] = '\0';
    m_poContext = VIEW_EglContext::create(width, height, m_acFailure, sizeof(m_acFailure));
    if (m_poContext == nullptr) {
        if (m_acFailure[0] == '\0')
            snprintf(m_acFailure, sizeof(m_acFailure), "no OpenGL context");
        m_poRenderer = &m_oNullRenderer;
        m_poController->m_poRenderer = m_poRenderer;
        m_poRenderer->start();
    }
    CTRL_Interrupt::setEngine(m_poController->m_poScriptEngine);
}

CTRL_HeadlessHost::CTRL_HeadlessHost(CTRL_Generic *controller, VIEW_Generic *renderer, int width, int height)
    : m_poController(controller), m_poRenderer(renderer), m_poContext(nullptr), m_oDrawing(controller), m_iWidth(width),
      m_iHeight(height)
{
    m_acFailure[0] = '\0';
    m_poController->m_poRenderer = renderer;
    if (renderer != nullptr)
        renderer->start();
    CTRL_Interrupt::setEngine(m_poController->m_poScriptEngine);
}

CTRL_HeadlessHost::~CTRL_HeadlessHost()
{
    CTRL_Interrupt::setEngine(nullptr);
    if (m_poContext != nullptr) {
        m_poContext->makeCurrent();
        m_oDrawing.release(m_poContext);
        delete m_poContext;
    }
    if (m_poRenderer != nullptr && m_poController->m_poRenderer == m_poRenderer)
        m_poController->m_poRenderer = nullptr;
}

long CTRL_HeadlessHost::run(long frames, double deltaTime, UTIL_Bitmap *lastFrame)
{
    m_poController->m_bRunning = true;
    if (m_poContext == nullptr)
        m_poController->resize(m_iWidth, m_iHeight);
    else if (!m_poContext->makeCurrent())
        return 0;
    long done = 0;
    while ((frames < 0 || done < frames) && CTRL_Interrupt::signal() == 0) {
        if (m_poInput != nullptr)
            m_poInput->deliver(m_poController, done + 1, m_iNextInput);
        if (m_poContext != nullptr) {
            m_oDrawing.refresh(m_poContext, m_poContext->width(), m_poContext->height(), deltaTime);
            // The frame's drawing is done before the next frame begins, as
            // a window's buffer swap has it.
            m_poContext->endFrame();
        } else {
            m_poController->frame(nullptr, m_poRenderer, deltaTime);
        }
        done++;
        if (frames < 0 && m_poController->m_bHalted)
            break; // nothing more will happen in this document
        if (deltaTime == 0) {
            // Real time: about sixty frames a second, as a display would ask.
            struct timespec pause = {0, 16 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
    }
    if (lastFrame != nullptr) {
        // The framebuffer keeps what the last frame drew.
        lastFrame->clear();
        if (m_poContext != nullptr && done > 0)
            m_oDrawing.readFrame(m_poContext, *lastFrame);
    }
    return done;
}
