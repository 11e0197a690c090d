// The script value type "color": red, green, blue and alpha held by value,
// never clamped.
#include <cmath>
#include <new>

#include <lua.hpp>

#include "foundation/MTH_Vector.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_ValueTypes.h"

// Its address keys the metatable in the registry.
static const char s_cColorKey = 0;

MTH_Vector4D *LMP_iPushColor(lua_State *L)
{
    return new (LMP_pvPushValue(L, &s_cColorKey, sizeof(MTH_Vector4D))) MTH_Vector4D();
}

MTH_Vector4D *LMP_poToColor(lua_State *L, int index)
{
    return static_cast<MTH_Vector4D *>(LMP_pvToValue(L, index, &s_cColorKey, sizeof(MTH_Vector4D)));
}

MTH_Vector4D *LMP_iCheckColor(lua_State *L, int index)
{
    return static_cast<MTH_Vector4D *>(LMP_pvCheckValue(L, index, &s_cColorKey, sizeof(MTH_Vector4D), "color"));
}

static double numberAt(lua_State *L, int index)
{
    return lua_tonumberx(L, index, nullptr);
}

static int pushColor(lua_State *L, double r, double g, double b, double a)
{
    MTH_Vector4D *result = LMP_iPushColor(L);
    *result = MTH_Vector4D(r, g, b, a);
    return 1;
}

static double length(double r, double g, double b, double a)
{
    return std::sqrt(((r * r + g * g) + b * b) + a * a);
}

// color() (opaque black), color(r, g, b, a), color(c)
static int newColor(lua_State *L)
{
    if (lua_gettop(L) == 0)
        return pushColor(L, 0, 0, 0, 1);
    if (lua_isnumber(L, 1)) {
        double r = lua_tonumber(L, 1);
        double g = luaL_checknumber(L, 2);
        double b = luaL_checknumber(L, 3);
        double a = luaL_checknumber(L, 4);
        return pushColor(L, r, g, b, a);
    }
    const MTH_Vector4D *c = LMP_iCheckColor(L, 1);
    return pushColor(L, c->m_fX, c->m_fY, c->m_fZ, c->m_fW);
}

static int add(lua_State *L)
{
    const MTH_Vector4D *a = LMP_iCheckColor(L, 1);
    const MTH_Vector4D *b = LMP_iCheckColor(L, 2);
    return pushColor(L, a->m_fX + b->m_fX, a->m_fY + b->m_fY, a->m_fZ + b->m_fZ, a->m_fW + b->m_fW);
}

static int sub(lua_State *L)
{
    const MTH_Vector4D *a = LMP_iCheckColor(L, 1);
    const MTH_Vector4D *b = LMP_iCheckColor(L, 2);
    return pushColor(L, a->m_fX - b->m_fX, a->m_fY - b->m_fY, a->m_fZ - b->m_fZ, a->m_fW - b->m_fW);
}

// A number and a color in either order scale all four components; any other
// pair is reported and yields nil.
static int mul(lua_State *L)
{
    const MTH_Vector4D *c = nullptr;
    double n = 0;
    if (lua_isnumber(L, 1)) {
        n = lua_tonumber(L, 1);
        c = LMP_iCheckColor(L, 2);
    } else if (lua_isnumber(L, 2)) {
        c = LMP_iCheckColor(L, 1);
        n = lua_tonumber(L, 2);
    } else {
        LMP_iReportError(L, "Bad parameters for v4 multiplication");
        return 0;
    }
    return pushColor(L, c->m_fX * n, c->m_fY * n, c->m_fZ * n, c->m_fW * n);
}

static int eq(lua_State *L)
{
    const MTH_Vector4D *a = LMP_iCheckColor(L, 1);
    const MTH_Vector4D *b = LMP_iCheckColor(L, 2);
    lua_pushboolean(L, a->m_fX == b->m_fX && a->m_fY == b->m_fY && a->m_fZ == b->m_fZ && a->m_fW == b->m_fW);
    return 1;
}

static int unm(lua_State *L)
{
    const MTH_Vector4D *c = LMP_iCheckColor(L, 1);
    return pushColor(L, -c->m_fX, -c->m_fY, -c->m_fZ, -c->m_fW);
}

static int toString(lua_State *L)
{
    const MTH_Vector4D *c = LMP_iCheckColor(L, 1);
    lua_pushfstring(L, "color(%f,%f,%f,%f)", c->m_fX, c->m_fY, c->m_fZ, c->m_fW);
    return 1;
}

static int r(lua_State *L)
{
    lua_pushnumber(L, LMP_iCheckColor(L, 1)->m_fX);
    return 1;
}

static int g(lua_State *L)
{
    lua_pushnumber(L, LMP_iCheckColor(L, 1)->m_fY);
    return 1;
}

