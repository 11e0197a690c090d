// Texts drawn by the renderer: tab stops, new lines, scaled texts and
// backgrounds, each drawn and compared with the same glyphs placed by hand
// or probed, and the shadowed message.
#include <cstring>
#include <memory>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "model/MDL_Font.h"
#include "model/MDL_Text.h"
#include "tests/view/view_test_support.h"

namespace {

class RendererText : public DrawingTest {
protected:
    void SetUp() override
    {
        m_iWidth = 200;
        m_iHeight = 100;
        DrawingTest::SetUp();
    }

    // A black text at (x, y) in pixels, tab size 4, its axes scaled by sx
    // and sy.
    std::shared_ptr<MDL_Text> text(const char *s, double x, double y, double sx = 1, double sy = 1)
    {
        auto t = std::make_shared<MDL_Text>();
        t->editGlobalPosition() = MTH_Vector3D(x / m_iWidth, y / m_iWidth, 0);
        t->editGlobalBasis().scaleRows(MTH_Vector3D(sx, sy, 1));
        t->setFont(&m_oFont);
        t->setSize(SIZE);
        t->setTabSize(4);
        t->setText(s);
        return t;
    }

    // The texts drawn on white.
    void draw(const std::vector<std::shared_ptr<MDL_Text>> &texts, UTIL_Bitmap &picture)
    {
        m_poRenderer->beginFrame(nullptr, false);
        m_poRenderer->clear(MTH_Vector4D(1, 1, 1, 1));
        ASSERT_TRUE(m_poRenderer->beginOverlay(MTH_Vector2D(0, 0), MTH_Vector2D(m_iWidth, m_iHeight)));
        for (const std::shared_ptr<MDL_Text> &t : texts)
            m_poRenderer->drawText(t.get());
        expectNoGLError("text");
        readBack(picture);
    }

    size_t bytes() const { return static_cast<size_t>(m_iWidth * m_iHeight * 3); }

    bool allWhite(const UTIL_Bitmap &picture) const
    {
        return std::string(bytes(), '\xff') == std::string(reinterpret_cast<char *>(picture.m_pucData), bytes());
    }

    void expectSamePicture(const std::vector<std::shared_ptr<MDL_Text>> &a,
                           const std::vector<std::shared_ptr<MDL_Text>> &b, const char *what)
    {
        UTIL_Bitmap first, second;
        draw(a, first);
        draw(b, second);
        EXPECT_EQ(0, memcmp(first.m_pucData, second.m_pucData, bytes())) << what;
        EXPECT_FALSE(allWhite(first)) << what; // something was drawn at all
    }

    // The advance of a space at the texts' size in pixels, from the glyph
    // cache (FreeType at the rendered size).
    double space()
    {
        m_oFont.setSize(SIZE * m_iWidth);
        return m_poRenderer->getGlyphTexture(&m_oFont, ' ')->m_fAdvance;
    }

    // The extent of the pixels darker than mid-grey.
    VIEW_Extent dark(const UTIL_Bitmap &picture) const
    {
        return VIEW_inkExtent(picture, {255, 255, 255}, 127, 0, 0, m_iWidth - 1, m_iHeight - 1);
    }

