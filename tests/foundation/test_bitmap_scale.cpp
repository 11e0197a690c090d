// Pixel buffer operations. Pixels are listed in buffer order: row 0 (the
// bottom of the image) first.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/UTIL_Bitmap.h"

namespace {

// An owned bitmap holding the given pixels.
void fill(UTIL_Bitmap &bitmap, int width, int height, int components, const std::vector<int> &pixels)
{
    ASSERT_TRUE(bitmap.allocate(width, height, components));
    ASSERT_EQ(pixels.size(), static_cast<size_t>(width * height * components));
    for (size_t i = 0; i < pixels.size(); i++)
        bitmap.m_pucData[i] = static_cast<unsigned char>(pixels[i]);
}

std::vector<int> contents(const UTIL_Bitmap &bitmap)
{
    size_t count = UTIL_Bitmap::byteCount(bitmap.m_iWidth, bitmap.m_iHeight, bitmap.m_iComponents);
    return std::vector<int>(bitmap.m_pucData, bitmap.m_pucData + count);
}

enum Operation { CANVAS, SHRINK, ENLARGE, RESIZE, HALVE };

struct Case {
    const char *m_sWhat;
    Operation m_eOperation;
    int m_iWidth, m_iHeight, m_iComponents;
    std::vector<int> m_aiPixels;
    int m_iNewWidth, m_iNewHeight;
    std::vector<int> m_aiExpected;
};

bool run(UTIL_Bitmap &bitmap, Operation operation, int width, int height)
{
    switch (operation) {
    case CANVAS:
        return bitmap.setCanvasSize(width, height);
    case SHRINK:
        return bitmap.shrink(width, height);
    case ENLARGE:
        return bitmap.enlarge(width, height);
    case RESIZE:
        return bitmap.resize(width, height);
    case HALVE:
        return bitmap.halve();
    }
    return false;
}

std::vector<int> ramp4x4()
{
    std::vector<int> out;
    for (int j = 0; j < 4; j++)
        for (int i = 0; i < 4; i++)
            out.push_back(i + 10 * j);
    return out;
}

} // namespace

