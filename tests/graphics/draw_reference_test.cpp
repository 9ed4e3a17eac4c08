// The drawing loops against a plain per-pixel reference written straight from the blend rules, on
// random rectangles, flips, keys, masks and clips in every drawing format.
#include "graphics/dibsfc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace ruko {
namespace {

struct TChannels
{
    uint32_t Mask[3];
};

TChannels ChannelsOf(int format)
{
    switch (format) {
    case 15:
        return {{0x7C00, 0x03E0, 0x001F}};
    case 16:
        return {{0xF800, 0x07E0, 0x001F}};
    case 24:
    case 32:
        return {{0xFF0000, 0xFF00, 0xFF}};
    default:
        return {{0, 0, 0xFF}};
    }
}

int ShiftOf(uint32_t mask)
{
    int s = 0;
    while (!((mask >> s) & 1))
        ++s;
    return s;
}

// Applies f(d, s) to each extracted channel (0..max) and packs the results.
uint32_t PerChannel(int format, uint32_t d, uint32_t s,
                    const std::function<uint32_t(uint32_t, uint32_t, uint32_t)>& f)
{
    uint32_t out = 0;
    for (uint32_t mask : ChannelsOf(format).Mask) {
        if (!mask) continue;
        const int shift = ShiftOf(mask);
        const uint32_t max = mask >> shift;
        out |= (f((d & mask) >> shift, (s & mask) >> shift, max) << shift) & mask;
    }
    return out;
}

uint32_t RefBlend(int format, uint32_t d, uint32_t s, uint32_t w)
{
    if (d == s) return d;
    return PerChannel(format, d, s,
                      [w](uint32_t dc, uint32_t sc, uint32_t) { return ((255 - w) * dc + w * sc) / 256; });
}

uint32_t RefAdd(int format, uint32_t d, uint32_t s, uint32_t w)
{
    return PerChannel(format, d, s, [w](uint32_t dc, uint32_t sc, uint32_t max) {
        return std::min(max, dc + w * sc / 256);
    });
}

uint32_t RandomPixel(std::mt19937& rng, int format)
{
    uint32_t all = 0;
    for (uint32_t mask : ChannelsOf(format).Mask)
        all |= mask;
    // Few distinct values so that keys and equal pixels occur.
    const uint32_t v = rng() & all;
    return (rng() % 4 == 0) ? (v & 0x0F0F0F & all) : v;
}

void FillRandom(TCustomDIBX& dib, std::mt19937& rng)
{
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x)
            dib.SetPixel(x, y, RandomPixel(rng, dib.PixelFormat()));
}

void FillRandomMask(TCustomDIBX& mask, std::mt19937& rng)
{
    const uint32_t levels[] = {0, 255, 1, 128, 254};
    // Half the masks look like alpha planes (long clear and opaque runs), which the fast paths
    // take whole.
    const bool runs = rng() % 2;
    uint32_t run = 0;
    for (int y = 0; y < mask.Height(); ++y)
        for (int x = 0; x < mask.Width(); ++x) {
            if (runs) {
                if (rng() % 7 == 0) run = levels[rng() % 5];
                mask.SetPixel(x, y, run);
            } else
                mask.SetPixel(x, y, rng() % 2 ? levels[rng() % 5] : rng() % 256);
        }
}

TRect RandomRect(std::mt19937& rng, int w, int h)
{
    // Sometimes reaching outside the source: those parts must be clipped, never read.
    const int left = int(rng() % (w + 6)) - 3, top = int(rng() % (h + 6)) - 3;
    return TRect(left, top, left + int(rng() % (w + 2)), top + int(rng() % (h + 2)));
}

enum class EOp
{
    Draw,
    DrawKey,
    DrawAlpha,
    DrawAlphaKey,
    DrawMask,
    DrawAlphaMask,
    DrawAdd,
    DrawAddMask,
    DrawMaskColor
};

