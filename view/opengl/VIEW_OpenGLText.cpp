// Texts over the 3D view: runs of glyphs from the glyph cache, and the
// renderer's own texts (the timed message, the splash, the failure
// message).
#include "view/opengl/VIEW_OpenGL.h"

#include <cmath>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "foundation/UTIL_UTF8.h"
#include "model/MDL_Font.h"
#include "view/opengl/VIEW_GL.h"

namespace {

// The tab stop width of a new text, in spaces.
const int NEW_TEXT_TAB_SIZE = 8;

// Where the renderer's texts start, in units of the frame's width, their
// colours and sizes (single-precision constants).
const double MESSAGE_X = static_cast<double>(0.01f);
const double MESSAGE_Y = static_cast<double>(0.03f);
const double MESSAGE_SIZE = static_cast<double>(0.023f);
const double CAPTION_X = static_cast<double>(0.4f);
const double CAPTION_Y = static_cast<double>(0.26f);
const double CAPTION_SIZE = static_cast<double>(0.02f);
const MTH_Vector4D CAPTION_COLOR(static_cast<double>(0.58f), static_cast<double>(0.784f), static_cast<double>(0.239f),
                                 1);

// The distance between lines of a font at a text size, in the same units
// as the size: the face's line height at that size.
double lineScale(MDL_Font *font, double size)
{
    FT_Face face = font->getFace();
    if (face == nullptr || face->units_per_EM == 0)
        return 0;
    return 64 * size * face->height / (static_cast<double>(face->units_per_EM) * 72);
}

MTH_Vector2D floorHalf(const MTH_Vector2D &v)
{
    return MTH_Vector2D(std::floor(v.m_fX + 0.5), std::floor(v.m_fY + 0.5));
}

// Two triangles of a quad from its corner along two edges, with texture
// coordinates from (0, 0) to (u, v).
void drawQuad(const MTH_Vector2D &corner, const MTH_Vector2D &across, const MTH_Vector2D &down, double u, double v)
{
    MTH_Vector2D right = corner + across, far = right + down, below = corner + down;
    const double vertices[12] = {corner.m_fX, corner.m_fY, right.m_fX, right.m_fY, far.m_fX,   far.m_fY,
                                 corner.m_fX, corner.m_fY, far.m_fX,   far.m_fY,   below.m_fX, below.m_fY};
    const double coordinates[12] = {0, 0, u, 0, u, v, 0, 0, u, v, 0, v};
    glVertexPointer(2, GL_DOUBLE, 0, vertices);
    glTexCoordPointer(2, GL_DOUBLE, 0, coordinates);
    glDrawArrays(GL_TRIANGLES, 0, 6);
}

} // namespace

bool VIEW_OpenGL::beginOverlay(const MTH_Vector2D &position, const MTH_Vector2D &size)
{
    if (!setProjection(nullptr, position, size))
        return false;
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    return true;
}

void VIEW_OpenGL::drawTextAt(const MTH_Vector2D &position, MDL_Font *font, const char *text, const MTH_Vector4D &color,
                             double size)
{
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_ALPHA_TEST);
    VIEW_TextRun run;
    run.m_oOrigin = position * m_fViewportWidth;
    run.m_oXAxis = MTH_Vector2D(1, 0);
    run.m_oYAxis = MTH_Vector2D(0, 1);
    run.m_fScale = 1;
    run.m_poFont = font;
    run.m_sText = text;
    run.m_oColor = color;
    run.m_fSize = size;
    run.m_iTabSize = NEW_TEXT_TAB_SIZE;
    run.m_fLineScale = font != nullptr ? lineScale(font, size) : 0;
    drawTextRun(run);
}

