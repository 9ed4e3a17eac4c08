// Mathematics, the random generator and the date-time functions. Date-times are reals counting
// days from 1899-12-30, the fraction being the time of day.
#include "base/error.h"
#include "base/numbers.h"
#include "base/text.h"
#include "engine/builtins_support.h"

#include <algorithm>
#include <cmath>

namespace ruko::builtins {

namespace {

// A result that is not a finite number (domain error, overflow) stops the expression rather
// than leaving a NaN or an infinity in a variable.
void SetReal(TFuncCall& call, Extended x)
{
    if (!std::isfinite(x))
        RaiseError(std::string(BuiltinFunctions[call.Row].Name) + Utf8ToCp932(":浮動小数点演算が不正です"));
    call.Result.Value->SetFloat(x);
}

Extended Real(const TFuncCall& call, size_t i)
{
    return call.Arg(i).GetFloat();
}

void IntBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetInt(TruncToInt32(Real(call, 0)));
}
void FloatBody(TFuncCall& call, TBuiltinServices&)
{
    SetReal(call, Real(call, 0));
}
void SinBody(TFuncCall& call, TBuiltinServices&)
{
    SetReal(call, std::sin(Real(call, 0)));
}
void CosBody(TFuncCall& call, TBuiltinServices&)
{
    SetReal(call, std::cos(Real(call, 0)));
}
void TanBody(TFuncCall& call, TBuiltinServices&)
{
    SetReal(call, std::tan(Real(call, 0)));
}
void ArcSinBody(TFuncCall& call, TBuiltinServices&)
{
    SetReal(call, std::asin(Real(call, 0)));
}
void ArcCosBody(TFuncCall& call, TBuiltinServices&)
{
    SetReal(call, std::acos(Real(call, 0)));
}
void ArcTanBody(TFuncCall& call, TBuiltinServices&)
{
    SetReal(call, std::atan(Real(call, 0)));
}
void ArcTan2Body(TFuncCall& call, TBuiltinServices&)
{
    SetReal(call, std::atan2(Real(call, 0), Real(call, 1)));
}
void HypotBody(TFuncCall& call, TBuiltinServices&)
{
    SetReal(call, std::hypot(Real(call, 0), Real(call, 1)));
}
void FabsBody(TFuncCall& call, TBuiltinServices&)
{
    SetReal(call, std::fabs(Real(call, 0)));
}

void AbsBody(TFuncCall& call, TBuiltinServices&)
{
    int32_t n = call.Arg(0).GetInt();
    // Script integers wrap: the absolute value of the smallest integer is itself.
    call.Result.Value->SetInt(n < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(n)) : n);
}

void MinBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetInt(std::min(call.Arg(0).GetInt(), call.Arg(1).GetInt()));
}
void MaxBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetInt(std::max(call.Arg(0).GetInt(), call.Arg(1).GetInt()));
}
void FminBody(TFuncCall& call, TBuiltinServices&)
{
    SetReal(call, std::min(Real(call, 0), Real(call, 1)));
}
void FmaxBody(TFuncCall& call, TBuiltinServices&)
{
    SetReal(call, std::max(Real(call, 0), Real(call, 1)));
}

void GetVarTypeBody(TFuncCall& call, TBuiltinServices&)
{
    if (TParamCollectionItem* item = VariableItem(call, 0)) {
        call.Result.Value->SetInt(
            dynamic_cast<const TParamVar*>(item->Value.get()) ? uint8_t{ptVar} : item->Value->GetVarType());
        return;
    }
    call.Result.Value->SetInt(call.Arg(0).GetVarType());
}

void RandomBody(TFuncCall& call, TBuiltinServices& services)
{
    call.Result.Value->SetInt(services.Random.Below(call.Arg(0).GetInt()));
}

// --- dates ---

constexpr int64_t DaysTo18991230 = 693594; // days from 0001-01-01 (day 1) to the date origin
constexpr int64_t MsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int32_t& year, int32_t& month, int32_t& day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int32_t>(yoe + era * 400 + (month <= 2));
}

const int64_t UnixToOrigin = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(int64_t y)
{
    return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

// A date-time split into a day number (1 = 0001-01-01) and milliseconds of the day; the time of
// a negative date-time is read from the absolute fraction.
struct TStamp
{
    int64_t Date = 0;
    int64_t Time = 0;
};

TStamp ToStamp(const TFuncCall& call, Extended value)
{
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6)
        RaiseError(std::string(BuiltinFunctions[call.Row].Name) + Utf8ToCp932(":日付が不正です"));
    TStamp stamp;
    Extended whole = std::trunc(value);
    stamp.Date = static_cast<int64_t>(whole) + DaysTo18991230;
    stamp.Time = std::min<int64_t>(static_cast<int64_t>(std::llround(std::fabs(value - whole) * MsPerDay)),
                                   MsPerDay - 1);
    return stamp;
}

struct TDateParts
{
    int32_t Year = 0, Month = 0, Day = 0, Week = 0, Hour = 0, Min = 0, Sec = 0;
};

