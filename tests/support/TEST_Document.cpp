#include "tests/support/TEST_Document.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "foundation/UTIL_Bitmap.h"

const PACK_Key &TEST_devKey()
{
    static PACK_Key key;
    static bool loaded = false;
    if (!loaded) {
        std::string error;
        loaded = PACK_readKey(VEKTA_DEV_KEY, key, error);
        if (!loaded)
            ADD_FAILURE() << error;
    }
    return key;
}

std::string TEST_configXml(int major, int minor, int patch, const char *root)
{
    std::ostringstream out;
    out << "<?xml version=\"1.0\"?>\n<" << root << ">\n  <version major=\"" << major << "\" minor=\"" << minor
        << "\" patch=\"" << patch << "\"/>\n</" << root << ">\n";
    return out.str();
}

TEST_DocumentBuilder::TEST_DocumentBuilder(bool withConfig)
{
    if (withConfig)
        add("config.xml", TEST_configXml(1, 6, 4));
}

TEST_DocumentBuilder &TEST_DocumentBuilder::add(const std::string &name, const std::string &text)
{
    return add(name, std::vector<unsigned char>(text.begin(), text.end()));
}

TEST_DocumentBuilder &TEST_DocumentBuilder::add(const std::string &name, const std::vector<unsigned char> &bytes)
{
    for (PACK_Member &member : m_aoMembers)
        if (member.m_sName == name) {
            member.m_aucData = bytes;
            return *this;
        }
    m_aoMembers.push_back(PACK_Member{name, bytes});
    return *this;
}

TEST_DocumentBuilder &TEST_DocumentBuilder::store(bool stored)
{
    m_bStore = stored;
    return *this;
}

std::vector<unsigned char> TEST_DocumentBuilder::zip() const
{
    return PACK_writeZip(m_aoMembers, m_bStore);
}

std::vector<unsigned char> TEST_DocumentBuilder::build() const
{
    return seal(zip());
}

std::vector<unsigned char> TEST_DocumentBuilder::seal(std::vector<unsigned char> body)
{
    std::string error;
    if (!PACK_signAndScramble(body, TEST_devKey(), error))
        ADD_FAILURE() << error;
    return body;
}

TEST_TempDir::TEST_TempDir()
{
    char pattern[] = "/tmp/vekta-test-XXXXXX";
    char *made = mkdtemp(pattern);
    if (made == nullptr)
        ADD_FAILURE() << "cannot make a temporary folder";
    m_sPath = made != nullptr ? made : "/tmp";
}

TEST_TempDir::~TEST_TempDir()
{
    std::error_code ec;
    if (m_sPath != "/tmp")
        std::filesystem::remove_all(m_sPath, ec);
}

std::string TEST_TempDir::path(const std::string &name) const
{
    return m_sPath + "/" + name;
}

std::string TEST_TempDir::write(const std::string &name, const std::vector<unsigned char> &bytes) const
{
    std::string full = path(name);
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::string error;
    if (!PACK_writeFile(full, bytes, error))
        ADD_FAILURE() << error;
    return full;
}

std::string TEST_TempDir::write(const std::string &name, const std::string &text) const
{
    return write(name, std::vector<unsigned char>(text.begin(), text.end()));
}

TEST_DocumentBuilder TEST_builtInMembers()
{
    TEST_DocumentBuilder document(false);
    const std::string folder = std::string(VEKTA_SOURCE_DIR) + "/documents/vKorvestrane/";
    for (const char *name : {"config.xml", "init.lua", "scene.xml", "chime.ogg"})
        document.add(name, TEST_readText(folder + name));
    return document;
}

std::vector<std::string> TEST_listFolder(const std::string &path)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(path, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string TEST_readText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void TEST_readPng(const std::string &path, UTIL_Bitmap &image)
{
    std::string bytes = TEST_readText(path);
    image.decode(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), path.c_str());
}

const unsigned char *TEST_pixelFromTop(const UTIL_Bitmap &image, int x, int y)
{
    return image.m_pucData + ((image.m_iHeight - 1 - y) * image.m_iWidth + x) * image.m_iComponents;
}
