#include "base/numbers.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace ruko;

struct ExtendedCase
{
    Extended value;
    uint8_t bytes[10];
};

TEST(ExtendedReal, EncodesAndDecodesBitExact)
{
    const ExtendedCase cases[] = {
        {0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00}},
        {1.0L, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
        {-2.5L, {0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0}},
        {0.1L, {0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F}},
        {std::numeric_limits<Extended>::infinity(), {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}},
        {std::numeric_limits<Extended>::denorm_min(), {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const ExtendedCase& c : cases) {
        uint8_t out[10];
        EncodeExtended(c.value, out);
        EXPECT_EQ(0, memcmp(out, c.bytes, 10)) << static_cast<double>(c.value);
        EXPECT_EQ(DecodeExtended(c.bytes), c.value);
    }
    uint8_t nan[10];
    EncodeExtended(std::numeric_limits<Extended>::quiet_NaN(), nan);
    EXPECT_TRUE(std::isnan(DecodeExtended(nan)));
}

TEST(Rounding, HalvesGoToEven)
{
    EXPECT_EQ(RoundHalfEven(0.5L), 0.0L);
    EXPECT_EQ(RoundHalfEven(1.5L), 2.0L);
    EXPECT_EQ(RoundHalfEven(2.5L), 2.0L);
    EXPECT_EQ(RoundHalfEven(-1.5L), -2.0L);
}

TEST(RealToInteger, TruncatesThrough64BitsAndWraps)
{
    EXPECT_EQ(TruncToInt32(-1.9L), -1);
    EXPECT_EQ(TruncToInt32(4294967297.0L), 1);         // low 32 bits of 2^32 + 1
    EXPECT_EQ(TruncToInt32(2147483648.0L), INT32_MIN); // 2^31 wraps
    EXPECT_EQ(TruncToInt32(1e30L), 0);
    EXPECT_EQ(TruncToInt32(std::numeric_limits<Extended>::quiet_NaN()), 0);
    EXPECT_EQ(TruncToInt32(-std::numeric_limits<Extended>::infinity()), 0);
}

TEST(RealToInteger, SaturatesIntoRange)
{
    EXPECT_EQ(SaturateToInt32(1e30L), INT32_MAX);
    EXPECT_EQ(SaturateToInt32(-1e30L), INT32_MIN);
    EXPECT_EQ(SaturateToInt32(std::numeric_limits<Extended>::quiet_NaN(), 1, 100), 1);
    EXPECT_EQ(SaturateToInt32(50.7L, 1, 100), 50);
    EXPECT_EQ(SaturateToInt32(5000.0L, 1, 100), 100);
}
