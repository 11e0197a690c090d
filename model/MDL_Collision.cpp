#include "model/MDL_Collision.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Contact.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"

namespace {

// --- shapes ---

struct Shape {
    int m_iShape;
    MTH_Vector3D m_oCentre;
    MTH_Vector3D m_aoRows[3]; // half-axes; the cylinder's axis is row 2
    double m_fRadius;         // sphere and cylinder

    // A box's radius is never read, and is left at 0 unless asked for.
    explicit Shape(MDL_CollisionVolume *volume, bool radius = false)
    {
        const MTH_Frame &frame = volume->getGlobalFrame();
        m_iShape = volume->m_iShape;
        m_oCentre = frame.m_oPosition;
        for (int i = 0; i < 3; i++)
            m_aoRows[i] = frame.m_oBasis.getRow(i);
        m_fRadius = radius || m_iShape != MDL_CollisionVolume::SHAPE_BOX ? m_aoRows[0].length() : 0;
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

// Whether point q lies within the extent of shape o across the unit
// direction n: within a box's slabs across n, within a cylinder's radius of
// its axis (n along the axis) or its length (n across it).
bool withinAcross(const Shape &o, const MTH_Vector3D &n, const MTH_Vector3D &q)
{
    const double slack = 1 + 1e-9;
    const MTH_Vector3D r = q - o.m_oCentre;
    if (o.m_iShape == MDL_CollisionVolume::SHAPE_CYLINDER) {
        MTH_Vector3D c = o.axis();
        const double half = c.normalize();
        if (std::fabs(c.dot(n)) > 0.5)
            return (r - c * c.dot(r)).lengthSquared() <= o.m_fRadius * o.m_fRadius * slack;
        return std::fabs(c.dot(r)) <= half * slack;
    }
    for (int i = 0; i < 3; i++) {
        const MTH_Vector3D &u = o.m_aoRows[i];
        const double uu = u.lengthSquared();
        if (uu > 0 && std::fabs(u.dot(n)) < 0.5 * std::sqrt(uu) && std::fabs(u.dot(r)) > uu * slack)
            return false;
    }
    return true;
}

// The point where shape s lies flat against shape o along unit n, if it
// does: the middle of the outline points of s that lie less than
// CONTACT_DEPTHS depths short of its deepest point (towards -n for sign -1,
// +n for sign +1) and within o's extent across n, placed at the depth of
// the deepest point. A face or an edge lying flat against o thus touches it
// at its middle. False when fewer than two points lie so (s touches with
// its deepest point alone).
bool contactMiddle(const Shape &s, const Shape &o, const MTH_Vector3D &n, double sign, double depth,
                   const MTH_Vector3D &deepest, MTH_Vector3D &point)
{
    MTH_Vector3D points[8];
    const int count = MDL_CollisionVolume::outlinePoints(s.m_iShape, s.m_oCentre, s.m_aoRows, s.m_fRadius, n, points);
    const double far = n.dot(deepest);
    MTH_Vector3D sum;
    int inside = 0;
    for (int i = 0; i < count; i++)
        if (sign * (far - n.dot(points[i])) < MDL_CollisionVolume::CONTACT_DEPTHS * depth &&
            withinAcross(o, n, points[i])) {
            sum += points[i];
            inside++;
        }
    if (inside <= 1)
        return false;
    const MTH_Vector3D middle = sum * (1.0 / inside);
    point = middle + n * (far - n.dot(middle));
    return true;
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

// One axis of a separating-axis test for the first shape A (a box) and the
// second B: the unit normal n from A towards B along L, and the overlap d
// along it (the two support lengths less the distance of the centres). An
// axis of length 0 (or not finite) is skipped: false.
inline bool overlapAlong(const MTH_Vector3D &L, const Shape &A, const Shape &B, MTH_Vector3D &n, double &d)
{
    double length = L.length();
    if (!(length > 0) || !std::isfinite(length))
        return false;
    n = L * (1 / length);
    double f = n.dot(B.m_oCentre - A.m_oCentre);
    if (f < 0) {
        n = -n;
        f = -f;
    }
    d = supportLength(A, n) + supportLength(B, n) - f;
    return true;
}

// Makes the axis with normal n and overlap d the least.
void setLeast(Least &least, const Shape &A, const Shape &B, const MTH_Vector3D &n, double d)
{
    least.m_fDepth = d;
    least.m_oNormal = n;
    least.m_oSupportA = boxSupport(A, n, 1);
    least.m_oSupportB = supportTowardsMinus(B, n);
    least.m_bFound = true;
}

// One separating-axis test along L: separated, overlapping, or the least
// overlap so far (then the normal, from A to B, and the support points of A
// towards +n and of B towards -n are kept). A skipped axis overlaps.
int testAxis(const MTH_Vector3D &L, const Shape &A, const Shape &B, Least &least)
{
    MTH_Vector3D n;
    double d = 0;
    if (!overlapAlong(L, A, B, n, d))
        return MDL_Collision::AXIS_OVERLAP;
    if (!(d > 0))
        return MDL_Collision::AXIS_SEPARATED;
    if (!(d < least.m_fDepth))
        return MDL_Collision::AXIS_OVERLAP;
    setLeast(least, A, B, n, d);
    return MDL_Collision::AXIS_LEAST;
}

// The axes of a test whose every axis is needed when none separates. They
// are measured in an order that tends to meet a separating axis early (any
// separating axis ends the test with no contact), then ranked in the order
// that settles ties: the first axis of the least overlap wins, a later one
// only with a strictly smaller overlap. The contact point is worked out for
// the winner alone.
// (Plain numbers, set only when the axis is measured.)
struct Axis {
    double m_afNormal[3];
    double m_fDepth;
    bool m_bTested;

    MTH_Vector3D normal() const { return MTH_Vector3D(m_afNormal[0], m_afNormal[1], m_afNormal[2]); }
};

// Measures axis along L; false when it separates the shapes.
inline bool measure(Axis &axis, const MTH_Vector3D &L, const Shape &A, const Shape &B)
{
    MTH_Vector3D n;
    double d = 0;
    axis.m_bTested = overlapAlong(L, A, B, n, d);
    axis.m_afNormal[0] = n.m_fX;
    axis.m_afNormal[1] = n.m_fY;
    axis.m_afNormal[2] = n.m_fZ;
    axis.m_fDepth = d;
    return !axis.m_bTested || d > 0;
}

// The winner among the axes taken in rank order; -1 when none was tested.
int leastAxis(const Axis *axes, const int *rank, int count)
{
    double least = DBL_MAX;
    int found = -1;
    for (int r = 0; r < count; r++) {
        const Axis &axis = axes[rank[r]];
        if (axis.m_bTested && axis.m_fDepth < least) {
            least = axis.m_fDepth;
            found = rank[r];
        }
    }
    return found;
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

// The contact point on A's surface for a least overlap along one of A's
// axes: where B lies flat against A's face, else B's deepest point.
MTH_Vector3D pointOnFaceOfA(const Least &least, const Shape &A, const Shape &B)
{
    MTH_Vector3D deepest = least.m_oSupportB;
    contactMiddle(B, A, least.m_oNormal, -1, least.m_fDepth, least.m_oSupportB, deepest);
    return deepest + least.m_oNormal * least.m_fDepth;
}

// The same along one of B's axes: where A lies flat against B's face, else
// A's deepest point.
MTH_Vector3D pointOnFaceOfB(const Least &least, const Shape &A, const Shape &B)
{
    MTH_Vector3D deepest = least.m_oSupportA;
    contactMiddle(A, B, least.m_oNormal, 1, least.m_fDepth, least.m_oSupportA, deepest);
    return deepest;
}

// Whether one of the box's half-axes runs along unit n: n is then the
// normal of two of its faces.
bool faceAlong(const Shape &s, const MTH_Vector3D &n)
{
    if (s.m_iShape != MDL_CollisionVolume::SHAPE_BOX)
        return false;
    for (int i = 0; i < 3; i++)
        if (std::fabs(s.m_aoRows[i].dot(n)) >= (1 - 1e-9) * s.m_aoRows[i].length() && s.m_aoRows[i].length() > 0)
            return true;
    return false;
}

// The contact point for a least overlap across an edge of A (along u) and
// one of B (along w): the point of A's edge nearest to B's edge. Edges of
// boxes that lie parallel (a box lying flat on another) cross along the
// normal of a face, with the same overlap as that face's axis: then the
// contact is that face's, as for a face axis.
MTH_Vector3D edgeContact(const Least &least, const Shape &A, const Shape &B, const MTH_Vector3D &u,
                         const MTH_Vector3D &w)
{
    if (faceAlong(A, least.m_oNormal))
        return pointOnFaceOfA(least, A, B);
    if (faceAlong(B, least.m_oNormal))
        return pointOnFaceOfB(least, A, B);
    return edgePoint(least, u, w);
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
    const Shape A(box), B(sphere, true);
    const MTH_Vector3D &s = B.m_oCentre;
    const double R = B.m_fRadius;
    MTH_Vector3D K = A.m_oCentre;
    int outside = 0, lastOut = 0, lastIn = 0;
    for (int i = 0; i < 3; i++) {
        const double along = A.m_aoRows[i].dot(s - A.m_oCentre);
        K += along > 0 ? A.m_aoRows[i] : -A.m_aoRows[i];
        if (std::fabs(along) > A.m_aoRows[i].lengthSquared()) {
            outside++;
            lastOut = i;
        } else {
            lastIn = i;
        }
    }
    // Ranked: for each row i its unit row (2i), then the direction from the
    // line through K along the row to s (2i + 1); last the direction from
    // K to s (6). A centre exactly on the nearest corner leaves no direction
    // to it and no contact.
    const MTH_Vector3D corner = s - K;
    if (corner.lengthSquared() == 0)
        return false;
    // Measured first: the axis of the feature whose region holds s (a face
    // when s is outside one slab of the box, an edge when outside two, the
    // corner when outside all three), then the corner, the faces, the edges.
    int order[8] = {6, 0, 2, 4, 1, 3, 5, -1};
    if (outside == 1 || outside == 2) {
        order[0] = outside == 1 ? 2 * lastOut : 2 * lastIn + 1;
        for (int k = 1; k < 7; k++)
            if (order[k] == order[0])
                order[k] = 6;
    }
    Axis axes[7];
    MTH_Vector3D units[3];
    bool unitMade[3] = {false, false, false};
    auto unit = [&](int i) -> const MTH_Vector3D & {
        if (!unitMade[i]) {
            units[i] = A.m_aoRows[i];
            units[i].normalize();
            unitMade[i] = true;
        }
        return units[i];
    };
    for (int k = 0; k < 7; k++) {
        const int a = order[k];
        const MTH_Vector3D L = a == 6       ? corner
                               : a % 2 == 0 ? unit(a / 2)
                                            : corner - unit(a / 2) * corner.dot(unit(a / 2));
        if (!measure(axes[a], L, A, B))
            return false;
    }
    static const int RANK[7] = {0, 1, 2, 3, 4, 5, 6};
    const int k = leastAxis(axes, RANK, 7);
    if (k < 0)
        return false;
    n = axes[k].normal();
    d = axes[k].m_fDepth;
    P = (s - n * R) + n * d;
    return true;
}

bool MDL_Collision::collideBoxBox(MDL_CollisionVolume *boxA, MDL_CollisionVolume *boxB, MTH_Vector3D &P,
                                  MTH_Vector3D &n, double &d)
{
    const Shape A(boxA), B(boxB);
    // Axes: the rows of A (0 to 2), the rows of B (3 to 5), then the cross
    // products row i of A x row j of B (6 + 3i + j). Ranked: for each i, row
    // i of A, row i of B, then its three cross products. Measured first: the
    // row along which the centres lie farthest apart, for its size; then
    // the other rows and the cross products.
    const MTH_Vector3D between = B.m_oCentre - A.m_oCentre;
    auto row = [&](int a) -> const MTH_Vector3D & { return a < 3 ? A.m_aoRows[a] : B.m_aoRows[a - 3]; };
    int first = 0;
    double bestOffset = -1, bestSize = 1; // the largest offset squared over size, as a fraction
    for (int a = 0; a < 6; a++) {
        const double f = row(a).dot(between), offset = f * f, size = row(a).lengthSquared();
        if (size > 0 && offset * bestSize > bestOffset * size) {
            bestOffset = offset;
            bestSize = size;
            first = a;
        }
    }
    Axis axes[15];
    if (!measure(axes[first], row(first), A, B))
        return false;
    for (int a = 0; a < 6; a++)
        if (a != first && !measure(axes[a], row(a), A, B))
            return false;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            if (!measure(axes[6 + 3 * i + j], A.m_aoRows[i].cross(B.m_aoRows[j]), A, B))
                return false;
    static const int RANK[15] = {0, 3, 6, 7, 8, 1, 4, 9, 10, 11, 2, 5, 12, 13, 14};
    const int k = leastAxis(axes, RANK, 15);
    if (k < 0)
        return false;
    Least least;
    setLeast(least, A, B, axes[k].normal(), axes[k].m_fDepth);
    if (k < 3)
        P = pointOnFaceOfA(least, A, B);
    else if (k < 6)
        P = pointOnFaceOfB(least, A, B);
    else
        P = edgeContact(least, A, B, A.m_aoRows[(k - 6) / 3], B.m_aoRows[(k - 6) % 3]);
    n = least.m_oNormal;
    d = least.m_fDepth;
    return true;
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
            least.m_oPoint = pointOnFaceOfA(least, A, B);
        r = testAxis(A.m_aoRows[i].cross(a), A, B, least);
        if (r == AXIS_SEPARATED)
            return false;
        if (r == AXIS_LEAST)
            least.m_oPoint = edgeContact(least, A, B, A.m_aoRows[i], a);
    }
    int r = testAxis(a, A, B, least);
    if (r == AXIS_SEPARATED)
        return false;
    if (r == AXIS_LEAST)
        least.m_oPoint = pointOnFaceOfB(least, A, B);
    return result(least, P, n, d);
}

int MDL_Collision::findContact(MDL_CollisionVolume *A, MDL_CollisionVolume *B, MTH_Vector3D &P, MTH_Vector3D &n,
                               double &d)
{
    // Bounding spheres first.
    MTH_Vector3D between = B->getGlobalPosition() - A->getGlobalPosition();
    if (!(between.length() <= A->m_fRadius + B->m_fRadius))
        return APART;
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
    if (!hit)
        return APART;
    // A contact must push along a unit direction by a finite amount: a zero
    // normal (a sphere centre on a cylinder's rim) or anything not finite
    // gives none.
    if (!(d > 0) || !std::isfinite(d) || !P.isFinite() || !n.isFinite())
        return REFUSED;
    double length = n.length();
    return length > 0.5 && length < 1.5 ? FOUND : REFUSED;
}
