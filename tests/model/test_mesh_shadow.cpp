#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "model/MDL_Lamp.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

typedef MTH_Vector3D V;

int triangles(const UTIL_DynArray<MTH_Vector3D> &a)
{
    EXPECT_EQ(a.m_iCount % 3, 0);
    return a.m_iCount / 3;
}

bool allFinite(const UTIL_DynArray<MTH_Vector3D> &a)
{
    for (int i = 0; i < a.m_iCount; i++)
        if (!std::isfinite(a[i].m_fX) || !std::isfinite(a[i].m_fY) || !std::isfinite(a[i].m_fZ))
            return false;
    return true;
}

struct Scene {
    MDL_MeshData data;
    MDL_Material material;
    MDL_Mesh mesh;
    MDL_Lamp lamp;

    explicit Scene(TEST_MeshShape shape)
    {
        EXPECT_TRUE(TEST_readMeshData(shape, data));
        mesh.setMeshData(&data);
        mesh.setMaterial(&material);
    }
};

// Side, near-cap and far-cap triangle counts for one lamp.
TEST(MeshShadow, VolumeTriangleCounts)
{
    enum Shape { CUBE, SPHERE, PLANE };
    struct Case {
        const char *what;
        Shape shape;
        bool doubleSided;
        int lampType;
        V lampPosition;
        bool capped;
        int sides, nearCap, farCap;
    };
    const Case cases[] = {
        {"cube, lamp above", CUBE, false, MDL_Lamp::LAMP_POINT, V(0, 0, 10), false, 8, 0, 0},
        {"cube, lamp above, capped", CUBE, false, MDL_Lamp::LAMP_POINT, V(0, 0, 10), true, 8, 2, 2},
        {"cube, lamp off a corner: hexagonal silhouette", CUBE, false, MDL_Lamp::LAMP_SPOT, V(10, 10, 10), true, 12, 6,
         6},
        {"cube, sun shining down", CUBE, false, MDL_Lamp::LAMP_SUN, V(50, -7, -30), true, 8, 2, 2},
        {"double-sided cube, lamp above", CUBE, true, MDL_Lamp::LAMP_POINT, V(0, 0, 10), true, 16, 12, 12},
        {"sphere, sun shining down: the equator", SPHERE, false, MDL_Lamp::LAMP_SUN, V(0, 0, 0), true, 32, 112, 112},
        {"plane, lamp above", PLANE, false, MDL_Lamp::LAMP_POINT, V(0, 0, 10), false, 8, 0, 0},
        {"plane, lamp below", PLANE, false, MDL_Lamp::LAMP_POINT, V(0, 0, -10), true, 0, 0, 0},
        {"double-sided plane, lamp below", PLANE, true, MDL_Lamp::LAMP_POINT, V(0, 0, -10), true, 8, 2, 2},
        {"double-sided plane, lamp above", PLANE, true, MDL_Lamp::LAMP_POINT, V(0, 0, 10), true, 8, 2, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TEST_MeshShape shape = c.shape == CUBE     ? TEST_cubeShape("cube")
                               : c.shape == SPHERE ? TEST_sphereShape("sphere", 1.0, 16, 8)
                                                   : TEST_planeShape("plane", 1.0, 1);
        shape.m_bDoubleSided = c.doubleSided;
        Scene s(shape);
        s.lamp.m_iLampType = c.lampType;
        s.lamp.editGlobalPosition() = c.lampPosition;
        s.lamp.setShadowType(c.capped ? SHADOW_ZFAIL : SHADOW_ZPASS);
        s.mesh.buildShadowVolume(&s.lamp);
        EXPECT_EQ(triangles(s.mesh.m_oShadowSides), c.sides);
        EXPECT_EQ(triangles(s.mesh.m_oShadowNearCap), c.nearCap);
        EXPECT_EQ(triangles(s.mesh.m_oShadowFarCap), c.farCap);
        EXPECT_EQ(s.mesh.getShadowLamp(), &s.lamp);
        EXPECT_FALSE(s.mesh.m_bChanged);
    }
}

TEST(MeshShadow, FarPointsLieTheShadowDepthAwayInSceneUnits)
{
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        Scene s(TEST_cubeShape("cube"));
        s.mesh.editGlobalBasis().scale(scale);
        s.lamp.editGlobalPosition() = V(0, 0, 10 * scale);
        s.lamp.setShadowType(SHADOW_ZFAIL);
        s.lamp.setShadowDepth(30);
        s.mesh.buildShadowVolume(&s.lamp);
        ASSERT_EQ(s.mesh.m_oShadowNearCap.m_iCount, s.mesh.m_oShadowFarCap.m_iCount);
        const V lamp(0, 0, 10); // in the mesh's coordinates
        for (int i = 0; i < s.mesh.m_oShadowFarCap.m_iCount; i++) {
            const V &near = s.mesh.m_oShadowNearCap[i];
            const V &far = s.mesh.m_oShadowFarCap[i];
            EXPECT_NEAR((far - near).length(), 30 / scale, 1e-12);
            EXPECT_NEAR((far - lamp).length(), (near - lamp).length() + 30 / scale, 1e-12);
        }
        // Side quads start from the near points: (near k, far k, far k+1).
        const UTIL_DynArray<V> &sides = s.mesh.m_oShadowSides;
        ASSERT_GT(sides.m_iCount, 0);
        EXPECT_EQ(sides[0].m_fZ, 1.0);
        EXPECT_NEAR((sides[1] - sides[0]).length(), 30 / scale, 1e-12);
    }
}

