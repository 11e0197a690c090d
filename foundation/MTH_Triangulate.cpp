#include "foundation/MTH_Triangulate.h"

#include <vector>

// The smallest doubled area of a corner that counts as a turn, as the
// single-precision constant that it has always been.
static const double kfEarEpsilon = static_cast<double>(1e-10f);

bool MTH_isEar(const UTIL_DynArray<MTH_Vector2D> &points, int u, int v, int w, int count, const int *remaining)
{
    const MTH_Vector2D &a = points[remaining[u]];
    const MTH_Vector2D &b = points[remaining[v]];
    const MTH_Vector2D &c = points[remaining[w]];
    if ((b - a).cross(c - a) < kfEarEpsilon)
        return false;
    for (int i = 0; i < count; i++) {
        if (i == u || i == v || i == w)
            continue;
        const MTH_Vector2D &p = points[remaining[i]];
        if ((c - b).cross(p - b) >= 0 && (a - c).cross(p - c) >= 0 && (b - a).cross(p - a) >= 0)
            return false;
    }
    return true;
}

static bool samePoint(const MTH_Vector2D &a, const MTH_Vector2D &b)
{
    return a.m_fX == b.m_fX && a.m_fY == b.m_fY;
}

bool MTH_triangulatePolygon(const UTIL_DynArray<MTH_Vector2D> &points, UTIL_DynArray<int> &out)
{
    const int n = points.m_iCount;
    if (n < 3)
        return false;
    // The outline's corners: a repeated point would lie on the corners of
    // every triangle next to it and block them all, so it is passed over.
    std::vector<int> corners;
    corners.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; i++)
        if (corners.empty() || !samePoint(points[corners.back()], points[i]))
            corners.push_back(i);
    while (corners.size() > 1 && samePoint(points[corners.back()], points[corners.front()]))
        corners.pop_back();
    int m = static_cast<int>(corners.size());
    if (m < 3)
        return false;

    // Twice the signed area: the list runs forwards for a counter-clockwise
    // outline, backwards otherwise.
    double area = 0;
    for (int i = 0, previous = m - 1; i < m; previous = i++) {
        const MTH_Vector2D &p = points[corners[static_cast<size_t>(previous)]];
        const MTH_Vector2D &q = points[corners[static_cast<size_t>(i)]];
        area += p.m_fX * q.m_fY - q.m_fX * p.m_fY;
    }
    std::vector<int> remaining(static_cast<size_t>(m));
    for (int i = 0; i < m; i++)
        remaining[static_cast<size_t>(i)] =
            area > 0 ? corners[static_cast<size_t>(i)] : corners[static_cast<size_t>(m - 1 - i)];

    int attempts = 2 * m;
    for (int v = m - 1; m > 2;) {
        if (attempts-- <= 0)
            return false;
        int u = v < m ? v : 0;
        v = u + 1 < m ? u + 1 : 0;
        int w = v + 1 < m ? v + 1 : 0;
        if (MTH_isEar(points, u, v, w, m, remaining.data())) {
            out.append(remaining[static_cast<size_t>(u)]);
            out.append(remaining[static_cast<size_t>(v)]);
            out.append(remaining[static_cast<size_t>(w)]);
            remaining.erase(remaining.begin() + v);
            m--;
            attempts = 2 * m;
        }
    }
    return true;
}
