#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "foundation/MTH_Vector.h"
#include "model/MDL_Event.h"
#include "tests/scripting/script_test_support.h"

namespace {

const std::string STAGE2 = CTRL_Generic::stageMessage(CTRL_STAGE_LOADING);
const std::string STAGE3 = CTRL_Generic::stageMessage(CTRL_STAGE_RUNNING);

TEST(ScriptEngine, RunsInitAndStartupThenWritesTheLoadedLine)
{
    ScriptDocument doc(
        ScriptDocument::withInit("order = 'init'\n"
                                 "function startup() order = order .. ',startup'; print('Welcome') end\n"));
    ASSERT_TRUE(doc.m_bOpened) << doc.log();
    ASSERT_TRUE(doc.run()) << doc.log();
    EXPECT_EQ(doc.text("order"), "init,startup");
    EXPECT_EQ(doc.m_oController.m_iLoadStage, CTRL_STAGE_RUNNING);
    EXPECT_FALSE(doc.m_oController.m_bHalted);
    ASSERT_EQ(doc.m_oLog.m_asLines.size(), 2u) << doc.log();
    EXPECT_EQ(doc.m_oLog.m_asLines[0], "Welcome");
    const std::string &loaded = doc.m_oLog.m_asLines[1];
    EXPECT_EQ(loaded.rfind(doc.m_sPath + " loaded in ", 0), 0u) << loaded;
    EXPECT_EQ(loaded.substr(loaded.size() - 2), "s.");
}

// Every failure while loading reaches the error report with the loading
// stage's message, and the interpreter's text reaches the log.
TEST(ScriptEngine, LoadFailuresReportTheLoadingStage)
{
    struct Case {
        const char *name;
        const char *init; // null: no init.lua
        const char *logged;
    };
    const Case cases[] = {
        {"syntax", "x = = 1\n", "init.lua:1: unexpected symbol near '='"},
        {"missing init", nullptr, "cannot open init.lua: No such file or directory"},
        {"chunk error", "\n\nerror('boom')\n", "init.lua:3: boom"},
        {"no startup", "x = 1\n", "attempt to call a nil value"},
        {"no startup, named", "x = 1\n", "startup is not defined: init.lua must define the global function startup()"},
        {"startup no function", "startup = 5\n", "startup is a number, not a function"},
        {"startup error", "function startup()\n  local t = nil\n  return t.x\nend\n", "init.lua:3: attempt to index"},
        {"error object", "error({})\n", "(error object is a table value)"},
        {"percent text", "error('%n%s%d %%', 0)\n", "%n%s%d %%"},
        {"failing global lookup", "setmetatable(_G, {__index = function(_, k) error('no global ' .. k, 0) end})\n",
         "no global startup"},
    };
    for (const Case &c : cases) {
        TEST_DocumentBuilder document;
        if (c.init != nullptr)
            document.add("init.lua", c.init);
        ScriptDocument doc(document);
        ASSERT_TRUE(doc.m_bOpened) << c.name << doc.log();
        EXPECT_FALSE(doc.run()) << c.name;
        EXPECT_TRUE(doc.m_oController.m_bHalted) << c.name;
        ASSERT_NE(doc.m_oController.m_sErrorText, nullptr) << c.name;
        EXPECT_EQ(doc.m_oController.m_sErrorText, STAGE2) << c.name;
        EXPECT_EQ(doc.m_oController.m_iLoadStage, CTRL_STAGE_LOADING) << c.name;
        EXPECT_TRUE(doc.m_oLog.contains(c.logged)) << c.name << ": " << doc.log();
        EXPECT_FALSE(doc.m_oLog.contains("loaded in")) << c.name;
    }
}

TEST(ScriptEngine, WithoutControllerOrDocumentNothingRuns)
{
    TEST_LogCapture log;
    LMP_ScriptEngine alone;
    ASSERT_NE(alone.m_poLuaState, nullptr);
    EXPECT_EQ(LMP_poController(alone.m_poLuaState), nullptr);
    EXPECT_FALSE(alone.loadScripts());
    lua_State *L = alone.m_poLuaState;
    int top = lua_gettop(L);
    luaL_loadstring(L, "ran = true");
    lua_pushinteger(L, 1);
    EXPECT_FALSE(alone.pcall(1, 0));
    EXPECT_EQ(lua_gettop(L), top);
    lua_getglobal(L, "ran");
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_pop(L, 1);

    // A controller with no document: the engine knows it, nothing loads.
    CTRL_Generic controller(new LMP_ScriptEngine(), CTRL_PLATFORM_LINUX);
    EXPECT_EQ(LMP_poController(LMP_ScriptEngine::of(&controller)->m_poLuaState), &controller);
    EXPECT_FALSE(LMP_ScriptEngine::of(&controller)->loadScripts());
    EXPECT_FALSE(controller.m_bHalted);
    EXPECT_TRUE(log.m_asLines.empty()) << log.joined();
}

TEST(ScriptEngine, InfinitiesAreTheLargestFiniteDouble)
{
    ScriptDocument doc(ScriptDocument::withInit("function startup() end\n"));
    EXPECT_EQ(doc.number("INFINITE_PLUS"), 1.7976931348623157e308);
    EXPECT_EQ(doc.number("INFINITE_MINUS"), -1.7976931348623157e308);
}

TEST(ScriptEngine, UpdateAndAspectRatioCallTheirCallbacks)
{
    ScriptDocument doc(ScriptDocument::withInit("function startup() end\n"
                                                "function onUpdate(dt) total = (total or 0) + dt end\n"
                                                "function onRatio(r) ratio = r end\n"));
    ASSERT_TRUE(doc.run()) << doc.log();
    lua_State *L = doc.state();
    int top = lua_gettop(L);
    doc.m_poEngine->update(0.5); // nothing registered yet
    doc.m_poEngine->aspectRatioChanged(2);
    EXPECT_EQ(lua_gettop(L), top);
    EXPECT_TRUE(std::isnan(doc.number("total")));

    doc.setCallback(MDL_CB_UPDATE, "onUpdate");
    doc.setCallback(MDL_CB_ASPECT_RATIO_CHANGED, "onRatio");
    doc.m_poEngine->update(0.25);
    doc.m_poEngine->update(0.5);
    doc.m_poEngine->aspectRatioChanged(0.75);
    EXPECT_EQ(doc.number("total"), 0.75);
    EXPECT_EQ(doc.number("ratio"), 0.75);
    EXPECT_EQ(lua_gettop(L), top);
}

TEST(ScriptEngine, CallbackErrorsReportTheRunningStageAndHalt)
{
    ScriptDocument doc(
        ScriptDocument::withInit("function startup() end\n"
                                 "calls = 0\n"
                                 "function onUpdate(dt) calls = calls + 1; error('bad %s frame') end\n"));
    ASSERT_TRUE(doc.run()) << doc.log();
    doc.setCallback(MDL_CB_UPDATE, "onUpdate");
    int top = lua_gettop(doc.state());
    doc.m_poEngine->update(0.1);
    EXPECT_TRUE(doc.m_oController.m_bHalted);
    EXPECT_EQ(doc.m_oController.m_sErrorText, STAGE3);
    EXPECT_TRUE(doc.m_oLog.contains("init.lua:3: bad %s frame")) << doc.log();
    doc.m_poEngine->update(0.1); // halted: dropped
    EXPECT_EQ(doc.number("calls"), 1);
    EXPECT_EQ(lua_gettop(doc.state()), top);
    LMP_ScriptValue result;
    EXPECT_FALSE(doc.m_poEngine->callFunction("onUpdate", nullptr, &result));
}

// The event function must give exactly one boolean.
TEST(ScriptEngine, EventFunctionOneBooleanRule)
{
    struct Case {
        const char *body;
        bool consumed;
        bool broken;
    };
    const Case cases[] = {
        {"return true", true, false}, {"return false", false, false}, {"return true, 5", true, false},
        {"return", false, true},      {"return 1", false, true},      {"return nil, true", false, true},
    };
    for (const Case &c : cases) {
        ScriptDocument doc(
            ScriptDocument::withInit(std::string("function startup() end\nfunction onEvent() ") + c.body + " end\n"));
        ASSERT_TRUE(doc.run()) << doc.log();
        doc.setCallback(MDL_CB_EVENT, "onEvent");
        int top = lua_gettop(doc.state());
        CTRL_ScriptEvent event;
        event.m_iType = CTRL_ScriptEvent::KEY_DOWN;
        EXPECT_EQ(doc.m_poEngine->sendEvent(event), c.consumed) << c.body;
        EXPECT_EQ(doc.m_oController.m_bHalted, c.broken) << c.body;
        EXPECT_EQ(doc.m_oLog.contains("Event function must return 1 boolean value."), c.broken) << c.body;
        EXPECT_EQ(lua_gettop(doc.state()), top) << c.body;
    }
}

TEST(ScriptEngine, EventArgumentsByType)
{
    ScriptDocument doc(ScriptDocument::withInit("function startup() end\n"
                                                "function onEvent(kind, a, b)\n"
                                                "  seen = kind .. ':' .. tostring(a) .. ':' .. type(b) .. ':'\n"
                                                "    .. (type(b) == 'string' and #b or tostring(b))\n"
                                                "  return true\n"
                                                "end\n"));
    ASSERT_TRUE(doc.run()) << doc.log();
    CTRL_ScriptEvent none;
    none.m_iType = CTRL_ScriptEvent::KEY_DOWN;
    EXPECT_FALSE(doc.m_poEngine->sendEvent(none)); // no event function yet
    doc.setCallback(MDL_CB_EVENT, "onEvent");

    MTH_Vector2D zoomAt(3, 4);
    struct Case {
        CTRL_ScriptEvent event;
        const char *seen;
    };
    Case cases[6];
    cases[0].event.m_iType = CTRL_ScriptEvent::KEY_UP;
    cases[0].event.m_iKey = 32;
    cases[0].seen = "2:32:number:0";
    cases[1].event.m_iType = CTRL_ScriptEvent::MOUSE_MOVE;
    cases[1].seen = "3:0:number:0";
    cases[2].event.m_iType = CTRL_ScriptEvent::CLOSE;
    cases[2].seen = "8:0:number:0";
    cases[3].event.m_iType = CTRL_ScriptEvent::DEVICE;
    cases[3].event.m_iDevice = 5;
    cases[3].event.m_sData = "ab\0cd";
    cases[3].event.m_iLength = 5;
    cases[3].seen = "7:5:string:5";
    cases[4].event.m_iType = CTRL_ScriptEvent::ZOOM;
    cases[4].event.m_fZoom = 1.5;
    cases[4].event.m_poZoomVector = &zoomAt;
    cases[4].seen = "6:1.5:userdata:";
    cases[5].event.m_iType = CTRL_ScriptEvent::MOUSE_DOWN;
    cases[5].seen = "4:0:number:0";
    for (const Case &c : cases) {
        EXPECT_TRUE(doc.m_poEngine->sendEvent(c.event)) << c.seen << doc.log();
        EXPECT_EQ(doc.text("seen").rfind(c.seen, 0), 0u) << doc.text("seen");
    }
}

struct HostCalls {
    std::string m_sTypes;
    double m_fSum = 0;
};

void hostDescribe(void *context, LMP_ScriptValueArray *arguments, LMP_ScriptValue *result)
{
    HostCalls *calls = static_cast<HostCalls *>(context);
    calls->m_sTypes.clear();
    for (int i = 0; i < arguments->m_iCount; i++) {
        const LMP_ScriptValue *value = (*arguments)[i];
        calls->m_sTypes += std::to_string(value->m_iType);
        if (value->m_iType == LMP_ScriptValue::NUMBER)
            calls->m_fSum += value->m_fValue;
    }
    result->setString("described");
}

void hostAnswer(void *, LMP_ScriptValueArray *arguments, LMP_ScriptValue *result)
{
    if (arguments->m_iCount == 0)
        return; // nil
    result->m_iType = LMP_ScriptValue::INTEGER;
    result->m_iValue = 42;
}

TEST(ScriptEngine, HostLibraryConvertsArgumentsAndResults)
{
    ScriptDocument doc(ScriptDocument::withInit("function startup()\n"
                                                "  r1 = host.describe(1, '2.5', 'abc', true, nil, {}, '0x10')\n"
                                                "  r2 = host.answer(1); r3 = host.answer()\n"
                                                "end\n"));
    HostCalls calls;
    static const LMP_HostFunctionRow rows[] = {{"describe", hostDescribe}, {"answer", hostAnswer}, {nullptr, nullptr}};
    doc.m_poEngine->registerLibrary(LMP_HostLibrary{"host", rows}, &calls);
    ASSERT_TRUE(doc.run()) << doc.log();
    // A numeric string arrives as a number; a table leaves the new value nil.
    EXPECT_EQ(calls.m_sTypes, "3341003");
    EXPECT_EQ(calls.m_fSum, 1 + 2.5 + 16);
    EXPECT_EQ(doc.text("r1"), "described");
    EXPECT_EQ(doc.number("r2"), 42);
    EXPECT_EQ(doc.text("r3"), "<nil>");
}

TEST(ScriptEngine, GlobalsAndFunctionsOfTheHostInterface)
{
    ScriptDocument doc(ScriptDocument::withInit("function startup() end\n"
                                                "function scale(a, b) return a * b, 'ignored' end\n"
                                                "aTable = {}\n"));
    ASSERT_TRUE(doc.run()) << doc.log();
    LMP_ScriptValue value;
    value.setString("4");
    doc.m_poEngine->setGlobal("factor", &value);
    EXPECT_EQ(doc.text("factor"), "4");

    LMP_ScriptValueArray arguments;
    LMP_ScriptValue a, b;
    a.m_iType = LMP_ScriptValue::INTEGER;
    a.m_iValue = 3;
    b.m_iType = LMP_ScriptValue::NUMBER;
    b.m_fValue = 0.5;
    arguments.append(&a);
    arguments.append(&b);
    LMP_ScriptValue result;
    ASSERT_TRUE(doc.m_poEngine->callFunction("scale", &arguments, &result));
    EXPECT_EQ(result.m_iType, LMP_ScriptValue::NUMBER);
    EXPECT_EQ(result.m_fValue, 1.5);

    LMP_ScriptValue out;
    out.m_iType = LMP_ScriptValue::BOOLEAN;
    out.m_bValue = true;
    EXPECT_TRUE(doc.m_poEngine->getGlobal("aTable", &out));
    EXPECT_EQ(out.m_iType, LMP_ScriptValue::BOOLEAN); // unchanged
    EXPECT_TRUE(doc.m_poEngine->getGlobal("factor", &out));
    EXPECT_EQ(out.m_iType, LMP_ScriptValue::NUMBER);
    EXPECT_EQ(out.m_fValue, 4);
    EXPECT_TRUE(doc.m_poEngine->getGlobal("nothing", &out));
    EXPECT_EQ(out.m_iType, LMP_ScriptValue::NIL);

    EXPECT_NE(doc.m_poEngine->collectGarbage(), 0); // the collector runs: nothing else done
    lua_gc(doc.state(), LUA_GCSTOP, 0);
    doc.m_poEngine->collectGarbage();
    EXPECT_FALSE(doc.m_oController.m_bHalted);

    // A missing function is a reported call error.
    EXPECT_FALSE(doc.m_poEngine->callFunction("missing", nullptr, &result));
    EXPECT_TRUE(doc.m_oController.m_bHalted);
    EXPECT_TRUE(doc.m_oLog.contains("attempt to call a nil value")) << doc.log();
}

} // namespace

