#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#include "model/MDL_Material.h"
#include "model/MDL_Polyline.h"

namespace {

typedef MTH_Vector2D P;

const double kfNaN = std::numeric_limits<double>::quiet_NaN();
const double kfInf = std::numeric_limits<double>::infinity();

void addPoints(MDL_Polyline &line, const std::vector<P> &points)
{
    for (const P &p : points)
        line.addPoint(p);
}

} // namespace

TEST(Polyline, NewPolylineDefaults)
{
    MDL_Polyline line;
    EXPECT_EQ(line.getType(), OBJECT_POLYLINE);
    EXPECT_TRUE(line.isClosed());
    EXPECT_FALSE(line.isFilled());
    EXPECT_TRUE(line.isLineVisible());
    EXPECT_EQ(line.getThickness(), 0.009999999776482582);
    EXPECT_EQ(line.getMaterial(), nullptr);
    EXPECT_FALSE(line.ownsMaterial());
    EXPECT_EQ(line.getFillColor().m_fW, 0);
    EXPECT_EQ(line.getPointsCount(), 0);
    EXPECT_EQ(line.distanceToPoint(P(0, 0)), DBL_MAX);
    EXPECT_FALSE(line.hitTest(P(0, 0)));
    EXPECT_EQ(line.getStripVertices().m_iCount, 0);
    EXPECT_EQ(line.triangulate().m_iCount, 0);
}

TEST(Polyline, PointsDropExactRepeatsAndEditsMarkWhatTheyChange)
{
    MDL_Polyline line;
    addPoints(line, {P(0, 0), P(1, 0), P(1, 0), P(1, 1), P(0, 0)});
    ASSERT_EQ(line.getPointsCount(), 4);
    EXPECT_EQ(line.getPoint(3).m_fY, 0);
    EXPECT_EQ(line.getPoint(2).m_fY, 1);
    // No such point: the origin, nothing read outside the list.
    for (int i : {-1, 4, 1000})
        EXPECT_EQ(line.getPoint(i).m_fX, 0) << i;

    line.triangulate();
    line.getStripVertices();
    EXPECT_FALSE(line.m_bFillDirty);
    EXPECT_FALSE(line.m_bLineDirty);
    // Closed and thickness change the line only.
    line.setClosed(false);
    EXPECT_TRUE(line.m_bLineDirty);
    EXPECT_FALSE(line.m_bFillDirty);
    line.getStripVertices();
    line.setThickness(0.5);
    EXPECT_TRUE(line.m_bLineDirty);
    EXPECT_FALSE(line.m_bFillDirty);
    line.getStripVertices();
    // A repeated point changes nothing.
    line.addPoint(P(0, 0));
    EXPECT_FALSE(line.m_bLineDirty);
    line.addPoint(P(2, 2));
    EXPECT_TRUE(line.m_bLineDirty);
    EXPECT_TRUE(line.m_bFillDirty);

    line.triangulate();
    line.getStripVertices();
    line.clearPoints();
    EXPECT_EQ(line.getPointsCount(), 0);
    EXPECT_TRUE(line.m_bLineDirty);
    EXPECT_TRUE(line.m_bFillDirty);
    EXPECT_EQ(line.getStripVertices().m_iCount, 0);
    EXPECT_EQ(line.triangulate().m_iCount, 0);
}

TEST(Polyline, DistanceToPointTakesTheNearestSegment)
{
    struct Case {
        const char *name;
        std::vector<P> points;
        bool closed;
        double thickness;
        P at;
        double distance;
    } cases[] = {
        {"above the middle", {P(0, 0), P(1, 0)}, false, 0.1, P(0.5, 0.3), 0.2},
        {"on the line", {P(0, 0), P(1, 0)}, false, 0.1, P(0.5, 0.05), -0.05},
        {"past the end", {P(0, 0), P(1, 0)}, false, 0.1, P(1.3, 0), 0.2},
        {"behind the start", {P(0, 0), P(1, 0)}, false, 0.1, P(-0.1, 0), 0},
        // An open line has no segment from its last point back to the first.
        {"open corner", {P(0, 0), P(1, 0), P(1, 1)}, false, 0, P(0.4, 0.6), 0.6},
        {"closed corner", {P(0, 0), P(1, 0), P(1, 1)}, true, 0, P(0.4, 0.6), std::sqrt(0.02)},
        {"single point", {P(2, 2)}, false, 0.5, P(2, 5), 2.5},
        {"single closed point", {P(2, 2)}, true, 0.5, P(5, 2), 2.5},
    };
    for (const Case &c : cases) {
        MDL_Polyline line;
        addPoints(line, c.points);
        line.setClosed(c.closed);
        line.setThickness(c.thickness);
        EXPECT_NEAR(line.distanceToPoint(c.at), c.distance, 1e-12) << c.name;
    }
}

