#include "engine/page.h"

#include "base/error.h"
#include "base/text.h"
#include "engine/comfactory.h"
#include "engine/propnames.h"
#include "io/fields.h"

#include <algorithm>
#include <utility>

namespace ruko {

namespace {

// Smallest stored sizes, for checking counts against what remains before allocating.
constexpr int64_t CommonRecordSize = 4 + 1 + 1 + 4;
constexpr int64_t MinCommandSize = 1 + CommonRecordSize;
constexpr int64_t MinExprSize = 4;

} // namespace

TCommand::TCommand(TComList& owner, int code) : owner_(&owner), code_(code)
{
    const TCommandDef& def = Def();
    Fields.resize(def.Fields.size());
    if (def.CreatesComponent) {
        const TPage& page = owner.Page();
        size_t count = 0;
        for (int id = 0; id < PropertyCount; ++id)
            count += page.MaskHas(code, id);
        Props.reserve(count);
        for (int id = 0; id < PropertyCount; ++id)
            if (page.MaskHas(code, id)) Props.push_back({id, TExpr()});
    }
}

const TExpr* TCommand::Prop(int id) const
{
    auto it = std::lower_bound(Props.begin(), Props.end(), id,
                               [](const TPropExpr& prop, int wanted) { return prop.Id < wanted; });
    return it != Props.end() && it->Id == id ? &it->Expr : nullptr;
}

TExpr* TCommand::Prop(int id)
{
    return const_cast<TExpr*>(std::as_const(*this).Prop(id));
}

TCommand::~TCommand() = default;

TPage& TCommand::OwnerPage() const
{
    return owner_->Page();
}

bool TCommand::GetContinue() const
{
    int fixed = Def().ContinueOverride;
    return fixed < 0 ? Continue : fixed != 0;
}

bool TCommand::GetDisabled() const
{
    return Def().AlwaysDisabled || Disabled;
}

bool TCommand::IsLabel(std::string_view) const
{
    return false;
}

void TCommand::LoadFromStream(TKwBigStream& s)
{
    const int version = OwnerPage().Version;
    Indent = ReadU32(s);
    Disabled = ReadByte(s) != 0;
    Continue = ReadByte(s) != 0;
    Line = ReadU32(s);
    const TCommandDef& def = Def();
    for (size_t i = 0; i < def.Fields.size(); ++i) {
        const TFieldDef& fd = def.Fields[i];
        TField& field = Fields[i];
        field.Present = version >= fd.SinceVersion;
        if (!field.Present) continue;
        switch (fd.Kind) {
        case TFieldKind::Expr:
            field.Expr.LoadFromStream(s);
            break;
        case TFieldKind::Str:
        case TFieldKind::Text:
            field.Str = ReadStr(s);
            break;
        case TFieldKind::Index:
            field.Num = ReadInt(s);
            break;
        case TFieldKind::Byte:
            field.Num = ReadByte(s);
            break;
        case TFieldKind::ExprList: {
            uint32_t count = ReadU32(s);
            CheckCount(s, count, MinExprSize);
            field.List.clear();
            // One at a time: what the list costs grows with what is actually read.
            for (uint32_t n = 0; n < count; ++n)
                field.List.emplace_back().LoadFromStream(s);
            break;
        }
        case TFieldKind::Props:
            for (TPropExpr& prop : Props)
                prop.Expr.LoadFromStream(s);
            break;
        }
    }
}

void TCommand::SaveToStream(TKwBigStream& s) const
{
    WriteU32(s, Indent);
    WriteByte(s, Disabled ? 1 : 0);
    WriteByte(s, Continue ? 1 : 0);
    WriteU32(s, Line);
    const TCommandDef& def = Def();
    const int version = OwnerPage().Version;
    for (size_t i = 0; i < def.Fields.size(); ++i) {
        const TFieldDef& fd = def.Fields[i];
        const TField& field = Fields[i];
        if (version < fd.SinceVersion) continue;
        switch (fd.Kind) {
        case TFieldKind::Expr:
            field.Expr.SaveToStream(s);
            break;
        case TFieldKind::Str:
        case TFieldKind::Text:
            WriteStr(s, field.Str);
            break;
        case TFieldKind::Index:
            WriteInt(s, field.Num);
            break;
        case TFieldKind::Byte:
            WriteByte(s, static_cast<uint8_t>(field.Num));
            break;
        case TFieldKind::ExprList:
            WriteU32(s, static_cast<uint32_t>(field.List.size()));
            for (const TExpr& e : field.List)
                e.SaveToStream(s);
            break;
        case TFieldKind::Props:
            for (const TPropExpr& prop : Props)
                prop.Expr.SaveToStream(s);
            break;
        }
    }
}

int TComList::FindLabel(std::string_view name) const
{
    for (int i = 0; i < Count(); ++i)
        if (items_[static_cast<size_t>(i)]->IsLabel(name)) return i;
    return -1;
}

TPage::TPage() : Commands(*this) {}

TPage::~TPage() = default;

bool TPage::MaskHas(int code, int propId) const
{
    if (code < 0 || code >= CommandCodeCount || propId < 0 || propId >= PropertyCount) return false;
    return (Masks[static_cast<size_t>(code * MaskRecordSize + propId / 8)] >> (propId % 8)) & 1;
}

void TPage::SetMask(int code, int propId, bool on)
{
    if (code < 0 || code >= CommandCodeCount || propId < 0 || propId >= PropertyCount) return;
    uint8_t& byte = Masks[static_cast<size_t>(code * MaskRecordSize + propId / 8)];
    const uint8_t bit = static_cast<uint8_t>(1u << (propId % 8));
    byte = on ? static_cast<uint8_t>(byte | bit) : static_cast<uint8_t>(byte & ~bit);
}

void TPage::LoadFromBytes(const std::string& name, const std::vector<uint8_t>& bytes)
{
    Name = name;
    TKwBigMemoryStream s(bytes);
    LoadFromStream(s);
}

void TPage::LoadFromStream(TKwBigStream& s)
{
    Commands.Clear();
    Masks.fill(0);
    try {
        Version = ReadInt(s);
        if (Version > NewestPageVersion) return;
        if (Version < OldestPageVersion) RaiseError(RebuildMessage(Name));
        ResultType = ReadByte(s);
        const uint32_t recordCount = ReadU32(s);
        const uint32_t recordSize = ReadU32(s);
        // The records must all be there; nothing is allocated for them (a size without records
        // costs nothing, however large).
        if (recordCount > 0 && recordSize > s.Remaining() / recordCount) RaiseDamaged();
        MaskRecordCount = static_cast<int>(std::min<uint32_t>(recordCount, CommandCodeCount));
        for (int i = 0; i < MaskRecordCount; ++i) {
            const int64_t next = s.GetPosition() + recordSize;
            // A record longer than one mask also covers the masks of the following codes until
            // their own records arrive; what falls past the table is skipped.
            const size_t start = static_cast<size_t>(i) * MaskRecordSize;
            const size_t n = std::min<size_t>(recordSize, MaskTableSize - start);
            ReadExact(s, Masks.data() + start, static_cast<int64_t>(n));
            s.SetPosition(next);
        }
        // Records past the last code are skipped whole (empty ones, however many, at once).
        s.SetPosition(s.GetPosition() + static_cast<int64_t>(recordCount - MaskRecordCount) * recordSize);
        const uint32_t commandCount = ReadU32(s);
        CheckCount(s, commandCount, MinCommandSize);
        for (uint32_t i = 0; i < commandCount; ++i) {
            const uint8_t code = ReadByte(s);
            std::unique_ptr<TCommand> command = CreateCommand(Commands, code);
            command->LoadFromStream(s);
            Commands.Add(std::move(command));
        }
    } catch (...) {
        Commands.Clear();
        throw;
    }
}

void TPage::SaveToStream(TKwBigStream& s) const
{
    WriteInt(s, Version);
    if (Version > NewestPageVersion) return;
    WriteByte(s, ResultType);
    WriteU32(s, static_cast<uint32_t>(MaskRecordCount));
    WriteU32(s, MaskRecordSize);
    WriteExact(s, Masks.data(), static_cast<int64_t>(MaskRecordCount) * MaskRecordSize);
    WriteU32(s, static_cast<uint32_t>(Commands.Count()));
    for (int i = 0; i < Commands.Count(); ++i) {
        WriteByte(s, static_cast<uint8_t>(Commands[i].GetCode()));
        Commands[i].SaveToStream(s);
    }
}

std::vector<uint8_t> TPage::SaveToBytes() const
{
    TKwBigMemoryStream s;
    SaveToStream(s);
    return s.TakeBytes();
}

bool PageNeedsRebuild(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < 4) return false;
    const uint32_t version =
        uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
    return static_cast<int32_t>(version) < OldestPageVersion;
}

std::string RebuildMessage(const std::string& pageName)
{
    return pageName + Utf8ToCp932("\r\nリビルドしてください");
}

std::unique_ptr<TCommand> CreateCommand(TComList& list, int code)
{
    code &= 0x7F;
    if (code >= CommandCodeCount) RaiseError(Utf8ToCp932("不正なコマンド"));
    return MakeCommand(list, code);
}

} // namespace ruko
