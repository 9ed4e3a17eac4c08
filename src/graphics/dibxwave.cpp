// The wave proxy: forwards drawing to its target, shifting each destination row by its offset.
#include "graphics/dibsfc.h"

namespace ruko {

TDIBXWave::TDIBXWave(TCustomDIBX& target) : WaveTarget(&target) {}

void TDIBXWave::SetSize(int32_t width, int32_t height, int32_t)
{
    WaveWidth = std::max(width, 0);
    WaveHeight = std::max(height, 0);
    Offsets.assign(size_t(WaveHeight), 0);
    ClipRect = TRect();
}

template <class DrawBand> void TDIBXWave::ForEachBand(int64_t top, int64_t bottom, DrawBand&& draw)
{
    const TRect clip = EffectiveClip();
    TCustomDIBX& target = *WaveTarget;
    const TRect targetClip = IntersectRect(target.EffectiveClip(), clip);
    if (targetClip.IsEmpty()) return;
    const int64_t first = std::max<int64_t>(top, targetClip.Top),
                  last = std::min<int64_t>(bottom, targetClip.Bottom);
    const int64_t count = int64_t(Offsets.size());
    const TRect saved = target.ClipRect;
    for (int64_t row = first; row < last;) {
        const int64_t index = row - Origin;
        if (index < 0 || index >= count) {
            ++row;
            continue;
        }
        const int32_t offset = Offsets[size_t(index)];
        int64_t end = row + 1;
        while (end < last && end - Origin < count && Offsets[size_t(end - Origin)] == offset)
            ++end;
        target.ClipRect = TRect(targetClip.Left, int32_t(row), targetClip.Right, int32_t(end));
        draw(offset);
        row = end;
    }
    target.ClipRect = saved;
}

uint32_t TDIBXWave::GetPixel(int32_t x, int32_t y) const
{
    const int64_t index = int64_t(y) - Origin;
    if (index < 0 || index >= int64_t(Offsets.size())) return 0;
    return WaveTarget->GetPixel(x + Offsets[size_t(index)], y);
}

void TDIBXWave::SetPixel(int32_t x, int32_t y, uint32_t value)
{
    const int64_t index = int64_t(y) - Origin;
    if (index < 0 || index >= int64_t(Offsets.size())) return;
    WaveTarget->SetPixel(x + Offsets[size_t(index)], y, value);
}

namespace {

TRect Shifted(const TRect& r, int32_t dx)
{
    return TRect(r.Left + dx, r.Top, r.Right + dx, r.Bottom);
}

} // namespace

void TDIBXWave::Fill(uint32_t value)
{
    FillRect(BoundsRect(), value);
}

void TDIBXWave::FillRect(const TRect& rect, uint32_t value)
{
    ForEachBand(rect.Top, rect.Bottom, [&](int32_t dx) { WaveTarget->FillRect(Shifted(rect, dx), value); });
}

void TDIBXWave::FillRectAlpha(const TRect& rect, uint32_t value, int32_t alpha)
{
    ForEachBand(rect.Top, rect.Bottom,
                [&](int32_t dx) { WaveTarget->FillRectAlpha(Shifted(rect, dx), value, alpha); });
}

void TDIBXWave::FillRectAdd(const TRect& rect, uint32_t value)
{
    ForEachBand(rect.Top, rect.Bottom,
                [&](int32_t dx) { WaveTarget->FillRectAdd(Shifted(rect, dx), value); });
}

void TDIBXWave::FillRectSub(const TRect& rect, uint32_t value)
{
    ForEachBand(rect.Top, rect.Bottom,
                [&](int32_t dx) { WaveTarget->FillRectSub(Shifted(rect, dx), value); });
}

void TDIBXWave::Assign(const TCustomDIBX& source)
{
    Draw(0, 0, source, source.BoundsRect(), false, false, false);
}

void TDIBXWave::Draw(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool useKey,
                     bool flipH, bool flipV)
{
    ForEachBand(y, int64_t(y) + srcRect.Height(),
                [&](int32_t dx) { WaveTarget->Draw(x + dx, y, source, srcRect, useKey, flipH, flipV); });
}

void TDIBXWave::DrawMask(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool flipH,
                         bool flipV, const TCustomDIBX& mask)
{
    ForEachBand(y, int64_t(y) + srcRect.Height(),
                [&](int32_t dx) { WaveTarget->DrawMask(x + dx, y, source, srcRect, flipH, flipV, mask); });
}

void TDIBXWave::DrawAlpha(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool useKey,
                          bool flipH, bool flipV, int32_t alpha)
{
    ForEachBand(y, int64_t(y) + srcRect.Height(), [&](int32_t dx) {
        WaveTarget->DrawAlpha(x + dx, y, source, srcRect, useKey, flipH, flipV, alpha);
    });
}

void TDIBXWave::DrawAlphaMask(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                              bool flipH, bool flipV, const TCustomDIBX& mask, int32_t alpha)
{
    ForEachBand(y, int64_t(y) + srcRect.Height(), [&](int32_t dx) {
        WaveTarget->DrawAlphaMask(x + dx, y, source, srcRect, flipH, flipV, mask, alpha);
    });
}

void TDIBXWave::DrawAdd(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool flipH,
                        bool flipV, int32_t alpha)
{
    ForEachBand(y, int64_t(y) + srcRect.Height(),
                [&](int32_t dx) { WaveTarget->DrawAdd(x + dx, y, source, srcRect, flipH, flipV, alpha); });
}

void TDIBXWave::DrawAddMask(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool flipH,
                            bool flipV, const TCustomDIBX& mask, int32_t alpha)
{
    ForEachBand(y, int64_t(y) + srcRect.Height(), [&](int32_t dx) {
        WaveTarget->DrawAddMask(x + dx, y, source, srcRect, flipH, flipV, mask, alpha);
    });
}

void TDIBXWave::DrawMaskColor(int32_t x, int32_t y, const TCustomDIBX& mask, const TRect& srcRect, bool flipH,
                              bool flipV, uint32_t value, int32_t alpha)
{
    ForEachBand(y, int64_t(y) + srcRect.Height(), [&](int32_t dx) {
        WaveTarget->DrawMaskColor(x + dx, y, mask, srcRect, flipH, flipV, value, alpha);
    });
}

void TDIBXWave::DrawPalette(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                            int32_t minIndex, bool flipH, bool flipV, int32_t alpha, const uint32_t* table)
{
    ForEachBand(y, int64_t(y) + srcRect.Height(), [&](int32_t dx) {
        WaveTarget->DrawPalette(x + dx, y, source, srcRect, minIndex, flipH, flipV, alpha, table);
    });
}

void TDIBXWave::DrawPalette4(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                             bool flipH, bool flipV, int32_t alpha, const uint32_t* table)
{
    ForEachBand(y, int64_t(y) + srcRect.Height(), [&](int32_t dx) {
        WaveTarget->DrawPalette4(x + dx, y, source, srcRect, flipH, flipV, alpha, table);
    });
}

void TDIBXWave::StretchDraw(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                            bool useKey, bool flipH, bool flipV, int32_t alpha)
{
    ForEachBand(destRect.Top, destRect.Bottom, [&](int32_t dx) {
        WaveTarget->StretchDraw(Shifted(destRect, dx), source, srcRect, useKey, flipH, flipV, alpha);
    });
}

void TDIBXWave::StretchDrawMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha)
{
    ForEachBand(destRect.Top, destRect.Bottom, [&](int32_t dx) {
        WaveTarget->StretchDrawMask(Shifted(destRect, dx), source, srcRect, mask, flipH, flipV, alpha);
    });
}

