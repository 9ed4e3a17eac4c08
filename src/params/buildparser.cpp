#include "params/buildparser.h"

#include "base/error.h"
#include "base/numtext.h"
#include "base/text.h"
#include "io/fields.h"
#include "params/functable.h"
#include "params/param.h"
#include "params/rukoparser.h"

#include <algorithm>

namespace ruko {

namespace {

// The compiler works on characters: a single byte is its own value and a double-byte character is
// lead << 8 | trail (>= 0x8100), so trail bytes such as '\\', '[' and '|' can never be taken for
// the ASCII characters they share a value with.
using Text = std::u16string;

Text ToText(std::string_view bytes)
{
    Text text;
    text.reserve(bytes.size());
    for (size_t pos = 0; pos < bytes.size();) {
        size_t length = CharLength(bytes, pos);
        auto lead = static_cast<unsigned char>(bytes[pos]);
        if (length == 2)
            text += static_cast<char16_t>(lead << 8 | static_cast<unsigned char>(bytes[pos + 1]));
        else
            text += static_cast<char16_t>(lead);
        pos += length;
    }
    return text;
}

std::string ToBytes(const Text& text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (char16_t c : text) {
        if (c > 0xFF) bytes += static_cast<char>(c >> 8);
        bytes += static_cast<char>(c & 0xFF);
    }
    return bytes;
}

Text Ascii(const std::string& s)
{
    return Text(s.begin(), s.end());
}

bool IsBlank(char16_t c)
{
    return c <= ' ';
}
bool IsIdentChar(char16_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
bool IsIn(char16_t c, const char* set)
{
    for (; *set; ++set)
        if (c == static_cast<unsigned char>(*set)) return true;
    return false;
}
// Characters that end a name or mark a piece of text as needing compilation.
const char* const BreakChars = "+-*/%|&^=[](),<>";
// Characters that make the flat-text tokens.
const char* const OperatorChars = "%&*+-/<=>^|";

Text Trim(const Text& text)
{
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

[[noreturn]] void SyntaxError()
{
    RaiseError(Utf8ToCp932("構文エラー"));
}

// Nesting of sub-expressions compiled for arguments, subscripts and parentheses.
constexpr int MaxParseDepth = 64;

// Index of the bracket closing the one at `open`, or npos.
size_t MatchClose(const Text& text, size_t open, char16_t opening, char16_t closing)
{
    int depth = 0;
    for (size_t i = open; i < text.size(); ++i) {
        if (text[i] == opening)
            ++depth;
        else if (text[i] == closing && --depth == 0)
            return i;
    }
    return Text::npos;
}

// While the text begins with "(" and ends with a ")" that closes it, drop the pair.
Text StripOuterParens(Text text)
{
    while (text.size() >= 2 && text.front() == '(' && text.back() == ')') {
        int depth = 1;
        for (size_t i = 1; i + 1 < text.size(); ++i) {
            if (text[i] == '(')
                ++depth;
            else if (text[i] == ')' && --depth == 0)
                return text;
        }
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

struct TToken
{
    Text Chars;
    bool IsOperator;
};

struct TOperatorInfo
{
    const char* Symbol;
    uint8_t Op;
};

// Precedence levels, highest first; one level groups left to right.
const std::vector<std::vector<TOperatorInfo>> Levels = {
    {{"*", ocMul}, {"/", ocDiv}, {"%", ocMod}},
    {{"+", ocPlus}, {"-", ocMinus}},
    {{"<<", ocShiftL}, {">>", ocShiftR}},
    {{"==", ocEqual}, {">=", ocEBig}, {"<=", ocESmall}, {">", ocBig}, {"<", ocSmall}, {"<>", ocNEqual}},
    {{"++", ocComboStr}},
    {{"&", ocAnd}},
    {{"^", ocXor}},
    {{"|", ocOr}},
    {{"=", ocTo}},
};

class TCompiler
{
  public:
    explicit TCompiler(TBuildRukoParser& builder) : builder_(builder) {}

    void ParseInto(const Text& source, int depth);

  private:
    void Emit(uint8_t op, const Text& target, std::vector<Text> operands)
    {
        TBuildOpeData step;
        step.Op = op;
        step.Target = ToBytes(target);
        for (const Text& operand : operands)
            step.Operands.push_back(ToBytes(operand));
        builder_.Steps.push_back(std::move(step));
    }
    Text NewTemp() { return Ascii(builder_.NewTempName()); }
    // A call argument or subscript: plain text stays an operand, anything with operators is
    // compiled into a temporary first.
    Text Argument(const Text& raw, int depth);
    Text Strings(Text text);
    Text Calls(Text text, int depth);
    Text Elements(Text text, int depth);
    Text Groups(Text text, int depth);
    void Operators(const Text& text);

    TBuildRukoParser& builder_;
};

Text TCompiler::Argument(const Text& raw, int depth)
{
    Text argument = StripOuterParens(Trim(raw));
    bool compound =
        std::any_of(argument.begin(), argument.end(), [](char16_t c) { return IsIn(c, BreakChars); });
    if (!compound) return argument;
    Text temp = NewTemp();
    ParseInto(temp + u" = " + argument, depth + 1);
    return temp;
}

Text TCompiler::Strings(Text text)
{
    for (;;) {
        size_t open = text.find(u'"');
        if (open == Text::npos) return text;
        Text content;
        size_t i = open + 1;
        bool closed = false;
        while (i < text.size()) {
            char16_t c = text[i];
            if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
                content += text[i + 1];
                i += 2;
            } else if (c == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
                content += u"\r\n";
                i += 2;
            } else if (c == '"') {
                closed = true;
                break;
            } else {
                content += c;
                ++i;
            }
        }
        if (!closed) return text; // an unterminated literal stays in the text
        Text temp = NewTemp();
        Emit(ocTo, temp, {u"\"" + content + u"\""});
        text = text.substr(0, open) + temp + text.substr(i + 1);
    }
}

Text TCompiler::Calls(Text text, int depth)
{
    for (;;) {
        size_t open = Text::npos, nameEnd = 0;
        for (size_t p = text.size(); p-- > 0;) {
            if (text[p] != '(') continue;
            size_t q = p;
            while (q > 0 && IsBlank(text[q - 1]))
                --q;
            if (q > 0 && IsIdentChar(text[q - 1])) {
                open = p;
                nameEnd = q;
                break;
            }
        }
        if (open == Text::npos) return text;
        size_t nameStart = nameEnd;
        while (nameStart > 0 && IsIdentChar(text[nameStart - 1]))
            --nameStart;
        size_t close = MatchClose(text, open, '(', ')');
        if (close == Text::npos) SyntaxError();

        // Split at the commas outside square brackets.
        Text inner = text.substr(open + 1, close - open - 1);
        std::vector<Text> arguments;
        if (!Trim(inner).empty()) {
            int brackets = 0;
            Text current;
            for (char16_t c : inner) {
                if (c == '[') {
                    ++brackets;
                } else if (c == ']') {
                    if (--brackets < 0) SyntaxError();
                } else if (c == ',' && brackets == 0) {
                    arguments.push_back(current);
                    current.clear();
                    continue;
                }
                current += c;
            }
            if (brackets != 0) SyntaxError();
            arguments.push_back(current);
        }

        Text target = NewTemp();
        std::vector<Text> operands{text.substr(nameStart, nameEnd - nameStart)};
        for (const Text& argument : arguments)
            operands.push_back(Argument(argument, depth));
        Emit(ocFunc, target, std::move(operands));
        text = text.substr(0, nameStart) + target + text.substr(close + 1);
    }
}

Text TCompiler::Elements(Text text, int depth)
{
    for (;;) {
        size_t open = text.rfind(u'[');
        if (open == Text::npos) {
            if (text.find(u']') != Text::npos) SyntaxError();
            return text;
        }
        size_t close = MatchClose(text, open, '[', ']');
        if (close == Text::npos) SyntaxError();
        size_t nameEnd = open;
        while (nameEnd > 0 && IsBlank(text[nameEnd - 1]))
            --nameEnd;
        if (nameEnd > 0 && IsIn(text[nameEnd - 1], BreakChars)) SyntaxError();
        size_t nameStart = nameEnd;
        while (nameStart > 0 && !IsBlank(text[nameStart - 1]) && !IsIn(text[nameStart - 1], BreakChars))
            --nameStart;
        if (nameStart == nameEnd) SyntaxError();

        Text inner = text.substr(open + 1, close - open - 1);
        std::vector<Text> subscripts;
        for (size_t start = 0;;) {
            size_t comma = inner.find(u',', start);
            subscripts.push_back(Trim(inner.substr(start, comma == Text::npos ? Text::npos : comma - start)));
            if (comma == Text::npos) break;
            start = comma + 1;
        }
        // An empty subscript could only fail when run.
        for (const Text& subscript : subscripts)
            if (subscript.empty()) RaiseError(Utf8ToCp932("配列の添え字が不正です"));

        Text target = Ascii(builder_.NewElementName());
        std::vector<Text> operands{text.substr(nameStart, nameEnd - nameStart)};
        for (const Text& subscript : subscripts)
            operands.push_back(Argument(subscript, depth));
        Emit(ocDimTo, target, std::move(operands));
        text = text.substr(0, nameStart) + target + text.substr(close + 1);
    }
}

Text TCompiler::Groups(Text text, int depth)
{
    for (;;) {
        size_t open = Text::npos;
        for (size_t p = text.size(); p-- > 0;) {
            if (text[p] == '(') {
                if (p > 0 && IsIdentChar(text[p - 1]))
                    SyntaxError(); // a call made of a computed name, e.g. a[1](2)
                open = p;
                break;
            }
        }
        if (open == Text::npos) {
            if (text.find(u')') != Text::npos) SyntaxError();
            return text;
        }
        size_t close = MatchClose(text, open, '(', ')');
        if (close == Text::npos) SyntaxError();
        Text inner = text.substr(open + 1, close - open - 1);
        Text temp = NewTemp();
        text = text.substr(0, open) + temp + text.substr(close + 1);
        ParseInto(temp + u" = " + inner, depth + 1);
    }
}

void TCompiler::Operators(const Text& text)
{
    static const char16_t* const Pairs[] = {u"==", u">=", u"<=", u"++", u"<>", u"<<", u">>"};
    std::vector<TToken> tokens;
    size_t start = 0;
    for (size_t i = 0; i < text.size();) {
        if (!IsIn(text[i], OperatorChars)) {
            ++i;
            continue;
        }
        Text operand = Trim(text.substr(start, i - start));
        if (!operand.empty()) tokens.push_back({operand, false});
        size_t length = 1;
        if (i + 1 < text.size()) {
            Text two = text.substr(i, 2);
            for (const char16_t* pair : Pairs)
                if (two == pair) length = 2;
        }
        tokens.push_back({text.substr(i, length), true});
        i += length;
        start = i;
    }
    Text last = Trim(text.substr(start));
    if (!last.empty()) tokens.push_back({last, false});

    if (tokens.empty()) {
        Emit(ocTo, u"____arg", {text});
        return;
    }

    // Unary signs: a "+" or "-" right after another operator.
    for (size_t i = tokens.size() >= 2 ? tokens.size() - 2 : 0; i >= 1 && i < tokens.size(); --i) {
        const TToken& sign = tokens[i];
        if (!sign.IsOperator || (sign.Chars != u"+" && sign.Chars != u"-")) continue;
        if (tokens[i - 1].Chars.empty() || !IsIn(tokens[i - 1].Chars[0], "=+-*/%&^|[(,<>")) continue;
        if (tokens[i + 1].IsOperator) SyntaxError();
        if (sign.Chars == u"+") {
            tokens.erase(tokens.begin() + static_cast<ptrdiff_t>(i));
        } else {
            Text temp = NewTemp();
            Emit(ocMinus, temp, {u"0", tokens[i + 1].Chars});
            tokens[i] = {temp, false};
            tokens.erase(tokens.begin() + static_cast<ptrdiff_t>(i + 1));
        }
    }

    bool assigned = false;
    while (!tokens.empty()) {
        size_t at = 0;
        const TOperatorInfo* found = nullptr;
        for (const auto& level : Levels) {
            for (size_t j = 0; j < tokens.size() && !found; ++j) {
                if (!tokens[j].IsOperator) continue;
                for (const TOperatorInfo& info : level)
                    if (tokens[j].Chars == Ascii(info.Symbol)) {
                        found = &info;
                        at = j;
                        break;
                    }
            }
            if (found) break;
        }
        if (!found) {
            if (assigned || tokens.size() > 1 || tokens[0].IsOperator) SyntaxError();
            Emit(ocTo, u"____arg", {tokens[0].Chars});
            tokens.clear();
            break;
        }
        bool hasNext = at + 1 < tokens.size() && !tokens[at + 1].IsOperator;
        if (found->Op == ocTo) {
            if (at == 0 || !hasNext || tokens[at - 1].IsOperator) SyntaxError();
            Emit(ocTo, tokens[at - 1].Chars, {tokens[at + 1].Chars});
            tokens.erase(tokens.begin() + static_cast<ptrdiff_t>(at - 1),
                         tokens.begin() + static_cast<ptrdiff_t>(at + 2));
            assigned = true;
        } else if (at > 0) {
            const Text& before = tokens[at - 1].Chars;
            if (!hasNext || before.empty() || IsIn(before[0], "+-*/%|&^=[(<>")) SyntaxError();
            Text temp = NewTemp();
            Emit(found->Op, temp, {before, tokens[at + 1].Chars});
            tokens[at - 1] = {temp, false};
            tokens.erase(tokens.begin() + static_cast<ptrdiff_t>(at),
                         tokens.begin() + static_cast<ptrdiff_t>(at + 2));
        } else {
            if ((found->Op != ocPlus && found->Op != ocMinus) || !hasNext) SyntaxError();
            Text temp = NewTemp();
            Emit(found->Op, temp, {u"0", tokens[1].Chars});
            tokens[0] = {temp, false};
            tokens.erase(tokens.begin() + 1);
        }
    }
}

void TCompiler::ParseInto(const Text& source, int depth)
{
    if (depth > MaxParseDepth) SyntaxError();
    Text text = Strings(source);
    text = Calls(std::move(text), depth);
    text = Elements(std::move(text), depth);
    text = Groups(std::move(text), depth);
    Operators(text);
}

// Classifies an operand text as it is stored: integer, real, flag, string literal or name.
void WriteOperandText(TKwBigStream& s, const std::string& text)
{
    int32_t integer;
    Extended real;
    if (TryStrToInt(text, integer)) {
        WriteByte(s, ptInt);
        WriteInt(s, integer);
    } else if (TryStrToFloat(text, real)) {
        WriteByte(s, ptFloat);
        WriteExtended(s, real);
    } else if (text == "TRUE" || text == "FALSE") {
        WriteByte(s, ptFlag);
        WriteByte(s, text == "TRUE");
    } else if (text.size() > 1 && text.front() == '"' && text.back() == '"') {
        WriteByte(s, ptStr);
        WriteStr(s, text.substr(1, text.size() - 2));
    } else {
        WriteByte(s, ptVar);
        WriteStr(s, text);
    }
}

} // namespace

std::string TBuildRukoParser::NewTempName()
{
    return "____" + IntToStr(Counter++);
}
std::string TBuildRukoParser::NewElementName()
{
    return "____d_" + IntToStr(Counter++);
}

void TBuildRukoParser::Clear()
{
    Steps.clear();
    Counter = 0;
}

void TBuildRukoParser::Parse(std::string_view text)
{
    TCompiler(*this).ParseInto(ToText(text), 0);

    // Copies between temporaries are folded away: later uses take the source name directly.
    for (size_t i = 0; i < Steps.size();) {
        const TBuildOpeData& step = Steps[i];
        bool copy = step.Op == ocTo && !step.Operands.empty() && StartsWith(step.Target, "____") &&
                    StartsWith(step.Operands[0], "____") && !StartsWith(step.Target, "____d_") &&
                    !StartsWith(step.Operands[0], "____d_") && step.Target != "____arg" &&
                    step.Operands[0] != "____arg";
        if (!copy) {
            ++i;
            continue;
        }
        std::string from = step.Target, to = step.Operands[0];
        for (size_t j = i + 1; j < Steps.size(); ++j) {
            if (Steps[j].Target == from) Steps[j].Target = to;
            for (std::string& operand : Steps[j].Operands)
                if (operand == from) operand = to;
        }
        Steps.erase(Steps.begin() + static_cast<ptrdiff_t>(i));
    }
}

void TBuildRukoParser::WriteTo(TKwBigStream& s) const
{
    WriteU32(s, static_cast<uint32_t>(Steps.size()));
    for (const TBuildOpeData& step : Steps) {
        WriteByte(s, step.Op);
        WriteStr(s, step.Target);
        if (step.Op != ocFunc) {
            WriteU32(s, static_cast<uint32_t>(step.Operands.size()));
            for (const std::string& operand : step.Operands)
                WriteOperandText(s, operand);
            continue;
        }
        const std::string& name = step.Operands.at(0);
        int row = FindBuiltinFunction(name);
        if (row < 0) RaiseError(FormatText(Utf8ToCp932("\"%s\" 関数名がありません").c_str(), name.c_str()));
        const TBuiltinFunction& function = BuiltinFunctions[row];
        int argumentCount = static_cast<int>(step.Operands.size()) - 1;
        if (argumentCount < function.MinArgs || (function.MaxArgs >= 0 && argumentCount > function.MaxArgs))
            RaiseError(name + Utf8ToCp932(" 引数の数が不正です"));
        // A constant property number the table does not have could never run; say so now rather
        // than store a program every loader refuses.
        int32_t property;
        if (row == fnGetProp && TryStrToInt(step.Operands[2], property) &&
            (property < 0 || property >= PropertyCount))
            RaiseError(Utf8ToCp932("GetPropの引数が違います"));
        WriteU32(s, static_cast<uint32_t>(argumentCount));
        WriteByte(s, static_cast<uint8_t>(row));
        for (int i = 1; i <= argumentCount; ++i)
            WriteOperandText(s, step.Operands[static_cast<size_t>(i)]);
    }
}

} // namespace ruko
