#include "foundation/MTH_Vector.h"

void MTH_Vector3D::rotate(MTH_Vector3D &v, const MTH_Vector3D &k, double cosine, double sine)
{
    double kk = k.dot(k);
    if (kk == 0)
        return;
    // Rodrigues' formula scaled so that the axis need not be a unit vector:
    // v' = [c (K v - k (k.v)) + s sqrt(K) (k x v) + k (k.v)] / K.
    double kv = k.dot(v);
    MTH_Vector3D along = k * kv;
    MTH_Vector3D across = v * kk - along;
    MTH_Vector3D turn = k.cross(v) * (sine * std::sqrt(kk));
    MTH_Vector3D r = across * cosine + turn + along;
    v = r * (1.0 / kk);
}

void MTH_Vector3D::slerp(MTH_Vector3D &out, const MTH_Vector3D &a, const MTH_Vector3D &b, double t)
{
    double la = a.length();
    double lb = b.length();
    if (!(la > 0) || !(lb > 0)) {
        out = a + (b - a) * t;
        return;
    }
    double c = a.dot(b) / (la * lb);
    if (c >= 1) {
        out = b;
        return;
    }
    if (c <= -1) {
        out = -b;
        return;
    }
    double s = std::sqrt(1 - c * c);
    if (!(s > 0)) {
        out = c > 0 ? b : -b;
        return;
    }
    double theta = std::atan2(s, c);
    out = (a * std::sin((1 - t) * theta) + b * std::sin(t * theta)) * (1.0 / s);
}

double MTH_distancePointSegment2D(const MTH_Vector2D &p, const MTH_Vector2D &a, const MTH_Vector2D &b)
{
    MTH_Vector2D d = b - a;
    double l = d.length();
    MTH_Vector2D pa = p - a;
    if (l == 0)
        return pa.length();
    double u = pa.dot(d) / l;
    if (u < 0)
        u = 0;
    else if (u > l)
        u = l;
    MTH_Vector2D closest = a + d * (u / l);
    return (p - closest).length();
}
