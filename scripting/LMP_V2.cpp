// The script value type "v2": a 2D vector held by value.
#include <cmath>
#include <new>

#include <lua.hpp>

#include "foundation/MTH_Vector.h"
#include "scripting/LMP_ValueTypes.h"

// Its address keys the metatable in the registry.
static const char s_cV2Key = 0;

MTH_Vector2D *LMP_iPushV2(lua_State *L)
{
    return new (LMP_pvPushValue(L, &s_cV2Key, sizeof(MTH_Vector2D))) MTH_Vector2D();
}

MTH_Vector2D *LMP_poToV2(lua_State *L, int index)
{
    return static_cast<MTH_Vector2D *>(LMP_pvToValue(L, index, &s_cV2Key, sizeof(MTH_Vector2D)));
}

MTH_Vector2D *LMP_iCheckV2(lua_State *L, int index)
{
    return static_cast<MTH_Vector2D *>(LMP_pvCheckValue(L, index, &s_cV2Key, sizeof(MTH_Vector2D), "v2"));
}

static double numberAt(lua_State *L, int index)
{
    return lua_tonumberx(L, index, nullptr);
}

static int pushV2(lua_State *L, double x, double y)
{
    MTH_Vector2D *result = LMP_iPushV2(L);
    result->m_fX = x;
    result->m_fY = y;
    return 1;
}

static double length(double x, double y)
{
    return std::sqrt(x * x + y * y);
}

// v2(), v2(x, y), v2(v)
static int newV2(lua_State *L)
{
    if (lua_gettop(L) == 0)
        return pushV2(L, 0, 0);
    if (lua_isnumber(L, 1)) {
        double x = lua_tonumber(L, 1);
        double y = luaL_checknumber(L, 2);
        return pushV2(L, x, y);
    }
    const MTH_Vector2D *v = LMP_iCheckV2(L, 1);
    return pushV2(L, v->m_fX, v->m_fY);
}

static int add(lua_State *L)
{
    const MTH_Vector2D *a = LMP_iCheckV2(L, 1);
    const MTH_Vector2D *b = LMP_iCheckV2(L, 2);
    return pushV2(L, a->m_fX + b->m_fX, a->m_fY + b->m_fY);
}

static int sub(lua_State *L)
{
    const MTH_Vector2D *a = LMP_iCheckV2(L, 1);
    const MTH_Vector2D *b = LMP_iCheckV2(L, 2);
    return pushV2(L, a->m_fX - b->m_fX, a->m_fY - b->m_fY);
}

// number * v, v * number, or v * v: the z component of the cross product.
static int mul(lua_State *L)
{
    if (lua_isnumber(L, 1)) {
        double n = lua_tonumber(L, 1);
        const MTH_Vector2D *v = LMP_iCheckV2(L, 2);
        return pushV2(L, v->m_fX * n, v->m_fY * n);
    }
    if (lua_isnumber(L, 2)) {
        const MTH_Vector2D *v = LMP_iCheckV2(L, 1);
        double n = lua_tonumber(L, 2);
        return pushV2(L, v->m_fX * n, v->m_fY * n);
    }
    const MTH_Vector2D *a = LMP_iCheckV2(L, 1);
    const MTH_Vector2D *b = LMP_iCheckV2(L, 2);
    lua_pushnumber(L, a->m_fX * b->m_fY - a->m_fY * b->m_fX);
    return 1;
}

// Only a vector divided by a number; anything else (a number divided by a
// vector included) yields nil, before the operands are checked.
static int div(lua_State *L)
{
    if (!lua_isnumber(L, 2))
        return 0;
    const MTH_Vector2D *v = LMP_iCheckV2(L, 1);
    double r = 1.0 / lua_tonumber(L, 2);
    return pushV2(L, v->m_fX * r, v->m_fY * r);
}

static int eq(lua_State *L)
{
    const MTH_Vector2D *a = LMP_iCheckV2(L, 1);
    const MTH_Vector2D *b = LMP_iCheckV2(L, 2);
    lua_pushboolean(L, a->m_fX == b->m_fX && a->m_fY == b->m_fY);
    return 1;
}

static int unm(lua_State *L)
{
    const MTH_Vector2D *v = LMP_iCheckV2(L, 1);
    return pushV2(L, -v->m_fX, -v->m_fY);
}

static int toString(lua_State *L)
{
    const MTH_Vector2D *v = LMP_iCheckV2(L, 1);
    lua_pushfstring(L, "v2(%f,%f)", v->m_fX, v->m_fY);
    return 1;
}

static int x(lua_State *L)
{
    lua_pushnumber(L, LMP_iCheckV2(L, 1)->m_fX);
    return 1;
}

static int y(lua_State *L)
{
    lua_pushnumber(L, LMP_iCheckV2(L, 1)->m_fY);
    return 1;
}

static int set(lua_State *L)
{
    MTH_Vector2D *v = LMP_iCheckV2(L, 1);
    v->m_fX = numberAt(L, 2);
    v->m_fY = numberAt(L, 3);
    return 0;
}

static int setX(lua_State *L)
{
    LMP_iCheckV2(L, 1)->m_fX = numberAt(L, 2);
    return 0;
}

static int setY(lua_State *L)
{
    LMP_iCheckV2(L, 1)->m_fY = numberAt(L, 2);
    return 0;
}

static int norm(lua_State *L)
{
    const MTH_Vector2D *v = LMP_iCheckV2(L, 1);
    lua_pushnumber(L, length(v->m_fX, v->m_fY));
    return 1;
}

static int normalize(lua_State *L)
{
    MTH_Vector2D *v = LMP_iCheckV2(L, 1);
    double l = length(v->m_fX, v->m_fY);
    bool done = l > 0;
    if (done) {
        v->m_fX /= l;
        v->m_fY /= l;
    }
    lua_pushboolean(L, done);
    return 1;
}

static int reset(lua_State *L)
{
    MTH_Vector2D *v = LMP_iCheckV2(L, 1);
    v->m_fX = 0;
    v->m_fY = 0;
    return 0;
}

static int dot(lua_State *L)
{
    const MTH_Vector2D *a = LMP_iCheckV2(L, 1);
    const MTH_Vector2D *b = LMP_iCheckV2(L, 2);
    lua_pushnumber(L, a->m_fX * b->m_fX + a->m_fY * b->m_fY);
    return 1;
}

static int gap(lua_State *L)
{
    const MTH_Vector2D *a = LMP_iCheckV2(L, 1);
    const MTH_Vector2D *b = LMP_iCheckV2(L, 2);
    lua_pushnumber(L, length(a->m_fX - b->m_fX, a->m_fY - b->m_fY));
    return 1;
}

static const luaL_Reg s_aoV2Functions[] = {
    {"__add", add},
    {"__sub", sub},
    {"__mul", mul},
    {"__eq", eq},
    {"__unm", unm},
    {"__div", div},
    {"__tostring", toString},
    {"x", x},
    {"y", y},
    {"set", set},
    {"setX", setX},
    {"setY", setY},
    {"norm", norm},
    {"normalize", normalize},
    {"reset", reset},
    {"dot", dot},
    {"gap", gap},
    {nullptr, nullptr},
};

void LMP_iRegisterV2(lua_State *L)
{
    LMP_registerValueType(L, "v2", &s_cV2Key, s_aoV2Functions, newV2);
}
