#include "controller/desktop/CTRL_LanguageChooser.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>

#include "view/opengl/VIEW_OpenGL.h"

namespace {

struct Choice {
    const char *m_sCode;
    const char *m_sLabel;
};

// The default font has no Chinese characters: that name is spelt out.
const Choice CHOICES[CTRL_LanguageChooser::kiChoices] = {
    {"FR", "Français (FR)"}, {"DE", "Deutsch (DE)"},  {"IT", "Italiano (IT)"}, {"ES", "Español (ES)"},
    {"RU", "Русский (RU)"},  {"ZH", "Zhongwen (ZH)"}, {"US", "English (US)"},
};

const char *const TITLE = "Language";
// The panel's lines: the title, then the choices.
const int LINES = CTRL_LanguageChooser::kiChoices + 1;

} // namespace

const char *CTRL_LanguageChooser::code(int choice)
{
    return choice >= 0 && choice < kiChoices ? CHOICES[choice].m_sCode : "US";
}

const char *CTRL_LanguageChooser::label(int choice)
{
    return choice >= 0 && choice < kiChoices ? CHOICES[choice].m_sLabel : "";
}

int CTRL_LanguageChooser::choiceOf(const char *code)
{
    if (code == nullptr || code[0] == '\0' || code[1] == '\0' || code[2] != '\0')
        return -1;
    for (int i = 0; i < kiChoices; i++)
        if (toupper(static_cast<unsigned char>(code[0])) == CHOICES[i].m_sCode[0] &&
            toupper(static_cast<unsigned char>(code[1])) == CHOICES[i].m_sCode[1])
            return i;
    return -1;
}

CTRL_LanguageChooser::Layout CTRL_LanguageChooser::layout(int width, int height)
{
    // The panel is eight lines wide and nine high (the lines and half a
    // line above and below), within nine tenths of the surface, a line
    // being at most 40 pixels.
    double line = std::min({height * 0.9 / (LINES + 1), width * 0.9 / 8, 40.0});
    Layout l;
    l.m_fLine = line > 1 ? line : 1;
    l.m_fPadding = l.m_fLine / 2;
    l.m_fWidth = 8 * l.m_fLine;
    l.m_fHeight = (LINES + 1) * l.m_fLine;
    l.m_fX = (width - l.m_fWidth) / 2;
    l.m_fY = (height - l.m_fHeight) / 2;
    return l;
}

int CTRL_LanguageChooser::choiceAt(const Layout &l, double x, double y)
{
    if (x < l.m_fX || x >= l.m_fX + l.m_fWidth)
        return -1;
    double row = (y - (l.m_fY + l.m_fPadding)) / l.m_fLine - 1; // 0: the first choice
    if (row < 0 || row >= kiChoices)
        return -1;
    return static_cast<int>(row);
}

void CTRL_LanguageChooser::open(const char *current)
{
    int choice = choiceOf(current);
    m_iSelected = choice >= 0 ? choice : kiChoices - 1;
    m_bOpen = true;
}

int CTRL_LanguageChooser::handleEvent(const SDL_Event &event, int width, int height, double scaleX, double scaleY)
{
    if (!m_bOpen)
        return -1;
    Layout l = layout(width, height);
    int chosen = -1;
    switch (event.type) {
    case SDL_KEYDOWN:
        switch (event.key.keysym.sym) {
        case SDLK_UP:
        case SDLK_KP_8:
            m_iSelected = (m_iSelected + kiChoices - 1) % kiChoices;
            break;
        case SDLK_DOWN:
        case SDLK_KP_2:
        case SDLK_TAB:
            m_iSelected = (m_iSelected + 1) % kiChoices;
            break;
        case SDLK_HOME:
            m_iSelected = 0;
            break;
        case SDLK_END:
            m_iSelected = kiChoices - 1;
            break;
        case SDLK_RETURN:
        case SDLK_RETURN2:
        case SDLK_KP_ENTER:
        case SDLK_SPACE:
            chosen = m_iSelected;
            break;
        case SDLK_ESCAPE:
            m_bOpen = false;
            break;
        default:
            break;
        }
        break;
    case SDL_MOUSEMOTION: {
        int at = choiceAt(l, event.motion.x * scaleX, event.motion.y * scaleY);
        if (at >= 0)
            m_iSelected = at;
        break;
    }
    case SDL_MOUSEBUTTONDOWN: {
        double x = event.button.x * scaleX, y = event.button.y * scaleY;
        int at = choiceAt(l, x, y);
        if (at >= 0)
            chosen = at;
        else if (x < l.m_fX || x >= l.m_fX + l.m_fWidth || y < l.m_fY || y >= l.m_fY + l.m_fHeight)
            m_bOpen = false;
        break;
    }
    case SDL_MOUSEWHEEL:
        if (event.wheel.y > 0)
            m_iSelected = (m_iSelected + kiChoices - 1) % kiChoices;
        else if (event.wheel.y < 0)
            m_iSelected = (m_iSelected + 1) % kiChoices;
        break;
    default:
        break;
    }
    if (chosen >= 0) {
        m_iSelected = chosen;
        m_bOpen = false;
    }
    return chosen;
}

void CTRL_LanguageChooser::drawOverlay(VIEW_OpenGL *renderer, int width, int height)
{
    if (!m_bOpen || width < 1 || height < 1)
        return;
    MTH_Vector2D surface(width, height);
    if (!renderer->beginOverlay(MTH_Vector2D(0, 0), surface))
        return;
    Layout l = layout(width, height);
    // The document dimmed, the panel over it, the highlighted line.
    renderer->fillRectangle(MTH_Vector2D(0, 0), surface, MTH_Vector4D(0, 0, 0, 0.45));
    renderer->fillRectangle(MTH_Vector2D(l.m_fX, l.m_fY), MTH_Vector2D(l.m_fWidth, l.m_fHeight),
                            MTH_Vector4D(0.12, 0.13, 0.12, 0.95));
    double top = l.m_fY + l.m_fPadding;
    renderer->fillRectangle(MTH_Vector2D(l.m_fX, top + (m_iSelected + 1) * l.m_fLine),
                            MTH_Vector2D(l.m_fWidth, l.m_fLine), MTH_Vector4D(0.41, 0.61, 0.18, 1));
    // Texts are placed and sized in units of the surface's width; a text
    // size s makes glyphs of an em of 64 s / 72 widths.
    double em = 0.6 * l.m_fLine, size = em * 72 / (64 * width);
    double left = (l.m_fX + l.m_fLine / 2) / width;
    for (int i = 0; i < LINES; i++) {
        double baseline = top + i * l.m_fLine + 0.72 * l.m_fLine;
        const char *text = i == 0 ? TITLE : CHOICES[i - 1].m_sLabel;
        MTH_Vector4D color = i == 0 ? MTH_Vector4D(0.66, 0.84, 0.3, 1) : MTH_Vector4D(1, 1, 1, 1);
        renderer->drawTextAt(MTH_Vector2D(left, baseline / width), m_poFont, text, color, size);
    }
}
