#include "words/fontpixels.h"

#include <gtest/gtest.h>

#include <memory>

using namespace ruko;

namespace {

constexpr uint32_t Black = 0x000000, White = 0xFFFFFF, Red = 0xFF0000, Blue = 0x0000FF, Green = 0x00FF00;

// A glyph of w × h pixels of `coverage`, at bearing 0 and top 0, in a cell as wide as it.
std::unique_ptr<TFontPixel> Block(int w, int h, uint8_t coverage = 255)
{
    auto glyph = std::make_unique<TFontPixel>();
    glyph->Size = h;
    glyph->Bitmap.SetSize(w, h, 8);
    glyph->Bitmap.Fill(coverage);
    glyph->CharB = w;
    return glyph;
}

struct TCanvas
{
    TDIBX colour{16, 12, 32};
    TDIBX mask{16, 12, 8};
    TCanvas()
    {
        colour.Fill(Black);
        mask.Fill(0);
    }
    void Draw(const TFontPixel& glyph, TRect cell, int border = 0, int shadow = 0, bool opaque = false,
              bool leftOpen = false, bool rightOpen = false)
    {
        TFontPixelManager::DrawGlyph(glyph, colour, mask, opaque, cell, White, Red, Blue, border, shadow,
                                     leftOpen, rightOpen);
    }
};

TEST(DrawGlyph, PlainSetsColourWhereThereIsCoverageAndKeepsTheLargerMask)
{
    const auto block = Block(2, 2, 100);
    TFontPixel& glyph = *block;
    glyph.Bitmap.SetPixel(0, 0, 0);
    glyph.LeftBearing = 1;
    glyph.TopOffset = 2;
    TCanvas canvas;
    canvas.mask.SetPixel(2, 2, 150);
    canvas.Draw(glyph, TRect(0, 0, 3, 4));
    EXPECT_EQ(canvas.colour.GetPixel(1, 2), Black); // no coverage
    EXPECT_EQ(canvas.mask.GetPixel(1, 2), 0u);
    EXPECT_EQ(canvas.colour.GetPixel(2, 2), White);
    EXPECT_EQ(canvas.mask.GetPixel(2, 2), 150u);
    EXPECT_EQ(canvas.mask.GetPixel(2, 3), 100u);

    TCanvas opaque;
    opaque.mask.SetPixel(2, 2, 150);
    opaque.Draw(glyph, TRect(0, 0, 3, 4), 0, 0, true);
    EXPECT_EQ(opaque.colour.GetPixel(1, 2), White);
    EXPECT_EQ(opaque.mask.GetPixel(1, 2), 0u);
    EXPECT_EQ(opaque.mask.GetPixel(2, 2), 100u);
}

TEST(DrawGlyph, BorderStampsTheSquareAroundEachPixelAndTheGlyphSitsInside)
{
    const auto block = Block(1, 1);
    TFontPixel& glyph = *block;
    TCanvas canvas;
    canvas.Draw(glyph, TRect(4, 4, 7, 7), 1);
    // Drawn rectangle (4, 4) 3 × 3; the glyph at (+1, +1).
    for (int y = 4; y < 7; ++y)
        for (int x = 4; x < 7; ++x) {
            EXPECT_EQ(canvas.mask.GetPixel(x, y), 255u) << x << "," << y;
            EXPECT_EQ(canvas.colour.GetPixel(x, y), x == 5 && y == 5 ? White : Red) << x << "," << y;
        }
    EXPECT_EQ(canvas.mask.GetPixel(7, 5), 0u);
}

// The outline as written: each coverage pixel in row order stamps the square around it, rows
// outer and columns inner, on 32-bit pixels one at a time; then the glyph over the border colour.
void ReferenceOutline(const TFontPixel& glyph, TDIBX& colour, TDIBX& mask, int x0, int y0, int b,
                      uint32_t text, uint32_t border)
{
    auto blend = [](uint32_t d, uint32_t s, uint32_t w) {
        uint32_t out = 0;
        for (int shift : {0, 8, 16}) {
            const uint32_t dc = (d >> shift) & 255, sc = (s >> shift) & 255;
            out |= ((dc * (255 - w) + sc * w) / 255) << shift;
        }
        return out;
    };
    const TDIBX& bits = glyph.Bitmap;
    for (int gy = 0; gy < bits.Height(); ++gy)
        for (int gx = 0; gx < bits.Width(); ++gx) {
            const uint32_t c = bits.GetPixel(gx, gy);
            if (!c) continue;
            for (int dy = -b; dy <= b; ++dy)
                for (int dx = -b; dx <= b; ++dx) {
                    const int x = x0 + b + gx + dx, y = y0 + b + gy + dy;
                    if ((dx == 0 && dy == 0) || x < 0 || y < 0 || x >= mask.Width() || y >= mask.Height())
                        continue;
                    const uint32_t m = mask.GetPixel(x, y);
                    const uint32_t now = m + c * (255 - m) / 255;
                    mask.SetPixel(x, y, now);
                    colour.SetPixel(x, y, blend(colour.GetPixel(x, y), border, c * 255 / now));
                }
        }
    for (int gy = 0; gy < bits.Height(); ++gy)
        for (int gx = 0; gx < bits.Width(); ++gx) {
            const uint32_t c = bits.GetPixel(gx, gy);
            const int x = x0 + b + gx, y = y0 + b + gy;
            if (!c || x >= mask.Width() || y >= mask.Height()) continue;
            mask.SetPixel(x, y, 255);
            colour.SetPixel(x, y, blend(border, text, c));
        }
}

TEST(DrawGlyph, OutlineEqualsStampingOnePixelAtATime)
{
    // Smooth coverage over a surface that already holds other colours and coverage.
    const auto block = Block(7, 6);
    TFontPixel& glyph = *block;
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245 + 12345, (seed >> 16) & 0xFF; };
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x)
            glyph.Bitmap.SetPixel(x, y, next() < 80 ? 0 : next());
    for (int b : {1, 2, 3}) {
        TCanvas canvas, reference;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                const uint32_t m = next() < 128 ? 0 : next(), c = next() << 16 | next() << 8 | next();
                for (TCanvas* each : {&canvas, &reference}) {
                    each->mask.SetPixel(x, y, m);
                    each->colour.SetPixel(x, y, c);
                }
            }
        canvas.Draw(glyph, TRect(3, 2, 10, 8), b);
        ReferenceOutline(glyph, reference.colour, reference.mask, 3, 2, b, White, Red);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                ASSERT_EQ(canvas.mask.GetPixel(x, y), reference.mask.GetPixel(x, y))
                    << b << ": " << x << "," << y;
                ASSERT_EQ(canvas.colour.GetPixel(x, y), reference.colour.GetPixel(x, y))
                    << b << ": " << x << "," << y;
            }
    }
}