// What one operation makes of destination d, source s, mask m; nullopt leaves d.
std::optional<uint32_t> RefPixel(EOp op, int format, uint32_t d, uint32_t s, uint32_t m, int64_t key,
                                 uint32_t alpha, uint32_t value)
{
    switch (op) {
    case EOp::Draw:
        return s;
    case EOp::DrawKey:
        return int64_t(s) == key ? std::nullopt : std::optional(s);
    case EOp::DrawAlpha:
        return RefBlend(format, d, s, alpha);
    case EOp::DrawAlphaKey:
        return int64_t(s) == key ? std::nullopt : std::optional(RefBlend(format, d, s, alpha));
    case EOp::DrawMask:
        if (m == 0) return std::nullopt;
        return m == 255 ? s : RefBlend(format, d, s, m);
    case EOp::DrawAlphaMask: {
        const uint32_t w = m == 255 ? alpha : alpha * m / 256;
        return w == 0 ? std::nullopt : std::optional(RefBlend(format, d, s, w));
    }
    case EOp::DrawAdd:
        if (int64_t(s) == key) return std::nullopt;
        if (format == 8) return std::min<uint32_t>(255, d + s);
        return RefAdd(format, d, s, alpha);
    case EOp::DrawAddMask:
        return RefAdd(format, d, s, alpha * m / 256);
    case EOp::DrawMaskColor: {
        const uint32_t w = alpha == 255 ? m : m == 255 ? alpha : alpha * m / 256;
        return w == 0 ? std::nullopt : std::optional(RefBlend(format, d, value, w));
    }
    }
    return std::nullopt;
}

void RunOp(EOp op, TCustomDIBX& dest, int x, int y, const TCustomDIBX& src, const TRect& r, bool fh, bool fv,
           const TCustomDIBX& mask, int alpha, uint32_t value)
{
    switch (op) {
    case EOp::Draw:
        dest.Draw(x, y, src, r, false, fh, fv);
        break;
    case EOp::DrawKey:
        dest.Draw(x, y, src, r, true, fh, fv);
        break;
    case EOp::DrawAlpha:
        dest.DrawAlpha(x, y, src, r, false, fh, fv, alpha);
        break;
    case EOp::DrawAlphaKey:
        dest.DrawAlpha(x, y, src, r, true, fh, fv, alpha);
        break;
    case EOp::DrawMask:
        dest.DrawMask(x, y, src, r, fh, fv, mask);
        break;
    case EOp::DrawAlphaMask:
        dest.DrawAlphaMask(x, y, src, r, fh, fv, mask, alpha);
        break;
    case EOp::DrawAdd:
        dest.DrawAdd(x, y, src, r, fh, fv, alpha);
        break;
    case EOp::DrawAddMask:
        dest.DrawAddMask(x, y, src, r, fh, fv, mask, alpha);
        break;
    case EOp::DrawMaskColor:
        dest.DrawMaskColor(x, y, mask, r, fh, fv, value, alpha);
        break;
    }
}

bool SameSurface(const TCustomDIBX& a, const TCustomDIBX& b, std::string& where)
{
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.GetPixel(x, y) != b.GetPixel(x, y)) {
                where = "(" + std::to_string(x) + "," + std::to_string(y) + ") got " +
                        std::to_string(a.GetPixel(x, y)) + " want " + std::to_string(b.GetPixel(x, y));
                return false;
            }
    return true;
}

