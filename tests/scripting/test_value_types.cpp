// The script value types v2, v3, color and m33, run as scripts through the
// engine's interpreter.
#include <gtest/gtest.h>

#include <string>

#include "foundation/MTH_Matrix3x3.h"
#include "foundation/MTH_Vector.h"
#include "scripting/LMP_ValueTypes.h"
#include "tests/scripting/test_binding_example.h"

namespace {

struct Case {
    const char *expression;
    const char *expected;
};

void expectAll(BindingFixture &f, const Case *cases, size_t count)
{
    for (size_t i = 0; i < count; i++)
        EXPECT_EQ(f.eval(cases[i].expression), cases[i].expected) << cases[i].expression;
    EXPECT_FALSE(f.m_poController->m_bHalted) << f.log();
}

// Numbers in the text forms are in the interpreter's format (%.14g).
TEST(ValueTypes, TextForms)
{
    BindingFixture f;
    const Case cases[] = {
        {"tostring(v3(1/3, 2^53, -0.0))", "v3(0.33333333333333,9.007199254741e+15,-0)"},
        {"tostring(v3(1, 2.5, -3))", "v3(1,2.5,-3)"},
        {"tostring(v3(0.1, -2, 1e20))", "v3(0.1,-2,1e+20)"},
        {"tostring(v2(1, 0.5))", "v2(1,0.5)"},
        {"tostring(v2(-1e-300, 1/0))", "v2(-1e-300,inf)"},
        {"tostring(v2())", "v2(0,0)"},
        {"tostring(v3())", "v3(0,0,0)"},
        {"tostring(color())", "color(0,0,0,1)"},
        {"tostring(color(0.25, 1/3, -0.0, 2^53))", "color(0.25,0.33333333333333,-0,9.007199254741e+15)"},
        {"tostring(m33())", "m33(v3(1,0,0),v3(0,1,0),v3(0,0,1))"},
        {"tostring(m33(v3(1, 2, 3), v3(4.5, -0.0, 1/3), v3(7, 8, 2^53)))",
         "m33(v3(1,2,3),v3(4.5,-0,0.33333333333333),v3(7,8,9.007199254741e+15))"},
    };
    expectAll(f, cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(ValueTypes, VectorConstructorsAndOperators)
{
    BindingFixture f;
    const Case cases[] = {
        {"v2('3', 4)", "v2(3,4)"},
        {"v2(1, 2, 3)", "v2(1,2)"}, // extra arguments ignored
        {"v2(v2(1, 2))", "v2(1,2)"},
        {"v3(v3(1, 2, 3))", "v3(1,2,3)"},
        {"(function() local a = v3(1, 2, 3); return rawequal(v3(a), a) end)()", "false"},
        {"v3(1, 2, 3) + v3(1, 1, 1)", "v3(2,3,4)"},
        {"v3(1, 2, 3) - v3(1, 1, 1)", "v3(0,1,2)"},
        {"v2(1, 2) - v2(3, 5)", "v2(-2,-3)"},
        {"v2(1, 0) * v2(0, 1)", "1"},
        {"v2(0, 1) * v2(1, 0)", "-1"},
        {"v3(1, 0, 0) * v3(0, 1, 0)", "v3(0,0,1)"},
        {"v3(0, 1, 0) * v3(1, 0, 0)", "v3(0,0,-1)"},
        {"2 * v2(1, 2)", "v2(2,4)"},
        {"v2(1, 2) * 2", "v2(2,4)"},
        {"'2' * v3(1, 2, 3)", "v3(2,4,6)"},
        {"v3(1, 2, 3) * 0.5", "v3(0.5,1,1.5)"},
        {"v2(2, 4) / 2", "v2(1,2)"},
        {"v3(2, 4, 6) / 4", "v3(0.5,1,1.5)"},
        {"v3(2, 4, 6) / 0", "v3(inf,inf,inf)"},
        {"(function() local v = v2(0, 1) / 0; return v:x() ~= v:x(), v:y() end)()", "true,inf"},
        // Only a vector divided by a number is defined; the rest is nil.
        {"2 / v2(1, 1)", "nil"},
        {"v2(1, 1) / v2(1, 1)", "nil"},
        {"2 / v3(1, 1, 1)", "nil"},
        {"v3(1, 1, 1) / 'x'", "nil"},
        {"v2(1, 2) == v2(1, 2)", "true"},
        {"v2(1, 2) == v2(1, 3)", "false"},
        {"v3(1, 2, 3) == v3(1, 2, 3)", "true"},
        {"v2(0/0, 1) == v2(0/0, 1)", "false"},
        {"v2(1, 2) == v3(1, 2, 0)", "false"},
        {"-v2(0, 0) == v2(0, 0)", "true"},
        {"-v2(0, 0)", "v2(-0,-0)"},
        {"-v3(1, -2, 0)", "v3(-1,2,-0)"},
        {"(function() local a = v3(1, 2, 3); return rawequal(a + v3(), a) end)()", "false"},
    };
    expectAll(f, cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(ValueTypes, VectorMethods)
{
    BindingFixture f;
    const Case cases[] = {
        {"v2(3, 4):norm()", "5"},
        {"v3(2, 3, 6):norm()", "7"},
        {"(function() local v = v2(0, 0); return v:normalize(), v end)()", "false,v2(0,0)"},
        {"(function() local v = v3(0, 0, 0); return v:normalize(), v end)()", "false,v3(0,0,0)"},
        {"(function() local v = v3(3, 0, 4); return v:normalize(), v end)()", "true,v3(0.6,0,0.8)"},
        {"(function() local v = v2(3, 4); return v:normalize(), v end)()", "true,v2(0.6,0.8)"},
        {"(function() local v = v2(0/0, 1); return v:normalize() end)()", "false"},
        {"v2(1, 2):dot(v2(3, 4))", "11"},
        {"v3(1, 2, 3):dot(v3(4, 5, 6))", "32"},
        {"v2(1, 1):gap(v2(4, 5))", "5"},
        {"v3(1, 1, 1):gap(v3(3, 4, 7))", "7"},
        {"v3(1, 2, 3):xy()", "v2(1,2)"},
        {"v3(1, 2, 3):x(), v3(1, 2, 3):y(), v3(1, 2, 3):z()", "1,2,3"},
        {"v2(7, 8):x(), v2(7, 8):y()", "7,8"},
        {"type(v3().x)", "function"},
        // Missing or non-numeric numbers read as 0.
        {"(function() local v = v3(1, 2, 3); v:set(5); return v end)()", "v3(5,0,0)"},
        {"(function() local v = v2(1, 2); v:set('4', {}); return v end)()", "v2(4,0)"},
        {"(function() local v = v3(1, 2, 3); v:setX(); v:setY('2.5'); v:setZ(9); return v end)()", "v3(0,2.5,9)"},
        {"(function() local v = v2(1, 2); v:setX(3); v:setY(); return v end)()", "v2(3,0)"},
        {"(function() local v = v3(1, 2, 3); v:reset(); return v end)()", "v3(0,0,0)"},
        {"(function() local v = v2(1, 2); v:reset(); return v end)()", "v2(0,0)"},
        // Values are references.
        {"(function() local a = v3(1, 2, 3); local b = a; b:setX(5); return a:x() end)()", "5"},
        // Spherical conversions: degrees in, radians out.
        {"(function() local v = v3(0, 0, 0); v:cartesianToSpherical(); return v:x(), v:y() ~= v:y(), v:z() end)()",
         "0,true,0"},
        {"(function() local v = v3(1, 0, 0); v:cartesianToSpherical(); return v == v3(1, math.pi / 2, 0) end)()",
         "true"},
        {"(function() local v = v3(1, 90, 0); v:sphericalToCartesian(); "
         "return string.format('%.12f,%.12f,%.12f', v:x(), v:y(), v:z()) end)()",
         "1.000000000000,0.000000000000,0.000000000000"},
        {"(function() local v = v3(2, 90, 90); v:sphericalToCartesian(); "
         "return string.format('%.12f,%.12f,%.12f', v:x(), v:y(), v:z()) end)()",
         "0.000000000000,2.000000000000,0.000000000000"},
        // A positive angle turns counter-clockwise seen from the axis' tip;
        // the axis may have any length, and may be the vector itself.
        {"(function() local v = v3(1, 0, 0); local axis = v3(0, 0, 2); v:rotate(axis, 90); "
         "return string.format('%.12f,%.12f,%.12f', v:x(), v:y(), v:z()), axis end)()",
         "0.000000000000,1.000000000000,0.000000000000,v3(0,0,2)"},
        {"(function() local v = v3(1, 2, 3); v:rotate(v3(), 90); return v end)()", "v3(1,2,3)"},
        {"(function() local v = v3(0, 0, 2); v:rotate(v, 45); return v end)()", "v3(0,0,2)"},
    };
    expectAll(f, cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(ValueTypes, ColorOperatorsAndMethods)
{
    BindingFixture f;
    const Case cases[] = {
        {"color(1, '0.5', 0, 1)", "color(1,0.5,0,1)"},
        {"color(color(1, 2, 3, 4))", "color(1,2,3,4)"},
        {"color(1, 0.5, 0, 1) * 2", "color(2,1,0,2)"},
        {"2 * color(1, 0.5, 0, 1)", "color(2,1,0,2)"},
        {"color(1, 2, 3, 4) + color(1, 1, 1, 1)", "color(2,3,4,5)"},
        {"color(1, 2, 3, 4) - color(1, 1, 1, 1)", "color(0,1,2,3)"},
        {"-color(1, 0, -2, 0.5)", "color(-1,-0,2,-0.5)"},
        {"color(1, 2, 3, 4) == color(1, 2, 3, 4)", "true"},
        {"color(1, 2, 3, 4) == color(1, 2, 3, 5)", "false"},
        {"color(5, 6, 7, 8):r(), color(5, 6, 7, 8):g(), color(5, 6, 7, 8):b(), color(5, 6, 7, 8):a()", "5,6,7,8"},
        {"color(5, 6, 7, 8):rgb()", "v3(5,6,7)"},
        {"(function() local c = color(); c:set(1, 0, 0); return c end)()", "color(1,0,0,0)"},
        {"(function() local c = color(); c:setR(0.5); c:setG(); c:setB('2'); c:setA(0.25); return c end)()",
         "color(0.5,0,2,0.25)"},
        {"(function() local c = color(1, 1, 1, 0.5); c:setRGB(v3(0.1, 0.2, 0.3)); return c end)()",
         "color(0.1,0.2,0.3,0.5)"},
        {"color(1, 2, 2, 4):norm()", "5"},
        {"(function() local c = color(1, 2, 2, 4); return c:normalize(), c end)()", "true,color(0.2,0.4,0.4,0.8)"},
        {"(function() local c = color(0, 0, 0, 0); return c:normalize(), c end)()", "false,color(0,0,0,0)"},
        {"(function() local c = color(); c:reset(); return c end)()", "color(0,0,0,0)"},
        {"color(1, 2, 3, 4):dot(color(5, 6, 7, 8))", "70"},
        {"color(1, 1, 1, 1):gap(color(2, 2, 2, 2))", "2"},
    };
    expectAll(f, cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(ValueTypes, MatrixOperatorsAndMethods)
{
    BindingFixture f;
    ASSERT_EQ(f.run("a, b, c = v3(1, 2, 0), v3(0, 1, 0), v3(0, 0, 1)\n"
                    "A = m33(a, b, c)\n"
                    "B = m33(v3(1, 0, 0), v3(3, 1, 0), v3(0, 0, 1))\n"
                    "function fmt(v) return string.format('%.12f,%.12f,%.12f', v:x(), v:y(), v:z()) end\n"),
              "");
    const Case cases[] = {
        {"A:getColumn(1) == a, A:getColumn(2) == b, A:getColumn(3) == c", "true,true,true"},
        {"rawequal(A:getColumn(1), a)", "false"},
        {"m33(A)", "m33(v3(1,2,0),v3(0,1,0),v3(0,0,1))"},
        {"(function() local m = m33(); m:set(0, 1, 5); return m:getColumn(1) end)()", "v3(1,5,0)"},
        {"(function() local m = m33(); m:set(1, 2); return m:getColumn(2) end)()", "v3(0,1,0)"},
        // Indices outside the matrix change nothing.
        {"(function() local m = m33(); m:set(0, 3, 5); m:set(3, 0, 5); m:set(-1, 0, 5); return m end)()",
         "m33(v3(1,0,0),v3(0,1,0),v3(0,0,1))"},
        {"(function() local m = m33(); m:setColumn(3, v3(7, 8, 9)); return m end)()",
         "m33(v3(1,0,0),v3(0,1,0),v3(7,8,9))"},
        {"A == A", "true"},
        {"A == m33(A)", "false"}, // identity, not contents
        {"A + B", "m33(v3(2,2,0),v3(3,2,0),v3(0,0,2))"},
        {"A * 2", "m33(v3(2,4,0),v3(0,2,0),v3(0,0,2))"},
        {"2 * A", "m33(v3(2,4,0),v3(0,2,0),v3(0,0,2))"},
        {"A * B", "m33(v3(7,2,0),v3(3,1,0),v3(0,0,1))"}, // each row of A transformed by B
        {"B * A", "m33(v3(1,2,0),v3(3,7,0),v3(0,0,1))"},
        {"tostring(A * m33())", "m33(v3(1,2,0),v3(0,1,0),v3(0,0,1))"},
        {"(function() local m = m33(A); m:reset(); return m end)()", "m33(v3(1,0,0),v3(0,1,0),v3(0,0,1))"},
        // orthonormalize keeps the second axis by default, else the one given.
        {"(function() local m = m33(v3(1, 1, 0), v3(0, 2, 0), v3(0, 0, 1)); return m:orthonormalize(), "
         "fmt(m:getColumn(2)), fmt(m:getColumn(1)) end)()",
         "true,0.000000000000,1.000000000000,0.000000000000,1.000000000000,0.000000000000,0.000000000000"},
        {"(function() local m = m33(v3(1, 1, 0), v3(0, 2, 0), v3(0, 0, 1)); return m:orthonormalize(1), "
         "fmt(m:getColumn(1)) end)()",
         "true,0.707106781187,0.707106781187,0.000000000000"},
        {"(function() local m = m33(v3(1, 0, 0), v3(2, 0, 0), v3(0, 0, 1)); return m:orthonormalize(1) end)()",
         "false"},
        {"(function() local m = m33(); m:rotate(v3(0, 0, 1), 90); return fmt(m:getColumn(1)), "
         "fmt(m:getColumn(3)) end)()",
         "0.000000000000,1.000000000000,0.000000000000,0.000000000000,0.000000000000,1.000000000000"},
        {"(function() local m = m33(); m:rotateAxis(3, 90); return fmt(m:getColumn(1)), fmt(m:getColumn(3)) end)()",
         "0.000000000000,1.000000000000,0.000000000000,0.000000000000,0.000000000000,1.000000000000"},
        {"(function() local m = m33(A); m:setScale(v3(2, 3, 4)); return fmt(m:getScale()) end)()",
         "2.000000000000,3.000000000000,4.000000000000"},
        {"(function() local m = m33(); m:scale(v3(2, 3, 4)); return m end)()", "m33(v3(2,0,0),v3(0,3,0),v3(0,0,4))"},
        {"m33(v3(3, 4, 0), v3(0, 0, 0), v3(0, 0, 2)):getScale()", "v3(5,0,2)"},
    };
    expectAll(f, cases, sizeof(cases) / sizeof(cases[0]));
}

// Errors of the value types that are reported (not raised): the script goes
// on, the call yields nothing, the controller is halted. Each in a fresh
// interpreter, as the controller reports once.
TEST(ValueTypes, ReportedErrors)
{
    struct Reported {
        const char *chunk;
        const char *result;
        const char *reported;
    };
    const Reported cases[] = {
        {"return select('#', m33(v3(1, 0, 0), v3(0, 1, 0)))", "0", "t:1: Bad arguments count for m33 creation"},
        {"return select('#', m33(m33(), m33(), m33(), m33()))", "0", "t:1: Bad arguments count for m33 creation"},
        {"return color(1, 1, 1, 1) * color(1, 1, 1, 1)", "nil", "t:1: Bad parameters for v4 multiplication"},
        {"local m = m33(); return select('#', m:orthonormalize(4)), m", "0,m33(v3(1,0,0),v3(0,1,0),v3(0,0,1))",
         "t:1: Invalid axis ID"},
        {"local m = m33(); return select('#', m:orthonormalize(0))", "0", "t:1: Invalid axis ID"},
        {"local m = m33()\nm:rotateAxis(0, 90)\nreturn m", "m33(v3(1,0,0),v3(0,1,0),v3(0,0,1))",
         "t:2: Invalid axis ID"},
        {"local m = m33(); m:rotateAxis(); return m", "m33(v3(1,0,0),v3(0,1,0),v3(0,0,1))", "t:1: Invalid axis ID"},
        {"return select('#', m33():getColumn(4))", "0", "t:1: Invalid column index"},
        {"local m = m33(); m:setColumn(0, v3(5, 5, 5)); return m", "m33(v3(1,0,0),v3(0,1,0),v3(0,0,1))",
         "t:1: Invalid column index"},
        {"local c = color(1, 2, 3, 4); c:setRGB(); return c", "color(1,2,3,4)",
         "t:1: Not enough arguments, <V> argument(s) expected"},
        {"local c = color(1, 2, 3, 4); c:setRGB(v3(), 1); return c", "color(1,2,3,4)",
         "t:1: Too much arguments, <V> argument(s) expected"},
    };
    for (const Reported &c : cases) {
        BindingFixture f;
        EXPECT_EQ(f.run(c.chunk), c.result) << c.chunk;
        EXPECT_TRUE(f.m_poController->m_bHalted) << c.chunk;
        ASSERT_EQ(f.m_oLog.m_asLines.size(), 1u) << c.chunk << ": " << f.log();
        EXPECT_EQ(f.m_oLog.m_asLines[0], c.reported) << c.chunk;
    }
}

// Wrong receivers, operands and constructor arguments raise the standard
// argument error; a value that only carries a type's metatable (a script
// swapped it) is not of that type.
TEST(ValueTypes, RaisedErrors)
{
    BindingFixture f;
    struct Raised {
        const char *chunk;
        const char *error;
    };
    const Raised cases[] = {
        {"v2('x')", "t:1: bad argument #1 to 'v2' (v2 expected, got string)"},
        {"v2(nil)", "t:1: bad argument #1 to 'v2' (v2 expected, got nil)"},
        {"v3(v2())", "t:1: bad argument #1 to 'v3' (v3 expected, got userdata)"},
        {"v3(1, 2)", "t:1: bad argument #3 to 'v3' (number expected, got no value)"},
        {"v2(1, 'y')", "t:1: bad argument #2 to 'v2' (number expected, got string)"},
        {"color(1, 0, 0)", "t:1: bad argument #4 to 'color' (number expected, got no value)"},
        {"color('red')", "t:1: bad argument #1 to 'color' (color expected, got string)"},
        {"m33(1)", "t:1: bad argument #1 to 'm33' (m33 expected, got number)"},
        {"m33(v3(), v2(), v3())", "t:1: bad argument #2 to 'm33' (v3 expected, got userdata)"},
        {"local x = v2() + 1", "t:1: bad argument #2 to '__add' (v2 expected, got number)"},
        {"local x = v3() - v2()", "t:1: bad argument #2 to '__sub' (v3 expected, got userdata)"},
        {"local x = v3() * v2()", "t:1: bad argument #2 to '__mul' (v3 expected, got userdata)"},
        {"local x = 2 * {}", "t:1: attempt to perform arithmetic on a table value"},
        {"local x = m33() * v3()", "t:1: bad argument #2 to '__mul' (m33 expected, got userdata)"},
        {"local x = color() + v3()", "t:1: bad argument #2 to '__add' (color expected, got userdata)"},
        {"local x = v2() == v2({})", "t:1: bad argument #1 to 'v2' (v2 expected, got table)"},
        {"v2(1, 2):dot(5)", "t:1: bad argument #1 to 'dot' (v2 expected, got number)"},
        {"v3():rotate(1, 90)", "t:1: bad argument #1 to 'rotate' (v3 expected, got number)"},
        {"m33():setScale(v2())", "t:1: bad argument #1 to 'setScale' (v3 expected, got userdata)"},
        {"v3().x(v2())", "t:1: bad argument #1 to 'x' (v3 expected, got userdata)"},
        // Swapped metatables: a v2 is not a v3, a color is not an m33.
        {"local v = v2(1, 2); debug.setmetatable(v, debug.getmetatable(v3())); v:z()",
         "t:1: calling 'z' on bad self (v3 expected, got userdata)"},
        {"local c = color(); debug.setmetatable(c, debug.getmetatable(m33())); c:reset()",
         "t:1: calling 'reset' on bad self (m33 expected, got userdata)"},
        {"local f = io.stdout; debug.setmetatable(f, debug.getmetatable(v3())); local ok, e = pcall(f.setX, f, 1); "
         "debug.setmetatable(f, debug.getmetatable(io.stderr)); error(e, 0)",
         "bad argument #1 to '?' (v3 expected, got userdata)"},
    };
    for (const Raised &c : cases)
        EXPECT_EQ(f.raised(c.chunk), c.error) << c.chunk;
    EXPECT_FALSE(f.m_poController->m_bHalted) << f.log();
}

// The push functions and the checks that the other bindings use.
TEST(ValueTypes, EngineSideAccess)
{
    BindingFixture f;
    lua_State *L = f.L;
    *LMP_iPushV3(L) = MTH_Vector3D(1, 2, 3);
    *LMP_iPushV2(L) = MTH_Vector2D(4, 5);
    *LMP_iPushColor(L) = MTH_Vector4D(0.5, 0.25, 1, 0);
    LMP_iPushM33(L)->setIdentity();
    lua_setglobal(L, "m");
    lua_setglobal(L, "c");
    lua_setglobal(L, "w");
    lua_setglobal(L, "v");
    EXPECT_EQ(f.eval("v, w, c, m"), "v3(1,2,3),v2(4,5),color(0.5,0.25,1,0),m33(v3(1,0,0),v3(0,1,0),v3(0,0,1))");
    EXPECT_EQ(f.eval("getmetatable(v) == testRegistry().v3, getmetatable(c) == testRegistry().color"), "true,true");

    lua_getglobal(L, "v");
    MTH_Vector3D *stored = LMP_poToV3(L, -1);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(LMP_poToV2(L, -1), nullptr);
    EXPECT_EQ(LMP_poToColor(L, -1), nullptr);
    EXPECT_EQ(LMP_poToM33(L, -1), nullptr);
    lua_pop(L, 1);
    stored->m_fZ = 9; // the script's own value
    EXPECT_EQ(f.eval("v"), "v3(1,2,9)");
}

} // namespace