TEST(MeshShadow, NoVolumeWithoutAShadowCastingMaterial)
{
    Scene s(TEST_cubeShape("cube"));
    s.lamp.editGlobalPosition() = V(0, 0, 10);
    s.mesh.buildShadowVolume(&s.lamp);
    ASSERT_GT(s.mesh.m_oShadowSides.m_iCount, 0);

    s.material.m_bCastShadows = false;
    s.mesh.buildShadowVolume(&s.lamp);
    EXPECT_EQ(s.mesh.m_oShadowSides.m_iCount, 0);

    s.material.m_bCastShadows = true;
    s.mesh.setMaterial(nullptr);
    s.mesh.m_bChanged = true;
    s.mesh.buildShadowVolume(&s.lamp);
    EXPECT_EQ(s.mesh.m_oShadowSides.m_iCount, 0);
    s.mesh.buildShadowVolume(nullptr);
    EXPECT_EQ(s.mesh.m_oShadowSides.m_iCount, 0);
}

TEST(MeshShadow, RebuiltOnlyWhenSomethingChanged)
{
    Scene s(TEST_cubeShape("cube"));
    s.lamp.editGlobalPosition() = V(0, 0, 10);
    s.mesh.buildShadowVolume(&s.lamp);
    s.lamp.m_bChanged = false; // as the scene does after its shadow pass

    // A build that is skipped leaves the (here emptied) arrays alone.
    auto rebuilt = [&s]() {
        s.mesh.m_oShadowSides.resize(0);
        s.mesh.buildShadowVolume(&s.lamp);
        s.lamp.m_bChanged = false;
        return s.mesh.m_oShadowSides.m_iCount > 0;
    };
    EXPECT_FALSE(rebuilt());
    s.lamp.m_bChanged = true;
    EXPECT_TRUE(rebuilt());
    s.mesh.editGlobalPosition() = V(0, 1, 0);
    EXPECT_TRUE(rebuilt());
    EXPECT_FALSE(rebuilt());
    s.lamp.setShadowType(SHADOW_ZFAIL);
    EXPECT_TRUE(rebuilt());
    EXPECT_EQ(triangles(s.mesh.m_oShadowNearCap), 2);
    s.lamp.setShadowDepth(5);
    EXPECT_TRUE(rebuilt());
    s.mesh.setVertexPosition(0, V(-1, -1, -2));
    EXPECT_TRUE(rebuilt());
    s.mesh.resetVertexPositions();
    EXPECT_TRUE(rebuilt());
    MDL_Lamp other;
    other.editGlobalPosition() = V(0, 0, 10);
    other.m_bChanged = false;
    s.mesh.m_oShadowSides.resize(0);
    s.mesh.buildShadowVolume(&other);
    EXPECT_GT(s.mesh.m_oShadowSides.m_iCount, 0);
    EXPECT_EQ(s.mesh.getShadowLamp(), &other);
}

// Degenerate placements never divide by zero: the volume is finite or empty.
TEST(MeshShadow, DegenerateBasesAndLampPlacements)
{
    struct Case {
        const char *what;
        V row0, row1, row2;
        V lamp;
        int lampType;
        bool empty;
    };
    const Case cases[] = {
        {"zero basis: nothing to shadow", V(0, 0, 0), V(0, 0, 0), V(0, 0, 0), V(0, 0, 10), MDL_Lamp::LAMP_POINT, true},
        {"zero first axis", V(0, 0, 0), V(0, 1, 0), V(0, 0, 1), V(0, 0, 10), MDL_Lamp::LAMP_POINT, false},
        // A lamp in the plane of a triangle does not face it.
        {"lamp on a corner", V(1, 0, 0), V(0, 1, 0), V(0, 0, 1), V(1, 1, 1), MDL_Lamp::LAMP_POINT, true},
        {"lamp in a face", V(1, 0, 0), V(0, 1, 0), V(0, 0, 1), V(0.25, 0.5, 1), MDL_Lamp::LAMP_POINT, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Scene s(TEST_cubeShape("cube"));
        MTH_Matrix3x3 &basis = s.mesh.editGlobalBasis();
        basis.row(0) = c.row0;
        basis.row(1) = c.row1;
        basis.row(2) = c.row2;
        s.lamp.m_iLampType = c.lampType;
        s.lamp.editGlobalPosition() = c.lamp;
        s.lamp.setShadowType(SHADOW_ZFAIL);
        s.mesh.buildShadowVolume(&s.lamp);
        EXPECT_EQ(s.mesh.m_oShadowSides.m_iCount == 0, c.empty);
        EXPECT_TRUE(allFinite(s.mesh.m_oShadowSides));
        EXPECT_TRUE(allFinite(s.mesh.m_oShadowNearCap));
        EXPECT_TRUE(allFinite(s.mesh.m_oShadowFarCap));
    }

    // A sun whose axis has no length lights nothing.
    Scene s(TEST_cubeShape("cube"));
    s.lamp.m_iLampType = MDL_Lamp::LAMP_SUN;
    s.lamp.editGlobalBasis().row(2) = V(0, 0, 0);
    s.mesh.buildShadowVolume(&s.lamp);
    EXPECT_EQ(s.mesh.m_oShadowSides.m_iCount, 0);
}

} // namespace
