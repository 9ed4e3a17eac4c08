// Tiling: a source rectangle repeated edge to edge (with optional gaps) over a destination
// rectangle, each tile drawn with the matching single operation under a narrowed clip.
#include "graphics/dibsfc.h"

namespace ruko {

namespace {

int32_t WrapOffset(int64_t offset, int64_t period)
{
    offset %= period;
    return int32_t(offset < 0 ? offset + period : offset);
}

// Calls drawTile(x, y) for the top-left corner of every tile touching destRect, with the clip of
// `dest` narrowed to destRect for the duration.
template <class DrawTile>
void ForEachTile(TCustomDIBX& dest, const TRect& destRect, int32_t tileW, int32_t tileH, int32_t offsetX,
                 int32_t offsetY, int32_t gapX, int32_t gapY, DrawTile drawTile)
{
    if (tileW <= 0 || tileH <= 0 || destRect.IsEmpty()) return;
    const TRect area = IntersectRect(destRect, dest.EffectiveClip());
    if (area.IsEmpty()) return;
    const int64_t periodX = int64_t(tileW) + std::max(gapX, 0), periodY = int64_t(tileH) + std::max(gapY, 0);
    const TRect saved = dest.ClipRect;
    dest.ClipRect = area;
    // Start with the tile that covers the first visible column and row.
    const int64_t startX = int64_t(destRect.Left) - WrapOffset(offsetX, periodX);
    const int64_t startY = int64_t(destRect.Top) - WrapOffset(offsetY, periodY);
    const int64_t firstX = startX + (area.Left - startX) / periodX * periodX;
    const int64_t firstY = startY + (area.Top - startY) / periodY * periodY;
    for (int64_t y = firstY; y < area.Bottom; y += periodY)
        for (int64_t x = firstX; x < area.Right; x += periodX)
            drawTile(int32_t(x), int32_t(y));
    dest.ClipRect = saved;
}

} // namespace

void TCustomDIBX::TileDraw(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                           int32_t offsetX, int32_t offsetY, int32_t gapX, int32_t gapY, bool useKey,
                           bool flipH, bool flipV)
{
    ForEachTile(*this, destRect, srcRect.Width(), srcRect.Height(), offsetX, offsetY, gapX, gapY,
                [&](int32_t x, int32_t y) { Draw(x, y, source, srcRect, useKey, flipH, flipV); });
}

void TCustomDIBX::TileDrawAlpha(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                int32_t offsetX, int32_t offsetY, int32_t gapX, int32_t gapY, bool useKey,
                                bool flipH, bool flipV, int32_t alpha)
{
    ForEachTile(*this, destRect, srcRect.Width(), srcRect.Height(), offsetX, offsetY, gapX, gapY,
                [&](int32_t x, int32_t y) { DrawAlpha(x, y, source, srcRect, useKey, flipH, flipV, alpha); });
}

void TCustomDIBX::TileDrawAdd(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                              int32_t offsetX, int32_t offsetY, int32_t gapX, int32_t gapY, bool flipH,
                              bool flipV, int32_t alpha)
{
    ForEachTile(*this, destRect, srcRect.Width(), srcRect.Height(), offsetX, offsetY, gapX, gapY,
                [&](int32_t x, int32_t y) { DrawAdd(x, y, source, srcRect, flipH, flipV, alpha); });
}

void TCustomDIBX::TileDrawMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                               int32_t offsetX, int32_t offsetY, int32_t gapX, int32_t gapY,
                               const TCustomDIBX& mask, bool flipH, bool flipV)
{
    ForEachTile(*this, destRect, srcRect.Width(), srcRect.Height(), offsetX, offsetY, gapX, gapY,
                [&](int32_t x, int32_t y) { DrawMask(x, y, source, srcRect, flipH, flipV, mask); });
}

void TCustomDIBX::TileDrawAlphaMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                    int32_t offsetX, int32_t offsetY, int32_t gapX, int32_t gapY,
                                    const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha)
{
    ForEachTile(
        *this, destRect, srcRect.Width(), srcRect.Height(), offsetX, offsetY, gapX, gapY,
        [&](int32_t x, int32_t y) { DrawAlphaMask(x, y, source, srcRect, flipH, flipV, mask, alpha); });
}

void TCustomDIBX::TileDrawAddMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                  int32_t offsetX, int32_t offsetY, int32_t gapX, int32_t gapY,
                                  const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha)
{
    ForEachTile(*this, destRect, srcRect.Width(), srcRect.Height(), offsetX, offsetY, gapX, gapY,
                [&](int32_t x, int32_t y) { DrawAddMask(x, y, source, srcRect, flipH, flipV, mask, alpha); });
}

void TCustomDIBX::TileStretchDraw(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                  int32_t tileWidth, int32_t tileHeight, int32_t offsetX, int32_t offsetY,
                                  int32_t gapX, int32_t gapY, bool useKey, bool flipH, bool flipV,
                                  int32_t alpha)
{
    ForEachTile(
        *this, destRect, tileWidth, tileHeight, offsetX, offsetY, gapX, gapY, [&](int32_t x, int32_t y) {
            StretchDraw(Bounds(x, y, tileWidth, tileHeight), source, srcRect, useKey, flipH, flipV, alpha);
        });
}

void TCustomDIBX::TileStretchDrawMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                      int32_t tileWidth, int32_t tileHeight, int32_t offsetX, int32_t offsetY,
                                      int32_t gapX, int32_t gapY, const TCustomDIBX& mask, bool flipH,
                                      bool flipV, int32_t alpha)
{
    ForEachTile(
        *this, destRect, tileWidth, tileHeight, offsetX, offsetY, gapX, gapY, [&](int32_t x, int32_t y) {
            StretchDrawMask(Bounds(x, y, tileWidth, tileHeight), source, srcRect, mask, flipH, flipV, alpha);
        });
}

} // namespace ruko
