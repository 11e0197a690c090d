// The language chooser of a window: its choices, the keys, the wheel and
// the pointer that move and choose, and what it draws over a frame.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>
#include <cstring>
#include <string>

#include "controller/CTRL_Generic.h"
#include "controller/desktop/CTRL_DrawingHost.h"
#include "controller/desktop/CTRL_LanguageChooser.h"
#include "foundation/UTIL_Bitmap.h"
#include "view/desktop/VIEW_EglContext.h"
#include "tests/support/TEST_Support.h"

namespace {

SDL_Event keyDown(SDL_Keycode key)
{
    SDL_Event event;
    memset(&event, 0, sizeof(event));
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    return event;
}

SDL_Event mouse(Uint32 type, double x, double y)
{
    SDL_Event event;
    memset(&event, 0, sizeof(event));
    event.type = type;
    if (type == SDL_MOUSEMOTION) {
        event.motion.x = static_cast<Sint32>(x);
        event.motion.y = static_cast<Sint32>(y);
    } else {
        event.button.button = SDL_BUTTON_LEFT;
        event.button.x = static_cast<Sint32>(x);
        event.button.y = static_cast<Sint32>(y);
    }
    return event;
}

// The middle of a choice's line.
void lineMiddle(const CTRL_LanguageChooser::Layout &l, int choice, double &x, double &y)
{
    x = l.m_fX + l.m_fWidth / 2;
    y = l.m_fY + l.m_fPadding + (choice + 1.5) * l.m_fLine;
}

} // namespace

TEST(LanguageChooser, ChoicesAndCodes)
{
    const char *const codes[] = {"FR", "DE", "IT", "ES", "RU", "ZH", "US"};
    ASSERT_EQ(CTRL_LanguageChooser::kiChoices, 7);
    for (int i = 0; i < 7; i++) {
        EXPECT_STREQ(CTRL_LanguageChooser::code(i), codes[i]);
        EXPECT_EQ(CTRL_LanguageChooser::choiceOf(codes[i]), i);
        EXPECT_NE(std::string(CTRL_LanguageChooser::label(i)).find(std::string("(") + codes[i] + ")"),
                  std::string::npos);
    }
    EXPECT_EQ(CTRL_LanguageChooser::choiceOf("fr"), 0);
    for (const char *other : {"", "F", "FRA", "PT", "fr_FR"})
        EXPECT_EQ(CTRL_LanguageChooser::choiceOf(other), -1) << other;
    EXPECT_EQ(CTRL_LanguageChooser::choiceOf(nullptr), -1);
}

TEST(LanguageChooser, KeysMoveAndChoose)
{
    CTRL_LanguageChooser chooser(nullptr);
    EXPECT_EQ(chooser.handleEvent(keyDown(SDLK_RETURN), 320, 240, 1, 1), -1); // closed: nothing
    chooser.open("DE");
    EXPECT_TRUE(chooser.isOpen());
    EXPECT_EQ(chooser.selected(), 1);
    for (SDL_Keycode key : {SDLK_DOWN, SDLK_DOWN})
        EXPECT_EQ(chooser.handleEvent(keyDown(key), 320, 240, 1, 1), -1);
    EXPECT_EQ(chooser.selected(), 3);
    EXPECT_EQ(chooser.handleEvent(keyDown(SDLK_RETURN), 320, 240, 1, 1), 3);
    EXPECT_FALSE(chooser.isOpen());

    // A language that is no choice starts at US; up from the first wraps.
    chooser.open("PT");
    EXPECT_EQ(chooser.selected(), 6);
    chooser.handleEvent(keyDown(SDLK_HOME), 320, 240, 1, 1);
    chooser.handleEvent(keyDown(SDLK_UP), 320, 240, 1, 1);
    EXPECT_EQ(chooser.selected(), 6);
    EXPECT_EQ(chooser.handleEvent(keyDown(SDLK_ESCAPE), 320, 240, 1, 1), -1);
    EXPECT_FALSE(chooser.isOpen());
}

