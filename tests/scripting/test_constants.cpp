// The constants that every interpreter starts with: the constants table, the
// two infinities and the object type codes, read back through real Lua.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "controller/CTRL_Generic.h"
#include "model/MDL_Event.h"
#include "model/MDL_ObjectTypes.h"
#include "scripting/LMP_ScriptEngine.h"
#include "scripting/LMP_Registration.h"
#include "tests/scripting/test_binding_example.h"

namespace {

struct Case {
    const char *m_sExpression;
    const char *m_sExpected;
};

void expectAll(BindingFixture &fixture, const Case *cases, size_t count)
{
    for (size_t i = 0; i < count; i++)
        EXPECT_EQ(fixture.eval(cases[i].m_sExpression), cases[i].m_sExpected) << cases[i].m_sExpression;
}

} // namespace

// Every row is a global number (not a string), every name appears once, and
// the families add up to the table: 194 key codes and 63 others.
TEST(Constants, TableRowsAreUniqueGlobalNumbers)
{
    BindingFixture fixture;
    ASSERT_EQ(LMP_iConstantCount(), 257);
    EXPECT_EQ(LMP_sConstantName(-1), nullptr);
    EXPECT_EQ(LMP_sConstantName(257), nullptr);
    std::set<std::string> names;
    int keys = 0;
    for (int i = 0; i < LMP_iConstantCount(); i++) {
        const char *name = LMP_sConstantName(i);
        ASSERT_NE(name, nullptr);
        EXPECT_TRUE(names.insert(name).second) << name;
        if (strncmp(name, "KEY_", 4) == 0) {
            keys++;
            // Key codes index the controller's 256-entry tables.
            EXPECT_EQ(fixture.eval(std::string(name) + " >= 1 and " + name + " <= 254"), "true") << name;
        }
        EXPECT_EQ(fixture.eval(std::string("type(") + name + ")"), "number") << name;
    }
    EXPECT_EQ(keys, 194);
    EXPECT_EQ(LMP_sConstantName(0), std::string("KEY_LBUTTON"));
    EXPECT_EQ(LMP_sConstantName(193), std::string("KEY_OEM_CLEAR"));
    EXPECT_EQ(LMP_sConstantName(194), std::string("CB_UPDATE"));
    EXPECT_EQ(LMP_sConstantName(256), std::string("SHADOW_3D"));
}

TEST(Constants, KeyCodesAreTheVirtualKeyCodes)
{
    BindingFixture fixture;
    static const Case s_aoCases[] = {
        {"KEY_LBUTTON", "1"},
        {"KEY_XBUTTON2", "6"},
        {"KEY_BACK", "8"},
        {"KEY_CLEAR", "12"},
        {"KEY_RETURN", "13"},
        {"KEY_SHIFT", "16"},
        {"KEY_CONTROL", "17"},
        {"KEY_MENU", "18"},
        {"KEY_KANA", "21"},
        {"KEY_JUNJA", "23"},
        {"KEY_HANJA", "25"},
        {"KEY_KANJI", "25"},
        {"KEY_ESCAPE", "27"},
        {"KEY_MODECHANGE", "31"},
        {"KEY_SPACE", "32"},
        {"KEY_LEFT", "37"},
        {"KEY_UP", "38"},
        {"KEY_RIGHT", "39"},
        {"KEY_DOWN", "40"},
        {"KEY_EXECUTELM", "43"},
        {"KEY_EXECUTE", "nil"},
        {"KEY_HELP", "47"},
        {"KEY_0", "48"},
        {"KEY_9", "57"},
        {"KEY_A", "65"},
        {"KEY_Z", "90"},
        {"KEY_LWIN", "91"},
        {"KEY_APPS", "93"},
        {"KEY_SLEEP", "95"},
        {"KEY_NUMPAD0", "96"},
        {"KEY_NUMPAD9", "105"},
        {"KEY_MULTIPLY", "106"},
        {"KEY_DIVIDE", "111"},
        {"KEY_F1", "112"},
        {"KEY_F12", "123"},
        {"KEY_F24", "135"},
        {"KEY_NUMLOCK", "144"},
        {"KEY_SCROLL", "145"},
        {"KEY_OEM_NEC_EQUAL", "146"},
        {"KEY_OEM_FJ_JISHO", "146"},
        {"KEY_OEM_FJ_ROYA", "150"},
        {"KEY_LSHIFT", "160"},
        {"KEY_RMENU", "165"},
        {"KEY_BROWSER_BACK", "166"},
        {"KEY_BROWSER_HOME", "172"},
        {"KEY_VOLUME_MUTE", "173"},
        {"KEY_LAUNCH_APP2", "183"},
        {"KEY_OEM_1", "186"},
        {"KEY_OEM_3", "192"},
        {"KEY_OEM_4", "219"},
        {"KEY_OEM_8", "223"},
        {"KEY_OEM_AX", "225"},
        {"KEY_OEM_102", "226"},
        {"KEY_PROCESSKEY", "229"},
        {"KEY_PACKET", "231"},
        {"KEY_OEM_RESET", "233"},
        {"KEY_OEM_BACKTAB", "245"},
        {"KEY_ATTN", "246"},
        {"KEY_ZOOM", "251"},
        {"KEY_PA1", "253"},
        {"KEY_OEM_CLEAR", "254"},
    };
    expectAll(fixture, s_aoCases, sizeof(s_aoCases) / sizeof(s_aoCases[0]));
}

