#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <string>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "model/MDL_Bone.h"
#include "model/MDL_Event.h"
#include "tests/support/TEST_Support.h"

namespace {

const double DEG = 0.017453292519943295;

struct Xml {
    explicit Xml(const std::string &text) { m_oDocument.Parse(text.c_str()); }
    const TiXmlElement *root() const { return m_oDocument.RootElement(); }
    TiXmlDocument m_oDocument;
};

bool isFinite(const MTH_Matrix3x3 &m)
{
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            if (!std::isfinite(m.get(r, c)))
                return false;
    return true;
}

// A frame turned by Euler angles (degrees), as a rotation away from the rest pose.
MTH_Frame eulerFrame(double x, double y, double z)
{
    MTH_Frame f;
    f.m_oBasis.setEulerAngles(x * DEG, y * DEG, z * DEG);
    f.invalidateInverse();
    return f;
}

TEST(MdlBone, Defaults)
{
    MDL_Bone bone;
    EXPECT_EQ(OBJECT_BONE, bone.getType());
    EXPECT_EQ(STATE_MOVABLE | STATE_VISIBLE, bone.getState());
    for (int axis = 0; axis < 3; axis++) {
        EXPECT_TRUE(bone.isAxisFree(axis));
        EXPECT_FALSE(bone.isAxisLocked(axis));
    }
    MTH_Matrix3x3 identity;
    identity.setIdentity();
    expectNear(identity, bone.getRestFrame().m_oBasis, 0);
    EXPECT_EQ(MTH_Vector3D(), bone.getRestFrame().m_oPosition);
}

TEST(MdlBone, CopyTakesRestFrameAndLimits)
{
    MDL_Bone bone;
    bone.setName("arm");
    bone.setLimits(1, -0.5, 0.25);
    bone.editRestFrame().m_oPosition = MTH_Vector3D(1, 2, 3);
    MDL_Bone copy(bone);
    EXPECT_STREQ("arm", copy.getName());
    double min, max;
    copy.getLimits(1, min, max);
    EXPECT_EQ(-0.5, min);
    EXPECT_EQ(0.25, max);
    EXPECT_TRUE(copy.isAxisFree(0));
    EXPECT_EQ(MTH_Vector3D(1, 2, 3), copy.getRestFrame().m_oPosition);
}

TEST(MdlBone, LoadFromXmlLimits)
{
    const struct {
        const char *body;
        double xMin, xMax, yMin, yMax, zMin, zMax;
    } cases[] = {
        {"", -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX},
        {"<limit_zrot>-30 30</limit_zrot>", -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, -30 * DEG, 30 * DEG},
        {"<limit_xrot>-10,20</limit_xrot><limit_yrot>0 0</limit_yrot>", -10 * DEG, 20 * DEG, 0, 0, -DBL_MAX, DBL_MAX},
        // One number sets the min only: the max stays open, not 0.
        {"<limit_xrot>15</limit_xrot>", 15 * DEG, DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX},
        // An empty element frees its axis; non-finite numbers leave their side open.
        {"<limit_yrot></limit_yrot><limit_zrot>nan 45</limit_zrot>", -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX,
         45 * DEG},
        {"<limit_xrot>-inf 1e400</limit_xrot>", -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX},
        // Extra numbers are ignored.
        {"<limit_zrot>-1 2 3</limit_zrot>", -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, -1 * DEG, 2 * DEG},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.body);
        Xml xml(std::string("<object name=\"b\">") + c.body + "</object>");
        MDL_Bone bone;
        ASSERT_TRUE(bone.loadFromXML(xml.root()));
        EXPECT_STREQ("b", bone.getName());
        const double expected[3][2] = {{c.xMin, c.xMax}, {c.yMin, c.yMax}, {c.zMin, c.zMax}};
        for (int axis = 0; axis < 3; axis++) {
            EXPECT_EQ(expected[axis][0], bone.m_aafLimits[axis][0]) << "axis " << axis;
            EXPECT_EQ(expected[axis][1], bone.m_aafLimits[axis][1]) << "axis " << axis;
        }
    }
    MDL_Bone bone;
    EXPECT_FALSE(bone.loadFromXML(nullptr));
}

