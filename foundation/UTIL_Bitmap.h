#pragma once

#include <cstddef>

// The largest pixel buffer a bitmap makes (256 MiB, an 8192 x 8192 RGBA
// image). Larger sizes, whether asked for or declared by an image file, are
// refused before anything is allocated.
const size_t UTIL_kuBitmapMaxBytes = size_t(1) << 28;

// A pixel buffer: 8 bits per component, components interleaved (1 grey or
// alpha, 2 grey and alpha, 3 RGB, 4 RGBA), rows of exactly width x components
// bytes with nothing between them, row 0 at the bottom of the image (the
// order OpenGL reads). The pixels are either owned (malloc, freed by the
// bitmap) or wrapped (the caller's).
//
// Operations that make a new buffer free the old one only when it was owned
// and leave the bitmap owning the new one, so a wrapped image is scaled
// without touching the caller's pixels. Asked for the size the bitmap already
// has they do nothing. An operation that returns false (a size that is not
// positive or is too large, an empty bitmap, no memory) leaves the bitmap as
// it was, except where it says otherwise.
class UTIL_Bitmap {
public:
    int m_iWidth;
    int m_iHeight;
    int m_iComponents;
    bool m_bOwnsData;
    unsigned char *m_pucData;

    UTIL_Bitmap();
    ~UTIL_Bitmap();
    UTIL_Bitmap(const UTIL_Bitmap &) = delete;
    UTIL_Bitmap &operator=(const UTIL_Bitmap &) = delete;

    // Points the bitmap at the caller's pixels (an owned buffer is freed first).
    void wrap(int width, int height, int components, unsigned char *data);

    // Frees an owned buffer and allocates width x height x components
    // uninitialised bytes. False (and the bitmap empty) for a refused size.
    bool allocate(int width, int height, int components);

    // Decodes a PNG or JPEG image held in memory; name only labels the
    // diagnostics, one log line each (none when quiet). The bitmap is emptied
    // first; on success it owns the pixels, on failure it stays empty.
    bool decode(const unsigned char *data, size_t size, const char *name, bool quiet = false);

    // Changes the size without scaling: the image stays at the bottom left,
    // new bytes are zero, pixels beyond the new size are dropped.
    bool setCanvasSize(int width, int height);

    // Scales with shrink when either side gets smaller, else with enlarge.
    bool resize(int width, int height);

    // Exact box filter: each output pixel is the area-weighted mean of the
    // source pixels under it (also right when one side grows).
    bool shrink(int width, int height);

    // Bilinear scaling in integers with the end pixels of each side aligned.
    bool enlarge(int width, int height);

    // Halves both sides (never below 1) for the next mipmap level: each pixel
    // is the truncated mean of a 2 x 2 block, an odd last row or column is
    // dropped. Works in place on an owned buffer; a wrapped one is first
    // copied into an owned buffer.
    bool halve();

    // The byte count of a width x height x components buffer, or 0 when a side
    // is not positive, components is not 1 to 4 or the count would pass
    // UTIL_kuBitmapMaxBytes. Never overflows.
    static size_t byteCount(int width, int height, int components);

    // Frees an owned buffer and empties the bitmap.
    void clear();

    // Writes the pixels as an 8-bit PNG file (grey, grey and alpha, RGB or
    // RGBA by the component count), the top row first. False, with a
    // diagnostic, for an empty bitmap or when the file cannot be written;
    // the path is written as a UTIL_OutputFile, so a failure leaves what it
    // held (a file as it was, a device or a pipe with what reached it).
    bool writePng(const char *path) const;

private:
    // Writes the pixels of the bitmap at a new size into out.
    typedef void (*Fill)(const UTIL_Bitmap &source, unsigned char *out, int width, int height);

    // Replaces the pixels with an owned buffer of the given size.
    void adopt(unsigned char *data, int width, int height);
    // A new buffer of the given size filled by fill, unless the size is the
    // bitmap's own or is refused.
    bool rebuild(int width, int height, Fill fill);
    bool decodePng(const unsigned char *data, size_t size, const char *name, bool quiet);
    bool decodeJpeg(const unsigned char *data, size_t size, const char *name);
};
