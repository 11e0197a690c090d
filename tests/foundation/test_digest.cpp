#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/UTIL_Id.h"
#include "foundation/UTIL_Keystream.h"
#include "foundation/UTIL_MD5.h"

static std::string hex(const unsigned char *bytes, int n)
{
    std::string out;
    char two[3];
    for (int i = 0; i < n; i++) {
        snprintf(two, sizeof(two), "%02x", bytes[i]);
        out += two;
    }
    return out;
}

TEST(MD5, KnownDigests)
{
    struct Case {
        const char *message, *digest;
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        // The last block holds 55 bytes (room for the padding byte and the
        // length), 56 and 63 (the length spills into another block) and 64.
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "ef1772b6dff9a122358552954ad0df65"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "8215ef0796a20bcaaae116d3876c664a"},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "b06521f39153d618550606be297466d5"},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "014842d480b571495a4a0363793f7367"},
    };
    for (const Case &c : cases) {
        UTIL_MD5Context context;
        UTIL_md5Init(&context);
        UTIL_md5Update(&context, reinterpret_cast<const unsigned char *>(c.message),
                       static_cast<uint32_t>(strlen(c.message)));
        UTIL_md5Final(&context);
        EXPECT_EQ(hex(context.m_aucDigest, 16), c.digest) << c.message;
    }
}

TEST(MD5, PiecesGiveTheSameDigestAsOneUpdate)
{
    std::vector<unsigned char> data(1000);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<unsigned char>(i * 7 + 3);
    unsigned char whole[16];
    UTIL_md5(data.data(), data.size(), whole);
    for (uint32_t piece : {1u, 3u, 63u, 64u, 65u, 999u}) {
        UTIL_MD5Context context;
        UTIL_md5Init(&context);
        for (size_t at = 0; at < data.size(); at += piece)
            UTIL_md5Update(&context, data.data() + at,
                           static_cast<uint32_t>(std::min<size_t>(piece, data.size() - at)));
        UTIL_md5Final(&context);
        EXPECT_EQ(memcmp(context.m_aucDigest, whole, 16), 0) << piece;
    }
}

TEST(Keystream, WordsFollowTheTwoGenerators)
{
    UTIL_seedKeystream(UTIL_KEYSTREAM_SEED_Z, UTIL_KEYSTREAM_SEED_W);
    uint64_t z = 30571946, w = 48206153;
    for (int i = 0; i < 1000; i++) {
        z = 36969 * (z & 0xFFFF) + (z >> 16);
        w = 18000 * (w & 0xFFFF) + (w >> 16);
        ASSERT_EQ(UTIL_nextKeystreamWord(), (z << 16) + w) << i;
    }
}

// The fast descrambler must give exactly the bytes of drawing one word per
// byte from the end, for every length (lanes and the remainder), and leave
// the generator where the word-by-word walk leaves it.
TEST(Keystream, DocumentScrambleMatchesWordByWord)
{
    for (size_t size : {0u, 1u, 7u, 8u, 9u, 128u, 1000u, 4099u}) {
        std::vector<unsigned char> fast(size), slow(size);
        for (size_t i = 0; i < size; i++)
            fast[i] = slow[i] = static_cast<unsigned char>(i * 13);
        UTIL_seedKeystream(UTIL_KEYSTREAM_SEED_Z, UTIL_KEYSTREAM_SEED_W);
        for (size_t i = size; i > 0; i--)
            slow[i - 1] ^= static_cast<unsigned char>(UTIL_nextKeystreamWord());
        uint64_t nextSlow = UTIL_nextKeystreamWord();
        UTIL_scrambleDocument(fast.data(), fast.size());
        EXPECT_EQ(fast, slow) << size;
        EXPECT_EQ(UTIL_nextKeystreamWord(), nextSlow) << size;
    }
}

TEST(Keystream, PiecesInAnyOrderAndCopyingGiveTheWholeScramble)
{
    const uint64_t size = 70000;
    std::vector<unsigned char> whole(size), pieces(size), copy(size);
    for (uint64_t i = 0; i < size; i++)
        whole[i] = pieces[i] = static_cast<unsigned char>(i ^ (i >> 8));
    std::vector<unsigned char> source = whole;
    UTIL_scrambleDocument(whole.data(), size);
    const uint64_t cuts[] = {70000, 65536, 4097, 300, 17, 0};
    for (size_t i = 0; i + 1 < sizeof(cuts) / sizeof(cuts[0]); i++) // from the end, unequal pieces
        UTIL_scrambleRange(pieces.data(), size, cuts[i + 1], cuts[i]);
    EXPECT_EQ(pieces, whole);
    UTIL_scrambleRangeCopy(copy.data(), source.data(), size, 0, size);
    EXPECT_EQ(copy, whole);
}

TEST(Fletcher32, KnownValuesShortInputsAndBlocks)
{
    // Fletcher-32 over little-endian 16-bit words (the sums start at 0xFFFF,
    // which is 0 modulo 65535, so even-length results are the textbook ones).
    EXPECT_EQ(UTIL_fletcher32("abcdef", 6), 0x56502D2Au);
    EXPECT_EQ(UTIL_fletcher32("abcdefgh", 8), 0xEBE19591u);
    EXPECT_EQ(UTIL_fletcher32("abcdefg", 7), UTIL_fletcher32("abcdef", 6)); // odd byte ignored
    EXPECT_EQ(UTIL_fletcher32("a", 1), 0xFFFFFFFFu);
    EXPECT_EQ(UTIL_fletcher32("", 0), 0xFFFFFFFFu);

    // Across the 360-word block boundary both halves stay folded to 16 bits.
    std::vector<unsigned char> ones(2 * 361, 0xFF);
    for (uint32_t words : {359u, 360u, 361u}) {
        uint32_t sum = UTIL_fletcher32(ones.data(), 2 * words);
        EXPECT_LE(sum & 0xFFFF, 0xFFFFu);
        EXPECT_LE(sum >> 16, 0xFFFFu);
        EXPECT_EQ((sum & 0xFFFF) % 0xFFFF, 0u) << words; // every word is 0xFFFF = 0 mod 65535
    }
}

TEST(Identifiers, CountFromOne)
{
    int first = UTIL_nextId();
    EXPECT_GE(first, 1);
    EXPECT_EQ(UTIL_nextId(), first + 1);
    EXPECT_EQ(UTIL_nextId(), first + 2);
}
