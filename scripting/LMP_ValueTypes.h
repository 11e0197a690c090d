#pragma once

#include <cstddef>

struct lua_State;
struct luaL_Reg;
struct MTH_Vector2D;
struct MTH_Vector3D;
struct MTH_Vector4D;
class MTH_Matrix3x3;

// The script value types "v2", "v3", "color" (r, g, b, a) and "m33": full
// userdata holding one copy of the maths value, with no finaliser and no
// link to engine objects. The registry metatable of the type's name is the
// type's identity and its method table.
//
// A value is recognised by the identity of its metatable and by its block
// (the maths value, then a private tag of the type), so a userdata of
// another kind that a script gave the type's metatable is never read or
// written as the type.

// Registration, called once per interpreter by the engine (v3, v2, color,
// m33): the metatable with its functions, and the global constructor.
void LMP_iRegisterV2(lua_State *L);
void LMP_iRegisterV3(lua_State *L);
void LMP_iRegisterColor(lua_State *L);
void LMP_iRegisterM33(lua_State *L);

// A new value on top of the stack; returns its storage for the caller to
// fill.
MTH_Vector2D *LMP_iPushV2(lua_State *L);
MTH_Vector3D *LMP_iPushV3(lua_State *L);
MTH_Vector4D *LMP_iPushColor(lua_State *L);
MTH_Matrix3x3 *LMP_iPushM33(lua_State *L);

// The stored value at index (not a copy), or null when it is not one.
MTH_Vector2D *LMP_poToV2(lua_State *L, int index);
MTH_Vector3D *LMP_poToV3(lua_State *L, int index);
MTH_Vector4D *LMP_poToColor(lua_State *L, int index);
MTH_Matrix3x3 *LMP_poToM33(lua_State *L, int index);

// The same, raising the standard argument error ("v3 expected, got
// string") when it is not one.
MTH_Vector2D *LMP_iCheckV2(lua_State *L, int index);
MTH_Vector3D *LMP_iCheckV3(lua_State *L, int index);
MTH_Vector4D *LMP_iCheckColor(lua_State *L, int index);
MTH_Matrix3x3 *LMP_iCheckM33(lua_State *L, int index);

// --- shared by the four types ---

// Creates the named metatable with __index = itself and the functions, keeps
// it under key too for fast look-ups, and sets the global constructor.
void LMP_registerValueType(lua_State *L, const char *name, const void *key, const luaL_Reg *functions,
                           int (*constructor)(lua_State *));
// A new value block (size bytes of value, then the tag) with the metatable
// kept under key; returns the value's storage.
void *LMP_pvPushValue(lua_State *L, const void *key, size_t size);
// The value's storage at index when it is a block of this type (tag and
// size) whose metatable is the one kept under key, else null.
void *LMP_pvToValue(lua_State *L, int index, const void *key, size_t size);
// The same, raising "%s expected, got %s" with name.
void *LMP_pvCheckValue(lua_State *L, int index, const void *key, size_t size, const char *name);
