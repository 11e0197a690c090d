#pragma once

#include "controller/desktop/CTRL_DrawingHost.h"

union SDL_Event;
class MDL_Font;

// The small panel in which a window's user chooses the language that
// documents read (getLanguage): a title and one line per language, drawn by
// the player over the document. The arrow keys (or the wheel, or the
// pointer) move the highlight, Enter (or a click on a line) chooses, Escape
// (or a click beside the panel) closes it without a choice.
class CTRL_LanguageChooser : public CTRL_Overlay {
public:
    // The choices, in order: "FR", "DE", "IT", "ES", "RU", "ZH", "US".
    static constexpr int kiChoices = 7;
    static const char *code(int choice);
    // The line shown for a choice: the language's name and its code.
    static const char *label(int choice);
    // The choice of a code (upper or lower case); -1 for any other.
    static int choiceOf(const char *code);

    // Where the panel is drawn in a surface of width x height pixels (y
    // downwards): its corner and size, the height of a line, the title's
    // line first.
    struct Layout {
        double m_fX, m_fY, m_fWidth, m_fHeight;
        double m_fLine;
        double m_fPadding;
    };
    static Layout layout(int width, int height);
    // The choice whose line holds the pixel, -1 for none.
    static int choiceAt(const Layout &layout, double x, double y);

    explicit CTRL_LanguageChooser(MDL_Font *font) : m_poFont(font), m_bOpen(false), m_iSelected(0) {}

    bool isOpen() const { return m_bOpen; }
    // Opens with the current language highlighted ("US" when it is none of
    // the choices).
    void open(const char *current);
    void close() { m_bOpen = false; }
    int selected() const { return m_iSelected; }

    // An event of the window while the panel is open; pixels are the
    // drawing surface's (width x height), scaleX and scaleY the surface's
    // pixels per window unit (mouse positions come in window units).
    // Returns the choice made, which closes the panel, or -1.
    int handleEvent(const SDL_Event &event, int width, int height, double scaleX, double scaleY);

    void drawOverlay(VIEW_OpenGL *renderer, int width, int height) override;

private:
    MDL_Font *m_poFont;
    bool m_bOpen;
    int m_iSelected;
};
