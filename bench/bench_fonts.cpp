// Glyphs: a cache miss at 16 and 32 px beside bare FreeType (FT_Load_Glyph + FT_Render_Glyph of
// the same characters in the same face, same run), a cache hit, DrawGlyph with outline and shadow,
// and loading a pixel font of 7,000 glyphs. The installed-face cases need the IPA fonts.
#include "base/text.h"
#include "words/fontpixels.h"
#include "words/packfonts.h"

#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <vector>

namespace {

using namespace ruko;

const std::string& Gothic()
{
    static const std::string name = Utf8ToCp932("ＭＳ ゴシック");
    return name;
}

// 512 kanji codes: cycling through them in order misses a 256-glyph cache every time.
const std::vector<uint16_t>& Kanji()
{
    static const std::vector<uint16_t> codes = [] {
        std::vector<uint16_t> out;
        for (uint16_t code = 0x889F; out.size() < 512; ++code)
            if ((code & 0xFF) >= 0x40 && (code & 0xFF) != 0x7F && (code & 0xFF) <= 0xFC &&
                Cp932CodeToUnicode(code))
                out.push_back(code);
        return out;
    }();
    return codes;
}

TFontPixelManager& Glyphs()
{
    static TFontPixelManager* glyphs = new TFontPixelManager(nullptr);
    return *glyphs;
}

bool HaveGothic(benchmark::State& state)
{
    const TInstalledFont* face = Glyphs().FindInstalled("IPAGothic");
    if (face && !face->Alias) return true;
    state.SkipWithError("the IPA fonts are not installed");
    return false;
}

void BM_GlyphCacheMiss(benchmark::State& state)
{
    if (!HaveGothic(state)) return;
    const int32_t size = int32_t(state.range(0));
    const std::vector<uint16_t>& codes = Kanji();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Glyphs().GetGlyph(codes[i], Gothic(), 0, size));
        i = (i + 1) % codes.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GlyphCacheMiss)->Arg(16)->Arg(32);

void BM_BareFreeType(benchmark::State& state)
{
    if (!HaveGothic(state)) return;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    const TFaceFile& file = Glyphs().FindInstalled("IPAGothic")->Family.Styles[0];
    if (FT_Init_FreeType(&library) || FT_New_Face(library, file.Path.c_str(), file.Index, &face)) {
        state.SkipWithError("FreeType cannot open the face");
        return;
    }
    FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_REAL_DIM, 0, FT_Long(state.range(0)) << 6, 0, 0};
    FT_Request_Size(face, &request);
    std::vector<FT_UInt> indexes;
    for (uint16_t code : Kanji())
        indexes.push_back(FT_Get_Char_Index(face, Cp932CodeToUnicode(code)));
    size_t i = 0;
    for (auto _ : state) {
        FT_Load_Glyph(face, indexes[i], FT_LOAD_NO_BITMAP);
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL);
        benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
        i = (i + 1) % indexes.size();
    }
    state.SetItemsProcessed(state.iterations());
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}
BENCHMARK(BM_BareFreeType)->Arg(16)->Arg(32);

void BM_GlyphCacheHit(benchmark::State& state)
{
    if (!HaveGothic(state)) return;
    for (uint16_t code : {uint16_t(0x82A0), uint16_t(0x82A2)})
        Glyphs().GetGlyph(code, Gothic(), 0, 16);
    uint16_t code = 0x82A0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Glyphs().GetGlyph(code, Gothic(), 0, 16));
        code ^= 0x82A0 ^ 0x82A2;
    }
}
BENCHMARK(BM_GlyphCacheHit);

// "あ" at 16 px into a caption-sized 32-bit surface, with (border, shadow), its mask cleared each
// time as a caption's is before it renders.
void BM_DrawGlyph(benchmark::State& state)
{
    if (!HaveGothic(state)) return;
    const int32_t border = int32_t(state.range(0)), shadow = int32_t(state.range(1));
    const TFontPixelRef glyph = Glyphs().GetGlyph(0x82A0, Gothic(), 0, 16);
    TDIBX colour(64, 24, 32), mask(64, 24, 8);
    colour.Fill(0);
    mask.Fill(0);
    const int32_t advance =
        glyph->LeftBearing + glyph->Bitmap.Width() + glyph->RightSpace + 2 * border + shadow;
    for (auto _ : state) {
        mask.Fill(0);
        TFontPixelManager::DrawGlyph(*glyph, colour, mask, false, TRect(2, 2, 2 + advance, 18), 0xFFFFFF,
                                     0x0000FF, 0x404040, border, shadow, false, false);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawGlyph)->Args({0, 0})->Args({1, 0})->Args({2, 0})->Args({0, 2})->Args({2, 2});

// 7,000 glyphs of 16 × 16 with smooth coverage, checked whole at every load.
void BM_LoadPixelFont7000(benchmark::State& state)
{
    TPixelFontData font;
    font.Header.FaceName = "Bench";
    font.Header.CharSize = 16;
    font.Header.Ascent = 14;
    for (int i = 0; i < 7000; ++i) {
        TPixelFontGlyph glyph;
        glyph.Code = uint16_t(0x8140 + i);
        glyph.Record = {16, 16, 0, 14, 16, 0, 0};
        for (int p = 0; p < 256; ++p)
            glyph.Coverage.push_back(uint8_t((p * 7 + i) & 0xFF));
        font.Glyphs.push_back(std::move(glyph));
    }
    const auto source = std::make_shared<TMemoryRangeSource>(WritePixelFont(font));
    const int64_t size = source->SourceSize();
    for (auto _ : state) {
        TPixelFontManager fonts;
        benchmark::DoNotOptimize(
            fonts.LoadFontStream("bench.rft", std::make_unique<TRangeStream>(source, 0, size)));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}
BENCHMARK(BM_LoadPixelFont7000)->Unit(benchmark::kMillisecond);

} // namespace
