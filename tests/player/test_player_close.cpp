// What happens after a document's last frame: the scripts' finalizers run
// while the whole document still lives, the close is bounded in time, and
// files the user asked for are complete before it begins.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>

#include "foundation/UTIL_Bitmap.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Process.h"
#include "tests/support/TEST_Wav.h"

namespace {

// A document whose init.lua keeps a table with that finalizer in a global
// (so it runs when the document closes) and defines an empty startup.
std::string closingDocument(const TEST_TempDir &dir, const std::string &finalizer)
{
    TEST_DocumentBuilder document = TEST_builtInMembers();
    std::string init = "G = setmetatable({}, {__gc = function() " + finalizer + " end})\nfunction startup() end\n";
    for (PACK_Member &member : document.m_aoMembers)
        if (member.m_sName == "init.lua")
            member.m_aucData.assign(init.begin(), init.end());
    document.add("more.lua", "print('more.lua ran')\n");
    return dir.write("closing.vk", document.build());
}

} // namespace

// A finalizer may call anything a script can; while the document closes all
// of it still works, and an error it reports makes the run fail.
TEST(PlayerClose, FinalizersRunWhileTheDocumentLives)
{
    struct Case {
        const char *finalizer;
        int exitCode;
        const char *said; // on standard error
    };
    const Case cases[] = {
        {"newTexture('x.png')", 1, "Error running the file."},
        {"print(newModelsSet('scene.xml'):get('camera') ~= nil)", 0, "true\n"},
        {"newModelsSet('none.xml')", 1, "Error running the file."},
        {"print(newSample('chime.ogg') ~= nil)", 0, "true\n"},
        {"print(io.open('config.xml'):read(5))", 0, "<?xml\n"},
        {"print(io.open('none.txt'))", 0, "nil\tnone.txt: "},
        {"dofile('more.lua')", 0, "more.lua ran\n"},
        {"io.open('//saved.txt', 'w'):write('saved at close'):close() print('saved')", 0, "saved\n"},
    };
    for (const Case &c : cases) {
        TEST_TempDir dir;
        TEST_ProcessResult result = TEST_run(
            VEKTA_PLAYER_EXE, {"--headless", "--frames", "3", "--dt", "0.02", closingDocument(dir, c.finalizer)});
        EXPECT_EQ(result.m_iExitCode, c.exitCode) << c.finalizer << ": " << result.m_sErr;
        EXPECT_NE(result.m_sErr.find(c.said), std::string::npos) << c.finalizer << ": " << result.m_sErr;
        EXPECT_EQ(result.m_sErr.find("Sanitizer"), std::string::npos) << c.finalizer << ": " << result.m_sErr;
        if (std::string(c.finalizer).find("//saved.txt") != std::string::npos)
            EXPECT_EQ(TEST_readText(dir.path("saved.txt")), "saved at close");
    }
}

// A finalizer that never returns (hooks are off in finalizers, so no
// interrupt reaches it) does not keep the player: after a few seconds the
// close ends with one line and status 1, with the capture and the screenshot
// written before it began.
TEST(PlayerClose, AnEndlessFinalizerEndsThePlayer)
{
    TEST_TempDir dir;
    std::string document = closingDocument(dir, "print('closing') while true do end");
    std::string wav = dir.path("sound.wav"), shot = dir.path("shot.png");
    auto start = std::chrono::steady_clock::now();
    TEST_RunningProcess player(VEKTA_PLAYER_EXE, {"--headless", "--frames", "10", "--dt", "0.02", "--size", "64x48",
                                                  "--audio-out", wav, "--screenshot", shot, document});
    TEST_ProcessResult result = player.finish(60);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(result.m_iExitCode, 1) << result.m_sErr;
    EXPECT_LT(seconds, 30);
    EXPECT_NE(result.m_sErr.find("closing\nvekta: " + document + " did not finish closing within 5 seconds"),
              std::string::npos)
        << result.m_sErr;
    EXPECT_TRUE(TEST_readWav(wav).m_bValid) << TEST_readWav(wav).m_sError;
    UTIL_Bitmap image;
    TEST_readPng(shot, image);
    EXPECT_EQ(image.m_iWidth, 64);
    EXPECT_EQ(image.m_iHeight, 48);
}

// A signal while the document closes ends the player at once, with 128 plus
// its number; also a second signal, after the first stopped the frames.
TEST(PlayerClose, ASignalWhileClosingEndsThePlayerAtOnce)
{
    struct Case {
        std::vector<std::string> options;
        int firstSignal; // 0: the frames end by their count
        int signal;
    };
    const Case cases[] = {
        {{"--frames", "10", "--dt", "0.02"}, 0, SIGTERM},
        {{"--dt", "0.02"}, SIGINT, SIGINT},
    };
    for (const Case &c : cases) {
        TEST_TempDir dir;
        std::vector<std::string> arguments = {"--headless"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        arguments.push_back(closingDocument(dir, "print('closing') while true do end"));
        TEST_RunningProcess player(VEKTA_PLAYER_EXE, arguments);
        if (c.firstSignal != 0) {
            ASSERT_TRUE(player.waitForError("loaded in", 20)) << player.errorSoFar();
            player.signal(c.firstSignal);
        }
        ASSERT_TRUE(player.waitForError("closing\n", 20)) << player.errorSoFar();
        auto start = std::chrono::steady_clock::now();
        player.signal(c.signal);
        TEST_ProcessResult result = player.finish(10);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(result.m_iExitCode, 128 + c.signal) << result.m_sErr;
        EXPECT_LT(seconds, 2);
    }
}