TEST(DrawReference, RectangleCopiesMatchThePlainRulesOnRandomRectanglesFlipsAndClips)
{
    std::mt19937 rng(20261210);
    const EOp ops[] = {EOp::Draw,          EOp::DrawKey, EOp::DrawAlpha,   EOp::DrawAlphaKey, EOp::DrawMask,
                       EOp::DrawAlphaMask, EOp::DrawAdd, EOp::DrawAddMask, EOp::DrawMaskColor};
    for (int format : {32, 24, 16, 15, 8})
        for (EOp op : ops)
            for (int round = 0; round < 40; ++round) {
                const int sw = 1 + int(rng() % 23), sh = 1 + int(rng() % 9);
                TDIBX src(sw, sh, format), dest(29, 13, format), mask(sw - int(rng() % 2), sh, 8);
                FillRandom(src, rng);
                FillRandom(dest, rng);
                FillRandomMask(mask, rng);
                src.TransparentColor = src.GetPixel(int(rng() % sw), int(rng() % sh));
                const bool clipped = rng() % 2;
                if (clipped)
                    dest.ClipRect =
                        TRect(int(rng() % 8), int(rng() % 4), 14 + int(rng() % 16), 6 + int(rng() % 8));
                const TRect r = RandomRect(rng, sw, sh);
                const bool fh = rng() % 2, fv = rng() % 2;
                const int x = int(rng() % 40) - 10, y = int(rng() % 20) - 5;
                const int alpha = int(rng() % 2 ? 1 + rng() % 255 : (rng() % 2 ? 255 : 128));
                const uint32_t value = RandomPixel(rng, format);

                TDIBX expected(dest.Width(), dest.Height(), format);
                expected.Assign(dest);
                const TRect clip = dest.EffectiveClip();
                const TCustomDIBX& read =
                    op == EOp::DrawMaskColor ? static_cast<const TCustomDIBX&>(mask) : src;
                TRect readable = IntersectRect(r, read.BoundsRect());
                const bool masked = op == EOp::DrawMask || op == EOp::DrawAlphaMask || op == EOp::DrawAddMask;
                if (masked) readable = IntersectRect(readable, mask.BoundsRect());
                for (int sy = readable.Top; sy < readable.Bottom; ++sy)
                    for (int sx = readable.Left; sx < readable.Right; ++sx) {
                        const int dx = x + (fh ? r.Right - 1 - sx : sx - r.Left);
                        const int dy = y + (fv ? r.Bottom - 1 - sy : sy - r.Top);
                        if (!clip.Contains(dx, dy)) continue;
                        const uint32_t m = (masked || op == EOp::DrawMaskColor) ? mask.GetPixel(sx, sy) : 255;
                        const auto out = RefPixel(op, format, expected.GetPixel(dx, dy), src.GetPixel(sx, sy),
                                                  m, src.TransparentColor, uint32_t(alpha), value);
                        if (out) expected.SetPixel(dx, dy, *out);
                    }
                RunOp(op, dest, x, y, src, r, fh, fv, mask, alpha, value);
                std::string where;
                ASSERT_TRUE(SameSurface(dest, expected, where))
                    << "format " << format << " op " << int(op) << " round " << round << " at " << where;
            }
}

TEST(DrawReference, StretchAtOneToOneEqualsTheRectangleCopyWithTheSameFlips)
{
    std::mt19937 rng(7);
    for (int format : {32, 16, 8})
        for (int round = 0; round < 30; ++round) {
            TDIBX src(17, 11, format), a(31, 19, format), b(31, 19, format);
            FillRandom(src, rng);
            FillRandom(a, rng);
            b.Assign(a);
            const TRect r(int(rng() % 5), int(rng() % 4), 8 + int(rng() % 9), 5 + int(rng() % 6));
            const bool fh = rng() % 2, fv = rng() % 2;
            const int x = int(rng() % 30) - 8, y = int(rng() % 20) - 6;
            if (rng() % 2) a.ClipRect = b.ClipRect = TRect(3, 2, 25, 15);
            const int alpha = rng() % 2 ? 255 : 100;
            a.StretchDraw(Bounds(x, y, r.Width(), r.Height()), src, r, false, fh, fv, alpha);
            if (alpha == 255)
                b.Draw(x, y, src, r, false, fh, fv);
            else
                b.DrawAlpha(x, y, src, r, false, fh, fv, alpha);
            std::string where;
            ASSERT_TRUE(SameSurface(a, b, where)) << format << " round " << round << " " << where;
        }
}

