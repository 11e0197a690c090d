#include <gtest/gtest.h>

#include <string>

#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

// A plane of two triangles with four vertex colours, all opaque.
TEST_MeshShape colouredPlane()
{
    TEST_MeshShape s = TEST_planeShape("plane", 1.0, 1);
    s.m_aaColors.assign(4, {{255, 255, 255, 255}});
    return s;
}

TEST(Mesh, NewMeshDefaults)
{
    MDL_Mesh mesh;
    EXPECT_EQ(mesh.getType(), OBJECT_MESH);
    EXPECT_EQ(mesh.getMeshData(), nullptr);
    EXPECT_EQ(mesh.getMaterial(), nullptr);
    EXPECT_FALSE(mesh.ownsMaterial());
    EXPECT_EQ(mesh.getDisplayMode(), DISPLAY_MODE_NORMAL);
    EXPECT_EQ(mesh.getNumVertices() + mesh.getNumTriangles() + mesh.getNumColors(), 0);
    EXPECT_EQ(mesh.faceNormals(), nullptr);
    EXPECT_EQ(mesh.vertexPosition(0), MTH_Vector3D());
    EXPECT_EQ(mesh.boundingBoxMax(), MTH_Vector3D());
    EXPECT_FALSE(mesh.isOpaque());
    double t = 1.0;
    int triangle = -7;
    EXPECT_FALSE(mesh.pick(MTH_Vector3D(0, 0, 1), MTH_Vector3D(0, 0, -1), t, triangle));
    EXPECT_EQ(triangle, -7);
}

// Which render passes a mesh goes to, by its material, vertex colours,
// visibility, triangles and type.
TEST(Mesh, RenderPassTests)
{
    enum Mat { NO_MATERIAL, OPAQUE, HALF, CLEAR, MIRROR, MIRROR_HALF, NO_CAST };
    struct Case {
        const char *what;
        Mat material;
        bool halfVertexAlpha;
        bool visible;
        bool triangles;
        int type;
        bool opaque, transparent, fully, casts;
    };
    const Case cases[] = {
        {"no material", NO_MATERIAL, false, true, true, OBJECT_MESH, true, false, false, true},
        {"no material, vertex alpha 0.5", NO_MATERIAL, true, true, true, OBJECT_MESH, false, true, false, true},
        {"opaque", OPAQUE, false, true, true, OBJECT_MESH, true, false, false, true},
        {"opaque, vertex alpha 0.5", OPAQUE, true, true, true, OBJECT_MESH, false, true, false, true},
        {"alpha 0.5", HALF, false, true, true, OBJECT_MESH, false, true, false, false},
        {"alpha 0", CLEAR, false, true, true, OBJECT_MESH, false, false, true, true},
        {"mirror", MIRROR, false, true, true, OBJECT_MESH, false, false, false, true},
        {"mirror alpha 0.5", MIRROR_HALF, false, true, true, OBJECT_MESH, false, false, false, true},
        {"cast_shadows 0", NO_CAST, false, true, true, OBJECT_MESH, true, false, false, false},
        {"invisible", OPAQUE, true, false, true, OBJECT_MESH, false, false, false, false},
        {"no triangles", CLEAR, true, true, false, OBJECT_MESH, false, false, false, false},
        {"animated mesh", OPAQUE, false, true, true, OBJECT_ANIMATED_MESH, true, false, false, true},
        {"other kind", OPAQUE, false, true, true, OBJECT_RIGID_BODY, true, false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MDL_MeshData data;
        TEST_MeshShape shape = colouredPlane();
        if (!c.triangles)
            shape.m_aiTriangles.clear();
        ASSERT_TRUE(TEST_readMeshData(shape, data));
        MDL_Material material;
        material.m_oDiffuse.m_fW = (c.material == HALF || c.material == MIRROR_HALF) ? 0.5
                                   : c.material == CLEAR                             ? 0
                                                                                     : 1;
        material.m_bMirror = c.material == MIRROR || c.material == MIRROR_HALF;
        material.m_bCastShadows = c.material != NO_CAST;
        MDL_Mesh mesh;
        mesh.m_iType = c.type;
        mesh.setMeshData(&data);
        mesh.setMaterial(c.material == NO_MATERIAL ? nullptr : &material);
        if (c.halfVertexAlpha && c.triangles)
            mesh.setVertexColor(2, MTH_Vector4D(1, 1, 1, 0.5));
        if (!c.visible)
            mesh.disableState(STATE_VISIBLE, SCOPE_OBJECT);
        EXPECT_EQ(mesh.isOpaque(), c.opaque);
        EXPECT_EQ(mesh.isTransparent(), c.transparent);
        EXPECT_EQ(mesh.isFullyTransparent(), c.fully);
        EXPECT_EQ(mesh.castsShadow(), c.casts);
    }
}

TEST(Mesh, MakeOwnMaterialCopiesOnceAndLeavesTheSharedOneAlone)
{
    MDL_Material shared;
    shared.setName("shared");
    shared.m_oDiffuse = MTH_Vector4D(0, 1, 0, 1);
    MDL_Mesh a, b;
    a.setMaterial(&shared);
    b.setMaterial(&shared);

    MDL_Material *own = a.makeOwnMaterial();
    ASSERT_NE(own, &shared);
    EXPECT_TRUE(a.ownsMaterial());
    EXPECT_EQ(a.getMaterial(), own);
    EXPECT_EQ(a.makeOwnMaterial(), own); // once only
    EXPECT_STREQ(own->getName(), "shared");
    own->m_oDiffuse = MTH_Vector4D(1, 0, 0, 0.5);
    EXPECT_EQ(shared.m_oDiffuse.m_fX, 0.0);
    EXPECT_EQ(b.getMaterial(), &shared);
    EXPECT_TRUE(shared.isOpaque());
    EXPECT_TRUE(own->isTransparent());

    // Without a material: a default one.
    MDL_Mesh c;
    MDL_Material *fresh = c.makeOwnMaterial();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->m_fShininess, 50.0);
    EXPECT_EQ(fresh->getName(), nullptr);

    // Replacing an owned material frees it (the sanitizer checks); the mesh
    // then shares again.
    a.setMaterial(&shared);
    EXPECT_FALSE(a.ownsMaterial());
    EXPECT_EQ(a.getMaterial(), &shared);
}

