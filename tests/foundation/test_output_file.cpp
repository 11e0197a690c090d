// Output files: a failed write never removes or spoils what the name held,
// a completed one replaces a regular file (also through a link) and goes
// straight into anything else.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "foundation/UTIL_Bitmap.h"
#include "foundation/UTIL_OutputFile.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Log.h"

namespace {

std::string linkOf(const std::string &path)
{
    char target[4096];
    ssize_t n = readlink(path.c_str(), target, sizeof(target) - 1);
    return n < 0 ? std::string() : std::string(target, static_cast<size_t>(n));
}

// What the folder holds at "out" before the write: its link (empty for
// none), the file it holds or leads to ("real" for a link to a name in the
// folder) with its text (null: none).
struct Target {
    const char *name;
    const char *link;
    const char *old;
    // After a completed write: the file that holds the new text, or null
    // when it went into a device.
    const char *written;
};

const Target TARGETS[] = {
    {"nothing yet", "", nullptr, "out"},
    {"a regular file", "", "old", "out"},
    {"a link to a regular file", "real", "old", "real"},
    {"a link to a name not made yet", "real", nullptr, "real"},
    {"a link to a device", "/dev/null", nullptr, nullptr},
};

void make(const TEST_TempDir &dir, const Target &t)
{
    std::string file = t.link[0] != '\0' ? dir.path("real") : dir.path("out");
    if (t.old != nullptr) {
        dir.write(t.link[0] != '\0' ? "real" : "out", t.old);
        chmod(file.c_str(), 0640);
    }
    if (t.link[0] != '\0')
        ASSERT_EQ(symlink(t.link, dir.path("out").c_str()), 0);
}

} // namespace

TEST(OutputFile, AnAbandonedWriteLeavesWhatTheNameHeld)
{
    for (const Target &t : TARGETS) {
        SCOPED_TRACE(t.name);
        TEST_TempDir dir;
        make(dir, t);
        std::vector<std::string> before = TEST_listFolder(dir.m_sPath);
        UTIL_OutputFile out;
        ASSERT_TRUE(out.open(dir.path("out").c_str())) << out.error();
        EXPECT_EQ(out.writesStraight(), t.written == nullptr);
        fputs("new", out.file());
        fflush(out.file());
        out.abandon();
        EXPECT_EQ(TEST_listFolder(dir.m_sPath), before);
        EXPECT_EQ(linkOf(dir.path("out")), t.link);
        if (t.old != nullptr)
            EXPECT_EQ(TEST_readText(t.link[0] != '\0' ? dir.path("real") : dir.path("out")), t.old);
    }
}

TEST(OutputFile, ACommittedWriteReplacesARegularFileAndKeepsLinks)
{
    for (const Target &t : TARGETS) {
        SCOPED_TRACE(t.name);
        TEST_TempDir dir;
        make(dir, t);
        {
            UTIL_OutputFile out;
            ASSERT_TRUE(out.open(dir.path("out").c_str())) << out.error();
            fputs("new", out.file());
            ASSERT_TRUE(out.commit()) << out.error();
        }
        EXPECT_EQ(linkOf(dir.path("out")), t.link);
        std::vector<std::string> expected = {"out"};
        if (t.written != nullptr && strcmp(t.written, "real") == 0)
            expected.push_back("real");
        EXPECT_EQ(TEST_listFolder(dir.m_sPath), expected);
        if (t.written == nullptr)
            continue;
        std::string written = dir.path(t.written);
        EXPECT_EQ(TEST_readText(written), "new");
        // A replaced file keeps its permissions.
        struct stat info;
        ASSERT_EQ(stat(written.c_str(), &info), 0);
        if (t.old != nullptr)
            EXPECT_EQ(info.st_mode & 0777, 0640u);
    }
}

TEST(OutputFile, ANameThatCannotBeWrittenIsRefusedUntouched)
{
    TEST_TempDir dir;
    dir.write("file", "old");
    ASSERT_EQ(symlink("loop", dir.path("loop").c_str()), 0);
    const std::string names[] = {dir.path("none/out"), dir.path("file/out"), dir.path("loop"), dir.m_sPath, ""};
    for (const std::string &name : names) {
        UTIL_OutputFile out;
        EXPECT_FALSE(out.open(name.c_str())) << name;
        EXPECT_NE(out.error()[0], '\0') << name;
        EXPECT_EQ(out.file(), nullptr);
    }
    EXPECT_EQ(TEST_listFolder(dir.m_sPath), (std::vector<std::string>{"file", "loop"}));
    EXPECT_EQ(TEST_readText(dir.path("file")), "old");
}

