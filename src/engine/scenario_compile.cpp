// The scenario source compiler: lines → command protos → pages.
#include "base/error.h"
#include "base/text.h"
#include "engine/propnames.h"
#include "engine/scenario.h"
#include "engine/scenariotext.h"
#include "io/fields.h"
#include "params/rukoparser.h"

#include <map>
#include <optional>

namespace ruko {

std::string TScenarioError::Format() const
{
    return FileName + ":" + std::to_string(Line) + ":" + std::to_string(Column) + ": " + Message;
}

namespace {

// The two cabinet commands store their extras alike.
using Cabinet = TComFields<ccCabinetSave>;
static_assert(int(Cabinet::Invert) == int(TComFields<ccCabinetLoad>::Invert) &&
              int(Cabinet::Names) == int(TComFields<ccCabinetLoad>::Names));

struct TProtoField
{
    std::vector<uint8_t> Expr = EmptyProgram();
    std::string Str;
    int32_t Num = 0;
    std::vector<std::vector<uint8_t>> List;
};

struct TRef
{
    bool Used = false;
    std::string Page; // CP932
    std::string Label;
    bool HasLabel = false;
    std::optional<int32_t> Index;
    int Column = 1;
};

struct TProto
{
    int Code = 0;
    uint32_t Indent = 0;
    bool Disabled = false;
    bool Continue = true;
    uint32_t Line = 0;
    int SourceLine = 0;
    std::vector<TProtoField> Fields;
    std::map<int, std::vector<uint8_t>> Props;
    TRef Ref;
    std::optional<int32_t> LoopOverride;
};

struct TPageProto
{
    const TScenarioSource* Source = nullptr;
    std::string Name; // CP932
    int Version = NewestPageVersion;
    uint8_t ResultType = 1;
    int MaskRecords = CommandCodeCount;
    std::map<int, std::vector<uint8_t>> RawMasks; // code → 22 bytes
    std::map<int, std::vector<int>> DeclaredMasks;
    std::vector<TProto> Commands;
    std::map<std::string, int> Labels; // first label of each name
};

class TCompiler
{
  public:
    explicit TCompiler(std::vector<TScenarioError>& errors) : errors_(errors) {}

    void ParseSource(const TScenarioSource& source, TPageProto& page);
    void Resolve(std::vector<TPageProto>& pages);
    std::vector<uint8_t> Build(const TPageProto& page);

  private:
    void Error(int line, int column, const std::string& message)
    {
        errors_.push_back({fileName_, line, column, message});
    }
    // Column (1-based, in characters) of byte `pos` of the current line.
    int Column(size_t pos) const
    {
        return static_cast<int>(CharCount(std::string_view(line_).substr(0, pos))) + 1;
    }
    std::vector<uint8_t> Expression(std::string_view text, size_t pos);
    std::string StringField(std::string_view text, size_t pos);
    TRef ParseRef(std::string_view text, size_t pos);
    void ParseCommand(TPageProto& page, TProto& proto, std::string_view rest, size_t restPos,
                      const std::vector<std::string>& lines, size_t& lineIndex);
    void ParseDirective(TPageProto& page, std::string_view text, size_t pos);

