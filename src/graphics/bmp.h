#pragma once
// Windows bitmaps, read by us in their stored depth (1, 4, 8, 16 as 5-5-5 or 5-6-5, 24, 32;
// uncompressed or with bit-field masks) and written as 24-bit.
#include "graphics/picture.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ruko {

bool IsBmpData(const uint8_t* data, size_t size);
// Run-length compressed and other unusual bitmaps raise "読み込めないファイル形式です";
// damaged ones "ファイルが破壊されています".
TPicture DecodeBmp(const uint8_t* data, size_t size);
std::vector<uint8_t> EncodeBmp24(const TPicture& picture);

} // namespace ruko
