#pragma once
// The command table: for every command code 0..60 its class name, its source keyword and the
// fields its record stores after the common record, with the page version each field appeared
// in, all written once in commands.def. The page reader, the page writer, the source compiler and
// the dumper walk this table, so a field is described once; the classes that run the commands
// are registered by code in comfactory.h.
#include <cstdint>
#include <string_view>
#include <vector>

namespace ruko {

// One row per code; the page format stores masks for exactly these 61.
constexpr int CommandCodeCount = 0
#define COMMAND(...) +1
#include "engine/commands.def"
    ;
static_assert(CommandCodeCount == 61);

enum class TFieldKind : uint8_t
{
    Expr,     // a compiled expression program
    Str,      // u32 length + bytes
    Index,    // u32 command position (signed in use: a negative target leaves the page)
    Byte,     // u8
    ExprList, // u32 count + that many expressions
    Text,     // u32 length + marked-up text bytes
    Props     // one expression per property whose bit is set in the page's mask for the code
};

// What a field means to the source language; most fields are plain positional values.
enum class TFieldRole : uint8_t
{
    Value,     // positional
    Condition, // written as a trailing "if EXPR" clause
    PageRef,   // page file of a "page:label" reference; the next field is its Index
    PageIndex, // command position within the referenced page
    LoopIndex, // computed from the block structure of while/loop/break/continue
    ResultVar, // "-> NAME" of a call
    CallArgs,  // "(a, b, ...)" of a call
    Flag       // a byte written as a keyword when set
};

struct TFieldDef
{
    TFieldKind Kind;
    TFieldRole Role;
    int SinceVersion; // present in pages of this version or later (0: always)
    const char* Name; // the field's name in sources and documents
};

struct TCommandDef
{
    int Code;
    const char* ClassName; // "TComIf", ...
    const char* Keyword;   // source keyword, lower case
    std::vector<TFieldDef> Fields;
    int ContinueOverride; // -1: the stored flag; 0/1: always that value
    bool AlwaysDisabled;
    bool CreatesComponent; // a component record (possibly among other fields)
};

// Code must be 0..60.
const TCommandDef& CommandDef(int code);
// Code of a source keyword (case-sensitive), -1 when unknown.
int CommandCodeOf(std::string_view keyword);

// Command codes by class token: ccIf = 0, ... (commands.def).
enum TCommandCode : int
{
#define COMMAND(code, token, ...) cc##token = code,
#include "engine/commands.def"
};

// The field positions of each command, as Def().Fields lists them: TComFields<ccWait>::Time.
template <int Code> struct TComFields;
#define EXPR(id, name, since) id
#define COND Condition
#define STR(id, name) id
#define BYTE(id, name) id
#define FLAG(id, name) id
#define REF Page
#define REF_INDEX(since) Target
#define LOOP(id, name) id
#define LIST(id, name) id
#define TEXT(id, name) id
#define RESULT Result
#define ARGS Args
#define PROPS Properties
#define COMMAND(code, token, keyword, continueRule, disabledRule, ...)                                       \
    template <> struct TComFields<code>                                                                      \
    {                                                                                                        \
        enum Id : int                                                                                        \
        {                                                                                                    \
            __VA_ARGS__                                                                                      \
        };                                                                                                   \
    };
#include "engine/commands.def"

} // namespace ruko
