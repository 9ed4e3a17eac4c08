// Scaled, rotated and pattern-filling draws. Source coordinates advance in 16.16 fixed point held
// in 64 bits, so extreme zooms and wide destinations cannot overflow.
#include "graphics/dibsfc.h"
#include "graphics/drawops.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace ruko {

using namespace pixels;

namespace {

constexpr double FixedLimit = 1099511627776.0; // 2^40: far beyond any surface, safe in int64

int64_t ToFixed(double value)
{
    if (!(value == value)) return 0;
    return int64_t(std::clamp(value, -FixedLimit, FixedLimit));
}

// Source positions of the destination pixels of one axis, as in a nearest-neighbour stretch of
// [srcLo, srcHi) over [destLo, destHi), for the part of the destination inside [clipLo, clipHi)
// whose samples fall inside [readLo, readHi). Returns false when nothing remains.
bool ScaleAxis(int32_t destLo, int32_t destHi, int32_t clipLo, int32_t clipHi, int32_t srcLo, int32_t srcHi,
               int32_t readLo, int32_t readHi, bool flip, bool halfStep, std::vector<int32_t>& samples,
               int32_t& first)
{
    const int64_t destW = int64_t(destHi) - destLo, srcW = int64_t(srcHi) - srcLo;
    if (destW <= 0 || srcW <= 0) return false;
    const int64_t lo = std::max<int64_t>(destLo, clipLo), hi = std::min<int64_t>(destHi, clipHi);
    if (hi <= lo) return false;
    const double scale = double(srcW) / double(destW);
    const int64_t fraction = ToFixed(double(lo - destLo) * scale * 65536.0);
    int64_t step = ToFixed(scale * 65536.0);
    int64_t u0;
    if (flip) {
        step = -step;
        u0 = int64_t(srcHi) * 65536 - fraction - 1 + (halfStep ? step / 2 : 0);
    } else
        u0 = int64_t(srcLo) * 65536 + fraction + (halfStep ? step / 2 : 0);
    const int64_t lowest = std::max(srcLo, readLo), highest = std::min(srcHi, readHi);
    samples.clear();
    first = -1;
    for (int64_t i = 0; i < hi - lo; ++i) {
        const int64_t c = (u0 + i * step) >> 16;
        if (c < lowest || c >= highest) {
            if (first >= 0) break; // samples are monotonic: the rest lie outside as well
            continue;
        }
        if (first < 0) first = int32_t(lo + i);
        samples.push_back(int32_t(c));
    }
    return !samples.empty();
}

template <class F, class Op>
void StretchRows(TCustomDIBX& dest, const TCustomDIBX& source, const TCustomDIBX* mask,
                 const std::vector<int32_t>& cols, int32_t x0, const std::vector<int32_t>& rows, int32_t y0,
                 Op op)
{
    const int32_t n = int32_t(cols.size());
    const int32_t* col = cols.data();
    for (size_t j = 0; j < rows.size(); ++j) {
        uint8_t* d = dest.Lock(x0, y0 + int32_t(j));
        const uint8_t* s = source.ScanLine(rows[j]);
        const uint8_t* m = mask ? mask->ScanLine(rows[j]) : nullptr;
        if (!d || !s || (mask && !m)) return;
        for (int32_t i = 0; i < n; ++i)
            F::Store(d, i, op(F::Load(d, i), F::Load(s, col[i]), m ? m[col[i]] : 255u));
    }
}

// The shared body of the scaled draws.
void Stretch(TCustomDIBX& dest, const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
             const TCustomDIBX* mask, bool useKey, bool flipH, bool flipV, EDrawMode mode, uint32_t w)
{
    if (source.PixelFormat() != dest.PixelFormat() || (mask && mask->PixelFormat() != 8)) return;
    TRect readable = source.BoundsRect();
    if (mask) readable = IntersectRect(readable, mask->BoundsRect());
    const TRect clip = dest.EffectiveClip();
    std::vector<int32_t> cols, rows;
    int32_t x0, y0;
    if (!ScaleAxis(destRect.Left, destRect.Right, clip.Left, clip.Right, srcRect.Left, srcRect.Right,
                   readable.Left, readable.Right, flipH, true, cols, x0) ||
        !ScaleAxis(destRect.Top, destRect.Bottom, clip.Top, clip.Bottom, srcRect.Top, srcRect.Bottom,
                   readable.Top, readable.Bottom, flipV, true, rows, y0))
        return;
    const bool keyed = useKey && source.TransparentColor >= 0;
    WithFormat(dest.PixelFormat(), [&](auto f) {
        using F = decltype(f);
        WithPixelOp<F>(mode, keyed, mask != nullptr, w, uint32_t(source.TransparentColor),
                       [&](auto op) { StretchRows<F>(dest, source, mask, cols, x0, rows, y0, op); });
    });
}

struct TRotation
{
    int64_t DuDx, DvDx, DuDy, DvDy;
    double PivotU, PivotV; // the pivot in the (mirrored) picture
};

bool MakeRotation(double zoomX, double zoomY, double angle, const TRect& srcRect, int32_t pivotX,
                  int32_t pivotY, bool flipH, bool flipV, TRotation& r)
{
    if (!std::isfinite(zoomX) || !std::isfinite(zoomY) || !std::isfinite(angle) || zoomX <= 0 || zoomY <= 0 ||
        srcRect.IsEmpty())
        return false;
    const double c = std::cos(-angle), s = std::sin(-angle);
    r.DuDx = ToFixed(c / zoomX * 65536.0);
    r.DvDx = ToFixed(s / zoomY * 65536.0);
    r.DuDy = ToFixed(-s / zoomX * 65536.0);
    r.DvDy = ToFixed(c / zoomY * 65536.0);
    r.PivotU = flipH ? double(srcRect.Width()) - pivotX : double(pivotX);
    r.PivotV = flipV ? double(srcRect.Height()) - pivotY : double(pivotY);
    return true;
}

TRect RotatedBox(int32_t x, int32_t y, double zoomX, double zoomY, const TRect& srcRect, const TRotation& r,
                 double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (int corner = 0; corner < 4; ++corner) {
        const double a = ((corner & 1) ? srcRect.Width() - r.PivotU : -r.PivotU) * zoomX;
        const double b = ((corner & 2) ? srcRect.Height() - r.PivotV : -r.PivotV) * zoomY;
        const double px = x + c * a - s * b, py = y + s * a + c * b;
        minX = std::min(minX, px), maxX = std::max(maxX, px);
        minY = std::min(minY, py), maxY = std::max(maxY, py);
    }
    auto clampInt = [](double v) { return int32_t(std::clamp(std::trunc(v), -1.0e9, 1.0e9)); };
    return TRect(clampInt(minX), clampInt(minY), clampInt(maxX) + 1, clampInt(maxY) + 1);
}

using TWide = __int128;

TWide FloorDiv(TWide x, TWide d) // d > 0
{
    const TWide q = x / d;
    return (x % d != 0 && x < 0) ? q - 1 : q;
}

// [first, last): the i in [0, n) with lo <= a + i * step < hi.
void InsideSpan(TWide a, int64_t step, TWide lo, TWide hi, int32_t n, int32_t& first, int32_t& last)
{
    TWide f, l;
    if (step == 0)
        f = 0, l = a >= lo && a < hi ? n : 0;
    else if (step > 0)
        f = -FloorDiv(a - lo, step), l = -FloorDiv(a - hi, step);
    else
        f = FloorDiv(a - hi, -step) + 1, l = FloorDiv(a - lo, -step) + 1;
    f = std::clamp<TWide>(f, 0, n);
    first = int32_t(f);
    last = int32_t(std::clamp<TWide>(l, f, n));
}

void Rotate(TCustomDIBX& dest, int32_t x, int32_t y, double zoomX, double zoomY, const TCustomDIBX& source,
            const TRect& srcRect, int32_t pivotX, int32_t pivotY, double angle, const TCustomDIBX* mask,
            bool useKey, bool flipH, bool flipV, int32_t alpha)
{
    EDrawMode mode;
    uint32_t w;
    TRotation rot;
    if (!OpacityMode(alpha, mode, w) || source.PixelFormat() != dest.PixelFormat() ||
        (mask && mask->PixelFormat() != 8) ||
        !MakeRotation(zoomX, zoomY, angle, srcRect, pivotX, pivotY, flipH, flipV, rot))
        return;
    const TRect box =
        IntersectRect(RotatedBox(x, y, zoomX, zoomY, srcRect, rot, angle), dest.EffectiveClip());
    if (box.IsEmpty()) return;
    // Picture coordinates k (columns of the mirrored picture) that may be read.
    TRect readable = IntersectRect(srcRect, source.BoundsRect());
    if (mask) readable = IntersectRect(readable, mask->BoundsRect());
    if (readable.IsEmpty()) return;
    const int64_t kLo = flipH ? srcRect.Right - readable.Right : readable.Left - srcRect.Left;
    const int64_t kHi = kLo + readable.Width();
    const int64_t lLo = flipV ? srcRect.Bottom - readable.Bottom : readable.Top - srcRect.Top;
    const int64_t lHi = lLo + readable.Height();
    const int32_t colBase = flipH ? srcRect.Right - 1 : srcRect.Left;
    const int32_t colStep = flipH ? -1 : 1;
    const int32_t rowBase = flipV ? srcRect.Bottom - 1 : srcRect.Top;
    const int32_t rowStep = flipV ? -1 : 1;
    const int64_t u0 = ToFixed(rot.PivotU * 65536.0), v0 = ToFixed(rot.PivotV * 65536.0);
    const bool keyed = useKey && source.TransparentColor >= 0;
    // Rows of a surface are evenly spaced: sample through base pointers, not a call per pixel.
    const uint8_t* srcBase = source.ScanLine(0);
    const uint8_t* maskBase = mask ? mask->ScanLine(0) : nullptr;
    const intptr_t srcPitch = source.Pitch(), maskPitch = mask ? mask->Pitch() : 0;
    if (!srcBase || (mask && !maskBase)) return;
    WithFormat(dest.PixelFormat(), [&](auto f) {
        using F = decltype(f);
        WithPixelOp<F>(mode, keyed, mask != nullptr, w, uint32_t(source.TransparentColor), [&](auto op) {
            for (int32_t row = box.Top; row < box.Bottom; ++row) {
                uint8_t* d = dest.Lock(box.Left, row);
                if (!d) return;
                // The row's start can lie far outside the picture at extreme zooms: find the run of
                // pixels that samples inside it in 128 bits, then step in 64.
                const TWide u = TWide(u0) + TWide(box.Left - x) * rot.DuDx + TWide(row - y) * rot.DuDy;
                const TWide v = TWide(v0) + TWide(box.Left - x) * rot.DvDx + TWide(row - y) * rot.DvDy;
                int32_t first, last, vFirst, vLast;
                InsideSpan(u, rot.DuDx, TWide(kLo) << 16, TWide(kHi) << 16, box.Width(), first, last);
                InsideSpan(v, rot.DvDx, TWide(lLo) << 16, TWide(lHi) << 16, box.Width(), vFirst, vLast);
                first = std::max(first, vFirst), last = std::min(last, vLast);
                int64_t su = int64_t(u + TWide(first) * rot.DuDx), sv = int64_t(v + TWide(first) * rot.DvDx);
                for (int32_t i = first; i < last; ++i, su += rot.DuDx, sv += rot.DvDx) {
                    const int64_t k = su >> 16, l = sv >> 16;
                    const int32_t sx = colBase + int32_t(k) * colStep, sy = rowBase + int32_t(l) * rowStep;
                    const uint32_t m = maskBase ? maskBase[sy * maskPitch + sx] : 255u;
                    F::Store(d, i, op(F::Load(d, i), F::Load(srcBase + sy * srcPitch, sx), m));
                }
            }
        });
    });
}

int64_t WrapFixed(int64_t value, int64_t size)
{
    value %= size;
    return value < 0 ? value + size : value;
}

void FillZoom(TCustomDIBX& dest, const TRect& rect, const TCustomDIBX& pattern, double zoomX, double zoomY,
              int32_t offsetX, int32_t offsetY, const TCustomDIBX* mask, bool useKey, bool flipH, bool flipV,
              int32_t alpha)
{
    EDrawMode mode;
    uint32_t w;
    if (!OpacityMode(alpha, mode, w) || pattern.PixelFormat() != dest.PixelFormat() || pattern.IsEmpty() ||
        !std::isfinite(zoomX) || !std::isfinite(zoomY) || zoomX <= 0 || zoomY <= 0)
        return;
    if (mask &&
        (mask->PixelFormat() != 8 || mask->Width() < pattern.Width() || mask->Height() < pattern.Height()))
        return;
    const TRect r = IntersectRect(rect, dest.EffectiveClip());
    if (r.IsEmpty()) return;
    const int64_t pw = int64_t(pattern.Width()) << 16, ph = int64_t(pattern.Height()) << 16;
    const int64_t stepX = std::min(ToFixed(65536.0 / zoomX), pw),
                  stepY = std::min(ToFixed(65536.0 / zoomY), ph);
    const bool keyed = useKey && pattern.TransparentColor >= 0;
    const int32_t lastCol = pattern.Width() - 1, lastRow = pattern.Height() - 1;
    WithFormat(dest.PixelFormat(), [&](auto f) {
        using F = decltype(f);
        WithPixelOp<F>(mode, keyed, mask != nullptr, w, uint32_t(pattern.TransparentColor), [&](auto op) {
            int64_t v = WrapFixed((int64_t(r.Top - rect.Top) + offsetY) * stepY, ph);
            for (int32_t row = r.Top; row < r.Bottom; ++row) {
                int32_t py = int32_t(v >> 16);
                if (flipV) py = lastRow - py;
                uint8_t* d = dest.Lock(r.Left, row);
                const uint8_t* s = pattern.ScanLine(py);
                const uint8_t* m = mask ? mask->ScanLine(py) : nullptr;
                if (!d || !s) return;
                int64_t u = WrapFixed((int64_t(r.Left - rect.Left) + offsetX) * stepX, pw);
                for (int32_t i = 0; i < r.Width(); ++i) {
                    int32_t px = int32_t(u >> 16);
                    if (flipH) px = lastCol - px;
                    F::Store(d, i, op(F::Load(d, i), F::Load(s, px), m ? m[px] : 255u));
                    u += stepX;
                    if (u >= pw) u -= pw;
                }
                v += stepY;
                if (v >= ph) v -= ph;
            }
        });
    });
}

} // namespace

