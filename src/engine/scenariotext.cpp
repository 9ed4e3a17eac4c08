#include "engine/scenariotext.h"

#include "base/text.h"
#include "io/bigstream.h"
#include "params/rukoparser.h"

namespace ruko {

namespace {

// Walks text calling visit(pos, depth) for every single-byte character outside quotes.
template <typename Visit> void WalkTopLevel(std::string_view text, Visit visit)
{
    int depth = 0;
    bool quoted = false;
    for (size_t pos = 0; pos < text.size();) {
        const size_t len = CharLength(text, pos);
        if (len == 1) {
            const char c = text[pos];
            if (quoted) {
                if (c == '\\' && pos + 1 < text.size()) {
                    pos += 1 + CharLength(text, pos + 1);
                    continue;
                }
                if (c == '"') quoted = false;
            } else if (c == '"') {
                quoted = true;
            } else {
                if (c == ')' || c == ']' || c == '}') --depth;
                if (visit(pos, depth, c)) return;
                if (c == '(' || c == '[' || c == '{') ++depth;
            }
        }
        pos += len;
    }
}

} // namespace

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

size_t FindTopLevel(std::string_view text, char ch)
{
    size_t found = std::string_view::npos;
    WalkTopLevel(text, [&](size_t pos, int depth, char c) {
        if (depth == 0 && c == ch) {
            found = pos;
            return true;
        }
        return false;
    });
    return found;
}

size_t FindTopLevelText(std::string_view text, std::string_view what)
{
    size_t found = std::string_view::npos;
    WalkTopLevel(text, [&](size_t pos, int depth, char) {
        if (depth == 0 && text.substr(pos).starts_with(what)) {
            found = pos;
            return true;
        }
        return false;
    });
    return found;
}

size_t FindTopLevelWord(std::string_view text, std::string_view word)
{
    size_t found = std::string_view::npos;
    WalkTopLevel(text, [&](size_t pos, int depth, char) {
        if (depth != 0 || !text.substr(pos).starts_with(word)) return false;
        const bool startOk = pos == 0 || text[pos - 1] == ' ' || text[pos - 1] == '\t';
        const size_t end = pos + word.size();
        const bool endOk = end == text.size() || text[end] == ' ' || text[end] == '\t';
        if (startOk && endOk) {
            found = pos;
            return true;
        }
        return false;
    });
    return found;
}

size_t MatchClose(std::string_view text, size_t open)
{
    size_t found = std::string_view::npos;
    std::string_view tail = text.substr(open);
    WalkTopLevel(tail, [&](size_t pos, int depth, char c) {
        if (pos > 0 && depth == 0 && (c == ')' || c == ']' || c == '}')) {
            found = open + pos;
            return true;
        }
        return false;
    });
    return found;
}

std::vector<std::pair<std::string_view, size_t>> SplitTopLevel(std::string_view text, char separator)
{
    std::vector<std::pair<std::string_view, size_t>> pieces;
    size_t from = 0;
    WalkTopLevel(text, [&](size_t pos, int depth, char c) {
        if (depth == 0 && c == separator) {
            pieces.emplace_back(text.substr(from, pos - from), from);
            from = pos + 1;
        }
        return false;
    });
    pieces.emplace_back(text.substr(from), from);
    return pieces;
}

std::vector<std::string> SplitWords(std::string_view text)
{
    std::vector<std::string> words;
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        if (pos >= text.size()) break;
        size_t end = pos;
        if (text[pos] == '"') {
            // A quoted word runs to its closing quote.
            end = pos + 1;
            while (end < text.size() && text[end] != '"') {
                end += text[end] == '\\' && end + 1 < text.size() ? 2 : CharLength(text, end);
            }
            end = std::min(end + 1, text.size());
        } else {
            while (end < text.size() && text[end] != ' ' && text[end] != '\t')
                end += CharLength(text, end);
        }
        words.emplace_back(text.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

std::optional<uint32_t> ParseUnsigned(std::string_view text)
{
    text = Trim(text);
    if (text.empty() || text.size() > 10) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::optional<int32_t> ParseInt(std::string_view text)
{
    text = Trim(text);
    if (text.empty()) return std::nullopt;
    bool negative = text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty() || text.size() > 10) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    value = negative ? -value : value;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

namespace {
const char* const TypeWords[] = {"ref", "int", "real", "flag", "string"};
const char* const PlacementWords[] = {"global", "call", "local", "persistent"};

int WordCode(std::string_view word, const char* const* words, int count)
{
    for (int i = 0; i < count; ++i)
        if (word == words[i]) return i;
    if (word.starts_with("#"))
        if (std::optional<int32_t> n = ParseInt(word.substr(1)); n && *n >= 0 && *n <= 255) return *n;
    return -1;
}
} // namespace

int TypeCodeOf(std::string_view word)
{
    int code = WordCode(word, TypeWords, 5);
    return code == 0 && word == "ref" ? -1 : code;
}

std::string TypeWord(int code)
{
    return code >= 1 && code <= 4 ? TypeWords[code] : "#" + std::to_string(code);
}

int PlacementOf(std::string_view word)
{
    return WordCode(word, PlacementWords, 4);
}

std::string PlacementWord(int code)
{
    return code >= 0 && code <= 3 ? PlacementWords[code] : "#" + std::to_string(code);
}

bool Unquote(std::string_view quoted, std::string& value)
{
    value.clear();
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return false;
    std::string_view body = quoted.substr(1, quoted.size() - 2);
    for (size_t pos = 0; pos < body.size();) {
        const size_t len = CharLength(body, pos);
        if (len == 2) {
            value.append(body.substr(pos, 2));
            pos += 2;
            continue;
        }
        char c = body[pos];
        if (c == '"') return false;
        if (c != '\\') {
            value += c;
            ++pos;
            continue;
        }
        if (pos + 1 >= body.size()) return false;
        char e = body[pos + 1];
        pos += 2;
        switch (e) {
        case '"':
            value += '"';
            break;
        case '\\':
            value += '\\';
            break;
        case 'n':
            value += '\n';
            break;
        case 'r':
            value += '\r';
            break;
        case 't':
            value += '\t';
            break;
        case 'x': {
            std::vector<uint8_t> byte;
            if (pos + 2 > body.size() || !DecodeHex(body.substr(pos, 2), byte)) return false;
            value += static_cast<char>(byte[0]);
            pos += 2;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

std::string Quote(std::string_view value)
{
    std::string out = "\"";
    for (size_t pos = 0; pos < value.size();) {
        const size_t len = CharLength(value, pos);
        if (len == 2) {
            out.append(value.substr(pos, 2));
            pos += 2;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(value[pos++]);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F || c >= 0x80) {
                // Bytes that are no character of their own (a lone lead byte, 0x80, 0xA0, 0xFD..).
                static const char digits[] = "0123456789abcdef";
                if (c >= 0xA1 && c <= 0xDF) { // half-width katakana are characters
                    out += static_cast<char>(c);
                    break;
                }
                out += "\\x";
                out += digits[c >> 4];
                out += digits[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string EncodeHex(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

bool DecodeHex(std::string_view hex, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    if (hex.size() % 2) return false;
    auto nibble = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return true;
}

std::vector<uint8_t> EmptyProgram()
{
    return {0, 0, 0, 0};
}

bool DecodeRawProgram(std::string_view text, std::vector<uint8_t>& bytes)
{
    if (text.size() < 3 || text.substr(0, 2) != "{#" || text.back() != '}') return false;
    if (!DecodeHex(text.substr(2, text.size() - 3), bytes)) return false;
    try {
        TKwBigMemoryStream s(bytes);
        TRukoParser program;
        program.LoadFromStream(s);
        return s.Remaining() == 0;
    } catch (...) {
        return false;
    }
}

} // namespace ruko
