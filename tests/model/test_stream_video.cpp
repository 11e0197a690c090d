// The YCbCr to RGB conversion of movie pictures: the fixed-point formula at
// its extremes, subsampling, picture offsets, odd sizes and strides, and that
// nothing is read or written outside the planes and the picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "model/MDL_StreamVideo.h"

namespace {

struct Rgb {
    int r, g, b;
};

Rgb convert(int y, int cb, int cr)
{
    unsigned char out[3];
    MDL_convertYCbCrPixel(y, cb, cr, out);
    return {out[0], out[1], out[2]};
}

// A plane in a heap block of exactly its size, so that any read past it is
// caught; sample (x, y) holds value(x, y).
struct Plane {
    Plane(int width, int height, int padding, bool bottomUp, int (*value)(int, int, int), int which)
    {
        int stride = width + padding;
        m_pucBlock = static_cast<unsigned char *>(malloc(static_cast<size_t>(stride) * height));
        for (int y = 0; y < height; y++) {
            unsigned char *row = m_pucBlock + static_cast<size_t>(bottomUp ? height - 1 - y : y) * stride;
            for (int x = 0; x < stride; x++)
                row[x] = x < width ? static_cast<unsigned char>(value(x, y, which)) : 0xEE;
        }
        m_oPlane.m_iWidth = width;
        m_oPlane.m_iHeight = height;
        m_oPlane.m_iStride = bottomUp ? -stride : stride;
        m_oPlane.m_pucData = bottomUp ? m_pucBlock + static_cast<size_t>(height - 1) * stride : m_pucBlock;
    }
    ~Plane() { free(m_pucBlock); }
    Plane(const Plane &) = delete;
    Plane &operator=(const Plane &) = delete;

    unsigned char *m_pucBlock;
    MDL_YCbCrPlane m_oPlane;
};

// Distinct values per position, so that a sample taken from the wrong place
// shows: luma from the full-resolution position, chroma from its own plane.
int sampleValue(int x, int y, int which)
{
    return (x * 7 + y * 13 + which * 50) % 200 + 20;
}

} // namespace

TEST(StreamVideo, FixedPointFormulaAndClamping)
{
    struct Case {
        int y, cb, cr;
        Rgb expected;
    };
    const Case cases[] = {
        {128, 128, 128, {130, 130, 130}}, // mid grey
        {16, 128, 128, {0, 0, 0}},        // video black
        {235, 128, 128, {255, 255, 255}}, // video white
        {0, 128, 128, {0, 0, 0}},         // below black clamps
        {255, 128, 128, {255, 255, 255}}, // above white clamps
        // Full-scale values: blue's sum for Y = Cb = 255 passes 2^31, which
        // 32-bit arithmetic would wrap into the wrong colour.
        {255, 255, 255, {255, 125, 255}},
        {255, 0, 0, {74, 255, 20}},
        {0, 0, 255, {184, 0, 0}},
        {0, 255, 0, {0, 36, 238}},
        {81, 90, 240, {254, 0, 0}},
        {145, 54, 34, {0, 255, 1}},
    };
    for (const Case &c : cases) {
        Rgb got = convert(c.y, c.cb, c.cr);
        EXPECT_EQ(got.r, c.expected.r) << c.y << " " << c.cb << " " << c.cr;
        EXPECT_EQ(got.g, c.expected.g) << c.y << " " << c.cb << " " << c.cr;
        EXPECT_EQ(got.b, c.expected.b) << c.y << " " << c.cb << " " << c.cr;
    }
}

