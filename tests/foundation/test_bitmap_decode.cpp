// Decoding PNG and JPEG images from memory. The fixtures in tests/data/images
// are made by make-images.py beside them; every expected pixel is listed top
// row first, as in the image, and compared with the bitmap's rows bottom-up.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <zlib.h>

#include "foundation/UTIL_Bitmap.h"
#include "tests/support/TEST_Log.h"

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes readFixture(const std::string &name)
{
    std::string path = std::string(VEKTA_TEST_DATA_DIR) + "/images/" + name;
    Bytes bytes;
    FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return bytes;
    int c;
    while ((c = std::fgetc(file)) != EOF)
        bytes.push_back(static_cast<unsigned char>(c));
    std::fclose(file);
    return bytes;
}

// Decodes from a heap block of exactly the given bytes, so that a read past
// the end is caught by the address sanitizer.
bool decodeExact(UTIL_Bitmap &bitmap, const Bytes &bytes, size_t length, const char *name = "test")
{
    std::unique_ptr<unsigned char[]> block(new unsigned char[length]);
    if (length > 0)
        std::memcpy(block.get(), bytes.data(), length);
    return bitmap.decode(block.get(), length, name);
}

bool decodeExact(UTIL_Bitmap &bitmap, const Bytes &bytes)
{
    return decodeExact(bitmap, bytes, bytes.size());
}

void expectEmpty(const UTIL_Bitmap &bitmap)
{
    EXPECT_EQ(bitmap.m_iWidth, 0);
    EXPECT_EQ(bitmap.m_iHeight, 0);
    EXPECT_EQ(bitmap.m_iComponents, 0);
    EXPECT_EQ(bitmap.m_pucData, nullptr);
    EXPECT_FALSE(bitmap.m_bOwnsData);
}

// The image's top row is the buffer's last row.
void expectPixels(const UTIL_Bitmap &bitmap, int width, int height, int components, const std::vector<int> &topDown)
{
    ASSERT_EQ(bitmap.m_iWidth, width);
    ASSERT_EQ(bitmap.m_iHeight, height);
    ASSERT_EQ(bitmap.m_iComponents, components);
    ASSERT_TRUE(bitmap.m_bOwnsData);
    ASSERT_EQ(topDown.size(), static_cast<size_t>(width * height * components));
    const int row = width * components;
    for (int y = 0; y < height; y++)
        for (int i = 0; i < row; i++)
            ASSERT_EQ(bitmap.m_pucData[(height - 1 - y) * row + i], topDown[static_cast<size_t>(y * row + i)])
                << "image row " << y << " byte " << i;
}

struct Expected {
    const char *m_sFile;
    int m_iWidth, m_iHeight, m_iComponents;
    std::vector<int> m_aiTopDown;
};

std::vector<int> paletteOneBit()
{
    std::vector<int> out;
    for (int x = 0; x < 9; x++) {
        int index = (x * 5) % 3 % 2;
        for (int k = 0; k < 3; k++)
            out.push_back(index == 0 ? 1 + k : 250 + k);
    }
    return out;
}

std::vector<int> interlacedRgb()
{
    std::vector<int> out;
    for (int y = 0; y < 9; y++)
        for (int x = 0; x < 9; x++) {
            out.push_back(x * 28);
            out.push_back(y * 28);
            out.push_back((x * 9 + y) % 256);
        }
    return out;
}

std::vector<int> interlacedGrey1()
{
    std::vector<int> out;
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 11; x++)
            out.push_back((((x * 3 + y * y) >> 1) & 1) != 0 ? 255 : 0);
    return out;
}

// Six 8 x 8 blocks, three across and two down, of one value each.
std::vector<int> blocks(const std::vector<std::vector<int>> &topRow, const std::vector<std::vector<int>> &bottomRow)
{
    std::vector<int> out;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 24; x++) {
            const std::vector<int> &value = (y < 8 ? topRow : bottomRow)[static_cast<size_t>(x / 8)];
            out.insert(out.end(), value.begin(), value.end());
        }
    return out;
}

