#include "model/MDL_Collision.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Contact.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"

namespace {

// --- the sweep ---

bool endpointBefore(const MDL_SweepEndpoint *a, const MDL_SweepEndpoint *b)
{
    return a->m_fValue < b->m_fValue;
}

// Sorts the endpoints by value. From one pass to the next the order barely
// changes, so an insertion sort does it in about one move per endpoint; when
// it meets much disorder (a first pass, a teleport) the rest goes to a
// general sort. Every value is finite (NaN is folded to 0 first), so the
// order is a strict weak one.
void sortEndpoints(MDL_SweepEndpoint **e, int count)
{
    long budget = 8L * count + 64;
    for (int i = 1; i < count; i++) {
        MDL_SweepEndpoint *x = e[i];
        int j = i;
        while (j > 0 && endpointBefore(x, e[j - 1])) {
            e[j] = e[j - 1];
            j--;
            if (--budget < 0) {
                e[j] = x;
                std::sort(e, e + count, endpointBefore);
                return;
            }
        }
        e[j] = x;
    }
}

// --- shapes ---

struct Shape {
    int m_iShape;
    MTH_Vector3D m_oCentre;
    MTH_Vector3D m_aoRows[3]; // half-axes; the cylinder's axis is row 2
    double m_fRadius;         // sphere and cylinder

    explicit Shape(MDL_CollisionVolume *volume)
    {
        const MTH_Frame &frame = volume->getGlobalFrame();
        m_iShape = volume->m_iShape;
        m_oCentre = frame.m_oPosition;
        for (int i = 0; i < 3; i++)
            m_aoRows[i] = frame.m_oBasis.getRow(i);
        m_fRadius = m_aoRows[0].length();
    }
    const MTH_Vector3D &axis() const { return m_aoRows[2]; }
};

// Support length of a shape along unit n (its half-width along n).
double supportLength(const Shape &s, const MTH_Vector3D &n)
{
    switch (s.m_iShape) {
    case MDL_CollisionVolume::SHAPE_BOX:
        return std::fabs(s.m_aoRows[0].dot(n)) + std::fabs(s.m_aoRows[1].dot(n)) + std::fabs(s.m_aoRows[2].dot(n));
    case MDL_CollisionVolume::SHAPE_CYLINDER: {
        MTH_Vector3D c = s.axis();
        c.normalize();
        return std::fabs(s.axis().dot(n)) + s.m_fRadius * (n - c * c.dot(n)).length();
    }
    default:
        return s.m_fRadius;
    }
}

// The box's corner farthest along +n (sign +1) or -n (sign -1).
MTH_Vector3D boxSupport(const Shape &s, const MTH_Vector3D &n, double sign)
{
    MTH_Vector3D p = s.m_oCentre;
    for (int i = 0; i < 3; i++) {
        bool positive = s.m_aoRows[i].dot(n) > 0;
        p += (positive == (sign > 0)) ? s.m_aoRows[i] : -s.m_aoRows[i];
    }
    return p;
}

// The point of the second shape farthest along -n.
MTH_Vector3D supportTowardsMinus(const Shape &s, const MTH_Vector3D &n)
{
    switch (s.m_iShape) {
    case MDL_CollisionVolume::SHAPE_BOX:
        return boxSupport(s, n, -1);
    case MDL_CollisionVolume::SHAPE_CYLINDER: {
        const MTH_Vector3D &a = s.axis();
        MTH_Vector3D c = a;
        c.normalize();
        MTH_Vector3D e = n - c * c.dot(n);
        if (!(e.normalize() > 0))
            e = MTH_Vector3D(0, 0, 0);
        return s.m_oCentre + (a.dot(n) > 0 ? -a : a) - e * s.m_fRadius;
    }
    default:
        return s.m_oCentre - n * s.m_fRadius;
    }
}

// The least overlap found so far over the tested axes.
struct Least {
    double m_fDepth = DBL_MAX;
    bool m_bFound = false;
    MTH_Vector3D m_oNormal, m_oSupportA, m_oSupportB, m_oPoint;
};

// One separating-axis test along L for the first shape A (a box) and the
// second B: separated, overlapping, or the least overlap so far (then the
// normal, from A to B, and the support points of A towards +n and of B
// towards -n are kept). An axis of length 0 (or not finite) is skipped.
int testAxis(MTH_Vector3D L, const Shape &A, const Shape &B, Least &least)
{
    double length = L.length();
    if (!(length > 0) || !std::isfinite(length))
        return MDL_Collision::AXIS_OVERLAP;
    MTH_Vector3D n = L * (1 / length);
    double f = n.dot(B.m_oCentre - A.m_oCentre);
    if (f < 0) {
        n = -n;
        f = -f;
    }
    double d = supportLength(A, n) + supportLength(B, n) - f;
    if (!(d > 0))
        return MDL_Collision::AXIS_SEPARATED;
    if (!(d < least.m_fDepth))
        return MDL_Collision::AXIS_OVERLAP;
    least.m_fDepth = d;
    least.m_oNormal = n;
    least.m_oSupportA = boxSupport(A, n, 1);
    least.m_oSupportB = supportTowardsMinus(B, n);
    least.m_bFound = true;
    return MDL_Collision::AXIS_LEAST;
}

// The point of A's edge (through pA along u) nearest to B's edge (through pB
// along w), in the least's normal plane.
MTH_Vector3D edgePoint(const Least &least, const MTH_Vector3D &u, const MTH_Vector3D &w)
{
    const MTH_Vector3D &n = least.m_oNormal;
    double denominator = n.dot(u.cross(w));
    if (!(std::fabs(denominator) > 1e-300))
        return least.m_oSupportA;
    double t = n.dot((least.m_oSupportB - least.m_oSupportA).cross(w)) / denominator;
    return least.m_oSupportA + u * t;
}

bool finite(const MTH_Vector3D &v)
{
    return std::isfinite(v.m_fX) && std::isfinite(v.m_fY) && std::isfinite(v.m_fZ);
}

// Hands out a least overlap as the contact; nothing when no axis could be
// tested at all.
bool result(const Least &least, MTH_Vector3D &P, MTH_Vector3D &n, double &d)
{
    if (!least.m_bFound)
        return false;
    P = least.m_oPoint;
    n = least.m_oNormal;
    d = least.m_fDepth;
    return true;
}

// The contact of the exchanged pair in the pair's own convention.
void swapContact(MTH_Vector3D &P, MTH_Vector3D &n, double d)
{
    P = P - n * d;
    n = -n;
}

} // namespace

