#include <gtest/gtest.h>

#include <cfloat>
#include <memory>
#include <string>
#include <vector>

#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Bone.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_VertexGroup.h"
#include "tests/support/TEST_Log.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

typedef MTH_Vector3D V;

// Mesh data of exact doubles: positions, optional normals, triangles.
void makeData(MDL_MeshData &data, const std::vector<V> &positions, const std::vector<V> &normals,
              const std::vector<int64_t> &triangles)
{
    TEST_MeshShape shape;
    shape.m_sName = "skin";
    shape.m_aoPositions = positions;
    shape.m_aoNormals = normals;
    shape.m_aiTriangles = triangles;
    shape.m_iValueSize = 8;
    ASSERT_TRUE(TEST_readMeshData(shape, data));
}

std::unique_ptr<MDL_VertexGroup> group(const std::vector<int32_t> &indices, const std::vector<double> &weights)
{
    std::unique_ptr<MDL_VertexGroup> g(new MDL_VertexGroup());
    EXPECT_TRUE(g->setEntries(static_cast<int>(indices.size()), indices.data(), weights.data()));
    return g;
}

// A skin of one triangle whose corners are vertices 0..2, and a vertex 3 in
// no group. The template mesh is bound with its bones where the test puts
// them; copy() gives the scene-like copy that deforms.
struct Skin {
    MDL_MeshData data;
    MDL_AnimatedMesh templateMesh;
    MDL_Bone boneA, boneB;
    std::vector<std::unique_ptr<MDL_VertexGroup>> groups;

    Skin()
    {
        makeData(data, {V(0.5, 0.25, 0), V(1, 0, 0), V(0, 1, 0), V(7, 7, 7)},
                 {V(0, 0, 1), V(0, 0, 1), V(0, 0, 1), V(0, 0, 1)}, {0, 1, 2});
        templateMesh.setMeshData(&data);
    }
    void bind(const std::vector<std::pair<MDL_VertexGroup *, MDL_Object *>> &bindings)
    {
        ASSERT_TRUE(templateMesh.setBindingCount(static_cast<int>(bindings.size())));
        for (size_t i = 0; i < bindings.size(); i++)
            templateMesh.setBinding(static_cast<int>(i), bindings[i].first, bindings[i].second);
        templateMesh.bindSkin();
    }
    MDL_VertexGroup *add(const std::vector<int32_t> &indices, const std::vector<double> &weights)
    {
        groups.push_back(group(indices, weights));
        return groups.back().get();
    }
};

void expectV(const V &expected, const V &actual, const char *what)
{
    EXPECT_EQ(expected.m_fX, actual.m_fX) << what;
    EXPECT_EQ(expected.m_fY, actual.m_fY) << what;
    EXPECT_EQ(expected.m_fZ, actual.m_fZ) << what;
}

