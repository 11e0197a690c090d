#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "model/MDL_Font.h"
#include "model/MDL_Text.h"
#include "tests/support/TEST_Log.h"

// The built-in font is DejaVu Sans: 2048 units per EM, ascender 1901,
// descender -483, line height 2384. At size 2304 a font unit is exactly one
// unit of the text (2304 x 64 / (2048 x 72) = 1), so the numbers below are
// the font's own. The metrics used (advance, left bearing, width):
//   space 651; A 1401, 16, 1368; V 1401, 16, 1368; T 1251, -6, 1263;
//   o 1253, 113, 1028; e with acute (U+00E9) 1260; U+FFFD 2100;
//   the missing glyph (0) 1229; U+1F600 (glyph 5857) 2135.
// Kerning pairs: AV -131, To -348, AA +57, A e-acute -36; U+FFFD V 0.

namespace {

const double kfUnitSize = 2304;
const double kfAscender = 1901, kfDescender = -483, kfLineHeight = 2384;

struct Glyph {
    uint32_t code;
    double x, y;
    int line;
};

struct LayoutCase {
    const char *name;
    const char *text;
    int tabSize;
    std::vector<Glyph> glyphs;
    double minX, minY, maxX, maxY;
};

std::vector<Glyph> glyphsOf(MDL_Text &text)
{
    std::vector<Glyph> out;
    const MDL_TextGlyph *g = text.getGlyphs();
    for (int i = 0; i < text.getGlyphCount(); i++)
        out.push_back(Glyph{g[i].m_uiCode, g[i].m_fX, g[i].m_fY, g[i].m_iLine});
    return out;
}

class TextTest : public ::testing::Test {
protected:
    MDL_Font m_oFont{"default", nullptr, 0, false};
};

} // namespace

TEST_F(TextTest, LayoutPlacesGlyphsWithKerningTabsAndLineFeeds)
{
    ASSERT_TRUE(m_oFont.isValid());
    const double A = kfAscender, D = kfDescender, H = kfLineHeight;
    const LayoutCase cases[] = {
        {"empty", "", 8, {}, 0, 0, 0, 0},
        // The box holds the glyph and the pen after its advance.
        {"one letter", "A", 8, {{'A', 0, 0, 0}}, 0, -A, 1401, -D},
        // A kerned pair sits closer than the sum of the advances.
        {"AV", "AV", 8, {{'A', 0, 0, 0}, {'V', 1401 - 131, 0, 0}}, 0, -A, 1401 - 131 + 1401, -D},
        // T's negative left bearing reaches left of the origin.
        {"To", "To", 8, {{'T', 0, 0, 0}, {'o', 1251 - 348, 0, 0}}, -6, -A, 1251 - 348 + 1253, -D},
        // A pair the font spaces apart.
        {"AA", "AA", 8, {{'A', 0, 0, 0}, {'A', 1401 + 57, 0, 0}}, 0, -A, 1401 + 57 + 1401, -D},
        // A tab at the origin moves a full stop: 4 spaces of 651.
        {"tab first", "\tA", 4, {{'A', 4 * 651, 0, 0}}, 0, -A, 4 * 651 + 1401, -D},
        // A tab moves to the next stop, and the pair across it is not kerned.
        {"tab between", "A\tV", 4, {{'A', 0, 0, 0}, {'V', 2604, 0, 0}}, 0, -A, 2604 + 1401, -D},
        // Eight spaces by default; a tab already on a stop moves a full stop.
        {"tabs", "\t\tA", 8, {{'A', 2 * 8 * 651, 0, 0}}, 0, -A, 2 * 5208 + 1401, -D},
        // A tab past the first stop: 1401 + 57 + 1401 = 2859 goes to 5208;
        // T's outline ends past its advance.
        {"tab past a stop",
         "AA\tT",
         4,
         {{'A', 0, 0, 0}, {'A', 1458, 0, 0}, {'T', 5208, 0, 0}},
         0,
         -A,
         5208 - 6 + 1263,
         -D},
        // No stop width: tabs move nothing (and still end kerning).
        {"tab size 0", "A\tV", 0, {{'A', 0, 0, 0}, {'V', 1401, 0, 0}}, 0, -A, 2802, -D},
        {"tab size -3", "\tA", -3, {{'A', 0, 0, 0}}, 0, -A, 1401, -D},
        // A line feed starts the next line at the origin, one line height
        // down, without kerning across it.
        {"two lines", "A\nV", 8, {{'A', 0, 0, 0}, {'V', 0, H, 1}}, 0, -A, 1401, H - D},
        // A final line feed takes in the new baseline, not its descent.
        {"final line feed", "A\n", 8, {{'A', 0, 0, 0}}, 0, -A, 1401, H},
        {"blank lines", "\n\nT", 8, {{'T', 0, 2 * H, 2}}, -6, -A, -6 + 1263, 2 * H - D},
        // Two-byte and four-byte sequences.
        {"two bytes", "A\xC3\xA9", 8, {{'A', 0, 0, 0}, {0xE9, 1401 - 36, 0, 0}}, 0, -A, 1401 - 36 + 1260, -D},
        {"four bytes", "\xF0\x9F\x98\x80", 8, {{0x1F600, 0, 0, 0}}, 0, -A, 2135, -D},
        // A broken sequence is the replacement character.
        {"overlong", "\xC0\x41V", 8, {{0xFFFD, 0, 0, 0}, {'V', 2100, 0, 0}}, 0, -A, 2100 + 1401, -D},
        // A lone continuation byte is U+0080, which the font lacks.
        {"continuation", "\x80", 8, {{0x80, 0, 0, 0}}, 0, -A, 1229, -D},
        // A sequence cut off by the end of the text: each of its bytes is
        // passed over.
        {"cut off", "A\xE2\x82", 8, {{'A', 0, 0, 0}, {0x82, 1401, 0, 0}}, 0, -A, 1401 + 1229, -D},
        {"cut off lead", "A\xC3", 8, {{'A', 0, 0, 0}}, 0, -A, 1401, -D},
    };
    for (const LayoutCase &c : cases) {
        SCOPED_TRACE(c.name);
        MDL_Text text;
        text.setFont(&m_oFont);
        text.setSize(kfUnitSize);
        text.setTabSize(c.tabSize);
        text.setText(c.text);
        std::vector<Glyph> glyphs = glyphsOf(text);
        ASSERT_EQ(glyphs.size(), c.glyphs.size());
        for (size_t i = 0; i < glyphs.size(); i++) {
            EXPECT_EQ(glyphs[i].code, c.glyphs[i].code) << i;
            EXPECT_EQ(glyphs[i].x, c.glyphs[i].x) << i;
            EXPECT_EQ(glyphs[i].y, c.glyphs[i].y) << i;
            EXPECT_EQ(glyphs[i].line, c.glyphs[i].line) << i;
        }
        double minX, minY, maxX, maxY;
        text.getBoundingBox(minX, minY, maxX, maxY);
        EXPECT_EQ(minX, c.minX);
        EXPECT_EQ(minY, c.minY);
        EXPECT_EQ(maxX, c.maxX);
        EXPECT_EQ(maxY, c.maxY);
    }
}

