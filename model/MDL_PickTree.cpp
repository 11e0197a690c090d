#include "model/MDL_PickTree.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "model/MDL_RayTriangle.h"

namespace {

// Leaves hold at most this many triangles, unless the surface-area
// heuristic finds a larger leaf cheaper (up to MAX_LEAF).
const int MIN_LEAF = 2;
const int MAX_LEAF = 8;
const int BINS = 16;
const double TRAVERSAL_COST = 2.0;
// Below this depth splits follow the surface-area heuristic; deeper ones
// halve the range, so that no path is longer than the pick's stack.
const int SAH_DEPTH = 48;
const int STACK_SIZE = 128;
// How far boxes are widened at pick time, relative to the largest
// coordinate involved: many times the rounding of the ray-triangle test.
const double PAD = 1e-9;
// The longest edges-to-area ratio of a triangle the tree holds in a box;
// thinner ones are tested at every pick (see triangleBox).
const double SLIVER = 1e4;

const MTH_Vector3D ZERO;

inline const MTH_Vector3D &position(const MTH_Vector3D *positions, int count, uint32_t i)
{
    return i < static_cast<uint32_t>(count) ? positions[i] : ZERO;
}

struct Box {
    double m_afMin[3] = {DBL_MAX, DBL_MAX, DBL_MAX};
    double m_afMax[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};