// Each vertex lands exactly where its bones carry it: weights are divided by
// the per-vertex sums once, at binding.
TEST(AnimatedMesh, DeformedVertexFollowsItsBonesExactly)
{
    struct Case {
        const char *what;
        V restA, restB;   // bone positions at binding
        V movedA, movedB; // bone positions when deformed
        double wA, wB;    // weights of vertex 0 as read (wB 0: not in group B)
        V meshPosition;   // the mesh's own placement
        V expected;       // vertex 0 after deformation, mesh coordinates
    };
    const Case cases[] = {
        {"one bone, weight 1, moved by (1, 0, 0)", V(), V(), V(1, 0, 0), V(), 1, 0, V(), V(1.5, 0.25, 0)},
        {"one bone with an unnormalised weight 2", V(), V(), V(1, 0, 0), V(), 2, 0, V(), V(1.5, 0.25, 0)},
        {"bone bound away from the origin", V(3, 0, 0), V(), V(4, 0, 0), V(), 1, 0, V(), V(1.5, 0.25, 0)},
        {"two bones, weights 0.5 each: halfway", V(), V(), V(2, 0, 0), V(0, 4, 0), 1, 1, V(), V(1.5, 2.25, 0)},
        {"weights 1 and 3 become 0.25 and 0.75", V(), V(), V(4, 0, 0), V(0, 8, 0), 1, 3, V(), V(1.5, 6.25, 0)},
        {"mesh placed away from the origin", V(10, 0, 0), V(), V(11, 0, 0), V(), 1, 0, V(10, 0, 0), V(1.5, 0.25, 0)},
        {"bones at rest: the rest shape", V(2, 2, 2), V(-1, 0, 0), V(2, 2, 2), V(-1, 0, 0), 1, 1, V(), V(0.5, 0.25, 0)},
    };
    for (const Case &c : cases) {
        Skin skin;
        skin.templateMesh.editGlobalPosition() = c.meshPosition;
        skin.boneA.editGlobalPosition() = c.restA;
        skin.boneB.editGlobalPosition() = c.restB;
        MDL_VertexGroup *a = skin.add({0, 1, 2}, {c.wA, 1, 1});
        MDL_VertexGroup *b = c.wB > 0 ? skin.add({0}, {c.wB}) : nullptr;
        if (b != nullptr)
            skin.bind({{a, &skin.boneA}, {b, &skin.boneB}});
        else
            skin.bind({{a, &skin.boneA}});
        MDL_AnimatedMesh mesh(skin.templateMesh);
        skin.boneA.editGlobalPosition() = c.movedA;
        skin.boneB.editGlobalPosition() = c.movedB;
        EXPECT_TRUE(mesh.deform(false)) << c.what;
        expectV(c.expected, mesh.vertexPosition(0), c.what);
        expectV(V(0, 0, 1), mesh.vertexNormal(0), c.what); // translations keep normals
    }
}

TEST(AnimatedMesh, RotatedBoneTurnsPositionsAndNormals)
{
    Skin skin;
    MDL_VertexGroup *a = skin.add({0, 1, 2}, {1, 1, 1});
    skin.bind({{a, &skin.boneA}});
    MDL_AnimatedMesh mesh(skin.templateMesh);
    // A quarter turn about z written exactly: x -> y, y -> -x.
    MTH_Matrix3x3 &basis = skin.boneA.editGlobalBasis();
    basis.setIdentity();
    basis.row(0) = V(0, 1, 0);
    basis.row(1) = V(-1, 0, 0);
    skin.boneA.editGlobalPosition() = V(0, 0, 2);
    EXPECT_TRUE(mesh.deform(false));
    expectV(V(-0.25, 0.5, 2), mesh.vertexPosition(0), "turned vertex");
    expectV(V(0, 1, 2), mesh.vertexPosition(1), "turned corner");
    expectV(V(0, 0, 1), mesh.vertexNormal(0), "normal along the axis");
}

// What the weights of each group are after binding: a table of bindings.
TEST(AnimatedMesh, WeightsAreNormalisedOnceAtTheirFirstBinding)
{
    struct Case {
        const char *what;
        // Groups (vertex 0 only, weight as read) and the bindings of two
        // meshes, as indices into the groups (-1: no second mesh).
        std::vector<double> weights;
        std::vector<int> firstMesh, secondMesh;
        std::vector<double> expected;
    };
    const Case cases[] = {
        {"one group", {2}, {0}, {}, {1}},
        {"two groups share a vertex", {1, 3}, {0, 1}, {}, {0.25, 0.75}},
        {"a zero sum keeps the weights", {0, 0}, {0, 1}, {}, {0, 0}},
        {"one group bound twice in one mesh counts once", {2}, {0, 0}, {}, {1}},
        {"a group bound again by a second mesh stays as it was", {4, 2}, {0}, {0, 1}, {1, 1}},
        {"two meshes with the same groups divide once", {1, 3}, {0, 1}, {0, 1}, {0.25, 0.75}},
    };
    for (const Case &c : cases) {
        Skin skin;
        std::vector<MDL_VertexGroup *> groups;
        for (double w : c.weights)
            groups.push_back(skin.add({0}, {w}));
        auto bindings = [&](const std::vector<int> &which) {
            std::vector<std::pair<MDL_VertexGroup *, MDL_Object *>> b;
            for (int g : which)
                b.push_back({groups[g], &skin.boneA});
            return b;
        };
        skin.bind(bindings(c.firstMesh));
        if (!c.secondMesh.empty()) {
            MDL_AnimatedMesh second;
            second.setMeshData(&skin.data);
            second.setBindingCount(static_cast<int>(c.secondMesh.size()));
            for (size_t i = 0; i < c.secondMesh.size(); i++)
                second.setBinding(static_cast<int>(i), groups[c.secondMesh[i]], &skin.boneB);
            second.bindSkin();
        }
        for (size_t g = 0; g < groups.size(); g++)
            EXPECT_EQ(c.expected[g], groups[g]->getWeight(0)) << c.what << ", group " << g;
    }
}

