#include "model/MDL_Text.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "foundation/UTIL_String.h"
#include "foundation/UTIL_UTF8.h"
#include "model/MDL_Font.h"

namespace {

// The face a text can be measured with: a scalable face of the font, or null.
FT_Face usableFace(const MDL_Font *font)
{
    if (font == nullptr || font->m_poFace == nullptr || font->m_poFace->units_per_EM == 0)
        return nullptr;
    return font->m_poFace;
}

const FT_Int32 kiLoadFlags = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;

// The pen and the box while a text is laid out, in font units.
struct Pen {
    double m_fX = 0, m_fY = 0;
    double m_fMinX = 0, m_fMinY = 0, m_fMaxX = 0, m_fMaxY = 0;

    void takeInX(double x)
    {
        if (x < m_fMinX)
            m_fMinX = x;
        if (x > m_fMaxX)
            m_fMaxX = x;
    }
    void takeInY(double y)
    {
        if (y < m_fMinY)
            m_fMinY = y;
        if (y > m_fMaxY)
            m_fMaxY = y;
    }
};

} // namespace

MDL_Text::MDL_Text()
    : m_oColor(0, 0, 0, 1), m_oBackgroundColor(0, 0, 0, 0), m_poFont(nullptr), m_sText(nullptr), m_fSize(1.0),
      m_iTabSize(8), m_bLayoutDirty(true), m_fMinX(0), m_fMinY(0), m_fMaxX(0), m_fMaxY(0)
{
    m_iType = OBJECT_TEXT;
}

MDL_Text::MDL_Text(const MDL_Text &other)
    : MDL_Object(other), m_oColor(other.m_oColor), m_oBackgroundColor(other.m_oBackgroundColor),
      m_poFont(other.m_poFont), m_sText(UTIL_sCopyString(other.m_sText)), m_fSize(other.m_fSize),
      m_iTabSize(other.m_iTabSize), m_bLayoutDirty(true), m_fMinX(0), m_fMinY(0), m_fMaxX(0), m_fMaxY(0)
{
}

MDL_Text::~MDL_Text()
{
    free(m_sText);
}

void MDL_Text::invalidateLayout()
{
    m_bLayoutDirty = true;
    m_fMinX = m_fMinY = m_fMaxX = m_fMaxY = 0;
    m_oGlyphs.resize(0);
}

void MDL_Text::setText(const char *text)
{
    char *copy = UTIL_sCopyString(text);
    free(m_sText);
    m_sText = copy;
    invalidateLayout();
    layout();
}

void MDL_Text::setFont(MDL_Font *font)
{
    m_poFont = font;
    invalidateLayout();
}

void MDL_Text::setSize(double size)
{
    m_fSize = size;
    invalidateLayout();
}

void MDL_Text::setTabSize(int spaces)
{
    m_iTabSize = spaces;
    invalidateLayout();
}

double MDL_Text::getLayoutScale() const
{
    FT_Face face = usableFace(m_poFont);
    // A size that is no positive number draws nothing; a negative one would
    // turn the box inside out.
    if (face == nullptr || !(m_fSize > 0) || !std::isfinite(m_fSize))
        return 0;
    double scale = m_fSize * 64.0 / (static_cast<double>(face->units_per_EM) * 72.0);
    return std::isfinite(scale) ? scale : 0;
}

double MDL_Text::getLineHeight() const
{
    double scale = getLayoutScale();
    return scale > 0 ? static_cast<double>(usableFace(m_poFont)->height) * scale : 0;
}

double MDL_Text::getScale()
{
    double line = getLineHeight();
    if (line == 0)
        return 0;
    double axis = getGlobalBasis().getRow(0).length();
    if (!(axis > 0) || !std::isfinite(axis))
        return 0;
    double scale = line / axis;
    return std::isfinite(scale) ? scale : 0;
}

