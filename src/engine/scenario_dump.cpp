// Pages back to source text, and expression programs back to expression text.
#include "base/numtext.h"
#include "base/text.h"
#include "engine/propnames.h"
#include "engine/scenario.h"
#include "engine/scenariotext.h"
#include "io/fields.h"
#include "params/functable.h"
#include "params/rukoparser.h"

#include <cstdio>
#include <map>
#include <optional>

namespace ruko {

namespace {

struct TNode
{
    std::string Text;
    int Level = 0; // 0: atom; 1..8: the operator level that binds it
};

int OpLevel(uint8_t op, const char*& symbol)
{
    switch (op) {
    case ocMul:
        symbol = "*";
        return 1;
    case ocDiv:
        symbol = "/";
        return 1;
    case ocMod:
        symbol = "%";
        return 1;
    case ocPlus:
        symbol = "+";
        return 2;
    case ocMinus:
        symbol = "-";
        return 2;
    case ocShiftL:
        symbol = "<<";
        return 3;
    case ocShiftR:
        symbol = ">>";
        return 3;
    case ocEqual:
        symbol = "==";
        return 4;
    case ocEBig:
        symbol = ">=";
        return 4;
    case ocESmall:
        symbol = "<=";
        return 4;
    case ocBig:
        symbol = ">";
        return 4;
    case ocSmall:
        symbol = "<";
        return 4;
    case ocNEqual:
        symbol = "<>";
        return 4;
    case ocComboStr:
        symbol = "++";
        return 5;
    case ocAnd:
        symbol = "&";
        return 6;
    case ocXor:
        symbol = "^";
        return 7;
    case ocOr:
        symbol = "|";
        return 8;
    default:
        return -1;
    }
}

// A real written so that it reads back as the same value and stays one token (no exponent sign).
std::optional<std::string> RealText(Extended value)
{
    for (int precision = 1; precision <= 21; ++precision) {
        char buffer[80];
        std::snprintf(buffer, sizeof buffer, "%.*Lf", precision, value);
        std::string text = buffer;
        Extended back = 0;
        if (!TryStrToFloat(text, back) || back != value) continue;
        while (text.size() > 2 && text.back() == '0' && text[text.size() - 2] != '.')
            text.pop_back();
        return text;
    }
    return std::nullopt;
}

// Literal text of a string constant, in the expression compiler's escapes.
std::optional<std::string> StringLiteral(const std::string& value)
{
    std::string out = "\"";
    for (size_t pos = 0; pos < value.size();) {
        const size_t len = CharLength(value, pos);
        if (len == 2) {
            out.append(value, pos, 2);
            pos += 2;
            continue;
        }
        const char c = value[pos];
        if (c == '\r' && pos + 1 < value.size() && value[pos + 1] == '\n') {
            out += "\\n";
            pos += 2;
            continue;
        }
        if (c == '\r' || c == '\n') return std::nullopt;
        if (c == '"' || c == '\\') out += '\\';
        out += c;
        ++pos;
    }
    return out + "\"";
}

bool IsPlainName(const std::string& name)
{
    if (name.empty() || name == "TRUE" || name == "FALSE") return false;
    static const std::string_view special = "+-*/%|&^=[](),<> \t\"{}:";
    for (size_t pos = 0; pos < name.size(); pos += CharLength(name, pos))
        if (CharLength(name, pos) == 1 && (special.find(name[pos]) != std::string_view::npos ||
                                           static_cast<unsigned char>(name[pos]) < 0x20))
            return false;
    int32_t i;
    Extended x;
    return !TryStrToInt(name, i) && !TryStrToFloat(name, x);
}

std::optional<std::string> Decompile(const TRukoParser& program)
{
    std::map<std::string, TNode> temps;
    std::optional<std::string> result;
    auto operand = [&](const TCustomParam& p) -> std::optional<TNode> {
        switch (p.GetVarType()) {
        case ptInt:
            return TNode{IntToStr(p.GetInt()), 0};
        case ptFloat:
            if (auto text = RealText(p.GetFloat())) return TNode{*text, 0};
            return std::nullopt;
        case ptFlag:
            return TNode{p.GetFlag() ? "TRUE" : "FALSE", 0};
        case ptStr:
            if (auto text = StringLiteral(p.GetStr())) return TNode{*text, 0};
            return std::nullopt;
        default: {
            const auto* ref = dynamic_cast<const TParamVar*>(&p);
            if (!ref) return std::nullopt;
            if (ref->Name.starts_with("____")) {
                auto it = temps.find(ref->Name);
                if (it == temps.end()) return std::nullopt;
                return it->second;
            }
            if (ref->Name.empty()) return TNode{"", 0};
            if (!IsPlainName(ref->Name)) return std::nullopt;
            return TNode{ref->Name, 0};
        }
        }
    };
    auto list = [&](const TOpeData& step, size_t from, std::string& out) {
        for (size_t i = from; i < step.Operands.size(); ++i) {
            std::optional<TNode> n = operand(*step.Operands[i]);
            if (!n) return false;
            out += (i > from ? ", " : "") + n->Text;
        }
        return true;
    };
    for (size_t s = 0; s < program.Steps.size(); ++s) {
        const TOpeData& step = program.Steps[s];
        if (result) return std::nullopt; // something after the final step
        const bool temp = step.Target.starts_with("____") && step.Target != "____arg";
        TNode node;
        if (step.Op == ocTo) {
            if (step.Operands.size() != 1) return std::nullopt;
            std::optional<TNode> a = operand(*step.Operands[0]);
            if (!a) return std::nullopt;
            if (step.Target == "____arg") {
                result = a->Text;
                continue;
            }
            if (!temp) {
                if (!IsPlainName(step.Target)) return std::nullopt;
                result = step.Target + " = " + a->Text;
                continue;
            }
            node = *a;
        } else if (step.Op == ocDimTo) {
            if (step.Operands.size() < 2 || !temp) return std::nullopt;
            std::optional<TNode> name = operand(*step.Operands[0]);
            std::string subs;
            if (!name || name->Level != 0 || !list(step, 1, subs)) return std::nullopt;
            node = {name->Text + "[" + subs + "]", 0};
        } else if (step.Op == ocFunc) {
            if (!temp || step.FuncIndex >= BuiltinFunctionCount) return std::nullopt;
            std::string args;
            if (!list(step, 0, args)) return std::nullopt;
            node = {std::string(BuiltinFunctions[step.FuncIndex].Name) + "(" + args + ")", 0};
        } else {
            const char* symbol = nullptr;
            const int level = OpLevel(step.Op, symbol);
            if (level < 0 || step.Operands.size() != 2 || !temp) return std::nullopt;
            std::optional<TNode> a = operand(*step.Operands[0]);
            std::optional<TNode> b = operand(*step.Operands[1]);
            if (!a || !b) return std::nullopt;
            auto wrap = [](const TNode& n, bool need) { return need ? "(" + n.Text + ")" : n.Text; };
            if (step.Op == ocMinus && step.Operands[0]->GetVarType() == ptInt && a->Text == "0" &&
                b->Level == 0)
                node = {"-" + b->Text, 0};
            else
                node = {wrap(*a, a->Level > level) + " " + symbol + " " + wrap(*b, b->Level >= level), level};
        }
        temps[step.Target] = node;
    }
    return result;
}

// Text that compiles back to exactly `bytes` and survives the trip through UTF-8.
bool RoundTrips(const std::string& text, const std::vector<uint8_t>& bytes)
{
    std::string utf8, back;
    if (!TryCp932ToUtf8(text, utf8) || !TryUtf8ToCp932(utf8, back) || back != text) return false;
    try {
        return CompileExpression(text) == bytes;
    } catch (...) {
        return false;
    }
}

bool IsBareSafe(const std::string& text)
{
    if (text.empty() || text != Trim(text) || text.front() == '"' || text.front() == '#' ||
        text.front() == '[')
        return false;
    for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        if (CharLength(text, pos) == 1 &&
            (c < 0x20 || c == ',' || c == ':' || c == '(' || c == ')' || c == '\\' || c == '"' || c == '>' ||
             c == '<' || c == 0x7F || c == 0x80 || c == 0xA0 || c >= 0xFD || IsLeadByte(c)))
            return false;
    }
    std::string utf8, back;
    if (!TryCp932ToUtf8(text, utf8) || !TryUtf8ToCp932(utf8, back) || back != text) return false;
    return FindTopLevelWord(text, "if") == std::string::npos && text.find("//") == std::string::npos;
}

std::string QuoteExact(const std::string& value);

std::string StrText(const std::string& value)
{
    return IsBareSafe(value) ? value : QuoteExact(value);
}

std::string QuoteExact(const std::string& value)
{
    // Characters whose Unicode form maps back to another code are written as bytes.
    std::string out;
    std::string q = Quote(value);
    for (size_t pos = 0; pos < q.size();) {
        const size_t len = CharLength(q, pos);
        if (len == 2) {
            std::string ch = q.substr(pos, 2), utf8, back;
            if (!TryCp932ToUtf8(ch, utf8) || !TryUtf8ToCp932(utf8, back) || back != ch) {
                static const char digits[] = "0123456789abcdef";
                for (unsigned char b : ch) {
                    out += "\\x";
                    out += digits[b >> 4];
                    out += digits[b & 15];
                }
            } else {
                out += ch;
            }
        } else {
            out += q[pos];
        }
        pos += len;
    }
    return out;
}

constexpr uint32_t MaxSpelledIndent = 40;

class TDumper
{
  public:
    TDumper(const TPage& page, const std::function<const TPage*(const std::string&)>& findPage)
        : page_(page), findPage_(findPage)
    {
    }
    std::string Run();