TEST(AnimatedMesh, EmptySlotsAndBadEntriesAreSkipped)
{
    Skin skin;
    // Entries outside the mesh (negative, past the end) around a real one;
    // the weight array is one short, so the last entry weighs 0.
    MDL_VertexGroup *odd = skin.add({-1, 0, 99, 1}, {1, 1, 1, 1});
    odd->m_iNumWeights = 3;
    MDL_VertexGroup *orphan = skin.add({2}, {1});
    skin.bind({{odd, &skin.boneA}, {nullptr, &skin.boneB}, {orphan, nullptr}});
    MDL_AnimatedMesh mesh(skin.templateMesh);
    skin.boneA.editGlobalPosition() = V(1, 0, 0);
    EXPECT_TRUE(mesh.deform(false));
    expectV(V(1.5, 0.25, 0), mesh.vertexPosition(0), "bound vertex");
    expectV(V(), mesh.vertexPosition(1), "weight missing: nothing added");
    expectV(V(), mesh.vertexPosition(2), "group without bone: origin");
    expectV(V(), mesh.vertexPosition(3), "vertex in no group: origin");
    expectV(V(), mesh.vertexPosition(-1), "index below the arrays");
    expectV(V(), mesh.vertexPosition(4), "index past the arrays");
    // A slot emptied later (its bone purged) is skipped as well.
    EXPECT_TRUE(mesh.forgetBone(&skin.boneA));
    EXPECT_FALSE(mesh.forgetBone(&skin.boneA));
    EXPECT_TRUE(mesh.deform(true));
    expectV(V(), mesh.vertexPosition(0), "bone forgotten");
}

