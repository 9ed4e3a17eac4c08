// Number text forms: one fixed, locale-independent spelling for every value the engine prints.
#include "base/numtext.h"

#include <gtest/gtest.h>

#include <limits>

namespace ruko {
namespace {

TEST(NumberText, RealsPrintWithFifteenSignificantDigits)
{
    struct Case
    {
        Extended value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {-0.0L, "0"},
        {0.1L + 0.2L, "0.3"},
        {1.0L / 3, "0.333333333333333"},
        {2.5L, "2.5"},
        {-1234567.125L, "-1234567.125"},
        {123456789012345.0L, "123456789012345"},
        {1234567890123456.0L, "1.23456789012346E15"},
        {1e20L, "1E20"},
        {1e-5L, "1E-5"},
        {1.5e-300L, "1.5E-300"},
        {std::numeric_limits<Extended>::max(), "1.18973149535723E4932"},
        {std::numeric_limits<Extended>::infinity(), "INF"},
        {-std::numeric_limits<Extended>::infinity(), "-INF"},
        {std::numeric_limits<Extended>::quiet_NaN(), "NAN"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatToStr(c.value), c.text);
}

TEST(NumberText, ParsingAcceptsOnlyDecimalForms)
{
    struct Case
    {
        const char* text;
        bool isInt;
        int32_t asInt;
        bool isReal;
        Extended asReal;
    } cases[] = {
        {"42", true, 42, true, 42},
        {"  -7 ", true, -7, true, -7},
        {"+3", true, 3, true, 3},
        {"2147483647", true, 2147483647, true, 2147483647},
        {"-2147483648", true, -2147483647 - 1, true, -2147483648.0L},
        {"2147483648", false, 0, true, 2147483648.0L},
        {"00000000000012", true, 12, true, 12},
        {"99999999999999999999", false, 0, true, 1e20L},
        {"1.5", false, 0, true, 1.5L},
        {".5", false, 0, true, 0.5L},
        {"5.", false, 0, true, 5},
        {"1e3", false, 0, true, 1000},
        {"1E-3", false, 0, true, 0.001L},
        {"1e99999", false, 0, false, 0},
        {"1e-99999", false, 0, true, 0},
        {"1e", false, 0, false, 0},
        {"", false, 0, false, 0},
        {"-", false, 0, false, 0},
        {"inf", false, 0, false, 0},
        {"-INF", false, 0, false, 0},
        {"nan", false, 0, false, 0},
        {"0x10", false, 0, false, 0},
        {"0x1p3", false, 0, false, 0},
        {"$FF", false, 0, false, 0},
        {"1,5", false, 0, false, 0},
        {"1 000", false, 0, false, 0},
        {"1.2.3", false, 0, false, 0},
    };
    for (const Case& c : cases) {
        int32_t n = -99;
        Extended x = -99;
        EXPECT_EQ(TryStrToInt(c.text, n), c.isInt) << c.text;
        if (c.isInt) {
            EXPECT_EQ(n, c.asInt) << c.text;
        }
        EXPECT_EQ(TryStrToFloat(c.text, x), c.isReal) << c.text;
        if (c.isReal) {
            EXPECT_EQ(x, c.asReal) << c.text;
        }
    }
    EXPECT_EQ(StrToIntDef("x", 5), 5);
    EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
}

} // namespace
} // namespace ruko
