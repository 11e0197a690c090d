#include "scripting/LMP_ScriptLibraries.h"

#include <lua.hpp>

// The standard libraries in the order luaL_openlibs opens them, with the io
// library replaced by ours: the stock one works on C standard files.
static const luaL_Reg s_aoLibraries[] = {
    {"_G", luaopen_base},
    {LUA_LOADLIBNAME, luaopen_package},
    {LUA_COLIBNAME, luaopen_coroutine},
    {LUA_TABLIBNAME, luaopen_table},
    {LUA_IOLIBNAME, LMP_iOpenIoLibrary},
    {LUA_OSLIBNAME, luaopen_os},
    {LUA_STRLIBNAME, luaopen_string},
    {LUA_BITLIBNAME, luaopen_bit32},
    {LUA_MATHLIBNAME, luaopen_math},
    {LUA_DBLIBNAME, luaopen_debug},
    {nullptr, nullptr},
};

void LMP_openScriptLibraries(lua_State *L)
{
    for (const luaL_Reg *library = s_aoLibraries; library->func != nullptr; library++) {
        luaL_requiref(L, library->name, library->func, 1);
        lua_pop(L, 1);
    }
    LMP_installConsole(L);
    LMP_installLoader(L);
    LMP_installOs(L);
    LMP_installCoroutines(L);
}
