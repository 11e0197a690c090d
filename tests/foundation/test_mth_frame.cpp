#include <cmath>

#include <gtest/gtest.h>

#include "foundation/MTH_Frame.h"
#include "foundation/MTH_Matrix4x4.h"
#include "tests/support/TEST_Support.h"

namespace {

const double PI = 3.14159265358979323846;

// Position (1, 2, 3), turned a quarter about z and scaled by 2.
MTH_Frame sampleFrame()
{
    MTH_Frame f;
    f.m_oPosition = MTH_Vector3D(1, 2, 3);
    f.rotate(MTH_Vector3D(0, 0, 1), PI / 2);
    f.m_oBasis.scale(2);
    f.invalidateInverse();
    return f;
}

TEST(MthFrame, ConstructionAndCopies)
{
    MTH_Frame f;
    EXPECT_EQ(MTH_Vector3D(), f.m_oPosition);
    EXPECT_EQ(MTH_Vector3D(1, 0, 0), f.m_oBasis.getRow(0));
    EXPECT_EQ(MTH_Vector3D(0, 0, 1), f.m_oBasis.getRow(2));
    EXPECT_EQ(MTH_Vector3D(), f.m_oInverseBasis.getRow(0));
    EXPECT_TRUE(f.m_bInverseDirty);

    MTH_Frame source = sampleFrame();
    MTH_Vector3D p(5, 5, 5);
    source.toLocalPoint(p); // fills the source's cache
    ASSERT_FALSE(source.m_bInverseDirty);

    // The copy constructor drops the cache and recomputes it on the first
    // to-local operation.
    MTH_Frame copy(source);
    EXPECT_TRUE(copy.m_bInverseDirty);
    EXPECT_EQ(MTH_Vector3D(), copy.m_oInverseBasis.getRow(1));
    MTH_Vector3D q(5, 5, 5);
    copy.toLocalPoint(q);
    EXPECT_FALSE(copy.m_bInverseDirty);
    expectNear(p, q, 0);

    // Assignment copies the frame whole, cache included, and stays consistent.
    MTH_Frame whole;
    whole = source;
    EXPECT_FALSE(whole.m_bInverseDirty);
    expectNear(source.m_oInverseBasis, whole.m_oInverseBasis, 0);
}

TEST(MthFrame, PointsAndDirectionsBetweenCoordinates)
{
    MTH_Frame f = sampleFrame();
    MTH_Vector3D p(1, 0, 0);
    f.toGlobalPoint(p);
    expectNear(MTH_Vector3D(1, 4, 3), p); // x axis is 2 * y of the parent
    f.toLocalPoint(p);
    expectNear(MTH_Vector3D(1, 0, 0), p);

    MTH_Vector3D d(0, 1, 0), out;
    f.globalDirection(d, out);
    expectNear(MTH_Vector3D(-2, 0, 0), out);
    f.localDirection(out, out); // output may be the input
    expectNear(d, out);
    f.globalPoint(MTH_Vector3D(0, 0, 1), out);
    expectNear(MTH_Vector3D(1, 2, 5), out);
    f.localPoint(MTH_Vector3D(1, 2, 5), out);
    expectNear(MTH_Vector3D(0, 0, 1), out);
    MTH_Vector3D g(3, 0, 0);
    f.toGlobalDirection(g);
    f.toLocalDirection(g);
    expectNear(MTH_Vector3D(3, 0, 0), g);
}

TEST(MthFrame, FramesChangeCoordinatesBothWays)
{
    MTH_Frame parent = sampleFrame();
    MTH_Frame child;
    child.m_oPosition = MTH_Vector3D(0, 1, 0);
    child.rotate(MTH_Vector3D(1, 0, 0), 0.4);

    MTH_Frame global = child;
    parent.toGlobalFrame(global);
    EXPECT_TRUE(global.m_bInverseDirty);
    // A point of the child placed through both frames lands the same way.
    MTH_Vector3D a(0.5, -1, 2), b = a;
    child.toGlobalPoint(a);
    parent.toGlobalPoint(a);
    global.toGlobalPoint(b);
    expectNear(a, b);

    parent.toLocalFrame(global);
    EXPECT_TRUE(global.m_bInverseDirty);
    expectNear(child.m_oPosition, global.m_oPosition);
    expectNear(child.m_oBasis, global.m_oBasis);
}

TEST(MthFrame, RotationsMarkTheInverseStale)
{
    MTH_Frame f;
    MTH_Vector3D probe(1, 0, 0);
    f.toLocalDirection(probe);
    ASSERT_FALSE(f.m_bInverseDirty);

    f.rotateAroundAxis(2, PI / 2);
    EXPECT_TRUE(f.m_bInverseDirty);
    MTH_Vector3D y(0, 1, 0);
    f.toLocalDirection(y);
    expectNear(MTH_Vector3D(1, 0, 0), y); // the parent's y is the turned frame's x

    f.rotate(MTH_Vector3D(0, 0, -3), PI / 2); // back again, about a long axis
    EXPECT_TRUE(f.m_bInverseDirty);
    expectNear(MTH_Vector3D(1, 0, 0), f.m_oBasis.getRow(0));

    f.rotateCosSin(MTH_Vector3D(1, 0, 0), 0, 1);
    EXPECT_TRUE(f.m_bInverseDirty);
    expectNear(MTH_Vector3D(0, 0, 1), f.m_oBasis.getRow(1));
}

TEST(MthFrame, Matrix4x4RoundTrip)
{
    MTH_Frame f = sampleFrame();
    MTH_Matrix4x4 m;
    f.getMatrix4x4(m);
    EXPECT_EQ(0, m.m_af[3]);
    EXPECT_EQ(0, m.m_af[7]);
    EXPECT_EQ(0, m.m_af[11]);
    EXPECT_EQ(1, m.m_af[15]);
    EXPECT_EQ(1, m.m_af[12]);
    EXPECT_EQ(2, m.m_af[13]);
    EXPECT_EQ(3, m.m_af[14]);

    MTH_Frame g;
    MTH_Vector3D probe;
    g.toLocalPoint(probe);
    g.setMatrix4x4(m);
    EXPECT_TRUE(g.m_bInverseDirty);
    EXPECT_EQ(f.m_oPosition, g.m_oPosition);
    expectNear(f.m_oBasis, g.m_oBasis, 0);
    // The 4x4 form places points as the frame does.
    MTH_Vector3D p(0.25, -4, 9), q = p;
    f.toGlobalPoint(p);
    m.transformPoint(q);
    expectNear(p, q);
}

TEST(MthFrame, DegenerateBasisNeverDividesByZero)
{
    MTH_Frame f;
    f.m_oPosition = MTH_Vector3D(1, 1, 1);
    f.m_oBasis.row(2) = MTH_Vector3D(); // a flat frame
    f.invalidateInverse();
    MTH_Vector3D p(2, 3, 4);
    f.toLocalPoint(p); // the inverse falls back to the identity
    EXPECT_EQ(MTH_Vector3D(1, 2, 3), p);
    MTH_Frame other;
    f.toLocalFrame(other);
    EXPECT_FALSE(std::isnan(other.m_oBasis.get(0, 0)));
}

} // namespace
