#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "controller/CTRL_Generic.h"
#include "foundation/UTIL_Id.h"
#include "model/MDL_DefaultFont.h"
#include "model/MDL_Font.h"
#include "model/MDL_Texture.h"
#include "tests/support/TEST_Log.h"

// The built-in font is DejaVu Sans; the values below are that font's.

namespace {

unsigned char *heapCopy(const unsigned char *bytes, size_t size)
{
    unsigned char *copy = static_cast<unsigned char *>(malloc(size > 0 ? size : 1));
    if (size > 0)
        memcpy(copy, bytes, size);
    return copy;
}

} // namespace

TEST(Font, DefaultNameOpensBuiltInFont)
{
    struct Case {
        const char *name;
        bool builtIn;
    } cases[] = {
        {"default", true}, {"DEFAULT", true},     {"Default.ttf", true}, {"DEFAULTsans", true},
        {"defaul", false}, {"my default", false}, {"", false},           {nullptr, false},
    };
    for (const Case &c : cases) {
        TEST_LogCapture log;
        MDL_Font font(c.name, nullptr, 0, false);
        if (c.name != nullptr)
            EXPECT_STREQ(font.m_sName, c.name);
        else
            EXPECT_EQ(font.m_sName, nullptr);
        EXPECT_EQ(font.isValid(), c.builtIn) << (c.name ? c.name : "null");
        EXPECT_EQ(font.m_pucData, c.builtIn ? MDL_kaucDefaultFontData : nullptr) << (c.name ? c.name : "null");
        EXPECT_FALSE(font.m_bOwnsData);
        EXPECT_EQ(font.m_fSize, -1.0);
        EXPECT_EQ(font.m_oProxyHandle.m_poProxy, nullptr);
    }
}

// A document member named "default..." is replaced by the built-in font; the
// member's own buffer is freed at once (the sanitizers see a leak or a
// double free otherwise) and never taken for the built-in data.
TEST(Font, DefaultNameDisposesOfOwnedMemberBuffer)
{
    unsigned char *member = heapCopy(reinterpret_cast<const unsigned char *>("not a font at all"), 17);
    MDL_Font font("Default-Bold.ttf", member, 17, true);
    EXPECT_TRUE(font.isValid());
    EXPECT_EQ(font.m_pucData, MDL_kaucDefaultFontData);
    EXPECT_FALSE(font.m_bOwnsData);
    EXPECT_EQ(font.m_poFace->num_faces, 1);
}

TEST(Font, FontFromMemberIsOwnedAndOpened)
{
    unsigned char *copy = heapCopy(MDL_kaucDefaultFontData, static_cast<size_t>(MDL_kiDefaultFontSize));
    MDL_Font font("fonts/sans.ttf", copy, MDL_kiDefaultFontSize, true);
    ASSERT_TRUE(font.isValid());
    EXPECT_EQ(font.m_pucData, copy);
    EXPECT_TRUE(font.m_bOwnsData);
    EXPECT_STREQ(font.m_poFace->family_name, "DejaVu Sans");
}

TEST(Font, UnscaledMetricsOfBuiltInFont)
{
    MDL_Font font("default", nullptr, 0, false);
    ASSERT_TRUE(font.isValid());
    FT_Face face = font.m_poFace;
    EXPECT_STREQ(face->family_name, "DejaVu Sans");
    EXPECT_EQ(face->charmap->encoding, FT_ENCODING_UNICODE);
    EXPECT_EQ(face->units_per_EM, 2048);
    EXPECT_EQ(face->ascender, 1901);
    EXPECT_EQ(face->descender, -483);
    EXPECT_EQ(face->height, 2384);
    EXPECT_TRUE(FT_HAS_KERNING(face));

    // What the text layout reads: advances unscaled, kerning unscaled.
    struct Case {
        unsigned long code;
        unsigned glyph;
        long advance;
    } cases[] = {{'A', 36, 1401}, {' ', 3, 651}, {'V', 57, 1401}};
    for (const Case &c : cases) {
        FT_UInt glyph = FT_Get_Char_Index(face, c.code);
        EXPECT_EQ(glyph, c.glyph) << c.code;
        ASSERT_EQ(FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP), 0);
        EXPECT_EQ(face->glyph->metrics.horiAdvance, c.advance) << c.code;
    }
    FT_Vector kerning;
    ASSERT_EQ(FT_Get_Kerning(face, 36, 57, FT_KERNING_UNSCALED, &kerning), 0);
    EXPECT_EQ(kerning.x, -131);
    EXPECT_EQ(kerning.y, 0);
}

