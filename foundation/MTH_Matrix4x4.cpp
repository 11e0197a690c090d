#include "foundation/MTH_Matrix4x4.h"

void MTH_Matrix4x4::setIdentity()
{
    for (int i = 0; i < 16; i++)
        m_af[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

void MTH_Matrix4x4::setZero()
{
    for (double &e : m_af)
        e = 0;
}

void MTH_Matrix4x4::multiply(const MTH_Matrix4x4 &b, MTH_Matrix4x4 &out) const
{
    double r[16];
    for (int row = 0; row < 4; row++)
        for (int column = 0; column < 4; column++) {
            double sum = 0;
            for (int k = 0; k < 4; k++)
                sum += b.m_af[row * 4 + k] * m_af[k * 4 + column];
            r[row * 4 + column] = sum;
        }
    for (int i = 0; i < 16; i++)
        out.m_af[i] = r[i];
}

void MTH_Matrix4x4::transformPoint(MTH_Vector3D &p) const
{
    const double *m = m_af;
    double x = p.m_fX, y = p.m_fY, z = p.m_fZ;
    double tx = x * m[0] + y * m[4] + z * m[8] + m[12];
    double ty = x * m[1] + y * m[5] + z * m[9] + m[13];
    double tz = x * m[2] + y * m[6] + z * m[10] + m[14];
    double w = x * m[3] + y * m[7] + z * m[11] + m[15];
    if (w != 0) {
        tx /= w;
        ty /= w;
        tz /= w;
    }
    p = MTH_Vector3D(tx, ty, tz);
}

void MTH_Matrix4x4::getInverse(MTH_Matrix4x4 &out) const
{
    const double *m = m_af;
    double inv[16];
    // Cofactors (already transposed into the adjugate).
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] + m[8] * m[1] * m[6] -
              m[8] * m[2] * m[5];

    double det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (det == 0) {
        out.setIdentity();
        return;
    }
    double f = 1.0 / det;
    for (int i = 0; i < 16; i++)
        out.m_af[i] = inv[i] * f;
}
