#include "controller/desktop/CTRL_DrawingHost.h"

#include <GL/gl.h>

#include "controller/CTRL_Generic.h"
#include "foundation/UTIL_Bitmap.h"
#include "view/opengl/VIEW_OpenGL.h"

CTRL_DrawingHost::CTRL_DrawingHost(CTRL_Generic *controller)
    : m_poController(controller), m_poRenderer(nullptr), m_iRenderersMade(0), m_iWidth(0), m_iHeight(0)
{
}

void CTRL_DrawingHost::refresh(void *context, int width, int height, double deltaTime, CTRL_Overlay *overlay)
{
    if (width < 1 || height < 1)
        width = height = 0;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    if (m_poController->m_poRenderer == nullptr) {
        m_poRenderer = new VIEW_OpenGL();
        m_iRenderersMade++;
        m_poController->m_poRenderer = m_poRenderer;
        m_poRenderer->start();
    }
    glViewport(0, 0, width, height);
    m_iWidth = width;
    m_iHeight = height;
    m_poController->resize(width, height);
    m_poController->frame(context, m_poController->m_poRenderer, deltaTime);
    if (overlay != nullptr && width > 0 && m_poRenderer != nullptr && m_poController->m_poRenderer == m_poRenderer)
        overlay->drawOverlay(m_poRenderer, width, height);
    glPopClientAttrib();
    glPopAttrib();
}

void CTRL_DrawingHost::release(void *context)
{
    if (m_poRenderer == nullptr || m_poController->m_poRenderer != m_poRenderer) {
        m_poRenderer = nullptr;
        return;
    }
    m_poRenderer->flushImageTextures(context);
    m_poRenderer->flushGlyphTextures(context);
    delete m_poRenderer;
    m_poRenderer = nullptr;
    m_poController->m_poRenderer = nullptr;
}

bool CTRL_DrawingHost::readFrame(void *context, UTIL_Bitmap &out)
{
    out.clear();
    VIEW_Generic *renderer = m_poController->m_poRenderer;
    if (renderer == nullptr || m_iWidth < 1 || m_iHeight < 1)
        return false;
    if (!renderer->readColor(context, 0, 0, m_iWidth, m_iHeight, &out) || out.m_pucData == nullptr ||
        out.m_iWidth != m_iWidth || out.m_iHeight != m_iHeight || out.m_iComponents != 3) {
        out.clear();
        return false;
    }
    return true;
}
