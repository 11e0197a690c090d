#include "scripting/LMP_ScriptEngine.h"

#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <new>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_Timer.h"
#include "scripting/LMP_Allocator.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Proxy.h"
#include "scripting/LMP_ScriptLibraries.h"
#include "scripting/LMP_Registration.h"

// --- values of the host interface ---

LMP_ScriptValue::~LMP_ScriptValue()
{
    free(m_sValue);
}

void LMP_ScriptValue::clear()
{
    free(m_sValue);
    m_sValue = nullptr;
    m_iType = NIL;
}

void LMP_ScriptValue::setString(const char *text)
{
    clear();
    size_t length = text != nullptr ? strlen(text) : 0;
    m_sValue = static_cast<char *>(malloc(length + 1));
    if (m_sValue == nullptr)
        throw std::bad_alloc();
    if (length > 0)
        memcpy(m_sValue, text, length);
    m_sValue[length] = '\0';
    m_iType = STRING;
}

// --- the controller kept with the interpreter ---

// Its address is the registry key of the controller's slot.
static const char s_cControllerKey = 0;

void LMP_setController(lua_State *L, CTRL_Generic *controller)
{
    lua_pushlightuserdata(L, controller);
    lua_rawsetp(L, LUA_REGISTRYINDEX, &s_cControllerKey);
}

CTRL_Generic *LMP_poController(lua_State *L)
{
    lua_rawgetp(L, LUA_REGISTRYINDEX, &s_cControllerKey);
    void *controller = lua_touserdata(L, -1);
    lua_pop(L, 1);
    return static_cast<CTRL_Generic *>(controller);
}

// --- construction ---

void LMP_registerInfinities(lua_State *L)
{
    lua_pushnumber(L, DBL_MAX);
    lua_setglobal(L, "INFINITE_PLUS");
    lua_pushnumber(L, -DBL_MAX);
    lua_setglobal(L, "INFINITE_MINUS");
}

// The player's vocabulary, in the order of registration: each step may use
// what the earlier ones registered.
static const LMP_RegistrationStep s_apfnRegistrationSteps[] = {
    LMP_registerConstants,       // the constants table
    LMP_registerInfinities,      // INFINITE_PLUS, INFINITE_MINUS
    LMP_registerGlobalFunctions, // the global functions
    LMP_registerObjectTypes,     // the OBJECT_ type codes
    LMP_registerClasses,         // the bound classes
    LMP_registerValueTypes,      // v3, v2, color, m33
};

// Fills a new interpreter; run protected so that a failure (out of memory)
// is an error, not a panic.
static int fillState(lua_State *L)
{
    LMP_openScriptLibraries(L);
    lua_gc(L, LUA_GCSETPAUSE, 100);
    lua_gc(L, LUA_GCSETSTEPMUL, 300);
    for (LMP_RegistrationStep step : s_apfnRegistrationSteps)
        step(L);
    return 0;
}

LMP_ScriptEngine *LMP_ScriptEngine::of(const CTRL_Generic *controller)
{
    if (controller == nullptr)
        return nullptr;
    return dynamic_cast<LMP_ScriptEngine *>(controller->m_poScriptEngine);
}

LMP_ScriptEngine::LMP_ScriptEngine(int allocatorMode)
    : m_poLuaState(nullptr), m_poAllocator(nullptr), m_bClosing(false), m_bInterrupted(false),
      m_poRunningThread(nullptr), m_iCallDepth(0)
{
    for (int &reference : m_aiCallbackRefs)
        reference = 0;
    LMP_Allocator::Mode mode = LMP_Allocator::defaultMode();
    if (allocatorMode == LMP_Allocator::SYSTEM || allocatorMode == LMP_Allocator::POOLED)
        mode = static_cast<LMP_Allocator::Mode>(allocatorMode);
    m_poAllocator = new LMP_Allocator(mode);
    m_poAllocator->setLimit(DEFAULT_MEMORY_LIMIT);
    m_poLuaState = lua_newstate(LMP_Allocator::allocate, m_poAllocator);
    if (m_poLuaState == nullptr)
        return;
    lua_State *L = m_poLuaState;
    lua_atpanic(L, LMP_iScriptPanic); // as luaL_newstate would, before anything can fail
    LMP_setController(L, nullptr);    // the slot exists from now on
    lua_pushcfunction(L, fillState);
    if (lua_pcall(L, 0, 0, 0) != LUA_OK) {
        const char *text = lua_tostring(L, -1);
        UTIL_warn("Script interpreter set-up failed: %s", text != nullptr ? text : "?");
        lua_pop(L, 1);
    }
}