void TDIBXWave::StretchDrawAdd(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                               bool useKey, bool flipH, bool flipV, int32_t alpha)
{
    ForEachBand(destRect.Top, destRect.Bottom, [&](int32_t dx) {
        WaveTarget->StretchDrawAdd(Shifted(destRect, dx), source, srcRect, useKey, flipH, flipV, alpha);
    });
}

void TDIBXWave::StretchDrawAddMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                   const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha)
{
    ForEachBand(destRect.Top, destRect.Bottom, [&](int32_t dx) {
        WaveTarget->StretchDrawAddMask(Shifted(destRect, dx), source, srcRect, mask, flipH, flipV, alpha);
    });
}

void TDIBXWave::StretchDrawPalette(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                   int32_t minIndex, bool flipH, bool flipV, int32_t alpha,
                                   const uint32_t* table)
{
    ForEachBand(destRect.Top, destRect.Bottom, [&](int32_t dx) {
        WaveTarget->StretchDrawPalette(Shifted(destRect, dx), source, srcRect, minIndex, flipH, flipV, alpha,
                                       table);
    });
}

void TDIBXWave::RotateDraw(int32_t x, int32_t y, double zoomX, double zoomY, const TCustomDIBX& source,
                           const TRect& srcRect, int32_t pivotX, int32_t pivotY, double angle, bool useKey,
                           bool flipH, bool flipV, int32_t alpha)
{
    const TRect box = RotatedBounds(x, y, zoomX, zoomY, srcRect, pivotX, pivotY, angle, flipH, flipV);
    ForEachBand(box.Top, box.Bottom, [&](int32_t dx) {
        WaveTarget->RotateDraw(x + dx, y, zoomX, zoomY, source, srcRect, pivotX, pivotY, angle, useKey, flipH,
                               flipV, alpha);
    });
}

