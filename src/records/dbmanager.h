#pragma once
// The tables a title keeps, by name (ignoring case; the first of equal names wins), and the
// active table most DB… functions work on. Persistent tables go with the title-wide status and
// survive a reset; game tables go with each saved game.
#include "records/dbtable.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ruko {

class TDBManager
{
  public:
    // -1 for an empty name. An existing table becomes active and, unless `persistent`, is
    // emptied of fields and records; its own flag stays.
    int32_t CreateTable(const std::string& name, bool persistent);
    bool SetActive(const std::string& name);
    bool DeleteTable(const std::string& name);
    int32_t IndexOf(std::string_view name) const;
    TDBTable* Find(std::string_view name) const;
    TDBTable* ActiveTable() const;

    struct TFound
    {
        TDBTable* Table;
        int32_t Record;
        int32_t Field; // -1 when the table has no such field
    };
    // The first record of table `tableName` that matches; neither the active table nor any
    // current record changes.
    std::optional<TFound> FindDirect(std::string_view tableName, const TCustomParam* names,
                                     const TCustomParam* values, bool ignoreCase, bool partial,
                                     std::string_view fieldName) const;
    // Replaces table `target` (not the active one) by the active table's fields and `rows`.
    bool CopyRowsTo(const std::string& target, const std::vector<int32_t>& rows);
    // Appends `rows` of table `source` (same fields) to the active table.
    bool InsertRowsFrom(const std::string& source, const std::vector<int32_t>& rows);
    // Appends a copy of the active table's current record to table `target` (same fields).
    bool CopyCurrentTo(const std::string& target);
    void RemoveGameTables();
    void Clear();

    // The tables whose Persistent equals `persistent`; the game form (false) ends with the
    // active table's name.
    void SaveToStream(TKwBigStream& s, bool persistent) const;
    // Replaces the tables of that kind by those read; raises the damaged-file error and changes
    // nothing when the bytes do not make sound tables.
    void LoadFromStream(TKwBigStream& s, bool persistent);
    // LoadFromStream in two halves: the read makes fresh tables and changes nothing, the commit
    // cannot fail, so a record holding more than the tables commits them with the rest.
    struct TLoadedTables
    {
        bool Persistent = false;
        std::vector<std::unique_ptr<TDBTable>> Tables;
        std::string ActiveName; // the game form's active table
    };
    static TLoadedTables ReadFromStream(TKwBigStream& s, bool persistent);
    void Commit(TLoadedTables loaded);

    int32_t TableCount() const { return static_cast<int32_t>(tables_.size()); }
    TDBTable& Table(int32_t i) const { return *tables_[static_cast<size_t>(i)]; }
    int32_t Active = -1;

  private:
    std::vector<std::unique_ptr<TDBTable>> tables_;
};

// The one table manager of the run, owned by the shell's run objects; null outside the run.
extern TDBManager* DBManager;

} // namespace ruko
