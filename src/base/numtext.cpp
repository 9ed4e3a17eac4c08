#include "base/numtext.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace ruko {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::string IntToStr(int64_t value)
{
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, end);
}

std::string FloatToStr(Extended value)
{
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";
    // to_chars is %.15Lg in the "C" locale whatever the process locale is.
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    // General format writes "1e+20" / "1e-05"; the engine's form is "1E20" / "1E-5".
    std::string text(buffer, ec == std::errc() ? end : buffer);
    size_t e = text.find('e');
    if (e == std::string::npos) return text;
    std::string mantissa = text.substr(0, e);
    size_t pos = e + 1;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    while (pos + 1 < text.size() && text[pos] == '0')
        ++pos;
    return mantissa + "E" + (negative ? "-" : "") + text.substr(pos);
}

bool TryStrToInt(std::string_view text, int32_t& value)
{
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Leading zeros never overflow; what remains must fit in ten digits.
    while (text.size() > 1 && text.front() == '0')
        text.remove_prefix(1);
    if (text.empty() || text.size() > 10) return false;
    int64_t magnitude = 0;
    for (char c : text) {
        if (!IsDigit(c)) return false;
        magnitude = magnitude * 10 + (c - '0');
    }
    int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX) return false;
    value = static_cast<int32_t>(signedValue);
    return true;
}

int32_t StrToIntDef(std::string_view text, int32_t fallback)
{
    int32_t value;
    return TryStrToInt(text, value) ? value : fallback;
}

bool TryStrToFloat(std::string_view text, Extended& value)
{
    text = TrimBlanks(text);
    std::string clean;
    size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        if (text[pos] == '-') clean += '-';
        ++pos;
    }
    size_t digits = 0;
    bool point = false;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (IsDigit(c)) {
            ++digits;
            clean += c;
        } else if (c == '.' && !point) {
            point = true;
            clean += c;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        clean += 'e';
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) clean += text[pos++];
        size_t exponentDigits = 0;
        for (; pos < text.size() && IsDigit(text[pos]); ++pos, ++exponentDigits)
            clean += text[pos];
        if (exponentDigits == 0) return false;
    }
    if (pos != text.size()) return false;
    Extended parsed = 0;
    auto [end, ec] = std::from_chars(clean.data(), clean.data() + clean.size(), parsed);
    if (ec == std::errc::result_out_of_range) {
        // Underflow gives 0; overflow is refused rather than turned into infinity.
        size_t e = clean.find('e');
        if (e != std::string::npos && clean.compare(e + 1, 1, "-") == 0) {
            value = 0;
            return true;
        }
        return false;
    }
    if (ec != std::errc() || end != clean.data() + clean.size() || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

Extended StrToFloatDef(std::string_view text, Extended fallback)
{
    Extended value;
    return TryStrToFloat(text, value) ? value : fallback;
}

} // namespace ruko
