// The sorting tree of transparent triangles, without OpenGL: back-to-front
// order, splits, coplanar triangles, and trees that are deep or made of
// triangles that are no triangles at all.
#include <gtest/gtest.h>

#include <pthread.h>

#include <cmath>
#include <random>
#include <vector>

#include "view/opengl/VIEW_TransparencyBSP.h"

namespace {

// A view-space triangle with its plane normal turned away from the eye, as
// the renderer inserts it; the material pointer stands for a tag.
VIEW_TransparentTriangle triangle(const MTH_Vector3D &a, const MTH_Vector3D &b, const MTH_Vector3D &c, int tag = 0)
{
    VIEW_TransparentTriangle t = {};
    t.m_aoPositions[0] = a;
    t.m_aoPositions[1] = b;
    t.m_aoPositions[2] = c;
    for (int i = 0; i < 3; i++) {
        t.m_aoNormals[i] = MTH_Vector3D(0, 0, 1);
        t.m_aoUVs[i] = MTH_Vector2D(i, tag);
        t.m_aoColors[i] = MTH_Vector4D(0, 0, 0, -1);
    }
    MTH_Vector3D n = (b - a).cross(c - a);
    if (!(a.dot(b.cross(c)) > 0))
        n = -n;
    n.normalize();
    t.m_oPlaneNormal = n;
    t.m_poMaterial = reinterpret_cast<MDL_Material *>(static_cast<uintptr_t>(tag + 1) * 8);
    return t;
}

// A triangle facing the eye in the plane z = depth around (x, y).
VIEW_TransparentTriangle facing(double x, double y, double depth, int tag)
{
    return triangle(MTH_Vector3D(x - 1, y - 1, depth), MTH_Vector3D(x + 1, y - 1, depth), MTH_Vector3D(x, y + 1, depth),
                    tag);
}

// The tags of the output triangles in order.
std::vector<int> tags(const VIEW_TransparencyBSP &bsp)
{
    std::vector<int> out;
    for (int i = 0; i < bsp.m_oMaterials.m_iCount; i++)
        out.push_back(static_cast<int>(reinterpret_cast<uintptr_t>(bsp.m_oMaterials[i]) / 8) - 1);
    return out;
}

// The depth of output triangle i (the mean z of its corners).
double depthOf(const VIEW_TransparencyBSP &bsp, int i)
{
    return (bsp.m_oPositions[3 * i].m_fZ + bsp.m_oPositions[3 * i + 1].m_fZ + bsp.m_oPositions[3 * i + 2].m_fZ) / 3;
}

TEST(TransparencyBSP, OneTriangleComesOutAsItWent)
{
    VIEW_TransparencyBSP bsp;
    VIEW_TransparentTriangle t = facing(0.5, 0.25, -3, 4);
    t.m_aoColors[1] = MTH_Vector4D(0.1, 0.2, 0.3, 0.4);
    bsp.insert(t);
    bsp.buildArrays();
    ASSERT_EQ(1, bsp.m_oMaterials.m_iCount);
    ASSERT_EQ(3, bsp.m_oPositions.m_iCount);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(t.m_aoPositions[i], bsp.m_oPositions[i]);
        EXPECT_EQ(t.m_aoNormals[i], bsp.m_oNormals[i]);
        EXPECT_EQ(t.m_aoUVs[i].m_fX, bsp.m_oUVs[i].m_fX);
        EXPECT_EQ(t.m_aoColors[i].m_fW, bsp.m_oColors[i].m_fW);
    }
    // A pass that inserts nothing draws nothing.
    bsp.clear();
    bsp.buildArrays();
    EXPECT_EQ(0, bsp.m_oMaterials.m_iCount);
    EXPECT_EQ(0, bsp.m_oPositions.m_iCount);
}

TEST(TransparencyBSP, FarthestFirstWhateverTheInsertionOrder)
{
    const double depths[3] = {-2, -6, -4};
    const int orders[][3] = {{0, 1, 2}, {1, 0, 2}, {2, 1, 0}, {1, 2, 0}};
    for (const auto &order : orders) {
        VIEW_TransparencyBSP bsp;
        for (int i : order)
            bsp.insert(facing(0, 0, depths[i], i));
        bsp.buildArrays();
        EXPECT_EQ(std::vector<int>({1, 2, 0}), tags(bsp)) << order[0] << order[1] << order[2];
    }
}