TEST(MdlBone, LoadFromXmlRestAndLocalMatrices)
{
    Xml xml("<object><matrix>1 0 0 0 0 1 0 0 0 0 1 0 5 6 7 1</matrix>"
            "<original_matrix>0 1 0 0 -1 0 0 0 0 0 1 0 1 2 3 1</original_matrix></object>");
    MDL_Bone bone;
    ASSERT_TRUE(bone.loadFromXML(xml.root()));
    EXPECT_EQ(MTH_Vector3D(5, 6, 7), bone.getLocalPosition());
    EXPECT_EQ(MTH_Vector3D(1, 2, 3), bone.getRestFrame().m_oPosition);
    EXPECT_EQ(MTH_Vector3D(0, 1, 0), bone.getRestFrame().m_oBasis.getRow(0));
    EXPECT_EQ(MTH_Vector3D(-1, 0, 0), bone.getRestFrame().m_oBasis.getRow(1));

    // The models set swaps the two around the skin binding; the subtree follows.
    MDL_Object child;
    bone.addChild(&child);
    child.editLocalPosition() = MTH_Vector3D(1, 0, 0);
    bone.swapRestMatrix();
    EXPECT_EQ(MTH_Vector3D(1, 2, 3), bone.getLocalPosition());
    EXPECT_EQ(MTH_Vector3D(5, 6, 7), bone.getRestFrame().m_oPosition);
    expectNear(MTH_Vector3D(1, 3, 3), child.getGlobalPosition(), 0); // (1, 0, 0) turned onto (0, 1, 0)
    bone.swapRestMatrix();
    EXPECT_EQ(MTH_Vector3D(5, 6, 7), bone.getLocalPosition());
    EXPECT_EQ(MTH_Vector3D(1, 2, 3), bone.getRestFrame().m_oPosition);
    expectNear(MTH_Vector3D(6, 6, 7), child.getGlobalPosition(), 0);

    bone.reset();
    EXPECT_EQ(MTH_Vector3D(1, 2, 3), bone.getLocalPosition());
    expectNear(bone.getRestFrame().m_oBasis, bone.getLocalBasis(), 0);
    expectNear(MTH_Vector3D(1, 3, 3), child.getGlobalPosition(), 0);
    bone.removeChild(&child);
}

// --- clampAxis ---

