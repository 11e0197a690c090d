// The global functions, called from real Lua against a controller that
// records what reaches it and a renderer that counts its calls.
#include <gtest/gtest.h>

#include <string>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Event.h"
#include "model/MDL_Object.h"
#include "model/MDL_ObjectTypes.h"
#include "scripting/LMP_ScriptEngine.h"
#include "tests/scripting/test_binding_example.h"
#include "tests/support/TEST_Log.h"
#include "view/VIEW_Generic.h"
#include "tests/support/TEST_Support.h"

namespace {

class RecordingController : public CTRL_Generic {
public:
    explicit RecordingController(LMP_ScriptEngine *engine) : CTRL_Generic(engine, CTRL_PLATFORM_LINUX) {}

    int registerDevice(int a, int b, int c) override
    {
        m_sDevice = std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c);
        return 0;
    }
    int sendToDevice(int device, const char *data, int length) override
    {
        m_sSent = std::to_string(device) + ":" + std::string(data, static_cast<size_t>(length));
        return 0;
    }
    void openExternal(const char *address) override { m_sOpened += std::string("[") + address + "]"; }
    void getLanguage(char *output) override
    {
        output[0] = 'F';
        output[1] = 'R';
        output[2] = '\0';
    }

    std::string m_sDevice, m_sSent, m_sOpened;
};

class CountingRenderer : public VIEW_Generic {
public:
    void setTextureFilter(int filter) override { m_iFilter = filter; }
    void invalidateImageTextures() override { m_iImages++; }
    void invalidateGlyphTextures() override { m_iGlyphs++; }
    void releaseBuffers() override { m_iBuffers++; }

    int m_iFilter = -1, m_iImages = 0, m_iGlyphs = 0, m_iBuffers = 0;
};

struct GlobalsFixture {
    TEST_LogCapture m_oLog;
    RecordingController *m_poController;
    lua_State *L;

    GlobalsFixture()
    {
        m_poController = new RecordingController(new LMP_ScriptEngine());
        L = LMP_ScriptEngine::of(m_poController)->m_poLuaState;
        TEST_registerThings(L);
    }
    ~GlobalsFixture()
    {
        delete m_poController;
        TEST_deleteThings();
    }

    LMP_ScriptEngine *engine() const { return LMP_ScriptEngine::of(m_poController); }

    // The chunk's results as texts joined by ",", or "error: <message>".
    std::string run(const std::string &chunk) { return TEST_runLua(L, chunk); }
    std::string eval(const std::string &expression) { return run("return " + expression); }
};

struct Case {
    const char *m_sChunk;
    const char *m_sExpected;
};

void runAll(GlobalsFixture &fixture, const Case *cases, size_t count)
{
    for (size_t i = 0; i < count; i++)
        EXPECT_EQ(fixture.run(cases[i].m_sChunk), cases[i].m_sExpected) << cases[i].m_sChunk;
}

#define RUN_ALL(fixture, cases) runAll(fixture, cases, sizeof(cases) / sizeof(cases[0]))

const char *const s_asGlobals[] = {
    "trace",
    "tracePoint",
    "isKeyPressed",
    "isKeyJustPressed",
    "isKeyJustReleased",
    "setCallback",
    "registerDevice",
    "sendToDevice",
    "openURL",
    "setAspectRatio",
    "getAspectRatio",
    "getViewAspectRatio",
    "getResolution",
    "getHiDPI",
    "setBackgroundColor",
    "getAcceleration",
    "getLanguage",
    "getPlatform",
    "getHooveredObject",
    "getPickedObject",
    "setPickPosition",
    "getViewportMouse",
    "getSceneMouse",
    "resetTextureCache",
    "resetGlyphTextureCache",
    "setDefaultTextureFilter",
    "resetRenderingOpti",
};

} // namespace

TEST(Globals, AllAreRegisteredFunctions)
{
    GlobalsFixture fixture;
    EXPECT_EQ(sizeof(s_asGlobals) / sizeof(s_asGlobals[0]), 27u);
    for (const char *name : s_asGlobals)
        EXPECT_EQ(fixture.eval(std::string("type(") + name + ")"), "function") << name;
}

