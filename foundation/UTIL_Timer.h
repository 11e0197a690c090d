#pragma once

// Elapsed wall time in seconds from the monotonic clock. Must be started or
// reset before getElapsed means anything.
class UTIL_Timer {
public:
    long double m_fStartTime;

    void start();
    void reset() { start(); }
    // Seconds since the last start or reset; does not restart the timer.
    double getElapsed() const;

    // The current monotonic clock reading in seconds.
    static long double now();
};