TEST(MdlBone, ClampAxisTwists)
{
    const double free = DBL_MAX;
    const struct {
        const char *what;
        double x, y, z; // the frame's Euler angles, degrees
        int axis;
        double min, max; // degrees, or the free bounds
        bool clamped;
        double ex, ey, ez; // Euler angles of the expected frame
    } cases[] = {
        {"z twist above the max", 0, 0, 45, 2, -30, 30, true, 0, 0, 30},
        {"z twist below the min", 0, 0, -45, 2, -30, 30, true, 0, 0, -30},
        {"z twist inside", 0, 0, 20, 2, -30, 30, false, 0, 0, 20},
        {"x twist above the max", 50, 0, 0, 0, -10, 10, true, 10, 0, 0},
        {"y twist below the min", 0, -70, 0, 1, -60, 60, true, 0, -60, 0},
        {"min only", 0, 0, -45, 2, 10, free, true, 0, 0, 10},
        {"max only", 0, 0, 45, 2, -free, 0, true, 0, 0, 0},
        {"locked axis", 0, 0, 45, 2, 5, 5, true, 0, 0, 5},
        {"free axis", 0, 0, 170, 2, -free, free, false, 0, 0, 170},
        {"a twist about another axis is no twist about z", 40, 0, 0, 2, -1, 1, false, 40, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        MTH_Frame frame = eulerFrame(c.x, c.y, c.z);
        double min = c.min == -free ? -DBL_MAX : c.min * DEG;
        double max = c.max == free ? DBL_MAX : c.max * DEG;
        EXPECT_EQ(c.clamped, MDL_Bone::clampAxis(frame, c.axis, min, max));
        expectNear(eulerFrame(c.ex, c.ey, c.ez).m_oBasis, frame.m_oBasis, 1e-12);
    }
}

TEST(MdlBone, ClampAxisToleranceAndBadAxes)
{
    // A twist past the bound by less than the tolerance of 1e-7 is left alone.
    MTH_Frame inside = eulerFrame(0, 0, 0);
    inside.rotateAroundAxis(2, 0.5 + 0.9e-7);
    EXPECT_FALSE(MDL_Bone::clampAxis(inside, 2, -0.5, 0.5));
    MTH_Frame outside = eulerFrame(0, 0, 0);
    outside.rotateAroundAxis(2, 0.5 + 1.2e-7);
    EXPECT_TRUE(MDL_Bone::clampAxis(outside, 2, -0.5, 0.5));

    MTH_Frame frame = eulerFrame(0, 0, 45);
    EXPECT_FALSE(MDL_Bone::clampAxis(frame, 3, 0, 0));
    EXPECT_FALSE(MDL_Bone::clampAxis(frame, -1, 0, 0));
    frame.m_oBasis.row(2) = MTH_Vector3D(); // a degenerate row measures no twist
    EXPECT_FALSE(MDL_Bone::clampAxis(frame, 2, 0, 0));
}

TEST(MdlBone, ClampAxisRemovesTheSwingFirst)
{
    // A twist of 45 degrees about z, then a swing of 20 degrees about x:
    // the swing does not count, and clamping keeps it.
    MTH_Frame frame = eulerFrame(0, 0, 45);
    MTH_Matrix3x3 swing;
    swing.setEulerAngles(20 * DEG, 0, 0);
    frame.m_oBasis.multiply(swing);
    frame.invalidateInverse();
    MTH_Vector3D tilted = frame.m_oBasis.getRow(2);
    ASSERT_TRUE(MDL_Bone::clampAxis(frame, 2, -30 * DEG, 30 * DEG));
    MTH_Matrix3x3 expected = eulerFrame(0, 0, 30).m_oBasis;
    expected.multiply(swing);
    expectNear(expected, frame.m_oBasis, 1e-12);
    expectNear(tilted, frame.m_oBasis.getRow(2), 1e-15);
    EXPECT_FALSE(MDL_Bone::clampAxis(frame, 2, -30 * DEG, 30 * DEG));
}

TEST(MdlBone, ClampAxisExactlyOppositeGivesNoNaN)
{
    // A half turn about (1, 1, 0): the z row points exactly along -z, so the
    // swing has no single axis.
    MTH_Frame frame;
    frame.m_oBasis.row(0) = MTH_Vector3D(0, 1, 0);
    frame.m_oBasis.row(1) = MTH_Vector3D(1, 0, 0);
    frame.m_oBasis.row(2) = MTH_Vector3D(0, 0, -1);
    frame.invalidateInverse();
    EXPECT_TRUE(MDL_Bone::clampAxis(frame, 2, -30 * DEG, 30 * DEG));
    EXPECT_TRUE(isFinite(frame.m_oBasis));
    EXPECT_EQ(MTH_Vector3D(0, 0, -1), frame.m_oBasis.getRow(2));
    EXPECT_NEAR(1, frame.m_oBasis.getRow(0).length(), 1e-15);
    EXPECT_NEAR(0, frame.m_oBasis.getRow(0).dot(frame.m_oBasis.getRow(1)), 1e-15);
    // It now sits on the bound.
    EXPECT_FALSE(MDL_Bone::clampAxis(frame, 2, -30 * DEG, 30 * DEG));
    // Opposite on every axis in turn.
    for (int axis = 0; axis < 3; axis++) {
        MTH_Frame flipped;
        flipped.m_oBasis.setIdentity();
        flipped.m_oBasis.row(axis) = flipped.m_oBasis.getRow(axis) * -1.0;
        flipped.m_oBasis.row((axis + 1) % 3) = flipped.m_oBasis.getRow((axis + 1) % 3) * -1.0;
        flipped.invalidateInverse();
        MDL_Bone::clampAxis(flipped, axis, -0.1, 0.1);
        EXPECT_TRUE(isFinite(flipped.m_oBasis)) << "axis " << axis;
    }
}

// --- applyLimits ---

TEST(MdlBone, ApplyLimitsClampsRelativeToTheRestPose)
{
    MDL_Bone bone;
    MTH_Frame rest = eulerFrame(30, 0, 0);
    rest.m_oPosition = MTH_Vector3D(1, 2, 3);
    bone.editRestFrame() = rest;
    MTH_Frame twisted = eulerFrame(0, 0, 45);
    twisted.m_oPosition = MTH_Vector3D(0.5, 0, 0);
    rest.toGlobalFrame(twisted);
    bone.editLocalFrame() = twisted;

    // No limits: nothing changes.
    bone.applyLimits();
    expectNear(twisted.m_oBasis, bone.getLocalBasis(), 0);

    // Limits that hold the twist: nothing changes either.
    bone.setLimits(2, -60 * DEG, 60 * DEG);
    bone.m_bChanged = false;
    bone.applyLimits();
    expectNear(twisted.m_oBasis, bone.getLocalBasis(), 0);
    EXPECT_FALSE(bone.m_bChanged);

    // "limit_zrot" -30 30: the twist of 45 degrees comes back to 30.
    bone.setLimits(2, -30 * DEG, 30 * DEG);
    bone.applyLimits();
    MTH_Frame expected = eulerFrame(0, 0, 30);
    expected.m_oPosition = MTH_Vector3D(0.5, 0, 0);
    rest.toGlobalFrame(expected);
    expectNear(expected.m_oBasis, bone.getLocalBasis(), 1e-12);
    expectNear(expected.m_oPosition, bone.getLocalPosition(), 1e-12);
    EXPECT_TRUE(bone.m_bChanged);
}

// --- movePoint ---

// Counts the events that reach it.
class CountingProxy : public UTIL_Proxy {
public:
    int handleCallback(UTIL_EventHost *, int code, va_list) override
    {
        if (code == MDL_CB_MOVED)
            m_iMoved++;
        else
            m_iOther++;
        return 1;
    }
    int m_iMoved = 0;
    int m_iOther = 0;
};

class MdlBoneMovePoint : public ::testing::Test {
protected:
    void SetUp() override {}
    void TearDown() override {}
    // A proxy owned by the bone's handle (deleted with the bone).
    CountingProxy *watch(MDL_Bone &bone)
    {
        CountingProxy *proxy = new CountingProxy();
        bone.m_oProxyHandle.bind(proxy);
        return proxy;
    }
    TEST_EventHost m_oHost;
    UTIL_EventHost *m_poEvents = &m_oHost;
};

TEST_F(MdlBoneMovePoint, SingleFreeBoneTurnsOntoTheRayInOneRound)
{
    const struct {
        MTH_Vector3D origin, grabbed, target;
    } cases[] = {
        {MTH_Vector3D(0, 0, 0), MTH_Vector3D(1, 0, 0), MTH_Vector3D(0, 3, 0)},
        {MTH_Vector3D(0, 0, 0), MTH_Vector3D(2, 0, 0), MTH_Vector3D(1, 1, 0)},
        {MTH_Vector3D(1, 2, 3), MTH_Vector3D(1, 2, 5), MTH_Vector3D(4, 2, 3)},
        {MTH_Vector3D(-1, 0, 1), MTH_Vector3D(0, 1, 2), MTH_Vector3D(-3, 2, -1)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.target.m_fX << " " << c.target.m_fY << " " << c.target.m_fZ);
        MDL_Bone bone;
        bone.editLocalPosition() = c.origin;
        CountingProxy *proxy = watch(bone);
        MTH_Vector3D reached;
        bone.movePoint(c.grabbed, c.target, m_poEvents, &reached);

        double r = (c.grabbed - c.origin).length();
        MTH_Vector3D direction = c.target - c.origin;
        direction.normalize();
        MTH_Vector3D expected = c.origin + direction * r;
        expectNear(expected, reached, 1e-12);
        // The point that was grabbed, carried by the bone, is where it said.
        MTH_Vector3D local;
        MTH_Frame start;
        start.m_oPosition = c.origin;
        start.localPoint(c.grabbed, local);
        MTH_Vector3D carried;
        bone.getGlobalFrame().globalPoint(local, carried);
        expectNear(expected, carried, 1e-12);
        expectNear(c.origin, bone.getGlobalPosition(), 0);
        EXPECT_EQ(1, proxy->m_iMoved);
        EXPECT_EQ(0, proxy->m_iOther);
    }
}

TEST_F(MdlBoneMovePoint, NothingToTurn)
{
    const struct {
        const char *what;
        MTH_Vector3D grabbed, target;
    } cases[] = {
        {"current equals target", MTH_Vector3D(1, 2, 3), MTH_Vector3D(1, 2, 3)},
        {"target exactly opposite", MTH_Vector3D(1, 0, 0), MTH_Vector3D(-2, 0, 0)},
        {"target on the same ray", MTH_Vector3D(1, 0, 0), MTH_Vector3D(5, 0, 0)},
        {"target at the origin", MTH_Vector3D(1, 0, 0), MTH_Vector3D(0, 0, 0)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        MDL_Bone bone;
        CountingProxy *proxy = watch(bone);
        bone.m_bChanged = false;
        MTH_Vector3D reached;
        bone.movePoint(c.grabbed, c.target, m_poEvents, &reached);
        EXPECT_EQ(c.grabbed, reached);
        EXPECT_FALSE(bone.m_bChanged);
        EXPECT_EQ(0, proxy->m_iMoved);
    }
}

TEST_F(MdlBoneMovePoint, ChainBendsTowardsTheTarget)
{
    MDL_Bone upper, lower;
    upper.addChild(&lower);
    lower.editLocalPosition() = MTH_Vector3D(1, 0, 0);
    CountingProxy *upperProxy = watch(upper);
    CountingProxy *lowerProxy = watch(lower);
    MTH_Vector3D target(0.5, 1.2, 0);
    MTH_Vector3D reached;
    lower.movePoint(MTH_Vector3D(2, 0, 0), target, m_poEvents, &reached);
    EXPECT_LT((reached - target).length(), 0.05);
    // The grabbed tip, carried by the chain, is the point reached.
    MTH_Vector3D tip(1, 0, 0);
    lower.getGlobalFrame().toGlobalPoint(tip);
    expectNear(reached, tip, 1e-12);
    expectNear(MTH_Vector3D(), upper.getGlobalPosition(), 0);
    EXPECT_GE(upperProxy->m_iMoved, 1);
    EXPECT_GE(lowerProxy->m_iMoved, 1);
    EXPECT_LE(lowerProxy->m_iMoved, 6); // at most one turn per round
    upper.removeChild(&lower);
}

TEST_F(MdlBoneMovePoint, WalkStopsAtANonBoneAndSkipsFixedBones)
{
    // top (bone) > middle (plain object) > bone > tip (bone, not movable)
    MDL_Bone top, bone, tip;
    MDL_Object middle;
    top.addChild(&middle);
    middle.addChild(&bone);
    bone.addChild(&tip);
    tip.editLocalPosition() = MTH_Vector3D(1, 0, 0);
    tip.disableState(STATE_MOVABLE, SCOPE_OBJECT);
    CountingProxy *topProxy = watch(top);
    CountingProxy *boneProxy = watch(bone);
    CountingProxy *tipProxy = watch(tip);
    MTH_Matrix3x3 topBasis = top.getLocalBasis();
    MTH_Matrix3x3 tipBasis = tip.getLocalBasis();

    MTH_Vector3D reached;
    tip.movePoint(MTH_Vector3D(2, 0, 0), MTH_Vector3D(0, 2, 0), m_poEvents, &reached);
    expectNear(MTH_Vector3D(0, 2, 0), reached, 1e-12); // the bone alone brings it there
    EXPECT_EQ(1, boneProxy->m_iMoved);
    EXPECT_EQ(0, tipProxy->m_iMoved);
    EXPECT_EQ(0, topProxy->m_iMoved);
    expectNear(topBasis, top.getLocalBasis(), 0);
    expectNear(tipBasis, tip.getLocalBasis(), 0);
    bone.removeChild(&tip);
    middle.removeChild(&bone);
    top.removeChild(&middle);
}

TEST_F(MdlBoneMovePoint, TwoLockedAxesTurnAboutTheThird)
{
    MDL_Bone bone;
    bone.setLimits(0, 0, 0);
    bone.setLimits(1, 0, 0);
    CountingProxy *proxy = watch(bone);
    MTH_Vector3D reached;
    // The point sits above the plane of the turn; it keeps its height.
    bone.movePoint(MTH_Vector3D(1, 0, 0.5), MTH_Vector3D(0, 2, 1.5), m_poEvents, &reached);
    expectNear(MTH_Vector3D(0, 1, 0.5), reached, 1e-12);
    expectNear(MTH_Vector3D(0, 0, 1), bone.getLocalBasis().getRow(2), 1e-15);
    expectNear(MTH_Vector3D(0, 1, 0), bone.getLocalBasis().getRow(0), 1e-15);
    EXPECT_EQ(1, proxy->m_iMoved);
}

TEST_F(MdlBoneMovePoint, LimitsHoldTheTurnAndATurnThatHelpsNothingIsUndone)
{
    MDL_Bone bone;
    bone.setLimits(2, -30 * DEG, 30 * DEG);
    CountingProxy *proxy = watch(bone);
    MTH_Vector3D reached;
    bone.movePoint(MTH_Vector3D(1, 0, 0), MTH_Vector3D(0, 1, 0), m_poEvents, &reached);
    // Only 30 of the 90 degrees about z are allowed; the swing that the
    // limits leave free is not used by a turn about z.
    expectNear(MTH_Vector3D(std::cos(30 * DEG), std::sin(30 * DEG), 0), reached, 1e-12);
    expectNear(eulerFrame(0, 0, 30).m_oBasis, bone.getLocalBasis(), 1e-12);
    // Later rounds turn again and are clamped back to where the bone was;
    // a turn that gains nothing is undone, its event posted all the same.
    EXPECT_GE(proxy->m_iMoved, 2);
    EXPECT_LE(proxy->m_iMoved, 6);

    // No engine: the same turn, no events anywhere.
    MDL_Bone quiet;
    quiet.movePoint(MTH_Vector3D(1, 0, 0), MTH_Vector3D(0, 1, 0), nullptr, &reached);
    expectNear(MTH_Vector3D(0, 1, 0), reached, 1e-12);
}

} // namespace
