#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_PickTree.h"
#include "model/MDL_VertexGroup.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

typedef MTH_Vector3D V;

// A small deterministic generator.
struct Random {
    uint32_t m_uiSeed;
    explicit Random(uint32_t seed) : m_uiSeed(seed) {}
    double next()
    {
        m_uiSeed = m_uiSeed * 1664525u + 1013904223u;
        return (m_uiSeed >> 8) / static_cast<double>(1u << 24);
    }
    double between(double a, double b) { return a + (b - a) * next(); }
    int below(int n) { return static_cast<int>(next() * n) % n; }
};

// Mesh data over the given positions and triangles.
void fill(MDL_MeshData &d, const std::vector<V> &positions, const std::vector<uint32_t> &triangles)
{
    d.clear();
    d.m_iNumVertices = static_cast<int32_t>(positions.size());
    d.m_poPositions = static_cast<V *>(malloc(sizeof(V) * positions.size()));
    memcpy(static_cast<void *>(d.m_poPositions), positions.data(), sizeof(V) * positions.size());
    d.m_iNumTriangles = static_cast<int32_t>(triangles.size() / 3);
    d.m_puiTriangles = static_cast<uint32_t *>(malloc(sizeof(uint32_t) * triangles.size()));
    memcpy(d.m_puiTriangles, triangles.data(), sizeof(uint32_t) * triangles.size());
    d.m_poFaces = static_cast<MDL_Face *>(calloc(triangles.size() / 3, sizeof(MDL_Face)));
    d.computeBoundingBox(d.m_oMin, d.m_oMax);
    d.computeNeighbours();
    d.computeFaceNormals();
}

// A grid of unit squares in z = 0 (two triangles each, the diagonal shared),
// duplicated at z = 0 with the other winding, plus a cloud of random
// triangles, some of them copies of grid triangles: exact ties on shared
// edges, corners and duplicates.
void makeScene(MDL_MeshData &d, Random &random, int grid, int cloud)
{
    std::vector<V> p;
    std::vector<uint32_t> t;
    for (int j = 0; j <= grid; j++)
        for (int i = 0; i <= grid; i++)
            p.push_back(V(i, j, 0));
    const uint32_t row = static_cast<uint32_t>(grid + 1);
    for (int j = 0; j < grid; j++)
        for (int i = 0; i < grid; i++) {
            uint32_t a = static_cast<uint32_t>(j) * row + static_cast<uint32_t>(i), b = a + 1, c = a + row + 1,
                     e = a + row;
            const uint32_t quad[6] = {a, b, c, a, c, e};
            t.insert(t.end(), quad, quad + 6);
        }
    size_t gridTriangles = t.size();
    for (size_t k = 0; k < gridTriangles; k += 3 * 7) {
        const uint32_t flipped[3] = {t[k], t[k + 2], t[k + 1]};
        t.insert(t.end(), flipped, flipped + 3);
    }
    // Slivers across the grid, flat and steep, and triangles without area.
    for (int k = 0; k < 4; k++) {
        double y = 0.5 + k * grid / 4.0;
        const V sliver[3] = {V(-1, y, 0.25 * k), V(grid + 1, y, 0.25 * k), V(grid + 1, y + 1e-3, 0.25 * k + 1e-3 * k)};
        for (const V &corner : sliver) {
            t.push_back(static_cast<uint32_t>(p.size()));
            p.push_back(corner);
        }
        const uint32_t flat[3] = {t[0], t[0], t[1]};
        t.insert(t.end(), flat, flat + 3);
    }
    for (int k = 0; k < cloud; k++) {
        if (k % 5 == 0) {
            size_t copy = 3 * static_cast<size_t>(random.below(static_cast<int>(gridTriangles / 3)));
            const uint32_t same[3] = {t[copy], t[copy + 1], t[copy + 2]};
            t.insert(t.end(), same, same + 3);
            continue;
        }
        V centre(random.between(-1, grid + 1), random.between(-1, grid + 1), random.between(-3, 3));
        for (int c = 0; c < 3; c++) {
            t.push_back(static_cast<uint32_t>(p.size()));
            p.push_back(centre + V(random.between(-1, 1), random.between(-1, 1), random.between(-1, 1)));
        }
    }
    fill(d, p, t);
}

