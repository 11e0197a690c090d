// The player's windows on an X server of the test's own: one window per
// document, files dropped on a window, the language chooser, the end of the
// player with its last window.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_ModelsSetWriter.h"
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

TEST_F(PlayerWindows, ASignalStopsAKeyCallbackThatNeverReturns)
{
    // The key reaches the script outside any frame's update; the signal
    // still stops it, and the document closes as after its last frame.
    TEST_DocumentBuilder document;
    document.add("init.lua", "local out = io.open('//out.txt', 'w'); out:write('written')\n"
                             "function startup() setCallback(CB_EVENT, function(t)\n"
                             "  if t == EVENT_KEY_DOWN then print('spinning') while true do end end\n"
                             "end) end\n");
    std::string path = m_oDir.write("spin.vk", document.build());
    std::string input = m_oDir.write("keys.txt", "2 keyDown 65\n");
    TEST_RunningProcess player(VEKTA_PLAYER_EXE, {"--size", "64x48", "--input", input, path}, m_aEnvironment);
    ASSERT_TRUE(player.waitForError("spinning", 60)) << player.errorSoFar();
    player.signal(SIGINT);
    TEST_ProcessResult ended = player.finish(10);
    EXPECT_EQ(ended.m_iExitCode, 128 + SIGINT) << ended.m_sErr;
    EXPECT_NE(ended.m_sErr.find("interrupted"), std::string::npos) << ended.m_sErr;
    EXPECT_EQ(TEST_readText(m_oDir.path("out.txt")), "written");
}

} // namespace

namespace {

// A document that says which keys it is told, and on "P" where its camera
// and the viewport's navigation point are; "M" turns the viewport's
// navigation to the mixed mode (orbiting, with control turning the camera
// where it stands).
std::string listeningDocument(const TEST_TempDir &dir)
{
    TEST_ModelsSetWriter models = TEST_ModelsSetWriter::sample();
    models.addObject(TEST_placedObject("Camera", "camera", MTH_Vector3D(0, 0, 6)));
    TEST_DocumentBuilder document;
    document.add("scene.xml", models.text());
    document.add("init.lua",
                 "local function v(p) return string.format('%.2f %.2f %.2f', p:x(), p:y(), p:z()) end\n"
                 "function startup()\n"
                 "  local scene = newScene('s')\n"
                 "  local models = newModelsSet('scene.xml')\n"
                 "  local view = newViewport(0, 0, 1, getAspectRatio())\n"
                 "  local camera = newCamera(scene, models:get('camera'))\n"
                 "  view:setCamera(camera)\n"
                 "  setCallback(CB_EVENT, function(t, a, b)\n"
                 "    if t == EVENT_KEY_DOWN then print('key down ' .. a) end\n"
                 "    if t == EVENT_KEY_UP then print('key up ' .. a) end\n"
                 "    if t == EVENT_KEY_DOWN and a == KEY_P then\n"
                 "      print('camera ' .. v(camera:getPosition()) .. ' point ' .. v(view:getNavigationPosition()))\n"
                 "    end\n"
                 "    if t == EVENT_KEY_DOWN and a == KEY_M then\n"
                 "      view:setNavigationMode(NAVIGATION_MIXED)\n"
                 "      view:setNavigationRadius(6)\n"
                 "    end\n"
                 "    return false\n"
                 "  end)\n"
                 "  print('listening')\n"
                 "end\n");
    return dir.write("listening.vk", document.build());
}

// The lines of text that begin with prefix, in order.
std::vector<std::string> linesWith(const std::string &text, const std::string &prefix)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        if (text.compare(at, prefix.size(), prefix) == 0)
            lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

struct PlayerWindowInput : PlayerWindows {
    unsigned long m_uiWindow = 0;

    // Waits for the player's window and its document, and gives the window
    // the keyboard with the pointer in its middle.
    void listen(TEST_RunningProcess &player)
    {
        m_uiWindow = onlyWindow("listening.vk");
        ASSERT_NE(m_uiWindow, 0u) << player.errorSoFar();
        ASSERT_TRUE(player.waitForError("listening\n", 60)) << player.errorSoFar();
        ASSERT_TRUE(m_oServer.focus(m_uiWindow, 100, 75));
    }