MDL_RigidBody *MDL_Collision::bodyOf(MDL_CollisionVolume *volume)
{
    for (MDL_Object *o = volume->getParent(); o != nullptr; o = o->getParent()) {
        MDL_RigidBody *body = MDL_RigidBody::cast(o);
        if (body != nullptr)
            return body;
    }
    return nullptr;
}

// --- the shape tests ---

bool MDL_Collision::collideSphereSphere(MDL_CollisionVolume *A, MDL_CollisionVolume *B, MTH_Vector3D &P,
                                        MTH_Vector3D &n, double &d)
{
    const Shape a(A), b(B);
    MTH_Vector3D D = b.m_oCentre - a.m_oCentre;
    double L = D.length();
    d = a.m_fRadius + b.m_fRadius - L;
    if (!(d > 0))
        return false;
    n = L > 0 ? D * (1 / L) : MTH_Vector3D(1, 0, 0);
    P = a.m_oCentre + n * a.m_fRadius;
    return true;
}

bool MDL_Collision::collideCylinderSphere(MDL_CollisionVolume *cylinder, MDL_CollisionVolume *sphere, MTH_Vector3D &P,
                                          MTH_Vector3D &n, double &d)
{
    const MTH_Frame &frame = cylinder->getGlobalFrame();
    const Shape s(sphere);
    // In the cylinder's own coordinates it is x^2 + y^2 <= 1, -1 <= z <= 1;
    // the nearest point is taken on the side surface or its rim.
    MTH_Vector3D q;
    frame.localPoint(s.m_oCentre, q);
    q.m_fZ = std::max(-1.0, std::min(1.0, q.m_fZ));
    double planar = std::sqrt(q.m_fX * q.m_fX + q.m_fY * q.m_fY);
    if (planar > 0) {
        q.m_fX /= planar;
        q.m_fY /= planar;
    }
    MTH_Vector3D Q;
    frame.globalPoint(q, Q);
    MTH_Vector3D toCylinder = Q - s.m_oCentre;
    double h = toCylinder.length();
    if (!(s.m_fRadius > h))
        return false;
    d = s.m_fRadius - h;
    n = toCylinder;
    n.normalize();
    P = Q + n * d;
    return true;
}