// Without a controller every function returns nothing and touches nothing,
// whatever its arguments.
TEST(Globals, NoControllerNoValues)
{
    TEST_LogCapture log;
    LMP_ScriptEngine engine;
    lua_State *L = engine.m_poLuaState;
    for (const char *name : s_asGlobals) {
        std::string chunk = std::string("return select('#', ") + name + "(1, 2, 3))";
        ASSERT_EQ(luaL_dostring(L, chunk.c_str()), LUA_OK) << name << ": " << lua_tostring(L, -1);
        EXPECT_EQ(lua_tointeger(L, -1), 0) << name;
        lua_settop(L, 0);
    }
}

TEST(Globals, TraceAndTracePoint)
{
    GlobalsFixture fixture;
    static const Case s_aoCases[] = {
        {"return select('#', trace('x', 1, {}, nil))", "0"},
        {"return select('#', trace())", "0"},
        {"return select('#', tracePoint(v3(1, 2, 3)))", "0"},
        {"return tracePoint(1)", "error: t:1: bad argument #1 to 'tracePoint' (v3 expected, got number)"},
    };
    RUN_ALL(fixture, s_aoCases);
    EXPECT_FALSE(fixture.m_poController->m_bHalted);
}

TEST(Globals, KeyQueries)
{
    GlobalsFixture fixture;
    CTRL_Generic &controller = *fixture.m_poController;
    controller.m_pbKeys[65] = true; // held over two frames
    controller.m_pbPreviousKeys[65] = true;
    controller.m_pbKeys[32] = true;         // space: just pressed
    controller.m_pbPreviousKeys[13] = true; // return: just released
    controller.m_pbKeys[255] = true;
    static const Case s_aoCases[] = {
        {"return isKeyPressed(KEY_A), isKeyJustPressed(KEY_A), isKeyJustReleased(KEY_A)", "true,false,false"},
        {"return isKeyPressed(KEY_SPACE), isKeyJustPressed(KEY_SPACE), isKeyJustReleased(KEY_SPACE)",
         "true,true,false"},
        {"return isKeyPressed(KEY_RETURN), isKeyJustPressed(KEY_RETURN), isKeyJustReleased(KEY_RETURN)",
         "false,false,true"},
        {"return isKeyPressed(KEY_B), isKeyJustPressed(KEY_B), isKeyJustReleased(KEY_B)", "false,false,false"},
        {"return isKeyPressed('65'), isKeyPressed(65.9)", "true,true"},
        {"return isKeyPressed(255)", "true"},
        // Codes outside the tables read false, never past them.
        {"return isKeyPressed(256), isKeyJustPressed(-1), isKeyJustReleased(1e12), isKeyPressed(-1e12)",
         "false,false,false,false"},
        {"return isKeyPressed(0/0)", "false"},
    };
    RUN_ALL(fixture, s_aoCases);
    EXPECT_FALSE(controller.m_bHalted);
}

TEST(Globals, BadArgumentsAreReportedAndReturnNothing)
{
    static const Case s_aoCases[] = {
        {"return select('#', isKeyPressed())", "Not enough arguments, <I> argument(s) expected"},
        {"return select('#', isKeyJustPressed('x'))",
         "Invalid type (string) for argument #1, <I> type argument(s) expected"},
        {"return select('#', setCallback(CB_UPDATE, 5))",
         "Invalid type (number) for argument #2, <IF> type argument(s) expected"},
        {"return select('#', registerDevice(1))", "Not enough arguments, <III> argument(s) expected"},
        {"return select('#', setAspectRatio(1, 2))", "Too much arguments, <N> argument(s) expected"},
        {"return select('#', openURL({}))", "Invalid type (table) for argument #1, <S> type argument(s) expected"},
        {"return select('#', setDefaultTextureFilter())", "Not enough arguments, <I> argument(s) expected"},
    };
    for (const Case &c : s_aoCases) {
        GlobalsFixture fixture;
        EXPECT_EQ(fixture.run(c.m_sChunk), "0") << c.m_sChunk;
        EXPECT_TRUE(fixture.m_poController->m_bHalted) << c.m_sChunk;
        EXPECT_TRUE(fixture.m_oLog.contains(std::string("t:1: ") + c.m_sExpected)) << fixture.m_oLog.joined();
    }
}

