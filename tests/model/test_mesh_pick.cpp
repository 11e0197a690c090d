#include <gtest/gtest.h>

#include <cfloat>
#include <string>

#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

typedef MTH_Vector3D V;

struct PickCase {
    const char *what;
    V from, to;
    double t0;
    bool hit;
    double t;
    int triangle;
};

void runPicks(MDL_Mesh &mesh, const PickCase *cases, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        const PickCase &c = cases[i];
        SCOPED_TRACE(c.what);
        double t = c.t0;
        int triangle = -1;
        EXPECT_EQ(mesh.pick(c.from, c.to, t, triangle), c.hit);
        EXPECT_EQ(t, c.t);
        EXPECT_EQ(triangle, c.triangle);
    }
}

// Cube of half edge 1: triangles 2f and 2f + 1 form face f (-x, +x, -y, +y,
// -z, +z); each face's first triangle holds its second corner, the second
// its fourth (see TEST_cubeShape).
const PickCase CUBE_CASES[] = {
    {"+z face, first triangle", V(0.5, -0.25, 5), V(0.5, -0.25, -5), 1.0, true, 0.4, 10},
    {"+z face, second triangle", V(-0.5, 0.25, 5), V(-0.5, 0.25, -5), 1.0, true, 0.4, 11},
    {"+z face on its diagonal: the first of equal hits", V(0, 0, 5), V(0, 0, -5), 1.0, true, 0.4, 10},
    {"+x face", V(5, 0.25, 0.5), V(-5, 0.25, 0.5), 1.0, true, 0.4, 3},
    {"-y face", V(0, -3, 0.5), V(0, 1, 0.5), 1.0, true, 0.5, 5},
    {"-z face from below", V(0.25, 0.5, -3), V(0.25, 0.5, 1), 1.0, true, 0.5, 8},
    {"grazing the top: -x face at its edge", V(-5, 0.5, 1), V(5, 0.5, 1), 1.0, true, 0.4, 0},
    {"beside the cube: the box misses", V(3, 3, 5), V(3, 3, -5), 1.0, false, 1.0, -1},
    {"from inside: only back faces ahead", V(0.5, -0.25, 0), V(0.5, -0.25, 4), 1.0, false, 1.0, -1},
    {"pointing away", V(0.5, -0.25, 5), V(0.5, -0.25, 10), 1.0, false, 1.0, -1},
    {"a nearer hit is already known", V(0.5, -0.25, 5), V(0.5, -0.25, -5), 0.3, false, 0.3, -1},
    {"segment ends before the cube", V(0.5, -0.25, 5), V(0.5, -0.25, 3), 1.0, false, 1.0, -1},
    {"the same ray, unbounded", V(0.5, -0.25, 5), V(0.5, -0.25, 3), DBL_MAX, true, 2.0, 10},
    {"zero-length ray", V(0.5, -0.25, 5), V(0.5, -0.25, 5), DBL_MAX, false, DBL_MAX, -1},
};

TEST(MeshPick, CubeHitsAndMisses)
{
    for (bool box : {true, false}) {
        SCOPED_TRACE(box ? "box from the file" : "box from the positions");
        TEST_MeshShape shape = TEST_cubeShape("cube");
        shape.m_bWriteBox = box;
        MDL_MeshData data;
        ASSERT_TRUE(TEST_readMeshData(shape, data));
        MDL_Mesh mesh;
        mesh.setMeshData(&data);
        runPicks(mesh, CUBE_CASES, sizeof CUBE_CASES / sizeof CUBE_CASES[0]);
    }
}

TEST(MeshPick, DoubleSidedCubeHitsFromInside)
{
    TEST_MeshShape shape = TEST_cubeShape("cube");
    shape.m_bDoubleSided = true;
    MDL_MeshData data;
    ASSERT_TRUE(TEST_readMeshData(shape, data));
    MDL_Mesh mesh;
    mesh.setMeshData(&data);
    const PickCase cases[] = {
        {"+z face from behind", V(0.5, -0.25, 0), V(0.5, -0.25, 4), 1.0, true, 0.25, 10},
        {"outside still hits the near face first", V(0.5, -0.25, 5), V(0.5, -0.25, -5), 1.0, true, 0.4, 10},
    };
    runPicks(mesh, cases, 2);
}

