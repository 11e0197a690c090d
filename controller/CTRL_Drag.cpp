#include <cmath>

#include "controller/CTRL_Generic.h"
#include "controller/CTRL_ScriptEngine.h"
#include "model/MDL_Bone.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Event.h"
#include "model/MDL_Object.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"

namespace {

double component(const MTH_Vector3D &v, int k)
{
    return k == 0 ? v.m_fX : (k == 1 ? v.m_fY : v.m_fZ);
}

double &component(MTH_Vector3D &v, int k)
{
    return k == 0 ? v.m_fX : (k == 1 ? v.m_fY : v.m_fZ);
}

// Keeps the target inside the scene's bounds: a point beyond a bound slides
// along the pick ray onto it, then every coordinate is clamped.
void keepInBounds(const MDL_Scene *scene, const MTH_Vector3D &ray, MTH_Vector3D &point)
{
    double bounds[3][2];
    scene->getBounds(bounds[0][0], bounds[0][1], bounds[1][0], bounds[1][1], bounds[2][0], bounds[2][1]);
    for (int k = 0; k < 3; k++) {
        double p = component(point, k), d = component(ray, k);
        if (d == 0)
            continue;
        if (p < bounds[k][0])
            point = point + ray * ((bounds[k][0] - p) / d);
        else if (p > bounds[k][1])
            point = point + ray * ((bounds[k][1] - p) / d);
    }
    for (int k = 0; k < 3; k++) {
        double &p = component(point, k);
        if (p < bounds[k][0])
            p = bounds[k][0];
        else if (p > bounds[k][1])
            p = bounds[k][1];
    }
}

} // namespace

bool CTRL_Generic::dragVelocity(double dt, MTH_Vector3D &velocity)
{
    MDL_Object *object = m_poGrabbedObject;
    MDL_Viewport *viewport = m_poCurrentViewport;
    if (object == nullptr || viewport == nullptr || viewport->m_poCamera == nullptr || !(dt > 0))
        return false;
    MTH_Vector3D grab;
    object->getGlobalFrame().globalPoint(m_oGrabPoint, grab);
    MDL_Scene *scene = object->getScene();
    MTH_Vector3D move;
    if (MDL_isOverlayType(object->getType())) {
        // Overlays move in the viewport's plane.
        move = MTH_Vector3D(m_oViewportMouse.m_fX - grab.m_fX, m_oViewportMouse.m_fY - grab.m_fY, 0);
    } else {
        MTH_Vector3D target, origin, ray;
        viewport->toScene(m_oViewportMouse, target);
        viewport->getPickRay(MTH_Vector2D(m_oViewportMouse.m_fX, m_oViewportMouse.m_fY), origin, ray);
        if (scene != nullptr)
            keepInBounds(scene, ray, target);
        move = target - grab;
    }
    MTH_Vector3D v = move * (1 / dt);
    if (!v.isFinite())
        return false;
    // No step longer than the object allows (a negative allowance is none).
    double step = scene != nullptr ? scene->getIntegrationStep() : 0;
    double speed = v.length();
    double allowed = object->m_fMaxMouseMove > 0 ? object->m_fMaxMouseMove : 0;
    if (step > 0 && std::isfinite(step) && allowed < step * speed)
        v = v * (allowed / step / speed);
    velocity = v;
    return true;
}

void CTRL_Generic::applyDrag(MDL_Object *object, const MTH_Vector3D &velocity, double dt)
{
    if (!(dt > 0))
        return;
    // The point the mouse holds, on the grabbed object (on the one given
    // when nothing is grabbed).
    MDL_Object *holder = m_poGrabbedObject != nullptr ? m_poGrabbedObject : object;
    MTH_Vector3D v = velocity;
    for (MDL_Object *o = object; o != nullptr;) {
        int type = o->getType();
        if (type == OBJECT_RIGID_BODY) {
            if (o->hasState(STATE_MOVABLE))
                dragRigidBody(o, holder, v);
            return;
        }
        if (type == OBJECT_BONE) {
            MDL_Bone *bone = dynamic_cast<MDL_Bone *>(o);
            if (bone == nullptr)
                return;
            // The chain bends towards the target; what it does not follow
            // goes on to what carries it.
            MTH_Vector3D grab, reached;
            holder->getGlobalFrame().globalPoint(m_oGrabPoint, grab);
            MTH_Vector3D target = grab + v * dt;
            reached = grab;
            bone->movePoint(grab, target, m_poScriptEngine, &reached);
            o = o->getParent();
            v = (target - reached) * (1 / dt);
            if (!v.isFinite())
                return;
            continue;
        }
        if (o->hasState(STATE_MOVABLE)) {
            o->editGlobalPosition() += v * dt;
            MDL_MovedEvent().post(o->m_oProxyHandle, m_poScriptEngine);
            return;
        }
        o = o->getParent();
    }
}

void CTRL_Generic::dragRigidBody(MDL_Object *object, MDL_Object *holder, const MTH_Vector3D &velocity)
{
    MDL_RigidBody *body = MDL_RigidBody::cast(object);
    if (body == nullptr)
        return;
    MTH_Vector3D grab, local;
    holder->getGlobalFrame().globalPoint(m_oGrabPoint, grab);
    body->getGlobalFrame().localPoint(grab, local);
    body->setStill(false);
    body->setPointSpeed(local, velocity);
    MDL_MovedEvent().post(body->m_oProxyHandle, m_poScriptEngine);
}

MDL_Object *CTRL_Generic::draggedBody() const
{
    // The walk of applyDrag: up through bones and objects that cannot move,
    // to the first movable object or rigid body.
    for (MDL_Object *o = m_poGrabbedObject; o != nullptr; o = o->getParent()) {
        int type = o->getType();
        if (type == OBJECT_RIGID_BODY)
            return o->hasState(STATE_MOVABLE) ? o : nullptr;
        if (type != OBJECT_BONE && o->hasState(STATE_MOVABLE))
            return nullptr;
    }
    return nullptr;
}
