#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tinyxml.h>

#include "foundation/UTIL_Id.h"
#include "model/MDL_Font.h"
#include "model/MDL_ImageHeader.h"
#include "model/MDL_Texture.h"
#include "tests/support/TEST_Log.h"

namespace {

typedef std::vector<unsigned char> Bytes;

void put32(Bytes &out, uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v >> 24));
    out.push_back(static_cast<unsigned char>(v >> 16));
    out.push_back(static_cast<unsigned char>(v >> 8));
    out.push_back(static_cast<unsigned char>(v));
}

void put16(Bytes &out, uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v >> 8));
    out.push_back(static_cast<unsigned char>(v));
}

// One PNG chunk: length, type, data and a CRC field (zero: the header reader
// does not check it). length overrides the stored length when given.
void chunk(Bytes &out, const char *type, const Bytes &data, int64_t length = -1)
{
    put32(out, length >= 0 ? static_cast<uint32_t>(length) : static_cast<uint32_t>(data.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, 0);
}

Bytes ihdr(uint32_t width, uint32_t height, int depth, int colourType)
{
    Bytes data;
    put32(data, width);
    put32(data, height);
    data.push_back(static_cast<unsigned char>(depth));
    data.push_back(static_cast<unsigned char>(colourType));
    data.push_back(0);
    data.push_back(0);
    data.push_back(0);
    return data;
}

Bytes pngSignature()
{
    return Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
}

// Signature, IHDR, an optional tRNS and IEND: 45 bytes without tRNS.
Bytes minimalPng(uint32_t width, uint32_t height, int colourType, bool trns, const char *ihdrType = "IHDR")
{
    Bytes out = pngSignature();
    chunk(out, ihdrType, ihdr(width, height, 8, colourType));
    if (trns)
        chunk(out, "tRNS", Bytes{0, 0, 0, 0, 0, 0});
    chunk(out, "IEND", Bytes());
    return out;
}

// SOI, an APP0 "JFIF" (or APP1 with tag), a frame segment of the given
// marker, then EOI: 41 bytes.
Bytes minimalJpeg(uint32_t width, uint32_t height, unsigned char frameMarker = 0xC0, const char *tag = "JFIF")
{
    Bytes out{0xFF, 0xD8, 0xFF, 0xE0};
    put16(out, 16);
    out.insert(out.end(), tag, tag + 4);
    Bytes rest{0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    out.insert(out.end(), rest.begin(), rest.end());
    out.push_back(0xFF);
    out.push_back(frameMarker);
    put16(out, 17);
    out.push_back(8);
    put16(out, height);
    put16(out, width);
    out.push_back(3);
    for (int c = 1; c <= 3; c++) {
        out.push_back(static_cast<unsigned char>(c));
        out.push_back(0x11);
        out.push_back(0);
    }
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

// The header as read from a heap block of exactly the data's size, so that
// AddressSanitizer sees any read past the end.
MDL_ImageHeader readExact(const Bytes &bytes, size_t length)
{
    unsigned char *copy = static_cast<unsigned char *>(malloc(length > 0 ? length : 1));
    if (length > 0)
        memcpy(copy, bytes.data(), length);
    MDL_ImageHeader header = MDL_readImageHeader(copy, static_cast<uint32_t>(length));
    free(copy);
    return header;
}

MDL_ImageHeader readExact(const Bytes &bytes)
{
    return readExact(bytes, bytes.size());
}

// Bytes written by libpng, in plain heap memory: libpng's errors long-jump,
// so nothing with a destructor may live in the frames they cross.
struct PngOutput {
    unsigned char *m_pucData;
    size_t m_iSize;
};

void appendPng(png_structp png, png_bytep data, png_size_t length)
{
    PngOutput *out = static_cast<PngOutput *>(png_get_io_ptr(png));
    out->m_pucData = static_cast<unsigned char *>(realloc(out->m_pucData, out->m_iSize + length));
    memcpy(out->m_pucData + out->m_iSize, data, length);
    out->m_iSize += length;
}

// Writes a width x height image of one colour type and depth, with a tRNS
// chunk when asked; false when libpng refuses.
bool writePng(PngOutput *out, int width, int height, int colourType, int depth, bool trns)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_bytep row = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        free(row);
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendPng, nullptr);
    png_set_IHDR(png, info, width, height, depth, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color palette[2] = {{0, 0, 0}, {255, 255, 255}};
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, palette, 2);
    if (trns) {
        png_byte alpha[1] = {0};
        png_color_16 colour = {0, 0, 0, 0, 0};
        png_set_tRNS(png, info, alpha, colourType == PNG_COLOR_TYPE_PALETTE ? 1 : 0, &colour);
    }
    png_write_info(png, info);
    int channels = colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                   : colourType == PNG_COLOR_TYPE_RGB     ? 3
                   : colourType == PNG_COLOR_TYPE_GA      ? 2
                                                          : 1;
    size_t rowBytes = static_cast<size_t>(width * channels * (depth == 16 ? 2 : 1));
    row = static_cast<png_bytep>(calloc(rowBytes, 1)); // palette index 0 everywhere
    for (int y = 0; y < height; y++)
        png_write_row(png, row);
    png_write_end(png, info);
    free(row);
    png_destroy_write_struct(&png, &info);
    return true;
}

Bytes encodePng(int width, int height, int colourType, int depth, bool trns)
{
    PngOutput out = {nullptr, 0};
    bool written = writePng(&out, width, height, colourType, depth, trns);
    Bytes bytes;
    if (written)
        bytes.assign(out.m_pucData, out.m_pucData + out.m_iSize);
    free(out.m_pucData);
    return bytes;
}

// A whole JPEG written by libjpeg (JFIF APP0 by default).
Bytes encodeJpeg(int width, int height, bool progressive)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(width * 3), 0x80);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

