#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "controller/CTRL_Generic.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Process.h"
#include "tests/support/TEST_Support.h"

namespace {

struct PackFixture : ::testing::Test {
    TEST_TempDir dir;

    void SetUp() override
    {
        dir.write("src/config.xml", TEST_configXml(1, 6, 4));
        dir.write("src/init.lua", "function startup() end\n");
        dir.write("src/ui/menu.lua", std::string(4000, '-') + "\n");
        dir.write("src/b.bin", std::string("\x00\x01\x02", 3));
    }

    TEST_ProcessResult pack(const std::vector<std::string> &arguments) { return TEST_run(VEKTA_PACK_EXE, arguments); }
};

} // namespace

TEST_F(PackFixture, PacksTheSameFolderToTheSameBytesAndThePlayerOpensIt)
{
    ASSERT_EQ(pack({"-o", dir.path("a.vk"), dir.path("src")}).m_iExitCode, 0);
    ASSERT_EQ(pack({"-o", dir.path("b.vk"), dir.path("src")}).m_iExitCode, 0);
    EXPECT_EQ(TEST_readText(dir.path("a.vk")), TEST_readText(dir.path("b.vk")));

    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    ASSERT_TRUE(controller.openDocument(dir.path("a.vk").c_str()));
    EXPECT_TRUE(controller.hasMember("ui/menu.lua"));
    EXPECT_TRUE(controller.hasMember("b.bin"));
}

// The committed sample document was packed once from its committed folder
// (tests/data/documents/make-documents.sh); packing the folder again must
// give the same bytes, so that the scrambling, the digest, the signature and
// the archive layout of the packer cannot drift from what the player reads.
TEST_F(PackFixture, RepackingTheCommittedSampleGivesTheCommittedBytes)
{
    const std::string sample = VEKTA_TEST_DATA_DIR "/documents/sample";
    const std::string key = VEKTA_SOURCE_DIR "/keys/vekta-dev.key";
    ASSERT_EQ(pack({"--key", key, "-o", dir.path("again.vk"), sample}).m_iExitCode, 0);
    std::string committed = TEST_readText(sample + ".vk"), again = TEST_readText(dir.path("again.vk"));
    ASSERT_FALSE(committed.empty());
    EXPECT_EQ(again.size(), committed.size());
    EXPECT_TRUE(again == committed);
}

TEST_F(PackFixture, ListShowsSortedMembersWithSizes)
{
    ASSERT_EQ(pack({"-o", dir.path("a.vk"), dir.path("src")}).m_iExitCode, 0);
    TEST_ProcessResult list = pack({"--list", dir.path("a.vk")});
    EXPECT_EQ(list.m_iExitCode, 0);
    EXPECT_EQ(list.m_sOut.substr(0, list.m_sOut.find('\n')), "      size     packed method  name");
    size_t b = list.m_sOut.find("b.bin"), config = list.m_sOut.find("config.xml"),
           menu = list.m_sOut.find("ui/menu.lua");
    ASSERT_NE(b, std::string::npos);
    EXPECT_LT(b, config);
    EXPECT_LT(config, menu);
    EXPECT_NE(list.m_sOut.find("4001"), std::string::npos);    // menu.lua, uncompressed
    EXPECT_NE(list.m_sOut.find("stored "), std::string::npos); // b.bin does not shrink
    EXPECT_NE(list.m_sOut.find("deflate"), std::string::npos);

    ASSERT_EQ(pack({"--store", "-o", dir.path("s.vk"), dir.path("src")}).m_iExitCode, 0);
    EXPECT_EQ(pack({"--list", dir.path("s.vk")}).m_sOut.find("deflate"), std::string::npos);
}

