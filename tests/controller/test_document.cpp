#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "controller/CTRL_Generic.h"
#include "controller/CTRL_MemberIndex.h"
#include "foundation/UTIL_MD5.h"
#include "model/MDL_ModelsSet.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Log.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

const char *const STAGE0 = "Error opening the file, the file is corrupted.";
const char *const STAGE1 = "You are trying to open a file not compatible with your player.";

bool startsWith(const char *text, const char *prefix)
{
    return text != nullptr && strncmp(text, prefix, strlen(prefix)) == 0;
}

// Opens document bytes through a real file, as the player does.
struct Opened {
    TEST_TempDir dir;
    TEST_LogCapture log;
    CTRL_Generic controller{nullptr, CTRL_PLATFORM_LINUX};
    bool ok = false;

    explicit Opened(const std::vector<unsigned char> &bytes)
    {
        ok = controller.openDocument(dir.write("doc.vk", bytes).c_str());
    }
};

std::string extract(CTRL_Generic &controller, const char *name, bool asText, bool *owned = nullptr)
{
    unsigned char *data = nullptr;
    int size = 0;
    bool own = controller.extractMember(name, &data, &size, asText);
    if (owned != nullptr)
        *owned = own;
    std::string text =
        data != nullptr ? std::string(reinterpret_cast<char *>(data), static_cast<size_t>(size)) : "<none>";
    if (own)
        free(data);
    return text;
}

std::string md5Hex(const std::string &bytes)
{
    unsigned char digest[16];
    UTIL_md5(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), digest);
    char hex[33];
    for (int i = 0; i < 16; i++)
        snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return hex;
}

void put16(std::vector<unsigned char> &zip, size_t at, unsigned v)
{
    zip[at] = static_cast<unsigned char>(v);
    zip[at + 1] = static_cast<unsigned char>(v >> 8);
}

void put32(std::vector<unsigned char> &zip, size_t at, uint32_t v)
{
    put16(zip, at, v & 0xFFFF);
    put16(zip, at + 2, v >> 16);
}

} // namespace

TEST(Document, VersionRule)
{
    struct Case {
        int major, minor, patch;
        const char *root;
        bool opens;
    };
    const Case cases[] = {
        {1, 6, 4, "vekta", true}, {1, 6, 5, "vekta", false}, {1, 7, 0, "vekta", false},  {2, 0, 0, "vekta", false},
        {0, 9, 9, "vekta", true}, {1, 5, 99, "vekta", true}, {0, 99, 99, "vekta", true}, {1, 6, 4, "muln", true},
        {1, 6, 5, "muln", false}, {1, 6, 4, "other", false},
    };
    for (const Case &c : cases) {
        TEST_DocumentBuilder builder;
        builder.add("config.xml", TEST_configXml(c.major, c.minor, c.patch, c.root));
        Opened opened(builder.build());
        EXPECT_EQ(opened.ok, c.opens) << c.major << "." << c.minor << "." << c.patch << " " << c.root;
        if (c.opens) {
            EXPECT_FALSE(opened.controller.m_bHalted);
            EXPECT_EQ(opened.controller.m_iVersionMajor, c.major);
            EXPECT_EQ(opened.controller.m_iVersionPatch, c.patch);
            EXPECT_NE(opened.controller.m_poDocument, nullptr);
        } else {
            EXPECT_TRUE(startsWith(opened.controller.m_sErrorText, STAGE1)) << opened.controller.m_sErrorText;
            EXPECT_EQ(opened.controller.m_poDocument, nullptr);
            EXPECT_TRUE(opened.log.contains("Problem reading"));
        }
    }
}