TEST(MeshPick, FlatPlaneWithAFlatBox)
{
    for (bool doubleSided : {false, true}) {
        SCOPED_TRACE(doubleSided ? "double-sided" : "single-sided");
        TEST_MeshShape shape = TEST_planeShape("plane", 1.0, 1);
        shape.m_bDoubleSided = doubleSided;
        MDL_MeshData data;
        ASSERT_TRUE(TEST_readMeshData(shape, data));
        ASSERT_EQ(data.m_oMin.m_fZ, data.m_oMax.m_fZ);
        MDL_Mesh mesh;
        mesh.setMeshData(&data);
        const PickCase cases[] = {
            {"from above", V(0.3, 0.2, 1), V(0.3, 0.2, -1), 1.0, true, 0.5, 0},
            {"from above, second triangle", V(-0.3, 0.2, 1), V(-0.3, 0.2, -1), 1.0, true, 0.5, 1},
            {"from below", V(0.3, 0.2, -1), V(0.3, 0.2, 1), 1.0, doubleSided, doubleSided ? 0.5 : 1.0,
             doubleSided ? 0 : -1},
            {"in the plane", V(-5, 0.2, 0), V(5, 0.2, 0), 1.0, false, 1.0, -1},
        };
        runPicks(mesh, cases, 4);
    }
}

TEST(MeshPick, DegenerateTrianglesNeverHit)
{
    TEST_MeshShape s;
    s.m_sName = "degenerate";
    s.m_aoPositions = {{0, 0, 0}, {0, 0, 0}, {1, 1, 0}, {2, 2, 0}, {-1, -1, 1}, {1, -1, 1}};
    s.m_aiTriangles = {0, 1, 2, 0, 2, 3, 4, 5, 4};
    MDL_MeshData data;
    ASSERT_TRUE(TEST_readMeshData(s, data));
    MDL_Mesh mesh;
    mesh.setMeshData(&data);
    double t = DBL_MAX;
    int triangle = -1;
    EXPECT_FALSE(mesh.pick(V(0.5, 0.5, 5), V(0.5, 0.5, -5), t, triangle));
    EXPECT_FALSE(mesh.pick(V(1, 1, 5), V(1, 1, -5), t, triangle));
    EXPECT_EQ(t, DBL_MAX);
}

TEST(MeshPick, RayTriangleSidesAndParameter)
{
    const V a(0, 0, 0), b(1, 0, 0), c(0, 1, 0); // front faces +z
    MDL_MeshData data;
    MDL_Mesh mesh;
    mesh.setMeshData(&data);
    struct Case {
        const char *what;
        V origin, direction;
        bool doubleSided, anySide;
        bool hit;
        double t;
    };
    const Case cases[] = {
        {"front", V(0.25, 0.25, 2), V(0, 0, -1), false, false, true, 2.0},
        {"back, single-sided", V(0.25, 0.25, -2), V(0, 0, 1), false, false, false, 10.0},
        {"back, double-sided", V(0.25, 0.25, -2), V(0, 0, 1), true, false, true, 2.0},
        {"behind the origin", V(0.25, 0.25, -2), V(0, 0, -1), false, false, false, 10.0},
        {"behind the origin, any side", V(0.25, 0.25, -2), V(0, 0, -1), false, true, true, -2.0},
        {"corner counts", V(1, 0, 1), V(0, 0, -1), false, false, true, 1.0},
        {"just outside the hypotenuse", V(0.5, 0.5000001, 1), V(0, 0, -1), false, false, false, 10.0},
        {"parallel", V(0.25, 0.25, 1), V(1, 0, 0), true, true, false, 10.0},
        {"zero direction", V(0.25, 0.25, 1), V(0, 0, 0), true, true, false, 10.0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        data.m_bDoubleSided = k.doubleSided;
        double t = 10.0;
        EXPECT_EQ(MDL_intersectRayTriangle(&mesh, k.origin, k.direction, a, b, c, t, k.anySide), k.hit);
        EXPECT_EQ(t, k.t);
    }
    double t = 10.0;
    EXPECT_FALSE(MDL_intersectRayTriangle(nullptr, V(0.25, 0.25, -2), V(0, 0, 1), a, b, c, t, false));
}

} // namespace
