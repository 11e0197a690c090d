#include "controller/CTRL_ScriptEngine.h"

#include "controller/CTRL_Generic.h"

bool CTRL_ScriptEngine::acceptsEvents() const
{
    return m_poController != nullptr && !m_poController->m_bHalted;
}
