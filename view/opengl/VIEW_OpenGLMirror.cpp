// The mirror pass: the scene seen from the camera reflected in a mirror's
// plane, kept where the mirror's surface is, under the scene itself.
#include "foundation/MTH_Frame.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"
#include "view/opengl/VIEW_OpenGL.h"
#include "view/opengl/VIEW_OpenGLDrawing.h"

namespace {

// Where the background goes behind the mirror's surface: just short of the
// far plane (the single-precision 0.99995).
const double BACKGROUND_DEPTH = static_cast<double>(0.99995f);

// The plane of a mirror in its own coordinates: its first vertex, and the
// normal there, or the first face's when the vertex has none. False when
// the mirror has nothing to reflect in.
bool mirrorPlane(MDL_Mesh *mesh, MTH_Vector3D &point, MTH_Vector3D &normal)
{
    VIEW_MeshArrays arrays;
    if (!VIEW_getMeshArrays(mesh, arrays))
        return false;
    point = mesh->vertexPosition(0);
    normal = mesh->getNumNormals() > 0 ? mesh->vertexNormal(0) : MTH_Vector3D();
    if (!(normal.length() > 0)) {
        const MDL_Face *faces = mesh->faceNormals();
        normal = faces != nullptr ? faces[0].m_oNormal : MTH_Vector3D();
    }
    return normal.length() > 0;
}

MTH_Vector3D reflect(const MTH_Vector3D &v, const MTH_Vector3D &n)
{
    return v - n * (2 * v.dot(n));
}

} // namespace

MDL_Mesh *VIEW_OpenGL::findMirror(MDL_Scene *scene, MTH_Vector3D &point, MTH_Vector3D &normal)
{
    MDL_Mesh *mirror = nullptr;
    for (int i = 0; i < scene->m_oMeshes.m_iCount; i++) {
        MDL_Mesh *mesh = static_cast<MDL_Mesh *>(scene->m_oMeshes.m_pData[i]);
        const MDL_Material *material = mesh->getMaterial();
        if (material == nullptr || !material->m_bMirror || !mesh->hasState(STATE_VISIBLE))
            continue;
        MTH_Vector3D p, n;
        if (!mirrorPlane(mesh, p, n))
            continue;
        // A mesh whose frame flattens its plane away is passed over and
        // leaves the plane of the one found before.
        const MTH_Frame &frame = mesh->getGlobalFrame();
        MTH_Vector3D globalPoint, globalNormal;
        frame.globalPoint(p, globalPoint);
        frame.globalDirection(n, globalNormal);
        if (globalNormal.normalize() > 0) {
            mirror = mesh;
            point = globalPoint;
            normal = globalNormal;
        }
    }
    return mirror;
}

void VIEW_OpenGL::drawMirror(MDL_Viewport *viewport, MDL_Mesh *mirror, const MTH_Vector3D &point,
                             const MTH_Vector3D &normal, const MTH_Vector2D &position, const MTH_Vector2D &size)
{
    MDL_Camera *camera = viewport->m_poCamera;
    MDL_Scene *scene = camera->getScene();
    int lightIndex = -1;

    // The camera reflected in the plane: its position and each axis. The
    // camera itself stays where it is (its children with it).
    MTH_Frame eye(camera->getGlobalFrame());
    eye.m_oPosition = eye.m_oPosition - normal * (2 * (eye.m_oPosition - point).dot(normal));
    for (int i = 0; i < 3; i++)
        eye.m_oBasis.row(i) = reflect(eye.m_oBasis.getRow(i), normal);
    eye.invalidateInverse();
    if (setProjection(camera, position, size, &eye)) {
        setupLights(scene, lightIndex);
        // Only what lies on the camera's side of the plane is reflected; the
        // reflection turns every triangle's winding on the screen round.
        const GLdouble plane[4] = {normal.m_fX, normal.m_fY, normal.m_fZ, -normal.dot(point)};
        glClipPlane(GL_CLIP_PLANE0, plane);
        glEnable(GL_CLIP_PLANE0);
        glDisable(GL_STENCIL_TEST);
        glFrontFace(GL_CW);
        drawOpaque(scene);
        drawTransparent(scene, true);
        glFrontFace(GL_CCW);
        glDisable(GL_CLIP_PLANE0);
    }
    setProjection(camera, position, size);
    setupLights(scene, lightIndex);

    // The mirror's surface alone in the depth buffer (of this viewport).
    glDepthMask(GL_TRUE);
    glEnable(GL_SCISSOR_TEST);
    glClear(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDisable(GL_BLEND);
    drawMesh(mirror);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

    // The background again everywhere but on the mirror's surface, in the
    // colour buffer only: the depth there stays cleared, as around the
    // surfaces of a view without a mirror, so that the flat shadows, which
    // darken only where a surface was drawn, leave it alone.
    const MTH_Vector4D &background = viewport->m_oViewportBackground;
    if (background.m_fW > 0) {
        glDepthMask(GL_FALSE);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        glColor4d(background.m_fX, background.m_fY, background.m_fZ, background.m_fW);
        glDepthFunc(GL_LESS);
        VIEW_drawScreenQuad(BACKGROUND_DEPTH);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(m_oProjectionMatrix.data());
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixd(m_oViewMatrix.data());
    }

    glDisable(GL_STENCIL_TEST);
    drawOpaque(scene);
    if (mirror->getMaterial()->m_oDiffuse.m_fW > 0) {
        glEnable(GL_BLEND);
        drawMesh(mirror);
    }
}
