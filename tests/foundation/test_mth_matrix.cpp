#include <cmath>

#include <gtest/gtest.h>

#include "foundation/MTH_Matrix3x3.h"
#include "foundation/MTH_Matrix4x4.h"
#include "tests/support/TEST_Support.h"

namespace {

const double PI = 3.14159265358979323846;

MTH_Matrix3x3 make3(double a, double b, double c, double d, double e, double f, double g, double h, double i)
{
    MTH_Matrix3x3 m;
    m.row(0) = MTH_Vector3D(a, b, c);
    m.row(1) = MTH_Vector3D(d, e, f);
    m.row(2) = MTH_Vector3D(g, h, i);
    return m;
}

void expectExact(const MTH_Matrix3x3 &expected, const MTH_Matrix3x3 &actual)
{
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            EXPECT_EQ(expected.get(r, c), actual.get(r, c)) << "element " << r << "," << c;
}

MTH_Matrix3x3 identity3()
{
    MTH_Matrix3x3 m;
    m.setIdentity();
    return m;
}

MTH_Matrix3x3 rotation(const MTH_Vector3D &axis, double angle)
{
    MTH_Matrix3x3 m = identity3();
    m.rotate(axis, angle);
    return m;
}

// --- 3x3 ---

TEST(MthMatrix3x3, StartsAtZeroAndGuardsIndices)
{
    MTH_Matrix3x3 m;
    expectExact(make3(0, 0, 0, 0, 0, 0, 0, 0, 0), m);
    m.set(1, 2, 5);
    EXPECT_EQ(5, m.get(1, 2));
    EXPECT_EQ(5, m.getRow(1).m_fZ);
    m.set(1, 3, 9);  // column out of range: ignored
    m.set(1, -1, 9); // likewise
    m.set(3, 0, 9);  // row out of range: ignored too
    expectExact(make3(0, 0, 0, 0, 0, 5, 0, 0, 0), m);
    EXPECT_EQ(0, m.get(1, 3));
    EXPECT_EQ(0, m.get(1, -1));
    EXPECT_EQ(0, m.get(-1, 0));
}

TEST(MthMatrix3x3, RowsAreAxesAndVectorsMultiplyFromTheLeft)
{
    MTH_Matrix3x3 m = make3(1, 2, 3, 4, 5, 6, 7, 8, 10);
    MTH_Vector3D v(1, 10, 100);
    m.transform(v);
    // x * row0 + y * row1 + z * row2
    EXPECT_EQ(MTH_Vector3D(741, 852, 1063), v);
}

TEST(MthMatrix3x3, SingularInverseIsIdentity)
{
    const MTH_Matrix3x3 singular[] = {
        make3(0, 0, 0, 0, 0, 0, 0, 0, 0), make3(1, 2, 3, 2, 4, 6, 7, 8, 9), // rows 0 and 1 parallel
        make3(1, 2, 3, 4, 5, 6, 7, 8, 9),                                   // rows dependent
    };
    for (const MTH_Matrix3x3 &m : singular) {
        MTH_Matrix3x3 inverse = make3(5, 5, 5, 5, 5, 5, 5, 5, 5);
        inverse.setInverseOf(m);
        expectExact(identity3(), inverse);
        MTH_Matrix3x3 copy = m;
        copy.invert();
        expectExact(identity3(), copy);
    }
}

TEST(MthMatrix3x3, InverseUndoesTheMatrix)
{
    MTH_Matrix3x3 m = make3(2, 0, 1, 1, 3, 0, 0, 1, 4);
    EXPECT_DOUBLE_EQ(25, m.determinant());
    MTH_Matrix3x3 inverse;
    inverse.setInverseOf(m);
    MTH_Matrix3x3 product = m;
    product.multiply(inverse);
    expectNear(identity3(), product);
    // Cofactor values, exactly.
    expectNear(make3(12.0 / 25, 1.0 / 25, -3.0 / 25, -4.0 / 25, 8.0 / 25, 1.0 / 25, 1.0 / 25, -2.0 / 25, 6.0 / 25),
               inverse, 1e-15);
    MTH_Matrix3x3 inPlace = m;
    inPlace.setInverseOf(inPlace);
    expectNear(inverse, inPlace, 0);
}

TEST(MthMatrix3x3, ProductAppliesInTheDocumentedOrder)
{
    MTH_Matrix3x3 rz = rotation(MTH_Vector3D(0, 0, 1), PI / 2); // x -> y
    MTH_Matrix3x3 rx = rotation(MTH_Vector3D(1, 0, 0), PI / 2); // y -> z
    // multiply: this first, then the argument.
    MTH_Matrix3x3 m = rz;
    m.multiply(rx);
    MTH_Vector3D v(1, 0, 0);
    m.transform(v);
    expectNear(MTH_Vector3D(0, 0, 1), v);
    // setProduct(out, A, B) = B x A: B first, then A.
    MTH_Matrix3x3 out;
    MTH_Matrix3x3::setProduct(out, rx, rz);
    expectNear(m, out);
    // out may alias either input.
    MTH_Matrix3x3 alias = rz;
    MTH_Matrix3x3::setProduct(alias, rx, alias);
    expectNear(m, alias);
}

TEST(MthMatrix3x3, EulerAnglesTurnAboutXThenYThenZ)
{
    const double a = 0.3, b = -0.7, c = 1.1;
    MTH_Matrix3x3 euler;
    euler.setEulerAngles(a, b, c);
    MTH_Matrix3x3 expected = rotation(MTH_Vector3D(1, 0, 0), a);
    expected.multiply(rotation(MTH_Vector3D(0, 1, 0), b));
    expected.multiply(rotation(MTH_Vector3D(0, 0, 1), c));
    expectNear(expected, euler);

    euler.setEulerAngles(PI / 2, 0, 0);
    MTH_Vector3D y(0, 1, 0);
    euler.transform(y);
    expectNear(MTH_Vector3D(0, 0, 1), y);
}

TEST(MthMatrix3x3, OrthonormalizeKeepsRowK)
{
    for (int k = 0; k < 3; k++) {
        MTH_Matrix3x3 m = make3(2, 0.1, 0.3, 0.2, 3, -0.1, 0.1, 0.4, 0.5);
        MTH_Vector3D kept = m.getRow(k);
        kept.normalize();
        ASSERT_TRUE(m.orthonormalize(k)) << k;
        expectNear(kept, m.getRow(k));
        for (int i = 0; i < 3; i++) {
            EXPECT_NEAR(1, m.getRow(i).length(), 1e-12);
            EXPECT_NEAR(0, m.getRow(i).dot(m.getRow((i + 1) % 3)), 1e-12);
        }
        EXPECT_NEAR(1, m.determinant(), 1e-12) << "right-handed for k " << k;
    }
}

TEST(MthMatrix3x3, OrthonormalizeStopsAtADegenerateRow)
{
    // Rows 0 and 1 parallel: row 0 normalised, the zero cross product
    // written into row 2, row 1 untouched, false.
    MTH_Matrix3x3 m = make3(0, 0, 2, 0, 0, -3, 1, 2, 3);
    EXPECT_FALSE(m.orthonormalize(0));
    expectExact(make3(0, 0, 1, 0, 0, -3, 0, 0, 0), m);

    // A zero row k fails at once and changes nothing.
    MTH_Matrix3x3 zeroRow = make3(1, 0, 0, 0, 0, 0, 0, 0, 1);
    EXPECT_FALSE(zeroRow.orthonormalize(1));
    expectExact(make3(1, 0, 0, 0, 0, 0, 0, 0, 1), zeroRow);

    MTH_Matrix3x3 untouched = make3(1, 2, 3, 4, 5, 6, 7, 8, 9);
    EXPECT_FALSE(untouched.orthonormalize(3));
    EXPECT_FALSE(untouched.orthonormalize(-1));
    expectExact(make3(1, 2, 3, 4, 5, 6, 7, 8, 9), untouched);
}

TEST(MthMatrix3x3, RowLengthsAndScaling)
{
    MTH_Matrix3x3 m = make3(3, 0, 4, 0, 0, 0, 0, 2, 0);
    MTH_Vector3D lengths;
    m.getRowLengths(lengths);
    EXPECT_EQ(MTH_Vector3D(5, 0, 2), lengths);
    m.setRowLengths(MTH_Vector3D(10, 7, 1)); // the zero row stays zero
    expectNear(make3(6, 0, 8, 0, 0, 0, 0, 1, 0), m);
    m.scaleRows(MTH_Vector3D(0.5, 3, -1));
    expectNear(make3(3, 0, 4, 0, 0, 0, 0, -1, 0), m);
    m.scale(2);
    expectNear(make3(6, 0, 8, 0, 0, 0, 0, -2, 0), m);
    m.add(identity3());
    expectNear(make3(7, 0, 8, 0, 1, 0, 0, -2, 1), m);
}

TEST(MthMatrix3x3, RotateAroundRowTurnsTheOtherTwo)
{
    MTH_Matrix3x3 m = identity3();
    m.scaleRows(MTH_Vector3D(1, 1, 3)); // row 2 of length 3 is still just an axis
    m.rotateAroundRow(2, PI / 2);
    expectNear(make3(0, 1, 0, -1, 0, 0, 0, 0, 3), m);
    MTH_Matrix3x3 same = m;
    same.rotateAroundRow(5, 1.0); // out of range: nothing
    expectExact(m, same);
}

TEST(MthMatrix3x3, IntegrateAngularVelocityTurnsAndRenormalises)
{
    MTH_Matrix3x3 m = identity3();
    const double step = 1e-3;
    for (int i = 0; i < 1000; i++)
        ASSERT_TRUE(m.integrateAngularVelocity(MTH_Vector3D(0, 0, step * PI / 2), 2));
    // A quarter turn about z, to first order per step.
    expectNear(make3(0, 1, 0, -1, 0, 0, 0, 0, 1), m, 2e-3);
    EXPECT_NEAR(1, m.determinant(), 1e-12);
}

TEST(MthMatrix3x3, SlerpRowByRowAndFromMatrix4x4)
{
    MTH_Matrix3x3 a = identity3(), b = rotation(MTH_Vector3D(0, 0, 1), PI / 2), out;
    MTH_Matrix3x3::slerp(out, a, b, 0.5);
    expectNear(rotation(MTH_Vector3D(0, 0, 1), PI / 4), out);

    MTH_Matrix4x4 m4;
    for (int i = 0; i < 16; i++)
        m4.m_af[i] = i;
    MTH_Matrix3x3 m3;
    m3.setFromMatrix4x4(m4);
    expectExact(make3(0, 1, 2, 4, 5, 6, 8, 9, 10), m3);
}

// --- 4x4 ---

MTH_Matrix4x4 make4(const double (&e)[16])
{
    MTH_Matrix4x4 m;
    for (int i = 0; i < 16; i++)
        m.m_af[i] = e[i];
    return m;
}

TEST(MthMatrix4x4, IdentityZeroAndGuardedElements)
{
    MTH_Matrix4x4 m;
    m.setZero();
    for (double e : m.m_af)
        EXPECT_EQ(0, e);
    m.setIdentity();
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            EXPECT_EQ(r == c ? 1 : 0, m.get(r, c));
    EXPECT_EQ(0, m.get(4, 0));
    m.set(0, 4, 9);
    EXPECT_EQ(0, m.get(1, 0));
}

TEST(MthMatrix4x4, MultiplyIsBThenThisAndMayAlias)
{
    MTH_Matrix4x4 scale = make4({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
    MTH_Matrix4x4 move = make4({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1});
    MTH_Matrix4x4 out;
    scale.multiply(move, out); // move first, then scale
    MTH_Vector3D p(1, 1, 1);
    out.transformPoint(p);
    EXPECT_EQ(MTH_Vector3D(22, 42, 62), p);

    MTH_Matrix4x4 a = scale;
    a.multiply(move, a); // out is this
    MTH_Matrix4x4 b = move;
    scale.multiply(b, b); // out is b
    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(out.m_af[i], a.m_af[i]);
        EXPECT_EQ(out.m_af[i], b.m_af[i]);
    }
}

TEST(MthMatrix4x4, TransformPointDividesOnlyByNonZeroW)
{
    // Column 3 gives w = x.
    MTH_Matrix4x4 m = make4({1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 4, 6, 8, 0});
    MTH_Vector3D p(2, 0, 0);
    m.transformPoint(p);
    EXPECT_EQ(MTH_Vector3D(3, 3, 4), p); // (6, 6, 8) / 2
    MTH_Vector3D q(0, 1, 1);
    m.transformPoint(q);
    EXPECT_EQ(MTH_Vector3D(4, 7, 9), q); // w = 0: undivided
}

TEST(MthMatrix4x4, InverseInPlaceAndSingular)
{
    MTH_Matrix4x4 m = make4({0, 2, 0, 0, -1, 0, 0, 0, 0, 0, 3, 0, 5, -2, 7, 1});
    MTH_Matrix4x4 inverse = m;
    inverse.getInverse(inverse);
    MTH_Matrix4x4 product;
    m.multiply(inverse, product);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            EXPECT_NEAR(r == c ? 1 : 0, product.get(r, c), 1e-12);
    MTH_Vector3D p(1, 2, 3);
    m.transformPoint(p);
    inverse.transformPoint(p);
    EXPECT_NEAR(1, p.m_fX, 1e-12);
    EXPECT_NEAR(2, p.m_fY, 1e-12);
    EXPECT_NEAR(3, p.m_fZ, 1e-12);

    MTH_Matrix4x4 singular;
    singular.setZero();
    singular.m_af[15] = 1;
    MTH_Matrix4x4 out;
    singular.getInverse(out);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            EXPECT_EQ(r == c ? 1 : 0, out.get(r, c));
}

} // namespace
