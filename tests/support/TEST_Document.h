#pragma once

#include <string>
#include <vector>

#include "tools/pack/PACK_Document.h"

class UTIL_Bitmap;

// The development key from keys/, loaded once.
const PACK_Key &TEST_devKey();

// The text of a config.xml asking for a player version.
std::string TEST_configXml(int major, int minor, int patch, const char *root = "vekta");

// Builds documents in memory for tests: members in the given order.
class TEST_DocumentBuilder {
public:
    // Starts with a config.xml for 1.6.4 unless withConfig is false.
    explicit TEST_DocumentBuilder(bool withConfig = true);
    TEST_DocumentBuilder &add(const std::string &name, const std::string &text);
    TEST_DocumentBuilder &add(const std::string &name, const std::vector<unsigned char> &bytes);
    TEST_DocumentBuilder &store(bool stored = true);

    // The plain ZIP body (no signature, not scrambled).
    std::vector<unsigned char> zip() const;
    // A signed, scrambled document of the members.
    std::vector<unsigned char> build() const;
    // Signs and scrambles an arbitrary body (for hand-made archives).
    static std::vector<unsigned char> seal(std::vector<unsigned char> body);

    std::vector<PACK_Member> m_aoMembers;
    bool m_bStore = false;
};

// A fresh folder under the system's temporary folder, removed with its files.
class TEST_TempDir {
public:
    TEST_TempDir();
    ~TEST_TempDir();
    std::string path(const std::string &name) const;
    std::string write(const std::string &name, const std::vector<unsigned char> &bytes) const;
    std::string write(const std::string &name, const std::string &text) const;

    std::string m_sPath;
};

std::string TEST_readText(const std::string &path);
// The names in a folder (without "." and ".."), sorted; empty when it cannot
// be read.
std::vector<std::string> TEST_listFolder(const std::string &path);
// A builder holding the built-in document's members, read from its folder
// (the build packs the same files).
TEST_DocumentBuilder TEST_builtInMembers();

// The PNG file as a bitmap (rows bottom-up); empty when it cannot be read.
void TEST_readPng(const std::string &path, UTIL_Bitmap &image);
// The pixel at x, y counted from the top left of such a bitmap.
const unsigned char *TEST_pixelFromTop(const UTIL_Bitmap &image, int x, int y);
