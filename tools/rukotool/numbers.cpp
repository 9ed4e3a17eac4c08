#include "command.h"

#include <charconv>

namespace ruko::tool {

std::optional<int64_t> ParseNumber(std::string_view text)
{
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    // Unsigned digits alone: a sign after the one taken above is refused, not read as the number's.
    uint64_t magnitude = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    const uint64_t limit = negative ? uint64_t{1} << 63 : uint64_t{INT64_MAX};
    if (magnitude > limit) return std::nullopt;
    return negative ? int64_t(0 - magnitude) : int64_t(magnitude);
}

} // namespace ruko::tool