// Each refusal says on the log what is wrong with config.xml, before the
// error report's own line.
TEST(Document, RefusedConfigurations)
{
    struct Case {
        const char *config; // null: no config.xml
        std::string logged;
    };
    const Case cases[] = {
        {"<vekta></vekta>\n", "config.xml: <vekta> has no <version> element"},
        {"<other><version major=\"1\"/></other>\n", "config.xml: the root element is <other>; a document's is <vekta>"},
        {"<!-- only a comment -->\n", "config.xml: no <vekta> root element"},
        {"<vekta>\n\n  <version major=\"1\"\n</vekta>\n", "config.xml:4: Error reading Attributes."},
        {"\n", "config.xml: Error document empty."},
        {nullptr, "config.xml: not in the document"},
        {"<vekta><version major=\"1\" minor=\"7\" patch=\"0\"/></vekta>\n",
         "config.xml: the document needs player version 1.7.0; this player is 1.6.4"},
    };
    for (const Case &c : cases) {
        TEST_DocumentBuilder builder(false);
        builder.add("init.lua", "x = 1\n");
        if (c.config != nullptr)
            builder.add("config.xml", c.config);
        Opened opened(builder.build());
        EXPECT_FALSE(opened.ok) << c.logged;
        EXPECT_TRUE(startsWith(opened.controller.m_sErrorText, STAGE1)) << c.logged;
        size_t cause = opened.log.joined().find(c.logged), report = opened.log.joined().find("Problem reading");
        EXPECT_NE(cause, std::string::npos) << opened.log.joined();
        EXPECT_LT(cause, report) << opened.log.joined();
    }

    // A missing attribute leaves its field as it was (0).
    TEST_DocumentBuilder partial;
    partial.add("config.xml", "<vekta><version major=\"1\" patch=\"x\"/></vekta>\n");
    Opened opened(partial.build());
    EXPECT_TRUE(opened.ok);
    EXPECT_EQ(opened.controller.m_iVersionMinor, 0);
}

TEST(Document, BadFilesShowTheStage0Message)
{
    std::vector<unsigned char> good = TEST_DocumentBuilder().add("init.lua", "x = 1\n").build();

    // A body changed after signing no longer matches its trailer.
    std::vector<unsigned char> otherTrailer = good;
    otherTrailer[10] ^= 0x40;

    std::vector<unsigned char> truncated(good.begin(), good.end() - 1);
    std::vector<unsigned char> tiny(good.begin(), good.begin() + 100); // shorter than the trailer
    std::vector<unsigned char> one(1, 0x55);

    for (const std::vector<unsigned char> *bytes : {&otherTrailer, &truncated, &tiny, &one}) {
        Opened opened(*bytes);
        EXPECT_FALSE(opened.ok);
        EXPECT_TRUE(startsWith(opened.controller.m_sErrorText, STAGE0));
        EXPECT_EQ(opened.controller.m_poDocument, nullptr);
        EXPECT_TRUE(opened.log.contains("the signature does not match the contents")) << opened.log.joined();
    }
}

TEST(Document, MissingAndEmptyFiles)
{
    TEST_LogCapture log;
    CTRL_Generic missing(nullptr, CTRL_PLATFORM_LINUX);
    EXPECT_FALSE(missing.openDocument("/nonexistent/doc.vk"));
    EXPECT_TRUE(startsWith(missing.m_sErrorText, STAGE0));
    EXPECT_TRUE(log.contains("Document /nonexistent/doc.vk not found"));
    EXPECT_STREQ(missing.m_sDocumentPath, "/nonexistent/doc.vk");

    CTRL_Generic none(nullptr, CTRL_PLATFORM_LINUX);
    EXPECT_FALSE(none.openDocument(nullptr));
    EXPECT_FALSE(none.m_bHalted);

    // An empty file is a short read: no report, no document.
    TEST_TempDir dir;
    CTRL_Generic empty(nullptr, CTRL_PLATFORM_LINUX);
    EXPECT_FALSE(empty.openDocument(dir.write("empty.vk", std::string()).c_str()));
    EXPECT_FALSE(empty.m_bHalted);
    EXPECT_EQ(empty.m_poDocument, nullptr);
}

