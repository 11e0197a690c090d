#pragma once

#include <string>
#include <vector>

// One file to put into a document.
struct PACK_Member {
    std::string m_sName; // '/'-separated, relative to the document's root
    std::vector<unsigned char> m_aucData;
};

// The signing key: big-endian modulus, public and private exponents.
struct PACK_Key {
    std::vector<unsigned char> m_aucModulus;
    std::vector<unsigned char> m_aucPublicExponent;
    std::vector<unsigned char> m_aucPrivateExponent;
};

// Reads a key file of the lines n=HEX, e=HEX and d=HEX. False with a message
// when the file does not open or lacks a line.
bool PACK_readKey(const std::string &path, PACK_Key &key, std::string &error);

// Every regular file under a folder, sorted by name. A member's name is the
// file's path inside the folder ('/'-separated). A link that leads to a file
// or a folder inside the folder is read under its own name (a folder's files
// under the link's path); one that leads out of the folder, or to a folder
// that holds the link, is refused: false, with one line for each such link
// (its path, then why) in error.
bool PACK_readFolder(const std::string &folder, std::vector<PACK_Member> &members, std::string &error);

// Whether the members make a document the player can start: a config.xml
// and an init.lua at the top. False with a message naming what is missing.
bool PACK_checkMembers(const std::vector<PACK_Member> &members, std::string &error);

// A ZIP archive of the members in the given order: local headers with sizes
// and CRC-32, a central directory and the end record, all timestamps fixed.
// Each member is deflated unless store is set or deflate does not shrink it.
std::vector<unsigned char> PACK_writeZip(const std::vector<PACK_Member> &members, bool store);

// Appends the 128-byte signature of the body's MD5 (signed as a bare integer
// with the private key), then scrambles the whole file with the keystream.
bool PACK_signAndScramble(std::vector<unsigned char> &body, const PACK_Key &key, std::string &error);

// A whole document from members: zip, sign, scramble.
bool PACK_makeDocument(const std::vector<PACK_Member> &members, const PACK_Key &key, bool store,
                       std::vector<unsigned char> &document, std::string &error);

bool PACK_writeFile(const std::string &path, const std::vector<unsigned char> &bytes, std::string &error);
bool PACK_readFile(const std::string &path, std::vector<unsigned char> &bytes, std::string &error);
