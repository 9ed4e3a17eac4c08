// Anti-aliased glyphs from oversampled 1- and 4-bit sources, and palette draws.
#include "graphics/dibsfc.h"
#include "graphics/drawclip.h"
#include "graphics/drawpixels.h"

namespace ruko {

using namespace pixels;

namespace {

constexpr int32_t MaxGlyphFactor = 16;

// Weighted sum of up to four pixel values per channel, divided by `total`, each channel limited
// to its maximum. Works on 64-bit fields so that no factor can overflow.
template <class F>
uint32_t Mix(const uint32_t* values, const uint32_t* weights, int count, uint32_t total, bool add, uint32_t d)
{
    uint32_t out = 0;
    for (uint32_t mask : {F::RMask, F::GMask, F::BMask}) {
        if (!mask) continue;
        uint64_t sum = 0;
        for (int k = 0; k < count; ++k)
            sum += uint64_t(values[k] & mask) * weights[k];
        uint64_t field = sum / total;
        if (add) field += d & mask;
        // Fields are aligned at their mask: round down to the field's bits and saturate.
        field = field > mask ? mask : field & mask;
        out |= uint32_t(field);
    }
    return out;
}

// (value * c + d * (total - c)) / total per channel, on extracted channels: with total at most
// 256 every sum fits 32 bits, and a power-of-two total divides by a shift.
template <uint32_t M> uint32_t MixField(uint32_t value, uint32_t d, uint32_t c, uint32_t total, int shift)
{
    if constexpr (M == 0)
        return 0;
    else {
        constexpr int at = FieldShift<M>();
        const uint32_t sum = ((value & M) >> at) * c + ((d & M) >> at) * (total - c);
        return ((shift >= 0 ? sum >> shift : sum / total) << at) & M;
    }
}

template <class F> uint32_t MixInk(uint32_t value, uint32_t d, uint32_t c, uint32_t total, int shift)
{
    return MixField<F::RMask>(value, d, c, total, shift) | MixField<F::GMask>(value, d, c, total, shift) |
           MixField<F::BMask>(value, d, c, total, shift);
}

// Destination rectangle of an oversampled draw, clipped; (k, l) of a destination pixel is its
// column and row in the unclipped glyph.
bool ClipGlyph(const TCustomDIBX& dest, int32_t x, int32_t y, const TRect& srcRect, int32_t factor,
               TRect& out)
{
    if (factor <= 0 || factor > MaxGlyphFactor || srcRect.IsEmpty()) return false;
    out = IntersectRect(Bounds(x, y, srcRect.Width() / factor, srcRect.Height() / factor),
                        dest.EffectiveClip());
    return !out.IsEmpty();
}

// Ink (0 bits) among the `factor` bits from column sx of a 1-bit row, or nullptr for a row
// outside the source. Blocks wholly inside the row are read as one bit field.
uint32_t InkInRow(const uint8_t* row, int32_t width, int32_t sx, int32_t factor)
{
    if (!row) return 0;
    if (sx >= 0 && sx + factor <= width) {
        const int32_t first = sx >> 3, last = (sx + factor - 1) >> 3;
        uint32_t bits = 0;
        for (int32_t b = first; b <= last; ++b)
            bits = bits << 8 | row[b];
        const int32_t tail = (last + 1) * 8 - (sx + factor);
        const uint32_t paper = uint32_t(__builtin_popcount((bits >> tail) & ((1u << factor) - 1)));
        return uint32_t(factor) - paper;
    }
    uint32_t ink = 0;
    for (int32_t x = std::max(sx, 0); x < std::min(sx + factor, width); ++x)
        ink += ((row[x >> 3] >> (7 - (x & 7))) & 1) == 0;
    return ink;
}

} // namespace

void TCustomDIBX::DrawMonoGlyph(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                                uint32_t value, bool flipH, bool flipV, int32_t alpha, int32_t factor)
{
    TRect r;
    if (alpha <= 0 || source.PixelFormat() != 1 || !ClipGlyph(*this, x, y, srcRect, factor, r)) return;
    const int32_t cols = srcRect.Width() / factor, rows = srcRect.Height() / factor;
    const uint32_t total = uint32_t(factor * factor);
    const int32_t sourceWidth = source.Width();
    const int shift = (total & (total - 1)) == 0 ? __builtin_ctz(total) : -1;
    const uint8_t* blockRows[MaxGlyphFactor];
    WithColourFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        for (int32_t row = r.Top; row < r.Bottom; ++row) {
            uint8_t* d = Lock(r.Left, row);
            if (!d) return;
            const int32_t l = row - y;
            const int32_t sy0 = srcRect.Top + (flipV ? rows - 1 - l : l) * factor;
            // Rows outside the source are paper.
            for (int32_t by = 0; by < factor; ++by)
                blockRows[by] =
                    sy0 + by >= 0 && sy0 + by < source.Height() ? source.ScanLine(sy0 + by) : nullptr;
            for (int32_t i = 0; i < r.Width(); ++i) {
                const int32_t k = r.Left + i - x;
                const int32_t sx0 = srcRect.Left + (flipH ? cols - 1 - k : k) * factor;
                uint32_t ink = 0;
                for (int32_t by = 0; by < factor; ++by)
                    ink += InkInRow(blockRows[by], sourceWidth, sx0, factor);
                if (alpha <= 254) ink = (uint32_t(alpha) * ink) >> 8;
                if (ink == 0) continue;
                F::Store(d, i, MixInk<F>(value, F::Load(d, i), ink, total, shift));
            }
        }
    });
}

