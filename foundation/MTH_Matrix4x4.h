#pragma once

#include "foundation/MTH_Vector.h"

// A 4x4 double matrix, row-major, with the translation in row 3 (elements
// 12, 13, 14) and the homogeneous part in column 3 (elements 3, 7, 11, 15):
// the layout that OpenGL's matrix calls take as it stands. Points are rows
// (x, y, z, 1) multiplying from the left. Not initialised on construction:
// callers set it with setIdentity or setZero.
class MTH_Matrix4x4 {
public:
    void setIdentity();
    void setZero();

    // Element at (row, column); indices outside 0..3 give 0 (get) or are ignored (set).
    double get(int row, int column) const { return inRange(row, column) ? m_af[row * 4 + column] : 0; }
    void set(int row, int column, double value)
    {
        if (inRange(row, column))
            m_af[row * 4 + column] = value;
    }
    const double *data() const { return m_af; }

    // out = b x this: each row of b transformed by this ("b, then this").
    // Everything is read before out is written, so out may be this or b.
    void multiply(const MTH_Matrix4x4 &b, MTH_Matrix4x4 &out) const;
    // p in place: (x, y, z, 1) x this = (x', y', z', w); divided by w when w
    // is not 0, left undivided when it is.
    void transformPoint(MTH_Vector3D &p) const;
    // Full inverse by cofactors; out may be this. A singular matrix (a
    // determinant of exactly 0) gives the identity.
    void getInverse(MTH_Matrix4x4 &out) const;

    double m_af[16];

private:
    static bool inRange(int row, int column) { return row >= 0 && row < 4 && column >= 0 && column < 4; }
};
