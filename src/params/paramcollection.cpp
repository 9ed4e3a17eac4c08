#include "params/paramcollection.h"
#include "params/steprules.h"

#include "base/error.h"
#include "base/text.h"
#include "io/fields.h"

#include <algorithm>
#include <atomic>
#include <unordered_set>

namespace ruko {

TParamCollection* ParamMan = nullptr;

namespace {

std::string FoldName(std::string_view name)
{
    return LowerCaseText(name);
}

// The folded form of a name in a reused buffer: lookups run for every operand of every step, so
// they should not allocate. Only single-byte A-Z fold; trail bytes stay as they are.
const std::string& FoldForLookup(std::string_view name)
{
    static thread_local std::string folded;
    folded.assign(name);
    for (size_t pos = 0; pos < folded.size();) {
        size_t length = CharLength(folded, pos);
        if (length == 1 && folded[pos] >= 'A' && folded[pos] <= 'Z')
            folded[pos] = static_cast<char>(folded[pos] - 'A' + 'a');
        pos += length;
    }
    return folded;
}

// SameText for temporaries, with a quick answer for the usual cases: byte-equal names, and names
// that differ in a byte no folding could reconcile (folding only ever touches ASCII letters).
bool SameTempName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    bool exact = true;
    for (size_t k = 0; k < a.size(); ++k) {
        char x = a[k], y = b[k];
        if (x == y) continue;
        exact = false;
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(x) != lower(y)) return false;
    }
    return exact || SameText(a, b);
}

// The class code a value is written and re-created under: references are 0 even when bound
// (their forwarded type code would make the loader read their record as elements).
uint8_t ClassCode(const TCustomParam& value)
{
    return value.StorageKind() == ptVar ? uint8_t{ptVar} : value.GetVarType();
}

std::unique_ptr<TCustomParam> CreateForLoad(uint8_t code)
{
    std::unique_ptr<TCustomParam> value = CreateParamByType(code);
    if (!value) RaiseDamaged();
    return value;
}

// Smallest item record: type code, empty name, and the shortest value record and trailer.
constexpr int64_t MinItemBytes = 1 + 4 + 8 + 7;

uint64_t NextGeneration()
{
    static std::atomic<uint64_t> counter{0};
    return ++counter;
}

} // namespace

// --- TParamCollectionItem ---

void TParamCollectionItem::SetName(const std::string& name)
{
    if (name.empty() || name.find(' ') != std::string::npos || (name[0] >= '0' && name[0] <= '9'))
        RaiseError(FormatText(Utf8ToCp932("\"%s\"：変数名が不正です").c_str(), name.c_str()));
    if (owner_) owner_->UnindexName(*this);
    name_ = name;
    if (owner_) owner_->IndexName(*this);
}

void TParamCollectionItem::CreateValue(uint8_t code)
{
    std::unique_ptr<TCustomParam> value = CreateParamByType(code);
    if (!value || (code & 0x7F) != code)
        RaiseError(FormatText(Utf8ToCp932("%d:不正な変数です").c_str(), code));
    Value = std::move(value);
}

bool TParamCollectionItem::IsSystem() const
{
    // Plain values and references answer without the type search: this runs for every variable
    // whenever a call returns.
    return Value->StorageKind() == TCustomParam::OtherStorage &&
           dynamic_cast<const TParamSystem*>(Value.get()) != nullptr;
}

void TParamCollectionItem::SaveItem(TKwBigStream& s) const
{
    WriteStr(s, name_);
    Value->SaveToStream(s);
    WriteByte(s, Persistent);
    WriteByte(s, SpareFlag);
    WriteInt(s, ScopeId);
    WriteByte(s, Local);
}

void TParamCollectionItem::LoadItem(TKwBigStream& s)
{
    std::string name = ReadStr(s);
    if (name.empty()) {
        CreateForLoad(ClassCode(*Value))->LoadFromStream(s);
    } else {
        SetName(name);
        Value->LoadFromStream(s);
    }
    Persistent = ReadByte(s);
    SpareFlag = ReadByte(s);
    ScopeId = ReadInt(s);
    Local = ReadByte(s);
}