  private:
    void Emit(const std::string& line)
    {
        out_ += line;
        out_ += "\n";
        ++lineNo_;
    }
    std::string RefText(const TCommand& c, const std::string& file, int32_t index) const;
    std::string CommandText(const TCommand& c, int position, std::vector<std::string>& textBlock);
    std::vector<int32_t> LoopTargets() const;

    const TPage& page_;
    const std::function<const TPage*(const std::string&)>& findPage_;
    std::string out_;
    int lineNo_ = 1;
    std::vector<int32_t> computed_;
};

std::string TDumper::RefText(const TCommand&, const std::string& file, int32_t index) const
{
    const bool own = file == page_.Name;
    const TPage* target = own ? &page_ : (findPage_ ? findPage_(file) : nullptr);
    std::string pageText = own && !file.empty() ? std::string() : StrText(file);
    if (const TCommand* c = target ? target->Commands.At(index) : nullptr)
        if (c->GetCode() == ccLabel &&
            target->Commands.FindLabel(c->StrAt(TComFields<ccLabel>::Name)) == index)
            return pageText + ":" + StrText(c->StrAt(TComFields<ccLabel>::Name));
    if (index == 0 && !pageText.empty()) return pageText;
    return pageText + ":#" + std::to_string(index);
}

// Indices the compiler would compute for while/loop/break/continue, -1 where it computes none.
std::vector<int32_t> TDumper::LoopTargets() const
{
    const int n = page_.Commands.Count();
    std::vector<int32_t> targets(static_cast<size_t>(n), INT32_MIN);
    struct TOpen
    {
        int While;
        uint32_t Indent;
        std::vector<int> Jumps;
    };
    std::vector<TOpen> open;
    for (int i = 0; i < n; ++i) {
        const TCommand& c = page_.Commands[i];
        if (c.GetCode() == ccWhile) {
            open.push_back({i, c.Indent, {}});
        } else if (c.GetCode() == ccWhileLoop && !open.empty() && open.back().Indent == c.Indent) {
            targets[static_cast<size_t>(open.back().While)] = i + 1;
            targets[static_cast<size_t>(i)] = open.back().While;
            for (int j : open.back().Jumps)
                targets[static_cast<size_t>(j)] = page_.Commands[j].GetCode() == ccBreak ? i + 1 : i;
            open.pop_back();
        } else if ((c.GetCode() == ccBreak || c.GetCode() == ccContinue) && !open.empty()) {
            open.back().Jumps.push_back(i);
        }
    }
    return targets;
}

std::string TDumper::CommandText(const TCommand& c, int position, std::vector<std::string>& textBlock)
{
    const TCommandDef& def = c.Def();
    std::string text = def.Keyword;
    auto add = [&](const std::string& part) {
        if (!part.empty()) text += " " + part;
    };
    switch (c.GetCode()) {
    case ccLabel:
    case ccComment:
        add(StrText(c.StrAt(0)));
        return text;
    case ccCalc:
    case ccIf:
    case ccElseif:
    case ccWhileInit:
        add(ExpressionText(c.ExprAt(0)));
        return text;
    case ccVarNew: {
        using F = TComFields<ccVarNew>;
        const std::string& stored = c.StrAt(F::Name);
        std::string name = IsBareSafe(stored) && stored.find(' ') == std::string::npos &&
                                   stored.find('=') == std::string::npos
                               ? stored
                               : QuoteExact(stored);
        add(TypeWord(c.NumAt(F::Type)));
        if (c.NumAt(F::Placement) != 0) add(PlacementWord(c.NumAt(F::Placement)));
        add(name);
        if (!c.ExprAt(F::Initial).IsEmpty()) add("= " + ExpressionText(c.ExprAt(F::Initial)));
        return text;
    }
    default:
        break;
    }
    std::vector<std::string> positional;
    std::string tail, resultPart;
    std::string condition;
    bool hasCondition = false;
    for (size_t f = 0; f < def.Fields.size(); ++f) {
        const TFieldDef& fd = def.Fields[f];
        const TField& field = c.Fields[f];
        if (!field.Present) continue;
        switch (fd.Role) {
        case TFieldRole::Condition:
            hasCondition = true;
            condition = ExpressionText(field.Expr);
            if (c.GetCode() != ccWait && field.Expr.Bytes() == CompileExpression("TRUE"))
                hasCondition = false;
            if (c.GetCode() == ccWait && field.Expr.IsEmpty()) hasCondition = false;
            continue;
        case TFieldRole::PageRef: {
            int32_t index = 0;
            if (f + 1 < def.Fields.size() && c.Fields[f + 1].Present) index = c.Fields[f + 1].Num;
            positional.push_back(RefText(c, field.Str, index));
            continue;
        }
        case TFieldRole::PageIndex:
            continue;
        case TFieldRole::LoopIndex:
            if (field.Num != computed_[static_cast<size_t>(position)])
                tail += " => #" + std::to_string(field.Num);
            continue;
        case TFieldRole::ResultVar:
            if (!field.Str.empty()) resultPart = " -> " + StrText(field.Str);
            continue;
        case TFieldRole::CallArgs: {
            std::string args;
            for (size_t i = 0; i < field.List.size(); ++i)
                args += (i ? ", " : "") + ExpressionText(field.List[i]);
            if (!field.List.empty()) {
                if (field.List.size() == 1 && args.empty()) args = "{#00000000}";
                positional.back() += "(" + args + ")";
            }
            continue;
        }
        case TFieldRole::Flag:
            positional.push_back(field.Num == 1   ? std::string(fd.Name)
                                 : field.Num == 0 ? std::string()
                                                  : "#" + std::to_string(field.Num));
            continue;
        case TFieldRole::Value:
            break;
        }
        switch (fd.Kind) {
        case TFieldKind::Expr:
            if (def.CreatesComponent) {
                if (!field.Expr.IsEmpty())
                    positional.push_back(std::string(fd.Name) + ": " + ExpressionText(field.Expr));
            } else {
                positional.push_back(ExpressionText(field.Expr));
            }
            break;
        case TFieldKind::Str:
            positional.push_back(field.Str.empty() ? std::string("\"\"") : StrText(field.Str));
            break;
        case TFieldKind::Index:
        case TFieldKind::Byte:
            positional.push_back("#" + std::to_string(field.Num));
            break;
        case TFieldKind::ExprList: {
            std::string items;
            for (size_t i = 0; i < field.List.size(); ++i) {
                std::string item = ExpressionText(field.List[i]);
                if (field.List.size() == 1 && item.empty()) item = "{#00000000}";
                items += (i ? ", " : "") + item;
            }
            if (def.CreatesComponent) {
                if (!field.List.empty()) positional.push_back(std::string(fd.Name) + ": [" + items + "]");
            } else {
                positional.push_back("[" + items + "]");
            }
            break;
        }
        case TFieldKind::Text: {
            const std::string& body = field.Str;
            bool heredoc = true;
            std::vector<std::string> lines;
            size_t from = 0;
            for (;;) {
                size_t crlf = body.find("\r\n", from);
                std::string line =
                    body.substr(from, crlf == std::string::npos ? std::string::npos : crlf - from);
                std::string utf8, back;
                if (line.find('\r') != std::string::npos || line.find('\n') != std::string::npos ||
                    Trim(line) == ">>>" || !TryCp932ToUtf8(line, utf8) || !TryUtf8ToCp932(utf8, back) ||
                    back != line)
                    heredoc = false;
                lines.push_back(line);
                if (crlf == std::string::npos) break;
                from = crlf + 2;
            }
            if (body.empty()) lines.clear();
            if (heredoc) {
                textBlock = lines;
                textBlock.push_back(">>>");
                tail += " <<<";
            } else {
                tail += " << " + QuoteExact(body);
            }
            break;
        }
        case TFieldKind::Props:
            for (const TPropExpr& prop : c.Props)
                if (!prop.Expr.IsEmpty())
                    positional.push_back(std::string(PropertyNames[prop.Id]) + ": " +
                                         ExpressionText(prop.Expr));
            break;
        }
    }
    if (!def.CreatesComponent)
        while (!positional.empty() && positional.back().empty())
            positional.pop_back();
    std::string joined;
    for (size_t i = 0; i < positional.size(); ++i)
        joined += (i ? ", " : "") + positional[i];
    add(joined);
    text += resultPart;
    if (hasCondition) text += " if" + (condition.empty() ? std::string() : " " + condition);
    return text + tail;
}

std::string TDumper::Run()
{
    computed_ = LoopTargets();
    Emit("#version " + std::to_string(page_.Version));
    if (page_.ResultType != 1) Emit("#result " + TypeWord(page_.ResultType));
    if (page_.MaskRecordCount != CommandCodeCount) Emit("#masks " + std::to_string(page_.MaskRecordCount));
    // Masks the commands' own properties do not explain are written out whole.
    TPage implied;
    for (int i = 0; i < page_.Commands.Count(); ++i) {
        const TCommand& c = page_.Commands[i];
        for (const TPropExpr& prop : c.Props)
            if (!prop.Expr.IsEmpty()) implied.SetMask(c.GetCode(), prop.Id, true);
    }
    for (int code = 0; code < page_.MaskRecordCount; ++code) {
        auto begin = page_.Masks.begin() + code * MaskRecordSize;
        if (!std::equal(begin, begin + MaskRecordSize, implied.Masks.begin() + code * MaskRecordSize))
            Emit("#maskhex " + std::to_string(code) + " " +
                 EncodeHex(std::vector<uint8_t>(begin, begin + MaskRecordSize)));
    }
    for (int i = 0; i < page_.Commands.Count(); ++i) {
        const TCommand& c = page_.Commands[i];
        std::vector<std::string> block;
        std::string body = CommandText(c, i, block);
        while (lineNo_ < static_cast<int>(c.Line) && static_cast<int>(c.Line) - lineNo_ < 200)
            Emit("");
        std::string markers;
        if (static_cast<int>(c.Line) != lineNo_) markers += "[line " + std::to_string(c.Line) + "] ";
        uint32_t indent = c.Indent;
        if (indent > MaxSpelledIndent) {
            markers += "[indent " + std::to_string(indent) + "] ";
            indent = 0;
        }
        if (c.Disabled) markers += "[off] ";
        if (!c.Continue) markers += "[yield] ";
        Emit(std::string(indent * 2, ' ') + markers + body);
        for (const std::string& line : block)
            Emit(line);
    }
    return Cp932ToUtf8(out_);
}

} // namespace

std::string ExpressionText(const TExpr& expr)
{
    if (expr.IsEmpty()) return std::string();
    const std::vector<uint8_t> bytes = expr.Bytes();
    if (std::optional<std::string> text = Decompile(expr.Program());
        text && !text->empty() && RoundTrips(*text, bytes))
        return *text;
    return "{#" + EncodeHex(bytes) + "}";
}

std::string DumpPage(const TPage& page, const std::function<const TPage*(const std::string&)>& findPage)
{
    return TDumper(page, findPage).Run();
}

} // namespace ruko
