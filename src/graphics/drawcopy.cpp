// Rectangle copies: plain, keyed, weighted, masked and additive, with flips and clipping.
#include "graphics/dibsfc.h"
#include "graphics/drawclip.h"
#include "graphics/drawpixels.h"
#include "graphics/drawrows.h"

#include <cstring>
#include <vector>

namespace ruko {

using namespace pixels;

bool ClipCopy(const TCustomDIBX& dest, int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
              const TCustomDIBX* mask, bool flipH, bool flipV, TCopyGeometry& g)
{
    // The readable part of the source: inside srcRect, the source and the mask.
    TRect readable = IntersectRect(srcRect, source.BoundsRect());
    if (mask) readable = IntersectRect(readable, mask->BoundsRect());
    if (readable.IsEmpty()) return false;
    // Cutting the source moves the destination origin on the side the cut lands on.
    int64_t dx = int64_t(x) + (flipH ? srcRect.Right - readable.Right : readable.Left - srcRect.Left);
    int64_t dy = int64_t(y) + (flipV ? srcRect.Bottom - readable.Bottom : readable.Top - srcRect.Top);
    TRect src = readable;

    const TRect clip = dest.EffectiveClip();
    if (clip.IsEmpty()) return false;
    int64_t w = src.Width(), h = src.Height();
    if (dx < clip.Left) {
        const int64_t cut = clip.Left - dx;
        if (cut >= w) return false;
        (flipH ? src.Right : src.Left) += int32_t(flipH ? -cut : cut);
        dx = clip.Left;
        w -= cut;
    }
    if (dx + w > clip.Right) {
        const int64_t cut = dx + w - clip.Right;
        if (cut >= w) return false;
        (flipH ? src.Left : src.Right) += int32_t(flipH ? cut : -cut);
        w -= cut;
    }
    if (dy < clip.Top) {
        const int64_t cut = clip.Top - dy;
        if (cut >= h) return false;
        (flipV ? src.Bottom : src.Top) += int32_t(flipV ? -cut : cut);
        dy = clip.Top;
        h -= cut;
    }
    if (dy + h > clip.Bottom) {
        const int64_t cut = dy + h - clip.Bottom;
        if (cut >= h) return false;
        (flipV ? src.Top : src.Bottom) += int32_t(flipV ? cut : -cut);
        h -= cut;
    }
    g.DestX = int32_t(dx);
    g.DestY = int32_t(dy);
    g.Width = int32_t(w);
    g.Height = int32_t(h);
    g.SrcX = flipH ? src.Right - 1 : src.Left;
    g.SrcY = flipV ? src.Bottom - 1 : src.Top;
    g.SrcStepY = flipV ? -1 : 1;
    return true;
}

namespace {

// Calls row(dest row, source row, mask row) for every row of a clipped copy; the source and mask
// pointers address the walk's first column.
template <class Row>
void ForEachRow(TCustomDIBX& dest, const TCustomDIBX& source, const TCustomDIBX* mask, const TCopyGeometry& g,
                Row row)
{
    for (int32_t r = 0; r < g.Height; ++r) {
        const int32_t sy = g.SrcY + r * g.SrcStepY;
        uint8_t* d = dest.Lock(g.DestX, g.DestY + r);
        const uint8_t* s = source.Lock(g.SrcX, sy);
        const uint8_t* m = mask ? mask->Lock(g.SrcX, sy) : nullptr;
        if (!d || !s || (mask && !m)) return;
        row(d, s, m);
    }
}

// One row loop per (format, flip, operation): the flip is a template argument so that the row
// loops stay free of per-pixel branches on it.
template <class F, bool FlipH, class PixelOp>
void RowsWithMask(TCustomDIBX& dest, const TCustomDIBX& source, const TCustomDIBX* mask,
                  const TCopyGeometry& g, PixelOp op)
{
    const int32_t n = g.Width;
    ForEachRow(dest, source, mask, g, [&](uint8_t* d, const uint8_t* s, const uint8_t* m) {
        for (int32_t i = 0; i < n; ++i) {
            const intptr_t si = FlipH ? -intptr_t(i) : intptr_t(i);
            const uint32_t mv = m ? m[si] : 255;
            F::Store(d, i, op(F::Load(d, i), F::Load(s, si), mv));
        }
    });
}

template <class F, class PixelOp>
void Rows(TCustomDIBX& dest, const TCustomDIBX& source, const TCustomDIBX* mask, const TCopyGeometry& g,
          bool flipH, PixelOp op)
{
    if (flipH)
        RowsWithMask<F, true>(dest, source, mask, g, op);
    else
        RowsWithMask<F, false>(dest, source, mask, g, op);
}

// Unmirrored 32-bit rows go to the row kernels: kernel(dest row, source row, mask row, width).
template <class Kernel>
void Rows32(TCustomDIBX& dest, const TCustomDIBX& source, const TCustomDIBX* mask, const TCopyGeometry& g,
            Kernel kernel)
{
    ForEachRow(dest, source, mask, g, [&](uint8_t* d, const uint8_t* s, const uint8_t* m) {
        kernel(reinterpret_cast<uint32_t*>(d), reinterpret_cast<const uint32_t*>(s), m, g.Width);
    });
}

void MaskRows32(TCustomDIBX& dest, const TCustomDIBX& source, const TCustomDIBX& mask, const TCopyGeometry& g,
                EMaskRule rule, uint32_t alpha)
{
    Rows32(dest, source, &mask, g,
           [rule, alpha](uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n) {
               MaskRow32(d, d, s, m, n, rule, alpha);
           });
}

bool SameFormat(const TCustomDIBX& a, const TCustomDIBX& b)
{
    return a.PixelFormat() == b.PixelFormat();
}

bool IsMask(const TCustomDIBX& mask)
{
    return mask.PixelFormat() == 8;
}

uint32_t KeyOf(const TCustomDIBX& source, bool useKey, bool& keyed)
{
    keyed = useKey && source.TransparentColor >= 0;
    return keyed ? uint32_t(source.TransparentColor) : 0;
}

} // namespace

void TCustomDIBX::Draw(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool useKey,
                       bool flipH, bool flipV)
{
    TCopyGeometry g;
    if (!SameFormat(*this, source) || !ClipCopy(*this, x, y, source, srcRect, nullptr, flipH, flipV, g))
        return;
    bool keyed;
    const uint32_t key = KeyOf(source, useKey, keyed);
    WithFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        if (!keyed && !flipH) {
            for (int32_t r = 0; r < g.Height; ++r) {
                uint8_t* d = Lock(g.DestX, g.DestY + r);
                const uint8_t* s = source.Lock(g.SrcX, g.SrcY + r * g.SrcStepY);
                if (!d || !s) return;
                std::memmove(d, s, size_t(g.Width) * F::Bytes);
            }
        } else if (!keyed)
            Rows<F>(*this, source, nullptr, g, true, [](uint32_t, uint32_t s, uint32_t) { return s; });
        else
            Rows<F>(*this, source, nullptr, g, flipH,
                    [key](uint32_t d, uint32_t s, uint32_t) { return s == key ? d : s; });
    });
}

