#pragma once

#include <cstdint>

#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_DynArray.h"
#include "model/MDL_Object.h"

class MDL_Font;

// One glyph of a laid-out text.
struct MDL_TextGlyph {
    uint32_t m_uiCode;       // the character
    uint32_t m_uiGlyphIndex; // its glyph in the font (0: the missing-glyph shape)
    int32_t m_iLine;         // line number, from 0
    // The glyph's origin (the pen on the baseline, kerning applied), in the
    // text's own units.
    double m_fX, m_fY;
};

// A string of UTF-8 text shown in a scene's overlays (type 8): a font (not
// owned), a size, a colour and an optional background, laid out with
// kerning, tab stops and line feeds.
//
// The layout works in the font's own units (unscaled, unhinted outlines) and
// gives the text's own units by a factor s = size x 64 / (units per EM x 72):
// the units of a font whose size is the text size. x runs along the line,
// y down from line to line: the first baseline is at y = 0, each line feed
// moves it by the font's line height, a line's top is its baseline minus the
// ascender and its bottom its baseline minus the descender. The bounding box
// always holds the origin. Drawn in a viewport of width W (pixels), the
// point (x, y) of the layout lies at W x (position + x X + y Y), X and Y the
// first two rows of the text's global basis.
//
// A text without a font, or whose font has no usable face, or whose size is
// not above 0 (or not a number) draws nothing: its layout is empty (no
// glyphs, a box of (0, 0, 0, 0)).
class MDL_Text : public MDL_Object {
public:
    // Colour (0, 0, 0, 1), background (0, 0, 0, 0), no font, no text, size 1,
    // tab size 8, layout to be made.
    MDL_Text();
    // A copy of the object, the text and every setting; the font is shared.
    // The copy lays itself out on first use.
    MDL_Text(const MDL_Text &other);
    ~MDL_Text() override;

    // Whether the point (in the text's own units) lies in the bounding box,
    // edges included; lays out first when needed.
    bool hitTest(const MTH_Vector2D &point) override;

    // Keeps a copy (null stays null) and lays the text out at once.
    void setText(const char *text);
    const char *getText() const { return m_sText; }
    // The setters of the geometry mark the layout dirty and zero the box;
    // the next use lays the text out again.
    void setFont(MDL_Font *font);
    MDL_Font *getFont() const { return m_poFont; }
    void setSize(double size);
    double getSize() const { return m_fSize; }
    // Width of a tab stop in spaces. A tab moves the pen to the next stop, a
    // full stop on when it is on one; with no stop width (a tab size of 0 or
    // less, or a space without advance) a tab moves nothing.
    void setTabSize(int spaces);
    int getTabSize() const { return m_iTabSize; }
    void setColor(const MTH_Vector4D &color) { m_oColor = color; }
    const MTH_Vector4D &getColor() const { return m_oColor; }
    // Drawn behind the text (its bounding box) when its alpha is above 0.
    void setBackgroundColor(const MTH_Vector4D &color) { m_oBackgroundColor = color; }
    const MTH_Vector4D &getBackgroundColor() const { return m_oBackgroundColor; }

    // Lays the text out when it is not null and the layout is dirty.
    void layout();
    // The laid-out box in the text's own units (laid out first when needed).
    void getBoundingBox(double &minX, double &minY, double &maxX, double &maxY);
    using MDL_Object::getBoundingBox;
    // The glyphs in text order (laid out first when needed); tabs and line
    // feeds move the pen and are no glyphs. Valid until the next change.
    int getGlyphCount();
    const MDL_TextGlyph *getGlyphs();

    // Font units to the text's own units (s above); 0 when the text draws
    // nothing.
    double getLayoutScale() const;
    // The step from one baseline to the next in the text's own units; 0 when
    // the text draws nothing.
    double getLineHeight() const;
    // The line height divided by the length of the global X axis: the
    // renderer moves the pen by this times W times that length along Y for
    // each line feed. 0 without a usable font, and when the axis has no
    // usable length.
    double getScale();

    // --- fields, in order ---
    MTH_Vector4D m_oColor;
    MTH_Vector4D m_oBackgroundColor;
    MDL_Font *m_poFont; // not owned
    char *m_sText;      // owned (malloc), or null
    double m_fSize;
    int32_t m_iTabSize;
    bool m_bLayoutDirty;
    double m_fMinX, m_fMinY, m_fMaxX, m_fMaxY;
    UTIL_DynArray<MDL_TextGlyph> m_oGlyphs;

private:
    // Marks the layout dirty and empties it.
    void invalidateLayout();
};
