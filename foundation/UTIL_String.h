#pragma once

#include <cstring>

// A copy of text in memory of its own, freed with free; null for null (or
// when no memory is left).
inline char *UTIL_sCopyString(const char *text)
{
    return text != nullptr ? strdup(text) : nullptr;
}
