// Transitions at 1280x720 on 32-bit surfaces: the preparation of each type and one frame
// (target: under 5 ms a frame). Frames step through the middle of the transition so that mask
// types rebuild their mask every time, as they do while a transition runs.
#include "graphics/wipe.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

using namespace ruko;

constexpr int32_t ScreenW = 1280, ScreenH = 720, Duration = 1000;

struct TPictures
{
    TDIBX From{ScreenW, ScreenH, 32}, To{ScreenW, ScreenH, 32}, Target{ScreenW, ScreenH, 32};
    TDIBX Rule{ScreenW / 4, ScreenH / 4, 8};
    TPictures()
    {
        std::mt19937 rng(9);
        for (int32_t y = 0; y < ScreenH; ++y)
            for (int32_t x = 0; x < ScreenW; ++x) {
                From.SetPixel(x, y, rng() & 0xFFFFFF);
                // The new picture shares a third of its pixels with the old one (for DiffOnly).
                To.SetPixel(x, y, x % 3 == 0 ? From.GetPixel(x, y) : rng() & 0xFFFFFF);
            }
        for (int32_t y = 0; y < Rule.Height(); ++y)
            for (int32_t x = 0; x < Rule.Width(); ++x)
                Rule.SetPixel(x, y, uint32_t((x * 3 + y * 5) & 0xFF));
    }
};

TPictures& Pictures()
{
    static TPictures pictures;
    return pictures;
}

std::unique_ptr<TCustomWipe> Create(int32_t type)
{
    TPictures& p = Pictures();
    auto wipe = CreateWipe(type, p.Target, p.From, p.To);
    wipe->Duration = Duration;
    wipe->SetRulePicture(&p.Rule);
    return wipe;
}

void Prepare(benchmark::State& state)
{
    const int32_t type = int32_t(state.range(0));
    state.SetLabel(WipeTypeName(type));
    Pictures(); // built once, outside the timing
    for (auto _ : state) {
        auto wipe = Create(type);
        wipe->Prepare();
        benchmark::DoNotOptimize(wipe.get());
    }
}

void Frame(benchmark::State& state)
{
    const int32_t type = int32_t(state.range(0));
    state.SetLabel(WipeTypeName(type));
    auto wipe = Create(type);
    wipe->Prepare();
    int32_t frame = 0;
    for (auto _ : state) {
        // 300..700 ms in steps of 15 ms (one frame of the player).
        wipe->Elapsed = 300 + (frame++ * 15) % 400;
        benchmark::DoNotOptimize(wipe->Step());
        benchmark::ClobberMemory();
    }
}

BENCHMARK(Prepare)->DenseRange(1, WipeTypeCount)->Unit(benchmark::kMillisecond);
BENCHMARK(Frame)->DenseRange(1, WipeTypeCount)->Unit(benchmark::kMillisecond);

} // namespace
