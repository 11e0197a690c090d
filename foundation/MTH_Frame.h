#pragma once

#include "foundation/MTH_Matrix3x3.h"
#include "foundation/MTH_Vector.h"

class MTH_Matrix4x4;

// A coordinate frame: an origin and a basis whose rows are the frame's axes,
// both in the parent's coordinates, with a cached inverse basis that is
// recomputed on the first local-coordinate operation after the basis
// changed. "Global" below means the parent's coordinates, "local" this
// frame's own.
class MTH_Frame {
public:
    // Position 0, basis identity, inverse stale.
    MTH_Frame();
    // Position and basis copied; the inverse is recomputed on first use.
    MTH_Frame(const MTH_Frame &other);
    // Copies all four fields, the cached inverse and its flag included.
    MTH_Frame &operator=(const MTH_Frame &other) = default;

    // Position 0, basis identity.
    void setIdentity();
    // Marks the cached inverse stale; whoever writes m_oBasis directly calls it.
    void invalidateInverse() { m_bInverseDirty = true; }
    // The inverse of the basis, recomputed when stale (a singular basis
    // gives the identity).
    const MTH_Matrix3x3 &getInverseBasis() const { return m_bInverseDirty ? refreshInverseBasis() : m_oInverseBasis; }

    // p x basis + position.
    void toGlobalPoint(MTH_Vector3D &p) const
    {
        m_oBasis.transform(p);
        p += m_oPosition;
    }
    void globalPoint(const MTH_Vector3D &in, MTH_Vector3D &out) const
    {
        out = in;
        toGlobalPoint(out);
    }
    // d x basis.
    void toGlobalDirection(MTH_Vector3D &d) const { m_oBasis.transform(d); }
    void globalDirection(const MTH_Vector3D &in, MTH_Vector3D &out) const
    {
        out = in;
        toGlobalDirection(out);
    }
    // (p - position) x inverse basis.
    void toLocalPoint(MTH_Vector3D &p) const
    {
        const MTH_Matrix3x3 &inverse = getInverseBasis();
        p -= m_oPosition;
        inverse.transform(p);
    }
    void localPoint(const MTH_Vector3D &in, MTH_Vector3D &out) const
    {
        out = in;
        toLocalPoint(out);
    }
    // d x inverse basis.
    void toLocalDirection(MTH_Vector3D &d) const { getInverseBasis().transform(d); }
    void localDirection(const MTH_Vector3D &in, MTH_Vector3D &out) const
    {
        out = in;
        toLocalDirection(out);
    }

    // f, given in this frame's coordinates, re-expressed in the parent's.
    void toGlobalFrame(MTH_Frame &f) const;
    // f, given in the parent's coordinates, re-expressed in this frame's.
    void toLocalFrame(MTH_Frame &f) const;

    // Turns the frame about its own axis i (0..2).
    void rotateAroundAxis(int i, double angle);
    // Turns the basis about an axis given in the parent's coordinates.
    void rotate(const MTH_Vector3D &axis, double angle);
    void rotateCosSin(const MTH_Vector3D &axis, double cosine, double sine);

    // Basis from the upper-left 3x3, position from elements 12, 13, 14.
    void setMatrix4x4(const MTH_Matrix4x4 &m);
    // Basis rows with 0 in column 3, then the position with 1.
    void getMatrix4x4(MTH_Matrix4x4 &out) const;

    MTH_Vector3D m_oPosition;
    MTH_Matrix3x3 m_oBasis;
    // The cache is refreshed from const operations.
    mutable MTH_Matrix3x3 m_oInverseBasis;
    mutable bool m_bInverseDirty;

private:
    const MTH_Matrix3x3 &refreshInverseBasis() const;
};
