// The glyph-texture cache: each character of a font at a size rendered once
// by FreeType and kept as an alpha texture.
#include "view/opengl/VIEW_OpenGL.h"

#include <algorithm>
#include <cstring>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "foundation/UTIL_Bitmap.h"
#include "model/MDL_Font.h"
#include "view/opengl/VIEW_GL.h"

namespace {

// The cache key: the font, the character and the font's current size (its
// horizontal scale, 16.16).
void glyphKey(unsigned char key[16], int fontId, int code, int64_t scale)
{
    int32_t id = fontId, character = code;
    std::memcpy(key, &id, 4);
    std::memcpy(key + 4, &character, 4);
    std::memcpy(key + 8, &scale, 8);
}

} // namespace

bool VIEW_glyphCoverage(const FT_Bitmap &glyph, UTIL_Bitmap &out)
{
    int width = static_cast<int>(glyph.width), rows = static_cast<int>(glyph.rows);
    if (glyph.buffer == nullptr || !out.allocate(width, rows, 1))
        return false;
    int pitch = glyph.pitch;
    size_t stride = static_cast<size_t>(pitch < 0 ? -static_cast<int64_t>(pitch) : pitch);
    size_t needed = glyph.pixel_mode == FT_PIXEL_MODE_MONO   ? (static_cast<size_t>(width) + 7) / 8
                    : glyph.pixel_mode == FT_PIXEL_MODE_BGRA ? 4 * static_cast<size_t>(width)
                                                             : static_cast<size_t>(width);
    if (stride < needed) {
        out.clear();
        return false;
    }
    for (int y = 0; y < rows; y++) {
        // A negative pitch stores the rows bottom-up from the buffer's start.
        size_t row = pitch < 0 ? static_cast<size_t>(rows - 1 - y) : static_cast<size_t>(y);
        const unsigned char *in = glyph.buffer + row * stride;
        unsigned char *to = out.m_pucData + static_cast<size_t>(y) * static_cast<size_t>(width);
        switch (glyph.pixel_mode) {
        case FT_PIXEL_MODE_GRAY:
            std::memcpy(to, in, static_cast<size_t>(width));
            break;
        case FT_PIXEL_MODE_MONO:
            for (int x = 0; x < width; x++)
                to[x] = (in[x >> 3] & (0x80 >> (x & 7))) != 0 ? 255 : 0;
            break;
        case FT_PIXEL_MODE_BGRA:
            for (int x = 0; x < width; x++)
                to[x] = in[4 * x + 3];
            break;
        default:
            out.clear();
            return false;
        }
    }
    return true;
}

VIEW_GlyphTexture *VIEW_OpenGL::getGlyphTexture(MDL_Font *font, int code)
{
    FT_Face face = font->getFace();
    int64_t scale = face != nullptr && face->size != nullptr ? static_cast<int64_t>(face->size->metrics.x_scale) : 0;
    unsigned char key[16];
    glyphKey(key, font->getId(), code, scale);
    UTIL_HashMap<16, VIEW_GlyphTexture>::Node *node = m_oGlyphTextures.find(key);
    if (node != nullptr) {
        glBindTexture(GL_TEXTURE_2D, node->m_oValue.m_uiTexture);
        return &node->m_oValue;
    }
    VIEW_GlyphTexture entry;
    std::memset(&entry, 0, sizeof(entry));
    unsigned int glyphIndex = 0;
    FT_GlyphSlot slot = font->loadGlyph(static_cast<unsigned long>(code), &glyphIndex);
    UTIL_Bitmap bitmap;
    if (slot != nullptr) {
        entry.m_iWidth = static_cast<int>(slot->bitmap.width);
        entry.m_iRows = static_cast<int>(slot->bitmap.rows);
        entry.m_iLeft = slot->bitmap_left;
        entry.m_iTop = slot->bitmap_top;
        entry.m_fAdvance = static_cast<double>(slot->linearHoriAdvance) / 65536;
        entry.m_iGlyphIndex = static_cast<int>(glyphIndex);
        if (entry.m_iWidth > 0 && entry.m_iRows > 0 && !VIEW_glyphCoverage(slot->bitmap, bitmap))
            bitmap.clear();
    }
    if (bitmap.m_pucData != nullptr) {
        int limit = m_iMaxTextureSize > 0 ? m_iMaxTextureSize : 64;
        int p = VIEW_powerOfTwo(bitmap.m_iWidth, limit), q = VIEW_powerOfTwo(bitmap.m_iHeight, limit);
        bool fits = bitmap.m_iWidth < limit && bitmap.m_iHeight < limit;
        bool ready = fits ? bitmap.setCanvasSize(p, q)
                          : bitmap.resize(std::min(limit, bitmap.m_iWidth), std::min(limit, bitmap.m_iHeight));
        if (ready) {
            entry.m_fUScale = static_cast<double>(fits ? entry.m_iWidth : bitmap.m_iWidth) / p;
            entry.m_fVScale = static_cast<double>(fits ? entry.m_iRows : bitmap.m_iHeight) / q;
            glGenTextures(1, &entry.m_uiTexture);
            glBindTexture(GL_TEXTURE_2D, entry.m_uiTexture);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
            glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, bitmap.m_iWidth, bitmap.m_iHeight, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
                         bitmap.m_pucData);
            entry.m_iByteSize = bitmap.m_iWidth * bitmap.m_iHeight;
        }
    }
    if (entry.m_uiTexture == 0)
        glBindTexture(GL_TEXTURE_2D, 0);
    return &m_oGlyphTextures.insert(key, entry)->m_oValue;
}

void VIEW_OpenGL::clearGlyphTextures()
{
    m_oGlyphTextures.clearAll([](VIEW_GlyphTexture &entry) {
        if (entry.m_uiTexture != 0)
            glDeleteTextures(1, &entry.m_uiTexture);
    });
}

void VIEW_OpenGL::flushGlyphTextures(void *context)
{
    if (!makeCurrent(context))
        return;
    clearGlyphTextures();
    m_bGlyphTexturesStale = false;
    releaseCurrent(context);
}