TEST(Globals, SetCallbackStoresReferences)
{
    GlobalsFixture fixture;
    LMP_ScriptEngine *engine = fixture.engine();
    EXPECT_EQ(fixture.run("n = 0; function step(dt) n = n + dt end; setCallback(CB_UPDATE, step)"), "");
    int first = engine->m_aiCallbackRefs[0];
    EXPECT_GT(first, 0);
    engine->update(0.25);
    EXPECT_EQ(fixture.eval("n"), "0.25");

    // Replacing a callback gives the old reference back; nil stores 0.
    fixture.run("setCallback(CB_UPDATE, function() end)");
    EXPECT_GT(engine->m_aiCallbackRefs[0], 0);
    fixture.run("setCallback(CB_UPDATE, nil)");
    EXPECT_EQ(engine->m_aiCallbackRefs[0], 0);
    engine->update(1);
    EXPECT_EQ(fixture.eval("n"), "0.25");

    fixture.run("setCallback(CB_MAX, step); setCallback(CB_MECHA, step)");
    EXPECT_GT(engine->m_aiCallbackRefs[10], 0);
    EXPECT_GT(engine->m_aiCallbackRefs[6], 0);

    // Ids outside 1..CB_MAX are stored nowhere and leave no reference.
    int before[MDL_CB_MAX];
    for (int i = 0; i < MDL_CB_MAX; i++)
        before[i] = engine->m_aiCallbackRefs[i];
    lua_State *L = fixture.L;
    int length = static_cast<int>(lua_rawlen(L, LUA_REGISTRYINDEX));
    EXPECT_EQ(fixture.run("for _, id in ipairs({0, -1, 12, 1e10, -1e10}) do setCallback(id, step) end; "
                          "return select('#', setCallback(CB_MAX + 1, step))"),
              "0");
    for (int i = 0; i < MDL_CB_MAX; i++)
        EXPECT_EQ(engine->m_aiCallbackRefs[i], before[i]) << i;
    EXPECT_LE(static_cast<int>(lua_rawlen(L, LUA_REGISTRYINDEX)), length + 1);
    EXPECT_FALSE(fixture.m_poController->m_bHalted);
}

TEST(Globals, DevicesAndOutside)
{
    GlobalsFixture fixture;
    RecordingController &controller = *fixture.m_poController;
    static const Case s_aoCases[] = {
        {"return registerDevice(1, 2, 3)", "0"},
        {"return sendToDevice(1, 'x')", "0"},
        {"return sendToDevice(7, 'a\\0b')", "0"},
        {"return select('#', openURL('https://example.org/a b?c=\"d\";e'))", "0"},
        {"return select('#', openURL(12))", "0"},
    };
    RUN_ALL(fixture, s_aoCases);
    EXPECT_EQ(controller.m_sDevice, "1,2,3");
    EXPECT_EQ(controller.m_sSent, std::string("7:a\0b", 5));
    EXPECT_EQ(controller.m_sOpened, "[https://example.org/a b?c=\"d\";e][12]");
    EXPECT_FALSE(controller.m_bHalted);
}

TEST(Globals, DocumentFrameAndView)
{
    GlobalsFixture fixture;
    RecordingController &controller = *fixture.m_poController;
    static const Case s_aoUnsized[] = {
        {"return getAspectRatio()", "0.75"},
        {"return getViewAspectRatio()", "0"}, // no view size yet: no division by zero
        {"return getResolution()", "v2(0,0)"},
        {"return getHiDPI()", "false"},
        {"return getAcceleration()", "v3(0,0,-1)"},
        {"return getLanguage()", "FR"},
        {"return getPlatform(), getPlatform() == ENV_LINUX", "3,true"},
        {"setAspectRatio('0.5'); return getAspectRatio()", "0.5"},
    };
    RUN_ALL(fixture, s_aoUnsized);
    EXPECT_EQ(controller.m_fAspectRatio, 0.5);

    controller.m_oViewSize = MTH_Vector2D(800, 600);
    controller.m_bHiDPI = true;
    controller.m_oViewportMouse = MTH_Vector3D(0.25, 0.5, 0);
    static const Case s_aoSized[] = {
        {"return getViewAspectRatio()", "0.75"},
        {"return getResolution()", "v2(800,600)"},
        {"return getHiDPI()", "true"},
        {"return getViewportMouse()", "v3(0.25,0.5,0)"},
        // No current viewport: the origin.
        {"return getSceneMouse()", "v3(0,0,0)"},
        // The results are copies.
        {"local a = getAcceleration(); a:setX(5); return getAcceleration(), a", "v3(0,0,-1),v3(5,0,-1)"},
    };
    RUN_ALL(fixture, s_aoSized);
    EXPECT_EQ(controller.m_oAcceleration.m_fX, 0);

    EXPECT_EQ(fixture.run("setBackgroundColor(color(0.25, 0.5, 0.75, 0.125))"), "");
    EXPECT_EQ(controller.m_oBackgroundColor.m_fX, 0.25);
    EXPECT_EQ(controller.m_oBackgroundColor.m_fY, 0.5);
    EXPECT_EQ(controller.m_oBackgroundColor.m_fZ, 0.75);
    EXPECT_EQ(controller.m_oBackgroundColor.m_fW, 0.125);
    EXPECT_EQ(fixture.run("setBackgroundColor(v3())"),
              "error: t:1: bad argument #1 to 'setBackgroundColor' (color expected, got userdata)");
    EXPECT_FALSE(controller.m_bHalted);
}

