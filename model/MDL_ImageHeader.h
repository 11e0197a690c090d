#pragma once

#include <cstdint>

// What a texture knows of its encoded image before it is decoded.
struct MDL_ImageHeader {
    int m_iWidth;     // pixels, 0 when the header gives none
    int m_iHeight;    // pixels, 0 when the header gives none
    bool m_bHasAlpha; // an alpha channel or a transparency chunk
};

// Reads the size and the alpha flag from the first bytes of a JPEG (a file
// with "JFIF" or "EXIF" at offset 6 and a baseline frame) or a PNG (IHDR and
// tRNS chunks); anything else, and any header cut short, gives 0 x 0 without
// alpha. Never reads outside data[0, size).
MDL_ImageHeader MDL_readImageHeader(const unsigned char *data, uint32_t size);
