#include "tools/pack/PACK_Document.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <tommath.h>
#include <zlib.h>

#include "foundation/UTIL_Keystream.h"
#include "foundation/UTIL_MD5.h"

namespace {

const size_t SIGNATURE_SIZE = 128;
// 1980-01-01 00:00:00, the earliest ZIP date: the same folder gives the same bytes.
const uint16_t FIXED_TIME = 0;
const uint16_t FIXED_DATE = (0 << 9) | (1 << 5) | 1;

void put16(std::vector<unsigned char> &out, uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void put32(std::vector<unsigned char> &out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

bool parseHex(const std::string &hex, std::vector<unsigned char> &out)
{
    if (hex.empty() || hex.size() % 2 != 0)
        return false;
    out.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        unsigned value;
        if (sscanf(hex.c_str() + i, "%2x", &value) != 1)
            return false;
        out.push_back(static_cast<unsigned char>(value));
    }
    return true;
}

// Raw deflate (no zlib header), as ZIP stores it; empty when it fails.
std::vector<unsigned char> deflateRaw(const std::vector<unsigned char> &data)
{
    z_stream stream;
    memset(&stream, 0, sizeof(stream));
    if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::vector<unsigned char> out(deflateBound(&stream, data.size()) + 16);
    stream.next_in = const_cast<unsigned char *>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    int result = deflate(&stream, Z_FINISH);
    size_t produced = stream.total_out;
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        return {};
    out.resize(produced);
    return out;
}

} // namespace

bool PACK_readKey(const std::string &path, PACK_Key &key, std::string &error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot open key file " + path;
        return false;
    }
    std::string line;
    bool n = false, e = false, d = false;
    while (std::getline(in, line)) {
        if (line.size() > 2 && line.compare(0, 2, "n=") == 0)
            n = parseHex(line.substr(2), key.m_aucModulus);
        else if (line.size() > 2 && line.compare(0, 2, "e=") == 0)
            e = parseHex(line.substr(2), key.m_aucPublicExponent);
        else if (line.size() > 2 && line.compare(0, 2, "d=") == 0)
            d = parseHex(line.substr(2), key.m_aucPrivateExponent);
    }
    if (!n || !e || !d) {
        error = "key file " + path + " needs the lines n=HEX, e=HEX and d=HEX";
        return false;
    }
    if (key.m_aucModulus.size() != SIGNATURE_SIZE) {
        error = "key file " + path + ": the modulus must have 128 bytes";
        return false;
    }
    return true;
}

namespace {

namespace fs = std::filesystem;

// Whether path is base or lies beneath it (both canonical).
bool isWithin(const fs::path &path, const fs::path &base)
{
    return std::mismatch(base.begin(), base.end(), path.begin(), path.end()).first == base.end();
}

// Reads a folder's files into members, walking down its folders. A member's
// name is the file's path inside the packed folder, prefix the path of this
// folder there. walking holds the canonical paths of the folders open from
// the packed folder (its front) down to this one: a link that leads to one
// of them would be walked for ever. A refused link adds a line to refused.
struct FolderWalk {
    std::vector<PACK_Member> &m_aoMembers;
    std::string &m_sRefused;
    std::vector<fs::path> m_aoWalking;

    bool walk(const fs::path &folder, const std::string &prefix, std::string &error);
    bool addFile(const fs::path &file, const std::string &name, std::string &error);
    bool followLink(const fs::path &link, const std::string &name, std::string &error);
    void refuse(const fs::path &link, const std::string &why);
};

bool FolderWalk::walk(const fs::path &folder, const std::string &prefix, std::string &error)
{
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path &path = it->path();
        const std::string name = prefix + path.filename().string();
        fs::file_status status = it->symlink_status(ec);
        bool ok = true;
        if (ec)
            break;
        if (fs::is_symlink(status)) {
            ok = followLink(path, name, error);
        } else if (fs::is_directory(status)) {
            m_aoWalking.push_back(m_aoWalking.back() / path.filename());
            ok = walk(path, name + "/", error);
            m_aoWalking.pop_back();
        } else if (fs::is_regular_file(status)) {
            ok = addFile(path, name, error);
        }
        if (!ok)
            return false;
    }
    if (ec) {
        error = folder.string() + ": " + ec.message();
        return false;
    }
    return true;
}

