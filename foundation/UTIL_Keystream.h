#pragma once

#include <cstdint>

// The document keystream: two multiply-with-carry generators on 16-bit digits,
// held process-wide.
void UTIL_seedKeystream(uint64_t z, uint64_t w);
uint64_t UTIL_nextKeystreamWord();

// The two seeds of the document scrambling.
const uint64_t UTIL_KEYSTREAM_SEED_Z = 30571946u;
const uint64_t UTIL_KEYSTREAM_SEED_W = 48206153u;

// Seeds the keystream with the document seeds, then XORs the low 8 bits of one
// word into each byte, from the last byte to the first. Gives the same bytes,
// and leaves the generator in the same state, as drawing the words one by one,
// but computes several independent stretches of the stream at once.
void UTIL_scrambleDocument(unsigned char *data, uint64_t size);

// The same for the bytes [begin, end) of a document of size bytes only, so
// that a document can be descrambled piece by piece in any order; then
// UTIL_finishScramble leaves the generator as the whole walk would.
void UTIL_scrambleRange(unsigned char *data, uint64_t size, uint64_t begin, uint64_t end);
// The same, reading the scrambled bytes from in and writing the plain ones
// to out (in may equal out).
void UTIL_scrambleRangeCopy(unsigned char *out, const unsigned char *in, uint64_t size, uint64_t begin, uint64_t end);
void UTIL_finishScramble(uint64_t size);
// Seeds the generator with the document seeds.
void UTIL_scrambleSeeded();
