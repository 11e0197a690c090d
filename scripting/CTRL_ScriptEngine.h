#pragma once

#include "foundation/UTIL_DynArray.h"

struct lua_State;
struct MTH_Vector2D;
class CTRL_Generic;

// A value crossing the generic host interface.
struct CTRL_ScriptValue {
    enum { NIL = 0, BOOLEAN = 1, INTEGER = 2, NUMBER = 3, STRING = 4 };
    int m_iType = NIL;
    bool m_bValue = false;
    int m_iValue = 0;
    double m_fValue = 0;
    char *m_sValue = nullptr; // owned copy, freed with the value

    CTRL_ScriptValue() = default;
    ~CTRL_ScriptValue();
    CTRL_ScriptValue(const CTRL_ScriptValue &) = delete;
    CTRL_ScriptValue &operator=(const CTRL_ScriptValue &) = delete;
    void setString(const char *text);
    void clear();
};

typedef UTIL_DynArray<CTRL_ScriptValue *, 128> CTRL_ScriptValueArray;
typedef void (*CTRL_HostFunction)(void *context, CTRL_ScriptValueArray *arguments, CTRL_ScriptValue *result);

struct CTRL_HostFunctionRow {
    const char *m_sName; // null ends the list
    CTRL_HostFunction m_pfnFunction;
};

struct CTRL_HostLibrary {
    const char *m_sName;
    const CTRL_HostFunctionRow *m_poFunctions;
};

// The event record handed to sendEvent: the type, then a payload by type.
struct CTRL_ScriptEvent {
    // The event types, as the scripts' EVENT_ constants number them.
    enum { KEY_DOWN = 1, KEY_UP = 2, MOUSE_MOVE = 3, MOUSE_DOWN = 4, MOUSE_UP = 5, ZOOM = 6, DEVICE = 7, CLOSE = 8 };
    int m_iType = 0;
    int m_iKey = 0;                               // EVENT_KEY_DOWN, EVENT_KEY_UP
    const MTH_Vector2D *m_poZoomVector = nullptr; // EVENT_ZOOM
    double m_fZoom = 0;                           // EVENT_ZOOM
    int m_iDevice = 0;                            // EVENT_DEVICE
    const char *m_sData = nullptr;                // EVENT_DEVICE
    int m_iLength = 0;                            // EVENT_DEVICE
};

// Owns the Lua interpreter, registers the player's vocabulary in it and makes
// every call into the document's scripts, always protected.
class CTRL_ScriptEngine {
public:
    CTRL_ScriptEngine();
    virtual ~CTRL_ScriptEngine();

    CTRL_ScriptEngine(const CTRL_ScriptEngine &) = delete;
    CTRL_ScriptEngine &operator=(const CTRL_ScriptEngine &) = delete;

    virtual bool sendEvent(const CTRL_ScriptEvent &event);
    virtual void update(double deltaTime);
    virtual void aspectRatioChanged(double ratio);
    virtual bool loadScripts();
    virtual void registerLibrary(const CTRL_HostLibrary &library, void *context);
    virtual void setGlobal(const char *name, const CTRL_ScriptValue *value);
    virtual bool getGlobal(const char *name, CTRL_ScriptValue *out);
    virtual bool callFunction(const char *name, CTRL_ScriptValueArray *arguments, CTRL_ScriptValue *result);
    virtual int collectGarbage();
    virtual void setController(CTRL_Generic *controller);

    // Protected call of the function and arguments already on the stack;
    // failures go to the controller's error report. Without a controller,
    // or once it is halted, the function and its arguments are dropped and
    // the call fails without a report.
    bool pcall(int arguments, int results);

    lua_State *getLuaState() const { return m_poLuaState; }
    CTRL_Generic *getController() const { return m_poController; }

    // The closure behind every function of a host library: upvalue 1 the
    // context, upvalue 2 the host function, both light userdata.
    static int callHostFunction(lua_State *L);
    // Converts the value on top into value and pops it: booleans, anything
    // that converts to a number, other strings, nil; tables, functions and
    // userdata leave value unchanged.
    static void popValue(lua_State *L, CTRL_ScriptValue *value);
    static void pushValue(lua_State *L, const CTRL_ScriptValue *value);

    // Callback ids that the engine itself reads (the scripts' CB_ constants).
    enum { CALLBACK_UPDATE = 1, CALLBACK_EVENT = 2, CALLBACK_ASPECT_RATIO_CHANGED = 11, CALLBACK_COUNT = 11 };
    // Registry reference of the function set for callback id i at index
    // i - 1; 0 for none.
    int m_aiCallbackRefs[CALLBACK_COUNT];
    lua_State *m_poLuaState;
    CTRL_Generic *m_poController;

private:
    // Calls the function of a callback id with one number, if it is set.
    void callWithNumber(int id, double value);
    // Pushes the global of that name, fetched protectedly (a metatable on
    // the globals may raise); false when the fetch failed.
    bool pushGlobal(const char *name);
    // lua_pcall that reports a failure with or without a controller.
    bool protectedCall(int arguments, int results);
    // Hands the error value on top to the controller's error report (or the
    // log when there is no controller) and pops it.
    void reportTopError();
};

// The controller kept with the interpreter, reachable from any host function
// (a light userdata in the registry); null until setController.
void lua_setcontroller(lua_State *L, CTRL_Generic *controller);
CTRL_Generic *lua_getcontroller(lua_State *L);

// The registration step of INFINITE_PLUS and INFINITE_MINUS.
void CTRL_registerInfinities(lua_State *L);