// A ray through the scene: random, through a grid point or along an edge,
// or along an axis.
void makeRay(Random &random, int grid, V &from, V &to)
{
    int kind = random.below(4);
    V target(random.between(-1, grid + 1), random.between(-1, grid + 1), random.between(-2, 2));
    if (kind == 1) // through a grid corner
        target = V(random.below(grid + 1), random.below(grid + 1), 0);
    else if (kind == 2) // through a point of a shared edge or diagonal
        target = V(random.below(grid) + 0.5, random.below(grid) + (random.below(2) ? 0.5 : 0.0), 0);
    if (kind == 3) {
        // Along an axis: two components of the direction are 0.
        int axis = random.below(3);
        V d;
        (axis == 0 ? d.m_fX : axis == 1 ? d.m_fY : d.m_fZ) = random.below(2) ? 1.0 : -1.0;
        from = target - d * (grid + 5.0);
        to = target + d * (grid + 5.0);
        return;
    }
    from = V(random.between(-5, grid + 5), random.between(-5, grid + 5), random.between(-8, 8));
    to = from + (target - from) * random.between(1.0, 3.0);
}

// The tree's answer equals the plain loop's for every ray and start value.
void expectSameAnswers(MDL_Mesh &mesh, Random &random, int grid, int rays)
{
    const double starts[] = {1.0, 0.5, DBL_MAX, INFINITY};
    int hits = 0;
    for (int r = 0; r < rays; r++) {
        V from, to;
        makeRay(random, grid, from, to);
        double start = starts[r % 4];
        double t = start, everyT = start;
        int triangle = -1, everyTriangle = -1;
        bool hit = mesh.pick(from, to, t, triangle);
        bool everyHit = mesh.pickEveryTriangle(from, to, everyT, everyTriangle);
        ASSERT_EQ(hit, everyHit) << "ray " << r;
        ASSERT_EQ(t, everyT) << "ray " << r;
        ASSERT_EQ(triangle, everyTriangle) << "ray " << r;
        hits += hit;
    }
    // The rays find something often enough to mean something.
    EXPECT_GT(hits, rays / 10);
}

} // namespace

TEST(PickTree, AnswersAsTestingEveryTriangle)
{
    for (bool doubleSided : {false, true}) {
        SCOPED_TRACE(doubleSided ? "double-sided" : "single-sided");
        Random random(doubleSided ? 7 : 3);
        MDL_MeshData data;
        makeScene(data, random, 12, 600);
        data.m_bDoubleSided = doubleSided;
        MDL_Mesh mesh;
        mesh.setMeshData(&data);
        expectSameAnswers(mesh, random, 12, 2500);
        const MDL_PickTree *tree = data.getPickTree();
        EXPECT_EQ(tree->getTriangleCount(), data.m_iNumTriangles);
        EXPECT_GT(tree->getNodeCount(), 1);
    }
}

TEST(PickTree, FollowsVertexEditsAndPositionsThatAreNotFinite)
{
    Random random(11);
    MDL_MeshData data;
    makeScene(data, random, 10, 300);
    MDL_Mesh mesh;
    mesh.setMeshData(&data);
    expectSameAnswers(mesh, random, 10, 500);
    const MDL_PickTree *built = data.getPickTree();

    // Moved vertices: the same tree, refitted; a vertex lifted far away
    // takes its triangles with it.
    for (int k = 0; k < 40; k++)
        mesh.setVertexPosition(random.below(data.m_iNumVertices),
                               V(random.between(-2, 12), random.between(-2, 12), random.between(-4, 4)));
    mesh.setVertexPosition(5, V(5, 5, 1e6));
    expectSameAnswers(mesh, random, 10, 1000);
    EXPECT_EQ(data.getPickTree(), built);

    // A position that is not finite, edited in and then built in.
    mesh.setVertexPosition(20, V(NAN, 0, 0));
    mesh.setVertexPosition(30, V(INFINITY, 1, 0));
    expectSameAnswers(mesh, random, 10, 1000);
    std::vector<V> positions(data.m_poPositions, data.m_poPositions + data.m_iNumVertices);
    std::vector<uint32_t> triangles(data.m_puiTriangles, data.m_puiTriangles + 3 * data.m_iNumTriangles);
    fill(data, positions, triangles);
    expectSameAnswers(mesh, random, 10, 1000);
}

