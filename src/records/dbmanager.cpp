#include "records/dbmanager.h"

#include "base/text.h"
#include "io/fields.h"

#include <algorithm>

namespace ruko {

TDBManager* DBManager = nullptr;

namespace {

constexpr uint32_t StreamVersion = 100;

// Copies of rows of `table`, taken before any append, so a table copied into itself never reads
// rows that move.
struct TRowCopies
{
    size_t Size = 0;  // bytes a row
    size_t Count = 0; // rows
    std::vector<uint8_t> Bytes;
};

TRowCopies Snapshot(TDBTable& table, const std::vector<int32_t>& rows)
{
    TRowCopies copies;
    copies.Size = table.Fields.RecordSize();
    copies.Bytes.reserve(rows.size() * copies.Size);
    for (int32_t row : rows)
        if (const uint8_t* record = table.RecordAt(row)) {
            copies.Bytes.insert(copies.Bytes.end(), record, record + copies.Size);
            ++copies.Count;
        }
    return copies;
}

void AppendRows(TDBTable& table, const TRowCopies& rows)
{
    for (size_t i = 0; i < rows.Count; ++i) {
        if (!table.Append()) return;
        std::copy_n(rows.Bytes.data() + i * rows.Size, rows.Size, table.CurrentRecord());
    }
}

} // namespace

int32_t TDBManager::IndexOf(std::string_view name) const
{
    for (size_t i = 0; i < tables_.size(); ++i)
        if (SameText(tables_[i]->Name, name)) return static_cast<int32_t>(i);
    return -1;
}

TDBTable* TDBManager::Find(std::string_view name) const
{
    const int32_t i = IndexOf(name);
    return i < 0 ? nullptr : tables_[static_cast<size_t>(i)].get();
}

TDBTable* TDBManager::ActiveTable() const
{
    if (Active < 0 || Active >= TableCount()) return nullptr;
    return tables_[static_cast<size_t>(Active)].get();
}

int32_t TDBManager::CreateTable(const std::string& name, bool persistent)
{
    if (name.empty()) return -1;
    const int32_t existing = IndexOf(name);
    if (existing >= 0) {
        Active = existing;
        if (!persistent) tables_[static_cast<size_t>(existing)]->Clear();
        return existing;
    }
    auto table = std::make_unique<TDBTable>();
    table->Name = name;
    table->Persistent = persistent;
    tables_.push_back(std::move(table));
    Active = TableCount() - 1;
    return Active;
}

bool TDBManager::SetActive(const std::string& name)
{
    const int32_t i = IndexOf(name);
    if (i < 0) return false;
    Active = i;
    return true;
}

bool TDBManager::DeleteTable(const std::string& name)
{
    const int32_t i = IndexOf(name);
    if (i < 0) return false;
    const TDBTable* active = ActiveTable();
    tables_.erase(tables_.begin() + i);
    Active = -1;
    for (size_t k = 0; k < tables_.size(); ++k)
        if (tables_[k].get() == active) Active = static_cast<int32_t>(k);
    return true;
}

std::optional<TDBManager::TFound> TDBManager::FindDirect(std::string_view tableName,
                                                         const TCustomParam* names,
                                                         const TCustomParam* values, bool ignoreCase,
                                                         bool partial, std::string_view fieldName) const
{
    TDBTable* table = Find(tableName);
    if (!table) return std::nullopt;
    std::vector<int32_t> rows;
    table->Select(rows, names, values, ignoreCase, partial);
    if (rows.empty()) return std::nullopt;
    return TFound{table, rows.front(), table->Fields.IndexOf(fieldName)};
}

bool TDBManager::CopyRowsTo(const std::string& target, const std::vector<int32_t>& rows)
{
    TDBTable* active = ActiveTable();
    TDBTable* to = Find(target);
    if (!active || !to || to == active) return false;
    to->Clear();
    to->Fields.AssignFrom(active->Fields);
    AppendRows(*to, Snapshot(*active, rows));
    return true;
}

bool TDBManager::InsertRowsFrom(const std::string& source, const std::vector<int32_t>& rows)
{
    TDBTable* active = ActiveTable();
    TDBTable* from = Find(source);
    if (!active || !from || !from->Fields.SameAs(active->Fields)) return false;
    AppendRows(*active, Snapshot(*from, rows));
    return true;
}

bool TDBManager::CopyCurrentTo(const std::string& target)
{
    TDBTable* active = ActiveTable();
    TDBTable* to = Find(target);
    if (!active || !to || !to->Fields.SameAs(active->Fields) || !active->CurrentRecord()) return false;
    // Taken before Append: with the active table as target, Append makes the new record current.
    AppendRows(*to, Snapshot(*active, {active->RecNo}));
    return true;
}

void TDBManager::RemoveGameTables()
{
    Active = -1;
    std::erase_if(tables_, [](const std::unique_ptr<TDBTable>& t) { return t->Persistent == 0; });
}

void TDBManager::Clear()
{
    tables_.clear();
    Active = -1;
}

void TDBManager::SaveToStream(TKwBigStream& s, bool persistent) const
{
    const uint8_t flag = persistent ? 1 : 0;
    WriteU32(s, StreamVersion);
    const auto count =
        std::count_if(tables_.begin(), tables_.end(),
                      [flag](const std::unique_ptr<TDBTable>& t) { return t->Persistent == flag; });
    WriteU32(s, static_cast<uint32_t>(count));
    for (const std::unique_ptr<TDBTable>& t : tables_) {
        if (t->Persistent != flag) continue;
        WriteByte(s, t->TableKind());
        t->SaveToStream(s);
    }
    if (!persistent) {
        const TDBTable* active = ActiveTable();
        WriteStr(s, active ? active->Name : std::string());
    }
}

void TDBManager::LoadFromStream(TKwBigStream& s, bool persistent)
{
    Commit(ReadFromStream(s, persistent));
}

TDBManager::TLoadedTables TDBManager::ReadFromStream(TKwBigStream& s, bool persistent)
{
    constexpr int64_t MinTableBytes = 1 + 4 + 1 + 4 + 4 + 4;
    TLoadedTables loaded;
    loaded.Persistent = persistent;
    const uint32_t version = ReadU32(s);
    const uint32_t count = ReadU32(s);
    CheckCount(s, count, MinTableBytes);
    for (uint32_t i = 0; i < count; ++i) {
        ReadByte(s); // the table kind: there is only one
        auto table = std::make_unique<TDBTable>();
        table->LoadFromStream(s, version);
        table->Persistent = persistent ? 1 : 0; // the form decides, whatever the record says
        loaded.Tables.push_back(std::move(table));
    }
    if (!persistent) loaded.ActiveName = ReadStr(s);
    return loaded;
}

void TDBManager::Commit(TLoadedTables loaded)
{
    const uint8_t flag = loaded.Persistent ? 1 : 0;
    const bool any = !loaded.Tables.empty();
    std::erase_if(tables_, [flag](const std::unique_ptr<TDBTable>& t) { return t->Persistent == flag; });
    for (std::unique_ptr<TDBTable>& t : loaded.Tables)
        tables_.push_back(std::move(t));
    if (loaded.Persistent)
        Active = any ? TableCount() - 1 : -1;
    else
        Active = loaded.ActiveName.empty() ? -1 : IndexOf(loaded.ActiveName);
}

} // namespace ruko
