// Stand-ins for the registration steps whose bindings do not exist yet: each
// registers nothing. A binding that defines one of these functions in its
// own file removes the stand-in here.
#include "scripting/LMP_Registration.h"

#include <lua.hpp>

#include "foundation/MTH_Vector.h"

void LMP_registerConstants(lua_State *) {}

void LMP_registerGlobalFunctions(lua_State *) {}

void LMP_registerObjectTypes(lua_State *) {}

void LMP_registerClasses(lua_State *) {}

void LMP_registerValueTypes(lua_State *) {}

// A userdata of the vector's size with the registered "v2" metatable (none
// until the value types are registered).
MTH_Vector2D *LMP_iPushV2(lua_State *L)
{
    void *storage = lua_newuserdata(L, sizeof(MTH_Vector2D));
    luaL_setmetatable(L, "v2");
    return static_cast<MTH_Vector2D *>(storage);
}
