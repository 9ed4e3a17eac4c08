#pragma once
// Number text forms fixed once for the whole engine, independent of the host locale: integers in
// decimal, reals with up to 15 significant digits in general format with '.' (so 0.1 + 0.2 shows
// 0.3). Parsing accepts only decimal forms: never "inf", "nan", hex floats or a ',' separator.
#include "base/numbers.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ruko {

std::string IntToStr(int64_t value);

// General format, 15 significant digits; exponents written as "E20" / "E-5". Non-finite values
// print as "INF", "-INF" and "NAN" (they never parse back).
std::string FloatToStr(Extended value);

// Optional blanks, optional sign, decimal digits, optional trailing blanks; false on overflow.
bool TryStrToInt(std::string_view text, int32_t& value);
int32_t StrToIntDef(std::string_view text, int32_t fallback);

// Optional blanks and sign, digits with at most one '.', optional exponent "E[+-]digits";
// at least one digit in the significand. False for anything else and for overflow to infinity.
bool TryStrToFloat(std::string_view text, Extended& value);
Extended StrToFloatDef(std::string_view text, Extended fallback);

} // namespace ruko