TEST(PickTree, ARefitKeepsTheRoundingOfFarCorners)
{
    // A cube with one corner far out: its triangles' hits are rounded by
    // the far corner's size. After an edit that makes another corner not
    // finite, the refitted boxes must still be widened by that much.
    TEST_MeshShape shape = TEST_cubeShape("cube", 0.5);
    shape.m_iValueSize = 8;
    shape.m_aoPositions[4].m_fX = 7.7625904615035447e230;
    MDL_MeshData data;
    ASSERT_TRUE(TEST_readMeshData(shape, data));
    // As a file may give it: the box of the other corners.
    data.m_oMin = V(-0.5, -0.5, -0.5);
    data.m_oMax = V(0.5, 0.5, 0.5);
    MDL_Mesh mesh;
    mesh.setMeshData(&data);
    const V from(0, 0, 100), to(0, 0, -200);
    double t = 1, everyT = 1;
    int triangle = -1, everyTriangle = -1;
    mesh.pick(from, to, t, triangle);
    mesh.setVertexPosition(0, V(1e3, -1e3, 0.5));
    mesh.setVertexPosition(data.m_iNumVertices - 1, V(NAN, 0, 0));
    t = 1;
    // The plain loop finds a hit here (a rounded one: the corner is far).
    ASSERT_TRUE(mesh.pickEveryTriangle(from, to, everyT, everyTriangle));
    EXPECT_TRUE(mesh.pick(from, to, t, triangle));
    EXPECT_EQ(t, everyT);
    EXPECT_EQ(triangle, everyTriangle);
}

TEST(PickTree, CentresSpreadTooLittleOrTooMuchToSort)
{
    // Triangles facing -x, apart along x by the smallest doubles (their
    // centres' spread has no finite inverse), and from one end of the
    // doubles to the other: the tree is built all the same.
    for (double step : {1e-310, 1e307}) {
        SCOPED_TRACE(step);
        std::vector<V> p;
        std::vector<uint32_t> t;
        for (int k = -8; k < 8; k++) {
            for (const V &corner : {V(k * step, 0, 0), V(k * step, 0, 1), V(k * step, 1, 0)}) {
                t.push_back(static_cast<uint32_t>(p.size()));
                p.push_back(corner);
            }
        }
        MDL_MeshData data;
        fill(data, p, t);
        MDL_Mesh mesh;
        mesh.setMeshData(&data);
        double a = DBL_MAX, b = DBL_MAX;
        int ta = -1, tb = -1;
        const V from(-10, 0.25, 0.25), to(10, 0.25, 0.25);
        EXPECT_TRUE(mesh.pick(from, to, a, ta));
        EXPECT_EQ(mesh.pickEveryTriangle(from, to, b, tb), true);
        EXPECT_EQ(a, b);
        EXPECT_EQ(ta, tb);
    }
}

