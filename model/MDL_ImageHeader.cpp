#include "model/MDL_ImageHeader.h"

#include <strings.h>

namespace {

inline uint32_t bigEndian16(const unsigned char *p)
{
    return (static_cast<uint32_t>(p[0]) << 8) | p[1];
}

inline uint32_t bigEndian32(const unsigned char *p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

// A PNG dimension is at most 2^31 - 1; anything larger counts as none.
inline int pngDimension(uint32_t value)
{
    return value > 0x7FFFFFFFu ? 0 : static_cast<int>(value);
}

const unsigned char kaucPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Segments from offset 2: each one's length (big-endian 16 bits at p + 2)
// leads to the next at p + length + 2; a baseline start-of-frame (FF C0) gives
// the height at p + 5 and the width at p + 7. Positions are 64-bit, so no
// length can wrap them.
void readJpeg(const unsigned char *data, uint64_t size, MDL_ImageHeader &header)
{
    uint64_t p = 2;
    while (p + 4 <= size) {
        uint64_t next = p + bigEndian16(data + p + 2) + 2;
        if (next >= size)
            return;
        if (data[p] == 0xFF && data[p + 1] == 0xC0) {
            if (p + 9 <= size) {
                header.m_iHeight = static_cast<int>(bigEndian16(data + p + 5));
                header.m_iWidth = static_cast<int>(bigEndian16(data + p + 7));
            }
            return;
        }
        p = next;
    }
}

// Chunks from offset 8: a 32-bit big-endian data length at p, the type at
// p + 4, the next chunk at p + length + 12. A chunk is looked at only when the
// next one starts inside the data, and its fields only when they lie inside.
void readPng(const unsigned char *data, uint64_t size, MDL_ImageHeader &header)
{
    uint64_t p = 8;
    while (p + 12 < size) {
        uint64_t next = p + static_cast<uint64_t>(bigEndian32(data + p)) + 12;
        if (next >= size)
            return;
        const char *type = reinterpret_cast<const char *>(data + p + 4);
        if (strncasecmp(type, "IEND", 4) == 0)
            return;
        if (strncasecmp(type, "tRNS", 4) == 0) {
            header.m_bHasAlpha = true;
        } else if (strncasecmp(type, "IHDR", 4) == 0 && p + 18 <= size) {
            header.m_iWidth = pngDimension(bigEndian32(data + p + 8));
            header.m_iHeight = pngDimension(bigEndian32(data + p + 12));
            if (data[p + 17] & 4)
                header.m_bHasAlpha = true;
        }
        p = next;
    }
}

} // namespace

MDL_ImageHeader MDL_readImageHeader(const unsigned char *data, uint32_t size)
{
    MDL_ImageHeader header = {0, 0, false};
    if (data == nullptr)
        return header;
    if (size > 9) {
        const char *tag = reinterpret_cast<const char *>(data + 6);
        if (strncasecmp(tag, "JFIF", 4) == 0 || strncasecmp(tag, "EXIF", 4) == 0) {
            readJpeg(data, size, header);
            return header;
        }
    }
    if (size < 8)
        return header;
    for (int i = 0; i < 8; i++)
        if (data[i] != kaucPngSignature[i])
            return header;
    readPng(data, size, header);
    return header;
}