TEST(TransparencyBSP, TrianglesCrossingAPlaneAreSplit)
{
    // A node in z = -4 facing the eye, and a triangle standing across it:
    // with one corner in the plane it becomes two triangles, with none
    // three; the pieces beyond the plane come out before the node, those
    // in front after it, and together they cover the triangle.
    struct Case {
        const char *name;
        VIEW_TransparentTriangle crossing;
        int pieces, beyond;
    } cases[] = {
        {"one corner in the plane", triangle(MTH_Vector3D(0, 0, -4), MTH_Vector3D(1, 0, -2), MTH_Vector3D(1, 1, -6), 1),
         2, 1},
        {"a corner alone beyond", triangle(MTH_Vector3D(0, 0, -3), MTH_Vector3D(1, 0, -3), MTH_Vector3D(0, 1, -5), 1),
         3, 1},
        {"a corner alone in front", triangle(MTH_Vector3D(0, 0, -5), MTH_Vector3D(1, 0, -5), MTH_Vector3D(0, 1, -2), 1),
         3, 2},
    };
    for (const Case &c : cases) {
        VIEW_TransparencyBSP bsp;
        bsp.insert(facing(0, 0, -4, 0));
        bsp.insert(c.crossing);
        bsp.buildArrays();
        std::vector<int> order = tags(bsp);
        ASSERT_EQ(static_cast<size_t>(1 + c.pieces), order.size()) << c.name;
        EXPECT_EQ(0, order[c.beyond]) << c.name;
        double area = 0;
        for (int i = 0; i < static_cast<int>(order.size()); i++) {
            if (order[i] != 1)
                continue;
            bool beyond = i < c.beyond;
            for (int k = 0; k < 3; k++) {
                double z = bsp.m_oPositions[3 * i + k].m_fZ;
                EXPECT_TRUE(beyond ? z <= -4 + 1e-9 : z >= -4 - 1e-9) << c.name << " piece " << i;
            }
            const MTH_Vector3D &a = bsp.m_oPositions[3 * i], &b = bsp.m_oPositions[3 * i + 1],
                               &d = bsp.m_oPositions[3 * i + 2];
            area += (b - a).cross(d - a).length() / 2;
            // Pieces keep the winding of the triangle.
            const MTH_Vector3D *p = c.crossing.m_aoPositions;
            EXPECT_GT((b - a).cross(d - a).dot((p[1] - p[0]).cross(p[2] - p[0])), 0) << c.name;
        }
        const MTH_Vector3D *p = c.crossing.m_aoPositions;
        EXPECT_NEAR((p[1] - p[0]).cross(p[2] - p[0]).length() / 2, area, 1e-9) << c.name;
    }
}

TEST(TransparencyBSP, SplitCornersTakeTheirShareOfEachAttribute)
{
    // The cut of the edge from (0, 0, -2) to (0, 0, -6) by z = -4 lies
    // half way: its normal, texture coordinate and colour are the means.
    VIEW_TransparencyBSP bsp;
    bsp.insert(facing(0, 0, -4, 0));
    VIEW_TransparentTriangle t = triangle(MTH_Vector3D(0, 0, -2), MTH_Vector3D(0, 0, -6), MTH_Vector3D(1, 0, -4), 1);
    t.m_aoNormals[0] = MTH_Vector3D(1, 0, 0);
    t.m_aoNormals[1] = MTH_Vector3D(0, 1, 0);
    t.m_aoUVs[0] = MTH_Vector2D(0, 0);
    t.m_aoUVs[1] = MTH_Vector2D(1, 1);
    t.m_aoColors[0] = MTH_Vector4D(1, 0, 0, 1);
    t.m_aoColors[1] = MTH_Vector4D(0, 0, 1, 0);
    bsp.insert(t);
    bsp.buildArrays();
    bool found = false;
    for (int i = 0; i < bsp.m_oPositions.m_iCount; i++) {
        if (bsp.m_oPositions[i] != MTH_Vector3D(0, 0, -4))
            continue;
        found = true;
        EXPECT_EQ(MTH_Vector3D(0.5, 0.5, 0), bsp.m_oNormals[i]);
        EXPECT_EQ(0.5, bsp.m_oUVs[i].m_fX);
        EXPECT_EQ(0.5, bsp.m_oColors[i].m_fX);
        EXPECT_EQ(0.5, bsp.m_oColors[i].m_fZ);
        EXPECT_EQ(0.5, bsp.m_oColors[i].m_fW);
    }
    EXPECT_TRUE(found);
}

