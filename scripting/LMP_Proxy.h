#pragma once

#include "foundation/UTIL_ProxyHandle.h"

struct lua_State;

// The base of every script proxy of the binding layer. Its engine-side
// members (the bound object, the count of owners, the event handler) are
// those of UTIL_Proxy, so that engine objects can delete proxies and post
// events to them without the scripting library.
//
// A proxy held by userdata is listed with them: how many (each holds one of
// the references counted) and in which interpreter. Closing an interpreter
// lets go of the references of its userdata whose collection never ran,
// which a script can bring about (giving a proxy's userdata another
// metatable, or taking the __gc away from a class's metatable through
// debug.getmetatable): no proxy outlives its owners. Only proxies that
// userdata hold are listed, so that the leak checker still sees any other.
class LMP_Proxy : public UTIL_Proxy {
public:
    LMP_Proxy() = default;
    explicit LMP_Proxy(void *object) : UTIL_Proxy(object) {}
    ~LMP_Proxy() override;

    // A userdata of the interpreter whose main thread is state took a
    // reference; one let it go.
    void userdataMade(lua_State *state);
    void userdataCollected();
    // After the interpreter whose main thread was state closed: the
    // references its userdata still held are dropped (the proxies left
    // without any are deleted).
    static void releaseClosedInterpreter(lua_State *state);
    // How many proxies userdata hold.
    static int heldCount();

private:
    void unlink();

    lua_State *m_poUserdataState = nullptr;
    int m_iUserdataRefs = 0;
    LMP_Proxy *m_poPrevious = nullptr;
    LMP_Proxy *m_poNext = nullptr;
    static LMP_Proxy *s_poFirstHeld;
};