TEST(StreamVideo, PicturesInsideFramesOfEverySubsampling)
{
    struct Case {
        const char *what;
        int frameWidth, frameHeight;
        int shiftX, shiftY;
        int pictureX, pictureY, width, height;
        int padding;
        bool bottomUp;
    };
    const Case cases[] = {
        {"4:2:0 whole frame", 16, 16, 1, 1, 0, 0, 16, 16, 0, false},
        {"4:2:0 odd picture", 48, 32, 1, 1, 0, 0, 37, 19, 0, true},
        {"4:2:0 odd picture at an odd offset", 48, 32, 1, 1, 5, 3, 37, 19, 8, true},
        {"4:2:0 last pixel at the frame's edge", 48, 32, 1, 1, 11, 13, 37, 19, 0, false},
        {"4:2:2 odd picture at an offset", 48, 32, 1, 0, 3, 6, 35, 21, 4, true},
        {"4:4:4 odd picture at an offset", 48, 32, 0, 0, 7, 1, 33, 17, 0, true},
        {"4:4:4 one pixel", 16, 16, 0, 0, 15, 15, 1, 1, 0, false},
    };
    for (const Case &c : cases) {
        // Chroma planes of a frame are the luma plane's size shifted, rounded
        // up; for even frames that is exact.
        int chromaWidth = (c.frameWidth + (1 << c.shiftX) - 1) >> c.shiftX;
        int chromaHeight = (c.frameHeight + (1 << c.shiftY) - 1) >> c.shiftY;
        Plane y(c.frameWidth, c.frameHeight, c.padding, c.bottomUp, sampleValue, 0);
        Plane cb(chromaWidth, chromaHeight, c.padding, c.bottomUp, sampleValue, 1);
        Plane cr(chromaWidth, chromaHeight, c.padding, c.bottomUp, sampleValue, 2);
        MDL_YCbCrPlane planes[3] = {y.m_oPlane, cb.m_oPlane, cr.m_oPlane};

        // Exactly the picture's bytes, so a write past them is caught.
        size_t bytes = static_cast<size_t>(c.width) * c.height * 3;
        unsigned char *rgb = static_cast<unsigned char *>(malloc(bytes));
        memset(rgb, 0xCD, bytes);
        ASSERT_TRUE(MDL_bConvertYCbCr(planes, c.shiftX, c.shiftY, c.pictureX, c.pictureY, c.width, c.height, rgb))
            << c.what;
        for (int py = 0; py < c.height; py++) {
            for (int px = 0; px < c.width; px++) {
                int fx = c.pictureX + px;
                int fy = c.pictureY + py;
                Rgb expected = convert(sampleValue(fx, fy, 0), sampleValue(fx >> c.shiftX, fy >> c.shiftY, 1),
                                       sampleValue(fx >> c.shiftX, fy >> c.shiftY, 2));
                // The picture's top row is the texture's last.
                const unsigned char *got = rgb + (static_cast<size_t>(c.height - 1 - py) * c.width + px) * 3;
                ASSERT_EQ(got[0], expected.r) << c.what << " at " << px << "," << py;
                ASSERT_EQ(got[1], expected.g) << c.what << " at " << px << "," << py;
                ASSERT_EQ(got[2], expected.b) << c.what << " at " << px << "," << py;
            }
        }
        free(rgb);
    }
}

TEST(StreamVideo, PicturesOutsideThePlanesAreRefused)
{
    Plane y(32, 32, 0, false, sampleValue, 0);
    Plane c(16, 16, 0, false, sampleValue, 1);
    Plane narrow(15, 16, 0, false, sampleValue, 1);
    MDL_YCbCrPlane planes[3] = {y.m_oPlane, c.m_oPlane, c.m_oPlane};
    MDL_YCbCrPlane narrowChroma[3] = {y.m_oPlane, narrow.m_oPlane, c.m_oPlane};
    MDL_YCbCrPlane noData[3] = {y.m_oPlane, c.m_oPlane, c.m_oPlane};
    noData[2].m_pucData = nullptr;
    MDL_YCbCrPlane shortStride[3] = {y.m_oPlane, c.m_oPlane, c.m_oPlane};
    shortStride[0].m_iStride = 31;

    struct Case {
        const char *what;
        const MDL_YCbCrPlane *planes;
        int shiftX, shiftY, x, y, width, height;
    };
    const Case cases[] = {
        {"wider than the frame", planes, 1, 1, 0, 0, 33, 32},
        {"offset pushes it out", planes, 1, 1, 1, 0, 32, 32},
        {"offset pushes it down", planes, 1, 1, 0, 1, 32, 32},
        {"negative offset", planes, 1, 1, -1, 0, 8, 8},
        {"empty picture", planes, 1, 1, 0, 0, 0, 8},
        {"4:4:4 needs full chroma planes", planes, 0, 0, 0, 0, 32, 32},
        {"chroma plane too narrow", narrowChroma, 1, 1, 0, 0, 32, 32},
        {"missing plane", noData, 1, 1, 0, 0, 8, 8},
        {"stride below the width", shortStride, 1, 1, 0, 0, 8, 8},
        {"unknown subsampling", planes, 2, 1, 0, 0, 8, 8},
        {"extreme size", planes, 1, 1, 2147483647, 0, 2147483647, 8},
    };
    unsigned char rgb[3 * 8 * 8];
    for (const Case &k : cases) {
        memset(rgb, 0xCD, sizeof(rgb));
        EXPECT_FALSE(MDL_bConvertYCbCr(k.planes, k.shiftX, k.shiftY, k.x, k.y, k.width, k.height, rgb)) << k.what;
        EXPECT_EQ(rgb[0], 0xCD) << k.what;
    }
    EXPECT_FALSE(MDL_bConvertYCbCr(planes, 1, 1, 0, 0, 8, 8, nullptr));
    EXPECT_FALSE(MDL_bConvertYCbCr(nullptr, 1, 1, 0, 0, 8, 8, rgb));
}
