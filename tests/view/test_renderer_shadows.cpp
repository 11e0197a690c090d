// Stencil shadows of both kinds of shadow volume, with the stencil counts
// read back where the picture alone cannot tell them.
#include "tests/support/TEST_ModelsSetWriter.h"
#include "tests/view/view_test_support.h"

namespace {

class RendererShadows : public DrawingTest {
protected:
    // A white floor lit by a sun high to the right (shining along
    // (-0.6, 0, -0.8)), which casts the shadow of a red cube floating over
    // the floor to its left, seen from above and in front.
    struct ShadowScene : TestScene {
        explicit ShadowScene(int shadowType)
        {
            lookAt(MTH_Vector3D(0, -3.5, 5), MTH_Vector3D(0, 0.2, 0.5));
            m_poFloor = addMesh(square(2), lit(MTH_Vector4D(1, 1, 1, 1)), 0, 0, 0);
            m_poCube = addMesh(shape(TEST_cubeShape("cube", 0.5)), lit(MTH_Vector4D(1, 0, 0, 1)), 0, 0.5, 1.2);
            m_poSun = addLamp(MDL_Lamp::LAMP_SUN, MTH_Vector3D(0, 0, 10));
            MTH_Matrix3x3 &basis = m_poSun->editGlobalBasis();
            basis.row(0) = MTH_Vector3D(0.8, 0, -0.6);
            basis.row(2) = MTH_Vector3D(0.6, 0, 0.8);
            m_poSun->m_bShadows = true;
            m_poSun->setShadowType(shadowType);
        }
        MDL_Mesh *m_poFloor;
        MDL_Mesh *m_poCube;
        MDL_Lamp *m_poSun;
    };

    // Volumes short enough to end in view, past the edge of a floor smaller
    // than the view, on a blue background, and black shadows.
    void shortVolumesBesideTheFloor(ShadowScene &scene)
    {
        scene.m_poFloor->editGlobalBasis().scaleRows(MTH_Vector3D(0.6, 0.6, 1));
        scene.m_poSun->setShadowDepth(3);
        scene.m_poSun->m_fShadowCoeff = 1;
        scene.m_oViewport.m_oViewportBackground = MTH_Vector4D(0.2, 0.4, 0.8, 1);
    }

    // A frame as the controller draws it: the volumes first.
    void shadowFrame(TestScene &scene, UTIL_Bitmap &picture)
    {
        scene.m_oScene.drawShadowVolumes(scene.m_oScene.getShadowLamp());
        drawFrame(scene.m_oViewport);
        readBack(picture);
    }

