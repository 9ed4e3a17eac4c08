// String functions. Positions of the plain forms are 1-based bytes; the J-forms count a
// double-byte character as one position.
#include "base/error.h"
#include "base/numtext.h"
#include "base/text.h"
#include "engine/builtins_support.h"

#include <algorithm>
#include <cstdio>

namespace ruko::builtins {

namespace {

constexpr int MaxDigits = 4096;

// Delphi's Copy: a start below 1 is 1, a count running past the end is cut.
std::string CopyRange(const std::string& text, int64_t start, int64_t count)
{
    start = std::max<int64_t>(start, 1);
    const auto size = static_cast<int64_t>(text.size());
    if (start > size || count <= 0) return std::string();
    count = std::min(count, size - start + 1);
    return text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count));
}

// Character positions turned into byte positions: character k (1-based) starts at byte
// ByteOf(k); positions past the end map past the end.
struct TCharIndex
{
    explicit TCharIndex(const std::string& text) : starts(CharStarts(text)), size(text.size()) {}
    int64_t Count() const { return static_cast<int64_t>(starts.size()); }
    // 1-based byte position of character k (1-based), clamped to 1 .. size + 1.
    int64_t ByteOf(int64_t k) const
    {
        if (k < 1) return 1;
        if (k > Count()) return static_cast<int64_t>(size) + 1 + (k - Count() - 1);
        return static_cast<int64_t>(starts[static_cast<size_t>(k - 1)]) + 1;
    }
    // Bytes covered by `count` characters from character k.
    int64_t BytesOf(int64_t k, int64_t count) const
    {
        if (count <= 0) return 0;
        k = std::max<int64_t>(k, 1);
        int64_t end = k + count > Count() ? static_cast<int64_t>(size) + 1 : ByteOf(k + count);
        return end - ByteOf(k);
    }
    std::vector<size_t> starts;
    size_t size;
};

void IntToStrBody(TFuncCall& call, TBuiltinServices&)
{
    int32_t n = call.Arg(0).GetInt();
    int digits = std::clamp(IntArg(call, 1, 0), 0, MaxDigits);
    std::string text = IntToStr(n);
    std::string sign;
    if (n < 0) {
        sign = "-";
        text.erase(0, 1);
    }
    if (text.size() < static_cast<size_t>(digits))
        text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
    call.Result.Value->SetStr(sign + text);
}

void IntToHexBody(TFuncCall& call, TBuiltinServices&)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%X", static_cast<uint32_t>(call.Arg(0).GetInt()));
    std::string text = buffer;
    int digits = std::clamp(call.Arg(1).GetInt(), 0, MaxDigits);
    if (text.size() < static_cast<size_t>(digits))
        text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
    call.Result.Value->SetStr(text);
}

void LengthBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetInt(static_cast<int32_t>(call.Arg(0).GetStr().size()));
}

void JLengthBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetInt(static_cast<int32_t>(CharCount(call.Arg(0).GetStr())));
}

void CopyBody(TFuncCall& call, TBuiltinServices&)
{
    std::string text = call.Arg(0).GetStr();
    int64_t count = OptionalArg(call, 2) ? call.Arg(2).GetInt() : INT64_MAX / 2;
    call.Result.Value->SetStr(CopyRange(text, call.Arg(1).GetInt(), count));
}

void JCopyBody(TFuncCall& call, TBuiltinServices&)
{
    std::string text = call.Arg(0).GetStr();
    TCharIndex index(text);
    int64_t start = std::max<int64_t>(call.Arg(1).GetInt(), 1);
    int64_t count = OptionalArg(call, 2) ? call.Arg(2).GetInt() : index.Count();
    call.Result.Value->SetStr(CopyRange(text, index.ByteOf(start), index.BytesOf(start, count)));
}

// Delete(var s, index, count): nothing when index is outside the text or count < 1.
std::string DeleteRange(const std::string& text, int64_t start, int64_t count)
{
    const auto size = static_cast<int64_t>(text.size());
    if (start < 1 || start > size || count <= 0) return text;
    count = std::min(count, size - start + 1);
    std::string result = text;
    result.erase(static_cast<size_t>(start - 1), static_cast<size_t>(count));
    return result;
}