// A file its user may not write is refused, as opening it for writing
// refuses it: a new file beside it would replace it all the same. (Run as
// root, the attempt is made as an unprivileged user, since root may write
// any file.)
TEST(OutputFile, AFileTheUserMayNotWriteIsRefused)
{
    TEST_TempDir dir;
    const std::string kept = dir.write("kept.png", "old");
    ASSERT_EQ(chmod(kept.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.m_sPath.c_str(), 0777), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        UTIL_OutputFile out;
        if (!out.open(kept.c_str()))
            _exit(0);
        fputs("new", out.file());
        _exit(out.commit() ? 1 : 2);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(TEST_readText(kept), "old");
    EXPECT_EQ(TEST_listFolder(dir.m_sPath), (std::vector<std::string>{"kept.png"}));
}

TEST(OutputFile, SamePlaceFollowsNamesToTheirFile)
{
    TEST_TempDir dir;
    dir.write("a", "a");
    mkdir(dir.path("sub").c_str(), 0755);
    ASSERT_EQ(symlink("a", dir.path("to-a").c_str()), 0);
    ASSERT_EQ(link(dir.path("a").c_str(), dir.path("hard-a").c_str()), 0);
    ASSERT_EQ(symlink("sub/new", dir.path("to-new").c_str()), 0);
    const struct {
        std::string first, second;
        bool same;
    } cases[] = {
        {"x.png", "x.png", true},
        {dir.path("a"), dir.path("to-a"), true},
        {dir.path("a"), dir.path("hard-a"), true},
        {dir.path("a"), dir.path("sub/../a"), true},
        {dir.path("new"), dir.path("sub/../new"), true},
        {dir.path("new"), dir.path("./new"), true},
        {dir.path("sub/new"), dir.path("to-new"), true},
        {dir.path("a"), dir.path("new"), false},
        {dir.path("new"), dir.path("sub/new"), false},
        {dir.path("new"), dir.path("other"), false},
        {dir.path("none/x"), dir.path("none/./x"), false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(UTIL_OutputFile::samePlace(c.first.c_str(), c.second.c_str()), c.same)
            << c.first << " and " << c.second;
        EXPECT_EQ(UTIL_OutputFile::samePlace(c.second.c_str(), c.first.c_str()), c.same)
            << c.second << " and " << c.first;
    }
}

TEST(OutputFile, AFailedPngLeavesItsTargetAndAWrittenOneReplacesIt)
{
    // /dev/full takes the file and fails every write (here the last one,
    // as the picture fits in the stream's buffer): the writer says so and
    // the link to it stays.
    TEST_LogCapture log;
    TEST_TempDir dir;
    ASSERT_EQ(symlink("/dev/full", dir.path("full.png").c_str()), 0);
    UTIL_Bitmap bitmap;
    ASSERT_TRUE(bitmap.allocate(64, 64, 3));
    for (int i = 0; i < 64 * 64 * 3; i++)
        bitmap.m_pucData[i] = static_cast<unsigned char>(i * 7919 >> 3);
    EXPECT_FALSE(bitmap.writePng(dir.path("full.png").c_str()));
    EXPECT_EQ(linkOf(dir.path("full.png")), "/dev/full");
    EXPECT_TRUE(log.contains("Cannot write " + dir.path("full.png") + ": No space left on device")) << log.joined();
    ASSERT_EQ(symlink("real.png", dir.path("link.png").c_str()), 0);
    dir.write("real.png", "old");
    EXPECT_TRUE(bitmap.writePng(dir.path("link.png").c_str()));
    EXPECT_EQ(linkOf(dir.path("link.png")), "real.png");
    EXPECT_EQ(TEST_readText(dir.path("real.png")).compare(1, 3, "PNG"), 0);
    EXPECT_EQ(TEST_listFolder(dir.m_sPath), (std::vector<std::string>{"full.png", "link.png", "real.png"}));
}
