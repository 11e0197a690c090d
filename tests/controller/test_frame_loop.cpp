#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Image.h"
#include "model/MDL_Material.h"
#include "model/MDL_Texture.h"
#include "model/MDL_Viewport.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Support.h"
#include "view/VIEW_Generic.h"

namespace {

// A renderer that writes down what the controller asks of it.
struct RecordingRenderer : VIEW_Generic {
    std::vector<std::string> m_asCalls;
    std::string m_sCaption;
    MTH_Vector4D m_oClear;
    MTH_Vector2D m_oViewportOrigin, m_oViewportSize, m_oFramePosition, m_oFrameSize;
    MDL_Image *m_poLogo = nullptr;

    void beginFrame(void *, bool) override { m_asCalls.push_back("begin"); }
    void present(void *) override { m_asCalls.push_back("present"); }
    void clear(const MTH_Vector4D &c) override
    {
        m_oClear = c;
        m_asCalls.push_back("clear");
    }
    void renderViewport(MDL_Viewport *, const MTH_Vector2D &p, const MTH_Vector2D &s) override
    {
        m_oViewportOrigin = p;
        m_oViewportSize = s;
        m_asCalls.push_back("viewport");
    }
    void drawSplash(const MTH_Vector2D &p, const MTH_Vector2D &s, const char *caption, MDL_Font *,
                    MDL_Image *logo) override
    {
        m_poLogo = logo;
        m_oFramePosition = p;
        m_oFrameSize = s;
        m_sCaption = caption;
        m_asCalls.push_back("splash");
    }
    void drawMessage(const MTH_Vector2D &, const MTH_Vector2D &, const char *, MDL_Font *) override
    {
        m_asCalls.push_back("message");
    }
    void invalidateGlyphTextures() override { m_asCalls.push_back("glyphs"); }
};

std::string joined(const std::vector<std::string> &calls)
{
    std::string all;
    for (const std::string &c : calls)
        all += (all.empty() ? "" : " ") + c;
    return all;
}

} // namespace

TEST(FrameLoop, SplashCaptionGainsADotEveryHalfSecondAndWraps)
{
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    RecordingRenderer renderer;
    controller.resize(800, 600);
    controller.frame(nullptr, &renderer, 0);
    EXPECT_EQ(renderer.m_sCaption, "Loading ");
    EXPECT_EQ(joined(renderer.m_asCalls), "begin clear splash present");
    EXPECT_EQ(renderer.m_oClear.m_fW, 1.0);

    std::vector<std::string> captions;
    for (int i = 0; i < 12; i++) {
        controller.m_oStartTimer.m_fStartTime -= 1.0; // as if a second went by
        controller.frame(nullptr, &renderer, 0);
        captions.push_back(renderer.m_sCaption);
    }
    EXPECT_EQ(captions[0], "Loading  .");
    EXPECT_EQ(captions[9], "Loading  . . . . . . . . . .");
    EXPECT_EQ(captions[10], "Loading  ."); // after ten, back to one
    EXPECT_EQ(captions[11], "Loading  . .");
}

TEST(FrameLoop, SplashLogoIsAQuarterOfTheFrameWideAndCentredAboveTheCaption)
{
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    RecordingRenderer renderer;
    controller.resize(800, 600);
    controller.frame(nullptr, &renderer, 0);
    MDL_Image *logo = renderer.m_poLogo;
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo, controller.m_poLogoImage);
    ASSERT_TRUE(logo->ownsMaterial());
    ASSERT_EQ(logo->getMaterial()->getLayerCount(), 1);
    MDL_Texture *texture = logo->getMaterial()->getLayerTexture(0);
    EXPECT_EQ(texture, controller.m_poLogoTexture);
    EXPECT_STREQ(texture->getName(), "Vekta");
    EXPECT_EQ(texture->m_iWidth, 512);
    EXPECT_EQ(texture->m_iHeight, 128);
    // Its centre, (0.5, 0.5 x aspect ratio) of its own, lies at (0.5, 0.2).
    MTH_Vector3D centre(0.5, 0.5 * logo->getAspectRatio(), 0);
    logo->getGlobalFrame().toGlobalPoint(centre);
    expectNear(MTH_Vector3D(0.5, 0.2, 1), centre);
    MTH_Vector3D lengths;
    logo->getGlobalBasis().getRowLengths(lengths);
    expectNear(MTH_Vector3D(0.25, 0.25, 1), lengths);
    // Later frames show the same logo; running drops it.
    controller.frame(nullptr, &renderer, 0);
    EXPECT_EQ(renderer.m_poLogo, logo);
    controller.setRunning();
    EXPECT_EQ(controller.m_poLogoImage, nullptr);
    EXPECT_EQ(controller.m_poLogoTexture, nullptr);
}

