// Writing bitmaps as PNG files: what is written decodes to the same pixels
// (the reader's own tests fix its row order against committed images), and
// the file starts with the image's top row.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <png.h>

#include "foundation/UTIL_Bitmap.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Log.h"

namespace {

bool exists(const std::string &path)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (file != nullptr)
        std::fclose(file);
    return file != nullptr;
}

TEST(BitmapPngWrite, WritesEveryComponentCountAndReadsBack)
{
    TEST_TempDir dir;
    for (int components = 1; components <= 4; components++) {
        SCOPED_TRACE(components);
        UTIL_Bitmap bitmap;
        ASSERT_TRUE(bitmap.allocate(5, 3, components));
        for (int i = 0; i < 5 * 3 * components; i++)
            bitmap.m_pucData[i] = static_cast<unsigned char>(i * 17 + components);
        std::string path = dir.path("out.png");
        ASSERT_TRUE(bitmap.writePng(path.c_str()));
        std::string bytes = TEST_readText(path);
        UTIL_Bitmap back;
        ASSERT_TRUE(back.decode(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), "out.png"));
        ASSERT_EQ(5, back.m_iWidth);
        ASSERT_EQ(3, back.m_iHeight);
        ASSERT_EQ(components, back.m_iComponents);
        EXPECT_EQ(std::vector<unsigned char>(bitmap.m_pucData, bitmap.m_pucData + 15 * components),
                  std::vector<unsigned char>(back.m_pucData, back.m_pucData + 15 * components));
    }
}

TEST(BitmapPngWrite, TheTopRowComesFirst)
{
    // Bottom row black, top row white; libpng reads rows in file order.
    unsigned char pixels[] = {0, 0, 255, 255};
    UTIL_Bitmap bitmap;
    bitmap.wrap(2, 2, 1, pixels);
    TEST_TempDir dir;
    std::string path = dir.path("rows.png");
    ASSERT_TRUE(bitmap.writePng(path.c_str()));
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_NE(0, png_image_begin_read_from_file(&image, path.c_str()));
    image.format = PNG_FORMAT_GRAY;
    unsigned char rows[4] = {1, 1, 1, 1};
    ASSERT_NE(0, png_image_finish_read(&image, nullptr, rows, 0, nullptr));
    EXPECT_EQ(255, rows[0]);
    EXPECT_EQ(0, rows[2]);
}

TEST(BitmapPngWrite, RefusesEmptyBitmapsAndUnwritablePaths)
{
    TEST_LogCapture log;
    TEST_TempDir dir;
    UTIL_Bitmap empty;
    std::string path = dir.path("empty.png");
    EXPECT_FALSE(empty.writePng(path.c_str()));
    EXPECT_FALSE(exists(path));
    UTIL_Bitmap bitmap;
    ASSERT_TRUE(bitmap.allocate(1, 1, 3));
    EXPECT_FALSE(bitmap.writePng(dir.path("no/such/folder.png").c_str()));
    EXPECT_FALSE(bitmap.writePng(nullptr));
}

} // namespace