void TCustomDIBX::DrawMask(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool flipH,
                           bool flipV, const TCustomDIBX& mask)
{
    TCopyGeometry g;
    if (!SameFormat(*this, source) || !IsMask(mask) ||
        !ClipCopy(*this, x, y, source, srcRect, &mask, flipH, flipV, g))
        return;
    if (PixelFormat() == 32 && !flipH) return MaskRows32(*this, source, mask, g, EMaskRule::Copy, 255);
    WithFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        Rows<F>(*this, source, &mask, g, flipH, [](uint32_t d, uint32_t s, uint32_t m) {
            const uint32_t b = Blend<F>(d, s, m);
            return m == 255 ? s : m == 0 ? d : b;
        });
    });
}

void TCustomDIBX::DrawAlpha(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                            bool useKey, bool flipH, bool flipV, int32_t alpha)
{
    if (alpha <= 0) return;
    const uint32_t w = uint32_t(std::min(alpha, 255));
    TCopyGeometry g;
    if (!SameFormat(*this, source) || !ClipCopy(*this, x, y, source, srcRect, nullptr, flipH, flipV, g))
        return;
    bool keyed;
    const uint32_t key = KeyOf(source, useKey, keyed);
    if (PixelFormat() == 32 && !flipH && !keyed)
        return Rows32(
            *this, source, nullptr, g,
            [w](uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n) { BlendRow32(d, s, n, w); });
    WithFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        if (keyed)
            Rows<F>(*this, source, nullptr, g, flipH, [w, key](uint32_t d, uint32_t s, uint32_t) {
                const uint32_t b = Blend<F>(d, s, w);
                return s == key ? d : b;
            });
        else
            Rows<F>(*this, source, nullptr, g, flipH,
                    [w](uint32_t d, uint32_t s, uint32_t) { return Blend<F>(d, s, w); });
    });
}

void TCustomDIBX::DrawAlphaMask(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                                bool flipH, bool flipV, const TCustomDIBX& mask, int32_t alpha)
{
    if (alpha <= 0) return;
    const uint32_t a = uint32_t(std::min(alpha, 255));
    TCopyGeometry g;
    if (!SameFormat(*this, source) || !IsMask(mask) ||
        !ClipCopy(*this, x, y, source, srcRect, &mask, flipH, flipV, g))
        return;
    if (PixelFormat() == 32 && !flipH) return MaskRows32(*this, source, mask, g, EMaskRule::Weighted, a);
    WithFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        Rows<F>(*this, source, &mask, g, flipH, [a](uint32_t d, uint32_t s, uint32_t m) {
            // A weight that rounds down to 0 leaves the pixel alone rather than darkening it.
            const uint32_t w = m == 255 ? a : (a * m) >> 8;
            const uint32_t b = Blend<F>(d, s, w);
            return w == 0 ? d : b;
        });
    });
}