void TCustomDIBX::StretchDraw(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                              bool useKey, bool flipH, bool flipV, int32_t alpha)
{
    if (alpha <= 0) return;
    Stretch(*this, destRect, source, srcRect, nullptr, useKey, flipH, flipV,
            alpha >= 255 ? EDrawMode::Copy : EDrawMode::Blend, uint32_t(std::min(alpha, 255)));
}

void TCustomDIBX::StretchDrawMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                  const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha)
{
    if (alpha <= 0) return;
    Stretch(*this, destRect, source, srcRect, &mask, false, flipH, flipV,
            alpha >= 255 ? EDrawMode::Copy : EDrawMode::Blend, uint32_t(std::min(alpha, 255)));
}

void TCustomDIBX::StretchDrawAdd(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                 bool useKey, bool flipH, bool flipV, int32_t alpha)
{
    if (alpha <= 0) return;
    Stretch(*this, destRect, source, srcRect, nullptr, useKey, flipH, flipV, EDrawMode::Add,
            uint32_t(std::min(alpha, 255)));
}

void TCustomDIBX::StretchDrawAddMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                     const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha)
{
    if (alpha <= 0) return;
    Stretch(*this, destRect, source, srcRect, &mask, false, flipH, flipV, EDrawMode::Add,
            uint32_t(std::min(alpha, 255)));
}