TEST_F(PackFixture, VerifyFollowsThePlayer)
{
    ASSERT_EQ(pack({"-o", dir.path("a.vk"), dir.path("src")}).m_iExitCode, 0);
    TEST_ProcessResult ok = pack({"--verify", dir.path("a.vk")});
    EXPECT_EQ(ok.m_iExitCode, 0);
    EXPECT_EQ(ok.m_sOut, "signature: valid, made with the key this player accepts\n"
                         "config.xml: version 1.6.4 (this player opens 1.6.4 and older)\n");

    // The tool packs no such folder: the document is made in memory.
    TEST_DocumentBuilder document(false);
    document.add("config.xml", TEST_configXml(1, 7, 0)).add("init.lua", "function startup() end\n");
    dir.write("new.vk", document.build());
    TEST_ProcessResult newer = pack({"--verify", dir.path("new.vk")});
    EXPECT_EQ(newer.m_iExitCode, 1);
    EXPECT_EQ(newer.m_sOut, "signature: valid, made with the key this player accepts\n");
    EXPECT_NE(newer.m_sErr.find("needs player version 1.7.0; this player is 1.6.4"), std::string::npos);
    EXPECT_NE(newer.m_sErr.find("not compatible"), std::string::npos);
}

// A document whose signature no longer holds still lists (the members are
// readable), but both --list, after the listing, and --verify fail.
TEST_F(PackFixture, BrokenSignatureFailsListAndVerify)
{
    ASSERT_EQ(pack({"-o", dir.path("a.vk"), dir.path("src")}).m_iExitCode, 0);
    std::string bytes = TEST_readText(dir.path("a.vk"));
    bytes[bytes.size() / 2] ^= 1;
    dir.write("bad.vk", bytes);
    for (const char *option : {"--list", "--verify"}) {
        TEST_ProcessResult bad = pack({option, dir.path("bad.vk")});
        EXPECT_EQ(bad.m_iExitCode, 1) << option;
        EXPECT_EQ(bad.m_sOut.find("signature: valid"), std::string::npos) << option;
        EXPECT_NE(bad.m_sErr.find("the signature does not match"), std::string::npos) << option << bad.m_sErr;
        EXPECT_NE(bad.m_sErr.find("corrupted"), std::string::npos) << option;
    }
    EXPECT_NE(pack({"--list", dir.path("bad.vk")}).m_sOut.find("init.lua"), std::string::npos);
}

// A folder that cannot make a document is refused, and nothing is written.
TEST_F(PackFixture, FoldersWithoutConfigOrInitAreRefused)
{
    struct Case {
        std::vector<std::string> files;
        const char *missing;
    };
    const Case cases[] = {
        {{}, "no config.xml and no init.lua"},
        {{"init.lua"}, "no config.xml at the top"},
        {{"config.xml", "sub/init.lua"}, "no init.lua at the top"},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string folder = dir.path("case" + std::to_string(n++));
        std::filesystem::create_directories(folder);
        for (const std::string &file : c.files)
            dir.write(folder.substr(dir.m_sPath.size() + 1) + "/" + file, "x = 1\n");
        std::string out = folder + ".vk";
        TEST_ProcessResult result = pack({"-o", out, folder});
        EXPECT_EQ(result.m_iExitCode, 1) << c.missing;
        EXPECT_NE(result.m_sErr.find(c.missing), std::string::npos) << result.m_sErr;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.missing;
    }
}

// A member's name is always the file's path inside the folder. A link that
// stays inside is packed under its own name, with the bytes it leads to (a
// link to a folder brings that folder's files under the link's name).
TEST_F(PackFixture, LinksInsideTheFolderArePackedUnderTheirOwnNames)
{
    namespace fs = std::filesystem;
    struct Case {
        const char *link, *target, *member, *source;
    };
    const Case cases[] = {
        {"alias.lua", "ui/menu.lua", "alias.lua", "src/ui/menu.lua"},
        {"ui/up.lua", "../init.lua", "ui/up.lua", "src/init.lua"},
        {"menus", "ui", "menus/menu.lua", "src/ui/menu.lua"},
        {"sub/deep/menus", "../../ui/", "sub/deep/menus/menu.lua", "src/ui/menu.lua"},
        {"absolute.bin", nullptr, "absolute.bin", "src/b.bin"},
    };
    for (const Case &c : cases) {
        fs::create_directories(fs::path(dir.path("src/" + std::string(c.link))).parent_path());
        fs::create_symlink(c.target != nullptr ? c.target : dir.path(c.source), dir.path("src/" + std::string(c.link)));
    }
    TEST_ProcessResult packed = pack({"-o", dir.path("a.vk"), dir.path("src")});
    ASSERT_EQ(packed.m_iExitCode, 0) << packed.m_sErr;
    EXPECT_EQ(pack({"--list", dir.path("a.vk")}).m_sOut.find(".."), std::string::npos);

    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    ASSERT_TRUE(controller.openDocument(dir.path("a.vk").c_str()));
    EXPECT_TRUE(controller.hasMember("ui/menu.lua"));
    for (const Case &c : cases) {
        unsigned char *data = nullptr;
        int size = 0;
        bool owned = controller.extractMember(c.member, &data, &size, false);
        EXPECT_TRUE(std::string(reinterpret_cast<const char *>(data), static_cast<size_t>(size)) ==
                    TEST_readText(dir.path(c.source)))
            << c.member;
        if (owned)
            free(data);
    }
}

