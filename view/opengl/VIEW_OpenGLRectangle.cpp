// Plain rectangles over the 3D view, for the player's own panels.
#include "view/opengl/VIEW_OpenGL.h"

#include "view/opengl/VIEW_GL.h"

void VIEW_OpenGL::fillRectangle(const MTH_Vector2D &corner, const MTH_Vector2D &size, const MTH_Vector4D &color)
{
    const double x0 = corner.m_fX, y0 = corner.m_fY, x1 = x0 + size.m_fX, y1 = y0 + size.m_fY;
    const double vertices[12] = {x0, y0, x1, y0, x1, y1, x0, y0, x1, y1, x0, y1};
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glColor4d(color.m_fX, color.m_fY, color.m_fZ, color.m_fW);
    glVertexPointer(2, GL_DOUBLE, 0, vertices);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    glEnable(GL_TEXTURE_2D);
}