void TParamCollectionItem::ConvertFrom(const TCustomParam& src)
{
    std::vector<int32_t> extents;
    for (int32_t d = 0; d < src.GetDimCount(); ++d)
        extents.push_back(src.GetDim(d));
    TCustomParam& target = *Value;
    target.SetDims(extents);
    uint8_t code = target.GetVarType();
    for (int32_t i = 0, n = src.GetCount(); i < n; ++i) {
        switch (code) {
        case ptInt:
            target.SetIntAt(i, src.GetIntAt(i));
            break;
        case ptFloat:
            target.SetFloatAt(i, src.GetFloatAt(i));
            break;
        case ptFlag:
            target.SetFlagAt(i, src.GetFlagAt(i));
            break;
        case ptStr:
            target.SetStrAt(i, src.GetStrAt(i));
            break;
        default:
            return;
        }
    }
}

// --- TParamCollection ---

TParamCollection::TParamCollection() : id_(NextGeneration())
{
    for (int row = 0; row < SystemVariableCount; ++row) {
        auto item = std::make_shared<TParamCollectionItem>(
            std::make_unique<TParamSystem>(static_cast<uint8_t>(row), *this));
        item->owner_ = this;
        items_.push_back(item);
        item->SetName(SystemVariables[row].Name);
    }
}

TParamCollection::~TParamCollection()
{
    for (const TParamItemPtr& item : items_)
        item->owner_ = nullptr;
}

void TParamCollection::IndexName(TParamCollectionItem& item)
{
    generation_ = NextGeneration();
    if (!item.name_.empty()) index_[FoldName(item.name_)].push_back(&item);
}

void TParamCollection::UnindexName(TParamCollectionItem& item)
{
    generation_ = NextGeneration();
    if (item.name_.empty()) return;
    auto found = index_.find(FoldName(item.name_));
    if (found == index_.end()) return;
    std::erase(found->second, &item);
}

TParamCollectionItem* TParamCollection::Find(std::string_view name) const
{
    if (!frames_.empty() && steprules::IsTempName(name)) {
        const std::vector<TParamCollectionItem*>& temps = frames_.back()->items_;
        for (auto it = temps.rbegin(); it != temps.rend(); ++it)
            if (SameTempName((*it)->name_, name)) return *it;
    }
    auto found = index_.find(FoldForLookup(name));
    return found == index_.end() ? nullptr : Visible(found->second);
}

TParamCollectionItem* TParamCollection::FindIndexed(std::string_view name, TNameRef& place) const
{
    if (place.Store != id_) {
        place.Named = &index_[FoldName(name)];
        place.Store = id_;
    }
    return Visible(*place.Named);
}

TParamCollectionItem* TParamCollection::Visible(const std::vector<TParamCollectionItem*>& named) const
{
    // The newest local of the current depth wins; otherwise the oldest global.
    TParamCollectionItem* global = nullptr;
    for (auto it = named.rbegin(); it != named.rend(); ++it) {
        TParamCollectionItem* item = *it;
        if (item->Local) {
            if (item->ScopeId == CurrentScope) return item;
        } else {
            global = item;
        }
    }
    return global;
}

TParamCollectionItem* TParamCollection::FindDeclared(std::string_view name, bool local) const
{
    auto found = index_.find(FoldForLookup(name));
    if (found == index_.end()) return nullptr;
    const std::vector<TParamCollectionItem*>& named = found->second;
    if (local) {
        for (auto it = named.rbegin(); it != named.rend(); ++it)
            if ((*it)->Local && (*it)->ScopeId == CurrentScope) return *it;
        return nullptr;
    }
    for (TParamCollectionItem* item : named)
        if (!item->Local) return item;
    return nullptr;
}

TParamCollectionItem& TParamCollection::AddVariable(uint8_t code)
{
    auto item = std::make_shared<TParamCollectionItem>(nullptr);
    item->CreateValue(code);
    item->owner_ = this;
    items_.push_back(item);
    return *item;
}

TParamCollectionItem& TParamCollection::AddVariable(uint8_t code, const std::string& name)
{
    auto item = std::make_shared<TParamCollectionItem>(nullptr);
    item->CreateValue(code);
    item->SetName(name);
    item->owner_ = this;
    items_.push_back(item);
    IndexName(*item);
    return *item;
}

