// Every event that engine objects post reaches the function a script
// registered for it with the arguments of its shape: posted as the model and
// the controller post them, read by the handlers of the viewport, object and
// scene proxies.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "controller/CTRL_Generic.h"
#include "controller/CTRL_ScriptEngine.h"
#include "model/MDL_Event.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"
#include "scripting/LMP_Allocator.h"
#include "scripting/LMP_ScriptEngine.h"
#include "tests/scripting/object_test_support.h"

namespace {

TEST(EventArguments, EveryPostedEventReachesItsFunction)
{
    ObjectFixture f;
    ASSERT_EQ(f.run("v = newViewport(0, 0, 1, 1) o = newObject(scene) o:setName('o') "
                    "k = newObject(o) k:setName('k') b = newObject(scene) b:setName('b') "
                    "function show(...) local out = {} for i = 1, select('#', ...) do local x = select(i, ...) "
                    "out[i] = x == scene and 'scene' or x == v and 'v' or x == o and 'o' or x == k and 'k' "
                    "or x == b and 'b' or tostring(x) end seen = table.concat(out, ' ') return true end"),
              "");
    MDL_Scene *scene = f.m_poScene;
    MDL_Object *o = scene->getObject("o"), *k = scene->getObject("k"), *b = scene->getObject("b");
    ASSERT_TRUE(o != nullptr && k != nullptr && b != nullptr && f.m_poController->m_oViewports.m_iCount == 1);
    UTIL_ProxyHandle &viewport = f.m_poController->m_oViewports.m_pData[0]->m_oProxyHandle;
    UTIL_EventHost *host = f.m_poController->m_poScriptEngine;

    CTRL_ScriptEvent key;
    key.m_iType = CTRL_ScriptEvent::KEY_DOWN;
    key.m_iKey = 65;
    const MDL_PickEvent pick{k, MTH_Vector3D(1, 2, 3)};
    const MDL_StepEvent step{0.25};
    const MDL_ContactEvent contact{MTH_Vector3D(1, 2, 3), MTH_Vector3D(0, 0, 1), 0.5, {o, k, nullptr, b}};
    const std::string picked = "o k v3(1,2,3)", touched = "scene v3(1,2,3) v3(0,0,1) 0.5 o k nil b";
    const struct {
        int code;
        const char *target;
        std::function<int()> post;
        std::string seen;
    } cases[] = {
        {MDL_CB_EVENT, "v", [&] { return MDL_InputEvent<CTRL_ScriptEvent>{&key}.post(viewport, host); }, "v 1 65 0"},
        {MDL_CB_MOUSE_DOWN, "o", [&] { return pick.post(o->m_oProxyHandle, host, MDL_CB_MOUSE_DOWN); }, picked},
        {MDL_CB_MOUSE_UP, "o", [&] { return pick.post(o->m_oProxyHandle, host, MDL_CB_MOUSE_UP); }, picked},
        {MDL_CB_MOUSE_CLICK, "o", [&] { return pick.post(o->m_oProxyHandle, host, MDL_CB_MOUSE_CLICK); }, picked},
        {MDL_CB_MOVED, "o", [&] { return MDL_MovedEvent().post(o->m_oProxyHandle, host); }, "o"},
        {MDL_CB_MECHA, "scene", [&] { return step.post(scene->m_oProxyHandle, host, MDL_CB_MECHA); }, "0.25"},
        {MDL_CB_POST_INTEGRATION, "scene",
         [&] { return step.post(scene->m_oProxyHandle, host, MDL_CB_POST_INTEGRATION); }, "0.25"},
        {MDL_CB_PRE_COLLISION, "scene", [&] { return contact.post(scene->m_oProxyHandle, host, MDL_CB_PRE_COLLISION); },
         touched},
        {MDL_CB_POST_COLLISION, "scene",
         [&] { return contact.post(scene->m_oProxyHandle, host, MDL_CB_POST_COLLISION); }, touched},
    };
    std::set<int> posted;
    for (const auto &c : cases) {
        posted.insert(c.code);
        ASSERT_EQ(f.run("seen = nil " + std::string(c.target) + ":setCallback(" + std::to_string(c.code) + ", show)"),
                  "");
        // Handled; for a pre-collision, answered yes.
        EXPECT_EQ(c.post(), 1) << c.code;
        EXPECT_EQ(f.eval("seen"), c.seen) << c.code;
    }
    // Every id is posted but the two that the script engine calls itself.
    for (int code = 1; code <= MDL_CB_MAX; code++)
        EXPECT_EQ(posted.count(code), code == MDL_CB_UPDATE || code == MDL_CB_ASPECT_RATIO_CHANGED ? 0u : 1u) << code;
    EXPECT_FALSE(f.reported()) << f.log();
}

// An event whose arguments take memory, posted while the interpreter is at
// its memory cap: the call fails with Lua's memory error, reported as a
// script error is, and the player goes on to show it.
TEST(EventArguments, AtTheMemoryCapAnEventFailsWithTheMemoryError)
{
    ObjectFixture f;
    ASSERT_EQ(f.run("v = newViewport(0, 0, 1, 1) o = newObject(scene) o:setName('o') "
                    "function keep(...) kept = {...} return true end setCallback(CB_EVENT, keep) "
                    "v:setCallback(CB_EVENT, keep) o:setCallback(CB_MOUSE_DOWN, keep) "
                    "scene:setCallback(CB_PRE_COLLISION, keep) scene:setCallback(CB_POST_COLLISION, keep)"),
              "");
    MDL_Scene *scene = f.m_poScene;
    MDL_Object *o = scene->getObject("o");
    ASSERT_TRUE(o != nullptr && f.m_poController->m_oViewports.m_iCount == 1);
    UTIL_ProxyHandle &viewport = f.m_poController->m_oViewports.m_pData[0]->m_oProxyHandle;
    LMP_ScriptEngine *engine = LMP_ScriptEngine::of(f.m_poController);
    UTIL_EventHost *host = engine;

    const MTH_Vector2D at(0.5, 0.5);
    CTRL_ScriptEvent zoom;
    zoom.m_iType = CTRL_ScriptEvent::ZOOM;
    zoom.m_poZoomVector = &at;
    zoom.m_fZoom = 1;
    CTRL_ScriptEvent device;
    device.m_iType = CTRL_ScriptEvent::DEVICE;
    device.m_sData = "a message that the scripts are given as a string";
    device.m_iLength = static_cast<int>(strlen(device.m_sData));
    const MDL_PickEvent pick{o, MTH_Vector3D(1, 2, 3)};
    const MDL_ContactEvent contact{MTH_Vector3D(1, 2, 3), MTH_Vector3D(0, 0, 1), 0.5, {o, nullptr, nullptr, nullptr}};
    const struct {
        const char *what;
        std::function<void()> post;
    } cases[] = {
        {"the engine's zoom", [&] { engine->sendEvent(zoom); }},
        {"the engine's device", [&] { engine->sendEvent(device); }},
        {"a viewport's zoom", [&] { MDL_InputEvent<CTRL_ScriptEvent>{&zoom}.post(viewport, host); }},
        {"a mouse down", [&] { pick.post(o->m_oProxyHandle, host, MDL_CB_MOUSE_DOWN); }},
        {"a pre-collision", [&] { contact.ask(scene->m_oProxyHandle, host); }},
        {"a post-collision", [&] { contact.post(scene->m_oProxyHandle, host, MDL_CB_POST_COLLISION); }},
    };
    for (const auto &c : cases) {
        f.clearReport();
        lua_gc(f.L, LUA_GCCOLLECT, 0);
        engine->setMemoryLimit(engine->getAllocator()->getBytesInUse());
        c.post();
        engine->setMemoryLimit(0);
        EXPECT_TRUE(f.reported()) << c.what;
        EXPECT_TRUE(f.m_oLog.contains("not enough memory")) << c.what << ": " << f.log();
    }
}

} // namespace
