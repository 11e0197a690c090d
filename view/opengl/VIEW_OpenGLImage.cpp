// Images over the 3D view.
#include "view/opengl/VIEW_OpenGL.h"

#include <cmath>

#include "model/MDL_Image.h"
#include "model/MDL_Material.h"
#include "view/opengl/VIEW_GL.h"
#include "view/opengl/VIEW_OpenGLDrawing.h"

void VIEW_OpenGL::drawImage(MDL_Image *image)
{
    const MTH_Frame &frame = image->getGlobalFrame();
    double w = m_fViewportWidth, aspect = image->getAspectRatio();
    const MTH_Vector3D &p = frame.m_oPosition, &x = frame.m_oBasis.getRow(0), &y = frame.m_oBasis.getRow(1);
    double cx = std::floor(w * p.m_fX + 0.5), cy = std::floor(w * p.m_fY + 0.5);
    double ax = w * x.m_fX, ay = w * x.m_fY;                   // across
    double dx = aspect * w * y.m_fX, dy = aspect * w * y.m_fY; // down
    // The picture's top row at the corner.
    const double vertices[12] = {cx, cy, cx + ax,      cy + ay,      cx + ax + dx, cy + ay + dy,
                                 cx, cy, cx + ax + dx, cy + ay + dy, cx + dx,      cy + dy};
    const double coordinates[12] = {0, 1, 1, 1, 1, 0, 0, 1, 1, 0, 0, 0};
    MDL_Material *material = image->getMaterial();
    const int passes = VIEW_layerPasses(material);
    for (int j = 0; j < passes; j++) {
        VIEW_enableArray(GL_TEXTURE_COORD_ARRAY, setupMaterial(material, j, true, false));
        glVertexPointer(2, GL_DOUBLE, 0, vertices);
        glTexCoordPointer(2, GL_DOUBLE, 0, coordinates);
        glDrawArrays(GL_TRIANGLES, 0, 6);
    }
}
