// The "newScene" binding: defaults and setters as scripts see them, the
// object and bounds methods, user data, and the rules of the physics
// callbacks posted through the scene's proxy handle.
#include <gtest/gtest.h>

#include <string>

#include "foundation/MTH_Vector.h"
#include "model/MDL_Event.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "scripting/LMP_Scene.h"
#include "tests/scripting/test_binding_example.h"

namespace {

struct Case {
    const char *chunk;
    const char *result;
};

MDL_Scene *lastScene(BindingFixture &f)
{
    CTRL_Generic *c = f.m_poController;
    return c->m_oScenes.m_iCount > 0 ? c->m_oScenes.m_pData[c->m_oScenes.m_iCount - 1] : nullptr;
}

TEST(SceneBinding, DefaultsSettersAndTextForm)
{
    BindingFixture f;
    ASSERT_EQ(f.run("s = newScene('world')"), "");
    ASSERT_EQ(f.m_poController->m_oScenes.m_iCount, 1);
    EXPECT_STREQ(lastScene(f)->getName(), "world");
    const Case cases[] = {
        // Defaults: the single-precision constants widened.
        {"return s:getFriction() == 0.800000011920929", "true"},
        {"return s:getElasticity() == 0.6000000238418579", "true"},
        {"return s:getIntegrationStep() == 0.0020000000949949026", "true"},
        {"local g = s:getGravity() return g:x(), g:y(), g:z() == -9.8100004196167", "0,0,true"},
        {"return s:getActive()", "true"},
        {"local b = s:getBounds() return #b, b[1] == -math.huge or b[1] < -1e308, b[5], b[6] > 1e308", "6,true,0,true"},
        {"return s:getUserData()", ""},
        // Setters, then the getters.
        {"s:setFriction(0.25) return s:getFriction()", "0.25"},
        {"s:setElasticity('0.5') return s:getElasticity()", "0.5"},
        {"s:setIntegrationStep(0.01) return s:getIntegrationStep()", "0.01"},
        {"s:setGravity(v3(1, 2, 3)) return tostring(s:getGravity())", "v3(1,2,3)"},
        {"s:setActive(false) return s:getActive()", "false"},
        {"s:setBounds({-1, 1, -2, 2, -3, 3}) return table.concat(s:getBounds(), ' ')", "-1 1 -2 2 -3 3"},
        // Missing entries are 0; a non-table is ignored without a message.
        {"s:setBounds({-1, 1}) return table.concat(s:getBounds(), ' ')", "-1 1 0 0 0 0"},
        {"s:setBounds(5) s:setBounds() return table.concat(s:getBounds(), ' ')", "-1 1 0 0 0 0"},
        {"s:setBounds({'x', 2, nil, '4'}) return table.concat(s:getBounds(), ' ')", "0 2 0 4 0 0"},
        {"local t = {} s:setUserData(t) return s:getUserData() == t", "true"},
        {"s:setUserData(nil) return s:getUserData()", ""},
        {"s:setUserData(7) s:setUserData() return s:getUserData()", ""},
        {"return select('#', s:setActive(true)) + select('#', s:setFriction(1))", "0"},
        {"return tostring(s):match('^newScene %(0x%x+%)$') ~= nil", "true"},
        // One userdata per scene: the same proxy comes back.
        {"return newScene('b') ~= s, #tostring(s) > 0", "true,true"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.run(c.chunk), c.result) << c.chunk;
    EXPECT_FALSE(f.m_poController->m_bHalted) << f.log();
    EXPECT_EQ(f.m_poController->m_oScenes.m_iCount, 2);
}

TEST(SceneBinding, ArgumentErrorsReportAndChangeNothing)
{
    const Case cases[] = {
        {"s:setFriction('x')", "Invalid type (string) for argument #1, <N> type argument(s) expected"},
        {"s:setFriction()", "Not enough arguments, <N> argument(s) expected"},
        {"s:setActive(1)", "Invalid type (number) for argument #1, <B> type argument(s) expected"},
        {"s:getObject()", "t:1: Object name ommited"},
        {"s:getObject({})", "t:1: Object name ommited"},
        {"s:setCallback(7)", "Not enough arguments, <IF> argument(s) expected"},
    };
    for (const Case &c : cases) {
        BindingFixture f;
        ASSERT_EQ(f.run("s = newScene('x')"), "");
        EXPECT_EQ(f.run(c.chunk), "") << c.chunk;
        EXPECT_TRUE(f.m_poController->m_bHalted) << c.chunk;
        EXPECT_TRUE(f.m_oLog.contains(c.result)) << c.chunk << ": " << f.log();
        EXPECT_EQ(f.run("return s:getFriction() == 0.800000011920929, s:getActive()"), "true,true") << c.chunk;
    }
    // A vector letter raises.
    BindingFixture f;
    ASSERT_EQ(f.run("s = newScene('x')"), "");
    EXPECT_EQ(f.raised("s:setGravity(1)"), "t:1: bad argument #1 to 'setGravity' (v3 expected, got number)");
    EXPECT_EQ(f.raised("newScene.getFriction(5)"), "t:1: bad argument #1 to 'getFriction' (newScene)");
}

TEST(SceneBinding, GetObjectAndClear)
{
    BindingFixture f;
    ASSERT_EQ(f.run("s = newScene('x')"), "");
    MDL_Scene *scene = lastScene(f);
    MDL_Object *parent = new MDL_Object();
    parent->m_iType = TEST_TYPE_THING;
    parent->setName("Crate");
    MDL_Object *child = new MDL_Object();
    child->m_iType = TEST_TYPE_THING;
    child->setName("Lid");
    ASSERT_TRUE(scene->addObject(parent));
    ASSERT_TRUE(scene->addObject(child));
    child->setParent(parent);
    const Case cases[] = {
        {"return s:getObject('crate'):getName()", "Crate"},
        {"return s:getObject('ignored', 'LID'):getName()", "Lid"},
        {"return s:getObject('nothing')", ""},
        {"return s:getObject('crate') == s:getObject('CRATE')", "true"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.run(c.chunk), c.result) << c.chunk;
    EXPECT_EQ(f.run("s:clear()"), "");
    EXPECT_TRUE(parent->m_bDeleted);
    EXPECT_TRUE(child->m_bDeleted);
    EXPECT_FALSE(f.m_poController->m_bHalted) << f.log();
    scene->purgeDeleted();
    EXPECT_EQ(scene->m_oObjects.m_iCount, 0);
    EXPECT_EQ(f.run("return s:getObject('crate')"), "");
}

// Posts code to the last scene with the arguments of a collision event. For
// a pre-collision event, whether the contact gets its response.
int postCollision(BindingFixture &f, int code, double value, MDL_Object *body = nullptr)
{
    const MDL_ContactEvent contact{
        MTH_Vector3D(1, 2, 3), MTH_Vector3D(0, 0, 1), value, {body, nullptr, nullptr, nullptr}};
    UTIL_ProxyHandle &handle = lastScene(f)->m_oProxyHandle;
    if (code == MDL_CB_PRE_COLLISION)
        return contact.ask(handle, f.m_poController->m_poScriptEngine) ? 1 : 0;
    return contact.post(handle, f.m_poController->m_poScriptEngine, code);
}

TEST(SceneBinding, CallbackRules)
{
    struct CallbackCase {
        const char *setup; // run after s = newScene()
        int code;
        int result;
        const char *seen; // the global "seen" afterwards
        bool halted;
    };
    const char *args = "function(...) local a = {...} seen = select('#', ...) .. ':' .. "
                       "tostring(a[1] == s) .. ':' .. tostring(a[2]) .. ':' .. tostring(a[3]) .. ':' .. "
                       "tostring(a[4]) .. ':' .. tostring(a[5]) .. ':' .. tostring(a[7])";
    std::string pre = std::string("s:setCallback(CB, ") + args + " return RESULT end)";
    auto with = [&](const char *cb, const char *result) {
        std::string text = pre;
        text.replace(text.find("CB"), 2, cb);
        text.replace(text.find("RESULT"), 6, result);
        return text;
    };
    std::string preTrue = with("9", "true"), preNil = with("9", "nil"), preOne = with("9", "1"),
                postAny = with("10", "false");
    const std::string expectedArgs = "8:true:v3(1,2,3):v3(0,0,1):0.5:nil:nil";
    const CallbackCase cases[] = {
        // No function: nothing is handled, and a contact gets its response.
        {"", MDL_CB_MECHA, 0, "nil", false},
        {"", MDL_CB_POST_INTEGRATION, 0, "nil", false},
        {"", MDL_CB_PRE_COLLISION, 1, "nil", false},
        {"", MDL_CB_POST_COLLISION, 0, "nil", false},
        {"", MDL_CB_EVENT, 0, "nil", false},
        // A function: the step's length for 7 and 8.
        {"s:setCallback(7, function(dt) seen = dt end)", MDL_CB_MECHA, 1, "0.5", false},
        {"s:setCallback(8, function(dt) seen = dt end)", MDL_CB_POST_INTEGRATION, 1, "0.5", false},
        {"s:setCallback(7, function(dt) seen = dt error('boom') end)", MDL_CB_MECHA, 0, "0.5", true},
        {"s:setCallback(7, function() end) s:setCallback(7, nil)", MDL_CB_MECHA, 0, "nil", false},
        // Pre-collision: the eight arguments; the result as a boolean.
        {preTrue.c_str(), MDL_CB_PRE_COLLISION, 1, expectedArgs.c_str(), false},
        {preNil.c_str(), MDL_CB_PRE_COLLISION, 0, expectedArgs.c_str(), false},
        {preOne.c_str(), MDL_CB_PRE_COLLISION, 1, expectedArgs.c_str(), false},
        {"s:setCallback(9, function() seen = 1 error('x') end)", MDL_CB_PRE_COLLISION, 0, "1", true},
        {"s:setCallback(9, function() seen = 1 end)", MDL_CB_PRE_COLLISION, 0, "1", false},
        // Post-collision: ran without error is handled, whatever it returns.
        {postAny.c_str(), MDL_CB_POST_COLLISION, 1, expectedArgs.c_str(), false},
        // A function for an id the scene does not answer.
        {"s:setCallback(3, function() seen = 1 end)", MDL_CB_MOUSE_DOWN, 0, "nil", true},
        // Ids without a slot are ignored, without a report.
        {"s:setCallback(0, function() seen = 1 end) s:setCallback(12, function() seen = 1 end)", 12, 0, "nil", false},
        {"s:setCallback(-1, function() seen = 1 end)", MDL_CB_PRE_COLLISION, 1, "nil", false},
    };
    for (const CallbackCase &c : cases) {
        BindingFixture f;
        ASSERT_EQ(f.run(std::string("s = newScene('x') ") + c.setup), "") << c.setup;
        int result =
            (c.code == MDL_CB_PRE_COLLISION || c.code == MDL_CB_POST_COLLISION)
                ? postCollision(f, c.code, 0.5)
                : MDL_StepEvent{0.5}.post(lastScene(f)->m_oProxyHandle, f.m_poController->m_poScriptEngine, c.code);
        EXPECT_EQ(result, c.result) << c.setup << " / " << c.code;
        EXPECT_EQ(f.run("return tostring(seen)"), c.seen) << c.setup << " / " << c.code;
        EXPECT_EQ(f.m_poController->m_bHalted, c.halted) << c.setup << ": " << f.log();
        EXPECT_EQ(lua_gettop(f.L), 0);
    }
    BindingFixture f;
    ASSERT_EQ(f.run("s = newScene('x') s:setCallback(3, function() end)"), "");
    EXPECT_EQ((MDL_PickEvent{nullptr, MTH_Vector3D()}.post(lastScene(f)->m_oProxyHandle,
                                                           f.m_poController->m_poScriptEngine, MDL_CB_MOUSE_DOWN)),
              0);
    EXPECT_TRUE(f.m_oLog.contains("Unhandled scene callback")) << f.log();
}

TEST(SceneBinding, StepPostsIntegrationThenMechaAndCollisionsPassObjects)
{
    BindingFixture f;
    ASSERT_EQ(f.run("s = newScene('x') order = '' "
                    "s:setCallback(7, function(dt) order = order .. 'M' .. dt end) "
                    "s:setCallback(8, function(dt) order = order .. 'I' .. dt end) "
                    "s:setCallback(10, function(s, p, n, j, a, av, b, bv) order = a:getName() .. tostring(b) end)"),
              "");
    MDL_Scene *scene = lastScene(f);
    scene->step(0.25, f.m_poController->m_poScriptEngine);
    scene->step(0, f.m_poController->m_poScriptEngine);
    EXPECT_EQ(f.run("return order"), "I0.25M0.25I0M0");
    MDL_Object *body = new MDL_Object();
    body->m_iType = TEST_TYPE_THING;
    body->setName("ball");
    ASSERT_TRUE(scene->addObject(body));
    EXPECT_EQ(postCollision(f, MDL_CB_POST_COLLISION, 2, body), 1);
    EXPECT_EQ(f.run("return order"), "ballnil");
    // The proxy stays in force while the scene exists, whatever the script
    // holds of it.
    ASSERT_EQ(f.run("s = nil collectgarbage() collectgarbage()"), "");
    scene->step(0.5, f.m_poController->m_poScriptEngine);
    EXPECT_EQ(f.run("return order"), "ballnilI0.5M0.5");
    EXPECT_FALSE(f.m_poController->m_bHalted) << f.log();
}

// A halted controller forwards nothing: no script runs, and with nobody to
// refuse it the contact gets its response.
TEST(SceneBinding, HaltedControllerPostsNothing)
{
    BindingFixture f;
    ASSERT_EQ(f.run("s = newScene('x') s:setCallback(9, function() seen = 1 return false end)"), "");
    f.m_poController->reportError("%s", "halt");
    EXPECT_EQ(postCollision(f, MDL_CB_PRE_COLLISION, 1), 1);
    EXPECT_EQ(f.run("return tostring(seen)"), "nil");
}

} // namespace
