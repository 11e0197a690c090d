#pragma once

#include <cstddef>

// Memory that the player holds back for itself, for once memory runs out: a
// document that exhausts what the process may have (under a process limit,
// ulimit -v or -d) must still leave room to draw its error report. The
// reserve is taken once at start-up, never used, and given back by the
// first failure to allocate that the engine meets (release), so that what
// comes after it (the report, its drawing) finds memory.
class UTIL_MemoryReserve {
public:
    // Takes bytes (an untouched block: it costs no physical memory, only its
    // share of the process's limits); nothing when a reserve is held.
    static void hold(size_t bytes);
    // Gives the reserve back; nothing when none is held.
    static void release();
    static bool held();

    // What the player holds: far more than drawing the report takes.
    static const size_t PLAYER_BYTES = size_t(64) << 20;
};