TEST(DrawReference, RotationByZeroAtZoomOneEqualsDrawWithThePivotOnThePoint)
{
    std::mt19937 rng(11);
    for (int round = 0; round < 30; ++round) {
        TDIBX src(13, 9, 32), a(40, 30, 32), b(40, 30, 32);
        FillRandom(src, rng);
        FillRandom(a, rng);
        b.Assign(a);
        const TRect r(int(rng() % 4), int(rng() % 3), 6 + int(rng() % 7), 4 + int(rng() % 5));
        const int px = int(rng() % r.Width()), py = int(rng() % r.Height());
        const int x = int(rng() % 40) - 5, y = int(rng() % 30) - 5;
        const int alpha = rng() % 2 ? 255 : int(1 + rng() % 254);
        a.RotateDraw(x, y, 1.0, 1.0, src, r, px, py, 0.0, false, false, false, alpha);
        if (alpha == 255)
            b.Draw(x - px, y - py, src, r, false, false, false);
        else
            b.DrawAlpha(x - px, y - py, src, r, false, false, false, alpha);
        std::string where;
        ASSERT_TRUE(SameSurface(a, b, where)) << "round " << round << " " << where;
    }
}

TEST(DrawReference, RotationSamplesEachPixelByTheInverseMappingRule)
{
    std::mt19937 rng(41);
    for (int round = 0; round < 80; ++round) {
        TDIBX src(11, 7, 32), dest(36, 28, 32);
        FillRandom(src, rng);
        FillRandom(dest, rng);
        TDIBX expected(36, 28, 32);
        expected.Assign(dest);
        const TRect r(int(rng() % 3), int(rng() % 2), 6 + int(rng() % 6), 4 + int(rng() % 4));
        const int px = int(rng() % r.Width()), py = int(rng() % r.Height());
        const int x = int(rng() % 36), y = int(rng() % 28);
        const double angle = double(rng() % 6283) / 1000, zx = 0.3 + double(rng() % 300) / 100,
                     zy = 0.3 + double(rng() % 300) / 100;
        const bool fh = rng() % 2, fv = rng() % 2;
        // du/dx = trunc(cos(-a) / zx * 65536) and so on; the pivot maps to (x, y); flips mirror the
        // sampling within the source rectangle.
        const int64_t dudx = int64_t(std::cos(-angle) / zx * 65536),
                      dvdx = int64_t(std::sin(-angle) / zy * 65536);
        const int64_t dudy = int64_t(-std::sin(-angle) / zx * 65536),
                      dvdy = int64_t(std::cos(-angle) / zy * 65536);
        const int64_t pu = int64_t(fh ? r.Width() - px : px) * 65536,
                      pv = int64_t(fv ? r.Height() - py : py) * 65536;
        const TRect box = RotatedBounds(x, y, zx, zy, r, px, py, angle, fh, fv);
        for (int dy = std::max(box.Top, 0); dy < std::min(box.Bottom, 28); ++dy)
            for (int dx = std::max(box.Left, 0); dx < std::min(box.Right, 36); ++dx) {
                const int64_t k = (pu + (dx - x) * dudx + (dy - y) * dudy) >> 16;
                const int64_t l = (pv + (dx - x) * dvdx + (dy - y) * dvdy) >> 16;
                if (k < 0 || k >= r.Width() || l < 0 || l >= r.Height()) continue;
                const int sx = fh ? r.Right - 1 - int(k) : r.Left + int(k),
                          sy = fv ? r.Bottom - 1 - int(l) : r.Top + int(l);
                expected.SetPixel(dx, dy, src.GetPixel(sx, sy));
            }
        dest.RotateDraw(x, y, zx, zy, src, r, px, py, angle, false, fh, fv, 255);
        std::string where;
        ASSERT_TRUE(SameSurface(dest, expected, where)) << "round " << round << " " << where;
    }
}

// Nearest-neighbour sampling of a scaled draw, written from the rule: 16.16 steps with the source
// centre sampled, a clip cut carried into the start as a fraction, and mirrored walks.
std::vector<int> RefSamples(int destLo, int destHi, int clipLo, int clipHi, int srcLo, int srcHi, bool flip)
{
    std::vector<int> samples(size_t(std::max(0, destHi - destLo)), -1);
    const double scale = double(srcHi - srcLo) / double(destHi - destLo);
    const int lo = std::max(destLo, clipLo), hi = std::min(destHi, clipHi);
    const int64_t step = int64_t(scale * 65536.0) * (flip ? -1 : 1);
    const int64_t fraction = int64_t(double(lo - destLo) * scale * 65536.0);
    const int64_t u0 = flip ? int64_t(srcHi) * 65536 - fraction - 1 + step / 2
                            : int64_t(srcLo) * 65536 + fraction + step / 2;
    for (int i = lo; i < hi; ++i)
        samples[size_t(i - destLo)] = int((u0 + int64_t(i - lo) * step) >> 16);
    return samples;
}