    void add(const double *min, const double *max)
    {
        for (int k = 0; k < 3; k++) {
            if (min[k] < m_afMin[k])
                m_afMin[k] = min[k];
            if (max[k] > m_afMax[k])
                m_afMax[k] = max[k];
        }
    }
    void add(const Box &b) { add(b.m_afMin, b.m_afMax); }
    void addPoint(const double *p) { add(p, p); }
    bool empty() const { return !(m_afMin[0] <= m_afMax[0]); }
    double area() const
    {
        if (empty())
            return 0;
        double x = m_afMax[0] - m_afMin[0], y = m_afMax[1] - m_afMin[1], z = m_afMax[2] - m_afMin[2];
        return x * y + y * z + z * x;
    }
};

// A triangle's box; false when no widened box can be trusted to hold every
// point the ray-triangle test may accept for it: a corner that is not
// finite, a triangle without area (which no ray hits, but may gain one in a
// refit), or a sliver. The test's rounding moves the points it accepts off
// the triangle by about the rounding of its coordinates times the ratio of
// the lengths of its two edges from the first corner to its area; up to
// SLIVER that stays far inside the widening of the pick (PAD).
bool triangleBox(const MTH_Vector3D *positions, int count, const uint32_t *v, double *min, double *max)
{
    const MTH_Vector3D &a = position(positions, count, v[0]);
    const MTH_Vector3D &b = position(positions, count, v[1]);
    const MTH_Vector3D &c = position(positions, count, v[2]);
    const double p[3][3] = {{a.m_fX, a.m_fY, a.m_fZ}, {b.m_fX, b.m_fY, b.m_fZ}, {c.m_fX, c.m_fY, c.m_fZ}};
    for (int k = 0; k < 3; k++) {
        min[k] = std::fmin(p[0][k], std::fmin(p[1][k], p[2][k]));
        max[k] = std::fmax(p[0][k], std::fmax(p[1][k], p[2][k]));
        if (!std::isfinite(p[0][k]) || !std::isfinite(p[1][k]) || !std::isfinite(p[2][k]))
            return false;
    }
    const MTH_Vector3D ab = b - a, ac = c - a;
    const MTH_Vector3D n = ab.cross(ac);
    double area = std::fmax(std::fabs(n.m_fX), std::fmax(std::fabs(n.m_fY), std::fabs(n.m_fZ)));
    double ratio = ab.length() * ac.length() / area;
    return area > 0 && ratio <= SLIVER;
}

// Single precision, rounded down (for a minimum) or up (for a maximum), so
// that the stored box holds the double one.
float lower(double x)
{
    if (!(x >= -FLT_MAX))
        return -INFINITY;
    if (x > FLT_MAX)
        return FLT_MAX;
    float f = static_cast<float>(x);
    return static_cast<double>(f) > x ? std::nextafter(f, -INFINITY) : f;
}

float upper(double x)
{
    if (!(x <= FLT_MAX))
        return INFINITY;
    if (x < -FLT_MAX)
        return -FLT_MAX;
    float f = static_cast<float>(x);
    return static_cast<double>(f) < x ? std::nextafter(f, INFINITY) : f;
}

void store(MDL_PickTree::Node &node, const Box &box)
{
    for (int k = 0; k < 3; k++) {
        node.m_afMin[k] = lower(box.m_afMin[k]);
        node.m_afMax[k] = upper(box.m_afMax[k]);
    }
}

double magnitude(const Box &box)
{
    double m = 0;
    for (int k = 0; k < 3; k++) {
        if (std::isfinite(box.m_afMin[k]))
            m = std::fmax(m, std::fabs(box.m_afMin[k]));
        if (std::isfinite(box.m_afMax[k]))
            m = std::fmax(m, std::fabs(box.m_afMax[k]));
    }
    return m;
}

// What a pick needs of the ray, worked out once.
struct Ray {
    MTH_Vector3D m_oOrigin;
    double m_afOrigin[3];
    double m_afInverse[3];
    bool m_abFlat[3]; // no motion along that axis
    double m_fPad;
};

// Where the ray enters the node's box widened by the pad, when it meets it
// within [0, limit]; false when it does not.
inline bool enters(const Ray &ray, const MDL_PickTree::Node &node, double limit, double &entry)
{
    double near = 0, far = limit;
    for (int k = 0; k < 3; k++) {
        const double lo = static_cast<double>(node.m_afMin[k]) - ray.m_fPad;
        const double hi = static_cast<double>(node.m_afMax[k]) + ray.m_fPad;
        if (ray.m_abFlat[k]) {
            if (ray.m_afOrigin[k] < lo || ray.m_afOrigin[k] > hi)
                return false;
            continue;
        }
        double t0 = (lo - ray.m_afOrigin[k]) * ray.m_afInverse[k];
        double t1 = (hi - ray.m_afOrigin[k]) * ray.m_afInverse[k];
        if (t0 > t1) {
            double swap = t0;
            t0 = t1;
            t1 = swap;
        }
        // An infinite box side gives an infinite bound, never NaN: the
        // origin is finite.
        if (t0 > near)
            near = t0;
        if (t1 < far)
            far = t1;
        if (!(near <= far))
            return false;
    }
    entry = near;
    return true;
}

// The answer of testing every triangle in index order: the first of the
// nearest hits below t.
struct Best {
    double m_fT;
    int m_iTriangle = -1;

    // Tests triangle i, keeping it when it is nearer than the best so far,
    // or as near and of a lower index (the index-order answer).
    inline void test(const MTH_Vector3D *positions, int count, const uint32_t *triangles, int i,
                     const MTH_Vector3D &origin, const MTH_Vector3D &direction, bool doubleSided)
    {
        const uint32_t *v = triangles + 3 * static_cast<int64_t>(i);
        // Before any hit only s < t counts, as for the first triangle of
        // the plain loop; after one, a tie is settled by the index.
        double limit = m_iTriangle < 0 ? m_fT : std::nextafter(m_fT, INFINITY);
        double s;
        if (!MDL_bRayMeetsTriangle(origin, direction, position(positions, count, v[0]),
                                   position(positions, count, v[1]), position(positions, count, v[2]), limit, false,
                                   doubleSided, s))
            return;
        if (m_iTriangle < 0 || s < m_fT || i < m_iTriangle) {
            m_fT = s;
            m_iTriangle = i;
        }
    }
};

} // namespace

MDL_PickTree::MDL_PickTree() : m_iTriangleCount(0), m_fMagnitude(0) {}

