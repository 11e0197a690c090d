#include "model/MDL_Contact.h"

#include <algorithm>
#include <cfloat>
#include <cstdint>

#include "foundation/UTIL_DynArray.h"
#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Event.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"

namespace {

MTH_Vector3D product(const MTH_Vector3D &a, const MTH_Vector3D &b)
{
    return MTH_Vector3D(a.m_fX * b.m_fX, a.m_fY * b.m_fY, a.m_fZ * b.m_fZ);
}

// The rotational part of the inverse effective mass: sum of i (r x n)^2.
double rotational(const MTH_Vector3D &r, const MTH_Vector3D &n, const MTH_Vector3D &i)
{
    MTH_Vector3D rn = r.cross(n);
    return i.m_fX * rn.m_fX * rn.m_fX + i.m_fY * rn.m_fY * rn.m_fY + i.m_fZ * rn.m_fZ * rn.m_fZ;
}

double &component(MTH_Vector3D &v, int k)
{
    return k == 0 ? v.m_fX : (k == 1 ? v.m_fY : v.m_fZ);
}

// A body's state in its own frame at a contact point.
struct BodyFrame {
    MTH_Vector3D m_oR, m_oN, m_oSpeed, m_oMomentum;

    BodyFrame(MDL_RigidBody *body, const MTH_Vector3D &point, const MTH_Vector3D &normal)
        : m_oR(body->toBodyPoint(point)), m_oN(body->toBodyDirection(normal)),
          m_oSpeed(body->toBodyDirection(body->getSpeed())),
          m_oMomentum(body->toBodyDirection(body->getAngularMomentum()))
    {
    }
};

// The volume extents of a body along one axis (from the volumes of all its
// children). The scene asks for the three axes of a body in turn: all three
// are worked out at the first and kept while nothing is moved (no placement
// is edited anywhere).
void volumeExtent(MDL_RigidBody *body, int axis, MTH_Vector3D &lowest, MTH_Vector3D &highest, MDL_Object *&low,
                  MDL_Object *&high)
{
    struct Extents {
        const MDL_RigidBody *m_poBody = nullptr;
        uint64_t m_uiEdits = 0;
        MTH_Vector3D m_aoLowest[3], m_aoHighest[3];
        MDL_Object *m_apoLow[3], *m_apoHigh[3];
    };
    static Extents s_oKept;
    Extents &e = s_oKept;
    if (e.m_poBody != body || e.m_uiEdits != MDL_Object::s_uiPlacementEdits) {
        for (int k = 0; k < 3; k++) {
            e.m_aoLowest[k] = e.m_aoHighest[k] = MTH_Vector3D();
            component(e.m_aoLowest[k], k) = DBL_MAX;
            component(e.m_aoHighest[k], k) = -DBL_MAX;
            e.m_apoLow[k] = e.m_apoHigh[k] = nullptr;
        }
        for (MDL_Object *child = body->getFirstChild(); child != nullptr; child = child->getNextSibling())
            MDL_RigidBody::getVolumeExtents(child, e.m_aoLowest, e.m_aoHighest, e.m_apoLow, e.m_apoHigh);
        e.m_poBody = body;
        e.m_uiEdits = MDL_Object::s_uiPlacementEdits;
    }
    lowest = e.m_aoLowest[axis];
    highest = e.m_aoHighest[axis];
    low = e.m_apoLow[axis];
    high = e.m_apoHigh[axis];
}

// A positional correction of the step: its two bodies (null for a fixed
// surface) and its normal, from the first towards the second.
struct Correction {
    MDL_RigidBody *m_poA, *m_poB;
    MTH_Vector3D m_oNormal;
};

// The corrections of the step that runs (steps never nest: only the frame
// loop steps scenes); the buffer is kept from step to step.
UTIL_DynArray<Correction> &corrections()
{
    static UTIL_DynArray<Correction> s_oCorrections;
    s_oCorrections.m_bReleaseMemory = false;
    return s_oCorrections;
}

// A contact deeper than this share of the smaller volume's bounding radius
// wakes the still body it presses on (a body squeezed between a still body
// and another surface would otherwise sink into it).
const double WAKING_DEPTH = 0.02;

// Sweeps over the noted corrections in settleContacts.
const int SETTLING_SWEEPS = 10;

} // namespace

