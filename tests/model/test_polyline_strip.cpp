#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "model/MDL_Material.h"
#include "model/MDL_Polyline.h"
#include "model/MDL_Texture.h"

// The thick line of a polyline, checked by what it covers: every point close
// enough to the line lies in one of its triangles, and no triangle reaches
// further from the line than the thickness.

namespace {

typedef MTH_Vector2D P;

void addPoints(MDL_Polyline &line, const std::vector<P> &points)
{
    for (const P &p : points)
        line.addPoint(p);
}

double cross(const P &a, const P &b)
{
    return a.m_fX * b.m_fY - a.m_fY * b.m_fX;
}

bool inTriangle(const P &p, const P &a, const P &b, const P &c)
{
    const double e = 1e-12;
    double d1 = cross(b - a, p - a), d2 = cross(c - b, p - b), d3 = cross(a - c, p - c);
    return (d1 >= -e && d2 >= -e && d3 >= -e) || (d1 <= e && d2 <= e && d3 <= e);
}

bool covered(MDL_Polyline &line, const P &p)
{
    const UTIL_DynArray<MTH_Vector2D> &v = line.getStripVertices();
    for (int i = 0; i + 2 < v.m_iCount; i += 3)
        if (inTriangle(p, v[i], v[i + 1], v[i + 2]))
            return true;
    return false;
}

// The distance from p to the centre line (the segments, or the only point).
double centreDistance(MDL_Polyline &line, const P &p)
{
    return line.distanceToPoint(p) + line.getThickness();
}

struct Shape {
    const char *name;
    std::vector<P> points;
    bool closed;
};

const std::vector<Shape> &shapes()
{
    static const std::vector<Shape> all = {
        {"segment", {P(0, 0), P(1, 0)}, false},
        {"single point", {P(0.5, 0.5)}, false},
        // Turns of every size, both ways, a nearly straight joint and a
        // reversal.
        {"zigzag",
         {P(0, 0), P(1, 0), P(1.5, 0.8), P(2.0, 0.1), P(2.8, 0.15), P(3.6, 0.1), P(2.6, 0.1), P(2.4, 1.2)},
         false},
        {"reversal", {P(0, 0), P(1, 0), P(0.2, 0)}, false},
        // Two corners closer than the line is wide.
        {"hairpin", {P(0, 0), P(1, 0), P(1, 0.1), P(0, 0.1)}, false},
        {"square", {P(0, 0), P(1, 0), P(1, 1), P(0, 1)}, true},
        {"clockwise triangle", {P(0, 0), P(0.5, 1), P(1, 0)}, true},
        {"square back to its start", {P(0, 0), P(1, 0), P(1, 1), P(0, 1), P(0, 0)}, true},
        {"star",
         {P(0, 1), P(0.3, 0.3), P(1, 0.2), P(0.4, -0.2), P(0.6, -1), P(0, -0.5), P(-0.6, -1), P(-0.4, -0.2), P(-1, 0.2),
          P(-0.3, 0.3)},
         true},
    };
    return all;
}

} // namespace

TEST(PolylineStrip, CoversTheLineWithRoundCapsAndJoins)
{
    const double m = 0.1;
    for (const Shape &shape : shapes()) {
        SCOPED_TRACE(shape.name);
        MDL_Polyline line;
        addPoints(line, shape.points);
        line.setClosed(shape.closed);
        line.setThickness(m);
        const UTIL_DynArray<MTH_Vector2D> &v = line.getStripVertices();
        ASSERT_GT(v.m_iCount, 0);
        ASSERT_EQ(v.m_iCount % 3, 0);
        ASSERT_EQ(line.getStripUVs().m_iCount, v.m_iCount);
        // No triangle reaches past the thickness: its corners and its
        // centre stay within it.
        for (int i = 0; i < v.m_iCount; i++)
            EXPECT_LE(centreDistance(line, v[i]), m * (1 + 1e-9)) << "vertex " << i;
        for (int i = 0; i + 2 < v.m_iCount; i += 3) {
            P centre = (v[i] + v[i + 1] + v[i + 2]) * (1.0 / 3);
            EXPECT_LE(centreDistance(line, centre), m * (1 + 1e-9)) << "triangle " << i / 3;
        }
        // Every point well inside the line is covered: the caps and the
        // round joins are polygons inside a circle of radius m, whose
        // sides come no closer than 0.92 m to the centre.
        int inside = 0;
        for (double x = -0.3; x <= 3.9; x += 0.02)
            for (double y = -1.3; y <= 1.5; y += 0.02) {
                P p(x, y);
                if (centreDistance(line, p) > 0.9 * m)
                    continue;
                inside++;
                EXPECT_TRUE(covered(line, p)) << "(" << x << ", " << y << ")";
                if (HasFailure())
                    return;
            }
        EXPECT_GT(inside, 50);
    }
}