void TParamCollection::Remove(TParamCollectionItem& item)
{
    if (item.IsSystem() || item.owner_ != this) return;
    for (size_t i = items_.size(); i-- > 0;) {
        if (items_[i].get() == &item) {
            UnindexName(item);
            item.owner_ = nullptr;
            items_.erase(items_.begin() + static_cast<ptrdiff_t>(i));
            return;
        }
    }
}

void TParamCollection::RemoveWhere(const std::function<bool(const TParamCollectionItem&)>& doomed)
{
    // Removing moves the generation on (UnindexName); a pass that removes nothing, as most call
    // returns do, leaves remembered lookups valid.
    std::erase_if(items_, [&](const TParamItemPtr& item) {
        if (!doomed(*item) || item->IsSystem()) return false;
        UnindexName(*item);
        item->owner_ = nullptr;
        return true;
    });
}

std::unique_ptr<TCustomParam> TParamCollection::Snapshot(std::string_view name) const
{
    TParamCollectionItem* item = Find(name);
    if (!item) return nullptr;
    uint8_t code = item->Value->GetVarType();
    if (code < ptInt || code > ptStr)
        RaiseError(FormatText(Utf8ToCp932("%s:不正な変数です").c_str(), std::string(name).c_str()));
    if (ClassCode(*item->Value) == code && !item->IsSystem()) return item->Value->Clone();
    return CopyAsKind(*item->Value, code);
}

void TParamCollection::DeleteScope(int32_t id)
{
    RemoveWhere([id](const TParamCollectionItem& item) { return item.ScopeId == id; });
}

void TParamCollection::WriteItems(TKwBigStream& s, bool persistent) const
{
    std::vector<TParamCollectionItem*> remaining;
    for (const TParamItemPtr& item : items_)
        if (!item->IsSystem() && (item->Persistent != 0) == persistent) remaining.push_back(item.get());
    WriteU32(s, static_cast<uint32_t>(remaining.size()));

    // A reference is written after the variable it refers to, so the loader can bind it by name.
    std::unordered_set<std::string> written;
    auto writeOne = [&](TParamCollectionItem* item) {
        WriteByte(s, ClassCode(*item->Value));
        item->SaveItem(s);
        written.insert(FoldName(item->Name()));
    };
    while (!remaining.empty()) {
        bool progress = false;
        for (size_t i = remaining.size(); i-- > 0;) {
            TParamCollectionItem* item = remaining[i];
            if (auto* ref = dynamic_cast<TParamVar*>(item->Value.get())) {
                TParamItemPtr target = ref->Target.lock();
                if (target && !written.count(FoldName(target->Name()))) continue;
            }
            writeOne(item);
            remaining.erase(remaining.begin() + static_cast<ptrdiff_t>(i));
            progress = true;
        }
        // Targets outside this group (system or persistent variables) or reference cycles: the
        // rest goes out as it is; the loader binds each by name to whatever exists then.
        if (!progress) {
            for (size_t i = remaining.size(); i-- > 0;)
                writeOne(remaining[i]);
            remaining.clear();
        }
    }
}

std::vector<TParamItemPtr> TParamCollection::ReadItems(TKwBigStream& s) const
{
    uint32_t count = ReadU32(s);
    CheckCount(s, count, MinItemBytes);
    std::vector<TParamItemPtr> loaded;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t code = ReadByte(s);
        auto item = std::make_shared<TParamCollectionItem>(CreateForLoad(code));
        item->LoadItem(s);
        if (!item->Name().empty()) loaded.push_back(std::move(item));
    }
    return loaded;
}

void TParamCollection::Commit(std::vector<TParamItemPtr> loaded)
{
    for (TParamItemPtr& item : loaded) {
        item->owner_ = this;
        IndexName(*item);
        items_.push_back(item);
    }
    BindLoaded(loaded);
}

void TParamCollection::BindLoaded(const std::vector<TParamItemPtr>& loaded)
{
    for (const TParamItemPtr& item : loaded) {
        if (auto* ref = dynamic_cast<TParamVar*>(item->Value.get())) {
            if (!ref->LoadedTargetName.empty())
                if (TParamCollectionItem* target = Find(ref->LoadedTargetName))
                    ref->Target = target->shared_from_this();
        }
    }
}

