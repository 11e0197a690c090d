#include "model/MDL_Font.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "foundation/UTIL_Id.h"
#include "foundation/UTIL_Log.h"
#include "model/MDL_DefaultFont.h"

namespace {

FT_Library s_poLibrary = nullptr;
// Faces open in s_poLibrary; FT_Done_FreeType would free them under their
// fonts, so shutting down waits for the last one.
int s_iOpenFaces = 0;
bool s_bDonePending = false;

void shutDownLibrary()
{
    FT_Done_FreeType(s_poLibrary);
    s_poLibrary = nullptr;
    s_bDonePending = false;
}

} // namespace

bool MDL_initFontLibrary()
{
    s_bDonePending = false;
    if (s_poLibrary != nullptr)
        return true;
    FT_Library library = nullptr;
    FT_Error error = FT_Init_FreeType(&library);
    if (error != 0) {
        UTIL_warn("FreeType could not be started (error %d)", error);
        return false;
    }
    s_poLibrary = library;
    return true;
}

void MDL_doneFontLibrary()
{
    if (s_poLibrary == nullptr)
        return;
    if (s_iOpenFaces > 0)
        s_bDonePending = true;
    else
        shutDownLibrary();
}

FT_Library MDL_Font::getLibrary()
{
    return s_poLibrary;
}

MDL_Font::MDL_Font(const char *name, unsigned char *data, int size, bool owns)
    : m_fSize(-1.0), m_poFace(nullptr), m_sName(nullptr), m_pucData(data), m_bOwnsData(owns), m_iId(UTIL_nextId())
{
    if (name != nullptr) {
        size_t length = strlen(name) + 1;
        m_sName = static_cast<char *>(malloc(length));
        if (m_sName != nullptr)
            memcpy(m_sName, name, length);
    }
    if (name != nullptr && strncasecmp(name, "default", 7) == 0) {
        // The built-in font replaces whatever was passed; a buffer handed
        // over with it is no longer needed.
        if (m_bOwnsData)
            free(data);
        m_pucData = MDL_kaucDefaultFontData;
        m_bOwnsData = false;
        size = MDL_kiDefaultFontSize;
    }
    if (m_pucData == nullptr || size <= 0) {
        UTIL_warn("Font %s: no data", name != nullptr ? name : "(unnamed)");
        return;
    }
    if (s_poLibrary == nullptr && !MDL_initFontLibrary())
        return;
    FT_Face face = nullptr;
    FT_Error error = FT_New_Memory_Face(s_poLibrary, m_pucData, size, 0, &face);
    if (error != 0 || face == nullptr) {
        UTIL_warn("Font %s: not a font FreeType can open (error %d)", name != nullptr ? name : "(unnamed)", error);
        return;
    }
    m_poFace = face;
    s_iOpenFaces++;
    FT_Select_Charmap(m_poFace, FT_ENCODING_UNICODE);
}

MDL_Font::~MDL_Font()
{
    free(m_sName);
    if (m_poFace != nullptr) {
        FT_Done_Face(m_poFace);
        m_poFace = nullptr;
        if (--s_iOpenFaces == 0 && s_bDonePending)
            shutDownLibrary();
    }
    if (m_bOwnsData)
        free(const_cast<unsigned char *>(m_pucData));
    m_oProxyHandle.release();
}

bool MDL_Font::setSize(double size)
{
    if (m_poFace == nullptr)
        return false;
    if (size == m_fSize)
        return true;
    // 26.6 character sizes are longs; anything that does not convert is
    // refused rather than handed to FreeType as garbage.
    double scaled = size * 4096.0;
    if (!std::isfinite(scaled) || scaled >= 2147483648.0 || scaled <= -2147483648.0)
        return false;
    FT_F26Dot6 w = static_cast<FT_F26Dot6>(scaled);
    FT_Set_Char_Size(m_poFace, w, w, 1, 1);
    m_fSize = size;
    return true;
}

FT_GlyphSlot MDL_Font::loadGlyph(unsigned long code, unsigned int *glyphIndex)
{
    if (glyphIndex != nullptr)
        *glyphIndex = 0;
    if (m_poFace == nullptr)
        return nullptr;
    FT_UInt index = FT_Get_Char_Index(m_poFace, code);
    if (glyphIndex != nullptr)
        *glyphIndex = index;
    if (FT_Load_Glyph(m_poFace, index, FT_LOAD_RENDER) != 0)
        return nullptr;
    return m_poFace->glyph;
}