static void hostInterrupt(void *context, LMP_ScriptValueArray *, LMP_ScriptValue *)
{
    static_cast<LMP_ScriptEngine *>(context)->requestInterrupt();
}

// An interrupt (as a signal handler asks for it) ends the script that runs,
// wherever it runs and even when it catches the error, without reporting a
// document failure; no script runs after it.
TEST(ScriptEngine, InterruptStopsTheRunningScriptWithoutAReport)
{
    const char *const loops[] = {
        "host.stop() while true do end",
        "pcall(host.stop) while true do pcall(function() while true do end end) end",
        "coroutine.wrap(function() host.stop() while true do end end)() while true do end",
        ("local co = coroutine.create(function() host.stop() while true do end end) "
         "while true do coroutine.resume(co) end"),
    };
    for (const char *loop : loops) {
        ScriptDocument doc(ScriptDocument::withInit(std::string("function startup()\n") + loop +
                                                    "\nend\nfunction onUpdate() updated = true end\n"));
        static const LMP_HostFunctionRow rows[] = {{"stop", hostInterrupt}, {nullptr, nullptr}};
        doc.m_poEngine->registerLibrary(LMP_HostLibrary{"host", rows}, doc.m_poEngine);
        doc.setCallback(MDL_CB_UPDATE, "onUpdate");
        int top = lua_gettop(doc.state());
        EXPECT_FALSE(doc.run()) << loop;
        EXPECT_FALSE(doc.m_oController.m_bHalted) << loop;
        EXPECT_EQ(doc.m_oController.m_sErrorText, nullptr) << loop;
        EXPECT_TRUE(doc.m_oLog.contains("interrupted")) << loop << "\n" << doc.log();
        doc.m_poEngine->update(0.1);
        EXPECT_EQ(doc.text("updated"), "<nil>") << loop;
        EXPECT_EQ(lua_gettop(doc.state()), top) << loop;
    }
}

