// The script value type "m33": a 3x3 matrix held by value, whose rows are
// the axes of a basis. What scripts call column i (1 to 3) is row i - 1.
#include <new>

#include <lua.hpp>

#include "foundation/MTH_Matrix3x3.h"
#include "foundation/MTH_Vector.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_ValueTypes.h"

// Its address keys the metatable in the registry.
static const char s_cM33Key = 0;

// Degrees to radians, as the scripts' angles are converted everywhere.
static const double DEGREES = 0.017453292519943295;

MTH_Matrix3x3 *LMP_iPushM33(lua_State *L)
{
    return new (LMP_pvPushValue(L, &s_cM33Key, sizeof(MTH_Matrix3x3))) MTH_Matrix3x3();
}

MTH_Matrix3x3 *LMP_poToM33(lua_State *L, int index)
{
    return static_cast<MTH_Matrix3x3 *>(LMP_pvToValue(L, index, &s_cM33Key, sizeof(MTH_Matrix3x3)));
}

MTH_Matrix3x3 *LMP_iCheckM33(lua_State *L, int index)
{
    return static_cast<MTH_Matrix3x3 *>(LMP_pvCheckValue(L, index, &s_cM33Key, sizeof(MTH_Matrix3x3), "m33"));
}

static double numberAt(lua_State *L, int index)
{
    return lua_tonumberx(L, index, nullptr);
}

static MTH_Matrix3x3 *pushCopy(lua_State *L, const MTH_Matrix3x3 &m)
{
    MTH_Matrix3x3 *result = LMP_iPushM33(L);
    for (int i = 0; i < 3; i++)
        result->row(i) = m.getRow(i);
    return result;
}

// The row of a script's column number (1 to 3), or -1 after reporting a
// number outside that range.
static int columnRow(lua_State *L, int index)
{
    int column = LMP_iToInteger(L, index);
    if (column < 1 || column > 3) {
        LMP_iReportError(L, "Invalid column index");
        return -1;
    }
    return column - 1;
}

// m33() (identity), m33(m), m33(a, b, c): any other argument count is
// reported and yields nothing.
static int newM33(lua_State *L)
{
    int count = lua_gettop(L);
    MTH_Matrix3x3 *m = LMP_iPushM33(L);
    switch (count) {
    case 0:
        m->setIdentity();
        return 1;
    case 1: {
        const MTH_Matrix3x3 *source = LMP_iCheckM33(L, 1);
        for (int i = 0; i < 3; i++)
            m->row(i) = source->getRow(i);
        return 1;
    }
    case 3:
        for (int i = 0; i < 3; i++)
            m->row(i) = *LMP_iCheckV3(L, i + 1);
        return 1;
    default:
        LMP_iReportError(L, "Bad arguments count for m33 creation");
        return 0;
    }
}

static int add(lua_State *L)
{
    const MTH_Matrix3x3 *a = LMP_iCheckM33(L, 1);
    const MTH_Matrix3x3 *b = LMP_iCheckM33(L, 2);
    pushCopy(L, *a)->add(*b);
    return 1;
}

// Identity of the two values: __eq only runs for two distinct values, which
// therefore compare unequal even with equal elements.
static int eq(lua_State *L)
{
    LMP_iCheckM33(L, 1);
    LMP_iCheckM33(L, 2);
    lua_pushboolean(L, lua_rawequal(L, 1, 2));
    return 1;
}

static int toString(lua_State *L)
{
    const MTH_Matrix3x3 *m = LMP_iCheckM33(L, 1);
    lua_pushfstring(L, "m33(v3(%f,%f,%f),v3(%f,%f,%f),v3(%f,%f,%f))", m->get(0, 0), m->get(0, 1), m->get(0, 2),
                    m->get(1, 0), m->get(1, 1), m->get(1, 2), m->get(2, 0), m->get(2, 1), m->get(2, 2));
    return 1;
}