unsigned char *heapCopy(const Bytes &bytes)
{
    unsigned char *copy = static_cast<unsigned char *>(malloc(bytes.size()));
    memcpy(copy, bytes.data(), bytes.size());
    return copy;
}

std::string hex(const Bytes &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

} // namespace

TEST(TextureHeader, PngAlphaByColourTypeAndTransparencyChunk)
{
    struct Case {
        int colourType;
        bool trns;
        bool alpha;
    } cases[] = {
        {0, false, false}, {0, true, true},  {2, false, false}, {2, true, true},  {3, false, false},
        {3, true, true},   {4, false, true}, {4, true, true},   {6, false, true}, {6, true, true},
    };
    for (const Case &c : cases) {
        MDL_ImageHeader header = readExact(minimalPng(640, 480, c.colourType, c.trns));
        EXPECT_EQ(header.m_iWidth, 640) << c.colourType << " " << c.trns;
        EXPECT_EQ(header.m_iHeight, 480) << c.colourType << " " << c.trns;
        EXPECT_EQ(header.m_bHasAlpha, c.alpha) << c.colourType << " " << c.trns;
    }
}

TEST(TextureHeader, PngFromLibpngMatchesItsHeader)
{
    struct Case {
        int width, height, colourType, depth;
        bool trns;
        bool alpha;
    } cases[] = {
        {3, 5, PNG_COLOR_TYPE_GRAY, 8, false, false},      {7, 2, PNG_COLOR_TYPE_GRAY, 16, true, true},
        {1, 1, PNG_COLOR_TYPE_GRAY, 1, false, false},      {9, 4, PNG_COLOR_TYPE_GA, 8, false, true},
        {4, 9, PNG_COLOR_TYPE_RGB, 8, false, false},       {4, 9, PNG_COLOR_TYPE_RGB, 8, true, true},
        {16, 3, PNG_COLOR_TYPE_PALETTE, 1, false, false},  {16, 3, PNG_COLOR_TYPE_PALETTE, 8, true, true},
        {2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 16, false, true},
    };
    for (const Case &c : cases) {
        Bytes png = encodePng(c.width, c.height, c.colourType, c.depth, c.trns);
        ASSERT_FALSE(png.empty());
        MDL_ImageHeader header = readExact(png);
        EXPECT_EQ(header.m_iWidth, c.width) << c.colourType;
        EXPECT_EQ(header.m_iHeight, c.height) << c.colourType;
        EXPECT_EQ(header.m_bHasAlpha, c.alpha) << c.colourType << " " << c.trns;
    }
}