void DeleteBody(TFuncCall& call, TBuiltinServices&)
{
    std::string text = call.Arg(0).GetStr();
    int64_t count = OptionalArg(call, 2) ? call.Arg(2).GetInt() : INT64_MAX / 2;
    std::string result = DeleteRange(text, call.Arg(1).GetInt(), count);
    call.Arg(0).SetStr(result);
    call.Result.Value->SetStr(result);
}

void JDeleteBody(TFuncCall& call, TBuiltinServices&)
{
    std::string text = call.Arg(0).GetStr();
    TCharIndex index(text);
    int64_t start = call.Arg(1).GetInt();
    int64_t count = OptionalArg(call, 2) ? call.Arg(2).GetInt() : index.Count();
    std::string result =
        start < 1 ? text : DeleteRange(text, index.ByteOf(start), index.BytesOf(start, count));
    call.Arg(0).SetStr(result);
    call.Result.Value->SetStr(result);
}

// Insert(source, var s, index): an index below 1 inserts at the start, past the end appends.
std::string InsertAt(const std::string& source, const std::string& text, int64_t position)
{
    position = std::clamp<int64_t>(position, 1, static_cast<int64_t>(text.size()) + 1);
    std::string result = text;
    result.insert(static_cast<size_t>(position - 1), source);
    return result;
}

void InsertBody(TFuncCall& call, TBuiltinServices&)
{
    std::string result = InsertAt(call.Arg(0).GetStr(), call.Arg(1).GetStr(), call.Arg(2).GetInt());
    call.Arg(1).SetStr(result);
    call.Result.Value->SetStr(result);
}

void JInsertBody(TFuncCall& call, TBuiltinServices&)
{
    std::string text = call.Arg(1).GetStr();
    std::string result = InsertAt(call.Arg(0).GetStr(), text, TCharIndex(text).ByteOf(call.Arg(2).GetInt()));
    call.Arg(1).SetStr(result);
    call.Result.Value->SetStr(result);
}

void CompareStrBody(TFuncCall& call, TBuiltinServices&)
{
    std::string a = call.Arg(0).GetStr(), b = call.Arg(1).GetStr();
    int result = 0;
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common && result == 0; ++i)
        result = static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]);
    if (result == 0) result = a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    call.Result.Value->SetInt(result);
}

void CompareTextBody(TFuncCall& call, TBuiltinServices&)
{
    int result = CompareText(call.Arg(0).GetStr(), call.Arg(1).GetStr());
    call.Result.Value->SetInt(result < 0 ? -1 : result > 0 ? 1 : 0);
}

void PosBody(TFuncCall& call, TBuiltinServices&)
{
    std::string needle = call.Arg(0).GetStr(), text = call.Arg(1).GetStr();
    size_t at = needle.empty() ? std::string::npos : text.find(needle);
    call.Result.Value->SetInt(at == std::string::npos ? 0 : static_cast<int32_t>(at + 1));
}

// Character index (0-based) of the first match at or after byte `fromByte` (a character start)
// that starts on a character boundary; -1 if none. `byteAt` receives its byte offset.
int64_t FindCharAligned(const std::string& haystack, const std::string& needle, size_t fromByte = 0,
                        size_t* byteAt = nullptr)
{
    if (needle.empty()) return -1;
    int64_t k = 0;
    for (size_t pos = fromByte; pos < haystack.size(); pos += CharLength(haystack, pos), ++k) {
        if (haystack.compare(pos, needle.size(), needle) == 0) {
            if (byteAt) *byteAt = pos;
            return k;
        }
    }
    return -1;
}

void JPosBody(TFuncCall& call, TBuiltinServices&)
{
    int64_t k = FindCharAligned(call.Arg(1).GetStr(), call.Arg(0).GetStr());
    call.Result.Value->SetInt(static_cast<int32_t>(k + 1));
}

void TrimBody(TFuncCall& call, TBuiltinServices&)
{
    const std::string text = call.Arg(0).GetStr();
    call.Result.Value->SetStr(std::string(TrimText(text)));
}

bool IsJBlank(const std::string& text, size_t pos, size_t length)
{
    return (length == 1 && text[pos] == ' ') ||
           (length == 2 && static_cast<unsigned char>(text[pos]) == 0x81 &&
            static_cast<unsigned char>(text[pos + 1]) == 0x40);
}

