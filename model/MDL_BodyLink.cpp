#include "model/MDL_BodyLink.h"

#include "model/MDL_RigidBody.h"

MDL_BodyLink::MDL_BodyLink() : m_poScene(nullptr), m_poBodyA(nullptr), m_poBodyB(nullptr) {}

MDL_BodyLink::~MDL_BodyLink()
{
    unlinkBodies();
    m_oProxyHandle.release();
}

void MDL_BodyLink::unlinkBodies()
{
    if (m_poBodyA != nullptr)
        m_poBodyA->removeLink(this);
    if (m_poBodyB != nullptr && m_poBodyB != m_poBodyA)
        m_poBodyB->removeLink(this);
    m_poBodyA = m_poBodyB = nullptr;
}

void MDL_BodyLink::setBodies(MDL_RigidBody *a, MDL_RigidBody *b)
{
    unlinkBodies();
    m_poBodyA = a;
    m_poBodyB = b;
    if (a != nullptr)
        a->addLink(this);
    if (b != nullptr && b != a)
        b->addLink(this);
}

bool MDL_BodyLink::isLive() const
{
    if (m_poBodyA == nullptr && m_poBodyB == nullptr)
        return false;
    return (m_poBodyA == nullptr || !m_poBodyA->m_bDeleted) && (m_poBodyB == nullptr || !m_poBodyB->m_bDeleted);
}

void MDL_BodyLink::bodyGone(MDL_RigidBody *body)
{
    if (body != m_poBodyA && body != m_poBodyB)
        return;
    leaveScene();
    delete this;
}

MTH_Vector3D MDL_BodyLink::worldPoint(MDL_RigidBody *body, const MTH_Vector3D &point)
{
    if (body == nullptr)
        return point;
    MTH_Vector3D out;
    body->getGlobalFrame().globalPoint(point, out);
    return out;
}

MTH_Vector3D MDL_BodyLink::worldDirection(MDL_RigidBody *body, const MTH_Vector3D &direction)
{
    return body == nullptr ? direction : body->toWorldDirection(direction);
}

MTH_Vector3D MDL_BodyLink::pointVelocity(MDL_RigidBody *body, const MTH_Vector3D &point)
{
    return body == nullptr ? MTH_Vector3D() : body->getPointVelocity(point);
}