TEST(PolylineStrip, TriangleCountsOfCapsBodiesAndJoins)
{
    struct Case {
        const char *name;
        std::vector<P> points;
        bool closed;
        int triangles;
    } cases[] = {
        // Two caps of three triangles and one body of two.
        {"segment", {P(0, 0), P(1, 0)}, false, 8},
        // A closed outline of fewer than three corners draws its start cap.
        {"two closed points", {P(0, 0), P(1, 0)}, true, 3},
        // The caps back to back: an octagon.
        {"single point", {P(3, 3)}, false, 6},
        {"single closed point", {P(3, 3)}, true, 3},
        // A straight joint adds a body; a corner a body (its inner
        // triangle only when the inner corner lies ahead) and a fan of four.
        {"straight", {P(0, 0), P(1, 0), P(2, 0.1)}, false, 3 + 2 + 2 + 3},
        {"left turn", {P(0, 0), P(1, 0), P(1, 1)}, false, 3 + 2 + 4 + 2 + 3},
        // A reversal closes the turn with a half octagon of three.
        {"reversal", {P(0, 0), P(1, 0), P(0, 0)}, false, 3 + 2 + 3 + 2 + 3},
        // A closed square has no caps: four corners.
        {"square", {P(0, 0), P(1, 0), P(1, 1), P(0, 1)}, true, 4 * (2 + 4)},
        // The closing point that repeats the first adds nothing.
        {"square back to its start", {P(0, 0), P(1, 0), P(1, 1), P(0, 1), P(0, 0)}, true, 4 * (2 + 4)},
        {"closed outline of two points back to the first", {P(0, 0), P(1, 0), P(0, 0)}, true, 3},
    };
    for (const Case &c : cases) {
        MDL_Polyline line;
        addPoints(line, c.points);
        line.setClosed(c.closed);
        line.setThickness(0.1);
        EXPECT_EQ(line.getStripVertices().m_iCount, 3 * c.triangles) << c.name;
    }
}