void JTrimBody(TFuncCall& call, TBuiltinServices&)
{
    std::string text = call.Arg(0).GetStr();
    std::vector<size_t> starts = CharStarts(text);
    size_t first = 0, last = starts.size();
    auto length = [&](size_t k) { return (k + 1 < starts.size() ? starts[k + 1] : text.size()) - starts[k]; };
    while (first < last && IsJBlank(text, starts[first], length(first)))
        ++first;
    while (last > first && IsJBlank(text, starts[last - 1], length(last - 1)))
        --last;
    size_t from = first < starts.size() ? starts[first] : text.size();
    size_t to = last < starts.size() ? starts[last] : text.size();
    call.Result.Value->SetStr(text.substr(from, to - from));
}

void NotBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetFlag(!call.Arg(0).GetFlag());
}

void FixStrBody(TFuncCall& call, TBuiltinServices&)
{
    std::string text = call.Arg(0).GetStr();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t length = CharLength(text, pos);
        if (length == 1 && IsLeadByte(static_cast<unsigned char>(text[pos]))) {
            text.erase(pos); // a lead byte with nothing after it
            break;
        }
        pos += length;
    }
    call.Result.Value->SetStr(text);
}

void LowerCaseBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetStr(LowerCaseText(call.Arg(0).GetStr()));
}
void UpperCaseBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetStr(UpperCaseText(call.Arg(0).GetStr()));
}

// Byte offset just after the last '\' or ':' that is a character of its own; 0 when none.
size_t NameStart(const std::string& path)
{
    size_t start = 0;
    for (size_t pos = 0; pos < path.size(); pos += CharLength(path, pos))
        if (path[pos] == '\\' || path[pos] == ':') start = pos + 1;
    return start;
}

// Byte offset of the extension's dot, npos when the file name has none.
size_t ExtensionStart(const std::string& path)
{
    size_t dot = std::string::npos;
    for (size_t pos = NameStart(path); pos < path.size(); pos += CharLength(path, pos))
        if (path[pos] == '.') dot = pos;
    return dot;
}

void ExtractFilePathBody(TFuncCall& call, TBuiltinServices&)
{
    std::string path = call.Arg(0).GetStr();
    call.Result.Value->SetStr(path.substr(0, NameStart(path)));
}

void ExtractFileNameBody(TFuncCall& call, TBuiltinServices&)
{
    std::string path = call.Arg(0).GetStr();
    call.Result.Value->SetStr(path.substr(NameStart(path)));
}

void ExtractFileExtBody(TFuncCall& call, TBuiltinServices&)
{
    std::string path = call.Arg(0).GetStr();
    size_t dot = ExtensionStart(path);
    call.Result.Value->SetStr(dot == std::string::npos ? std::string() : path.substr(dot));
}

void ChangeFileExtBody(TFuncCall& call, TBuiltinServices&)
{
    std::string path = call.Arg(0).GetStr();
    size_t dot = ExtensionStart(path);
    call.Result.Value->SetStr(path.substr(0, dot) + call.Arg(1).GetStr());
}

// Byte `index` (1-based) is a single-byte character (neither a lead nor a trail byte).
bool IsSingleByteAt(const std::string& text, int32_t index)
{
    if (index < 1 || static_cast<size_t>(index) > text.size()) return false;
    size_t wanted = static_cast<size_t>(index - 1);
    for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos))
        if (pos == wanted)
            return CharLength(text, pos) == 1 && !IsLeadByte(static_cast<unsigned char>(text[pos]));
    return false;
}

void IsPathDelimiterBody(TFuncCall& call, TBuiltinServices&)
{
    std::string text = call.Arg(0).GetStr();
    int32_t index = call.Arg(1).GetInt();
    call.Result.Value->SetFlag(IsSingleByteAt(text, index) && text[static_cast<size_t>(index - 1)] == '\\');
}

void IsDelimiterBody(TFuncCall& call, TBuiltinServices&)
{
    std::string delimiters = call.Arg(0).GetStr(), text = call.Arg(1).GetStr();
    int32_t index = call.Arg(2).GetInt();
    call.Result.Value->SetFlag(IsSingleByteAt(text, index) &&
                               delimiters.find(text[static_cast<size_t>(index - 1)]) != std::string::npos);
}

void AddBackSlashBody(TFuncCall& call, TBuiltinServices&)
{
    std::string path = call.Arg(0).GetStr();
    // A trailing 0x5C may be the second byte of a double-byte character.
    if (!EndsWithSeparator(path)) path += '\\';
    call.Result.Value->SetStr(path);
}