    std::vector<TScenarioError>& errors_;
    std::string fileName_;
    std::string line_; // current line, CP932
    int lineNo_ = 0;
};

std::vector<uint8_t> TCompiler::Expression(std::string_view text, size_t pos)
{
    text = Trim(text);
    if (text.empty()) return EmptyProgram();
    if (text.size() >= 2 && text.front() == '{' && text.back() == '}') {
        std::vector<uint8_t> bytes;
        if (!DecodeRawProgram(text, bytes)) {
            Error(lineNo_, Column(pos), "malformed raw expression");
            return EmptyProgram();
        }
        return bytes;
    }
    try {
        return CompileExpression(text);
    } catch (const ERukoError& e) {
        Error(lineNo_, Column(pos), "expression \"" + Cp932ToUtf8(text) + "\": " + Cp932ToUtf8(e.what()));
        return EmptyProgram();
    }
}

std::string TCompiler::StringField(std::string_view text, size_t pos)
{
    text = Trim(text);
    if (!text.empty() && text.front() == '"') {
        std::string value;
        if (!Unquote(text, value)) Error(lineNo_, Column(pos), "malformed quoted string");
        return value;
    }
    return std::string(text);
}

TRef TCompiler::ParseRef(std::string_view text, size_t pos)
{
    TRef ref;
    ref.Used = true;
    ref.Column = Column(pos);
    text = Trim(text);
    std::string_view pagePart = text, labelPart;
    size_t colon = FindTopLevel(text, ':');
    bool hasColon = colon != std::string_view::npos;
    if (hasColon) {
        pagePart = text.substr(0, colon);
        labelPart = Trim(text.substr(colon + 1));
    }
    ref.Page = pagePart.empty() && hasColon ? std::string("\x01") : StringField(pagePart, pos);
    if (hasColon) {
        if (!labelPart.empty() && labelPart.front() == '#') {
            std::optional<int32_t> n = ParseInt(labelPart.substr(1));
            if (!n)
                Error(lineNo_, Column(pos), "malformed command position in \"" + Cp932ToUtf8(text) + "\"");
            ref.Index = n.value_or(0);
        } else {
            ref.HasLabel = true;
            ref.Label = StringField(labelPart, pos);
        }
    } else {
        ref.Index = 0;
    }
    return ref;
}

void TCompiler::ParseDirective(TPageProto& page, std::string_view text, size_t pos)
{
    std::vector<std::string> words = SplitWords(text);
    auto bad = [&] { Error(lineNo_, Column(pos), "malformed directive \"" + Cp932ToUtf8(text) + "\""); };
    if (words.empty()) return bad();
    if (words[0] == "#version" && words.size() == 2) {
        std::optional<int32_t> v = ParseInt(words[1]);
        if (!v || *v < OldestPageVersion || *v > NewestPageVersion)
            return Error(lineNo_, Column(pos), "page version must be 103..117");
        page.Version = *v;
    } else if (words[0] == "#result" && words.size() == 2) {
        int type = TypeCodeOf(words[1]);
        if (type < 0) return bad();
        page.ResultType = static_cast<uint8_t>(type);
    } else if (words[0] == "#masks" && words.size() == 2) {
        std::optional<int32_t> n = ParseInt(words[1]);
        if (!n || *n < 0 || *n > CommandCodeCount) return bad();
        page.MaskRecords = *n;
    } else if (words[0] == "#mask" && words.size() >= 2) {
        int code = CommandCodeOf(words[1]);
        if (code < 0 || !CommandDef(code).CreatesComponent)
            return Error(lineNo_, Column(pos), "\"" + words[1] + "\" does not create a component");
        for (size_t i = 2; i < words.size(); ++i) {
            int id = PropertyIdOf(words[i]);
            if (id < 0) return Error(lineNo_, Column(pos), "unknown property \"" + words[i] + "\"");
            page.DeclaredMasks[code].push_back(id);
        }
    } else if (words[0] == "#maskhex" && words.size() == 3) {
        std::optional<int32_t> code = ParseInt(words[1]);
        std::vector<uint8_t> bytes;
        if (!code || *code < 0 || *code >= CommandCodeCount || !DecodeHex(words[2], bytes) ||
            bytes.size() != MaskRecordSize)
            return bad();
        page.RawMasks[*code] = bytes;
    } else {
        bad();
    }
}

void TCompiler::ParseSource(const TScenarioSource& source, TPageProto& page)
{
    fileName_ = source.FileName;
    page.Source = &source;
    page.Name = Utf8ToCp932(source.PageName);
    std::vector<std::string> lines;
    {
        std::string_view text = source.Text;
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find('\n', start);
            std::string_view raw = text.substr(start, end == std::string_view::npos ? end : end - start);
            if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
            lines.emplace_back(raw);
            if (end == std::string_view::npos) break;
            start = end + 1;
        }
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        lineNo_ = static_cast<int>(i) + 1;
        if (!TryUtf8ToCp932(lines[i], line_)) {
            Error(lineNo_, 1, "text that has no Shift-JIS form");
            continue;
        }
        // Indentation: two spaces or one tab per level.
        size_t pos = 0;
        uint32_t indent = 0;
        int spaces = 0;
        while (pos < line_.size() && (line_[pos] == ' ' || line_[pos] == '\t')) {
            if (line_[pos] == '\t') {
                ++indent;
                spaces = 0;
            } else if (++spaces == 2) {
                ++indent;
                spaces = 0;
            }
            ++pos;
        }
        std::string_view rest = std::string_view(line_).substr(pos);
        if (rest.empty() || rest.starts_with("//")) continue;
        if (spaces != 0) {
            Error(lineNo_, Column(pos), "indentation must be a multiple of two spaces");
            continue;
        }
        if (rest.front() == '#') {
            ParseDirective(page, rest, pos);
            continue;
        }
        TProto proto;
        proto.Indent = indent;
        proto.SourceLine = lineNo_;
        proto.Line = static_cast<uint32_t>(lineNo_);
        // Markers before the keyword.
        bool markersOk = true;
        while (!rest.empty() && rest.front() == '[') {
            size_t close = rest.find(']');
            if (close == std::string_view::npos) {
                Error(lineNo_, Column(pos), "unclosed marker");
                markersOk = false;
                break;
            }
            std::string_view marker = Trim(rest.substr(1, close - 1));
            if (marker == "off")
                proto.Disabled = true;
            else if (marker == "yield")
                proto.Continue = false;
            else if (marker.starts_with("line ") && ParseUnsigned(marker.substr(5)))
                proto.Line = *ParseUnsigned(marker.substr(5));
            else if (marker.starts_with("indent ") && ParseUnsigned(marker.substr(7)))
                proto.Indent = *ParseUnsigned(marker.substr(7));
            else {
                Error(lineNo_, Column(pos), "unknown marker [" + Cp932ToUtf8(marker) + "]");
                markersOk = false;
            }
            size_t skip = close + 1;
            while (skip < rest.size() && rest[skip] == ' ')
                ++skip;
            rest.remove_prefix(skip);
            pos += skip;
        }
        if (!markersOk) continue;
        size_t wordEnd = 0;
        while (wordEnd < rest.size() && rest[wordEnd] != ' ' && rest[wordEnd] != '\t')
            ++wordEnd;
        std::string keyword(rest.substr(0, wordEnd));
        int code = CommandCodeOf(keyword);
        if (code < 0) {
            Error(lineNo_, Column(pos), "unknown command \"" + Cp932ToUtf8(keyword) + "\"");
            continue;
        }
        proto.Code = code;
        proto.Fields.resize(CommandDef(code).Fields.size());
        size_t restPos = pos + wordEnd;
        std::string_view args = rest.substr(wordEnd);
        size_t lead = 0;
        while (lead < args.size() && (args[lead] == ' ' || args[lead] == '\t'))
            ++lead;
        std::string argText(args.substr(lead));
        // A line ending with a top-level comma goes on on the next line.
        while (!Trim(argText).empty() && Trim(argText).back() == ',' && i + 1 < lines.size()) {
            std::string next;
            if (!TryUtf8ToCp932(lines[i + 1], next)) break;
            ++i;
            argText = std::string(Trim(argText)) + " " + std::string(Trim(next));
        }
        ParseCommand(page, proto, argText, restPos + lead, lines, i);
        page.Commands.push_back(std::move(proto));
    }
}

void TCompiler::ParseCommand(TPageProto& page, TProto& proto, std::string_view rest, size_t restPos,
                             const std::vector<std::string>& lines, size_t& lineIndex)
{
    const TCommandDef& def = CommandDef(proto.Code);
    auto fieldOf = [&](TFieldRole role) {
        for (size_t f = 0; f < def.Fields.size(); ++f)
            if (def.Fields[f].Role == role) return static_cast<int>(f);
        return -1;
    };
    // Whole-rest forms: the rest of the line is the command's one field.
    if (proto.Code == ccLabel || proto.Code == ccComment) {
        proto.Fields[0].Str = StringField(rest, restPos);
        if (proto.Code == ccLabel && !page.Labels.count(proto.Fields[0].Str))
            page.Labels[proto.Fields[0].Str] = static_cast<int>(page.Commands.size());
        return;
    }
    if (proto.Code == ccCalc || proto.Code == ccIf || proto.Code == ccElseif || proto.Code == ccWhileInit) {
        proto.Fields[0].Expr = Expression(rest, restPos);
        return;
    }
    if (proto.Code == ccVarNew) {
        // var TYPE [PLACEMENT] NAME [= INITIAL]
        size_t eq = FindTopLevel(rest, '=');
        std::string_view head = rest.substr(0, eq);
        std::vector<std::string> words = SplitWords(head);
        if (words.size() < 2 || words.size() > 3)
            return Error(lineNo_, Column(restPos), "expected: var TYPE [PLACEMENT] NAME [= VALUE]");
        int type = TypeCodeOf(words[0]);
        int placement = words.size() == 3 ? PlacementOf(words[1]) : 0;
        if (type < 0)
            return Error(lineNo_, Column(restPos), "unknown type \"" + Cp932ToUtf8(words[0]) + "\"");
        if (placement < 0)
            return Error(lineNo_, Column(restPos), "unknown placement \"" + Cp932ToUtf8(words[1]) + "\"");
        using F = TComFields<ccVarNew>;
        proto.Fields[F::Name].Str = StringField(words.back(), restPos);
        proto.Fields[F::Type].Num = type;
        proto.Fields[F::Placement].Num = placement;
        if (eq != std::string_view::npos)
            proto.Fields[F::Initial].Expr = Expression(rest.substr(eq + 1), restPos + eq + 1);
        return;
    }
    std::string_view text = rest;
    // Text block: "<<<" to a line ">>>", or "<< QUOTED".
    int textField = -1;
    for (size_t f = 0; f < def.Fields.size(); ++f)
        if (def.Fields[f].Kind == TFieldKind::Text) textField = static_cast<int>(f);
    if (textField >= 0) {
        size_t mark = std::string_view::npos;
        if (Trim(text).ends_with("<<<"))
            mark = Trim(text).size() - 3 + static_cast<size_t>(Trim(text).data() - text.data());
        else
            for (size_t at = FindTopLevelText(text, "<<"); at != std::string_view::npos;) {
                if (Trim(text.substr(at + 2)).starts_with("\"")) mark = at;
                size_t next = FindTopLevelText(text.substr(at + 2), "<<");
                at = next == std::string_view::npos ? next : at + 2 + next;
            }
        if (mark == std::string_view::npos) {
            Error(lineNo_, Column(restPos), "missing text block (<<< or << \"...\")");
        } else {
            std::string_view tail = Trim(text.substr(mark));
            text = text.substr(0, mark);
            if (tail == "<<<") {
                std::string block;
                bool closed = false;
                bool first = true;
                while (lineIndex + 1 < lines.size()) {
                    ++lineIndex;
                    std::string body;
                    if (!TryUtf8ToCp932(lines[lineIndex], body))
                        Error(static_cast<int>(lineIndex) + 1, 1, "text that has no Shift-JIS form");
                    if (Trim(body) == ">>>") {
                        closed = true;
                        break;
                    }
                    if (!first) block += "\r\n";
                    block += body;
                    first = false;
                }
                if (!closed) Error(lineNo_, Column(restPos + mark), "text block without closing >>>");
                proto.Fields[static_cast<size_t>(textField)].Str = block;
            } else {
                proto.Fields[static_cast<size_t>(textField)].Str =
                    StringField(Trim(tail.substr(2)), restPos + mark);
            }
        }
    }
    // Trailing clauses: "=> #N", "if COND", "-> VAR".
    size_t arrow = FindTopLevelText(text, "=>");
    if (arrow != std::string_view::npos) {
        std::string_view target = Trim(text.substr(arrow + 2));
        std::optional<int32_t> n = target.starts_with("#") ? ParseInt(target.substr(1)) : std::nullopt;
        if (!n) Error(lineNo_, Column(restPos + arrow), "expected => #POSITION");
        proto.LoopOverride = n.value_or(0);
        text = text.substr(0, arrow);
    }
    const int condField = fieldOf(TFieldRole::Condition);
    if (condField >= 0) {
        size_t at = FindTopLevelWord(text, "if");
        if (at != std::string_view::npos) {
            proto.Fields[static_cast<size_t>(condField)].Expr =
                Expression(text.substr(at + 2), restPos + at + 2);
            text = text.substr(0, at);
        } else if (proto.Code != ccWait) {
            proto.Fields[static_cast<size_t>(condField)].Expr = CompileExpression("TRUE");
        }
    }
    const int resultField = fieldOf(TFieldRole::ResultVar);
    if (resultField >= 0) {
        size_t at = FindTopLevelText(text, "->");
        if (at != std::string_view::npos) {
            proto.Fields[static_cast<size_t>(resultField)].Str =
                StringField(text.substr(at + 2), restPos + at + 2);
            text = text.substr(0, at);
        }
    }
    const int argsField = fieldOf(TFieldRole::CallArgs);
    if (argsField >= 0) {
        size_t open = FindTopLevel(text, '(');
        if (open != std::string_view::npos) {
            size_t close = MatchClose(text, open);
            if (close == std::string_view::npos || !Trim(text.substr(close + 1)).empty()) {
                Error(lineNo_, Column(restPos + open), "malformed argument list");
            } else {
                std::string_view inside = text.substr(open + 1, close - open - 1);
                if (!Trim(inside).empty())
                    for (auto [piece, at] : SplitTopLevel(inside, ','))
                        proto.Fields[static_cast<size_t>(argsField)].List.push_back(
                            Expression(piece, restPos + open + 1 + at));
            }
            text = text.substr(0, open);
        }
    }
    // Positional items and named properties.
    std::vector<std::pair<std::string_view, size_t>> items;
    if (!Trim(text).empty()) items = SplitTopLevel(text, ',');
    size_t next = 0;
    auto nextField = [&]() -> int {
        while (next < def.Fields.size()) {
            const TFieldDef& fd = def.Fields[next++];
            if (fd.Kind == TFieldKind::Text || fd.Kind == TFieldKind::Props ||
                fd.Role == TFieldRole::Condition || fd.Role == TFieldRole::PageIndex ||
                fd.Role == TFieldRole::LoopIndex || fd.Role == TFieldRole::ResultVar ||
                fd.Role == TFieldRole::CallArgs)
                continue;
            if (def.CreatesComponent && fd.Kind != TFieldKind::Props) continue; // cabinet extras are named
            return static_cast<int>(next - 1);
        }
        return -1;
    };
    for (auto [item, at] : items) {
        const size_t itemPos = restPos + at;
        std::string_view trimmed = Trim(item);
        size_t colon = FindTopLevel(trimmed, ':');
        if (def.CreatesComponent) {
            if (colon == std::string_view::npos) {
                Error(lineNo_, Column(itemPos), "expected NAME: VALUE");
                continue;
            }
            std::string name(Trim(trimmed.substr(0, colon)));
            std::string_view value = trimmed.substr(colon + 1);
            int id = PropertyIdOf(name);
            if (id >= 0) {
                if (proto.Props.count(id)) Error(lineNo_, Column(itemPos), name + " given twice");
                proto.Props[id] = Expression(value, itemPos + colon + 1);
            } else if (name == "invert" && proto.Fields.size() > Cabinet::Invert) {
                proto.Fields[Cabinet::Invert].Expr = Expression(value, itemPos + colon + 1);
            } else if (name == "names" && proto.Fields.size() > Cabinet::Names) {
                std::string_view list = Trim(value);
                if (list.size() < 2 || list.front() != '[' || list.back() != ']') {
                    Error(lineNo_, Column(itemPos), "expected names: [A, B, ...]");
                    continue;
                }
                std::string_view inside = list.substr(1, list.size() - 2);
                if (!Trim(inside).empty())
                    for (auto [piece, pa] : SplitTopLevel(inside, ','))
                        proto.Fields[Cabinet::Names].List.push_back(Expression(piece, itemPos + pa));
            } else {
                Error(lineNo_, Column(itemPos), "unknown property \"" + Cp932ToUtf8(name) + "\"");
            }
            continue;
        }
        const int f = nextField();
        if (f < 0) {
            Error(lineNo_, Column(itemPos), "too many values for " + std::string(def.Keyword));
            break;
        }
        const TFieldDef& fd = def.Fields[static_cast<size_t>(f)];
        TProtoField& field = proto.Fields[static_cast<size_t>(f)];
        switch (fd.Kind) {
        case TFieldKind::Expr:
            field.Expr = Expression(item, itemPos);
            break;
        case TFieldKind::Str:
            if (fd.Role == TFieldRole::PageRef)
                proto.Ref = ParseRef(item, itemPos);
            else
                field.Str = StringField(item, itemPos);
            break;
        case TFieldKind::Byte:
        case TFieldKind::Index: {
            std::optional<int32_t> n;
            if (fd.Role == TFieldRole::Flag && trimmed == fd.Name)
                n = 1;
            else if (trimmed.starts_with("#"))
                n = ParseInt(trimmed.substr(1));
            else if (trimmed.empty())
                n = 0;
            if (!n) Error(lineNo_, Column(itemPos), std::string("expected ") + fd.Name + " or #NUMBER");
            field.Num = n.value_or(0);
            break;
        }
        case TFieldKind::ExprList: {
            if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') {
                Error(lineNo_, Column(itemPos), "expected [A, B, ...]");
                break;
            }
            std::string_view inside = trimmed.substr(1, trimmed.size() - 2);
            if (!Trim(inside).empty())
                for (auto [piece, pa] : SplitTopLevel(inside, ','))
                    field.List.push_back(Expression(piece, itemPos + pa));
            break;
        }
        default:
            break;
        }
    }
    if (fieldOf(TFieldRole::PageRef) >= 0 && !proto.Ref.Used)
        Error(lineNo_, Column(restPos), std::string(def.Keyword) + " needs a page reference");
}

