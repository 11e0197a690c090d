// The player's windows on an X server of the test's own: one window per
// document, files dropped on a window, the language chooser, the end of the
// player with its last window.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Process.h"
#include "tests/support/TEST_XServer.h"

namespace {

// A document that says its name and language when it starts.
std::string sayingDocument(const TEST_TempDir &dir, const std::string &name)
{
    TEST_DocumentBuilder document;
    document.add("init.lua", "function startup() print('" + name + " starts in ' .. getLanguage()) end\n");
    return dir.write(name + ".vk", document.build());
}

struct PlayerWindows : TEST_WindowTest {
    void SetUp() override
    {
        TEST_WindowTest::SetUp();
        // The documents are told the locale's language; no sound is heard.
        m_aEnvironment.insert(m_aEnvironment.end(),
                              {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG=de_DE.UTF-8", "SDL_AUDIODRIVER=dummy"});
    }

    // The only window titled with text, once it is there; 0 when there is
    // not exactly one.
    unsigned long onlyWindow(const std::string &text) const
    {
        if (!m_oServer.waitForWindowCount(text, 1, 60))
            return 0;
        std::vector<unsigned long> windows = m_oServer.windowsTitled(text);
        return windows.size() == 1 ? windows[0] : 0;
    }
};

TEST_F(PlayerWindows, EveryDocumentHasItsWindowAndTheLastOneToCloseEndsThePlayer)
{
    std::string a = sayingDocument(m_oDir, "alpha"), b = sayingDocument(m_oDir, "beta");
    TEST_RunningProcess player(VEKTA_PLAYER_EXE, {"--size", "160x120", a, b}, m_aEnvironment);
    unsigned long first = onlyWindow("alpha.vk - Vekta"), second = onlyWindow("beta.vk - Vekta");
    ASSERT_NE(first, 0u) << player.finish(1).m_sErr;
    ASSERT_NE(second, 0u) << player.finish(1).m_sErr;
    ASSERT_TRUE(player.waitForError("alpha starts in DE", 60)) << player.errorSoFar();
    ASSERT_TRUE(player.waitForError("beta starts in DE", 60)) << player.errorSoFar();
    // One window closed: the other plays on.
    ASSERT_TRUE(m_oServer.requestClose(first));
    ASSERT_TRUE(m_oServer.waitForWindowCount("alpha.vk", 0, 60));
    EXPECT_EQ(m_oServer.windowsTitled("beta.vk").size(), 1u);
    ASSERT_TRUE(m_oServer.requestClose(second));
    TEST_ProcessResult ended = player.finish(60);
    EXPECT_EQ(ended.m_iExitCode, 0) << ended.m_sErr;
}

TEST_F(PlayerWindows, EachWindowRunsItsFramesThenCloses)
{
    TEST_DocumentBuilder counting;
    counting.add("init.lua", "function startup() setCallback(CB_UPDATE, function() print('tick') end) end\n");
    std::string a = m_oDir.write("a.vk", counting.build()), b = m_oDir.write("b.vk", counting.build());
    TEST_ProcessResult result =
        TEST_run(VEKTA_PLAYER_EXE, {"--frames", "4", "--dt", "0.02", "--size", "64x48", a, b}, m_aEnvironment);
    EXPECT_EQ(result.m_iExitCode, 0) << result.m_sErr;
    size_t ticks = 0;
    for (size_t at = result.m_sErr.find("tick"); at != std::string::npos; at = result.m_sErr.find("tick", at + 1))
        ticks++;
    EXPECT_EQ(ticks, 8u) << result.m_sErr;
}

TEST_F(PlayerWindows, ADroppedFileOpensInANewWindowAndAMissingOneInAnEmptyWindow)
{
    std::string a = sayingDocument(m_oDir, "alpha"), b = sayingDocument(m_oDir, "beta");
    std::string missing = m_oDir.path("gone away.vk");
    TEST_RunningProcess player(VEKTA_PLAYER_EXE, {"--size", "160x120", a}, m_aEnvironment);
    unsigned long first = onlyWindow("alpha.vk - Vekta");
    ASSERT_NE(first, 0u) << player.finish(1).m_sErr;
    ASSERT_TRUE(m_oServer.dropFiles(first, {b}, 60)) << player.errorSoFar();
    unsigned long second = onlyWindow("beta.vk - Vekta");
    ASSERT_NE(second, 0u) << player.finish(1).m_sErr;
    EXPECT_TRUE(player.waitForError("beta starts in DE", 60)) << player.errorSoFar();

    ASSERT_TRUE(m_oServer.dropFiles(second, {missing}, 60)) << player.errorSoFar();
    unsigned long empty = onlyWindow("gone away.vk - Vekta");
    ASSERT_NE(empty, 0u) << player.finish(1).m_sErr;
    // Nothing else: no more windows, no error report.
    EXPECT_EQ(m_oServer.windowsTitled(" - Vekta").size(), 3u);
    for (unsigned long window : {first, second, empty})
        ASSERT_TRUE(m_oServer.requestClose(window));
    TEST_ProcessResult ended = player.finish(60);
    EXPECT_EQ(ended.m_iExitCode, 0) << ended.m_sErr;
    EXPECT_EQ(ended.m_sErr.find("Error "), std::string::npos) << ended.m_sErr;
}

TEST_F(PlayerWindows, AChosenLanguageReachesTheNewWindowBeforeItsDocumentOpens)
{
    std::string a = sayingDocument(m_oDir, "alpha");
    TEST_RunningProcess player(VEKTA_PLAYER_EXE, {"--size", "320x240", a}, m_aEnvironment);
    unsigned long first = onlyWindow("alpha.vk");
    ASSERT_NE(first, 0u) << player.finish(1).m_sErr;
    // The first window asks the locale.
    ASSERT_TRUE(player.waitForError("alpha starts in DE\n", 60)) << player.errorSoFar();
    // Ctrl+L shows the chooser at the current language (DE); two lines down
    // is ES.
    ASSERT_TRUE(m_oServer.focus(first, 160, 120));
    for (const char *key : {"Control_L", "l"})
        ASSERT_TRUE(m_oServer.key(key, true));
    for (const char *key : {"l", "Control_L", "Down", "Down", "Return"}) {
        if (std::string(key) == "Down" || std::string(key) == "Return")
            ASSERT_TRUE(m_oServer.key(key, true));
        ASSERT_TRUE(m_oServer.key(key, false));
    }
    ASSERT_TRUE(player.waitForError("alpha starts in ES\n", 60)) << player.errorSoFar();
    // The old window has gone: one window of the document is left.
    ASSERT_TRUE(m_oServer.waitForWindowCount("alpha.vk", 1, 60));
    unsigned long reopened = m_oServer.windowsTitled("alpha.vk")[0];
    EXPECT_NE(reopened, first);
    ASSERT_TRUE(m_oServer.requestClose(reopened));
    TEST_ProcessResult ended = player.finish(60);
    EXPECT_EQ(ended.m_iExitCode, 0) << ended.m_sErr;
}

TEST_F(PlayerWindows, TheLanguageOptionIsEveryWindowsLanguage)
{
    TEST_TempDir dir;
    std::string a = sayingDocument(dir, "alpha");
    TEST_ProcessResult windowed =
        TEST_run(VEKTA_PLAYER_EXE, {"--language", "it", "--frames", "2", "--size", "64x48", a}, m_aEnvironment);
    EXPECT_EQ(windowed.m_iExitCode, 0) << windowed.m_sErr;
    EXPECT_NE(windowed.m_sErr.find("alpha starts in IT\n"), std::string::npos) << windowed.m_sErr;
    TEST_ProcessResult headless =
        TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--language=RU", "--frames", "2", a}, m_aEnvironment);
    EXPECT_EQ(headless.m_iExitCode, 0) << headless.m_sErr;
    EXPECT_NE(headless.m_sErr.find("alpha starts in RU\n"), std::string::npos) << headless.m_sErr;
}

} // namespace

namespace {

TEST_F(PlayerWindows, AFailedDocumentShowsItsMessageInItsWindow)
{
    // The window shows the message while it is open; the player says it on
    // standard error as the window closes, and fails.
    TEST_ProcessResult result = TEST_run(
        VEKTA_PLAYER_EXE, {"--frames", "3", "--size", "64x48", m_oDir.path("none.vk"), sayingDocument(m_oDir, "ok")},
        m_aEnvironment);
    EXPECT_EQ(result.m_iExitCode, 1) << result.m_sErr;
    EXPECT_NE(result.m_sErr.find("Error opening the file, the file is corrupted."), std::string::npos) << result.m_sErr;
    EXPECT_NE(result.m_sErr.find("ok starts in DE"), std::string::npos) << result.m_sErr;
}

TEST_F(PlayerWindows, ASignalClosesEveryWindow)
{
    TEST_RunningProcess player(VEKTA_PLAYER_EXE,
                               {"--size", "64x48", sayingDocument(m_oDir, "alpha"), sayingDocument(m_oDir, "beta")},
                               m_aEnvironment);
    ASSERT_TRUE(m_oServer.waitForWindowCount(" - Vekta", 2, 60)) << player.errorSoFar();
    player.signal(SIGTERM);
    TEST_ProcessResult ended = player.finish(60);
    EXPECT_EQ(ended.m_iExitCode, 128 + SIGTERM) << ended.m_sErr;
}

} // namespace