namespace {

// The controller closes its interpreter before it lets go of anything else:
// the scripts' finalizers, which run then, still reach the document's
// members, resources and files (one they leave open is closed after them),
// an error they report halts the controller, and once the interpreter is
// closed nothing runs scripts any more.
TEST(ScriptEngine, ClosingRunsFinalizersWhileTheDocumentLives)
{
    TEST_TempDir dir;
    TEST_DocumentBuilder document = TEST_builtInMembers();
    const std::string init =
        "G = setmetatable({}, {__gc = function()\n"
        "  print('closing', newModelsSet('scene.xml'):get('camera') ~= nil, io.open('config.xml'):read(5),\n"
        "        newSample('chime.ogg') ~= nil, pcall(dofile, 'none.lua'))\n"
        "  newTexture('none.png')\n"
        "  io.open('//left open.txt', 'w'):write('written at close')\n"
        "end})\n"
        "function startup() setCallback(CB_UPDATE, function() print('update') end) end\n";
    for (PACK_Member &member : document.m_aoMembers)
        if (member.m_sName == "init.lua")
            member.m_aucData.assign(init.begin(), init.end());
    const std::string path = dir.write("doc.vk", document.build());
    TEST_LogCapture log;
    {
        CTRL_Generic *controller = new CTRL_Generic(new LMP_ScriptEngine(), CTRL_PLATFORM_LINUX);
        ASSERT_TRUE(controller->openDocument(path.c_str())) << log.joined();
        ASSERT_TRUE(controller->m_poScriptEngine->loadScripts()) << log.joined();
        controller->closeScripts();
        EXPECT_TRUE(controller->m_bHalted);
        EXPECT_EQ(LMP_ScriptEngine::of(controller)->m_poLuaState, nullptr);
        EXPECT_FALSE(controller->m_poScriptEngine->acceptsEvents());
        controller->m_bHalted = false;
        controller->m_poScriptEngine->update(0.1);
        controller->closeScripts();
        delete controller;
    }
    EXPECT_TRUE(log.contains("closing\ttrue\t<?xml\ttrue\tfalse\tcannot open none.lua")) << log.joined();
    EXPECT_TRUE(log.contains("init.lua:4: File none.png not found")) << log.joined();
    EXPECT_FALSE(log.contains("update")) << log.joined();
    // A file that a finalizer leaves open is closed with the interpreter.
    EXPECT_EQ(TEST_readText(dir.path("left open.txt")), "written at close");

    // Without the explicit close, the controller's destruction closes the
    // interpreter first of all.
    {
        CTRL_Generic *controller = new CTRL_Generic(new LMP_ScriptEngine(), CTRL_PLATFORM_LINUX);
        ASSERT_TRUE(controller->openDocument(path.c_str())) << log.joined();
        ASSERT_TRUE(controller->m_poScriptEngine->loadScripts()) << log.joined();
        log.m_asLines.clear();
        delete controller;
    }
    EXPECT_TRUE(log.contains("closing\ttrue\t<?xml\ttrue\tfalse\tcannot open none.lua")) << log.joined();
}

} // namespace
