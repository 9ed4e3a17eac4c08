#pragma once
// The command table: for every command code 0..60 its class name, its source keyword and the
// fields its record stores after the common record, with the page version each field appeared
// in. The page reader, the page writer, the source compiler and the dumper all walk this table,
// so a field is described once.
#include <cstdint>
#include <string_view>
#include <vector>

namespace ruko {

constexpr int CommandCodeCount = 61;

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

// Codes the control flow refers to.
enum TCommandCode : int
{
    ccIf = 0,
    ccElseif = 1,
    ccElse = 2,
    ccLabel = 3,
    ccJump = 4,
    ccCall = 5,
    ccExit = 6,
    ccWait = 7,
    ccBoxNew = 8,
    ccImgNew = 9,
    ccMesNew = 10,
    ccTimer = 11,
    ccMovie = 12,
    ccFlip = 13,
    ccCalc = 14,
    ccVarNew = 15,
    ccVarDel = 16,
    ccGetProp = 17,
    ccSetProp = 18,
    ccObjDel = 19,
    ccTextIns = 20,
    ccMovieStop = 21,
    ccClrHist = 22,
    ccCinema = 23,
    ccCaption = 24,
    ccMenu = 25,
    ccMenuClose = 26,
    ccComment = 27,
    ccTextClr = 28,
    ccCallHist = 29,
    ccBtnNew = 30,
    ccWhile = 31,
    ccWhileInit = 32,
    ccWhileLoop = 33,
    ccBreak = 34,
    ccContinue = 35,
    ccParticleNew = 36,
    ccFireNew = 37,
    ccGameSave = 38,
    ccGameLoad = 39,
    ccPCReset = 40,
    ccReset = 41,
    ccSound = 42,
    ccEditNew = 43,
    ccMemoNew = 44,
    ccTerminate = 45,
    ccDoEvent = 46,
    ccClrRead = 47,
    ccMapImgNew = 48,
    ccWaveNew = 49,
    ccTileNew = 50,
    ccSliderNew = 51,
    ccScrollbarNew = 52,
    ccGaugeNew = 53,
    ccCGCaption = 54,
    ccMediaPlay = 55,
    ccPrevMenuNew = 56,
    ccPropMotion = 57,
    ccEntryHist = 58,
    ccCabinetSave = 59,
    ccCabinetLoad = 60
};

} // namespace ruko