const std::vector<Expected> &fixtures()
{
    static const std::vector<Expected> s_aoFixtures = {
        {"grey8.png", 3, 2, 1, {0, 100, 200, 50, 150, 250}},
        {"grey2.png", 4, 2, 1, {0, 85, 170, 255, 255, 170, 85, 0}},
        {"grey16.png", 2, 2, 1, {0x12, 0xAB, 0x00, 0xFF}},
        {"grey_trns.png", 3, 1, 2, {100, 0, 7, 255, 100, 0}},
        {"grey_alpha.png", 2, 2, 2, {10, 255, 20, 128, 30, 0, 40, 64}},
        {"rgb.png", 3, 2, 3, {255, 0, 0, 0, 255, 0, 0, 0, 255, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"rgb_trns.png", 2, 1, 4, {1, 2, 3, 0, 4, 5, 6, 255}},
        {"rgba.png", 2, 2, 4, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160}},
        {"rgba16.png", 2, 1, 4, {0x01, 0x03, 0x05, 0x07, 0xF1, 0xF3, 0xF5, 0xF7}},
        {"palette_trns.png", 3, 2, 4, {255, 0,  0,  0,   0,  255, 0,  128, 0,   0, 255, 255,
                                       10,  20, 30, 255, 40, 50,  60, 255, 255, 0, 0,   0}},
        {"palette1.png", 9, 1, 3, paletteOneBit()},
        {"interlaced_rgb.png", 9, 9, 3, interlacedRgb()},
        {"interlaced_grey1.png", 11, 10, 1, interlacedGrey1()},
        {"baseline.jpg", 24, 16, 3,
         blocks({{200, 40, 40}, {40, 200, 40}, {40, 40, 200}}, {{250, 250, 250}, {128, 128, 128}, {10, 10, 10}})},
        {"progressive.jpg", 24, 16, 3,
         blocks({{200, 40, 40}, {40, 200, 40}, {40, 40, 200}}, {{250, 250, 250}, {128, 128, 128}, {10, 10, 10}})},
        {"grey.jpg", 24, 16, 1, blocks({{20}, {90}, {160}}, {{230}, {60}, {130}})},
    };
    return s_aoFixtures;
}

} // namespace

TEST(BitmapDecode, EveryFixtureGivesItsPixelsBottomUp)
{
    TEST_LogCapture log;
    for (const Expected &e : fixtures()) {
        SCOPED_TRACE(e.m_sFile);
        Bytes bytes = readFixture(e.m_sFile);
        ASSERT_FALSE(bytes.empty());
        UTIL_Bitmap bitmap;
        ASSERT_TRUE(decodeExact(bitmap, bytes));
        expectPixels(bitmap, e.m_iWidth, e.m_iHeight, e.m_iComponents, e.m_aiTopDown);
    }
    EXPECT_EQ(log.joined(), "");
}

TEST(BitmapDecode, DecodingAgainReplacesTheOldPixelsAndAFailureEmpties)
{
    TEST_LogCapture log;
    UTIL_Bitmap bitmap;
    ASSERT_TRUE(decodeExact(bitmap, readFixture("rgba.png")));
    ASSERT_TRUE(decodeExact(bitmap, readFixture("grey.jpg")));
    EXPECT_EQ(bitmap.m_iComponents, 1);
    Bytes junk(100, 0x5a);
    EXPECT_FALSE(decodeExact(bitmap, junk));
    expectEmpty(bitmap);
    EXPECT_FALSE(bitmap.decode(nullptr, 10, nullptr));
    expectEmpty(bitmap);

    // A wrapped buffer is the caller's: decoding over it leaves it alone.
    unsigned char mine[4] = {1, 2, 3, 4};
    bitmap.wrap(2, 2, 1, mine);
    ASSERT_TRUE(decodeExact(bitmap, readFixture("grey8.png")));
    EXPECT_EQ(mine[3], 4);
}

// Every proper prefix of every fixture is refused, reads nothing past its
// end, leaks nothing and leaves the bitmap empty.
TEST(BitmapDecode, EveryTruncationFails)
{
    TEST_LogCapture log;
    for (const Expected &e : fixtures()) {
        SCOPED_TRACE(e.m_sFile);
        Bytes bytes = readFixture(e.m_sFile);
        for (size_t length = 0; length < bytes.size(); length++) {
            UTIL_Bitmap bitmap;
            ASSERT_FALSE(decodeExact(bitmap, bytes, length)) << "length " << length;
            expectEmpty(bitmap);
        }
    }
    // A PNG cut inside its image data ends as a libpng error naming the
    // image, on one line; a quiet decode fails the same way and says nothing.
    Bytes png = readFixture("interlaced_rgb.png");
    UTIL_Bitmap bitmap;
    log.m_asLines.clear();
    EXPECT_FALSE(decodeExact(bitmap, png, png.size() - 40, "cut.png"));
    EXPECT_EQ(log.m_asLines, std::vector<std::string>{"Pnglib error: Premature end of input (cut.png)"});
    log.m_asLines.clear();
    EXPECT_FALSE(bitmap.decode(png.data(), png.size() - 40, "cut.png", true));
    expectEmpty(bitmap);
    EXPECT_TRUE(log.m_asLines.empty()) << log.joined();
}

