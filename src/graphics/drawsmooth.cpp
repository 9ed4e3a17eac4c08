#include "graphics/drawsmooth.h"

#include "graphics/drawops.h"

#include <cmath>

namespace ruko {

using namespace pixels;

void RotateDrawSmooth(TCustomDIBX& dest, int32_t x, int32_t y, double zoomX, double zoomY,
                      const TCustomDIBX& source, const TRect& srcRect, int32_t pivotX, int32_t pivotY,
                      double angle, const TCustomDIBX* mask, bool flipH, bool flipV, int32_t alpha)
{
    if (alpha <= 0 || source.PixelFormat() != dest.PixelFormat() || (mask && mask->PixelFormat() != 8))
        return;
    if (!std::isfinite(zoomX) || !std::isfinite(zoomY) || !std::isfinite(angle) || zoomX <= 0 || zoomY <= 0)
        return;
    const uint32_t strength = alpha > 255 ? uint32_t(std::min(alpha - 256, 255)) : 0;
    if (alpha > 255 && strength == 0) return;
    TRect readable = IntersectRect(srcRect, source.BoundsRect());
    if (mask) readable = IntersectRect(readable, mask->BoundsRect());
    if (readable.IsEmpty()) return;
    TRect box = RotatedBounds(x, y, zoomX, zoomY, srcRect, pivotX, pivotY, angle, flipH, flipV);
    if (box.IsEmpty()) return;
    // The bounds truncate toward zero; one more pixel on each side holds every sample point.
    box = IntersectRect(TRect(box.Left > INT32_MIN ? box.Left - 1 : box.Left,
                              box.Top > INT32_MIN ? box.Top - 1 : box.Top,
                              box.Right < INT32_MAX ? box.Right + 1 : box.Right,
                              box.Bottom < INT32_MAX ? box.Bottom + 1 : box.Bottom),
                        dest.EffectiveClip());
    if (box.IsEmpty()) return;
    const double c = std::cos(angle), s = std::sin(angle);
    const double duDx = c / zoomX, dvDx = -s / zoomY, duDy = s / zoomX, dvDy = c / zoomY;
    const double pivotU = flipH ? double(srcRect.Width()) - pivotX : double(pivotX);
    const double pivotV = flipV ? double(srcRect.Height()) - pivotY : double(pivotY);
    const double w = srcRect.Width(), h = srcRect.Height();
    // Offsets of the four sample points from the pixel's corner, in picture units.
    double sampleU[4], sampleV[4];
    for (int j = 0; j < 4; ++j) {
        const double ox = (j & 1) ? 0.75 : 0.25, oy = (j & 2) ? 0.75 : 0.25;
        sampleU[j] = ox * duDx + oy * duDy;
        sampleV[j] = ox * dvDx + oy * dvDy;
    }
    const uint8_t* srcBase = source.ScanLine(0);
    const uint8_t* maskBase = mask ? mask->ScanLine(0) : nullptr;
    const intptr_t srcPitch = source.Pitch(), maskPitch = mask ? mask->Pitch() : 0;
    if (!srcBase || (mask && !maskBase)) return;
    WithFormat(dest.PixelFormat(), [&](auto f) {
        using F = decltype(f);
        for (int32_t row = box.Top; row < box.Bottom; ++row) {
            uint8_t* d = dest.Lock(box.Left, row);
            if (!d) return;
            const double dx0 = double(box.Left) - x, dy = double(row) - y;
            double u = pivotU + dx0 * duDx + dy * duDy, v = pivotV + dx0 * dvDx + dy * dvDy;
            for (int32_t i = 0; i < box.Width(); ++i, u += duDx, v += dvDx) {
                uint32_t weights = 0;
                uint64_t sumR = 0, sumG = 0, sumB = 0;
                for (int j = 0; j < 4; ++j) {
                    const double su = u + sampleU[j], sv = v + sampleV[j];
                    if (!(su >= 0 && su < w && sv >= 0 && sv < h)) continue;
                    const int32_t k = int32_t(su), l = int32_t(sv);
                    const int32_t sx = flipH ? srcRect.Right - 1 - k : srcRect.Left + k;
                    const int32_t sy = flipV ? srcRect.Bottom - 1 - l : srcRect.Top + l;
                    if (!readable.Contains(sx, sy)) continue;
                    const uint32_t m = maskBase ? maskBase[sy * maskPitch + sx] : 255u;
                    if (m == 0) continue;
                    const uint32_t p = F::Load(srcBase + sy * srcPitch, sx);
                    sumR += uint64_t(p & F::RMask) * m;
                    sumG += uint64_t(p & F::GMask) * m;
                    sumB += uint64_t(p & F::BMask) * m;
                    weights += m;
                }
                if (weights == 0) continue;
                const uint32_t colour = (uint32_t(sumR / weights) & F::RMask) |
                                        (uint32_t(sumG / weights) & F::GMask) |
                                        (uint32_t(sumB / weights) & F::BMask);
                uint32_t coverage = weights / 4;
                const uint32_t old = F::Load(d, i);
                if (strength) {
                    F::Store(d, i, AddWeighted<F>(old, colour, coverage * strength / 255));
                    continue;
                }
                if (alpha < 255) coverage = coverage * uint32_t(alpha) / 256;
                if (coverage == 0) continue;
                F::Store(d, i, coverage >= 255 ? colour : Blend<F>(old, colour, coverage));
            }
        }
    });
}

} // namespace ruko