void MDL_PickTree::build(const MTH_Vector3D *positions, int positionCount, const uint32_t *triangles, int triangleCount)
{
    m_oNodes.resize(0);
    m_oOrder.resize(0);
    m_oUnbounded.resize(0);
    m_iTriangleCount = triangleCount > 0 && triangles != nullptr ? triangleCount : 0;
    m_fMagnitude = 0;
    if (m_iTriangleCount == 0)
        return;

    // Each triangle's box and centre; the ones that no box can hold aside.
    const int n = m_iTriangleCount;
    Box *boxes = new Box[static_cast<size_t>(n)];
    double *centres = new double[3 * static_cast<size_t>(n)];
    m_oOrder.resize(n);
    int bounded = 0;
    Box all;
    for (int i = 0; i < n; i++) {
        Box &b = boxes[i];
        if (!triangleBox(positions, positionCount, triangles + 3 * static_cast<int64_t>(i), b.m_afMin, b.m_afMax)) {
            m_oUnbounded.append(i);
            continue;
        }
        for (int k = 0; k < 3; k++)
            centres[3 * i + k] = 0.5 * b.m_afMin[k] + 0.5 * b.m_afMax[k];
        all.add(b);
        m_oOrder[bounded++] = i;
    }
    m_oOrder.resize(bounded);
    m_fMagnitude = magnitude(all);

    struct Task {
        int m_iNode, m_iBegin, m_iEnd, m_iDepth;
    };
    UTIL_DynArray<Task> tasks;
    if (bounded > 0) {
        m_oNodes.resize(1);
        tasks.append(Task{0, 0, bounded, 0});
    }
    int32_t *order = m_oOrder.m_pData;
    while (tasks.m_iCount > 0) {
        Task task = tasks[tasks.m_iCount - 1];
        tasks.resize(tasks.m_iCount - 1);
        const int count = task.m_iEnd - task.m_iBegin;
        Box box, centreBox;
        for (int j = task.m_iBegin; j < task.m_iEnd; j++) {
            box.add(boxes[order[j]]);
            centreBox.addPoint(centres + 3 * order[j]);
        }
        store(m_oNodes[task.m_iNode], box);

        int axis = 0;
        double extent = -1;
        for (int k = 0; k < 3; k++) {
            double e = centreBox.m_afMax[k] - centreBox.m_afMin[k];
            if (e > extent) {
                extent = e;
                axis = k;
            }
        }
        int middle = -1;
        if (count > MIN_LEAF && extent > 0 && std::isfinite(extent) && std::isfinite(BINS / extent) &&
            task.m_iDepth < SAH_DEPTH) {
            // Binned surface-area heuristic along the widest axis of the
            // centres.
            int binCount[BINS] = {};
            Box binBox[BINS];
            const double scale = BINS / extent;
            const double origin = centreBox.m_afMin[axis];
            // Clamped before the conversion (a NaN counts as the first bin).
            auto binOf = [&](int i) {
                double b = (centres[3 * i + axis] - origin) * scale;
                return b >= BINS - 1 ? BINS - 1 : (b > 0 ? static_cast<int>(b) : 0);
            };
            for (int j = task.m_iBegin; j < task.m_iEnd; j++) {
                int b = binOf(order[j]);
                binCount[b]++;
                binBox[b].add(boxes[order[j]]);
            }
            double rightArea[BINS];
            int rightCount[BINS];
            Box right;
            int r = 0;
            for (int b = BINS - 1; b > 0; b--) {
                right.add(binBox[b]);
                r += binCount[b];
                rightArea[b] = right.area();
                rightCount[b] = r;
            }
            Box left;
            int l = 0;
            double bestCost = INFINITY;
            int bestSplit = -1;
            for (int b = 0; b < BINS - 1; b++) {
                left.add(binBox[b]);
                l += binCount[b];
                if (l == 0 || rightCount[b + 1] == 0)
                    continue;
                double cost = l * left.area() + rightCount[b + 1] * rightArea[b + 1];
                if (cost < bestCost) {
                    bestCost = cost;
                    bestSplit = b;
                }
            }
            // Costs in triangle tests, areas standing for the chance that a
            // ray meets a box: a split also costs the visit of one node.
            bool leafCheaper = count <= MAX_LEAF && !(bestCost + TRAVERSAL_COST * box.area() < count * box.area());
            if (bestSplit >= 0 && !leafCheaper) {
                // Those of the bins up to bestSplit to the front.
                int front = task.m_iBegin, back = task.m_iEnd - 1;
                while (front <= back) {
                    if (binOf(order[front]) <= bestSplit) {
                        front++;
                    } else {
                        int32_t swap = order[front];
                        order[front] = order[back];
                        order[back] = swap;
                        back--;
                    }
                }
                middle = front;
            } else if (bestSplit < 0) {
                middle = task.m_iBegin + count / 2;
            }
        } else if (count > MAX_LEAF) {
            // Centres that coincide, or deep down: halves of the range.
            middle = task.m_iBegin + count / 2;
        }
        Node &node = m_oNodes[task.m_iNode];
        if (middle <= task.m_iBegin || middle >= task.m_iEnd) {
            node.m_iFirst = task.m_iBegin;
            node.m_iCount = count;
            continue;
        }
        int children = m_oNodes.m_iCount;
        node.m_iFirst = children;
        node.m_iCount = 0;
        m_oNodes.resize(children + 2);
        tasks.append(Task{children, task.m_iBegin, middle, task.m_iDepth + 1});
        tasks.append(Task{children + 1, middle, task.m_iEnd, task.m_iDepth + 1});
    }
    delete[] boxes;
    delete[] centres;
}

