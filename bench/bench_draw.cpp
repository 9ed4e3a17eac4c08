// Drawing operations at 1280x720 on 32-bit surfaces, in megapixels per second of destination.
// The constant-weight blend and the additive draw also run pixman's equivalent composite (OVER and
// ADD through a solid mask) on the same pixels in the same run, printing both rates and the ratio.
#include "graphics/dibsfc.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <random>

namespace {

using namespace ruko;

constexpr int32_t ScreenW = 1280, ScreenH = 720;
constexpr double ScreenPixels = double(ScreenW) * ScreenH;

void FillNoise(TDIBX& dib, uint32_t seed)
{
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < dib.Height(); ++y)
        for (int32_t x = 0; x < dib.Width(); ++x)
            dib.SetPixel(x, y, dib.PixelFormat() == 8 ? rng() & 0xFF : rng() & 0xFFFFFF);
}

// A picture kept for the whole run.
const TDIBX& Noise(int32_t width, int32_t height, uint32_t seed)
{
    auto* dib = new TDIBX(width, height, 32);
    FillNoise(*dib, seed);
    return *dib;
}

// An 8-bit mask that looks like a picture's alpha plane: mostly opaque or clear, soft edges.
void FillEdges(TDIBX& mask)
{
    for (int32_t y = 0; y < mask.Height(); ++y)
        for (int32_t x = 0; x < mask.Width(); ++x) {
            const double v = std::sin(x * 0.05) * std::cos(y * 0.07) * 600;
            mask.SetPixel(x, y, uint32_t(std::clamp(v + 128, 0.0, 255.0)));
        }
}

struct TScene
{
    TDIBX Dest{ScreenW, ScreenH, 32};
    TDIBX Backdrop{ScreenW, ScreenH, 32};
    TDIBX Source{ScreenW, ScreenH, 32};
    TDIBX Mask{ScreenW, ScreenH, 8};
    TScene()
    {
        FillNoise(Backdrop, 1);
        FillNoise(Source, 2);
        FillEdges(Mask);
        Restore();
    }
    // Every timed draw starts from the same pixels: repeated blends would otherwise converge on
    // the source and measure a different workload.
    void Restore() { std::memcpy(Dest.ScanLine(0), Backdrop.ScanLine(0), size_t(Dest.Pitch()) * ScreenH); }
};

TScene& Scene()
{
    static TScene scene;
    return scene;
}

void SetRate(benchmark::State& state, double pixelsPerIteration)
{
    state.counters["MP/s"] = benchmark::Counter(pixelsPerIteration / 1e6 * double(state.iterations()),
                                                benchmark::Counter::kIsRate);
}

template <class Draw> void RunDraw(benchmark::State& state, Draw draw)
{
    TScene& s = Scene();
    for (auto _ : state) {
        state.PauseTiming();
        s.Restore();
        state.ResumeTiming();
        draw(s);
        benchmark::ClobberMemory();
    }
    SetRate(state, ScreenPixels);
}

