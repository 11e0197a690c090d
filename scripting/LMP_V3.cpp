// The script value type "v3": a 3D vector held by value.
#include <cmath>
#include <new>

#include <lua.hpp>

#include "foundation/MTH_Vector.h"
#include "scripting/LMP_ValueTypes.h"

// Its address keys the metatable in the registry.
static const char s_cV3Key = 0;

// Degrees to radians, as the scripts' angles are converted everywhere.
static const double DEGREES = 0.017453292519943295;

MTH_Vector3D *LMP_iPushV3(lua_State *L)
{
    return new (LMP_pvPushValue(L, &s_cV3Key, sizeof(MTH_Vector3D))) MTH_Vector3D();
}

MTH_Vector3D *LMP_poToV3(lua_State *L, int index)
{
    return static_cast<MTH_Vector3D *>(LMP_pvToValue(L, index, &s_cV3Key, sizeof(MTH_Vector3D)));
}

MTH_Vector3D *LMP_iCheckV3(lua_State *L, int index)
{
    return static_cast<MTH_Vector3D *>(LMP_pvCheckValue(L, index, &s_cV3Key, sizeof(MTH_Vector3D), "v3"));
}

static double numberAt(lua_State *L, int index)
{
    return lua_tonumberx(L, index, nullptr);
}

static int pushV3(lua_State *L, double x, double y, double z)
{
    MTH_Vector3D *result = LMP_iPushV3(L);
    result->m_fX = x;
    result->m_fY = y;
    result->m_fZ = z;
    return 1;
}

// The length summed as ((x*x + y*y) + z*z).
static double length(double x, double y, double z)
{
    return std::sqrt((x * x + y * y) + z * z);
}

// v3(), v3(x, y, z), v3(v)
static int newV3(lua_State *L)
{
    if (lua_gettop(L) == 0)
        return pushV3(L, 0, 0, 0);
    if (lua_isnumber(L, 1)) {
        double x = lua_tonumber(L, 1);
        double y = luaL_checknumber(L, 2);
        double z = luaL_checknumber(L, 3);
        return pushV3(L, x, y, z);
    }
    const MTH_Vector3D *v = LMP_iCheckV3(L, 1);
    return pushV3(L, v->m_fX, v->m_fY, v->m_fZ);
}

static int add(lua_State *L)
{
    const MTH_Vector3D *a = LMP_iCheckV3(L, 1);
    const MTH_Vector3D *b = LMP_iCheckV3(L, 2);
    return pushV3(L, a->m_fX + b->m_fX, a->m_fY + b->m_fY, a->m_fZ + b->m_fZ);
}

static int sub(lua_State *L)
{
    const MTH_Vector3D *a = LMP_iCheckV3(L, 1);
    const MTH_Vector3D *b = LMP_iCheckV3(L, 2);
    return pushV3(L, a->m_fX - b->m_fX, a->m_fY - b->m_fY, a->m_fZ - b->m_fZ);
}

// number * v, v * number, or v * v: the cross product.
static int mul(lua_State *L)
{
    if (lua_isnumber(L, 1)) {
        double n = lua_tonumber(L, 1);
        const MTH_Vector3D *v = LMP_iCheckV3(L, 2);
        return pushV3(L, v->m_fX * n, v->m_fY * n, v->m_fZ * n);
    }
    if (lua_isnumber(L, 2)) {
        const MTH_Vector3D *v = LMP_iCheckV3(L, 1);
        double n = lua_tonumber(L, 2);
        return pushV3(L, v->m_fX * n, v->m_fY * n, v->m_fZ * n);
    }
    const MTH_Vector3D *a = LMP_iCheckV3(L, 1);
    const MTH_Vector3D *b = LMP_iCheckV3(L, 2);
    return pushV3(L, a->m_fY * b->m_fZ - a->m_fZ * b->m_fY, a->m_fZ * b->m_fX - a->m_fX * b->m_fZ,
                  a->m_fX * b->m_fY - a->m_fY * b->m_fX);
}

// Only a vector divided by a number; anything else (a number divided by a
// vector included) yields nil, before the operands are checked.
static int div(lua_State *L)
{
    if (!lua_isnumber(L, 2))
        return 0;
    const MTH_Vector3D *v = LMP_iCheckV3(L, 1);
    double r = 1.0 / lua_tonumber(L, 2);
    return pushV3(L, v->m_fX * r, v->m_fY * r, v->m_fZ * r);
}

static int eq(lua_State *L)
{
    const MTH_Vector3D *a = LMP_iCheckV3(L, 1);
    const MTH_Vector3D *b = LMP_iCheckV3(L, 2);
    lua_pushboolean(L, a->m_fX == b->m_fX && a->m_fY == b->m_fY && a->m_fZ == b->m_fZ);
    return 1;
}

static int unm(lua_State *L)
{
    const MTH_Vector3D *v = LMP_iCheckV3(L, 1);
    return pushV3(L, -v->m_fX, -v->m_fY, -v->m_fZ);
}

static int toString(lua_State *L)
{
    const MTH_Vector3D *v = LMP_iCheckV3(L, 1);
    lua_pushfstring(L, "v3(%f,%f,%f)", v->m_fX, v->m_fY, v->m_fZ);
    return 1;
}