void TCustomDIBX::DrawGlyph4(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                             uint32_t value1, uint32_t value2, uint32_t value3, bool flipH, bool flipV,
                             int32_t alpha, int32_t factor)
{
    TRect r;
    if (alpha <= 0 || source.PixelFormat() != 4 || !ClipGlyph(*this, x, y, srcRect, factor, r)) return;
    const int32_t cols = srcRect.Width() / factor, rows = srcRect.Height() / factor;
    const uint32_t total = uint32_t(factor * factor);
    const int32_t sourceWidth = source.Width();
    const uint8_t* blockRows[MaxGlyphFactor];
    WithColourFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        for (int32_t row = r.Top; row < r.Bottom; ++row) {
            uint8_t* d = Lock(r.Left, row);
            if (!d) return;
            const int32_t l = row - y;
            const int32_t sy0 = srcRect.Top + (flipV ? rows - 1 - l : l) * factor;
            // Samples outside the source are class 0 (paper).
            for (int32_t by = 0; by < factor; ++by)
                blockRows[by] =
                    sy0 + by >= 0 && sy0 + by < source.Height() ? source.ScanLine(sy0 + by) : nullptr;
            for (int32_t i = 0; i < r.Width(); ++i) {
                const int32_t k = r.Left + i - x;
                const int32_t sx0 = srcRect.Left + (flipH ? cols - 1 - k : k) * factor;
                const int32_t lo = std::max(sx0, 0), hi = std::min(sx0 + factor, sourceWidth);
                uint32_t count[4] = {0, 0, 0, 0};
                for (int32_t by = 0; by < factor; ++by)
                    if (const uint8_t* samples = blockRows[by])
                        for (int32_t sx = lo; sx < hi; ++sx)
                            ++count[(samples[sx >> 1] >> ((sx & 1) ? 0 : 4)) & 3];
                // The rest of the block is paper.
                count[0] = total - count[1] - count[2] - count[3];
                if (alpha <= 254)
                    for (int c = 1; c < 4; ++c)
                        count[c] = (uint32_t(alpha) * count[c]) >> 8;
                if (count[1] + count[2] + count[3] == 0) continue;
                const uint32_t dv = F::Load(d, i);
                if (alpha > 255) {
                    const uint32_t values[3] = {value1, value2, value3};
                    F::Store(d, i, Mix<F>(values, count + 1, 3, total, true, dv));
                } else {
                    const uint32_t values[4] = {dv, value1, value2, value3};
                    count[0] = total - count[1] - count[2] - count[3];
                    F::Store(d, i, Mix<F>(values, count, 4, total, false, dv));
                }
            }
        }
    });
}

void TCustomDIBX::DrawPalette4(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                               bool flipH, bool flipV, int32_t alpha, const uint32_t* table)
{
    TCopyGeometry g;
    if (alpha <= 0 || !table || source.PixelFormat() != 4 ||
        !ClipCopy(*this, x, y, source, srcRect, nullptr, flipH, flipV, g))
        return;
    const int64_t key = source.TransparentColor;
    WithColourFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        const uint32_t entryMask = F::Bytes == 2 ? 0xFFFF : 0xFFFFFFFF;
        for (int32_t r = 0; r < g.Height; ++r) {
            uint8_t* d = Lock(g.DestX, g.DestY + r);
            if (!d) return;
            const int32_t sy = g.SrcY + r * g.SrcStepY;
            for (int32_t i = 0; i < g.Width; ++i) {
                const uint32_t v = source.GetPixel(g.SrcX + (flipH ? -i : i), sy);
                if (int64_t(v) == key) continue;
                const uint32_t entry = table[v] & entryMask;
                const uint32_t dv = F::Load(d, i);
                if (alpha == 255)
                    F::Store(d, i, entry);
                else if (alpha < 255)
                    F::Store(d, i, Blend<F>(dv, entry, uint32_t(alpha)));
                else if (entry != 0 && dv != F::White)
                    F::Store(d, i, AddWeighted<F>(dv, entry, uint32_t(std::min(alpha - 256, 255))));
            }
        }
    });
}

void TCustomDIBX::DrawPalette(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                              int32_t minIndex, bool flipH, bool flipV, int32_t alpha, const uint32_t* table)
{
    TCopyGeometry g;
    if (alpha <= 0 || !table || source.PixelFormat() != 8 ||
        !ClipCopy(*this, x, y, source, srcRect, nullptr, flipH, flipV, g))
        return;
    const uint32_t w = uint32_t(std::min(alpha, 255));
    WithColourFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        const uint32_t entryMask = F::Bytes == 2 ? 0xFFFF : 0xFFFFFFFF;
        for (int32_t r = 0; r < g.Height; ++r) {
            uint8_t* d = Lock(g.DestX, g.DestY + r);
            const uint8_t* s = source.Lock(g.SrcX, g.SrcY + r * g.SrcStepY);
            if (!d || !s) return;
            for (int32_t i = 0; i < g.Width; ++i) {
                const uint32_t v = s[flipH ? -i : i];
                if (int32_t(v) >= minIndex)
                    F::Store(d, i, AddWeighted<F>(F::Load(d, i), table[v] & entryMask, w));
            }
        }
    });
}

} // namespace ruko