void TCustomDIBX::RotateDraw(int32_t x, int32_t y, double zoomX, double zoomY, const TCustomDIBX& source,
                             const TRect& srcRect, int32_t pivotX, int32_t pivotY, double angle, bool useKey,
                             bool flipH, bool flipV, int32_t alpha)
{
    Rotate(*this, x, y, zoomX, zoomY, source, srcRect, pivotX, pivotY, angle, nullptr, useKey, flipH, flipV,
           alpha);
}

void TCustomDIBX::RotateDrawMask(int32_t x, int32_t y, double zoomX, double zoomY, const TCustomDIBX& source,
                                 const TRect& srcRect, int32_t pivotX, int32_t pivotY, double angle,
                                 const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha)
{
    Rotate(*this, x, y, zoomX, zoomY, source, srcRect, pivotX, pivotY, angle, &mask, false, flipH, flipV,
           alpha);
}

TRect RotatedBounds(int32_t x, int32_t y, double zoomX, double zoomY, const TRect& srcRect, int32_t pivotX,
                    int32_t pivotY, double angle, bool flipH, bool flipV)
{
    TRotation rot;
    if (!MakeRotation(zoomX, zoomY, angle, srcRect, pivotX, pivotY, flipH, flipV, rot)) return TRect();
    return RotatedBox(x, y, zoomX, zoomY, srcRect, rot, angle);
}