bool MDL_Collision::collideBoxSphere(MDL_CollisionVolume *box, MDL_CollisionVolume *sphere, MTH_Vector3D &P,
                                     MTH_Vector3D &n, double &d)
{
    const Shape A(box), B(sphere);
    const MTH_Vector3D &s = B.m_oCentre;
    const double R = B.m_fRadius;
    MTH_Vector3D K = A.m_oCentre;
    for (int i = 0; i < 3; i++)
        K += A.m_aoRows[i].dot(s - A.m_oCentre) > 0 ? A.m_aoRows[i] : -A.m_aoRows[i];
    Least least;
    auto test = [&](const MTH_Vector3D &L) {
        int r = testAxis(L, A, B, least);
        if (r == AXIS_LEAST)
            least.m_oPoint = (s - least.m_oNormal * R) + least.m_oNormal * least.m_fDepth;
        return r != AXIS_SEPARATED;
    };
    for (int i = 0; i < 3; i++) {
        MTH_Vector3D u = A.m_aoRows[i];
        u.normalize();
        if (!test(u))
            return false;
        MTH_Vector3D toSphere = s - K;
        if (!test(toSphere - u * toSphere.dot(u)))
            return false;
    }
    // A centre exactly on the nearest corner leaves no direction to it.
    MTH_Vector3D corner = s - K;
    if (corner.lengthSquared() == 0 || !test(corner))
        return false;
    return result(least, P, n, d);
}

bool MDL_Collision::collideBoxBox(MDL_CollisionVolume *boxA, MDL_CollisionVolume *boxB, MTH_Vector3D &P,
                                  MTH_Vector3D &n, double &d)
{
    const Shape A(boxA), B(boxB);
    Least least;
    for (int i = 0; i < 3; i++) {
        int r = testAxis(A.m_aoRows[i], A, B, least);
        if (r == AXIS_SEPARATED)
            return false;
        if (r == AXIS_LEAST)
            least.m_oPoint = least.m_oSupportB + least.m_oNormal * least.m_fDepth;
        r = testAxis(B.m_aoRows[i], A, B, least);
        if (r == AXIS_SEPARATED)
            return false;
        if (r == AXIS_LEAST)
            least.m_oPoint = least.m_oSupportA;
        for (int j = 0; j < 3; j++) {
            r = testAxis(A.m_aoRows[i].cross(B.m_aoRows[j]), A, B, least);
            if (r == AXIS_SEPARATED)
                return false;
            if (r == AXIS_LEAST)
                least.m_oPoint = edgePoint(least, A.m_aoRows[i], B.m_aoRows[j]);
        }
    }
    return result(least, P, n, d);
}

bool MDL_Collision::collideBoxCylinder(MDL_CollisionVolume *box, MDL_CollisionVolume *cylinder, MTH_Vector3D &P,
                                       MTH_Vector3D &n, double &d)
{
    const Shape A(box), B(cylinder);
    const MTH_Vector3D &a = B.axis();
    Least least;
    for (int i = 0; i < 3; i++) {
        int r = testAxis(A.m_aoRows[i], A, B, least);
        if (r == AXIS_SEPARATED)
            return false;
        if (r == AXIS_LEAST)
            least.m_oPoint = least.m_oSupportB + least.m_oNormal * least.m_fDepth;
        r = testAxis(A.m_aoRows[i].cross(a), A, B, least);
        if (r == AXIS_SEPARATED)
            return false;
        if (r == AXIS_LEAST)
            least.m_oPoint = edgePoint(least, A.m_aoRows[i], a);
    }
    int r = testAxis(a, A, B, least);
    if (r == AXIS_SEPARATED)
        return false;
    if (r == AXIS_LEAST)
        least.m_oPoint = least.m_oSupportA;
    return result(least, P, n, d);
}

bool MDL_Collision::testContact(MDL_CollisionVolume *A, MDL_CollisionVolume *B, MTH_Vector3D &P, MTH_Vector3D &n,
                                double &d)
{
    // Bounding spheres first.
    MTH_Vector3D between = B->getGlobalPosition() - A->getGlobalPosition();
    if (!(between.length() <= A->m_fRadius + B->m_fRadius))
        return false;
    enum { SPHERE = MDL_CollisionVolume::SHAPE_SPHERE, BOX = MDL_CollisionVolume::SHAPE_BOX };
    enum { CYLINDER = MDL_CollisionVolume::SHAPE_CYLINDER };
    const int a = A->m_iShape, b = B->m_iShape;
    bool hit = false;
    if (a == SPHERE && b == SPHERE) {
        hit = collideSphereSphere(A, B, P, n, d);
    } else if (a == SPHERE && b == BOX) {
        hit = collideBoxSphere(B, A, P, n, d);
        if (hit)
            swapContact(P, n, d);
    } else if (a == SPHERE && b == CYLINDER) {
        hit = collideCylinderSphere(B, A, P, n, d);
    } else if (a == BOX && b == SPHERE) {
        hit = collideBoxSphere(A, B, P, n, d);
    } else if (a == BOX && b == BOX) {
        hit = collideBoxBox(A, B, P, n, d);
    } else if (a == BOX && b == CYLINDER) {
        hit = collideBoxCylinder(A, B, P, n, d);
    } else if (a == CYLINDER && b == SPHERE) {
        hit = collideCylinderSphere(A, B, P, n, d);
        if (hit)
            swapContact(P, n, d);
    } else if (a == CYLINDER && b == BOX) {
        hit = collideBoxCylinder(B, A, P, n, d);
        if (hit)
            swapContact(P, n, d);
    }
    // A contact must push along a unit direction by a finite amount: a zero
    // normal (a sphere centre on a cylinder's rim) or anything not finite
    // gives none.
    if (!hit || !(d > 0) || !std::isfinite(d) || !finite(P) || !finite(n))
        return false;
    double length = n.length();
    return length > 0.5 && length < 1.5;
}

