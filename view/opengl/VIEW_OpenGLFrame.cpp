// The frame: its fixed state, clearing, projections and the passes of one
// viewport.
#include "view/opengl/VIEW_OpenGL.h"

#include <cmath>

#include "model/MDL_Camera.h"
#include "model/MDL_Image.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"
#include "view/opengl/VIEW_GL.h"

void VIEW_OpenGL::beginFrame(void *context, bool wireframe)
{
    if (!makeCurrent(context))
        return;
    m_sVersion = reinterpret_cast<const char *>(glGetString(GL_VERSION));
    m_sVendor = reinterpret_cast<const char *>(glGetString(GL_VENDOR));
    m_sRenderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    m_iVersion = VIEW_parseGLVersion(m_sVersion);
    GLint maxTextureSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
    m_iMaxTextureSize = maxTextureSize;

    if (m_bGlyphTexturesStale) {
        m_bGlyphTexturesStale = false;
        clearGlyphTextures();
    }
    if (m_bImageTexturesStale) {
        m_bImageTexturesStale = false;
        clearImageTextures();
    }
    deleteOrphanBuffers();

    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    // The alpha test, when a material turns it on, keeps only fully opaque
    // texels.
    glAlphaFunc(GL_EQUAL, 1.0f);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glPolygonMode(GL_FRONT_AND_BACK, wireframe ? GL_LINE : GL_FILL);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    if (m_iVersion > 11)
        glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    glClearDepth(1.0);
}

void VIEW_OpenGL::clear(const MTH_Vector4D &color)
{
    glDisable(GL_SCISSOR_TEST);
    if (color.m_fW > 0) {
        glClearColor(static_cast<GLfloat>(color.m_fX), static_cast<GLfloat>(color.m_fY),
                     static_cast<GLfloat>(color.m_fZ), static_cast<GLfloat>(color.m_fW));
        glClear(GL_COLOR_BUFFER_BIT);
    }
}

bool VIEW_OpenGL::setProjection(MDL_Camera *camera, const MTH_Vector2D &position, const MTH_Vector2D &size)
{
    double w = size.m_fX, h = size.m_fY;
    // Both sides at least one pixel once rounded (NaN fails too), and small
    // enough for OpenGL's integers.
    if (!(w >= 0.5 && h >= 0.5 && w < 1e9 && h < 1e9) || !std::isfinite(position.m_fX) ||
        !std::isfinite(position.m_fY) || std::fabs(position.m_fX) > 1e9 || std::fabs(position.m_fY) > 1e9)
        return false;
    MTH_Matrix4x4 projection;
    projection.setZero();
    if (camera != nullptr) {
        double f = camera->m_fFocal, n = camera->m_fClipStart, far = camera->m_fClipEnd;
        if (!(n != far) || !std::isfinite(f))
            return false;
        projection.set(0, 0, f);
        projection.set(1, 1, f * w / h);
        projection.set(2, 2, (far + n) / (n - far));
        projection.set(2, 3, -1);
        projection.set(3, 2, 2 * far * n / (n - far));
        camera->getGlobalFrame().getMatrix4x4(m_oViewMatrix);
        m_oViewMatrix.getInverse(m_oViewMatrix);
    } else {
        projection.set(0, 0, 2 / w);
        projection.set(1, 1, -2 / h);
        projection.set(3, 0, -1);
        projection.set(3, 1, 1);
        projection.set(3, 3, 1);
        m_oViewMatrix.setIdentity();
    }
    GLsizei pixelsWide = static_cast<GLsizei>(std::floor(w + 0.5));
    GLsizei pixelsHigh = static_cast<GLsizei>(std::floor(h + 0.5));
    GLint x = static_cast<GLint>(position.m_fX), y = static_cast<GLint>(position.m_fY);
    glViewport(x, y, pixelsWide, pixelsHigh);
    glScissor(x, y, pixelsWide, pixelsHigh);
    m_fViewportWidth = pixelsWide;
    m_fViewportHeight = pixelsHigh;
    m_oProjectionMatrix = projection;
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(m_oProjectionMatrix.data());
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(m_oViewMatrix.data());
    m_oProjectionMatrix.multiply(m_oViewMatrix, m_oViewProjectionMatrix);
    return true;
}

MDL_Lamp *VIEW_OpenGL::setupLights(MDL_Scene *, int &lightIndex)
{
    // The scene's lamps are not turned into lights yet: every light is off
    // and there is no global ambient light, so lit surfaces show what their
    // material gives without a lamp, and no lamp casts stencil shadows.
    for (int i = 0; i < 8; i++)
        glDisable(GL_LIGHT0 + i);
    const GLfloat none[4] = {0, 0, 0, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
    lightIndex = -1;
    return nullptr;
}

void VIEW_OpenGL::drawTransparent(MDL_Camera *, MDL_Scene *)
{
    // Transparent surfaces are drawn back to front by a sorted pass of
    // their own, which is not built yet: until then they are not drawn.
}

void VIEW_OpenGL::renderViewport(MDL_Viewport *viewport, const MTH_Vector2D &position, const MTH_Vector2D &size)
{
    MDL_Camera *camera = viewport != nullptr ? viewport->m_poCamera : nullptr;
    MDL_Scene *scene = camera != nullptr ? camera->getScene() : nullptr;
    if (scene == nullptr)
        return;
    scene->sortOverlays();
    for (int i = 0; i < scene->m_oMeshes.m_iCount; i++)
        refreshBuffers(static_cast<MDL_Mesh *>(scene->m_oMeshes.m_pData[i]));

    if (!setProjection(camera, position, size))
        return;
    int lightIndex = -1;
    MDL_Lamp *shadowLamp = setupLights(scene, lightIndex);

    glEnable(GL_SCISSOR_TEST);
    glClearStencil(0);
    glDepthMask(GL_TRUE);
    const MTH_Vector4D &background = viewport->m_oViewportBackground;
    if (background.m_fW > 0) {
        glClearColor(static_cast<GLfloat>(background.m_fX), static_cast<GLfloat>(background.m_fY),
                     static_cast<GLfloat>(background.m_fZ), static_cast<GLfloat>(background.m_fW));
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    } else {
        glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);

    // A visible mirror surface would be drawn here by a mirror pass that
    // ends with the opaque pass; mirrors have no pass yet (their material
    // passes neither the opaque nor the transparent test), so the opaque
    // pass runs alone.
    glDisable(GL_STENCIL_TEST);
    drawOpaque(scene);
    // The stencil shadows of the shadow lamp come here; setupLights
    // chooses none yet.
    (void)shadowLamp;
    glDisable(GL_STENCIL_TEST);
    drawTransparent(camera, scene);

    if (beginOverlay(position, size))
        drawOverlays(scene);
}
