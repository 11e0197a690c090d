// Documents played by the controller and drawn by the OpenGL renderer: the
// letterboxed document frame, several viewports, the splash while loading
// and the failure message.
#include <algorithm>

#include "model/MDL_Font.h"
#include "tests/support/TEST_ModelsSetWriter.h"
#include "tests/view/view_test_support.h"

namespace {

// A models set of a camera at (0, 0, 5) and two shadeless squares: an
// orange one at the origin and a white one to its right.
std::string squaresScene()
{
    TEST_ModelsSetWriter writer;
    writer.addMaterial(TEST_MaterialRecord("orange").diffuse(1, 0.5, 0).child("shadeless", "1"));
    writer.addMaterial(TEST_MaterialRecord("white").diffuse(1, 1, 1).child("shadeless", "1"));
    writer.addMesh(TEST_planeShape("square", 1.0));
    TEST_ObjectRecord camera;
    camera.m_sType = "Camera";
    camera.m_sName = "camera";
    camera.m_afMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1};
    writer.addObject(camera);
    TEST_ObjectRecord orange;
    orange.m_sType = "Mesh";
    orange.m_sName = "orange";
    orange.m_sMesh = "square";
    orange.m_sMaterial = "orange";
    writer.addObject(orange);
    TEST_ObjectRecord white = orange;
    white.m_sName = "white";
    white.m_sMaterial = "white";
    white.m_afMatrix = {0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 0.5, 0, 2, 0, 0, 1};
    writer.addObject(white);
    return writer.text();
}

// A document whose startup runs the given Lua after making the scene
// (globals scene, models, camera).
TEST_DocumentBuilder squaresDocument(const std::string &startup)
{
    TEST_DocumentBuilder document;
    document.add("scene.xml", squaresScene());
    document.add("init.lua", "function startup()\n"
                             "  scene = newScene('squares')\n"
                             "  models = newModelsSet('scene.xml')\n"
                             "  camera = newCamera(scene, models:get('camera'))\n"
                             "  newMesh(scene, models:get('orange'))\n"
                             "  newMesh(scene, models:get('white'))\n" +
                                 startup + "\nend\n");
    return document;
}

class RendererDocuments : public DrawingTest {
protected:
    // Plays a few frames at the size and reads the picture back.
    void play(PlayedDocument &document, int width, int height, UTIL_Bitmap &picture)
    {
        ASSERT_TRUE(m_poContext->resize(width, height));
        document.frames(m_poRenderer, width, height, 3);
        expectNoGLError("frames");
        readBack(picture);
    }
};

TEST_F(RendererDocuments, LetterboxedFrameAtAnOddWindowSize)
{
    // A document twice as wide as high in a 101 x 77 window: the frame is
    // 101 x 51 (rounded), centred with black bars above and below.
    PlayedDocument document(squaresDocument("setAspectRatio(0.5)\n"
                                            "local v = newViewport(0, 0, 1, 0.5)\n"
                                            "v:setCamera(camera)\n"
                                            "v:setBackgroundColor(color(0.2, 0.4, 0.8, 1))\n"));
    ASSERT_TRUE(document.m_bOpened);
    UTIL_Bitmap picture;
    play(document, 101, 77, picture);
    EXPECT_FALSE(document.m_oController.m_bHalted) << document.m_oController.m_sErrorText;
    EXPECT_EQ(std::vector<int>({0, 0, 0}), VIEW_pixel(picture, 50, 5));
    EXPECT_EQ(std::vector<int>({0, 0, 0}), VIEW_pixel(picture, 50, 71));
    EXPECT_EQ(std::vector<int>({51, 102, 204}), VIEW_pixel(picture, 2, 20));
    EXPECT_EQ(std::vector<int>({255, 128, 0}), VIEW_pixel(picture, 50, 38));
    VIEW_expectGolden(picture, "letterboxed_frame");
}

TEST_F(RendererDocuments, SeveralViewports)
{
    // Two halves side by side through two cameras, and an inset without a
    // background over both, drawn last.
    PlayedDocument document(squaresDocument("setAspectRatio(0.5)\n"
                                            "local left = newViewport(0, 0, 0.5, 0.5)\n"
                                            "left:setCamera(camera)\n"
                                            "left:setBackgroundColor(color(0.5, 0, 0, 1))\n"
                                            "local other = newCamera(scene, models:get('camera'))\n"
                                            "other:setPosition(v3(2, 0, 5))\n"
                                            "local right = newViewport(0.5, 0, 0.5, 0.5)\n"
                                            "right:setCamera(other)\n"
                                            "right:setBackgroundColor(color(0, 0.5, 0, 1))\n"
                                            "local inset = newViewport(0.4, 0.35, 0.2, 0.1)\n"
                                            "inset:setCamera(other)\n"));
    ASSERT_TRUE(document.m_bOpened);
    UTIL_Bitmap picture;
    play(document, 160, 80, picture);
    EXPECT_FALSE(document.m_oController.m_bHalted) << document.m_oController.m_sErrorText;
    EXPECT_EQ(std::vector<int>({128, 0, 0}), VIEW_pixel(picture, 2, 2));
    EXPECT_EQ(std::vector<int>({0, 128, 0}), VIEW_pixel(picture, 157, 2));
    // The left half shows the orange square in the middle, the right one
    // the white square in the middle.
    EXPECT_EQ(std::vector<int>({255, 128, 0}), VIEW_pixel(picture, 40, 40));
    EXPECT_EQ(std::vector<int>({255, 255, 255}), VIEW_pixel(picture, 120, 40));
    VIEW_expectGolden(picture, "several_viewports");
}

