// Console output of the scripts: print, debug.debug and the panic handler.
// A document has no console: everything goes to the diagnostic log, one
// message per write, and the standard input is empty.
#include <lua.hpp>

#include "controller/CTRL_Stream.h"
#include "foundation/UTIL_Log.h"
#include "scripting/LMP_ScriptLibraries.h"

// print(...): every argument through the global tostring, joined by tabs,
// written as one message (the standard output handle cuts it to 1023 bytes
// and never treats it as a format).
static int consolePrint(lua_State *L)
{
    int n = lua_gettop(L);
    luaL_checkstack(L, 2 * n + 2, "too many arguments to 'print'");
    lua_getglobal(L, "tostring");
    int tostring = n + 1;
    for (int i = 1; i <= n; i++) {
        if (i > 1)
            lua_pushliteral(L, "\t");
        lua_pushvalue(L, tostring);
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        if (lua_tolstring(L, -1, nullptr) == nullptr)
            return luaL_error(L, "'tostring' must return a string to 'print'");
    }
    if (n == 0)
        lua_pushliteral(L, "");
    else
        lua_concat(L, 2 * n - 1);
    size_t length = 0;
    const char *text = lua_tolstring(L, -1, &length);
    CTRL_Stream::write(text, 1, length, CTRL_Stream::STDOUT);
    return 0;
}

// debug.debug(): shows the prompt and reads commands from the standard
// input, which is empty, so it returns at once.
static int consoleDebug(lua_State *)
{
    static const char prompt[] = "lua_debug> ";
    CTRL_Stream::write(prompt, 1, sizeof(prompt) - 1, CTRL_Stream::STDERR);
    return 0;
}

int LMP_iScriptPanic(lua_State *L)
{
    const char *message = lua_tostring(L, -1);
    if (message == nullptr)
        message = "error object is not a string";
    UTIL_warn("PANIC: unprotected error in call to Lua API (%s)\n", message);
    return 0; // the interpreter then aborts, as stock Lua does
}

// debug.setupvalue and debug.upvaluejoin on a host function would let a
// script put any value, such as another function's light userdata, where
// the host keeps its own pointers: they work on Lua functions only.
static int debugGuardedUpvalues(lua_State *L)
{
    int top = lua_gettop(L);
    for (int i = 1; i <= top; i++)
        if (lua_iscfunction(L, i))
            return luaL_error(L, "upvalues of host functions cannot be changed");
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, top, LUA_MULTRET);
    return lua_gettop(L);
}

// The registry holds the host's own pointers and tables: scripts do not
// reach it.
static int debugNoRegistry(lua_State *L)
{
    return luaL_error(L, "'getregistry' not supported");
}

static void guardDebugLibrary(lua_State *L)
{
    static const char *const guarded[] = {"setupvalue", "upvaluejoin"};
    for (const char *name : guarded) {
        lua_getfield(L, -1, name);
        lua_pushcclosure(L, debugGuardedUpvalues, 1);
        lua_setfield(L, -2, name);
    }
    lua_pushcfunction(L, debugNoRegistry);
    lua_setfield(L, -2, "getregistry");
}

void LMP_installConsole(lua_State *L)
{
    lua_atpanic(L, LMP_iScriptPanic);
    lua_pushcfunction(L, consolePrint);
    lua_setglobal(L, "print");
    lua_getglobal(L, LUA_DBLIBNAME);
    if (lua_istable(L, -1)) {
        lua_pushcfunction(L, consoleDebug);
        lua_setfield(L, -2, "debug");
        guardDebugLibrary(L);
    }
    lua_pop(L, 1);
}