TEST(Polyline, HitTestOnTheLineAndInTheFill)
{
    const std::vector<P> ccw = {P(0, 0), P(1, 0), P(1, 1), P(0, 1)};
    const std::vector<P> cw = {P(0, 1), P(1, 1), P(1, 0), P(0, 0)};
    // An L: the notch at the upper right is outside the fill.
    const std::vector<P> ell = {P(0, 0), P(2, 0), P(2, 1), P(1, 1), P(1, 2), P(0, 2)};
    // Closed outlines of fewer than three corners draw only the start cap,
    // a half octagon behind their first point, and hit only there.
    const std::vector<P> two = {P(0, 0.05), P(1, 0.05)};
    const std::vector<P> one = {P(0.5, 0.5)};
    struct Case {
        const char *name;
        const std::vector<P> &points;
        bool visible, filled;
        double thickness;
        P at;
        bool hit;
    } cases[] = {
        {"on the line", ccw, true, false, 0.1, P(0.5, 0.05), true},
        {"outside the line", ccw, true, false, 0.1, P(0.5, 0.2), false},
        {"the closing segment", ccw, true, false, 0.1, P(0.05, 0.5), true},
        {"the middle of a closed outline of two points", two, true, false, 0.1, P(0.5, 0.05), false},
        {"the start cap of a closed outline of two points", two, true, false, 0.1, P(-0.05, 0.08), true},
        {"past the second of two closed points", two, true, false, 0.1, P(1.05, 0.05), false},
        {"just ahead of the first of two closed points", two, true, false, 0.1, P(0.01, 0.05), false},
        {"behind a single closed point", one, true, false, 0.1, P(0.45, 0.47), true},
        {"ahead of a single closed point", one, true, false, 0.1, P(0.55, 0.5), false},
        {"a hidden start cap", two, false, false, 0.1, P(-0.05, 0.05), false},
        {"hidden line", ccw, false, false, 0.1, P(0.5, 0.05), false},
        {"not filled", ccw, true, false, 0.1, P(0.5, 0.5), false},
        {"fill centre", ccw, false, true, 0.1, P(0.5, 0.5), true},
        {"fill centre, clockwise", cw, false, true, 0.1, P(0.5, 0.5), true},
        {"fill edge", ccw, false, true, 0.1, P(1, 0.5), true},
        {"fill edge, clockwise", cw, false, true, 0.1, P(1, 0.5), true},
        {"outside the fill", ccw, false, true, 0.1, P(1.01, 0.5), false},
        {"outside the fill, clockwise", cw, false, true, 0.1, P(-0.01, 0.5), false},
        {"in the L", ell, false, true, 0.1, P(0.5, 1.5), true},
        {"in the notch", ell, false, true, 0.1, P(1.5, 1.5), false},
        {"not a number", ccw, true, true, 0.1, P(kfNaN, 0.5), false},
        // A line that draws nothing hits nothing; the fill still hits.
        {"thickness 0", ccw, true, false, 0, P(0.5, 0), false},
        {"negative thickness", ccw, true, false, -0.2, P(0.5, 0), false},
        {"NaN thickness", ccw, true, false, kfNaN, P(0.5, 0), false},
        {"infinite thickness", ccw, true, false, kfInf, P(0.5, 0), false},
        {"fill with thickness 0", ccw, true, true, 0, P(0.5, 0.5), true},
    };
    for (const Case &c : cases) {
        MDL_Polyline line;
        addPoints(line, c.points);
        line.setLineVisible(c.visible);
        line.setFilled(c.filled);
        line.setThickness(c.thickness);
        EXPECT_EQ(line.hitTest(c.at), c.hit) << c.name;
    }
}