TEST(Constants, OtherFamilies)
{
    BindingFixture fixture;
    static const Case s_aoCases[] = {
        {"CB_UPDATE", "1"},
        {"CB_MOUSE_CLICK", "5"},
        {"CB_MECHA", "7"},
        {"CB_POST_COLLISION", "10"},
        {"CB_ASPECT_RATIO_CHANGED", "11"},
        {"CB_MAX == CB_ASPECT_RATIO_CHANGED", "true"},
        {"ENV_WINDOWS", "1"},
        {"ENV_MACOSX", "2"},
        {"ENV_LINUX", "3"},
        {"ENV_WEB", "6"},
        {"EVENT_KEY_DOWN", "1"},
        {"EVENT_ZOOM", "6"},
        {"EVENT_CLOSE", "8"},
        {"REF_SELF .. REF_LOCAL .. REF_GLOBAL", "123"},
        {"SCOPE_OBJECT .. SCOPE_RECURSE", "12"},
        {"AXIS_X .. AXIS_Y .. AXIS_Z", "123"},
        {"STATE_CONSTRAIN_MOUSE", "8"},
        {"STATE_ALL", "31"},
        {"INTERPOL_LINEAR .. INTERPOL_ENDSIN", "03"},
        {"FILTER_DEFAULT .. FILTER_NEAREST_POINT .. FILTER_MIPMAP", "013"},
        {"DISPLAY_MODE_NORMAL .. DISPLAY_MODE_SPRITE", "01"},
        {"NAVIGATION_MIXED .. NAVIGATION_GLASSBALL", "23"},
        {"JOINT_POINT_POINT .. JOINT_POINT_ON_PLANE", "04"},
        {"SHADOW_ZPASS .. SHADOW_ZFAIL .. SHADOW_2D .. SHADOW_3D", "0101"},
        {"INFINITE_PLUS == 1.7976931348623157e308", "true"},
        {"INFINITE_MINUS == -1.7976931348623157e308", "true"},
        {"INFINITE_PLUS < math.huge", "true"},
        {"OBJECT_NONE .. OBJECT_LAMP .. OBJECT_CAMERA .. OBJECT_MESH", "0123"},
        {"OBJECT_RIGID_BODY .. OBJECT_SOUND .. OBJECT_BONE .. OBJECT_ANIMATED_MESH", "4567"},
        {"OBJECT_TEXT .. OBJECT_IMAGE .. OBJECT_MIKE", "81011"},
        {"OBJECT_POLYLINE .. OBJECT_COLLISION_VOLUME .. OBJECT_LOCATOR", "121314"},
        {"OBJECT_RTF_TEXT", "nil"},
        {"type(OBJECT_MESH)", "number"},
    };
    expectAll(fixture, s_aoCases, sizeof(s_aoCases) / sizeof(s_aoCases[0]));
}

// The script values are the ones the engine itself works with.
TEST(Constants, MatchTheEngineCodes)
{
    BindingFixture fixture;
    EXPECT_EQ(fixture.eval("CB_UPDATE"), std::to_string(MDL_CB_UPDATE));
    EXPECT_EQ(fixture.eval("CB_EVENT"), std::to_string(MDL_CB_EVENT));
    EXPECT_EQ(fixture.eval("CB_ASPECT_RATIO_CHANGED"), std::to_string(MDL_CB_ASPECT_RATIO_CHANGED));
    EXPECT_EQ(fixture.eval("CB_MAX"), std::to_string(MDL_CB_MAX));
    EXPECT_EQ(fixture.eval("ENV_MACOSX"), std::to_string(CTRL_PLATFORM_MACOS));
    EXPECT_EQ(fixture.eval("ENV_LINUX"), std::to_string(CTRL_PLATFORM_LINUX));
    EXPECT_EQ(fixture.eval("EVENT_KEY_DOWN"), std::to_string(CTRL_ScriptEvent::KEY_DOWN));
    EXPECT_EQ(fixture.eval("EVENT_DEVICE"), std::to_string(CTRL_ScriptEvent::DEVICE));
    EXPECT_EQ(fixture.eval("EVENT_CLOSE"), std::to_string(CTRL_ScriptEvent::CLOSE));
    EXPECT_EQ(fixture.eval("STATE_VISIBLE"), std::to_string(STATE_VISIBLE));
    EXPECT_EQ(fixture.eval("STATE_BACKGROUND"), std::to_string(STATE_BACKGROUND));
    EXPECT_EQ(fixture.eval("STATE_ALL"), std::to_string(STATE_ALL));
    EXPECT_EQ(fixture.eval("OBJECT_LOCATOR"), std::to_string(OBJECT_LOCATOR));
}

// The constants are plain globals: a script may overwrite them.
TEST(Constants, ScriptsMayOverwriteThem)
{
    BindingFixture fixture;
    EXPECT_EQ(fixture.run("KEY_A = 5; CB_MAX = 'x'; return KEY_A, CB_MAX, KEY_B"), "5,x,66");
}
