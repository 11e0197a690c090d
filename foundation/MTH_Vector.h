#pragma once

#include <cmath>

// Double-precision vectors: row vectors that multiply matrices from the left.
struct MTH_Vector2D {
    double m_fX = 0, m_fY = 0;

    MTH_Vector2D() = default;
    MTH_Vector2D(double x, double y) : m_fX(x), m_fY(y) {}

    MTH_Vector2D operator+(const MTH_Vector2D &o) const { return MTH_Vector2D(m_fX + o.m_fX, m_fY + o.m_fY); }
    MTH_Vector2D operator-(const MTH_Vector2D &o) const { return MTH_Vector2D(m_fX - o.m_fX, m_fY - o.m_fY); }
    MTH_Vector2D operator*(double s) const { return MTH_Vector2D(m_fX * s, m_fY * s); }
    double dot(const MTH_Vector2D &o) const { return m_fX * o.m_fX + m_fY * o.m_fY; }
    // The z of the cross product of the two in the plane: positive when o
    // turns counter-clockwise from this.
    double cross(const MTH_Vector2D &o) const { return m_fX * o.m_fY - m_fY * o.m_fX; }
    double length() const { return std::sqrt(dot(*this)); }
};

struct MTH_Vector3D {
    double m_fX = 0, m_fY = 0, m_fZ = 0;

    MTH_Vector3D() = default;
    MTH_Vector3D(double x, double y, double z) : m_fX(x), m_fY(y), m_fZ(z) {}

    MTH_Vector3D operator+(const MTH_Vector3D &o) const
    {
        return MTH_Vector3D(m_fX + o.m_fX, m_fY + o.m_fY, m_fZ + o.m_fZ);
    }
    MTH_Vector3D operator-(const MTH_Vector3D &o) const
    {
        return MTH_Vector3D(m_fX - o.m_fX, m_fY - o.m_fY, m_fZ - o.m_fZ);
    }
    MTH_Vector3D operator-() const { return MTH_Vector3D(-m_fX, -m_fY, -m_fZ); }
    MTH_Vector3D operator*(double s) const { return MTH_Vector3D(m_fX * s, m_fY * s, m_fZ * s); }
    MTH_Vector3D &operator+=(const MTH_Vector3D &o)
    {
        m_fX += o.m_fX;
        m_fY += o.m_fY;
        m_fZ += o.m_fZ;
        return *this;
    }
    MTH_Vector3D &operator-=(const MTH_Vector3D &o)
    {
        m_fX -= o.m_fX;
        m_fY -= o.m_fY;
        m_fZ -= o.m_fZ;
        return *this;
    }
    MTH_Vector3D &operator*=(double s)
    {
        m_fX *= s;
        m_fY *= s;
        m_fZ *= s;
        return *this;
    }
    bool operator==(const MTH_Vector3D &o) const { return m_fX == o.m_fX && m_fY == o.m_fY && m_fZ == o.m_fZ; }
    bool operator!=(const MTH_Vector3D &o) const { return !(*this == o); }

    double dot(const MTH_Vector3D &o) const { return m_fX * o.m_fX + m_fY * o.m_fY + m_fZ * o.m_fZ; }
    MTH_Vector3D cross(const MTH_Vector3D &o) const
    {
        return MTH_Vector3D(m_fY * o.m_fZ - m_fZ * o.m_fY, m_fZ * o.m_fX - m_fX * o.m_fZ,
                            m_fX * o.m_fY - m_fY * o.m_fX);
    }
    double lengthSquared() const { return dot(*this); }
    bool isFinite() const { return std::isfinite(m_fX) && std::isfinite(m_fY) && std::isfinite(m_fZ); }
    double length() const { return std::sqrt(dot(*this)); }
    // Scales the vector to unit length and returns the length it had; a
    // vector whose length is not greater than 0 is left as it is.
    double normalize()
    {
        double l = length();
        if (l > 0) {
            m_fX /= l;
            m_fY /= l;
            m_fZ /= l;
        }
        return l;
    }

    // Turns v in place about the axis k (any non-zero length) by the angle
    // whose cosine and sine are given, right-handed. A zero axis leaves v
    // unchanged.
    static void rotate(MTH_Vector3D &v, const MTH_Vector3D &k, double cosine, double sine);
    // Spherical interpolation from a (t = 0) to b (t = 1); the inputs keep
    // their own lengths. A zero-length input falls back to the straight
    // blend a + (b - a) * t.
    static void slerp(MTH_Vector3D &out, const MTH_Vector3D &a, const MTH_Vector3D &b, double t);
};

inline MTH_Vector3D operator*(double s, const MTH_Vector3D &v)
{
    return v * s;
}

// Four components; colours read them as red, green, blue and alpha.
struct MTH_Vector4D {
    double m_fX = 0, m_fY = 0, m_fZ = 0, m_fW = 0;

    MTH_Vector4D() = default;
    MTH_Vector4D(double x, double y, double z, double w) : m_fX(x), m_fY(y), m_fZ(z), m_fW(w) {}
};

// Distance from the point p to the segment from a to b.
double MTH_distancePointSegment2D(const MTH_Vector2D &p, const MTH_Vector2D &a, const MTH_Vector2D &b);
