// Captions: Draw of a rendered 320 × 20 caption (322 × 22 and wider with an outline) (plain: the font colour
// through the mask; outlined: the caption's picture through the mask) beside pixman's OVER of a solid colour
// through an a8 mask on the same pixels, each iteration timing one of each from the same start; and a whole
// Measure + Render, the cost of a changed text.
#include "components/labellist.h"
#include "words/fontpixels.h"
#include "words/packfonts.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <ctime>

namespace {

using namespace ruko;

constexpr int32_t CaptionH = 20; // 32 characters advancing 10: 320 wide
constexpr int32_t SurfaceW = 400, SurfaceH = 24;

// "Bench" at 20 px: A..Z, 9 × 16 with smoothed edges, advancing 10.
TPixelFontManager& Fonts()
{
    static TPixelFontManager* fonts = [] {
        TPixelFontData font;
        font.Header.FaceName = "Bench";
        font.Header.CharSize = CaptionH;
        font.Header.Ascent = 17;
        for (uint16_t code = 'A'; code <= 'Z'; ++code) {
            TPixelFontGlyph glyph;
            glyph.Code = code;
            glyph.Record = {9, 16, 0, 16, 10, 0, 0};
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 9; ++x)
                    glyph.Coverage.push_back(uint8_t((x * 7 + y * 5 + code) % 3 == 0 ? 255 : (x + y) * 12));
            font.Glyphs.push_back(glyph);
        }
        auto* made = new TPixelFontManager;
        made->LoadFontStream("bench.rft", TRangeStream::OverBytes(WritePixelFont(font)));
        return made;
    }();
    return *fonts;
}

struct TCaptionScene
{
    TFontPixelManager Glyphs{&Fonts(), false};
    TDIBX Surface{SurfaceW, SurfaceH, 32};
    TDIBX Start{SurfaceW, SurfaceH, 32};
    TKwLabelList List;
    TKwLabelDIB* Caption;

    explicit TCaptionScene(int32_t border)
    {
        FontPixelMan = &Glyphs;
        for (int32_t y = 0; y < SurfaceH; ++y)
            for (int32_t x = 0; x < SurfaceW; ++x)
                Start.SetPixel(x, y, uint32_t(x * 0x010203 + y * 0x030201) & 0xFFFFFF);
        List.FontName = "Bench";
        List.FontHeight = CaptionH;
        List.Border = border; // widens and heightens the caption: the surface has room
        List.Surface = &Surface;
        Caption = &List.Add();
        Caption->SetText("THEQUICKBROWNFOXJUMPSOVERTHELAZY");
        List.Measure();
        Restore();
        Caption->Draw(0, 0); // renders once
    }
    void Restore()
    {
        std::memcpy(Surface.ScanLine(0), Start.ScanLine(0), size_t(Surface.Pitch()) * SurfaceH);
    }
};

double ThreadSeconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void CaptionAgainstPixman(benchmark::State& state, int32_t border)
{
    TCaptionScene scene(border);
    const int32_t w = scene.Caption->Width, h = scene.Caption->Height;
    pixman_image_t* dest = pixman_image_create_bits(PIXMAN_x8r8g8b8, SurfaceW, SurfaceH,
                                                    reinterpret_cast<uint32_t*>(scene.Surface.ScanLine(0)),
                                                    scene.Surface.Pitch());
    pixman_image_t* mask = pixman_image_create_bits(
        PIXMAN_a8, w, h, reinterpret_cast<uint32_t*>(scene.Caption->Mask.ScanLine(0)),
        scene.Caption->Mask.Pitch());
    const pixman_color_t white = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    pixman_image_t* solid = pixman_image_create_solid_fill(&white);
    double oursTime = 0, pixmanTime = 0;
    for (auto _ : state) {
        scene.Restore();
        const double t0 = ThreadSeconds();
        scene.Caption->Draw(0, 0);
        benchmark::ClobberMemory();
        const double t1 = ThreadSeconds();
        scene.Restore();
        const double t2 = ThreadSeconds();
        pixman_image_composite32(PIXMAN_OP_OVER, solid, mask, dest, 0, 0, 0, 0, 0, 0, w, h);
        benchmark::ClobberMemory();
        const double t3 = ThreadSeconds();
        oursTime += t1 - t0;
        pixmanTime += t3 - t2;
    }
    const double n = double(state.iterations());
    state.counters["ours_us"] = oursTime / n * 1e6;
    state.counters["pixman_us"] = pixmanTime / n * 1e6;
    state.counters["ours/pixman_speed"] = pixmanTime / oursTime;
    pixman_image_unref(solid);
    pixman_image_unref(mask);
    pixman_image_unref(dest);
    FontPixelMan = nullptr;
}

void BM_CaptionDrawPlainVsPixman(benchmark::State& state)
{
    CaptionAgainstPixman(state, 0);
}
void BM_CaptionDrawOutlinedVsPixman(benchmark::State& state)
{
    CaptionAgainstPixman(state, 1);
}

// A new text: every glyph measured and composed again (the cache already holds the glyphs).
void BM_CaptionMeasureAndRender(benchmark::State& state)
{
    TCaptionScene scene(int32_t(state.range(0)));
    for (auto _ : state) {
        scene.List.Measure();
        scene.Caption->Render();
        benchmark::ClobberMemory();
    }
    FontPixelMan = nullptr;
}

BENCHMARK(BM_CaptionDrawPlainVsPixman)->UseRealTime();
BENCHMARK(BM_CaptionDrawOutlinedVsPixman)->UseRealTime();
BENCHMARK(BM_CaptionMeasureAndRender)->Arg(0)->Arg(2);

} // namespace