TEST(FrameLoop, LetterboxedDocumentFrame)
{
    struct Case {
        int width, height;
        double aspect;
        double offsetX, offsetY, frameWidth, frameHeight;
    };
    const Case cases[] = {
        {800, 600, 0.75, 0, 0, 800, 600},    // the view has the document's shape
        {800, 800, 0.75, 0, 100, 800, 600},  // bands above and below
        {1000, 600, 0.75, 100, 0, 800, 600}, // bands left and right
        {801, 600, 0.75, 0.5 * (801 - 801 * (600.0 / 601)), 0, 801 * (600.0 / 601), 600},
    };
    for (const Case &c : cases) {
        CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
        controller.m_bStarted = true; // keep the document's aspect ratio
        controller.setAspectRatio(c.aspect);
        controller.resize(c.width, c.height);
        CTRL_Generic::DocumentFrame f = controller.documentFrame();
        EXPECT_DOUBLE_EQ(f.m_oOffset.m_fX, c.offsetX) << c.width << "x" << c.height;
        EXPECT_DOUBLE_EQ(f.m_oOffset.m_fY, c.offsetY) << c.width << "x" << c.height;
        EXPECT_DOUBLE_EQ(f.m_fWidth, c.frameWidth) << c.width << "x" << c.height;
        EXPECT_DOUBLE_EQ(f.m_fHeight, c.frameHeight) << c.width << "x" << c.height;
    }
}

TEST(FrameLoop, ResizeSetsTheAspectRatioOnlyBeforeTheScriptsStart)
{
    RecordingRenderer renderer;
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    controller.m_poRenderer = &renderer;
    controller.resize(1000, 500);
    EXPECT_EQ(controller.getAspectRatio(), 0.5);
    EXPECT_EQ(joined(renderer.m_asCalls), "glyphs");
    controller.resize(1000, 500); // the same size: nothing
    EXPECT_EQ(joined(renderer.m_asCalls), "glyphs");
    controller.m_bStarted = true;
    controller.resize(1000, 800);
    EXPECT_EQ(controller.getAspectRatio(), 0.5); // left to the scripts
}

