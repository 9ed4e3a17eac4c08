#pragma once
// Compiled expression programs: short lists of three-address steps over named variables, as
// stored in page files and component data, run against the variable store.
#include "params/param.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

class TKwBigStream;
class TParamCollection;

enum TOpCode : uint8_t
{
    ocNone = 0,
    ocTo = 1,
    ocPlus = 2,
    ocMinus = 3,
    ocMul = 4,
    ocDiv = 5,
    ocMod = 6,
    ocOr = 7,
    ocAnd = 8,
    ocXor = 9,
    ocDimTo = 10,
    ocFunc = 11,
    ocEqual = 12,
    ocBig = 13,
    ocSmall = 14,
    ocEBig = 15,
    ocESmall = 16,
    ocShiftL = 17,
    ocShiftR = 18,
    ocComboStr = 19,
    ocNEqual = 20,
};

// "ocTo" ... "ocNEqual"; "" for codes above 20.
const char* OpCodeName(uint8_t op);

class TParamCollectionItem;

// A remembered lookup of a non-temporary name (see TParamCollection::Generation).
struct TLookupCache
{
    uint64_t Generation = 0;
    int32_t Scope = 0;
    TParamCollectionItem* Item = nullptr;
};

struct TOpeData
{
    uint8_t Op = ocNone;
    std::string Target;
    uint8_t FuncIndex = 0; // row of the built-in function table, for ocFunc
    std::vector<std::unique_ptr<TCustomParam>> Operands;
    // Filled while running: one entry per operand, then one for the target.
    std::vector<TLookupCache> Lookups;
};

// Nesting limit of programs running inside programs (Calc within Calc).
constexpr int MaxEvalNesting = 16;

class TRunForm;

class TRukoParser
{
  public:
    TRukoParser();
    ~TRukoParser();
    TRukoParser(TRukoParser&&) noexcept;
    TRukoParser& operator=(TRukoParser&&) noexcept;

    // Read while running; replaced only through LoadFromStream, Assign and Clear (or grown before
    // the first run), since the run-time form refers into them.
    std::vector<TOpeData> Steps;
    // Snapshot of "____arg" after the last Execute, or null.
    std::unique_ptr<TCustomParam> Result;
    // Message of the error that stopped the last Execute ("" when every step ran).
    std::string LastError;

    // Reads and validates a stored program; the parser is unchanged when it is damaged.
    void LoadFromStream(TKwBigStream& s);
    void SaveToStream(TKwBigStream& s) const;
    void Assign(const TRukoParser& other);
    void Clear();

    // Runs every step against the store. A failing step ends the run silently (the rest are
    // skipped); Result is still taken. Returns false when a step failed. Runs through the
    // program's run-time form, made at the first run.
    bool Execute(TParamCollection& store);
    bool Execute(); // against ParamMan
    // The same, step by step over the stored form: the reference the run-time form agrees with.
    bool ExecutePlain(TParamCollection& store);

  private:
    std::unique_ptr<TRunForm> form_;
};

// Compiles text into a program (parse, write, load); throws ERukoError with the compile error.
void CompileText(std::string_view text, TRukoParser& program);

// Trim, compile and run; false when the text is empty or does not compile.
bool EvalText(std::string_view text, TParamCollection& store);

// One line per step: "target := op operands" with operands written as kind:value.
std::string DumpProgram(const TRukoParser& program);

} // namespace ruko
