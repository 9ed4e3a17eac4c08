#pragma once
// Cursor files as titles ship them: the icon-directory container holding device-independent
// bitmaps (1, 4, 8, 24 or 32 bits a pixel) with an AND mask, and a hot spot.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ruko {

struct TCursorImage
{
    int Width = 0, Height = 0;
    int HotX = 0, HotY = 0;
    std::vector<uint32_t> Argb; // rows top to bottom, 0xAARRGGBB
};

// The first image of the file; false for anything damaged or of another kind (such as PNG payloads).
bool DecodeCursorFile(const std::vector<uint8_t>& file, TCursorImage& image);

} // namespace ruko
