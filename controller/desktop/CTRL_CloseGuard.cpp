#include "controller/desktop/CTRL_CloseGuard.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <system_error>

#include "controller/desktop/CTRL_Interrupt.h"

CTRL_CloseGuard::CTRL_CloseGuard(const char *document, double seconds) : m_bClosed(false)
{
    snprintf(m_acLine, sizeof(m_acLine),
             "vekta: %s did not finish closing within %g seconds: a finalizer (__gc) of its scripts does not "
             "return; stopped\n",
             document != nullptr ? document : "the document", seconds);
    CTRL_Interrupt::setClosing(true);
    // Where no thread can be had (a task limit, no address space left) the
    // close runs without a time limit; a signal still ends the player.
    try {
        m_oWatcher = std::thread(&CTRL_CloseGuard::watch, this, seconds);
    } catch (const std::system_error &) {
    }
}

CTRL_CloseGuard::~CTRL_CloseGuard()
{
    {
        std::lock_guard<std::mutex> lock(m_oMutex);
        m_bClosed = true;
    }
    m_oClosed.notify_one();
    if (m_oWatcher.joinable())
        m_oWatcher.join();
    CTRL_Interrupt::setClosing(false);
}

void CTRL_CloseGuard::watch(double seconds)
{
    std::unique_lock<std::mutex> lock(m_oMutex);
    if (m_oClosed.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return m_bClosed; }))
        return;
    // The close still runs in the other thread: nothing of the process can
    // be shut down in order any more. What the user asked for (the sound
    // capture, the screenshot) was complete before the close began.
    fputs(m_acLine, stderr);
    fflush(stderr);
    _exit(1);
}
