#pragma once

#include "foundation/UTIL_DynArray.h"

struct lua_State;
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
    int m_iType = 0;
    int m_iKey = 0;                       // EVENT_KEY_DOWN, EVENT_KEY_UP
    const void *m_poZoomVector = nullptr; // EVENT_ZOOM: an MTH_Vector2D
    double m_fZoom = 0;                   // EVENT_ZOOM
    int m_iDevice = 0;                    // EVENT_DEVICE
    const char *m_sData = nullptr;        // EVENT_DEVICE
    int m_iLength = 0;                    // EVENT_DEVICE
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
    // failures go to the controller's error report.
    bool pcall(int arguments, int results);

    lua_State *getLuaState() const { return m_poLuaState; }
    CTRL_Generic *getController() const { return m_poController; }

    enum { CALLBACK_COUNT = 11 };
    int m_aiCallbackRefs[CALLBACK_COUNT];
    lua_State *m_poLuaState;
    CTRL_Generic *m_poController;
};

// The controller kept with the interpreter, reachable from any host function.
void lua_setcontroller(lua_State *L, CTRL_Generic *controller);
CTRL_Generic *lua_getcontroller(lua_State *L);