TEST(Document, MemberNamesMatchExactly)
{
    TEST_DocumentBuilder builder;
    builder.add("ui/menu.lua", "m\n").add("ui", "short\n").add("abc", "abc\n").add("Init.lua", "x\n");
    Opened opened(builder.build());
    ASSERT_TRUE(opened.ok);
    CTRL_Generic &c = opened.controller;
    EXPECT_TRUE(c.hasMember("ui/menu.lua"));
    EXPECT_TRUE(c.hasMember("ui"));
    EXPECT_FALSE(c.hasMember("ui/menu"));      // a shorter beginning of a name
    EXPECT_FALSE(c.hasMember("ui/menu.lua2")); // longer than any name
    EXPECT_FALSE(c.hasMember("ab"));
    EXPECT_FALSE(c.hasMember("init.lua")); // case-sensitive
    EXPECT_EQ(extract(c, "abc", false), "abc\n");
    EXPECT_EQ(extract(c, "nothing", false), "<none>");
}

TEST(Document, StoredAndDeflatedMembers)
{
    std::string big(5000, 'z');
    for (bool stored : {true, false}) {
        TEST_DocumentBuilder builder;
        builder.store(stored).add("big.txt", big + "\n").add("raw.bin", std::string("\x01\x02\x03", 3));
        Opened opened(builder.build());
        ASSERT_TRUE(opened.ok);
        bool owned = false;
        EXPECT_EQ(extract(opened.controller, "big.txt", false, &owned), big + "\n");
        EXPECT_EQ(owned, !stored); // stored members point into the document
        EXPECT_TRUE(extract(opened.controller, "big.txt", true, &owned) == big + "\n");
        EXPECT_TRUE(owned);                                                      // a text has a buffer of its own
        EXPECT_TRUE(extract(opened.controller, "big.txt", false) == big + "\n"); // the document is unchanged
    }
}

// A text member is delivered whole, whatever its last byte, with a
// terminator after it; nothing is said about a missing line end.
TEST(Document, TextMembersAreDeliveredWholeAndTerminated)
{
    const std::string texts[] = {"abc", "x\r", "line\n", "", std::string("nul\0", 4), "</vekta>"};
    for (bool stored : {true, false}) {
        TEST_DocumentBuilder builder;
        builder.store(stored);
        for (size_t i = 0; i < sizeof texts / sizeof texts[0]; i++)
            builder.add("t" + std::to_string(i), texts[i]);
        Opened opened(builder.build());
        ASSERT_TRUE(opened.ok);
        for (size_t i = 0; i < sizeof texts / sizeof texts[0]; i++) {
            SCOPED_TRACE((stored ? "stored t" : "deflated t") + std::to_string(i));
            unsigned char *data = nullptr;
            int size = -1;
            bool owned = opened.controller.extractMember(("t" + std::to_string(i)).c_str(), &data, &size, true);
            ASSERT_NE(data, nullptr);
            EXPECT_TRUE(owned);
            EXPECT_EQ(std::string(reinterpret_cast<char *>(data), static_cast<size_t>(size)), texts[i]);
            EXPECT_EQ(data[size], 0);
            free(data);
        }
        EXPECT_FALSE(opened.controller.m_bHalted);
        EXPECT_TRUE(opened.log.m_asLines.empty()) << opened.log.joined();
    }
}

