#include "scripting/LMP_ValueTypes.h"

#include <lua.hpp>

#include "scripting/LMP_Binding.h"

void LMP_registerValueType(lua_State *L, const char *name, const void *key, const luaL_Reg *functions,
                           int (*constructor)(lua_State *))
{
    luaL_newmetatable(L, name);
    lua_pushvalue(L, -1);
    lua_setfield(L, -2, "__index");
    luaL_setfuncs(L, functions, 0);
    lua_pushvalue(L, -1);
    lua_rawsetp(L, LUA_REGISTRYINDEX, key);
    lua_pop(L, 1);
    lua_pushcfunction(L, constructor);
    lua_setglobal(L, name);
}

// A value's block is the maths value followed by the type's key, which no
// script can write: the value's own methods write only the value, and a
// block of another kind never has this size with this key in its last word.
// So a userdata that a script gave the type's metatable (a file handle, a
// proxy, a value of another type) is never read or written as the type.
typedef const void *LMP_ValueTag;

void *LMP_pvPushValue(lua_State *L, const void *key, size_t size)
{
    unsigned char *block = static_cast<unsigned char *>(lua_newuserdata(L, size + sizeof(LMP_ValueTag)));
    *reinterpret_cast<LMP_ValueTag *>(block + size) = key;
    lua_rawgetp(L, LUA_REGISTRYINDEX, key);
    lua_setmetatable(L, -2);
    return block;
}

void *LMP_pvToValue(lua_State *L, int index, const void *key, size_t size)
{
    // A string gives no pointer and a light userdata has no length.
    unsigned char *block = static_cast<unsigned char *>(lua_touserdata(L, index));
    if (block == nullptr || lua_rawlen(L, index) != size + sizeof(LMP_ValueTag))
        return nullptr;
    if (*reinterpret_cast<LMP_ValueTag *>(block + size) != key)
        return nullptr;
    if (!lua_getmetatable(L, index))
        return nullptr;
    lua_rawgetp(L, LUA_REGISTRYINDEX, key);
    bool same = lua_rawequal(L, -1, -2) != 0;
    lua_pop(L, 2);
    return same ? block : nullptr;
}

void *LMP_pvCheckValue(lua_State *L, int index, const void *key, size_t size, const char *name)
{
    void *value = LMP_pvToValue(L, index, key, size);
    if (value == nullptr) {
        const char *message = lua_pushfstring(L, "%s expected, got %s", name, luaL_typename(L, index));
        LMP_iArgError(L, index, message);
    }
    return value;
}