TEST(DrawGlyph, OverAccumulatesTheMaskAndWeightsTheColour)
{
    const auto block = Block(1, 1, 128);
    TFontPixel& glyph = *block;
    TCanvas canvas;
    canvas.mask.Fill(255);
    canvas.Draw(glyph, TRect(0, 0, 1, 1), 0, 1); // with a shadow the glyph is blended "over"
    // Full mask: weight = coverage, half-way from black to white, truncated.
    EXPECT_EQ(canvas.colour.GetPixel(0, 0), 0x808080u);
    // The shadow at (+1, +1), drawn the same way in its own colour.
    EXPECT_EQ(canvas.colour.GetPixel(1, 1), 0x000080u);

    // On an empty mask the first coverage takes its colour whole: mask 128, weight 128 × 255 / 128.
    TCanvas empty;
    empty.Draw(glyph, TRect(0, 0, 1, 1), 0, 1);
    EXPECT_EQ(empty.mask.GetPixel(0, 0), 128u);
    EXPECT_EQ(empty.colour.GetPixel(0, 0), White);
    EXPECT_EQ(empty.colour.GetPixel(1, 1), Blue);
}

TEST(DrawGlyph, ShadowIsOutlinedWhenThereIsABorderAndDrawnFirst)
{
    const auto block = Block(1, 1);
    TFontPixel& glyph = *block;
    TCanvas canvas;
    canvas.Draw(glyph, TRect(2, 2, 6, 6), 1, 2);
    EXPECT_EQ(canvas.colour.GetPixel(3, 3), White);
    EXPECT_EQ(canvas.colour.GetPixel(5, 5), Blue); // shadow glyph at (+b+s, +b+s)
    EXPECT_EQ(canvas.colour.GetPixel(6, 6), Blue); // its outline
    EXPECT_EQ(canvas.colour.GetPixel(4, 4), Red);  // the glyph's outline over the shadow's
    EXPECT_EQ(canvas.mask.GetPixel(7, 7), 0u);
}