LMP_ScriptEngine::~LMP_ScriptEngine()
{
    close();
    delete m_poAllocator; // after the interpreter, whose blocks it held
}

void LMP_ScriptEngine::close()
{
    lua_State *L = m_poLuaState;
    if (L == nullptr || m_bClosing)
        return;
    // Closing frees every block and runs the finalizers first. Proxies that
    // only its userdata held go after it, also where a script kept their
    // collection from running, and so do the files that finalizers left
    // open (Lua frees the handles they make without collecting them).
    m_bClosing = true;
    lua_close(L);
    LMP_Proxy::releaseClosedInterpreter(L);
    LMP_closeFilesLeftOpen(L);
    m_poLuaState = nullptr;
    m_poRunningThread.store(nullptr);
    for (int &reference : m_aiCallbackRefs)
        reference = 0;
    m_bClosing = false;
}

bool LMP_ScriptEngine::acceptsEvents() const
{
    return m_poLuaState != nullptr && !m_bClosing && CTRL_ScriptEngine::acceptsEvents();
}

void LMP_ScriptEngine::setMemoryLimit(size_t bytes)
{
    if (m_poAllocator != nullptr)
        m_poAllocator->setLimit(bytes);
}

void LMP_ScriptEngine::setController(CTRL_Generic *controller)
{
    m_poController = controller;
    if (m_poLuaState != nullptr)
        LMP_setController(m_poLuaState, controller);
}

// --- interrupts ---

// Every instruction, call and return: the script cannot run a step further
// without meeting the error, even when it catches it.
static const int INTERRUPT_HOOK_MASK = LUA_MASKCALL | LUA_MASKRET | LUA_MASKCOUNT;

int LMP_ScriptEngine::raiseInterrupt(lua_State *L)
{
    luaL_where(L, 0);
    lua_pushliteral(L, "interrupted");
    lua_concat(L, 2);
    return lua_error(L);
}

static void interruptHook(lua_State *L, lua_Debug *)
{
    LMP_ScriptEngine::raiseInterrupt(L);
}

void LMP_ScriptEngine::requestInterrupt()
{
    // Only a flag and lua_sethook, which writes a few fields of the state:
    // nothing that a signal arriving anywhere could break.
    m_bInterrupted.store(true);
    if (m_poLuaState == nullptr)
        return;
    lua_sethook(m_poLuaState, interruptHook, INTERRUPT_HOOK_MASK, 1);
    lua_State *running = m_poRunningThread.load();
    if (running != nullptr)
        lua_sethook(running, interruptHook, INTERRUPT_HOOK_MASK, 1);
}

lua_State *LMP_ScriptEngine::enterThread(lua_State *thread)
{
    lua_State *previous = m_poRunningThread.exchange(thread);
    if (m_bInterrupted.load())
        lua_sethook(thread, interruptHook, INTERRUPT_HOOK_MASK, 1);
    return previous;
}

void LMP_ScriptEngine::leaveThread(lua_State *previous)
{
    m_poRunningThread.store(previous);
    // The coroutine that resumed the one now back may have caught its
    // error: it needs the hook too.
    if (m_bInterrupted.load() && previous != nullptr)
        lua_sethook(previous, interruptHook, INTERRUPT_HOOK_MASK, 1);
}

// --- protected calls ---

void LMP_ScriptEngine::reportTopError()
{
    lua_State *L = m_poLuaState;
    const char *text = lua_tostring(L, -1);
    // The text is passed as an argument, never used as a format.
    if (m_bInterrupted.load()) {
        if (m_iCallDepth == 0 && text != nullptr)
            UTIL_warnText(text);
    } else if (m_poController == nullptr) {
        if (text != nullptr)
            UTIL_warnText(text);
        else
            UTIL_warn("(error object is a %s value)", luaL_typename(L, -1));
    } else if (text != nullptr) {
        m_poController->reportError("%s", text);
    } else {
        m_poController->reportError("(error object is a %s value)", luaL_typename(L, -1));
    }
    lua_pop(L, 1);
}

