// PNG writing with libpng, for screenshots and reference images. libpng
// reports errors by calling the error function below, which long-jumps back
// into the encoder; so the encoder holds nothing with a destructor, and what
// it must release after the jump is kept in volatile variables. The file is
// an output file: a failure leaves what its name held.
#include "foundation/UTIL_Bitmap.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <png.h>

#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_OutputFile.h"

namespace {

void pngWriteError(png_structp png, png_const_charp message)
{
    UTIL_warn("Pnglib error: %s (%s)", message, static_cast<const char *>(png_get_error_ptr(png)));
    png_longjmp(png, 1);
}

void pngWriteWarning(png_structp png, png_const_charp message)
{
    UTIL_warn("Pnglib warning: %s (%s)", message, static_cast<const char *>(png_get_error_ptr(png)));
}

int colorTypeOf(int components)
{
    switch (components) {
    case 1:
        return PNG_COLOR_TYPE_GRAY;
    case 2:
        return PNG_COLOR_TYPE_GRAY_ALPHA;
    case 3:
        return PNG_COLOR_TYPE_RGB;
    default:
        return PNG_COLOR_TYPE_RGB_ALPHA;
    }
}

// Encodes the bitmap's pixels as a PNG into file; false after libpng
// reported an error. It holds nothing with a destructor across the jump.
bool encode(const UTIL_Bitmap &bitmap, FILE *file, const char *name)
{
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, const_cast<char *>(name), pngWriteError, pngWriteWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    png_bytep *volatile rows = nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::free(rows);
        return false;
    }
    int height = bitmap.m_iHeight;
    rows = static_cast<png_bytep *>(std::malloc(sizeof(png_bytep) * static_cast<size_t>(height)));
    if (rows == nullptr)
        png_error(png, "Out of memory");
    // The bitmap's rows run bottom-up, a PNG's top-down.
    size_t stride = static_cast<size_t>(bitmap.m_iWidth) * static_cast<size_t>(bitmap.m_iComponents);
    for (int y = 0; y < height; y++)
        rows[y] = bitmap.m_pucData + stride * static_cast<size_t>(height - 1 - y);
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.m_iWidth), static_cast<png_uint_32>(height), 8,
                 colorTypeOf(bitmap.m_iComponents), PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::free(rows);
    return true;
}

} // namespace

bool UTIL_Bitmap::writePng(const char *path) const
{
    if (path == nullptr)
        return false;
    size_t bytes = byteCount(m_iWidth, m_iHeight, m_iComponents);
    if (m_pucData == nullptr || bytes == 0) {
        UTIL_warn("No pixels to write to %s", path);
        return false;
    }
    UTIL_OutputFile out;
    if (!out.open(path)) {
        UTIL_warn("Cannot write %s: %s", path, out.error());
        return false;
    }
    if (!encode(*this, out.file(), path)) {
        out.abandon();
        return false;
    }
    if (!out.commit()) {
        UTIL_warn("Cannot write %s: %s", path, out.error());
        return false;
    }
    return true;
}
