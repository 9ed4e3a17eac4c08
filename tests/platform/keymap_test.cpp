#include "platform/keymap.h"

#include <SDL_keyboard.h>
#include <gtest/gtest.h>

using namespace ruko;

TEST(KeyMap, ScancodesGiveWindowsVirtualKeys)
{
    const struct
    {
        SDL_Scancode scancode;
        int vk;
    } cases[] = {
        {SDL_SCANCODE_A, 'A'},
        {SDL_SCANCODE_Z, 'Z'},
        {SDL_SCANCODE_1, '1'},
        {SDL_SCANCODE_9, '9'},
        {SDL_SCANCODE_0, '0'},
        {SDL_SCANCODE_RETURN, 0x0D},
        {SDL_SCANCODE_KP_ENTER, 0x0D},
        {SDL_SCANCODE_ESCAPE, 0x1B},
        {SDL_SCANCODE_SPACE, 0x20},
        {SDL_SCANCODE_BACKSPACE, 0x08},
        {SDL_SCANCODE_TAB, 0x09},
        {SDL_SCANCODE_LSHIFT, 0x10},
        {SDL_SCANCODE_RSHIFT, 0x10},
        {SDL_SCANCODE_RCTRL, 0x11},
        {SDL_SCANCODE_LALT, 0x12},
        {SDL_SCANCODE_LEFT, 0x25},
        {SDL_SCANCODE_UP, 0x26},
        {SDL_SCANCODE_RIGHT, 0x27},
        {SDL_SCANCODE_DOWN, 0x28},
        {SDL_SCANCODE_PAGEUP, 0x21},
        {SDL_SCANCODE_HOME, 0x24},
        {SDL_SCANCODE_INSERT, 0x2D},
        {SDL_SCANCODE_DELETE, 0x2E},
        {SDL_SCANCODE_F1, 0x70},
        {SDL_SCANCODE_F12, 0x7B},
        {SDL_SCANCODE_F13, 0x7C},
        {SDL_SCANCODE_KP_0, 0x60},
        {SDL_SCANCODE_KP_9, 0x69},
        {SDL_SCANCODE_KP_MULTIPLY, 0x6A},
        {SDL_SCANCODE_KP_DIVIDE, 0x6F},
        // Japanese keyboard keys by position.
        {SDL_SCANCODE_SEMICOLON, 0xBB},
        {SDL_SCANCODE_APOSTROPHE, 0xBA},
        {SDL_SCANCODE_LEFTBRACKET, 0xC0},
        {SDL_SCANCODE_RIGHTBRACKET, 0xDB},
        {SDL_SCANCODE_EQUALS, 0xDE},
        {SDL_SCANCODE_INTERNATIONAL3, 0xDC},
        {SDL_SCANCODE_INTERNATIONAL1, 0xE2},
        {SDL_SCANCODE_INTERNATIONAL4, 0x1C},
        {SDL_SCANCODE_INTERNATIONAL5, 0x1D},
        // Keys the titles cannot know stay unmapped.
        {SDL_SCANCODE_UNKNOWN, 0},
        {SDL_SCANCODE_AUDIONEXT, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VirtualKeyFromScancode(c.scancode), c.vk) << SDL_GetScancodeName(c.scancode);
}

TEST(KeyMap, OutOfRangeScancodesGiveZero)
{
    EXPECT_EQ(VirtualKeyFromScancode(-1), 0);
    EXPECT_EQ(VirtualKeyFromScancode(SDL_NUM_SCANCODES), 0);
}
