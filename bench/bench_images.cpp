// Picture components: a full headless frame (input, update, paint) at 1280x720 with 200 animated
// 64x64 images whose frames change every step; the smoothed rotate-and-zoom draw beside the plain
// one on the same pixels, in megapixels of destination per second.
#include "base/text.h"
#include "components/baselist.h"
#include "components/images.h"
#include "graphics/brom.h"
#include "graphics/bromcache.h"
#include "graphics/drawsmooth.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace ruko {
namespace {

// Four 64x64 frames of 16 ms with an alpha plane (a soft disc), as a layered picture file.
std::vector<uint8_t> AnimatedPicture()
{
    TBromFrameList list(0);
    for (int f = 0; f < 4; ++f) {
        TBromFrame& frame = list.AddFrame();
        frame.Delay = 16;
        frame.Picture = TPicture(64, 64, 24);
        frame.Picture.Fill(uint32_t(0x203040 * (f + 1)) & 0xFFFFFF);
        TPicture alpha(64, 64, 8);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const int d = (x - 32) * (x - 32) + (y - 32) * (y - 32);
                alpha.SetPixel(x, y, d < 900 ? 255 : d < 1024 ? 128 : 0);
            }
        frame.AlphaPlane = std::move(alpha);
    }
    TKwBigMemoryStream out;
    list.SaveToStream(out, bcZlib, 90);
    return out.TakeBytes();
}

void BM_AnimatedImagesFrame(benchmark::State& state)
{
    auto bytes = std::make_shared<std::vector<uint8_t>>(AnimatedPicture());
    TBromFileSource source;
    source.Exists = [](const std::string& name) { return LowerCaseText(name) == "anim.brm"; };
    source.Load = [bytes](const std::string&) { return *bytes; };
    TBromCollection cache(source, 0);
    TBromCollection* saved = BromMan;
    BromMan = &cache;
    RegisterImageKinds();
    {
        TRukoBaseList list;
        list.SetSize(1280, 720);
        for (int i = 0; i < 200; ++i) {
            auto* image = static_cast<TRukoImages*>(list.CreateComponent(LT_IMAGES));
            image->SetSource("anim.brm");
            image->RepeatFlag = true;
            image->SetLeft((i * 97) % (1280 - 64));
            image->SetTop((i * 61) % (720 - 64));
        }
        list.InputStep(16);
        list.Step();
        list.Paint();
        list.TakeDirty();
        for (auto _ : state) {
            list.InputStep(16);
            list.Step();
            list.Paint();
            benchmark::DoNotOptimize(list.TakeDirty());
        }
    }
    BromMan = saved;
}
BENCHMARK(BM_AnimatedImagesFrame)->Unit(benchmark::kMillisecond);

void BM_Rotate(benchmark::State& state)
{
    const bool smooth = state.range(0) != 0;
    TDIBX dest(512, 512, 32), picture(256, 256, 32), mask(256, 256, 8);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            picture.SetPixel(x, y, uint32_t(x * 0x010000 + y * 0x0100 + ((x ^ y) & 255)));
            mask.SetPixel(x, y, (x + y) & 1 ? 255 : 200);
        }
    const TRect bounds = RotatedBounds(256, 256, 1.3, 1.3, picture.BoundsRect(), 128, 128, 0.3, false, false);
    for (auto _ : state) {
        if (smooth)
            RotateDrawSmooth(dest, 256, 256, 1.3, 1.3, picture, picture.BoundsRect(), 128, 128, 0.3, &mask,
                             false, false, 255);
        else
            dest.RotateDrawMask(256, 256, 1.3, 1.3, picture, picture.BoundsRect(), 128, 128, 0.3, mask, false,
                                false, 255);
        benchmark::ClobberMemory();
    }
    state.counters["MP/s"] = benchmark::Counter(double(bounds.Width()) * bounds.Height() / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Rotate)->Arg(0)->Arg(1)->ArgNames({"smooth"});

} // namespace
} // namespace ruko
