#include "base/text.h"

#include <cerrno>
#include <iconv.h>
#include <mutex>

namespace ruko {

size_t CharLength(std::string_view text, size_t pos)
{
    if (pos + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[pos]))) return 2;
    return 1;
}

std::vector<size_t> CharStarts(std::string_view text)
{
    std::vector<size_t> starts;
    for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos))
        starts.push_back(pos);
    return starts;
}

size_t CharCount(std::string_view text)
{
    size_t count = 0;
    for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos))
        ++count;
    return count;
}

namespace {

template <typename Fold> std::string FoldText(std::string_view text, Fold fold)
{
    std::string result(text);
    for (size_t pos = 0; pos < result.size();) {
        size_t length = CharLength(result, pos);
        if (length == 1) result[pos] = fold(result[pos]);
        pos += length;
    }
    return result;
}

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::string UpperCaseText(std::string_view text)
{
    return FoldText(text, UpperAscii);
}
std::string LowerCaseText(std::string_view text)
{
    return FoldText(text, LowerAscii);
}

int CompareText(std::string_view a, std::string_view b)
{
    // Trail bytes compare unfolded: walk both strings by their own character boundaries.
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        size_t la = CharLength(a, i), lb = CharLength(b, j);
        for (size_t k = 0; k < std::max(la, lb); ++k) {
            unsigned char ca = i + k < a.size() && k < la ? static_cast<unsigned char>(a[i + k]) : 0;
            unsigned char cb = j + k < b.size() && k < lb ? static_cast<unsigned char>(b[j + k]) : 0;
            if (la == 1) ca = static_cast<unsigned char>(UpperAscii(static_cast<char>(ca)));
            if (lb == 1) cb = static_cast<unsigned char>(UpperAscii(static_cast<char>(cb)));
            if (ca != cb) return ca < cb ? -1 : 1;
        }
        i += la;
        j += lb;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CompareText(a, b) == 0;
}

size_t FindChar(std::string_view text, char ch, size_t from)
{
    for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos))
        if (pos >= from && text[pos] == ch && CharLength(text, pos) == 1) return pos;
    return std::string_view::npos;
}

size_t FindLastChar(std::string_view text, char ch)
{
    size_t found = std::string_view::npos;
    for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos))
        if (text[pos] == ch && CharLength(text, pos) == 1) found = pos;
    return found;
}

std::vector<std::string> SplitText(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t length = CharLength(text, pos);
        if (length == 1 && text[pos] == separator) {
            parts.emplace_back(text.substr(start, pos - start));
            start = pos + 1;
        }
        pos += length;
    }
    parts.emplace_back(text.substr(start));
    return parts;
}

std::vector<std::string> SplitGamePath(std::string_view path)
{
    return SplitText(path, '\\');
}

std::string GameFileName(std::string_view path)
{
    size_t slash = FindLastChar(path, '\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string GameFolderOf(std::string_view path)
{
    size_t slash = FindLastChar(path, '\\');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string GameExtension(std::string_view path)
{
    std::string name = GameFileName(path);
    size_t dot = FindLastChar(name, '.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

bool EndsWithSeparator(std::string_view path)
{
    if (path.empty()) return false;
    size_t last = 0;
    for (size_t pos = 0; pos < path.size(); pos += CharLength(path, pos))
        last = pos;
    return path[last] == '\\' && CharLength(path, last) == 1;
}

namespace {

// iconv descriptors are not thread-safe; one lock guards both directions.
std::mutex ConversionLock;

bool Convert(const char* to, const char* from, std::string_view input, std::string& output,
             const std::string& replacement)
{
    std::lock_guard<std::mutex> guard(ConversionLock);
    static iconv_t toUtf8 = iconv_open("UTF-8", "CP932");
    static iconv_t toCp932 = iconv_open("CP932", "UTF-8");
    iconv_t cd = std::string_view(to) == "UTF-8" ? toUtf8 : toCp932;
    (void)from;
    output.clear();
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        output.assign(input);
        return false;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    bool exact = true;
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(buffer, static_cast<size_t>(out - buffer));
        if (result != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: replace one unconvertible character and go on.
        exact = false;
        output += replacement;
        size_t skip = 1;
        if (std::string_view(from) == "UTF-8") {
            unsigned char lead = static_cast<unsigned char>(*in);
            skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        } else if (IsLeadByte(static_cast<unsigned char>(*in)) && inLeft >= 2) {
            skip = 2;
        }
        skip = std::min(skip, inLeft);
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &out, &outLeft);
    output.append(buffer, static_cast<size_t>(out - buffer));
    return exact;
}

} // namespace

bool TryCp932ToUtf8(std::string_view cp932, std::string& utf8)
{
    return Convert("UTF-8", "CP932", cp932, utf8, "\xEF\xBF\xBD");
}

bool TryUtf8ToCp932(std::string_view utf8, std::string& cp932)
{
    return Convert("CP932", "UTF-8", utf8, cp932, "?");
}

std::string Cp932ToUtf8(std::string_view cp932)
{
    std::string result;
    TryCp932ToUtf8(cp932, result);
    return result;
}

std::string Utf8ToCp932(std::string_view utf8)
{
    std::string result;
    TryUtf8ToCp932(utf8, result);
    return result;
}

char32_t Cp932CodeToUnicode(uint16_t code)
{
    // Never destroyed, like every cache in static storage: an exit() from a library finds it whole.
    static const std::vector<char32_t>& table = *new std::vector<char32_t>([] {
        std::vector<char32_t> codes(65536, 0);
        std::lock_guard<std::mutex> guard(ConversionLock);
        iconv_t cd = iconv_open("UTF-32LE", "CP932");
        if (cd == reinterpret_cast<iconv_t>(-1)) return codes;
        auto convert = [&](const char* bytes, size_t length) -> char32_t {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            char* in = const_cast<char*>(bytes);
            unsigned char out[8];
            char* to = reinterpret_cast<char*>(out);
            size_t inLeft = length, outLeft = sizeof out;
            if (iconv(cd, &in, &inLeft, &to, &outLeft) == static_cast<size_t>(-1) || inLeft != 0 ||
                outLeft != sizeof out - 4)
                return 0;
            return char32_t(out[0] | out[1] << 8 | out[2] << 16 | uint32_t(out[3]) << 24);
        };
        for (unsigned lead = 0; lead < 256; ++lead) {
            if (!IsLeadByte(static_cast<unsigned char>(lead))) {
                const char single = static_cast<char>(lead);
                codes[lead] = lead == 0 ? 0 : convert(&single, 1);
                continue;
            }
            for (unsigned trail = 0x40; trail < 0x100; ++trail) {
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                codes[lead << 8 | trail] = convert(pair, 2);
            }
        }
        iconv_close(cd);
        return codes;
    }());
    return table[code];
}

std::string_view TrimText(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

} // namespace ruko