// A closed outline of one or two corners (after the repeats of its first
// point at its end) is drawn as the start cap alone: the same triangles, with
// the same texture coordinates, as the open line through the same points
// begins with, turned along the first segment, or along x without one.
TEST(PolylineStrip, ClosedOutlinesOfFewerThanThreeCornersDrawTheStartCap)
{
    MDL_Texture texture;
    texture.m_iWidth = texture.m_iHeight = 16;
    const std::vector<P> outlines[] = {
        {P(0.5, 0.5)},
        {P(0, 0), P(1, 0.5)},
        {P(0.2, 0.3), P(0.2, -1), P(0.2, 0.3), P(0.2, 0.3)},
        // A first segment too short for a direction: along x.
        {P(0, 0), P(1e-300, 0)},
    };
    for (const std::vector<P> &points : outlines)
        for (bool textured : {false, true}) {
            SCOPED_TRACE(::testing::Message() << points.size() << " points, textured " << textured);
            MDL_Polyline closed, open;
            addPoints(closed, points);
            addPoints(open, points);
            open.setClosed(false);
            for (MDL_Polyline *line : {&closed, &open}) {
                line->setThickness(0.1);
                if (textured)
                    line->makeOwnMaterial()->addLayer(&texture);
            }
            P ahead(1, 0);
            if (points.size() > 1) {
                double length = std::hypot(points[1].m_fX - points[0].m_fX, points[1].m_fY - points[0].m_fY);
                ahead = (points[1] - points[0]) * (1 / length);
            }
            const UTIL_DynArray<MTH_Vector2D> &v = closed.getStripVertices(), &uv = closed.getStripUVs();
            const UTIL_DynArray<MTH_Vector2D> &ov = open.getStripVertices(), &ouv = open.getStripUVs();
            ASSERT_EQ(v.m_iCount, 9);
            ASSERT_EQ(uv.m_iCount, 9);
            ASSERT_GE(ov.m_iCount, 9);
            for (int i = 0; i < 9; i++) {
                EXPECT_TRUE(std::isfinite(v[i].m_fX) && std::isfinite(v[i].m_fY)) << i;
                EXPECT_EQ(v[i].m_fX, ov[i].m_fX) << i;
                EXPECT_EQ(v[i].m_fY, ov[i].m_fY) << i;
                EXPECT_EQ(uv[i].m_fX, ouv[i].m_fX) << i;
                EXPECT_EQ(uv[i].m_fY, ouv[i].m_fY) << i;
                // Nothing lies ahead of the first point along the line.
                EXPECT_LE((v[i] - points[0]).dot(ahead), 1e-12) << i;
            }
        }
}

// Two left turns closer than the line is wide: at the second one the inner
// corner lies behind the segment's own inner start, and the body's inner
// triangle is left out.
TEST(PolylineStrip, InnerTriangleOnlyWhenTheInnerCornerLiesAhead)
{
    MDL_Polyline line;
    line.setClosed(false);
    addPoints(line, {P(0, 0), P(1, 0), P(1, 0.1), P(0, 0.1)});
    line.setThickness(0.1);
    EXPECT_EQ(line.getStripVertices().m_iCount, 3 * (3 + (2 + 4) + (1 + 4) + 2 + 3));
}

TEST(PolylineStrip, EmptyWhenTheLineDrawsNothing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double thickness : {0.0, -0.1, nan, inf}) {
        MDL_Polyline line;
        addPoints(line, {P(0, 0), P(1, 0), P(1, 1)});
        line.setThickness(thickness);
        EXPECT_EQ(line.getStripVertices().m_iCount, 0) << thickness;
        EXPECT_EQ(line.getStripUVs().m_iCount, 0) << thickness;
    }
    MDL_Polyline empty;
    empty.setThickness(0.5);
    EXPECT_EQ(empty.getStripVertices().m_iCount, 0);
}

TEST(PolylineStrip, TheClosingRepeatOfTheFirstPointChangesNothing)
{
    MDL_Polyline square, repeated;
    addPoints(square, {P(0, 0), P(1, 0), P(1, 1), P(0, 1)});
    addPoints(repeated, {P(0, 0), P(1, 0), P(1, 1), P(0, 1), P(0, 0), P(0, 0)});
    const UTIL_DynArray<MTH_Vector2D> &a = square.getStripVertices();
    const UTIL_DynArray<MTH_Vector2D> &b = repeated.getStripVertices();
    ASSERT_EQ(a.m_iCount, b.m_iCount);
    for (int i = 0; i < a.m_iCount; i++) {
        EXPECT_EQ(a[i].m_fX, b[i].m_fX) << i;
        EXPECT_EQ(a[i].m_fY, b[i].m_fY) << i;
    }
}

