#include <cmath>

#include <gtest/gtest.h>

#include "foundation/MTH_Vector.h"
#include "tests/support/TEST_Support.h"

namespace {

const double PI = 3.14159265358979323846;

TEST(MthVector3D, ArithmeticHelpers)
{
    MTH_Vector3D a(1, 2, 3), b(-4, 5, 0.5);
    EXPECT_EQ(MTH_Vector3D(-3, 7, 3.5), a + b);
    EXPECT_EQ(MTH_Vector3D(5, -3, 2.5), a - b);
    EXPECT_EQ(MTH_Vector3D(2, 4, 6), a * 2);
    EXPECT_EQ(MTH_Vector3D(2, 4, 6), 2 * a);
    EXPECT_DOUBLE_EQ(7.5, a.dot(b));
    EXPECT_EQ(MTH_Vector3D(0, 0, 1), MTH_Vector3D(1, 0, 0).cross(MTH_Vector3D(0, 1, 0)));
    MTH_Vector3D n(3, 0, 4);
    EXPECT_DOUBLE_EQ(5, n.normalize());
    EXPECT_EQ(MTH_Vector3D(0.6, 0, 0.8), n);
    MTH_Vector3D zero;
    EXPECT_EQ(0, zero.normalize());
    EXPECT_EQ(MTH_Vector3D(), zero);
}

struct RotateCase {
    MTH_Vector3D v, axis;
    double angle;
    MTH_Vector3D expected;
};

TEST(MthVector3D, RotateTurnsRightHandedForAnyAxisLength)
{
    const RotateCase cases[] = {
        {{1, 0, 0}, {0, 0, 1}, PI / 2, {0, 1, 0}},
        {{1, 0, 0}, {0, 0, 2}, PI / 2, {0, 1, 0}}, // axis of length 2 as the unit axis
        {{0, 1, 0}, {1, 0, 0}, PI / 2, {0, 0, 1}},
        {{0, 0, 1}, {0, 5, 0}, PI / 2, {1, 0, 0}},
        {{1, 2, 3}, {0, 0, 1}, PI, {-1, -2, 3}},
        {{1, 0, 0}, {1, 1, 1}, 2 * PI / 3, {0, 1, 0}}, // a third turn about the diagonal cycles the axes
        {{2, -1, 0.5}, {3, 3, 3}, 2 * PI / 3, {0.5, 2, -1}},
        {{1, 0, 0}, {1, 0, 0}, 1.0, {1, 0, 0}}, // a vector along the axis stays
    };
    for (const RotateCase &c : cases) {
        MTH_Vector3D v = c.v;
        MTH_Vector3D::rotate(v, c.axis, std::cos(c.angle), std::sin(c.angle));
        expectNear(c.expected, v);
    }
}

TEST(MthVector3D, RotateAboutZeroAxisLeavesVectorUnchanged)
{
    MTH_Vector3D v(1.5, -2, 7);
    MTH_Vector3D::rotate(v, MTH_Vector3D(), 0, 1);
    EXPECT_EQ(MTH_Vector3D(1.5, -2, 7), v);
}

TEST(MthVector3D, RotateAboutLongAxisMatchesUnitAxis)
{
    MTH_Vector3D unit(1, 2, -2);
    unit *= 1.0 / 3;
    MTH_Vector3D a(0.3, -1.1, 2.4), b = a;
    MTH_Vector3D::rotate(a, unit, std::cos(0.7), std::sin(0.7));
    MTH_Vector3D::rotate(b, unit * 2, std::cos(0.7), std::sin(0.7));
    expectNear(a, b, 1e-14);
}

TEST(MthVector3D, SlerpEndsAndDegenerateDirections)
{
    MTH_Vector3D out;
    // Equal directions give b exactly, whatever t is.
    MTH_Vector3D::slerp(out, MTH_Vector3D(1, 0, 0), MTH_Vector3D(3, 0, 0), 0.25);
    EXPECT_EQ(MTH_Vector3D(3, 0, 0), out);
    // Opposite directions give -b.
    MTH_Vector3D::slerp(out, MTH_Vector3D(0, 2, 0), MTH_Vector3D(0, -1, 0), 0.5);
    EXPECT_EQ(MTH_Vector3D(0, 1, 0), out);

    MTH_Vector3D a(1, 0, 0), b(0, 2, 0);
    MTH_Vector3D::slerp(out, a, b, 0);
    expectNear(a, out);
    MTH_Vector3D::slerp(out, a, b, 1);
    expectNear(b, out);
    // The blend keeps the inputs' own lengths: half-way between a unit x and
    // a y of length 2 is sin(pi/4) * (1, 2, 0).
    MTH_Vector3D::slerp(out, a, b, 0.5);
    expectNear(MTH_Vector3D(std::sqrt(0.5), 2 * std::sqrt(0.5), 0), out);
}

TEST(MthVector3D, SlerpWithZeroLengthInputBlendsStraight)
{
    MTH_Vector3D out;
    MTH_Vector3D::slerp(out, MTH_Vector3D(), MTH_Vector3D(2, 4, 0), 0.25);
    EXPECT_EQ(MTH_Vector3D(0.5, 1, 0), out);
    MTH_Vector3D::slerp(out, MTH_Vector3D(2, 0, 0), MTH_Vector3D(), 0.5);
    EXPECT_EQ(MTH_Vector3D(1, 0, 0), out);
    EXPECT_FALSE(std::isnan(out.m_fX));
}

struct SegmentCase {
    MTH_Vector2D p, a, b;
    double expected;
};

TEST(MthDistancePointSegment2D, ClampsToTheSegment)
{
    const SegmentCase cases[] = {
        {{1, 1}, {0, 0}, {2, 0}, 1},             // above the middle
        {{-3, 4}, {0, 0}, {2, 0}, 5},            // beyond the start
        {{5, -4}, {0, 0}, {2, 0}, 5},            // beyond the end
        {{1, 0}, {0, 0}, {2, 0}, 0},             // on the segment
        {{3, 4}, {1, 1}, {1, 1}, std::sqrt(13)}, // degenerate segment: distance to a
        {{0, 0}, {-1, 1}, {1, 1}, 1},
        {{2, 2}, {0, 0}, {4, 4}, 0},
    };
    for (const SegmentCase &c : cases)
        EXPECT_NEAR(c.expected, MTH_distancePointSegment2D(c.p, c.a, c.b), 1e-12);
}

} // namespace
