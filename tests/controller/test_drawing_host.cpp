// The part every OpenGL host shares, in an off-screen context: the renderer
// is made at the first refresh and after a release, the controller follows
// the surface's size, and what a frame drew can be read back.
#include <gtest/gtest.h>

#include "controller/CTRL_Generic.h"
#include "controller/desktop/CTRL_DrawingHost.h"
#include "foundation/UTIL_Bitmap.h"
#include "view/desktop/VIEW_EglContext.h"
#include "tests/support/TEST_Support.h"

namespace {

struct DrawingHost : ::testing::Test {
    // No document: every frame draws the white splash.
    CTRL_Generic m_oController{nullptr, CTRL_PLATFORM_LINUX};
    CTRL_DrawingHost m_oHost{&m_oController};
    VIEW_EglContext *m_poContext = nullptr;

    void SetUp() override
    {
        char error[256];
        m_poContext = VIEW_EglContext::create(64, 48, error, sizeof(error));
        if (m_poContext == nullptr)
            TEST_SKIP_WITHOUT() << "no OpenGL: " << error;
        m_oController.m_bRunning = true;
    }
    void TearDown() override
    {
        if (m_poContext == nullptr)
            return;
        m_poContext->makeCurrent();
        m_oHost.release(m_poContext);
        delete m_poContext;
    }
    void refresh() { m_oHost.refresh(m_poContext, m_poContext->width(), m_poContext->height(), 0.02); }
};

TEST_F(DrawingHost, MakesTheRendererOnceAndAgainAfterARelease)
{
    m_oHost.release(m_poContext); // nothing made yet: nothing to do
    EXPECT_EQ(m_oController.m_poRenderer, nullptr);
    refresh();
    VIEW_Generic *first = m_oController.m_poRenderer;
    ASSERT_NE(first, nullptr);
    refresh();
    EXPECT_EQ(m_oController.m_poRenderer, first);
    EXPECT_EQ(m_oHost.renderersMade(), 1);

    m_oHost.release(m_poContext);
    EXPECT_EQ(m_oController.m_poRenderer, nullptr);
    m_oHost.release(m_poContext);
    refresh();
    EXPECT_NE(m_oController.m_poRenderer, nullptr);
    EXPECT_EQ(m_oHost.renderersMade(), 2);
}

TEST_F(DrawingHost, ReadsBackTheLastFrameAtTheSurfaceSize)
{
    UTIL_Bitmap frame;
    EXPECT_FALSE(m_oHost.readFrame(m_poContext, frame)); // nothing drawn yet
    refresh();
    EXPECT_EQ(m_oController.getResolution().m_fX, 64);
    EXPECT_EQ(m_oController.getResolution().m_fY, 48);
    ASSERT_TRUE(m_oHost.readFrame(m_poContext, frame));
    EXPECT_EQ(frame.m_iWidth, 64);
    EXPECT_EQ(frame.m_iHeight, 48);
    ASSERT_EQ(frame.m_iComponents, 3);
    // The splash's white, in the corners.
    for (int corner : {0, (48 * 64 - 1) * 3})
        for (int c = 0; c < 3; c++)
            EXPECT_EQ(frame.m_pucData[corner + c], 255);

    ASSERT_TRUE(m_poContext->resize(30, 20));
    refresh();
    ASSERT_TRUE(m_oHost.readFrame(m_poContext, frame));
    EXPECT_EQ(frame.m_iWidth, 30);
    EXPECT_EQ(frame.m_iHeight, 20);
}

// A minimised window's surface: the frame still updates, nothing is drawn,
// nothing is read, and the aspect ratio is kept.
TEST_F(DrawingHost, AnEmptySurfaceDrawsNothing)
{
    refresh();
    double ratio = m_oController.getAspectRatio();
    const int sizes[][2] = {{0, 0}, {0, 48}, {64, 0}, {-5, 10}};
    for (const auto &size : sizes) {
        m_oHost.refresh(m_poContext, size[0], size[1], 0.02);
        EXPECT_EQ(m_oController.getResolution().m_fX, 0);
        EXPECT_EQ(m_oController.getResolution().m_fY, 0);
        EXPECT_EQ(m_oController.getAspectRatio(), ratio);
        UTIL_Bitmap frame;
        EXPECT_FALSE(m_oHost.readFrame(m_poContext, frame));
        EXPECT_EQ(frame.m_pucData, nullptr);
    }
    refresh();
    UTIL_Bitmap frame;
    EXPECT_TRUE(m_oHost.readFrame(m_poContext, frame));
}

} // namespace
