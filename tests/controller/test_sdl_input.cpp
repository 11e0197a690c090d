#include <gtest/gtest.h>

#include <cstring>

#include "controller/desktop/CTRL_Desktop.h"
#include "controller/desktop/CTRL_SdlInput.h"
#include "model/MDL_Event.h"
#include "tests/controller/input_test_support.h"
#include "tests/support/TEST_Support.h"

namespace {

SDL_Event key(bool down, SDL_Keycode sym, bool repeat = false, SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN)
{
    SDL_Event e;
    memset(&e, 0, sizeof(e));
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.sym = sym;
    e.key.keysym.scancode = scancode;
    return e;
}

// A key of a physical place (scancode) pressed, held (repeated) and released.
SDL_Event press(SDL_Scancode scancode, SDL_Keycode sym)
{
    return key(true, sym, false, scancode);
}
SDL_Event repeat(SDL_Scancode scancode, SDL_Keycode sym)
{
    return key(true, sym, true, scancode);
}
SDL_Event release(SDL_Scancode scancode, SDL_Keycode sym)
{
    return key(false, sym, false, scancode);
}

// The text that a press typed, as SDL reports it after the press.
SDL_Event typed(const char *text)
{
    SDL_Event e;
    memset(&e, 0, sizeof(e));
    e.type = SDL_TEXTINPUT;
    strncpy(e.text.text, text, sizeof(e.text.text) - 1);
    return e;
}

SDL_Event button(bool down, Uint8 which, int x, int y)
{
    SDL_Event e;
    memset(&e, 0, sizeof(e));
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = which;
    e.button.x = x;
    e.button.y = y;
    return e;
}

SDL_Event motion(int x, int y)
{
    SDL_Event e;
    memset(&e, 0, sizeof(e));
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    return e;
}

SDL_Event wheel(float amount, int x, int y, bool flipped)
{
    SDL_Event e;
    memset(&e, 0, sizeof(e));
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = static_cast<Sint32>(amount);
    e.wheel.preciseY = amount;
    e.wheel.mouseX = x;
    e.wheel.mouseY = y;
    e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    return e;
}

typedef InputFixture SdlInput;

} // namespace

TEST(SdlKeyCodes, CharactersArrowsFunctionKeysAndTheKeypad)
{
    struct Case {
        SDL_Keycode key;
        int code;
    };
    const Case cases[] = {
        {SDLK_a, 65},      {SDLK_z, 90},        {SDLK_1, 49},     {SDLK_SPACE, 32}, {SDLK_RETURN, 13},
        {SDLK_ESCAPE, 27}, {SDLK_BACKSPACE, 8}, {SDLK_TAB, 9},    {SDLK_COMMA, 44}, {SDLK_LEFT, 37},
        {SDLK_UP, 38},     {SDLK_RIGHT, 39},    {SDLK_DOWN, 40},  {SDLK_F1, 112},   {SDLK_F8, 119},
        {SDLK_F12, 123},   {SDLK_KP_ENTER, 13}, {SDLK_KP_0, '0'}, {SDLK_KP_7, '7'}, {SDLK_KP_PLUS, '+'},
        {SDLK_HOME, 0},    {SDLK_LSHIFT, 0},    {SDLK_F13, 0},    {0x00e9, 0x00e9}, // a letter of a layout
    };
    for (const Case &c : cases)
        EXPECT_EQ(CTRL_SdlInput::keyCode(c.key), c.code) << c.key;
}

// The key events the controller was handed: the code, negative for a
// release.
std::vector<int> keyEvents(const InputLog &log)
{
    std::vector<int> codes;
    for (const InputRecord &r : log.m_aoRecords) {
        if (r.m_iCode == CTRL_ScriptEvent::KEY_DOWN)
            codes.push_back(r.m_iKey);
        else if (r.m_iCode == CTRL_ScriptEvent::KEY_UP)
            codes.push_back(-r.m_iKey);
    }
    return codes;
}

