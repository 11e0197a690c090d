// Overlay texts headless on EGL (Mesa's software rasteriser without a GPU),
// 800 x 600: 10,000 glyphs (80 lines of 125 characters, none of them
// blank) laid out and drawn every frame, drawn from a text already laid
// out, and only laid out; beside the baseline, 10,000 textured quads of a
// glyph's size in the same places drawn from one array with one texture.
// Times are wall-clock: the rasteriser draws on threads of its own, which
// each frame waits for (glFinish).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_drawing.h"
#include "model/MDL_Font.h"
#include "model/MDL_Text.h"
#include "view/desktop/VIEW_EglContext.h"
#include "view/opengl/VIEW_GL.h"
#include "view/opengl/VIEW_OpenGL.h"

namespace {

const int WIDTH = 800, HEIGHT = 600;
const int LINES = 80, COLUMNS = 125, GLYPHS = LINES * COLUMNS;
// The text size in units of the viewport's width: about 6 pixels a line.
const double SIZE = 0.008;

// The printable characters but the blank, in turn, line after line.
std::string glyphText()
{
    std::string text;
    for (int line = 0; line < LINES; line++) {
        for (int column = 0; column < COLUMNS; column++)
            text += static_cast<char>('!' + (line * COLUMNS + column) % 94);
        if (line + 1 < LINES)
            text += '\n';
    }
    return text;
}

// A renderer, the default font and a text of the glyphs at the top left.
struct TextFrame {
    TextFrame() : m_oFont("default", nullptr, 0, false), m_sText(glyphText())
    {
        m_oText.editGlobalPosition() = MTH_Vector3D(0.01, 0.02, 0);
        m_oText.setFont(&m_oFont);
        m_oText.setSize(SIZE);
        m_oText.setColor(MTH_Vector4D(1, 1, 1, 1));
        m_oText.setText(m_sText.c_str());
    }
    ~TextFrame()
    {
        m_oRenderer.flushImageTextures(nullptr);
        m_oRenderer.flushGlyphTextures(nullptr);
    }

    void begin()
    {
        m_oRenderer.beginFrame(nullptr, false);
        m_oRenderer.clear(MTH_Vector4D(0, 0, 0, 1));
        m_oRenderer.beginOverlay(MTH_Vector2D(0, 0), MTH_Vector2D(WIDTH, HEIGHT));
    }

    VIEW_OpenGL m_oRenderer;
    MDL_Font m_oFont;
    std::string m_sText;
    MDL_Text m_oText;
};

void rates(benchmark::State &state)
{
    BENCH_countFrames(state);
    state.counters["glyphs_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * GLYPHS, benchmark::Counter::kIsRate);
}

void BM_QuadsFromOneArray(benchmark::State &state)
{
    if (!BENCH_needContext(state, WIDTH, HEIGHT))
        return;
    TextFrame frame;
    // A 4 x 6 pixel quad where each glyph goes, all showing one glyph's
    // texture.
    std::vector<double> vertices, coordinates;
    vertices.reserve(GLYPHS * 12);
    coordinates.reserve(GLYPHS * 12);
    const double quad[12] = {0, 0, 1, 0, 1, 1, 0, 0, 1, 1, 0, 1};
    for (int line = 0; line < LINES; line++)
        for (int column = 0; column < COLUMNS; column++)
            for (int k = 0; k < 12; k += 2) {
                vertices.push_back(8 + 3.4 * column + 4 * quad[k]);
                vertices.push_back(10 + 6.6 * line + 6 * quad[k + 1]);
                coordinates.push_back(quad[k]);
                coordinates.push_back(quad[k + 1]);
            }
    frame.begin();
    frame.m_oFont.setSize(SIZE * WIDTH);
    frame.m_oRenderer.getGlyphTexture(&frame.m_oFont, 'W');
    for (auto _ : state) {
        frame.begin();
        VIEW_GlyphTexture *glyph = frame.m_oRenderer.getGlyphTexture(&frame.m_oFont, 'W');
        benchmark::DoNotOptimize(glyph);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glColor4d(1, 1, 1, 1);
        glVertexPointer(2, GL_DOUBLE, 0, vertices.data());
        glTexCoordPointer(2, GL_DOUBLE, 0, coordinates.data());
        glDrawArrays(GL_TRIANGLES, 0, GLYPHS * 6);
        glFinish();
    }
    rates(state);
}
BENCHMARK(BM_QuadsFromOneArray)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TextLaidOutAndDrawn(benchmark::State &state)
{
    if (!BENCH_needContext(state, WIDTH, HEIGHT))
        return;
    TextFrame frame;
    for (auto _ : state) {
        frame.m_oText.setText(frame.m_sText.c_str());
        frame.begin();
        frame.m_oRenderer.drawText(&frame.m_oText);
        glFinish();
    }
    if (frame.m_oText.getGlyphCount() != GLYPHS)
        state.SkipWithError("the text does not lay out every glyph");
    rates(state);
}
BENCHMARK(BM_TextLaidOutAndDrawn)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TextDrawnFromItsLayout(benchmark::State &state)
{
    if (!BENCH_needContext(state, WIDTH, HEIGHT))
        return;
    TextFrame frame;
    for (auto _ : state) {
        frame.begin();
        frame.m_oRenderer.drawText(&frame.m_oText);
        glFinish();
    }
    rates(state);
}
BENCHMARK(BM_TextDrawnFromItsLayout)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TextLaidOut(benchmark::State &state)
{
    MDL_Font font("default", nullptr, 0, false);
    std::string text = glyphText();
    MDL_Text laidOut;
    laidOut.setFont(&font);
    laidOut.setSize(SIZE);
    for (auto _ : state) {
        laidOut.setText(text.c_str());
        benchmark::DoNotOptimize(laidOut.getGlyphs());
    }
    rates(state);
}
BENCHMARK(BM_TextLaidOut)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
