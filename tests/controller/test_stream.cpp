#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "controller/CTRL_Generic.h"
#include "controller/CTRL_Stream.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Log.h"

namespace {

struct StreamFixture : ::testing::Test {
    TEST_TempDir dir;
    CTRL_Generic controller{nullptr, CTRL_PLATFORM_LINUX};

    void SetUp() override
    {
        TEST_DocumentBuilder builder;
        builder.add("init.lua", "print(1)\n").add("six.bin", std::string("abcdef")).add("ui/menu.lua", "m\n");
        builder.add("big.txt", std::string(3000, 'x'));
        ASSERT_TRUE(controller.openDocument(dir.write("docs/doc.vk", builder.build()).c_str()));
    }
};

} // namespace

TEST_F(StreamFixture, NameResolution)
{
    // Real folders and files in and above the document's folder, so that a
    // name that climbs out would really open something.
    dir.write("docs/a/b/deep.txt", "deep");
    dir.write("docs/inside.txt", "inside");
    dir.write("outside.txt", "outside");
    dir.write("x", "x");
    struct Case {
        const char *name;
        const char *mode;
        bool opens;
    };
    const Case cases[] = {
        {"init.lua", "r", true},
        {"./init.lua", "r", true},
        {"ui/menu.lua", "r", true},
        {"./ui/menu.lua", "r", true},
        {"missing", "r", false},
        {"./", "r", false},
        {"//", "r", false},
        {".//init.lua", "r", false},
        {"//../x", "r", false},
        {"///etc/passwd", "r", false},
        {"//a/../../x", "r", false},
        {"//a/../inside.txt", "r", true},
        {"//a/b/../../inside.txt", "r", true},
        {"//a/../../outside.txt", "r", false},
        {"//a/b/../../../x", "r", false},
        {"//a//../../outside.txt", "r", false}, // an empty step goes nowhere
        {"//a/./../../outside.txt", "r", false},
        {"//a/../../outside.txt", "w", false},
        {"//a/b/../../../x", "w", false},
        {"//a/../inside.txt", "a", true},
    };
    for (const Case &c : cases) {
        CTRL_Stream *stream = CTRL_Stream::open(&controller, c.name, c.mode);
        EXPECT_EQ(stream != nullptr, c.opens) << c.name << " " << c.mode;
        CTRL_Stream::close(stream);
    }
    EXPECT_EQ(TEST_readText(dir.path("outside.txt")), "outside");
    EXPECT_EQ(TEST_readText(dir.path("x")), "x");
    EXPECT_EQ(CTRL_Stream::open(nullptr, "init.lua", "r"), nullptr);
}

TEST_F(StreamFixture, MemberReadSeekGetc)
{
    CTRL_Stream *s = CTRL_Stream::open(&controller, "six.bin", "r");
    ASSERT_NE(s, nullptr);
    char buffer[40] = {};
    EXPECT_EQ(CTRL_Stream::read(buffer, 4, 10, s), 1u);
    EXPECT_EQ(CTRL_Stream::tell(s), 4);
    EXPECT_EQ(CTRL_Stream::read(buffer, 4, 10, s), 0u);
    EXPECT_EQ(CTRL_Stream::read(buffer, 0, 10, s), 0u);

    struct Seek {
        long offset;
        int whence;
        long position;
    };
    const Seek seeks[] = {{-5, SEEK_SET, 0}, {5, SEEK_END, 6}, {-2, SEEK_END, 4}, {-1, SEEK_CUR, 3}, {2, 99, 3}};
    for (const Seek &k : seeks) {
        EXPECT_EQ(CTRL_Stream::seek(s, k.offset, k.whence), 0);
        EXPECT_EQ(CTRL_Stream::tell(s), k.position) << k.offset << " " << k.whence;
    }
    CTRL_Stream::seek(s, -2, SEEK_END);
    EXPECT_EQ(CTRL_Stream::read(buffer, 1, 10, s), 2u);
    EXPECT_TRUE(CTRL_Stream::eof(s));
    EXPECT_EQ(CTRL_Stream::getc(s), EOF);
    EXPECT_EQ(CTRL_Stream::ungetc('z', s), 'z');
    EXPECT_EQ(CTRL_Stream::getc(s), 'f'); // the data is unchanged
    // ungetc of EOF changes nothing.
    CTRL_Stream::seek(s, 2, SEEK_SET);
    EXPECT_EQ(CTRL_Stream::ungetc(EOF, s), EOF);
    EXPECT_EQ(CTRL_Stream::getc(s), 'c');
    CTRL_Stream::seek(s, 0, SEEK_SET);
    EXPECT_EQ(CTRL_Stream::ungetc('a', s), 'a'); // not below 0
    EXPECT_EQ(CTRL_Stream::tell(s), 0);

    EXPECT_EQ(CTRL_Stream::write("zz", 1, 2, s), 0u); // members are read-only
    EXPECT_EQ(CTRL_Stream::gets(buffer, 10, s), nullptr);
    EXPECT_EQ(CTRL_Stream::printf(s, "%d", 1), 0);
    EXPECT_EQ(CTRL_Stream::reopen(nullptr, "rb", s), nullptr);
    EXPECT_EQ(CTRL_Stream::close(s), 0);
}