    int stencilAt(const std::vector<unsigned char> &stencil, int x, int y)
    {
        return stencil[static_cast<size_t>(m_iHeight - 1 - y) * m_iWidth + x];
    }
};

TEST_F(RendererShadows, CubeShadowsTheFloorWithEitherVolume)
{
    // The lit floor (the sun 0.8 of the way straight down), the floor in
    // the cube's shadow (the sun's diffuse light halved by the shadow
    // coefficient 0.5), the cube's lit top; the stencil counts 1 in the
    // shadow only.
    const struct {
        int type;
        const char *golden;
    } types[] = {{SHADOW_ZPASS, "shadow_zpass"}, {SHADOW_ZFAIL, "shadow_zfail"}};
    for (const auto &t : types) {
        ShadowScene scene(t.type);
        UTIL_Bitmap picture;
        shadowFrame(scene, picture);
        std::vector<unsigned char> stencil = readStencilValues();
        const struct {
            int x, y;
            int rgb[3];
            int count;
        } probes[] = {
            {80, 50, {204, 204, 204}, 0}, // lit floor
            {30, 33, {102, 102, 102}, 1}, // shadowed floor
            {48, 8, {204, 0, 0}, 0},      // the cube's top
        };
        for (const auto &p : probes) {
            EXPECT_EQ(std::vector<int>(p.rgb, p.rgb + 3), VIEW_pixel(picture, p.x, p.y))
                << t.golden << " at " << p.x << ", " << p.y;
            EXPECT_EQ(p.count, stencilAt(stencil, p.x, p.y)) << t.golden << " at " << p.x << ", " << p.y;
        }
        VIEW_expectGolden(picture, t.golden);
    }
}

TEST_F(RendererShadows, DepthFailCountsWithTheEyeInsideTheVolume)
{
    // The camera under a wide roof, inside the roof's shadow volume,
    // looking ahead and down at the floor: the floor under the roof is in
    // shadow, the floor beyond it is lit, and the stencil says so.
    ShadowScene scene(SHADOW_ZFAIL);
    scene.m_poSun->editGlobalBasis().setIdentity(); // straight down
    scene.m_poCube->disableState(STATE_VISIBLE, SCOPE_OBJECT);
    scene.m_poFloor->editGlobalBasis().scaleRows(MTH_Vector3D(3, 3, 1));
    scene.addMesh(scene.square(1.5), scene.lit(MTH_Vector4D(1, 1, 1, 1)), 0, 0, 2.5);
    scene.lookAt(MTH_Vector3D(0, -1, 1.4), MTH_Vector3D(0, 2.5, 0));
    UTIL_Bitmap picture;
    shadowFrame(scene, picture);
    std::vector<unsigned char> stencil = readStencilValues();
    EXPECT_EQ(std::vector<int>({128, 128, 128}), VIEW_pixel(picture, 48, 60));
    EXPECT_EQ(1, stencilAt(stencil, 48, 60));
    EXPECT_EQ(std::vector<int>({255, 255, 255}), VIEW_pixel(picture, 48, 20));
    EXPECT_EQ(0, stencilAt(stencil, 48, 20));
    VIEW_expectGolden(picture, "shadow_eye_inside");
}

TEST_F(RendererShadows, DarkenedShadowsAndShadowCoefficients)
{
    // The viewport's flat shadows paint black of the coefficient's opacity
    // over the shadowed pixels; relit shadows of coefficient 1 have no
    // light of the lamp at all.
    const struct {
        int viewportShadows;
        double coefficient;
        int grey;
    } cases[] = {
        {SHADOW_2D, 0.25, 153},
        {SHADOW_2D, 1, 0},
        {SHADOW_3D, 1, 0},
        {SHADOW_3D, 0, 204},
    };
    for (const auto &c : cases) {
        ShadowScene scene(SHADOW_ZPASS);
        scene.m_oViewport.m_iShadowType = c.viewportShadows;
        scene.m_poSun->m_fShadowCoeff = c.coefficient;
        UTIL_Bitmap picture;
        shadowFrame(scene, picture);
        EXPECT_EQ(std::vector<int>({c.grey, c.grey, c.grey}), VIEW_pixel(picture, 30, 33))
            << c.viewportShadows << " " << c.coefficient;
        EXPECT_EQ(std::vector<int>({204, 204, 204}), VIEW_pixel(picture, 80, 50));
    }
}

TEST_F(RendererShadows, FlatShadowsFallOnlyOnSurfaces)
{
    // Volumes short enough to end in view, past the edge of a floor
    // smaller than the view, on a blue background: where they reach beyond
    // the floor nothing was drawn and the background stays blue (open
    // depth-pass volumes count there too), while the floor in the cube's
    // shadow is black. Flat shadows of coefficient 1 thus look as relit
    // ones do (no light of the lamp), with either kind of volume.
    for (int volumes : {SHADOW_ZPASS, SHADOW_ZFAIL}) {
        UTIL_Bitmap pictures[2];
        const int shadowTypes[2] = {SHADOW_2D, SHADOW_3D};
        for (int i = 0; i < 2; i++) {
            ShadowScene scene(volumes);
            shortVolumesBesideTheFloor(scene);
            scene.m_oViewport.m_iShadowType = shadowTypes[i];
            shadowFrame(scene, pictures[i]);
        }
        const UTIL_Bitmap &flat = pictures[0];
        EXPECT_EQ(std::vector<int>({0, 0, 0}), VIEW_pixel(flat, 30, 33)) << volumes;       // shadowed floor
        EXPECT_EQ(std::vector<int>({204, 204, 204}), VIEW_pixel(flat, 60, 50)) << volumes; // lit floor
        for (int x : {10, 20}) // beside the floor, inside the volume
            EXPECT_EQ(std::vector<int>({51, 102, 204}), VIEW_pixel(flat, x, 50)) << volumes << " at " << x;
        int differing = 0;
        for (int y = 0; y < m_iHeight; y++)
            for (int x = 0; x < m_iWidth; x++)
                differing += VIEW_pixel(flat, x, y) != VIEW_pixel(pictures[1], x, y);
        EXPECT_EQ(0, differing) << "pixels where flat and relit shadows differ, volumes " << volumes;
        if (volumes == SHADOW_ZPASS)
            VIEW_expectGolden(flat, "shadow_flat_beside_the_floor");
    }
}

TEST_F(RendererShadows, FlatShadowsBesideAMirrorFloor)
{
    // The same with the floor a mirror: the mirror pass paints the
    // background again around the mirror's surface, which is no surface
    // either, so the volumes that reach past the floor leave it blue; the
    // floor in the cube's shadow is black.
    for (int volumes : {SHADOW_ZPASS, SHADOW_ZFAIL}) {
        ShadowScene scene(volumes);
        shortVolumesBesideTheFloor(scene);
        MDL_Material *mirror = scene.shadeless(MTH_Vector4D(1, 1, 1, 0.75));
        mirror->m_bMirror = true;
        scene.m_poFloor->setMaterial(mirror);
        scene.m_oViewport.m_iShadowType = SHADOW_2D;
        UTIL_Bitmap picture;
        shadowFrame(scene, picture);
        EXPECT_EQ(std::vector<int>({0, 0, 0}), VIEW_pixel(picture, 30, 33)) << volumes; // shadowed floor
        for (int x : {10, 20}) // beside the floor, inside the volume
            EXPECT_EQ(std::vector<int>({51, 102, 204}), VIEW_pixel(picture, x, 50)) << volumes << " at " << x;
    }
}

TEST_F(RendererShadows, OnlyVolumesOfTheShadowLampAreDrawn)
{
    // The first lamp with shadows is off: the lamp after it, which is on,
    // casts the shadows, and the volumes are built for it.
    ShadowScene scene(SHADOW_ZPASS);
    MDL_Lamp *off = scene.addLamp(MDL_Lamp::LAMP_POINT, MTH_Vector3D(3, 0, 3));
    off->m_bShadows = true;
    off->m_bOn = false;
    scene.m_oScene.m_oLamps.removeValue(off);
    scene.m_oScene.m_oLamps.m_pData[0] = off;
    scene.m_oScene.m_oLamps.append(scene.m_poSun);
    UTIL_Bitmap picture;
    shadowFrame(scene, picture);
    EXPECT_EQ(scene.m_poSun, scene.m_poCube->getShadowLamp());
    EXPECT_EQ(std::vector<int>({102, 102, 102}), VIEW_pixel(picture, 30, 33));

    // Volumes left from another lamp are not drawn.
    scene.m_poCube->m_poShadowLamp = off;
    drawFrame(scene.m_oViewport);
    readBack(picture);
    EXPECT_EQ(std::vector<int>({204, 204, 204}), VIEW_pixel(picture, 30, 33));
}

} // namespace
