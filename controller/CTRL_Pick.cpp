#include <cfloat>
#include <cmath>

#include "controller/CTRL_Generic.h"
#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"

namespace {

// The barycentric weights of point p in the triangle (a, b, c), one per
// corner; equal thirds for a triangle without area.
MTH_Vector3D barycentric(const MTH_Vector3D &p, const MTH_Vector3D &a, const MTH_Vector3D &b, const MTH_Vector3D &c)
{
    const MTH_Vector3D ab = b - a, ac = c - a, ap = p - a;
    double d00 = ab.dot(ab), d01 = ab.dot(ac), d11 = ac.dot(ac), d20 = ap.dot(ab), d21 = ap.dot(ac);
    double denominator = d00 * d11 - d01 * d01;
    if (!(denominator != 0) || !std::isfinite(denominator))
        return MTH_Vector3D(1.0 / 3, 1.0 / 3, 1.0 / 3);
    double beta = (d11 * d20 - d01 * d21) / denominator;
    double gamma = (d00 * d21 - d01 * d20) / denominator;
    return MTH_Vector3D(1 - beta - gamma, beta, gamma);
}

} // namespace

void CTRL_Generic::pick()
{
    MDL_Viewport *viewport = m_poCurrentViewport;
    MDL_Camera *camera = viewport != nullptr ? viewport->m_poCamera : nullptr;
    MDL_Scene *scene = camera != nullptr ? camera->getScene() : nullptr;
    m_poHoverObject = nullptr;
    if (scene == nullptr) {
        m_oViewportMouse.m_fZ = -DBL_MAX;
        return;
    }
    const double u = m_oViewportMouse.m_fX, v = m_oViewportMouse.m_fY;

    // Overlays first: their own hit test, at the mouse in their axes (the
    // first two rows of their basis, on screen); the one with the largest z
    // wins.
    double best = -DBL_MAX;
    for (int i = 0; i < scene->m_oOverlays.m_iCount; i++) {
        MDL_Object *overlay = scene->m_oOverlays.m_pData[i];
        if (overlay->m_bDeleted || !overlay->hasState(STATE_ACTIVE))
            continue;
        const MTH_Frame &frame = overlay->getGlobalFrame();
        const MTH_Vector3D &x = frame.m_oBasis.getRow(0), &y = frame.m_oBasis.getRow(1);
        double determinant = x.m_fX * y.m_fY - x.m_fY * y.m_fX;
        if (determinant == 0 || !std::isfinite(determinant))
            continue;
        double du = u - frame.m_oPosition.m_fX, dv = v - frame.m_oPosition.m_fY;
        MTH_Vector2D local((du * y.m_fY - dv * y.m_fX) / determinant, (x.m_fX * dv - x.m_fY * du) / determinant);
        double z = frame.m_oPosition.m_fZ;
        if (overlay->hitTest(local) && z > best) {
            m_poHoverObject = overlay;
            best = z;
            MTH_Vector3D grab;
            frame.localPoint(MTH_Vector3D(u, v, 0), grab);
            // A basis that is flat along z has no full inverse: the point
            // in the overlay's own plane.
            m_oGrabPoint = grab.isFinite() ? grab : MTH_Vector3D(local.m_fX, local.m_fY, 0);
        }
    }
    if (m_poHoverObject != nullptr) {
        m_oViewportMouse.m_fZ = best;
        return;
    }

    // Then the nearest mesh along the pick ray, from the near plane (t = 0)
    // to the far plane (t = 1).
    m_oViewportMouse.m_fZ = 1;
    MTH_Vector3D origin, direction;
    if (!viewport->getPickRay(MTH_Vector2D(u, v), origin, direction))
        return;
    const MTH_Vector3D farPoint = origin + direction;
    for (int i = 0; i < scene->m_oMeshes.m_iCount; i++) {
        MDL_Mesh *mesh = dynamic_cast<MDL_Mesh *>(scene->m_oMeshes.m_pData[i]);
        if (mesh == nullptr || mesh->m_bDeleted || !mesh->hasState(STATE_ACTIVE))
            continue;
        MTH_Vector3D from, to;
        const MTH_Frame &frame = mesh->getGlobalFrame();
        frame.localPoint(origin, from);
        frame.localPoint(farPoint, to);
        double t = m_oViewportMouse.m_fZ;
        int triangle = -1;
        if (!mesh->pick(from, to, t, triangle) || !(t < m_oViewportMouse.m_fZ))
            continue;
        m_oViewportMouse.m_fZ = t;
        m_poHoverObject = mesh;
        // A skinned mesh is held by the bone that moves the hit point most.
        MDL_AnimatedMesh *skin = dynamic_cast<MDL_AnimatedMesh *>(mesh);
        if (skin != nullptr && skin->getType() == OBJECT_ANIMATED_MESH) {
            const uint32_t *corners = skin->getTriangle(triangle);
            MTH_Vector3D weights = barycentric(
                from + (to - from) * t, skin->vertexPosition(static_cast<int>(corners[0])),
                skin->vertexPosition(static_cast<int>(corners[1])), skin->vertexPosition(static_cast<int>(corners[2])));
            if (MDL_Object *bone = skin->dominantBone(triangle, weights))
                m_poHoverObject = bone;
        }
    }
    if (m_poHoverObject != nullptr) {
        MTH_Vector3D scenePoint;
        viewport->toScene(m_oViewportMouse, scenePoint);
        m_poHoverObject->getGlobalFrame().localPoint(scenePoint, m_oGrabPoint);
    }
}
