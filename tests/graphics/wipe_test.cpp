// Transitions on a small surface: every type at 0, a quarter, a half, three quarters and the end.
#include "graphics/wipe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>

namespace ruko {
namespace {

constexpr int32_t Width = 48, Height = 32, Duration = 1000;

// Two textured pictures that differ almost everywhere.
struct TPictures
{
    TDIBX From{Width, Height, 32}, To{Width, Height, 32}, Target{Width, Height, 32};
    TPictures()
    {
        for (int32_t y = 0; y < Height; ++y)
            for (int32_t x = 0; x < Width; ++x) {
                From.SetPixel(x, y, uint32_t((x * 5) << 16 | (y * 7) << 8 | ((x + y) * 3 & 0xFF)));
                To.SetPixel(x, y,
                            uint32_t(((x * y) & 0xFF) << 16 | (255 - x * 4) << 8 | (0x40 + (y & 8) * 8)));
            }
        Target.Fill(0x123456);
    }
};

uint64_t Hash(const TCustomDIBX& dib)
{
    uint64_t h = 1469598103934665603ull;
    for (int32_t y = 0; y < dib.Height(); ++y)
        for (int32_t x = 0; x < dib.Width(); ++x) {
            h ^= dib.GetPixel(x, y);
            h *= 1099511628211ull;
        }
    return h;
}

bool Same(const TCustomDIBX& a, const TCustomDIBX& b)
{
    return Hash(a) == Hash(b);
}

std::unique_ptr<TCustomWipe> Start(TPictures& p, int32_t type)
{
    auto wipe = CreateWipe(type, p.Target, p.From, p.To);
    if (wipe) {
        wipe->Duration = Duration;
        wipe->Prepare();
    }
    return wipe;
}

// Hashes of the frames at a quarter, a half and three quarters; reviewed once as pictures.
struct TGolden
{
    int32_t Type;
    uint64_t Quarter, Half, ThreeQuarters;
};

const TGolden Goldens[] = {
#include "wipe_golden.inc"
};

TEST(Wipe, EveryTypeStartsFromTheOldPictureWhereItShouldAndStopsAtTheEnd)
{
    // Types whose first frame is not the old picture: the flash starts white, the mosaic and the
    // shrink start blocky or blended, the ripple and the blocks change the first spot at once.
    const std::set<int32_t> notFromAtStart = {14, 15, 22, 24, 37, 38};
    for (int32_t type = 1; type <= WipeTypeCount; ++type) {
        TPictures p;
        auto wipe = Start(p, type);
        ASSERT_TRUE(wipe) << type;
        wipe->Elapsed = 0;
        EXPECT_FALSE(wipe->Step()) << type;
        if (!notFromAtStart.count(type)) {
            EXPECT_TRUE(Same(p.Target, p.From)) << WipeTypeName(type);
        }
        EXPECT_EQ(wipe->ChangedRect, TRect(0, 0, Width, Height));

        const uint64_t before = Hash(p.Target);
        wipe->Elapsed = Duration;
        EXPECT_TRUE(wipe->Step()) << type;
        EXPECT_EQ(Hash(p.Target), before) << "the end draws nothing: " << WipeTypeName(type);
    }
}

TEST(Wipe, EveryTypeDrawsItsReviewedFramesAtTheQuarters)
{
    bool print = std::getenv("RUKO_PRINT_GOLDEN") != nullptr;
    for (int32_t type = 1; type <= WipeTypeCount; ++type) {
        TPictures p;
        auto wipe = Start(p, type);
        uint64_t hashes[3];
        for (int q = 1; q <= 3; ++q) {
            wipe->Elapsed = Duration * q / 4;
            wipe->Step();
            hashes[q - 1] = Hash(p.Target);
        }
        if (print) {
            std::printf("    {%d, 0x%016llxull, 0x%016llxull, 0x%016llxull}, // %s\n", type,
                        (unsigned long long)hashes[0], (unsigned long long)hashes[1],
                        (unsigned long long)hashes[2], WipeTypeName(type));
            continue;
        }
        const TGolden* golden = nullptr;
        for (const TGolden& g : Goldens)
            if (g.Type == type) golden = &g;
        ASSERT_TRUE(golden) << type;
        EXPECT_EQ(hashes[0], golden->Quarter) << WipeTypeName(type);
        EXPECT_EQ(hashes[1], golden->Half) << WipeTypeName(type);
        EXPECT_EQ(hashes[2], golden->ThreeQuarters) << WipeTypeName(type);
    }
}

TEST(Wipe, TypesThatFinishBeforeTheEndShowTheNewPictureInTheirLastFrame)
{
    // Their rules leave nothing of the old picture in the last drawn frame: every row of the
    // twists has turned past π, the shrinking old picture has zoom 0, and the zoom-in's window
    // has grown back to the whole new picture.
    for (const char* name : {"TWipeTwistH", "TWipeTwistV", "TWipeSmall", "TWipeZoomin"}) {
        TPictures p;
        auto wipe = Start(p, WipeTypeByName(name));
        ASSERT_TRUE(wipe) << name;
        wipe->Elapsed = Duration - 1;
        EXPECT_FALSE(wipe->Step()) << name;
        EXPECT_TRUE(Same(p.Target, p.To)) << name;
    }
}

TEST(Wipe, UnknownTypesCreateNoWipe)
{
    TPictures p;
    for (int32_t type : {0, 39, -1, std::numeric_limits<int32_t>::max()})
        EXPECT_FALSE(CreateWipe(type, p.Target, p.From, p.To)) << type;
}

TEST(Wipe, MaskTypesClampTheirParameters)
{
    TPictures p;
    auto blind = CreateWipe(2, p.Target, p.From, p.To);
    blind->SetParam(0, 0);
    blind->SetParam(1, -5);
    EXPECT_EQ(blind->GetParam(0), 2);
    EXPECT_EQ(blind->GetParam(1), 1);
    auto curtain = CreateWipe(4, p.Target, p.From, p.To);
    curtain->SetParam(0, 0);
    EXPECT_EQ(curtain->GetParam(0), 1);
}

TEST(Wipe, DefaultBlindMakesHardEdgedStripesTwentyPixelsWide)
{
    TPictures p;
    auto wipe = Start(p, 2);
    wipe->Elapsed = Duration / 2;
    wipe->Step();
    for (int32_t y = 0; y < Height; ++y)
        for (int32_t x = 0; x < Width; ++x) {
            const uint32_t v = p.Target.GetPixel(x, y);
            const bool isTo = v == p.To.GetPixel(x, y), isFrom = v == p.From.GetPixel(x, y);
            ASSERT_TRUE(isTo || isFrom) << x << "," << y;
            // Column x and x + 20 show the same picture.
            if (x + 20 < Width) {
                EXPECT_EQ(isTo, p.Target.GetPixel(x + 20, y) == p.To.GetPixel(x + 20, y)) << x;
            }
        }
}

TEST(Wipe, RulePictureChangesBrightPixelsFirst)
{
    // Rule columns 0..3 of every 8 are white, 4..7 black.
    TDIBX rule(8, 4, 8);
    rule.FillRect(TRect(0, 0, 4, 4), 255);
    rule.FillRect(TRect(4, 0, 8, 4), 0);
    struct TCase
    {
        int32_t Type, Elapsed;
        bool BrightIsTo, DarkIsFrom;
    };
    const TCase cases[] = {
        {19, Duration / 2, true, true},       // shadow: white done, black not started
        {20, Duration * 9 / 10, true, false}, // through white: white done, black still tinted
        {21, Duration * 9 / 10, true, false}, // through black: likewise
        {20, Duration / 10, false, true},     // white already tinted, black not yet
    };
    for (const TCase& c : cases) {
        TPictures p;
        auto wipe = CreateWipe(c.Type, p.Target, p.From, p.To);
        wipe->Duration = Duration;
        wipe->SetRulePicture(&rule);
        wipe->Prepare();
        wipe->Elapsed = c.Elapsed;
        wipe->Step();
        EXPECT_EQ(p.Target.GetPixel(9, 2) == p.To.GetPixel(9, 2), c.BrightIsTo)
            << c.Type << " at " << c.Elapsed;
        EXPECT_EQ(p.Target.GetPixel(13, 2) == p.From.GetPixel(13, 2), c.DarkIsFrom)
            << c.Type << " at " << c.Elapsed;
    }
}

TEST(Wipe, MissingRuleGivesAPlainFadeOverTheFirstHalf)
{
    TPictures p;
    auto wipe = CreateWipe(19, p.Target, p.From, p.To);
    wipe->Duration = Duration;
    wipe->SetRuleName("nothing.brm");
    wipe->RuleLoader = [](const std::string&) { return std::unique_ptr<TCustomDIBX>(); };
    wipe->Prepare();
    wipe->Elapsed = Duration / 4;
    wipe->Step();
    // Mask 127 everywhere: floor((128 * From + 127 * To) / 256) per channel.
    TDIBX expected(Width, Height, 32);
    expected.Assign(p.From);
    expected.DrawAlpha(0, 0, p.To, p.To.BoundsRect(), false, false, false, 127);
    EXPECT_TRUE(Same(p.Target, expected));
    wipe->Elapsed = Duration / 2;
    wipe->Step();
    EXPECT_TRUE(Same(p.Target, p.To));
}

TEST(Wipe, TinyScreensAndExtremeParametersNeitherCrashNorOverflow)
{
    const int32_t extremes[] = {0, 1, -1, std::numeric_limits<int32_t>::max(),
                                std::numeric_limits<int32_t>::min()};
    for (int32_t size : {1, 3, 11})
        for (int32_t type = 1; type <= WipeTypeCount; ++type)
            for (int32_t param : extremes) {
                TDIBX from(size, size + 1, 32), to(size, size + 1, 32), target(size, size + 1, 32);
                from.Fill(0x102030);
                to.Fill(0xF0E0D0);
                auto wipe = CreateWipe(type, target, from, to);
                wipe->Duration = std::numeric_limits<int32_t>::max();
                wipe->SetParam(0, param);
                wipe->SetParam(1, int32_t(-(int64_t(param) / 2)));
                wipe->Prepare();
                for (int32_t elapsed :
                     {0, std::numeric_limits<int32_t>::max() / 2, std::numeric_limits<int32_t>::max() - 1}) {
                    wipe->Elapsed = elapsed;
                    EXPECT_FALSE(wipe->Step());
                }
            }
}

TEST(Wipe, BlurAveragesTheSquareAroundEachPixelInsideThePicture)
{
    // At b = 256 the blur-through-white shows the blurred old picture untinted.
    const int32_t w = 70, h = 45, radius = std::min(w, h) / 20;
    TDIBX from(w, h, 32), to(w, h, 32), target(w, h, 32);
    uint32_t seed = 1;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            from.SetPixel(x, y, (seed = seed * 1103515245u + 12345u) >> 8 & 0xFFFFFF);
    to.Fill(0);
    auto wipe = CreateWipe(25, target, from, to);
    wipe->Duration = 639;
    wipe->Prepare();
    wipe->Elapsed = 256;
    wipe->Step();
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint32_t sums[3] = {0, 0, 0}, count = 0;
            for (int32_t v = std::max(0, y - radius); v <= std::min(h - 1, y + radius); ++v)
                for (int32_t u = std::max(0, x - radius); u <= std::min(w - 1, x + radius); ++u, ++count)
                    for (int c = 0; c < 3; ++c)
                        sums[c] += from.GetPixel(u, v) >> (8 * c) & 255;
            const uint32_t want = sums[0] / count | sums[1] / count << 8 | sums[2] / count << 16;
            ASSERT_EQ(target.GetPixel(x, y), want) << x << "," << y;
        }
}

TEST(Wipe, TypeNamesRoundTrip)
{
    for (int32_t type = 1; type <= WipeTypeCount; ++type) {
        EXPECT_EQ(WipeTypeByName(WipeTypeName(type)), type);
        EXPECT_EQ(WipeTypeByName(std::string(WipeTypeName(type)).substr(5)), type);
    }
    EXPECT_EQ(WipeTypeByName("fade"), 1);
    EXPECT_EQ(WipeTypeByName("nosuch"), 0);
}

} // namespace
} // namespace ruko