// A config.xml and a models set that end without a line end open.
TEST(Document, XmlMembersWithoutAFinalLineEndOpen)
{
    std::string config = TEST_configXml(1, 6, 4);
    std::string set = TEST_ModelsSetWriter::sample().text();
    config.pop_back();
    set.pop_back();
    ASSERT_EQ(config.back(), '>');
    ASSERT_EQ(set.back(), '>');
    for (bool stored : {true, false}) {
        SCOPED_TRACE(stored ? "stored" : "deflated");
        TEST_DocumentBuilder builder(false);
        builder.store(stored).add("config.xml", config).add("set.xml", set);
        Opened opened(builder.build());
        EXPECT_TRUE(opened.ok);
        MDL_ModelsSet *models = opened.controller.addModelsSet("set.xml");
        ASSERT_NE(models, nullptr);
        EXPECT_NE(models->getObject("cube"), nullptr);
        EXPECT_FALSE(opened.controller.m_bHalted);
        EXPECT_TRUE(opened.log.m_asLines.empty()) << opened.log.joined();
    }
}

TEST(Document, UnknownMethodAndCorruptDeflate)
{
    TEST_DocumentBuilder builder;
    builder.add("a.txt", std::string(200, 'q') + "\n");
    std::vector<unsigned char> zip = builder.zip();
    // config.xml is the first member; find a.txt's header after it.
    uint64_t offset = 0;
    CTRL_MemberEntry entry;
    ASSERT_TRUE(CTRL_nextMember(zip.data(), zip.size(), offset, entry));
    size_t second = static_cast<size_t>(offset);
    ASSERT_TRUE(CTRL_nextMember(zip.data(), zip.size(), offset, entry));
    ASSERT_EQ(entry.m_iMethod, 8);

    struct Case {
        const char *what;
        void (*mutate)(std::vector<unsigned char> &, size_t header, const CTRL_MemberEntry &);
        const char *diagnostic;
    };
    const Case cases[] = {
        {"method 12", [](std::vector<unsigned char> &z, size_t h, const CTRL_MemberEntry &) { put16(z, h + 8, 12); },
         "Unknown compression type for file a.txt"},
        {"garbage stream",
         [](std::vector<unsigned char> &z, size_t, const CTRL_MemberEntry &e) {
             for (uint32_t i = 0; i < e.m_uiCompressedSize; i++)
                 z[e.m_uiDataOffset + i] = 0xFF;
         },
         "Corrupt compressed data in file a.txt"},
        {"larger than the header says",
         [](std::vector<unsigned char> &z, size_t h, const CTRL_MemberEntry &) { put32(z, h + 22, 10); },
         "Corrupt compressed data in file a.txt"},
        {"shorter than the header says",
         [](std::vector<unsigned char> &z, size_t h, const CTRL_MemberEntry &) { put32(z, h + 22, 300); },
         "Corrupt compressed data in file a.txt"},
        {"absurd size",
         [](std::vector<unsigned char> &z, size_t h, const CTRL_MemberEntry &) { put32(z, h + 22, 0xFFFFFFF0u); },
         "Corrupt size of file a.txt"},
    };
    for (const Case &c : cases) {
        std::vector<unsigned char> body = zip;
        c.mutate(body, second, entry);
        Opened opened(TEST_DocumentBuilder::seal(body));
        ASSERT_TRUE(opened.ok) << c.what;
        EXPECT_EQ(extract(opened.controller, "a.txt", false), "<none>") << c.what;
        EXPECT_TRUE(opened.controller.m_bHalted) << c.what;
        EXPECT_TRUE(opened.log.contains(c.diagnostic)) << c.what << ": " << opened.log.joined();
        EXPECT_TRUE(opened.controller.hasMember("a.txt")); // the walk does not look at the data
    }
}

