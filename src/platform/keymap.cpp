#include "platform/keymap.h"

#include <SDL_scancode.h>

#include <array>

namespace ruko {
namespace {

struct TKeyRow
{
    SDL_Scancode Scancode;
    unsigned char VirtualKey;
};

constexpr TKeyRow KeyRows[] = {
    {SDL_SCANCODE_BACKSPACE, 0x08},
    {SDL_SCANCODE_TAB, 0x09},
    {SDL_SCANCODE_CLEAR, 0x0C},
    {SDL_SCANCODE_RETURN, 0x0D},
    {SDL_SCANCODE_KP_ENTER, 0x0D},
    {SDL_SCANCODE_RETURN2, 0x0D},
    {SDL_SCANCODE_LSHIFT, 0x10},
    {SDL_SCANCODE_RSHIFT, 0x10},
    {SDL_SCANCODE_LCTRL, 0x11},
    {SDL_SCANCODE_RCTRL, 0x11},
    {SDL_SCANCODE_LALT, 0x12},
    {SDL_SCANCODE_RALT, 0x12},
    {SDL_SCANCODE_PAUSE, 0x13},
    {SDL_SCANCODE_CAPSLOCK, 0x14},
    {SDL_SCANCODE_INTERNATIONAL4, 0x1C},
    {SDL_SCANCODE_INTERNATIONAL5, 0x1D},
    {SDL_SCANCODE_ESCAPE, 0x1B},
    {SDL_SCANCODE_SPACE, 0x20},
    {SDL_SCANCODE_PAGEUP, 0x21},
    {SDL_SCANCODE_PAGEDOWN, 0x22},
    {SDL_SCANCODE_END, 0x23},
    {SDL_SCANCODE_HOME, 0x24},
    {SDL_SCANCODE_LEFT, 0x25},
    {SDL_SCANCODE_UP, 0x26},
    {SDL_SCANCODE_RIGHT, 0x27},
    {SDL_SCANCODE_DOWN, 0x28},
    {SDL_SCANCODE_SELECT, 0x29},
    {SDL_SCANCODE_EXECUTE, 0x2B},
    {SDL_SCANCODE_PRINTSCREEN, 0x2C},
    {SDL_SCANCODE_INSERT, 0x2D},
    {SDL_SCANCODE_DELETE, 0x2E},
    {SDL_SCANCODE_HELP, 0x2F},
    {SDL_SCANCODE_LGUI, 0x5B},
    {SDL_SCANCODE_RGUI, 0x5C},
    {SDL_SCANCODE_APPLICATION, 0x5D},
    {SDL_SCANCODE_SLEEP, 0x5F},
    {SDL_SCANCODE_KP_MULTIPLY, 0x6A},
    {SDL_SCANCODE_KP_PLUS, 0x6B},
    {SDL_SCANCODE_KP_COMMA, 0x6C},
    {SDL_SCANCODE_KP_MINUS, 0x6D},
    {SDL_SCANCODE_KP_PERIOD, 0x6E},
    {SDL_SCANCODE_KP_DIVIDE, 0x6F},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x90},
    {SDL_SCANCODE_SCROLLLOCK, 0x91},
    // Japanese 106/109 layout by position.
    {SDL_SCANCODE_SEMICOLON, 0xBB},      // ; +
    {SDL_SCANCODE_APOSTROPHE, 0xBA},     // : *
    {SDL_SCANCODE_COMMA, 0xBC},          // , <
    {SDL_SCANCODE_MINUS, 0xBD},          // - =
    {SDL_SCANCODE_PERIOD, 0xBE},         // . >
    {SDL_SCANCODE_SLASH, 0xBF},          // / ?
    {SDL_SCANCODE_LEFTBRACKET, 0xC0},    // @ `
    {SDL_SCANCODE_RIGHTBRACKET, 0xDB},   // [ {
    {SDL_SCANCODE_BACKSLASH, 0xDD},      // ] }
    {SDL_SCANCODE_NONUSHASH, 0xDD},      // ] }
    {SDL_SCANCODE_EQUALS, 0xDE},         // ^ ~
    {SDL_SCANCODE_INTERNATIONAL3, 0xDC}, // yen |
    {SDL_SCANCODE_INTERNATIONAL1, 0xE2}, // backslash _
    {SDL_SCANCODE_NONUSBACKSLASH, 0xE2},
    {SDL_SCANCODE_INTERNATIONAL2, 0xF2}, // katakana/hiragana
    {SDL_SCANCODE_GRAVE, 0xF3},          // hankaku/zenkaku
};

constexpr std::array<unsigned char, SDL_NUM_SCANCODES> BuildTable()
{
    std::array<unsigned char, SDL_NUM_SCANCODES> table{};
    for (int i = 0; i < 26; ++i)
        table[SDL_SCANCODE_A + i] = static_cast<unsigned char>('A' + i);
    // SDL orders the digit row 1..9, 0.
    for (int i = 0; i < 9; ++i)
        table[SDL_SCANCODE_1 + i] = static_cast<unsigned char>('1' + i);
    table[SDL_SCANCODE_0] = '0';
    for (int i = 0; i < 9; ++i)
        table[SDL_SCANCODE_KP_1 + i] = static_cast<unsigned char>(0x61 + i);
    table[SDL_SCANCODE_KP_0] = 0x60;
    for (int i = 0; i < 12; ++i)
        table[SDL_SCANCODE_F1 + i] = static_cast<unsigned char>(0x70 + i);
    for (int i = 0; i < 12; ++i)
        table[SDL_SCANCODE_F13 + i] = static_cast<unsigned char>(0x7C + i);
    for (const TKeyRow& row : KeyRows)
        table[row.Scancode] = row.VirtualKey;
    return table;
}

constexpr auto KeyTable = BuildTable();

} // namespace

int VirtualKeyFromScancode(int sdlScancode)
{
    if (sdlScancode < 0 || sdlScancode >= SDL_NUM_SCANCODES) return 0;
    return KeyTable[sdlScancode];
}

} // namespace ruko
