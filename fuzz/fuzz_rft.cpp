// Pixel fonts: a file that loads must give every glyph it indexes, and a glyph must draw with
// outline and shadow without touching anything outside the surfaces.
#include "base/error.h"
#include "words/fontpixels.h"
#include "words/packfonts.h"

#include <cstdlib>

using namespace ruko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TPixelFontManager fonts;
    TPixelFontSection* section = nullptr;
    try {
        section = fonts.LoadFontStream("fuzz.rft",
                                       TRangeStream::OverBytes(std::vector<uint8_t>(data, data + size)));
    } catch (const ERukoError&) {
        return 0;
    }
    if (!section) std::abort();
    TFontPixelManager glyphs(&fonts, false);
    TDIBX colour(24, 24, 32), mask(24, 24, 8);
    bool drawn = false;
    for (uint32_t code = 0; code < 65536; ++code) {
        const TPixelGlyphRecord* record = section->FindGlyph(uint16_t(code));
        if (!record) continue;
        TDIBX bitmap;
        if (!section->ReadBitmap(*record, bitmap)) std::abort();
        if (bitmap.Width() != record->Width || bitmap.Height() != record->Height) std::abort();
        if (drawn) continue;
        drawn = true;
        try {
            const TFontPixelRef glyph =
                glyphs.GetGlyph(uint16_t(code), section->Header.FaceName, section->Header.Style | 4 | 8,
                                section->Header.CharSize);
            TFontPixelManager::DrawGlyph(*glyph, colour, mask, false, TRect(2, 2, 20, 20), 0xFFFFFF, 0xFF0000,
                                         0xFF, 2, 2, true, false);
        } catch (const ERukoError&) {
            // Without installed faces a glyph the font lacks has no default face to come from.
        }
    }
    return 0;
}
