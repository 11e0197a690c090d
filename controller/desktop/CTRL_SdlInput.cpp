#include "controller/desktop/CTRL_SdlInput.h"

#include <climits>

#include "controller/CTRL_Generic.h"
#include "foundation/UTIL_UTF8.h"

namespace {

// The wheel amount per unit of scrolling, as the controller takes it.
const double WHEEL_SCALE = 60;

// The modifiers' key codes (KEY_SHIFT, KEY_CONTROL, KEY_MENU).
const int SHIFT_CODE = 16;
const int CONTROL_CODE = 17;
const int ALT_CODE = 18;

} // namespace

CTRL_SdlInput::CTRL_SdlInput(CTRL_Generic *controller)
    : m_poController(controller), m_fScaleX(1), m_fScaleY(1), m_fMouseX(0), m_fMouseY(0), m_uiModifierKeys(0),
      m_bWaiting(false), m_oWaitingKey(), m_aaiPressCodes(SDL_NUM_SCANCODES)
{
}

void CTRL_SdlInput::setScale(double x, double y)
{
    m_fScaleX = x > 0 ? x : 1;
    m_fScaleY = y > 0 ? y : 1;
}

int CTRL_SdlInput::keyCode(SDL_Keycode key)
{
    if (key >= 'a' && key <= 'z')
        return key - 'a' + 'A';
    // Keys of characters are their characters (SDL numbers them so).
    if (key > 0 && (key & SDLK_SCANCODE_MASK) == 0)
        return key;
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return 112 + (key - SDLK_F1);
    switch (key) {
    case SDLK_LEFT:
        return 37;
    case SDLK_UP:
        return 38;
    case SDLK_RIGHT:
        return 39;
    case SDLK_DOWN:
        return 40;
    case SDLK_KP_ENTER:
        return '\r';
    case SDLK_KP_DIVIDE:
        return '/';
    case SDLK_KP_MULTIPLY:
        return '*';
    case SDLK_KP_MINUS:
        return '-';
    case SDLK_KP_PLUS:
        return '+';
    case SDLK_KP_PERIOD:
        return '.';
    case SDLK_KP_0:
        return '0';
    default:
        break;
    }
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return '1' + (key - SDLK_KP_1);
    return 0;
}

int CTRL_SdlInput::characterCode(uint64_t codePoint)
{
    if (codePoint >= 'a' && codePoint <= 'z')
        return static_cast<int>(codePoint - 'a' + 'A');
    // The decoder's longest sequences end below 2^31.
    return codePoint <= INT_MAX ? static_cast<int>(codePoint) : 0xFFFD;
}

std::vector<int> &CTRL_SdlInput::codesOf(SDL_Scancode scancode)
{
    // A scancode beyond SDL's range (a made-up event) counts as unknown.
    bool known = scancode >= 0 && scancode < SDL_NUM_SCANCODES;
    return m_aaiPressCodes[static_cast<size_t>(known ? scancode : SDL_SCANCODE_UNKNOWN)];
}

void CTRL_SdlInput::press(const char *text)
{
    m_bWaiting = false;
    std::vector<int> &codes = codesOf(m_oWaitingKey.scancode);
    codes.clear();
    uint64_t codePoint = 0;
    for (int length = 0; text != nullptr && (length = UTIL_decodeUTF8(&codePoint, text)) > 0; text += length)
        codes.push_back(characterCode(codePoint));
    if (codes.empty()) {
        int code = keyCode(m_oWaitingKey.sym);
        if (code != 0)
            codes.push_back(code);
    }
    for (int code : codes)
        m_poController->keyDown(code);
}

void CTRL_SdlInput::flush()
{
    if (m_bWaiting)
        press(nullptr);
}

