#pragma once

#include <atomic>
#include <cstddef>

#include "controller/CTRL_ScriptEngine.h"
#include "foundation/UTIL_DynArray.h"
#include "model/MDL_Event.h"

struct lua_State;
class CTRL_Generic;
class LMP_Allocator;

// A value crossing the generic host interface.
struct LMP_ScriptValue {
    enum { NIL = 0, BOOLEAN = 1, INTEGER = 2, NUMBER = 3, STRING = 4 };
    int m_iType = NIL;
    bool m_bValue = false;
    int m_iValue = 0;
    double m_fValue = 0;
    char *m_sValue = nullptr; // owned copy, freed with the value

    LMP_ScriptValue() = default;
    ~LMP_ScriptValue();
    LMP_ScriptValue(const LMP_ScriptValue &) = delete;
    LMP_ScriptValue &operator=(const LMP_ScriptValue &) = delete;
    void setString(const char *text);
    void clear();
};

typedef UTIL_DynArray<LMP_ScriptValue *, 128> LMP_ScriptValueArray;
typedef void (*LMP_HostFunction)(void *context, LMP_ScriptValueArray *arguments, LMP_ScriptValue *result);

struct LMP_HostFunctionRow {
    const char *m_sName; // null ends the list
    LMP_HostFunction m_pfnFunction;
};

struct LMP_HostLibrary {
    const char *m_sName;
    const LMP_HostFunctionRow *m_poFunctions;
};

// Owns the Lua interpreter, registers the player's vocabulary in it and makes
// every call into the document's scripts, always protected.
class LMP_ScriptEngine : public CTRL_ScriptEngine {
public:
    // The memory cap of a document's interpreter: what its scripts hold
    // (strings, tables, functions, the values the bindings return; not the
    // engine's models, pictures and sounds). Documents need little of it
    // (the built-in one under 1 MiB): the cap is there to stop a script that
    // grows without end while the player still has the memory to show its
    // error, far below what a desktop machine has.
    static const size_t DEFAULT_MEMORY_LIMIT = size_t(1) << 30;

    // The interpreter allocates through an LMP_Allocator of the given mode
    // (an LMP_Allocator::Mode; its default when negative), at most
    // DEFAULT_MEMORY_LIMIT bytes until setMemoryLimit changes it.
    explicit LMP_ScriptEngine(int allocatorMode = -1);
    virtual ~LMP_ScriptEngine();

    LMP_ScriptEngine(const LMP_ScriptEngine &) = delete;
    LMP_ScriptEngine &operator=(const LMP_ScriptEngine &) = delete;

    bool sendEvent(const CTRL_ScriptEvent &event) override;
    void update(double deltaTime) override;
    void aspectRatioChanged(double ratio) override;
    bool loadScripts() override;
    virtual void registerLibrary(const LMP_HostLibrary &library, void *context);
    virtual void setGlobal(const char *name, const LMP_ScriptValue *value);
    virtual bool getGlobal(const char *name, LMP_ScriptValue *out);
    virtual bool callFunction(const char *name, LMP_ScriptValueArray *arguments, LMP_ScriptValue *result);
    virtual int collectGarbage();
    void setController(CTRL_Generic *controller) override;
    // Closes the interpreter (lua_close): the finalizers of whatever it
    // holds run now, as normal script code (every binding works, an error
    // they report goes to the controller), but no other script call starts
    // meanwhile and no engine event reaches the scripts. Afterwards
    // m_poLuaState is null.
    void close() override;
    // Scripts receive engine events while the controller runs them and the
    // interpreter is neither closing nor closed.
    bool acceptsEvents() const override;
    // Installs the interrupt hook on the interpreter and on the coroutine
    // that runs in it: the script raises "interrupted" at its next
    // instruction, call or return, and again each time it catches that
    // error, until the engine's outermost call is over.
    void requestInterrupt() override;
    bool interruptRequested() const { return m_bInterrupted.load(); }
    // The coroutine functions say which coroutine runs, so that an
    // interrupt reaches it: enterThread before resuming one (returns the
    // one that ran before), leaveThread with that one once it is back.
    lua_State *enterThread(lua_State *thread);
    void leaveThread(lua_State *previous);
    // Raises the interrupt error in L ("interrupted" after the position of
    // the running function).
    static int raiseInterrupt(lua_State *L);

