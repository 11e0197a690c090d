#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/mman.h>

#include <tommath.h>
#include <zlib.h>

#include "controller/CTRL_Config.h"
#include "controller/CTRL_Generic.h"
#include "controller/CTRL_MemberIndex.h"
#include "controller/CTRL_PublicKey.h"
#include "foundation/UTIL_Keystream.h"
#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_MD5.h"

// The signature trailer at the end of a document.
static const int SIGNATURE_SIZE = 128;
// Deflate never expands data by more than about 1032 to 1: a header that
// claims more is corrupt, and its size is not allocated.
static const uint64_t MAX_DEFLATE_RATIO = 1032;

// Asks the kernel to provide the pages of a fresh buffer in one call rather
// than one fault at a time (Linux 5.14 and later; elsewhere nothing happens).
static void prefault(void *buffer, size_t size)
{
#ifdef MADV_POPULATE_WRITE
    const uintptr_t page = 4096;
    uintptr_t first = (reinterpret_cast<uintptr_t>(buffer) + page - 1) & ~(page - 1);
    uintptr_t last = (reinterpret_cast<uintptr_t>(buffer) + size) & ~(page - 1);
    if (last > first)
        madvise(reinterpret_cast<void *>(first), last - first, MADV_POPULATE_WRITE);
#else
    (void)buffer;
    (void)size;
#endif
}

bool CTRL_Generic::openDocument(const char *path)
{
    if (path == nullptr)
        return false;
    FILE *file = fopen(path, "rb");
    free(m_sDocumentPath);
    m_sDocumentPath = strdup(path);
    if (file == nullptr) {
        reportError("Document %s not found", path);
        return false;
    }
    long size = -1;
    if (fseek(file, 0, SEEK_END) == 0)
        size = ftell(file);
    if (size <= 0 || size > INT_MAX || fseek(file, 0, SEEK_SET) != 0) {
        fclose(file);
        return false;
    }
    UTIL_DynArray<char, 128> *bytes = new UTIL_DynArray<char, 128>(static_cast<int>(size));
    // The file is mapped and descrambled straight into the document buffer:
    // one pass over the bytes instead of a read and then a descramble.
    void *mapping = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fileno(file), 0);
    prefault(bytes->m_pData, static_cast<size_t>(size));
    if (mapping != MAP_FAILED) {
        fclose(file);
        bool ok = loadDocument(bytes, static_cast<const unsigned char *>(mapping));
        munmap(mapping, static_cast<size_t>(size));
        return ok;
    }
    size_t got = fread(bytes->m_pData, 1, static_cast<size_t>(size), file);
    fclose(file);
    if (got != static_cast<size_t>(size)) {
        delete bytes;
        return false;
    }
    return loadDocument(bytes, nullptr);
}

bool CTRL_Generic::openDocumentBytes(const char *path, const unsigned char *data, size_t size)
{
    free(m_sDocumentPath);
    m_sDocumentPath = strdup(path != nullptr ? path : "");
    if (data == nullptr || size == 0 || size > INT_MAX)
        return false;
    UTIL_DynArray<char, 128> *bytes = new UTIL_DynArray<char, 128>(static_cast<int>(size));
    return loadDocument(bytes, data);
}

bool CTRL_Generic::loadDocument(UTIL_DynArray<char, 128> *bytes, const unsigned char *scrambled)
{
    delete m_poMemberIndex;
    m_poMemberIndex = nullptr;
    delete m_poDocument;
    m_poDocument = bytes;
    if (bytes->m_iCount != 0) {
        if (!verifyDocumentFrom(scrambled))
            UTIL_warn("%s: the signature does not match the contents (the file is damaged, or signed with "
                      "another key)",
                      m_sDocumentPath);
        else if (checkConfig())
            return true;
    }
    reportError("Problem reading %s.\nCheck with your content provider.", m_sDocumentPath);
    delete m_poMemberIndex;
    m_poMemberIndex = nullptr;
    delete m_poDocument;
    m_poDocument = nullptr;
    return false;
}

bool CTRL_Generic::verifyDocument()
{
    return verifyDocumentFrom(nullptr);
}