// Each deformed array is cleared over its own length: a mesh without
// normals, and one with more normals than vertices.
TEST(AnimatedMesh, ArraysOfTheirOwnLengths)
{
    for (int normals : {0, 6}) {
        MDL_MeshData data;
        std::vector<V> n(static_cast<size_t>(normals), V(0, 0, 1));
        makeData(data, {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, n, {0, 1, 2});
        MDL_AnimatedMesh templateMesh;
        templateMesh.setMeshData(&data);
        MDL_Bone bone;
        std::unique_ptr<MDL_VertexGroup> g = group({0, 1, 2}, {1, 1, 1});
        templateMesh.setBindingCount(1);
        templateMesh.setBinding(0, g.get(), &bone);
        templateMesh.bindSkin();
        MDL_AnimatedMesh mesh(templateMesh);
        EXPECT_EQ(3, mesh.m_iNumDeformedVertices);
        EXPECT_EQ(normals, mesh.m_iNumDeformedNormals);
        bone.editGlobalPosition() = V(0, 0, 1);
        EXPECT_TRUE(mesh.deform(false));
        expectV(V(1, 0, 1), mesh.vertexPosition(1), "moved");
        expectV(normals > 0 ? V(0, 0, 1) : V(), mesh.vertexNormal(1), "normal of a vertex");
        expectV(V(), mesh.vertexNormal(5), "normal of no vertex");
    }
}

TEST(AnimatedMesh, DeformsOnlyWhenABoneMovedUnlessForced)
{
    Skin skin;
    MDL_VertexGroup *a = skin.add({0, 1, 2}, {1, 1, 1});
    skin.bind({{a, &skin.boneA}});
    MDL_AnimatedMesh mesh(skin.templateMesh);
    skin.boneA.m_bChanged = false;
    mesh.m_bChanged = false;
    EXPECT_FALSE(mesh.deform(false)); // no bone moved
    EXPECT_FALSE(mesh.m_bChanged);

    skin.boneA.editGlobalPosition() = V(1, 0, 0);
    mesh.setLocked(true);
    EXPECT_FALSE(mesh.deform(false)); // locked
    expectV(V(0.5, 0.25, 0), mesh.vertexPosition(0), "locked mesh keeps its shape");
    EXPECT_TRUE(mesh.deform(true)); // an explicit update
    EXPECT_TRUE(mesh.m_bChanged);
    expectV(V(1.5, 0.25, 0), mesh.vertexPosition(0), "forced");
}

TEST(AnimatedMesh, BoxAndFaceNormalsFollowTheDeformedVertices)
{
    Skin skin;
    MDL_VertexGroup *a = skin.add({0, 1, 2}, {1, 1, 1});
    MDL_VertexGroup *b = skin.add({1}, {1});
    skin.bind({{a, &skin.boneA}, {b, &skin.boneB}});
    MDL_AnimatedMesh mesh(skin.templateMesh);
    // Rest pose: the box of the grouped vertices; vertex 3, in no group,
    // stays out of it.
    EXPECT_TRUE(mesh.deform(true));
    expectV(V(0, 0, 0), mesh.boundingBoxMin(), "rest min");
    expectV(V(1, 1, 0), mesh.boundingBoxMax(), "rest max");
    // Vertex 1 is moved by half of B's move: (1, 0, 0) + 0.5 (2, 0, 0).
    skin.boneB.editGlobalPosition() = V(2, 0, 0);
    EXPECT_TRUE(mesh.deform(false));
    expectV(V(2, 0, 0), mesh.vertexPosition(1), "vertex 1");
    expectV(V(2, 1, 0), mesh.boundingBoxMax(), "max follows");
    // (P1 - P0) x (P2 - P0), unnormalised.
    expectV(V(0, 0, 1.5 * 0.75 - 0.25 * 0.5), mesh.faceNormals()[0].m_oNormal, "face normal");
    EXPECT_EQ(-1, mesh.faceNormals()[0].m_aiNeighbours[0]); // neighbours as copied

    // Nothing placed at all: the box is (0, 0, 0), not inverted.
    mesh.setBindingCount(0);
    EXPECT_TRUE(mesh.deform(true));
    expectV(V(), mesh.boundingBoxMin(), "empty min");
    expectV(V(), mesh.boundingBoxMax(), "empty max");
}

TEST(AnimatedMesh, TemplateAnswersFromItsMeshDataAndCopiesStartAtRest)
{
    Skin skin;
    MDL_VertexGroup *a = skin.add({0, 1, 2}, {1, 1, 1});
    skin.bind({{a, &skin.boneA}});
    EXPECT_FALSE(skin.templateMesh.hasDeformedData());
    expectV(V(7, 7, 7), skin.templateMesh.vertexPosition(3), "template vertex");
    EXPECT_EQ(skin.data.getFaces(), skin.templateMesh.faceNormals());
    expectV(skin.data.m_oMax, skin.templateMesh.boundingBoxMax(), "template box");

    skin.templateMesh.setLocked(true);
    MDL_AnimatedMesh mesh(skin.templateMesh);
    EXPECT_TRUE(mesh.hasDeformedData());
    EXPECT_TRUE(mesh.isLocked());
    EXPECT_EQ(a, mesh.getGroup(0));
    EXPECT_EQ(&skin.boneA, mesh.getBone(0));
    EXPECT_EQ(OBJECT_ANIMATED_MESH, mesh.getType());
    for (int i = 0; i < 4; i++)
        expectV(skin.data.m_poPositions[i], mesh.vertexPosition(i), "copied rest position");
    // Its own face records, and the mesh data's box: a copy that never
    // deforms (locked) is still found by picking.
    EXPECT_NE(skin.data.getFaces(), mesh.faceNormals());
    expectV(skin.data.m_oMin, mesh.boundingBoxMin(), "copy min");
    expectV(skin.data.m_oMax, mesh.boundingBoxMax(), "copy max");

    // The deformed arrays follow a change of mesh data.
    MDL_MeshData other;
    makeData(other, {V(0, 0, 0), V(2, 0, 0), V(0, 2, 0), V(2, 2, 0), V(3, 3, 3)}, {}, {0, 1, 2, 1, 3, 2});
    mesh.setMeshData(&other);
    ASSERT_NE(nullptr, mesh.faceNormals());
    EXPECT_EQ(2, mesh.m_iNumDeformedFaces);
    expectV(V(3, 3, 3), mesh.vertexPosition(4), "new data's rest shape");
}

TEST(AnimatedMesh, DominantBoneAtAPoint)
{
    Skin skin;
    MDL_VertexGroup *a = skin.add({0, 1}, {1, 1});
    MDL_VertexGroup *b = skin.add({2}, {1});
    skin.bind({{a, &skin.boneA}, {b, &skin.boneB}});
    EXPECT_EQ(&skin.boneA, skin.templateMesh.dominantBone(0, V(0.4, 0.3, 0.3)));
    EXPECT_EQ(&skin.boneB, skin.templateMesh.dominantBone(0, V(0.1, 0.1, 0.8)));
    EXPECT_EQ(&skin.boneA, skin.templateMesh.dominantBone(0, V(0.5, 0, 0.5))); // tie: first bone
    skin.boneA.m_bDeleted = true;
    EXPECT_EQ(&skin.boneB, skin.templateMesh.dominantBone(0, V(1, 0, 0))); // deleted bones do not count
    EXPECT_EQ(nullptr, skin.templateMesh.dominantBone(1, V(1, 0, 0)));     // no such triangle
    skin.boneA.m_bDeleted = false;
}

TEST(VertexGroup, ReadsIndicesAndWeights)
{
    const int64_t indices[] = {0, 3, -1};
    const double weights[] = {0.5, 0.25, 1};
    struct Case {
        const char *what;
        std::string children;
        bool ok;
        int vertices, weights;
        int32_t third;
        double second;
    };
    auto array = [](const char *name, int count, int size, const std::string &hex) {
        return std::string("<") + name + " count=\"" + std::to_string(count) + "\" size=\"" + std::to_string(size) +
               "\">" + hex + "</" + name + ">";
    };
    const std::string i2 = TEST_hexInts(indices, 3, 2), i4 = TEST_hexInts(indices, 3, 4);
    const std::string w4 = TEST_hexDoubles(weights, 3, 4), w8 = TEST_hexDoubles(weights, 3, 8);
    const Case cases[] = {
        {"16-bit indices, float weights", array("vertices", 3, 2, i2) + array("weights", 3, 4, w4), true, 3, 3, -1,
         0.25},
        {"32-bit indices, double weights", array("vertices", 3, 4, i4) + array("weights", 3, 8, w8), true, 3, 3, -1,
         0.25},
        {"no children", "", true, 0, 0, 0, 0},
        {"indices shorter than their count", array("vertices", 4, 2, i2) + array("weights", 3, 8, w8), false, 0, 3, 0,
         0.25},
        {"unknown weight size", array("vertices", 3, 4, i4) + array("weights", 3, 2, w8), false, 3, 0, -1, 0},
        {"negative count", array("vertices", -3, 4, i4), false, 0, 0, 0, 0},
        {"huge count", array("weights", 2000000000, 8, w8), false, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        TEST_LogCapture log;
        TEST_ParsedXml xml("<animated_meshes><animated_mesh name=\"Arm\">" + c.children +
                           "</animated_mesh></animated_meshes>");
        ASSERT_TRUE(xml.ok()) << c.what;
        MDL_VertexGroup g;
        const int32_t earlier[] = {5};
        g.setEntries(1, earlier, nullptr); // dropped by the read
        EXPECT_EQ(c.ok, g.loadFromXML(xml.record("animated_meshes", "animated_mesh"))) << c.what;
        EXPECT_STREQ("Arm", g.getName()) << c.what;
        EXPECT_EQ(c.vertices, g.getNumEntries()) << c.what;
        EXPECT_EQ(c.weights, g.m_iNumWeights) << c.what;
        EXPECT_FALSE(g.hasRestData()) << c.what;
        if (c.vertices == 3) {
            EXPECT_EQ(c.third, g.m_piVertexIndices[2]) << c.what;
        }
        if (c.weights == 3) {
            EXPECT_EQ(c.second, g.getWeight(1)) << c.what;
        }
        EXPECT_EQ(c.ok, log.m_asLines.empty()) << c.what;
    }
}

} // namespace
