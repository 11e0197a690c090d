#include "model/MDL_Joint.h"

#include <cmath>

#include "model/MDL_Contact.h"
#include "model/MDL_Physics.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"

namespace {

// What the impulse formulas need of one end, in its body's frame; all zero
// for the world.
struct End {
    MTH_Vector3D m_oSpeed, m_oMomentum, m_oInverseInertia;
    double m_fInverseMass = 0;

    explicit End(MDL_RigidBody *body)
    {
        if (body == nullptr)
            return;
        m_oSpeed = body->toBodyDirection(body->getSpeed());
        m_oMomentum = body->toBodyDirection(body->getAngularMomentum());
        m_oInverseInertia = body->getInverseInertia();
        m_fInverseMass = body->getInverseMass();
    }
};

MTH_Vector3D bodyDirection(MDL_RigidBody *body, const MTH_Vector3D &d)
{
    return body == nullptr ? d : body->toBodyDirection(d);
}

MTH_Vector3D bodyPoint(MDL_RigidBody *body, const MTH_Vector3D &p)
{
    return body == nullptr ? p : body->toBodyPoint(p);
}

double inverseEffectiveMass(MDL_RigidBody *body, const MTH_Vector3D &r, const MTH_Vector3D &worldDirection)
{
    return body == nullptr ? 0 : body->inverseEffectiveMass(r, body->toBodyDirection(worldDirection));
}

// The weight of a body's share of a turn about c: its inverse inertia
// against the size of c about its own axes.
double turnWeight(MDL_RigidBody *body, const MTH_Vector3D &c)
{
    if (body == nullptr)
        return 0;
    MTH_Vector3D local = body->toBodyDirection(c);
    const MTH_Vector3D &i = body->getInverseInertia();
    return i.m_fX * std::fabs(local.m_fX) + i.m_fY * std::fabs(local.m_fY) + i.m_fZ * std::fabs(local.m_fZ);
}

double elasticityOf(MDL_RigidBody *body)
{
    return body == nullptr ? 0 : body->getElasticity();
}

} // namespace

MDL_Joint::MDL_Joint() : m_iKind(POINT_POINT), m_oAxisA(1, 0, 0), m_oAxisB(1, 0, 0) {}

MDL_Joint *MDL_Joint::addTo(MDL_Scene &scene)
{
    if (!MDL_RigidBodyPhysics::runs(scene))
        return nullptr;
    MDL_Joint *joint = scene.newJoint();
    if (joint != nullptr)
        joint->m_poScene = &scene;
    return joint;
}

void MDL_Joint::leaveScene()
{
    if (m_poScene != nullptr)
        m_poScene->m_oJoints.removeValue(this);
    m_poScene = nullptr;
}

void MDL_Joint::correct(MTH_Vector3D d, const MTH_Vector3D &rB, const MTH_Vector3D &PA, const MTH_Vector3D &PB,
                        double c, bool bothWays)
{
    MDL_RigidBody *A = m_poBodyA, *B = m_poBodyB;
    if (!(d.normalize() > 0))
        return;
    // Velocity phase.
    const End a(A), b(B);
    double j = MDL_Contact::computePairImpulse(m_oPointA, rB, bodyDirection(A, d), bodyDirection(B, d), a.m_oSpeed,
                                               b.m_oSpeed, a.m_fInverseMass, b.m_fInverseMass, c, a.m_oMomentum,
                                               b.m_oMomentum, a.m_oInverseInertia, b.m_oInverseInertia);
    if (bothWays || j < 0) {
        if (A != nullptr)
            A->applyImpulse(PA, d * j);
        if (B != nullptr)
            B->applyImpulse(PB, d * -j);
    }
    // Positional phase: the whole gap closed at once.
    MTH_Vector3D e = PB - PA;
    double D = e.length();
    if (D == 0)
        return;
    e = e * (1 / D);
    double K = inverseEffectiveMass(A, m_oPointA, e) + inverseEffectiveMass(B, rB, e);
    if (K == 0)
        return;
    if (A != nullptr)
        A->applyDisplacement(PA, e * (D / K));
    if (B != nullptr)
        B->applyDisplacement(PB, e * -(D / K));
}

