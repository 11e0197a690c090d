#include "foundation/UTIL_Bitmap.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

UTIL_Bitmap::UTIL_Bitmap() : m_iWidth(0), m_iHeight(0), m_iComponents(0), m_bOwnsData(false), m_pucData(nullptr) {}

UTIL_Bitmap::~UTIL_Bitmap()
{
    clear();
}

void UTIL_Bitmap::clear()
{
    if (m_bOwnsData)
        std::free(m_pucData);
    m_pucData = nullptr;
    m_bOwnsData = false;
    m_iWidth = 0;
    m_iHeight = 0;
    m_iComponents = 0;
}

size_t UTIL_Bitmap::byteCount(int width, int height, int components)
{
    if (width <= 0 || height <= 0 || components < 1 || components > 4)
        return 0;
    // Both sides are below 2^31, so their product fits 64 bits.
    uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (pixels > UTIL_kuBitmapMaxBytes / static_cast<uint64_t>(components))
        return 0;
    return static_cast<size_t>(pixels) * static_cast<size_t>(components);
}

void UTIL_Bitmap::wrap(int width, int height, int components, unsigned char *data)
{
    clear();
    m_iWidth = width;
    m_iHeight = height;
    m_iComponents = components;
    m_pucData = data;
}

bool UTIL_Bitmap::allocate(int width, int height, int components)
{
    clear();
    size_t bytes = byteCount(width, height, components);
    if (bytes == 0)
        return false;
    unsigned char *data = static_cast<unsigned char *>(std::malloc(bytes));
    if (data == nullptr)
        return false;
    m_iComponents = components;
    adopt(data, width, height);
    return true;
}

void UTIL_Bitmap::adopt(unsigned char *data, int width, int height)
{
    if (m_bOwnsData && data != m_pucData)
        std::free(m_pucData);
    m_pucData = data;
    m_bOwnsData = true;
    m_iWidth = width;
    m_iHeight = height;
}

// A new buffer for the bitmap's components at the new size, or null when the
// bitmap has no pixels or the size is refused.
static unsigned char *newBuffer(const UTIL_Bitmap &bitmap, int width, int height)
{
    if (bitmap.m_pucData == nullptr ||
        UTIL_Bitmap::byteCount(bitmap.m_iWidth, bitmap.m_iHeight, bitmap.m_iComponents) == 0)
        return nullptr;
    size_t bytes = UTIL_Bitmap::byteCount(width, height, bitmap.m_iComponents);
    if (bytes == 0)
        return nullptr;
    return static_cast<unsigned char *>(std::malloc(bytes));
}

bool UTIL_Bitmap::rebuild(int width, int height, Fill fill)
{
    if (width == m_iWidth && height == m_iHeight)
        return true;
    unsigned char *out = newBuffer(*this, width, height);
    if (out == nullptr)
        return false;
    fill(*this, out, width, height);
    adopt(out, width, height);
    return true;
}

// The old rows at the bottom left, zeros elsewhere.
static void padInto(const UTIL_Bitmap &source, unsigned char *out, int width, int height)
{
    size_t oldRow = static_cast<size_t>(source.m_iWidth) * source.m_iComponents;
    size_t newRow = static_cast<size_t>(width) * source.m_iComponents;
    size_t kept = oldRow < newRow ? oldRow : newRow;
    for (int y = 0; y < height; y++) {
        unsigned char *row = out + newRow * y;
        size_t copied = 0;
        if (y < source.m_iHeight) {
            std::memcpy(row, source.m_pucData + oldRow * y, kept);
            copied = kept;
        }
        std::memset(row + copied, 0, newRow - copied);
    }
}

bool UTIL_Bitmap::setCanvasSize(int width, int height)
{
    return rebuild(width, height, padInto);
}

bool UTIL_Bitmap::resize(int width, int height)
{
    if (width < m_iWidth || height < m_iHeight)
        return shrink(width, height);
    return enlarge(width, height);
}

// Each output pixel: the source pixels under its cell weighted by their
// overlap areas, in double precision.
static void boxFilterInto(const UTIL_Bitmap &source, unsigned char *out, int width, int height)
{
    const int64_t w = source.m_iWidth, h = source.m_iHeight, nw = width, nh = height;
    const int c = source.m_iComponents;
    const double scale = static_cast<double>(nw) * static_cast<double>(nh);
    double sums[4];
    for (int64_t y = 0; y < nh; y++) {
        // Output row y covers [y/nh, (y+1)/nh]; source row j covers [j/h, (j+1)/h].
        const double outY0 = static_cast<double>(y) / nh, outY1 = static_cast<double>(y + 1) / nh;
        const int64_t firstRow = y * h / nh;
        const int64_t lastRow = (y + 1) * h / nh < h - 1 ? (y + 1) * h / nh : h - 1;
        for (int64_t x = 0; x < nw; x++) {
            const double outX0 = static_cast<double>(x) / nw, outX1 = static_cast<double>(x + 1) / nw;
            const int64_t firstColumn = x * w / nw;
            const int64_t lastColumn = (x + 1) * w / nw < w - 1 ? (x + 1) * w / nw : w - 1;
            for (int k = 0; k < c; k++)
                sums[k] = 0;
            for (int64_t j = firstRow; j <= lastRow; j++) {
                double overlapY =
                    std::fmin(static_cast<double>(j + 1) / h, outY1) - std::fmax(static_cast<double>(j) / h, outY0);
                if (overlapY <= 0)
                    continue;
                const unsigned char *row = source.m_pucData + static_cast<size_t>(j * w * c);
                for (int64_t i = firstColumn; i <= lastColumn; i++) {
                    double overlapX =
                        std::fmin(static_cast<double>(i + 1) / w, outX1) - std::fmax(static_cast<double>(i) / w, outX0);
                    if (overlapX <= 0)
                        continue;
                    double area = overlapX * overlapY;
                    const unsigned char *pixel = row + i * c;
                    for (int k = 0; k < c; k++)
                        sums[k] += pixel[k] * area;
                }
            }
            unsigned char *target = out + static_cast<size_t>((y * nw + x) * c);
            for (int k = 0; k < c; k++) {
                double value = std::floor(sums[k] * scale + 0.5);
                target[k] = static_cast<unsigned char>(value < 0 ? 0 : value > 255 ? 255 : value);
            }
        }
    }
}

