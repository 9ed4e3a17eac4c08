#pragma once
// Small pixel fonts for the font tests, made with our own writer.
#include "io/bigstream.h"
#include "words/packfonts.h"

#include <memory>
#include <string>
#include <vector>

namespace ruko::test {

// A glyph whose coverage at (x, y) is `fill(x, y)`.
template <class Fill>
TPixelFontGlyph MakeGlyph(uint16_t code, uint16_t w, uint16_t h, int16_t ox, int16_t oy, int16_t ax,
                          Fill fill)
{
    TPixelFontGlyph glyph;
    glyph.Code = code;
    glyph.Record = {w, h, ox, oy, ax, 0, 0};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            glyph.Coverage.push_back(uint8_t(fill(x, y)));
    return glyph;
}

inline TPixelFontData SmallFont(const std::string& face = "Pix", int32_t size = 8, uint8_t style = 0)
{
    TPixelFontData font;
    font.Header.FaceName = face;
    font.Header.CharSize = size;
    font.Header.Style = style;
    font.Header.Ascent = 7;
    font.Header.StrikeSize = 1;
    font.Header.StrikePosition = 3;
    font.Header.UnderscoreSize = 1;
    font.Header.UnderscorePosition = -1;
    font.Header.Listed = true;
    // Widths 1, 3, 4 and 5 cover every row padding.
    font.Glyphs.push_back(MakeGlyph('A', 5, 7, 1, 7, 7, [](int x, int y) { return (x + y) % 2 ? 255 : 0; }));
    font.Glyphs.push_back(MakeGlyph('i', 1, 6, 2, 6, 4, [](int, int y) { return y == 1 ? 0 : 255; }));
    font.Glyphs.push_back(MakeGlyph('m', 3, 4, 0, 4, 4, [](int x, int y) { return 40 * x + 10 * y; }));
    font.Glyphs.push_back(MakeGlyph(0x82A0, 4, 4, 0, 6, 8, [](int x, int y) { return x == y ? 200 : 0; }));
    font.Glyphs.push_back(MakeGlyph(' ', 0, 0, 0, 0, 4, [](int, int) { return 0; }));
    return font;
}

inline std::unique_ptr<TKwBigStream> StreamOf(const std::vector<uint8_t>& bytes)
{
    return TRangeStream::OverBytes(bytes);
}

} // namespace ruko::test
