// Loading a 1280×720 layered picture of three 24-bit layers, the top one with an alpha plane,
// stored with zlib and with JPEG. The file is made with our own writer. Beside it, the layers'
// inflate (one pass through libdeflate) against plain zlib on the same bytes, alternating.
#include "graphics/brom.h"
#include "io/bigstream.h"
#include "io/inflate.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>
#include <zlib.h>

using namespace ruko;

namespace {

constexpr int Width = 1280, Height = 720;

// Smooth gradients with a little noise: compresses like painted artwork, not like a flat fill.
TPicture Artwork(int seed)
{
    TPicture picture(Width, Height, 24);
    uint32_t noise = 0x9E3779B9u * uint32_t(seed + 1);
    for (int y = 0; y < Height; ++y) {
        uint8_t* row = picture.Row(y);
        for (int x = 0; x < Width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            int grain = int(noise >> 29);
            row[3 * x] = uint8_t(x * 255 / Width + grain);
            row[3 * x + 1] = uint8_t(y * 255 / Height + seed * 40 + grain);
            row[3 * x + 2] = uint8_t((x + y) * 255 / (Width + Height) + grain);
        }
    }
    return picture;
}

// An opaque figure with soft edges in the middle of the picture.
TPicture AlphaFigure()
{
    TPicture plane(Width, Height, 8);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            int dx = x - Width / 2, dy = y - Height / 2;
            int distance = dx * dx / 4 + dy * dy;
            plane.Row(y)[x] = uint8_t(distance < 250 * 250 ? 255 : distance < 270 * 270 ? 128 : 0);
        }
    return plane;
}

std::vector<uint8_t> LayeredFile(TBromCompression compression)
{
    TBromFrameList list;
    TBromFrame& frame = list.AddFrame();
    frame.Picture = TPicture(Width, Height, 24);
    for (int i = 0; i < 3; ++i) {
        auto layer = std::make_unique<TBromLayer>();
        layer->Name = "layer" + std::to_string(i);
        layer->Picture = Artwork(i);
        if (i == 1) layer->TransColor = 0; // keyed, as a middle layer often is
        if (i == 2) {
            layer->AlphaPlane = AlphaFigure();
            layer->AlphaOn = true;
        }
        frame.Layers.push_back(std::move(layer));
    }
    TKwBigMemoryStream out;
    list.SaveToStream(out, compression, 85);
    return out.TakeBytes();
}

void LoadLayered(benchmark::State& state, TBromCompression compression)
{
    const std::vector<uint8_t> file = LayeredFile(compression);
    for (auto _ : state) {
        TBromFrameList list;
        TKwBigMemoryStream stream(file);
        list.LoadFromStream(stream);
        benchmark::DoNotOptimize(list.Frames(0).Picture.Bytes().data());
    }
    state.counters["file_KiB"] = double(file.size()) / 1024;
    state.counters["Mpixel/s"] = benchmark::Counter(double(Width) * Height * double(state.iterations()) / 1e6,
                                                    benchmark::Counter::kIsRate);
}

void BM_LoadLayeredZlib(benchmark::State& state)
{
    LoadLayered(state, bcZlib);
}
void BM_LoadLayeredJpeg(benchmark::State& state)
{
    LoadLayered(state, bcJpeg);
}

BENCHMARK(BM_LoadLayeredZlib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLayeredJpeg)->Unit(benchmark::kMillisecond);

// The three layers' pixels deflated as the writer stores them; each side inflates all three.
// Target: at least 1.5 × zlib's speed (ratio of times ≤ 0.67).
void BM_LayerInflateOverZlibRatio(benchmark::State& state)
{
    std::vector<std::vector<uint8_t>> packed;
    size_t plainSize = 0;
    for (int i = 0; i < 3; ++i) {
        TPicture layer = Artwork(i);
        plainSize = layer.Bytes().size();
        uLongf size = compressBound(uLong(plainSize));
        std::vector<uint8_t> bytes(size);
        compress2(bytes.data(), &size, layer.Bytes().data(), uLong(plainSize), Z_DEFAULT_COMPRESSION);
        bytes.resize(size);
        packed.push_back(std::move(bytes));
    }
    using Clock = std::chrono::steady_clock;
    double oursSeconds = 0, zlibSeconds = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        for (const auto& bytes : packed)
            benchmark::DoNotOptimize(
                InflateWhole(bytes.data(), bytes.size(), plainSize, bytes.size() * 4).data());
        auto t1 = Clock::now();
        for (const auto& bytes : packed) {
            std::vector<uint8_t> plain(plainSize);
            uLongf size = uLongf(plainSize);
            uncompress(plain.data(), &size, bytes.data(), uLong(bytes.size()));
            benchmark::DoNotOptimize(plain.data());
        }
        auto t2 = Clock::now();
        oursSeconds += std::chrono::duration<double>(t1 - t0).count();
        zlibSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    double runs = double(state.iterations());
    state.counters["ours_ms"] = oursSeconds * 1000 / runs;
    state.counters["zlib_ms"] = zlibSeconds * 1000 / runs;
    state.counters["ratio"] = oursSeconds / zlibSeconds;
}
BENCHMARK(BM_LayerInflateOverZlibRatio)->Unit(benchmark::kMillisecond);

} // namespace
