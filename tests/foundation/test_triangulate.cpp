#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "foundation/MTH_Triangulate.h"

namespace {

typedef std::vector<MTH_Vector2D> Outline;

void toArray(const Outline &outline, UTIL_DynArray<MTH_Vector2D> &points)
{
    for (const MTH_Vector2D &p : outline)
        points.append(p);
}

double cross(const MTH_Vector2D &a, const MTH_Vector2D &b, const MTH_Vector2D &c)
{
    return (b.m_fX - a.m_fX) * (c.m_fY - a.m_fY) - (b.m_fY - a.m_fY) * (c.m_fX - a.m_fX);
}

// Measured from the first point, so that large coordinates lose nothing.
double outlineArea(const Outline &outline)
{
    double sum = 0;
    for (size_t i = 1; i + 1 < outline.size(); i++)
        sum += cross(outline[0], outline[i], outline[i + 1]);
    return std::fabs(sum) / 2;
}

// Even-odd rule.
bool insideOutline(const Outline &outline, double x, double y)
{
    bool inside = false;
    for (size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
        const MTH_Vector2D &a = outline[i], &b = outline[j];
        if ((a.m_fY > y) != (b.m_fY > y) && x < (b.m_fX - a.m_fX) * (y - a.m_fY) / (b.m_fY - a.m_fY) + a.m_fX)
            inside = !inside;
    }
    return inside;
}

// The triangles run counter-clockwise, their areas add up to the polygon's,
// and every sample point inside the polygon lies in exactly one triangle,
// every one outside in none. Points too near an edge are passed over.
void expectExactCover(const Outline &outline, const UTIL_DynArray<int> &out, int first)
{
    double sum = 0;
    for (int t = first; t + 2 < out.m_iCount; t += 3) {
        for (int k = 0; k < 3; k++) {
            ASSERT_GE(out[t + k], 0);
            ASSERT_LT(out[t + k], static_cast<int>(outline.size()));
        }
        double doubled = cross(outline[out[t]], outline[out[t + 1]], outline[out[t + 2]]);
        EXPECT_GT(doubled, 0) << "triangle " << (t - first) / 3 << " is not counter-clockwise";
        sum += doubled / 2;
    }
    double area = outlineArea(outline);
    EXPECT_NEAR(sum, area, 1e-9 * (1 + area));

    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (const MTH_Vector2D &p : outline) {
        minX = std::fmin(minX, p.m_fX);
        maxX = std::fmax(maxX, p.m_fX);
        minY = std::fmin(minY, p.m_fY);
        maxY = std::fmax(maxY, p.m_fY);
    }
    const int steps = 60;
    const double spanX = maxX - minX, spanY = maxY - minY, margin = 1e-9 * (spanX + spanY);
    for (int i = 0; i <= steps; i++)
        for (int j = 0; j <= steps; j++) {
            // Off the grid of the outlines' coordinates.
            double x = minX - 0.05 * spanX + (i + 0.3141) * 1.1 * spanX / steps;
            double y = minY - 0.05 * spanY + (j + 0.2718) * 1.1 * spanY / steps;
            MTH_Vector2D p(x, y);
            bool nearEdge = false;
            int hits = 0;
            for (int t = first; t + 2 < out.m_iCount; t += 3) {
                const MTH_Vector2D &a = outline[out[t]], &b = outline[out[t + 1]], &c = outline[out[t + 2]];
                double d[3] = {cross(a, b, p) / (b - a).length(), cross(b, c, p) / (c - b).length(),
                               cross(c, a, p) / (a - c).length()};
                bool in = true;
                for (double e : d) {
                    if (std::fabs(e) < margin)
                        nearEdge = true;
                    if (e < 0)
                        in = false;
                }
                hits += in ? 1 : 0;
            }
            for (size_t k = 0, l = outline.size() - 1; k < outline.size(); l = k++) {
                double length = (outline[k] - outline[l]).length();
                if (length > 0 && std::fabs(cross(outline[l], outline[k], p)) / length < margin)
                    nearEdge = true;
            }
            if (nearEdge)
                continue;
            ASSERT_EQ(hits, insideOutline(outline, x, y) ? 1 : 0) << "at " << x << ", " << y;
        }
}

Outline reversed(Outline outline)
{
    return Outline(outline.rbegin(), outline.rend());
}

Outline star(int tips, double inner, double outer)
{
    Outline out;
    for (int i = 0; i < 2 * tips; i++) {
        double angle = 3.141592653589793 * i / tips;
        double r = i % 2 == 0 ? outer : inner;
        out.push_back(MTH_Vector2D(r * std::cos(angle), r * std::sin(angle)));
    }
    return out;
}

const Outline kSquare = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
const Outline kL = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
const Outline kComb = {{0, 0}, {5, 0}, {5, 3}, {4, 3}, {4, 1}, {3, 1}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
// Points on the edges of a square, corners and edge midpoints.
const Outline kMidpoints = {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}};
// The last corner lies on the diagonal from the first to the third: that
// diagonal's ear is blocked, or the three left would lie on a line.
const Outline kOnDiagonal = {{0, 0}, {2, 0}, {2, 2}, {1, 1}};

struct Case {
    const char *m_sWhat;
    Outline m_aoOutline;
    int m_iTriangles;
};

// Triangulates the outline as given and reversed, after an entry already in
// out, which must stay in front.
void expectCoveredInBothWindings(const Case &c)
{
    for (int winding = 0; winding < 2; winding++) {
        SCOPED_TRACE(std::string(c.m_sWhat) + (winding == 0 ? "" : ", clockwise"));
        Outline outline = winding == 0 ? c.m_aoOutline : reversed(c.m_aoOutline);
        UTIL_DynArray<MTH_Vector2D> points;
        toArray(outline, points);
        UTIL_DynArray<int> out;
        out.append(7);
        ASSERT_TRUE(MTH_triangulatePolygon(points, out));
        EXPECT_EQ(out[0], 7);
        EXPECT_EQ(out.m_iCount, 1 + 3 * c.m_iTriangles);
        expectExactCover(outline, out, 1);
    }
}

} // namespace

