#include <gtest/gtest.h>

#include <string>

#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Process.h"

static TEST_ProcessResult player(const std::vector<std::string> &arguments)
{
    return TEST_run(VEKTA_PLAYER_EXE, arguments);
}

TEST(PlayerCommandLine, UsageVersionAndHelp)
{
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
    };
    const Case cases[] = {
        {{"--help"}, 0},
        {{"--version"}, 0},
        {{"--frames"}, 2},
        {{"--frames", "x"}, 2},
        {{"--dt", "0"}, 2},
        {{"--dt", "nan"}, 2},
        {{"--size", "10"}, 2},
        {{"--size", "0x5"}, 2},
        // Sizes are digits only, each side 1 to 16384, never wrapped.
        {{"--size", "4294968096x600"}, 2},
        {{"--size", "4294967297x1"}, 2},
        {{"--size", " 800x 600"}, 2},
        {{"--size", "+800x+600"}, 2},
        {{"--size", "16385x600"}, 2},
        {{"--size", "800x600x"}, 2},
        {{"--size", "800X600"}, 2},
        {{"--size", "x600"}, 2},
        // Time steps and frame counts are decimal, as in the input file.
        {{"--dt", "0x0.1"}, 2},
        {{"--dt", "+0.02"}, 2},
        {{"--dt", " 0.02"}, 2},
        {{"--frames", "+1"}, 2},
        {{"--frames", "99999999999999999999"}, 2},
        {{"--headless", "--frames", "1", "--size", "16x9", "--dt", "2.5e-2"}, 0},
        {{"--unknown"}, 2},
        {{"--audio-out"}, 2},
        {{"--audio-out", ""}, 2},
        {{"--audio-out", "x.wav", "a.vk", "b.vk"}, 2},
        // A capture that cannot be written plays nothing.
        {{"--headless", "--audio-out", "/nonexistent-folder/x.wav"}, 1},
        {{"--language"}, 2},
        {{"--language", "PT"}, 2},
        {{"--language=fra"}, 2},
        {{"--headless=yes"}, 2},
        {{"--headless", "--frames=1", "--language=de"}, 0},
        // After "--" everything is a document.
        {{"--headless", "--", "--frames"}, 1},
    };
    for (const Case &c : cases) {
        std::string line;
        for (const std::string &a : c.arguments)
            line += " \"" + a + "\"";
        EXPECT_EQ(player(c.arguments).m_iExitCode, c.exitCode) << line;
    }
    EXPECT_EQ(player({"--version"}).m_sOut, "vekta 1.6.4\n");
    // A usage error names the fault and points to the help.
    EXPECT_EQ(player({"--frames", "x"}).m_sErr,
              "vekta: --frames needs a whole number of frames\nTry 'vekta --help' for more information.\n");
    EXPECT_EQ(player({"--size", "4294968096x600"}).m_sErr,
              "vekta: --size needs WIDTHxHEIGHT in pixels, each side 1 to 16384\n"
              "Try 'vekta --help' for more information.\n");
    std::string help = player({"--help"}).m_sOut;
    EXPECT_EQ(help.find("Usage: vekta [OPTION...] [DOCUMENT...]\n"), 0u) << help;
    EXPECT_NE(help.find("Ctrl+L"), std::string::npos) << help;
    EXPECT_NE(help.find("scripts may hold at most 1 GiB"), std::string::npos) << help;
}

TEST(PlayerCommandLine, FailingDocumentsShowTheStageMessageAndTheDiagnostic)
{
    TEST_TempDir dir;
    TEST_ProcessResult missing = player({"--headless", dir.path("none.vk")});
    EXPECT_EQ(missing.m_iExitCode, 1);
    // The author's diagnostic comes first, then the message the user sees.
    size_t diagnostic = missing.m_sErr.find("Document " + dir.path("none.vk") + " not found");
    size_t shown = missing.m_sErr.find("Error opening the file, the file is corrupted.\n"
                                       "Please check with your content provider.");
    ASSERT_NE(diagnostic, std::string::npos) << missing.m_sErr;
    ASSERT_NE(shown, std::string::npos) << missing.m_sErr;
    EXPECT_LT(diagnostic, shown);

    TEST_DocumentBuilder newer;
    newer.add("config.xml", TEST_configXml(2, 0, 0));
    TEST_ProcessResult refused = player({"--headless", dir.write("new.vk", newer.build())});
    EXPECT_EQ(refused.m_iExitCode, 1);
    diagnostic = refused.m_sErr.find("config.xml: the document needs player version 2.0.0; this player is 1.6.4");
    shown = refused.m_sErr.find("You are trying to open a file not compatible with your player.");
    ASSERT_NE(diagnostic, std::string::npos) << refused.m_sErr;
    ASSERT_NE(shown, std::string::npos) << refused.m_sErr;
    EXPECT_LT(diagnostic, shown);
}

TEST(PlayerCommandLine, BuiltInDocumentOpens)
{
    TEST_ProcessResult result = player({"--headless", "--frames", "1"});
    EXPECT_EQ(result.m_iExitCode, 0) << result.m_sErr;
}

TEST(PlayerCommandLine, AnEmptyFileIsAFailure)
{
    TEST_TempDir dir;
    TEST_ProcessResult empty = player({"--headless", dir.write("empty.vk", std::string())});
    EXPECT_EQ(empty.m_iExitCode, 1);
    EXPECT_NE(empty.m_sErr.find("Error opening the file, the file is corrupted."), std::string::npos);
}