// Labels of other pages and the loop structure.
void TCompiler::Resolve(std::vector<TPageProto>& pages)
{
    for (TPageProto& page : pages) {
        fileName_ = page.Source->FileName;
        // Loops: a while closes at the next loop of the same indent.
        struct TOpen
        {
            size_t While;
            uint32_t Indent;
        };
        std::vector<TOpen> open;
        std::vector<std::vector<size_t>> pendingJumps; // break/continue per open loop
        for (size_t i = 0; i < page.Commands.size(); ++i) {
            TProto& c = page.Commands[i];
            const int32_t here = static_cast<int32_t>(i);
            if (c.Code == ccWhile) {
                open.push_back({i, c.Indent});
                pendingJumps.emplace_back();
            } else if (c.Code == ccWhileLoop) {
                if (open.empty() || open.back().Indent != c.Indent) {
                    if (!c.LoopOverride)
                        Error(c.SourceLine, 1, "loop without a while at the same indentation");
                } else {
                    TProto& head = page.Commands[open.back().While];
                    if (!head.LoopOverride) head.Fields[1].Num = here + 1;
                    c.Fields[1].Num = static_cast<int32_t>(open.back().While);
                    for (size_t j : pendingJumps.back()) {
                        TProto& jump = page.Commands[j];
                        jump.Fields[1].Num = jump.Code == ccBreak ? here + 1 : here;
                    }
                    open.pop_back();
                    pendingJumps.pop_back();
                }
            } else if ((c.Code == ccBreak || c.Code == ccContinue) && !c.LoopOverride) {
                if (open.empty())
                    Error(c.SourceLine, 1, std::string(CommandDef(c.Code).Keyword) + " outside a loop");
                else
                    pendingJumps.back().push_back(i);
            }
            if (c.LoopOverride &&
                (c.Code == ccWhile || c.Code == ccWhileLoop || c.Code == ccBreak || c.Code == ccContinue))
                c.Fields[1].Num = *c.LoopOverride;
        }
        for (const TOpen& o : open)
            if (!page.Commands[o.While].LoopOverride)
                Error(page.Commands[o.While].SourceLine, 1, "while without a closing loop");
        // Page references.
        for (TProto& c : page.Commands) {
            if (!c.Ref.Used) continue;
            if (c.Ref.Page == "\x01") c.Ref.Page = page.Name;
            int32_t index = c.Ref.Index.value_or(0);
            if (c.Ref.HasLabel) {
                const TPageProto* target = nullptr;
                for (const TPageProto& p : pages)
                    if (p.Name == c.Ref.Page) target = &p;
                if (!target)
                    for (const TPageProto& p : pages)
                        if (SameText(p.Name, c.Ref.Page)) target = &p;
                if (!target) {
                    Error(c.SourceLine, c.Ref.Column,
                          "page \"" + Cp932ToUtf8(c.Ref.Page) +
                              "\" is not among the sources; use PAGE:#POSITION");
                } else if (auto it = target->Labels.find(c.Ref.Label); it == target->Labels.end()) {
                    Error(c.SourceLine, c.Ref.Column,
                          "no label \"" + Cp932ToUtf8(c.Ref.Label) + "\" in " + Cp932ToUtf8(target->Name));
                } else {
                    index = it->second;
                }
            }
            const TCommandDef& def = CommandDef(c.Code);
            for (size_t f = 0; f < def.Fields.size(); ++f) {
                if (def.Fields[f].Role == TFieldRole::PageRef) c.Fields[f].Str = c.Ref.Page;
                if (def.Fields[f].Role == TFieldRole::PageIndex) c.Fields[f].Num = index;
            }
        }
    }
}