void MDL_PickTree::refit(const MTH_Vector3D *positions, int positionCount, const uint32_t *triangles)
{
    // Of the finite triangles only: a leaf that holds every point says
    // nothing of the rounding its other triangles show.
    Box all;
    // Children stand after their parents: from the back, every child is
    // done before its parent.
    for (int i = m_oNodes.m_iCount - 1; i >= 0; i--) {
        Node &node = m_oNodes[i];
        Box box;
        if (node.m_iCount > 0) {
            for (int j = node.m_iFirst; j < node.m_iFirst + node.m_iCount; j++) {
                Box b;
                if (triangleBox(positions, positionCount, triangles + 3 * static_cast<int64_t>(m_oOrder[j]), b.m_afMin,
                                b.m_afMax)) {
                    box.add(b);
                    all.add(b);
                } else {
                    // A corner went to infinity (or NaN), or the triangle
                    // became a sliver: the leaf holds every point.
                    for (int k = 0; k < 3; k++) {
                        box.m_afMin[k] = -INFINITY;
                        box.m_afMax[k] = INFINITY;
                    }
                }
            }
        } else {
            for (int c = 0; c < 2; c++) {
                const Node &child = m_oNodes[node.m_iFirst + c];
                for (int k = 0; k < 3; k++) {
                    box.m_afMin[k] = std::fmin(box.m_afMin[k], static_cast<double>(child.m_afMin[k]));
                    box.m_afMax[k] = std::fmax(box.m_afMax[k], static_cast<double>(child.m_afMax[k]));
                }
            }
        }
        store(node, box);
    }
    m_fMagnitude = magnitude(all);
}