void TParamCollection::SaveVariables(TKwBigStream& s) const
{
    WriteItems(s, false);
    WriteInt(s, TextDelay);
    WriteStr(s, Cursor);
    WriteStr(s, SelStr);
    WriteInt(s, SelIndex);
    WriteStr(s, TempName);
    WriteInt(s, static_cast<int32_t>(PushedSets.size()));
    for (const std::vector<uint8_t>& set : PushedSets)
        WriteExact(s, set.data(), static_cast<int64_t>(set.size()));
}

namespace {

// Reads one pushed set in place (i32 count, then type code, name and value record each) and
// returns its bytes.
std::vector<uint8_t> ReadPushedSet(TKwBigStream& s)
{
    int64_t start = s.GetPosition();
    int32_t count = ReadInt(s);
    CheckCount(s, count, 4 + 4 + 8);
    for (int32_t i = 0; i < count; ++i) {
        int32_t code = ReadInt(s);
        if (code < ptInt || code > ptStr) RaiseDamaged();
        ReadStr(s);
        CreateForLoad(static_cast<uint8_t>(code))->LoadFromStream(s);
    }
    int64_t end = s.GetPosition();
    std::vector<uint8_t> bytes(static_cast<size_t>(end - start));
    s.SetPosition(start);
    ReadExact(s, bytes.data(), end - start);
    return bytes;
}

} // namespace

void TParamCollection::LoadVariables(TKwBigStream& s, int32_t version)
{
    CommitVariables(ReadVariables(s, version));
}

TParamCollection::TVariablesLoad TParamCollection::ReadVariables(TKwBigStream& s, int32_t version) const
{
    TVariablesLoad load;
    load.Version = version;
    load.Items = ReadItems(s);
    load.TextDelay = ReadInt(s);
    load.Cursor = ReadStr(s);
    if (version > 102) {
        load.SelStr = ReadStr(s);
        load.SelIndex = ReadInt(s);
    }
    if (version > 112 && version < 135) {
        TLegacyHistoryMetrics m;
        m.FontHeight = ReadInt(s);
        m.FontBorder = ReadInt(s);
        m.FontShadow = ReadInt(s);
        m.Width = ReadInt(s);
        m.Height = ReadInt(s);
        m.LineSpace = ReadInt(s);
        load.Metrics = m;
    }
    if (version > 120) load.TempName = ReadStr(s);
    if (version >= 139) {
        int32_t count = ReadInt(s);
        CheckCount(s, count, 4);
        for (int32_t i = 0; i < count; ++i)
            load.Pushed.push_back(ReadPushedSet(s));
    }
    return load;
}

void TParamCollection::CommitVariables(TVariablesLoad load)
{
    RemoveWhere([](const TParamCollectionItem& item) { return !item.Persistent; });
    Commit(std::move(load.Items));
    TextDelay = load.TextDelay;
    Cursor = std::move(load.Cursor);
    if (load.Version > 102) {
        SelStr = std::move(load.SelStr);
        SelIndex = load.SelIndex;
    }
    LoadedHistoryMetrics = load.Metrics;
    if (load.Version > 120) TempName = std::move(load.TempName);
    PushedSets = std::move(load.Pushed);
}

void TParamCollection::SavePersistent(TKwBigStream& s) const
{
    WriteItems(s, true);
}

void TParamCollection::LoadPersistent(TKwBigStream& s, int32_t version)
{
    CommitPersistent(ReadPersistent(s, version));
}

TParamCollection::TPersistentLoad TParamCollection::ReadPersistent(TKwBigStream& s, int32_t) const
{
    return TPersistentLoad{ReadItems(s)};
}

void TParamCollection::CommitPersistent(TPersistentLoad load)
{
    // Persistent variables declared by the project exist before their saved values are read; a
    // saved value fills the declared variable instead of hiding behind it as a second one.
    std::vector<TParamItemPtr> added, filled;
    for (TParamItemPtr& item : load.Items) {
        TParamCollectionItem* declared = FindDeclared(item->Name(), false);
        if (declared && declared->Persistent && !declared->IsSystem()) {
            declared->Value = std::move(item->Value);
            declared->SpareFlag = item->SpareFlag;
            filled.push_back(declared->shared_from_this());
        } else {
            added.push_back(std::move(item));
        }
    }
    Commit(std::move(added));
    BindLoaded(filled);
}

