#pragma once

#include "foundation/MTH_Vector.h"

class MTH_Matrix4x4;

// A row-major 3x3 matrix whose rows are the axes of a basis, expressed in the
// parent's coordinates. Vectors are rows multiplying from the left:
// v x M = x * row0 + y * row1 + z * row2, so "this, then A" is this x A.
class MTH_Matrix3x3 {
public:
    // All nine elements 0 (not the identity).
    MTH_Matrix3x3() = default;

    // Element at (row, column); a row or column outside 0..2 gives 0.
    double get(int row, int column) const;
    // A row or column outside 0..2 is ignored.
    void set(int row, int column, double value);

    // Row i (0..2; other values are clamped into that range).
    MTH_Vector3D &row(int i) { return m_aoRows[clampRow(i)]; }
    const MTH_Vector3D &getRow(int i) const { return m_aoRows[clampRow(i)]; }

    void setIdentity();
    // this = M^-1 by cofactors; a determinant of exactly 0 gives the identity.
    void setInverseOf(const MTH_Matrix3x3 &m);
    void invert();
    double determinant() const;

    // v = v x this, in place.
    void transform(MTH_Vector3D &v) const
    {
        const MTH_Vector3D &r0 = m_aoRows[0], &r1 = m_aoRows[1], &r2 = m_aoRows[2];
        const double x = v.m_fX, y = v.m_fY, z = v.m_fZ;
        v.m_fX = x * r0.m_fX + y * r1.m_fX + z * r2.m_fX;
        v.m_fY = x * r0.m_fY + y * r1.m_fY + z * r2.m_fY;
        v.m_fZ = x * r0.m_fZ + y * r1.m_fZ + z * r2.m_fZ;
    }
    // out = b x a: each row of b transformed by a ("b, then a"). out may be a or b.
    static void setProduct(MTH_Matrix3x3 &out, const MTH_Matrix3x3 &a, const MTH_Matrix3x3 &b);
    // this = this x a: each row of this transformed by a ("this, then a").
    void multiply(const MTH_Matrix3x3 &a);

    // Turns a vector first about x by a, then about y by b, then about z by c
    // (fixed axes).
    void setEulerAngles(double a, double b, double c);
    // The upper-left 3x3 of a 4x4 matrix.
    void setFromMatrix4x4(const MTH_Matrix4x4 &m);
    // Row i of out = MTH_Vector3D::slerp of row i of a and b. out may be a or b.
    static void slerp(MTH_Matrix3x3 &out, const MTH_Matrix3x3 &a, const MTH_Matrix3x3 &b, double t);

    void scale(double s);
    // Row 0 times v.x, row 1 times v.y, row 2 times v.z.
    void scaleRows(const MTH_Vector3D &v);
    // Each row longer than 0 gets the length of the matching component of v;
    // a zero row is left unchanged.
    void setRowLengths(const MTH_Vector3D &v);
    void getRowLengths(MTH_Vector3D &out) const;

    // Each row turned about the axis (any non-zero length) by the angle.
    void rotate(const MTH_Vector3D &axis, double angle);
    // The two rows other than row i turned about row i; i outside 0..2 does nothing.
    void rotateAroundRow(int i, double angle);
    void add(const MTH_Matrix3x3 &m);

    // Gram-Schmidt keeping the direction of row k. Stops with false at the
    // first row that cannot be normalised (length not greater than 0),
    // leaving the rows written so far; k outside 0..2 gives false and
    // changes nothing.
    bool orthonormalize(int k);
    // Each row r = r + w x r, then orthonormalize(k): turns the basis by the
    // small angular step w.
    bool integrateAngularVelocity(const MTH_Vector3D &w, int k);

private:
    static int clampRow(int i) { return i < 0 ? 0 : (i > 2 ? 2 : i); }

    MTH_Vector3D m_aoRows[3];
};

static_assert(sizeof(MTH_Matrix3x3) == 9 * sizeof(double), "MTH_Matrix3x3 holds exactly nine doubles");