    // Presses and releases keys in turn ("+Shift_L" only presses,
    // "-Shift_L" only releases).
    void type(const std::vector<std::string> &keys)
    {
        for (const std::string &key : keys) {
            // A few milliseconds apart, as a person types.
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            if (key[0] != '-')
                ASSERT_TRUE(m_oServer.key(key[0] == '+' ? key.substr(1) : key, true));
            if (key[0] != '+')
                ASSERT_TRUE(m_oServer.key(key[0] == '-' ? key.substr(1) : key, false));
        }
    }
    // A drag with the right button across the window.
    void drag()
    {
        ASSERT_TRUE(m_oServer.movePointer(m_uiWindow, 100, 75));
        ASSERT_TRUE(m_oServer.button(3, true));
        for (int x = 110; x <= 160; x += 10)
            ASSERT_TRUE(m_oServer.movePointer(m_uiWindow, x, 90));
        ASSERT_TRUE(m_oServer.button(3, false));
    }
};

TEST_F(PlayerWindowInput, KeysReachTheDocumentWithTheirCodes)
{
    TEST_RunningProcess player(VEKTA_PLAYER_EXE, {"--size", "200x150", listeningDocument(m_oDir)}, m_aEnvironment);
    ASSERT_NO_FATAL_FAILURE(listen(player));
    // Shift alone, "a", then "A" (shift and a), "!" (shift and 1, released
    // after shift), control and a (which types nothing), then the end mark.
    type({"Shift_L", "a", "+Shift_L", "a", "-Shift_L", "+Shift_L", "+1", "-Shift_L", "-1", "+Control_L", "a",
          "-Control_L", "p"});
    ASSERT_TRUE(player.waitForError("key up 80\n", 60)) << player.errorSoFar();
    ASSERT_TRUE(m_oServer.requestClose(m_uiWindow));
    TEST_ProcessResult ended = player.finish(60);
    EXPECT_EQ(ended.m_iExitCode, 0) << ended.m_sErr;
    EXPECT_EQ(
        linesWith(ended.m_sErr, "key "),
        (std::vector<std::string>{"key down 16", "key up 16", "key down 65", "key up 65", "key down 16", "key down 65",
                                  "key up 65", "key up 16", "key down 16", "key down 33", "key up 16", "key up 33",
                                  "key down 17", "key down 65", "key up 65", "key up 17", "key down 80", "key up 80"}))
        << ended.m_sErr;
}

TEST_F(PlayerWindowInput, ShiftAndControlReachTheMouseMotion)
{
    TEST_RunningProcess player(VEKTA_PLAYER_EXE, {"--size", "200x150", listeningDocument(m_oDir)}, m_aEnvironment);
    ASSERT_NO_FATAL_FAILURE(listen(player));
    // The free camera turns where it stands, and with shift (the motion's
    // first flag) moves.
    type({"p"});
    drag();
    type({"p", "+Shift_L"});
    drag();
    type({"-Shift_L", "p"});
    // Orbiting keeps the point it orbits, and with control (the second
    // flag) turns the camera, which moves that point.
    type({"m", "p"});
    drag();
    type({"p", "+Control_L"});
    drag();
    type({"-Control_L", "p"});
    ASSERT_TRUE(player.waitForError("key up 80\nkey down 80\ncamera", 60));
    auto sixth = [&] { return linesWith(player.errorSoFar(), "camera ").size() >= 6; };
    for (int i = 0; i < 3000 && !sixth(); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(m_oServer.requestClose(m_uiWindow));
    TEST_ProcessResult ended = player.finish(60);
    EXPECT_EQ(ended.m_iExitCode, 0) << ended.m_sErr;
    std::vector<std::string> states = linesWith(ended.m_sErr, "camera ");
    ASSERT_EQ(states.size(), 6u) << ended.m_sErr;
    auto camera = [&](int i) { return states[i].substr(0, states[i].find(" point")); };
    auto point = [&](int i) { return states[i].substr(states[i].find(" point")); };
    EXPECT_EQ(camera(1), camera(0)) << ended.m_sErr; // turned in place
    EXPECT_NE(camera(2), camera(1)) << ended.m_sErr; // moved: shift
    EXPECT_EQ(point(4), point(3)) << ended.m_sErr;   // orbited the point
    EXPECT_NE(camera(4), camera(3)) << ended.m_sErr;
    EXPECT_NE(point(5), point(4)) << ended.m_sErr; // turned in place: control
}

} // namespace
