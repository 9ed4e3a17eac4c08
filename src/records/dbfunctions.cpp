#include "records/dbfunctions.h"

#include "archive/vrfiles.h"
#include "base/text.h"
#include "params/paramcollection.h"

#include <array>
#include <string_view>

namespace ruko {

namespace {

// A table file larger than this is refused rather than read into memory.
constexpr int64_t MaxTableFileBytes = int64_t{1} << 26;

using TTableBody = void (*)(TDBManager&, TFuncCall&, const TTableFiles&);

const TCustomParam* OptionalArg(const TFuncCall& call, size_t i)
{
    return i < call.ArgCount() ? &call.Arg(i) : nullptr;
}

bool FlagArg(const TFuncCall& call, size_t i)
{
    const TCustomParam* arg = OptionalArg(call, i);
    return arg && arg->GetFlag();
}

TCustomParam& Result(TFuncCall& call)
{
    return *call.Result.Value;
}

// What a function answers when it has nothing to work on: false, 0, 0.0 or "" by its kind.
void SetZero(TFuncCall& call)
{
    switch (BuiltinFunctions[call.Row].ResultKind) {
    case ptFlag:
        Result(call).SetFlag(false);
        break;
    case ptFloat:
        Result(call).SetFloat(0);
        break;
    case ptStr:
        Result(call).SetStr(std::string());
        break;
    default:
        Result(call).SetInt(0);
        break;
    }
}

bool ReadField(TDBTable& table, int32_t record, int32_t field, uint8_t kind, TCustomParam& out)
{
    switch (kind) {
    case ptInt: {
        int32_t v = 0;
        if (!table.GetInt(record, field, v)) return false;
        out.SetInt(v);
        return true;
    }
    case ptFloat: {
        Extended v = 0;
        if (!table.GetFloat(record, field, v)) return false;
        out.SetFloat(v);
        return true;
    }
    case ptFlag: {
        bool v = false;
        if (!table.GetBool(record, field, v)) return false;
        out.SetFlag(v);
        return true;
    }
    case ptStr: {
        std::string v;
        if (!table.GetStr(record, field, v)) return false;
        out.SetStr(v);
        return true;
    }
    default:
        return false;
    }
}

bool WriteField(TDBTable& table, int32_t record, int32_t field, uint8_t kind, const TCustomParam& value)
{
    switch (kind) {
    case ptInt:
        return table.SetInt(record, field, value.GetInt());
    case ptFloat:
        return table.SetFloat(record, field, value.GetFloat());
    case ptFlag:
        return table.SetBool(record, field, value.GetFlag());
    case ptStr:
        return table.SetStr(record, field, value.GetStr());
    default:
        return false;
    }
}

// The records of `table` that match the criteria in arguments first .. first + 3 (names, values,
// ignoreCase, partial); every record when names or values is absent.
std::vector<int32_t> SelectByArgs(TDBTable& table, const TFuncCall& call, size_t first)
{
    std::vector<int32_t> rows;
    table.Select(rows, OptionalArg(call, first), OptionalArg(call, first + 1), FlagArg(call, first + 2),
                 FlagArg(call, first + 3));
    return rows;
}

// --- bodies ---

void CreateTableBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    Result(call).SetFlag(db.CreateTable(call.Arg(0).GetStr(), call.Arg(1).GetFlag()) >= 0);
}

void SetActiveBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    Result(call).SetFlag(db.SetActive(call.Arg(0).GetStr()));
}

void AddFieldBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    TDBTable* table = db.ActiveTable();
    if (!table) return SetZero(call);
    const TCustomParam* length = OptionalArg(call, 2);
    Result(call).SetFlag(table->Fields.AddField(call.Arg(0).GetStr(), call.Arg(1).GetInt(),
                                                length ? length->GetInt() : 0) >= 0);
}

void SetRecNoBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    TDBTable* table = db.ActiveTable();
    if (!table) return SetZero(call);
    Result(call).SetFlag(table->SetRecNo(call.Arg(0).GetInt()));
}

void InsertBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    TDBTable* table = db.ActiveTable();
    if (!table) return SetZero(call);
    if (!table->Append()) return SetZero(call);
    for (size_t i = 0; i < call.ArgCount(); ++i)
        WriteField(*table, table->RecNo, static_cast<int32_t>(std::min<size_t>(i, INT32_MAX)),
                   call.Arg(i).GetVarType(), call.Arg(i));
    Result(call).SetFlag(true);
}

void DeleteBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    TDBTable* table = db.ActiveTable();
    if (!table || !table->CurrentRecord()) return SetZero(call);
    Result(call).SetFlag(table->Delete());
}