void Copy(benchmark::State& state)
{
    RunDraw(state,
            [](TScene& s) { s.Dest.Draw(0, 0, s.Source, s.Source.BoundsRect(), false, false, false); });
}
void CopyFlipped(benchmark::State& state)
{
    RunDraw(state, [](TScene& s) { s.Dest.Draw(0, 0, s.Source, s.Source.BoundsRect(), false, true, false); });
}
void CopyKeyed(benchmark::State& state)
{
    Scene().Source.TransparentColor = Scene().Source.GetPixel(3, 3);
    RunDraw(state, [](TScene& s) { s.Dest.Draw(0, 0, s.Source, s.Source.BoundsRect(), true, false, false); });
}
void Blend(benchmark::State& state)
{
    RunDraw(state, [](TScene& s) {
        s.Dest.DrawAlpha(0, 0, s.Source, s.Source.BoundsRect(), false, false, false, 160);
    });
}
void Additive(benchmark::State& state)
{
    RunDraw(state,
            [](TScene& s) { s.Dest.DrawAdd(0, 0, s.Source, s.Source.BoundsRect(), false, false, 40); });
}
void FillAlpha(benchmark::State& state)
{
    RunDraw(state, [](TScene& s) { s.Dest.FillRectAlpha(s.Dest.BoundsRect(), 0x203040, 100); });
}
void Mask(benchmark::State& state)
{
    RunDraw(state,
            [](TScene& s) { s.Dest.DrawMask(0, 0, s.Source, s.Source.BoundsRect(), false, false, s.Mask); });
}
void AlphaMask(benchmark::State& state)
{
    RunDraw(state, [](TScene& s) {
        s.Dest.DrawAlphaMask(0, 0, s.Source, s.Source.BoundsRect(), false, false, s.Mask, 200);
    });
}
void AddMask(benchmark::State& state)
{
    RunDraw(state, [](TScene& s) {
        s.Dest.DrawAddMask(0, 0, s.Source, s.Source.BoundsRect(), false, false, s.Mask, 80);
    });
}
void GlyphMask(benchmark::State& state)
{
    RunDraw(state, [](TScene& s) {
        s.Dest.DrawMaskColor(0, 0, s.Mask, s.Mask.BoundsRect(), false, false, 0xFFEEDD, 255);
    });
}
void MonoGlyph(benchmark::State& state)
{
    // A 4x oversampled 1-bit page covering the screen.
    static const TDIBX& page = *[] {
        auto p = new TDIBX(ScreenW * 4, ScreenH * 4, 1);
        std::mt19937 rng(5);
        for (int32_t y = 0; y < p->Height(); ++y) {
            uint8_t* row = p->ScanLine(y);
            for (int32_t i = 0; i < RowPitch(p->Width(), 1); ++i)
                row[i] = uint8_t(rng());
        }
        return p;
    }();
    RunDraw(state, [](TScene& s) {
        s.Dest.DrawMonoGlyph(0, 0, page, page.BoundsRect(), 0xFFFFFF, false, false, 255, 4);
    });
}
void StretchHalf(benchmark::State& state)
{
    static const TDIBX& big = Noise(ScreenW * 2, ScreenH * 2, 3);
    RunDraw(state, [](TScene& s) {
        s.Dest.StretchDraw(s.Dest.BoundsRect(), big, big.BoundsRect(), false, false, false, 255);
    });
}
void StretchDouble(benchmark::State& state)
{
    RunDraw(state, [](TScene& s) {
        s.Dest.StretchDraw(s.Dest.BoundsRect(), s.Source, TRect(0, 0, ScreenW / 2, ScreenH / 2), false, false,
                           false, 255);
    });
}
void StretchDoubleBlend(benchmark::State& state)
{
    RunDraw(state, [](TScene& s) {
        s.Dest.StretchDraw(s.Dest.BoundsRect(), s.Source, TRect(0, 0, ScreenW / 2, ScreenH / 2), false, false,
                           false, 128);
    });
}
void Rotate(benchmark::State& state)
{
    // 30 degrees at 1.3x about the centre: the whole screen is covered.
    RunDraw(state, [](TScene& s) {
        s.Dest.RotateDraw(ScreenW / 2, ScreenH / 2, 1.3, 1.3, s.Source, s.Source.BoundsRect(), ScreenW / 2,
                          ScreenH / 2, M_PI / 6, false, false, false, 255);
    });
}
void RotateBlend(benchmark::State& state)
{
    RunDraw(state, [](TScene& s) {
        s.Dest.RotateDraw(ScreenW / 2, ScreenH / 2, 1.3, 1.3, s.Source, s.Source.BoundsRect(), ScreenW / 2,
                          ScreenH / 2, M_PI / 6, false, false, false, 128);
    });
}
void Tile(benchmark::State& state)
{
    RunDraw(state, [](TScene& s) {
        s.Dest.TileDraw(s.Dest.BoundsRect(), s.Source, TRect(0, 0, 64, 48), 10, 7, 0, 0, false, false, false);
    });
}
void TileFillPattern(benchmark::State& state)
{
    static const TDIBX& pattern = Noise(64, 48, 4);
    RunDraw(state, [](TScene& s) { s.Dest.TileFill(s.Dest.BoundsRect(), pattern, 10, 7, false, false); });
}