TEST(TextureHeader, PngChunkTypesCompareWithoutCase)
{
    MDL_ImageHeader header = readExact(minimalPng(12, 34, 2, false, "ihdr"));
    EXPECT_EQ(header.m_iWidth, 12);
    EXPECT_EQ(header.m_iHeight, 34);

    Bytes png = pngSignature();
    chunk(png, "IHDR", ihdr(5, 6, 8, 2));
    chunk(png, "TRNS", Bytes{0, 0});
    chunk(png, "iend", Bytes());
    chunk(png, "tRNS", Bytes{0, 0}); // after IEND: not read
    chunk(png, "IEND", Bytes());
    EXPECT_TRUE(readExact(png).m_bHasAlpha);

    Bytes afterEnd = pngSignature();
    chunk(afterEnd, "IHDR", ihdr(5, 6, 8, 2));
    chunk(afterEnd, "IEND", Bytes());
    chunk(afterEnd, "tRNS", Bytes{0, 0});
    chunk(afterEnd, "IEND", Bytes());
    EXPECT_FALSE(readExact(afterEnd).m_bHasAlpha);
}

// A chunk is looked at only when the next one starts inside the data: the
// 45-byte minimal PNG gives its size from 34 bytes on.
TEST(TextureHeader, PngCutShortAtEveryLength)
{
    Bytes png = minimalPng(300, 200, 6, false);
    ASSERT_EQ(png.size(), 45u);
    for (size_t n = 0; n <= png.size(); n++) {
        MDL_ImageHeader header = readExact(png, n);
        bool full = n >= 34;
        EXPECT_EQ(header.m_iWidth, full ? 300 : 0) << n;
        EXPECT_EQ(header.m_iHeight, full ? 200 : 0) << n;
        EXPECT_EQ(header.m_bHasAlpha, full) << n;
    }
}

TEST(TextureHeader, PngMalformedChunksReadNothingOutside)
{
    struct Case {
        const char *what;
        Bytes data;
        int width, height;
        bool alpha;
    };
    std::vector<Case> cases;

    // A length that wraps a 32-bit position back to offset 33, where an IHDR
    // waits: positions are 64-bit, so the walk ends instead.
    Bytes wrap = pngSignature();
    chunk(wrap, "junk", Bytes(13, 0), 0xFFFFFFF9);
    chunk(wrap, "IHDR", ihdr(999, 999, 8, 6));
    chunk(wrap, "IEND", Bytes());
    cases.push_back({"length wrapping to a later chunk", wrap, 0, 0, false});

    Bytes wrapSelf = pngSignature();
    chunk(wrapSelf, "tRNS", Bytes(4, 0), 0xFFFFFFF4); // 32-bit next would be the chunk itself
    chunk(wrapSelf, "IEND", Bytes());
    cases.push_back({"length wrapping to itself", wrapSelf, 0, 0, false});

    Bytes huge = pngSignature();
    chunk(huge, "IHDR", ihdr(1, 1, 8, 6), 0xFFFFFFFF);
    cases.push_back({"maximal length", huge, 0, 0, false});

    // IHDR claiming no data, followed by one byte: its fields would lie past
    // the end.
    Bytes shortIhdr = pngSignature();
    chunk(shortIhdr, "IHDR", Bytes(), 0);
    shortIhdr.push_back(0);
    cases.push_back({"IHDR fields past the end", shortIhdr, 0, 0, false});

    Bytes tooWide = minimalPng(0x80000000u, 0xFFFFFFFFu, 2, false);
    cases.push_back({"dimensions above 2^31 - 1", tooWide, 0, 0, false});

    Bytes badSignature = minimalPng(10, 10, 6, false);
    badSignature[1] = 'Q';
    cases.push_back({"bad signature", badSignature, 0, 0, false});

    Bytes signatureOnly = pngSignature();
    cases.push_back({"signature only", signatureOnly, 0, 0, false});

    for (const Case &c : cases) {
        MDL_ImageHeader header = readExact(c.data);
        EXPECT_EQ(header.m_iWidth, c.width) << c.what;
        EXPECT_EQ(header.m_iHeight, c.height) << c.what;
        EXPECT_EQ(header.m_bHasAlpha, c.alpha) << c.what;
    }
}

