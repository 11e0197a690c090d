#include <cmath>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Object.h"
#include "model/MDL_Viewport.h"

namespace {

// Camera moves per unit of mouse motion (viewport widths) in the free mode
// and per unit of motion of the navigation target in the orbiting modes.
const double FREE_MOVE = 15;
const double TARGET_MOVE = 10;
// Per unit of wheel amount (single-precision constants): the turn of a
// grabbed object or the roll of the camera in radians, the grab depth, and
// the zoom.
const double WHEEL_TURN = static_cast<double>(0.0008f);
const double WHEEL_DEPTH = static_cast<double>(0.00002f);
const double WHEEL_ZOOM = static_cast<double>(-0.002f);

// The target moved in the camera's plane: du across (along the camera's x
// axis, in its parent's coordinates), dv down (against its y axis).
void moveTarget(MDL_Viewport *viewport, MDL_Camera *camera, double du, double dv)
{
    const MTH_Matrix3x3 &basis = camera->getLocalBasis();
    viewport->m_oNavigationTarget += basis.getRow(0) * (-TARGET_MOVE * du) + basis.getRow(1) * (TARGET_MOVE * dv);
}

void orbit(MDL_Viewport *viewport, double turnDown, double turnAcross)
{
    viewport->m_fNavigationElevation += turnDown;
    viewport->m_fNavigationAzimuth -= turnAcross;
}

} // namespace

void CTRL_Generic::navigate(bool shift, bool control)
{
    MDL_Viewport *viewport = m_poCurrentViewport;
    MDL_Camera *camera = viewport != nullptr ? viewport->m_poCamera : nullptr;
    if (camera == nullptr)
        return;
    MTH_Vector2D now = mouseToViewport(viewport, m_oMouse);
    MTH_Vector2D before = mouseToViewport(viewport, m_oPreviousMouse);
    double du = now.m_fX - before.m_fX, dv = now.m_fY - before.m_fY;
    // A motion across the whole viewport turns by twice the field of view.
    double across = 2 * camera->m_fAngle * du, down = 2 * camera->m_fAngle * dv;

    switch (viewport->m_iNavigationMode) {
    case NAVIGATION_FREE:
        if (!shift) {
            MTH_Frame &frame = camera->editLocalFrame();
            frame.rotateAroundAxis(0, down);
            frame.rotateAroundAxis(1, across);
        } else {
            const MTH_Matrix3x3 &basis = camera->getLocalBasis();
            MTH_Vector3D move = basis.getRow(0) * (-FREE_MOVE * du) + basis.getRow(1) * (FREE_MOVE * dv);
            camera->editLocalPosition() += move;
        }
        return;
    case NAVIGATION_MIXED:
        if (shift) {
            moveTarget(viewport, camera, du, dv);
        } else if (control) {
            // The camera turns where it stands: the target swings about it.
            const MTH_Matrix3x3 &basis = camera->getLocalBasis();
            MTH_Vector3D x = basis.getRow(0), y = basis.getRow(1);
            const MTH_Vector3D centre = camera->getLocalPosition();
            MTH_Vector3D offset = viewport->m_oNavigationTarget - centre;
            if (x.lengthSquared() > 0)
                MTH_Vector3D::rotate(offset, x, std::cos(down), std::sin(down));
            if (y.lengthSquared() > 0)
                MTH_Vector3D::rotate(offset, y, std::cos(across), std::sin(across));
            viewport->m_oNavigationTarget = centre + offset;
            orbit(viewport, -down, -across);
        } else {
            orbit(viewport, down, across);
        }
        break;
    case NAVIGATION_GLASSBALL:
        if (shift)
            moveTarget(viewport, camera, du, dv);
        else
            orbit(viewport, down, across);
        break;
    default: // NAVIGATION_FIXED
        return;
    }
    viewport->navigate(0);
}

void CTRL_Generic::wheelNavigate(bool shift, double amount)
{
    MDL_Viewport *viewport = m_poCurrentViewport;
    MDL_Camera *camera = viewport != nullptr ? viewport->m_poCamera : nullptr;
    if (camera == nullptr)
        return;
    if (MDL_Object *grabbed = m_poGrabbedObject) {
        if (shift) {
            // The object turns about the pick ray under the mouse.
            MTH_Vector3D origin, direction;
            viewport->getPickRay(MTH_Vector2D(m_oViewportMouse.m_fX, m_oViewportMouse.m_fY), origin, direction);
            if (direction.lengthSquared() > 0)
                grabbed->editGlobalFrame().rotate(direction, amount * WHEEL_TURN);
        } else {
            m_oViewportMouse.m_fZ += amount * WHEEL_DEPTH;
        }
        return;
    }
    switch (viewport->m_iNavigationMode) {
    case NAVIGATION_MIXED:
    case NAVIGATION_GLASSBALL:
        if (shift)
            camera->editLocalFrame().rotateAroundAxis(2, amount * WHEEL_TURN);
        else
            viewport->m_fNavigationRadius += amount * WHEEL_ZOOM * camera->getGlobalBasis().getRow(2).length();
        viewport->navigate(0);
        break;
    case NAVIGATION_FREE:
        if (shift)
            camera->editLocalFrame().rotateAroundAxis(2, amount * WHEEL_TURN);
        else
            camera->editLocalPosition() += camera->getLocalBasis().getRow(2) * (amount * WHEEL_ZOOM);
        break;
    default: // NAVIGATION_FIXED
        break;
    }
}
