#include "tests/support/TEST_Support.h"

#include <cstdlib>
#include <lua.hpp>

bool TEST_everythingMustRun()
{
    const char *value = std::getenv("VEKTA_TESTS_NEED_ALL");
    return value != nullptr && value[0] != '\0' && value[0] != '0';
}

std::string TEST_runLua(lua_State *L, const std::string &source)
{
    int top = lua_gettop(L);
    if (luaL_loadbuffer(L, source.data(), source.size(), "=t") != LUA_OK || lua_pcall(L, 0, LUA_MULTRET, 0) != LUA_OK) {
        std::string message = "error: ";
        if (lua_type(L, -1) == LUA_TSTRING || lua_type(L, -1) == LUA_TNUMBER)
            message += lua_tostring(L, -1);
        else
            message += std::string("(error object is a ") + luaL_typename(L, -1) + " value)";
        lua_settop(L, top);
        return message;
    }
    std::string result;
    for (int i = top + 1; i <= lua_gettop(L); i++) {
        if (i > top + 1)
            result += ",";
        size_t length = 0;
        const char *text = luaL_tolstring(L, i, &length);
        result.append(text, length);
        lua_pop(L, 1);
    }
    lua_settop(L, top);
    return result;
}
