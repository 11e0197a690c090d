#pragma once

#include <cstdint>

// Process-wide identifiers, 1 upward, for textures and fonts.
int UTIL_nextId();

// Fletcher-32 over 16-bit little-endian words; a final odd byte is ignored.
uint32_t UTIL_fletcher32(const void *bytes, uint32_t length);