// The generic controller has no language and answers the empty string.
TEST(Globals, GenericControllerLanguage)
{
    BindingFixture fixture;
    EXPECT_EQ(fixture.eval("getLanguage()"), "");
}

TEST(Globals, PickedAndHooveredObjects)
{
    GlobalsFixture fixture;
    RecordingController &controller = *fixture.m_poController;
    EXPECT_EQ(fixture.run("return select('#', getPickedObject()), select('#', getHooveredObject())"), "0,0");
    EXPECT_EQ(fixture.eval("getPickedObject() == nil"), "true");

    TEST_Gadget *gadget = new TEST_Gadget();
    gadget->m_fPower = 7;
    TEST_things().push_back(gadget);
    controller.m_poGrabbedObject = gadget;
    controller.m_poHoverObject = gadget;
    EXPECT_EQ(fixture.eval("getPickedObject():getPower(), getPickedObject() == getHooveredObject()"), "7,true");

    EXPECT_EQ(fixture.run("setPickPosition(v3(1, 2, 3))"), "");
    EXPECT_EQ(controller.m_oGrabPoint.m_fX, 1);
    EXPECT_EQ(controller.m_oGrabPoint.m_fY, 2);
    EXPECT_EQ(controller.m_oGrabPoint.m_fZ, 3);
    EXPECT_EQ(fixture.run("setPickPosition(1)"),
              "error: t:1: bad argument #1 to 'setPickPosition' (v3 expected, got number)");
    EXPECT_FALSE(controller.m_bHalted);

    // An object of a kind whose class is not registered is reported, not
    // pushed.
    MDL_Object *unbound = new MDL_Object();
    unbound->m_iType = MDL_TYPE_RTF_TEXT; // a kind that no class binds
    TEST_things().push_back(unbound);
    controller.m_poHoverObject = unbound;
    EXPECT_EQ(fixture.eval("select('#', getHooveredObject())"), "0");
    EXPECT_TRUE(controller.m_bHalted);
    EXPECT_TRUE(fixture.m_oLog.contains("Unknown object type")) << fixture.m_oLog.joined();
    controller.m_poHoverObject = nullptr;
    controller.m_poGrabbedObject = nullptr;
}

TEST(Globals, RendererFunctions)
{
    GlobalsFixture fixture;
    RecordingController &controller = *fixture.m_poController;
    // Without a renderer they do nothing.
    EXPECT_EQ(fixture.run("resetTextureCache(); resetGlyphTextureCache(); setDefaultTextureFilter(FILTER_LINEAR); "
                          "resetRenderingOpti()"),
              "");
    CountingRenderer renderer;
    controller.m_poRenderer = &renderer;
    EXPECT_EQ(fixture.run("resetTextureCache(); resetGlyphTextureCache(); resetGlyphTextureCache(); "
                          "setDefaultTextureFilter(FILTER_MIPMAP); resetRenderingOpti()"),
              "");
    controller.m_poRenderer = nullptr;
    EXPECT_EQ(renderer.m_iImages, 1);
    EXPECT_EQ(renderer.m_iGlyphs, 2);
    EXPECT_EQ(renderer.m_iFilter, 3);
    EXPECT_EQ(renderer.m_iBuffers, 1);
    EXPECT_FALSE(controller.m_bHalted);
}