// Any single damaged byte either fails or gives a sound bitmap; nothing
// crashes, hangs or leaks.
TEST(BitmapDecode, DamagedBytesNeverBreakTheDecoder)
{
    TEST_LogCapture log;
    const unsigned char damage[] = {0x00, 0xff, 0x80};
    for (const Expected &e : fixtures()) {
        SCOPED_TRACE(e.m_sFile);
        const Bytes original = readFixture(e.m_sFile);
        for (size_t i = 0; i < original.size(); i++)
            for (unsigned char d : damage) {
                Bytes bytes = original;
                bytes[i] ^= d;
                UTIL_Bitmap bitmap;
                if (decodeExact(bitmap, bytes)) {
                    ASSERT_GT(bitmap.m_iWidth, 0);
                    ASSERT_GT(bitmap.m_iHeight, 0);
                    ASSERT_GE(bitmap.m_iComponents, 1);
                    ASSERT_LE(bitmap.m_iComponents, 4);
                    ASSERT_TRUE(bitmap.m_bOwnsData);
                    // Every pixel byte is readable.
                    unsigned sum = 0;
                    size_t count = UTIL_Bitmap::byteCount(bitmap.m_iWidth, bitmap.m_iHeight, bitmap.m_iComponents);
                    for (size_t k = 0; k < count; k++)
                        sum += bitmap.m_pucData[k];
                    (void)sum;
                } else {
                    expectEmpty(bitmap);
                }
            }
    }
    // Each of libpng's errors and warnings is one line of the log.
    bool warned = false, failed = false;
    for (const std::string &line : log.m_asLines) {
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        warned = warned || line.rfind("Pnglib warning: ", 0) == 0;
        failed = failed || line.rfind("Pnglib error: ", 0) == 0;
    }
    EXPECT_TRUE(warned);
    EXPECT_TRUE(failed);
}

namespace {

size_t big32(const Bytes &bytes, size_t at)
{
    return (size_t(bytes[at]) << 24) | (size_t(bytes[at + 1]) << 16) | (size_t(bytes[at + 2]) << 8) | bytes[at + 3];
}

// The offset of the chunk of the given kind (its length field), or 0.
size_t findChunk(const Bytes &png, const char *kind)
{
    for (size_t at = 8; at + 12 <= png.size();) {
        size_t length = big32(png, at);
        if (std::memcmp(&png[at + 4], kind, 4) == 0)
            return at;
        at += 12 + length;
    }
    return 0;
}

void putBig32(Bytes &bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        bytes[at + static_cast<size_t>(i)] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

// Rewrites the CRC of the chunk at the offset, so that only the change made
// to its content is seen.
void fixCrc(Bytes &png, size_t at)
{
    size_t length = big32(png, at);
    uLong crc = crc32(0, &png[at + 4], static_cast<uInt>(length + 4));
    putBig32(png, at + 8 + length, static_cast<uint32_t>(crc));
}

Bytes pngWithHeader(const char *file, uint32_t width, uint32_t height, int depth = -1, int colour = -1)
{
    Bytes png = readFixture(file);
    size_t ihdr = findChunk(png, "IHDR");
    putBig32(png, ihdr + 8, width);
    putBig32(png, ihdr + 12, height);
    if (depth >= 0)
        png[ihdr + 16] = static_cast<unsigned char>(depth);
    if (colour >= 0)
        png[ihdr + 17] = static_cast<unsigned char>(colour);
    fixCrc(png, ihdr);
    return png;
}

} // namespace

TEST(BitmapDecode, BrokenPngsAreRefused)
{
    struct Case {
        const char *m_sWhat;
        Bytes m_aucBytes;
    };
    std::vector<Case> cases;
    // Sizes whose byte count passes 32 bits (65537 x 65537 x 4 wraps to a
    // small number) or the bitmap's limit are refused before allocation.
    cases.push_back({"65537 x 65537 RGBA", pngWithHeader("rgba.png", 65537, 65537)});
    cases.push_back({"20000 x 20000 grey", pngWithHeader("grey8.png", 20000, 20000)});
    cases.push_back({"zero width", pngWithHeader("grey8.png", 0, 2)});
    cases.push_back({"RGB of 4 bits", pngWithHeader("rgb.png", 3, 2, 4)});
    cases.push_back({"colour type 5", pngWithHeader("rgb.png", 3, 2, 8, 5)});
    Bytes badCrc = readFixture("rgb.png");
    badCrc[findChunk(badCrc, "IDAT") + 10] ^= 1;
    cases.push_back({"IDAT CRC", badCrc});
    Bytes badZlib = readFixture("rgb.png");
    size_t idat = findChunk(badZlib, "IDAT");
    badZlib[idat + 8] ^= 0x0f; // the zlib header
    fixCrc(badZlib, idat);
    cases.push_back({"zlib header", badZlib});
    Bytes tooShort = readFixture("interlaced_rgb.png");
    idat = findChunk(tooShort, "IDAT");
    // IDAT holding the same stream cut short, under a valid CRC.
    size_t length = big32(tooShort, idat);
    Bytes cut(tooShort.begin(), tooShort.begin() + static_cast<long>(idat + 8 + length / 2));
    cut.resize(cut.size() + 4);
    putBig32(cut, idat, static_cast<uint32_t>(length / 2));
    fixCrc(cut, idat);
    Bytes iend(tooShort.end() - 12, tooShort.end());
    cut.insert(cut.end(), iend.begin(), iend.end());
    cases.push_back({"image data cut short", cut});
    Bytes signature = readFixture("rgb.png");
    signature.resize(8);
    cases.push_back({"signature only", signature});

    for (const Case &c : cases) {
        SCOPED_TRACE(c.m_sWhat);
        TEST_LogCapture log;
        UTIL_Bitmap bitmap;
        EXPECT_FALSE(decodeExact(bitmap, c.m_aucBytes));
        expectEmpty(bitmap);
    }
}

namespace {

struct JpegMemory {
    unsigned char *m_pucData = nullptr;
    unsigned long m_uSize = 0;
    ~JpegMemory() { std::free(m_pucData); }
};

// A small JPEG encoded here in any colour space libjpeg writes.
Bytes encodeJpeg(J_COLOR_SPACE space, int components)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    JpegMemory memory;
    jpeg_mem_dest(&cinfo, &memory.m_pucData, &memory.m_uSize);
    cinfo.image_width = 8;
    cinfo.image_height = 8;
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(8 * components), 100);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return Bytes(memory.m_pucData, memory.m_pucData + memory.m_uSize);
}

