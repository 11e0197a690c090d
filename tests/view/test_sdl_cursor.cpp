// The pointer shapes on a display: the system's arrow and crosshair, and
// the hands drawn by the player.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "tests/support/TEST_XServer.h"
#include "tests/support/TEST_Support.h"
#include "view/desktop/VIEW_SdlCursor.h"

TEST(SdlCursor, HandPicturesAreSixteenSquare)
{
    for (bool closed : {false, true}) {
        const char *const *rows = VIEW_SdlCursor::handPicture(closed);
        int opaque = 0;
        for (int y = 0; y < 16; y++) {
            ASSERT_EQ(strlen(rows[y]), 16u) << y;
            EXPECT_EQ(strspn(rows[y], "X. "), 16u) << rows[y];
            for (int x = 0; x < 16; x++)
                opaque += rows[y][x] != ' ';
        }
        // A hand, not a speck: its outline and inside cover a good part.
        EXPECT_GT(opaque, 60) << closed;
    }
}

TEST(SdlCursor, EveryKindIsShownOnADisplay)
{
    // Without a display nothing is shown.
    EXPECT_FALSE(VIEW_SdlCursor::show(1));
    TEST_XServer server;
    if (!server.running())
        TEST_SKIP_WITHOUT() << "no X server: " << server.failure();
    const char *old = getenv("DISPLAY");
    std::string previous = old != nullptr ? old : "";
    setenv("DISPLAY", server.display().c_str(), 1);
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    std::set<SDL_Cursor *> cursors;
    for (int kind = 0; kind < 4; kind++) {
        ASSERT_TRUE(VIEW_SdlCursor::show(kind)) << kind << ": " << SDL_GetError();
        EXPECT_EQ(VIEW_SdlCursor::shown(), kind);
        cursors.insert(SDL_GetCursor());
    }
    EXPECT_EQ(cursors.size(), 4u);
    // An unknown kind is the arrow's; the first made is shown again.
    SDL_Cursor *hand = SDL_GetCursor();
    ASSERT_TRUE(VIEW_SdlCursor::show(99));
    EXPECT_EQ(VIEW_SdlCursor::shown(), 0);
    EXPECT_NE(SDL_GetCursor(), hand);
    VIEW_SdlCursor::releaseAll();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (old != nullptr)
        setenv("DISPLAY", previous.c_str(), 1);
    else
        unsetenv("DISPLAY");
}
