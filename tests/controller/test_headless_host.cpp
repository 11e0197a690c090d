// The headless host runs whole frames through the renderer that draws
// nothing: what a frame does besides drawing still happens.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "controller/CTRL_Generic.h"
#include "controller/desktop/CTRL_HeadlessHost.h"
#include "foundation/UTIL_Bitmap.h"
#include "model/MDL_Texture.h"
#include "scripting/LMP_ScriptEngine.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Log.h"
#include "view/null/VIEW_Null.h"

namespace {

// A running document with one texture member, played by a script engine.
struct HeadlessDocument : ::testing::Test {
    TEST_TempDir m_oDir;
    TEST_LogCapture m_oLog;
    CTRL_Generic m_oController{new LMP_ScriptEngine(), CTRL_PLATFORM_LINUX};
    VIEW_Null m_oRenderer;

    void open(const std::string &init)
    {
        TEST_DocumentBuilder document;
        document.add("init.lua", init);
        document.add("t.png", std::string("\x89PNG\r\n\x1a\n", 8));
        ASSERT_TRUE(m_oController.openDocument(m_oDir.write("doc.vk", document.build()).c_str()));
    }
};

TEST_F(HeadlessDocument, EveryFrameIsDrawnAndTheRendererIsHeldWhileTheHostRuns)
{
    open("function startup() end");
    {
        CTRL_HeadlessHost host(&m_oController, &m_oRenderer, 320, 240);
        EXPECT_EQ(m_oController.m_poRenderer, &m_oRenderer);
        EXPECT_EQ(host.run(5, 0.1), 5);
        EXPECT_FALSE(m_oController.m_bHalted) << m_oLog.joined();
    }
    EXPECT_EQ(m_oController.m_poRenderer, nullptr);
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
    CTRL_HeadlessHost host(&m_oController, &m_oRenderer, 320, 240);
    host.run(2, 0.1);
    ASSERT_FALSE(m_oController.m_bHalted) << m_oLog.joined();
    // Deleted in the second frame's update, freed in that frame's drawing.
    EXPECT_EQ(m_oRenderer.m_iTexturesReleased, 1);
    EXPECT_EQ(m_oController.m_oTextures.m_iCount, 0);
    host.run(1, 0.1);
    EXPECT_EQ(m_oRenderer.m_iTexturesReleased, 1);
}

TEST_F(HeadlessDocument, ATimedMessageCountsDownAndGoes)
{
    open("function startup() end");
    CTRL_HeadlessHost host(&m_oController, &m_oRenderer, 320, 240);
    host.run(1, 0.1);
    m_oController.m_sMessage = strdup("hello");
    m_oController.m_fMessageTime = 0.35;
    long texts = m_oRenderer.m_iTextsDrawn;
    host.run(4, 0.1); // shown with 0.35, 0.25, 0.15 and 0.05 s left
    EXPECT_NEAR(m_oController.m_fMessageTime, -0.05, 1e-6);
    EXPECT_EQ(m_oRenderer.m_iTextsDrawn - texts, 4);
    host.run(2, 0.1);
    EXPECT_EQ(m_oRenderer.m_iTextsDrawn - texts, 4); // no longer shown
}

} // namespace