template <uint8_t Kind> void GetBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    TDBTable* table = db.ActiveTable();
    if (!table ||
        !ReadField(*table, table->RecNo, table->Fields.IndexOf(call.Arg(0).GetStr()), Kind, Result(call)))
        SetZero(call);
}

template <uint8_t Kind> void SetBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    TDBTable* table = db.ActiveTable();
    if (!table || !table->CurrentRecord()) return SetZero(call);
    Result(call).SetFlag(
        WriteField(*table, table->RecNo, table->Fields.IndexOf(call.Arg(0).GetStr()), Kind, call.Arg(1)));
}

void RecordCountBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    const TDBTable* table = call.ArgCount() > 0 ? db.Find(call.Arg(0).GetStr()) : db.ActiveTable();
    Result(call).SetInt(table ? table->RecordCount() : -1);
}

template <bool (TDBTable::*Move)()> void MoveBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    TDBTable* table = db.ActiveTable();
    if (!table) return SetZero(call);
    Result(call).SetFlag((table->*Move)());
}

void LocateBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    TDBTable* table = db.ActiveTable();
    if (!table) return SetZero(call);
    std::vector<int32_t> rows;
    table->Select(rows, &call.Arg(0), &call.Arg(1), FlagArg(call, 2), FlagArg(call, 3));
    if (!rows.empty()) table->RecNo = rows.front();
    Result(call).SetFlag(!rows.empty());
}

void LoadTsvFileBody(TDBManager& db, TFuncCall& call, const TTableFiles& files)
{
    TDBTable* table = db.ActiveTable();
    if (!table) return SetZero(call);
    std::optional<std::string> text = ReadTableFile(files, call.Arg(0).GetStr());
    Result(call).SetFlag(text && table->LoadFromStrings(SplitLines(*text)));
}

// Stores `value` into `out` read as `kind`.
void AssignAs(uint8_t kind, TCustomParam& out, const TCustomParam& value)
{
    switch (kind) {
    case ptInt:
        out.SetInt(value.GetInt());
        break;
    case ptFloat:
        out.SetFloat(value.GetFloat());
        break;
    case ptFlag:
        out.SetFlag(value.GetFlag());
        break;
    default:
        out.SetStr(value.GetStr());
        break;
    }
}

std::optional<TDBManager::TFound> FindDirectByArgs(const TDBManager& db, const TFuncCall& call)
{
    return db.FindDirect(call.Arg(0).GetStr(), &call.Arg(1), &call.Arg(2), call.Arg(3).GetFlag(),
                         call.Arg(4).GetFlag(), call.Arg(5).GetStr());
}

template <uint8_t Kind> void DirectGetBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    auto found = FindDirectByArgs(db, call);
    if (!found || !ReadField(*found->Table, found->Record, found->Field, Kind, Result(call)))
        AssignAs(Kind, Result(call), call.Arg(6));
}

template <uint8_t Kind> void DirectSetBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    auto found = FindDirectByArgs(db, call);
    Result(call).SetFlag(found && WriteField(*found->Table, found->Record, found->Field, Kind, call.Arg(6)));
}

void CopyTableBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    TDBTable* table = db.ActiveTable();
    if (!table) return SetZero(call);
    Result(call).SetFlag(db.CopyRowsTo(call.Arg(0).GetStr(), SelectByArgs(*table, call, 1)));
}

void InsertTableBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    TDBTable* source = db.Find(call.Arg(0).GetStr());
    if (!db.ActiveTable() || !source) return SetZero(call);
    Result(call).SetFlag(db.InsertRowsFrom(call.Arg(0).GetStr(), SelectByArgs(*source, call, 1)));
}

void DeleteTableBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    if (call.ArgCount() > 0) return Result(call).SetFlag(db.DeleteTable(call.Arg(0).GetStr()));
    const TDBTable* table = db.ActiveTable();
    Result(call).SetFlag(table && db.DeleteTable(table->Name));
}

void CopyBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    TDBTable* table = db.ActiveTable();
    if (!table || !table->CurrentRecord()) return SetZero(call);
    Result(call).SetFlag(db.CopyCurrentTo(call.Arg(0).GetStr()));
}

void ClearTableBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    db.Clear();
    Result(call).SetFlag(false);
}

void SortBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    TDBTable* table = db.ActiveTable();
    if (!table || call.ArgCount() < 2) return SetZero(call);
    table->Sort(call.Arg(0), call.Arg(1));
    Result(call).SetFlag(true);
}

void GetActiveBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    const TDBTable* table = db.ActiveTable();
    Result(call).SetStr(table ? table->Name : std::string());
}

void GetRecNoBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    const TDBTable* table = db.ActiveTable();
    Result(call).SetInt(table ? table->RecNo : -1);
}

void ClearRecordBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    TDBTable* table = call.ArgCount() > 0 ? db.Find(call.Arg(0).GetStr()) : db.ActiveTable();
    if (table) table->ClearRecords();
    Result(call).SetFlag(table != nullptr);
}

void GetTableCountBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    Result(call).SetInt(db.TableCount());
}

void GetTableBody(TDBManager& db, TFuncCall& call, const TTableFiles&)
{
    const int32_t i = call.Arg(0).GetInt();
    if (call.ArgCount() < 2 || i < 0 || i >= db.TableCount()) return SetZero(call);
    const TDBTable& table = db.Table(i);
    call.Arg(1).SetStr(table.Name);
    if (call.ArgCount() >= 3) call.Arg(2).SetFlag(table.Persistent != 0);
    Result(call).SetFlag(true);
}

struct TTableRow
{
    const char* Name;
    TTableBody Body;
};

constexpr TTableRow TableRows[] = {
    {"DBCreateTable", CreateTableBody},
    {"DBSetActive", SetActiveBody},
    {"DBAddField", AddFieldBody},
    {"DBSetRecNo", SetRecNoBody},
    {"DBInsert", InsertBody},
    {"DBDelete", DeleteBody},
    {"DBGetInt", GetBody<ptInt>},
    {"DBSetInt", SetBody<ptInt>},
    {"DBGetFloat", GetBody<ptFloat>},
    {"DBSetFloat", SetBody<ptFloat>},
    {"DBGetBool", GetBody<ptFlag>},
    {"DBSetBool", SetBody<ptFlag>},
    {"DBGetStr", GetBody<ptStr>},
    {"DBSetStr", SetBody<ptStr>},
    {"DBRecordCount", RecordCountBody},
    {"DBFindFirst", MoveBody<&TDBTable::First>},
    {"DBFindLast", MoveBody<&TDBTable::Last>},
    {"DBFindNext", MoveBody<&TDBTable::Next>},
    {"DBFindPrior", MoveBody<&TDBTable::Prior>},
    {"DBLocate", LocateBody},
    {"DBLoadTsvFile", LoadTsvFileBody},
    {"DBDirectGetInt", DirectGetBody<ptInt>},
    {"DBDirectSetInt", DirectSetBody<ptInt>},
    {"DBDirectGetFloat", DirectGetBody<ptFloat>},
    {"DBDirectSetFloat", DirectSetBody<ptFloat>},
    {"DBDirectGetBool", DirectGetBody<ptFlag>},
    {"DBDirectSetBool", DirectSetBody<ptFlag>},
    {"DBDirectGetStr", DirectGetBody<ptStr>},
    {"DBDirectSetStr", DirectSetBody<ptStr>},
    {"DBCopyTable", CopyTableBody},
    {"DBDeleteTable", DeleteTableBody},
    {"DBInsertTable", InsertTableBody},
    {"DBCopy", CopyBody},
    {"DBClearTable", ClearTableBody},
    {"DBSort", SortBody},
    {"DBGetActive", GetActiveBody},
    {"DBGetRecNo", GetRecNoBody},
    {"DBClearRecord", ClearRecordBody},
    {"DBGetTableCount", GetTableCountBody},
    {"DBGetTable", GetTableBody},
};

// Bodies by row, looked up from the names so row numbers stay written only in the function table.
const std::array<TTableBody, BuiltinFunctionCount>& BodiesByRow()
{
    static const std::array<TTableBody, BuiltinFunctionCount> bodies = [] {
        std::array<TTableBody, BuiltinFunctionCount> byRow{};
        for (const TTableRow& row : TableRows)
            if (int i = FindBuiltinFunction(row.Name); i >= 0) byRow[static_cast<size_t>(i)] = row.Body;
        return byRow;
    }();
    return bodies;
}

} // namespace

std::optional<std::string> ReadTableFile(const TTableFiles& files, const std::string& name)
{
    if (!files.Files || name.empty()) return std::nullopt;
    if (!(files.Available ? files.Available(name) : files.Files->Exists(name))) return std::nullopt;
    std::unique_ptr<TRangeStream> stream = files.Files->OpenRange(name);
    if (!stream || stream->GetSize() <= 0 || stream->GetSize() > MaxTableFileBytes) return std::nullopt;
    std::string text(static_cast<size_t>(stream->GetSize()), '\0');
    if (stream->Read(text.data(), stream->GetSize()) != stream->GetSize()) return std::nullopt;
    return text;
}

void CallTableFunction(TDBManager& tables, TFuncCall& call, const TTableFiles& files)
{
    if (call.Row < 0 || call.Row >= BuiltinFunctionCount) return;
    if (TTableBody body = BodiesByRow()[static_cast<size_t>(call.Row)]) body(tables, call, files);
}

} // namespace ruko