// Along a straight line every vertex's u is k times its position along the
// line and v is 0.5 minus its offset to the left over the width, the caps
// included; k = aspect / (2 m), or -1 without a texture.
TEST(PolylineStrip, TextureCoordinatesOfAStraightLine)
{
    MDL_Texture wide; // 200 x 100: aspect 0.5
    wide.m_iWidth = 200;
    wide.m_iHeight = 100;
    const double m = 0.1;
    struct Case {
        const char *name;
        bool textured;
        double k;
    } cases[] = {{"textured", true, 0.5 / (2 * m)}, {"untextured", false, -1}};
    for (const Case &c : cases) {
        MDL_Polyline line;
        addPoints(line, {P(2, 1), P(3, 1)});
        line.setClosed(false);
        line.setThickness(m);
        MDL_Material *material = line.makeOwnMaterial();
        material->addLayer(nullptr);
        if (c.textured)
            material->addLayer(&wide);
        const UTIL_DynArray<MTH_Vector2D> &v = line.getStripVertices();
        const UTIL_DynArray<MTH_Vector2D> &uv = line.getStripUVs();
        ASSERT_EQ(v.m_iCount, 24) << c.name;
        double leastU = DBL_MAX, mostU = -DBL_MAX;
        for (int i = 0; i < v.m_iCount; i++) {
            EXPECT_NEAR(uv[i].m_fX, c.k * (v[i].m_fX - 2), 1e-12) << c.name << " " << i;
            EXPECT_NEAR(uv[i].m_fY, 0.5 - (v[i].m_fY - 1) / (2 * m), 1e-12) << c.name << " " << i;
            leastU = std::min(leastU, uv[i].m_fX / c.k);
            mostU = std::max(mostU, uv[i].m_fX / c.k);
        }
        // The caps reach the thickness beyond both ends.
        EXPECT_NEAR(leastU, -m, 1e-12) << c.name;
        EXPECT_NEAR(mostU, 1 + m, 1e-12) << c.name;
    }
}

// A left and then a right turn: each round join is a fan of four triangles
// around the inner corner (the meeting point of the two inner offsets), with
// v 0 there and 1 on the outer arc, all at the joint's u.
TEST(PolylineStrip, CornerJoinsRunVFromTheInnerSideAndCarryTheJointsU)
{
    MDL_Texture square;
    square.m_iWidth = square.m_iHeight = 64;
    const double m = 0.1, k = 1 / (2 * m);
    MDL_Polyline line;
    addPoints(line, {P(0, 0), P(1, 0), P(1, 1), P(2, 1)});
    line.setClosed(false);
    line.setThickness(m);
    line.makeOwnMaterial()->addLayer(&square);
    const UTIL_DynArray<MTH_Vector2D> &v = line.getStripVertices();
    const UTIL_DynArray<MTH_Vector2D> &uv = line.getStripUVs();
    struct Joint {
        P at, inner;
        double arc;
    } joints[] = {{P(1, 0), P(0.9, 0.1), 1}, {P(1, 1), P(1.1, 0.9), 2}};
    auto same = [](const P &a, const P &b) { return (a - b).length() < 1e-12; };
    for (const Joint &j : joints) {
        SCOPED_TRACE(j.arc);
        int fans = 0;
        for (int t = 0; t + 2 < v.m_iCount; t += 3) {
            bool aroundInner = false, atJoint = true;
            for (int i = t; i < t + 3; i++) {
                aroundInner = aroundInner || same(v[i], j.inner);
                atJoint = atJoint && std::fabs(uv[i].m_fX - k * j.arc) < 1e-12;
            }
            if (!aroundInner || !atJoint)
                continue;
            bool body = false;
            for (int i = t; i < t + 3; i++)
                body = body || !(same(v[i], j.inner) || std::fabs((v[i] - j.at).length() - m) < 1e-12);
            if (body)
                continue;
            fans++;
            for (int i = t; i < t + 3; i++)
                EXPECT_EQ(uv[i].m_fY, same(v[i], j.inner) ? 0 : 1) << i;
        }
        EXPECT_EQ(fans, 4);
    }
}

