#include <gtest/gtest.h>

#include <string>

#include "controller/desktop/CTRL_HeadlessHost.h"
#include "controller/desktop/CTRL_InputScript.h"
#include "model/MDL_Event.h"
#include "tests/controller/input_test_support.h"
#include "tests/support/TEST_Document.h"
#include "view/null/VIEW_Null.h"

namespace {

std::string parseError(const char *text)
{
    CTRL_InputScript script;
    char error[512];
    EXPECT_FALSE(script.parse(text, "in.txt", error, sizeof(error))) << text;
    EXPECT_EQ(script.count(), 0);
    return error;
}

typedef InputFixture InputScript;

} // namespace

TEST(InputScriptText, ReadsEveryVerbInFrameAndFileOrder)
{
    CTRL_InputScript script;
    char error[512];
    // A byte-order mark in front, and a comment longer than any line.
    std::string longComment = "4 mouseUp 5 6 # " + std::string(3000, 'x') + "\n";
    ASSERT_TRUE(script.parse(("\xEF\xBB\xBF# a comment line\n"
                              "3 mouseMove 10 20.5 shift control   # trailing comment\n"
                              "\n"
                              "1 keyDown 300\n"
                              "3 mouseWheel 1 2 -120 shift\r\n"
                              "  2\tmouseDown 5 6\n"
                              "3 mouseMove 7 8 control\n"
                              "1 keyUp 16\n" +
                              longComment +
                              "4 rightMouseDown 1e1 -2\n"
                              "4 rightMouseUp 0 0")
                                 .c_str(),
                             "in.txt", error, sizeof(error)))
        << error;
    ASSERT_EQ(script.count(), 9);
    const int verbs[] = {
        CTRL_InputScript::KEY_DOWN,   CTRL_InputScript::KEY_UP,           CTRL_InputScript::MOUSE_DOWN,
        CTRL_InputScript::MOUSE_MOVE, CTRL_InputScript::MOUSE_WHEEL,      CTRL_InputScript::MOUSE_MOVE,
        CTRL_InputScript::MOUSE_UP,   CTRL_InputScript::RIGHT_MOUSE_DOWN, CTRL_InputScript::RIGHT_MOUSE_UP};
    const long frames[] = {1, 1, 2, 3, 3, 3, 4, 4, 4};
    for (int i = 0; i < 9; i++) {
        EXPECT_EQ(script.event(i).m_iVerb, verbs[i]) << i;
        EXPECT_EQ(script.event(i).m_iFrame, frames[i]) << i;
    }
    EXPECT_EQ(script.event(0).m_iCode, 300);
    const CTRL_InputScript::Event &move = script.event(3);
    EXPECT_EQ(move.m_fY, 20.5);
    EXPECT_TRUE(move.m_bShift && move.m_bControl);
    EXPECT_TRUE(!script.event(5).m_bShift && script.event(5).m_bControl);
    const CTRL_InputScript::Event &wheel = script.event(4);
    EXPECT_EQ(wheel.m_fAmount, -120);
    EXPECT_TRUE(wheel.m_bShift);
    EXPECT_EQ(script.event(7).m_fX, 10);
}