bool MDL_PickTree::pick(const MTH_Vector3D *positions, int positionCount, const uint32_t *triangles,
                        const MTH_Vector3D &origin, const MTH_Vector3D &direction, bool doubleSided, double &t,
                        int &triangle) const
{
    if (m_iTriangleCount == 0 || triangles == nullptr)
        return false;
    Best best;
    best.m_fT = t;

    Ray ray;
    ray.m_oOrigin = origin;
    const double o[3] = {origin.m_fX, origin.m_fY, origin.m_fZ};
    const double d[3] = {direction.m_fX, direction.m_fY, direction.m_fZ};
    bool usable = true;
    double reach = m_fMagnitude;
    for (int k = 0; k < 3; k++) {
        ray.m_afOrigin[k] = o[k];
        ray.m_abFlat[k] = d[k] == 0;
        ray.m_afInverse[k] = ray.m_abFlat[k] ? 0 : 1 / d[k];
        usable = usable && std::isfinite(o[k]) && std::isfinite(d[k]) && std::isfinite(ray.m_afInverse[k]);
        reach = std::fmax(reach, std::fabs(o[k]));
    }
    ray.m_fPad = PAD * reach;
    if (!usable || !std::isfinite(ray.m_fPad)) {
        // A ray the boxes cannot be trusted with (not finite, or so short
        // on an axis that its inverse overflows): every triangle.
        for (int i = 0; i < m_iTriangleCount; i++)
            best.test(positions, positionCount, triangles, i, origin, direction, doubleSided);
    } else {
        for (int j = 0; j < m_oUnbounded.m_iCount; j++)
            best.test(positions, positionCount, triangles, m_oUnbounded.m_pData[j], origin, direction, doubleSided);
        // Nodes still to visit, with where the ray enters them: one that
        // the ray enters beyond a hit found meanwhile is passed over.
        int stack[STACK_SIZE];
        double entries[STACK_SIZE];
        int top = 0;
        if (m_oNodes.m_iCount > 0 && enters(ray, m_oNodes.m_pData[0], best.m_fT, entries[0]))
            stack[top++] = 0;
        while (top > 0) {
            top--;
            if (entries[top] > best.m_fT)
                continue;
            const Node &node = m_oNodes.m_pData[stack[top]];
            if (node.m_iCount > 0) {
                for (int j = node.m_iFirst; j < node.m_iFirst + node.m_iCount; j++)
                    best.test(positions, positionCount, triangles, m_oOrder.m_pData[j], origin, direction, doubleSided);
                continue;
            }
            // Both children that the ray meets before the best hit, the
            // nearer one on top.
            double e0 = 0, e1 = 0;
            bool in0 = enters(ray, m_oNodes.m_pData[node.m_iFirst], best.m_fT, e0);
            bool in1 = enters(ray, m_oNodes.m_pData[node.m_iFirst + 1], best.m_fT, e1);
            if (in0 && in1 && e1 < e0) {
                stack[top] = node.m_iFirst;
                entries[top++] = e0;
                stack[top] = node.m_iFirst + 1;
                entries[top++] = e1;
            } else {
                if (in1) {
                    stack[top] = node.m_iFirst + 1;
                    entries[top++] = e1;
                }
                if (in0) {
                    stack[top] = node.m_iFirst;
                    entries[top++] = e0;
                }
            }
        }
    }
    if (best.m_iTriangle < 0)
        return false;
    t = best.m_fT;
    triangle = best.m_iTriangle;
    return true;
}

const MDL_PickTree *MDL_PickCache::tree(const MTH_Vector3D *positions, int positionCount, const uint32_t *triangles,
                                        int triangleCount, uint32_t version)
{
    if (m_poTree == nullptr || positions != m_poPositions || positionCount != m_iPositionCount ||
        triangles != m_puiTriangles || triangleCount != m_iTriangleCount) {
        if (m_poTree == nullptr)
            m_poTree = new MDL_PickTree();
        m_poTree->build(positions, positionCount, triangles, triangleCount);
    } else if (version != m_uiVersion) {
        m_poTree->refit(positions, positionCount, triangles);
    }
    m_poPositions = positions;
    m_iPositionCount = positionCount;
    m_puiTriangles = triangles;
    m_iTriangleCount = triangleCount;
    m_uiVersion = version;
    return m_poTree;
}

void MDL_PickCache::clear()
{
    delete m_poTree;
    m_poTree = nullptr;
    m_poPositions = nullptr;
    m_puiTriangles = nullptr;
    m_iPositionCount = m_iTriangleCount = 0;
}
