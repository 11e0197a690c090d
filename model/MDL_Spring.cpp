#include "model/MDL_Spring.h"

#include "model/MDL_Physics.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"

MDL_Spring::MDL_Spring() : m_fStiffness(1.0), m_fDamping(0.5), m_fRestLength(0) {}

MDL_Spring *MDL_Spring::addTo(MDL_Scene &scene)
{
    if (!MDL_RigidBodyPhysics::runs(scene))
        return nullptr;
    MDL_Spring *spring = scene.newSpring();
    if (spring != nullptr)
        spring->m_poScene = &scene;
    return spring;
}

void MDL_Spring::leaveScene()
{
    if (m_poScene != nullptr)
        m_poScene->m_oSprings.removeValue(this);
    m_poScene = nullptr;
}

void MDL_Spring::solve(double dt)
{
    // The zero step changes nothing.
    if (dt == 0 || !isLive())
        return;
    MTH_Vector3D PA = worldPoint(m_poBodyA, m_oPointA);
    MTH_Vector3D PB = worldPoint(m_poBodyB, m_oPointB);
    MTH_Vector3D u = PB - PA;
    double L = u.length();
    u = L != 0 ? u * (1 / L) : MTH_Vector3D(1, 0, 0);
    MTH_Vector3D vA = pointVelocity(m_poBodyA, PA);
    MTH_Vector3D vB = pointVelocity(m_poBodyB, PB);
    double m = (m_fDamping * (vB - vA).dot(u) + m_fStiffness * (L - m_fRestLength)) * dt;
    // A stretched spring pulls each end towards the other.
    if (m_poBodyA != nullptr)
        m_poBodyA->applyImpulse(PA, u * m);
    if (m_poBodyB != nullptr)
        m_poBodyB->applyImpulse(PB, u * -m);
}
