// Argument checking (LMP_iCheckArgs, LMP_iRefFunction) and binding error
// reports (LMP_iReportError), through host functions that scripts call.
#include <gtest/gtest.h>

#include <string>

#include "foundation/MTH_Vector.h"
#include "scripting/LMP_Binding.h"
#include "tests/scripting/test_binding_example.h"

class MDL_RigidBody;

namespace {

// Each check function pushes the checker's result, then its outputs.

int checkIF(lua_State *L)
{
    int32_t id = -7;
    int function = -7;
    lua_pushinteger(L, LMP_iCheckArgs(L, "IF", &id, &function));
    lua_pushinteger(L, id);
    lua_pushinteger(L, function);
    return 3;
}

int checkSIS(lua_State *L)
{
    const char *first = "default";
    int32_t number = -7;
    const char *second = "default";
    lua_pushinteger(L, LMP_iCheckArgs(L, "S|IS", &first, &number, &second));
    lua_pushstring(L, first);
    lua_pushinteger(L, number);
    lua_pushstring(L, second);
    return 4;
}

int checkN(lua_State *L)
{
    double number = -7;
    lua_pushinteger(L, LMP_iCheckArgs(L, "N", &number));
    lua_pushnumber(L, number);
    return 2;
}

int checkIII(lua_State *L)
{
    int32_t a = -7, b = -7, c = -7;
    lua_pushinteger(L, LMP_iCheckArgs(L, "III", &a, &b, &c));
    lua_pushinteger(L, a);
    lua_pushinteger(L, b);
    lua_pushinteger(L, c);
    return 4;
}

int checkOptionalI(lua_State *L)
{
    int32_t number = -7;
    lua_pushinteger(L, LMP_iCheckArgs(L, "|I", &number));
    lua_pushinteger(L, number);
    return 2;
}

int checkBNS(lua_State *L)
{
    bool flag = false;
    double number = -7;
    const char *text = "default";
    lua_pushinteger(L, LMP_iCheckArgs(L, "BNS", &flag, &number, &text));
    lua_pushboolean(L, flag);
    lua_pushnumber(L, number);
    lua_pushstring(L, text);
    return 4;
}

// An unknown letter matches nothing and takes no output.
int checkIXI(lua_State *L)
{
    int32_t a = -7, b = -7;
    lua_pushinteger(L, LMP_iCheckArgs(L, "I|XI", &a, &b));
    lua_pushinteger(L, a);
    lua_pushinteger(L, b);
    return 3;
}

int checkIX(lua_State *L)
{
    int32_t a = -7;
    lua_pushinteger(L, LMP_iCheckArgs(L, "IX", &a));
    lua_pushinteger(L, a);
    return 2;
}

int checkI(lua_State *L)
{
    int32_t number = -7;
    LMP_iCheckArgs(L, "I", &number);
    lua_pushinteger(L, number);
    return 1;
}

int checkFI(lua_State *L)
{
    int function = -7;
    int32_t number = -7;
    lua_pushinteger(L, LMP_iCheckArgs(L, "FI", &function, &number));
    lua_pushinteger(L, function);
    return 2;
}

int checkFV(lua_State *L)
{
    int function = -7;
    MTH_Vector3D *v = nullptr;
    lua_pushinteger(L, LMP_iCheckArgs(L, "FV", &function, &v));
    return 1;
}

int takeV(lua_State *L)
{
    MTH_Vector3D *v = nullptr;
    lua_pushinteger(L, LMP_iCheckArgs(L, "V", &v));
    return 1;
}

int takeW(lua_State *L)
{
    MTH_Vector2D *v = nullptr;
    lua_pushinteger(L, LMP_iCheckArgs(L, "W", &v));
    return 1;
}

int takeC(lua_State *L)
{
    MTH_Vector4D *c = nullptr;
    lua_pushinteger(L, LMP_iCheckArgs(L, "C", &c));
    return 1;
}

int takeM(lua_State *L)
{
    MTH_Matrix3x3 *m = nullptr;
    lua_pushinteger(L, LMP_iCheckArgs(L, "M", &m));
    return 1;
}

int takeR(lua_State *L)
{
    static char s_cUnset;
    MDL_RigidBody *body = reinterpret_cast<MDL_RigidBody *>(&s_cUnset);
    lua_pushinteger(L, LMP_iCheckArgs(L, "R", &body));
    lua_pushboolean(L, body == nullptr);
    return 2;
}

int takeOptionalVW(lua_State *L)
{
    MTH_Vector3D *v = nullptr;
    MTH_Vector2D *w = nullptr;
    lua_pushinteger(L, LMP_iCheckArgs(L, "|VW", &v, &w));
    return 1;
}

// Writes through the checked pointers: the script's own values change.
int scaleVW(lua_State *L)
{
    MTH_Vector3D *v = nullptr;
    MTH_Vector2D *w = nullptr;
    if (!LMP_iCheckArgs(L, "VW", &v, &w))
        return 0;
    *v = *v * 2;
    *w = *w * 2;
    return 0;
}

int refAt(lua_State *L)
{
    lua_pushinteger(L, LMP_iRefFunction(L, 1));
    return 1;
}

void registerChecks(lua_State *L)
{
    const luaL_Reg functions[] = {
        {"checkIF", checkIF},
        {"checkSIS", checkSIS},
        {"checkN", checkN},
        {"checkIII", checkIII},
        {"checkOptionalI", checkOptionalI},
        {"checkBNS", checkBNS},
        {"checkIXI", checkIXI},
        {"checkIX", checkIX},
        {"checkI", checkI},
        {"checkFI", checkFI},
        {"checkFV", checkFV},
        {"takeV", takeV},
        {"takeW", takeW},
        {"takeC", takeC},
        {"takeM", takeM},
        {"takeR", takeR},
        {"takeOptionalVW", takeOptionalVW},
        {"scaleVW", scaleVW},
        {"refAt", refAt},
        {nullptr, nullptr},
    };
    lua_pushglobaltable(L);
    luaL_setfuncs(L, functions, 0);
    lua_pop(L, 1);
}

struct CheckFixture : BindingFixture {
    CheckFixture() { registerChecks(L); }
};

// The checker's results and the reported message, each case in a fresh
// interpreter (a report halts the controller, which reports only once).
TEST(ArgumentCheck, SignaturesAcceptRejectAndReport)
{
    struct Case {
        const char *call;
        const char *result;
        const char *reported; // null: nothing reported
    };
    const Case cases[] = {
        {"checkIF(1, nil)", "2,1,0", nullptr},
        {"checkIF('65', nil)", "2,65,0", nullptr}, // a numeric string for I
        {"checkIF(1, 5)", "0,1,-7", "t:1: Invalid type (number) for argument #2, <IF> type argument(s) expected"},
        {"checkIF('x', nil)", "0,-7,-7", "t:1: Invalid type (string) for argument #1, <IF> type argument(s) expected"},
        // The second string fails the optional I and fills the second S.
        {"checkSIS('a', 'b')", "2,a,-7,b", nullptr},
        {"checkSIS('a', 3, 'b')", "3,a,3,b", nullptr},
        {"checkSIS(12)", "1,12,-7,default", nullptr}, // a number for S
        {"checkSIS()", "0,default,-7,default", "t:1: Not enough arguments, <S|IS> argument(s) expected"},
        {"checkSIS('a', 1, 'b', 'c')", "0,a,1,b", "t:1: Too much arguments, <S|IS> argument(s) expected"},
        {"checkN(1, 2)", "0,1", "t:1: Too much arguments, <N> argument(s) expected"},
        {"checkN('2.5')", "1,2.5", nullptr},
        {"checkN(true)", "0,-7", "t:1: Invalid type (boolean) for argument #1, <N> type argument(s) expected"},
        {"checkIII(1)", "0,1,-7,-7", "t:1: Not enough arguments, <III> argument(s) expected"},
        {"checkIII(1, 2, 3)", "3,1,2,3", nullptr},
        // No arguments for an optional signature: 0, as after an error, but
        // nothing reported.
        {"checkOptionalI()", "0,-7", nullptr},
        {"checkOptionalI(4)", "1,4", nullptr},
        {"checkOptionalI('x')", "0,-7", "t:1: Too much arguments, <|I> argument(s) expected"},
        {"checkBNS(false, 1, 'x')", "3,false,1,x", nullptr},
        {"checkBNS(nil, 1, 'x')", "0,false,-7,default",
         "t:1: Invalid type (nil) for argument #1, <BNS> type argument(s) expected"},
        {"checkBNS(true, 1, {})", "0,true,1,default",
         "t:1: Invalid type (table) for argument #3, <BNS> type argument(s) expected"},
        {"checkIXI(1, 2)", "2,1,2", nullptr},
        {"checkIX(1, 2)", "0,1", "t:1: Invalid type (number) for argument #2, <IX> type argument(s) expected"},
        {"takeR(nil)", "1,true", nullptr},
        {"takeOptionalVW()", "0", nullptr},
        {"takeOptionalVW(v3())", "1", nullptr},
        {"takeOptionalVW(v3(), v2())", "2", nullptr},
    };
    for (const Case &c : cases) {
        CheckFixture f;
        EXPECT_EQ(f.eval(c.call), c.result) << c.call;
        if (c.reported != nullptr) {
            EXPECT_TRUE(f.m_poController->m_bHalted) << c.call;
            ASSERT_EQ(f.m_oLog.m_asLines.size(), 1u) << c.call << ": " << f.log();
            EXPECT_EQ(f.m_oLog.m_asLines[0], c.reported) << c.call;
        } else {
            EXPECT_FALSE(f.m_poController->m_bHalted) << c.call << ": " << f.log();
            EXPECT_TRUE(f.m_oLog.m_asLines.empty()) << c.call << ": " << f.log();
        }
    }
}

// The value-type and rigid-body letters raise the standard argument error,
// before or after the bar, counting arguments as the script wrote them.
TEST(ArgumentCheck, ValueTypeAndRigidBodyLettersRaise)
{
    CheckFixture f;
    ASSERT_EQ(f.run("thing = newTestThing('a')"), "");
    struct Case {
        const char *chunk;
        const char *error;
    };
    const Case cases[] = {
        {"takeV('x')", "t:1: bad argument #1 to 'takeV' (v3 expected, got string)"},
        {"takeV(v2())", "t:1: bad argument #1 to 'takeV' (v3 expected, got userdata)"},
        {"takeW(v3())", "t:1: bad argument #1 to 'takeW' (v2 expected, got userdata)"},
        {"takeC(nil)", "t:1: bad argument #1 to 'takeC' (color expected, got nil)"},
        {"takeC(v3(1, 2, 3))", "t:1: bad argument #1 to 'takeC' (color expected, got userdata)"},
        {"takeM(1)", "t:1: bad argument #1 to 'takeM' (m33 expected, got number)"},
        {"takeR(5)", "t:1: bad argument #1 to 'takeR' (newRigidBody)"},
        {"takeR(thing)", "t:1: bad argument #1 to 'takeR' (newRigidBody)"},
        {"takeOptionalVW(1)", "t:1: bad argument #1 to 'takeOptionalVW' (v3 expected, got number)"},
        {"takeOptionalVW(v3(), 'x')", "t:1: bad argument #2 to 'takeOptionalVW' (v2 expected, got string)"},
        {"local f = takeV; f(true)", "t:1: bad argument #1 to 'f' (v3 expected, got boolean)"},
        // Methods remove their receiver before checking; the count is the
        // script's all the same.
        {"thing:setPosition('x')", "t:1: bad argument #1 to 'setPosition' (v3 expected, got string)"},
        {"newTestThing.setPosition(thing, 1)", "t:1: bad argument #2 to 'setPosition' (v3 expected, got number)"},
        {"color():setRGB(1)", "t:1: bad argument #1 to 'setRGB' (v3 expected, got number)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.raised(c.chunk), c.error) << c.chunk;
    EXPECT_FALSE(f.m_poController->m_bHalted) << f.log();

    // Through the engine, a raise reaches the controller's report.
    EXPECT_FALSE(f.runEngine("takeV(1)"));
    EXPECT_TRUE(f.m_poController->m_bHalted);
    EXPECT_TRUE(f.m_oLog.contains("t:1: bad argument #1 to 'takeV' (v3 expected, got number)")) << f.log();
}

TEST(ArgumentCheck, VectorOutputsPointAtTheScriptsValues)
{
    CheckFixture f;
    EXPECT_EQ(f.eval("(function() local a, b = v3(1, 2, 3), v2(4, 5); scaleVW(a, b); return a, b end)()"),
              "v3(2,4,6),v2(8,10)");
}

// "I" converts like the interpreter, with no undefined conversion for
// numbers out of the 32-bit range or NaN.
TEST(ArgumentCheck, IntegerLetterConvertsEveryNumberSoundly)
{
    CheckFixture f;
    struct Case {
        const char *argument;
        const char *expected;
    };
    const Case cases[] = {
        {"2.9", "2"},
        {"-2.9", "-2"},
        {"'65'", "65"},
        {"'0x10'", "16"},
        {"0/0", "0"},
        {"math.huge", "2147483647"},
        {"-math.huge", "-2147483648"},
        {"1e300", "2147483647"},
        {"2^31", "2147483647"},
        {"-2^31", "-2147483648"},
        {"2^31 - 1", "2147483647"},
        {"-2^31 - 0.5", "-2147483648"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.eval(std::string("checkI(") + c.argument + ")"), c.expected) << c.argument;
}

TEST(ArgumentCheck, FunctionLetterTakesAReferenceOnlyOnSuccess)
{
    CheckFixture f;
    ASSERT_EQ(f.run("function cb() end"), "");
    // A function's reference holds the function.
    EXPECT_EQ(f.eval("(function() local n, id, ref = checkIF(1, cb); return n, ref > 0, "
                     "testRegistry()[ref] == cb end)()"),
              "2,true,true");
    // A check that fails after the F leaves no reference behind.
    EXPECT_EQ(f.eval("(function() local before = #testRegistry(); local n = checkFI(cb, 'x'); "
                     "return n, #testRegistry() - before end)()"),
              "0,0");
    // Nor does one that raises after it.
    EXPECT_EQ(f.eval("(function() local before = #testRegistry(); local ok = pcall(checkFV, cb, 1); "
                     "return ok, #testRegistry() - before end)()"),
              "false,0");
}

TEST(ArgumentCheck, RefFunctionFollowsTheReferenceScheme)
{
    CheckFixture f;
    EXPECT_EQ(f.eval("refAt(nil)"), "-1");
    // A freed reference is reused first.
    EXPECT_EQ(f.eval("(function() local r = refAt(print); local t = testRegistry(); local ok = t[r] == print; "
                     "local s = refAt({}); t[s] = t[0]; t[0] = s; return ok, refAt(5) == s, t[s] end)()"),
              "true,true,5");
}

TEST(ErrorReport, PositionInFrontAndTheControllerHaltedOnce)
{
    CheckFixture f;
    ASSERT_TRUE(f.runEngine("x = 1\n\ncheckN()\ncheckN(1, 2, 3)\nafter = true\n"));
    EXPECT_TRUE(f.m_poController->m_bHalted);
    // The script ran on to its end; only the first report went through.
    EXPECT_EQ(f.eval("after"), "true");
    ASSERT_EQ(f.m_oLog.m_asLines.size(), 1u) << f.log();
    EXPECT_EQ(f.m_oLog.m_asLines[0], "t:3: Not enough arguments, <N> argument(s) expected");
    // A halted controller runs no more scripts.
    EXPECT_FALSE(f.runEngine("late = true"));
    EXPECT_EQ(f.eval("late"), "nil");
}

TEST(ErrorReport, NoPositionWhenTheCallerIsNotAScriptLine)
{
    CheckFixture f;
    EXPECT_EQ(f.eval("pcall(checkN)"), "true,0,-7");
    ASSERT_EQ(f.m_oLog.m_asLines.size(), 1u) << f.log();
    EXPECT_EQ(f.m_oLog.m_asLines[0], "Not enough arguments, <N> argument(s) expected");
}

TEST(ErrorReport, LongMessagesAreCutAndTextsAreNotFormats)
{
    {
        CheckFixture f;
        std::string big(3000, 'x');
        LMP_iReportError(f.L, "%s", big.c_str());
        ASSERT_EQ(f.m_oLog.m_asLines.size(), 1u);
        EXPECT_EQ(f.m_oLog.m_asLines[0], std::string(1023, 'x'));
    }
    {
        CheckFixture f;
        LMP_iReportError(f.L, "%s", "50%n%s");
        ASSERT_EQ(f.m_oLog.m_asLines.size(), 1u);
        EXPECT_EQ(f.m_oLog.m_asLines[0], "50%n%s");
    }
}

TEST(ErrorReport, WithoutAControllerTheMessageIsDropped)
{
    TEST_LogCapture log;
    LMP_ScriptEngine engine;
    lua_State *L = engine.m_poLuaState;
    registerChecks(L);
    ASSERT_EQ(luaL_dostring(L, "result = checkN()"), LUA_OK);
    lua_getglobal(L, "result");
    EXPECT_EQ(lua_tointeger(L, -1), 0);
    lua_pop(L, 1);
    EXPECT_TRUE(log.m_asLines.empty()) << log.joined();
}

} // namespace
