// One physics sub-step of a scene. The order of the phases is fixed; the
// phases themselves belong to the scene's physics (MDL_ScenePhysics), and
// the two events go to the scene's script proxy.
#include <cfloat>

#include "model/MDL_Event.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"

void MDL_Scene::step(double dt, UTIL_EventHost *events)
{
    // Every loop reads its list's count afresh: script code run from an
    // event may have added to it.
    if (m_poPhysics != nullptr)
        for (int i = 0; i < m_oSprings.m_iCount; i++)
            m_poPhysics->solveSpring(m_oSprings[i], dt);
    if (m_poPhysics != nullptr && dt > 0.0)
        for (int i = 0; i < m_oRigidBodies.m_iCount; i++)
            m_poPhysics->integrate(m_oRigidBodies[i], m_oGravity, dt);
    MDL_StepEvent{dt}.post(m_oProxyHandle, events, MDL_CB_POST_INTEGRATION);
    if (m_poPhysics != nullptr)
        for (int i = 0; i < m_oJoints.m_iCount; i++)
            m_poPhysics->solveJoint(m_oJoints[i]);
    collide(events);
    collideBounds(events);
    if (m_poPhysics != nullptr)
        m_poPhysics->settleContacts();
    MDL_StepEvent{dt}.post(m_oProxyHandle, events, MDL_CB_MECHA);
}

void MDL_Scene::collide(UTIL_EventHost *events)
{
    if (m_poPhysics != nullptr)
        m_poPhysics->collide(*this, events);
}

void MDL_Scene::collideBounds(UTIL_EventHost *events)
{
    if (m_poPhysics == nullptr)
        return;
    // The bound contacts post events, whose scripts may change the bounds or
    // add bodies: both are read afresh for every body and axis.
    for (int i = 0; i < m_oRigidBodies.m_iCount; i++)
        for (int axis = 0; axis < 3; axis++) {
            const double minimum = axis == 0 ? m_fMinX : (axis == 1 ? m_fMinY : m_fMinZ);
            const double maximum = axis == 0 ? m_fMaxX : (axis == 1 ? m_fMaxY : m_fMaxZ);
            if (minimum != -DBL_MAX || maximum != DBL_MAX)
                m_poPhysics->collideBounds(m_oRigidBodies[i], events, axis, minimum, maximum, m_fElasticity,
                                           m_fFriction);
        }
}