double MDL_Contact::computePairImpulse(const MTH_Vector3D &rA, const MTH_Vector3D &rB, const MTH_Vector3D &nA,
                                       const MTH_Vector3D &nB, const MTH_Vector3D &vA, const MTH_Vector3D &vB,
                                       double mA, double mB, double c, const MTH_Vector3D &lA, const MTH_Vector3D &lB,
                                       const MTH_Vector3D &iA, const MTH_Vector3D &iB)
{
    double K = mA + mB + rotational(rA, nA, iA) + rotational(rB, nB, iB);
    if (K == 0)
        return 0;
    MTH_Vector3D wA = vA + product(iA, lA).cross(rA);
    MTH_Vector3D wB = vB + product(iB, lB).cross(rB);
    return (1 - c) * (nB.dot(wB) - nA.dot(wA)) / K;
}

double MDL_Contact::computeFixedImpulse(const MTH_Vector3D &r, const MTH_Vector3D &n, const MTH_Vector3D &v,
                                        const MTH_Vector3D &l, const MTH_Vector3D &i, double m, double c)
{
    double K = m + rotational(r, n, i);
    if (K == 0)
        return 0;
    MTH_Vector3D w = v + product(i, l).cross(r);
    return -(1 - c) * n.dot(w) / K;
}

bool MDL_Contact::collideFixed(MDL_RigidBody *body, UTIL_EventHost *events, const MTH_Vector3D &P,
                               const MTH_Vector3D &n, MDL_Object *volume, MDL_Object *otherVolume,
                               double otherElasticity, double otherFriction, MDL_RigidBody *otherBody)
{
    const BodyFrame f(body, P, n);
    const MTH_Vector3D &i = body->getInverseInertia();
    const double m = body->getInverseMass();
    double j = computeFixedImpulse(f.m_oR, f.m_oN, f.m_oSpeed, f.m_oMomentum, i, m,
                                   -(otherElasticity + body->getElasticity()) / 2);
    if (!(j > 0))
        return false;
    body->applyImpulse(P, n * j);
    MDL_Scene *scene = body->getScene();
    if (scene != nullptr) {
        MDL_ContactEvent{P, n, j, {body, volume, otherBody, otherVolume}}.post(scene->m_oProxyHandle, events,
                                                                               MDL_CB_POST_COLLISION);
    }
    double mu = otherFriction + body->getFriction();
    if (!(mu > 0))
        return true;
    MTH_Vector3D w = body->getPointVelocity(P);
    MTH_Vector3D t = w - n * n.dot(w);
    if (!(t.normalize() > 0))
        return true;
    double g = computeFixedImpulse(f.m_oR, body->toBodyDirection(t), f.m_oSpeed, f.m_oMomentum, i, m, 0);
    if (!(g < 0))
        return true;
    // At most the mean friction, capped at 1, times the normal impulse.
    double F = -std::min(-g, std::min(mu, 2.0) * j / 2);
    body->applyImpulse(P, t * F);
    return true;
}

void MDL_Contact::resolvePenetration(MDL_RigidBody *body, const MTH_Vector3D &P, const MTH_Vector3D &n, double depth)
{
    double K = body->inverseEffectiveMass(body->toBodyPoint(P), body->toBodyDirection(n));
    if (K == 0)
        return;
    body->applyDisplacement(P, n * (depth / K));
    noteCorrection(nullptr, body, n);
}