void TCustomDIBX::DrawAdd(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool flipH,
                          bool flipV, int32_t alpha)
{
    if (alpha <= 0) return;
    const uint32_t w = uint32_t(std::min(alpha, 255));
    TCopyGeometry g;
    if (!SameFormat(*this, source) || !ClipCopy(*this, x, y, source, srcRect, nullptr, flipH, flipV, g))
        return;
    bool keyed;
    const uint32_t key = KeyOf(source, true, keyed);
    if (PixelFormat() == 32 && !flipH)
        return Rows32(*this, source, nullptr, g,
                      [=](uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n) {
                          AddRow32(d, s, n, w, keyed, key);
                      });
    WithFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        if constexpr (F::Format == 8) {
            // Masks accumulate by raw addition.
            Rows<F>(*this, source, nullptr, g, flipH, [keyed, key](uint32_t d, uint32_t s, uint32_t) {
                const uint32_t sum = std::min<uint32_t>(d + s, 255);
                return keyed && s == key ? d : sum;
            });
        } else if (keyed)
            Rows<F>(*this, source, nullptr, g, flipH, [w, key](uint32_t d, uint32_t s, uint32_t) {
                const uint32_t sum = AddWeighted<F>(d, s, w);
                return s == key ? d : sum;
            });
        else
            Rows<F>(*this, source, nullptr, g, flipH,
                    [w](uint32_t d, uint32_t s, uint32_t) { return AddWeighted<F>(d, s, w); });
    });
}

void TCustomDIBX::DrawAddMask(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                              bool flipH, bool flipV, const TCustomDIBX& mask, int32_t alpha)
{
    if (alpha <= 0) return;
    const uint32_t a = uint32_t(std::min(alpha, 255));
    TCopyGeometry g;
    if (!SameFormat(*this, source) || !IsMask(mask) ||
        !ClipCopy(*this, x, y, source, srcRect, &mask, flipH, flipV, g))
        return;
    if (PixelFormat() == 32 && !flipH) return MaskRows32(*this, source, mask, g, EMaskRule::Add, a);
    WithFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        Rows<F>(*this, source, &mask, g, flipH,
                [a](uint32_t d, uint32_t s, uint32_t m) { return AddWeighted<F>(d, s, (a * m) >> 8); });
    });
}

void TCustomDIBX::DrawMaskColor(int32_t x, int32_t y, const TCustomDIBX& mask, const TRect& srcRect,
                                bool flipH, bool flipV, uint32_t value, int32_t alpha)
{
    if (alpha <= 0 || !IsMask(mask)) return;
    const uint32_t a = uint32_t(std::min(alpha, 255));
    TCopyGeometry g;
    // The mask plays the source: its own geometry bounds the read.
    if (!ClipCopy(*this, x, y, mask, srcRect, nullptr, flipH, flipV, g)) return;
    if (PixelFormat() == 32 && !flipH) {
        const std::vector<uint32_t> solid(size_t(g.Width), value & 0x00FFFFFF);
        for (int32_t r = 0; r < g.Height; ++r) {
            uint8_t* d = Lock(g.DestX, g.DestY + r);
            const uint8_t* m = mask.Lock(g.SrcX, g.SrcY + r * g.SrcStepY);
            if (!d || !m) return;
            uint32_t* row = reinterpret_cast<uint32_t*>(d);
            MaskRow32(row, row, solid.data(), m, g.Width, EMaskRule::Coverage, a);
        }
        return;
    }
    WithFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        auto op = [a, value](uint32_t d, uint32_t m) {
            const uint32_t w = a == 255 ? m : m == 255 ? a : (a * m) >> 8;
            const uint32_t b = Blend<F>(d, value, w);
            return w == 0 ? d : b;
        };
        for (int32_t r = 0; r < g.Height; ++r) {
            uint8_t* d = Lock(g.DestX, g.DestY + r);
            const uint8_t* m = mask.Lock(g.SrcX, g.SrcY + r * g.SrcStepY);
            if (!d || !m) return;
            if (flipH)
                for (int32_t i = 0; i < g.Width; ++i)
                    F::Store(d, i, op(F::Load(d, i), m[-i]));
            else
                for (int32_t i = 0; i < g.Width; ++i)
                    F::Store(d, i, op(F::Load(d, i), m[i]));
        }
    });
}

} // namespace ruko