std::vector<uint8_t> TCompiler::Build(const TPageProto& proto)
{
    TPage page;
    page.Name = proto.Name;
    page.Version = proto.Version;
    page.ResultType = proto.ResultType;
    page.MaskRecordCount = proto.MaskRecords;
    for (const auto& [code, ids] : proto.DeclaredMasks)
        for (int id : ids)
            page.SetMask(code, id, true);
    for (const TProto& c : proto.Commands)
        for (const auto& prop : c.Props)
            page.SetMask(c.Code, prop.first, true);
    for (const auto& [code, bytes] : proto.RawMasks)
        std::copy(bytes.begin(), bytes.end(), page.Masks.begin() + code * MaskRecordSize);
    auto load = [](TExpr& e, const std::vector<uint8_t>& bytes) {
        TKwBigMemoryStream s(bytes);
        e.LoadFromStream(s);
    };
    for (const TProto& c : proto.Commands) {
        std::unique_ptr<TCommand> command = CreateCommand(page.Commands, c.Code);
        command->Indent = c.Indent;
        command->Disabled = c.Disabled;
        command->Continue = c.Continue;
        command->Line = c.Line;
        for (size_t f = 0; f < c.Fields.size(); ++f) {
            TField& field = command->Fields[f];
            const TProtoField& src = c.Fields[f];
            field.Present = page.Version >= command->Def().Fields[f].SinceVersion;
            load(field.Expr, src.Expr);
            field.Str = src.Str;
            field.Num = src.Num;
            field.List.clear();
            for (const auto& bytes : src.List) {
                field.List.emplace_back();
                load(field.List.back(), bytes);
            }
        }
        for (const auto& [id, bytes] : c.Props) {
            TExpr* prop = command->Prop(id);
            if (!prop) {
                Error(c.SourceLine, 1, std::string(PropertyNames[id]) + " is not in this page's mask");
                continue;
            }
            load(*prop, bytes);
        }
        page.Commands.Add(std::move(command));
    }
    return page.SaveToBytes();
}

} // namespace

bool CompileScenarios(const std::vector<TScenarioSource>& sources, std::vector<TCompiledPage>& pages,
                      std::vector<TScenarioError>& errors)
{
    pages.clear();
    const size_t before = errors.size();
    TCompiler compiler(errors);
    std::vector<TPageProto> protos(sources.size());
    for (size_t i = 0; i < sources.size(); ++i)
        compiler.ParseSource(sources[i], protos[i]);
    compiler.Resolve(protos);
    if (errors.size() != before) return false;
    std::vector<TCompiledPage> built;
    for (const TPageProto& proto : protos)
        built.push_back({proto.Name, compiler.Build(proto)});
    if (errors.size() != before) return false;
    pages = std::move(built);
    return true;
}

} // namespace ruko