    // Protected call of the function and arguments already on the stack;
    // failures go to the controller's error report. Without a controller,
    // once it is halted, once an interrupt was asked for or while the
    // interpreter closes, the function and its arguments are dropped and the
    // call fails without a report.
    bool pcall(int arguments, int results);
    // The same call of a function and arguments that push(L) puts on the
    // stack (it returns how many values it pushed, the function among
    // them). Making them takes memory (proxies, vectors, strings): push runs
    // inside the protected call, behind the guard of bound calls, so that
    // arguments that cannot be made (the interpreter at its memory cap) fail
    // the call with Lua's memory error, reported as a failed call is, never
    // outside a protected call. push runs as a host function does: plain
    // data only in its frames. Dropped as pcall drops calls, without pushing
    // anything. results is a count, not LUA_MULTRET.
    template <class Push> bool pcallPushed(const Push &push, int results)
    {
        return pcallPushed([](lua_State *L, const void *data) { return (*static_cast<const Push *>(data))(L); }, &push,
                           results);
    }
    bool pcallPushed(int (*push)(lua_State *L, const void *data), const void *data, int results);

    lua_State *getLuaState() const { return m_poLuaState; }
    // The interpreter's allocator (null when it could not be made).
    LMP_Allocator *getAllocator() const { return m_poAllocator; }
    // The interpreter may hold at most this many bytes (0: no limit); an
    // allocation beyond it fails with Lua's memory error ("not enough
    // memory").
    void setMemoryLimit(size_t bytes);
    // The Lua engine of a controller (null when it has none, or another
    // kind of engine).
    static LMP_ScriptEngine *of(const CTRL_Generic *controller);
    // The Lua engine that posts an engine event, or null.
    static LMP_ScriptEngine *of(UTIL_EventHost *host) { return dynamic_cast<LMP_ScriptEngine *>(host); }

    // The closure behind every function of a host library: upvalue 1 the
    // context, upvalue 2 the host function, both light userdata.
    static int callHostFunction(lua_State *L);
    // Converts the value on top into value and pops it: booleans, anything
    // that converts to a number, other strings, nil; tables, functions and
    // userdata leave value unchanged.
    static void popValue(lua_State *L, LMP_ScriptValue *value);
    static void pushValue(lua_State *L, const LMP_ScriptValue *value);

    // Registry reference of the function set for callback id i at index
    // i - 1; 0 for none. The engine itself reads MDL_CB_UPDATE, MDL_CB_EVENT
    // and MDL_CB_ASPECT_RATIO_CHANGED.
    int m_aiCallbackRefs[MDL_CB_MAX];
    lua_State *m_poLuaState;

private:
    // Calls the function of a callback id with one number, if it is set.
    void callWithNumber(int id, double value);
    // Pushes the global of that name, fetched protectedly (a metatable on
    // the globals may raise); false when the fetch failed.
    bool pushGlobal(const char *name);
    // Whether pcall drops calls now (no controller, halted, interrupted,
    // closing); an interrupt asked for between two calls takes its hook
    // away then.
    bool dropsCalls();
    // lua_pcall that reports a failure with or without a controller. The
    // outermost one removes the interrupt hook when it is over.
    bool protectedCall(int arguments, int results);
    // Hands the error value on top to the controller's error report (or the
    // log when there is no controller) and pops it. After an interrupt the
    // error is the user's request, not the document's fault: the outermost
    // call writes it to the log, nothing is reported.
    void reportTopError();

    LMP_Allocator *m_poAllocator;
    bool m_bClosing;
    std::atomic<bool> m_bInterrupted;
    // The coroutine being resumed, or null while the main thread runs.
    std::atomic<lua_State *> m_poRunningThread;
    // Protected calls under way.
    int m_iCallDepth;
};

// The controller kept with the interpreter, reachable from any host function
// (a light userdata in the registry); null until setController.
void LMP_setController(lua_State *L, CTRL_Generic *controller);
CTRL_Generic *LMP_poController(lua_State *L);

// The registration step of INFINITE_PLUS and INFINITE_MINUS.
void LMP_registerInfinities(lua_State *L);