// The offset of the first marker 0xFF code, or 0.
size_t findMarker(const Bytes &jpeg, unsigned char code)
{
    for (size_t i = 2; i + 1 < jpeg.size(); i++)
        if (jpeg[i] == 0xff && jpeg[i + 1] == code)
            return i;
    return 0;
}

// The progressive fixture with its last scan repeated: scans = 1 + extra
// copies of it.
Bytes withRepeatedLastScan(int copies)
{
    Bytes jpeg = readFixture("progressive.jpg");
    size_t last = 0;
    for (size_t i = 2; i + 1 < jpeg.size(); i++)
        if (jpeg[i] == 0xff && jpeg[i + 1] == 0xda)
            last = i;
    Bytes scan(jpeg.begin() + static_cast<long>(last), jpeg.end() - 2);
    Bytes out(jpeg.begin(), jpeg.end() - 2);
    for (int i = 0; i < copies; i++)
        out.insert(out.end(), scan.begin(), scan.end());
    out.push_back(0xff);
    out.push_back(0xd9);
    return out;
}

} // namespace

TEST(BitmapDecode, JpegColourSpacesOtherThanGreyAndRgbAreRefused)
{
    UTIL_Bitmap bitmap;
    ASSERT_TRUE(decodeExact(bitmap, encodeJpeg(JCS_RGB, 3)));
    EXPECT_EQ(bitmap.m_iComponents, 3);
    EXPECT_EQ(bitmap.m_pucData[0], 100);
    EXPECT_FALSE(decodeExact(bitmap, encodeJpeg(JCS_CMYK, 4)));
    expectEmpty(bitmap);
    EXPECT_FALSE(decodeExact(bitmap, encodeJpeg(JCS_YCCK, 4)));
    expectEmpty(bitmap);
}

TEST(BitmapDecode, BrokenJpegsAreRefused)
{
    struct Patch {
        const char *m_sWhat;
        unsigned char m_ucMarker;
        size_t m_uOffset;
        unsigned char m_ucValue;
    };
    const Patch patches[] = {
        {"zero width", 0xc0, 7, 0}, // with the byte after it, also zero
        {"12-bit samples", 0xc0, 4, 12},
        {"no components", 0xc0, 9, 0},
        {"Huffman table overfull", 0xc4, 5, 0xff},
        {"scan of an unknown component", 0xda, 5, 9},
    };
    for (const Patch &p : patches) {
        SCOPED_TRACE(p.m_sWhat);
        Bytes jpeg = readFixture("baseline.jpg");
        size_t at = findMarker(jpeg, p.m_ucMarker);
        ASSERT_NE(at, 0u);
        jpeg[at + p.m_uOffset] = p.m_ucValue;
        if (p.m_uOffset == 7)
            jpeg[at + 8] = 0;
        UTIL_Bitmap bitmap;
        EXPECT_FALSE(decodeExact(bitmap, jpeg));
        expectEmpty(bitmap);
    }
}

// A progressive file's every scan passes over the whole image: a file made
// of hundreds of tiny scans is refused instead of keeping the decoder busy.
TEST(BitmapDecode, JpegWithTooManyScansIsRefused)
{
    UTIL_Bitmap bitmap;
    EXPECT_TRUE(decodeExact(bitmap, withRepeatedLastScan(20)));
    EXPECT_FALSE(decodeExact(bitmap, withRepeatedLastScan(600)));
    expectEmpty(bitmap);
}