TEST(PickTree, RaysTheBoxesCannotBeTrustedWith)
{
    Random random(5);
    MDL_MeshData data;
    makeScene(data, random, 6, 100);
    MDL_PickTree tree;
    tree.build(data.m_poPositions, data.m_iNumVertices, data.m_puiTriangles, data.m_iNumTriangles);
    MDL_Mesh mesh;
    mesh.setMeshData(&data);
    // Origins and directions that are not finite, or so small along an axis
    // that their inverse overflows: the tree tests every triangle.
    const V origins[] = {V(2.5, 2.5, 5), V(NAN, 2.5, 5), V(2.5, INFINITY, 5)};
    const V directions[] = {V(1e-310, 0, -1), V(0, 0, -1), V(0, NAN, -1), V(0, 0, 0)};
    for (const V &o : origins)
        for (const V &d : directions) {
            double t = DBL_MAX, everyT = DBL_MAX;
            int triangle = -1, everyTriangle = -1;
            bool hit =
                tree.pick(data.m_poPositions, data.m_iNumVertices, data.m_puiTriangles, o, d, false, t, triangle);
            // The plain loop, without the mesh's box test in front.
            bool everyHit = false;
            for (int i = 0; i < data.m_iNumTriangles; i++) {
                const uint32_t *v = data.m_puiTriangles + 3 * i;
                if (MDL_intersectRayTriangle(&mesh, o, d, data.m_poPositions[v[0]], data.m_poPositions[v[1]],
                                             data.m_poPositions[v[2]], everyT, false)) {
                    everyTriangle = i;
                    everyHit = true;
                }
            }
            EXPECT_EQ(hit, everyHit);
            EXPECT_EQ(t, everyT);
            EXPECT_EQ(triangle, everyTriangle);
        }
    // An empty tree finds nothing.
    MDL_PickTree empty;
    empty.build(nullptr, 0, nullptr, 0);
    double t = 1;
    int triangle = -1;
    EXPECT_FALSE(empty.pick(nullptr, 0, nullptr, V(0, 0, 1), V(0, 0, -1), false, t, triangle));
}

TEST(PickTree, AnimatedMeshesPickTheirDeformedShape)
{
    // A row of quads bound to one bone: moving the bone moves the pick.
    MDL_MeshData data;
    std::vector<V> p;
    std::vector<uint32_t> t;
    for (int i = 0; i <= 20; i++) {
        p.push_back(V(i, 0, 0));
        p.push_back(V(i, 1, 0));
    }
    for (uint32_t i = 0; i < 20; i++) {
        const uint32_t quad[6] = {2 * i, 2 * i + 2, 2 * i + 3, 2 * i, 2 * i + 3, 2 * i + 1};
        t.insert(t.end(), quad, quad + 6);
    }
    fill(data, p, t);
    MDL_VertexGroup group;
    std::vector<int32_t> indices;
    std::vector<double> weights;
    for (int i = 0; i < data.m_iNumVertices; i++) {
        indices.push_back(i);
        weights.push_back(1);
    }
    ASSERT_TRUE(group.setEntries(data.m_iNumVertices, indices.data(), weights.data()));
    MDL_Object bone;
    MDL_AnimatedMesh source;
    source.setMeshData(&data);
    MDL_AnimatedMesh mesh(source);
    ASSERT_TRUE(mesh.setBindingCount(1));
    mesh.setBinding(0, &group, &bone);
    mesh.bindSkin();

    double t0 = 1;
    int triangle = -1;
    ASSERT_TRUE(mesh.pick(V(10.5, 0.5, 1), V(10.5, 0.5, -1), t0, triangle));
    EXPECT_EQ(t0, 0.5);
    bone.editGlobalPosition() = V(0, 0, 0.5);
    ASSERT_TRUE(mesh.deform(false));
    Random random(1);
    for (int r = 0; r < 300; r++) {
        V from(random.between(-1, 21), random.between(-1, 2), 3), to(random.between(-1, 21), random.between(-1, 2), -3);
        double a = 1, b = 1;
        int ta = -1, tb = -1;
        bool hit = mesh.pick(from, to, a, ta);
        ASSERT_EQ(hit, mesh.pickEveryTriangle(from, to, b, tb));
        ASSERT_EQ(a, b);
        ASSERT_EQ(ta, tb);
    }
    double t1 = 1;
    ASSERT_TRUE(mesh.pick(V(10.5, 0.5, 1), V(10.5, 0.5, -1), t1, triangle));
    EXPECT_EQ(t1, 0.25);
}
