#pragma once
// Numeric rules shared by every stored format and by script arithmetic.
#include <cstdint>

namespace ruko {

// Script reals are x87 extended values in files; in memory they are the widest float we have.
using Extended = long double;

constexpr int ExtendedSize = 10;

// Bit-exact 80-bit extended-real codec that does not depend on the host's long double layout.
// Values the host cannot represent exactly are rounded to nearest; NaN payloads are not kept.
void EncodeExtended(Extended value, uint8_t out[ExtendedSize]);
Extended DecodeExtended(const uint8_t in[ExtendedSize]);

// Rounds halves to even.
Extended RoundHalfEven(Extended value);

// Real to integer: truncates through 64 bits and keeps the low 32 bits. NaN, infinities and
// values beyond the 64-bit range give 0.
int32_t TruncToInt32(Extended value);
int64_t TruncToInt64(Extended value);

// Real to integer clamped to [low, high]; NaN gives 0 clamped into the range. For sizes, zooms and
// coordinates taken from scripts.
int32_t SaturateToInt32(Extended value, int32_t low = INT32_MIN, int32_t high = INT32_MAX);

// Clamp of a 64-bit intermediate into 32 bits.
int32_t ClampToInt32(int64_t value);

} // namespace ruko
