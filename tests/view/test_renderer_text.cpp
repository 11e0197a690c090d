// Runs of text: tab stops, new lines and scaled texts, each drawn and
// compared with the same glyphs placed by hand.
#include <cstring>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "model/MDL_Font.h"
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

    VIEW_TextRun run(const char *text, double x, double y, double scale = 1)
    {
        VIEW_TextRun r;
        r.m_oOrigin = MTH_Vector2D(x, y);
        r.m_oXAxis = MTH_Vector2D(scale, 0);
        r.m_oYAxis = MTH_Vector2D(0, scale);
        r.m_fScale = scale;
        r.m_poFont = &m_oFont;
        r.m_sText = text;
        r.m_oColor = MTH_Vector4D(0, 0, 0, 1);
        r.m_fSize = SIZE;
        r.m_iTabSize = 4;
        r.m_fLineScale = 64 * SIZE * m_oFont.getFace()->height / (m_oFont.getFace()->units_per_EM * 72.0);
        return r;
    }

    // The runs drawn in black on white.
    void draw(const std::vector<VIEW_TextRun> &runs, UTIL_Bitmap &picture)
    {
        m_poRenderer->beginFrame(nullptr, false);
        m_poRenderer->clear(MTH_Vector4D(1, 1, 1, 1));
        ASSERT_TRUE(m_poRenderer->beginOverlay(MTH_Vector2D(0, 0), MTH_Vector2D(m_iWidth, m_iHeight)));
        for (const VIEW_TextRun &r : runs)
            m_poRenderer->drawTextRun(r);
        expectNoGLError("text");
        readBack(picture);
    }

    void expectSamePicture(const std::vector<VIEW_TextRun> &a, const std::vector<VIEW_TextRun> &b, const char *what)
    {
        UTIL_Bitmap first, second;
        draw(a, first);
        draw(b, second);
        size_t bytes = static_cast<size_t>(m_iWidth * m_iHeight * 3);
        EXPECT_EQ(0, memcmp(first.m_pucData, second.m_pucData, bytes)) << what;
        // Something was drawn at all.
        EXPECT_NE(std::string(bytes, '\xff'), std::string(reinterpret_cast<char *>(first.m_pucData), bytes)) << what;
    }

    // The advance of a space at the runs' size, in pixels.
    double space()
    {
        m_oFont.setSize(SIZE * m_iWidth);
        return m_poRenderer->getGlyphTexture(&m_oFont, ' ')->m_fAdvance;
    }

    static constexpr double SIZE = 0.1;
    MDL_Font m_oFont{"default", nullptr, 0, false};
};

TEST_F(RendererText, TabsStopAtMultiplesOfTheTabWidth)
{
    double tab = 4 * space();
    ASSERT_GT(tab, 0);
    expectSamePicture({run("a\tb", 10, 40)}, {run("a", 10, 40), run("b", 10 + tab, 40)}, "a letter, a tab");
    // At a stop already, a tab moves a whole tab further.
    expectSamePicture({run("\tb", 10, 40)}, {run("b", 10 + tab, 40)}, "a tab at the start");
    expectSamePicture({run("\t\tb", 10, 40)}, {run("b", 10 + 2 * tab, 40)}, "two tabs");
}

TEST_F(RendererText, NewLinesStartBelowTheOrigin)
{
    VIEW_TextRun first = run("ab\ncd", 10, 30);
    double line = first.m_fLineScale * m_iWidth;
    ASSERT_GT(line, 10);
    expectSamePicture({first}, {run("ab", 10, 30), run("cd", 10, 30 + line)}, "two lines");
}

TEST_F(RendererText, AScaledTextIsRenderedFromALargerFont)
{
    UTIL_Bitmap picture;
    draw({run("H", 10, 80, 2)}, picture);
    EXPECT_DOUBLE_EQ(SIZE * m_iWidth * 2, m_oFont.getSize());
    // The letter's height in dark rows: about twice the unscaled one's.
    auto darkRows = [this](const UTIL_Bitmap &p) {
        int rows = 0;
        for (int y = 0; y < m_iHeight; y++)
            for (int x = 0; x < m_iWidth; x++)
                if (VIEW_pixel(p, x, y)[0] < 128) {
                    rows++;
                    break;
                }
        return rows;
    };
    int scaled = darkRows(picture);
    draw({run("H", 10, 80)}, picture);
    int plain = darkRows(picture);
    EXPECT_GT(plain, 5);
    EXPECT_NEAR(2.0 * plain, scaled, 2);
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
    VIEW_expectGolden(picture, "shadowed_message");
}

TEST_F(RendererText, NothingIsDrawnWithoutAFaceATextOrASize)
{
    MDL_Font broken("broken", static_cast<unsigned char *>(calloc(16, 1)), 16, true);
    VIEW_TextRun noFace = run("abc", 10, 40);
    noFace.m_poFont = &broken;
    VIEW_TextRun noText = run(nullptr, 10, 40);
    VIEW_TextRun noSize = run("abc", 10, 40);
    noSize.m_fSize = 0;
    VIEW_TextRun broken8 = run("\xe2", 10, 40); // a sequence cut short by the end
    UTIL_Bitmap picture;
    draw({noFace, noText, noSize, broken8}, picture);
    for (int y = 0; y < m_iHeight; y += 5)
        for (int x = 0; x < m_iWidth; x += 5)
            ASSERT_EQ(std::vector<int>({255, 255, 255}), VIEW_pixel(picture, x, y)) << x << ", " << y;
}

} // namespace
