// Console output of the scripts: print, debug.debug and the panic handler.
// A document has no console: everything goes to the diagnostic log, one
// message per write, and the standard input is empty.
#include <cstring>
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

// The debug library's upvalue and local functions, restricted to what a
// script makes itself. Upvalues of host functions and the locals of a level
// that a host function runs hold the host's own values (pointers, class
// tables, the state of a call half done): reading them would hand a script
// what it could use to forge the host's values, changing them could crash
// it. These are the player's own functions, not wrappers around the stock
// ones, so that no stock function stays reachable (a hook or
// debug.getinfo(level, "f") shows any function a level runs).

// debug.getupvalue(f, up) and debug.setupvalue(f, up, value).
static int debugUpvalue(lua_State *L, bool set)
{
    int up = luaL_checkint(L, 2);
    luaL_checktype(L, 1, LUA_TFUNCTION);
    if (set)
        luaL_checkany(L, 3);
    if (lua_iscfunction(L, 1))
        return luaL_error(L, set ? "upvalues of host functions cannot be changed"
                                 : "upvalues of host functions cannot be read");
    const char *name = set ? lua_setupvalue(L, 1, up) : lua_getupvalue(L, 1, up);
    if (name == nullptr)
        return 0;
    lua_pushstring(L, name);
    if (set)
        return 1;
    lua_insert(L, -2);
    return 2;
}

static int debugGetUpvalue(lua_State *L)
{
    return debugUpvalue(L, false);
}

static int debugSetUpvalue(lua_State *L)
{
    return debugUpvalue(L, true);
}

// debug.upvaluejoin(f1, n1, f2, n2): on Lua functions only (Lua's own
// checks), said with the same message as the other upvalue functions.
static int debugUpvalueJoin(lua_State *L)
{
    luaL_checktype(L, 1, LUA_TFUNCTION);
    luaL_checktype(L, 3, LUA_TFUNCTION);
    int n1 = luaL_checkint(L, 2), n2 = luaL_checkint(L, 4);
    if (lua_iscfunction(L, 1) || lua_iscfunction(L, 3))
        return luaL_error(L, "upvalues of host functions cannot be changed");
    luaL_argcheck(L, lua_getupvalue(L, 1, n1) != nullptr, 2, "invalid upvalue index");
    luaL_argcheck(L, lua_getupvalue(L, 3, n2) != nullptr, 4, "invalid upvalue index");
    lua_pop(L, 2);
    lua_upvaluejoin(L, 1, n1, 3, n2);
    return 0;
}

// debug.setlocal([thread,] level, local, value)
static int debugSetLocal(lua_State *L)
{
    lua_State *target = L;
    int arg = 0;
    if (lua_isthread(L, 1)) {
        target = lua_tothread(L, 1);
        arg = 1;
    }
    lua_Debug ar;
    if (!lua_getstack(target, luaL_checkint(L, arg + 1), &ar))
        return luaL_argerror(L, arg + 1, "level out of range");
    int local = luaL_checkint(L, arg + 2);
    luaL_checkany(L, arg + 3);
    if (lua_getinfo(target, "S", &ar) && ar.what != nullptr && std::strcmp(ar.what, "C") == 0)
        return luaL_error(L, "locals of host functions cannot be changed");
    if (target != L && !lua_checkstack(target, 1))
        return luaL_error(L, "stack overflow");
    lua_settop(L, arg + 3);
    lua_xmove(L, target, 1);
    const char *name = lua_setlocal(target, &ar, local);
    if (name == nullptr)
        lua_pop(target, 1); // no such local: the value is not taken
    lua_pushstring(L, name);
    return 1;
}

// The registry holds the host's own pointers and tables: scripts do not
// reach it.
static int debugNoRegistry(lua_State *L)
{
    return luaL_error(L, "'getregistry' not supported");
}

static void guardDebugLibrary(lua_State *L)
{
    static const luaL_Reg guarded[] = {{"getupvalue", debugGetUpvalue},
                                       {"setupvalue", debugSetUpvalue},
                                       {"upvaluejoin", debugUpvalueJoin},
                                       {"setlocal", debugSetLocal},
                                       {"getregistry", debugNoRegistry}};
    for (const luaL_Reg &entry : guarded) {
        lua_pushcfunction(L, entry.func);
        lua_setfield(L, -2, entry.name);
    }
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