TEST(Mesh, CopySharesDataAndSharedMaterialButNotAnOwnedOne)
{
    MDL_MeshData data;
    ASSERT_TRUE(TEST_readMeshData(TEST_cubeShape("cube"), data));
    MDL_Material shared;
    MDL_Mesh original;
    original.setName("orig");
    original.setMeshData(&data);
    original.setMaterial(&shared);
    original.setDisplayMode(DISPLAY_MODE_SPRITE);

    MDL_Mesh sharing(original);
    EXPECT_EQ(sharing.getMeshData(), &data);
    EXPECT_EQ(sharing.getMaterial(), &shared);
    EXPECT_FALSE(sharing.ownsMaterial());
    EXPECT_EQ(sharing.getDisplayMode(), DISPLAY_MODE_SPRITE);
    EXPECT_STREQ(sharing.getName(), "orig");
    EXPECT_EQ(sharing.getType(), OBJECT_MESH);

    MDL_Mesh *owner = new MDL_Mesh(original);
    owner->makeOwnMaterial()->m_fShininess = 7;
    MDL_Mesh copy(*owner);
    EXPECT_NE(copy.getMaterial(), owner->getMaterial());
    EXPECT_TRUE(copy.ownsMaterial());
    delete owner;
    // Still readable after the original is gone.
    EXPECT_EQ(copy.getMaterial()->m_fShininess, 7);
}