void MDL_Joint::solve()
{
    if (!isLive())
        return;
    MDL_RigidBody *A = m_poBodyA, *B = m_poBodyB;
    switch (m_iKind) {
    case POINT_POINT: {
        MTH_Vector3D PA = worldPoint(A, m_oPointA), PB = worldPoint(B, m_oPointB);
        MTH_Vector3D d = pointVelocity(B, PB) - pointVelocity(A, PA);
        correct(d, m_oPointB, PA, PB, 0, true);
        break;
    }
    case POINT_AXIS: {
        MTH_Vector3D PA = worldPoint(A, m_oPointA);
        MTH_Vector3D PB0 = worldPoint(B, m_oPointB), a = worldDirection(B, m_oAxisB);
        // The foot of PA on the line; the axis is used as stored.
        MTH_Vector3D Q = PB0 + a * (PA - PB0).dot(a);
        MTH_Vector3D d = pointVelocity(B, Q) - pointVelocity(A, PA);
        d -= a * a.dot(d);
        correct(d, bodyPoint(B, Q), PA, Q, 0, true);
        break;
    }
    case POINT_ABOVE_PLANE:
    case POINT_ON_PLANE:
        solvePlane();
        break;
    case AXIS_AXIS:
        solveAxes();
        break;
    default:
        break;
    }
}

void MDL_Joint::solvePlane()
{
    MDL_RigidBody *A = m_poBodyA, *B = m_poBodyB;
    MTH_Vector3D PA = worldPoint(A, m_oPointA);
    MTH_Vector3D P0 = worldPoint(B, m_oPointB), n = worldDirection(B, m_oAxisB);
    double s = (PA - P0).dot(n);
    if (m_iKind == POINT_ABOVE_PLANE && !(s < 0))
        return;
    MTH_Vector3D Q = PA - n * s;
    double c = -(elasticityOf(A) + elasticityOf(B)) / 2;
    // The impulse only pushes a point that approaches the plane from the
    // side n points to; a one-sided constraint stays one-sided also when
    // both elasticities are 0.
    correct(-n, bodyPoint(B, Q), PA, Q, c, c == 0 && m_iKind == POINT_ON_PLANE);
}

void MDL_Joint::solveAxes()
{
    MDL_RigidBody *A = m_poBodyA, *B = m_poBodyB;
    // Orientation: the two axes brought together, shared by weight.
    MTH_Vector3D aA = worldDirection(A, m_oAxisA), aB = worldDirection(B, m_oAxisB);
    MTH_Vector3D c = aA.cross(aB);
    double wA = turnWeight(A, c), wB = turnWeight(B, c);
    if (wA + wB != 0) {
        if (A != nullptr)
            A->turnBy(c * (wA / (wA + wB)));
        if (B != nullptr)
            B->turnBy(c * -(wB / (wA + wB)));
    }
    // Angular velocity: both turn alike except about axis B.
    MTH_Vector3D wa = A != nullptr ? A->getAngularSpeed() : MTH_Vector3D();
    MTH_Vector3D wb = B != nullptr ? B->getAngularSpeed() : MTH_Vector3D();
    MTH_Vector3D delta = wb - wa;
    MTH_Vector3D axis = aB;
    if (axis.normalize() > 0)
        delta -= axis * axis.dot(delta);
    wA = turnWeight(A, delta);
    wB = turnWeight(B, delta);
    if (wA + wB == 0)
        return;
    if (A != nullptr)
        A->setAngularSpeed(wa + delta * (wA / (wA + wB)));
    if (B != nullptr)
        B->setAngularSpeed(wb - delta * (wB / (wA + wB)));
}