TEST_F(SdlInput, KeysGiveTheCharactersTheyTypeAndTheirReleasesTheSame)
{
    const SDL_Scancode A = SDL_SCANCODE_A, ONE = SDL_SCANCODE_1, SHIFT = SDL_SCANCODE_LSHIFT, CTRL = SDL_SCANCODE_LCTRL,
                       SEMICOLON = SDL_SCANCODE_SEMICOLON;
    struct Case {
        const char *what;
        std::vector<SDL_Event> events;
        std::vector<int> codes; // negative: released
    };
    const Case cases[] = {
        {"a", {press(A, SDLK_a), typed("a"), release(A, SDLK_a)}, {65, -65}},
        {"shift and a: A",
         {press(SHIFT, SDLK_LSHIFT), press(A, SDLK_a), typed("A"), release(A, SDLK_a), release(SHIFT, SDLK_LSHIFT)},
         {16, 65, -65, -16}},
        {"shift and 1: !, released after shift still !",
         {press(SHIFT, SDLK_LSHIFT), press(ONE, SDLK_1), typed("!"), release(SHIFT, SDLK_LSHIFT), release(ONE, SDLK_1)},
         {16, 33, -16, -33}},
        {"control and a types nothing: its key, A",
         {press(CTRL, SDLK_LCTRL), press(A, SDLK_a), release(A, SDLK_a), release(CTRL, SDLK_LCTRL)},
         {17, 65, -65, -17}},
        {"keys that type nothing",
         {press(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE), release(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE),
          press(SDL_SCANCODE_RETURN, SDLK_RETURN), release(SDL_SCANCODE_RETURN, SDLK_RETURN),
          press(SDL_SCANCODE_UP, SDLK_UP), press(SDL_SCANCODE_F8, SDLK_F8), release(SDL_SCANCODE_F8, SDLK_F8),
          release(SDL_SCANCODE_UP, SDLK_UP), press(SDL_SCANCODE_HOME, SDLK_HOME),
          release(SDL_SCANCODE_HOME, SDLK_HOME)},
         {27, -27, 13, -13, 38, 119, -119, -38}},
        {"another layout: the characters typed, beyond 255 too",
         {press(SEMICOLON, 0x0436), typed("\xd0\xb6"), press(SDL_SCANCODE_2, 0xe9), typed("\xc3\xa9"),
          release(SDL_SCANCODE_2, 0xe9), release(SEMICOLON, 0x0436)},
         {0x436, 0xe9, -0xe9, -0x436}},
        {"a held key repeats its press; the repeats' text adds nothing",
         {press(ONE, SDLK_1), typed("!"), repeat(ONE, SDLK_1), typed("!"), repeat(ONE, SDLK_1), typed("1"),
          release(ONE, SDLK_1)},
         {33, 33, 33, -33}},
        {"two characters of one key, in order",
         {press(A, SDLK_a), typed("`a"), release(A, SDLK_a)},
         {96, 65, -96, -65}},
        {"text with no key pressed; a release of a press not seen", {typed("x"), release(A, SDLK_a)}, {-65}},
    };
    for (const Case &c : cases) {
        m_oLog.m_aoRecords.clear();
        CTRL_SdlInput input(&m_oController);
        for (const SDL_Event &e : c.events)
            EXPECT_TRUE(input.handle(e)) << c.what;
        input.flush();
        EXPECT_EQ(keyEvents(m_oLog), c.codes) << c.what;
    }
}

TEST_F(SdlInput, APressWaitsForItsTextUntilTheNextEventOrAFlush)
{
    CTRL_SdlInput input(&m_oController);
    input.handle(press(SDL_SCANCODE_1, SDLK_1));
    EXPECT_TRUE(m_oLog.m_aoRecords.empty());
    input.handle(typed("!"));
    EXPECT_TRUE(m_oController.isKeyPressed(33));
    // A press that no text follows is handed on with the next event...
    input.handle(press(SDL_SCANCODE_UP, SDLK_UP));
    input.handle(motion(1, 1));
    EXPECT_TRUE(m_oController.isKeyPressed(38));
    // ... or when the events read at one time end.
    input.handle(press(SDL_SCANCODE_TAB, SDLK_TAB));
    EXPECT_FALSE(m_oController.isKeyPressed(9));
    input.flush();
    EXPECT_TRUE(m_oController.isKeyPressed(9));
    input.flush(); // nothing more
    EXPECT_EQ(keyEvents(m_oLog), (std::vector<int>{33, 38, 9}));
}

