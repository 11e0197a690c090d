// The numbers of the command line and of the input file: decimal only,
// nothing around them, never wrapped.
#include <gtest/gtest.h>

#include <climits>

#include "controller/desktop/CTRL_CommandNumbers.h"

TEST(CommandNumbers, WholeNumbersAreDigitsWithinTheirRange)
{
    const struct {
        const char *text;
        long min, max;
        bool read;
        long value;
    } cases[] = {
        {"800", 1, 16384, true, 800},
        {"0800", 1, 16384, true, 800},
        {"16384", 1, 16384, true, 16384},
        {"16385", 1, 16384, false, 0},
        {"0", 1, 16384, false, 0},
        {"4294968096", 1, 16384, false, 0},
        {"4294967297", 1, 16384, false, 0},
        {"99999999999999999999", 0, LONG_MAX, false, 0},
        {"9223372036854775807", 0, LONG_MAX, true, LONG_MAX},
        {"9223372036854775808", 0, LONG_MAX, false, 0},
        {"-2147483648", INT_MIN, INT_MAX, true, INT_MIN},
        {"-2147483649", INT_MIN, INT_MAX, false, 0},
        {"2147483648", INT_MIN, INT_MAX, false, 0},
        {"-9223372036854775808", LONG_MIN, LONG_MAX, true, LONG_MIN},
        {"-0", 0, 10, false, 0},
        {"-1", 0, 10, false, 0},
        {"+800", 1, 16384, false, 0},
        {" 800", 1, 16384, false, 0},
        {"800 ", 1, 16384, false, 0},
        {"0x10", 0, 100, false, 0},
        {"1e2", 0, 1000, false, 0},
        {"1.0", 0, 10, false, 0},
        {"", 0, 10, false, 0},
        {"-", -10, 10, false, 0},
    };
    for (const auto &c : cases) {
        long value = -7;
        EXPECT_EQ(CTRL_readWhole(c.text, c.min, c.max, value), c.read) << '"' << c.text << '"';
        EXPECT_EQ(value, c.read ? c.value : -7) << '"' << c.text << '"';
    }
    long value = 0;
    EXPECT_FALSE(CTRL_readWhole(nullptr, 0, 10, value));
}

TEST(CommandNumbers, NumbersAreFiniteDecimals)
{
    const struct {
        const char *text;
        bool read;
        double value;
    } cases[] = {
        {"0.02", true, 0.02},    {"-2", true, -2},     {".5", true, 0.5},    {"2.", true, 2},    {"1e1", true, 10},
        {"2.5E-2", true, 0.025}, {"1e+3", true, 1000}, {"-0.5e1", true, -5}, {"0x10", false, 0}, {"0x0.1", false, 0},
        {"+0.02", false, 0},     {" 0.02", false, 0},  {"0.02 ", false, 0},  {"inf", false, 0},  {"nan", false, 0},
        {"1e400", false, 0},     {".", false, 0},      {"-", false, 0},      {"1e", false, 0},   {"e5", false, 0},
        {"1,5", false, 0},       {"", false, 0},
    };
    for (const auto &c : cases) {
        double value = -7;
        EXPECT_EQ(CTRL_readNumber(c.text, value), c.read) << '"' << c.text << '"';
        EXPECT_EQ(value, c.read ? c.value : -7) << '"' << c.text << '"';
    }
    double value = 0;
    EXPECT_FALSE(CTRL_readNumber(nullptr, value));
}
