#include "foundation/MTH_Frame.h"

#include "foundation/MTH_Matrix4x4.h"

MTH_Frame::MTH_Frame() : m_bInverseDirty(true)
{
    m_oBasis.setIdentity();
}

MTH_Frame::MTH_Frame(const MTH_Frame &other)
    : m_oPosition(other.m_oPosition), m_oBasis(other.m_oBasis), m_bInverseDirty(true)
{
}

void MTH_Frame::setIdentity()
{
    m_oPosition = MTH_Vector3D();
    m_oBasis.setIdentity();
    m_bInverseDirty = true;
}

const MTH_Matrix3x3 &MTH_Frame::refreshInverseBasis() const
{
    m_oInverseBasis.setInverseOf(m_oBasis);
    m_bInverseDirty = false;
    return m_oInverseBasis;
}

void MTH_Frame::toGlobalFrame(MTH_Frame &f) const
{
    // Copies first: f may be this frame.
    MTH_Matrix3x3 basis = m_oBasis;
    MTH_Vector3D position = m_oPosition;
    f.m_oBasis.multiply(basis);
    basis.transform(f.m_oPosition);
    f.m_oPosition += position;
    f.m_bInverseDirty = true;
}

void MTH_Frame::toLocalFrame(MTH_Frame &f) const
{
    MTH_Matrix3x3 inverse = getInverseBasis();
    MTH_Vector3D position = m_oPosition;
    f.m_oPosition -= position;
    inverse.transform(f.m_oPosition);
    f.m_oBasis.multiply(inverse);
    f.m_bInverseDirty = true;
}

void MTH_Frame::rotateAroundAxis(int i, double angle)
{
    m_oBasis.rotateAroundRow(i, angle);
    m_bInverseDirty = true;
}

void MTH_Frame::rotate(const MTH_Vector3D &axis, double angle)
{
    m_oBasis.rotate(axis, angle);
    m_bInverseDirty = true;
}

void MTH_Frame::rotateCosSin(const MTH_Vector3D &axis, double cosine, double sine)
{
    MTH_Vector3D k = axis; // the axis may be one of the rows
    for (int i = 0; i < 3; i++)
        MTH_Vector3D::rotate(m_oBasis.row(i), k, cosine, sine);
    m_bInverseDirty = true;
}

void MTH_Frame::setMatrix4x4(const MTH_Matrix4x4 &m)
{
    m_oBasis.setFromMatrix4x4(m);
    m_oPosition = MTH_Vector3D(m.m_af[12], m.m_af[13], m.m_af[14]);
    m_bInverseDirty = true;
}

void MTH_Frame::getMatrix4x4(MTH_Matrix4x4 &out) const
{
    for (int i = 0; i < 3; i++) {
        const MTH_Vector3D &r = m_oBasis.getRow(i);
        out.m_af[i * 4 + 0] = r.m_fX;
        out.m_af[i * 4 + 1] = r.m_fY;
        out.m_af[i * 4 + 2] = r.m_fZ;
        out.m_af[i * 4 + 3] = 0;
    }
    out.m_af[12] = m_oPosition.m_fX;
    out.m_af[13] = m_oPosition.m_fY;
    out.m_af[14] = m_oPosition.m_fZ;
    out.m_af[15] = 1;
}
