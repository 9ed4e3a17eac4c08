#include "engine/builtins.h"

#include "base/error.h"
#include "base/text.h"
#include "engine/builtins_support.h"
#include "engine/callman.h"

#include <cstdio>
#include <set>

namespace ruko {

void TRandomSource::Seed(uint64_t seed)
{
    state_ = seed;
}

// splitmix64: every seed, including 0, gives a full-period, well-mixed sequence.
uint64_t TRandomSource::Next()
{
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int32_t TRandomSource::Below(int32_t n)
{
    if (n < 1) return 0;
    // Rejection keeps the draw uniform for every n.
    const uint64_t range = static_cast<uint64_t>(n);
    const uint64_t limit = UINT64_MAX - UINT64_MAX % range;
    uint64_t x;
    do
        x = Next();
    while (x >= limit);
    return static_cast<int32_t>(x % range);
}

void BindCallManager(TBuiltinServices& services, TCallMan& calls)
{
    TCallMan* cm = &calls;
    services.ArgCount = [cm] { return cm->GetArgCount(); };
    services.Arg = [cm](int32_t i) { return cm->GetArg(i); };
    services.SenderName = [cm] { return cm->GetSenderName(); };
    services.CallResult = [cm] { return cm->GetResult(); };
    services.StackCount = [cm] { return cm->StackCount(); };
    services.DeleteStack = [cm](int32_t depth) { return cm->DeleteStack(depth); };
}

void InstallBuiltins(TSysFuncMan& funcs, TBuiltinServices& services)
{
    builtins::TRegistrar registrar(funcs, services);
    builtins::RegisterStringBuiltins(registrar);
    builtins::RegisterWidthBuiltins(registrar);
    builtins::RegisterMathBuiltins(registrar);
    builtins::RegisterDateBuiltins(registrar);
    builtins::RegisterArrayBuiltins(registrar);
    builtins::RegisterFileBuiltins(registrar);
    builtins::RegisterPlayerBuiltins(registrar);
}

namespace builtins {

void TRegistrar::Add(const char* name, TBody body)
{
    int row = FindBuiltinFunction(name);
    if (row < 0) RaiseError(std::string("unknown built-in function ") + name);
    TBuiltinServices* services = &services_;
    funcs_.Register(row, [body, services](TFuncCall& call) { body(call, *services); });
}

const TCustomParam* OptionalArg(const TFuncCall& call, size_t i)
{
    return i < call.ArgCount() ? call.Args[i].get() : nullptr;
}

std::string StrArg(const TFuncCall& call, size_t i, const std::string& fallback)
{
    const TCustomParam* arg = OptionalArg(call, i);
    return arg ? arg->GetStr() : fallback;
}

int32_t IntArg(const TFuncCall& call, size_t i, int32_t fallback)
{
    const TCustomParam* arg = OptionalArg(call, i);
    return arg ? arg->GetInt() : fallback;
}

bool FlagArg(const TFuncCall& call, size_t i, bool fallback)
{
    const TCustomParam* arg = OptionalArg(call, i);
    return arg ? arg->GetFlag() : fallback;
}

TParamCollectionItem* VariableItem(const TFuncCall& call, size_t i)
{
    auto* ref = dynamic_cast<const TParamVar*>(OptionalArg(call, i));
    if (!ref) return nullptr;
    std::shared_ptr<TParamCollectionItem> item = ref->Target.lock();
    // Literals and computed arguments reach a function as temporaries: they name no variable.
    if (!item || item->Name().compare(0, 4, "____") == 0) return nullptr;
    return item.get(); // the store keeps the item alive for the step
}

TCustomParam& RequireVariable(const TFuncCall& call, size_t i)
{
    if (TParamCollectionItem* item = VariableItem(call, i)) return *item->Value;
    RaiseError(std::string(BuiltinFunctions[call.Row].Name) + Utf8ToCp932(":変数が見つかりません"));
}

const TCustomParam& WholeValue(const TFuncCall& call, size_t i)
{
    if (TParamCollectionItem* item = VariableItem(call, i)) return *item->Value;
    return call.Arg(i);
}

TCustomParam* Storage(TCustomParam& value)
{
    TCustomParam* current = &value;
    // A forwarding chain is short; the bound only guards against a cycle.
    for (int hops = 0; current && hops < 8; ++hops) {
        if (auto* ref = dynamic_cast<TParamVar*>(current))
            current = ref->TargetValue();
        else if (auto* system = dynamic_cast<TParamSystem*>(current))
            current = system->Forwarded();
        else
            return current;
    }
    return nullptr;
}

void StoreStringArray(TCustomParam& target, const std::vector<std::string>& pieces)
{
    if (pieces.empty()) {
        target.SetStr(std::string());
        return;
    }
    target.SetDims({static_cast<int32_t>(std::min<size_t>(pieces.size(), INT32_MAX))});
    for (size_t i = 0; i < pieces.size(); ++i)
        target.SetStrAt(static_cast<int32_t>(i), pieces[i]);
}

void SetZeroResult(TFuncCall& call)
{
    TCustomParam& result = *call.Result.Value;
    switch (BuiltinFunctions[call.Row].ResultKind) {
    case ptFlag:
        result.SetFlag(false);
        break;
    case ptStr:
        result.SetStr(std::string());
        break;
    case ptFloat:
        result.SetFloat(0);
        break;
    default:
        result.SetInt(0);
        break;
    }
}

void NoteMissing(const char* what)
{
    static std::set<std::string>& told = *new std::set<std::string>; // never destroyed
    if (told.insert(what).second)
        std::fprintf(stderr,
                     "rukoplay: %s are not available in this player yet; the title sees empty answers\n",
                     what);
}

void RaiseTooLarge(const TFuncCall& call)
{
    RaiseError(std::string(BuiltinFunctions[call.Row].Name) + Utf8ToCp932(":文字列が長すぎます"));
}

} // namespace builtins

} // namespace ruko
