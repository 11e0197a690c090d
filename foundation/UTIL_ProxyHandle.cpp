#include "foundation/UTIL_ProxyHandle.h"

#include <cstdarg>

#include "controller/CTRL_Generic.h"
#include "scripting/CTRL_ScriptEngine.h"
#include "scripting/LMP_Proxy.h"

void UTIL_ProxyHandle::bind(LMP_Proxy *proxy)
{
    if (proxy == m_poProxy)
        return;
    release();
    if (proxy != nullptr) {
        proxy->m_iRefCount++;
        m_poProxy = proxy;
    }
}

void UTIL_ProxyHandle::release()
{
    LMP_Proxy *proxy = m_poProxy;
    if (proxy == nullptr)
        return;
    m_poProxy = nullptr;
    proxy->m_poObject = nullptr;
    if (--proxy->m_iRefCount == 0)
        delete proxy;
}

int UTIL_ProxyHandle::postEventV(CTRL_ScriptEngine *engine, int code, va_list args)
{
    if (engine == nullptr || m_poProxy == nullptr)
        return 0;
    CTRL_Generic *controller = engine->m_poController;
    if (controller == nullptr || controller->m_bHalted)
        return 0;
    return m_poProxy->handleCallback(engine, code, args);
}

int UTIL_ProxyHandle::postEvent(CTRL_ScriptEngine *engine, int code, ...)
{
    va_list args;
    va_start(args, code);
    int result = postEventV(engine, code, args);
    va_end(args);
    return result;
}
