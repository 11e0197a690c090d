// What `cmake --install` puts on a Linux desktop: the player, vekta-pack and
// the built-in document, the applications menu's entry, the document type
// of .vk files and the icons; the entry and the type pass the desktop's own
// checks.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Process.h"

namespace {

const std::string DESKTOP_ENTRY = std::string(VEKTA_BINARY_DIR) + "/desktop/vekta.desktop";
const std::string DOCUMENT_TYPE = std::string(VEKTA_SOURCE_DIR) + "/player/desktop/vekta-document.xml";

bool exists(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// A program of the desktop's tools, which scripts/install-deps installs.
TEST_ProcessResult runTool(const std::string &tool, const std::vector<std::string> &arguments,
                           const TEST_Environment &environment = TEST_Environment())
{
    TEST_ProcessResult result = TEST_run("/usr/bin/" + tool, arguments, environment);
    if (result.m_iExitCode == 127 || !exists("/usr/bin/" + tool))
        ADD_FAILURE() << tool << " is not installed (scripts/install-deps installs it)";
    return result;
}

} // namespace

TEST(DesktopIntegration, TheDesktopEntryIsValid)
{
    TEST_ProcessResult checked = runTool("desktop-file-validate", {DESKTOP_ENTRY});
    EXPECT_EQ(checked.m_iExitCode, 0) << checked.m_sOut << checked.m_sErr;
    // No warnings or hints either.
    EXPECT_EQ(checked.m_sOut + checked.m_sErr, "");
    std::string entry = TEST_readText(DESKTOP_ENTRY);
    EXPECT_NE(entry.find("\nMimeType=application/x-vekta-document;\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("/vekta %F\n"), std::string::npos) << entry;
}

TEST(DesktopIntegration, TheDocumentTypeIsValidAndNamesVkFiles)
{
    TEST_ProcessResult checked = runTool("xmllint", {"--noout", DOCUMENT_TYPE});
    EXPECT_EQ(checked.m_iExitCode, 0) << checked.m_sErr;
    EXPECT_EQ(checked.m_sErr, "");
    // The desktop's database takes it without a complaint and files the
    // glob under the type (the folder is one where the desktop looks, or it
    // says that it is not).
    TEST_TempDir dir;
    dir.write("mime/packages/vekta.xml", TEST_readText(DOCUMENT_TYPE));
    TEST_ProcessResult built =
        runTool("update-mime-database", {dir.path("mime")}, {"XDG_DATA_HOME=" + dir.m_sPath, "XDG_DATA_DIRS"});
    EXPECT_EQ(built.m_iExitCode, 0) << built.m_sErr;
    EXPECT_EQ(built.m_sErr, "");
    EXPECT_NE(TEST_readText(dir.path("mime/globs2")).find(":application/x-vekta-document:*.vk"), std::string::npos);
}

TEST(DesktopIntegration, TheInstalledPlayerFindsItsBuiltInDocument)
{
    TEST_TempDir dir;
    std::string prefix = dir.path("prefix");
    TEST_ProcessResult installed = TEST_run(VEKTA_CMAKE, {"--install", VEKTA_BINARY_DIR, "--prefix", prefix});
    ASSERT_EQ(installed.m_iExitCode, 0) << installed.m_sOut << installed.m_sErr;
    for (const char *path :
         {"bin/vekta", "bin/vekta-pack", "share/vekta/vKorvestrane.vk", "share/applications/vekta.desktop",
          "share/mime/packages/vekta.xml", "share/icons/hicolor/256x256/apps/vekta.png",
          "share/icons/hicolor/48x48/mimetypes/application-x-vekta-document.png"})
        EXPECT_TRUE(exists(prefix + "/" + path)) << path;
    // The type is known at once: the install updated the prefix's database.
    EXPECT_NE(TEST_readText(prefix + "/share/mime/globs2").find("application/x-vekta-document:*.vk"),
              std::string::npos);
    EXPECT_NE(TEST_readText(prefix + "/share/applications/vekta.desktop").find("Exec=" + prefix + "/bin/vekta %F"),
              std::string::npos);
    // Run from the prefix, the player plays the document of its share
    // folder.
    TEST_ProcessResult played = TEST_run(prefix + "/bin/vekta", {"--headless", "--frames", "1"});
    EXPECT_EQ(played.m_iExitCode, 0) << played.m_sErr;
    EXPECT_NE(played.m_sErr.find("Welcome to Vekta."), std::string::npos) << played.m_sErr;
    EXPECT_NE(played.m_sErr.find("share/vekta/vKorvestrane.vk loaded"), std::string::npos) << played.m_sErr;
}
