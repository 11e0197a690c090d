#include "controller/desktop/CTRL_Desktop.h"

CTRL_Desktop::CTRL_Desktop(CTRL_ScriptEngine *engine) : CTRL_Generic(engine, CTRL_PLATFORM_LINUX), m_iCursor(0) {}

void CTRL_Desktop::setCursor(int kind)
{
    m_iCursor = kind;
}
