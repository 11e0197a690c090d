#include "controller/desktop/CTRL_Interrupt.h"

#include <csignal>

static volatile std::sig_atomic_t s_bInterrupted = 0;

static void onInterrupt(int)
{
    s_bInterrupted = 1;
}

void CTRL_installInterruptHandler()
{
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

bool CTRL_bInterrupted()
{
    return s_bInterrupted != 0;
}
