#include <gtest/gtest.h>

#include <string>

#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_Timer.h"
#include "tests/support/TEST_Log.h"

TEST(Timer, ElapsedGrowsUntilRestarted)
{
    UTIL_Timer timer;
    timer.start();
    double first = timer.getElapsed();
    EXPECT_GE(first, 0.0);
    EXPECT_LT(first, 1.0);
    double second = timer.getElapsed();
    EXPECT_GE(second, first);
    timer.reset();
    EXPECT_LE(timer.getElapsed(), second + 1.0);
}

TEST(Log, FormatsOneLinePerCallAndCutsAt1023)
{
    TEST_LogCapture log;
    UTIL_warn("plain");
    UTIL_warn("%d %s", 42, "x");
    UTIL_warn("Pnglib warning: %s (%s)\n", "w", "f.png");
    std::string exact(1023, 'a');
    UTIL_warn("%s", exact.c_str());
    std::string longer(5000, 'b');
    UTIL_warn("%s", longer.c_str());
    UTIL_warnText("100%d %s%n");

    ASSERT_EQ(log.m_asLines.size(), 6u);
    EXPECT_EQ(log.m_asLines[0], "plain");
    EXPECT_EQ(log.m_asLines[1], "42 x");
    EXPECT_EQ(log.m_asLines[2], "Pnglib warning: w (f.png)\n");
    EXPECT_EQ(log.m_asLines[3], exact);
    EXPECT_EQ(log.m_asLines[4], std::string(1023, 'b'));
    EXPECT_EQ(log.m_asLines[5], "100%d %s%n");
}
