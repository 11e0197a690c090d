// The headless host runs whole frames through the renderer that draws
// nothing: what a frame does besides drawing still happens. With OpenGL,
// each frame's drawing is done when the frame ends.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "controller/CTRL_Generic.h"
#include "controller/desktop/CTRL_HeadlessHost.h"
#include "foundation/UTIL_Bitmap.h"
#include "model/MDL_Texture.h"
#include "tests/scripting/script_test_support.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Support.h"
#include "view/null/VIEW_Null.h"

namespace {

// A running document with one texture member, played by a script engine.
struct HeadlessDocument : ::testing::Test {
    std::unique_ptr<ScriptDocument> m_poDocument;
    VIEW_Null m_oRenderer;

    void open(const std::string &init)
    {
        TEST_DocumentBuilder document = ScriptDocument::withInit(init);
        document.add("t.png", std::string("\x89PNG\r\n\x1a\n", 8));
        m_poDocument.reset(new ScriptDocument(document));
        ASSERT_TRUE(m_poDocument->m_bOpened);
    }
    CTRL_Generic &controller() { return m_poDocument->m_oController; }
    std::string log() const { return m_poDocument->log(); }
};

TEST_F(HeadlessDocument, EveryFrameIsDrawnAndTheRendererIsHeldWhileTheHostRuns)
{
    open("function startup() end");
    {
        CTRL_HeadlessHost host(&controller(), &m_oRenderer, 320, 240);
        EXPECT_EQ(controller().m_poRenderer, &m_oRenderer);
        EXPECT_EQ(host.run(5, 0.1), 5);
        EXPECT_FALSE(controller().m_bHalted) << log();
    }
    EXPECT_EQ(controller().m_poRenderer, nullptr);
    EXPECT_EQ(m_oRenderer.m_iFramesBegun, 5);
    EXPECT_EQ(m_oRenderer.m_iFramesPresented, 5);
    // It reads nothing back and names nothing, as a renderer that draws
    // nothing should.
    UTIL_Bitmap untouched;
    EXPECT_TRUE(m_oRenderer.readColor(nullptr, 0, 0, 4, 4, &untouched));
    EXPECT_EQ(untouched.m_pucData, nullptr);
    EXPECT_EQ(m_oRenderer.getVersion(), nullptr);
    EXPECT_EQ(m_oRenderer.getRenderModeName(), nullptr);
}

TEST_F(HeadlessDocument, ADeletedTextureIsReleasedAtTheNextFrame)
{
    open("function startup() tex = newTexture('t.png') end\n"
         "n = 0\n"
         "setCallback(CB_UPDATE, function() n = n + 1 if n == 2 then tex:delete() end end)");
    CTRL_HeadlessHost host(&controller(), &m_oRenderer, 320, 240);
    host.run(2, 0.1);
    ASSERT_FALSE(controller().m_bHalted) << log();
    // Deleted in the second frame's update, freed in that frame's drawing.
    EXPECT_EQ(m_oRenderer.m_iTexturesReleased, 1);
    EXPECT_EQ(controller().m_oTextures.m_iCount, 0);
    host.run(1, 0.1);
    EXPECT_EQ(m_oRenderer.m_iTexturesReleased, 1);
}

TEST_F(HeadlessDocument, ATimedMessageCountsDownAndGoes)
{
    open("function startup() end");
    CTRL_HeadlessHost host(&controller(), &m_oRenderer, 320, 240);
    host.run(1, 0.1);
    controller().m_sMessage = strdup("hello");
    controller().m_fMessageTime = 0.35;
    long texts = m_oRenderer.m_iTextsDrawn;
    host.run(4, 0.1); // shown with 0.35, 0.25, 0.15 and 0.05 s left
    EXPECT_NEAR(controller().m_fMessageTime, -0.05, 1e-6);
    EXPECT_EQ(m_oRenderer.m_iTextsDrawn - texts, 4);
    host.run(2, 0.1);
    EXPECT_EQ(m_oRenderer.m_iTextsDrawn - texts, 4); // no longer shown
}

TEST(HeadlessDrawing, EachFrameEndsWithItsDrawingDone)
{
    // The built-in document at 800 x 600 on the software rasteriser, whose
    // threads would still be drawing a frame that was only handed over. A
    // fence set after the frame is passed at once only when everything
    // before it is done (the host leaves its context current).
    ScriptDocument played(TEST_builtInMembers());
    ASSERT_TRUE(played.m_bOpened) << played.log();
    CTRL_HeadlessHost host(&played.m_oController, 800, 600);
    if (!host.drawing())
        TEST_SKIP_WITHOUT() << "no OpenGL context: " << host.failure();
    for (int frame = 1; frame <= 5; frame++) {
        ASSERT_EQ(host.run(1, 0.02), 1);
        GLsync fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        ASSERT_NE(fence, nullptr);
        EXPECT_EQ(glClientWaitSync(fence, 0, 0), static_cast<GLenum>(GL_ALREADY_SIGNALED)) << "frame " << frame;
        glDeleteSync(fence);
    }
    EXPECT_FALSE(played.m_oController.m_bHalted) << played.log();
}

} // namespace
