// Texts over the 3D view: their glyphs from the glyph cache where their
// layout places them, and the renderer's own texts (the timed message, the
// splash, the failure message).
#include "view/opengl/VIEW_OpenGL.h"

#include <cmath>

#include "foundation/MTH_Frame.h"
#include "model/MDL_Font.h"
#include "model/MDL_Text.h"
#include "view/opengl/VIEW_GL.h"
#include "view/opengl/VIEW_OpenGLDrawing.h"

namespace {

// Where the renderer's texts start, in units of the frame's width, their
// colours and sizes (single-precision constants, but for the caption's
// size, which is the double 0.02).
const double MESSAGE_X = static_cast<double>(0.01f);
const double MESSAGE_Y = static_cast<double>(0.03f);
const double MESSAGE_SIZE = static_cast<double>(0.023f);
const double CAPTION_X = static_cast<double>(0.4f);
const double CAPTION_Y = static_cast<double>(0.26f);
const double CAPTION_SIZE = 0.02;
const MTH_Vector4D CAPTION_COLOR(static_cast<double>(0.58f), static_cast<double>(0.784f), static_cast<double>(0.239f),
                                 1);

MTH_Vector2D floorHalf(const MTH_Vector2D &v)
{
    return MTH_Vector2D(std::floor(v.m_fX + 0.5), std::floor(v.m_fY + 0.5));
}

// Two triangles of a quad from its corner along two edges; with texture
// coordinates from (0, 0) to (u, v) when textured.
void drawQuad(const MTH_Vector2D &corner, const MTH_Vector2D &across, const MTH_Vector2D &down, bool textured,
              double u = 1, double v = 1)
{
    MTH_Vector2D right = corner + across, far = right + down, below = corner + down;
    const double vertices[12] = {corner.m_fX, corner.m_fY, right.m_fX, right.m_fY, far.m_fX,   far.m_fY,
                                 corner.m_fX, corner.m_fY, far.m_fX,   far.m_fY,   below.m_fX, below.m_fY};
    const double coordinates[12] = {0, 0, u, 0, u, v, 0, 0, u, v, 0, v};
    glVertexPointer(2, GL_DOUBLE, 0, vertices);
    if (textured)
        glTexCoordPointer(2, GL_DOUBLE, 0, coordinates);
    glDrawArrays(GL_TRIANGLES, 0, 6);
}

} // namespace

void VIEW_OpenGL::drawText(MDL_Text *text)
{
    const MTH_Frame &frame = text->getGlobalFrame();
    const MTH_Vector3D &position = frame.m_oPosition, &row0 = frame.m_oBasis.getRow(0),
                       &row1 = frame.m_oBasis.getRow(1);
    const double w = m_fViewportWidth, s = row0.length();
    // The text's origin and axes on the screen; a point (x, y) of its layout
    // lies at origin + w (x X + y Y).
    const MTH_Vector2D origin(w * position.m_fX, w * position.m_fY), x(row0.m_fX, row0.m_fY), y(row1.m_fX, row1.m_fY);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_ALPHA_TEST);

    const MTH_Vector4D &background = text->getBackgroundColor();
    if (background.m_fW > 0) {
        double x0, y0, x1, y1;
        text->getBoundingBox(x0, y0, x1, y1);
        glDisable(GL_TEXTURE_2D);
        glColor4d(background.m_fX, background.m_fY, background.m_fZ, background.m_fW);
        VIEW_enable(GL_BLEND, background.m_fW != 1);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        drawQuad(origin + (x * x0 + y * y0) * w, x * ((x1 - x0) * w), y * ((y1 - y0) * w), false);
    }

    // A text without a font, or along an X axis without length, has no
    // glyphs to draw, and no size to render them at.
    MDL_Font *font = text->getFont();
    if (text->getText() == nullptr || !(text->getSize() > 0) || font == nullptr || !font->isValid() || !(s > 0) ||
        !std::isfinite(s))
        return;
    if (!font->setSize(text->getSize() * w * s))
        return;
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    int count = text->getGlyphCount();
    const MDL_TextGlyph *glyphs = text->getGlyphs();
    if (count == 0)
        return;
    const MTH_Vector4D &color = text->getColor();
    glColor4d(color.m_fX, color.m_fY, color.m_fZ, color.m_fW);
    // A glyph's bitmap is in pixels of the rendered font, which is s times
    // the text's size: along the axes divided by s it keeps its size on the
    // screen.
    const MTH_Vector2D across = x * (1 / s), down = y * (1 / s);
    for (int i = 0; i < count; i++) {
        const MDL_TextGlyph &g = glyphs[i];
        VIEW_GlyphTexture *glyph = getGlyphTexture(font, static_cast<int>(g.m_uiCode));
        if (glyph->m_uiTexture == 0)
            continue;
        MTH_Vector2D pen = origin + (x * g.m_fX + y * g.m_fY) * w;
        MTH_Vector2D corner = floorHalf(pen + across * glyph->m_iLeft - down * glyph->m_iTop);
        drawQuad(corner, across * glyph->m_iWidth, down * glyph->m_iRows, true, glyph->m_fUScale, glyph->m_fVScale);
    }
}

void VIEW_OpenGL::drawTextAt(const MTH_Vector2D &position, MDL_Font *font, const char *text, const MTH_Vector4D &color,
                             double size)
{
    MDL_Text run;
    run.editGlobalPosition() = MTH_Vector3D(position.m_fX, position.m_fY, 0);
    run.setFont(font);
    run.setSize(size);
    run.setColor(color);
    run.setText(text);
    drawText(&run);
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