TEST_F(SdlInput, EitherModifierKeyIsTheModifier)
{
    CTRL_SdlInput input(&m_oController);
    // Either shift key is shift: down with the first, up with the last; a
    // repeated modifier changes nothing.
    input.handle(key(true, SDLK_LSHIFT));
    input.handle(key(true, SDLK_LSHIFT, true));
    input.handle(key(true, SDLK_RSHIFT));
    EXPECT_TRUE(input.shift());
    input.handle(key(false, SDLK_LSHIFT));
    EXPECT_TRUE(m_oController.isKeyPressed(16));
    input.handle(key(false, SDLK_RSHIFT));
    EXPECT_FALSE(input.shift());
    input.handle(key(true, SDLK_RCTRL));
    EXPECT_TRUE(input.control());
    input.handle(key(true, SDLK_LALT));
    input.handle(key(false, SDLK_RCTRL));
    input.handle(key(false, SDLK_LALT));
    EXPECT_EQ(keyEvents(m_oLog), (std::vector<int>{16, -16, 17, 18, -17, -18}));
}

TEST_F(SdlInput, MousePositionsInViewPixelsAndTheWheel)
{
    MDL_Mesh *cube = addCube(MTH_Vector3D(), STATE_ACTIVE | STATE_VISIBLE | STATE_MOVABLE, false);
    CTRL_SdlInput input(&m_oController);
    // A window of half the drawing size: SDL's coordinates times 2.
    input.setScale(2, 2);
    EXPECT_TRUE(input.handle(motion(50, 50)));
    expectNear(MTH_Vector2D(100, 100), m_oController.m_oMouse);
    EXPECT_EQ(m_oController.m_poHoverObject, cube);
    input.handle(button(true, SDL_BUTTON_LEFT, 50, 50));
    EXPECT_EQ(m_oController.m_poGrabbedObject, cube);
    // Shift with the motion moves the grab depth; without it, it does not.
    double depth = m_oController.m_oViewportMouse.m_fZ;
    input.handle(motion(50, 45));
    EXPECT_EQ(m_oController.m_oViewportMouse.m_fZ, depth);
    input.handle(key(true, SDLK_LSHIFT));
    input.handle(motion(50, 40));
    EXPECT_NE(m_oController.m_oViewportMouse.m_fZ, depth);
    input.handle(key(false, SDLK_LSHIFT));
    input.handle(button(false, SDL_BUTTON_LEFT, 50, 40));
    EXPECT_FALSE(m_oController.m_bLeftButtonDown);
    EXPECT_EQ(m_oLog.codesOf(cube), (std::vector<int>{MDL_CB_MOUSE_DOWN, MDL_CB_MOUSE_UP}));
    expectNear(MTH_Vector2D(100, 80), m_oController.m_oMouse);

    input.handle(button(true, SDL_BUTTON_RIGHT, 10, 10));
    EXPECT_TRUE(m_oController.m_bRightButtonDown);
    input.handle(button(false, SDL_BUTTON_RIGHT, 10, 10));
    EXPECT_FALSE(m_oController.m_bRightButtonDown);
    EXPECT_TRUE(input.handle(button(true, SDL_BUTTON_MIDDLE, 10, 10)));
    EXPECT_FALSE(m_oController.m_bLeftButtonDown || m_oController.m_bRightButtonDown);

    // The wheel: sixty times the scroll, the other way when flipped.
    m_oLog.m_aoRecords.clear();
    input.handle(wheel(1.5f, 25, 50, false));
    input.handle(wheel(1.0f, 25, 50, true));
    ASSERT_EQ(m_oLog.m_aoRecords.size(), 2u);
    EXPECT_EQ(m_oLog.m_aoRecords[0].m_fZoom, 90);
    EXPECT_EQ(m_oLog.m_aoRecords[1].m_fZoom, -60);
    expectNear(MTH_Vector2D(0.25, 0.5), m_oLog.m_aoRecords[0].m_oAt);

    SDL_Event other;
    memset(&other, 0, sizeof(other));
    other.type = SDL_WINDOWEVENT;
    EXPECT_FALSE(input.handle(other));
}

TEST(SdlInputCursor, ADesktopControllerWithoutADisplayShowsNoCursor)
{
    // The cursor kinds are asked for; with no video there is none to show,
    // and nothing fails.
    CTRL_Desktop controller(nullptr);
    CTRL_SdlInput input(&controller);
    controller.setCursor(CTRL_CURSOR_CROSSHAIR);
    EXPECT_TRUE(input.handle(motion(5, 5)));
    EXPECT_EQ(controller.m_iCursor, CTRL_CURSOR_ARROW);
}
