// The wave proxy, glyphs, tiles and clip building, each against a plain statement of its rule.
#include "graphics/dibsfc.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace ruko {
namespace {

void FillRandom(TCustomDIBX& dib, std::mt19937& rng)
{
    for (int32_t y = 0; y < dib.Height(); ++y)
        for (int32_t x = 0; x < dib.Width(); ++x)
            dib.SetPixel(x, y, dib.PixelFormat() == 8 ? rng() & 0xFF : rng() & 0xFFFFFF);
}

std::string FirstDifference(const TCustomDIBX& a, const TCustomDIBX& b)
{
    for (int32_t y = 0; y < a.Height(); ++y)
        for (int32_t x = 0; x < a.Width(); ++x)
            if (a.GetPixel(x, y) != b.GetPixel(x, y))
                return "(" + std::to_string(x) + "," + std::to_string(y) + ")";
    return "";
}

TEST(DrawOps, WaveShiftsEachRowByItsOffsetAndSkipsRowsWithoutOne)
{
    std::mt19937 rng(3);
    TDIBX source(30, 16, 32), mask(30, 16, 8), base(40, 24, 32);
    FillRandom(source, rng);
    FillRandom(mask, rng);
    FillRandom(base, rng);
    using TOp = std::function<void(TCustomDIBX & dest, int32_t dx)>;
    const std::pair<const char*, TOp> ops[] = {
        {"Draw", [&](TCustomDIBX& d,
                     int32_t dx) { d.Draw(3 + dx, 2, source, TRect(2, 1, 28, 15), false, true, false); }},
        {"DrawAlpha",
         [&](TCustomDIBX& d, int32_t dx) {
             d.DrawAlpha(-4 + dx, 5, source, source.BoundsRect(), false, false, true, 90);
         }},
        {"DrawMask",
         [&](TCustomDIBX& d, int32_t dx) {
             d.DrawMask(5 + dx, 0, source, source.BoundsRect(), false, false, mask);
         }},
        {"FillRect",
         [&](TCustomDIBX& d, int32_t dx) { d.FillRect(TRect(6 + dx, 1, 33 + dx, 22), 0x123456); }},
        {"FillRectAdd",
         [&](TCustomDIBX& d, int32_t dx) { d.FillRectAdd(TRect(dx, 0, 40 + dx, 24), 0x202020); }},
        {"DrawMaskColor",
         [&](TCustomDIBX& d, int32_t dx) {
             d.DrawMaskColor(1 + dx, 3, mask, mask.BoundsRect(), false, false, 0xFF00FF, 200);
         }},
        {"StretchDraw",
         [&](TCustomDIBX& d, int32_t dx) {
             d.StretchDraw(TRect(dx - 5, -3, dx + 45, 27), source, TRect(1, 1, 29, 15), false, false, true,
                           255);
         }},
        {"RotateDraw",
         [&](TCustomDIBX& d, int32_t dx) {
             d.RotateDraw(20 + dx, 12, 1.2, 0.9, source, source.BoundsRect(), 15, 8, 0.4, false, false, false,
                          255);
         }},
    };
    const std::vector<int32_t> offsets = {0, 0, 3, 3, 3, -2, 5, 5, -7, 0, 1, 12, 40, -40};
    const int32_t origin = 4;
    for (const auto& [name, op] : ops) {
        TDIBX target(40, 24, 32), expected(40, 24, 32);
        target.Assign(base);
        expected.Assign(base);
        TDIBXWave wave(target);
        wave.SetSize(40, 24, 32);
        wave.Offsets = offsets;
        wave.Origin = origin;
        op(wave, 0);
        for (int32_t i = 0; i < int32_t(offsets.size()); ++i) {
            expected.ClipRect = TRect(0, origin + i, 40, origin + i + 1);
            op(expected, offsets[size_t(i)]);
        }
        EXPECT_EQ(FirstDifference(target, expected), "") << name;
        EXPECT_EQ(target.ClipRect, TRect()) << name << " left the target's clip changed";
    }
}

// A 1-bit glyph source; 0 bits are ink.
void PaintInk(TDIBX& source, const std::function<bool(int32_t, int32_t)>& ink)
{
    for (int32_t y = 0; y < source.Height(); ++y)
        for (int32_t x = 0; x < source.Width(); ++x)
            source.SetPixel(x, y, ink(x, y) ? 0 : 1);
}

TEST(DrawOps, MonoGlyphsMixByTheInkCountOfEachBlock)
{
    // Destination pixel k covers source block k: k * 2 ink samples out of 16.
    TDIBX source(32, 4, 1);
    PaintInk(source, [](int32_t x, int32_t y) { return (y * 4 + x % 4) < (x / 4) * 2; });
    const struct
    {
        int32_t Alpha;
        bool FlipH;
        uint32_t Expected[8];
    } cases[] = {
        // floor((255 * c + 0 * (16 - c)) / 16) with c = 2k
        {255, false, {0x000000, 0x1F1F1F, 0x3F3F3F, 0x5F5F5F, 0x7F7F7F, 0x9F9F9F, 0xBFBFBF, 0xDFDFDF}},
        // alpha scales the count: c = floor(128 * 2k / 256) = k
        {128, false, {0x000000, 0x0F0F0F, 0x1F1F1F, 0x2F2F2F, 0x3F3F3F, 0x4F4F4F, 0x5F5F5F, 0x6F6F6F}},
        {255, true, {0xDFDFDF, 0xBFBFBF, 0x9F9F9F, 0x7F7F7F, 0x5F5F5F, 0x3F3F3F, 0x1F1F1F, 0x000000}},
    };
    for (const auto& c : cases) {
        TDIBX dest(8, 1, 32);
        dest.Fill(0);
        dest.DrawMonoGlyph(0, 0, source, source.BoundsRect(), 0xFFFFFF, c.FlipH, false, c.Alpha, 4);
        for (int32_t k = 0; k < 8; ++k)
            EXPECT_EQ(dest.GetPixel(k, 0), c.Expected[k])
                << "alpha " << c.Alpha << " flip " << c.FlipH << " at " << k;
    }
    // On a 5-6-5 surface the channels mix in their own widths: half ink of white over black.
    TDIBX dest16(1, 1, 16);
    dest16.Fill(0);
    TDIBX half(4, 4, 1);
    PaintInk(half, [](int32_t x, int32_t) { return x < 2; });
    dest16.DrawMonoGlyph(0, 0, half, half.BoundsRect(), 0xFFFF, false, false, 255, 4);
    EXPECT_EQ(dest16.GetPixel(0, 0), uint32_t(15 << 11 | 31 << 5 | 15));
}

TEST(DrawOps, MonoGlyphsMatchABitByBitCountForAnyFactorClipAndFlip)
{
    std::mt19937 rng(17);
    for (int32_t round = 0; round < 200; ++round) {
        const int32_t factor = std::vector<int32_t>{1, 2, 3, 4, 5, 8}[rng() % 6];
        TDIBX source(1 + int32_t(rng() % 70), 1 + int32_t(rng() % 30), 1), dest(25, 9, 32);
        PaintInk(source, [&](int32_t, int32_t) { return rng() % 3 != 0; });
        FillRandom(dest, rng);
        TDIBX expected(25, 9, 32);
        expected.Assign(dest);
        // Source rectangles may reach past the source: those samples are paper.
        const TRect srcRect = Bounds(int32_t(rng() % 20) - 8, int32_t(rng() % 10) - 4, int32_t(rng() % 90),
                                     int32_t(rng() % 40));
        const int32_t x = int32_t(rng() % 30) - 5, y = int32_t(rng() % 12) - 3;
        const bool flipH = rng() % 2, flipV = rng() % 2;
        const int32_t alpha = rng() % 2 ? 255 : int32_t(1 + rng() % 254);
        const uint32_t value = rng() & 0xFFFFFF, total = uint32_t(factor * factor);
        const int32_t cols = srcRect.Width() / factor, rows = srcRect.Height() / factor;
        for (int32_t l = 0; l < rows; ++l)
            for (int32_t k = 0; k < cols; ++k) {
                if (!expected.BoundsRect().Contains(x + k, y + l)) continue;
                const int32_t sx0 = srcRect.Left + (flipH ? cols - 1 - k : k) * factor;
                const int32_t sy0 = srcRect.Top + (flipV ? rows - 1 - l : l) * factor;
                uint32_t ink = 0;
                for (int32_t by = 0; by < factor; ++by)
                    for (int32_t bx = 0; bx < factor; ++bx)
                        ink += source.BoundsRect().Contains(sx0 + bx, sy0 + by) &&
                               source.GetPixel(sx0 + bx, sy0 + by) == 0;
                if (alpha <= 254) ink = uint32_t(alpha) * ink / 256;
                if (ink == 0) continue;
                const uint32_t d = expected.GetPixel(x + k, y + l);
                uint32_t out = 0;
                for (int shift : {0, 8, 16})
                    out |= (((value >> shift & 255) * ink + (d >> shift & 255) * (total - ink)) / total)
                           << shift;
                expected.SetPixel(x + k, y + l, out);
            }
        dest.DrawMonoGlyph(x, y, source, srcRect, value, flipH, flipV, alpha, factor);
        ASSERT_EQ(FirstDifference(dest, expected), "") << "round " << round << " factor " << factor;
    }
}

TEST(DrawOps, ThreeColourGlyphsMatchASampleBySampleCount)
{
    std::mt19937 rng(23);
    for (int32_t round = 0; round < 150; ++round) {
        const int32_t factor = std::vector<int32_t>{1, 2, 3, 4}[rng() % 4];
        TDIBX source(1 + int32_t(rng() % 40), 1 + int32_t(rng() % 20), 4), dest(20, 8, 32),
            expected(20, 8, 32);
        for (int32_t y = 0; y < source.Height(); ++y)
            for (int32_t x = 0; x < source.Width(); ++x)
                source.SetPixel(x, y, rng() % 16);
        FillRandom(dest, rng);
        expected.Assign(dest);
        const TRect srcRect =
            Bounds(int32_t(rng() % 10) - 4, int32_t(rng() % 6) - 2, int32_t(rng() % 50), int32_t(rng() % 25));
        const int32_t x = int32_t(rng() % 24) - 4, y = int32_t(rng() % 10) - 2;
        const bool flipH = rng() % 2, flipV = rng() % 2;
        const int32_t alpha = std::vector<int32_t>{255, 100, 300}[rng() % 3];
        const uint32_t values[3] = {uint32_t(rng() & 0xFFFFFF), uint32_t(rng() & 0xFFFFFF),
                                    uint32_t(rng() & 0xFFFFFF)};
        const uint32_t total = uint32_t(factor * factor);
        const int32_t cols = srcRect.Width() / factor, rows = srcRect.Height() / factor;
        for (int32_t l = 0; l < rows; ++l)
            for (int32_t k = 0; k < cols; ++k) {
                if (!expected.BoundsRect().Contains(x + k, y + l)) continue;
                const int32_t sx0 = srcRect.Left + (flipH ? cols - 1 - k : k) * factor;
                const int32_t sy0 = srcRect.Top + (flipV ? rows - 1 - l : l) * factor;
                uint32_t count[4] = {0, 0, 0, 0};
                for (int32_t by = 0; by < factor; ++by)
                    for (int32_t bx = 0; bx < factor; ++bx)
                        ++count[source.BoundsRect().Contains(sx0 + bx, sy0 + by)
                                    ? source.GetPixel(sx0 + bx, sy0 + by) & 3
                                    : 0];
                if (alpha <= 254)
                    for (int c = 1; c < 4; ++c)
                        count[c] = uint32_t(alpha) * count[c] / 256;
                if (count[1] + count[2] + count[3] == 0) continue;
                const uint32_t d = expected.GetPixel(x + k, y + l);
                uint32_t out = 0;
                for (int shift : {0, 8, 16}) {
                    uint32_t sum = 0;
                    for (int c = 1; c < 4; ++c)
                        sum += (values[c - 1] >> shift & 255) * count[c];
                    const uint32_t channel =
                        alpha > 255
                            ? std::min(255u, (d >> shift & 255) + sum / total)
                            : (sum + (d >> shift & 255) * (total - count[1] - count[2] - count[3])) / total;
                    out |= channel << shift;
                }
                expected.SetPixel(x + k, y + l, out);
            }
        dest.DrawGlyph4(x, y, source, srcRect, values[0], values[1], values[2], flipH, flipV, alpha, factor);
        ASSERT_EQ(FirstDifference(dest, expected), "")
            << "round " << round << " factor " << factor << " alpha " << alpha;
    }
}

TEST(DrawOps, ThreeColourGlyphsWeighEachClassByItsCount)
{
    // One 2x2 block holding classes 0, 1, 1, 3 over a grey destination.
    TDIBX source(2, 2, 4);
    source.SetPixel(0, 0, 0);
    source.SetPixel(1, 0, 1);
    source.SetPixel(0, 1, 1);
    source.SetPixel(1, 1, 3);
    TDIBX dest(1, 1, 32);
    dest.Fill(0x404040);
    dest.DrawGlyph4(0, 0, source, source.BoundsRect(), 0xFF0000, 0x00FF00, 0x0000FF, false, false, 255, 2);
    // (d + 2 * value1 + value3) / 4 per channel
    EXPECT_EQ(dest.GetPixel(0, 0), uint32_t((0x40 + 2 * 0xFF) / 4 << 16 | 0x40 / 4 << 8 | (0x40 + 0xFF) / 4));
    // Above 255 the coloured share is added to the whole destination and saturates.
    dest.Fill(0xC04040);
    dest.DrawGlyph4(0, 0, source, source.BoundsRect(), 0xFF0000, 0x00FF00, 0x0000FF, false, false, 300, 2);
    EXPECT_EQ(dest.GetPixel(0, 0), uint32_t(0xFF << 16 | 0x40 << 8 | (0x40 + 0xFF / 4)));
}

TEST(DrawOps, TilesRepeatThePatternFromAWrappedOffsetWithGaps)
{
    TDIBX pattern(5, 3, 32);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x)
            pattern.SetPixel(x, y, uint32_t(0x100 + y * 16 + x));
    const struct
    {
        int32_t OffsetX, OffsetY, GapX, GapY;
    } cases[] = {{0, 0, 0, 0}, {2, 1, 0, 0},   {-3, -7, 0, 0},
                 {1, 0, 2, 1}, {-13, 4, 3, 0}, {1000003, -1000001, 1, 2}};
    for (const auto& c : cases) {
        TDIBX dest(23, 11, 32);
        dest.Fill(0);
        dest.ClipRect = TRect(1, 0, 23, 10);
        const TRect area(2, 1, 21, 11);
        dest.TileDraw(area, pattern, pattern.BoundsRect(), c.OffsetX, c.OffsetY, c.GapX, c.GapY, false, false,
                      false);
        EXPECT_EQ(dest.ClipRect, TRect(1, 0, 23, 10)) << "the clip is restored";
        const int32_t periodX = 5 + c.GapX, periodY = 3 + c.GapY;
        for (int32_t y = 0; y < 11; ++y)
            for (int32_t x = 0; x < 23; ++x) {
                uint32_t want = 0;
                if (area.Contains(x, y) && y < 10) {
                    const int64_t px = ((int64_t(x - area.Left) + c.OffsetX) % periodX + periodX) % periodX;
                    const int64_t py = ((int64_t(y - area.Top) + c.OffsetY) % periodY + periodY) % periodY;
                    if (px < 5 && py < 3) want = pattern.GetPixel(int32_t(px), int32_t(py));
                }
                ASSERT_EQ(dest.GetPixel(x, y), want) << "offset " << c.OffsetX << "," << c.OffsetY << " gap "
                                                     << c.GapX << " at " << x << "," << y;
            }
        // TileFill draws the same picture without gaps.
        if (c.GapX == 0 && c.GapY == 0) {
            TDIBX filled(23, 11, 32);
            filled.Fill(0);
            filled.ClipRect = dest.ClipRect;
            filled.TileFill(area, pattern, c.OffsetX, c.OffsetY, false, false);
            EXPECT_EQ(FirstDifference(filled, dest), "") << c.OffsetX << "," << c.OffsetY;
        }
    }
}

