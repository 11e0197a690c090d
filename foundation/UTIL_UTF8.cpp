#include "foundation/UTIL_UTF8.h"

int UTIL_decodeUTF8(uint64_t *codePoint, const char *text)
{
    static const uint64_t offsets[6] = {0, 0x3080, 0xE2080, 0x3C82080, 0xFA082080, 0x82082080};
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    unsigned char lead = p[0];
    if (lead == 0)
        return -1;
    int following = lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF8 ? 3 : lead < 0xFC ? 4 : 5;
    uint64_t v = lead;
    for (int i = 1; i <= following; i++) {
        if (p[i] == 0)
            return -1;
        v = v * 64 + p[i];
    }
    v -= offsets[following];
    *codePoint = v > 0x7FFFFFFF ? 0xFFFD : v;
    return following + 1;
}
