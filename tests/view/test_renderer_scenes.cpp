// Scenes drawn by the OpenGL renderer and compared with reference images:
// clearing, unlit coloured and textured meshes, both render modes.
#include "tests/view/view_test_support.h"

namespace {

class RendererScenes : public DrawingTest {
protected:
    // A red square on the left and a textured one on the right: the texture
    // a 2 x 2 RGB checker (rows of 6 bytes: the upload must not assume
    // 4-byte rows) sampled nearest.
    void buildColouredAndTextured(TestScene &scene)
    {
        const unsigned char checker[12] = {255, 255, 255, 0, 0, 255, 0, 255, 0, 255, 255, 0};
        MDL_Texture *texture = VIEW_newTexture(VIEW_encodePng(2, 2, 3, checker), MDL_FILTER_NEAREST_POINT);
        MDL_MeshData *square = scene.square(0.9);
        scene.addMesh(square, scene.shadeless(MTH_Vector4D(1, 0, 0, 1)), -1.1, 0, 0);
        scene.addMesh(square, scene.shadeless(MTH_Vector4D(1, 1, 1, 1), texture), 1.1, 0, 0);
        scene.m_oViewport.m_oViewportBackground = MTH_Vector4D(0.1, 0.2, 0.3, 1);
    }
};

TEST_F(RendererScenes, ClearColour)
{
    m_poRenderer->beginFrame(nullptr, false);
    m_poRenderer->clear(MTH_Vector4D(0.2, 0.4, 0.6, 1));
    m_poRenderer->present(nullptr);
    expectNoGLError("clear");
    UTIL_Bitmap picture;
    readBack(picture);
    EXPECT_EQ(std::vector<int>({51, 102, 153}), VIEW_pixel(picture, 0, 0));
    EXPECT_EQ(std::vector<int>({51, 102, 153}), VIEW_pixel(picture, m_iWidth - 1, m_iHeight - 1));
    VIEW_expectGolden(picture, "clear");
}

TEST_F(RendererScenes, UnlitColouredAndTexturedMeshes)
{
    TestScene scene;
    buildColouredAndTextured(scene);
    drawFrame(scene.m_oViewport);
    UTIL_Bitmap picture;
    readBack(picture);
    // The background, the red square, and the checker's four cells (the
    // texture's bottom row at the bottom).
    EXPECT_EQ(std::vector<int>({26, 51, 76}), VIEW_pixel(picture, 2, 2));
    EXPECT_EQ(std::vector<int>({255, 0, 0}), VIEW_pixel(picture, 28, 32));
    int left = 60, right = 76, top = 24, bottom = 40;
    EXPECT_EQ(std::vector<int>({0, 255, 0}), VIEW_pixel(picture, left, top));
    EXPECT_EQ(std::vector<int>({255, 255, 0}), VIEW_pixel(picture, right, top));
    EXPECT_EQ(std::vector<int>({255, 255, 255}), VIEW_pixel(picture, left, bottom));
    EXPECT_EQ(std::vector<int>({0, 0, 255}), VIEW_pixel(picture, right, bottom));
    VIEW_expectGolden(picture, "coloured_and_textured");
}

TEST_F(RendererScenes, BothRenderModesDrawTheSamePicture)
{
    TestScene scene;
    buildColouredAndTextured(scene);
    drawFrame(scene.m_oViewport);
    UTIL_Bitmap arrays;
    readBack(arrays);
    newRenderer(VIEW_RENDER_MODE_VBO);
    drawFrame(scene.m_oViewport);
    drawFrame(scene.m_oViewport); // the second frame draws from the buffers made by the first
    UTIL_Bitmap buffers;
    readBack(buffers);
    // The two squares share their mesh data, and so one buffer pair.
    EXPECT_EQ(1, m_poRenderer->m_oMeshBuffers.getEntries());
    ASSERT_EQ(arrays.m_iWidth * arrays.m_iHeight * 3, buffers.m_iWidth * buffers.m_iHeight * 3);
    EXPECT_EQ(0,
              memcmp(arrays.m_pucData, buffers.m_pucData, static_cast<size_t>(arrays.m_iWidth * arrays.m_iHeight * 3)));
}

} // namespace
