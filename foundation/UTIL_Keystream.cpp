#include "foundation/UTIL_Keystream.h"

namespace {

uint64_t s_uiZ = 0;
uint64_t s_uiW = 0;

const uint64_t MULTIPLIER_Z = 36969;
const uint64_t MULTIPLIER_W = 18000;

inline uint64_t stepZ(uint64_t z) { return MULTIPLIER_Z * (z & 0xFFFF) + (z >> 16); }
inline uint64_t stepW(uint64_t w) { return MULTIPLIER_W * (w & 0xFFFF) + (w >> 16); }

// A multiply-with-carry step x -> a*(x mod 2^16) + x div 2^16 is, for every
// state below p = a*2^16 - 1, the multiplication x -> a*x mod p (because
// 2^16 * a = 1 mod p). So n steps are one multiplication by a^n mod p, which
// lets a stretch of the stream start anywhere without walking to it.
uint64_t mulMod(uint64_t x, uint64_t y, uint64_t p) { return (x * y) % p; } // p < 2^32
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
    if (x >= p) // outside the multiplicative form; walk it
    {
        for (uint64_t i = 0; i < steps; i++)
            x = a * (x & 0xFFFF) + (x >> 16);
        return x;
    }
    return mulMod(x, powMod(a, steps, p), p);
}

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

void UTIL_scrambleDocument(unsigned char *data, uint64_t size)
{
    UTIL_seedKeystream(UTIL_KEYSTREAM_SEED_Z, UTIL_KEYSTREAM_SEED_W);
    // The low 8 bits of a word are the low 8 bits of w: z never reaches them.
    // Word k (k = 1 for the first drawn) belongs to byte size - k.
    enum { LANES = 8 };
    const uint64_t lane = size / LANES;
    uint64_t w[LANES];
    unsigned char *end[LANES];
    for (int l = 0; l < LANES; l++) {
        w[l] = jump(UTIL_KEYSTREAM_SEED_W, MULTIPLIER_W, static_cast<uint64_t>(l) * lane);
        end[l] = data + size - static_cast<uint64_t>(l) * lane;
    }
    for (uint64_t i = 1; i <= lane; i++) {
        for (int l = 0; l < LANES; l++) {
            w[l] = stepW(w[l]);
            end[l][-static_cast<int64_t>(i)] ^= static_cast<unsigned char>(w[l]);
        }
    }
    // The bytes before the lanes: the words after the last lane's stretch.
    uint64_t tail = jump(UTIL_KEYSTREAM_SEED_W, MULTIPLIER_W, LANES * lane);
    for (uint64_t i = size - LANES * lane; i > 0; i--) {
        tail = stepW(tail);
        data[i - 1] ^= static_cast<unsigned char>(tail);
    }
    s_uiZ = jump(UTIL_KEYSTREAM_SEED_Z, MULTIPLIER_Z, size);
    s_uiW = tail;
}
