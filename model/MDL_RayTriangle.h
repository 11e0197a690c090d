#pragma once

#include <cmath>

#include "foundation/MTH_Vector.h"

// The ray-triangle test every pick uses, inlined into the loops that call
// it. Whether the ray origin + s x direction meets the triangle (a, b, c) at
// some s below limit: the triangle counts when the ray meets its front (its
// normal (b - a) x (c - a) against the direction), or either face when
// doubleSided. Unless anySide, s must also be positive. On a hit s is set.
// Degenerate triangles and rays parallel to the plane never hit.
//
// Every caller goes through this one function, so that the same triangle and
// ray give the same s, bit for bit, whichever loop asks.
inline bool MDL_bRayMeetsTriangle(const MTH_Vector3D &origin, const MTH_Vector3D &direction, const MTH_Vector3D &a,
                                  const MTH_Vector3D &b, const MTH_Vector3D &c, double limit, bool anySide,
                                  bool doubleSided, double &s)
{
    const MTH_Vector3D ab = b - a;
    const MTH_Vector3D ac = c - a;
    const MTH_Vector3D n = ab.cross(ac);
    const double d = direction.dot(n);
    // The front faces the ray when d < 0; d = 0 (parallel ray, degenerate
    // triangle or zero direction) never hits, so nothing below divides by 0.
    if (!(d < 0.0) && !(d != 0.0 && doubleSided))
        return false;
    const double hit = (n.dot(a) - n.dot(origin)) / d;
    if (!(hit < limit))
        return false;
    if (!anySide && !(hit > 0.0))
        return false;

    // Inside test in the plane of the two axes other than n's largest
    // component: both sub-areas have that component's sign and their sum
    // does not exceed it (edges and corners count as inside).
    const MTH_Vector3D p = origin + direction * hit - a;
    const double ax = std::fabs(n.m_fX), ay = std::fabs(n.m_fY), az = std::fabs(n.m_fZ);
    double u1, u2, v1, v2, p1, p2, area;
    if (ax >= ay && ax >= az) {
        u1 = ab.m_fY, u2 = ab.m_fZ, v1 = ac.m_fY, v2 = ac.m_fZ, p1 = p.m_fY, p2 = p.m_fZ, area = n.m_fX;
    } else if (ay >= az) {
        u1 = ab.m_fZ, u2 = ab.m_fX, v1 = ac.m_fZ, v2 = ac.m_fX, p1 = p.m_fZ, p2 = p.m_fX, area = n.m_fY;
    } else {
        u1 = ab.m_fX, u2 = ab.m_fY, v1 = ac.m_fX, v2 = ac.m_fY, p1 = p.m_fX, p2 = p.m_fY, area = n.m_fZ;
    }
    // p = a + beta (b - a) + gamma (c - a), scaled by area.
    const double beta = p1 * v2 - p2 * v1;
    const double gamma = u1 * p2 - u2 * p1;
    if (area > 0.0) {
        if (beta < 0.0 || gamma < 0.0 || beta + gamma > area)
            return false;
    } else {
        if (beta > 0.0 || gamma > 0.0 || beta + gamma < area)
            return false;
    }
    s = hit;
    return true;
}