TEST_F(TextTest, GlyphIndicesAreTheFontsOwn)
{
    MDL_Text text;
    text.setFont(&m_oFont);
    text.setText("A\x80");
    ASSERT_EQ(text.getGlyphCount(), 2);
    EXPECT_EQ(text.getGlyphs()[0].m_uiGlyphIndex, FT_Get_Char_Index(m_oFont.getFace(), 'A'));
    EXPECT_NE(text.getGlyphs()[0].m_uiGlyphIndex, 0u);
    EXPECT_EQ(text.getGlyphs()[1].m_uiGlyphIndex, 0u);
}

TEST_F(TextTest, SizeScalesEveryPositionAndTheLineScaleFollowsTheXAxis)
{
    MDL_Text text;
    text.setFont(&m_oFont);
    text.setText("A\nV");
    // Size 1: a font unit is 64 / (2048 x 72) of the text's units.
    const double s = 64.0 / (2048.0 * 72.0);
    EXPECT_DOUBLE_EQ(text.getLayoutScale(), s);
    double minX, minY, maxX, maxY;
    text.getBoundingBox(minX, minY, maxX, maxY);
    EXPECT_DOUBLE_EQ(minY, -kfAscender * s);
    EXPECT_DOUBLE_EQ(maxY, (kfLineHeight - kfDescender) * s);
    EXPECT_DOUBLE_EQ(maxX, 1401 * s);
    ASSERT_EQ(text.getGlyphCount(), 2);
    EXPECT_DOUBLE_EQ(text.getGlyphs()[1].m_fY, kfLineHeight * s);
    EXPECT_DOUBLE_EQ(text.getLineHeight(), kfLineHeight * s);

    // The line scale is the line height over the length of the X axis: the
    // renderer multiplies it by that length again.
    EXPECT_DOUBLE_EQ(text.getScale(), kfLineHeight * s);
    text.editLocalBasis().row(0) = MTH_Vector3D(0, 2, 0);
    EXPECT_DOUBLE_EQ(text.getScale(), kfLineHeight * s / 2);
    // An X axis without a usable length gives no line scale.
    for (double x : {0.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        text.editLocalBasis().row(0) = MTH_Vector3D(x, 0, 0);
        EXPECT_EQ(text.getScale(), 0) << x;
    }
}

// A text draws nothing without a usable font or size, and its layout is then
// empty: no glyphs, a box of zeros, no line scale.
TEST_F(TextTest, NothingToMeasureGivesAnEmptyLayout)
{
    TEST_LogCapture log;
    const char junk[] = "not a font at all";
    unsigned char *bytes = static_cast<unsigned char *>(malloc(sizeof junk));
    memcpy(bytes, junk, sizeof junk);
    MDL_Font broken("junk.ttf", bytes, sizeof junk, true);
    ASSERT_FALSE(broken.isValid());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char *name;
        MDL_Font *font;
        double size;
    } cases[] = {
        {"no font", nullptr, 1},         {"no face", &broken, 1},     {"size 0", &m_oFont, 0},
        {"negative size", &m_oFont, -2}, {"NaN size", &m_oFont, nan}, {"infinite size", &m_oFont, inf},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MDL_Text text;
        text.setFont(c.font);
        text.setSize(c.size);
        text.setText("To\tA\nV");
        EXPECT_EQ(text.getGlyphCount(), 0);
        double box[4] = {1, 1, 1, 1};
        text.getBoundingBox(box[0], box[1], box[2], box[3]);
        for (double b : box)
            EXPECT_EQ(b, 0);
        EXPECT_EQ(text.getLayoutScale(), 0);
        EXPECT_EQ(text.getLineHeight(), 0);
        EXPECT_EQ(text.getScale(), 0);
        EXPECT_FALSE(text.hitTest(MTH_Vector2D(0.5, 0.5)));
    }
}

