#pragma once
// The built-in functions of the expression language: one fixed table of names, argument counts
// and result kinds (compiled steps store only the row number), and the dispatch slots that the
// subsystems owning each function's effect fill in. A row without a body leaves the result
// variable as it was, as a function with nothing to return does.
#include "params/param.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

class TParamCollection;
class TParamCollectionItem;

struct TBuiltinFunction
{
    const char* Name; // matched exactly and case-sensitively
    int8_t MinArgs;
    int8_t MaxArgs;     // -1: no maximum
    uint8_t ResultKind; // kind of the temporary receiving the result (1..4)
};

constexpr int BuiltinFunctionCount = 169;
extern const TBuiltinFunction BuiltinFunctions[BuiltinFunctionCount];

// Rows referred to by the expression code itself.
enum TBuiltinRow : uint8_t
{
    fnGetProp = 2,
    fnSetProp = 3,
    fnAssignTemp = 84,
    fnCalc = 136,
    fnPushVar = 155,
    fnPopVar = 156,
};

// Row of a function name, -1 when none.
int FindBuiltinFunction(std::string_view name);

// Component properties by id. The kind a GetProp result takes is entry id of PropertyKinds, read
// from the property table (params/proptable.h).
constexpr int PropertyCount = 171;
extern const std::array<uint8_t, PropertyCount> PropertyKinds;

// Implemented by the component list: properties of a component found by name. A missing component
// answers false and changes nothing.
class TPropertyAccess
{
  public:
    virtual ~TPropertyAccess() = default;
    virtual bool GetProperty(const std::string& component, int id, TCustomParam& result) = 0;
    virtual bool SetProperty(const std::string& component, int id, const TCustomParam& value) = 0;
};

// One call: the result variable and the step's operands (references already bound).
struct TFuncCall
{
    TParamCollection& Store;
    TParamCollectionItem& Result;
    const std::vector<std::unique_ptr<TCustomParam>>& Args;
    int Row;

    TCustomParam& Arg(size_t i) const { return *Args[i]; }
    size_t ArgCount() const { return Args.size(); }
};

using TBuiltinBody = std::function<void(TFuncCall&)>;

class TSysFuncMan
{
  public:
    // Installs the bodies the expression layer owns: GetProp/SetProp (through Properties),
    // AssignTemp, Calc, PushVar, PopVar.
    TSysFuncMan();

    void Register(int row, TBuiltinBody body);
    bool HasBody(int row) const;
    // Rows at or above the table size, and rows without a body, do nothing.
    void CallFunction(TFuncCall& call) const;

    TPropertyAccess* Properties = nullptr;

  private:
    std::vector<TBuiltinBody> bodies_;
};

// The process-wide dispatcher (not owned; the engine holds it); CurrentSysFuncs() falls back to a
// default one when none is set.
extern TSysFuncMan* SysFuncMan;
TSysFuncMan& CurrentSysFuncs();

} // namespace ruko
