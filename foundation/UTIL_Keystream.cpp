#include "foundation/UTIL_Keystream.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

uint64_t s_uiZ = 0;
uint64_t s_uiW = 0;

const uint64_t MULTIPLIER_Z = 36969;
const uint64_t MULTIPLIER_W = 18000;

inline uint64_t stepZ(uint64_t z)
{
    return MULTIPLIER_Z * (z & 0xFFFF) + (z >> 16);
}
inline uint64_t stepW(uint64_t w)
{
    return MULTIPLIER_W * (w & 0xFFFF) + (w >> 16);
}
// The same step for states of the document stream, which stay below 2^31.
inline uint32_t step32(uint32_t w)
{
    return 18000u * (w & 0xFFFF) + (w >> 16);
}

// A multiply-with-carry step x -> a*(x mod 2^16) + x div 2^16 is, for every
// state below p = a*2^16 - 1, the multiplication x -> a*x mod p (because
// 2^16 * a = 1 mod p). So n steps are one multiplication by a^n mod p, which
// lets a stretch of the stream start anywhere without walking to it.
uint64_t mulMod(uint64_t x, uint64_t y, uint64_t p)
{
    return (x * y) % p;
} // p < 2^32
uint64_t powMod(uint64_t base, uint64_t exponent, uint64_t p)
{
    uint64_t result = 1 % p;
    base %= p;
    while (exponent > 0) {
        if (exponent & 1)
            result = mulMod(result, base, p);
        base = mulMod(base, base, p);
        exponent >>= 1;
    }
    return result;
}
uint64_t jump(uint64_t x, uint64_t a, uint64_t steps)
{
    const uint64_t p = a * 65536 - 1;
    if (x >= p) { // outside the multiplicative form; walk it
        for (uint64_t i = 0; i < steps; i++)
            x = a * (x & 0xFFFF) + (x >> 16);
        return x;
    }
    return mulMod(x, powMod(a, steps, p), p);
}

#if defined(__SSE2__)
// One step of four generators at once: 18000 * (w mod 2^16) + w div 2^16,
// the product formed from 16-bit halves (both factors fit 16 bits).
inline __m128i stepVector(__m128i w)
{
    const __m128i mask = _mm_set1_epi32(0xFFFF);
    const __m128i multiplier = _mm_set1_epi32(static_cast<int>(MULTIPLIER_W));
    __m128i x = _mm_and_si128(w, mask);
    __m128i low = _mm_mullo_epi16(x, multiplier);
    __m128i high = _mm_mulhi_epu16(x, multiplier);
    return _mm_add_epi32(_mm_or_si128(low, _mm_slli_epi32(high, 16)), _mm_srli_epi32(w, 16));
}

