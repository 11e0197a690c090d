#include "foundation/UTIL_Timer.h"

#include <time.h>

long double UTIL_Timer::now()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long double>(ts.tv_sec) + static_cast<long double>(ts.tv_nsec) * 1e-9L;
}

void UTIL_Timer::start()
{
    m_fStartTime = now();
}

double UTIL_Timer::getElapsed() const
{
    return static_cast<double>(now() - m_fStartTime);
}
