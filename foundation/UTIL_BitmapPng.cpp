// PNG decoding with libpng from a memory block. libpng reports errors by
// calling the error function below, which long-jumps back into the decoder;
// so the decoder holds nothing with a destructor, and what it must free after
// the jump is kept in volatile variables.
#include "foundation/UTIL_Bitmap.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include <png.h>

#include "foundation/UTIL_Log.h"

namespace {

struct PngSource {
    const char *m_sName;
    const unsigned char *m_pucData;
    size_t m_uSize;
    size_t m_uPosition;
};

// What libpng's messages are labelled with, and whether they are logged.
struct PngLabel {
    const char *m_sName;
    bool m_bQuiet;
};

void pngError(png_structp png, png_const_charp message)
{
    const PngLabel *label = static_cast<const PngLabel *>(png_get_error_ptr(png));
    if (!label->m_bQuiet)
        UTIL_warn("Pnglib error: %s (%s)", message, label->m_sName);
    png_longjmp(png, 1);
}

void pngWarning(png_structp png, png_const_charp message)
{
    const PngLabel *label = static_cast<const PngLabel *>(png_get_error_ptr(png));
    if (!label->m_bQuiet)
        UTIL_warn("Pnglib warning: %s (%s)", message, label->m_sName);
}

// Copies the next bytes of the block; a request past its end (a truncated
// file) is an error, so nothing outside the block is ever read.
void pngRead(png_structp png, png_bytep out, png_size_t count)
{
    PngSource *source = static_cast<PngSource *>(png_get_io_ptr(png));
    if (count > source->m_uSize - source->m_uPosition)
        png_error(png, "Premature end of input");
    std::memcpy(out, source->m_pucData + source->m_uPosition, count);
    source->m_uPosition += count;
}

int componentsOf(int colorType)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
        return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 0;
    }
}

} // namespace

bool UTIL_Bitmap::decodePng(const unsigned char *data, size_t size, const char *name, bool quiet)
{
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0)
        return false;
    PngLabel label = {name, quiet};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &label, pngError, pngWarning);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    PngSource source = {name, data, size, 0};
    unsigned char *volatile pixels = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::free(pixels);
        return false;
    }
    png_set_read_fn(png, &source, pngRead);
    png_read_info(png, info);

    int colorType = png_get_color_type(png, info);
    int bitDepth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (bitDepth == 16)
        png_set_strip_16(png);
    else if (bitDepth < 8)
        png_set_packing(png);
    // Interlaced images are read pass by pass into the same rows.
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    png_uint_32 width = 0, height = 0;
    int interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    int components = componentsOf(colorType);
    size_t bytes = width <= 0x7fffffff && height <= 0x7fffffff
                       ? byteCount(static_cast<int>(width), static_cast<int>(height), components)
                       : 0;
    size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(components);
    if (bytes == 0 || bitDepth != 8 || png_get_rowbytes(png, info) != rowBytes) {
        if (!quiet)
            UTIL_warn("Image too large or of an unknown kind: %u x %u (%s)", static_cast<unsigned>(width),
                      static_cast<unsigned>(height), name);
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    pixels = static_cast<unsigned char *>(std::malloc(bytes));
    if (pixels == nullptr) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    if (interlace != PNG_INTERLACE_NONE)
        std::memset(pixels, 0, bytes);
    // The image's top row goes to the buffer's last row.
    for (int pass = 0; pass < passes; pass++)
        for (png_uint_32 y = 0; y < height; y++)
            png_read_row(png, pixels + rowBytes * (height - 1 - y), nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);

    m_iComponents = components;
    adopt(pixels, static_cast<int>(width), static_cast<int>(height));
    return true;
}
