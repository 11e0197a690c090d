#include "controller/desktop/CTRL_Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

#include "controller/CTRL_ScriptEngine.h"

static volatile std::sig_atomic_t s_iSignal = 0;
static volatile std::sig_atomic_t s_iClosing = 0;
static bool s_bInstalled = false;
static std::atomic<CTRL_ScriptEngine *> s_poEngine(nullptr);

static void onSignal(int number)
{
    if (s_iClosing != 0)
        _exit(128 + number);
    if (s_iSignal == 0)
        s_iSignal = number;
    CTRL_ScriptEngine *engine = s_poEngine.load();
    if (engine != nullptr)
        engine->requestInterrupt();
}

// handler: onSignal, or SIG_DFL.
static void setHandler(void (*handler)(int))
{
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = handler;
    // Neither signal interrupts the handler of the other.
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void CTRL_Interrupt::install()
{
    s_bInstalled = true;
    setHandler(onSignal);
}

void CTRL_Interrupt::setClosing(bool closing)
{
    if (!s_bInstalled)
        return;
    s_iClosing = closing ? 1 : 0;
    // The first signal took the handler away (SA_RESETHAND): while closing
    // it is back, and afterwards a signal that came keeps it away again.
    if (closing)
        setHandler(onSignal);
    else if (s_iSignal != 0)
        setHandler(SIG_DFL);
}

int CTRL_Interrupt::signal()
{
    return s_iSignal;
}

void CTRL_Interrupt::setEngine(CTRL_ScriptEngine *engine)
{
    s_poEngine.store(engine);
    if (engine != nullptr && s_iSignal != 0)
        engine->requestInterrupt();
}