TEST(Triangulate, SmallOutlinesGiveTheseIndices)
{
    struct Exact {
        const char *m_sWhat;
        Outline m_aoOutline;
        std::vector<int> m_aiIndices;
    };
    const Exact cases[] = {
        {"counter-clockwise triangle", {{0, 0}, {1, 0}, {0, 1}}, {2, 0, 1}},
        {"clockwise triangle", {{0, 0}, {0, 1}, {1, 0}}, {0, 2, 1}},
        {"clockwise square", reversed(kSquare), {0, 3, 2, 2, 1, 0}},
        {"square", kSquare, {3, 0, 1, 1, 2, 3}},
    };
    for (const Exact &c : cases) {
        SCOPED_TRACE(c.m_sWhat);
        UTIL_DynArray<MTH_Vector2D> points;
        toArray(c.m_aoOutline, points);
        UTIL_DynArray<int> out;
        ASSERT_TRUE(MTH_triangulatePolygon(points, out));
        EXPECT_EQ(std::vector<int>(out.m_pData, out.m_pData + out.m_iCount), c.m_aiIndices);
    }
}

TEST(Triangulate, PolygonsAreCoveredExactlyInEitherWinding)
{
    const std::vector<Case> cases = {
        {"square", kSquare, 2},
        {"convex hexagon", {{2, 0}, {4, 1}, {4, 3}, {2, 4}, {0, 3}, {0, 1}}, 4},
        {"L shape", kL, 4},
        {"comb", kComb, 10},
        {"star", star(7, 0.4, 1), 12},
        {"edge midpoints", kMidpoints, 6},
        {"corner on the diagonal", kOnDiagonal, 2},
        {"thin sliver", {{0, 0}, {1000, 0}, {1000, 0.001}, {500, 0.0005001}}, 2},
        {"large coordinates", {{1e6, 1e6}, {1e6 + 3, 1e6}, {1e6 + 3, 1e6 + 2}, {1e6 + 1, 1e6 + 1}, {1e6, 1e6 + 2}}, 3},
    };
    for (const Case &c : cases)
        expectCoveredInBothWindings(c);
}

