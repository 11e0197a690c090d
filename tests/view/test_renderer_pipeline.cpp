// The viewport pipeline's edges: what draws nothing, what clears what,
// read-backs, and the renderer's names and version.
#include <climits>
#include <cstring>

#include "model/MDL_Image.h"
#include "tests/view/view_test_support.h"
#include "view/opengl/VIEW_GL.h"

namespace {

class RendererPipeline : public DrawingTest {
protected:
    // Fills the framebuffer with a colour and a stencil value.
    void fill(const MTH_Vector4D &color, int stencil = 0)
    {
        m_poRenderer->beginFrame(nullptr, false);
        glDisable(GL_SCISSOR_TEST);
        glClearStencil(stencil);
        glClear(GL_STENCIL_BUFFER_BIT);
        m_poRenderer->clear(color);
    }

    std::vector<int> pixelAt(int x, int y)
    {
        UTIL_Bitmap picture;
        readBack(picture);
        return VIEW_pixel(picture, x, y);
    }
};

TEST_F(RendererPipeline, ViewportsThatDrawNothing)
{
    TestScene scene;
    scene.addMesh(scene.square(3), scene.shadeless(MTH_Vector4D(1, 0, 0, 1)), 0, 0, 0);
    scene.m_oViewport.m_oViewportBackground = MTH_Vector4D(0, 0, 1, 1);
    MDL_Camera lonely; // a camera in no scene
    MDL_Viewport withoutCamera(MTH_Vector2D(0, 0), MTH_Vector2D(1, 1));
    withoutCamera.m_oViewportBackground = MTH_Vector4D(0, 0, 1, 1);
    MDL_Viewport withoutScene(MTH_Vector2D(0, 0), MTH_Vector2D(1, 1));
    withoutScene.m_poCamera = &lonely;
    withoutScene.m_oViewportBackground = MTH_Vector4D(0, 0, 1, 1);
    struct Case {
        const char *name;
        MDL_Viewport *viewport;
        MTH_Vector2D size;
    } cases[] = {
        {"no camera", &withoutCamera, MTH_Vector2D(96, 64)},
        {"camera without a scene", &withoutScene, MTH_Vector2D(96, 64)},
        {"zero width", &scene.m_oViewport, MTH_Vector2D(0, 64)},
        {"zero height", &scene.m_oViewport, MTH_Vector2D(96, 0.2)},
        {"not a number", &scene.m_oViewport, MTH_Vector2D(NAN, 64)},
    };
    for (const Case &c : cases) {
        fill(MTH_Vector4D(0, 1, 0, 1));
        m_poRenderer->renderViewport(c.viewport, MTH_Vector2D(0, 0), c.size);
        EXPECT_EQ(std::vector<int>({0, 255, 0}), pixelAt(48, 32)) << c.name;
    }
    // Equal clip distances give no projection: nothing is drawn either.
    scene.m_poCamera->m_fClipEnd = scene.m_poCamera->m_fClipStart;
    fill(MTH_Vector4D(0, 1, 0, 1));
    m_poRenderer->renderViewport(&scene.m_oViewport, MTH_Vector2D(0, 0), MTH_Vector2D(96, 64));
    EXPECT_EQ(std::vector<int>({0, 255, 0}), pixelAt(48, 32));
    expectNoGLError("viewports");
}

TEST_F(RendererPipeline, BackgroundClearsInsideTheViewportOnly)
{
    TestScene scene;
    // Alpha 0: the colour stays, depth and stencil are cleared.
    scene.m_oViewport.m_oViewportBackground = MTH_Vector4D(1, 1, 1, 0);
    fill(MTH_Vector4D(0, 1, 0, 1), 5);
    m_poRenderer->renderViewport(&scene.m_oViewport, MTH_Vector2D(0, 0), MTH_Vector2D(48, 32));
    EXPECT_EQ(std::vector<int>({0, 255, 0}), pixelAt(10, 50));
    UTIL_Bitmap stencil;
    ASSERT_TRUE(m_poRenderer->readStencil(nullptr, 0, 0, 96, 64, &stencil));
    EXPECT_EQ(0, stencil.m_pucData[0]);             // inside the viewport (lower left)
    EXPECT_EQ(255, stencil.m_pucData[96 * 64 - 1]); // outside: the 5 spread to the top of the range

    // Alpha 1: the colour too, inside the scissor box only.
    scene.m_oViewport.m_oViewportBackground = MTH_Vector4D(0, 0, 1, 1);
    fill(MTH_Vector4D(0, 1, 0, 1));
    m_poRenderer->renderViewport(&scene.m_oViewport, MTH_Vector2D(0, 0), MTH_Vector2D(48, 32));
    EXPECT_EQ(std::vector<int>({0, 0, 255}), pixelAt(10, 50));
    EXPECT_EQ(std::vector<int>({0, 255, 0}), pixelAt(60, 10));
    expectNoGLError("backgrounds");
}

TEST_F(RendererPipeline, OverlayImagesInDepthOrderOverTheScene)
{
    // Two images without a material (white) and one with a red material
    // placed between them in depth, in units of the viewport's width, y
    // downwards; an invisible one is not drawn.
    TestScene scene;
    scene.m_oViewport.m_oViewportBackground = MTH_Vector4D(0, 0, 0, 1);
    MDL_Image *under = new MDL_Image(), *over = new MDL_Image(), *hidden = new MDL_Image();
    under->editGlobalPosition() = MTH_Vector3D(0.25, 0.125, 2);
    under->editGlobalBasis().scaleRows(MTH_Vector3D(0.25, 0.25, 1));
    under->setMaterial(scene.shadeless(MTH_Vector4D(1, 0, 0, 1)));
    over->editGlobalPosition() = MTH_Vector3D(0.375, 0.125, 3);
    over->editGlobalBasis().scaleRows(MTH_Vector3D(0.25, 0.25, 1));
    hidden->editGlobalPosition() = MTH_Vector3D(0, 0, 4);
    hidden->disableState(STATE_VISIBLE, SCOPE_OBJECT);
    scene.m_oScene.addObject(over); // listed first, drawn last
    scene.m_oScene.addObject(hidden);
    scene.m_oScene.addObject(under);
    m_poRenderer->beginFrame(nullptr, false);
    m_poRenderer->renderViewport(&scene.m_oViewport, MTH_Vector2D(0, 0), MTH_Vector2D(96, 64));
    expectNoGLError("overlays");
    UTIL_Bitmap picture;
    readBack(picture);
    // The red image spans x 24..48 and y 12..36; the white one x 36..60.
    EXPECT_EQ(std::vector<int>({255, 0, 0}), VIEW_pixel(picture, 30, 20));
    EXPECT_EQ(std::vector<int>({255, 255, 255}), VIEW_pixel(picture, 40, 20));
    EXPECT_EQ(std::vector<int>({255, 255, 255}), VIEW_pixel(picture, 59, 35));
    EXPECT_EQ(std::vector<int>({0, 0, 0}), VIEW_pixel(picture, 61, 20));
    EXPECT_EQ(std::vector<int>({0, 0, 0}), VIEW_pixel(picture, 5, 5));
}

TEST_F(RendererPipeline, ReadBacks)
{
    // A uniform stencil gives its raw values; a uniform depth gives zeros
    // (its differences from the smallest), depths 0 and 1 give 0 and 255.
    fill(MTH_Vector4D(0, 0, 0, 1), 7);
    UTIL_Bitmap stencil;
    ASSERT_TRUE(m_poRenderer->readStencil(nullptr, 0, 0, 4, 3, &stencil));
    ASSERT_EQ(1, stencil.m_iComponents);
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(7, stencil.m_pucData[i]);

    glClearDepth(0.5);
    glClear(GL_DEPTH_BUFFER_BIT);
    UTIL_Bitmap depth;
    ASSERT_TRUE(m_poRenderer->readDepth(nullptr, 0, 0, 4, 3, &depth));
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(0, depth.m_pucData[i]);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 2, 3);
    glClearDepth(0);
    glClear(GL_DEPTH_BUFFER_BIT);
    glScissor(2, 0, 2, 3);
    glClearDepth(1);
    glClear(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    ASSERT_TRUE(m_poRenderer->readDepth(nullptr, 0, 0, 4, 3, &depth));
    EXPECT_EQ(0, depth.m_pucData[0]);
    EXPECT_EQ(255, depth.m_pucData[3]);

    UTIL_Bitmap color;
    ASSERT_TRUE(m_poRenderer->readColor(nullptr, 1, 1, 3, 2, &color));
    EXPECT_EQ(3, color.m_iWidth);
    EXPECT_EQ(2, color.m_iHeight);
    EXPECT_EQ(3, color.m_iComponents);
    expectNoGLError("read-backs");
}

TEST_F(RendererPipeline, ReadBacksOfEmptyOrHugeRectanglesFail)
{
    unsigned char pixel[3] = {1, 2, 3};
    UTIL_Bitmap untouched;
    untouched.wrap(1, 1, 3, pixel);
    const int sizes[][2] = {{0, 5}, {5, 0}, {-1, 5}, {INT_MAX, INT_MAX}, {65536, 65536}, {INT_MAX, 1}};
    for (const auto &size : sizes) {
        EXPECT_FALSE(m_poRenderer->readColor(nullptr, 0, 0, size[0], size[1], &untouched)) << size[0];
        EXPECT_FALSE(m_poRenderer->readStencil(nullptr, 0, 0, size[0], size[1], &untouched)) << size[0];
        EXPECT_FALSE(m_poRenderer->readDepth(nullptr, 0, 0, size[0], size[1], &untouched)) << size[0];
        EXPECT_EQ(pixel, untouched.m_pucData);
    }
    expectNoGLError("refused read-backs");
}

TEST_F(RendererPipeline, StringsAfterTheFirstFrame)
{
    EXPECT_EQ(nullptr, m_poRenderer->getVersion());
    m_poRenderer->beginFrame(nullptr, false);
    ASSERT_NE(nullptr, m_poRenderer->getVersion());
    EXPECT_NE(nullptr, m_poRenderer->getVendor());
    EXPECT_NE(nullptr, m_poRenderer->getRenderer());
    EXPECT_EQ(VIEW_parseGLVersion(m_poRenderer->getVersion()), m_poRenderer->m_iVersion);
    EXPECT_GT(m_poRenderer->m_iVersion, 11);
    // Above 1.1 the specular colour is added after texturing.
    GLint control = 0;
    glGetIntegerv(GL_LIGHT_MODEL_COLOR_CONTROL, &control);
    EXPECT_EQ(GL_SEPARATE_SPECULAR_COLOR, control);
    EXPECT_GT(m_poRenderer->m_iMaxTextureSize, 0);
}

TEST(RendererNames, VersionStrings)
{
    const struct {
        const char *text;
        int version;
    } cases[] = {
        {"2.1 Mesa 22.3.6", 21},
        {"1.1", 11},
        {"4.5 (Compatibility Profile) Mesa", 45},
        {"10.2", 102},
        {nullptr, 0},
        {"", 0},
        {"2", 0},
        {"2.", 0},
        {"2.x", 0},
        {".1", 0},
        {"OpenGL ES 3.2", 0},
        {"99999999999999.1", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.version, VIEW_parseGLVersion(c.text)) << (c.text != nullptr ? c.text : "null");
}

TEST(RendererNames, RenderModes)
{
    VIEW_OpenGL renderer; // no OpenGL call is made by these
    const struct {
        int mode;
        const char *name;
    } cases[] = {{0, "NONE"}, {1, "VBO"}, {2, "SHADER"}, {3, "NONE"}, {7, "NONE"}, {-1, "NONE"}};
    for (const auto &c : cases) {
        renderer.m_iRenderMode = c.mode;
        EXPECT_STREQ(c.name, renderer.getRenderModeName()) << c.mode;
    }
    renderer.m_iRenderMode = 0;
}

} // namespace
