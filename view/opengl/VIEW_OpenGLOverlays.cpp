// The 2D drawing over the 3D view: its state, and a scene's overlays
// (texts, images and polylines) in depth order.
#include "view/opengl/VIEW_OpenGL.h"

#include "model/MDL_Image.h"
#include "model/MDL_Polyline.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Text.h"
#include "view/opengl/VIEW_GL.h"

bool VIEW_OpenGL::beginOverlay(const MTH_Vector2D &position, const MTH_Vector2D &size)
{
    if (!setProjection(nullptr, position, size))
        return false;
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    return true;
}

void VIEW_OpenGL::drawOverlays(MDL_Scene *scene)
{
    for (int i = 0; i < scene->m_oOverlays.m_iCount; i++) {
        MDL_Object *overlay = scene->m_oOverlays.m_pData[i];
        if (!overlay->hasState(STATE_VISIBLE))
            continue;
        switch (overlay->getType()) {
        case OBJECT_POLYLINE:
            drawPolyline(static_cast<MDL_Polyline *>(overlay));
            break;
        case OBJECT_IMAGE:
            drawImage(static_cast<MDL_Image *>(overlay));
            break;
        case OBJECT_TEXT:
            drawText(static_cast<MDL_Text *>(overlay));
            break;
        default:
            break;
        }
    }
}
