// coroutine.resume and coroutine.wrap as the stock library has them, but
// telling the script engine which coroutine runs: an interrupt must stop the
// coroutine that spins, not only the main thread that waits for it.
#include <lua.hpp>

#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_ScriptLibraries.h"

// Calls the stock resume at index 1 with the arguments above it, thread
// (its first argument) marked as running meanwhile. Leaves every result on
// the stack and returns their number; a raised error goes on up. Once an
// interrupt was asked for, the caller meets it as soon as the call is over.
static int resumeTold(lua_State *L, lua_State *thread)
{
    int arguments = lua_gettop(L) - 1;
    LMP_ScriptEngine *engine = LMP_ScriptEngine::of(LMP_poController(L));
    if (engine == nullptr) {
        lua_call(L, arguments, LUA_MULTRET);
        return lua_gettop(L);
    }
    if (engine->interruptRequested())
        return LMP_ScriptEngine::raiseInterrupt(L);
    // Protected, so that the engine always learns that the thread is back.
    lua_State *previous = engine->enterThread(thread);
    int status = lua_pcall(L, arguments, LUA_MULTRET, 0);
    engine->leaveThread(previous);
    if (status != LUA_OK)
        return lua_error(L);
    if (engine->interruptRequested())
        return LMP_ScriptEngine::raiseInterrupt(L);
    return lua_gettop(L);
}

// coroutine.resume(co, ...); upvalue 1 the stock resume.
static int coroutineResume(lua_State *L)
{
    lua_State *thread = lua_tothread(L, 1);
    luaL_argcheck(L, thread != nullptr, 1, "coroutine expected");
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    return resumeTold(L, thread);
}

// The function made by coroutine.wrap: upvalue 1 the coroutine, upvalue 2
// the stock resume. Errors of the coroutine are raised with the caller's
// position in front, as the stock library does.
static int wrappedCall(lua_State *L)
{
    lua_State *thread = lua_tothread(L, lua_upvalueindex(1));
    lua_pushvalue(L, lua_upvalueindex(2));
    lua_insert(L, 1);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 2);
    int results = resumeTold(L, thread);
    if (lua_toboolean(L, 1)) {
        lua_remove(L, 1);
        return results - 1;
    }
    if (lua_isstring(L, -1)) {
        luaL_where(L, 1);
        lua_insert(L, -2);
        lua_concat(L, 2);
    }
    return lua_error(L);
}

// coroutine.wrap(f); upvalue 1 the stock resume.
static int coroutineWrap(lua_State *L)
{
    luaL_checktype(L, 1, LUA_TFUNCTION);
    lua_State *thread = lua_newthread(L);
    lua_pushvalue(L, 1);
    lua_xmove(L, thread, 1);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_pushcclosure(L, wrappedCall, 2);
    return 1;
}

void LMP_installCoroutines(lua_State *L)
{
    lua_getglobal(L, LUA_COLIBNAME);
    if (lua_istable(L, -1)) {
        lua_getfield(L, -1, "resume");
        lua_pushvalue(L, -1);
        lua_pushcclosure(L, coroutineResume, 1);
        lua_setfield(L, -3, "resume");
        lua_pushcclosure(L, coroutineWrap, 1);
        lua_setfield(L, -2, "wrap");
    }
    lua_pop(L, 1);
}