bool UTIL_Bitmap::shrink(int width, int height)
{
    return rebuild(width, height, boxFilterInto);
}

namespace {

// Where output position i of a side of n (scaled from a side of m) reads: the
// source position p, the next one q (p itself at the end of the side) and the
// weight f of q out of n - 1 (p weighs n - 1 - f). A side of one output
// position has no weights: it takes position 0 whole.
struct Sample {
    int64_t p, q, f;
};

Sample sampleAt(int64_t i, int64_t m, int64_t n)
{
    Sample s;
    if (n <= 1) {
        s.p = s.q = 0;
        s.f = 0;
        return s;
    }
    s.p = i * (m - 1) / (n - 1);
    s.f = i * (m - 1) - s.p * (n - 1);
    s.q = s.p + 1 < m ? s.p + 1 : s.p;
    return s;
}

} // namespace

// Bilinear in integers, the end pixels of both sides aligned.
static void bilinearInto(const UTIL_Bitmap &source, unsigned char *out, int width, int height)
{
    const int64_t w = source.m_iWidth, h = source.m_iHeight, nw = width, nh = height;
    const int64_t c = source.m_iComponents;
    const int64_t dx = nw > 1 ? nw - 1 : 1, dy = nh > 1 ? nh - 1 : 1;
    for (int64_t y = 0; y < nh; y++) {
        Sample sy = sampleAt(y, h, nh);
        const unsigned char *row0 = source.m_pucData + static_cast<size_t>(sy.p * w * c);
        const unsigned char *row1 = source.m_pucData + static_cast<size_t>(sy.q * w * c);
        for (int64_t x = 0; x < nw; x++) {
            Sample sx = sampleAt(x, w, nw);
            unsigned char *target = out + static_cast<size_t>((y * nw + x) * c);
            for (int64_t k = 0; k < c; k++) {
                int64_t bottom = (dx - sx.f) * row0[sx.p * c + k] + sx.f * row0[sx.q * c + k];
                int64_t top = (dx - sx.f) * row1[sx.p * c + k] + sx.f * row1[sx.q * c + k];
                int64_t value = ((dy - sy.f) * bottom + sy.f * top) / (dx * dy);
                target[k] = static_cast<unsigned char>(value < 0 ? 0 : value > 255 ? 255 : value);
            }
        }
    }
}

bool UTIL_Bitmap::enlarge(int width, int height)
{
    return rebuild(width, height, bilinearInto);
}

bool UTIL_Bitmap::halve()
{
    if (m_pucData == nullptr || byteCount(m_iWidth, m_iHeight, m_iComponents) == 0)
        return false;
    const size_t w = static_cast<size_t>(m_iWidth), h = static_cast<size_t>(m_iHeight);
    const size_t c = static_cast<size_t>(m_iComponents);
    const size_t nw = w / 2 > 0 ? w / 2 : 1, nh = h / 2 > 0 ? h / 2 : 1;
    unsigned char *source = m_pucData;
    unsigned char *out = m_pucData;
    if (!m_bOwnsData) {
        // Never write over the caller's pixels.
        out = static_cast<unsigned char *>(std::malloc(nw * nh * c));
        if (out == nullptr)
            return false;
    }
    const size_t right = w > 1 ? c : 0;
    const size_t up = h > 1 ? w * c : 0;
    // Output pixel (x, y) lies at or before source pixel (2x, 2y), so writing
    // in order never overwrites a byte that is still to be read.
    for (size_t y = 0; y < nh; y++) {
        for (size_t x = 0; x < nw; x++) {
            const unsigned char *a = source + (2 * y * w + 2 * x) * c;
            unsigned char *target = out + (y * nw + x) * c;
            for (size_t k = 0; k < c; k++)
                target[k] = static_cast<unsigned char>((a[k] + a[k + right] + a[k + up] + a[k + up + right]) >> 2);
        }
    }
    if (m_bOwnsData) {
        // Shrinks the block; should realloc fail the larger block is kept.
        void *smaller = std::realloc(m_pucData, nw * nh * c);
        if (smaller != nullptr)
            m_pucData = static_cast<unsigned char *>(smaller);
        out = m_pucData;
    }
    adopt(out, static_cast<int>(nw), static_cast<int>(nh));
    return true;
}

bool UTIL_Bitmap::decode(const unsigned char *data, size_t size, const char *name, bool quiet)
{
    clear();
    if (data == nullptr)
        return false;
    if (name == nullptr)
        name = "";
    if (decodePng(data, size, name, quiet) || decodeJpeg(data, size, name))
        return true;
    clear();
    return false;
}
