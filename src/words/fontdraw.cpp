// DrawGlyph: a cached glyph with its outline, shadow and bars onto a colour surface and the 8-bit
// coverage mask beside it.
#include "graphics/drawpixels.h"
#include "words/fontpixels.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ruko {

using namespace pixels;

namespace {

// Outlines and shadows wider than this are not drawn wider (a stamp costs (2b + 1)² per pixel).
constexpr int32_t MaxDecoration = 32;

// floor(x / 255) for 0 <= x < 65535.
inline uint32_t Div255(uint32_t x)
{
    return (x + 1 + (x >> 8)) >> 8;
}

// c × 255 / m, the colour weight of a stamp of coverage c that brought the mask to m.
const uint8_t* WeightTable()
{
    // Never destroyed, like every cache in static storage: an exit() from a library finds it whole.
    static const std::vector<uint8_t>& table = *new std::vector<uint8_t>([] {
        std::vector<uint8_t> t(65536, 0);
        for (uint32_t c = 0; c < 256; ++c)
            for (uint32_t m = 1; m < 256; ++m)
                t[c << 8 | m] = uint8_t(std::min<uint32_t>(255, c * 255 / m));
        return t;
    }());
    return table.data();
}

template <uint32_t M> inline uint32_t BlendField(uint32_t d, uint32_t s, uint32_t w)
{
    if constexpr (M == 0) {
        return 0;
    } else {
        constexpr int at = __builtin_ctz(M);
        const uint32_t dc = (d & M) >> at, sc = (s & M) >> at;
        return (Div255(dc * (255 - w) + sc * w) << at) & M;
    }
}

// (d × (255 − w) + s × w) / 255 per channel, truncated.
template <class F> inline uint32_t Blend(uint32_t d, uint32_t s, uint32_t w)
{
    return BlendField<F::RMask>(d, s, w) | BlendField<F::GMask>(d, s, w) | BlendField<F::BMask>(d, s, w);
}

// Writes to one colour surface of format F (or none: `colour` null) and its mask, inside `clip`.
template <class F> class TPainter
{
  public:
    TPainter(uint8_t* colour, intptr_t colourPitch, uint8_t* mask, intptr_t maskPitch, TRect clip)
        : colour_(colour), colourPitch_(colourPitch), mask_(mask), maskPitch_(maskPitch), clip_(clip),
          weights_(WeightTable())
    {
    }

    // Glyph pixels with coverage: colour set, mask keeps the larger value; `opaque` fills the
    // whole bitmap rectangle and copies the coverage.
    void Plain(const TDIBX& bitmap, int32_t x0, int32_t y0, uint32_t value, bool opaque)
    {
        ForGlyph(bitmap, x0, y0, opaque, [&](int32_t x, int32_t y, uint32_t c, uint8_t* m) {
            if (opaque) {
                *m = uint8_t(c);
                SetColour(x, y, value);
            } else if (c) {
                *m = std::max<uint8_t>(*m, uint8_t(c));
                SetColour(x, y, value);
            }
        });
    }

    // "Over" the surface: mask := m + c(255 − m)/255, colour weighted by c × 255 / mask.
    void Over(const TDIBX& bitmap, int32_t x0, int32_t y0, uint32_t value)
    {
        ForGlyph(bitmap, x0, y0, false, [&](int32_t x, int32_t y, uint32_t c, uint8_t* m) {
            if (c) Accumulate(x, y, c, m, value);
        });
    }

    // Mask 255 under the glyph and the glyph's colour blended over `under` by its coverage.
    void Solid(const TDIBX& bitmap, int32_t x0, int32_t y0, uint32_t value, uint32_t under)
    {
        ForGlyph(bitmap, x0, y0, false, [&](int32_t x, int32_t y, uint32_t c, uint8_t* m) {
            if (!c) return;
            *m = 255;
            SetColour(x, y, c == 255 ? value : Blend<F>(under, value, c));
        });
    }

    // Every coverage pixel, in row order, onto the (2b + 1)² square around it except its own
    // position (rows outer, columns inner), accumulating. The stamps work on a copy of the mask
    // with a flag per pixel telling that its colour already is `value`: blending that colour into
    // itself changes nothing, so such pixels only accumulate coverage. Every pixel still receives
    // its stamps in the same order, so the result is that of stamping one by one.
    void Stamp(const TDIBX& bitmap, int32_t x0, int32_t y0, int32_t b, uint32_t value)
    {
        const int32_t w = bitmap.Width(), h = bitmap.Height();
        const int64_t left = std::max<int64_t>(int64_t(x0) - b, clip_.Left);
        const int64_t top = std::max<int64_t>(int64_t(y0) - b, clip_.Top);
        const int64_t right = std::min<int64_t>(int64_t(x0) + w + b, clip_.Right);
        const int64_t bottom = std::min<int64_t>(int64_t(y0) + h + b, clip_.Bottom);
        if (left >= right || top >= bottom) return;
        const int64_t boxWidth = right - left, boxHeight = bottom - top;
        std::vector<uint8_t> masks(size_t(boxWidth * boxHeight)), settled(masks.size());
        for (int64_t y = top; y < bottom; ++y) {
            const uint8_t* m = mask_ + y * maskPitch_ + left;
            uint8_t* to = masks.data() + (y - top) * boxWidth;
            uint8_t* same = settled.data() + (y - top) * boxWidth;
            std::copy(m, m + boxWidth, to);
            const uint8_t* row = colour_ ? colour_ + y * colourPitch_ : nullptr;
            for (int64_t x = 0; x < boxWidth; ++x)
                same[x] = !row || F::Load(row, intptr_t(left + x)) == value;
        }
        for (int32_t gy = 0; gy < h; ++gy) {
            const uint8_t* row = bitmap.ScanLine(gy);
            const int64_t cy = int64_t(y0) + gy;
            const int64_t rowTop = std::max(cy - b, top), rowBottom = std::min(cy + b + 1, bottom);
            for (int32_t gx = 0; gx < w; ++gx) {
                const uint32_t c = row[gx];
                if (!c) continue;
                const int64_t cx = int64_t(x0) + gx;
                const int64_t from = std::max(cx - b, left), to = std::min(cx + b + 1, right);
                for (int64_t y = rowTop; y < rowBottom; ++y) {
                    uint8_t* m = masks.data() + (y - top) * boxWidth - left;
                    const uint8_t* same = settled.data() + (y - top) * boxWidth - left;
                    for (int64_t x = from; x < to; ++x) {
                        if (x == cx && y == cy) continue;
                        if (same[x])
                            m[x] = uint8_t(m[x] + Div255(c * (255 - m[x])));
                        else
                            SlowStamp(x, y, c, m + x, const_cast<uint8_t*>(same) + x, value);
                    }
                }
            }
        }
        for (int64_t y = top; y < bottom; ++y) {
            const uint8_t* from = masks.data() + (y - top) * boxWidth;
            std::copy(from, from + boxWidth, mask_ + y * maskPitch_ + left);
        }
    }

    // A bar: colour set, mask 255, on rows [top, bottom) and columns [left, right).
    void Bar(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t value)
    {
        left = std::max<int64_t>(left, clip_.Left);
        top = std::max<int64_t>(top, clip_.Top);
        right = std::min<int64_t>(right, clip_.Right);
        bottom = std::min<int64_t>(bottom, clip_.Bottom);
        for (int64_t y = top; y < bottom; ++y)
            for (int64_t x = left; x < right; ++x) {
                mask_[y * maskPitch_ + x] = 255;
                SetColour(int32_t(x), int32_t(y), value);
            }
    }

  private:
    template <class Fn> void ForGlyph(const TDIBX& bitmap, int32_t x0, int32_t y0, bool all, Fn&& fn)
    {
        const int64_t left = std::max<int64_t>(x0, clip_.Left), top = std::max<int64_t>(y0, clip_.Top);
        const int64_t right = std::min<int64_t>(int64_t(x0) + bitmap.Width(), clip_.Right);
        const int64_t bottom = std::min<int64_t>(int64_t(y0) + bitmap.Height(), clip_.Bottom);
        for (int64_t y = top; y < bottom; ++y) {
            const uint8_t* row = bitmap.ScanLine(int32_t(y - y0));
            uint8_t* m = mask_ + y * maskPitch_;
            for (int64_t x = left; x < right; ++x) {
                const uint32_t c = row[x - x0];
                if (c || all) fn(int32_t(x), int32_t(y), c, m + x);
            }
        }
    }

    void Accumulate(int32_t x, int32_t y, uint32_t c, uint8_t* m, uint32_t value)
    {
        const uint32_t old = *m;
        const uint32_t now = old + Div255(c * (255 - old));
        *m = uint8_t(now);
        if (!colour_) return;
        uint8_t* row = colour_ + intptr_t(y) * colourPitch_;
        const uint32_t d = F::Load(row, x);
        if (d == value) return;
        F::Store(row, x, Blend<F>(d, value, weights_[c << 8 | now]));
    }

    // A stamp on a pixel whose colour differs from the stamp's: blended on the surface.
    void SlowStamp(int64_t x, int64_t y, uint32_t c, uint8_t* m, uint8_t* same, uint32_t value)
    {
        const uint32_t now = *m + Div255(c * (255 - *m));
        *m = uint8_t(now);
        uint8_t* row = colour_ + y * colourPitch_;
        const uint32_t blended = Blend<F>(F::Load(row, intptr_t(x)), value, weights_[c << 8 | now]);
        F::Store(row, intptr_t(x), blended);
        *same = blended == value;
    }

    void SetColour(int32_t x, int32_t y, uint32_t value)
    {
        if (colour_) F::Store(colour_ + intptr_t(y) * colourPitch_, x, value);
    }

    uint8_t* colour_;
    intptr_t colourPitch_;
    uint8_t* mask_;
    intptr_t maskPitch_;
    TRect clip_;
    const uint8_t* weights_;
};

struct TBars
{
    int64_t UnderTop = 0, UnderBottom = 0; // rows, empty when top == bottom
    int64_t StrikeTop = 0, StrikeBottom = 0;
};

// Horizontal placement: the glyph centred in a cell wider than it by the character's widths.
int32_t CentringShift(const TFontPixel& glyph, const TRect& cell)
{
    const int64_t g = std::min<int64_t>(int64_t(cell.Right) - cell.Left, glyph.Size);
    const int64_t f = g - glyph.Bitmap.Width();
    if (int64_t(glyph.LeftBearing) + glyph.RightSpace >= f) return 0;
    const int64_t a = glyph.CharA, b = glyph.CharB, c = glyph.CharC;
    int64_t offset;
    if (a + c != 0 && a + b + c > 0)
        offset = int64_t(std::nearbyint(double((a + b / 2) * f) / double(a + b + c)));
    else
        offset = f / 2;
    return int32_t(std::clamp<int64_t>(offset - glyph.LeftBearing, 0, INT32_MAX));
}

template <class F>
void DrawIn(TPainter<F>& p, const TFontPixel& glyph, bool opaque, const TRect& cell, uint32_t text,
            uint32_t borderColour, uint32_t shadowColour, int32_t b, int32_t s, bool leftOpen, bool rightOpen)
{
    const TDIBX& bitmap = glyph.Bitmap;
    const int32_t shift = CentringShift(glyph, cell);
    const int32_t x0 = int32_t(
        std::clamp<int64_t>(int64_t(cell.Left) + glyph.LeftBearing + shift, INT32_MIN / 2, INT32_MAX / 2));
    const int32_t y0 =
        int32_t(std::clamp<int64_t>(int64_t(cell.Top) + glyph.TopOffset, INT32_MIN / 2, INT32_MAX / 2));

    TBars bars;
    if (glyph.UnderlineSize > 0) {
        bars.UnderBottom = cell.Bottom;
        bars.UnderTop = int64_t(cell.Bottom) - glyph.UnderlineSize;
    }
    if (glyph.StrikeSize > 0) {
        bars.StrikeTop = int64_t(cell.Top) + glyph.StrikePosition;
        bars.StrikeBottom = bars.StrikeTop + glyph.StrikeSize;
    }
    // Bars with `grow` rows above and below, on columns [left, right), `down` rows lower.
    auto drawBars = [&](int64_t left, int64_t right, int64_t down, int64_t grow, uint32_t value) {
        if (bars.UnderBottom > bars.UnderTop)
            p.Bar(left, bars.UnderTop + down - grow, right, bars.UnderBottom + down + grow, value);
        if (bars.StrikeBottom > bars.StrikeTop)
            p.Bar(left, bars.StrikeTop + down - grow, right, bars.StrikeBottom + down + grow, value);
    };
    const int64_t mainRight = int64_t(cell.Right) - (rightOpen ? s : 0);

    if (b == 0 && s == 0) {
        p.Plain(bitmap, x0, y0, text, opaque);
        drawBars(cell.Left, mainRight, 0, 0, text);
        return;
    }
    if (s > 0) {
        const int32_t sx = x0 + b + s, sy = y0 + b + s;
        if (b > 0) {
            p.Stamp(bitmap, sx, sy, b, shadowColour);
            p.Solid(bitmap, sx, sy, shadowColour, shadowColour);
        } else {
            p.Over(bitmap, sx, sy, shadowColour);
        }
        drawBars(int64_t(cell.Left) + (leftOpen ? s : 0), cell.Right, s, b, shadowColour);
    }
    const int32_t gx = x0 + b, gy = y0 + b;
    if (b > 0) {
        p.Stamp(bitmap, gx, gy, b, borderColour);
        drawBars(cell.Left, mainRight, 0, b, borderColour);
        p.Solid(bitmap, gx, gy, text, borderColour);
    } else {
        p.Over(bitmap, gx, gy, text);
    }
    drawBars(cell.Left, mainRight, 0, 0, text);
}

} // namespace

