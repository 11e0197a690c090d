#include <gtest/gtest.h>

#include <string>

#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Process.h"

// The player runs a document's scripts once: "init.lua", then startup.
TEST(PlayerScripts, RunsTheDocumentAndReportsBrokenScripts)
{
    TEST_TempDir dir;
    TEST_DocumentBuilder good;
    good.add("init.lua", "function startup() print('Welcome, ' .. require('who')) end\n");
    good.add("who.lua", "return 'player'\n");
    std::string goodPath = dir.write("good.vk", good.build());
    TEST_ProcessResult played = TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", "3", "--dt", "0.02", goodPath});
    EXPECT_EQ(played.m_iExitCode, 0) << played.m_sErr;
    EXPECT_NE(played.m_sErr.find("Welcome, player\n"), std::string::npos) << played.m_sErr;
    EXPECT_NE(played.m_sErr.find(goodPath + " loaded in "), std::string::npos) << played.m_sErr;

    TEST_DocumentBuilder broken;
    broken.add("init.lua", "function startup()\n  print('never')\nend\nx = = 1\n");
    TEST_ProcessResult failed = TEST_run(VEKTA_PLAYER_EXE, {"--headless", dir.write("broken.vk", broken.build())});
    EXPECT_EQ(failed.m_iExitCode, 1);
    size_t diagnostic = failed.m_sErr.find("init.lua:4: unexpected symbol near '='");
    size_t shown = failed.m_sErr.find("Error loading the file.\nPlease check with your content provider.");
    ASSERT_NE(diagnostic, std::string::npos) << failed.m_sErr;
    ASSERT_NE(shown, std::string::npos) << failed.m_sErr;
    EXPECT_LT(diagnostic, shown);
    EXPECT_EQ(failed.m_sErr.find("never"), std::string::npos);
    EXPECT_EQ(failed.m_sErr.find("loaded in"), std::string::npos);
}