TEST_F(RendererDocuments, SplashShowsTheLogoAndTheCaption)
{
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    ASSERT_TRUE(m_poContext->resize(480, 360));
    controller.m_poRenderer = m_poRenderer;
    controller.resize(480, 360);
    controller.m_iSplashState = 3;
    controller.m_oStartTimer.start();
    controller.frame(nullptr, m_poRenderer, 0.02);
    controller.m_poRenderer = nullptr;
    expectNoGLError("splash");
    UTIL_Bitmap picture;
    readBack(picture);
    EXPECT_EQ(std::vector<int>({255, 255, 255}), VIEW_pixel(picture, 5, 5));
    // The caption starts at (0.4, 0.26) of the frame's width: the "L"
    // just right of x 192, its foot on the baseline at y 124.8.
    VIEW_Extent caption = VIEW_inkExtent(picture, {255, 255, 255}, 64, 150, 110, 197, 140);
    EXPECT_LE(192, caption.m_iLeft);
    EXPECT_GE(194, caption.m_iLeft);
    EXPECT_EQ(124, caption.m_iBottom);
    // Rendered at a fiftieth of the frame's width.
    EXPECT_DOUBLE_EQ(0.02 * 480, controller.m_poDefaultFont->getSize());
    VIEW_expectGolden(picture, "splash");
}

TEST_F(RendererDocuments, FailureMessage)
{
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    ASSERT_TRUE(m_poContext->resize(480, 120));
    controller.resize(480, 120);
    controller.reportError("a corrupted file");
    ASSERT_TRUE(controller.m_bHalted);
    controller.frame(nullptr, m_poRenderer, 0.02);
    expectNoGLError("message");
    UTIL_Bitmap picture;
    readBack(picture);
    EXPECT_EQ(std::vector<int>({255, 255, 255}), VIEW_pixel(picture, 470, 110));
    // The text starts at (0.01, 0.03) of the frame's width: the "E" just
    // right of x 4.8, its foot on the baseline at y 14.4.
    VIEW_Extent e = VIEW_inkExtent(picture, {255, 255, 255}, 64, 0, 0, 10, 18);
    EXPECT_LE(5, e.m_iLeft);
    EXPECT_GE(7, e.m_iLeft);
    EXPECT_EQ(13, e.m_iBottom);
    VIEW_expectGolden(picture, "failure_message");
}

TEST_F(RendererDocuments, BuiltInDocumentShowsItsShadowsReflectionsAndGlass)
{
    // The built-in document's lamp shadows the meshes on its floor, which
    // mirrors them, and its glass is sorted and drawn.
    PlayedDocument played(TEST_builtInMembers());
    ASSERT_TRUE(played.m_bOpened);
    ASSERT_TRUE(m_poContext->resize(192, 144));
    m_iWidth = 192;
    m_iHeight = 144;
    played.frames(m_poRenderer, 192, 144, 20);
    expectNoGLError("frames");
    ASSERT_FALSE(played.m_oController.m_bHalted);
    ASSERT_EQ(1, played.m_oController.m_oScenes.m_iCount);
    MDL_Scene *scene = played.m_oController.m_oScenes.m_pData[0];
    MTH_Vector3D point, normal;
    EXPECT_NE(nullptr, m_poRenderer->findMirror(scene, point, normal));
    ASSERT_NE(nullptr, scene->getShadowLamp());
    int volumes = 0;
    for (int i = 0; i < scene->m_oMeshes.m_iCount; i++)
        volumes += static_cast<MDL_Mesh *>(scene->m_oMeshes.m_pData[i])->m_oShadowSides.m_iCount > 0;
    EXPECT_GT(volumes, 5);
    EXPECT_GT(m_poRenderer->m_oTransparency.m_oMaterials.m_iCount, 0);
    std::vector<unsigned char> stencil = readStencilValues();
    EXPECT_GT(std::count_if(stencil.begin(), stencil.end(), [](unsigned char v) { return v != 0; }), 100);
}

} // namespace
