#include "foundation/MTH_Matrix3x3.h"

#include "foundation/MTH_Matrix4x4.h"

namespace {

inline double component(const MTH_Vector3D &v, int column)
{
    switch (column) {
    case 0:
        return v.m_fX;
    case 1:
        return v.m_fY;
    case 2:
        return v.m_fZ;
    default:
        return 0;
    }
}

// Normalises v in place; false (v untouched) when its length is not greater than 0.
inline bool normalizeRow(MTH_Vector3D &v)
{
    double l = v.length();
    if (!(l > 0))
        return false;
    v *= 1.0 / l;
    return true;
}

} // namespace

double MTH_Matrix3x3::get(int row, int column) const
{
    if (row < 0 || row > 2)
        return 0;
    return component(m_aoRows[row], column);
}

void MTH_Matrix3x3::set(int row, int column, double value)
{
    if (row < 0 || row > 2)
        return;
    MTH_Vector3D &r = m_aoRows[row];
    switch (column) {
    case 0:
        r.m_fX = value;
        break;
    case 1:
        r.m_fY = value;
        break;
    case 2:
        r.m_fZ = value;
        break;
    default:
        break;
    }
}

void MTH_Matrix3x3::setIdentity()
{
    m_aoRows[0] = MTH_Vector3D(1, 0, 0);
    m_aoRows[1] = MTH_Vector3D(0, 1, 0);
    m_aoRows[2] = MTH_Vector3D(0, 0, 1);
}

double MTH_Matrix3x3::determinant() const
{
    const MTH_Vector3D &r0 = m_aoRows[0], &r1 = m_aoRows[1], &r2 = m_aoRows[2];
    return r0.m_fX * (r1.m_fY * r2.m_fZ - r1.m_fZ * r2.m_fY) - r0.m_fY * (r1.m_fX * r2.m_fZ - r1.m_fZ * r2.m_fX) +
           r0.m_fZ * (r1.m_fX * r2.m_fY - r1.m_fY * r2.m_fX);
}

void MTH_Matrix3x3::setInverseOf(const MTH_Matrix3x3 &m)
{
    double det = m.determinant();
    if (det == 0) {
        setIdentity();
        return;
    }
    const double a = m.m_aoRows[0].m_fX, b = m.m_aoRows[0].m_fY, c = m.m_aoRows[0].m_fZ;
    const double d = m.m_aoRows[1].m_fX, e = m.m_aoRows[1].m_fY, f = m.m_aoRows[1].m_fZ;
    const double g = m.m_aoRows[2].m_fX, h = m.m_aoRows[2].m_fY, i = m.m_aoRows[2].m_fZ;
    // All of m is read above, so this may be m.
    m_aoRows[0] = MTH_Vector3D((e * i - f * h) / det, -(b * i - c * h) / det, (b * f - c * e) / det);
    m_aoRows[1] = MTH_Vector3D(-(d * i - f * g) / det, (a * i - c * g) / det, -(a * f - c * d) / det);
    m_aoRows[2] = MTH_Vector3D((d * h - e * g) / det, -(a * h - b * g) / det, (a * e - b * d) / det);
}

void MTH_Matrix3x3::invert()
{
    MTH_Matrix3x3 t;
    t.setInverseOf(*this);
    *this = t;
}

void MTH_Matrix3x3::setProduct(MTH_Matrix3x3 &out, const MTH_Matrix3x3 &a, const MTH_Matrix3x3 &b)
{
    MTH_Matrix3x3 t = b;
    for (MTH_Vector3D &r : t.m_aoRows)
        a.transform(r);
    out = t;
}

void MTH_Matrix3x3::multiply(const MTH_Matrix3x3 &a)
{
    setProduct(*this, a, *this);
}

void MTH_Matrix3x3::setEulerAngles(double a, double b, double c)
{
    double sa = std::sin(a), ca = std::cos(a);
    double sb = std::sin(b), cb = std::cos(b);
    double sc = std::sin(c), cc = std::cos(c);
    m_aoRows[0] = MTH_Vector3D(cc * cb, sc * cb, -sb);
    m_aoRows[1] = MTH_Vector3D(sb * sa * cc - ca * sc, sb * sa * sc + ca * cc, sa * cb);
    m_aoRows[2] = MTH_Vector3D(ca * cc * sb + sa * sc, ca * sc * sb - sa * cc, ca * cb);
}

