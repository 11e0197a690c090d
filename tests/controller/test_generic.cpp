#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "controller/CTRL_Generic.h"
#include "controller/CTRL_ScriptEngine.h"
#include "tests/support/TEST_Log.h"

TEST(Controller, ConstructionDefaults)
{
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    EXPECT_EQ(controller.m_iPlatform, CTRL_PLATFORM_LINUX);
    EXPECT_EQ(controller.m_iLoadStage, 0);
    EXPECT_EQ(controller.m_fAspectRatio, 0.75);
    EXPECT_EQ(controller.m_oAcceleration.m_fZ, -1.0);
    EXPECT_FALSE(controller.m_bHalted);
    EXPECT_EQ(controller.m_pbKeys, controller.m_abKeys);
    EXPECT_EQ(controller.m_pbPreviousKeys, controller.m_abPreviousKeys);
    EXPECT_STREQ(controller.m_acLanguage, "");
    EXPECT_EQ(controller.m_poDocument, nullptr);
    EXPECT_EQ(controller.m_oScenes.m_iCount, 0);
}

TEST(Controller, ErrorReportShowsTheStageMessageOnce)
{
    struct Case {
        int stage;
        const char *firstLine;
    };
    const Case cases[] = {
        {0, "Error opening the file, the file is corrupted.\nPlease check with your content provider."},
        {1, "You are trying to open a file not compatible with your player.\n"},
        {2, "Error loading the file.\nPlease check with your content provider."},
        {3, "Error running the file.\nPlease check with your content provider."},
        {7, "Error running the file.\nPlease check with your content provider."},
    };
    for (const Case &c : cases) {
        TEST_LogCapture log;
        CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
        controller.m_iLoadStage = c.stage;
        controller.reportError("the author's text %d %s", 42, "100%n");
        ASSERT_TRUE(controller.m_bHalted);
        std::string shown = controller.m_sErrorText;
        EXPECT_EQ(shown.compare(0, strlen(c.firstLine), c.firstLine), 0) << shown;
        EXPECT_EQ(log.m_asLines.size(), 1u);
        EXPECT_EQ(log.m_asLines[0], "the author's text 42 100%n");

        // A second report changes nothing.
        controller.m_iLoadStage = (c.stage + 1) % 4;
        controller.reportError("another");
        EXPECT_EQ(shown, controller.m_sErrorText);
        EXPECT_EQ(log.m_asLines.size(), 1u);
    }
}

// A script engine that runs nothing.
struct SilentEngine : CTRL_ScriptEngine {
    bool sendEvent(const CTRL_ScriptEvent &) override { return false; }
    void update(double) override {}
    void aspectRatioChanged(double) override {}
    bool loadScripts() override { return true; }
};

TEST(Controller, EngineAcceptsEventsWhileItsControllerRuns)
{
    SilentEngine *engine = new SilentEngine();
    EXPECT_FALSE(engine->acceptsEvents()); // no controller yet
    CTRL_Generic controller(engine, CTRL_PLATFORM_LINUX);
    EXPECT_EQ(engine->getController(), &controller);
    EXPECT_TRUE(engine->acceptsEvents());
    TEST_LogCapture log;
    controller.reportError("stop");
    EXPECT_FALSE(engine->acceptsEvents()); // halted after an error report
}

TEST(Controller, KeyHistory)
{
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    controller.m_pbKeys[32] = true;
    EXPECT_TRUE(controller.isKeyPressed(32));
    EXPECT_TRUE(controller.isKeyJustPressed(32));
    controller.m_pbPreviousKeys[32] = true; // held over two frames
    EXPECT_FALSE(controller.isKeyJustPressed(32));
    controller.m_pbKeys[32] = false;
    EXPECT_TRUE(controller.isKeyJustReleased(32));
    // Codes outside the tables read false.
    EXPECT_FALSE(controller.isKeyPressed(-1));
    EXPECT_FALSE(controller.isKeyPressed(256));
    EXPECT_FALSE(controller.isKeyJustReleased(1000));
}

TEST(Controller, LanguageAndAccessors)
{
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    controller.setLanguage("fr");
    EXPECT_STREQ(controller.m_acLanguage, "fr");
    controller.setLanguage("abcdef");
    EXPECT_STREQ(controller.m_acLanguage, "fr");
    controller.setLanguage("zh-TW");
    EXPECT_STREQ(controller.m_acLanguage, "zh-TW");
    char language[6] = "x";
    controller.getLanguage(language);
    EXPECT_STREQ(language, "");

    controller.m_oViewSize = MTH_Vector2D(800, 600);
    EXPECT_EQ(controller.getViewAspectRatio(), 0.75);
    controller.setAspectRatio(0.5);
    EXPECT_EQ(controller.getAspectRatio(), 0.5);
    controller.setRunning();
    EXPECT_EQ(controller.m_iLoadStage, 3);
}