TEST(BitmapScale, OperationsGiveExactPixels)
{
    const std::vector<Case> cases = {
        {"canvas grows: old pixels bottom left, zeros elsewhere",
         CANVAS,
         3,
         2,
         1,
         {1, 2, 3, 4, 5, 6},
         4,
         4,
         {1, 2, 3, 0, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"canvas narrows and grows", CANVAS, 3, 1, 2, {1, 2, 3, 4, 5, 6}, 2, 2, {1, 2, 3, 4, 0, 0, 0, 0}},
        {"shrink 2x2 to 1x1", SHRINK, 2, 2, 1, {0, 10, 20, 30}, 1, 1, {15}},
        {"shrink by thirds", SHRINK, 3, 1, 1, {0, 90, 180}, 2, 1, {30, 150}},
        {"shrink rounds half up", SHRINK, 4, 1, 1, {0, 1, 0, 3}, 2, 1, {1, 2}},
        {"shrink keeps components apart", SHRINK, 2, 1, 3, {10, 20, 30, 30, 40, 51}, 1, 1, {20, 30, 41}},
        {"resize 4x4 to 8x2 averages areas",
         RESIZE,
         4,
         4,
         1,
         ramp4x4(),
         8,
         2,
         {5, 5, 6, 6, 7, 7, 8, 8, 25, 25, 26, 26, 27, 27, 28, 28}},
        {"enlarge 2x2 to 3x3 keeps the corners",
         ENLARGE,
         2,
         2,
         1,
         {10, 21, 30, 47},
         3,
         3,
         {10, 15, 21, 20, 27, 34, 30, 38, 47}},
        {"resize from 1x1 repeats the pixel",
         RESIZE,
         1,
         1,
         2,
         {77, 200},
         3,
         2,
         {77, 200, 77, 200, 77, 200, 77, 200, 77, 200, 77, 200}},
        {"resize from one column", RESIZE, 1, 2, 1, {0, 100}, 4, 3, {0, 0, 0, 0, 50, 50, 50, 50, 100, 100, 100, 100}},
        {"enlarge to a side of 1 takes the first row", ENLARGE, 2, 2, 1, {10, 20, 30, 40}, 3, 1, {10, 15, 20}},
        {"resize 1x1 to 1x3", RESIZE, 1, 1, 1, {9}, 1, 3, {9, 9, 9}},
        {"halve 1x8: each pair counted twice", HALVE, 1, 8, 1, {0, 10, 20, 30, 40, 50, 60, 71}, 1, 4, {5, 25, 45, 65}},
        {"halve 1x1", HALVE, 1, 1, 3, {1, 2, 3}, 1, 1, {1, 2, 3}},
        {"halve 3x3 drops the odd row and column", HALVE, 3, 3, 1, {1, 2, 100, 3, 5, 100, 100, 100, 100}, 1, 1, {2}},
        {"halve 4x2 with two components",
         HALVE,
         4,
         2,
         2,
         {0, 4, 8, 12, 16, 20, 24, 28, 1, 5, 9, 13, 17, 21, 25, 30},
         2,
         1,
         {4, 8, 20, 24}},
        {"halve 8x1", HALVE, 8, 1, 1, {0, 1, 2, 3, 4, 5, 6, 7}, 4, 1, {0, 2, 4, 6}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.m_sWhat);
        UTIL_Bitmap bitmap;
        fill(bitmap, c.m_iWidth, c.m_iHeight, c.m_iComponents, c.m_aiPixels);
        ASSERT_TRUE(run(bitmap, c.m_eOperation, c.m_iNewWidth, c.m_iNewHeight));
        EXPECT_EQ(bitmap.m_iWidth, c.m_iNewWidth);
        EXPECT_EQ(bitmap.m_iHeight, c.m_iNewHeight);
        EXPECT_EQ(bitmap.m_iComponents, c.m_iComponents);
        EXPECT_TRUE(bitmap.m_bOwnsData);
        EXPECT_EQ(contents(bitmap), c.m_aiExpected);
    }
}

// Scaling a wrapped image never writes the caller's pixels; the bitmap then
// owns its new buffer.
TEST(BitmapScale, WrappedPixelsAreLeftAlone)
{
    for (Operation operation : {CANVAS, SHRINK, ENLARGE, RESIZE, HALVE}) {
        SCOPED_TRACE(operation);
        unsigned char mine[16];
        for (int i = 0; i < 16; i++)
            mine[i] = static_cast<unsigned char>(i * 10);
        UTIL_Bitmap bitmap;
        bitmap.wrap(4, 4, 1, mine);
        ASSERT_TRUE(run(bitmap, operation, operation == ENLARGE ? 6 : 2, 2));
        EXPECT_TRUE(bitmap.m_bOwnsData);
        EXPECT_NE(bitmap.m_pucData, mine);
        for (int i = 0; i < 16; i++)
            ASSERT_EQ(mine[i], i * 10);
    }
}

TEST(BitmapScale, SameSizeDoesNothing)
{
    for (Operation operation : {CANVAS, SHRINK, ENLARGE, RESIZE}) {
        UTIL_Bitmap bitmap;
        fill(bitmap, 2, 3, 1, {1, 2, 3, 4, 5, 6});
        unsigned char *before = bitmap.m_pucData;
        EXPECT_TRUE(run(bitmap, operation, 2, 3));
        EXPECT_EQ(bitmap.m_pucData, before);
        EXPECT_EQ(contents(bitmap), std::vector<int>({1, 2, 3, 4, 5, 6}));
    }
}

TEST(BitmapScale, SizesAreCheckedWithoutOverflow)
{
    struct SizeCase {
        int m_iWidth, m_iHeight, m_iComponents;
        size_t m_uBytes;
    };
    const SizeCase cases[] = {
        {3, 2, 4, 24},
        {8192, 8192, 4, size_t(1) << 28},
        {8193, 8192, 4, 0},
        {65537, 65537, 4, 0}, // 2^34 bytes: wraps to a small number in 32 bits
        {INT_MAX, INT_MAX, 4, 0},
        {0, 5, 1, 0},
        {5, -1, 1, 0},
        {2, 2, 0, 0},
        {2, 2, 5, 0},
    };
    for (const SizeCase &c : cases)
        EXPECT_EQ(UTIL_Bitmap::byteCount(c.m_iWidth, c.m_iHeight, c.m_iComponents), c.m_uBytes)
            << c.m_iWidth << " x " << c.m_iHeight << " x " << c.m_iComponents;

    UTIL_Bitmap bitmap;
    EXPECT_FALSE(bitmap.allocate(65537, 65537, 4));
    EXPECT_EQ(bitmap.m_pucData, nullptr);
    EXPECT_EQ(bitmap.m_iWidth, 0);
    ASSERT_TRUE(bitmap.allocate(2, 2, 3));
    EXPECT_TRUE(bitmap.m_bOwnsData);
    EXPECT_EQ(bitmap.m_iComponents, 3);

    // A refused size leaves the bitmap as it was.
    fill(bitmap, 2, 2, 1, {1, 2, 3, 4});
    for (Operation operation : {CANVAS, SHRINK, ENLARGE, RESIZE}) {
        EXPECT_FALSE(run(bitmap, operation, 0, 2));
        EXPECT_FALSE(run(bitmap, operation, -3, -3));
        EXPECT_FALSE(run(bitmap, operation, 70000, 70000));
        EXPECT_EQ(contents(bitmap), std::vector<int>({1, 2, 3, 4}));
    }

    // An empty bitmap has nothing to scale.
    UTIL_Bitmap empty;
    for (Operation operation : {CANVAS, SHRINK, ENLARGE, RESIZE, HALVE})
        EXPECT_FALSE(run(empty, operation, 2, 2));
    EXPECT_EQ(empty.m_pucData, nullptr);
}

TEST(BitmapScale, WrapFreesAnOwnedBuffer)
{
    UTIL_Bitmap bitmap;
    ASSERT_TRUE(bitmap.allocate(4, 4, 4));
    unsigned char mine[3] = {1, 2, 3};
    bitmap.wrap(1, 1, 3, mine); // the leak checker sees the owned buffer go
    EXPECT_FALSE(bitmap.m_bOwnsData);
    EXPECT_EQ(bitmap.m_pucData, mine);
    EXPECT_EQ(bitmap.m_iComponents, 3);
}