bool LMP_ScriptEngine::dropsCalls()
{
    if (m_poController != nullptr && !m_poController->m_bHalted && !m_bInterrupted.load() && !m_bClosing)
        return false;
    if (m_iCallDepth == 0 && m_bInterrupted.load())
        lua_sethook(m_poLuaState, nullptr, 0, 0); // asked for between two calls
    return true;
}

bool LMP_ScriptEngine::pcall(int arguments, int results)
{
    lua_State *L = m_poLuaState;
    if (L == nullptr)
        return false;
    if (dropsCalls()) {
        lua_pop(L, arguments + 1);
        return false;
    }
    return protectedCall(arguments, results);
}

namespace {
struct LMP_PushCall {
    int (*m_pfnPush)(lua_State *L, const void *data);
    const void *m_pData;
    int m_iResults;
};
} // namespace

// The protected side of pcallPushed, its one argument the LMP_PushCall as a
// light userdata: makes the function and its arguments behind the guard of
// bound calls, then calls it; its results are the function's.
static int callPushed(lua_State *L)
{
    const LMP_PushCall *call = static_cast<const LMP_PushCall *>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    int pushed = LMP_iGuardedCall(L, [L, call] { return call->m_pfnPush(L, call->m_pData); });
    lua_call(L, pushed - 1, call->m_iResults);
    return lua_gettop(L);
}

bool LMP_ScriptEngine::pcallPushed(int (*push)(lua_State *L, const void *data), const void *data, int results)
{
    lua_State *L = m_poLuaState;
    if (L == nullptr || dropsCalls())
        return false;
    LMP_PushCall call = {push, data, results};
    // A light function and a light userdata take no memory.
    lua_pushcfunction(L, callPushed);
    lua_pushlightuserdata(L, &call);
    return protectedCall(1, results);
}

bool LMP_ScriptEngine::protectedCall(int arguments, int results)
{
    m_iCallDepth++;
    int status = lua_pcall(m_poLuaState, arguments, results, 0);
    // Once the interrupted script is over nothing more needs stopping: no
    // later code (finalizers, the host's own calls) meets the hook.
    if (--m_iCallDepth == 0 && m_bInterrupted.load()) {
        lua_sethook(m_poLuaState, nullptr, 0, 0);
        m_poRunningThread.store(nullptr);
    }
    if (status == LUA_OK)
        return true;
    reportTopError();
    return false;
}

static int getGlobalFunction(lua_State *L)
{
    lua_getglobal(L, lua_tostring(L, 1));
    return 1;
}

static int setGlobalFunction(lua_State *L)
{
    lua_settop(L, 2);
    lua_setglobal(L, lua_tostring(L, 1));
    return 0;
}

bool LMP_ScriptEngine::pushGlobal(const char *name)
{
    lua_pushcfunction(m_poLuaState, getGlobalFunction);
    lua_pushstring(m_poLuaState, name);
    return pcall(1, 1);
}

// --- the controller's entries ---

// A function, or a value whose metatable has __call.
static bool isCallable(lua_State *L, int index)
{
    if (lua_isfunction(L, index))
        return true;
    if (luaL_getmetafield(L, index, "__call") == 0)
        return false;
    lua_pop(L, 1);
    return true;
}

bool LMP_ScriptEngine::loadScripts()
{
    lua_State *L = m_poLuaState;
    if (L == nullptr || m_poController == nullptr || m_poController->m_poDocument == nullptr)
        return false;
    UTIL_Timer timer;
    timer.start();
    m_poController->m_iLoadStage = CTRL_STAGE_LOADING;

    if (LMP_iLoadScriptFile(L, "init.lua", nullptr) != LUA_OK) {
        reportTopError();
        return false;
    }
    if (!pcall(0, 0))
        return false;
    // A missing startup is called all the same: the interpreter's own
    // message reports it, after a line that names it.
    if (!pushGlobal("startup"))
        return false;
    if (!isCallable(L, -1)) {
        static const char need[] = "init.lua must define the global function startup(), which the player calls "
                                   "once init.lua has run";
        if (lua_isnil(L, -1))
            UTIL_warn("startup is not defined: %s", need);
        else
            UTIL_warn("startup is a %s, not a function: %s", luaL_typename(L, -1), need);
    }
    if (!pcall(0, 0))
        return false;

    m_poController->setRunning();
    UTIL_warn("%s loaded in %fs.", m_poController->m_sDocumentPath != nullptr ? m_poController->m_sDocumentPath : "",
              timer.getElapsed());
    return true;
}