void TDIBXWave::RotateDrawMask(int32_t x, int32_t y, double zoomX, double zoomY, const TCustomDIBX& source,
                               const TRect& srcRect, int32_t pivotX, int32_t pivotY, double angle,
                               const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha)
{
    const TRect box = RotatedBounds(x, y, zoomX, zoomY, srcRect, pivotX, pivotY, angle, flipH, flipV);
    ForEachBand(box.Top, box.Bottom, [&](int32_t dx) {
        WaveTarget->RotateDrawMask(x + dx, y, zoomX, zoomY, source, srcRect, pivotX, pivotY, angle, mask,
                                   flipH, flipV, alpha);
    });
}

void TDIBXWave::DrawMonoGlyph(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                              uint32_t value, bool flipH, bool flipV, int32_t alpha, int32_t factor)
{
    if (factor <= 0) return;
    ForEachBand(y, int64_t(y) + srcRect.Height() / factor, [&](int32_t dx) {
        WaveTarget->DrawMonoGlyph(x + dx, y, source, srcRect, value, flipH, flipV, alpha, factor);
    });
}

void TDIBXWave::DrawGlyph4(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                           uint32_t value1, uint32_t value2, uint32_t value3, bool flipH, bool flipV,
                           int32_t alpha, int32_t factor)
{
    if (factor <= 0) return;
    ForEachBand(y, int64_t(y) + srcRect.Height() / factor, [&](int32_t dx) {
        WaveTarget->DrawGlyph4(x + dx, y, source, srcRect, value1, value2, value3, flipH, flipV, alpha,
                               factor);
    });
}

void TDIBXWave::TileFill(const TRect& rect, const TCustomDIBX& pattern, int32_t offsetX, int32_t offsetY,
                         bool flipH, bool flipV)
{
    ForEachBand(rect.Top, rect.Bottom, [&](int32_t dx) {
        WaveTarget->TileFill(Shifted(rect, dx), pattern, offsetX, offsetY, flipH, flipV);
    });
}

void TDIBXWave::TileFillZoom(const TRect& rect, const TCustomDIBX& pattern, double zoomX, double zoomY,
                             int32_t offsetX, int32_t offsetY, bool useKey, bool flipH, bool flipV,
                             int32_t alpha)
{
    ForEachBand(rect.Top, rect.Bottom, [&](int32_t dx) {
        WaveTarget->TileFillZoom(Shifted(rect, dx), pattern, zoomX, zoomY, offsetX, offsetY, useKey, flipH,
                                 flipV, alpha);
    });
}

void TDIBXWave::TileFillZoomMask(const TRect& rect, const TCustomDIBX& pattern, double zoomX, double zoomY,
                                 int32_t offsetX, int32_t offsetY, const TCustomDIBX& mask, bool flipH,
                                 bool flipV, int32_t alpha)
{
    ForEachBand(rect.Top, rect.Bottom, [&](int32_t dx) {
        WaveTarget->TileFillZoomMask(Shifted(rect, dx), pattern, zoomX, zoomY, offsetX, offsetY, mask, flipH,
                                     flipV, alpha);
    });
}

} // namespace ruko