void MTH_Matrix3x3::setFromMatrix4x4(const MTH_Matrix4x4 &m)
{
    const double *e = m.m_af;
    m_aoRows[0] = MTH_Vector3D(e[0], e[1], e[2]);
    m_aoRows[1] = MTH_Vector3D(e[4], e[5], e[6]);
    m_aoRows[2] = MTH_Vector3D(e[8], e[9], e[10]);
}

void MTH_Matrix3x3::slerp(MTH_Matrix3x3 &out, const MTH_Matrix3x3 &a, const MTH_Matrix3x3 &b, double t)
{
    MTH_Matrix3x3 r;
    for (int i = 0; i < 3; i++)
        MTH_Vector3D::slerp(r.m_aoRows[i], a.m_aoRows[i], b.m_aoRows[i], t);
    out = r;
}

void MTH_Matrix3x3::scale(double s)
{
    for (MTH_Vector3D &r : m_aoRows)
        r *= s;
}

void MTH_Matrix3x3::scaleRows(const MTH_Vector3D &v)
{
    m_aoRows[0] *= v.m_fX;
    m_aoRows[1] *= v.m_fY;
    m_aoRows[2] *= v.m_fZ;
}

void MTH_Matrix3x3::setRowLengths(const MTH_Vector3D &v)
{
    const double lengths[3] = {v.m_fX, v.m_fY, v.m_fZ};
    for (int i = 0; i < 3; i++) {
        double l = m_aoRows[i].length();
        if (l > 0)
            m_aoRows[i] *= lengths[i] / l;
    }
}

void MTH_Matrix3x3::getRowLengths(MTH_Vector3D &out) const
{
    out = MTH_Vector3D(m_aoRows[0].length(), m_aoRows[1].length(), m_aoRows[2].length());
}

void MTH_Matrix3x3::rotate(const MTH_Vector3D &axis, double angle)
{
    MTH_Vector3D k = axis; // the axis may be one of the rows
    double c = std::cos(angle), s = std::sin(angle);
    for (MTH_Vector3D &r : m_aoRows)
        MTH_Vector3D::rotate(r, k, c, s);
}

void MTH_Matrix3x3::rotateAroundRow(int i, double angle)
{
    if (i < 0 || i > 2)
        return;
    MTH_Vector3D k = m_aoRows[i];
    double c = std::cos(angle), s = std::sin(angle);
    MTH_Vector3D::rotate(m_aoRows[(i + 1) % 3], k, c, s);
    MTH_Vector3D::rotate(m_aoRows[(i + 2) % 3], k, c, s);
}

void MTH_Matrix3x3::add(const MTH_Matrix3x3 &m)
{
    for (int i = 0; i < 3; i++)
        m_aoRows[i] += m.m_aoRows[i];
}

bool MTH_Matrix3x3::orthonormalize(int k)
{
    if (k < 0 || k > 2)
        return false;
    // Row k keeps its direction; the row after it (cyclically) is rebuilt
    // second as a cross product, the remaining one last:
    //   k = 0: r0 = n(r0); r2 = n(r0 x r1); r1 = n(r2 x r0)
    //   k = 1: r1 = n(r1); r0 = n(r1 x r2); r2 = n(r0 x r1)
    //   k = 2: r2 = n(r2); r1 = n(r2 x r0); r0 = n(r1 x r2)
    static const int steps[3][3][3] = {
        // {row written, left operand, right operand}; the first step only normalises
        {{0, 0, 0}, {2, 0, 1}, {1, 2, 0}},
        {{1, 1, 1}, {0, 1, 2}, {2, 0, 1}},
        {{2, 2, 2}, {1, 2, 0}, {0, 1, 2}},
    };
    MTH_Vector3D *r = m_aoRows;
    if (!normalizeRow(r[steps[k][0][0]]))
        return false;
    for (int s = 1; s < 3; s++) {
        const int *step = steps[k][s];
        r[step[0]] = r[step[1]].cross(r[step[2]]);
        if (!normalizeRow(r[step[0]]))
            return false;
    }
    return true;
}

bool MTH_Matrix3x3::integrateAngularVelocity(const MTH_Vector3D &w, int k)
{
    MTH_Vector3D step = w; // w may be one of the rows
    for (MTH_Vector3D &r : m_aoRows)
        r += step.cross(r);
    return orthonormalize(k);
}