TEST(Document, HeadersRunningPastTheEndStopTheWalk)
{
    TEST_DocumentBuilder builder;
    builder.store().add("a.txt", "first\n").add("b.txt", "second\n");
    std::vector<unsigned char> zip = builder.zip();
    uint64_t offset = 0;
    CTRL_MemberEntry entry;
    ASSERT_TRUE(CTRL_nextMember(zip.data(), zip.size(), offset, entry)); // config.xml
    size_t a = static_cast<size_t>(offset);

    struct Case {
        const char *what;
        size_t field; // offset in a.txt's header
        uint32_t value;
        int width;
    };
    const Case cases[] = {
        {"compressed size past the end", 18, 0x7FFFFFF0u, 4},
        {"compressed size that wraps", 18, 0xFFFFFFFFu, 4},
        {"name length past the end", 26, 0xFFFF, 2},
        {"extra length past the end", 28, 0xFFFF, 2},
    };
    for (const Case &c : cases) {
        std::vector<unsigned char> body = zip;
        // Cut the central directory so the lengths really run past the end.
        body.resize(a + 30 + 5 + 6 + 30);
        if (c.width == 4)
            put32(body, a + c.field, c.value);
        else
            put16(body, a + c.field, c.value);
        Opened opened(TEST_DocumentBuilder::seal(body));
        ASSERT_TRUE(opened.ok) << c.what;
        EXPECT_FALSE(opened.controller.hasMember("a.txt")) << c.what;
        EXPECT_FALSE(opened.controller.hasMember("b.txt")) << c.what;
        EXPECT_TRUE(opened.controller.hasMember("config.xml")) << c.what;
    }
}

TEST(Document, IndexAgreesWithTheWalkForDuplicateNames)
{
    // Two members of one name: the first one wins, as in a walk from the start.
    std::vector<PACK_Member> members = {{"config.xml", {}}, {"dup", {'1', '\n'}}, {"dup", {'2', '\n'}}};
    std::string config = TEST_configXml(1, 6, 4);
    members[0].m_aucData.assign(config.begin(), config.end());
    Opened opened(TEST_DocumentBuilder::seal(PACK_writeZip(members, true)));
    ASSERT_TRUE(opened.ok);
    EXPECT_EQ(extract(opened.controller, "dup", false), "1\n");
}

// A document committed as bytes, with a listing of its members made beside
// it by other tools (stat, md5sum): it must keep opening and hold exactly the
// listed members with the listed contents. The packer shares the
// scrambling, the digest and the archive layout with the reader, so a change
// to any of them would still let freshly packed documents open; this one
// was packed before such a change.
TEST(Document, CommittedSampleOpensWithTheListedMembers)
{
    const std::string folder = VEKTA_TEST_DATA_DIR "/documents/";
    struct Listed {
        std::string name, method, md5;
        uint32_t size;
    };
    std::vector<Listed> listed;
    std::ifstream in(folder + "sample.members");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        Listed member;
        ASSERT_TRUE(fields >> member.name >> member.size >> member.method >> member.md5) << line;
        listed.push_back(member);
    }
    ASSERT_EQ(listed.size(), 4u);

    TEST_LogCapture log;
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    ASSERT_TRUE(controller.openDocument((folder + "sample.vk").c_str())) << log.joined();
    EXPECT_EQ(controller.m_iVersionMinor, 6);

    // The walk meets the listed members in the listed order, then stops at
    // the central directory.
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(controller.m_poDocument->m_pData);
    uint64_t size = static_cast<uint64_t>(controller.m_poDocument->m_iCount), offset = 0;
    CTRL_MemberEntry entry;
    for (const Listed &member : listed) {
        ASSERT_TRUE(CTRL_nextMember(bytes, size, offset, entry)) << member.name;
        EXPECT_EQ(std::string(entry.m_pcName, static_cast<size_t>(entry.m_iNameLength)), member.name);
        EXPECT_EQ(entry.m_iMethod, member.method == "deflate" ? 8 : 0) << member.name;
        EXPECT_EQ(entry.m_uiUncompressedSize, member.size) << member.name;
        std::string data = extract(controller, member.name.c_str(), false);
        EXPECT_EQ(data.size(), member.size) << member.name;
        EXPECT_EQ(md5Hex(data), member.md5) << member.name;
    }
    EXPECT_FALSE(CTRL_nextMember(bytes, size, offset, entry));
    EXPECT_FALSE(controller.m_bHalted) << log.joined();
}
