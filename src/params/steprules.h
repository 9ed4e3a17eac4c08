#pragma once
// The rules of one step that both evaluators share (the step-by-step one over the stored form and
// the run-time form): which temporaries a step makes, the error texts, and the integer arithmetic.
// Written once so the two can never drift apart.
#include "base/error.h"
#include "base/text.h"
#include "params/functable.h"
#include "params/rukoparser.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ruko::steprules {

inline bool IsTempName(std::string_view name)
{
    return name.size() >= 4 && name.substr(0, 4) == "____";
}

// Clears the stored references' bindings however a step ends, so none outlives its step.
struct TOperandBindings
{
    std::vector<std::unique_ptr<TCustomParam>>& operands;
    ~TOperandBindings()
    {
        for (auto& operand : operands)
            if (operand && operand->StorageKind() == ptVar) static_cast<TParamVar&>(*operand).Target.reset();
    }
};

[[noreturn]] inline void RaiseMissing(const std::string& name)
{
    RaiseError(FormatText(Utf8ToCp932("\"%s\" 変数がありません").c_str(), name.c_str()));
}

[[noreturn]] inline void RaiseZeroDivide()
{
    RaiseError(Utf8ToCp932("0で除算しました"));
}

// "不正な式": a step no temporary can be made for, or a function row outside the table. The
// operands are read as they are bound at that moment.
[[noreturn]] inline void RaiseBadStep(const TOpeData& step)
{
    std::string message = Utf8ToCp932("不正な式\r\n\r\n代入先:") + step.Target + Utf8ToCp932("演算タイプ:") +
                          OpCodeName(step.Op);
    for (const auto& operand : step.Operands)
        message += "\r\n" + operand->GetStr();
    RaiseError(message);
}

// Kind of the temporary a step creates for its target (ptVar: an element reference). kindOf(k) is
// operand k's kind, propertyId() operand 1 read as an integer; each is asked only when the rule
// needs it, in operand order. Steps that cannot make one raise their error (after `bad()` for the
// operand-dependent message).
template <typename KindOf, typename PropertyId, typename Bad>
uint8_t TemporaryKind(uint8_t op, uint8_t row, KindOf kindOf, PropertyId propertyId, Bad bad)
{
    auto arithmetic = [&] {
        uint8_t a = kindOf(0);
        uint8_t b = kindOf(1);
        return a == ptFloat || b == ptFloat ? uint8_t{ptFloat} : uint8_t{ptInt};
    };
    switch (op) {
    case ocTo:
        return kindOf(0);
    case ocPlus:
        if (kindOf(0) == ptStr) return ptStr;
        return arithmetic();
    case ocMinus:
    case ocMul:
    case ocDiv:
        return arithmetic();
    case ocMod:
    case ocOr:
    case ocAnd:
    case ocXor:
    case ocShiftL:
    case ocShiftR:
        return ptInt;
    case ocDimTo:
        return ptVar;
    case ocFunc: {
        if (row >= BuiltinFunctionCount) {
            bad();
            return ptVar;
        }
        if (row == fnGetProp) {
            int32_t id = propertyId();
            if (id < 0 || id >= PropertyCount) RaiseError(Utf8ToCp932("GetPropの引数が違います"));
            return PropertyKinds[static_cast<size_t>(id)];
        }
        return BuiltinFunctions[row].ResultKind;
    }
    case ocEqual:
    case ocBig:
    case ocSmall:
    case ocEBig:
    case ocESmall:
    case ocNEqual:
        return ptFlag;
    case ocComboStr:
        return ptStr;
    default:
        bad();
        return ptVar;
    }
}

// Script integers wrap; the one quotient that does not fit stays INT_MIN, and the remainder by -1
// is 0 (never the trap the machine instruction gives).
inline int32_t IntArithmetic(uint8_t op, int32_t x, int32_t y)
{
    uint32_t ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
    switch (op) {
    case ocPlus:
        return static_cast<int32_t>(ux + uy);
    case ocMinus:
        return static_cast<int32_t>(ux - uy);
    case ocMul:
        return static_cast<int32_t>(ux * uy);
    case ocDiv:
        if (y == 0) RaiseZeroDivide();
        return y == -1 ? static_cast<int32_t>(0u - ux) : x / y;
    case ocMod:
        if (y == 0) RaiseZeroDivide();
        return y == -1 ? 0 : x % y;
    case ocOr:
        return x | y;
    case ocAnd:
        return x & y;
    case ocXor:
        return x ^ y;
    case ocShiftL:
        return static_cast<int32_t>(ux << (uy & 31));
    default: // ocShiftR: logical
        return static_cast<int32_t>(ux >> (uy & 31));
    }
}

inline Extended FloatArithmetic(uint8_t op, Extended x, Extended y)
{
    switch (op) {
    case ocPlus:
        return x + y;
    case ocMinus:
        return x - y;
    case ocMul:
        return x * y;
    default:
        if (y == 0) RaiseZeroDivide();
        return x / y;
    }
}

template <typename V> bool Compare(uint8_t op, const V& a, const V& b)
{
    switch (op) {
    case ocEqual:
        return a == b;
    case ocBig:
        return a > b;
    case ocSmall:
        return a < b;
    case ocEBig:
        return a >= b;
    case ocESmall:
        return a <= b;
    default:
        return a != b;
    }
}

} // namespace ruko::steprules