// A link that leads out of the folder, or a folder link that leads back to a
// folder that holds it, is refused with its name; nothing is written.
TEST_F(PackFixture, LinksOutOfTheFolderAreRefusedByName)
{
    namespace fs = std::filesystem;
    dir.write("outside/secret.txt", "not the document's\n");
    fs::create_directories(dir.path("src/sub"));
    struct Case {
        const char *link;
        std::string target;
    };
    const Case cases[] = {
        {"secret.txt", dir.path("outside/secret.txt")},
        {"sub/secret.txt", "../../outside/secret.txt"},
        {"sub/outside", "../../outside"},
        {"sub/again.txt", "../ui/../../outside/secret.txt"},
        {"sub/loop", ".."},
        {"itself", "."},
        {"missing.lua", "../outside/missing.lua"},
    };
    for (const Case &c : cases) {
        std::string link = dir.path("src/" + std::string(c.link));
        fs::create_symlink(c.target, link);
        TEST_ProcessResult result = pack({"-o", dir.path("out.vk"), dir.path("src")});
        EXPECT_EQ(result.m_iExitCode, 1) << c.link;
        EXPECT_NE(result.m_sErr.find(std::string(c.link) + ": "), std::string::npos) << c.link << "\n" << result.m_sErr;
        EXPECT_FALSE(fs::exists(dir.path("out.vk"))) << c.link;
        fs::remove(link);
    }
}

// What the player would refuse to open or to load is refused with the cause
// the player gives (the file, the line where there is one, the parser's
// message), every faulty file at once, and nothing is written.
TEST_F(PackFixture, FoldersThePlayerWouldRefuseAreRefusedWithTheCause)
{
    struct Case {
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> causes;
    };
    const Case cases[] = {
        {{{"config.xml", "<vekta>\n  <version major=\"1\" minor=\"6\" patch=\"4\">\n</vekta>\n"}},
         {"config.xml:3: Error reading end tag."}},
        {{{"config.xml", TEST_configXml(1, 0, 0, "player")}},
         {"config.xml: the root element is <player>; a document's is <vekta>"}},
        {{{"config.xml", "<vekta>\n  <versions major=\"1\"/>\n</vekta>\n"}},
         {"config.xml: <vekta> has no <version> element"}},
        {{{"config.xml", TEST_configXml(1, 7, 0)}},
         {"config.xml: the document needs player version 1.7.0; this player is 1.6.4"}},
        {{{"init.lua", "function startup()\n  x =\nend\n"}}, {"init.lua:3: unexpected symbol near 'end'"}},
        {{{"models/set.xml", "<models>\n  <objects>\n</models>\n"}}, {"models/set.xml:3: Error reading end tag."}},
        {{{"ui/menu.lua", "\xEF\xBB\xBF#!/usr/bin/env lua\nlocal = 1\n"}, {"ui/a.xml", ""}},
         {"ui/menu.lua:2: <name> expected near '='", "ui/a.xml: Error document empty."}},
    };
    for (const Case &c : cases) {
        TEST_TempDir folder;
        folder.write("config.xml", TEST_configXml(1, 6, 4));
        folder.write("init.lua", "function startup() end\n");
        for (const auto &file : c.files)
            folder.write(file.first, file.second);
        TEST_ProcessResult result = pack({"-o", dir.path("out.vk"), folder.m_sPath});
        EXPECT_EQ(result.m_iExitCode, 1) << c.causes[0];
        for (const std::string &cause : c.causes)
            EXPECT_NE(result.m_sErr.find(cause + "\n"), std::string::npos) << cause << "\n" << result.m_sErr;
        EXPECT_NE(result.m_sErr.find("nothing written"), std::string::npos) << result.m_sErr;
        EXPECT_FALSE(std::filesystem::exists(dir.path("out.vk"))) << c.causes[0];
    }
}

