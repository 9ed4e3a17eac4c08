// The blend rules pixel by pixel: (operation, format, destination, source, opacity, mask) gives
// one expected pixel, worked out by hand from the rules rather than from the code.
#include "graphics/dibsfc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ruko {
namespace {

enum class EOp
{
    Draw,
    DrawKeyed, // the source pixel is the source's key
    DrawAlpha,
    DrawMask,
    DrawAlphaMask,
    DrawAdd,
    DrawAddKeyed,
    DrawAddMask,
    DrawMaskColor, // source = the value
    FillRectAlpha, // source = the value
    FillRectAdd,
    FillRectSub,
    StretchDraw, // 1x1 over 1x1
    RotateDraw,  // angle 0, zoom 1
    DrawPalette4,
    DrawPalette
};

struct TCase
{
    const char* Why;
    EOp Op;
    int32_t Format;
    uint32_t Dest, Source;
    int32_t Alpha;
    uint32_t Mask;
    uint32_t Expected;
};

// Palette tables: the source pixel is the index, entry i holds the table value below.
uint32_t PaletteTable[256];

// Five pixels wide so that both the four-at-a-time loops and their one-pixel tails take part;
// every pixel must come out the same. Returns 0xDEADBEEF when they differ.
constexpr int32_t Width = 5;

uint32_t Apply(const TCase& c)
{
    TDIBX dest(Width, 1, c.Format), source(Width, 1, c.Format), mask(Width, 1, 8);
    dest.Fill(c.Dest);
    source.Fill(c.Source);
    mask.Fill(c.Mask);
    const TRect all(0, 0, Width, 1);
    switch (c.Op) {
    case EOp::Draw:
        dest.Draw(0, 0, source, all, false, false, false);
        break;
    case EOp::DrawKeyed:
        source.TransparentColor = c.Source;
        dest.Draw(0, 0, source, all, true, false, false);
        break;
    case EOp::DrawAlpha:
        dest.DrawAlpha(0, 0, source, all, false, false, false, c.Alpha);
        break;
    case EOp::DrawMask:
        dest.DrawMask(0, 0, source, all, false, false, mask);
        break;
    case EOp::DrawAlphaMask:
        dest.DrawAlphaMask(0, 0, source, all, false, false, mask, c.Alpha);
        break;
    case EOp::DrawAdd:
        dest.DrawAdd(0, 0, source, all, false, false, c.Alpha);
        break;
    case EOp::DrawAddKeyed:
        source.TransparentColor = c.Source;
        dest.DrawAdd(0, 0, source, all, false, false, c.Alpha);
        break;
    case EOp::DrawAddMask:
        dest.DrawAddMask(0, 0, source, all, false, false, mask, c.Alpha);
        break;
    case EOp::DrawMaskColor:
        dest.DrawMaskColor(0, 0, mask, all, false, false, c.Source, c.Alpha);
        break;
    case EOp::FillRectAlpha:
        dest.FillRectAlpha(all, c.Source, c.Alpha);
        break;
    case EOp::FillRectAdd:
        dest.FillRectAdd(all, c.Source);
        break;
    case EOp::FillRectSub:
        dest.FillRectSub(all, c.Source);
        break;
    case EOp::StretchDraw:
        dest.StretchDraw(all, source, all, false, false, false, c.Alpha);
        break;
    case EOp::RotateDraw:
        dest.RotateDraw(0, 0, 1, 1, source, all, 0, 0, 0, false, false, false, c.Alpha);
        break;
    case EOp::DrawPalette4: {
        TDIBX indices(Width, 1, 4);
        indices.Fill(3);
        indices.TransparentColor = 5;
        PaletteTable[3] = c.Source;
        dest.DrawPalette4(0, 0, indices, all, false, false, c.Alpha, PaletteTable);
        break;
    }
    case EOp::DrawPalette: {
        // Index 7; the mask column carries minIndex.
        TDIBX indices(Width, 1, 8);
        indices.Fill(7);
        PaletteTable[7] = c.Source;
        dest.DrawPalette(0, 0, indices, all, int32_t(c.Mask), false, false, c.Alpha, PaletteTable);
        break;
    }
    }
    for (int32_t x = 1; x < Width; ++x)
        if (dest.GetPixel(x, 0) != dest.GetPixel(0, 0)) return 0xDEADBEEF;
    return dest.GetPixel(0, 0);
}

const TCase Cases[] = {
    // floor(((255 - w) * d + w * s) / 256) per channel
    {"weight 255 does not reach the source", EOp::DrawAlpha, 32, 0x000000, 0xFFFFFF, 255, 0, 0xFEFEFE},
    {"weight 128 per channel", EOp::DrawAlpha, 32, 0x000000, 0xFF8040, 128, 0, 0x7F4020},
    {"mixed channels round down", EOp::DrawAlpha, 32, 0x10F080, 0xF01080, 64, 0, 0x47B77F},
    {"a pixel equal to the source stays", EOp::DrawAlpha, 32, 0x123456, 0x123456, 100, 0, 0x123456},
    {"alpha 0 draws nothing", EOp::DrawAlpha, 32, 0x123456, 0xFFFFFF, 0, 0, 0x123456},
    {"5-6-5 channels", EOp::DrawAlpha, 16, 0x0000, 0xFFFF, 128, 0, 0x7BEF},
    {"5-5-5 channels", EOp::DrawAlpha, 15, 0x0000, 0x7FFF, 128, 0, 0x3DEF},
    {"24-bit like 32", EOp::DrawAlpha, 24, 0x000000, 0xFF8040, 128, 0, 0x7F4020},
    {"8-bit index as one channel", EOp::DrawAlpha, 8, 0, 200, 128, 0, 100},
    {"copy is raw", EOp::Draw, 32, 0x000000, 0xABCDEF, 255, 0, 0xABCDEF},
    {"the key is skipped", EOp::DrawKeyed, 32, 0x111111, 0xABCDEF, 255, 0, 0x111111},
    // masks
    {"mask 255 copies exactly", EOp::DrawMask, 32, 0x000000, 0xFFFFFF, 255, 255, 0xFFFFFF},
    {"mask 0 skips", EOp::DrawMask, 32, 0x123456, 0xFFFFFF, 255, 0, 0x123456},
    {"mask between blends with the mask", EOp::DrawMask, 32, 0x000000, 0xFF8040, 255, 128, 0x7F4020},
    {"opaque mask takes alpha", EOp::DrawAlphaMask, 32, 0x000000, 0xFF0000, 200, 255, 0xC70000},
    {"mask scales alpha", EOp::DrawAlphaMask, 32, 0x000000, 0xFF0000, 200, 128, 0x630000},
    {"a weight that rounds to 0 leaves the pixel", EOp::DrawAlphaMask, 32, 0xFFFFFF, 0x000000, 200, 1,
     0xFFFFFF},
    {"solid colour through a mask at 255", EOp::DrawMaskColor, 32, 0x000000, 0xFF8040, 255, 128, 0x7F4020},
    {"solid colour: opaque mask takes alpha", EOp::DrawMaskColor, 32, 0x000000, 0xFF0000, 200, 255, 0xC70000},
    {"solid colour: mask scales alpha", EOp::DrawMaskColor, 32, 0x000000, 0xFF0000, 200, 128, 0x630000},
    // min(max, d + floor(w * s / 256))
    {"additive saturates", EOp::DrawAdd, 32, 0xF0F0F0, 0x808080, 255, 0, 0xFFFFFF},
    {"additive weight", EOp::DrawAdd, 32, 0x101010, 0x404040, 128, 0, 0x303030},
    {"additive weight 255 is almost the source", EOp::DrawAdd, 32, 0x000000, 0x808080, 255, 0, 0x7F7F7F},
    {"additive 5-6-5", EOp::DrawAdd, 16, 0xF800, 0x0841, 255, 0, 0xF820},
    {"additive honours the key always", EOp::DrawAddKeyed, 32, 0x101010, 0x404040, 255, 0, 0x101010},
    {"8-bit masks add raw values", EOp::DrawAdd, 8, 10, 20, 1, 0, 30},
    {"8-bit masks saturate", EOp::DrawAdd, 8, 200, 100, 255, 0, 255},
    {"masked additive", EOp::DrawAddMask, 32, 0x000000, 0xFF0000, 200, 128, 0x630000},
    // fills
    {"fill towards white at 255", EOp::FillRectAlpha, 32, 0x000000, 0xFFFFFF, 255, 0, 0xFEFEFE},
    {"fill leaves its own colour", EOp::FillRectAlpha, 32, 0xFFFFFF, 0xFFFFFF, 255, 0, 0xFFFFFF},
    {"fill alpha 0 draws nothing", EOp::FillRectAlpha, 32, 0x000000, 0xFFFFFF, 0, 0, 0x000000},
    {"fill add saturates per channel", EOp::FillRectAdd, 32, 0x80F010, 0x902020, 0, 0, 0xFFFF30},
    {"fill subtract floors at 0", EOp::FillRectSub, 32, 0x80F010, 0x902020, 0, 0, 0x00D000},
    {"fill subtract 5-6-5", EOp::FillRectSub, 16, 0x8410, 0xF800, 0, 0, 0x0410},
    // the opacity of scaled and rotated draws
    {"stretch 255 copies", EOp::StretchDraw, 32, 0x000000, 0xFFFFFF, 255, 0, 0xFFFFFF},
    {"stretch 254 blends", EOp::StretchDraw, 32, 0x000000, 0xFFFFFF, 254, 0, 0xFDFDFD},
    {"rotate 255 copies", EOp::RotateDraw, 32, 0x000000, 0xFFFFFF, 255, 0, 0xFFFFFF},
    {"rotate 1..254 blends", EOp::RotateDraw, 32, 0x000000, 0xFF8040, 128, 0, 0x7F4020},
    {"rotate 256 + w adds", EOp::RotateDraw, 32, 0x101010, 0x404040, 256 + 128, 0, 0x303030},
    {"rotate 511 adds at 255", EOp::RotateDraw, 32, 0x000000, 0x808080, 511, 0, 0x7F7F7F},
    {"rotate past 511 adds at 255", EOp::RotateDraw, 32, 0x000000, 0x808080, 700, 0, 0x7F7F7F},
    {"rotate 256 adds nothing", EOp::RotateDraw, 32, 0x101010, 0x404040, 256, 0, 0x101010},
    {"rotate 0 draws nothing", EOp::RotateDraw, 32, 0x101010, 0x404040, 0, 0, 0x101010},
    // palettes
    {"4-bit palette copies its entry", EOp::DrawPalette4, 32, 0x000000, 0xABCDEF, 255, 0, 0xABCDEF},
    {"4-bit palette blends", EOp::DrawPalette4, 32, 0x000000, 0xFF8040, 128, 0, 0x7F4020},
    {"4-bit palette adds", EOp::DrawPalette4, 32, 0x101010, 0x404040, 256 + 128, 0, 0x303030},
    {"4-bit palette adds no zero entry", EOp::DrawPalette4, 32, 0x101010, 0x000000, 300, 0, 0x101010},
    {"4-bit palette leaves white", EOp::DrawPalette4, 32, 0xFFFFFF, 0x404040, 300, 0, 0xFFFFFF},
    {"4-bit palette uses low words on 16 bits", EOp::DrawPalette4, 16, 0x0000, 0xABCD1234, 255, 0, 0x1234},
    {"8-bit palette adds even at 255", EOp::DrawPalette, 32, 0x000000, 0xFFFFFF, 255, 0, 0xFEFEFE},
    {"8-bit palette skips indices below the minimum", EOp::DrawPalette, 32, 0x000000, 0xFFFFFF, 255, 8,
     0x000000},
    {"8-bit palette draws nothing on 24 bits", EOp::DrawPalette, 24, 0x000000, 0xFFFFFF, 255, 0, 0x000000},
};

TEST(DrawRules, EachOperationGivesTheExpectedPixel)
{
    for (const TCase& c : Cases)
        EXPECT_EQ(Apply(c), c.Expected) << c.Why << std::hex << " (got 0x" << Apply(c) << ")";
}

TEST(DrawRules, ColorToPixelPacksTheChannelsOfEachFormat)
{
    const struct
    {
        int32_t Format;
        int64_t Colour, Pixel;
    } cases[] = {
        {16, 0x0000FF, 0xF800},   {15, 0x0000FF, 0x7C00},   {16, 0x00FF00, 0x07E0}, {15, 0xFF0000, 0x001F},
        {32, 0x0000FF, 0xFF0000}, {32, 0x123456, 0x563412}, {16, -1, -1},           {32, -1, -1},
        {8, 0x000042, 0x42},
    };
    for (const auto& c : cases) {
        TDIBX dib(1, 1, c.Format);
        EXPECT_EQ(dib.ColorToPixel(c.Colour), c.Pixel) << c.Format << " " << c.Colour;
    }
}

TEST(DrawRules, FillSetsEveryPixelAndBlankArgumentsDrawNothing)
{
    TDIBX dib(37, 5, 32), source(37, 5, 32);
    dib.Fill(0x00ABCDEF);
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 37; ++x)
            ASSERT_EQ(dib.GetPixel(x, y), 0xABCDEFu) << x << "," << y;

