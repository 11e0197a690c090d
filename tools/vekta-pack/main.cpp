// vekta-pack: makes, lists and verifies documents.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "controller/CTRL_Generic.h"
#include "controller/CTRL_MemberIndex.h"
#include "foundation/UTIL_Keystream.h"
#include "foundation/UTIL_OutputFile.h"
#include "tools/pack/PACK_Document.h"
#include "tools/vekta-pack/PACK_Check.h"

static void usage(FILE *out)
{
    fprintf(out,
            "usage: vekta-pack [--key FILE] [--store] -o OUT.vk FOLDER\n"
            "       vekta-pack --list FILE.vk\n"
            "       vekta-pack --verify FILE.vk\n"
            "       vekta-pack --version | --help\n"
            "\n"
            "  -o OUT.vk     pack every file under FOLDER into a signed document;\n"
            "                FOLDER needs config.xml and init.lua at its top; nothing is\n"
            "                written when the player would refuse config.xml, a .lua file\n"
            "                does not compile or a .xml file does not parse, or a link\n"
            "                leads out of FOLDER; a write that fails leaves OUT.vk as it\n"
            "                was\n"
            "  --key FILE    private key file (n=, e=, d= lines); default %s\n"
            "  --store       store members without compression\n"
            "  --list        print the members of a document with their sizes, then check it\n"
            "  --verify      check the signature and config.xml as the player does\n"
            "  --version     print the version of vekta-pack\n"
            "  --help        print this help\n"
            "\n"
            "--list and --verify exit with status 1 when the player would refuse the document.\n",
            VEKTA_DEFAULT_KEY);
}

// Each line of error, after the tool's name.
static int fail(const std::string &error)
{
    for (size_t start = 0; start <= error.size();) {
        size_t end = error.find('\n', start);
        if (end == std::string::npos)
            end = error.size();
        fprintf(stderr, "vekta-pack: %.*s\n", static_cast<int>(end - start), error.c_str() + start);
        start = end + 1;
    }
    return 1;
}

// Writes the document as an output file: one that cannot be written to its
// end leaves what the name held (an earlier document stays whole).
static bool writeDocument(const std::string &path, const std::vector<unsigned char> &bytes, std::string &error)
{
    UTIL_OutputFile out;
    if (!out.open(path.c_str())) {
        error = "cannot write " + path + ": " + out.error();
        return false;
    }
    if (fwrite(bytes.data(), 1, bytes.size(), out.file()) != bytes.size()) {
        error = "cannot write " + path + ": " + strerror(errno);
        return false;
    }
    if (!out.commit()) {
        error = "cannot write " + path + ": " + out.error();
        return false;
    }
    return true;
}

// Packs a folder into a signed document. A folder the player would refuse,
// or one that holds a script or an XML file the player could not read, is
// refused before anything is written.
static int pack(const std::string &keyPath, bool store, const std::string &output, const std::string &folder)
{
    std::string error;
    PACK_Key key;
    std::vector<PACK_Member> members;
    std::vector<unsigned char> document;
    if (!PACK_readFolder(folder, members, error))
        return fail(error + "\n" + folder + ": nothing written");
    if (!PACK_checkMembers(members, error))
        return fail(folder + ": " + error);
    if (!PACK_checkContents(members))
        return fail(folder + ": nothing written, as the player would refuse each file named above");
    if (!PACK_readKey(keyPath, key, error) || !PACK_makeDocument(members, key, store, document, error) ||
        !writeDocument(output, document, error))
        return fail(error);
    return 0;
}

// Opens the document as the player does; its reasons for a refusal go to
// standard error. With report, says on standard output what held.
static bool check(const std::string &path, bool report)
{
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    bool ok = controller.openDocument(path.c_str());
    // Opening reaches the configuration only once the signature held.
    if (report && controller.m_iLoadStage >= CTRL_STAGE_CONFIGURATION)
        printf("signature: valid, made with the key this player accepts\n");
    if (ok && report)
        printf("config.xml: version %d.%d.%d (this player opens %d.%d.%d and older)\n", controller.m_iVersionMajor,
               controller.m_iVersionMinor, controller.m_iVersionPatch, CTRL_kiPlayerVersionMajor,
               CTRL_kiPlayerVersionMinor, CTRL_kiPlayerVersionPatch);
    if (!ok)
        fprintf(stderr, "%s\n", controller.m_sErrorText != nullptr ? controller.m_sErrorText : "Cannot read the file.");
    return ok;
}

static int list(const std::string &path)
{
    std::string error;
    std::vector<unsigned char> bytes;
    if (!PACK_readFile(path, bytes, error))
        return fail(error);
    UTIL_scrambleDocument(bytes.data(), bytes.size());
    uint64_t offset = 0;
    CTRL_MemberEntry entry;
    printf("%10s %10s %-7s %s\n", "size", "packed", "method", "name");
    while (CTRL_nextMember(bytes.data(), bytes.size(), offset, entry))
        printf("%10u %10u %s %.*s\n", entry.m_uiUncompressedSize, entry.m_uiCompressedSize,
               entry.m_iMethod == 8   ? "deflate"
               : entry.m_iMethod == 0 ? "stored "
                                      : "unknown",
               entry.m_iNameLength, entry.m_pcName);
    fflush(stdout);
    return check(path, false) ? 0 : 1;
}

int main(int argc, char **argv)
{
    std::string key = VEKTA_DEFAULT_KEY, output, folder, listPath, verifyPath;
    bool store = false;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--version") {
            printf("vekta-pack %s\n", VEKTA_VERSION);
            return 0;
        } else if (arg == "--key" && hasValue) {
            key = argv[++i];
        } else if (arg == "--store") {
            store = true;
        } else if (arg == "-o" && hasValue) {
            output = argv[++i];
        } else if (arg == "--list" && hasValue) {
            listPath = argv[++i];
        } else if (arg == "--verify" && hasValue) {
            verifyPath = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && folder.empty()) {
            folder = arg;
        } else {
            usage(stderr);
            return 2;
        }
    }
    if (!listPath.empty() && output.empty() && verifyPath.empty() && folder.empty())
        return list(listPath);
    if (!verifyPath.empty() && output.empty() && listPath.empty() && folder.empty())
        return check(verifyPath, true) ? 0 : 1;
    if (!output.empty() && !folder.empty() && listPath.empty() && verifyPath.empty())
        return pack(key, store, output, folder);
    usage(stderr);
    return 2;
}
