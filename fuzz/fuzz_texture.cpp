// Feeds arbitrary bytes to the texture header reader, through a texture made
// over an exact-size copy of the input (so any read past the end is caught),
// through a models-set "texture" element carrying them as hexadecimal text,
// and, when the input is not too large, to FreeType as a document font.
// Once per process a controller opens its built-in default font, which must
// always work (it also makes the controller part of the link, which the
// proxy handles of textures and fonts refer to).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <tinyxml.h>

#include "controller/CTRL_Generic.h"
#include "foundation/UTIL_Log.h"
#include "model/MDL_Font.h"
#include "model/MDL_ImageHeader.h"
#include "model/MDL_Texture.h"

static void quiet(const char *, void *) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    UTIL_setLogSink(quiet, nullptr);
    static bool s_bCheckedDefaultFont = false;
    if (!s_bCheckedDefaultFont) {
        CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
        if (controller.m_poDefaultFont == nullptr || !controller.m_poDefaultFont->isValid())
            abort();
        s_bCheckedDefaultFont = true;
    }
    if (size > (1u << 20))
        return 0;

    unsigned char *copy = static_cast<unsigned char *>(malloc(size > 0 ? size : 1));
    if (size > 0)
        memcpy(copy, data, size);
    {
        MDL_Texture texture("fuzz", copy, static_cast<uint32_t>(size), true);
        if (texture.m_iWidth < 0 || texture.m_iHeight < 0)
            abort();
        (void)texture.getAspectRatio();
    }

    // The same bytes as the text of a "texture" element, its "size" taken
    // from the first byte so that sizes both above and below the data occur.
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; i++) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    unsigned claimed = size > 0 ? data[0] * 4u : 0u;
    TiXmlElement element("texture");
    element.SetAttribute("size", static_cast<int>(claimed));
    element.SetAttribute("filter", "linear");
    element.InsertEndChild(TiXmlText(text.c_str()));
    {
        MDL_Texture texture;
        texture.loadFromXML(&element);
        if (texture.m_iSize > claimed || texture.m_iSize > size)
            abort();
    }

    if (size <= (64u << 10)) {
        unsigned char *font = static_cast<unsigned char *>(malloc(size > 0 ? size : 1));
        if (size > 0)
            memcpy(font, data, size);
        MDL_Font member("fuzz.ttf", font, static_cast<int>(size), true);
        if (member.setSize(12)) {
            unsigned int glyph = 0;
            member.loadGlyph('A', &glyph);
        }
    }
    UTIL_setLogSink(nullptr, nullptr);
    return 0;
}
