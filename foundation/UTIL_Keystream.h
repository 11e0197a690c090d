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