void TCustomDIBX::TileFillZoom(const TRect& rect, const TCustomDIBX& pattern, double zoomX, double zoomY,
                               int32_t offsetX, int32_t offsetY, bool useKey, bool flipH, bool flipV,
                               int32_t alpha)
{
    FillZoom(*this, rect, pattern, zoomX, zoomY, offsetX, offsetY, nullptr, useKey, flipH, flipV, alpha);
}

void TCustomDIBX::TileFillZoomMask(const TRect& rect, const TCustomDIBX& pattern, double zoomX, double zoomY,
                                   int32_t offsetX, int32_t offsetY, const TCustomDIBX& mask, bool flipH,
                                   bool flipV, int32_t alpha)
{
    FillZoom(*this, rect, pattern, zoomX, zoomY, offsetX, offsetY, &mask, false, flipH, flipV, alpha);
}

void TCustomDIBX::TileFill(const TRect& rect, const TCustomDIBX& pattern, int32_t offsetX, int32_t offsetY,
                           bool flipH, bool flipV)
{
    if (pattern.PixelFormat() != PixelFormat() || pattern.IsEmpty()) return;
    const TRect r = IntersectRect(rect, EffectiveClip());
    if (r.IsEmpty()) return;
    const int32_t pw = pattern.Width(), ph = pattern.Height();
    auto wrap = [](int64_t value, int32_t size) { return int32_t(WrapFixed(value, size)); };
    WithFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        for (int32_t row = r.Top; row < r.Bottom; ++row) {
            int32_t py = wrap(int64_t(row - rect.Top) + offsetY, ph);
            if (flipV) py = ph - 1 - py;
            uint8_t* d = Lock(r.Left, row);
            const uint8_t* s = pattern.ScanLine(py);
            if (!d || !s) return;
            int32_t px = wrap(int64_t(r.Left - rect.Left) + offsetX, pw);
            if (!flipH) {
                for (int32_t i = 0; i < r.Width();) {
                    const int32_t run = std::min(pw - px, r.Width() - i);
                    std::memcpy(d + size_t(i) * F::Bytes, s + size_t(px) * F::Bytes, size_t(run) * F::Bytes);
                    i += run;
                    px = 0;
                }
            } else
                for (int32_t i = 0; i < r.Width(); ++i) {
                    F::Store(d, i, F::Load(s, pw - 1 - px));
                    if (++px == pw) px = 0;
                }
        }
    });
}

