#pragma once
// CP932 (Shift-JIS) text as the engine keeps it: byte strings walked character by character.
// A lead byte (0x81..0x9F, 0xE0..0xFC) followed by any byte is one character, so trail bytes such
// as '\\', '[', '|' and ASCII letters are never taken for single-byte characters.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

constexpr bool IsLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Length in bytes of the character starting at text[pos] (1 or 2; 1 for a lead byte at the end).
size_t CharLength(std::string_view text, size_t pos);

// Byte offsets of every character start, in order.
std::vector<size_t> CharStarts(std::string_view text);

// Number of characters.
size_t CharCount(std::string_view text);

// ASCII A..Z / a..z folding of single-byte characters only; double-byte characters stay as they are.
std::string UpperCaseText(std::string_view text);
std::string LowerCaseText(std::string_view text);

// Case-insensitive comparison with the folding above (<0, 0, >0, by folded byte values).
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

// Position of the first (or last) single-byte character `ch` that is not a trail byte; npos if none.
size_t FindChar(std::string_view text, char ch, size_t from = 0);
size_t FindLastChar(std::string_view text, char ch);

// Splits at single-byte `separator` characters (never inside a double-byte character).
std::vector<std::string> SplitText(std::string_view text, char separator);

// Lines as a string list splits text: at CR LF, CR or LF; a final line break ends the last line.
std::vector<std::string> SplitLines(std::string_view text);
// Without the bytes up to ' ' at either end. Trail bytes are never below 0x40, so a byte walk from
// the end never splits a character.
std::string_view TrimText(std::string_view text);

// Game paths use '\\' as separator.
std::vector<std::string> SplitGamePath(std::string_view path);
std::string GameFileName(std::string_view path);  // after the last separator
std::string GameFolderOf(std::string_view path);  // up to and including the last separator
std::string GameExtension(std::string_view path); // from the last '.' of the file name, or ""
bool EndsWithSeparator(std::string_view path);

// Conversions at the edges. Invalid input bytes become U+FFFD / '?' instead of failing.
std::string Cp932ToUtf8(std::string_view cp932);
std::string Utf8ToCp932(std::string_view utf8);
// Strict forms: false when some character has no mapping.
bool TryCp932ToUtf8(std::string_view cp932, std::string& utf8);
bool TryUtf8ToCp932(std::string_view utf8, std::string& cp932);
// The Unicode character of a character code (a single byte, or lead byte × 256 + trail byte);
// 0 when CP932 has none. One table, built from iconv at first use.
char32_t Cp932CodeToUnicode(uint16_t code);

} // namespace ruko