void TParamCollection::ClearVariables()
{
    RemoveWhere([](const TParamCollectionItem& item) { return !item.Persistent; });
    TextDelay = 50;
    Cursor.clear();
}

void TParamCollection::PushVariables(const std::vector<std::string>& names)
{
    std::vector<TParamCollectionItem*> pushed;
    for (const std::string& name : names) {
        TParamCollectionItem* item = Find(name);
        if (item && !item->IsSystem() && ClassCode(*item->Value) != ptVar) pushed.push_back(item);
    }
    TKwBigMemoryStream set;
    WriteInt(set, static_cast<int32_t>(pushed.size()));
    for (TParamCollectionItem* item : pushed) {
        WriteInt(set, item->Value->GetVarType());
        WriteStr(set, item->Name());
        item->Value->SaveToStream(set);
    }
    PushedSets.push_back(set.TakeBytes());
}

bool TParamCollection::PopVariables()
{
    if (PushedSets.empty()) return false;
    struct TPopped
    {
        uint8_t code;
        std::string name;
        std::unique_ptr<TCustomParam> value;
    };
    std::vector<TPopped> popped;
    {
        TKwBigMemoryStream set(std::move(PushedSets.back()));
        PushedSets.pop_back();
        int32_t count = ReadInt(set);
        CheckCount(set, count, 4 + 4 + 8);
        for (int32_t i = 0; i < count; ++i) {
            int32_t code = ReadInt(set);
            if (code < ptInt || code > ptStr) RaiseDamaged();
            TPopped entry{static_cast<uint8_t>(code), ReadStr(set),
                          CreateForLoad(static_cast<uint8_t>(code))};
            entry.value->LoadFromStream(set);
            popped.push_back(std::move(entry));
        }
    }
    for (TPopped& entry : popped) {
        TParamCollectionItem* item = Find(entry.name);
        if (item && item->IsSystem()) continue;
        if (item && ClassCode(*item->Value) != entry.code) {
            Remove(*item);
            item = Find(entry.name);
            if (item && (item->IsSystem() || ClassCode(*item->Value) != entry.code)) continue;
        }
        if (!item) item = &AddVariable(entry.code, entry.name);
        item->Value = std::move(entry.value);
    }
    return true;
}

void TParamCollection::LowerScopesAbove(int32_t depth)
{
    for (TParamItemPtr& item : items_)
        if (!item->IsSystem() && item->ScopeId > depth) --item->ScopeId;
    ScopesChanged();
}

void TParamCollection::ScopesChanged()
{
    generation_ = NextGeneration();
}

// --- temporaries ---

TParamCollection::TTempFrame::TTempFrame(TParamCollection& store) : TTempFrame(store, own_) {}

TParamCollection::TTempFrame::TTempFrame(TParamCollection& store, std::vector<TParamCollectionItem*>& items)
    : store_(store), items_(items)
{
    items_.clear();
    store_.frames_.push_back(this);
}

TParamCollection::TTempFrame::~TTempFrame()
{
    store_.frames_.pop_back();
    items_.clear();
}

TParamCollectionItem& TParamCollection::AddTemporary(std::unique_ptr<TCustomParam> value,
                                                     const std::string& name)
{
    TParamItemPtr item = MakeTemporary(std::move(value), name);
    AddTemporary(*item);
    frames_.back()->owned_.push_back(item);
    return *item;
}

TParamItemPtr TParamCollection::MakeTemporary(std::unique_ptr<TCustomParam> value,
                                              const std::string& name) const
{
    auto item = std::make_shared<TParamCollectionItem>(std::move(value));
    item->name_ = name;
    return item;
}

void TParamCollection::AddTemporary(TParamCollectionItem& item)
{
    if (frames_.empty()) RaiseError(Utf8ToCp932("内部エラー"));
    frames_.back()->items_.push_back(&item);
}

} // namespace ruko
