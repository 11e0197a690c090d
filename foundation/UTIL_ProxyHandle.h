#pragma once

#include <cstdarg>
#include <cstdint>

// What engine events are posted through: the script engine, which says
// whether scripts may receive events now (it has a controller that is not
// halted). Declared here so that engine objects post events without knowing
// the script engine.
class UTIL_EventHost {
public:
    virtual bool acceptsEvents() const = 0;

protected:
    ~UTIL_EventHost() = default;
};

// The engine-side view of a script proxy: the engine object it stands for and
// a count of its owners (the engine object's UTIL_ProxyHandle while bound and
// the script's userdata once pushed). Whoever drops the count to 0 deletes
// it. The binding layer derives its proxies from it.
class UTIL_Proxy {
public:
    UTIL_Proxy() : m_poObject(nullptr), m_iRefCount(0) {}
    explicit UTIL_Proxy(void *object) : m_poObject(object), m_iRefCount(0) {}
    virtual ~UTIL_Proxy() {}

    UTIL_Proxy(const UTIL_Proxy &) = delete;
    UTIL_Proxy &operator=(const UTIL_Proxy &) = delete;

    // An engine event for this proxy's script function. The result's low
    // byte is the handled flag; the base handles nothing.
    virtual int handleCallback(UTIL_EventHost *host, int code, va_list args)
    {
        (void)host;
        (void)code;
        (void)args;
        return 0;
    }

    // The bound engine object (an MDL_Object for the object kinds, the
    // matching engine class otherwise), null once that object is gone.
    void *m_poObject;
    int32_t m_iRefCount;
};

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
    void bind(UTIL_Proxy *proxy);
    // Drops the handle's reference: the proxy loses its object and is deleted
    // when no reference is left. Nothing when no proxy is bound.
    void release();
    UTIL_Proxy *getProxy() const { return m_poProxy; }

    // Forwards the event to the proxy's handleCallback when there is a host
    // that accepts events and a bound proxy; returns its result (low byte:
    // handled), otherwise 0.
    int postEvent(UTIL_EventHost *host, int code, ...);
    int postEventV(UTIL_EventHost *host, int code, va_list args);

    UTIL_Proxy *m_poProxy;
};