TEST(Polyline, FillIsCutOnlyWhenThePointsChange)
{
    MDL_Polyline line;
    line.setClosed(false); // the fill is a closed outline whatever the flag
    addPoints(line, {P(0, 0), P(1, 0), P(1, 1), P(0, 1), P(0, 0)});
    const UTIL_DynArray<int> &fill = line.triangulate();
    ASSERT_EQ(fill.m_iCount, 6);
    for (int i = 0; i < fill.m_iCount; i++) {
        EXPECT_GE(fill[i], 0);
        EXPECT_LT(fill[i], line.getPointsCount());
    }
    // Every triangle runs counter-clockwise.
    for (int i = 0; i < fill.m_iCount; i += 3) {
        P a = line.getPoint(fill[i]), b = line.getPoint(fill[i + 1]), c = line.getPoint(fill[i + 2]);
        EXPECT_GT((b.m_fX - a.m_fX) * (c.m_fY - a.m_fY) - (b.m_fY - a.m_fY) * (c.m_fX - a.m_fX), 0) << i;
    }
    const int *cut = fill.m_pData;
    line.setThickness(0.3);
    line.setClosed(true);
    EXPECT_EQ(line.triangulate().m_pData, cut);

    // A bow tie cannot be cut: no fill, and no hit inside it.
    line.clearPoints();
    addPoints(line, {P(0, 0), P(1, 1), P(1, 0), P(0, 1)});
    EXPECT_EQ(line.triangulate().m_iCount, 0);
    line.setFilled(true);
    line.setLineVisible(false);
    EXPECT_FALSE(line.hitTest(P(0.5, 0.4)));
}

TEST(Polyline, MaterialIsSharedUntilMadeOwn)
{
    MDL_Material shared;
    shared.m_oDiffuse = MTH_Vector4D(1, 0, 0, 1);
    MDL_Polyline line;
    MDL_Material *own = line.makeOwnMaterial();
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(line.ownsMaterial());
    EXPECT_EQ(own->m_fShininess, 50); // a default material
    EXPECT_EQ(line.makeOwnMaterial(), own);

    line.setMaterial(&shared); // the own one is deleted (the sanitizers see a leak otherwise)
    EXPECT_EQ(line.getMaterial(), &shared);
    EXPECT_FALSE(line.ownsMaterial());
    MDL_Material *copy = line.makeOwnMaterial();
    EXPECT_NE(copy, &shared);
    EXPECT_EQ(copy->m_oDiffuse.m_fX, 1);
    copy->m_oDiffuse.m_fX = 0;
    EXPECT_EQ(shared.m_oDiffuse.m_fX, 1);
}

TEST(Polyline, CopyKeepsPointsAndSettingsAndNeverSharesAnOwnMaterial)
{
    MDL_Material shared;
    MDL_Polyline line;
    line.setName("outline");
    addPoints(line, {P(0, 0), P(1, 0), P(1, 1)});
    line.setClosed(false);
    line.setFilled(true);
    line.setLineVisible(false);
    line.setThickness(0.25);
    line.setFillColor(MTH_Vector4D(0, 1, 0, 0.5));
    line.setMaterial(&shared);

    MDL_Polyline copy(line);
    line.clearPoints();
    EXPECT_STREQ(copy.getName(), "outline");
    ASSERT_EQ(copy.getPointsCount(), 3);
    EXPECT_EQ(copy.getPoint(2).m_fY, 1);
    EXPECT_FALSE(copy.isClosed());
    EXPECT_TRUE(copy.isFilled());
    EXPECT_FALSE(copy.isLineVisible());
    EXPECT_EQ(copy.getThickness(), 0.25);
    EXPECT_EQ(copy.getFillColor().m_fW, 0.5);
    EXPECT_EQ(copy.getMaterial(), &shared);
    EXPECT_FALSE(copy.ownsMaterial());
    EXPECT_EQ(copy.triangulate().m_iCount, 3);
    EXPECT_GT(copy.getStripVertices().m_iCount, 0);

    MDL_Material *own = line.makeOwnMaterial();
    MDL_Polyline second(line);
    EXPECT_TRUE(second.ownsMaterial());
    EXPECT_NE(second.getMaterial(), own);
}