static int xy(lua_State *L)
{
    const MTH_Vector3D *v = LMP_iCheckV3(L, 1);
    MTH_Vector2D *result = LMP_iPushV2(L);
    result->m_fX = v->m_fX;
    result->m_fY = v->m_fY;
    return 1;
}

static int x(lua_State *L)
{
    lua_pushnumber(L, LMP_iCheckV3(L, 1)->m_fX);
    return 1;
}

static int y(lua_State *L)
{
    lua_pushnumber(L, LMP_iCheckV3(L, 1)->m_fY);
    return 1;
}

static int z(lua_State *L)
{
    lua_pushnumber(L, LMP_iCheckV3(L, 1)->m_fZ);
    return 1;
}

static int set(lua_State *L)
{
    MTH_Vector3D *v = LMP_iCheckV3(L, 1);
    v->m_fX = numberAt(L, 2);
    v->m_fY = numberAt(L, 3);
    v->m_fZ = numberAt(L, 4);
    return 0;
}

static int setX(lua_State *L)
{
    LMP_iCheckV3(L, 1)->m_fX = numberAt(L, 2);
    return 0;
}

static int setY(lua_State *L)
{
    LMP_iCheckV3(L, 1)->m_fY = numberAt(L, 2);
    return 0;
}

static int setZ(lua_State *L)
{
    LMP_iCheckV3(L, 1)->m_fZ = numberAt(L, 2);
    return 0;
}

static int norm(lua_State *L)
{
    const MTH_Vector3D *v = LMP_iCheckV3(L, 1);
    lua_pushnumber(L, length(v->m_fX, v->m_fY, v->m_fZ));
    return 1;
}

static int normalize(lua_State *L)
{
    MTH_Vector3D *v = LMP_iCheckV3(L, 1);
    double l = length(v->m_fX, v->m_fY, v->m_fZ);
    bool done = l > 0;
    if (done) {
        double r = 1.0 / l;
        v->m_fX *= r;
        v->m_fY *= r;
        v->m_fZ *= r;
    }
    lua_pushboolean(L, done);
    return 1;
}

// (r, theta, phi) in degrees, theta from +z, phi about z from +x, to (x, y, z).
static int sphericalToCartesian(lua_State *L)
{
    MTH_Vector3D *v = LMP_iCheckV3(L, 1);
    double r = v->m_fX;
    double theta = v->m_fY * DEGREES;
    double phi = v->m_fZ * DEGREES;
    v->m_fX = r * std::sin(theta) * std::cos(phi);
    v->m_fY = r * std::sin(theta) * std::sin(phi);
    v->m_fZ = r * std::cos(theta);
    return 0;
}

// (x, y, z) to (r, theta, phi) with both angles in radians.
static int cartesianToSpherical(lua_State *L)
{
    MTH_Vector3D *v = LMP_iCheckV3(L, 1);
    double r = length(v->m_fX, v->m_fY, v->m_fZ);
    double theta = std::acos(v->m_fZ / r);
    double phi = std::atan2(v->m_fY, v->m_fX);
    v->m_fX = r;
    v->m_fY = theta;
    v->m_fZ = phi;
    return 0;
}

static int reset(lua_State *L)
{
    MTH_Vector3D *v = LMP_iCheckV3(L, 1);
    v->m_fX = 0;
    v->m_fY = 0;
    v->m_fZ = 0;
    return 0;
}

static int dot(lua_State *L)
{
    const MTH_Vector3D *a = LMP_iCheckV3(L, 1);
    const MTH_Vector3D *b = LMP_iCheckV3(L, 2);
    lua_pushnumber(L, (a->m_fX * b->m_fX + a->m_fY * b->m_fY) + a->m_fZ * b->m_fZ);
    return 1;
}

static int gap(lua_State *L)
{
    const MTH_Vector3D *a = LMP_iCheckV3(L, 1);
    const MTH_Vector3D *b = LMP_iCheckV3(L, 2);
    lua_pushnumber(L, length(a->m_fX - b->m_fX, a->m_fY - b->m_fY, a->m_fZ - b->m_fZ));
    return 1;
}

// rotate(axis, degrees), in place; the axis may be the vector itself.
static int rotate(lua_State *L)
{
    MTH_Vector3D *v = LMP_iCheckV3(L, 1);
    MTH_Vector3D axis = *LMP_iCheckV3(L, 2);
    double angle = numberAt(L, 3) * DEGREES;
    MTH_Vector3D::rotate(*v, axis, std::cos(angle), std::sin(angle));
    return 0;
}

static const luaL_Reg s_aoV3Functions[] = {
    {"__add", add},
    {"__sub", sub},
    {"__mul", mul},
    {"__div", div},
    {"__eq", eq},
    {"__unm", unm},
    {"__tostring", toString},
    {"xy", xy},
    {"x", x},
    {"y", y},
    {"z", z},
    {"set", set},
    {"setX", setX},
    {"setY", setY},
    {"setZ", setZ},
    {"norm", norm},
    {"normalize", normalize},
    {"sphericalToCartesian", sphericalToCartesian},
    {"cartesianToSpherical", cartesianToSpherical},
    {"reset", reset},
    {"dot", dot},
    {"gap", gap},
    {"rotate", rotate},
    {nullptr, nullptr},
};

void LMP_iRegisterV3(lua_State *L)
{
    LMP_registerValueType(L, "v3", &s_cV3Key, s_aoV3Functions, newV3);
}
