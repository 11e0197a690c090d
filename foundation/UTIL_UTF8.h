#pragma once

#include <cstdint>

// Decodes one code point; returns the number of bytes used (1 to 6), or -1 at
// the end of the text (a NUL, also inside a sequence). Broken or overlong
// sequences give U+FFFD.
int UTIL_decodeUTF8(uint64_t *codePoint, const char *text);
