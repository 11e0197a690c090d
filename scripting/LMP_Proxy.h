#pragma once

#include <cstdarg>
#include <cstdint>

class CTRL_ScriptEngine;

// The base of every script proxy: the engine-side object it stands for and a
// count of its owners (the engine object's UTIL_ProxyHandle while bound and
// the Lua userdata once pushed). Whoever drops the count to 0 deletes it.
// The members are defined here so that the engine's handle, which deletes
// proxies and posts events to them, needs nothing of the scripting library.
class LMP_Proxy {
public:
    LMP_Proxy() : m_poObject(nullptr), m_iRefCount(0) {}
    explicit LMP_Proxy(void *object) : m_poObject(object), m_iRefCount(0) {}
    virtual ~LMP_Proxy() {}

    LMP_Proxy(const LMP_Proxy &) = delete;
    LMP_Proxy &operator=(const LMP_Proxy &) = delete;

    // An engine event for this proxy's script function. The result's low
    // byte is the handled flag; the base handles nothing.
    virtual int handleCallback(CTRL_ScriptEngine *engine, int code, va_list args)
    {
        (void)engine;
        (void)code;
        (void)args;
        return 0;
    }

    // The bound engine object (an MDL_Object for the object kinds, the
    // matching engine class otherwise), null once that object is gone.
    void *m_poObject;
    int32_t m_iRefCount;
};