void TFontPixelManager::DrawGlyph(const TFontPixel& glyph, TCustomDIBX& colour, TCustomDIBX& mask,
                                  bool opaque, const TRect& cell, uint32_t textColour, uint32_t borderColour,
                                  uint32_t shadowColour, int32_t border, int32_t shadow, bool leftOpen,
                                  bool rightOpen)
{
    if (mask.PixelFormat() != 8 || mask.IsEmpty() || glyph.Bitmap.PixelFormat() != 8) return;
    uint8_t* maskBits = mask.Lock(0, 0);
    if (!maskBits) return;
    const TRect clip = IntersectRect(colour.EffectiveClip(), mask.BoundsRect());
    if (clip.IsEmpty()) return;
    const int32_t b = std::clamp(border, 0, MaxDecoration), s = std::clamp(shadow, 0, MaxDecoration);
    uint8_t* colourBits = colour.IsEmpty() ? nullptr : colour.Lock(0, 0);
    auto draw = [&](auto format) {
        using F = decltype(format);
        TPainter<F> painter(colourBits, colour.Pitch(), maskBits, mask.Pitch(), clip);
        DrawIn(painter, glyph, opaque, cell, textColour, borderColour, shadowColour, b, s, leftOpen,
               rightOpen);
    };
    switch (colour.PixelFormat()) {
    case 15:
        draw(F15{});
        break;
    case 16:
        draw(F16{});
        break;
    case 32:
        draw(F32{});
        break;
    default:
        // Other formats keep their colours; the mask is still composed.
        colourBits = nullptr;
        draw(F32{});
        break;
    }
}

} // namespace ruko