TEST(TextureHeader, JpegBaselineFrameGivesSize)
{
    struct Case {
        const char *what;
        Bytes data;
        int width, height;
    } cases[] = {
        {"JFIF baseline", minimalJpeg(320, 240), 320, 240},
        {"EXIF tag", minimalJpeg(17, 9, 0xC0, "EXIF"), 17, 9},
        {"Exif tag, any case", minimalJpeg(17, 9, 0xC0, "Exif"), 17, 9},
        {"jfif tag, any case", minimalJpeg(65535, 1, 0xC0, "jfif"), 65535, 1},
        {"progressive frame", minimalJpeg(320, 240, 0xC2), 0, 0},
        {"extended frame", minimalJpeg(320, 240, 0xC1), 0, 0},
        {"no JFIF or EXIF tag", minimalJpeg(320, 240, 0xC0, "ABCD"), 0, 0},
        {"libjpeg baseline", encodeJpeg(37, 21, false), 37, 21},
        {"libjpeg progressive", encodeJpeg(37, 21, true), 0, 0},
    };
    for (const Case &c : cases) {
        MDL_ImageHeader header = readExact(c.data);
        EXPECT_EQ(header.m_iWidth, c.width) << c.what;
        EXPECT_EQ(header.m_iHeight, c.height) << c.what;
        EXPECT_FALSE(header.m_bHasAlpha) << c.what;
    }
}

// The frame segment at offset 20 ends at 39: it is read once the data reach
// past it, from 40 bytes on.
TEST(TextureHeader, JpegCutShortAtEveryLength)
{
    Bytes jpeg = minimalJpeg(320, 240);
    ASSERT_EQ(jpeg.size(), 41u);
    for (size_t n = 0; n <= jpeg.size(); n++) {
        MDL_ImageHeader header = readExact(jpeg, n);
        EXPECT_EQ(header.m_iWidth, n >= 40 ? 320 : 0) << n;
        EXPECT_EQ(header.m_iHeight, n >= 40 ? 240 : 0) << n;
    }
}

