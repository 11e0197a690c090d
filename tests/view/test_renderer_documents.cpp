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

// The turning triangle: one triangle with red, green and blue corners at
// the origin, a camera at (0.5, 0.5, 3) looking down at it with a lamp
// riding on it, shown in a viewport over the whole document, turning a
// quarter turn a second. Neither the document nor the viewport has a
// background. The given Lua runs at the end of startup (globals scene,
// set, camera).
TEST_DocumentBuilder turningTriangle(const std::string &startup)
{
    TEST_DocumentBuilder document;
    document.add(
        "triangle.xml",
        "<materials><material name=\"paint\"><diffuse>1 1 1</diffuse></material></materials>\n"
        "<meshes><mesh name=\"tri\"><min>0 0 0</min><max>1 1 0</max>\n"
        "<vertices count=\"3\" size=\"4\">00000000 00000000 00000000  0000803f 00000000 00000000  "
        "00000000 0000803f 00000000</vertices>\n"
        "<normals count=\"3\" size=\"4\">00000000 00000000 0000803f  00000000 00000000 0000803f  "
        "00000000 00000000 0000803f</normals>\n"
        "<colors count=\"3\">ff0000ff 00ff00ff 0000ffff</colors>\n"
        "<triangles count=\"1\" size=\"2\">0000 0100 0200</triangles></mesh></meshes>\n"
        "<objects><object type=\"Mesh\" name=\"triangle\"><mesh>tri</mesh><material>paint</material></object>\n"
        "<object type=\"Camera\" name=\"eye\"><matrix>1 0 0 0  0 1 0 0  0 0 1 0  0.5 0.5 3 1</matrix>"
        "<angle>60</angle></object>\n"
        "<object type=\"Lamp\" name=\"light\"><parent>eye</parent><matrix>1 0 0 0  0 1 0 0  0 0 1 0  1 1 0 "
        "1</matrix><type>Lamp</type><color>1 1 1</color></object></objects>\n");
    document.add("init.lua", "function startup()\n"
                             "  scene = newScene('example')\n"
                             "  set = newModelsSet('triangle.xml')\n"
                             "  camera = newCamera(scene, set:get('eye'))\n"
                             "  newViewport(0, 0, 1, getAspectRatio()):setCamera(camera)\n"
                             "  local triangle = newMesh(scene, set:get('triangle'))\n"
                             "  setCallback(CB_UPDATE, function(dt) triangle:rotate(v3(0, 0, 1), 90 * dt) end)\n" +
                                 startup + "\nend\n");
    return document;
}

class RendererDocuments : public DrawingTest {
protected:
    // Plays frames (three unless given) at the size and reads the picture
    // back.
    void play(PlayedDocument &document, int width, int height, UTIL_Bitmap &picture, int frames = 3,
              double deltaTime = 0.02)
    {
        ASSERT_TRUE(m_poContext->resize(width, height));
        document.frames(m_poRenderer, width, height, frames, deltaTime);
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

TEST_F(RendererDocuments, EveryFrameStartsClearedWithoutABackground)
{
    // Ten frames of a tenth of a second: the triangle has turned from 9
    // to 90 degrees, and only the last of its places shows, on black. A
    // second viewport over the first, without a background either, shows
    // the triangle again through a camera 1.5 to the left, over what the
    // first one drew in the same frame.
    const struct {
        const char *startup;
        const char *golden;
        std::vector<std::vector<int>> inked; // pixels from the top left
    } cases[] = {
        {"", "turning_triangle", {{43, 69}}},
        {"local other = newCamera(scene, set:get('eye'))\n"
         "other:setPosition(v3(-1, 0.5, 3))\n"
         "newViewport(0, 0, 1, getAspectRatio()):setCamera(other)\n",
         "turning_triangle_twice",
         {{43, 69}, {112, 69}}},
    };
    for (const auto &c : cases) {
        PlayedDocument document(turningTriangle(c.startup));
        ASSERT_TRUE(document.m_bOpened);
        document.m_oController.m_bRunning = true; // time passes, as the hosts have it
        UTIL_Bitmap picture;
        play(document, 160, 120, picture, 10, 0.1);
        ASSERT_FALSE(document.m_oController.m_bHalted) << document.m_oController.m_sErrorText;
        // Where the triangle lay at 9 degrees, and the top left corner.
        EXPECT_EQ(std::vector<int>({0, 0, 0}), VIEW_pixel(picture, 85, 74)) << c.golden;
        EXPECT_EQ(std::vector<int>({0, 0, 0}), VIEW_pixel(picture, 2, 2)) << c.golden;
        for (const std::vector<int> &at : c.inked) {
            std::vector<int> pixel = VIEW_pixel(picture, at[0], at[1]);
            EXPECT_GT(pixel[0] + pixel[1] + pixel[2], 100) << c.golden << " at " << at[0] << ", " << at[1];
        }
        VIEW_expectGolden(picture, c.golden);
    }
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