// What the player reads as it is packs: a config.xml without a final line
// break, scripts that start with a byte-order mark or a "#" line, scripts
// that fail only when they run (nothing runs while packing), precompiled
// chunks, XML with a byte-order mark.
TEST_F(PackFixture, WhatThePlayerReadsIsPacked)
{
    const std::string config = TEST_configXml(1, 6, 4);
    dir.write("src/config.xml", config.substr(0, config.size() - 1));
    dir.write("src/init.lua", "\xEF\xBB\xBF#!/usr/bin/env vekta\nfunction startup() end");
    dir.write("src/ui/menu.lua", "#\nos.exit(3)\nerror('runs')\n");
    dir.write("src/ui/compiled.lua", TEST_precompiled("return 1"));
    dir.write("src/models.xml", "\xEF\xBB\xBF<models/>");
    TEST_ProcessResult result = pack({"-o", dir.path("a.vk"), dir.path("src")});
    EXPECT_EQ(result.m_iExitCode, 0) << result.m_sErr;
    EXPECT_EQ(result.m_sErr, "");
    EXPECT_TRUE(std::filesystem::exists(dir.path("a.vk")));
}

// A document that cannot be written to its end leaves what its name held:
// the earlier document stays whole, and no part of the new one is left.
TEST_F(PackFixture, AFailedWriteLeavesTheEarlierDocument)
{
    ASSERT_EQ(pack({"-o", dir.path("a.vk"), dir.path("src")}).m_iExitCode, 0);
    const std::string before = TEST_readText(dir.path("a.vk"));
    dir.write("src/big.bin", std::string(100000, 'x'));
    TEST_ProcessResult result =
        TEST_runWithFileLimit(VEKTA_PACK_EXE, {"--store", "-o", dir.path("a.vk"), dir.path("src")}, 50000);
    EXPECT_EQ(result.m_iExitCode, 1);
    EXPECT_NE(result.m_sErr.find("cannot write " + dir.path("a.vk") + ": File too large"), std::string::npos)
        << result.m_sErr;
    EXPECT_TRUE(TEST_readText(dir.path("a.vk")) == before);
    EXPECT_EQ(TEST_listFolder(dir.m_sPath), (std::vector<std::string>{"a.vk", "src"}));
}

TEST_F(PackFixture, UsageAndKeyErrors)
{
    EXPECT_EQ(pack({}).m_iExitCode, 2);
    EXPECT_EQ(pack({"--bogus"}).m_iExitCode, 2);
    TEST_ProcessResult help = pack({"--help"});
    EXPECT_EQ(help.m_iExitCode, 0);
    for (const char *option : {"-o OUT.vk", "--key FILE", "--store", "--list", "--verify", "--version", "--help"})
        EXPECT_NE(help.m_sOut.find(std::string("  ") + option), std::string::npos) << option;
    TEST_ProcessResult version = pack({"--version"});
    EXPECT_EQ(version.m_iExitCode, 0);
    EXPECT_EQ(version.m_sOut, "vekta-pack 1.6.4\n");
    dir.write("bad.key", "n=00\n");
    TEST_ProcessResult key = pack({"--key", dir.path("bad.key"), "-o", dir.path("x.vk"), dir.path("src")});
    EXPECT_EQ(key.m_iExitCode, 1);
    EXPECT_NE(key.m_sErr.find("key file"), std::string::npos);
    EXPECT_EQ(pack({"-o", dir.path("x.vk"), dir.path("nothing")}).m_iExitCode, 1);
}
