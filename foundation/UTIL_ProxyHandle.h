#pragma once

#include <cstdarg>

class LMP_Proxy;
class CTRL_ScriptEngine;

// The counted link from an engine object to its single live script proxy.
// Embedded in every engine object that scripts can hold; the engine object's
// death detaches the proxy (release), and engine events reach the script
// through postEvent.
class UTIL_ProxyHandle {
public:
    UTIL_ProxyHandle() : m_poProxy(nullptr) {}
    // A copied engine object starts without a proxy.
    UTIL_ProxyHandle(const UTIL_ProxyHandle &) : m_poProxy(nullptr) {}
    UTIL_ProxyHandle &operator=(const UTIL_ProxyHandle &) = delete;
    // Releases the proxy, so no engine object can leave one behind that
    // still points at it.
    ~UTIL_ProxyHandle() { release(); }

    // Binds proxy with one reference of its own, releasing a proxy bound
    // before. The proxy's m_poObject is the binder's business.
    void bind(LMP_Proxy *proxy);
    // Drops the handle's reference: the proxy loses its object and is deleted
    // when no reference is left. Nothing when no proxy is bound.
    void release();
    LMP_Proxy *getProxy() const { return m_poProxy; }

    // Forwards the event to the proxy's handleCallback when there is a
    // script engine with a controller that is not halted and a bound proxy;
    // returns its result (low byte: handled), otherwise 0.
    int postEvent(CTRL_ScriptEngine *engine, int code, ...);
    int postEventV(CTRL_ScriptEngine *engine, int code, va_list args);

    LMP_Proxy *m_poProxy;
};
