#include "engine/comschema.h"

#include <string_view>

namespace ruko {

namespace {

using K = TFieldKind;
using R = TFieldRole;

constexpr int ContinueStored = -1, ContinueNever = 0, ContinueAlways = 1;
constexpr bool DisabledStored = false, DisabledAlways = true;

// Row i must describe code i: the page format and the factory index by position.
constexpr int RowCodes[] = {
#define COMMAND(code, ...) code,
#include "engine/commands.def"
};
static_assert(
    [] {
        for (int i = 0; i < CommandCodeCount; ++i)
            if (RowCodes[i] != i) return false;
        return true;
    }(),
    "commands.def: row i must have code i");

TCommandDef Row(int code, const char* className, const char* keyword, std::vector<TFieldDef> fields,
                int continueRule, bool alwaysDisabled)
{
    bool component = false;
    for (const TFieldDef& f : fields)
        component |= f.Kind == K::Props;
    return {code, className, keyword, std::move(fields), continueRule, alwaysDisabled, component};
}

std::vector<TCommandDef> BuildTable()
{
    return {
#define FIELD(kind, role, since, name)                                                                       \
    TFieldDef                                                                                                \
    {                                                                                                        \
        K::kind, R::role, since, name                                                                        \
    }
#define EXPR(id, name, since) FIELD(Expr, Value, since, name)
#define COND FIELD(Expr, Condition, 0, "if")
#define STR(id, name) FIELD(Str, Value, 0, name)
#define BYTE(id, name) FIELD(Byte, Value, 0, name)
#define FLAG(id, name) FIELD(Byte, Flag, 0, name)
#define REF FIELD(Str, PageRef, 0, "page")
#define REF_INDEX(since) FIELD(Index, PageIndex, since, "index")
#define LOOP(id, name) FIELD(Index, LoopIndex, 0, name)
#define LIST(id, name) FIELD(ExprList, Value, 0, name)
#define TEXT(id, name) FIELD(Text, Value, 0, name)
#define RESULT FIELD(Str, ResultVar, 0, "result")
#define ARGS FIELD(ExprList, CallArgs, 0, "args")
#define PROPS FIELD(Props, Value, 0, "properties")
#define COMMAND(code, token, keyword, continueRule, disabledRule, ...)                                       \
    Row(code, "TCom" #token, keyword, {__VA_ARGS__}, Continue##continueRule, Disabled##disabledRule),
#include "engine/commands.def"
#undef FIELD
    };
}

const std::vector<TCommandDef>& Table()
{
    static const std::vector<TCommandDef> table = BuildTable();
    return table;
}

} // namespace

const TCommandDef& CommandDef(int code)
{
    return Table().at(static_cast<size_t>(code));
}

int CommandCodeOf(std::string_view keyword)
{
    for (const TCommandDef& def : Table())
        if (keyword == def.Keyword) return def.Code;
    return -1;
}

} // namespace ruko