TDateParts Decode(const TFuncCall& call, Extended value)
{
    TStamp stamp = ToStamp(call, value);
    TDateParts parts;
    if (stamp.Date > 0) {
        CivilFromDays(stamp.Date - DaysTo18991230 + UnixToOrigin, parts.Year, parts.Month, parts.Day);
        parts.Week = static_cast<int32_t>(stamp.Date % 7 + 1);
    }
    parts.Hour = static_cast<int32_t>(stamp.Time / 3600000);
    parts.Min = static_cast<int32_t>(stamp.Time / 60000 % 60);
    parts.Sec = static_cast<int32_t>(stamp.Time / 1000 % 60);
    return parts;
}

[[noreturn]] void RaiseEncode(const TFuncCall& call)
{
    RaiseError(std::string(BuiltinFunctions[call.Row].Name) + Utf8ToCp932(":引数が不正です"));
}

void EncodeDateBody(TFuncCall& call, TBuiltinServices&)
{
    int32_t y = call.Arg(0).GetInt(), m = call.Arg(1).GetInt(), d = call.Arg(2).GetInt();
    static constexpr int MonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > MonthDays[m - 1] + (m == 2 && IsLeapYear(y)))
        RaiseEncode(call);
    SetReal(call, static_cast<Extended>(DaysFromCivil(y, m, d) - UnixToOrigin));
}

void EncodeTimeBody(TFuncCall& call, TBuiltinServices&)
{
    int32_t h = call.Arg(0).GetInt(), m = call.Arg(1).GetInt(), s = call.Arg(2).GetInt();
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) RaiseEncode(call);
    SetReal(call, static_cast<Extended>(h * 3600 + m * 60 + s) / 86400);
}

void DecodeDateBody(TFuncCall& call, TBuiltinServices&)
{
    TDateParts parts = Decode(call, Real(call, 0));
    call.Arg(1).SetInt(parts.Year);
    call.Arg(2).SetInt(parts.Month);
    call.Arg(3).SetInt(parts.Day);
}

void DecodeTimeBody(TFuncCall& call, TBuiltinServices&)
{
    TDateParts parts = Decode(call, Real(call, 0));
    call.Arg(1).SetInt(parts.Hour);
    call.Arg(2).SetInt(parts.Min);
    call.Arg(3).SetInt(parts.Sec);
}

void GetYearBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetInt(Decode(call, Real(call, 0)).Year);
}
void GetMonthBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetInt(Decode(call, Real(call, 0)).Month);
}
void GetDayBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetInt(Decode(call, Real(call, 0)).Day);
}
void GetHourBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetInt(Decode(call, Real(call, 0)).Hour);
}
void GetMinBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetInt(Decode(call, Real(call, 0)).Min);
}
void GetSecBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetInt(Decode(call, Real(call, 0)).Sec);
}
void GetWeekBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetInt(Decode(call, Real(call, 0)).Week);
}

void GetWeekStrBody(TFuncCall& call, TBuiltinServices&)
{
    static const char* const Names[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                         "Thursday", "Friday", "Saturday"};
    int32_t week = Decode(call, Real(call, 0)).Week;
    call.Result.Value->SetStr(week >= 1 ? Names[week - 1] : "");
}

void GetWeekJStrBody(TFuncCall& call, TBuiltinServices&)
{
    static const char* const Names[7] = {"日", "月", "火", "水", "木", "金", "土"};
    int32_t week = Decode(call, Real(call, 0)).Week;
    call.Result.Value->SetStr(week >= 1 ? Utf8ToCp932(Names[week - 1]) : std::string());
}

} // namespace

void RegisterMathBuiltins(TRegistrar& r)
{
    r.Add("Int", IntBody);
    r.Add("Float", FloatBody);
    r.Add("Sin", SinBody);
    r.Add("Cos", CosBody);
    r.Add("Tan", TanBody);
    r.Add("ArcSin", ArcSinBody);
    r.Add("ArcCos", ArcCosBody);
    r.Add("ArcTan", ArcTanBody);
    r.Add("ArcTan2", ArcTan2Body);
    r.Add("Hypot", HypotBody);
    r.Add("Abs", AbsBody);
    r.Add("Fabs", FabsBody);
    r.Add("Min", MinBody);
    r.Add("Max", MaxBody);
    r.Add("Fmin", FminBody);
    r.Add("Fmax", FmaxBody);
    r.Add("GetVarType", GetVarTypeBody);
    r.Add("Random", RandomBody);
}

void RegisterDateBuiltins(TRegistrar& r)
{
    r.Add("EncodeDate", EncodeDateBody);
    r.Add("EncodeTime", EncodeTimeBody);
    r.Add("DecodeDate", DecodeDateBody);
    r.Add("DecodeTime", DecodeTimeBody);
    r.Add("GetYear", GetYearBody);
    r.Add("GetMonth", GetMonthBody);
    r.Add("GetDay", GetDayBody);
    r.Add("GetHour", GetHourBody);
    r.Add("GetMin", GetMinBody);
    r.Add("GetSec", GetSecBody);
    r.Add("GetWeek", GetWeekBody);
    r.Add("GetWeekStr", GetWeekStrBody);
    r.Add("GetWeekJStr", GetWeekJStrBody);
}

} // namespace ruko::builtins
