#include "foundation/UTIL_Id.h"

#include <cstring>

static int s_iNextId = 1;

int UTIL_nextId()
{
    return s_iNextId++;
}

uint32_t UTIL_fletcher32(const void *bytes, uint32_t length)
{
    if (length < 2)
        return 0xFFFFFFFFu;
    const unsigned char *p = static_cast<const unsigned char *>(bytes);
    uint32_t words = length / 2;
    uint32_t a = 0xFFFF, b = 0xFFFF;
    while (words > 0) {
        uint32_t block = words > 360 ? 360 : words;
        words -= block;
        for (uint32_t i = 0; i < block; i++) {
            uint16_t v;
            memcpy(&v, p, 2);
            p += 2;
            a += v;
            b += a;
        }
        a = (a & 0xFFFF) + (a >> 16);
        b = (b & 0xFFFF) + (b >> 16);
    }
    a = (a & 0xFFFF) + (a >> 16);
    b = (b & 0xFFFF) + (b >> 16);
    return (b << 16) | a;
}
