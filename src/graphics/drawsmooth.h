#pragma once
// The smoothed rotate-and-zoom draw of the image components.
#include "graphics/dibsfc.h"

namespace ruko {

// Draws srcRect of `source` rotated by `angle` (radians) about the pivot, zoomed, with the pivot
// landing on (x, y), as RotateDrawMask places it. Each destination pixel samples the source at
// its ¼ and ¾ points (2 × 2 samples); a sample inside the picture weighs its mask value (255
// without a mask; the colour key is not used). The pixel's coverage is the sum of the weights ÷ 4
// and its colour the weighted mean. Alpha 1..254 scales the coverage by alpha ÷ 256 and blends,
// 255 blends by the coverage alone (copying at full coverage), 256..511 adds with strength
// min(alpha − 256, 255) scaled by the coverage. Nothing is drawn for alpha ≤ 0, a zoom that is
// not finite or not positive, or an angle that is not finite.
void RotateDrawSmooth(TCustomDIBX& dest, int32_t x, int32_t y, double zoomX, double zoomY,
                      const TCustomDIBX& source, const TRect& srcRect, int32_t pivotX, int32_t pivotY,
                      double angle, const TCustomDIBX* mask, bool flipH, bool flipV, int32_t alpha);

} // namespace ruko
