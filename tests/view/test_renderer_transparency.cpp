// The transparent pass: back to front whatever the order of the meshes,
// faces turned away, triangles behind the eye.
#include "tests/view/view_test_support.h"

namespace {

class RendererTransparency : public DrawingTest {
protected:
    // A red quad in front of a blue one, both half transparent, overlapping
    // in the middle of the view, over white; the red one is created first
    // or last.
    void drawPair(bool redFirst, UTIL_Bitmap &picture)
    {
        TestScene scene;
        scene.m_oViewport.m_oViewportBackground = MTH_Vector4D(1, 1, 1, 1);
        MDL_MeshData *square = scene.square(0.8);
        MDL_Material *red = scene.shadeless(MTH_Vector4D(1, 0, 0, 0.5));
        MDL_Material *blue = scene.shadeless(MTH_Vector4D(0, 0, 1, 0.5));
        for (int i = 0; i < 2; i++) {
            if ((i == 0) == redFirst)
                scene.addMesh(square, red, -0.5, 0, 1);
            else
                scene.addMesh(square, blue, 0.5, 0, 0);
        }
        drawFrame(scene.m_oViewport);
        readBack(picture);
    }
};

TEST_F(RendererTransparency, RedInFrontOfBlueWhicheverCameFirst)
{
    UTIL_Bitmap redFirst, blueFirst;
    drawPair(true, redFirst);
    drawPair(false, blueFirst);
    ASSERT_EQ(redFirst.m_iWidth * redFirst.m_iHeight, blueFirst.m_iWidth * blueFirst.m_iHeight);
    EXPECT_EQ(0, memcmp(redFirst.m_pucData, blueFirst.m_pucData,
                        static_cast<size_t>(redFirst.m_iWidth * redFirst.m_iHeight * 3)));
    // Red alone, red over blue over white, blue alone, white.
    const struct {
        int x, y;
        int rgb[3];
    } probes[] = {
        {30, 32, {255, 128, 128}}, {47, 32, {191, 64, 128}}, {64, 32, {128, 128, 255}}, {2, 2, {255, 255, 255}}};
    for (const auto &p : probes) {
        std::vector<int> pixel = VIEW_pixel(redFirst, p.x, p.y);
        ASSERT_EQ(3u, pixel.size());
        for (int c = 0; c < 3; c++)
            EXPECT_NEAR(p.rgb[c], pixel[c], 1) << p.x << ", " << p.y << " channel " << c;
    }
    VIEW_expectGolden(redFirst, "transparent_pair");
}

TEST_F(RendererTransparency, WhatTheSortKeeps)
{
    // The triangles that reach the sorted arrays after one frame.
    struct Case {
        const char *name;
        bool turned;      // the quad turned round, its back to the camera
        bool doubleSided; // its data double-sided
        double z;         // its position along the camera's axis
        int triangles;
    } cases[] = {
        {"facing the camera", false, false, 0, 2},
        {"turned away", true, false, 0, 0},
        {"turned away, double-sided", true, true, 0, 2},
        {"behind the eye", false, true, 6, 0},
    };
    for (const Case &c : cases) {
        TestScene scene;
        MDL_MeshData *square = scene.square(0.8);
        square->m_bDoubleSided = c.doubleSided;
        MDL_Mesh *mesh = scene.addMesh(square, scene.shadeless(MTH_Vector4D(0, 1, 0, 0.5)), 0, 0, c.z);
        if (c.turned)
            mesh->editGlobalBasis().scaleRows(MTH_Vector3D(-1, 1, -1));
        drawFrame(scene.m_oViewport);
        EXPECT_EQ(c.triangles, m_poRenderer->m_oTransparency.m_oMaterials.m_iCount) << c.name;
        UTIL_Bitmap picture;
        readBack(picture);
        EXPECT_EQ(c.triangles > 0 ? std::vector<int>({0, 128, 0}) : std::vector<int>({0, 0, 0}),
                  VIEW_pixel(picture, 48, 32))
            << c.name;
    }
}

} // namespace
