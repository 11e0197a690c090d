// The mirror pass: a floor that reflects what stands on it.
#include "tests/support/TEST_ModelsSetWriter.h"
#include "tests/view/view_test_support.h"

namespace {

class RendererMirror : public DrawingTest {
protected:
    // A grey floor of a quarter opacity reflecting like a mirror, seen from
    // above and in front, over a dark blue background, with a red cube
    // floating above it.
    struct MirrorScene : TestScene {
        MirrorScene()
        {
            lookAt(MTH_Vector3D(0, -6, 3), MTH_Vector3D(0, 0, 0.3));
            m_oViewport.m_oViewportBackground = MTH_Vector4D(0, 0, 0.4, 1);
            m_poMirror = shadeless(MTH_Vector4D(0.5, 0.5, 0.5, 0.25));
            m_poMirror->m_bMirror = true;
            m_poFloor = addMesh(square(2), m_poMirror, 0, 0, 0);
            m_poCube = addMesh(shape(TEST_cubeShape("cube", 0.4)), shadeless(MTH_Vector4D(1, 0, 0, 1)), 0, 0, 0.8);
        }
        MDL_Material *m_poMirror;
        MDL_Mesh *m_poFloor;
        MDL_Mesh *m_poCube;
    };

    void picture(TestScene &scene, UTIL_Bitmap &out)
    {
        drawFrame(scene.m_oViewport);
        readBack(out);
    }