bool FolderWalk::addFile(const fs::path &file, const std::string &name, std::string &error)
{
    PACK_Member member;
    member.m_sName = name;
    if (!PACK_readFile(file.string(), member.m_aucData, error))
        return false;
    m_aoMembers.push_back(std::move(member));
    return true;
}

// A link is packed under its own name when it leads to a file or a folder
// inside the packed folder; one that leads out of it, or back to a folder
// that holds it, is refused. One that leads nowhere is no file, and is left
// out as other things that are no files are.
bool FolderWalk::followLink(const fs::path &link, const std::string &name, std::string &error)
{
    std::error_code ec;
    fs::path target = fs::read_symlink(link, ec);
    fs::path resolved;
    if (!ec)
        resolved = fs::weakly_canonical(fs::canonical(link.parent_path(), ec) / target, ec);
    if (ec) {
        error = link.string() + ": " + ec.message();
        return false;
    }
    if (!isWithin(resolved, m_aoWalking.front())) {
        refuse(link, "a link to " + target.string() + ", which leads out of the folder");
        return true;
    }
    fs::file_status status = fs::status(resolved, ec);
    if (fs::is_regular_file(status))
        return addFile(link, name, error);
    if (!fs::is_directory(status))
        return true;
    if (std::find(m_aoWalking.begin(), m_aoWalking.end(), resolved) != m_aoWalking.end()) {
        refuse(link, "a link to " + target.string() + ", a folder that holds the link");
        return true;
    }
    m_aoWalking.push_back(resolved);
    bool ok = walk(link, name + "/", error);
    m_aoWalking.pop_back();
    return ok;
}

void FolderWalk::refuse(const fs::path &link, const std::string &why)
{
    m_sRefused += (m_sRefused.empty() ? "" : "\n") + link.string() + ": " + why;
}

} // namespace

bool PACK_readFolder(const std::string &folder, std::vector<PACK_Member> &members, std::string &error)
{
    std::error_code ec;
    fs::path root = fs::canonical(folder, ec);
    if (ec || !fs::is_directory(root, ec)) {
        error = folder + " is not a folder";
        return false;
    }
    members.clear();
    std::string refused;
    FolderWalk walk{members, refused, {root}};
    if (!walk.walk(fs::path(folder), "", error))
        return false;
    if (!refused.empty()) {
        error = refused;
        return false;
    }
    std::sort(members.begin(), members.end(),
              [](const PACK_Member &a, const PACK_Member &b) { return a.m_sName < b.m_sName; });
    return true;
}

bool PACK_checkMembers(const std::vector<PACK_Member> &members, std::string &error)
{
    std::string missing;
    for (const char *required : {"config.xml", "init.lua"}) {
        bool found = std::any_of(members.begin(), members.end(),
                                 [required](const PACK_Member &member) { return member.m_sName == required; });
        if (!found)
            missing += (missing.empty() ? "no " : " and no ") + std::string(required);
    }
    if (missing.empty())
        return true;
    error = missing + " at the top of the folder: a document needs config.xml (the player version it needs) and " +
            "init.lua (the script the player runs first)";
    return false;
}

