#pragma once

#include "foundation/UTIL_ProxyHandle.h"
#include "scripting/LMP_Proxy.h"

// Helpers shared by the proxies of the controller's resources (textures,
// fonts, samples, models sets, streams) and of animation data.

// Whether element is in one of the controller's resource lists.
template <class List, class T> bool LMP_bIsListed(const List &list, const T *element)
{
    if (element == nullptr)
        return false;
    for (int i = 0; i < list.m_iCount; i++)
        if (list.m_pData[i] == element)
            return true;
    return false;
}

// Lets the proxy go of its engine object: the handle drops its reference
// when it names this proxy, and the proxy is left unbound. The caller's
// userdata keeps the proxy itself alive.
inline void LMP_unbindProxy(LMP_Proxy *proxy, UTIL_ProxyHandle &handle)
{
    proxy->m_poObject = nullptr;
    if (handle.getProxy() == proxy)
        handle.release();
}

// For destructors: clears the handle when it still names the proxy, so that
// no handle is left pointing at a deleted proxy. The engine object stays.
inline void LMP_forgetProxy(LMP_Proxy *proxy, UTIL_ProxyHandle &handle)
{
    if (handle.getProxy() == proxy)
        handle.m_poProxy = nullptr;
}