TEST(DrawGlyph, BarsSpanTheCellAndOpenSidesShortenThem)
{
    const auto block = Block(0, 0);
    TFontPixel& glyph = *block;
    glyph.Size = 6;
    glyph.UnderlineSize = 1;
    glyph.StrikePosition = 2;
    glyph.StrikeSize = 2;
    struct TCase
    {
        int shadow;
        bool leftOpen, rightOpen;
        int underLeft, underRight, shadowLeft;
    };
    for (const TCase& c : {TCase{0, false, false, 2, 10, -1}, TCase{2, false, true, 2, 8, 2},
                           TCase{2, true, false, 2, 10, 4}}) {
        TCanvas canvas;
        canvas.Draw(glyph, TRect(2, 0, 10, 6), 0, c.shadow, false, c.leftOpen, c.rightOpen);
        for (int x = 0; x < 16; ++x) {
            const bool under = x >= c.underLeft && x < c.underRight;
            EXPECT_EQ(canvas.colour.GetPixel(x, 2), under ? White : Black) << x << " shadow " << c.shadow;
            if (c.shadow == 0) {
                EXPECT_EQ(canvas.colour.GetPixel(x, 5), under ? White : Black) << x;
            }
            const bool shade = c.shadow && x >= c.shadowLeft && x < 10;
            EXPECT_EQ(canvas.colour.GetPixel(x, 7), shade ? Blue : Black) << x << " shadow " << c.shadow;
        }
        EXPECT_EQ(canvas.mask.GetPixel(5, 5), 255u);
    }
}

TEST(DrawGlyph, CentresByCharacterWidthsAndFallsBackToHalfTheSpace)
{
    struct TCase
    {
        int a, b, c;
        int expectedLeft;
    };
    // Cell 10 wide, size 10, bitmap 2: free space f = 8.
    for (const TCase& c : {TCase{1, 2, 1, 4},    // (1 + 1) × 8 / 4 = 4
                           TCase{0, 2, 0, 4},    // A + C = 0: f div 2
                           TCase{-5, 2, 0, 4},   // A + B + C <= 0: f div 2, never a division by it
                           TCase{3, 2, 1, 5}}) { // (3 + 1) × 8 / 6 = 5.33, nearest 5
        const auto block = Block(2, 1);
        TFontPixel& glyph = *block;
        glyph.Size = 10;
        glyph.CharA = c.a;
        glyph.CharB = c.b;
        glyph.CharC = c.c;
        TCanvas canvas;
        canvas.Draw(glyph, TRect(0, 0, 10, 1));
        int left = -1;
        for (int x = 15; x >= 0; --x)
            if (canvas.mask.GetPixel(x, 0)) left = x;
        EXPECT_EQ(left, c.expectedLeft) << c.a << " " << c.b << " " << c.c;
    }
}

TEST(DrawGlyph, EveryWriteStaysInsideTheClipAndTheSurfaces)
{
    const auto block = Block(40, 300);
    TFontPixel& glyph = *block;
    glyph.Size = 8;
    glyph.TopOffset = 0;
    glyph.UnderlineSize = 100000;
    glyph.StrikePosition = -50;
    glyph.StrikeSize = 1000;
    TCanvas canvas;
    canvas.colour.ClipRect = TRect(4, 4, 8, 8);
    for (TRect cell : {TRect(-20, -20, 30, 30), TRect(2, 2, 40, 10), TRect(-2000000000, 5, 2000000000, 9)})
        for (int border : {0, 2, 40})
            canvas.Draw(glyph, cell, border, 3, false, true, true);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 4 && x < 8 && y >= 4 && y < 8;
            if (!inside) {
                EXPECT_EQ(canvas.mask.GetPixel(x, y), 0u) << x << "," << y;
                EXPECT_EQ(canvas.colour.GetPixel(x, y), Black) << x << "," << y;
            }
        }
    EXPECT_EQ(canvas.mask.GetPixel(5, 5), 255u);
}

TEST(DrawGlyph, FifteenAndSixteenBitSurfacesBlendInTheirChannels)
{
    const auto block = Block(1, 1, 128);
    TFontPixel& glyph = *block;
    for (int format : {15, 16}) {
        TDIBX colour(2, 2, format), mask(2, 2, 8);
        colour.Fill(0);
        mask.Fill(255);
        const uint32_t white = uint32_t(colour.ColorToPixel(0xFFFFFF));
        TFontPixelManager::DrawGlyph(glyph, colour, mask, false, TRect(0, 0, 1, 1), white, 0, 0, 0, 1, false,
                                     false);
        // Each channel: 128 / 255 of its maximum, truncated (31 → 15, 63 → 31).
        EXPECT_EQ(colour.GetPixel(0, 0),
                  format == 15 ? (15u << 10 | 15u << 5 | 15u) : (15u << 11 | 31u << 5 | 15u))
            << format;
        EXPECT_EQ(mask.GetPixel(0, 0), 255u);
    }
}

} // namespace
