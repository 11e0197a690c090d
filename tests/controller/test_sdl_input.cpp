#include <gtest/gtest.h>

#include <cstring>

#include "controller/desktop/CTRL_Desktop.h"
#include "controller/desktop/CTRL_SdlInput.h"
#include "tests/controller/input_test_support.h"
#include "tests/support/TEST_Support.h"

namespace {

SDL_Event key(bool down, SDL_Keycode sym, bool repeat = false)
{
    SDL_Event e;
    memset(&e, 0, sizeof(e));
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.sym = sym;
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

TEST_F(SdlInput, KeysAndModifiersBecomeKeyEvents)
{
    CTRL_SdlInput input(&m_oController);
    EXPECT_TRUE(input.handle(key(true, SDLK_a)));
    EXPECT_TRUE(m_oController.isKeyPressed(65));
    EXPECT_TRUE(input.handle(key(true, SDLK_a, true))); // held: repeated
    EXPECT_TRUE(input.handle(key(false, SDLK_a)));
    EXPECT_FALSE(m_oController.isKeyPressed(65));
    input.handle(key(true, SDLK_HOME)); // no code: nothing
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

    std::vector<int> types, codes;
    for (const InputRecord &r : m_oLog.m_aoRecords) {
        types.push_back(r.m_iCode);
        codes.push_back(r.m_iKey);
    }
    const int down = CTRL_ScriptEvent::KEY_DOWN, up = CTRL_ScriptEvent::KEY_UP;
    EXPECT_EQ(types, (std::vector<int>{down, down, up, down, up, down, down, up, up}));
    EXPECT_EQ(codes, (std::vector<int>{65, 65, 65, 16, 16, 17, 18, 17, 18}));
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
    EXPECT_EQ(m_oLog.codesOf(cube), (std::vector<int>{CTRL_CB_MOUSE_DOWN, CTRL_CB_MOUSE_UP}));
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
