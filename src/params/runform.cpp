#include "params/runform.h"

#include "params/steprules.h"

#include <algorithm>
#include <unordered_map>

namespace ruko {

using namespace steprules;

namespace {

using TView = TRunForm::TView;

inline bool IsPlain(uint8_t storage)
{
    return storage >= ptInt && storage <= ptStr;
}

// Reading an operand follows the stored rules: a constant through the scalar getters, a variable
// through the element getters at its index, behind the same forwarding guard a bound reference
// has. The inline paths cover the plain kinds; everything else goes through the value's own
// operations.
[[gnu::noinline]] int32_t ReadIntSlow(const TView& v)
{
    if (!v.Element) return v.Value->GetInt();
    TForwardGuard guard;
    return guard.TooDeep() ? 0 : v.Value->GetIntAt(v.Index);
}

[[gnu::noinline]] Extended ReadFloatSlow(const TView& v)
{
    if (!v.Element) return v.Value->GetFloat();
    TForwardGuard guard;
    return guard.TooDeep() ? 0 : v.Value->GetFloatAt(v.Index);
}

[[gnu::noinline]] bool ReadFlagSlow(const TView& v)
{
    if (!v.Element) return v.Value->GetFlag();
    TForwardGuard guard;
    return guard.TooDeep() ? false : v.Value->GetFlagAt(v.Index);
}

[[gnu::noinline]] void ReadStrSlow(const TView& v, std::string& text)
{
    if (!v.Element) {
        text = v.Value->GetStr();
        return;
    }
    TForwardGuard guard;
    if (guard.TooDeep())
        text.clear();
    else
        text = v.Value->GetStrAt(v.Index);
}

template <typename P> const auto& ElementOf(const TView& v)
{
    const auto& data = static_cast<const P*>(v.Value)->Data;
    if (v.Index < 0 || static_cast<size_t>(v.Index) >= data.size()) RaiseIndexError(v.Index);
    return data[static_cast<size_t>(v.Index)];
}

inline int32_t ReadInt(const TView& v)
{
    switch (v.Value->StorageKind()) {
    case ptInt: {
        const auto& data = static_cast<const TParamInt*>(v.Value)->Data;
        if (!v.Element) return data.empty() ? 0 : data[0];
        return ElementOf<TParamInt>(v);
    }
    case ptFlag: {
        const auto& data = static_cast<const TParamFlag*>(v.Value)->Data;
        if (!v.Element) return !data.empty() && data[0] != 0;
        return ElementOf<TParamFlag>(v) != 0;
    }
    default:
        return ReadIntSlow(v);
    }
}

inline Extended ReadFloat(const TView& v)
{
    switch (v.Value->StorageKind()) {
    case ptFloat: {
        const auto& data = static_cast<const TParamFloat*>(v.Value)->Data;
        if (!v.Element) return data.empty() ? 0 : data[0];
        return ElementOf<TParamFloat>(v);
    }
    case ptInt: {
        const auto& data = static_cast<const TParamInt*>(v.Value)->Data;
        if (!v.Element) return data.empty() ? 0 : data[0];
        return ElementOf<TParamInt>(v);
    }
    default:
        return ReadFloatSlow(v);
    }
}

inline bool ReadFlag(const TView& v)
{
    if (v.Value->StorageKind() == ptFlag) {
        const auto& data = static_cast<const TParamFlag*>(v.Value)->Data;
        if (!v.Element) return !data.empty() && data[0] != 0;
        return ElementOf<TParamFlag>(v) != 0;
    }
    return ReadFlagSlow(v);
}

// The operand's text: a string element itself where there is one, else `scratch` filled.
inline const std::string& ReadStr(const TView& v, std::string& scratch)
{
    if (v.Value->StorageKind() == ptStr) {
        const auto& data = static_cast<const TParamStr*>(v.Value)->Data;
        if (!v.Element) {
            if (!data.empty()) return data[0];
            scratch.clear();
            return scratch;
        }
        return ElementOf<TParamStr>(v);
    }
    ReadStrSlow(v, scratch);
    return scratch;
}

[[gnu::noinline]] uint8_t KindOfSlow(const TView& v)
{
    if (!v.Element) return v.Value->GetVarType();
    TForwardGuard guard;
    return guard.TooDeep() ? uint8_t{ptVar} : v.Value->GetVarType();
}

inline uint8_t KindOf(const TView& v)
{
    uint8_t storage = v.Value->StorageKind();
    return IsPlain(storage) ? storage : KindOfSlow(v);
}

inline uint8_t TargetKind(const TCustomParam& t)
{
    uint8_t storage = t.StorageKind();
    return IsPlain(storage) ? storage : t.GetVarType();
}

inline void WriteInt(TCustomParam& t, int32_t n)
{
    if (t.StorageKind() == ptInt)
        static_cast<TParamInt&>(t).Scalar() = n;
    else
        t.SetInt(n);
}

inline void WriteFloat(TCustomParam& t, Extended x)
{
    if (t.StorageKind() == ptFloat)
        static_cast<TParamFloat&>(t).Scalar() = x;
    else
        t.SetFloat(x);
}

inline void WriteFlag(TCustomParam& t, bool b)
{
    if (t.StorageKind() == ptFlag)
        static_cast<TParamFlag&>(t).Scalar() = b;
    else
        t.SetFlag(b);
}

template <typename P> void ResetData(P& value)
{
    if (value.Data.size() == 1)
        value.Data[0] = {};
    else
        value.Data.assign(1, {});
}

// A temporary as new: one zero element, no shape (a reference: unbound).
void ResetValue(TCustomParam& value)
{
    if (!value.Dims.empty()) value.Dims.clear();
    switch (value.StorageKind()) {
    case ptInt:
        ResetData(static_cast<TParamInt&>(value));
        break;
    case ptFloat:
        ResetData(static_cast<TParamFloat&>(value));
        break;
    case ptFlag:
        ResetData(static_cast<TParamFlag&>(value));
        break;
    case ptStr: {
        auto& data = static_cast<TParamStr&>(value).Data;
        data.resize(1);
        data[0].clear(); // keeps its buffer for the next run
        break;
    }
    default: {
        auto& ref = static_cast<TParamVar&>(value);
        ref.Name.clear();
        ref.Target.reset();
        ref.Reserved = 0;
        ref.Index = 0;
        ref.LoadedTargetName.clear();
        break;
    }
    }
}

// What a temporary keeps between runs; beyond this it is let go with its run.
constexpr size_t MaxKeptTemporaryBytes = 4096;

template <typename P> size_t HeldBytes(const P& value)
{
    return value.Data.capacity() * sizeof(value.Data[0]);
}

size_t HeldBytes(const TCustomParam& value)
{
    switch (value.StorageKind()) {
    case ptInt:
        return HeldBytes(static_cast<const TParamInt&>(value));
    case ptFloat:
        return HeldBytes(static_cast<const TParamFloat&>(value));
    case ptFlag:
        return HeldBytes(static_cast<const TParamFlag&>(value));
    case ptStr: {
        const auto& data = static_cast<const TParamStr&>(value).Data;
        size_t bytes = HeldBytes(static_cast<const TParamStr&>(value));
        for (const std::string& s : data)
            bytes += s.capacity();
        return bytes;
    }
    default:
        return 0;
    }
}

} // namespace

TRunForm::TRunForm(std::vector<TOpeData>& steps) : source_(steps.data())
{
    std::unordered_map<std::string, uint32_t> slotOf;
    auto slotFor = [&](const std::string& name) {
        auto [at, added] = slotOf.try_emplace(LowerCaseText(name), static_cast<uint32_t>(slots_.size()));
        if (added) {
            TSlot& slot = slots_.emplace_back();
            slot.Name = name;
            slot.Temp = IsTempName(name);
        }
        return at->second;
    };
    size_t widest = 0;
    steps_.reserve(steps.size());
    for (TOpeData& source : steps) {
        TStep step{source.Op,
                   source.FuncIndex,
                   slotFor(source.Target),
                   static_cast<uint32_t>(operands_.size()),
                   static_cast<uint32_t>(source.Operands.size()),
                   &source};
        for (auto& operand : source.Operands) {
            if (operand->StorageKind() == ptVar) {
                auto* ref = static_cast<TParamVar*>(operand.get());
                operands_.push_back({nullptr, ref, slotFor(ref->Name)});
            } else {
                operands_.push_back({operand.get(), nullptr, 0});
            }
        }
        widest = std::max(widest, source.Operands.size());
        steps_.push_back(step);
    }
    views_.resize(widest);
    found_.resize(widest);
    subscripts_.reserve(widest);
    if (!steps.empty() && steps.back().Op == ocTo && steps.back().Target == "____arg") {
        resultFromArg_ = true;
        argSlot_ = steps_.back().Target;
    }
}

bool TRunForm::Run(TParamCollection& store, TRukoParser& program)
{
    if (program.Result) spareResult_ = std::move(program.Result);
    program.LastError.clear();
    if (store.TempDepth() >= MaxEvalNesting) {
        program.LastError = Utf8ToCp932("スタックエラー");
        return false;
    }
    running_ = true;
    struct TRunning
    {
        bool& running;
        ~TRunning() { running = false; }
    } running{running_};
    ++run_;
    TParamCollection::TTempFrame frame(store, frameItems_);
    bool ok = true;
    try {
        for (const TStep& step : steps_)
            RunStep(store, step);
    } catch (const std::exception& error) {
        ok = false;
        program.LastError = error.what();
    }
    TakeResult(store, program);
    ReleaseLargeTemporaries();
    return ok;
}

[[gnu::always_inline]] inline TParamCollectionItem* TRunForm::Find(TParamCollection& store, TSlot& slot)
{
    // The frame's temporaries come first, as in the store's own lookup; this form's frame holds
    // only the temporaries this run made.
    if (slot.Temp && slot.Run == run_) return slot.Item.get();
    // Whatever adds, removes or renames a variable or changes scopes moves the generation on
    // (the plain evaluator remembers its lookups under the same rule).
    if (slot.Generation != store.Generation() || slot.Scope != store.CurrentScope) {
        slot.Found = store.FindIndexed(slot.Name, slot.Place);
        slot.Generation = store.Generation();
        slot.Scope = store.CurrentScope;
    }
    return slot.Found;
}

[[gnu::always_inline]] inline TRunForm::TView
TRunForm::Resolve(TParamCollection& store, const TOperand& operand, TParamCollectionItem** found)
{
    if (operand.Constant) {
        if (found) *found = nullptr;
        return {operand.Constant, 0, false};
    }
    TSlot& slot = slots_[operand.Slot];
    TParamCollectionItem* item = Find(store, slot);
    if (!item) RaiseMissing(operand.Ref->Name);
    if (found) *found = item;
    TCustomParam* value = item->Value.get();
    if (value->StorageKind() != ptVar) return {value, 0, true};
    // A variable that is itself an element reference lends its index. When it is the one this
    // run bound and nothing left the store since, its array is read directly.
    auto* element = static_cast<TParamVar*>(value);
    if (slot.Temp && slot.Run == run_ && slot.Item->Value.get() == element && slot.BoundItem &&
        slot.BoundGeneration == store.Generation()) {
        TCustomParam* array = slot.BoundItem->Value.get();
        if (IsPlain(array->StorageKind())) return {array, element->Index, true};
    }
    return {value, element->Index, true};
}

[[gnu::always_inline]] inline TParamCollectionItem& TRunForm::Target(TParamCollection& store,
                                                                     const TStep& step, const TView* views)
{
    TSlot& slot = slots_[step.Target];
    if (TParamCollectionItem* item = Find(store, slot)) return *item;
    if (!slot.Temp) RaiseMissing(step.Source->Target);
    uint8_t kind = TemporaryKind(
        step.Op, step.Row, [&](size_t k) { return KindOf(views[k]); }, [&] { return ReadInt(views[1]); },
        [&] { RaiseBadStep(*step.Source); });
    return MakeTemporary(store, step, slot, kind);
}

TParamCollectionItem& TRunForm::MakeTemporary(TParamCollection& store, const TStep& step, TSlot& slot,
                                              uint8_t kind)
{
    const std::string& name = step.Source->Target;
    // Held by nobody else and of the kind wanted: reused as new, so a steady run allocates nothing.
    if (slot.Item && slot.ItemName == &name && slot.Item.use_count() == 1 &&
        slot.Item->Value->StorageKind() == kind) {
        ResetValue(*slot.Item->Value);
    } else {
        slot.Item = store.MakeTemporary(CreateParamByType(kind), name);
        slot.ItemName = &name;
    }
    slot.BoundItem = nullptr;
    frameItems_.push_back(slot.Item.get()); // the open frame's list: AddTemporary without the lookup
    slot.Run = run_;
    return *slot.Item;
}

TParamCollectionItem& TRunForm::MakeElement(TParamCollection& store, const TStep& step, TSlot& slot)
{
    const TOperand* ops = &operands_[step.First];
    if (ops[0].Constant) RaiseMissing(ops[0].Constant->GetStr());
    subscripts_.clear();
    for (uint32_t k = 1; k < step.Count; ++k)
        subscripts_.push_back(ReadInt(views_[k]));
    const std::string& name = step.Source->Target;
    if (!slot.Item || slot.ItemName != &name || slot.Item.use_count() != 1 ||
        slot.Item->Value->StorageKind() != ptVar) {
        slot.Item = store.MakeTemporary(std::make_unique<TParamVar>(), name);
        slot.ItemName = &name;
    }
    // As a new reference named after the step; the binding replaces the target.
    auto& element = static_cast<TParamVar&>(*slot.Item->Value);
    if (!element.Dims.empty()) element.Dims.clear();
    if (element.Name != name) element.Name = name;
    element.Reserved = 0;
    element.Index = 0;
    element.LoadedTargetName.clear();
    element.BindElement(*found_[0], ops[0].Ref->Name, subscripts_);
    slot.BoundItem = found_[0];
    slot.BoundGeneration = store.Generation();
    frameItems_.push_back(slot.Item.get());
    slot.Run = run_;
    return *slot.Item;
}

template <uint8_t Op> void TRunForm::RunArithmetic(TParamCollection& store, const TStep& step)
{
    const TOperand* ops = &operands_[step.First];
    TView ab[2] = {Resolve(store, ops[0], nullptr), Resolve(store, ops[1], nullptr)};
    TCustomParam& t = *Target(store, step, ab).Value;
    constexpr bool mayBeReal = Op == ocPlus || Op == ocMinus || Op == ocMul || Op == ocDiv;
    if (mayBeReal && TargetKind(t) == ptFloat) {
        Extended x = ReadFloat(ab[0]);
        Extended y = ReadFloat(ab[1]);
        WriteFloat(t, FloatArithmetic(Op, x, y));
    } else {
        int32_t x = ReadInt(ab[0]);
        int32_t y = ReadInt(ab[1]);
        WriteInt(t, IntArithmetic(Op, x, y));
    }
}

void TRunForm::RunStep(TParamCollection& store, const TStep& step)
{
    const TOperand* ops = &operands_[step.First];
    switch (step.Op) {
    case ocTo: {
        TView a = Resolve(store, ops[0], nullptr);
        TCustomParam& t = *Target(store, step, &a).Value;
        switch (TargetKind(t)) {
        case ptInt:
            WriteInt(t, ReadInt(a));
            break;
        case ptFloat:
            WriteFloat(t, ReadFloat(a));
            break;
        case ptFlag:
            WriteFlag(t, ReadFlag(a));
            break;
        case ptStr:
            if (t.StorageKind() == ptStr && a.Value != &t) {
                const std::string& text = ReadStr(a, textA_);
                static_cast<TParamStr&>(t).Scalar() = text;
            } else {
                // Copied first: the target's reset may drop the very element being read.
                std::string text = ReadStr(a, textA_);
                t.SetStr(text);
            }
            break;
        default:
            break;
        }
        return;
    }
    case ocPlus:
        return RunArithmetic<ocPlus>(store, step);
    case ocMinus:
        return RunArithmetic<ocMinus>(store, step);
    case ocMul:
        return RunArithmetic<ocMul>(store, step);
    case ocDiv:
        return RunArithmetic<ocDiv>(store, step);
    case ocMod:
        return RunArithmetic<ocMod>(store, step);
    case ocOr:
        return RunArithmetic<ocOr>(store, step);
    case ocAnd:
        return RunArithmetic<ocAnd>(store, step);
    case ocXor:
        return RunArithmetic<ocXor>(store, step);
    case ocShiftL:
        return RunArithmetic<ocShiftL>(store, step);
    case ocShiftR:
        return RunArithmetic<ocShiftR>(store, step);
    case ocEqual:
    case ocBig:
    case ocSmall:
    case ocEBig:
    case ocESmall:
    case ocNEqual: {
        TView ab[2] = {Resolve(store, ops[0], nullptr), Resolve(store, ops[1], nullptr)};
        TCustomParam& t = *Target(store, step, ab).Value;
        bool outcome;
        switch (KindOf(ab[0])) {
        case ptStr: {
            const std::string& x = ReadStr(ab[0], textA_);
            const std::string& y = ReadStr(ab[1], textB_);
            outcome = Compare(step.Op, x, y);
            break;
        }
        case ptFloat: {
            Extended x = ReadFloat(ab[0]);
            outcome = Compare(step.Op, x, ReadFloat(ab[1]));
            break;
        }
        case ptFlag: {
            bool x = ReadFlag(ab[0]);
            outcome = Compare(step.Op, x, ReadFlag(ab[1]));
            break;
        }
        default: {
            int32_t x = ReadInt(ab[0]);
            outcome = Compare(step.Op, x, ReadInt(ab[1]));
            break;
        }
        }
        WriteFlag(t, outcome);
        return;
    }
    case ocComboStr: {
        TView ab[2] = {Resolve(store, ops[0], nullptr), Resolve(store, ops[1], nullptr)};
        TCustomParam& t = *Target(store, step, ab).Value;
        if (t.StorageKind() == ptStr && ab[1].Value != &t) {
            auto& target = static_cast<TParamStr&>(t);
            if (ab[0].Value != &t) {
                const std::string& x = ReadStr(ab[0], textA_);
                const std::string& y = ReadStr(ab[1], textB_);
                std::string& text = target.Scalar();
                text.assign(x);
                text.append(y);
            } else if (ab[0].Element && ab[0].Index == 0 && t.Dims.empty() && !target.Data.empty()) {
                target.Data[0].append(ReadStr(ab[1], textB_)); // the target's own text, extended in place
            } else {
                std::string x = ReadStr(ab[0], textA_);
                target.Scalar() = x + ReadStr(ab[1], textB_);
            }
            return;
        }
        std::string x = ReadStr(ab[0], textA_);
        t.SetStr(x + ReadStr(ab[1], textB_));
        return;
    }
    case ocDimTo: {
        for (uint32_t k = 0; k < step.Count; ++k)
            views_[k] = Resolve(store, ops[k], &found_[k]);
        TSlot& slot = slots_[step.Target];
        if (Find(store, slot)) return;
        if (!slot.Temp) RaiseMissing(step.Source->Target);
        MakeElement(store, step, slot);
        return;
    }
    default:
        RunGeneral(store, step);
        return;
    }
}

// Functions and the codes that do nothing: the stored references are bound, since a function
// reads and writes its arguments through them.
void TRunForm::RunGeneral(TParamCollection& store, const TStep& step)
{
    TOpeData& source = *step.Source;
    TOperandBindings bindings{source.Operands};
    const TOperand* ops = &operands_[step.First];
    for (uint32_t k = 0; k < step.Count; ++k) {
        if (ops[k].Constant) continue;
        TParamCollectionItem* item = Find(store, slots_[ops[k].Slot]);
        if (!item) RaiseMissing(ops[k].Ref->Name);
        ops[k].Ref->Target = item->shared_from_this();
        TCustomParam* value = item->Value.get();
        ops[k].Ref->Index = value->StorageKind() == ptVar ? static_cast<TParamVar*>(value)->Index : 0;
    }
    if (step.Op == ocFunc && step.Row >= BuiltinFunctionCount) RaiseBadStep(source);

    TSlot& slot = slots_[step.Target];
    TParamCollectionItem* item = Find(store, slot);
    if (!item) {
        if (!slot.Temp) RaiseMissing(source.Target);
        auto& args = source.Operands;
        uint8_t kind = TemporaryKind(
            step.Op, step.Row, [&](size_t k) { return args[k]->GetVarType(); },
            [&] { return args.size() > 1 ? args[1]->GetInt() : -1; }, [&] { RaiseBadStep(source); });
        item = &MakeTemporary(store, step, slot, kind);
    }
    if (step.Op != ocFunc) return;
    // A function may free the very variable it writes its result to (PopVar replacing a variable
    // of another kind); the step keeps it alive until it is done with it.
    TParamItemPtr keepTarget = item->shared_from_this();
    TFuncCall call{store, *item, source.Operands, step.Row};
    CurrentSysFuncs().CallFunction(call);
}

// Small temporaries stay for the next run to reuse; a large one (a file's lines, a long text) is
// let go, or it would stay alive, often beside the variable it went to, until the program ran again.
void TRunForm::ReleaseLargeTemporaries()
{
    for (TSlot& slot : slots_) {
        if (!slot.Temp || !slot.Item || HeldBytes(*slot.Item->Value) <= MaxKeptTemporaryBytes) continue;
        slot.Item.reset();
        slot.ItemName = nullptr;
        slot.BoundItem = nullptr;
    }
}

void TRunForm::TakeResult(TParamCollection& store, TRukoParser& program)
{
    if (!resultFromArg_) return;
    // As the store's Snapshot, into the previous run's Result object where it has the same kind.
    try {
        TParamCollectionItem* item = Find(store, slots_[argSlot_]);
        if (!item) return;
        const TCustomParam& value = *item->Value;
        uint8_t code = value.GetVarType();
        if (code < ptInt || code > ptStr) return; // a "____arg" that stands for nothing
        if (value.StorageKind() != code) {
            program.Result = CopyAsKind(value, code);
        } else if (spareResult_ && spareResult_->StorageKind() == code) {
            spareResult_->AssignData(value);
            program.Result = std::move(spareResult_);
        } else {
            program.Result = value.Clone();
        }
    } catch (const std::exception&) {
        program.Result.reset();
    }
}

} // namespace ruko
