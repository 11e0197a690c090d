#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Process.h"

// Ctrl-C (SIGINT) and SIGTERM stop the player even while a script never
// returns; it then closes the document as after its last frame (the file the
// script was writing is complete) and exits with 128 plus the signal's
// number, with no document failure reported.
TEST(PlayerInterrupt, SignalsStopRunawayScripts)
{
    // Every document writes a file beside itself first, then spins where
    // the case says (or idles between frames), after writing "spinning".
    const std::string write = "local out = io.open('//out.txt', 'w'); out:write('written')\n";
    struct Case {
        const char *where;
        std::string init;
        int signal;
        bool inScript;
    };
    const Case cases[] = {
        {"init.lua", write + "print('spinning') while true do end\n", SIGINT, true},
        {"startup", write + "function startup() print('spinning') while true do end end\n", SIGTERM, true},
        {"update callback",
         write + "function startup() setCallback(CB_UPDATE, function() print('spinning') while true do end end) end\n",
         SIGINT, true},
        {"coroutine",
         write + "function startup() coroutine.wrap(function() print('spinning') while true do end end)() end\n",
         SIGTERM, true},
        {"script catching the error",
         write + "function startup() print('spinning')\n"
                 "  while true do pcall(function() while true do end end) end end\n",
         SIGINT, true},
        {"between frames", write + "function startup() print('spinning') end\n", SIGTERM, false},
    };
    for (const Case &c : cases) {
        TEST_TempDir dir;
        TEST_DocumentBuilder document;
        document.add("init.lua", c.init);
        std::string path = dir.write("spin.vk", document.build());
        TEST_RunningProcess player(VEKTA_PLAYER_EXE, {"--headless", path});
        ASSERT_TRUE(player.waitForError("spinning", 20)) << c.where << ": " << player.errorSoFar();
        player.signal(c.signal);
        TEST_ProcessResult result = player.finish(10);
        EXPECT_EQ(result.m_iExitCode, 128 + c.signal) << c.where << ": " << result.m_sErr;
        EXPECT_EQ(TEST_readText(dir.path("out.txt")), "written") << c.where;
        EXPECT_EQ(result.m_sErr.find("Error "), std::string::npos) << c.where << ": " << result.m_sErr;
        EXPECT_EQ(result.m_sErr.find("interrupted") != std::string::npos, c.inScript)
            << c.where << ": " << result.m_sErr;
    }
}