    source.Fill(0x123456);
    const double bad[] = {0.0, -1.0, std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()};
    for (double zoom : bad) {
        dib.RotateDraw(10, 2, zoom, 1, source, source.BoundsRect(), 0, 0, 0.5, false, false, false, 255);
        dib.RotateDraw(10, 2, 1, zoom, source, source.BoundsRect(), 0, 0, 0.5, false, false, false, 255);
        dib.TileFillZoom(dib.BoundsRect(), source, zoom, 1, 0, 0, false, false, false, 255);
        EXPECT_TRUE(RotatedBounds(10, 2, zoom, 1, source.BoundsRect(), 0, 0, 0.5, false, false).IsEmpty())
            << zoom;
    }
    dib.RotateDraw(10, 2, 1, 1, source, source.BoundsRect(), 0, 0, std::nan(""), false, false, false, 255);
    // A draw entirely outside the clip leaves everything as it was.
    dib.ClipRect = TRect(0, 0, 5, 5);
    dib.Draw(10, 0, source, source.BoundsRect(), false, false, false);
    dib.StretchDraw(TRect(6, 0, 30, 5), source, source.BoundsRect(), false, false, false, 255);
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 37; ++x)
            ASSERT_EQ(dib.GetPixel(x, y), 0xABCDEFu) << x << "," << y;
}