static int b(lua_State *L)
{
    lua_pushnumber(L, LMP_iCheckColor(L, 1)->m_fZ);
    return 1;
}

static int a(lua_State *L)
{
    lua_pushnumber(L, LMP_iCheckColor(L, 1)->m_fW);
    return 1;
}

static int rgb(lua_State *L)
{
    const MTH_Vector4D *c = LMP_iCheckColor(L, 1);
    MTH_Vector3D *result = LMP_iPushV3(L);
    *result = MTH_Vector3D(c->m_fX, c->m_fY, c->m_fZ);
    return 1;
}

static int set(lua_State *L)
{
    MTH_Vector4D *c = LMP_iCheckColor(L, 1);
    *c = MTH_Vector4D(numberAt(L, 2), numberAt(L, 3), numberAt(L, 4), numberAt(L, 5));
    return 0;
}

static int setR(lua_State *L)
{
    LMP_iCheckColor(L, 1)->m_fX = numberAt(L, 2);
    return 0;
}

static int setG(lua_State *L)
{
    LMP_iCheckColor(L, 1)->m_fY = numberAt(L, 2);
    return 0;
}

static int setB(lua_State *L)
{
    LMP_iCheckColor(L, 1)->m_fZ = numberAt(L, 2);
    return 0;
}

static int setA(lua_State *L)
{
    LMP_iCheckColor(L, 1)->m_fW = numberAt(L, 2);
    return 0;
}

// setRGB(v3): the receiver is taken off the stack and the rest checked as
// "V" (the closure carries the self mark, so errors count the script's
// positions); alpha is kept.
static int setRGB(lua_State *L)
{
    MTH_Vector4D *c = LMP_iCheckColor(L, 1);
    lua_remove(L, 1);
    MTH_Vector3D *v = nullptr;
    if (!LMP_iCheckArgs(L, "V", &v))
        return 0;
    c->m_fX = v->m_fX;
    c->m_fY = v->m_fY;
    c->m_fZ = v->m_fZ;
    return 0;
}

static int norm(lua_State *L)
{
    const MTH_Vector4D *c = LMP_iCheckColor(L, 1);
    lua_pushnumber(L, length(c->m_fX, c->m_fY, c->m_fZ, c->m_fW));
    return 1;
}

static int normalize(lua_State *L)
{
    MTH_Vector4D *c = LMP_iCheckColor(L, 1);
    double l = length(c->m_fX, c->m_fY, c->m_fZ, c->m_fW);
    bool done = l > 0;
    if (done) {
        double s = 1.0 / l;
        *c = MTH_Vector4D(c->m_fX * s, c->m_fY * s, c->m_fZ * s, c->m_fW * s);
    }
    lua_pushboolean(L, done);
    return 1;
}

// Transparent black, unlike the constructor's opaque black.
static int reset(lua_State *L)
{
    *LMP_iCheckColor(L, 1) = MTH_Vector4D(0, 0, 0, 0);
    return 0;
}

static int dot(lua_State *L)
{
    const MTH_Vector4D *p = LMP_iCheckColor(L, 1);
    const MTH_Vector4D *q = LMP_iCheckColor(L, 2);
    lua_pushnumber(L, ((p->m_fX * q->m_fX + p->m_fY * q->m_fY) + p->m_fZ * q->m_fZ) + p->m_fW * q->m_fW);
    return 1;
}

static int gap(lua_State *L)
{
    const MTH_Vector4D *p = LMP_iCheckColor(L, 1);
    const MTH_Vector4D *q = LMP_iCheckColor(L, 2);
    lua_pushnumber(L, length(p->m_fX - q->m_fX, p->m_fY - q->m_fY, p->m_fZ - q->m_fZ, p->m_fW - q->m_fW));
    return 1;
}

static const luaL_Reg s_aoColorFunctions[] = {
    {"__add", add},   {"__sub", sub}, {"__mul", mul}, {"__eq", eq},       {"__unm", unm}, {"__tostring", toString},
    {"r", r},         {"g", g},       {"b", b},       {"a", a},           {"rgb", rgb},   {"set", set},
    {"setR", setR},   {"setG", setG}, {"setB", setB}, {"setA", setA},     {"norm", norm}, {"normalize", normalize},
    {"reset", reset}, {"dot", dot},   {"gap", gap},   {nullptr, nullptr},
};

void LMP_iRegisterColor(lua_State *L)
{
    LMP_registerValueType(L, "color", &s_cColorKey, s_aoColorFunctions, newColor);
    // setRGB is a closure that carries the self mark.
    luaL_getmetatable(L, "color");
    LMP_pushSelfMark(L);
    lua_pushcclosure(L, setRGB, 1);
    lua_setfield(L, -2, "setRGB");
    lua_pop(L, 1);
}