// setSize(s) asks for s x 4096 in 26.6 units at 1 dpi: size 72 is 64 pixels
// per EM.
TEST(Font, SizedMetricsAndRenderedGlyphs)
{
    MDL_Font font("default", nullptr, 0, false);
    struct Case {
        double size;
        int ppem;
        long ascender, descender, height, advanceA;
    } cases[] = {
        {72, 64, 3840, -1024, 4800, 2816},
        {12.5, 11, 704, -192, 832, 512},
        {1, 1, 64, -64, 64, 64},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(font.setSize(c.size));
        EXPECT_EQ(font.m_fSize, c.size);
        const FT_Size_Metrics &m = font.m_poFace->size->metrics;
        EXPECT_EQ(m.x_ppem, c.ppem) << c.size;
        EXPECT_EQ(m.y_ppem, c.ppem) << c.size;
        EXPECT_EQ(m.ascender, c.ascender) << c.size;
        EXPECT_EQ(m.descender, c.descender) << c.size;
        EXPECT_EQ(m.height, c.height) << c.size;

        unsigned int glyph = 99;
        FT_GlyphSlot slot = font.loadGlyph('A', &glyph);
        ASSERT_NE(slot, nullptr);
        EXPECT_EQ(glyph, 36u);
        EXPECT_EQ(slot->advance.x, c.advanceA) << c.size;
        EXPECT_EQ(slot->format, FT_GLYPH_FORMAT_BITMAP);
        EXPECT_GT(slot->bitmap.width, 0u);
    }
    font.setSize(72);
    FT_Vector kerning;
    ASSERT_EQ(FT_Get_Kerning(font.m_poFace, 36, 57, FT_KERNING_DEFAULT, &kerning), 0);
    EXPECT_EQ(kerning.x, -256);
}

TEST(Font, SameSizeTwiceCallsFreeTypeOnce)
{
    MDL_Font font("default", nullptr, 0, false);
    ASSERT_TRUE(font.setSize(72));
    // Change the face's size behind the font's back: a second setSize(72)
    // must not touch FreeType, so the change stays.
    ASSERT_EQ(FT_Set_Char_Size(font.m_poFace, 4096, 4096, 1, 1), 0);
    ASSERT_TRUE(font.setSize(72));
    EXPECT_EQ(font.m_poFace->size->metrics.x_ppem, 1);
    ASSERT_TRUE(font.setSize(72.5));
    EXPECT_EQ(font.m_poFace->size->metrics.x_ppem, 64);
    EXPECT_EQ(font.m_fSize, 72.5);
}

TEST(Font, SizesThatDoNotConvertAreRefused)
{
    MDL_Font font("default", nullptr, 0, false);
    ASSERT_TRUE(font.setSize(10));
    const double refused[] = {std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(),
                              1e300,
                              -1e300,
                              600000.0};
    for (double size : refused) {
        EXPECT_FALSE(font.setSize(size)) << size;
        EXPECT_EQ(font.m_fSize, 10.0) << size;
    }
}

TEST(Font, MissingCharacterLoadsGlyphZero)
{
    MDL_Font font("default", nullptr, 0, false);
    font.setSize(24);
    const unsigned long missing[] = {0xE000, 0x10FFFD, 0x7FFFFFFF};
    for (unsigned long code : missing) {
        unsigned int glyph = 99;
        FT_GlyphSlot slot = font.loadGlyph(code, &glyph);
        EXPECT_EQ(glyph, 0u) << code;
        EXPECT_NE(slot, nullptr) << code;
    }
}