TEST(DrawReference, ScaledDrawsSampleByTheFixedPointRuleUnderClipsAndFlips)
{
    std::mt19937 rng(31);
    for (int format : {32, 16, 24, 8})
        for (int round = 0; round < 60; ++round) {
            const int sw = 2 + int(rng() % 20), sh = 2 + int(rng() % 12);
            TDIBX src(sw, sh, format), dest(40, 30, format), mask(sw, sh, 8);
            FillRandom(src, rng);
            FillRandom(dest, rng);
            FillRandomMask(mask, rng);
            const TRect r(int(rng() % (sw / 2 + 1)), int(rng() % (sh / 2 + 1)), sw - int(rng() % (sw / 2)),
                          sh - int(rng() % (sh / 2)));
            const TRect to =
                Bounds(int(rng() % 30) - 8, int(rng() % 24) - 6, 1 + int(rng() % 50), 1 + int(rng() % 40));
            if (rng() % 2)
                dest.ClipRect =
                    TRect(int(rng() % 10), int(rng() % 8), 20 + int(rng() % 20), 15 + int(rng() % 15));
            const bool fh = rng() % 2, fv = rng() % 2, masked = rng() % 2, additive = rng() % 3 == 0;
            const int alpha = rng() % 2 ? 255 : int(1 + rng() % 254);
            const TRect clip = dest.EffectiveClip();
            const std::vector<int> cols =
                RefSamples(to.Left, to.Right, clip.Left, clip.Right, r.Left, r.Right, fh);
            const std::vector<int> rows =
                RefSamples(to.Top, to.Bottom, clip.Top, clip.Bottom, r.Top, r.Bottom, fv);

            TDIBX expected(dest.Width(), dest.Height(), format);
            expected.Assign(dest);
            for (int y = std::max(to.Top, clip.Top); y < std::min(to.Bottom, clip.Bottom); ++y)
                for (int x = std::max(to.Left, clip.Left); x < std::min(to.Right, clip.Right); ++x) {
                    const int sx = cols[size_t(x - to.Left)], sy = rows[size_t(y - to.Top)];
                    if (sx < r.Left || sx >= r.Right || sy < r.Top || sy >= r.Bottom) continue;
                    const uint32_t d = expected.GetPixel(x, y), s = src.GetPixel(sx, sy);
                    const uint32_t m = masked ? mask.GetPixel(sx, sy) : 255;
                    std::optional<uint32_t> out;
                    if (additive)
                        out = RefAdd(format, d, s, masked ? uint32_t(alpha) * m / 256 : uint32_t(alpha));
                    else if (alpha == 255)
                        out =
                            masked ? RefPixel(EOp::DrawMask, format, d, s, m, -1, 255, 0) : std::optional(s);
                    else
                        out = masked ? RefPixel(EOp::DrawAlphaMask, format, d, s, m, -1, uint32_t(alpha), 0)
                                     : std::optional(RefBlend(format, d, s, uint32_t(alpha)));
                    if (out) expected.SetPixel(x, y, *out);
                }
            if (additive && masked)
                dest.StretchDrawAddMask(to, src, r, mask, fh, fv, alpha);
            else if (additive)
                dest.StretchDrawAdd(to, src, r, false, fh, fv, alpha);
            else if (masked)
                dest.StretchDrawMask(to, src, r, mask, fh, fv, alpha);
            else
                dest.StretchDraw(to, src, r, false, fh, fv, alpha);
            std::string where;
            ASSERT_TRUE(SameSurface(dest, expected, where))
                << "format " << format << " round " << round << " " << where;
        }
}

} // namespace
} // namespace ruko
