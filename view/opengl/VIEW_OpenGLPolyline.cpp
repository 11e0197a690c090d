// Polylines over the 3D view: the fill, then the thick line layer by layer.
#include "view/opengl/VIEW_OpenGL.h"

#include "foundation/MTH_Frame.h"
#include "model/MDL_Material.h"
#include "model/MDL_Polyline.h"
#include "view/opengl/VIEW_GL.h"
#include "view/opengl/VIEW_OpenGLDrawing.h"

// The points and the line's lists go to OpenGL as they are: two doubles a
// point.
static_assert(sizeof(MTH_Vector2D) == 2 * sizeof(double), "a 2D vector is two doubles");

void VIEW_OpenGL::drawPolyline(MDL_Polyline *polyline)
{
    const UTIL_DynArray<MTH_Vector2D> &points = polyline->getPoints();
    if (points.m_iCount == 0)
        return;
    // The polyline's frame, then the viewport's width as the unit.
    MTH_Matrix4x4 frame;
    polyline->getGlobalFrame().getMatrix4x4(frame);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glScaled(m_fViewportWidth, m_fViewportWidth, 1);
    glMultMatrixd(frame.data());

    if (polyline->isFilled()) {
        const UTIL_DynArray<int> &triangles = polyline->triangulate();
        if (triangles.m_iCount > 0) {
            const MTH_Vector4D &fill = polyline->getFillColor();
            glColor4d(fill.m_fX, fill.m_fY, fill.m_fZ, fill.m_fW);
            glDisable(GL_TEXTURE_2D);
            // An alpha test left on by an overlay drawn before would keep
            // only an opaque fill.
            glDisable(GL_ALPHA_TEST);
            VIEW_enable(GL_BLEND, fill.m_fW < 1);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            glVertexPointer(2, GL_DOUBLE, 0, points.m_pData);
            glDrawElements(GL_TRIANGLES, triangles.m_iCount, GL_UNSIGNED_INT, triangles.m_pData);
        }
    }

    if (polyline->isLineVisible()) {
        const UTIL_DynArray<MTH_Vector2D> &vertices = polyline->getStripVertices();
        const UTIL_DynArray<MTH_Vector2D> &uvs = polyline->getStripUVs();
        if (vertices.m_iCount > 0) {
            MDL_Material *material = polyline->getMaterial();
            const int passes = VIEW_layerPasses(material);
            glVertexPointer(2, GL_DOUBLE, 0, vertices.m_pData);
            glTexCoordPointer(2, GL_DOUBLE, 0, uvs.m_pData);
            for (int j = 0; j < passes; j++) {
                VIEW_enableArray(GL_TEXTURE_COORD_ARRAY, setupMaterial(material, j, true, false));
                glDrawArrays(GL_TRIANGLES, 0, vertices.m_iCount);
            }
            // Once more with the last layer's state: a translucent line
            // comes out as dense as two coats.
            glDrawArrays(GL_TRIANGLES, 0, vertices.m_iCount);
        }
    }
    glPopMatrix();
}
