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

std::string TEST_precompiled(const char *source)
{
    lua_State *L = luaL_newstate();
    std::string bytes;
    if (luaL_loadstring(L, source) == LUA_OK)
        lua_dump(
            L,
            [](lua_State *, const void *p, size_t size, void *out) {
                static_cast<std::string *>(out)->append(static_cast<const char *>(p), size);
                return 0;
            },
            &bytes);
    lua_close(L);
    return bytes;
}

const void *TEST_functionIdentity(lua_State *L)
{
    if (lua_iscfunction(L, -1) && lua_getupvalue(L, -1, 1) != nullptr) {
        const void *row = lua_type(L, -1) == LUA_TLIGHTUSERDATA ? lua_touserdata(L, -1) : nullptr;
        lua_pop(L, 1);
        if (row != nullptr)
            return row;
    }
    return lua_topointer(L, -1);
}

std::map<std::string, const void *> TEST_functionsOf(lua_State *L)
{
    std::map<std::string, const void *> functions;
    lua_pushnil(L);
    while (lua_next(L, -2) != 0) {
        if (lua_type(L, -2) == LUA_TSTRING && lua_isfunction(L, -1))
            functions[lua_tostring(L, -2)] = TEST_functionIdentity(L);
        lua_pop(L, 1);
    }
    return functions;
}

bool TEST_metatableIndexes(lua_State *L, const char *name, int index)
{
    index = lua_absindex(L, index);
    luaL_getmetatable(L, name);
    bool indexes = false;
    if (lua_istable(L, -1)) {
        lua_pushliteral(L, "__index");
        lua_rawget(L, -2);
        indexes = lua_rawequal(L, -1, index) != 0;
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return indexes;
}

std::map<std::string, std::map<std::string, const void *>> TEST_boundClasses(lua_State *L)
{
    std::map<std::string, std::map<std::string, const void *>> classes;
    lua_pushglobaltable(L);
    lua_pushnil(L);
    while (lua_next(L, -2) != 0) {
        if (lua_type(L, -2) == LUA_TSTRING && lua_istable(L, -1) && TEST_metatableIndexes(L, lua_tostring(L, -2), -1)) {
            std::map<std::string, const void *> methods = TEST_functionsOf(L);
            methods.erase("new");
            classes[lua_tostring(L, -2)] = methods;
        }
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return classes;
}