TEST(TextureHeader, JpegMalformedSegmentsReadNothingOutside)
{
    // A frame marker whose own length is too short to hold the size, at the
    // very end of the data.
    Bytes shortFrame{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F',  'I',  'F',  0,    1,    1,
                     0,    0,    1,    0,    1,    0,    0,   0xFF, 0xC0, 0x00, 0x00, 0x08, 0x01};
    MDL_ImageHeader header = readExact(shortFrame);
    EXPECT_EQ(header.m_iWidth, 0);
    EXPECT_EQ(header.m_iHeight, 0);

    // Zero-length segments all the way: the walk still advances and ends.
    Bytes zeros(4000, 0);
    memcpy(zeros.data() + 6, "JFIF", 4);
    header = readExact(zeros);
    EXPECT_EQ(header.m_iWidth, 0);

    // 8 or 9 bytes are tested only as PNG, even with the tag's start at 6.
    Bytes nine{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I'};
    for (size_t n = 0; n <= nine.size(); n++)
        EXPECT_EQ(readExact(nine, n).m_iWidth, 0) << n;
}

TEST(Texture, ConstructorsTakeOneIdentifierEach)
{
    MDL_Texture first;
    MDL_Texture second(nullptr, nullptr, 0, false);
    MDL_Font font("default", nullptr, 0, false);
    MDL_Texture third;
    EXPECT_GE(first.m_iId, 1);
    EXPECT_EQ(second.m_iId, first.m_iId + 1);
    EXPECT_EQ(font.m_iId, first.m_iId + 2);
    EXPECT_EQ(third.m_iId, first.m_iId + 3);

    // init gives a texture a new identifier; the old one is never reused.
    third.init("again", nullptr, 0, false);
    EXPECT_EQ(third.m_iId, first.m_iId + 4);
    EXPECT_EQ(UTIL_nextId(), first.m_iId + 5);
}

TEST(Texture, DefaultState)
{
    MDL_Texture texture;
    EXPECT_EQ(texture.m_oProxyHandle.m_poProxy, nullptr);
    EXPECT_EQ(texture.m_sName, nullptr);
    EXPECT_EQ(texture.m_iSize, 0u);
    EXPECT_EQ(texture.m_pucData, nullptr);
    EXPECT_FALSE(texture.m_bOwnsData || texture.m_bHasAlpha || texture.m_bBinaryAlpha || texture.m_bIsFrame ||
                 texture.m_bFrameChanged || texture.m_bReleasePending);
    EXPECT_EQ(texture.m_iWidth, 0);
    EXPECT_EQ(texture.m_iHeight, 0);
    EXPECT_EQ(texture.m_iFilter, 0u);
    EXPECT_EQ(texture.getAspectRatio(), 1.0);
}

TEST(Texture, InitKeepsDataAndReadsHeader)
{
    Bytes png = minimalPng(640, 480, 2, true);
    {
        // Owned: freed by the texture (a leak or double free shows under
        // the sanitizers).
        MDL_Texture texture("logo.png", heapCopy(png), static_cast<uint32_t>(png.size()), true);
        EXPECT_STREQ(texture.m_sName, "logo.png");
        EXPECT_TRUE(texture.m_bOwnsData);
        EXPECT_EQ(texture.m_iSize, png.size());
        EXPECT_EQ(texture.m_iWidth, 640);
        EXPECT_EQ(texture.m_iHeight, 480);
        EXPECT_TRUE(texture.m_bHasAlpha);
        EXPECT_DOUBLE_EQ(texture.getAspectRatio(), 0.75);

        // init again releases the owned bytes and the name.
        Bytes jpeg = minimalJpeg(100, 50);
        texture.init(nullptr, heapCopy(jpeg), static_cast<uint32_t>(jpeg.size()), true);
        EXPECT_EQ(texture.m_sName, nullptr);
        EXPECT_EQ(texture.m_iWidth, 100);
        EXPECT_EQ(texture.m_iHeight, 50);
        EXPECT_FALSE(texture.m_bHasAlpha);
        EXPECT_DOUBLE_EQ(texture.getAspectRatio(), 0.5);
    }
    {
        // Not owned: the caller's bytes stay untouched.
        MDL_Texture texture("member.png", png.data(), static_cast<uint32_t>(png.size()), false);
        EXPECT_EQ(texture.m_pucData, png.data());
        EXPECT_EQ(texture.m_iWidth, 640);
    }
    EXPECT_EQ(png[0], 0x89);
}

TEST(Texture, FrameTextureNeverFreesThePixels)
{
    unsigned char *pixels = static_cast<unsigned char *>(malloc(4 * 2 * 3));
    {
        MDL_Texture texture;
        texture.setFrame(pixels, 4, 2);
        EXPECT_TRUE(texture.m_bIsFrame);
        EXPECT_EQ(texture.m_iSize, 24u);
        EXPECT_DOUBLE_EQ(texture.getAspectRatio(), 0.5);
        // Even marked as owner, a frame's pixels belong to the stream.
        texture.m_bOwnsData = true;
    }
    pixels[0] = 1;
    free(pixels);
}

TEST(Texture, LoadFromXmlReadsAttributesAndData)
{
    Bytes png = minimalPng(64, 32, 6, false);
    std::string data = hex(png);
    struct Case {
        const char *what;
        std::string attributes;
        std::string text;
        const char *name;
        uint32_t size;
        unsigned filter;
        int width;
    } cases[] = {
        {"mipmap", "name=\"a.png\" size=\"45\" filter=\"mipmap\"", data, "a.png", 45, 3, 64},
        {"linear", "name=\"a.png\" size=\"45\" filter=\"linear\"", data, "a.png", 45, 2, 64},
        {"nearest point", "name=\"a.png\" size=\"45\" filter=\"nearest_point\"", data, "a.png", 45, 1, 64},
        {"filter value case", "name=\"a.png\" size=\"45\" filter=\"Linear\"", data, "a.png", 45, 0, 64},
        {"unknown filter", "name=\"a.png\" size=\"45\" filter=\"cubic\"", data, "a.png", 45, 0, 64},
        {"attribute names any case", "NAME=\"b\" Size=\"45\" FILTER=\"linear\"", data, "b", 45, 2, 64},
        {"no name", "size=\"45\"", data, nullptr, 45, 0, 64},
        {"separators in the text", "size=\"45\"", " " + data.substr(0, 10) + "\n\t" + data.substr(10), nullptr, 45, 0,
         64},
        // Data longer than the size: only "size" bytes are taken.
        {"size shorter than data", "size=\"20\"", data, nullptr, 20, 0, 0},
        // Data shorter than the size: the texture holds what there is.
        {"size longer than data", "size=\"1000\"", data, nullptr, 45, 0, 64},
        {"huge size", "size=\"99999999999999\"", data, nullptr, 45, 0, 64},
        {"negative size", "size=\"-5\"", data, nullptr, 0, 0, 0},
        {"no text", "size=\"45\"", "", nullptr, 0, 0, 0},
        {"odd digit count", "size=\"45\"", data.substr(0, 89), nullptr, 44, 0, 64},
    };
    for (const Case &c : cases) {
        std::string xml = "<texture " + c.attributes + ">" + c.text + "</texture>";
        TiXmlDocument document;
        document.Parse(xml.c_str());
        ASSERT_FALSE(document.Error()) << c.what;
        TEST_LogCapture log;
        MDL_Texture texture;
        EXPECT_TRUE(texture.loadFromXML(document.RootElement())) << c.what;
        if (c.name == nullptr)
            EXPECT_EQ(texture.m_sName, nullptr) << c.what;
        else
            EXPECT_STREQ(texture.m_sName, c.name) << c.what;
        EXPECT_EQ(texture.m_iSize, c.size) << c.what;
        EXPECT_EQ(texture.m_iFilter, c.filter) << c.what;
        EXPECT_EQ(texture.m_iWidth, c.width) << c.what;
        EXPECT_EQ(texture.m_bHasAlpha, c.width != 0) << c.what;
        if (c.size > 0) {
            ASSERT_NE(texture.m_pucData, nullptr) << c.what;
            EXPECT_TRUE(texture.m_bOwnsData) << c.what;
            EXPECT_EQ(memcmp(texture.m_pucData, png.data(), c.size), 0) << c.what;
        } else {
            EXPECT_EQ(texture.m_pucData, nullptr) << c.what;
        }
    }
}

TEST(Texture, LoadFromXmlReplacesEarlierDataAndWarnsOfShortData)
{
    Bytes png = minimalPng(8, 8, 2, false);
    TiXmlDocument document;
    document.Parse(("<texture name=\"x\" size=\"45\">" + hex(png) + "</texture>").c_str());
    MDL_Texture texture("old", heapCopy(png), static_cast<uint32_t>(png.size()), true);
    texture.loadFromXML(document.RootElement());
    EXPECT_STREQ(texture.m_sName, "x");
    EXPECT_EQ(texture.m_iWidth, 8);

    // A missing "size" keeps the current one.
    TiXmlDocument again;
    again.Parse(("<texture>" + hex(png) + "</texture>").c_str());
    texture.loadFromXML(again.RootElement());
    EXPECT_EQ(texture.m_iSize, 45u);
    EXPECT_EQ(texture.m_iWidth, 8);

    TEST_LogCapture log;
    TiXmlDocument shortData;
    shortData.Parse("<texture name=\"s\" size=\"10\">89504e47</texture>");
    texture.loadFromXML(shortData.RootElement());
    EXPECT_EQ(texture.m_iSize, 4u);
    EXPECT_TRUE(log.contains("Texture s: size 10 but 4 bytes of data")) << log.joined();
}