// number * m, m * number, or the product m * m.
static int mul(lua_State *L)
{
    if (lua_isnumber(L, 1)) {
        double n = lua_tonumber(L, 1);
        pushCopy(L, *LMP_iCheckM33(L, 2))->scale(n);
        return 1;
    }
    if (lua_isnumber(L, 2)) {
        const MTH_Matrix3x3 *m = LMP_iCheckM33(L, 1);
        pushCopy(L, *m)->scale(lua_tonumber(L, 2));
        return 1;
    }
    const MTH_Matrix3x3 *a = LMP_iCheckM33(L, 1);
    const MTH_Matrix3x3 *b = LMP_iCheckM33(L, 2);
    pushCopy(L, *a)->multiply(*b);
    return 1;
}

// set(row, column, value), both 0-based; indices outside 0..2 change nothing.
static int set(lua_State *L)
{
    MTH_Matrix3x3 *m = LMP_iCheckM33(L, 1);
    m->set(LMP_iToInteger(L, 2), LMP_iToInteger(L, 3), numberAt(L, 4));
    return 0;
}

static int setColumn(lua_State *L)
{
    MTH_Matrix3x3 *m = LMP_iCheckM33(L, 1);
    const MTH_Vector3D *v = LMP_iCheckV3(L, 3);
    int row = columnRow(L, 2);
    if (row >= 0)
        m->row(row) = *v;
    return 0;
}

static int getColumn(lua_State *L)
{
    const MTH_Matrix3x3 *m = LMP_iCheckM33(L, 1);
    int row = columnRow(L, 2);
    if (row < 0)
        return 0;
    *LMP_iPushV3(L) = m->getRow(row);
    return 1;
}

// orthonormalize([axis id]): keeps the direction of the given axis, of the
// second axis when no single argument is given.
static int orthonormalize(lua_State *L)
{
    MTH_Matrix3x3 *m = LMP_iCheckM33(L, 1);
    int kept = 1;
    if (lua_gettop(L) == 2) {
        int axis = LMP_iToInteger(L, 2);
        if (axis < 1 || axis > 3) {
            LMP_iReportError(L, "Invalid axis ID");
            return 0;
        }
        kept = axis - 1;
    }
    lua_pushboolean(L, m->orthonormalize(kept));
    return 1;
}

static int reset(lua_State *L)
{
    LMP_iCheckM33(L, 1)->setIdentity();
    return 0;
}

static int rotate(lua_State *L)
{
    MTH_Matrix3x3 *m = LMP_iCheckM33(L, 1);
    const MTH_Vector3D *axis = LMP_iCheckV3(L, 2);
    m->rotate(*axis, numberAt(L, 3) * DEGREES);
    return 0;
}

static int rotateAxis(lua_State *L)
{
    MTH_Matrix3x3 *m = LMP_iCheckM33(L, 1);
    int axis = LMP_iToInteger(L, 2);
    if (axis < 1 || axis > 3) {
        LMP_iReportError(L, "Invalid axis ID");
        return 0;
    }
    m->rotateAroundRow(axis - 1, numberAt(L, 3) * DEGREES);
    return 0;
}

static int setScale(lua_State *L)
{
    MTH_Matrix3x3 *m = LMP_iCheckM33(L, 1);
    m->setRowLengths(*LMP_iCheckV3(L, 2));
    return 0;
}

static int getScale(lua_State *L)
{
    const MTH_Matrix3x3 *m = LMP_iCheckM33(L, 1);
    m->getRowLengths(*LMP_iPushV3(L));
    return 1;
}

static int scale(lua_State *L)
{
    MTH_Matrix3x3 *m = LMP_iCheckM33(L, 1);
    m->scaleRows(*LMP_iCheckV3(L, 2));
    return 0;
}

static const luaL_Reg s_aoM33Functions[] = {
    {"__add", add},
    {"__eq", eq},
    {"__tostring", toString},
    {"__mul", mul},
    {"set", set},
    {"setColumn", setColumn},
    {"getColumn", getColumn},
    {"orthonormalize", orthonormalize},
    {"reset", reset},
    {"rotate", rotate},
    {"rotateAxis", rotateAxis},
    {"setScale", setScale},
    {"getScale", getScale},
    {"scale", scale},
    {nullptr, nullptr},
};

void LMP_iRegisterM33(lua_State *L)
{
    LMP_registerValueType(L, "m33", &s_cM33Key, s_aoM33Functions, newM33);
}
