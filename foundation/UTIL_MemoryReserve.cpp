#include "foundation/UTIL_MemoryReserve.h"

#include <cstdlib>

static void *s_pReserve = nullptr;

void UTIL_MemoryReserve::hold(size_t bytes)
{
    if (s_pReserve == nullptr && bytes > 0)
        s_pReserve = malloc(bytes);
}

void UTIL_MemoryReserve::release()
{
    free(s_pReserve);
    s_pReserve = nullptr;
}

bool UTIL_MemoryReserve::held()
{
    return s_pReserve != nullptr;
}