TEST_F(TextTest, GeometrySettersEmptyTheLayoutUntilItIsNeeded)
{
    MDL_Text text;
    EXPECT_EQ(text.getType(), OBJECT_TEXT);
    EXPECT_EQ(text.getText(), nullptr);
    EXPECT_EQ(text.getSize(), 1.0);
    EXPECT_EQ(text.getTabSize(), 8);
    EXPECT_EQ(text.getFont(), nullptr);
    EXPECT_TRUE(text.m_bLayoutDirty);

    text.setFont(&m_oFont);
    text.setSize(kfUnitSize);
    text.setText("A");
    // setText lays out at once.
    EXPECT_FALSE(text.m_bLayoutDirty);
    EXPECT_EQ(text.m_fMaxX, 1401);
    const char *stored = text.getText();
    EXPECT_STREQ(stored, "A");

    // The other setters zero the box and leave the layout to its next use.
    text.setSize(2 * kfUnitSize);
    EXPECT_TRUE(text.m_bLayoutDirty);
    EXPECT_EQ(text.m_fMaxX, 0);
    EXPECT_EQ(text.m_oGlyphs.m_iCount, 0);
    double minX, minY, maxX, maxY;
    text.getBoundingBox(minX, minY, maxX, maxY);
    EXPECT_EQ(maxX, 2 * 1401);

    text.setTabSize(2);
    EXPECT_TRUE(text.m_bLayoutDirty);
    EXPECT_TRUE(text.hitTest(MTH_Vector2D(2802, 0)));
    EXPECT_FALSE(text.m_bLayoutDirty);

    // Colours do not touch the layout.
    text.setColor(MTH_Vector4D(1, 0, 0, 1));
    text.setBackgroundColor(MTH_Vector4D(0, 0, 1, 0.5));
    EXPECT_FALSE(text.m_bLayoutDirty);
    EXPECT_EQ(text.getColor().m_fX, 1);
    EXPECT_EQ(text.getBackgroundColor().m_fW, 0.5);

    text.setText(nullptr);
    EXPECT_EQ(text.getText(), nullptr);
    EXPECT_EQ(text.getGlyphCount(), 0);
    text.getBoundingBox(minX, minY, maxX, maxY);
    EXPECT_EQ(maxX, 0);
}

TEST_F(TextTest, HitTestTakesTheBoxEdgesIn)
{
    MDL_Text text;
    text.setFont(&m_oFont);
    text.setSize(kfUnitSize);
    text.setText("To");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double x, y;
        bool hit;
    } cases[] = {
        {-6, -kfAscender, true}, {2156, -kfDescender, true}, {1000, 0, true}, {-6.001, 0, false}, {2156.001, 0, false},
        {0, -1901.001, false},   {0, 483.001, false},        {nan, 0, false}, {0, nan, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(text.hitTest(MTH_Vector2D(c.x, c.y)), c.hit) << c.x << ", " << c.y;
}

TEST_F(TextTest, CopyKeepsItsOwnTextAndSharesTheFont)
{
    MDL_Text text;
    text.setName("label");
    text.setFont(&m_oFont);
    text.setSize(kfUnitSize);
    text.setTabSize(3);
    text.setColor(MTH_Vector4D(0.1, 0.2, 0.3, 0.4));
    text.setBackgroundColor(MTH_Vector4D(0.5, 0.6, 0.7, 0.8));
    text.setText("\tAV");
    MDL_Text copy(text);
    text.setText("changed");
    EXPECT_STREQ(copy.getName(), "label");
    EXPECT_STREQ(copy.getText(), "\tAV");
    EXPECT_EQ(copy.getFont(), &m_oFont);
    EXPECT_EQ(copy.getTabSize(), 3);
    EXPECT_EQ(copy.getSize(), kfUnitSize);
    EXPECT_EQ(copy.getColor().m_fW, 0.4);
    EXPECT_EQ(copy.getBackgroundColor().m_fX, 0.5);
    ASSERT_EQ(copy.getGlyphCount(), 2);
    EXPECT_EQ(copy.getGlyphs()[0].m_fX, 3 * 651);
    EXPECT_EQ(copy.getGlyphs()[1].m_fX, 3 * 651 + 1401 - 131);
}