TEST(TransparencyBSP, CoplanarTrianglesFollowTheirNodeNewestFirst)
{
    VIEW_TransparencyBSP bsp;
    for (int i = 0; i < 4; i++)
        bsp.insert(facing(3.0 * i, 0, -4, i));
    bsp.insert(facing(0, 0, -8, 9));
    bsp.buildArrays();
    EXPECT_EQ(std::vector<int>({9, 0, 3, 2, 1}), tags(bsp));
}

// Inserts n parallel triangles nearest first, a chain n deep, and walks it.
void *insertChain(void *argument)
{
    VIEW_TransparencyBSP &bsp = *static_cast<VIEW_TransparencyBSP *>(argument);
    for (int i = 0; i < 6000; i++)
        bsp.insert(facing(0, 0, -1 - 0.001 * i, 0));
    bsp.buildArrays();
    return nullptr;
}

TEST(TransparencyBSP, DeepTreesCostNoStack)
{
    // A chain 6,000 deep is inserted and walked on a thread with a stack
    // of 128 KiB, a few bytes per level at most: the work waits in arrays,
    // not on the call stack. It comes out farthest first, and the storage
    // is kept for the next pass.
    VIEW_TransparencyBSP bsp;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    ASSERT_EQ(0, pthread_attr_setstacksize(&attributes, 128 * 1024));
    pthread_t thread;
    ASSERT_EQ(0, pthread_create(&thread, &attributes, insertChain, &bsp));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    ASSERT_EQ(6000, bsp.m_oMaterials.m_iCount);
    for (int i = 1; i < 6000; i++)
        ASSERT_LT(depthOf(bsp, i - 1), depthOf(bsp, i)) << i;
    int capacity = bsp.m_oNodes.m_iCapacity;
    bsp.clear();
    EXPECT_EQ(0, bsp.m_oNodes.m_iCount);
    EXPECT_EQ(capacity, bsp.m_oNodes.m_iCapacity);
}

TEST(TransparencyBSP, SoupsOfBrokenTrianglesEnd)
{
    // Triangles crossing each other at random, with repeated, collapsed
    // (all three corners the same, or on one line), huge and NaN corners
    // among them: every insertion ends, every node comes out once, and the
    // tree stays within its budget of splits.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(-1, 1);
    auto point = [&]() { return MTH_Vector3D(unit(random), unit(random), -3 + unit(random)); };
    VIEW_TransparencyBSP bsp;
    const int n = 3000;
    for (int i = 0; i < n; i++) {
        MTH_Vector3D a = point(), b = point(), c = point();
        switch (i % 6) {
        case 1:
            b = c = a;
            break;
        case 2:
            c = a + (b - a) * 0.5;
            break;
        case 3:
            a = a * 1e12;
            break;
        case 4:
            b.m_fX = NAN;
            break;
        default:
            break;
        }
        bsp.insert(triangle(a, b, c, i % 5));
        if (i % 6 == 5)
            bsp.insert(triangle(a, b, c, i % 5)); // the same again
    }
    EXPECT_LE(bsp.m_oNodes.m_iCount, VIEW_TransparencyBSP::kiNodeAllowance +
                                         VIEW_TransparencyBSP::kiMaxNodesPerTriangle * bsp.m_iInserted + 3);
    EXPECT_GT(bsp.m_oNodes.m_iCount, bsp.m_iInserted); // some were split
    bsp.buildArrays();
    EXPECT_EQ(bsp.m_oNodes.m_iCount, bsp.m_oMaterials.m_iCount);
    EXPECT_EQ(3 * bsp.m_oNodes.m_iCount, bsp.m_oPositions.m_iCount);
}

} // namespace
