#include "controller/desktop/CTRL_Interrupt.h"

#include <signal.h>

#include <atomic>
#include <csignal>
#include <cstring>

#include "controller/CTRL_ScriptEngine.h"

static volatile std::sig_atomic_t s_iSignal = 0;
static std::atomic<CTRL_ScriptEngine *> s_poEngine(nullptr);

static void onSignal(int number)
{
    if (s_iSignal == 0)
        s_iSignal = number;
    CTRL_ScriptEngine *engine = s_poEngine.load();
    if (engine != nullptr)
        engine->requestInterrupt();
}

void CTRL_Interrupt::install()
{
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = onSignal;
    // Neither signal interrupts the handler of the other.
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
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
