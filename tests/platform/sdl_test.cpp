// The SDL back end on SDL's display-less driver: events pushed into SDL's queue come out in
// picture coordinates, with the toolbar strip's clicks and key repeats taken care of.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/platform.h"

using namespace ruko;

// The toolbar's font lookup leaves fontconfig's own allocations behind; sanitizer builds must not
// count them as ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace {

class SdlPlatformTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        ::setenv("SDL_VIDEODRIVER", "dummy", 1);
        try {
            platform = CreateSdlPlatform(true);
        } catch (const std::exception& e) {
            GTEST_SKIP() << "no SDL video driver: " << e.what();
        }
        TWindowSetup setup;
        setup.CaptionCp932 = "Tale";
        setup.ScreenWidth = 320;
        setup.ScreenHeight = 240;
        setup.ToolbarVisible = true;
        platform->OpenWindow(setup);
        Drain();
    }

    void Drain()
    {
        TPlatformEvent e;
        while (platform->PollEvent(e)) {
        }
    }

    static void Button(bool down, int x, int y, uint8_t button = SDL_BUTTON_LEFT)
    {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.button = button;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = x;
        e.button.y = y;
        SDL_PushEvent(&e);
    }

    static void Key(bool down, SDL_Scancode scancode, bool repeat = false)
    {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.scancode = scancode;
        e.key.repeat = repeat;
        SDL_PushEvent(&e);
    }

    std::vector<TPlatformEvent> Events()
    {
        std::vector<TPlatformEvent> events;
        TPlatformEvent e;
        while (platform->PollEvent(e))
            events.push_back(e);
        return events;
    }

    std::unique_ptr<TPlatform> platform;
};

} // namespace

TEST_F(SdlPlatformTest, ClicksBelowTheStripArriveInPictureCoordinates)
{
    Button(true, 10, DockHeight + 5, SDL_BUTTON_RIGHT);
    std::vector<TPlatformEvent> events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Kind, TEventKind::MouseDown);
    EXPECT_EQ(events[0].Button, TMouseButton::Right);
    EXPECT_EQ(events[0].X, 10);
    EXPECT_EQ(events[0].Y, 5);

    // At 200 % the window shows the picture's top-left quarter: window pixels halve.
    std::vector<uint32_t> black(320 * 240, 0);
    platform->Present({black.data(), 320, 240, 320 * 4}, {}, 200);
    Button(false, 100, DockHeight + 50);
    events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Kind, TEventKind::MouseUp);
    EXPECT_EQ(events[0].X, 50);
    EXPECT_EQ(events[0].Y, 25);
}

TEST_F(SdlPlatformTest, StripButtonsActWhenReleasedOverTheButtonPressed)
{
    const int y = DockHeight / 2;
    Button(true, 10, y);
    Button(false, 12, y);
    Button(true, ToolbarButtonWidth + 10, y);
    Button(false, ToolbarButtonWidth + 10, y);
    Button(true, 10, y); // pressed on "終了", released on "画面切替": nothing
    Button(false, ToolbarButtonWidth + 10, y);
    std::vector<TPlatformEvent> events = Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Kind, TEventKind::ExitButton);
    EXPECT_EQ(events[1].Kind, TEventKind::ScreenButton);
}

TEST_F(SdlPlatformTest, KeysArriveAsVirtualKeysWithoutRepeats)
{
    Key(true, SDL_SCANCODE_RETURN);
    Key(true, SDL_SCANCODE_RETURN, true);
    Key(true, SDL_SCANCODE_RETURN, true);
    Key(false, SDL_SCANCODE_RETURN);
    Key(true, SDL_SCANCODE_AUDIONEXT); // no virtual key
    std::vector<TPlatformEvent> events = Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Kind, TEventKind::KeyDown);
    EXPECT_EQ(events[0].Key, 0x0D);
    EXPECT_EQ(events[1].Kind, TEventKind::KeyUp);
}

TEST_F(SdlPlatformTest, CursorImagesReplaceTheStandardPointerUntilCleared)
{
    SDL_Cursor* standard = SDL_GetCursor();
    TCursorImage image;
    image.Width = 2;
    image.Height = 2;
    image.HotX = 5; // outside the image: clamped
    image.HotY = -1;
    image.Argb = {0xFF000000, 0, 0, 0xFFFFFFFF};
    // Whether the video driver can make colour cursors at all decides what "shown" means.
    SDL_Surface* probe = SDL_CreateRGBSurfaceWithFormat(0, 2, 2, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Cursor* probeCursor = probe ? SDL_CreateColorCursor(probe, 0, 0) : nullptr;
    const bool driverMakesCursors = probeCursor != nullptr;
    if (probeCursor) SDL_FreeCursor(probeCursor);
    SDL_FreeSurface(probe);

    platform->SetCursorImage(&image);
    SDL_Cursor* first = SDL_GetCursor();
    if (driverMakesCursors) {
        EXPECT_NE(first, standard);
    } else {
        EXPECT_EQ(first, standard);
    }
    // A second image replaces the first (which is freed, not left current).
    platform->SetCursorImage(&image);
    if (driverMakesCursors) {
        EXPECT_NE(SDL_GetCursor(), standard);
    }
    platform->SetCursorImage(nullptr);
    EXPECT_EQ(SDL_GetCursor(), SDL_GetDefaultCursor());
    platform->SetCursorImage(&image);
    TCursorImage empty; // nothing to show: the standard pointer
    platform->SetCursorImage(&empty);
    EXPECT_EQ(SDL_GetCursor(), SDL_GetDefaultCursor());
}