TEST(Mesh, PositionEditsAreSharedKeptAndReset)
{
    MDL_MeshData data;
    ASSERT_TRUE(TEST_readMeshData(TEST_cubeShape("cube"), data));
    MDL_Mesh a, b;
    a.setMeshData(&data);
    b.setMeshData(&data);

    MTH_Vector3D p;
    ASSERT_TRUE(a.getVertexPosition(0, p));
    EXPECT_EQ(p, MTH_Vector3D(-1, -1, -1));
    a.resetVertexPositions(); // nothing edited yet: nothing happens
    EXPECT_FALSE(a.m_bGeometryEdited);

    ASSERT_TRUE(a.setVertexPosition(0, MTH_Vector3D(-3, -1, -1)));
    EXPECT_TRUE(a.m_bGeometryEdited);
    EXPECT_FALSE(b.m_bGeometryEdited);
    ASSERT_TRUE(b.getVertexPosition(0, p));
    EXPECT_EQ(p, MTH_Vector3D(-3, -1, -1));
    EXPECT_EQ(b.vertexPosition(0), MTH_Vector3D(-3, -1, -1));
    // The box grows to hold the vertex, so picks still reach it.
    EXPECT_EQ(a.boundingBoxMin(), MTH_Vector3D(-3, -1, -1));
    // Face normals follow: triangle 0 of the -x face now leans.
    EXPECT_EQ(a.faceNormals()[0].m_oNormal, MTH_Vector3D(2, 0, 2).cross(MTH_Vector3D(2, 2, 2)));

    a.setVertexPosition(1, MTH_Vector3D(9, 9, 9));
    a.m_bGeometryEdited = false;
    b.resetVertexPositions();
    EXPECT_TRUE(b.m_bGeometryEdited);
    EXPECT_EQ(a.vertexPosition(0), MTH_Vector3D(-1, -1, -1));
    EXPECT_EQ(a.vertexPosition(1), MTH_Vector3D(-1, -1, 1));
    EXPECT_EQ(a.faceNormals()[0].m_oNormal, MTH_Vector3D(-4, 0, 0));
    // The kept copy stays for the next reset.
    a.setVertexPosition(0, MTH_Vector3D(0, 0, 0));
    a.resetVertexPositions();
    EXPECT_EQ(a.vertexPosition(0), MTH_Vector3D(-1, -1, -1));

    // Indices outside the mesh are ignored.
    a.m_bGeometryEdited = false;
    EXPECT_FALSE(a.setVertexPosition(24, MTH_Vector3D(1, 2, 3)));
    EXPECT_FALSE(a.setVertexPosition(-1, MTH_Vector3D(1, 2, 3)));
    EXPECT_FALSE(a.getVertexPosition(24, p));
    EXPECT_FALSE(a.m_bGeometryEdited);
    EXPECT_EQ(a.vertexPosition(24), MTH_Vector3D());
    EXPECT_EQ(a.vertexNormal(-1), MTH_Vector3D());
    EXPECT_EQ(a.vertexNormal(23), MTH_Vector3D(0, 0, 1));
}

TEST(Mesh, VertexAlphaMovesTheMeshBetweenPasses)
{
    MDL_MeshData data;
    ASSERT_TRUE(TEST_readMeshData(colouredPlane(), data));
    MDL_Mesh mesh;
    mesh.setMeshData(&data);
    ASSERT_TRUE(mesh.isOpaque());

    mesh.setVertexColor(1, MTH_Vector4D(1, 0, 0, 0.5));
    EXPECT_TRUE(mesh.isTransparent());
    EXPECT_FALSE(mesh.isOpaque());
    mesh.setVertexColor(1, MTH_Vector4D(1, 0, 0, 0.25)); // still one non-opaque colour
    EXPECT_EQ(data.m_iNumNonOpaqueColors, 1);
    mesh.setVertexColor(3, MTH_Vector4D(0, 0, 0, 0));
    EXPECT_EQ(data.m_iNumNonOpaqueColors, 2);
    mesh.setVertexColor(1, MTH_Vector4D(0, 1, 0, 1));
    mesh.setVertexColor(3, MTH_Vector4D(0, 1, 0, 1));
    EXPECT_EQ(data.m_iNumNonOpaqueColors, 0);
    EXPECT_TRUE(mesh.isOpaque());
    MTH_Vector4D c;
    ASSERT_TRUE(mesh.getVertexColor(1, c));
    EXPECT_EQ(c.m_fY, 1.0);

    mesh.setVertexColor(0, MTH_Vector4D(0, 0, 0, 0.5));
    mesh.m_bGeometryEdited = false;
    mesh.resetVertexColors();
    EXPECT_TRUE(mesh.m_bGeometryEdited);
    EXPECT_TRUE(mesh.isOpaque());
    ASSERT_TRUE(mesh.getVertexColor(1, c));
    EXPECT_EQ(c.m_fY, 1.0);
    EXPECT_EQ(c.m_fX, 1.0);
    EXPECT_FALSE(mesh.setVertexColor(4, MTH_Vector4D()));
}

} // namespace
