#include "base/numbers.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace ruko {

// Layout: 64-bit significand with an explicit integer bit (bytes 0..7), then a 15-bit exponent
// biased by 16383 and the sign bit (bytes 8..9).
void EncodeExtended(Extended value, uint8_t out[ExtendedSize])
{
    uint64_t mantissa = 0;
    uint16_t exponent = 0;
    bool negative = std::signbit(value);
    if (std::isnan(value)) {
        exponent = 0x7FFF;
        mantissa = 0xC000000000000000ull;
    } else if (std::isinf(value)) {
        exponent = 0x7FFF;
        mantissa = 0x8000000000000000ull;
    } else if (value != 0) {
        int binaryExponent = 0;
        Extended fraction = std::frexp(std::fabs(value), &binaryExponent); // [0.5, 1)
        int biased = binaryExponent - 1 + 16383;
        if (biased >= 0x7FFF) {
            exponent = 0x7FFF;
            mantissa = 0x8000000000000000ull;
        } else {
            if (biased <= 0) {
                // Denormal: the exponent field is 0 and the significand is scaled by 2^-16382.
                fraction = std::ldexp(fraction, biased - 1);
                biased = 0;
            }
            mantissa = static_cast<uint64_t>(std::ldexp(fraction, 64));
            exponent = static_cast<uint16_t>(biased);
        }
    }
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<uint8_t>(mantissa >> (8 * i));
    uint16_t top = static_cast<uint16_t>(exponent | (negative ? 0x8000 : 0));
    out[8] = static_cast<uint8_t>(top);
    out[9] = static_cast<uint8_t>(top >> 8);
}

Extended DecodeExtended(const uint8_t in[ExtendedSize])
{
    uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa |= static_cast<uint64_t>(in[i]) << (8 * i);
    uint16_t top = static_cast<uint16_t>(in[8] | (in[9] << 8));
    bool negative = (top & 0x8000) != 0;
    int exponent = top & 0x7FFF;
    Extended value;
    if (exponent == 0x7FFF) {
        value = (mantissa << 1) == 0 ? std::numeric_limits<Extended>::infinity()
                                     : std::numeric_limits<Extended>::quiet_NaN();
    } else if (exponent == 0) {
        value = std::ldexp(static_cast<Extended>(mantissa), -16382 - 63);
    } else {
        value = std::ldexp(static_cast<Extended>(mantissa), exponent - 16383 - 63);
    }
    return negative ? -value : value;
}

Extended RoundHalfEven(Extended value)
{
    return std::nearbyint(value);
}

int64_t TruncToInt64(Extended value)
{
    if (!std::isfinite(value)) return 0;
    Extended truncated = std::trunc(value);
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (truncated >= 9223372036854775808.0L || truncated < -9223372036854775808.0L) return 0;
    return static_cast<int64_t>(truncated);
}

int32_t TruncToInt32(Extended value)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(TruncToInt64(value))));
}

int32_t SaturateToInt32(Extended value, int32_t low, int32_t high)
{
    if (std::isnan(value)) value = 0;
    if (value <= static_cast<Extended>(low)) return low;
    if (value >= static_cast<Extended>(high)) return high;
    return static_cast<int32_t>(std::trunc(value));
}

int32_t ClampToInt32(int64_t value)
{
    if (value < INT32_MIN) return INT32_MIN;
    if (value > INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(value);
}

} // namespace ruko