void StringOfCharBody(TFuncCall& call, TBuiltinServices&)
{
    std::string piece = call.Arg(0).GetStr();
    int32_t times = call.Arg(1).GetInt();
    std::string result;
    if (times > 0 && !piece.empty()) {
        if (piece.size() * static_cast<size_t>(times) > MaxBuiltinText) RaiseTooLarge(call);
        result.reserve(piece.size() * static_cast<size_t>(times));
        for (int32_t i = 0; i < times; ++i)
            result += piece;
    }
    call.Result.Value->SetStr(result);
}

void StringReplaceBody(TFuncCall& call, TBuiltinServices&)
{
    std::string text = call.Arg(0).GetStr(), from = call.Arg(1).GetStr(), to = call.Arg(2).GetStr();
    bool all = FlagArg(call, 3), ignoreCase = FlagArg(call, 4);
    if (from.empty()) {
        call.Result.Value->SetStr(text);
        return;
    }
    // Case folding keeps every byte where it is, so positions found in the folded text hold.
    const std::string haystack = ignoreCase ? UpperCaseText(text) : text;
    const std::string needle = ignoreCase ? UpperCaseText(from) : from;
    std::string result;
    size_t done = 0, at = 0;
    while (FindCharAligned(haystack, needle, done, &at) >= 0) {
        result.append(text, done, at - done);
        result += to;
        done = at + from.size();
        if (result.size() > MaxBuiltinText) RaiseTooLarge(call);
        if (!all) break;
    }
    result.append(text, done, std::string::npos);
    call.Result.Value->SetStr(result);
}

void AddDelimiterBody(TFuncCall& call, TBuiltinServices&)
{
    std::string text = call.Arg(1).GetStr();
    call.Result.Value->SetStr(text.empty() ? std::string() : text + call.Arg(0).GetStr());
}

void StrToIntDefBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetInt(StrToIntDef(call.Arg(0).GetStr(), call.Arg(1).GetInt()));
}

void StrToFloatDefBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetFloat(StrToFloatDef(call.Arg(0).GetStr(), call.Arg(1).GetFloat()));
}

void ChrBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetStr(std::string(1, static_cast<char>(call.Arg(0).GetInt() & 0xFF)));
}

void OrdBody(TFuncCall& call, TBuiltinServices&)
{
    std::string text = call.Arg(0).GetStr();
    call.Result.Value->SetInt(text.empty() ? 0 : static_cast<unsigned char>(text[0]));
}

} // namespace

void RegisterStringBuiltins(TRegistrar& r)
{
    r.Add("IntToStr", IntToStrBody);
    r.Add("IntToHex", IntToHexBody);
    r.Add("Length", LengthBody);
    r.Add("JLength", JLengthBody);
    r.Add("Copy", CopyBody);
    r.Add("JCopy", JCopyBody);
    r.Add("Delete", DeleteBody);
    r.Add("JDelete", JDeleteBody);
    r.Add("Insert", InsertBody);
    r.Add("JInsert", JInsertBody);
    r.Add("CompareStr", CompareStrBody);
    r.Add("CompareText", CompareTextBody);
    r.Add("Pos", PosBody);
    r.Add("JPos", JPosBody);
    r.Add("Trim", TrimBody);
    r.Add("JTrim", JTrimBody);
    r.Add("Not", NotBody);
    r.Add("FixStr", FixStrBody);
    r.Add("LowerCase", LowerCaseBody);
    r.Add("UpperCase", UpperCaseBody);
    r.Add("ExtractFilePath", ExtractFilePathBody);
    r.Add("ExtractFileName", ExtractFileNameBody);
    r.Add("ExtractFileExt", ExtractFileExtBody);
    r.Add("ChangeFileExt", ChangeFileExtBody);
    r.Add("IsPathDelimiter", IsPathDelimiterBody);
    r.Add("IsDelimiter", IsDelimiterBody);
    r.Add("AddBackSlash", AddBackSlashBody);
    r.Add("StringOfChar", StringOfCharBody);
    r.Add("StringReplace", StringReplaceBody);
    r.Add("AddDelimiter", AddDelimiterBody);
    r.Add("StrToIntDef", StrToIntDefBody);
    r.Add("StrToFloatDef", StrToFloatDefBody);
    r.Add("Chr", ChrBody);
    r.Add("Ord", OrdBody);
}

} // namespace ruko::builtins
