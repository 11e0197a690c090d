// Stencil shadows: the shadow volumes of the shadow lamp count, per pixel,
// how often the surface drawn there lies inside a volume; the pixels with
// a count are then lit again without the lamp's light (or darkened).
#include "model/MDL_Camera.h"
#include "model/MDL_Lamp.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"
#include "view/opengl/VIEW_OpenGL.h"
#include "view/opengl/VIEW_OpenGLDrawing.h"

namespace {

void drawTriangles(const UTIL_DynArray<MTH_Vector3D> &points)
{
    int count = points.m_iCount - points.m_iCount % 3;
    if (count <= 0)
        return;
    glVertexPointer(3, GL_DOUBLE, 0, points.m_pData);
    glDrawArrays(GL_TRIANGLES, 0, count);
}

// Whether a mesh's shadow volume is one to draw for the lamp: it casts
// shadows and its volume was built for that lamp (the volumes are built
// before drawing, for the lamp the scene names).
bool castsFor(const MDL_Mesh *mesh, const MDL_Lamp *lamp)
{
    return mesh->castsShadow() && mesh->getShadowLamp() == lamp;
}

} // namespace

void VIEW_OpenGL::countShadowVolumes(MDL_Scene *scene, MDL_Lamp *lamp)
{
    const UTIL_DynArray<MDL_Object *> &meshes = scene->m_oMeshes;
    if (lamp->getShadowType() == SHADOW_ZFAIL) {
        // Capped volumes counted behind the surfaces: the back faces of the
        // volumes add, their front faces take away, so the count holds also
        // with the eye inside a volume. The far cap is wound inwards.
        glDepthFunc(GL_LESS);
        for (int pass = 0; pass < 2; pass++) {
            glStencilOp(GL_KEEP, pass == 0 ? GL_INCR : GL_DECR, GL_KEEP);
            GLenum outwards = pass == 0 ? GL_CW : GL_CCW, inwards = pass == 0 ? GL_CCW : GL_CW;
            for (int i = 0; i < meshes.m_iCount; i++) {
                MDL_Mesh *mesh = static_cast<MDL_Mesh *>(meshes.m_pData[i]);
                if (!castsFor(mesh, lamp))
                    continue;
                loadModelview(mesh);
                glFrontFace(outwards);
                drawTriangles(mesh->m_oShadowNearCap);
                drawTriangles(mesh->m_oShadowSides);
                glFrontFace(inwards);
                drawTriangles(mesh->m_oShadowFarCap);
            }
        }
    } else {
        // The sides alone, counted in front of the surfaces: front faces
        // add, back faces take away.
        glDepthFunc(GL_LEQUAL);
        for (int pass = 0; pass < 2; pass++) {
            glFrontFace(pass == 0 ? GL_CCW : GL_CW);
            glStencilOp(GL_KEEP, GL_KEEP, pass == 0 ? GL_INCR : GL_DECR);
            for (int i = 0; i < meshes.m_iCount; i++) {
                MDL_Mesh *mesh = static_cast<MDL_Mesh *>(meshes.m_pData[i]);
                if (!castsFor(mesh, lamp) || mesh->m_oShadowSides.m_iCount == 0)
                    continue;
                loadModelview(mesh);
                drawTriangles(mesh->m_oShadowSides);
            }
        }
    }
    glFrontFace(GL_CCW);
}

void VIEW_OpenGL::drawShadows(MDL_Viewport *viewport, MDL_Lamp *lamp, int lightIndex, MDL_Mesh *mirror)
{
    MDL_Scene *scene = viewport->m_poCamera->getScene();

    // The volumes into the stencil buffer only.
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glDisable(GL_NORMALIZE);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
    glDepthMask(GL_FALSE);
    glEnable(GL_STENCIL_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glStencilFunc(GL_ALWAYS, 1, ~0u);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    VIEW_enableColors(false);
    countShadowVolumes(scene, lamp);

    // Then only the pixels with a count.
    glFrontFace(GL_CCW);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilFunc(GL_NOTEQUAL, 0, ~0u);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    double coefficient = lamp->m_fShadowCoeff;
    if (viewport->m_iShadowType != SHADOW_2D) {
        // Lit again with the lamp's diffuse light weakened by the
        // coefficient and without its highlights.
        GLenum light = GL_LIGHT0 + lightIndex;
        GLfloat diffuse[4], specular[4];
        glGetLightfv(light, GL_DIFFUSE, diffuse);
        glGetLightfv(light, GL_SPECULAR, specular);
        GLfloat keep = static_cast<GLfloat>(1 - coefficient);
        const GLfloat shadowed[4] = {diffuse[0] * keep, diffuse[1] * keep, diffuse[2] * keep, 1};
        const GLfloat black[4] = {0, 0, 0, 1};
        glLightfv(light, GL_DIFFUSE, shadowed);
        glLightfv(light, GL_SPECULAR, black);
        glDepthMask(GL_TRUE);
        drawOpaque(scene);
        if (mirror != nullptr && mirror->getMaterial()->m_oDiffuse.m_fW > 0) {
            glEnable(GL_BLEND);
            drawMesh(mirror);
        }
        glLightfv(light, GL_DIFFUSE, diffuse);
        glLightfv(light, GL_SPECULAR, specular);
    } else {
        // Darkened by black of the coefficient's opacity, only where a
        // surface was drawn (depth below the cleared 1, which the quad at
        // the far end has): open volumes keep their count also where they
        // reach past every surface, over the background.
        GLint depthFunction = GL_LEQUAL;
        glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
        glDepthMask(GL_FALSE);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_GREATER);
        VIEW_enable(GL_BLEND, coefficient < 1);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glColor4d(0, 0, 0, coefficient);
        VIEW_drawScreenQuad(1);
        glDepthFunc(static_cast<GLenum>(depthFunction));
        glDisable(GL_DEPTH_TEST);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(m_oProjectionMatrix.data());
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixd(m_oViewMatrix.data());
    }
}