void LMP_ScriptEngine::callWithNumber(int id, double value)
{
    lua_State *L = m_poLuaState;
    if (L == nullptr)
        return;
    lua_rawgeti(L, LUA_REGISTRYINDEX, m_aiCallbackRefs[id - 1]);
    if (!lua_isfunction(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    lua_pushnumber(L, value);
    pcall(1, 0);
}

void LMP_ScriptEngine::update(double deltaTime)
{
    callWithNumber(MDL_CB_UPDATE, deltaTime);
}

void LMP_ScriptEngine::aspectRatioChanged(double ratio)
{
    callWithNumber(MDL_CB_ASPECT_RATIO_CHANGED, ratio);
}

bool LMP_ScriptEngine::sendEvent(const CTRL_ScriptEvent &event)
{
    lua_State *L = m_poLuaState;
    int reference = m_aiCallbackRefs[MDL_CB_EVENT - 1];
    if (reference == 0 || L == nullptr)
        return false;
    int height = lua_gettop(L);
    auto push = [reference, &event](lua_State *L) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, reference);
        lua_pushinteger(L, event.m_iType);
        switch (event.m_iType) {
        case CTRL_ScriptEvent::KEY_DOWN:
        case CTRL_ScriptEvent::KEY_UP:
            lua_pushinteger(L, event.m_iKey);
            lua_pushinteger(L, 0);
            break;
        case CTRL_ScriptEvent::ZOOM: {
            lua_pushnumber(L, event.m_fZoom);
            MTH_Vector2D *vector = LMP_iPushV2(L);
            *vector = event.m_poZoomVector != nullptr ? *event.m_poZoomVector : MTH_Vector2D();
            break;
        }
        case CTRL_ScriptEvent::DEVICE:
            lua_pushinteger(L, event.m_iDevice);
            if (event.m_sData != nullptr && event.m_iLength > 0)
                lua_pushlstring(L, event.m_sData, static_cast<size_t>(event.m_iLength));
            else
                lua_pushliteral(L, "");
            break;
        default:
            lua_pushinteger(L, 0);
            lua_pushinteger(L, 0);
            break;
        }
        return 4;
    };
    if (!pcallPushed(push, 1))
        return false;
    // The one-boolean rule.
    if (lua_gettop(L) == height + 1 && lua_isboolean(L, -1)) {
        bool consumed = lua_toboolean(L, -1) != 0;
        lua_pop(L, 1);
        return consumed;
    }
    m_poController->reportError("%s", "Event function must return 1 boolean value.");
    lua_settop(L, height);
    return false;
}

// --- the generic host interface ---

void LMP_ScriptEngine::popValue(lua_State *L, LMP_ScriptValue *value)
{
    int type = lua_type(L, -1);
    int isNumber = 0;
    lua_Number number = type == LUA_TBOOLEAN ? 0 : lua_tonumberx(L, -1, &isNumber);
    if (type == LUA_TBOOLEAN) {
        value->clear();
        value->m_iType = LMP_ScriptValue::BOOLEAN;
        value->m_bValue = lua_toboolean(L, -1) != 0;
    } else if (isNumber) {
        value->clear();
        value->m_iType = LMP_ScriptValue::NUMBER;
        value->m_fValue = number;
    } else if (type == LUA_TSTRING) {
        value->setString(lua_tostring(L, -1));
    } else if (type == LUA_TNIL || type == LUA_TNONE) {
        value->clear();
    }
    lua_pop(L, 1);
}

void LMP_ScriptEngine::pushValue(lua_State *L, const LMP_ScriptValue *value)
{
    if (value == nullptr) {
        lua_pushnil(L);
        return;
    }
    switch (value->m_iType) {
    case LMP_ScriptValue::BOOLEAN:
        lua_pushboolean(L, value->m_bValue);
        break;
    case LMP_ScriptValue::INTEGER:
        lua_pushinteger(L, value->m_iValue);
        break;
    case LMP_ScriptValue::NUMBER:
        lua_pushnumber(L, value->m_fValue);
        break;
    case LMP_ScriptValue::STRING:
        lua_pushstring(L, value->m_sValue != nullptr ? value->m_sValue : "");
        break;
    default:
        lua_pushnil(L);
        break;
    }
}

