#include <gtest/gtest.h>

#include <string>

#include <tinyxml.h>

#include "foundation/UTIL_UTF8.h"
#include "foundation/UTIL_XmlValues.h"

TEST(HexDecoding, BytesSkipOtherCharactersAndStopAtTheEnd)
{
    unsigned char out[4] = {9, 9, 9, 9};
    const char *text = "1F2";
    const char *end = UTIL_hexToBytes(text, 1, out);
    EXPECT_EQ(out[0], 0x12); // the upper-case F is skipped
    EXPECT_EQ(end, text + 3);

    // Text shorter than the count: the rest is left as it was.
    unsigned char partial[4] = {7, 7, 7, 7};
    UTIL_hexToBytes("ab c", 4, partial);
    EXPECT_EQ(partial[0], 0xab);
    EXPECT_EQ(partial[1], 7);
}

TEST(HexDecoding, Integers)
{
    struct Case {
        const char *text;
        int size;
        int expected;
    };
    const Case cases[] = {
        {"ffff", 2, -1},    {"0100", 2, 1},      {"0001", 2, 256},           {"feff", 2, 65534},
        {"01000000", 4, 1}, {"ffffffff", 4, -1}, {"00000080", 4, INT32_MIN},
    };
    for (const Case &c : cases) {
        int value = 12345;
        UTIL_hexToInts(c.text, c.size, 1, &value);
        EXPECT_EQ(value, c.expected) << c.text;
    }
    int untouched = 5;
    UTIL_hexToInts("0100", 3, 1, &untouched); // unknown size writes nothing
    EXPECT_EQ(untouched, 5);

    // Consecutive groups read from one text.
    int first[3], second[3];
    const char *text = "0100 0200 0300 0400 0500 0600";
    const char *next = UTIL_hexToInts(text, 2, 3, first);
    UTIL_hexToInts(next, 2, 3, second);
    EXPECT_EQ(first[2], 3);
    EXPECT_EQ(second[0], 4);
    EXPECT_EQ(second[2], 6);
}

TEST(HexDecoding, Doubles)
{
    double value = 0;
    UTIL_hexToDoubles("0000803f", 4, 1, &value);
    EXPECT_EQ(value, 1.0);
    UTIL_hexToDoubles("000000000000f03f", 8, 1, &value);
    EXPECT_EQ(value, 1.0);
    UTIL_hexToDoubles("0000c0bf", 4, 1, &value);
    EXPECT_EQ(value, -1.5);
    double untouched[2] = {3, 3};
    UTIL_hexToDoubles("0000803f0000", 4, 2, untouched); // second value incomplete
    EXPECT_EQ(untouched[0], 1.0);
    EXPECT_EQ(untouched[1], 3.0);
}

TEST(DecimalLists, ParseAndChildren)
{
    double values[4] = {};
    EXPECT_EQ(UTIL_parseDoubles("1, 2,,3", values, 4), 3);
    EXPECT_EQ(values[2], 3.0);
    EXPECT_EQ(UTIL_parseDoubles("1 2 3 4 5", values, 2), 2);
    EXPECT_EQ(UTIL_parseDoubles(nullptr, values, 2), 0);
    EXPECT_EQ(UTIL_parseDoubles("0.5\t-2e3\r\n", values, 4), 2);
    EXPECT_EQ(values[1], -2000.0);

    TiXmlDocument document;
    ASSERT_TRUE(LoadBuffer(document, "<o><m>1 2 3</m><m>4</m><b>2</b><z>0</z><e/><e/></o>", 0));
    const TiXmlElement *o = document.FirstChildElement("o");
    double m[3];
    EXPECT_TRUE(UTIL_readChildDoubles(o, "m", m, 3));
    EXPECT_FALSE(UTIL_readChildDoubles(o, "m", m, 4));
    EXPECT_TRUE(UTIL_readChildDoubles(o, "m", m, 0));
    EXPECT_FALSE(UTIL_readChildDoubles(o, "missing", m, 1));
    bool flag = false;
    EXPECT_TRUE(UTIL_readChildBool(o, "b", &flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(UTIL_readChildBool(o, "z", &flag));
    EXPECT_FALSE(flag);
    EXPECT_FALSE(UTIL_readChildBool(o, "e", &flag));
    EXPECT_EQ(UTIL_countChildren(o, "m"), 2);
    EXPECT_EQ(UTIL_countChildren(o, "e"), 2);
    EXPECT_EQ(UTIL_countChildren(o, "q"), 0);
}

TEST(LoadBuffer, EmptyTextIsError12AndBadXmlFails)
{
    TiXmlDocument empty;
    EXPECT_FALSE(LoadBuffer(empty, "", 0));
    EXPECT_EQ(empty.ErrorId(), 12);
    EXPECT_STREQ(empty.ErrorDesc(), "Error document empty.");

    TiXmlDocument broken;
    EXPECT_FALSE(LoadBuffer(broken, "<a><b></a>", 0));
    TiXmlDocument good;
    EXPECT_TRUE(LoadBuffer(good, "<a x=\"1\"/>", 0));
}

TEST(UTF8, DecodesOneCodePointPerCall)
{
    struct Case {
        const char *text;
        int used;
        uint64_t codePoint;
    };
    const Case cases[] = {
        {"A", 1, 'A'},           {"\xC3\xA9", 2, 0xE9}, {"\xE2\x82\xAC", 3, 0x20AC}, {"\xF0\x9F\x98\x80", 4, 0x1F600},
        {"\xC0\x41", 2, 0xFFFD}, // broken: the subtraction wraps
        {"\x80", 1, 0x80},       // a lone continuation byte
    };
    for (const Case &c : cases) {
        uint64_t cp = 0;
        EXPECT_EQ(UTIL_decodeUTF8(&cp, c.text), c.used) << c.text;
        EXPECT_EQ(cp, c.codePoint) << c.text;
    }
    uint64_t cp = 77;
    EXPECT_EQ(UTIL_decodeUTF8(&cp, ""), -1);
    EXPECT_EQ(UTIL_decodeUTF8(&cp, "\xC3"), -1); // NUL inside the sequence
    EXPECT_EQ(cp, 77u);
}

TEST(LoadBuffer, DeepTextsAreRefusedAndTextsAreReadByteByByte)
{
    std::string deep;
    for (int i = 0; i < 100000; i++)
        deep += "<a>";
    TiXmlDocument tooDeep;
    EXPECT_FALSE(LoadBuffer(tooDeep, deep.c_str(), 0));

    // A byte-order mark is skipped; a multi-byte sequence cut at the very end
    // of the text is kept as bytes, not read past.
    TiXmlDocument marked;
    ASSERT_TRUE(LoadBuffer(marked, "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><r n=\"\xC3\xA9\"/>\xE2", 0));
    EXPECT_STREQ(marked.FirstChildElement("r")->Attribute("n"), "\xC3\xA9");
}