    static constexpr double SIZE = 0.1;
    MDL_Font m_oFont{"default", nullptr, 0, false};
};

TEST_F(RendererText, TabsStopAtMultiplesOfTheTabWidth)
{
    double tab = 4 * space();
    ASSERT_GT(tab, 0);
    expectSamePicture({text("a\tb", 10, 40)}, {text("a", 10, 40), text("b", 10 + tab, 40)}, "a letter, a tab");
    // At a stop already, a tab moves a whole tab further.
    expectSamePicture({text("\tb", 10, 40)}, {text("b", 10 + tab, 40)}, "a tab at the start");
    expectSamePicture({text("\t\tb", 10, 40)}, {text("b", 10 + 2 * tab, 40)}, "two tabs");
}

TEST_F(RendererText, NewLinesStartBelowTheOrigin)
{
    FT_Face face = m_oFont.getFace();
    double line = 64 * SIZE * face->height / (face->units_per_EM * 72.0) * m_iWidth;
    ASSERT_GT(line, 10);
    expectSamePicture({text("ab\ncd", 10, 30)}, {text("ab", 10, 30), text("cd", 10, 30 + line)}, "two lines");
}

TEST_F(RendererText, ATextScaledAlongXIsRenderedFromALargerFont)
{
    // Twice as wide from a font twice the size, as high as before: the
    // glyphs are rendered at the size they cover, not stretched.
    UTIL_Bitmap picture;
    draw({text("H", 10, 80, 2, 1)}, picture);
    EXPECT_DOUBLE_EQ(SIZE * m_iWidth * 2, m_oFont.getSize());
    VIEW_Extent scaled = dark(picture);
    draw({text("H", 10, 80)}, picture);
    VIEW_Extent plain = dark(picture);
    EXPECT_GT(plain.height(), 5);
    EXPECT_NEAR(2.0 * plain.width(), scaled.width(), 2);
    EXPECT_NEAR(plain.height(), scaled.height(), 1);
    // Scaled along both axes it is twice as high too.
    draw({text("H", 10, 80, 2, 2)}, picture);
    EXPECT_NEAR(2.0 * plain.height(), dark(picture).height(), 2);
}

TEST_F(RendererText, BackgroundsCoverTheLaidOutBox)
{
    // A transparent background draws nothing.
    std::shared_ptr<MDL_Text> clear = text("Tx", 40, 50);
    clear->setBackgroundColor(MTH_Vector4D(1, 0, 0, 0));
    expectSamePicture({clear}, {text("Tx", 40, 50)}, "a transparent background");

    // An opaque one fills the box, from the ascender to the descender and
    // from the origin to the pen's end, under the glyphs.
    std::shared_ptr<MDL_Text> boxed = text("Tx", 40, 50);
    boxed->setBackgroundColor(MTH_Vector4D(0, 0, 1, 1));
    double x0, y0, x1, y1;
    boxed->getBoundingBox(x0, y0, x1, y1);
    int left = static_cast<int>(40 + x0 * m_iWidth), right = static_cast<int>(40 + x1 * m_iWidth);
    int top = static_cast<int>(50 + y0 * m_iWidth), bottom = static_cast<int>(50 + y1 * m_iWidth);
    ASSERT_GT(right - left, 10);
    ASSERT_GT(bottom - top, 10);
    UTIL_Bitmap picture;
    draw({boxed}, picture);
    EXPECT_EQ(std::vector<int>({0, 0, 255}), VIEW_pixel(picture, left + 1, top + 1));
    EXPECT_EQ(std::vector<int>({0, 0, 255}), VIEW_pixel(picture, right - 1, bottom - 1));
    EXPECT_EQ(std::vector<int>({255, 255, 255}), VIEW_pixel(picture, left - 2, top + 2));
    EXPECT_EQ(std::vector<int>({255, 255, 255}), VIEW_pixel(picture, right + 2, bottom - 2));
    EXPECT_EQ(std::vector<int>({255, 255, 255}), VIEW_pixel(picture, left + 2, top - 2));
    EXPECT_EQ(std::vector<int>({255, 255, 255}), VIEW_pixel(picture, left + 2, bottom + 2));
    // The glyphs over it.
    EXPECT_FALSE(VIEW_inkExtent(picture, {0, 0, 255}, 127, left, top, right, bottom).empty());

    // A translucent one is blended.
    boxed->setBackgroundColor(MTH_Vector4D(0, 0, 1, 0.5));
    draw({boxed}, picture);
    EXPECT_TRUE(VIEW_near({127, 127, 255}, VIEW_pixel(picture, left + 1, top + 1), 1));
}

TEST_F(RendererText, ShadowedMessage)
{
    // Black text with a white copy one pixel up and to the left, over grey,
    // in a frame offset inside the framebuffer.
    ASSERT_TRUE(m_poContext->resize(400, 120));
    m_poRenderer->beginFrame(nullptr, false);
    m_poRenderer->clear(MTH_Vector4D(0.5, 0.5, 0.5, 1));
    m_poRenderer->drawShadowedText(MTH_Vector2D(20, 10), MTH_Vector2D(360, 100), "Saved.\tOK", &m_oFont, 0.025, 1);
    expectNoGLError("message");
    UTIL_Bitmap picture;
    readBack(picture);
    // The black copy starts at (0.01, 0.03) of the frame's width from the
    // frame's top left corner (20, 10): the "S" just right of x 23.6, on the
    // baseline at y 20.8; the white copy a pixel up and to the left.
    VIEW_Extent black = VIEW_inkExtent(picture, {255, 255, 255}, 191, 0, 0, 26, 40);
    VIEW_Extent white = VIEW_inkExtent(picture, {0, 0, 0}, 191, 0, 0, 26, 40);
    EXPECT_LE(24, black.m_iLeft);
    EXPECT_GE(26, black.m_iLeft);
    EXPECT_EQ(20, black.m_iBottom);
    EXPECT_EQ(black.m_iLeft - 1, white.m_iLeft);
    EXPECT_EQ(black.m_iTop - 1, white.m_iTop);
    EXPECT_EQ(black.m_iBottom - 1, white.m_iBottom);
    VIEW_expectGolden(picture, "shadowed_message");
}

TEST_F(RendererText, NothingIsDrawnWithoutAFontAFaceATextASizeOrAnAxis)
{
    MDL_Font broken("broken", static_cast<unsigned char *>(calloc(16, 1)), 16, true);
    std::shared_ptr<MDL_Text> noFont = text("abc", 10, 40), noFace = text("abc", 10, 40);
    noFont->setFont(nullptr);
    noFace->setFont(&broken);
    std::shared_ptr<MDL_Text> noText = text(nullptr, 10, 40), noSize = text("abc", 10, 40);
    noSize->setSize(0);
    std::shared_ptr<MDL_Text> negative = text("abc", 10, 40), flat = text("abc", 10, 40, 0, 1);
    negative->setSize(-1);
    std::shared_ptr<MDL_Text> cut = text("\xe2", 10, 40); // a sequence cut short by the end
    // Backgrounds of texts with no box draw nothing either.
    for (MDL_Text *t : {noFont.get(), noFace.get(), noText.get(), noSize.get(), negative.get(), flat.get()})
        t->setBackgroundColor(MTH_Vector4D(1, 0, 0, 1));
    UTIL_Bitmap picture;
    draw({noFont, noFace, noText, noSize, negative, flat, cut}, picture);
    EXPECT_TRUE(allWhite(picture));
}

} // namespace
