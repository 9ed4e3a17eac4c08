#pragma once
// PNG pictures through libpng: read into a 24-bit picture with an optional 8-bit alpha plane,
// written from 24- or 32-bit pictures (with an alpha plane as RGBA) or from a plain XRGB buffer.
#include "graphics/picture.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ruko {

// A decoded picture file: colour in its stored depth and, when the file had one, an alpha plane.
struct TDecodedPicture
{
    TPicture Picture;
    std::optional<TPicture> Alpha; // 8-bit, same size
};

bool IsPngData(const uint8_t* data, size_t size);
// Any PNG colour type; the result is 24-bit, with an alpha plane when the file has transparency.
// A damaged or oversized file raises "ファイルが破壊されています".
TDecodedPicture DecodePng(const uint8_t* data, size_t size);
// `picture` is 15, 16, 24 or 32 bits, or palettised; `alpha` (8-bit, same size) makes it RGBA.
std::vector<uint8_t> EncodePng(const TPicture& picture, const TPicture* alpha = nullptr);
// Rows of 0x00RRGGBB pixels (the run-time surface layout), `pitch` bytes apart.
std::vector<uint8_t> EncodePngXrgb(int width, int height, const uint32_t* pixels, ptrdiff_t pitch);

} // namespace ruko
