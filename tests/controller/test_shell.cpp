// The shell's windows in this process, on an X server of the test's own:
// every event reaches the controller of its own window, the language
// chooser takes what it needs and lets the rest through, a choice opens
// the document again with the language, drops open windows.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "controller/desktop/CTRL_Desktop.h"
#include "controller/desktop/CTRL_Shell.h"
#include "scripting/LMP_ScriptEngine.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_XServer.h"
#include "tests/support/TEST_Support.h"

namespace {

// A controller that writes down the input its window hands it, with the
// language its document opened in.
class RecordingDesktop : public CTRL_Desktop {
public:
    RecordingDesktop(std::vector<std::string> *log) : CTRL_Desktop(new LMP_ScriptEngine()), m_poLog(log) {}
    void deliverInput(const SDL_Event &event, double, double) override
    {
        std::string what = event.type == SDL_KEYDOWN       ? "down "
                           : event.type == SDL_KEYUP       ? "up "
                           : event.type == SDL_MOUSEMOTION ? "motion"
                                                           : "other";
        if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP)
            what += SDL_GetKeyName(event.key.keysym.sym);
        m_poLog->push_back(std::string(m_sDocumentPath != nullptr ? strrchr(m_sDocumentPath, '/') + 1 : "?") + " " +
                           what);
    }
    std::vector<std::string> *m_poLog;
};

SDL_Event key(Uint32 type, unsigned int window, SDL_Keycode symbol, Uint16 mod = KMOD_NONE)
{
    SDL_Event event;
    memset(&event, 0, sizeof(event));
    event.type = type;
    event.key.windowID = window;
    event.key.keysym.sym = symbol;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(symbol);
    event.key.keysym.mod = mod;
    return event;
}

SDL_Event motion(unsigned int window)
{
    SDL_Event event;
    memset(&event, 0, sizeof(event));
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = window;
    return event;
}

// One X server for every test here: SDL's video, once started, stays up to
// the end of the process (ending it would unload the OpenGL driver, whose
// memory the leak checker could then no longer put down to it).
struct Shell : ::testing::Test {
    static TEST_XServer *s_poServer;
    TEST_TempDir m_oDir;
    std::vector<std::string> m_asLog;

