// Decodes arbitrary bytes as a PNG or JPEG image from an exact-size copy (so
// any read past the end is caught), and checks what any input must leave: an
// empty bitmap, or a sound owned one. A decoded image that is not too large
// then goes through the texture cache's steps: scaling, padding to powers of
// two and halving down to 1 x 1. The seeds are copies of fixtures of the
// decoding tests (tests/data/images).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/UTIL_Bitmap.h"
#include "foundation/UTIL_Log.h"

static void quiet(const char *, void *) {}

static const int FUZZ_MAX_PIXELS = 1 << 20;

static int powerOfTwo(int n)
{
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

static void checkSound(const UTIL_Bitmap &bitmap)
{
    if (bitmap.m_pucData == nullptr || !bitmap.m_bOwnsData || bitmap.m_iWidth <= 0 || bitmap.m_iHeight <= 0 ||
        UTIL_Bitmap::byteCount(bitmap.m_iWidth, bitmap.m_iHeight, bitmap.m_iComponents) == 0)
        abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    UTIL_setLogSink(quiet, nullptr);
    unsigned char *copy = static_cast<unsigned char *>(malloc(size > 0 ? size : 1));
    if (size > 0)
        memcpy(copy, data, size);
    UTIL_Bitmap bitmap;
    bool decoded = bitmap.decode(copy, size, "fuzz");
    free(copy);
    if (!decoded) {
        if (bitmap.m_pucData != nullptr || bitmap.m_iWidth != 0 || bitmap.m_iHeight != 0 || bitmap.m_iComponents != 0 ||
            bitmap.m_bOwnsData)
            abort();
        UTIL_setLogSink(nullptr, nullptr);
        return 0;
    }
    checkSound(bitmap);
    // Reading every byte lets the sanitizer check the whole buffer.
    size_t bytes = UTIL_Bitmap::byteCount(bitmap.m_iWidth, bitmap.m_iHeight, bitmap.m_iComponents);
    unsigned sum = 0;
    for (size_t i = 0; i < bytes; i++)
        sum += bitmap.m_pucData[i];
    if (static_cast<int64_t>(bitmap.m_iWidth) * bitmap.m_iHeight <= FUZZ_MAX_PIXELS) {
        int width = bitmap.m_iWidth, height = bitmap.m_iHeight;
        // Sizes taken from the data: one side up, the other down.
        int newWidth = 1 + (width * 3 + static_cast<int>(sum % 7)) / 2;
        int newHeight = 1 + height / 2;
        if (static_cast<int64_t>(newWidth) * newHeight <= FUZZ_MAX_PIXELS) {
            if (!bitmap.resize(newWidth, newHeight))
                abort();
            checkSound(bitmap);
        }
        if (!bitmap.enlarge(bitmap.m_iWidth + 1, bitmap.m_iHeight + 1))
            abort();
        if (!bitmap.setCanvasSize(powerOfTwo(bitmap.m_iWidth), powerOfTwo(bitmap.m_iHeight)))
            abort();
        while (bitmap.m_iWidth > 1 || bitmap.m_iHeight > 1)
            if (!bitmap.halve())
                abort();
        checkSound(bitmap);
    }
    UTIL_setLogSink(nullptr, nullptr);
    return 0;
}