bool MDL_Contact::collideBounds(MDL_RigidBody *body, UTIL_EventHost *events, int axis, double minimum, double maximum,
                                double elasticity, double friction)
{
    if (body->getStill() || body->getFirstChild() == nullptr || axis < 0 || axis > 2)
        return false;
    MTH_Vector3D lowest, highest;
    MDL_Object *low = nullptr, *high = nullptr;
    if (body->getVerticesGroundCollision()) {
        component(lowest, axis) = DBL_MAX;
        component(highest, axis) = -DBL_MAX;
        for (MDL_Object *child = body->getFirstChild(); child != nullptr; child = child->getNextSibling())
            MDL_RigidBody::getExtentAlongAxis(child, axis, lowest, highest, low, high);
    } else {
        volumeExtent(body, axis, lowest, highest, low, high);
    }
    // The minimum side first; at most one side is handled per call.
    MDL_Scene *scene = body->getScene();
    for (int side = 0; side < 2; side++) {
        const bool isMin = side == 0;
        if (isMin ? minimum == -DBL_MAX : maximum == DBL_MAX)
            continue;
        MTH_Vector3D &P = isMin ? lowest : highest;
        MDL_Object *object = isMin ? low : high;
        double depth = isMin ? minimum - component(P, axis) : component(P, axis) - maximum;
        if (!(depth > 0))
            continue;
        // Where the body lies flat against the plane, the middle of its
        // points that lie as deep as the extreme one to within a few depths,
        // at the depth of the extreme one.
        MTH_Vector3D sum;
        int count = 0;
        const double band = (MDL_CollisionVolume::CONTACT_DEPTHS - 1) * depth;
        const double level = isMin ? minimum + band : maximum - band;
        for (MDL_Object *child = body->getFirstChild(); child != nullptr; child = child->getNextSibling())
            MDL_RigidBody::addPointsBeyond(child, axis, isMin ? -1 : 1, level, body->getVerticesGroundCollision(), sum,
                                           count);
        if (count > 1) {
            MTH_Vector3D middle = sum * (1.0 / count);
            component(middle, axis) = component(P, axis);
            P = middle;
        }
        MTH_Vector3D n;
        component(n, axis) = isMin ? 1 : -1;
        // A body of no scene has nobody to ask: the contact is answered.
        bool accepted = scene == nullptr || MDL_ContactEvent{P, n, depth, {body, object, nullptr, nullptr}}.ask(
                                                scene->m_oProxyHandle, events);
        if (!accepted)
            continue;
        collideFixed(body, events, P, n, object, nullptr, elasticity, friction);
        if (body->getInverseMass() != 0)
            resolvePenetration(body, P, n, depth);
        return true;
    }
    return false;
}

MDL_Contact::Offsets MDL_Contact::offsets(MDL_RigidBody *a, MDL_RigidBody *b, const MTH_Vector3D &P,
                                          const MTH_Vector3D &n, double d)
{
    Offsets o;
    o.m_oPointB = P - n * d;
    if (a != nullptr) {
        o.m_oRA = a->toBodyPoint(P);
        o.m_oNA = a->toBodyDirection(n);
    }
    if (b != nullptr) {
        o.m_oRB = b->toBodyPoint(o.m_oPointB);
        o.m_oNB = b->toBodyDirection(n);
    }
    return o;
}

MDL_RigidBody *MDL_Contact::stillSurface(MDL_RigidBody *&a, MDL_RigidBody *&b, const MTH_Vector3D &P,
                                         const MTH_Vector3D &n, double d, double size)
{
    if (a == nullptr || b == nullptr || a->getStill() == b->getStill())
        return nullptr;
    const Offsets o = offsets(a, b, P, n, d);
    const double j =
        computePairImpulse(o.m_oRA, o.m_oRB, o.m_oNA, o.m_oNB, a->toBodyDirection(a->getSpeed()),
                           b->toBodyDirection(b->getSpeed()), a->getInverseMass(), b->getInverseMass(),
                           -(a->getElasticity() + b->getElasticity()) / 2, a->toBodyDirection(a->getAngularMomentum()),
                           b->toBodyDirection(b->getAngularMomentum()), a->getInverseInertia(), b->getInverseInertia());
    const bool first = a->getStill();
    MDL_RigidBody *&still = first ? a : b;
    const MTH_Vector3D &point = first ? P : o.m_oPointB;
    const bool wakes = (j < 0 && still->wouldWake(point, n * (first ? j : -j))) || d > size * WAKING_DEPTH;
    if (wakes) {
        still->setStill(false);
        return nullptr;
    }
    MDL_RigidBody *surface = still;
    still = nullptr;
    return surface;
}

