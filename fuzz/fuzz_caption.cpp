// Caption records of every version a save may hold (the first byte picks 100..150): a record that
// loads writes back a record that loads to the same settings, and the caption draws with whatever
// sizes and decorations it holds without touching anything outside its surfaces.
#include "base/error.h"
#include "components/labellist.h"
#include "words/fontpixels.h"
#include "words/packfonts.h"

#include <cstdlib>

using namespace ruko;

namespace {

TPixelFontData SmallFont()
{
    TPixelFontData font;
    font.Header.FaceName = "F";
    font.Header.CharSize = 8;
    font.Header.Ascent = 7;
    font.Header.StrikeSize = 1;
    font.Header.StrikePosition = 3;
    font.Header.UnderscoreSize = 1;
    for (uint16_t code : {uint16_t('A'), uint16_t(0x835C)}) {
        TPixelFontGlyph glyph;
        glyph.Code = code;
        glyph.Record = {5, 7, 1, 7, 7, 0, 0};
        for (int i = 0; i < 35; ++i)
            glyph.Coverage.push_back(uint8_t(i * 29));
        font.Glyphs.push_back(glyph);
    }
    return font;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const int32_t version = 100 + data[0] % 51;
    TKwBigMemoryStream in(std::vector<uint8_t>(data + 1, data + size));
    TKwLabelList list;
    try {
        list.LoadFromStream(in, version);
    } catch (const ERukoError&) {
        return 0;
    }
    TKwBigMemoryStream out;
    list.SaveToStream(out);
    out.SetPosition(0);
    TKwLabelList again;
    again.LoadFromStream(out, 150);
    if (again.FontName != list.FontName || again.Reserved != list.Reserved || again.Shadow != list.Shadow ||
        again.FontHeight != list.FontHeight || again.Quality != list.Quality)
        std::abort();

    static TPixelFontManager& fonts = *[] {
        auto* made = new TPixelFontManager;
        made->LoadFontStream("f.rft", TRangeStream::OverBytes(WritePixelFont(SmallFont())));
        return made;
    }();
    TFontPixelManager glyphs(&fonts, false);
    FontPixelMan = &glyphs;
    TDIBX surface(96, 48, 32);
    list.Surface = &surface;
    for (const std::string& text : {std::string("A\x83\x5C"
                                                "A"),
                                    std::string("\x83")}) {
        TKwLabelDIB& caption = list.Add();
        caption.SetText(text);
    }
    // As loaded (a face this run lacks draws nothing), then with the glyphs' own face and size.
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            list.FontName = "F";
            list.SetFontHeight(8);
        }
        list.Measure();
        for (int32_t i = 0; i < list.Count(); ++i)
            list.Item(i)->Draw(-3, 2);
    }
    FontPixelMan = nullptr;
    return 0;
}