// Processor time of this thread: the machine may be busy with other work.
double ThreadSeconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Ours and pixman's on the same pixels: each iteration times one of each from the same start.
pixman_image_t* Wrap(TDIBX& dib)
{
    return pixman_image_create_bits(PIXMAN_x8r8g8b8, dib.Width(), dib.Height(),
                                    reinterpret_cast<uint32_t*>(dib.ScanLine(0)), dib.Pitch());
}

template <class Ours> void AgainstPixman(benchmark::State& state, pixman_op_t op, uint8_t weight, Ours ours)
{
    TScene& s = Scene();
    pixman_image_t* dest = Wrap(s.Dest);
    pixman_image_t* source = Wrap(s.Source);
    const pixman_color_t solid = {0, 0, 0, uint16_t(weight * 257)};
    pixman_image_t* mask = pixman_image_create_solid_fill(&solid);
    double oursTime = 0, pixmanTime = 0;
    for (auto _ : state) {
        s.Restore();
        const double t0 = ThreadSeconds();
        ours(s);
        benchmark::ClobberMemory();
        const double t1 = ThreadSeconds();
        s.Restore();
        const double t2 = ThreadSeconds();
        pixman_image_composite32(op, source, mask, dest, 0, 0, 0, 0, 0, 0, ScreenW, ScreenH);
        benchmark::ClobberMemory();
        const double t3 = ThreadSeconds();
        oursTime += t1 - t0;
        pixmanTime += t3 - t2;
    }
    const double n = double(state.iterations());
    const double oursRate = ScreenPixels * n / 1e6 / oursTime;
    const double pixmanRate = ScreenPixels * n / 1e6 / pixmanTime;
    state.counters["ours_MP/s"] = oursRate;
    state.counters["pixman_MP/s"] = pixmanRate;
    state.counters["ours/pixman"] = oursRate / pixmanRate;
    pixman_image_unref(mask);
    pixman_image_unref(source);
    pixman_image_unref(dest);
}

void BlendVsPixman(benchmark::State& state)
{
    AgainstPixman(state, PIXMAN_OP_OVER, 160, [](TScene& s) {
        s.Dest.DrawAlpha(0, 0, s.Source, s.Source.BoundsRect(), false, false, false, 160);
    });
}
void AdditiveVsPixman(benchmark::State& state)
{
    AgainstPixman(state, PIXMAN_OP_ADD, 40,
                  [](TScene& s) { s.Dest.DrawAdd(0, 0, s.Source, s.Source.BoundsRect(), false, false, 40); });
}

BENCHMARK(Copy);
BENCHMARK(CopyFlipped);
BENCHMARK(CopyKeyed);
BENCHMARK(Blend);
BENCHMARK(Additive);
BENCHMARK(FillAlpha);
BENCHMARK(Mask);
BENCHMARK(AlphaMask);
BENCHMARK(AddMask);
BENCHMARK(GlyphMask);
BENCHMARK(MonoGlyph);
BENCHMARK(StretchHalf);
BENCHMARK(StretchDouble);
BENCHMARK(StretchDoubleBlend);
BENCHMARK(Rotate);
BENCHMARK(RotateBlend);
BENCHMARK(Tile);
BENCHMARK(TileFillPattern);
BENCHMARK(BlendVsPixman);
BENCHMARK(AdditiveVsPixman);

} // namespace