void VIEW_OpenGL::drawTextRun(const VIEW_TextRun &run)
{
    MDL_Font *font = run.m_poFont;
    double w = m_fViewportWidth, s = run.m_fScale;
    if (font == nullptr || !font->isValid() || run.m_sText == nullptr || !(run.m_fSize > 0) || !(s > 0))
        return;
    if (!font->setSize(run.m_fSize * w * s))
        return;
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glColor4d(run.m_oColor.m_fX, run.m_oColor.m_fY, run.m_oColor.m_fZ, run.m_oColor.m_fW);
    const MTH_Vector2D &x = run.m_oXAxis, &y = run.m_oYAxis;
    MTH_Vector2D pen = run.m_oOrigin;
    int previous = 0, lines = 0;
    const char *at = run.m_sText;
    while (*at != '\0') {
        uint64_t codePoint = 0;
        int used = UTIL_decodeUTF8(&codePoint, at);
        if (used < 0) {
            at++; // a sequence cut short by the end of the text
            continue;
        }
        at += used;
        int code = static_cast<int>(codePoint);
        if (code == '\t') {
            double stop = run.m_iTabSize * getGlyphTexture(font, ' ')->m_fAdvance;
            double travelled = (pen - run.m_oOrigin).dot(x) / s;
            if (stop > 0) {
                double next = std::ceil(travelled / stop) * stop;
                if (next == travelled)
                    next += stop;
                pen = pen + x * ((next - travelled) / s);
            }
            previous = 0;
        } else if (code == '\n') {
            lines++;
            pen = run.m_oOrigin + y * (lines * run.m_fLineScale * w * s);
            previous = 0;
        } else {
            VIEW_GlyphTexture *glyph = getGlyphTexture(font, code);
            if (glyph->m_uiTexture != 0) {
                FT_Vector kerning = {0, 0};
                FT_Get_Kerning(font->getFace(), static_cast<FT_UInt>(previous),
                               static_cast<FT_UInt>(glyph->m_iGlyphIndex), FT_KERNING_UNFITTED, &kerning);
                pen = pen + (x * static_cast<double>(kerning.x) + y * static_cast<double>(kerning.y)) * (1 / (64 * s));
                MTH_Vector2D corner = floorHalf(pen + (x * glyph->m_iLeft - y * glyph->m_iTop) * (1 / s));
                drawQuad(corner, x * (glyph->m_iWidth / s), y * (glyph->m_iRows / s), glyph->m_fUScale,
                         glyph->m_fVScale);
            }
            pen = pen + x * (glyph->m_fAdvance / s);
            previous = glyph->m_iGlyphIndex;
        }
    }
}

void VIEW_OpenGL::drawShadowedText(const MTH_Vector2D &position, const MTH_Vector2D &size, const char *text,
                                   MDL_Font *font, double textSize, double alpha)
{
    if (!beginOverlay(position, size))
        return;
    // The text in black, and one pixel up and to the left in white.
    double pixel = 1 / size.m_fX;
    drawTextAt(MTH_Vector2D(MESSAGE_X, MESSAGE_Y), font, text, MTH_Vector4D(0, 0, 0, alpha), textSize);
    drawTextAt(MTH_Vector2D(MESSAGE_X - pixel, MESSAGE_Y - pixel), font, text, MTH_Vector4D(1, 1, 1, alpha), textSize);
}

void VIEW_OpenGL::drawSplash(const MTH_Vector2D &position, const MTH_Vector2D &size, const char *caption,
                             MDL_Font *font, MDL_Image *logo)
{
    if (!beginOverlay(position, size))
        return;
    drawTextAt(MTH_Vector2D(CAPTION_X, CAPTION_Y), font, caption, CAPTION_COLOR, CAPTION_SIZE);
    if (logo != nullptr)
        drawImage(logo);
}

void VIEW_OpenGL::drawMessage(const MTH_Vector2D &position, const MTH_Vector2D &size, const char *text, MDL_Font *font)
{
    if (!beginOverlay(position, size))
        return;
    drawTextAt(MTH_Vector2D(MESSAGE_X, MESSAGE_Y), font, text, MTH_Vector4D(0, 0, 0, 1), MESSAGE_SIZE);
}