bool CTRL_SdlInput::modifier(SDL_Keycode key, bool down)
{
    unsigned bit;
    switch (key) {
    case SDLK_LSHIFT:
        bit = LEFT_SHIFT;
        break;
    case SDLK_RSHIFT:
        bit = RIGHT_SHIFT;
        break;
    case SDLK_LCTRL:
        bit = LEFT_CONTROL;
        break;
    case SDLK_RCTRL:
        bit = RIGHT_CONTROL;
        break;
    case SDLK_LALT:
        bit = LEFT_ALT;
        break;
    case SDLK_RALT:
        bit = RIGHT_ALT;
        break;
    default:
        return false;
    }
    unsigned before = m_uiModifierKeys;
    m_uiModifierKeys = down ? before | bit : before & ~bit;
    // Control, shift, alt: the order of the modifier key events.
    static const struct {
        unsigned m_uiKeys;
        int m_iCode;
    } modifiers[] = {{CONTROL_KEYS, CONTROL_CODE}, {SHIFT_KEYS, SHIFT_CODE}, {ALT_KEYS, ALT_CODE}};
    for (const auto &m : modifiers) {
        bool was = (before & m.m_uiKeys) != 0, is = (m_uiModifierKeys & m.m_uiKeys) != 0;
        if (is && !was)
            m_poController->keyDown(m.m_iCode);
        else if (was && !is)
            m_poController->keyUp(m.m_iCode);
    }
    return true;
}

bool CTRL_SdlInput::handle(const SDL_Event &event)
{
    if (event.type == SDL_TEXTINPUT) {
        // The text of the key whose press waits. Text without such a key (a
        // held key's repeats, an input method's late text) adds nothing.
        if (m_bWaiting)
            press(event.text.text);
        return true;
    }
    // Whatever else comes, the waiting key typed nothing.
    flush();
    switch (event.type) {
    case SDL_KEYDOWN: {
        if (modifier(event.key.keysym.sym, true))
            return true;
        // A held key repeats its press, as the keyboard does.
        std::vector<int> &codes = codesOf(event.key.keysym.scancode);
        if (event.key.repeat != 0 && !codes.empty()) {
            for (int code : codes)
                m_poController->keyDown(code);
            return true;
        }
        m_bWaiting = true;
        m_oWaitingKey = event.key.keysym;
        return true;
    }
    case SDL_KEYUP: {
        if (modifier(event.key.keysym.sym, false))
            return true;
        std::vector<int> codes;
        codes.swap(codesOf(event.key.keysym.scancode));
        // A key pressed before the window had the keyboard: its key code.
        int code = keyCode(event.key.keysym.sym);
        if (codes.empty() && code != 0)
            codes.push_back(code);
        for (int released : codes)
            m_poController->keyUp(released);
        return true;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        double x = event.button.x * m_fScaleX, y = event.button.y * m_fScaleY;
        bool down = event.type == SDL_MOUSEBUTTONDOWN;
        if (event.button.button == SDL_BUTTON_LEFT) {
            if (down)
                m_poController->mouseDown(control(), x, y);
            else
                m_poController->mouseUp(x, y);
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            if (down)
                m_poController->rightMouseDown(x, y);
            else
                m_poController->rightMouseUp(x, y);
        }
        return true;
    }
    case SDL_MOUSEMOTION:
        m_fMouseX = event.motion.x;
        m_fMouseY = event.motion.y;
        m_poController->mouseMove(shift(), control(), event.motion.x * m_fScaleX, event.motion.y * m_fScaleY);
        return true;
    case SDL_MOUSEWHEEL: {
#if SDL_VERSION_ATLEAST(2, 0, 18)
        double amount = event.wheel.preciseY;
#else
        double amount = event.wheel.y;
#endif
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
            amount = -amount;
#if SDL_VERSION_ATLEAST(2, 26, 0)
        double x = event.wheel.mouseX, y = event.wheel.mouseY;
#else
        double x = m_fMouseX, y = m_fMouseY; // where the mouse was last seen
#endif
        m_poController->mouseWheel(shift(), x * m_fScaleX, y * m_fScaleY, amount * WHEEL_SCALE);
        return true;
    }
    default:
        return false;
    }
}