int LMP_ScriptEngine::callHostFunction(lua_State *L)
{
    // Only plain pointers live in this frame: a raise (out of memory while
    // pushing the result) must not cross objects with destructors. A host
    // function or a value that cannot be allocated ends in the memory error,
    // after the values made so far are freed.
    void *context = lua_touserdata(L, lua_upvalueindex(1));
    LMP_HostFunction function = reinterpret_cast<LMP_HostFunction>(lua_touserdata(L, lua_upvalueindex(2)));
    int count = lua_gettop(L);
    LMP_ScriptValueArray *arguments = nullptr;
    LMP_ScriptValue *result = nullptr;
    bool exhausted = false;
    try {
        arguments = new LMP_ScriptValueArray();
        arguments->resize(count);
        for (int i = 0; i < count; i++)
            (*arguments)[i] = nullptr;
        for (int i = count - 1; i >= 0; i--) {
            (*arguments)[i] = new LMP_ScriptValue();
            popValue(L, (*arguments)[i]);
        }
        result = new LMP_ScriptValue();
        if (function != nullptr)
            function(context, arguments, result);
    } catch (const std::bad_alloc &) {
        exhausted = true;
    }
    if (arguments != nullptr) {
        for (int i = 0; i < arguments->m_iCount; i++)
            delete (*arguments)[i];
        delete arguments;
    }
    if (exhausted) {
        delete result;
        return LMP_iRaiseOutOfMemory(L);
    }
    pushValue(L, result);
    delete result;
    return 1;
}

void LMP_ScriptEngine::registerLibrary(const LMP_HostLibrary &library, void *context)
{
    lua_State *L = m_poLuaState;
    if (L == nullptr || library.m_sName == nullptr)
        return;
    lua_newtable(L);
    for (const LMP_HostFunctionRow *row = library.m_poFunctions; row != nullptr && row->m_sName != nullptr; row++) {
        lua_pushlightuserdata(L, context);
        lua_pushlightuserdata(L, reinterpret_cast<void *>(row->m_pfnFunction));
        lua_pushcclosure(L, callHostFunction, 2);
        lua_setfield(L, -2, row->m_sName);
    }
    lua_setglobal(L, library.m_sName);
}

void LMP_ScriptEngine::setGlobal(const char *name, const LMP_ScriptValue *value)
{
    lua_State *L = m_poLuaState;
    if (L == nullptr || name == nullptr)
        return;
    lua_pushcfunction(L, setGlobalFunction);
    lua_pushstring(L, name);
    pushValue(L, value);
    protectedCall(2, 0);
}

bool LMP_ScriptEngine::getGlobal(const char *name, LMP_ScriptValue *out)
{
    lua_State *L = m_poLuaState;
    if (L == nullptr || name == nullptr || out == nullptr)
        return false;
    lua_pushcfunction(L, getGlobalFunction);
    lua_pushstring(L, name);
    if (!protectedCall(1, 1))
        return false;
    popValue(L, out);
    return true;
}

bool LMP_ScriptEngine::callFunction(const char *name, LMP_ScriptValueArray *arguments, LMP_ScriptValue *result)
{
    lua_State *L = m_poLuaState;
    if (L == nullptr || name == nullptr || m_poController == nullptr || m_poController->m_bHalted)
        return false;
    if (!pushGlobal(name))
        return false;
    int count = arguments != nullptr ? arguments->m_iCount : 0;
    if (!lua_checkstack(L, count + 1)) {
        lua_pop(L, 1);
        return false;
    }
    for (int i = 0; i < count; i++)
        pushValue(L, (*arguments)[i]);
    if (!pcall(count, 1))
        return false;
    if (result != nullptr)
        popValue(L, result);
    else
        lua_pop(L, 1);
    return true;
}

static int collectFunction(lua_State *L)
{
    lua_pushinteger(L, lua_gc(L, LUA_GCCOLLECT, 0));
    return 1;
}

int LMP_ScriptEngine::collectGarbage()
{
    lua_State *L = m_poLuaState;
    if (L == nullptr)
        return 0;
    int running = lua_gc(L, LUA_GCISRUNNING, 0);
    if (running != 0)
        return running;
    // A full collection runs finalizers, whose errors are raised.
    lua_pushcfunction(L, collectFunction);
    if (!protectedCall(0, 1))
        return 0;
    int result = static_cast<int>(lua_tointeger(L, -1));
    lua_pop(L, 1);
    return result;
}