// Around a closed outline u runs from 0 at point 0 to k times the
// perimeter, and restarts at point 0: no triangle spans more u than the
// longest segment and its round join.
TEST(PolylineStrip, ClosedOutlineRestartsUAtItsFirstPoint)
{
    MDL_Texture texture;
    texture.m_iWidth = texture.m_iHeight = 8;
    const double m = 0.05, k = 1 / (2 * m);
    MDL_Polyline line;
    addPoints(line, {P(0, 0), P(2, 0), P(2, 1), P(0, 1)});
    line.setThickness(m);
    line.makeOwnMaterial()->addLayer(&texture);
    const UTIL_DynArray<MTH_Vector2D> &uv = line.getStripUVs();
    ASSERT_GT(uv.m_iCount, 0);
    double most = 0;
    for (int i = 0; i < uv.m_iCount; i++) {
        EXPECT_GE(uv[i].m_fX, -1e-12) << i;
        EXPECT_LE(uv[i].m_fX, k * 6 + 1e-12) << i;
        most = std::max(most, uv[i].m_fX);
    }
    EXPECT_NEAR(most, k * 6, 1e-12);
    for (int i = 0; i + 2 < uv.m_iCount; i += 3) {
        double lo = std::min({uv[i].m_fX, uv[i + 1].m_fX, uv[i + 2].m_fX});
        double hi = std::max({uv[i].m_fX, uv[i + 1].m_fX, uv[i + 2].m_fX});
        EXPECT_LE(hi - lo, k * (2 + 2 * m)) << "triangle " << i / 3;
    }
}

TEST(PolylineStrip, RebuiltWhenTheLineOrItsTextureChanges)
{
    MDL_Texture tall; // aspect 4
    tall.m_iWidth = 10;
    tall.m_iHeight = 40;
    MDL_Polyline line;
    addPoints(line, {P(0, 0), P(1, 0)});
    line.setClosed(false);
    line.setThickness(0.5);
    // The u of the end corners, at length 1.
    auto hasU = [&line](double u) {
        const UTIL_DynArray<MTH_Vector2D> &uv = line.getStripUVs();
        for (int i = 0; i < uv.m_iCount; i++)
            if (uv[i].m_fX == u)
                return true;
        return false;
    };
    // Without a texture u runs backwards with the length.
    EXPECT_TRUE(hasU(-1));
    // A texture given to the material reaches the line without any edit of
    // the polyline: u now runs at 4 / (2 x 0.5) = 4 per unit.
    MDL_Material *material = line.makeOwnMaterial();
    material->addLayer(&tall);
    EXPECT_TRUE(hasU(4));
    EXPECT_FALSE(hasU(-1));
    // And goes when the texture is taken away.
    material->getLayer(0)->m_poTexture = nullptr;
    EXPECT_TRUE(hasU(-1));

    line.setThickness(0.25);
    double least = DBL_MAX;
    for (int i = 0; i < line.getStripVertices().m_iCount; i++)
        least = std::min(least, line.getStripVertices()[i].m_fX);
    EXPECT_NEAR(least, -0.25, 1e-12);
}

// Random outlines with tiny, repeated and wild coordinates: whatever the
// points, the strip is a whole number of triangles with one (u, v) each, of
// bounded size.
TEST(PolylineStrip, AnyPointsGiveABoundedStrip)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-1, 1);
    const double wild[] = {
        0, 1e-300, -1e-300, 1e300, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
    for (int round = 0; round < 300; round++) {
        MDL_Polyline line;
        line.setClosed(round % 2 == 0);
        line.setThickness(round % 3 == 0 ? 1e-6 : 0.05);
        int n = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < n; i++) {
            double x = coordinate(random), y = coordinate(random);
            if (random() % 8 == 0)
                x = wild[random() % 6];
            if (random() % 4 == 0)
                y = 0;
            line.addPoint(P(x * (round % 5 == 0 ? 1e-9 : 1), y));
        }
        const int vertices = line.getStripVertices().m_iCount;
        EXPECT_EQ(vertices % 3, 0);
        EXPECT_EQ(line.getStripUVs().m_iCount, vertices);
        EXPECT_LE(vertices, 3 * (6 + 8 * line.getPointsCount()));
        line.setFilled(true);
        line.hitTest(P(0, 0));
        EXPECT_EQ(line.triangulate().m_iCount % 3, 0);
    }
}
