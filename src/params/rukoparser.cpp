#include "params/rukoparser.h"

#include "base/error.h"
#include "base/numtext.h"
#include "base/text.h"
#include "io/fields.h"
#include "params/buildparser.h"
#include "params/functable.h"
#include "params/paramcollection.h"
#include "params/runform.h"
#include "params/steprules.h"

#include <cmath>

namespace ruko {

namespace {

using namespace steprules;

const char* const OpCodeNames[] = {
    "ocNone",  "ocTo",   "ocPlus",   "ocMinus",  "ocMul",    "ocDiv",      "ocMod",
    "ocOr",    "ocAnd",  "ocXor",    "ocDimTo",  "ocFunc",   "ocEqual",    "ocBig",
    "ocSmall", "ocEBig", "ocESmall", "ocShiftL", "ocShiftR", "ocComboStr", "ocNEqual",
};

TParamVar* AsReference(TCustomParam* value)
{
    return value && value->StorageKind() == ptVar ? static_cast<TParamVar*>(value) : nullptr;
}

// Operand count a stored step must carry; -1 when any count is accepted.
int FixedOperandCount(uint8_t op)
{
    switch (op) {
    case ocTo:
        return 1;
    case ocPlus:
    case ocMinus:
    case ocMul:
    case ocDiv:
    case ocMod:
    case ocOr:
    case ocAnd:
    case ocXor:
    case ocEqual:
    case ocBig:
    case ocSmall:
    case ocEBig:
    case ocESmall:
    case ocShiftL:
    case ocShiftR:
    case ocComboStr:
    case ocNEqual:
        return 2;
    default:
        return -1;
    }
}

std::unique_ptr<TCustomParam> ReadOperand(TKwBigStream& s)
{
    uint8_t kind = ReadByte(s);
    switch (kind) {
    case ptInt: {
        auto value = std::make_unique<TParamInt>();
        value->Data[0] = ReadInt(s);
        return value;
    }
    case ptFloat: {
        auto value = std::make_unique<TParamFloat>();
        value->Data[0] = ReadExtended(s);
        return value;
    }
    case ptFlag: {
        auto value = std::make_unique<TParamFlag>();
        value->Data[0] = ReadByte(s) != 0;
        return value;
    }
    case ptStr: {
        auto value = std::make_unique<TParamStr>();
        value->Data[0] = ReadStr(s);
        return value;
    }
    default: {
        auto value = std::make_unique<TParamVar>();
        value->Name = ReadStr(s);
        return value;
    }
    }
}

void WriteOperand(TKwBigStream& s, const TCustomParam& operand)
{
    // A reference stays a reference even while bound: its forwarded kind would save a stale constant.
    if (auto* ref = dynamic_cast<const TParamVar*>(&operand)) {
        WriteByte(s, ptVar);
        WriteStr(s, ref->Name);
        return;
    }
    uint8_t kind = operand.GetVarType();
    switch (kind) {
    case ptInt:
        WriteByte(s, kind);
        WriteInt(s, operand.GetInt());
        break;
    case ptFloat:
        WriteByte(s, kind);
        WriteExtended(s, operand.GetFloat());
        break;
    case ptFlag:
        WriteByte(s, kind);
        WriteByte(s, operand.GetFlag() ? 1 : 0);
        break;
    case ptStr:
        WriteByte(s, kind);
        WriteStr(s, operand.GetStr());
        break;
    default:
        WriteByte(s, ptVar);
        WriteStr(s, std::string());
        break;
    }
}

void ValidateStep(const TOpeData& step)
{
    size_t count = step.Operands.size();
    int fixed = FixedOperandCount(step.Op);
    if (fixed >= 0 && count != static_cast<size_t>(fixed)) RaiseDamaged();
    if (step.Op == ocDimTo && count < 2) RaiseDamaged();
    // A row outside the table and a constant property number GetProp does not know still load:
    // they stop their own expression when it runs, so a page holding one in a branch never taken
    // works as it did for its author.
    if (step.Op == ocFunc && step.FuncIndex < BuiltinFunctionCount) {
        const TBuiltinFunction& function = BuiltinFunctions[step.FuncIndex];
        if (count < static_cast<size_t>(function.MinArgs) ||
            (function.MaxArgs >= 0 && count > static_cast<size_t>(function.MaxArgs)))
            RaiseDamaged();
    }
}

std::unique_ptr<TCustomParam> NewTemporary(TParamCollection& store, TOpeData& step)
{
    auto& ops = step.Operands;
    uint8_t kind = TemporaryKind(
        step.Op, step.FuncIndex, [&](size_t k) { return ops[k]->GetVarType(); },
        [&] { return ops.size() > 1 ? ops[1]->GetInt() : -1; }, [&] { RaiseBadStep(step); });
    if (kind != ptVar || step.Op != ocDimTo) return CreateParamByType(kind);
    auto* array = AsReference(ops[0].get());
    if (!array) RaiseMissing(ops[0]->GetStr());
    std::vector<int32_t> subscripts;
    for (size_t i = 1; i < ops.size(); ++i)
        subscripts.push_back(ops[i]->GetInt());
    auto element = std::make_unique<TParamVar>();
    element->Name = step.Target;
    element->BindElement(store, array->Name, subscripts);
    return element;
}

void ApplyArithmetic(uint8_t op, TCustomParam& target, const TCustomParam& a, const TCustomParam& b)
{
    if (target.GetVarType() == ptFloat) {
        Extended x = a.GetFloat();
        Extended y = b.GetFloat();
        target.SetFloat(FloatArithmetic(op, x, y));
    } else {
        int32_t x = a.GetInt();
        int32_t y = b.GetInt();
        target.SetInt(IntArithmetic(op, x, y));
    }
}

// Find, remembered per step for names that are not temporaries.
TParamCollectionItem* FindCached(TParamCollection& store, const std::string& name, TLookupCache& cache)
{
    if (IsTempName(name)) return store.Find(name);
    if (cache.Item && cache.Generation == store.Generation() && cache.Scope == store.CurrentScope)
        return cache.Item;
    TParamCollectionItem* item = store.Find(name);
    cache = {store.Generation(), store.CurrentScope, item};
    return item;
}

void RunStep(TParamCollection& store, TOpeData& step)
{
    auto& ops = step.Operands;
    TOperandBindings bindings{ops};
    if (step.Lookups.size() != ops.size() + 1) step.Lookups.assign(ops.size() + 1, TLookupCache());
    for (size_t k = 0; k < ops.size(); ++k) {
        auto* ref = AsReference(ops[k].get());
        if (!ref) continue;
        TParamCollectionItem* item = FindCached(store, ref->Name, step.Lookups[k]);
        if (!item) RaiseMissing(ref->Name);
        ref->Target = item->shared_from_this();
        auto* element = AsReference(item->Value.get());
        ref->Index = element ? element->Index : 0;
    }

    if (step.Op == ocFunc && step.FuncIndex >= BuiltinFunctionCount) RaiseBadStep(step);

    TParamCollectionItem* targetItem = FindCached(store, step.Target, step.Lookups.back());
    if (!targetItem && IsTempName(step.Target))
        targetItem = &store.AddTemporary(NewTemporary(store, step), step.Target);
    if (!targetItem) RaiseMissing(step.Target);
    // A function may free the very variable it writes its result to (PopVar replacing a variable
    // of another kind); the step keeps it alive until it is done with it.
    TParamItemPtr keepTarget = targetItem->shared_from_this();
    TCustomParam& target = *targetItem->Value;

    switch (step.Op) {
    case ocTo: {
        const TCustomParam& a = *ops[0];
        switch (target.GetVarType()) {
        case ptInt:
            target.SetInt(a.GetInt());
            break;
        case ptFloat:
            target.SetFloat(a.GetFloat());
            break;
        case ptFlag:
            target.SetFlag(a.GetFlag());
            break;
        case ptStr:
            target.SetStr(a.GetStr());
            break;
        default:
            break;
        }
        break;
    }
    case ocPlus:
    case ocMinus:
    case ocMul:
    case ocDiv:
        ApplyArithmetic(step.Op, target, *ops[0], *ops[1]);
        break;
    case ocMod:
    case ocOr:
    case ocAnd:
    case ocXor:
    case ocShiftL:
    case ocShiftR: {
        // Operands are read first to last, so of two failing reads the first one reports.
        int32_t x = ops[0]->GetInt();
        int32_t y = ops[1]->GetInt();
        target.SetInt(IntArithmetic(step.Op, x, y));
        break;
    }
    case ocComboStr: {
        std::string x = ops[0]->GetStr();
        target.SetStr(x + ops[1]->GetStr());
        break;
    }
    case ocEqual:
    case ocBig:
    case ocSmall:
    case ocEBig:
    case ocESmall:
    case ocNEqual: {
        const TCustomParam& a = *ops[0];
        const TCustomParam& b = *ops[1];
        bool outcome;
        switch (a.GetVarType()) {
        case ptStr: {
            // Ordinal, byte for byte (char_traits<char> compares as unsigned bytes).
            std::string x = a.GetStr();
            outcome = Compare(step.Op, x, b.GetStr());
            break;
        }
        case ptFloat: {
            Extended x = a.GetFloat();
            outcome = Compare(step.Op, x, b.GetFloat());
            break;
        }
        case ptFlag: {
            bool x = a.GetFlag();
            outcome = Compare(step.Op, x, b.GetFlag());
            break;
        }
        default: {
            int32_t x = a.GetInt();
            outcome = Compare(step.Op, x, b.GetInt());
            break;
        }
        }
        target.SetFlag(outcome);
        break;
    }
    case ocFunc: {
        TFuncCall call{store, *targetItem, ops, step.FuncIndex};
        CurrentSysFuncs().CallFunction(call);
        break;
    }
    default:
        break;
    }
}

std::string QuoteText(const std::string& text)
{
    std::string quoted = "\"";
    for (size_t pos = 0; pos < text.size();) {
        size_t length = CharLength(text, pos);
        if (length == 2) {
            quoted.append(text, pos, 2);
        } else if (text[pos] == '"' || text[pos] == '\\') {
            quoted += '\\';
            quoted += text[pos];
        } else if (text.compare(pos, 2, "\r\n") == 0) {
            quoted += "\\n";
            length = 2;
        } else if (text[pos] == '\r') {
            quoted += "\\r";
        } else if (text[pos] == '\n') {
            quoted += "\\x0a";
        } else {
            quoted += text[pos];
        }
        pos += length;
    }
    return quoted + "\"";
}

std::string DumpOperand(const TCustomParam& operand)
{
    if (auto* ref = dynamic_cast<const TParamVar*>(&operand))
        return ref->Name.empty() ? std::string("<empty>") : ref->Name;
    switch (operand.GetVarType()) {
    case ptInt:
        return IntToStr(operand.GetInt());
    case ptFloat: {
        std::string text = FloatToStr(operand.GetFloat());
        if (text.find_first_of(".EN") == std::string::npos) text += ".0";
        return text;
    }
    case ptFlag:
        return operand.GetFlag() ? "TRUE" : "FALSE";
    default:
        return QuoteText(operand.GetStr());
    }
}

} // namespace

const char* OpCodeName(uint8_t op)
{
    return op <= ocNEqual ? OpCodeNames[op] : "";
}

TRukoParser::TRukoParser() = default;
TRukoParser::~TRukoParser() = default;
TRukoParser::TRukoParser(TRukoParser&&) noexcept = default;
TRukoParser& TRukoParser::operator=(TRukoParser&&) noexcept = default;

void TRukoParser::Clear()
{
    form_.reset();
    Steps.clear();
}

void TRukoParser::LoadFromStream(TKwBigStream& s)
{
    uint32_t count = ReadU32(s);
    CheckCount(s, count, 1 + 4 + 4);
    std::vector<TOpeData> steps(count);
    for (TOpeData& step : steps) {
        step.Op = ReadByte(s);
        step.Target = ReadStr(s);
        uint32_t operandCount = ReadU32(s);
        if (step.Op == ocFunc) step.FuncIndex = ReadByte(s);
        CheckCount(s, operandCount, 1 + 1);
        for (uint32_t i = 0; i < operandCount; ++i)
            step.Operands.push_back(ReadOperand(s));
        ValidateStep(step);
    }
    form_.reset();
    Steps = std::move(steps);
}

void TRukoParser::SaveToStream(TKwBigStream& s) const
{
    WriteU32(s, static_cast<uint32_t>(Steps.size()));
    for (const TOpeData& step : Steps) {
        WriteByte(s, step.Op);
        WriteStr(s, step.Target);
        WriteU32(s, static_cast<uint32_t>(step.Operands.size()));
        if (step.Op == ocFunc) WriteByte(s, step.FuncIndex);
        for (const auto& operand : step.Operands)
            WriteOperand(s, *operand);
    }
}

void TRukoParser::Assign(const TRukoParser& other)
{
    if (&other == this) return;
    std::vector<TOpeData> steps;
    for (const TOpeData& source : other.Steps) {
        TOpeData& step = steps.emplace_back();
        step.Op = source.Op;
        step.Target = source.Target;
        step.FuncIndex = source.FuncIndex;
        for (const auto& operand : source.Operands) {
            step.Operands.push_back(operand->Clone());
            if (auto* ref = dynamic_cast<TParamVar*>(step.Operands.back().get())) ref->Target.reset();
        }
    }
    form_.reset();
    Steps = std::move(steps);
}

bool TRukoParser::Execute(TParamCollection& store)
{
    // A function running this same program again takes the plain path: the form's temporaries
    // belong to the outer run.
    if (form_ && form_->Running()) return ExecutePlain(store);
    if (!form_ || !form_->Matches(Steps)) form_ = std::make_unique<TRunForm>(Steps);
    return form_->Run(store, *this);
}

bool TRukoParser::ExecutePlain(TParamCollection& store)
{
    Result.reset();
    LastError.clear();
    if (store.TempDepth() >= MaxEvalNesting) {
        LastError = Utf8ToCp932("スタックエラー");
        return false;
    }
    TParamCollection::TTempFrame frame(store);
    bool ok = true;
    try {
        for (TOpeData& step : Steps)
            RunStep(store, step);
    } catch (const std::exception& error) {
        ok = false;
        LastError = error.what();
    }
    if (!Steps.empty() && Steps.back().Op == ocTo && Steps.back().Target == "____arg") {
        // A "____arg" that stands for nothing (an unset "@Temp" or "@Result") yields no Result.
        try {
            Result = store.Snapshot("____arg");
        } catch (const std::exception&) {
            Result.reset();
        }
    }
    return ok;
}

bool TRukoParser::Execute()
{
    if (!ParamMan) return false;
    return Execute(*ParamMan);
}

void CompileText(std::string_view text, TRukoParser& program)
{
    TBuildRukoParser builder;
    builder.Parse(text);
    TKwBigMemoryStream stream;
    builder.WriteTo(stream);
    stream.SetPosition(0);
    program.LoadFromStream(stream);
}

bool EvalText(std::string_view text, TParamCollection& store)
{
    text = TrimText(text);
    if (text.empty()) return false;
    TRukoParser program;
    try {
        CompileText(text, program);
    } catch (const std::exception&) {
        return false;
    }
    program.ExecutePlain(store); // run once: not worth a run-time form
    return true;
}

std::string DumpProgram(const TRukoParser& program)
{
    std::string out;
    for (const TOpeData& step : program.Steps) {
        out += step.Target + " := " + (step.Op <= ocNEqual ? OpCodeName(step.Op) : "op" + IntToStr(step.Op));
        size_t first = 0;
        if (step.Op == ocFunc) {
            out += ' ';
            out += step.FuncIndex < BuiltinFunctionCount ? BuiltinFunctions[step.FuncIndex].Name
                                                         : ("#" + IntToStr(step.FuncIndex)).c_str();
            out += '(';
        } else if (!step.Operands.empty()) {
            out += ' ';
        }
        for (size_t i = first; i < step.Operands.size(); ++i)
            out += (i ? ", " : "") + DumpOperand(*step.Operands[i]);
        if (step.Op == ocFunc) out += ')';
        out += '\n';
    }
    return out;
}

} // namespace ruko
