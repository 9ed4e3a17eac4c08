// Tables from untrusted bytes: the two stream forms of the table manager and table files. A
// stream either loads completely or raises and leaves the manager as it was; what loads saves and
// loads again to the same bytes, and survives a sort, a search and reading every field.
#include "base/error.h"
#include "base/text.h"
#include "io/bigstream.h"
#include "params/param.h"
#include "records/dbmanager.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace ruko;

void Exercise(TDBTable& table)
{
    TParamStr names, values;
    TParamFlag descending;
    names.Data.clear();
    for (int32_t f = 0; f < table.Fields.Count() && f < 4; ++f)
        names.Data.push_back(table.Fields[f].Name);
    if (names.Data.empty()) names.Data.push_back("x");
    descending.Data.assign(names.Data.size(), 1);
    table.Sort(names, descending);
    values.Data.assign(names.Data.size(), "1");
    std::vector<int32_t> rows;
    table.Select(rows, &names, &values, true, true);
    for (int32_t r = 0; r < table.RecordCount() && r < 64; ++r)
        for (int32_t f = 0; f < table.Fields.Count(); ++f) {
            std::string s;
            int32_t i = 0;
            Extended x = 0;
            table.GetStr(r, f, s);
            table.GetInt(r, f, i);
            table.GetFloat(r, f, x);
            table.SetStr(r, f, s);
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const int mode = data[0] % 3;
    if (mode == 2) {
        TDBTable table;
        table.LoadFromStrings(SplitLines(std::string(reinterpret_cast<const char*>(data + 1), size - 1)));
        Exercise(table);
        return 0;
    }
    const bool persistent = mode == 1;
    TDBManager db;
    db.CreateTable("other", !persistent);
    TKwBigMemoryStream in(std::vector<uint8_t>(data + 1, data + size));
    try {
        db.LoadFromStream(in, persistent);
    } catch (const ERukoError&) {
        // A failed load must leave the manager as it was.
        if (db.TableCount() != 1 || db.Active != 0) std::abort();
        return 0;
    }
    TKwBigMemoryStream first;
    db.SaveToStream(first, persistent);
    first.SetPosition(0);
    TDBManager again;
    again.CreateTable("other", !persistent); // the saved active name may be this one
    again.LoadFromStream(first, persistent);
    TKwBigMemoryStream second;
    again.SaveToStream(second, persistent);
    if (first.Bytes() != second.Bytes()) std::abort();
    for (int32_t t = 0; t < db.TableCount(); ++t)
        Exercise(db.Table(t));
    return 0;
}
