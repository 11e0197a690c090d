// The memory cap of a document's scripts, seen from the command line.
#include <gtest/gtest.h>

#include <string>

#include "foundation/UTIL_Bitmap.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Process.h"

// A script that grows without end meets the interpreter's memory cap: Lua's
// "not enough memory" error, reported like any other, and the message is
// drawn (the screenshot shows it: white, with dark text).
TEST(PlayerMemory, ARunawayScriptMeetsTheMemoryCap)
{
    struct Case {
        const char *what;
        const char *startup;
    };
    const Case cases[] = {
        {"a string that doubles", "local s = 'x' while true do s = s .. s end"},
        {"a table of large strings",
         "local b, t = 'x', {} for i = 1, 24 do b = b .. b end while true do t[#t + 1] = b .. #t end"},
    };
    for (const Case &c : cases) {
        TEST_TempDir dir;
        TEST_DocumentBuilder document;
        document.add("init.lua", std::string("function startup() ") + c.startup + " end\n");
        std::string shot = dir.path("shot.png");
        TEST_ProcessResult result =
            TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", "2", "--size", "480x120", "--screenshot", shot,
                                        dir.write("grow.vk", document.build())});
        EXPECT_EQ(result.m_iExitCode, 1) << c.what << ": " << result.m_sErr;
        EXPECT_NE(result.m_sErr.find("not enough memory\n"), std::string::npos) << c.what << ": " << result.m_sErr;
        EXPECT_NE(result.m_sErr.find("Error loading the file."), std::string::npos) << c.what << ": " << result.m_sErr;
        UTIL_Bitmap image;
        TEST_readPng(shot, image);
        ASSERT_EQ(image.m_iWidth, 480) << c.what;
        const unsigned char *corner = TEST_pixelFromTop(image, 470, 110);
        EXPECT_EQ(corner[0] + corner[1] + corner[2], 3 * 255) << c.what;
    }
}
