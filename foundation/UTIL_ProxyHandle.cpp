#include "foundation/UTIL_ProxyHandle.h"

#include <cstdarg>

void UTIL_ProxyHandle::bind(UTIL_Proxy *proxy)
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
    UTIL_Proxy *proxy = m_poProxy;
    if (proxy == nullptr)
        return;
    m_poProxy = nullptr;
    proxy->m_poObject = nullptr;
    if (--proxy->m_iRefCount == 0)
        delete proxy;
}

int UTIL_ProxyHandle::postEventV(UTIL_EventHost *host, int code, va_list args)
{
    if (host == nullptr || m_poProxy == nullptr || !host->acceptsEvents())
        return 0;
    return m_poProxy->handleCallback(host, code, args);
}

int UTIL_ProxyHandle::postEvent(UTIL_EventHost *host, int code, ...)
{
    va_list args;
    va_start(args, code);
    int result = postEventV(host, code, args);
    va_end(args);
    return result;
}
