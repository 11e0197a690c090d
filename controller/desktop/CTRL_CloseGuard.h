#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

// Bounds the close of a document, from its construction to its destruction.
// Closing runs the scripts' finalizers, and no interrupt reaches them (Lua
// turns hooks off inside finalizers): meanwhile a signal ends the player at
// once (CTRL_Interrupt::setClosing), and a close that lasts longer than the
// limit ends it with status 1, after one line on standard error that names
// the document. A watcher thread waits for the limit.
class CTRL_CloseGuard {
public:
    // Longer than any sound close takes (freeing an interpreter at its memory
    // cap takes about a second), short enough not to look hung.
    static constexpr double LIMIT_SECONDS = 5;

    explicit CTRL_CloseGuard(const char *document, double seconds = LIMIT_SECONDS);
    ~CTRL_CloseGuard();
    CTRL_CloseGuard(const CTRL_CloseGuard &) = delete;
    CTRL_CloseGuard &operator=(const CTRL_CloseGuard &) = delete;

private:
    void watch(double seconds);

    std::mutex m_oMutex;
    std::condition_variable m_oClosed;
    bool m_bClosed;
    char m_acLine[1200]; // what is said when the limit passes
    std::thread m_oWatcher;
};