    static void SetUpTestSuite()
    {
        s_poServer = new TEST_XServer();
        if (!s_poServer->running())
            return;
        setenv("DISPLAY", s_poServer->display().c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    }
    static void TearDownTestSuite()
    {
        // SDL keeps its connection, which nothing uses any more.
        delete s_poServer;
        s_poServer = nullptr;
    }
    void SetUp() override
    {
        if (!s_poServer->running())
            TEST_SKIP_WITHOUT() << "no X server: " << s_poServer->failure();
    }
    std::string document(const std::string &name)
    {
        TEST_DocumentBuilder builder;
        builder.add("init.lua", "function startup() end\n");
        return m_oDir.write(name, builder.build());
    }
    CTRL_ShellSettings settings() const
    {
        CTRL_ShellSettings s;
        s.m_iWidth = 64;
        s.m_iHeight = 48;
        s.m_fDeltaTime = 0.02;
        return s;
    }
    std::function<CTRL_Desktop *()> maker()
    {
        return [this] { return new RecordingDesktop(&m_asLog); };
    }
};

TEST_XServer *Shell::s_poServer = nullptr;

TEST_F(Shell, EventsReachTheControllerOfTheirWindow)
{
    CTRL_Shell shell(settings(), maker());
    ASSERT_TRUE(shell.start({document("a.vk"), document("b.vk")}));
    ASSERT_EQ(shell.windowCount(), 2);
    unsigned int a = shell.windowId(0), b = shell.windowId(1);
    ASSERT_NE(a, b);
    shell.handleEvent(key(SDL_KEYDOWN, a, SDLK_a));
    shell.handleEvent(key(SDL_KEYDOWN, b, SDLK_b));
    shell.handleEvent(motion(b));
    shell.handleEvent(key(SDL_KEYUP, a, SDLK_a));
    shell.handleEvent(key(SDL_KEYDOWN, a + b + 100, SDLK_c)); // no such window
    EXPECT_EQ(m_asLog, (std::vector<std::string>{"a.vk down A", "b.vk down B", "b.vk motion", "a.vk up A"}));
}

TEST_F(Shell, TheChooserTakesItsKeysAndLetsEarlierPressesGo)
{
    CTRL_Shell shell(settings(), maker());
    ASSERT_TRUE(shell.start({document("a.vk")}));
    unsigned int a = shell.windowId(0);
    shell.handleEvent(key(SDL_KEYDOWN, a, SDLK_LCTRL, KMOD_LCTRL));
    shell.handleEvent(key(SDL_KEYDOWN, a, SDLK_x, KMOD_LCTRL));
    // Ctrl+L opens the chooser: the chord, the keys pressed while it is
    // open and the pointer are its own, the release of keys pressed before
    // is the document's.
    shell.handleEvent(key(SDL_KEYDOWN, a, SDLK_l, KMOD_LCTRL));
    shell.handleEvent(key(SDL_KEYUP, a, SDLK_l, KMOD_LCTRL));
    shell.handleEvent(key(SDL_KEYDOWN, a, SDLK_DOWN, KMOD_LCTRL));
    shell.handleEvent(motion(a));
    shell.handleEvent(key(SDL_KEYUP, a, SDLK_x, KMOD_LCTRL));
    shell.handleEvent(key(SDL_KEYUP, a, SDLK_LCTRL));
    shell.handleEvent(key(SDL_KEYUP, a, SDLK_DOWN));
    // Escape closes it; its release is the chooser's too.
    shell.handleEvent(key(SDL_KEYDOWN, a, SDLK_ESCAPE));
    shell.handleEvent(key(SDL_KEYUP, a, SDLK_ESCAPE));
    shell.handleEvent(key(SDL_KEYDOWN, a, SDLK_y));
    EXPECT_EQ(m_asLog, (std::vector<std::string>{"a.vk down Left Ctrl", "a.vk down X", "a.vk up X", "a.vk up Left Ctrl",
                                                 "a.vk down Y"}));
    EXPECT_EQ(shell.windowCount(), 1);
}

TEST_F(Shell, AKeyPressThatTypesNothingReachesTheControllerBeforeItsFrameAndBeforeTheChooser)
{
    CTRL_Shell shell(settings(), [] { return new CTRL_Desktop(new LMP_ScriptEngine()); });
    ASSERT_TRUE(shell.start({document("a.vk")}));
    unsigned int a = shell.windowId(0);
    CTRL_Desktop *controller = shell.controller(0);
    // A press waits for its text; the frame comes after the events read.
    shell.handleEvent(key(SDL_KEYDOWN, a, SDLK_UP));
    EXPECT_FALSE(controller->isKeyPressed(38));
    shell.runFrames();
    EXPECT_TRUE(controller->isKeyPressed(38));
    // A press before the chord that the chooser takes is the document's;
    // the text of a key the chooser took is not.
    shell.handleEvent(key(SDL_KEYDOWN, a, SDLK_LCTRL, KMOD_LCTRL));
    shell.handleEvent(key(SDL_KEYDOWN, a, SDLK_DOWN, KMOD_LCTRL));
    shell.handleEvent(key(SDL_KEYDOWN, a, SDLK_l, KMOD_LCTRL));
    EXPECT_TRUE(controller->isKeyPressed(40));
    SDL_Event text;
    memset(&text, 0, sizeof(text));
    text.type = SDL_TEXTINPUT;
    text.text.windowID = a;
    strcpy(text.text.text, "x");
    shell.handleEvent(key(SDL_KEYDOWN, a, SDLK_x));
    shell.handleEvent(text);
    shell.runFrames();
    EXPECT_FALSE(controller->isKeyPressed('X'));
}

TEST_F(Shell, AChoiceOpensTheDocumentAgainWithTheLanguage)
{
    CTRL_Shell shell(settings(), maker());
    ASSERT_TRUE(shell.start({document("a.vk"), document("b.vk")}));
    unsigned int b = shell.windowId(1);
    CTRL_Desktop *old = shell.controller(1);
    // In the second window: the chooser, then the first choice (FR).
    shell.handleEvent(key(SDL_KEYDOWN, b, SDLK_l, KMOD_LCTRL));
    shell.handleEvent(key(SDL_KEYDOWN, b, SDLK_HOME));
    shell.handleEvent(key(SDL_KEYDOWN, b, SDLK_RETURN));
    EXPECT_EQ(shell.language(), "FR");
    shell.runFrames();
    ASSERT_EQ(shell.windowCount(), 2);
    EXPECT_STREQ(strrchr(shell.controller(0)->m_sDocumentPath, '/'), "/a.vk");
    CTRL_Desktop *reopened = shell.controller(1);
    EXPECT_NE(reopened, old);
    EXPECT_STREQ(strrchr(reopened->m_sDocumentPath, '/'), "/b.vk");
    EXPECT_STREQ(reopened->m_acLanguage, "FR");
    EXPECT_NE(reopened->m_poDocument, nullptr);
    // The first window kept the locale's language.
    EXPECT_STRNE(shell.controller(0)->m_acLanguage, "FR");
}

TEST_F(Shell, DropsOpenWindowsAndTheLastWindowClosedEndsTheLoop)
{
    CTRL_ShellSettings s = settings();
    s.m_iFrames = 2;
    CTRL_Shell shell(s, maker());
    ASSERT_TRUE(shell.start({document("a.vk")}));
    SDL_Event drop;
    memset(&drop, 0, sizeof(drop));
    drop.type = SDL_DROPFILE;
    drop.drop.windowID = shell.windowId(0);
    std::string dropped = document("dropped.vk");
    drop.drop.file = SDL_strdup(dropped.c_str());
    shell.handleEvent(drop); // the shell frees the name
    ASSERT_EQ(shell.windowCount(), 2);
    EXPECT_NE(shell.controller(1)->m_poDocument, nullptr);
    drop.drop.file = SDL_strdup(m_oDir.path("missing.vk").c_str());
    shell.handleEvent(drop);
    ASSERT_EQ(shell.windowCount(), 3);
    // An empty window: no document, no error, no frames run by it.
    EXPECT_EQ(shell.controller(2)->m_poDocument, nullptr);
    EXPECT_FALSE(shell.controller(2)->m_bHalted);
    EXPECT_FALSE(shell.controller(2)->m_bRunning);
    shell.run(); // two frames each, then every window closes
    EXPECT_EQ(shell.windowCount(), 0);
    EXPECT_FALSE(shell.failed());
}

} // namespace