// A point repeated in a row (also the last one repeating the first, as a
// closed outline is often given) adds no corner and blocks nothing.
TEST(Triangulate, RepeatedPointsArePassedOver)
{
    const std::vector<Case> cases = {
        {"last repeats the first", {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}, 2},
        {"a corner twice", {{0, 0}, {1, 0}, {1, 1}, {1, 1}, {0, 1}}, 2},
        {"L shape with its notch three times", {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 2}, {0, 2}}, 4},
        {"a triangle with every point twice", {{0, 0}, {0, 0}, {3, 0}, {3, 0}, {0, 3}, {0, 3}}, 1},
    };
    for (const Case &c : cases)
        expectCoveredInBothWindings(c);
}

TEST(Triangulate, DegenerateOutlinesFail)
{
    const std::vector<Case> cases = {
        {"no points", {}, 0},
        {"one point", {{1, 1}}, 0},
        {"two points", {{0, 0}, {1, 1}}, 0},
        {"one point three times", {{2, 2}, {2, 2}, {2, 2}}, 0},
        {"two points repeated", {{0, 0}, {1, 0}, {1, 0}, {0, 0}}, 0},
        {"on a line", {{0, 0}, {1, 1}, {2, 2}, {3, 3}}, 0},
        {"on a line and back", {{0, 0}, {2, 0}, {1, 0}}, 0},
        {"tiny", {{0, 0}, {1e-6, 0}, {0, 1e-6}}, 0}, // below the corner test's epsilon
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.m_sWhat);
        UTIL_DynArray<MTH_Vector2D> points;
        toArray(c.m_aoOutline, points);
        UTIL_DynArray<int> out;
        out.append(5);
        EXPECT_FALSE(MTH_triangulatePolygon(points, out));
        EXPECT_EQ(out.m_iCount, 1);
    }
}

// A self-intersecting outline fails; the triangles found before stay.
TEST(Triangulate, SelfIntersectingOutlineKeepsWhatWasFound)
{
    const Outline bowtie = {{0, 0}, {2, 2}, {2, 0}, {0, 2}, {-1, 1}};
    UTIL_DynArray<MTH_Vector2D> points;
    toArray(bowtie, points);
    UTIL_DynArray<int> out;
    EXPECT_FALSE(MTH_triangulatePolygon(points, out));
    EXPECT_GT(out.m_iCount, 0);
    EXPECT_EQ(out.m_iCount % 3, 0);
    EXPECT_LT(out.m_iCount, 9);
}

TEST(Triangulate, EarTestRejectsReflexCornersAndPointsOnTheTriangle)
{
    UTIL_DynArray<MTH_Vector2D> points;
    toArray({{0, 0}, {2, 0}, {2, 2}, {1, 0.5}, {1, 1}, {0, 0}, {3, 1}, {2, 1}}, points);
    struct EarCase {
        const char *m_sWhat;
        std::vector<int> m_aiRemaining;
        bool m_bEar;
    };
    const EarCase cases[] = {
        {"alone", {0, 1, 2}, true},
        {"a point outside", {0, 1, 2, 6}, true},
        {"a point inside", {0, 1, 2, 3}, false},
        {"a point on an edge", {0, 1, 2, 4}, false},
        {"a point on a corner", {0, 1, 2, 5}, false},
        {"clockwise", {2, 1, 0}, false},
        {"straight", {0, 3, 7}, false},
    };
    for (const EarCase &c : cases)
        EXPECT_EQ(MTH_isEar(points, 0, 1, 2, static_cast<int>(c.m_aiRemaining.size()), c.m_aiRemaining.data()),
                  c.m_bEar)
            << c.m_sWhat;
}
