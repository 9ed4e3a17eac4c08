#pragma once
// The text form of a pixel font, for fixtures written by hand and for inspection:
//
//   face ＭＳ ゴシック        (UTF-8; "face-hex 82..." gives the CP932 bytes instead)
//   size 16
//   style 0                  (1 bold, 2 italic)
//   listed 1                 (offered in the font lists; the default)
//   ascent 14
//   strikeout 1 5            (size, position above the base line)
//   underscore 1 -2          (size, position)
//   glyph 0x41 8 10 0 12 9 0 (code, width, height, origin x, origin y, advance x, advance y)
//   ..####..                 (height rows: '.' and '#' for 0 and 255, or two hex digits a pixel)
//
// Only the face line is required. Blank lines and lines starting with '#' outside the glyph rows
// are skipped.
#include "words/packfonts.h"

#include <string>

namespace ruko::tool {

// Raises an error naming the line on malformed text.
TPixelFontData ParseFontText(const std::string& text, const std::string& sourceName);
std::string FontText(const TPixelFontData& font);
// Two hex digits a byte, either case; false for anything else.
bool ParseHex(const std::string& text, std::string& bytes);

} // namespace ruko::tool
