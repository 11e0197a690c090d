// The class binding mechanism, through the example classes "newTestThing"
// and "newTestGadget" (tests/scripting/test_binding_example.cpp).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "foundation/UTIL_MemoryReserve.h"
#include "scripting/LMP_Binding.h"
#include "tests/scripting/test_binding_example.h"

namespace {

std::string address(const void *pointer)
{
    char text[64];
    snprintf(text, sizeof(text), "%p", pointer);
    return text;
}

TEST(ClassBinding, ClassTableMetatableAndConstruction)
{
    BindingFixture f;
    struct Case {
        const char *expression;
        const char *expected;
    };
    const Case cases[] = {
        {"type(newTestThing)", "table"},
        {"getmetatable(newTestThing('a')) == newTestThing", "true"},
        {"getmetatable(newTestGadget()) == newTestGadget", "true"},
        {"newTestThing:new('b'):getName()", "b"},
        // The plain call form gives new its first argument as the class slot.
        {"select('#', newTestThing.new('lost'):getName())", "0"},
        {"type(newTestGadget.getPosition)", "function"}, // inherited row
        {"newTestGadget.getPosition ~= newTestThing.getPosition", "true"},
        {"newTestGadget(3):getName()", "gadget of power 3"}, // own row replaces the inherited one
        {"newTestThing('c'):getName()", "c"},
        {"(function() local g = newTestGadget(2); g:setPosition(v3(1, 2, 3)); return g:getPosition() end)()",
         "v3(1,2,3)"},
        {"(function() local g = newTestGadget(2); g:setPower(7); return g:getPower() end)()", "7"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.eval(c.expression), c.expected) << c.expression;
    EXPECT_FALSE(f.m_poController->m_bHalted) << f.log();
}

TEST(ClassBinding, TextFormIsClassNameAndProxyAddress)
{
    BindingFixture f;
    ASSERT_EQ(f.run("thing = newTestThing('a'); gadget = newTestGadget()"), "");
    lua_getglobal(f.L, "thing");
    LMP_TestThing *thing = LMP_Luna<LMP_TestThing>::toProxy(f.L, -1);
    lua_getglobal(f.L, "gadget");
    LMP_TestGadget *gadget = LMP_Luna<LMP_TestGadget>::toProxy(f.L, -1);
    lua_pop(f.L, 2);
    ASSERT_NE(thing, nullptr);
    ASSERT_NE(gadget, nullptr);
    EXPECT_EQ(f.eval("tostring(thing)"), "newTestThing (" + address(thing) + ")");
    EXPECT_EQ(f.eval("tostring(gadget)"), "newTestGadget (" + address(gadget) + ")");
    // Still so once the engine object is gone.
    ASSERT_EQ(f.run("thing:destroy()"), "");
    EXPECT_EQ(f.eval("tostring(thing)"), "newTestThing (" + address(thing) + ")");
}

TEST(ClassBinding, OneUserdataPerProxyWhileTheScriptHoldsIt)
{
    BindingFixture f;
    ASSERT_EQ(f.run("a = newTestThing('a')"), "");
    EXPECT_EQ(f.eval("findThing('a') == a"), "true");
    EXPECT_EQ(f.eval("rawequal(findThing('a'), findThing('a'))"), "true");
    EXPECT_EQ(f.eval("(function() local t = {}; t[findThing('a')] = 1; return t[a] end)()"), "1");

    lua_getglobal(f.L, "a");
    LMP_TestThing *proxy = LMP_Luna<LMP_TestThing>::toProxy(f.L, -1);
    lua_pop(f.L, 1);
    ASSERT_NE(proxy, nullptr);
    EXPECT_EQ(proxy->m_iRefCount, 2); // the engine object's handle and the userdata

    // Dropped and collected: the userdata's reference goes, the proxy stays
    // with the engine object, and the next push makes a new userdata.
    ASSERT_EQ(f.run("a = nil; collectgarbage(); collectgarbage()"), "");
    EXPECT_EQ(proxy->m_iRefCount, 1);
    EXPECT_EQ(f.eval("findThing('a'):getName()"), "a");
    ASSERT_EQ(f.run("b = findThing('a')"), "");
    EXPECT_EQ(proxy->m_iRefCount, 2);
}

TEST(ClassBinding, MethodOnAWrongValueRaisesTheStandardError)
{
    BindingFixture f;
    ASSERT_EQ(f.run("thing = newTestThing('a'); gadget = newTestGadget(1)"), "");
    struct Case {
        const char *chunk;
        const char *error; // null: no error
    };
    const Case cases[] = {
        {"gadget:getPosition()", nullptr},
        {"newTestThing.getPosition(thing)", nullptr},
        // Each class table holds its own closures, which accept only its own
        // instances.
        {"newTestThing.getPosition(gadget)", "t:1: bad argument #1 to 'getPosition' (newTestThing)"},
        {"newTestGadget.getPower(thing)", "t:1: bad argument #1 to 'getPower' (newTestGadget)"},
        {"local x = {getPosition = newTestThing.getPosition}; x:getPosition()",
         "t:1: calling 'getPosition' on bad self (newTestThing)"},
        {"newTestThing.getName()", "t:1: bad argument #1 to 'getName' (newTestThing)"},
        {"newTestThing.getName(5)", "t:1: bad argument #1 to 'getName' (newTestThing)"},
        {"newTestThing.getName(v3())", "t:1: bad argument #1 to 'getName' (newTestThing)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.raised(c.chunk), c.error != nullptr ? c.error : "<no error>") << c.chunk;
}

TEST(ClassBinding, AProxyWhoseEngineObjectIsGoneDoesNothing)
{
    BindingFixture f;
    int live = LMP_TestThing::s_iLiveCount;
    ASSERT_EQ(f.run("thing = newTestThing('a'); other = findThing('a'); thing:destroy()"), "");
    struct Case {
        const char *expression;
        const char *expected;
    };
    const Case cases[] = {
        {"select('#', thing:getPosition())", "0"},
        {"select('#', thing:setPosition(v3(1, 2, 3)))", "0"},
        {"select('#', thing:getName())", "0"},
        {"select('#', thing:destroy())", "0"},
        {"thing:exist()", "false"},
        {"other == thing", "true"},
        {"findThing('a')", ""},
        {"getmetatable(thing) == newTestThing", "true"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.eval(c.expression), c.expected) << c.expression;
    EXPECT_FALSE(f.m_poController->m_bHalted) << f.log();
    // The proxy lives while the script holds it and goes with the userdata.
    EXPECT_EQ(LMP_TestThing::s_iLiveCount, live + 1);
    ASSERT_EQ(f.run("thing = nil; other = nil; collectgarbage(); collectgarbage()"), "");
    EXPECT_EQ(LMP_TestThing::s_iLiveCount, live);
}

// The receiver leaves the stack before the method runs; a proxy that only
// that userdata owns stays alive through the call all the same.
TEST(ClassBinding, AnUnheldReceiverLivesThroughItsCall)
{
    BindingFixture f;
    int live = LMP_TestThing::s_iLiveCount;
    EXPECT_EQ(f.eval("newTestThing({}):collectThenExist()"), "false");
    EXPECT_EQ(f.eval("newTestThing('held by its object'):collectThenExist()"), "true");
    EXPECT_EQ(f.run("collectgarbage(); collectgarbage()"), "");
    EXPECT_EQ(LMP_TestThing::s_iLiveCount, live + 1); // the one its engine object holds
}

// An engine allocation that fails inside a bound call (a constructor, a
// method or a global function) unwinds the call's C++ side, gives back the
// player's memory reserve, raises Lua's "not enough memory" and stops the
// document: the engine may be left without what the call was making.
TEST(ClassBinding, AFailedEngineAllocationRaisesNotEnoughMemory)
{
    const char *const calls[] = {"newTestThing('too much')", "newTestThing:new('too much')",
                                 "newTestThing('held'):allocateTooMuch()", "allocateTooMuch()"};
    for (const char *call : calls) {
        BindingFixture f;
        int live = LMP_TestThing::s_iLiveCount;
        UTIL_MemoryReserve::hold(4096);
        EXPECT_EQ(f.run(std::string("local ok, message = pcall(function() return ") + call +
                        " end) return ok, message, 'went on'"),
                  "false,not enough memory,went on")
            << call;
        EXPECT_TRUE(f.m_poController->m_bHalted) << call;
        EXPECT_FALSE(UTIL_MemoryReserve::held()) << call; // for drawing the report
        EXPECT_TRUE(f.m_oLog.contains("t:1: not enough memory")) << call << ": " << f.log();
        EXPECT_EQ(f.run("collectgarbage() collectgarbage()"), "") << call;
        EXPECT_LE(LMP_TestThing::s_iLiveCount, live + 1) << call; // at most the one its engine object holds
    }
}

TEST(ClassBinding, ProxiesEndWithTheirLastOwner)
{
    int live = LMP_TestThing::s_iLiveCount;
    {
        BindingFixture f;
        // A proxy made with a reported error has no engine object: only the
        // userdata owns it.
        ASSERT_EQ(f.run("local x = newTestThing({}); x = nil; collectgarbage(); collectgarbage()"), "");
        EXPECT_EQ(LMP_TestThing::s_iLiveCount, live);
        EXPECT_TRUE(f.m_poController->m_bHalted);
        // Held by the script at the close of the interpreter, and by the
        // engine objects until they are deleted after it.
        ASSERT_EQ(f.run("a = newTestThing('a'); g = newTestGadget(); newTestThing('unheld')"), "");
        EXPECT_EQ(LMP_TestThing::s_iLiveCount, live + 3);
    }
    EXPECT_EQ(LMP_TestThing::s_iLiveCount, live);
}

// A script can give any userdata any metatable (debug.setmetatable); no such
// value is ever read as a proxy of a class it was not made for.
TEST(ClassBinding, SwappedMetatablesAreNeverReadAsAnotherClass)
{
    BindingFixture f;
    ASSERT_EQ(f.run("thing = newTestThing('a'); gadget = newTestGadget(4)\n"
                    "thingMT = debug.getmetatable(thing); gadgetMT = debug.getmetatable(gadget)\n"
                    "v3MT = debug.getmetatable(v3())"),
              "");
    struct Case {
        const char *chunk;
        const char *error;
    };
    const Case cases[] = {
        // A vector with a class's metatable: its doubles are never a proxy.
        {"local v = v2(1, 2); debug.setmetatable(v, thingMT); v:getPosition()",
         "t:1: calling 'getPosition' on bad self (newTestThing)"},
        {"local v = v3(1, 2, 3); debug.setmetatable(v, gadgetMT); v:getPower()",
         "t:1: calling 'getPower' on bad self (newTestGadget)"},
        // A thing with the gadget metatable is not a gadget.
        {"local t = newTestThing('b'); debug.setmetatable(t, gadgetMT); t:getPower()",
         "t:1: calling 'getPower' on bad self (newTestGadget)"},
        // A proxy with a vector's metatable is not a vector.
        {"debug.setmetatable(thing, v3MT); local ok, e = pcall(function() return thing:x() end)\n"
         "debug.setmetatable(thing, thingMT); error(e, 0)",
         "t:1: calling 'x' on bad self (v3 expected, got userdata)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.raised(c.chunk), c.error) << c.chunk;
    // A gadget is a thing, so a gadget with the thing metatable is served as
    // a thing.
    EXPECT_EQ(f.eval("(function() debug.setmetatable(gadget, thingMT); local p = gadget:getPosition(); "
                     "debug.setmetatable(gadget, gadgetMT); return p end)()"),
              "v3(0,0,0)");
    // The swapped values are collected without harm.
    EXPECT_EQ(f.run("collectgarbage(); collectgarbage()"), "");
    EXPECT_EQ(f.eval("gadget:getPower()"), "4");
}

TEST(ClassBinding, PushProxyPicksTheClassByTypeCode)
{
    BindingFixture f;
    struct Case {
        const char *expression;
        const char *expected;
    };
    const Case cases[] = {
        {"getmetatable(pushObjectOfType(20)) == newTestThing", "true"},
        {"getmetatable(pushObjectOfType(21)) == newTestGadget", "true"},
        {"pushObjectOfType(21):getPower()", "0"},
        // A gadget made by the script comes back as the same value.
        {"(function() local g = newTestGadget(5); return findThing('gadget') == g end)()", "true"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.eval(c.expression), c.expected) << c.expression;
    EXPECT_FALSE(f.m_poController->m_bHalted) << f.log();

    // No class for type 9, nor for codes the player does not know.
    const int unknown[] = {9, 99, -1};
    for (int code : unknown) {
        BindingFixture g;
        EXPECT_EQ(g.run("x = 1\nreturn select('#', pushObjectOfType(" + std::to_string(code) + "))"), "0");
        EXPECT_TRUE(g.m_poController->m_bHalted);
        EXPECT_TRUE(g.m_oLog.contains("t:2: LMP_iPushProxy -> Unknown object type")) << g.log();
    }
}

TEST(ClassBinding, PushProxyReplacesAProxyOfAnotherClass)
{
    BindingFixture f;
    // The gadget's handle holds a thing proxy (made around it from C++):
    // pushing the gadget makes a gadget proxy, and the thing proxy loses it.
    TEST_Gadget *gadget = new TEST_Gadget();
    gadget->setName("g");
    TEST_things().push_back(gadget);
    LMP_TestThing *thing = new LMP_TestThing(gadget);
    LMP_Luna<LMP_TestThing>::push(f.L, thing);
    lua_setglobal(f.L, "asThing");
    EXPECT_EQ(f.eval("asThing:exist()"), "true");
    EXPECT_EQ(f.eval("getmetatable(findThing('g')) == newTestGadget"), "true");
    EXPECT_EQ(f.eval("asThing:exist()"), "false");
    EXPECT_EQ(f.eval("findThing('g'):getPower()"), "0");
}

TEST(ClassBinding, GetObjectAcceptsOnlyObjectArgumentClasses)
{
    BindingFixture f;
    struct Case {
        const char *expression;
        const char *expected;
    };
    const Case cases[] = {
        {"isObject(newTestThing('a'))", "true"},
        {"(function() local t = newTestThing('b'); t:destroy(); return isObject(t) end)()", "true"},
        {"isObject(newTestGadget())", "false"}, // not an object argument
        {"isObject(v3())", "false"},
        {"isObject({})", "false"},
        {"isObject(nil)", "false"},
        {"isObject(io.stdout)", "false"},
        {"(function() local v = v2(); debug.setmetatable(v, debug.getmetatable(newTestThing('c'))); "
         "return isObject(v) end)()",
         "false"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.eval(c.expression), c.expected) << c.expression;
}

TEST(ClassBinding, ARegisteredNameOrTypeCodeIsNotTakenTwice)
{
    BindingFixture f;
    // A second registration of the same classes changes nothing.
    TEST_registerThings(f.L);
    EXPECT_TRUE(f.m_oLog.contains("Class newTestThing is registered twice")) << f.log();
    EXPECT_EQ(f.eval("getmetatable(pushObjectOfType(21)) == newTestGadget"), "true");
    EXPECT_EQ(f.eval("newTestGadget(2):getName()"), "gadget of power 2");
}

} // namespace