    void expectSame(const UTIL_Bitmap &a, const UTIL_Bitmap &b, const char *what)
    {
        ASSERT_EQ(a.m_iWidth * a.m_iHeight, b.m_iWidth * b.m_iHeight) << what;
        EXPECT_EQ(0, memcmp(a.m_pucData, b.m_pucData, static_cast<size_t>(a.m_iWidth * a.m_iHeight * 3))) << what;
    }
};

TEST_F(RendererMirror, FloorReflectsTheCube)
{
    // The cube, its reflection under the floor's grey, the floor with
    // nothing in it, and the background around, which also covers what the
    // reflection would show beyond the floor.
    MirrorScene scene;
    UTIL_Bitmap shot;
    picture(scene, shot);
    EXPECT_EQ(std::vector<int>({255, 0, 0}), VIEW_pixel(shot, 48, 25));
    EXPECT_EQ(std::vector<int>({223, 32, 32}), VIEW_pixel(shot, 48, 48));
    EXPECT_EQ(std::vector<int>({32, 32, 108}), VIEW_pixel(shot, 20, 48));
    EXPECT_EQ(std::vector<int>({0, 0, 102}), VIEW_pixel(shot, 48, 62));
    EXPECT_EQ(std::vector<int>({0, 0, 102}), VIEW_pixel(shot, 2, 2));
    VIEW_expectGolden(shot, "mirror");

    // Of opacity 0 the floor shows the reflection alone.
    scene.m_poMirror->m_oDiffuse.m_fW = 0;
    picture(scene, shot);
    EXPECT_EQ(std::vector<int>({255, 0, 0}), VIEW_pixel(shot, 48, 48));
    EXPECT_EQ(std::vector<int>({0, 0, 102}), VIEW_pixel(shot, 20, 48));
}

TEST_F(RendererMirror, SingleSidedSurfacesShowInTheMirror)
{
    // A half transparent green pane and an opaque yellow one standing on
    // the floor, facing the camera, single-sided: the reflection shows
    // their fronts, as it does when they are double-sided.
    UTIL_Bitmap pictures[2];
    for (int doubleSided = 0; doubleSided < 2; doubleSided++) {
        MirrorScene scene;
        MDL_MeshData *pane = scene.square(0.4);
        pane->m_bDoubleSided = doubleSided == 1;
        const double x[2] = {-1.2, 1.2};
        MDL_Material *materials[2] = {scene.shadeless(MTH_Vector4D(0, 1, 0, 0.5)),
                                      scene.shadeless(MTH_Vector4D(1, 1, 0, 1))};
        for (int i = 0; i < 2; i++) {
            MDL_Mesh *mesh = scene.addMesh(pane, materials[i], x[i], 0, 0.6);
            MTH_Matrix3x3 &basis = mesh->editGlobalBasis();
            basis.row(1) = MTH_Vector3D(0, 0, 1);
            basis.row(2) = MTH_Vector3D(0, -1, 0);
        }
        picture(scene, pictures[doubleSided]);
    }
    expectSame(pictures[0], pictures[1], "single- and double-sided panes");
    // The yellow pane's reflection under the grey floor.
    std::vector<int> reflection = VIEW_pixel(pictures[0], 70, 44);
    EXPECT_EQ(std::vector<int>({223, 223, 32}), reflection);
    VIEW_expectGolden(pictures[0], "mirror_panes");
}

TEST_F(RendererMirror, MirrorWithoutGeometryReflectsNothing)
{
    // A mirror whose data has triangles but no vertices, and one without
    // a normal anywhere (every corner in one point): the scene draws as if
    // they were not there, without an OpenGL error.
    UTIL_Bitmap without;
    {
        MirrorScene scene;
        scene.m_poFloor->disableState(STATE_VISIBLE, SCOPE_OBJECT);
        picture(scene, without);
    }
    for (int broken = 0; broken < 2; broken++) {
        MirrorScene scene;
        MDL_MeshData *data = scene.m_poFloor->getMeshData();
        if (broken == 0) {
            data->m_iNumVertices = data->m_iNumNormals = data->m_iNumUVs = 0;
        } else {
            data->m_iNumNormals = 0;
            for (int i = 0; i < data->m_iNumVertices; i++)
                data->m_poPositions[i] = MTH_Vector3D(0, 0, 0);
            data->computeFaceNormals();
        }
        MTH_Vector3D point, normal;
        EXPECT_EQ(nullptr, m_poRenderer->findMirror(&scene.m_oScene, point, normal)) << broken;
        UTIL_Bitmap shot;
        picture(scene, shot);
        if (broken == 1) {
            // The collapsed floor itself still draws (as nothing).
            ASSERT_EQ(std::vector<int>({0, 0, 102}), VIEW_pixel(shot, 48, 48));
        }
        expectSame(without, shot, broken == 0 ? "no vertices" : "no normal");
    }
}

TEST_F(RendererMirror, AFlattenedMirrorLeavesTheOneFoundBefore)
{
    // A second mirror, listed after the floor, whose frame flattens its
    // plane to nothing: the floor keeps its own plane and reflects as alone.
    UTIL_Bitmap alone, both;
    {
        MirrorScene scene;
        picture(scene, alone);
    }
    MirrorScene scene;
    MDL_Mesh *flat = scene.addMesh(scene.square(2), scene.m_poMirror, 0, 0, -5);
    flat->editLocalFrame().m_oBasis = MTH_Matrix3x3(); // every element 0
    MTH_Vector3D point, normal;
    EXPECT_EQ(scene.m_poFloor, m_poRenderer->findMirror(&scene.m_oScene, point, normal));
    EXPECT_DOUBLE_EQ(1, normal.length());
    EXPECT_DOUBLE_EQ(0, point.m_fZ);
    picture(scene, both);
    expectSame(alone, both, "flattened mirror");
}

TEST_F(RendererMirror, VertexBuffersDrawTheSameReflectionsAndShadows)
{
    // The mirror scene lit by a sun high to the right, whose shadow of the
    // cube falls on the floor to its left: drawn from vertex buffers as from
    // client arrays.
    UTIL_Bitmap pictures[2];
    for (int mode = 0; mode < 2; mode++) {
        newRenderer(mode == 0 ? VIEW_RENDER_MODE_NONE : VIEW_RENDER_MODE_VBO);
        MirrorScene scene;
        scene.m_poCube->setMaterial(scene.lit(MTH_Vector4D(1, 0, 0, 1)));
        scene.m_poMirror->m_bShadeless = false;
        MDL_Lamp *sun = scene.addLamp(MDL_Lamp::LAMP_SUN, MTH_Vector3D(0, 0, 5));
        MTH_Matrix3x3 &basis = sun->editGlobalBasis();
        basis.row(0) = MTH_Vector3D(0.8, 0, -0.6);
        basis.row(2) = MTH_Vector3D(0.6, 0, 0.8);
        sun->m_bShadows = true;
        scene.m_oScene.drawShadowVolumes(sun);
        drawFrame(scene.m_oViewport);
        picture(scene, pictures[mode]);
    }
    expectSame(pictures[0], pictures[1], "client arrays and vertex buffers");
    // The shadow is on the floor: the floor's colour drawn there again,
    // in the sun's shadow, over the reflection.
    EXPECT_EQ(std::vector<int>({26, 26, 102}), VIEW_pixel(pictures[0], 70, 36));
    EXPECT_EQ(std::vector<int>({32, 32, 89}), VIEW_pixel(pictures[0], 32, 36));
}

} // namespace