// A source whose pixel value is its column number.
void NumberColumns(TDIBX& dib)
{
    for (int32_t y = 0; y < dib.Height(); ++y)
        for (int32_t x = 0; x < dib.Width(); ++x)
            dib.SetPixel(x, y, uint32_t(x));
}

TEST(DrawRules, StretchesWiderThanTheOldColumnTableDrawEveryColumn)
{
    // 1,500 source columns doubled to 3,000: column i shows source column i / 2 (centre sampling).
    TDIBX source(1500, 2, 32), dest(3000, 2, 32);
    NumberColumns(source);
    dest.Fill(0xFFFFFF);
    dest.StretchDraw(dest.BoundsRect(), source, source.BoundsRect(), false, false, false, 255);
    for (int32_t x = 0; x < 3000; ++x)
        ASSERT_EQ(dest.GetPixel(x, 1), uint32_t(x / 2)) << x;
    // Mirrored and halved: column i samples the centre of source columns 1498 - 2i and 1499 - 2i.
    TDIBX half(750, 1, 32);
    half.StretchDraw(half.BoundsRect(), source, source.BoundsRect(), false, true, false, 255);
    for (int32_t x = 0; x < 750; ++x)
        ASSERT_EQ(half.GetPixel(x, 0), uint32_t(1498 - 2 * x)) << x;
}

