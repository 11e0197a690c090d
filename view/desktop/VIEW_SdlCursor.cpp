#include "view/desktop/VIEW_SdlCursor.h"

#include <SDL.h>

#include <cstring>

namespace {

const int SIDE = 16;

const char *const OPEN_HAND[SIDE] = {
    "      XX        ", //
    "  XX X..XXX     ", //
    " X..XX..X..X    ", //
    " X..XX..X..X X  ", //
    "  X..X..X..XX.X ", //
    "  X..X..X..X..X ", //
    "XX X.......X..X ", //
    "X..X..........X ", //
    "X...X.........X ", //
    " X............X ", //
    "  X...........X ", //
    "  X..........X  ", //
    "   X.........X  ", //
    "    X.......X   ", //
    "     X......X   ", //
    "     X......X   ", //
};

const char *const CLOSED_HAND[SIDE] = {
    "                ", //
    "                ", //
    "                ", //
    "                ", //
    "    XX XX XX    ", //
    "   X..X..X..XX  ", //
    "   X........X.X ", //
    "    X.........X ", //
    "   XX.........X ", //
    "  X...........X ", //
    "  X...........X ", //
    "  X..........X  ", //
    "   X.........X  ", //
    "    X.......X   ", //
    "     X......X   ", //
    "     X......X   ", //
};

const int KINDS = 4;
SDL_Cursor *s_apoCursors[KINDS] = {nullptr, nullptr, nullptr, nullptr};
int s_iShown = 0;

// A monochrome cursor from a picture, its hot spot in the middle.
SDL_Cursor *makePicture(const char *const *rows)
{
    Uint8 data[SIDE * SIDE / 8], mask[SIDE * SIDE / 8];
    memset(data, 0, sizeof(data));
    memset(mask, 0, sizeof(mask));
    for (int y = 0; y < SIDE; y++)
        for (int x = 0; x < SIDE; x++) {
            int bit = y * SIDE + x;
            Uint8 flag = static_cast<Uint8>(0x80 >> (bit % 8));
            char c = rows[y][x];
            if (c == 'X')
                data[bit / 8] |= flag;
            if (c == 'X' || c == '.')
                mask[bit / 8] |= flag;
        }
    return SDL_CreateCursor(data, mask, SIDE, SIDE, SIDE / 2, SIDE / 2);
}

SDL_Cursor *make(int kind)
{
    switch (kind) {
    case 1:
        return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_CROSSHAIR);
    case 2:
        return makePicture(CLOSED_HAND);
    case 3:
        return makePicture(OPEN_HAND);
    default:
        return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    }
}

} // namespace

bool VIEW_SdlCursor::show(int kind)
{
    if (kind < 0 || kind >= KINDS)
        kind = 0;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return false;
    if (s_apoCursors[kind] == nullptr)
        s_apoCursors[kind] = make(kind);
    if (s_apoCursors[kind] == nullptr)
        return false;
    if (SDL_GetCursor() != s_apoCursors[kind])
        SDL_SetCursor(s_apoCursors[kind]);
    s_iShown = kind;
    return true;
}

int VIEW_SdlCursor::shown()
{
    return s_iShown;
}

void VIEW_SdlCursor::releaseAll()
{
    bool video = SDL_WasInit(SDL_INIT_VIDEO) != 0;
    if (video)
        SDL_SetCursor(SDL_GetDefaultCursor());
    for (SDL_Cursor *&cursor : s_apoCursors) {
        if (cursor != nullptr && video)
            SDL_FreeCursor(cursor);
        cursor = nullptr;
    }
    s_iShown = 0;
}

const char *const *VIEW_SdlCursor::handPicture(bool closed)
{
    return closed ? CLOSED_HAND : OPEN_HAND;
}