void TCustomDIBX::StretchDrawPalette(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                     int32_t minIndex, bool flipH, bool flipV, int32_t alpha,
                                     const uint32_t* table)
{
    if (alpha <= 0 || !table || source.PixelFormat() != 8) return;
    const uint32_t w = uint32_t(std::min(alpha, 255));
    const TRect clip = EffectiveClip();
    std::vector<int32_t> cols, rows;
    int32_t x0, y0;
    const TRect readable = source.BoundsRect();
    if (!ScaleAxis(destRect.Left, destRect.Right, clip.Left, clip.Right, srcRect.Left, srcRect.Right,
                   readable.Left, readable.Right, flipH, false, cols, x0) ||
        !ScaleAxis(destRect.Top, destRect.Bottom, clip.Top, clip.Bottom, srcRect.Top, srcRect.Bottom,
                   readable.Top, readable.Bottom, flipV, false, rows, y0))
        return;
    WithColourFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        const uint32_t entryMask = F::Bytes == 2 ? 0xFFFF : 0xFFFFFFFF;
        for (size_t j = 0; j < rows.size(); ++j) {
            uint8_t* d = Lock(x0, y0 + int32_t(j));
            const uint8_t* s = source.ScanLine(rows[j]);
            if (!d || !s) return;
            for (size_t i = 0; i < cols.size(); ++i) {
                const uint32_t index = s[cols[i]];
                if (int32_t(index) >= minIndex)
                    F::Store(d, intptr_t(i),
                             AddWeighted<F>(F::Load(d, intptr_t(i)), table[index] & entryMask, w));
            }
        }
    });
}

} // namespace ruko