TEST(FrameLoop, RunningFrameDrawsActiveViewportsWithCamerasInTheFrame)
{
    TEST_TempDir dir;
    RecordingRenderer renderer;
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    ASSERT_TRUE(controller.openDocument(dir.write("d.vk", TEST_DocumentBuilder().build()).c_str()));
    controller.m_bStarted = true;
    controller.setRunning();
    controller.m_bRunning = true;
    controller.resize(800, 800); // letterboxed: 800 x 600 at y 100
    controller.setAspectRatio(0.75);

    MDL_Camera camera;
    MDL_Viewport *withCamera = new MDL_Viewport(MTH_Vector2D(0.25, 0.125), MTH_Vector2D(0.5, 0.25));
    withCamera->m_poCamera = &camera;
    MDL_Viewport *without = new MDL_Viewport(MTH_Vector2D(0, 0), MTH_Vector2D(1, 0.75));
    // An inactive viewport is not drawn, camera or not.
    MDL_Viewport *inactive = new MDL_Viewport(MTH_Vector2D(0, 0), MTH_Vector2D(1, 0.75));
    inactive->m_poCamera = &camera;
    inactive->m_bActive = false;
    controller.m_oViewports.append(withCamera);
    controller.m_oViewports.append(without);
    controller.m_oViewports.append(inactive);

    controller.frame(nullptr, &renderer, 0.02);
    EXPECT_EQ(joined(renderer.m_asCalls), "begin clear viewport present");
    // Letterboxed with a transparent background: cleared with opaque black.
    EXPECT_EQ(renderer.m_oClear.m_fX, 0.0);
    EXPECT_EQ(renderer.m_oClear.m_fW, 1.0);
    // Origin at the lower left: x 0 + 0.25*800, y 100 + 600 - 0.125*800 - 0.25*800.
    EXPECT_DOUBLE_EQ(renderer.m_oViewportOrigin.m_fX, 200);
    EXPECT_DOUBLE_EQ(renderer.m_oViewportOrigin.m_fY, 400);
    EXPECT_DOUBLE_EQ(renderer.m_oViewportSize.m_fX, 400);
    EXPECT_DOUBLE_EQ(renderer.m_oViewportSize.m_fY, 200);
    EXPECT_EQ(controller.m_fDeltaTime, 0.02);

    withCamera->m_poCamera = nullptr;
    inactive->m_poCamera = nullptr;
    delete withCamera;
    delete without;
    delete inactive;
    controller.m_oViewports.resize(0);
}

TEST(FrameLoop, RunningFramesClearWithTheBackgroundOrOpaqueBlack)
{
    // Nothing lies behind a window or a screenshot: a background without
    // opacity clears with opaque black, in a letterboxed view or not.
    const struct {
        int height;
        double alpha;
        double red; // of the clear colour; its alpha is the background's or 1
    } cases[] = {{600, 0, 0}, {800, 0, 0}, {600, 0.5, 0.25}, {800, 0.5, 0.25}, {600, -1, 0}};
    TEST_TempDir dir;
    for (const auto &c : cases) {
        RecordingRenderer renderer;
        CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
        ASSERT_TRUE(controller.openDocument(dir.write("d.vk", TEST_DocumentBuilder().build()).c_str()));
        controller.m_bStarted = true;
        controller.setRunning();
        controller.resize(800, c.height);
        controller.setAspectRatio(0.75);
        controller.setBackgroundColor(MTH_Vector4D(0.25, 0.5, 0.75, c.alpha));
        controller.frame(nullptr, &renderer, 0.02);
        EXPECT_EQ(joined(renderer.m_asCalls), "begin clear present");
        EXPECT_EQ(renderer.m_oClear.m_fX, c.red) << c.height << " " << c.alpha;
        EXPECT_EQ(renderer.m_oClear.m_fW, c.alpha > 0 ? c.alpha : 1) << c.height << " " << c.alpha;
    }
}

TEST(FrameLoop, TimeStepIsCappedAndHaltedFramesDrawTheMessage)
{
    RecordingRenderer renderer;
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    controller.m_bRunning = true;
    controller.resize(640, 480);
    controller.frame(nullptr, &renderer, 0.25);
    EXPECT_EQ(controller.m_fDeltaTime, static_cast<double>(0.1f));
    controller.frame(nullptr, &renderer, -1);
    EXPECT_EQ(controller.m_fDeltaTime, 0.0);

    controller.m_pbKeys[65] = true;
    controller.frame(nullptr, &renderer, 0.01);
    EXPECT_TRUE(controller.isKeyPressed(65)); // rolled into both tables
    EXPECT_FALSE(controller.isKeyJustPressed(65));

    controller.reportError("stop");
    renderer.m_asCalls.clear();
    controller.frame(nullptr, &renderer, 0.01);
    EXPECT_EQ(joined(renderer.m_asCalls), "begin clear message present");

    // A view of zero size skips drawing.
    controller.resize(0, 480);
    renderer.m_asCalls.clear();
    controller.frame(nullptr, &renderer, 0.01);
    EXPECT_TRUE(renderer.m_asCalls.empty());
}