bool CTRL_Generic::verifyDocumentFrom(const unsigned char *scrambled)
{
    if (m_poDocument == nullptr)
        return false;
    unsigned char *data = reinterpret_cast<unsigned char *>(m_poDocument->m_pData);
    const unsigned char *source = scrambled != nullptr ? scrambled : data;
    uint64_t size = static_cast<uint64_t>(m_poDocument->m_iCount);
    UTIL_scrambleSeeded();
    // A file too short to hold the trailer carries no signature.
    if (size < static_cast<uint64_t>(SIGNATURE_SIZE)) {
        UTIL_scrambleRangeCopy(data, source, size, 0, size);
        UTIL_finishScramble(size);
        return false;
    }

    // Descramble and digest piece by piece, so that each piece is still in
    // the cache when MD5 reads it.
    const uint64_t body = size - SIGNATURE_SIZE;
    const uint64_t piece = 256 * 1024;
    UTIL_MD5Context context;
    UTIL_md5Init(&context);
    for (uint64_t at = 0; at < size; at += piece) {
        uint64_t end = at + piece < size ? at + piece : size;
        UTIL_scrambleRangeCopy(data, source, size, at, end);
        if (at < body)
            UTIL_md5Update(&context, data + at, static_cast<uint32_t>((end < body ? end : body) - at));
    }
    UTIL_finishScramble(size);
    UTIL_md5Final(&context);
    const unsigned char *digest = context.m_aucDigest;

    mp_int s, n, e, d, m;
    if (mp_init_multi(&s, &n, &e, &d, &m, nullptr) != MP_OKAY)
        return false;
    bool ok = mp_from_ubin(&s, data + size - SIGNATURE_SIZE, SIGNATURE_SIZE) == MP_OKAY &&
              mp_from_ubin(&n, CTRL_kaucPublicModulus, CTRL_PUBLIC_MODULUS_SIZE) == MP_OKAY &&
              mp_from_ubin(&e, CTRL_kaucPublicExponent, CTRL_PUBLIC_EXPONENT_SIZE) == MP_OKAY &&
              mp_from_ubin(&d, digest, 16) == MP_OKAY && mp_exptmod(&s, &e, &n, &m) == MP_OKAY &&
              mp_cmp(&m, &d) == MP_EQ;
    mp_clear_multi(&s, &n, &e, &d, &m, nullptr);
    return ok;
}

bool CTRL_Generic::checkConfig()
{
    m_iLoadStage = CTRL_STAGE_CONFIGURATION;
    unsigned char *text = nullptr;
    int size = 0;
    bool owned = extractMember("config.xml", &text, &size, true);
    if (text == nullptr) {
        if (!hasMember("config.xml"))
            UTIL_warn("config.xml: not in the document (it belongs at the top of the document's folder)");
        return false;
    }

    bool accepted =
        CTRL_checkConfigText(reinterpret_cast<const char *>(text), m_iVersionMajor, m_iVersionMinor, m_iVersionPatch);
    if (owned)
        free(text);
    return accepted;
}

const CTRL_MemberEntry *CTRL_Generic::findMember(const char *name)
{
    if (m_poDocument == nullptr || name == nullptr)
        return nullptr;
    if (m_poMemberIndex == nullptr)
        m_poMemberIndex = new CTRL_MemberIndex(reinterpret_cast<const unsigned char *>(m_poDocument->m_pData),
                                               static_cast<uint64_t>(m_poDocument->m_iCount));
    return m_poMemberIndex->find(name);
}

bool CTRL_Generic::hasMember(const char *name)
{
    return findMember(name) != nullptr;
}

// Inflates a raw deflate stream into exactly expected bytes; false when the
// stream is corrupt, ends early or holds more.
static bool inflateMember(const unsigned char *in, uint32_t inSize, unsigned char *out, uint32_t expected)
{
    z_stream stream;
    memset(&stream, 0, sizeof(stream));
    if (inflateInit2(&stream, -15) != Z_OK)
        return false;
    stream.next_in = const_cast<unsigned char *>(in);
    stream.avail_in = inSize;
    stream.next_out = out;
    stream.avail_out = expected;
    int result = inflate(&stream, Z_FINISH);
    bool ok = result == Z_STREAM_END && stream.total_out == expected;
    inflateEnd(&stream);
    return ok;
}

bool CTRL_Generic::extractMember(const char *name, unsigned char **data, int *size, bool asText)
{
    *data = nullptr;
    *size = 0;
    const CTRL_MemberEntry *entry = findMember(name);
    if (entry == nullptr)
        return false;

    unsigned char *document = reinterpret_cast<unsigned char *>(m_poDocument->m_pData);
    const unsigned char *stored = document + entry->m_uiDataOffset;
    bool owned;
    if (entry->m_iMethod == 8) {
        uint64_t expected = entry->m_uiUncompressedSize;
        if (expected > INT_MAX - 1 ||
            expected > static_cast<uint64_t>(entry->m_uiCompressedSize) * MAX_DEFLATE_RATIO + 64) {
            reportError("Corrupt size of file %s", name);
            return false;
        }
        unsigned char *buffer = static_cast<unsigned char *>(malloc(expected + 1));
        if (buffer == nullptr ||
            !inflateMember(stored, entry->m_uiCompressedSize, buffer, static_cast<uint32_t>(expected))) {
            free(buffer);
            reportError("Corrupt compressed data in file %s", name);
            return false;
        }
        *data = buffer;
        *size = static_cast<int>(expected);
        owned = true;
    } else if (entry->m_iMethod == 0) {
        *data = const_cast<unsigned char *>(stored);
        *size = static_cast<int>(entry->m_uiCompressedSize);
        owned = false;
    } else {
        reportError("Unknown compression type for file %s", name);
        return false;
    }

    if (asText) {
        // A text is the whole member with a terminator after its last byte.
        // A deflated member's buffer has room for it; a stored one is copied,
        // since the byte after it in the document belongs to the next header.
        if (!owned) {
            unsigned char *copy = static_cast<unsigned char *>(malloc(static_cast<size_t>(*size) + 1));
            if (copy == nullptr) {
                *data = nullptr;
                *size = 0;
                reportError("No memory for file %s", name);
                return false;
            }
            if (*size > 0)
                memcpy(copy, *data, static_cast<size_t>(*size));
            *data = copy;
            owned = true;
        }
        (*data)[*size] = 0;
    }
    return owned;
}
