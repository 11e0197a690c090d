#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include "foundation/UTIL_ProxyHandle.h"

// The process-wide FreeType library that every font uses. The program starts
// it before anything else and shuts it down at exit; a font made while it is
// not started starts it. Shutting down while fonts still hold faces is
// deferred until the last of them is destroyed. Both are safe to call twice.
bool MDL_initFontLibrary();
void MDL_doneFontLibrary();

// One FreeType face opened from a font file in memory: a document's font
// member, or the font built into the player when the name begins with
// "default" (any case). Texts measure their layout with it and the renderer's
// glyph cache renders its glyphs.
//
// Data that FreeType refuses leave the font without a face (isValid false):
// no FreeType call is ever made on a missing face, setSize does nothing and
// loadGlyph gives null. Code that reads m_poFace directly checks it first.
class MDL_Font {
public:
    // Copies name; takes data (size bytes, freed with free on destruction
    // when owns) and opens face 0 with the Unicode character map. A name
    // beginning with "default" opens the built-in font instead; an owned
    // buffer passed with it is freed at once.
    MDL_Font(const char *name, unsigned char *data, int size, bool owns);
    ~MDL_Font();

    MDL_Font(const MDL_Font &) = delete;
    MDL_Font &operator=(const MDL_Font &) = delete;

    static bool initLibrary() { return MDL_initFontLibrary(); }
    static void doneLibrary() { MDL_doneFontLibrary(); }
    // The library handle; null when it is not started.
    static FT_Library getLibrary();

    bool isValid() const { return m_poFace != nullptr; }
    FT_Face getFace() const { return m_poFace; }
    const char *getName() const { return m_sName; }
    int getId() const { return m_iId; }
    double getSize() const { return m_fSize; }

    // Sets the character size to size x 4096 in 26.6 units (width and
    // height) at 1 dpi, unless it is already the size last set. False (and
    // nothing changed) without a face or for a size that is not a finite
    // number in range.
    bool setSize(double size);
    // Renders the glyph of a character code: stores its glyph index (0 for a
    // character the font lacks, its missing-glyph shape) and returns the
    // face's glyph slot. Null (index 0) without a face or when FreeType fails.
    FT_GlyphSlot loadGlyph(unsigned long code, unsigned int *glyphIndex);

    // --- fields, in order ---
    UTIL_ProxyHandle m_oProxyHandle;
    double m_fSize;                 // last size set, -1 before the first
    FT_Face m_poFace;               // null when the data are no usable font
    char *m_sName;                  // owned (malloc), or null
    const unsigned char *m_pucData; // the font file; read by FreeType while the face lives
    bool m_bOwnsData;               // m_pucData is freed on destruction
    int m_iId;                      // from UTIL_nextId; keys the glyph cache
};