TEST(DrawRules, ExtremeZoomsStayInsideTheSurfaces)
{
    TDIBX source(3, 3, 32), mask(2, 2, 8), dest(40, 30, 32);
    NumberColumns(source);
    mask.Fill(255);
    // Zoomed a billion times, the centre pixel covers the whole surface.
    dest.Fill(0xFFFFFF);
    dest.RotateDraw(20, 15, 1e9, 1e9, source, source.BoundsRect(), 1, 1, 0.3, false, false, false, 255);
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x)
            ASSERT_EQ(dest.GetPixel(x, y), 1u) << x << "," << y;
    // Shrunk a billion times, at most the pivot's pixel is drawn.
    dest.Fill(0xFFFFFF);
    dest.RotateDraw(20, 15, 1e-9, 1e-9, source, source.BoundsRect(), 1, 1, 0.3, false, false, false, 255);
    int32_t drawn = 0;
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x)
            drawn += dest.GetPixel(x, y) != 0xFFFFFF;
    EXPECT_LE(drawn, 1);
    // Unequal extreme zooms far off the surface: the row starts lie far beyond 64-bit fixed point.
    for (int32_t x : {2000000000, -2000000000, 20})
        for (double angle : {0.0, 1.0, 2.5}) {
            dest.RotateDraw(x, 15, 1e-9, 1e9, source, source.BoundsRect(), 1, 1, angle, false, false, false,
                            255);
            dest.RotateDraw(x, -x, 1e9, 1e-9, source, source.BoundsRect(), 1, 1, angle, false, true, true,
                            300);
        }
    // A mask smaller than the source limits the drawn area instead of being read past its end.
    dest.Fill(0xFFFFFF);
    dest.RotateDrawMask(0, 0, 10, 10, source, source.BoundsRect(), 0, 0, 0, mask, false, false, 255);
    EXPECT_EQ(dest.GetPixel(19, 19), 1u);
    EXPECT_EQ(dest.GetPixel(25, 5), 0xFFFFFFu);
    EXPECT_EQ(dest.GetPixel(5, 25), 0xFFFFFFu);
    dest.Fill(0xFFFFFF);
    dest.StretchDrawMask(dest.BoundsRect(), source, source.BoundsRect(), mask, false, false, 255);
    EXPECT_EQ(dest.GetPixel(39, 0), 0xFFFFFFu);
    EXPECT_EQ(dest.GetPixel(0, 0), 0u);
    // Source rectangles reaching outside the source draw only what exists.
    dest.Fill(0xFFFFFF);
    dest.Draw(0, 0, source, TRect(-2, -2, 100, 100), false, false, false);
    EXPECT_EQ(dest.GetPixel(1, 1), 0xFFFFFFu);
    EXPECT_EQ(dest.GetPixel(2, 2), 0u);
    EXPECT_EQ(dest.GetPixel(4, 4), 2u);
    EXPECT_EQ(dest.GetPixel(5, 5), 0xFFFFFFu);
}

} // namespace
} // namespace ruko