// --- the pass ---

namespace {

// A volume's global position, without a call while its frame is current.
inline const MTH_Vector3D &centreOf(MDL_CollisionVolume *volume)
{
    return volume->m_bGlobalValid ? volume->m_oGlobalFrame.m_oPosition : volume->getGlobalPosition();
}

// Examines the pair (A = V, B = W) of the sweep.
void examine(MDL_Scene &scene, UTIL_EventHost *events, MDL_CollisionVolume *A, MDL_CollisionVolume *B)
{
    if (B->m_bDeleted || A == B)
        return;
    if ((B->m_uiCollisionMask & static_cast<uint32_t>(A->m_iCollisionLayer)) == 0 &&
        (A->m_uiCollisionMask & static_cast<uint32_t>(B->m_iCollisionLayer)) == 0)
        return;
    // The bounding spheres first: most pairs that overlap along x are far
    // apart along y or z, and this test needs nothing but the two volumes.
    const MTH_Vector3D between = centreOf(B) - centreOf(A);
    const double reach = A->m_fRadius + B->m_fRadius;
    if (!(between.lengthSquared() <= reach * reach))
        return;
    MDL_RigidBody *a = MDL_Collision::bodyOf(A);
    MDL_RigidBody *b = MDL_Collision::bodyOf(B);
    if ((a != nullptr && a->m_bDeleted) || (a == nullptr && b == nullptr) ||
        (b != nullptr && (b == a || b->m_bDeleted)))
        return;
    // Two still bodies, or a still body and the fixed world, are not tested.
    if ((a == nullptr || a->getStill()) && (b == nullptr || b->getStill()))
        return;
    MTH_Vector3D P, n;
    double d = 0;
    if (!MDL_Collision::testContact(A, B, P, n, d))
        return;
    int accepted = scene.m_oProxyHandle.postEvent(events, MDL_Contact::EVENT_PRE_COLLISION, &P, &n, d,
                                                  static_cast<MDL_Object *>(a), static_cast<MDL_Object *>(A),
                                                  static_cast<MDL_Object *>(b), static_cast<MDL_Object *>(B));
    if ((accepted & 0xFF) != 0)
        MDL_Contact::respond(scene, events, a, A, b, B, P, n, d);
}

} // namespace

void MDL_Collision::collide(MDL_Scene &scene, UTIL_EventHost *events)
{
    // Only what exists now takes part: a volume that a script adds while the
    // pass runs has neither radius nor endpoint values yet, and its
    // endpoints are not in the sorted order.
    const int volumes = scene.m_oCollisionVolumes.m_iCount;
    const int count = scene.m_oSweepEndpoints.m_iCount;
    for (int i = 0; i < volumes; i++)
        static_cast<MDL_CollisionVolume *>(scene.m_oCollisionVolumes[i])->getRadius();
    for (int i = 0; i < count; i++) {
        MDL_SweepEndpoint *endpoint = scene.m_oSweepEndpoints[i];
        if (std::isnan(endpoint->update()))
            endpoint->m_fValue = 0;
    }
    sortEndpoints(scene.m_oSweepEndpoints.m_pData, count);

    UTIL_DynArray<MDL_CollisionVolume *> &active = scene.m_oActiveVolumes;
    active.resize(0);
    for (int i = 0; i < count; i++) {
        MDL_SweepEndpoint *endpoint = scene.m_oSweepEndpoints[i];
        MDL_CollisionVolume *V = endpoint->m_poObject;
        if (V == nullptr || V->m_bDeleted)
            continue;
        // The list is read afresh at each turn: a response may run scripts.
        for (int k = 0; k < active.m_iCount; k++)
            examine(scene, events, V, active[k]);
        if (endpoint->m_bIsMin)
            active.append(V);
        else
            active.removeValue(V);
    }
    active.resize(0);
}