TEST(DrawOps, ZoomedPatternFillsStepThroughThePatternAtOneOverTheZoom)
{
    TDIBX pattern(5, 3, 32);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x)
            pattern.SetPixel(x, y, uint32_t(0x100 + y * 16 + x));
    const TRect area(2, 1, 21, 11);
    for (const auto& [offsetX, offsetY, flipH, flipV] :
         {std::tuple{0, 0, false, false}, {3, 1, true, false}, {-7, -2, false, true}, {11, 4, true, true}}) {
        TDIBX zoomed(23, 12, 32), filled(23, 12, 32);
        zoomed.Fill(0);
        filled.Fill(0);
        zoomed.TileFillZoom(area, pattern, 1.0, 1.0, offsetX, offsetY, false, flipH, flipV, 255);
        filled.TileFill(area, pattern, offsetX, offsetY, flipH, flipV);
        EXPECT_EQ(FirstDifference(zoomed, filled), "") << offsetX << "," << offsetY;
    }
    // At zoom 2 each pattern pixel covers 2 x 2 destination pixels; at 0.5 every other one is used.
    for (double zoom : {2.0, 0.5}) {
        TDIBX zoomed(23, 12, 32);
        zoomed.Fill(0);
        zoomed.TileFillZoom(area, pattern, zoom, zoom, 4, 2, false, false, false, 255);
        for (int32_t y = area.Top; y < area.Bottom; ++y)
            for (int32_t x = area.Left; x < area.Right; ++x) {
                const int32_t px = int32_t((x - area.Left + 4) / zoom) % 5,
                              py = int32_t((y - area.Top + 2) / zoom) % 3;
                ASSERT_EQ(zoomed.GetPixel(x, y), pattern.GetPixel(px, py)) << zoom << " at " << x << "," << y;
            }
    }
}

TEST(DrawOps, AddClipRectClampsAndGrowsTheClip)
{
    TDIBX dib(50, 40, 32);
    const struct
    {
        TRect Before, Added, After;
    } cases[] = {
        {TRect(), TRect(10, 10, 20, 20), TRect(10, 10, 20, 20)}, // no clip: becomes the rectangle
        {TRect(), TRect(-5, -5, 100, 100), TRect(0, 0, 50, 40)}, // clamped to the surface
        {TRect(10, 10, 20, 20), TRect(30, 5, 35, 12),
         TRect(10, 5, 35, 20)}, // smallest rectangle holding both
        {TRect(10, 10, 20, 20), TRect(60, 60, 70, 70), TRect(10, 10, 20, 20)}, // empty after clamping
        {TRect(10, 10, 20, 20), TRect(15, 15, 15, 30), TRect(10, 10, 20, 20)}, // empty
    };
    for (const auto& c : cases) {
        dib.ClipRect = c.Before;
        dib.AddClipRect(c.Added);
        EXPECT_EQ(dib.ClipRect, c.After);
    }
    dib.ResetClipRect();
    EXPECT_EQ(dib.EffectiveClip(), dib.BoundsRect());
}

} // namespace
} // namespace ruko
