#pragma once
// Clipping shared by the drawing loops (internal to the graphics subsystem).
#include "base/rect.h"

#include <cstdint>

namespace ruko {

class TCustomDIBX;

// A clipped rectangle copy: Width x Height destination pixels from (DestX, DestY); the source walk
// starts at (SrcX, SrcY) (the right column when mirrored, the bottom row when flipped) and steps
// by -1 or +1.
struct TCopyGeometry
{
    int32_t DestX = 0, DestY = 0, Width = 0, Height = 0;
    int32_t SrcX = 0, SrcY = 0, SrcStepY = 1;
};

// Clips a copy of srcRect to (x, y) against the destination clip, the source surface and the mask
// (read at the source's coordinates). False when nothing remains.
bool ClipCopy(const TCustomDIBX& dest, int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
              const TCustomDIBX* mask, bool flipH, bool flipV, TCopyGeometry& g);

} // namespace ruko