TEST(InputScriptText, ALineThatCannotBeReadNamesItsLine)
{
    struct Case {
        const char *text;
        const char *message;
    };
    const Case cases[] = {
        {"1 keyDown 65\n0 keyDown 65\n", "in.txt:2: \"0\" is no frame number (1 or more)"},
        {"1.5 keyDown 65\n", "in.txt:1: \"1.5\" is no frame number"},
        {"1 keyDown\n", "in.txt:1: keyDown takes CODE (a whole number)"},
        {"1 keyDown 6.5\n", "in.txt:1: keyDown takes CODE"},
        {"1 keyDown 99999999999\n", "in.txt:1: keyDown takes CODE"},
        {"\n\n1 mouseDown 1\n", "in.txt:3: mouseDown takes X Y (finite numbers)"},
        {"1 mouseDown 1 nan\n", "in.txt:1: mouseDown takes X Y"},
        {"1 mouseUp 1 2 3\n", "in.txt:1: mouseUp takes X Y"},
        {"1 mouseMove 1 2 shift shift\n", "in.txt:1: mouseMove takes X Y [shift] [control]"},
        {"1 mouseWheel 1 2 3 control\n", "in.txt:1: mouseWheel takes X Y AMOUNT [shift]"},
        {"1 click 1 2\n", "in.txt:1: unknown event \"click\""},
        {"7\n", "in.txt:1: an event is missing after the frame number"},
        {"1 keydown 65\n", "in.txt:1: unknown event \"keydown\""},
        // Numbers are written as on the command line: decimal, no sign in
        // front but a minus, never wrapped.
        {"+1 keyDown 65\n", "in.txt:1: \"+1\" is no frame number"},
        {"99999999999999999999 keyDown 65\n", "in.txt:1: \"99999999999999999999\" is no frame number"},
        {"1 keyDown 0x41\n", "in.txt:1: keyDown takes CODE"},
        {"1 keyDown +65\n", "in.txt:1: keyDown takes CODE"},
        {"1 mouseDown 0x10 5\n", "in.txt:1: mouseDown takes X Y"},
        {"1 mouseDown +1 5\n", "in.txt:1: mouseDown takes X Y"},
        {"1 mouseWheel 1 2 inf\n", "in.txt:1: mouseWheel takes X Y AMOUNT"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseError(c.text).compare(0, strlen(c.message), c.message), 0)
            << c.text << " gave " << parseError(c.text);
    std::string longLine = "1 keyDown 65 " + std::string(2000, ' ') + "# fine";
    EXPECT_NE(parseError(longLine.c_str()).find("in.txt:1: the line is longer than"), std::string::npos);
}

TEST(InputScriptText, FilesThatCannotBeRead)
{
    TEST_TempDir dir;
    CTRL_InputScript script;
    char error[512];
    EXPECT_FALSE(script.load(dir.path("missing.txt").c_str(), error, sizeof(error)));
    EXPECT_NE(std::string(error).find("missing.txt: cannot be read"), std::string::npos) << error;
    std::string nul = dir.write("nul.txt", std::string("1 keyDown 65\n2 keyDown\0 66\n", 27));
    EXPECT_FALSE(script.load(nul.c_str(), error, sizeof(error)));
    EXPECT_NE(std::string(error).find("nul.txt:2: the line holds a NUL character"), std::string::npos) << error;
    std::string good = dir.write("good.txt", "2 keyUp 65\n");
    EXPECT_TRUE(script.load(good.c_str(), error, sizeof(error))) << error;
    EXPECT_EQ(script.count(), 1);
}

TEST_F(InputScript, TheHeadlessHostDeliversEachFramesEventsBeforeItRuns)
{
    MDL_Mesh *cube = addCube(MTH_Vector3D(), STATE_ACTIVE | STATE_VISIBLE, false);
    CTRL_InputScript script;
    char error[512];
    ASSERT_TRUE(script.parse("2 keyDown 65\n"
                             "3 keyUp 65\n"
                             "3 mouseDown 100 100\n"
                             "3 mouseMove 103 101\n"
                             "3 mouseUp 103 101\n"
                             "9 keyDown 66\n",
                             "in.txt", error, sizeof(error)))
        << error;
    VIEW_Null renderer;
    {
        CTRL_HeadlessHost host(&m_oController, &renderer, 200, 200);
        host.setInput(&script);
        // Each run counts its frames from 1: a run of one frame delivers
        // nothing here; given the events again, the next run starts over.
        EXPECT_EQ(host.run(1, 0.02), 1);
        EXPECT_TRUE(m_oLog.m_aoRecords.empty());
        host.setInput(&script);
        EXPECT_EQ(host.run(3, 0.02), 3);
    }
    // Frame 2: the key; frame 3: its release and a click (a motion of
    // squared distance 10 is still one); frame 9 never came.
    std::vector<int> engine = m_oLog.codesOf(nullptr);
    EXPECT_EQ(engine, (std::vector<int>{CTRL_ScriptEvent::KEY_DOWN, CTRL_ScriptEvent::KEY_UP}));
    EXPECT_EQ(m_oLog.codesOf(cube), (std::vector<int>{MDL_CB_MOUSE_DOWN, MDL_CB_MOUSE_UP, MDL_CB_MOUSE_CLICK}));
    EXPECT_FALSE(m_oController.isKeyPressed(65));
    EXPECT_FALSE(m_oController.isKeyPressed(66));
}
