#include <cfloat>
#include <cmath>

#include "controller/CTRL_Generic.h"
#include "controller/CTRL_ScriptEngine.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Event.h"
#include "model/MDL_Object.h"
#include "model/MDL_Viewport.h"

namespace {

// A motion from the press of more than this squared distance in pixels is
// no click.
const double CLICK_DISTANCE_SQUARED = 10;
// How fast a shifted vertical motion moves the grab depth (the
// single-precision 0.1), and the largest depth magnitude kept (2 to the
// power 512: the depth is squared on the way).
const double GRAB_DEPTH_PER_PIXEL = static_cast<double>(0.1f);
const double GRAB_DEPTH_LIMIT = 1.3407807929942596e154;

// The cursor over a hover object: the open hand over one that can be
// grabbed, else the arrow.
int hoverCursor(const MDL_Object *hover)
{
    return hover != nullptr && hover->hasState(STATE_ACTIVE) && !hover->hasState(STATE_BACKGROUND)
               ? CTRL_CURSOR_OPEN_HAND
               : CTRL_CURSOR_ARROW;
}

} // namespace

MTH_Vector2D CTRL_Generic::mouseToViewport(const MDL_Viewport *viewport, const MTH_Vector2D &pixel) const
{
    if (viewport == nullptr)
        return MTH_Vector2D();
    DocumentFrame f = documentFrame();
    double width = viewport->m_oViewportSize.m_fX;
    if (!(f.m_fWidth > 0) || !std::isfinite(f.m_fWidth) || width == 0 || !std::isfinite(width))
        return MTH_Vector2D();
    MTH_Vector2D point(((pixel.m_fX - f.m_oOffset.m_fX) / f.m_fWidth - viewport->m_oViewportPosition.m_fX) / width,
                       ((pixel.m_fY - f.m_oOffset.m_fY) / f.m_fWidth - viewport->m_oViewportPosition.m_fY) / width);
    if (!std::isfinite(point.m_fX) || !std::isfinite(point.m_fY))
        return MTH_Vector2D();
    return point;
}

MDL_Viewport *CTRL_Generic::viewportUnder(const MTH_Vector2D &pixel) const
{
    for (int i = m_oViewports.m_iCount - 1; i >= 0; i--) {
        MDL_Viewport *viewport = m_oViewports.m_pData[i];
        // A viewport without width covers nothing.
        if (!viewport->m_bActive || !(viewport->m_oViewportSize.m_fX > 0))
            continue;
        MTH_Vector2D p = mouseToViewport(viewport, pixel);
        if (p.m_fX >= 0 && p.m_fX <= 1 && p.m_fY >= 0 && p.m_fY <= viewport->getAspectRatio())
            return viewport;
    }
    return nullptr;
}

void CTRL_Generic::storeMouse(double x, double y)
{
    m_oPreviousMouse = m_oMouse;
    m_oMouse = MTH_Vector2D(x, y);
    if (m_poCurrentViewport != nullptr) {
        MTH_Vector2D p = mouseToViewport(m_poCurrentViewport, m_oMouse);
        m_oViewportMouse.m_fX = p.m_fX;
        m_oViewportMouse.m_fY = p.m_fY;
    }
}

void CTRL_Generic::sendInputEvent(const CTRL_ScriptEvent &event)
{
    // The viewport's function may delete the viewport: nothing of it is
    // read after the post.
    if (m_poCurrentViewport != nullptr &&
        (MDL_InputEvent<CTRL_ScriptEvent>{&event}.post(m_poCurrentViewport->m_oProxyHandle, m_poScriptEngine) & 1) != 0)
        return;
    if (m_poScriptEngine != nullptr && !m_bHalted)
        m_poScriptEngine->sendEvent(event);
}

void CTRL_Generic::postToParents(int code, MDL_Object *object, const MTH_Vector3D &point)
{
    // The functions may delete objects; a deleted object stays allocated
    // (and keeps its parent) until its scene's next purge, which input never
    // runs. The point is the scripts' own copy.
    const MDL_PickEvent event{object, point};
    for (MDL_Object *o = object; o != nullptr; o = o->getParent())
        if ((event.post(o->m_oProxyHandle, m_poScriptEngine, code) & 1) != 0)
            return;
}

// --- keys ---

void CTRL_Generic::keyDown(int code)
{
    keyEvent(code, true);
}

void CTRL_Generic::keyUp(int code)
{
    keyEvent(code, false);
}

void CTRL_Generic::keyEvent(int code, bool down)
{
    // Only codes 0 to 255 have an entry: a character beyond them (typed on
    // another layout) would otherwise press the key of its lowest 8 bits.
    if (code >= 0 && code <= 255)
        m_pbKeys[code] = down;
    if (m_bHalted)
        return;
    CTRL_ScriptEvent event;
    event.m_iType = down ? CTRL_ScriptEvent::KEY_DOWN : CTRL_ScriptEvent::KEY_UP;
    event.m_iKey = code;
    sendInputEvent(event);
}

