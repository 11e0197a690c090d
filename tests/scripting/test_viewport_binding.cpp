// The "newViewport" binding: defaults, setters, navigation, the camera-less
// answers, deletion, the input event callback; and a randomised run of every
// scene and viewport method with arbitrary arguments.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/MTH_Vector.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Event.h"
#include "model/MDL_Mike.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_Viewport.h"
#include "tests/scripting/test_binding_example.h"

namespace {

struct Case {
    const char *chunk;
    const char *result;
};

MDL_Viewport *lastViewport(BindingFixture &f)
{
    CTRL_Generic *c = f.m_poController;
    return c->m_oViewports.m_iCount > 0 ? c->m_oViewports.m_pData[c->m_oViewports.m_iCount - 1] : nullptr;
}

TEST(ViewportBinding, DefaultsSettersAndTextForm)
{
    BindingFixture f;
    ASSERT_EQ(f.run("v = newViewport(0, 0, 1, 1)"), "");
    ASSERT_EQ(f.m_poController->m_oViewports.m_iCount, 1);
    EXPECT_EQ(f.m_poController->m_poCurrentViewport, lastViewport(f));
    const Case cases[] = {
        {"return v:getActive(), v:getShadowRendering(), v:getNavigationMode()", "true,1,0"},
        {"return tostring(v:getPosition()), tostring(v:getSize()), v:getWidth(), v:getHeight()", "v2(0,0),v2(1,1),1,1"},
        {"return tostring(v:getCenter())", "v3(0.5,0.5,0)"},
        // The centre is half the size, whatever the position.
        {"v:setPosition(v2(0.5, 0)) return tostring(v:getCenter()), tostring(v:getPosition())",
         "v3(0.5,0.5,0),v2(0.5,0)"},
        {"v:setSize(v2(0.5, 0.25)) return v:getWidth(), v:getHeight(), tostring(v:getCenter())",
         "0.5,0.25,v3(0.25,0.125,0)"},
        {"v:setActive(false) return v:getActive()", "false"},
        {"v:setShadowRendering(0) return v:getShadowRendering()", "0"},
        {"v:setNavigationMode(3) return v:getNavigationMode()", "3"},
        {"v:setNavigationMode(0) return v:getNavigationMode()", "0"},
        {"v:setBackgroundColor(color(0.25, 0.5, 0.75, 1))", ""},
        // Nothing behind the camera and microphone.
        {"return select('#', v:getCamera()) + select('#', v:getMike())", "0"},
        {"v:setCamera(nil) v:setMike(nil) return v:getCamera()", ""},
        // Without a camera: zero vectors, and no orbit values in the free mode.
        {"return tostring(v:toScene(v3(1, 2, 3))), tostring(v:fromScene(v3(1, 2, 3)))", "v3(0,0,0),v3(0,0,0)"},
        {"local d, o = v:getPickRay(v3(0.5, 0.5, 0)) return tostring(d), tostring(o)", "v3(0,0,0),v3(0,0,0)"},
        {"v:setNavigationPosition(v3(1, 2, 3)) return tostring(v:getNavigationPosition())", "v3(0,0,0)"},
        {"v:setNavigationBasis(m33()) v:setNavigationAzimuth(90) return v:getNavigationAzimuth()", "nil"},
        {"return v:getNavigationRadius(), v:getNavigationElevation()", "nil,nil"},
        {"return tostring(v):match('^newViewport %(0x%x+%)$') ~= nil", "true"},
        // A second viewport becomes the current one.
        {"w = newViewport(0.5, 0.5, 0.5, 0.5) return w ~= v", "true"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.run(c.chunk), c.result) << c.chunk;
    EXPECT_FALSE(f.m_poController->m_bHalted) << f.log();
    MDL_Viewport *first = f.m_poController->m_oViewports.m_pData[0];
    EXPECT_EQ(first->m_oViewportBackground.m_fZ, 0.75);
    EXPECT_EQ(f.m_poController->m_oViewports.m_iCount, 2);
    EXPECT_EQ(f.m_poController->m_poCurrentViewport, lastViewport(f));
}

TEST(ViewportBinding, ReportedValuesChangeNothing)
{
    const Case cases[] = {
        {"v:setShadowRendering(2)", "t:1: Unsupported shadow type specified."},
        {"v:setShadowRendering(-1)", "t:1: Unsupported shadow type specified."},
        {"v:setNavigationMode(-1)", "t:1: Unsupported navigation type specified."},
        {"v:setNavigationMode(4)", "t:1: Unsupported navigation type specified."},
        {"v:setNavigationMode('x')", "Invalid type (string) for argument #1, <I> type argument(s) expected"},
        {"v:setActive()", "Not enough arguments, <B> argument(s) expected"},
        {"v:setCallback(2, 3)", "Invalid type (number) for argument #2, <IF> type argument(s) expected"},
    };
    for (const Case &c : cases) {
        BindingFixture f;
        ASSERT_EQ(f.run("v = newViewport(0, 0, 1, 1)"), "");
        EXPECT_EQ(f.run(c.chunk), "") << c.chunk;
        EXPECT_TRUE(f.m_oLog.contains(c.result)) << c.chunk << ": " << f.log();
        EXPECT_EQ(f.run("return v:getShadowRendering(), v:getNavigationMode(), v:getActive()"), "1,0,true") << c.chunk;
    }
    // A failed constructor check leaves an unbound proxy, and no viewport.
    BindingFixture f;
    EXPECT_EQ(f.run("u = newViewport(0, 0, 1) return tostring(u ~= nil), u:getWidth()"), "true");
    EXPECT_TRUE(f.m_oLog.contains("Not enough arguments, <NNNN> argument(s) expected")) << f.log();
    EXPECT_EQ(f.m_poController->m_oViewports.m_iCount, 0);
}

TEST(ViewportBinding, WrongClassForCameraOrMikeRaises)
{
    BindingFixture f;
    ASSERT_EQ(f.run("v = newViewport(0, 0, 1, 1) s = newScene('x')"), "");
    EXPECT_EQ(f.raised("v:setCamera(5)"), "t:1: bad argument #1 to 'setCamera' (newCamera)");
    EXPECT_EQ(f.raised("v:setCamera()"), "t:1: bad argument #1 to 'setCamera' (newCamera)");
    EXPECT_EQ(f.raised("v:setCamera(nil, s)"), "t:1: bad argument #2 to 'setCamera' (newCamera)");
    EXPECT_EQ(f.raised("v:setMike(newTestThing('a'))"), "t:1: bad argument #1 to 'setMike' (newMike)");
    EXPECT_EQ(f.raised("v:setMike(s)"), "t:1: bad argument #1 to 'setMike' (newMike)");
    EXPECT_EQ(f.raised("v:setCamera(s, nil)"), "<no error>"); // the last argument counts
    EXPECT_EQ(f.raised("newViewport.getWidth(s)"), "t:1: bad argument #1 to 'getWidth' (newViewport)");
}

TEST(ViewportBinding, NavigationInTheOrbitingModes)
{
    std::unique_ptr<MDL_Camera> camera(new MDL_Camera());
    BindingFixture f;
    ASSERT_EQ(f.run("v = newViewport(0, 0, 1, 1)"), "");
    lastViewport(f)->m_poCamera = camera.get();
    const Case cases[] = {
        // The free mode moves the camera itself.
        {"v:setNavigationPosition(v3(1, 2, 3)) return tostring(v:getNavigationPosition())", "v3(1,2,3)"},
        {"v:setNavigationAzimuth(90) return v:getNavigationAzimuth()", "nil"},
        {"v:setNavigationMode(NAV or 3) v:setNavigationAzimuth(90) return v:getNavigationAzimuth()", "90"},
        {"v:setNavigationElevation(30) return v:getNavigationElevation()", "30"},
        // Limits: three arguments clamp, one lifts them again.
        {"v:setNavigationRadius(5, 2, 4) return v:getNavigationRadius()", "4"},
        {"v:setNavigationRadius(5) return v:getNavigationRadius()", "5"},
        {"v:setNavigationRadius(5, 7) return v:getNavigationRadius()", "5"},
        {"v:setNavigationAzimuth(100, -10, 45) return v:getNavigationAzimuth()", "45"},
        {"v:setNavigationAzimuth(100) return v:getNavigationAzimuth()", "100"},
        // The orbit's target, and the camera placed around it.
        {"v:setNavigationPosition(v3(0, 0, 1)) return tostring(v:getNavigationPosition())", "v3(0,0,1)"},
        {"v:setNavigationAzimuth(90) v:setNavigationElevation(0) v:setNavigationRadius(2) "
         "local p = v:toScene(v3(0.5, 0.5, 0)) return p ~= nil",
         "true"},
        {"v:setNavigationBasis(m33()) v:setNavigationMode(0) return v:getNavigationRadius()", "nil"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(f.run(c.chunk), c.result) << c.chunk;
    EXPECT_FALSE(f.m_poController->m_bHalted) << f.log();
    MTH_Vector3D position = camera->getGlobalPosition();
    // Placed at the radius from the target.
    MTH_Vector3D offset = position - MTH_Vector3D(0, 0, 1);
    EXPECT_NEAR(offset.m_fX * offset.m_fX + offset.m_fY * offset.m_fY + offset.m_fZ * offset.m_fZ, 4, 1e-9);
    // With a camera, the conversions round-trip.
    EXPECT_EQ(f.run("local p = v:fromScene(v:toScene(v3(0.25, 0.5, 0.5))) "
                    "return math.floor(p:x() * 1000 + 0.5), math.floor(p:y() * 1000 + 0.5)"),
              "250,500");
}

// A microphone made on the camera follows it and is what the viewport hears;
// deleting it leaves the viewport without one.
TEST(ViewportBinding, MicrophoneOnTheCamera)
{
    BindingFixture f;
    ASSERT_EQ(f.run("v = newViewport(0, 0, 1, 1) s = newScene('x') c = newCamera(s) "
                    "c:setPosition(v3(1, 2, 3)) m = newMike(c) v:setMike(m)"),
              "");
    EXPECT_EQ(f.run("return m:getType(), tostring(v:getMike() == m), tostring(m:getParent() == c), "
                    "tostring(m:getPosition())"),
              "11,true,true,v3(1,2,3)");
    MDL_Viewport *viewport = lastViewport(f);
    ASSERT_NE(viewport->m_poMike, nullptr);
    EXPECT_EQ(viewport->m_poMike->m_fGain, 1.0);
    // Microphones are not copied from templates: the copy is bound to nothing.
    EXPECT_EQ(f.run("return select('#', newMike(s, m):getType())"), "0");
    EXPECT_EQ(f.run("m:delete() return select('#', v:getMike())"), "0");
    EXPECT_EQ(viewport->m_poMike, nullptr);
    EXPECT_EQ(f.raised("v:setMike(c)"), "t:1: bad argument #1 to 'setMike' (newMike)");
}

TEST(ViewportBinding, DeleteRemovesTheViewport)
{
    BindingFixture f;
    ASSERT_EQ(f.run("v = newViewport(0, 0, 1, 1) w = newViewport(0, 0, 1, 1)"), "");
    EXPECT_EQ(f.run("w:delete() return select('#', w:getWidth()) + select('#', w:getCamera())"), "0");
    EXPECT_EQ(f.m_poController->m_oViewports.m_iCount, 1);
    EXPECT_EQ(f.m_poController->m_poCurrentViewport, nullptr);
    EXPECT_EQ(f.run("w:delete() w:setCallback(2, print) return tostring(w):sub(1, 11)"), "newViewport");
    EXPECT_FALSE(f.m_poController->m_bHalted) << f.log();
    // With arguments: reported, and deleted all the same.
    EXPECT_EQ(f.run("v:delete(1)"), "");
    EXPECT_EQ(f.m_poController->m_oViewports.m_iCount, 0);
    EXPECT_TRUE(f.m_oLog.contains("Too much arguments, <> argument(s) expected")) << f.log();
}

// Posts an input record to the last viewport.
int postInput(BindingFixture &f, const CTRL_ScriptEvent &event)
{
    return MDL_InputEvent<CTRL_ScriptEvent>{&event}.post(lastViewport(f)->m_oProxyHandle,
                                                         f.m_poController->m_poScriptEngine);
}

CTRL_ScriptEvent keyDown(int key)
{
    CTRL_ScriptEvent event;
    event.m_iType = CTRL_ScriptEvent::KEY_DOWN;
    event.m_iKey = key;
    return event;
}

TEST(ViewportBinding, EventFunctionMustReturnOneBoolean)
{
    struct EventCase {
        const char *body; // of function(vp, type, a, b)
        int result;
        bool reported;
    };
    const EventCase cases[] = {
        {"return true", 1, false},
        {"return false", 0, false},
        {"", 0, true},
        {"return 1", 0, true},
        {"return nil", 0, true},
        // One result is kept: the first.
        {"return true, true", 1, false},
        {"return 'yes'", 0, true},
        {"error('inside')", 0, true},
    };
    for (const EventCase &c : cases) {
        BindingFixture f;
        ASSERT_EQ(f.run(std::string("v = newViewport(0, 0, 1, 1) "
                                    "v:setCallback(CB or 2, function(vp, type, a, b) seen = tostring(vp == v) .. "
                                    "':' .. type .. ':' .. a .. ':' .. b ") +
                        c.body + " end)"),
                  "");
        EXPECT_EQ(postInput(f, keyDown(65)), c.result) << c.body;
        EXPECT_EQ(f.run("return seen"), "true:1:65:0") << c.body;
        EXPECT_EQ(f.m_poController->m_bHalted, c.reported) << c.body << ": " << f.log();
        bool raises = std::string(c.body).find("error") != std::string::npos;
        EXPECT_EQ(f.m_oLog.contains("Event function must return 1 boolean value."), c.reported && !raises)
            << c.body << ": " << f.log();
        EXPECT_EQ(lua_gettop(f.L), 0);
    }
}

TEST(ViewportBinding, EventArgumentsAndIgnoredIds)
{
    BindingFixture f;
    ASSERT_EQ(f.run("v = newViewport(0.5, 0, 0.5, 0.5) "
                    "v:setCallback(2, function(vp, type, a, b) seen = type .. ':' .. tostring(a) .. ':' .. "
                    "tostring(b) return true end)"),
              "");
    // Nothing for another id, or without a function for CB_EVENT.
    EXPECT_EQ((MDL_PickEvent{nullptr, MTH_Vector3D()}.post(lastViewport(f)->m_oProxyHandle,
                                                           f.m_poController->m_poScriptEngine, MDL_CB_MOUSE_DOWN)),
              0);
    CTRL_ScriptEvent up = keyDown(9);
    up.m_iType = CTRL_ScriptEvent::KEY_UP;
    EXPECT_EQ(postInput(f, up), 1);
    EXPECT_EQ(f.run("return seen"), "2:9:0");
    CTRL_ScriptEvent other;
    other.m_iType = CTRL_ScriptEvent::MOUSE_MOVE;
    EXPECT_EQ(postInput(f, other), 1);
    EXPECT_EQ(f.run("return seen"), "3:0:0");
    // A wheel turn: the amount, and the mouse in the viewport's coordinates.
    // The record holds the mouse in units of the view's width; the frame
    // point (0.75, 0.25) is the middle of this viewport's first square.
    f.m_poController->resize(200, 100);
    CTRL_Generic::DocumentFrame frame = f.m_poController->documentFrame();
    ASSERT_GT(frame.m_fWidth, 0);
    MTH_Vector2D mouse((frame.m_oOffset.m_fX + 0.75 * frame.m_fWidth) / 200,
                       (frame.m_oOffset.m_fY + 0.25 * frame.m_fWidth) / 200);
    CTRL_ScriptEvent zoom;
    zoom.m_iType = CTRL_ScriptEvent::ZOOM;
    zoom.m_fZoom = 120;
    zoom.m_poZoomVector = &mouse;
    EXPECT_EQ(postInput(f, zoom), 1);
    EXPECT_EQ(f.run("return seen"), "6:120:v2(0.5,0.5)");
    zoom.m_poZoomVector = nullptr;
    EXPECT_EQ(postInput(f, zoom), 1);
    EXPECT_EQ(f.run("return seen:sub(1, 9)"), "6:120:v2(");
    // Ids without a slot are ignored; nil clears the function.
    ASSERT_EQ(f.run("v:setCallback(0, function() return true end) v:setCallback(99, print) v:setCallback(2, nil)"), "");
    EXPECT_EQ(postInput(f, keyDown(1)), 0);
    EXPECT_FALSE(f.m_poController->m_bHalted) << f.log();
}

TEST(ViewportBinding, DeletingItselfInsideItsEventFunction)
{
    const char *bodies[] = {
        "vp:delete() return true",
        // The script lets go of every hold on the proxy too.
        "vp:delete() v = nil vp = nil collectgarbage() collectgarbage() return true",
        "vp:delete() vp:delete() return vp:getWidth() == nil",
    };
    for (const char *body : bodies) {
        BindingFixture f;
        ASSERT_EQ(f.run(std::string("v = newViewport(0, 0, 1, 1) v:setCallback(2, function(vp) ") + body + " end)"),
                  "");
        MDL_Viewport *viewport = lastViewport(f);
        CTRL_ScriptEvent event = keyDown(1);
        EXPECT_EQ(
            MDL_InputEvent<CTRL_ScriptEvent>{&event}.post(viewport->m_oProxyHandle, f.m_poController->m_poScriptEngine),
            1)
            << body;
        EXPECT_EQ(f.m_poController->m_oViewports.m_iCount, 0) << body;
        EXPECT_FALSE(f.m_poController->m_bHalted) << body << ": " << f.log();
        EXPECT_EQ(f.run("collectgarbage() return tostring(v and v:getWidth())"), "nil") << body;
    }
}

// --- a script cannot crash the player through these bindings ---

const char *const s_apcSceneMethods[] = {
    "clear",       "getBounds",   "getElasticity", "getFriction",   "getGravity", "getIntegrationStep", "getObject",
    "setBounds",   "setCallback", "setFriction",   "setElasticity", "setGravity", "setIntegrationStep", "setUserData",
    "getUserData", "setActive",   "getActive",
};
const char *const s_apcViewportMethods[] = {
    "delete",
    "getCamera",
    "getMike",
    "setBackgroundColor",
    "setCamera",
    "getActive",
    "setActive",
    "setMike",
    "getShadowRendering",
    "setShadowRendering",
    "setNavigationMode",
    "getNavigationMode",
    "setNavigationPosition",
    "getNavigationPosition",
    "setNavigationBasis",
    "setNavigationRadius",
    "setNavigationElevation",
    "setNavigationAzimuth",
    "getNavigationRadius",
    "getNavigationElevation",
    "getNavigationAzimuth",
    "setPosition",
    "getPosition",
    "toScene",
    "fromScene",
    "setSize",
    "getSize",
    "getWidth",
    "getHeight",
    "getCenter",
    "getPickRay",
    "setCallback",
};

// Script values the calls draw their receivers and arguments from: every
// kind of Lua value, the value types, live, deleted and unbound proxies, and
// proxies of other classes. Callback functions call methods themselves.
const char *const s_pcPool =
    "local function P(...) return {n = select('#', ...), ...} end\n"
    "pool = P( nil, true, false, 0, 1, 2, 3, 7, 9, 10, 11, 12, -1, 0.5, 1e308, -1e308, 0/0, 1/0, 2^31, -2^31 - 5,"
    " 'x', '5', '', {}, {1, 2, 3, 4, 5, 6}, {'a', nil, 3}, v2(1, 2), v3(1, 2, 3), v3(0/0, 1/0, 0),"
    " color(1, 1, 1, 1), m33(), print, function() return true end,"
    " function(...) local a = ... if a ~= nil and type(a) == 'userdata' then pcall(a.getWidth, a) end end,"
    " function(vp) if vp and vp.delete then vp:delete() end return true end,"
    " function() error('cb') end, function() return 1, 2 end,"
    " newTestThing('thing'), newScene('fuzz'), newViewport(0, 0, 1, 1), newViewport(0, 0, 1))\n"
    "gone = newViewport(0, 0, 1, 1) gone:delete() pool.n = pool.n + 1 pool[pool.n] = gone\n"
    "poolSize = pool.n + 3\n";

TEST(SceneViewportBinding, RandomCallsNeverCrash)
{
    std::unique_ptr<MDL_Camera> camera(new MDL_Camera());
    BindingFixture f;
    ASSERT_EQ(f.run(s_pcPool), "");
    lua_State *L = f.L;
    lua_getglobal(L, "poolSize");
    const int poolSize = static_cast<int>(lua_tointeger(L, -1));
    lua_pop(L, 1);
    std::mt19937 random(20261210u);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    // The pool's slots 1..poolSize-3, then a fresh scene, a fresh viewport
    // and the newest viewport of the controller's list.
    auto pushValue = [&](int which) {
        if (which <= poolSize - 3) {
            lua_getglobal(L, "pool");
            lua_rawgeti(L, -1, which);
            lua_remove(L, -2);
        } else if (which == poolSize - 2) {
            lua_getglobal(L, "newScene");
            lua_pushstring(L, "more");
            lua_pcall(L, 1, 1, 0);
        } else {
            lua_getglobal(L, "newViewport");
            for (int i = 0; i < 4; i++)
                lua_pushnumber(L, i < 2 ? 0.0 : 1.0);
            lua_pcall(L, 4, 1, 0);
        }
    };
    const int calls = 4000;
    int completed = 0;
    for (int call = 0; call < calls; call++) {
        // The controller halts at the first report; unhalt it now and then so
        // that the callbacks run too.
        if (call % 50 == 0)
            f.m_poController->m_bHalted = false;
        bool scene = pick(2) == 0;
        const char *method = scene ? s_apcSceneMethods[pick(17)] : s_apcViewportMethods[pick(32)];
        lua_getglobal(L, scene ? "newScene" : "newViewport");
        lua_getfield(L, -1, method);
        lua_remove(L, -2);
        // Mostly a receiver of the class, sometimes anything.
        if (pick(4) == 0)
            pushValue(1 + pick(poolSize));
        else
            pushValue(scene ? (pick(20) == 0 ? poolSize - 2 : poolSize - 6)
                            : (pick(3) == 0 ? poolSize - 1 : poolSize - 3 - pick(3)));
        int arguments = pick(5);
        for (int i = 0; i < arguments; i++)
            pushValue(1 + pick(poolSize));
        if (lua_pcall(L, arguments + 1, LUA_MULTRET, 0) == LUA_OK)
            completed++;
        lua_settop(L, 0);
        // Events now and then to whatever is listed.
        if (call % 7 == 0) {
            CTRL_Generic *c = f.m_poController;
            LMP_ScriptEngine *engine = LMP_ScriptEngine::of(c);
            if (c->m_oViewports.m_iCount > 0) {
                MDL_Viewport *viewport = c->m_oViewports.m_pData[pick(c->m_oViewports.m_iCount)];
                if (pick(2) == 0)
                    viewport->m_poCamera = camera.get();
                MTH_Vector2D mouse(0.5, 0.25);
                CTRL_ScriptEvent event;
                event.m_iType = 1 + pick(8);
                event.m_iKey = pick(256);
                event.m_poZoomVector = pick(2) == 0 ? &mouse : nullptr;
                event.m_fZoom = 3;
                MDL_InputEvent<CTRL_ScriptEvent>{&event}.post(viewport->m_oProxyHandle, engine);
            }
            if (c->m_oScenes.m_iCount > 0) {
                MDL_Scene *target = c->m_oScenes.m_pData[pick(c->m_oScenes.m_iCount)];
                target->step(pick(2) * 0.01, engine);
                const MDL_ContactEvent contact{MTH_Vector3D(1, 2, 3), MTH_Vector3D(0, 1, 0), 0.5, {}};
                contact.ask(target->m_oProxyHandle, engine);
                contact.post(target->m_oProxyHandle, engine, MDL_CB_POST_COLLISION);
                target->purgeDeleted();
            }
        }
        if (call % 500 == 0)
            lua_gc(L, LUA_GCCOLLECT, 0);
    }
    // Most calls get past the receiver check and run the method.
    EXPECT_GT(completed, calls / 2);
    // The interpreter is still sound.
    f.m_poController->m_bHalted = false;
    EXPECT_EQ(f.run("return 1 + 1"), "2");
}

} // namespace