// Sixteen generators, each over its own stretch of the range, sixteen steps
// at a time: the sixteen key rows are transposed so that each generator's
// bytes land as one 16-byte vector on its stretch. Returns how many bytes
// at the end of the range were done.
uint64_t scrambleVector(unsigned char *out, const unsigned char *in, uint64_t size, uint64_t begin, uint64_t end)
{
    enum { CHAINS = 16 };
    const uint64_t lane = (end - begin) / (CHAINS * 16) * 16;
    if (lane == 0)
        return 0;
    alignas(16) uint32_t start[CHAINS];
    for (int j = 0; j < CHAINS; j++)
        start[j] = static_cast<uint32_t>(
            jump(UTIL_KEYSTREAM_SEED_W, MULTIPLIER_W, size - (end - static_cast<uint64_t>(j) * lane)));
    __m128i w0 = _mm_load_si128(reinterpret_cast<const __m128i *>(start));
    __m128i w1 = _mm_load_si128(reinterpret_cast<const __m128i *>(start + 4));
    __m128i w2 = _mm_load_si128(reinterpret_cast<const __m128i *>(start + 8));
    __m128i w3 = _mm_load_si128(reinterpret_cast<const __m128i *>(start + 12));
    const __m128i lowByte = _mm_set1_epi32(0xFF);
    for (uint64_t done = 0; done < lane; done += 16) {
        __m128i rows[16];
        for (int r = 15; r >= 0; r--) { // reversed rows: the first step's byte is the highest address
            w0 = stepVector(w0);
            w1 = stepVector(w1);
            w2 = stepVector(w2);
            w3 = stepVector(w3);
            __m128i a = _mm_packs_epi32(_mm_and_si128(w0, lowByte), _mm_and_si128(w1, lowByte));
            __m128i b = _mm_packs_epi32(_mm_and_si128(w2, lowByte), _mm_and_si128(w3, lowByte));
            rows[r] = _mm_packus_epi16(a, b);
        }
        // Four perfect shuffles transpose a 16 x 16 byte matrix.
        for (int round = 0; round < 4; round++) {
            __m128i next[16];
            for (int i = 0; i < 8; i++) {
                next[2 * i] = _mm_unpacklo_epi8(rows[i], rows[i + 8]);
                next[2 * i + 1] = _mm_unpackhi_epi8(rows[i], rows[i + 8]);
            }
            for (int i = 0; i < 16; i++)
                rows[i] = next[i];
        }
        for (int j = 0; j < CHAINS; j++) {
            uint64_t at = end - static_cast<uint64_t>(j) * lane - done - 16;
            __m128i plain = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + at));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + at), _mm_xor_si128(plain, rows[j]));
        }
    }
    return CHAINS * lane;
}
#endif

} // namespace

void UTIL_seedKeystream(uint64_t z, uint64_t w)
{
    s_uiZ = z;
    s_uiW = w;
}

uint64_t UTIL_nextKeystreamWord()
{
    s_uiZ = stepZ(s_uiZ);
    s_uiW = stepW(s_uiW);
    return (s_uiZ << 16) + s_uiW;
}

void UTIL_scrambleRangeCopy(unsigned char *out, const unsigned char *in, uint64_t size, uint64_t begin, uint64_t end)
{
    if (end > size)
        end = size;
    if (begin >= end)
        return;
    // The low 8 bits of a word are the low 8 bits of w: z never reaches them.
    // Word k (k = 1 for the first drawn) belongs to byte size - k. Stretches
    // at the end of the range are walked by independent generators started
    // with the jump above, so that their multiplications overlap.
    uint64_t vectorDone = 0;
#if defined(__SSE2__)
    vectorDone = scrambleVector(out, in, size, begin, end);
#endif
    // The bytes before the stretches, one generator.
    uint64_t rest = end - begin - vectorDone;
    uint32_t t = static_cast<uint32_t>(jump(UTIL_KEYSTREAM_SEED_W, MULTIPLIER_W, size - begin - rest));
    for (uint64_t i = rest; i > 0; i--) {
        t = step32(t);
        out[begin + i - 1] = in[begin + i - 1] ^ static_cast<unsigned char>(t);
    }
}

void UTIL_scrambleRange(unsigned char *data, uint64_t size, uint64_t begin, uint64_t end)
{
    UTIL_scrambleRangeCopy(data, data, size, begin, end);
}

void UTIL_scrambleDocument(unsigned char *data, uint64_t size)
{
    UTIL_scrambleSeeded();
    UTIL_scrambleRange(data, size, 0, size);
    UTIL_finishScramble(size);
}

void UTIL_scrambleSeeded()
{
    UTIL_seedKeystream(UTIL_KEYSTREAM_SEED_Z, UTIL_KEYSTREAM_SEED_W);
}

void UTIL_finishScramble(uint64_t size)
{
    s_uiZ = jump(UTIL_KEYSTREAM_SEED_Z, MULTIPLIER_Z, size);
    s_uiW = jump(UTIL_KEYSTREAM_SEED_W, MULTIPLIER_W, size);
}
