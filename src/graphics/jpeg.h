#pragma once
// JPEG through libjpeg-turbo, always 24-bit (blue, green, red bytes).
#include "graphics/picture.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ruko {

bool IsJpegData(const uint8_t* data, size_t size);
// A damaged stream, one larger than MaxPictureSide, or (when `width` is not 0) one of another
// size than width × height, raises "ファイルが破壊されています".
TPicture DecodeJpeg(const uint8_t* data, size_t size, int width = 0, int height = 0);
// `picture` in any depth; quality 1..100 (clamped).
std::vector<uint8_t> EncodeJpeg(const TPicture& picture, int quality);

} // namespace ruko
