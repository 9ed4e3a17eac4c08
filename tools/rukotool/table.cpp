// rukotool table: a table file (tab-separated, CP932) as DBLoadTsvFile reads it into a table.
#include "command.h"

#include "base/error.h"
#include "base/numtext.h"
#include "base/text.h"
#include "engine/dumpvars.h"
#include "io/bigstream.h"
#include "params/param.h"
#include "records/dbtable.h"

#include <cstdio>

namespace ruko::tool {

namespace {

const char* TypeName(uint8_t type)
{
    switch (type) {
    case ftInt:
        return "int";
    case ftFloat:
        return "float";
    case ftBool:
        return "bool";
    default:
        return "string";
    }
}

// A field of a record as JSON in the field's own kind.
std::string FieldJson(TDBTable& table, int32_t record, int32_t field)
{
    switch (table.Fields[field].FieldType) {
    case ftInt: {
        int32_t v = 0;
        table.GetInt(record, field, v);
        return IntToStr(v);
    }
    case ftFloat: {
        TParamFloat v;
        table.GetFloat(record, field, v.Data[0]);
        return ValueJson(v);
    }
    case ftBool: {
        bool v = false;
        table.GetBool(record, field, v);
        return v ? "true" : "false";
    }
    default: {
        std::string v;
        table.GetStr(record, field, v);
        return JsonString(v);
    }
    }
}

void PrintJson(TDBTable& table)
{
    std::string out = "{\n  \"fields\": [";
    for (int32_t f = 0; f < table.Fields.Count(); ++f) {
        const TDBField& field = table.Fields[f];
        out += std::string(f ? ",\n" : "\n") + "    {\"name\": " + JsonString(field.Name) + ", \"type\": \"" +
               TypeName(field.FieldType) + "\", \"size\": " + IntToStr(field.Size) + "}";
    }
    out += table.Fields.Count() ? "\n  ],\n  \"records\": [" : "],\n  \"records\": [";
    for (int32_t r = 0; r < table.RecordCount(); ++r) {
        out += std::string(r ? ",\n" : "\n") + "    [";
        for (int32_t f = 0; f < table.Fields.Count(); ++f)
            out += (f ? ", " : "") + FieldJson(table, r, f);
        out += "]";
    }
    out += table.RecordCount() ? "\n  ]\n}\n" : "]\n}\n";
    std::fputs(out.c_str(), stdout);
}

void PrintText(TDBTable& table)
{
    std::printf("%d fields, %d records\n", table.Fields.Count(), table.RecordCount());
    for (int32_t f = 0; f < table.Fields.Count(); ++f) {
        const TDBField& field = table.Fields[f];
        std::printf("  %s %s %u\n", Cp932ToUtf8(field.Name).c_str(), TypeName(field.FieldType), field.Size);
    }
    for (int32_t r = 0; r < table.RecordCount(); ++r) {
        std::string line;
        for (int32_t f = 0; f < table.Fields.Count(); ++f) {
            std::string v;
            table.GetStr(r, f, v);
            line += (f ? "\t" : "") + Cp932ToUtf8(v);
        }
        std::printf("%d\t%s\n", r, line.c_str());
    }
}

int Table(const std::vector<std::string>& args)
{
    std::string file;
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "--json")
            json = true;
        else if (file.empty())
            file = arg;
        else
            throw EUsage{"one table file expected"};
    }
    if (file.empty()) throw EUsage{"a table file is required"};
    TKwBigMemoryStream bytes;
    bytes.LoadFromFile(file);
    const std::string text(bytes.Bytes().begin(), bytes.Bytes().end());
    if (text.empty()) RaiseError(Utf8ToCp932(file + ": an empty file loads no table"));
    TDBTable table;
    if (!table.LoadFromStrings(SplitLines(text)))
        RaiseError(Utf8ToCp932(file + ": a header cell has no field name"));
    if (json)
        PrintJson(table);
    else
        PrintText(table);
    return 0;
}

const TToolCommandRegistrar tableCommand({"table", "table FILE.tsv [--json]",
                                          "the fields and records a table file loads", Table});

} // namespace

} // namespace ruko::tool
