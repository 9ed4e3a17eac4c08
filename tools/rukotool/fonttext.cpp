#include "fonttext.h"

#include "command.h"

#include "base/error.h"
#include "base/text.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace ruko::tool {

namespace {

struct TLineReader
{
    std::istringstream in;
    std::string name;
    int number = 0;

    bool Next(std::string& line)
    {
        if (!std::getline(in, line)) return false;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }
    [[noreturn]] void Fail(const std::string& what) const
    {
        RaiseError(Utf8ToCp932(name + ":" + std::to_string(number) + ": " + what));
    }
};

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

int64_t Number(const TLineReader& reader, const std::string& text, int64_t low, int64_t high)
{
    const std::optional<int64_t> value = ParseNumber(text);
    if (!value || *value < low || *value > high)
        reader.Fail("'" + text + "' is not a number in " + std::to_string(low) + ".." + std::to_string(high));
    return *value;
}

std::string Hex(std::string_view bytes)
{
    std::string out;
    char digits[3];
    for (unsigned char c : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", c);
        out += digits;
    }
    return out;
}

void ReadRow(const TLineReader& reader, const std::string& line, uint16_t width, std::vector<uint8_t>& out)
{
    if (line.size() == width && line.find_first_not_of(".#") == std::string::npos) {
        for (char c : line)
            out.push_back(c == '#' ? 255 : 0);
        return;
    }
    std::string bytes;
    if (line.size() != size_t(width) * 2 || !ParseHex(line, bytes))
        reader.Fail("a row of " + std::to_string(width) + " pixels ('.' and '#', or hex pairs) expected");
    out.insert(out.end(), bytes.begin(), bytes.end());
}

} // namespace

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHex(const std::string& text, std::string& bytes)
{
    if (text.size() % 2) return false;
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes += char(high * 16 + low);
    }
    return true;
}

TPixelFontData ParseFontText(const std::string& text, const std::string& sourceName)
{
    TLineReader reader{std::istringstream(text), sourceName};
    TPixelFontData font;
    TPixelFontHeader& h = font.Header;
    h.Listed = true; // as fonts made from a face are
    bool haveFace = false;
    for (std::string line; reader.Next(line);) {
        const std::vector<std::string> words = Words(line);
        if (words.empty() || words[0][0] == '#') continue;
        const std::string& key = words[0];
        auto expect = [&](size_t count) {
            if (words.size() != count + 1) reader.Fail(key + " takes " + std::to_string(count) + " values");
        };
        auto number = [&](size_t i, int64_t low, int64_t high) {
            return Number(reader, words[i], low, high);
        };
        if (key == "face") {
            std::string face = line.substr(line.find("face") + 4);
            face.erase(0, face.find_first_not_of(" \t"));
            face.erase(face.find_last_not_of(" \t") + 1);
            if (!TryUtf8ToCp932(face, h.FaceName)) reader.Fail("the face name has no CP932 form");
            haveFace = true;
        } else if (key == "face-hex") {
            expect(1);
            if (!ParseHex(words[1], h.FaceName)) reader.Fail("bad hex");
            haveFace = true;
        } else if (key == "size") {
            expect(1);
            h.CharSize = int32_t(number(1, 0, INT32_MAX));
        } else if (key == "style") {
            expect(1);
            h.Style = uint8_t(number(1, 0, 3));
        } else if (key == "listed") {
            expect(1);
            h.Listed = number(1, 0, 1) != 0;
        } else if (key == "ascent") {
            expect(1);
            h.Ascent = int32_t(number(1, INT32_MIN, INT32_MAX));
        } else if (key == "strikeout") {
            expect(2);
            h.StrikeSize = int32_t(number(1, INT32_MIN, INT32_MAX));
            h.StrikePosition = int32_t(number(2, INT32_MIN, INT32_MAX));
        } else if (key == "underscore") {
            expect(2);
            h.UnderscoreSize = int32_t(number(1, INT32_MIN, INT32_MAX));
            h.UnderscorePosition = int32_t(number(2, INT32_MIN, INT32_MAX));
        } else if (key == "glyph") {
            expect(7);
            TPixelFontGlyph glyph;
            glyph.Code = uint16_t(number(1, 0, 0xFFFF));
            glyph.Record.Width = uint16_t(number(2, 0, MaxPixelGlyphSide));
            glyph.Record.Height = uint16_t(number(3, 0, MaxPixelGlyphSide));
            glyph.Record.OriginX = int16_t(number(4, INT16_MIN, INT16_MAX));
            glyph.Record.OriginY = int16_t(number(5, INT16_MIN, INT16_MAX));
            glyph.Record.AdvanceX = int16_t(number(6, INT16_MIN, INT16_MAX));
            glyph.Record.AdvanceY = int16_t(number(7, INT16_MIN, INT16_MAX));
            if (glyph.Record.Width > 0)
                for (int y = 0; y < glyph.Record.Height; ++y) {
                    std::string row;
                    if (!reader.Next(row)) reader.Fail("the glyph's rows end early");
                    ReadRow(reader, row, glyph.Record.Width, glyph.Coverage);
                }
            font.Glyphs.push_back(std::move(glyph));
        } else {
            reader.Fail("unknown line '" + key + "'");
        }
    }
    if (!haveFace) reader.Fail("no face line");
    if (font.Glyphs.size() > 65535) reader.Fail("more than 65535 glyphs");
    return font;
}

std::string FontText(const TPixelFontData& font)
{
    const TPixelFontHeader& h = font.Header;
    std::string out;
    std::string face;
    // The plain form only when parsing it gives the same bytes back.
    const bool plain = TryCp932ToUtf8(h.FaceName, face) && !face.empty() && face.front() != ' ' &&
                       face.back() != ' ' &&
                       std::none_of(face.begin(), face.end(), [](char c) { return c >= 0 && c < ' '; });
    if (plain)
        out += "face " + face + "\n";
    else
        out += "face-hex " + Hex(h.FaceName) + "\n";
    out += FormatText("size %d\nstyle %d\nlisted %d\nascent %d\nstrikeout %d %d\nunderscore %d %d\n",
                      h.CharSize, h.Style, h.Listed ? 1 : 0, h.Ascent, h.StrikeSize, h.StrikePosition,
                      h.UnderscoreSize, h.UnderscorePosition);
    for (const TPixelFontGlyph& glyph : font.Glyphs) {
        const TPixelGlyphRecord& r = glyph.Record;
        out += FormatText("glyph 0x%04X %d %d %d %d %d %d\n", glyph.Code, r.Width, r.Height, r.OriginX,
                          r.OriginY, r.AdvanceX, r.AdvanceY);
        if (r.Width == 0) continue;
        bool twoLevels = true;
        for (uint8_t c : glyph.Coverage)
            twoLevels = twoLevels && (c == 0 || c == 255);
        for (size_t y = 0; y < r.Height; ++y) {
            const std::string_view row(reinterpret_cast<const char*>(glyph.Coverage.data()) + y * r.Width,
                                       r.Width);
            if (twoLevels)
                for (char c : row)
                    out += c ? '#' : '.';
            else
                out += Hex(row);
            out += '\n';
        }
    }
    return out;
}

} // namespace ruko::tool