void MDL_Contact::applyImpulses(MDL_Scene &scene, UTIL_EventHost *events, MDL_RigidBody *a, MDL_CollisionVolume *A,
                                MDL_RigidBody *b, MDL_CollisionVolume *B, const MTH_Vector3D &P, const MTH_Vector3D &n,
                                const Offsets &o, MDL_RigidBody *surface)
{
    const MTH_Vector3D &pB = o.m_oPointB;
    const MTH_Vector3D &rA = o.m_oRA, &nA = o.m_oNA, &rB = o.m_oRB, &nB = o.m_oNB;
    if (a != nullptr && b != nullptr) {
        const MTH_Vector3D vA = a->toBodyDirection(a->getSpeed()), lA = a->toBodyDirection(a->getAngularMomentum());
        const MTH_Vector3D vB = b->toBodyDirection(b->getSpeed()), lB = b->toBodyDirection(b->getAngularMomentum());
        const MTH_Vector3D &iA = a->getInverseInertia(), &iB = b->getInverseInertia();
        const double mA = a->getInverseMass(), mB = b->getInverseMass();
        double j = computePairImpulse(rA, rB, nA, nB, vA, vB, mA, mB, -(a->getElasticity() + b->getElasticity()) / 2,
                                      lA, lB, iA, iB);
        if (j < 0) {
            a->applyImpulse(P, n * j);
            b->applyImpulse(pB, n * -j);
            MDL_ContactEvent{P, n, -j, {a, A, b, B}}.post(scene.m_oProxyHandle, events, MDL_CB_POST_COLLISION);
            // Friction along the sliding direction after the normal impulse,
            // from the motion before it.
            MTH_Vector3D u = b->getPointVelocity(pB) - a->getPointVelocity(P);
            MTH_Vector3D t = u - n * n.dot(u);
            if (t.normalize() > 0) {
                double f = computePairImpulse(rA, rB, a->toBodyDirection(t), b->toBodyDirection(t), vA, vB, mA, mB, 0,
                                              lA, lB, iA, iB);
                if (f > 0) {
                    f = std::min(f, -j * (a->getFriction() + b->getFriction()) / 2);
                    a->applyImpulse(P, t * f);
                    b->applyImpulse(pB, t * -f);
                }
            }
        }
    } else {
        const double e = surface != nullptr ? surface->getElasticity() : scene.getElasticity();
        const double mu = surface != nullptr ? surface->getFriction() : scene.getFriction();
        if (a != nullptr)
            collideFixed(a, events, P, -n, A, B, e, mu, surface);
        else if (b != nullptr)
            collideFixed(b, events, P, n, B, A, e, mu, surface);
    }
}

void MDL_Contact::removePenetration(MDL_RigidBody *a, MDL_RigidBody *b, const MTH_Vector3D &P, const MTH_Vector3D &n,
                                    double d, const Offsets &o)
{
    double D = (a != nullptr ? a->inverseEffectiveMass(o.m_oRA, o.m_oNA) : 0) +
               (b != nullptr ? b->inverseEffectiveMass(o.m_oRB, o.m_oNB) : 0);
    if (D == 0)
        return;
    double E = d / D;
    if (a != nullptr)
        a->applyDisplacement(P, n * -E);
    if (b != nullptr)
        b->applyDisplacement(o.m_oPointB, n * E);
    noteCorrection(a, b, n);
}

void MDL_Contact::noteCorrection(MDL_RigidBody *a, MDL_RigidBody *b, const MTH_Vector3D &n)
{
    corrections().append(Correction{a, b, n});
}

void MDL_Contact::settleContacts()
{
    UTIL_DynArray<Correction> &kept = corrections();
    for (int sweep = 0; sweep < SETTLING_SWEEPS; sweep++)
        for (int i = 0; i < kept.m_iCount; i++) {
            const Correction &c = kept[i];
            const double mA = c.m_poA != nullptr ? c.m_poA->getInverseMass() : 0;
            const double mB = c.m_poB != nullptr ? c.m_poB->getInverseMass() : 0;
            const MTH_Vector3D &n = c.m_oNormal;
            const double approach = (c.m_poB != nullptr ? c.m_poB->getSpeed().dot(n) : 0) -
                                    (c.m_poA != nullptr ? c.m_poA->getSpeed().dot(n) : 0);
            if (!(approach < 0) || !(mA + mB > 0))
                continue;
            const double J = -approach / (mA + mB);
            if (c.m_poA != nullptr)
                c.m_poA->m_oSpeed -= n * (J * mA);
            if (c.m_poB != nullptr)
                c.m_poB->m_oSpeed += n * (J * mB);
        }
    kept.resize(0);
}

void MDL_Contact::forgetCorrections()
{
    corrections().resize(0);
}