TEST_F(StreamFixture, DeflatedMemberIsExtractedOnFirstUse)
{
    CTRL_Stream *s = CTRL_Stream::open(&controller, "big.txt", "r");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->m_pucMemberData, nullptr);
    char buffer[4000];
    EXPECT_EQ(CTRL_Stream::read(buffer, 1, sizeof(buffer), s), 3000u);
    EXPECT_TRUE(s->m_bOwnsMemberData);
    CTRL_Stream::close(s);
}

TEST_F(StreamFixture, RealFilesBesideTheDocument)
{
    CTRL_Stream *w = CTRL_Stream::open(&controller, "//save.txt", "w");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->m_bRealFile);
    EXPECT_EQ(CTRL_Stream::write("hello", 1, 5, w), 5u);
    EXPECT_GT(CTRL_Stream::printf(w, " %d%%", 7), 0);
    EXPECT_EQ(CTRL_Stream::close(w), 0);
    EXPECT_EQ(TEST_readText(dir.path("docs/save.txt")), "hello 7%");

    CTRL_Stream *r = CTRL_Stream::open(&controller, "//save.txt", "r");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(CTRL_Stream::getc(r), 'h');
    EXPECT_EQ(CTRL_Stream::ungetc('h', r), 'h');
    char line[32];
    ASSERT_NE(CTRL_Stream::gets(line, sizeof(line), r), nullptr);
    EXPECT_STREQ(line, "hello 7%");
    CTRL_Stream::close(r);
    EXPECT_EQ(CTRL_Stream::open(&controller, "//absent.txt", "r"), nullptr);

    // A real file is reopened in another mode under its own name only: any
    // other path would reach past the document's folder.
    CTRL_Stream *again = CTRL_Stream::open(&controller, "//save.txt", "r");
    ASSERT_NE(again, nullptr);
    again = CTRL_Stream::reopen(nullptr, "rb", again);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(CTRL_Stream::getc(again), 'h');
    EXPECT_EQ(CTRL_Stream::reopen(dir.path("outside.txt").c_str(), "w", again), nullptr);
    EXPECT_FALSE(std::ifstream(dir.path("outside.txt")).good());
}

TEST(Stream, StandardHandlesWriteToTheLog)
{
    TEST_LogCapture log;
    EXPECT_EQ(CTRL_Stream::write("50% done %s", 1, 11, CTRL_Stream::STDOUT), 0u);
    EXPECT_EQ(CTRL_Stream::printf(CTRL_Stream::STDERR, "%d%%", 5), 0);
    std::string longText(3000, 'y');
    CTRL_Stream::write(longText.data(), 1, longText.size(), CTRL_Stream::STDERR);
    EXPECT_EQ(CTRL_Stream::write("in", 1, 2, CTRL_Stream::STDIN), 0u);
    ASSERT_EQ(log.m_asLines.size(), 3u);
    EXPECT_EQ(log.m_asLines[0], "50% done %s");
    EXPECT_EQ(log.m_asLines[1], "5%");
    EXPECT_EQ(log.m_asLines[2], std::string(1023, 'y'));

    // The other operations never treat a standard handle as a record.
    char buffer[4];
    EXPECT_EQ(CTRL_Stream::read(buffer, 1, 4, CTRL_Stream::STDIN), 0u);
    EXPECT_EQ(CTRL_Stream::getc(CTRL_Stream::STDIN), EOF);
    EXPECT_TRUE(CTRL_Stream::eof(CTRL_Stream::STDIN));
    EXPECT_EQ(CTRL_Stream::close(CTRL_Stream::STDOUT), 0);
    EXPECT_EQ(CTRL_Stream::tell(CTRL_Stream::STDERR), -1);
}