// Data FreeType refuses leave a font without a face; nothing reaches
// FreeType with it afterwards.
TEST(Font, RefusedDataGiveFontWithoutFace)
{
    std::vector<unsigned char> garbage(300, 0x5A);
    struct Case {
        const char *what;
        const unsigned char *bytes;
        int size;
    } cases[] = {
        {"garbage", garbage.data(), static_cast<int>(garbage.size())},
        {"font cut to its table directory", MDL_kaucDefaultFontData, 12},
        {"font cut short", MDL_kaucDefaultFontData, 200},
        {"empty", MDL_kaucDefaultFontData, 0},
        {"negative size", MDL_kaucDefaultFontData, -5},
    };
    for (const Case &c : cases) {
        TEST_LogCapture log;
        unsigned char *copy = heapCopy(c.bytes, c.size > 0 ? static_cast<size_t>(c.size) : 0);
        MDL_Font font("member.ttf", copy, c.size, true);
        EXPECT_FALSE(font.isValid()) << c.what;
        EXPECT_EQ(font.getFace(), nullptr) << c.what;
        EXPECT_FALSE(font.setSize(12)) << c.what;
        EXPECT_EQ(font.m_fSize, -1.0) << c.what;
        unsigned int glyph = 99;
        EXPECT_EQ(font.loadGlyph('A', &glyph), nullptr) << c.what;
        EXPECT_EQ(glyph, 0u) << c.what;
        EXPECT_TRUE(log.contains("Font member.ttf")) << c.what << ": " << log.joined();
    }
    TEST_LogCapture log;
    MDL_Font none("nothing", nullptr, 100, false);
    EXPECT_FALSE(none.isValid());
}

TEST(Font, FontsAndTexturesShareTheIdentifierSequence)
{
    MDL_Font first("default", nullptr, 0, false);
    MDL_Texture texture;
    TEST_LogCapture log;
    MDL_Font refused("x", nullptr, 0, false);
    MDL_Font second("default", nullptr, 0, false);
    EXPECT_GE(first.m_iId, 1);
    EXPECT_EQ(texture.m_iId, first.m_iId + 1);
    EXPECT_EQ(refused.m_iId, first.m_iId + 2);
    EXPECT_EQ(second.m_iId, first.m_iId + 3);
}

// Shutting the library down while a font holds a face waits for that font.
TEST(Font, LibraryShutdownWaitsForOpenFaces)
{
    ASSERT_TRUE(MDL_initFontLibrary());
    ASSERT_TRUE(MDL_initFontLibrary());
    ASSERT_NE(MDL_Font::getLibrary(), nullptr);
    {
        MDL_Font font("default", nullptr, 0, false);
        MDL_doneFontLibrary();
        EXPECT_NE(MDL_Font::getLibrary(), nullptr);
        font.setSize(20);
        EXPECT_NE(font.loadGlyph('g', nullptr), nullptr);
    }
    EXPECT_EQ(MDL_Font::getLibrary(), nullptr);
    MDL_doneFontLibrary();

    // A font made afterwards starts the library again.
    MDL_Font again("default", nullptr, 0, false);
    EXPECT_TRUE(again.isValid());
    EXPECT_NE(MDL_Font::getLibrary(), nullptr);
}

TEST(Font, ControllerOwnsDefaultFont)
{
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    ASSERT_NE(controller.m_poDefaultFont, nullptr);
    EXPECT_STREQ(controller.m_poDefaultFont->m_sName, "default");
    EXPECT_TRUE(controller.m_poDefaultFont->isValid());
    EXPECT_EQ(controller.m_poDefaultFont->m_pucData, MDL_kaucDefaultFontData);
    EXPECT_FALSE(controller.m_poDefaultFont->m_bOwnsData);
}