TEST(LanguageChooser, ThePointerHighlightsAndAClickChooses)
{
    // A window of 320 x 240 units drawn at twice its size.
    CTRL_LanguageChooser chooser(nullptr);
    CTRL_LanguageChooser::Layout l = CTRL_LanguageChooser::layout(640, 480);
    double x, y;
    chooser.open("US");
    lineMiddle(l, 4, x, y);
    EXPECT_EQ(chooser.handleEvent(mouse(SDL_MOUSEMOTION, x / 2, y / 2), 640, 480, 2, 2), -1);
    EXPECT_EQ(chooser.selected(), 4);
    // The title's line chooses nothing.
    EXPECT_EQ(chooser.handleEvent(mouse(SDL_MOUSEBUTTONDOWN, x / 2, (l.m_fY + l.m_fLine) / 2), 640, 480, 2, 2), -1);
    EXPECT_TRUE(chooser.isOpen());
    lineMiddle(l, 0, x, y);
    EXPECT_EQ(chooser.handleEvent(mouse(SDL_MOUSEBUTTONDOWN, x / 2, y / 2), 640, 480, 2, 2), 0);
    EXPECT_FALSE(chooser.isOpen());
    // A click beside the panel closes it.
    chooser.open("US");
    EXPECT_EQ(chooser.handleEvent(mouse(SDL_MOUSEBUTTONDOWN, 1, 1), 640, 480, 2, 2), -1);
    EXPECT_FALSE(chooser.isOpen());
}

TEST(LanguageChooser, TheLayoutFitsTheSurface)
{
    for (int size : {40, 160, 2000}) {
        CTRL_LanguageChooser::Layout l = CTRL_LanguageChooser::layout(size, size * 3 / 4);
        EXPECT_GE(l.m_fX, 0) << size;
        EXPECT_GE(l.m_fY, 0) << size;
        EXPECT_LE(l.m_fX + l.m_fWidth, size) << size;
        EXPECT_LE(l.m_fY + l.m_fHeight, size * 3 / 4) << size;
        EXPECT_LE(l.m_fLine, 40) << size;
        double x, y;
        lineMiddle(l, 6, x, y);
        EXPECT_EQ(CTRL_LanguageChooser::choiceAt(l, x, y), 6) << size;
    }
}

TEST(LanguageChooser, DrawsThePanelOverTheFrame)
{
    char error[256];
    VIEW_EglContext *context = VIEW_EglContext::create(320, 240, error, sizeof(error));
    if (context == nullptr)
        TEST_SKIP_WITHOUT() << "no OpenGL: " << error;
    {
        // No document: the frame is the white splash.
        CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
        CTRL_DrawingHost host(&controller);
        CTRL_LanguageChooser chooser(controller.m_poDefaultFont);
        chooser.open("IT");
        host.refresh(context, 320, 240, 0.02, &chooser);
        UTIL_Bitmap frame;
        ASSERT_TRUE(host.readFrame(context, frame));
        host.release(context);
        auto at = [&](double x, double y) {
            int ix = static_cast<int>(x), iy = static_cast<int>(y);
            const unsigned char *p = frame.m_pucData + ((frame.m_iHeight - 1 - iy) * frame.m_iWidth + ix) * 3;
            return std::vector<int>{p[0], p[1], p[2]};
        };
        CTRL_LanguageChooser::Layout l = CTRL_LanguageChooser::layout(320, 240);
        // The white splash dimmed beside the panel, the panel's dark ground
        // in its padding, the highlight on the current language at the
        // line's end (where no text reaches).
        for (int c : at(2, 2))
            EXPECT_NEAR(c, 140, 2);
        std::vector<int> panel = at(l.m_fX + 2, l.m_fY + 2);
        EXPECT_LT(panel[0], 40);
        EXPECT_LT(panel[1], 40);
        std::vector<int> highlight = at(l.m_fX + l.m_fWidth - 3, l.m_fY + l.m_fPadding + 3.5 * l.m_fLine);
        EXPECT_NEAR(highlight[0], 105, 2);
        EXPECT_NEAR(highlight[1], 156, 2);
        EXPECT_NEAR(highlight[2], 46, 2);
        // Every choice's line holds white glyphs.
        for (int line = 0; line < CTRL_LanguageChooser::kiChoices; line++) {
            int bright = 0;
            double top = l.m_fY + l.m_fPadding + (line + 1) * l.m_fLine;
            for (double y = top; y < top + l.m_fLine; y++)
                for (double x = l.m_fX; x < l.m_fX + l.m_fWidth; x++) {
                    std::vector<int> p = at(x, y);
                    if (p[0] > 220 && p[1] > 220 && p[2] > 220)
                        bright++;
                }
            EXPECT_GT(bright, 20) << "line " << line;
        }
    }
    delete context;
}