void MDL_Text::layout()
{
    if (m_sText == nullptr || !m_bLayoutDirty)
        return;
    m_bLayoutDirty = false;
    m_fMinX = m_fMinY = m_fMaxX = m_fMaxY = 0;
    m_oGlyphs.resize(0);
    const double scale = getLayoutScale();
    if (scale == 0)
        return;
    FT_Face face = m_poFont->m_poFace;
    const double ascender = face->ascender;
    const double descender = face->descender;
    const double lineHeight = face->height;

    // The width of a tab stop: tab size times the advance of the space.
    double stop = 0;
    if (m_iTabSize > 0 && FT_Load_Glyph(face, FT_Get_Char_Index(face, ' '), kiLoadFlags) == 0)
        stop = static_cast<double>(m_iTabSize) * static_cast<double>(face->glyph->metrics.horiAdvance);

    Pen pen;
    FT_UInt previous = 0;
    int line = 0;
    const bool kerning = FT_HAS_KERNING(face);
    for (const char *p = m_sText; *p != '\0';) {
        uint64_t code = 0;
        int used = UTIL_decodeUTF8(&code, p);
        if (used <= 0) {
            // A sequence cut off by the end of the text: one byte is passed
            // over, the rest is read on.
            p++;
            continue;
        }
        p += used;
        if (code == '\t') {
            if (stop > 0 && std::isfinite(stop)) {
                double x = std::ceil(pen.m_fX / stop) * stop;
                pen.m_fX = x == pen.m_fX ? pen.m_fX + stop : x;
            }
            pen.takeInX(pen.m_fX);
            previous = 0;
            continue;
        }
        if (code == '\n') {
            pen.takeInX(pen.m_fX);
            pen.takeInY(pen.m_fY - ascender);
            pen.takeInY(pen.m_fY - descender);
            pen.m_fX = 0;
            pen.m_fY += lineHeight;
            line++;
            previous = 0;
            continue;
        }
        FT_UInt glyph = FT_Get_Char_Index(face, static_cast<FT_ULong>(code));
        if (FT_Load_Glyph(face, glyph, kiLoadFlags) != 0) {
            // A glyph the font cannot give adds nothing, as it draws nothing.
            previous = 0;
            continue;
        }
        const FT_Glyph_Metrics metrics = face->glyph->metrics;
        if (kerning && previous != 0) {
            FT_Vector delta = {0, 0};
            if (FT_Get_Kerning(face, previous, glyph, FT_KERNING_UNSCALED, &delta) == 0) {
                pen.m_fX += static_cast<double>(delta.x);
                pen.m_fY += static_cast<double>(delta.y);
            }
        }
        const double left = pen.m_fX + static_cast<double>(metrics.horiBearingX);
        pen.takeInX(left);
        pen.takeInX(left + static_cast<double>(metrics.width));
        pen.takeInY(pen.m_fY - ascender);
        pen.takeInY(pen.m_fY - descender);
        m_oGlyphs.append(MDL_TextGlyph{static_cast<uint32_t>(code), glyph, line, pen.m_fX * scale, pen.m_fY * scale});
        pen.m_fX += static_cast<double>(metrics.horiAdvance);
        previous = glyph;
    }
    pen.takeInX(pen.m_fX);
    pen.takeInY(pen.m_fY);
    m_fMinX = pen.m_fMinX * scale;
    m_fMinY = pen.m_fMinY * scale;
    m_fMaxX = pen.m_fMaxX * scale;
    m_fMaxY = pen.m_fMaxY * scale;
}

void MDL_Text::getBoundingBox(double &minX, double &minY, double &maxX, double &maxY)
{
    layout();
    minX = m_fMinX;
    minY = m_fMinY;
    maxX = m_fMaxX;
    maxY = m_fMaxY;
}

int MDL_Text::getGlyphCount()
{
    layout();
    return m_oGlyphs.m_iCount;
}

const MDL_TextGlyph *MDL_Text::getGlyphs()
{
    layout();
    return m_oGlyphs.m_pData;
}

bool MDL_Text::hitTest(const MTH_Vector2D &point)
{
    layout();
    return m_fMinX <= point.m_fX && point.m_fX <= m_fMaxX && m_fMinY <= point.m_fY && point.m_fY <= m_fMaxY;
}