std::vector<unsigned char> PACK_writeZip(const std::vector<PACK_Member> &members, bool store)
{
    std::vector<unsigned char> zip;
    std::vector<unsigned char> directory;
    for (const PACK_Member &member : members) {
        uint32_t crc =
            static_cast<uint32_t>(crc32(0, member.m_aucData.data(), static_cast<uInt>(member.m_aucData.size())));
        std::vector<unsigned char> packed;
        uint16_t method = 0;
        if (!store && !member.m_aucData.empty()) {
            packed = deflateRaw(member.m_aucData);
            if (!packed.empty() && packed.size() < member.m_aucData.size())
                method = 8;
        }
        const std::vector<unsigned char> &data = method == 8 ? packed : member.m_aucData;
        uint32_t offset = static_cast<uint32_t>(zip.size());

        put32(zip, 0x04034b50u);
        put16(zip, 20);
        put16(zip, 0);
        put16(zip, method);
        put16(zip, FIXED_TIME);
        put16(zip, FIXED_DATE);
        put32(zip, crc);
        put32(zip, static_cast<uint32_t>(data.size()));
        put32(zip, static_cast<uint32_t>(member.m_aucData.size()));
        put16(zip, static_cast<uint32_t>(member.m_sName.size()));
        put16(zip, 0);
        zip.insert(zip.end(), member.m_sName.begin(), member.m_sName.end());
        zip.insert(zip.end(), data.begin(), data.end());

        put32(directory, 0x02014b50u);
        put16(directory, 20);
        put16(directory, 20);
        put16(directory, 0);
        put16(directory, method);
        put16(directory, FIXED_TIME);
        put16(directory, FIXED_DATE);
        put32(directory, crc);
        put32(directory, static_cast<uint32_t>(data.size()));
        put32(directory, static_cast<uint32_t>(member.m_aucData.size()));
        put16(directory, static_cast<uint32_t>(member.m_sName.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, offset);
        directory.insert(directory.end(), member.m_sName.begin(), member.m_sName.end());
    }
    uint32_t directoryOffset = static_cast<uint32_t>(zip.size());
    zip.insert(zip.end(), directory.begin(), directory.end());
    put32(zip, 0x06054b50u);
    put16(zip, 0);
    put16(zip, 0);
    put16(zip, static_cast<uint32_t>(members.size()));
    put16(zip, static_cast<uint32_t>(members.size()));
    put32(zip, static_cast<uint32_t>(directory.size()));
    put32(zip, directoryOffset);
    put16(zip, 0);
    return zip;
}

bool PACK_signAndScramble(std::vector<unsigned char> &body, const PACK_Key &key, std::string &error)
{
    unsigned char digest[16];
    UTIL_md5(body.data(), body.size(), digest);

    mp_int d, n, x, s;
    if (mp_init_multi(&d, &n, &x, &s, nullptr) != MP_OKAY) {
        error = "out of memory";
        return false;
    }
    unsigned char signature[SIGNATURE_SIZE];
    size_t written = 0;
    bool ok = mp_from_ubin(&x, digest, sizeof(digest)) == MP_OKAY &&
              mp_from_ubin(&d, key.m_aucPrivateExponent.data(), key.m_aucPrivateExponent.size()) == MP_OKAY &&
              mp_from_ubin(&n, key.m_aucModulus.data(), key.m_aucModulus.size()) == MP_OKAY &&
              mp_exptmod(&x, &d, &n, &s) == MP_OKAY && mp_ubin_size(&s) <= SIGNATURE_SIZE &&
              mp_to_ubin(&s, signature + SIGNATURE_SIZE - mp_ubin_size(&s), mp_ubin_size(&s), &written) == MP_OKAY;
    size_t leading = SIGNATURE_SIZE - written;
    mp_clear_multi(&d, &n, &x, &s, nullptr);
    if (!ok) {
        error = "signing failed";
        return false;
    }
    memset(signature, 0, leading); // big-endian, padded to 128 bytes
    body.insert(body.end(), signature, signature + SIGNATURE_SIZE);
    UTIL_scrambleDocument(body.data(), body.size());
    return true;
}

bool PACK_makeDocument(const std::vector<PACK_Member> &members, const PACK_Key &key, bool store,
                       std::vector<unsigned char> &document, std::string &error)
{
    document = PACK_writeZip(members, store);
    return PACK_signAndScramble(document, key, error);
}

bool PACK_writeFile(const std::string &path, const std::vector<unsigned char> &bytes, std::string &error)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot write " + path;
        return false;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = fclose(file) == 0 && ok;
    if (!ok)
        error = "cannot write " + path;
    return ok;
}

bool PACK_readFile(const std::string &path, std::vector<unsigned char> &bytes, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}