// --- buttons ---

void CTRL_Generic::mouseDown(bool, double x, double y)
{
    m_poCurrentViewport = viewportUnder(MTH_Vector2D(x, y));
    storeMouse(x, y);
    m_bLeftButtonDown = true;
    m_bMovedSincePress = false;
    m_oPressPosition = MTH_Vector2D(x, y);
    pick();
    if (m_poHoverObject == nullptr || m_poHoverObject->hasState(STATE_BACKGROUND)) {
        m_poGrabbedObject = nullptr;
        m_poHoverObject = nullptr;
        setCursor(CTRL_CURSOR_CROSSHAIR);
    } else {
        m_poGrabbedObject = m_poHoverObject;
        setCursor(CTRL_CURSOR_CLOSED_HAND);
    }
    if (m_poHoverObject != nullptr && m_poHoverObject->hasState(STATE_ACTIVE))
        postToParents(MDL_CB_MOUSE_DOWN, m_poHoverObject, m_oGrabPoint);
}

void CTRL_Generic::mouseUp(double x, double y)
{
    if (MDL_Object *hover = m_poHoverObject) {
        // The release point in the object's coordinates; where it was
        // taken when no viewport can say (its viewport, or its camera, went
        // while the button was down).
        MTH_Vector3D point = m_oGrabPoint, scenePoint;
        if (m_poCurrentViewport != nullptr && m_poCurrentViewport->toScene(m_oViewportMouse, scenePoint))
            hover->getGlobalFrame().localPoint(scenePoint, point);
        postToParents(MDL_CB_MOUSE_UP, hover, point);
        if (!m_bMovedSincePress)
            postToParents(MDL_CB_MOUSE_CLICK, hover, point);
    }
    m_poGrabbedObject = nullptr;
    m_poHoverObject = nullptr;
    storeMouse(x, y);
    pick();
    m_bLeftButtonDown = false;
    setCursor(hoverCursor(m_poHoverObject));
}

void CTRL_Generic::rightMouseDown(double x, double y)
{
    // The viewport first, so that the stored point is in its coordinates.
    if (m_poGrabbedObject == nullptr)
        m_poCurrentViewport = viewportUnder(MTH_Vector2D(x, y));
    storeMouse(x, y);
    m_bRightButtonDown = true;
    m_poHoverObject = nullptr;
    setCursor(CTRL_CURSOR_CROSSHAIR);
}

void CTRL_Generic::rightMouseUp(double x, double y)
{
    storeMouse(x, y);
    m_bRightButtonDown = false;
    setCursor(m_poGrabbedObject != nullptr ? CTRL_CURSOR_OPEN_HAND : CTRL_CURSOR_ARROW);
}

// --- motion and wheel ---

void CTRL_Generic::mouseMove(bool shift, bool control, double x, double y)
{
    if (!m_bMovedSincePress) {
        double dx = x - m_oPressPosition.m_fX, dy = y - m_oPressPosition.m_fY;
        if (dx * dx + dy * dy > CLICK_DISTANCE_SQUARED)
            m_bMovedSincePress = true;
    }
    if (!m_bLeftButtonDown && !m_bRightButtonDown) {
        // The viewport first, so that the pick looks at the point in the
        // viewport under the mouse.
        m_poCurrentViewport = viewportUnder(MTH_Vector2D(x, y));
        storeMouse(x, y);
        pick();
        setCursor(hoverCursor(m_poHoverObject));
        m_poGrabbedObject = nullptr;
        return;
    }
    if (m_bLeftButtonDown && m_poGrabbedObject != nullptr && !m_poGrabbedObject->hasState(STATE_BACKGROUND)) {
        storeMouse(x, y);
        if (shift) {
            double z = m_oViewportMouse.m_fZ;
            double depth = z - GRAB_DEPTH_PER_PIXEL * (m_oMouse.m_fY - m_oPreviousMouse.m_fY) * z * z;
            if (std::fabs(depth) < GRAB_DEPTH_LIMIT)
                m_oViewportMouse.m_fZ = depth;
        }
        return;
    }
    storeMouse(x, y);
    if (m_poCurrentViewport != nullptr && m_poCurrentViewport->m_poCamera != nullptr &&
        (m_poHoverObject == nullptr || m_poHoverObject->hasState(STATE_BACKGROUND)))
        navigate(shift, control);
}

void CTRL_Generic::mouseWheel(bool shift, double x, double y, double amount)
{
    // A wheel turn between press and release is no click.
    m_bMovedSincePress = true;
    storeMouse(x, y);
    if (!m_bHalted) {
        double width = m_oViewSize.m_fX;
        MTH_Vector2D at = width > 0 ? MTH_Vector2D(x / width, y / width) : MTH_Vector2D();
        CTRL_ScriptEvent event;
        event.m_iType = CTRL_ScriptEvent::ZOOM;
        event.m_poZoomVector = &at;
        event.m_fZoom = amount;
        sendInputEvent(event);
    }
    wheelNavigate(shift, amount);
}
