// The nesting guard that runs before a models-set text is parsed.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include <tinyxml.h>

#include "foundation/UTIL_XmlValues.h"
#include "model/MDL_ModelsSet.h"
#include "model/MDL_Object.h"
#include "tests/support/TEST_Log.h"

namespace {

// The smallest limit the guard accepts the text with.
int guardedDepth(const std::string &text)
{
    int limit = 0;
    while (!MDL_ModelsSet::isNestingWithin(text.c_str(), limit))
        limit++;
    return limit;
}

// How deep the parser nested elements: the depth of the tree it built, which
// it keeps up to where it stopped when the text does not parse.
int parsedDepth(const TiXmlNode *node)
{
    int deepest = 0;
    for (const TiXmlNode *c = node->FirstChild(); c != nullptr; c = c->NextSibling())
        if (c->ToElement() != nullptr) {
            int d = 1 + parsedDepth(c);
            deepest = d > deepest ? d : deepest;
        }
    return deepest;
}

} // namespace

TEST(ModelsSetXml, NestingCountsWhatTheParserNests)
{
    struct Case {
        const char *what;
        const char *text;
        int depth;
    };
    const Case cases[] = {
        {"plain nesting", "<a><b><c/></b><d></d></a>", 3},
        {"containers side by side", "<objects><object/></objects><meshes><mesh/></meshes>", 2},
        {"end tags in a comment", "<a><!-- </a></a> --><b></b></a>", 2},
        {"end tags in character data", "<a><![CDATA[</a></a>]]><b/></a>", 2},
        {"end tags in an attribute value", "<a x=\"</a></a>\" y='</a>'><b/></a>", 2},
        {"\"/>\" in an attribute value", "<a x=\"/>\"><b x='/>'><c/></b></a>", 3},
        {"an unknown node swallows an end tag", "<a>< </a><b/></a>", 2},
        {"a declaration with a quoted end tag", "<a><?xml version=\"</q>\"?><b/></a>", 2},
        {"a declaration's other words end at '>'", "<a><?xml v=\"><b><c/></b></a>", 3},
        {"a declaration's quoted value holds a '>'", "<?xml version='>'?><a><!-- --><b/></a>", 2},
        {"a failing declaration ends the count", "<a><?xml version\"x\"?><b><c/></b></a>", 1},
        {"a processing instruction ends at its first '>'", "<a><?go <b><b>?><c/></a>", 3},
        {"a doctype", "<!DOCTYPE x [ <!ENTITY y \"</a>\"> ]><a><b/></a>", 2},
        {"end tags at the top level", "</a></a><a><b/></a>", 2},
        {"bytes from 127 up start elements", "<\xc3\xa9><\x7f/></\xc3\xa9>", 2},
        {"a digit starts no element", "<a><1/></a>", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(guardedDepth(c.text), c.depth);
        TiXmlDocument document;
        LoadBuffer(document, c.text, TIXML_ENCODING_LEGACY);
        EXPECT_LE(parsedDepth(&document), c.depth);
    }
    EXPECT_TRUE(MDL_ModelsSet::isNestingWithin(nullptr, 0));
    EXPECT_TRUE(MDL_ModelsSet::isNestingWithin("", 0));
}

// Texts pieced together from fragments that confuse a naive count: whatever
// the parser makes of them, it never nests deeper than the guard counted.
TEST(ModelsSetXml, TheGuardNeverCountsLowerThanTheParserNests)
{
    const char *const pieces[] = {"<a>",
                                  "</a>",
                                  "<b x='</a>'>",
                                  "</b>",
                                  "<!--",
                                  "-->",
                                  "<![CDATA[",
                                  "]]>",
                                  "<?xml v=\"",
                                  "\"?>",
                                  "<?xml version=\"",
                                  "/>",
                                  "<",
                                  ">",
                                  "\"",
                                  "'",
                                  "text",
                                  "<c/>",
                                  "</",
                                  "<!x>",
                                  "<d y=\"",
                                  "\">",
                                  "&#",
                                  "="};
    const int count = sizeof(pieces) / sizeof(pieces[0]);
    uint32_t state = 12345;
    for (int round = 0; round < 3000; round++) {
        std::string text;
        int length = 1 + round % 40;
        for (int i = 0; i < length; i++) {
            state = state * 1664525u + 1013904223u;
            text += pieces[(state >> 8) % count];
        }
        TiXmlDocument document;
        LoadBuffer(document, text.c_str(), TIXML_ENCODING_LEGACY);
        ASSERT_LE(parsedDepth(&document), guardedDepth(text)) << text;
    }
}

TEST(ModelsSetXml, DeepTextIsRefusedBeforeParsing)
{
    std::string deep;
    for (int i = 0; i < 200000; i++)
        deep += "<a x='1'>";
    TEST_LogCapture log;
    MDL_ModelsSet set;
    set.setName("deep.xml");
    EXPECT_FALSE(set.load(deep.c_str()));
    EXPECT_TRUE(log.contains("deep.xml: elements nested deeper than 256 levels")) << log.joined();

    // As deep as allowed still loads.
    std::string fine = "<objects>";
    for (int i = 1; i < MDL_ModelsSet::MAX_NESTING; i++)
        fine += "<x>";
    for (int i = 1; i < MDL_ModelsSet::MAX_NESTING; i++)
        fine += "</x>";
    fine += "<object name=\"o\"/></objects>";
    EXPECT_TRUE(set.load(fine.c_str()));
    EXPECT_NE(set.getObject("o"), nullptr);
}

TEST(ModelsSetXml, TextIsReadByteByByteAfterAByteOrderMark)
{
    // A name in UTF-8, a broken sequence in a name and one at the very end:
    // the bytes stay as written and nothing is read past the text.
    const char *text = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                       "<objects><object name=\"caf\xC3\xA9\"/><object name=\"x\xF0\"/></objects>\xF0";
    MDL_ModelsSet set;
    ASSERT_TRUE(set.load(text));
    ASSERT_EQ(set.m_oObjects.m_iCount, 2);
    EXPECT_STREQ(set.m_oObjects[0]->getName(), "caf\xC3\xA9");
    EXPECT_STREQ(set.m_oObjects[1]->getName(), "x\xF0");
}
