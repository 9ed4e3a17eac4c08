#include "engine/commands.h"

#include "base/error.h"
#include "base/globals.h"
#include "base/text.h"
#include "engine/callman.h"
#include "engine/comfactory.h"
#include "io/fields.h"
#include "params/functable.h"
#include "params/paramcollection.h"

#include <cstring>

namespace ruko {

namespace {

bool IsTrue(const TExpr& e)
{
    return e.Flag().value_or(false);
}

class TComIf final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        if (IsTrue(ExprAt(TComFields<ccIf>::Condition))) return;
        const TComList& list = Owner();
        while (TCommand* c = list.At(at.Index)) {
            if (c->Indent < Indent) return;
            if (c->Indent == Indent) {
                if (c->GetCode() == ccElse) {
                    ++at.Index;
                    return;
                }
                if (c->GetCode() != ccElseif) return;
                ++at.Index;
                if (IsTrue(c->ExprAt(TComFields<ccElseif>::Condition))) return;
                continue;
            }
            ++at.Index;
        }
    }
};

// Reached after a branch ran: skip the rest of the chain, block by block.
class TComChainEnd final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        const TComList& list = Owner();
        while (TCommand* c = list.At(at.Index)) {
            if (c->Indent < Indent) return;
            if (c->Indent == Indent && c->GetCode() != ccElseif && c->GetCode() != ccElse) return;
            ++at.Index;
        }
    }
};

class TComLabel final : public TCommand
{
  public:
    using TCommand::TCommand;
    bool IsLabel(std::string_view name) const override { return StrAt(TComFields<ccLabel>::Name) == name; }
};

// Always disabled: never entered, never run.
class TComComment final : public TCommand
{
  public:
    using TCommand::TCommand;
};

class TComJump final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccJump>;
    void Execute(TCallMan& cm, TRunPoint& at) override
    {
        ++at.Index;
        const std::string& file = StrAt(F::Page);
        if (IsTrue(ExprAt(F::Condition)) && cm.Host().FileAvailable && cm.Host().FileAvailable(file)) {
            at.Page = cm.GetPage(file, true);
            at.Index = NumAt(F::Target);
        }
    }
};

class TComCall final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccCall>;
    void Execute(TCallMan& cm, TRunPoint& at) override
    {
        ++at.Index;
        const std::string& file = StrAt(F::Page);
        if (!IsTrue(ExprAt(F::Condition)) || !cm.Host().FileAvailable || !cm.Host().FileAvailable(file))
            return;
        std::vector<std::string> args;
        for (const TExpr& e : Fields[F::Args].List)
            args.push_back(e.Str().value_or(std::string()));
        if (cm.StackCount() >= TCallMan::MaxStackDepth) RaiseError(Utf8ToCp932("スタックエラー"));
        TCallFrame frame;
        frame.PageName = at.Page->Name;
        frame.Index = at.Index;
        frame.ResultVar = StrAt(F::Result);
        frame.Continue = at.Running;
        frame.Sender = at.Sender;
        frame.Args = std::move(at.Args);
        cm.PushFrame(std::move(frame));
        at.Args = std::move(args);
        at.Page = cm.GetPage(file, true);
        at.Index = NumAt(F::Target);
        if (at.Page) {
            auto result = CreateParamByType(at.Page->ResultType);
            cm.Stack.back().Result = result ? std::move(result) : CreateParamByType(ptInt);
        }
    }
};

class TComExit final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        if (IsTrue(ExprAt(TComFields<ccExit>::Condition)))
            at.Page = nullptr;
        else
            ++at.Index;
    }
};

class TComCalc : public TCommand
{
  public:
    using TCommand::TCommand;
    // The loop's initial expression stands where a Calc's does.
    static_assert(int(TComFields<ccCalc>::Expression) == int(TComFields<ccWhileInit>::Expression));
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        ExprAt(TComFields<ccCalc>::Expression).Run();
    }
};

class TComVarNew final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccVarNew>;
    void Execute(TCallMan& cm, TRunPoint& at) override
    {
        ++at.Index;
        const std::string& name = StrAt(F::Name);
        if (name.empty()) RaiseError(Utf8ToCp932("変数名がありません"));
        const uint8_t type = static_cast<uint8_t>(NumAt(F::Type));
        const int placement = NumAt(F::Placement);
        TParamCollection& store = *ParamMan;
        TParamCollectionItem* item = store.FindDeclared(name, placement == 2);
        if (!item) {
            if (type < ptInt || type > ptStr) return;
            item = &store.AddVariable(type, name);
            if (placement == 1 || placement == 2) item->ScopeId = cm.StackCount();
            if (placement == 2) item->Local = 1;
            if (placement == 3) item->Persistent = 1;
        } else if (item->Persistent) {
            return;
        }
        if (const TCustomParam* v = ExprAt(F::Initial).Run()) item->ConvertFrom(*v);
    }
};

class TComVarDel final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        // System variables are part of the store's fixed head and are never freed.
        if (TParamCollectionItem* item = ParamMan->Find(StrAt(TComFields<ccVarDel>::Name));
            item && !item->IsSystem())
            ParamMan->Remove(*item);
    }
};

class TComWhile final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccWhile>;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        if (!IsTrue(ExprAt(F::Condition))) at.Index = NumAt(F::End);
    }
};

// Runs its expression once before the loop, as a Calc does.
class TComWhileInit final : public TComCalc
{
  public:
    using TComCalc::TComCalc;
};

class TComWhileLoop final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccWhileLoop>;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        at.Index = NumAt(F::Head);
        ExprAt(F::Expression).Run();
    }
};

class TComBreak final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccBreak>;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        if (!IsTrue(ExprAt(F::Condition))) {
            ++at.Index;
            return;
        }
        if (NumAt(F::Target) < 0)
            at.Page = nullptr;
        else
            at.Index = NumAt(F::Target);
    }
};

class TComContinue final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccContinue>;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        if (!IsTrue(ExprAt(F::Condition))) return;
        if (NumAt(F::Target) < 0)
            at.Page = nullptr;
        else
            at.Index = NumAt(F::Target);
    }
};

class TComDoEvent final : public TCommand
{
  public:
    using TCommand::TCommand;
    bool WaitsForEvents() const override { return true; }
};

class TComTerminate final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan& cm, TRunPoint&) override
    {
        TerminateRequested = true;
        if (cm.Host().RequestClose) cm.Host().RequestClose();
    }
};

class TComPCReset final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccPCReset>;
    void Execute(TCallMan& cm, TRunPoint&) override
    {
        cm.PCReset(StrAt(F::Page), NumAt(F::Target), NumAt(F::All) != 0);
    }
};

class TComReset final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccReset>;
    void Execute(TCallMan& cm, TRunPoint&) override { cm.ResetAll(StrAt(F::Page), NumAt(F::Target)); }
};

class TComGameSave final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccGameSave>;
    void Execute(TCallMan& cm, TRunPoint& at) override
    {
        ++at.Index;
        // A slot expression that yields nothing means slot 0.
        int32_t slot = ExprAt(F::Slot).Int().value_or(0);
        if (cm.Host().RequestSave)
            cm.Host().RequestSave(slot, ExprAt(F::Caption).Str().value_or(std::string()), StrAt(F::Page),
                                  Has(F::Target) ? NumAt(F::Target) : 0);
    }
};

class TComGameLoad final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan& cm, TRunPoint& at) override
    {
        ++at.Index;
        int32_t slot = ExprAt(TComFields<ccGameLoad>::Slot).Int().value_or(0);
        if (cm.Host().RequestLoad) cm.Host().RequestLoad(slot);
    }
};

// Reads and writes component properties by id through the component list.
class TComGetProp final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccGetProp>;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        std::string object = ExprAt(F::Object).Str().value_or(std::string());
        int32_t id = PropertyId(ExprAt(F::Property));
        if (id < 0 || id >= PropertyCount) RaiseError(Utf8ToCp932("GetPropエラー"));
        TParamCollectionItem* var = ParamMan->Find(StrAt(F::Variable));
        TPropertyAccess* access = CurrentSysFuncs().Properties;
        if (var && access && !object.empty()) access->GetProperty(object, id, *var->Value);
    }
};

class TComSetProp final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccSetProp>;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        std::string object = ExprAt(F::Object).Str().value_or(std::string());
        int32_t id = PropertyId(ExprAt(F::Property));
        if (id < 0 || id >= PropertyCount) RaiseError(Utf8ToCp932("SetPropエラー"));
        const TCustomParam* value = ExprAt(F::Value).Run();
        TPropertyAccess* access = CurrentSysFuncs().Properties;
        if (value && access && !object.empty()) access->SetProperty(object, id, *value);
    }
};

} // namespace

int32_t PropertyId(const TExpr& e)
{
    std::optional<int32_t> id = e.Int();
    if (!id) RaiseError(Utf8ToCp932("プロパティ指定が不正です"));
    return *id;
}

// --- TComWait --------------------------------------------------------------------------------

void TComWait::Enter(TCallMan&)
{
    Remaining = ExprAt(F::Time).Int().value_or(0);
    FirstFrame = 1;
    NoEvents = Has(F::NoEvents) && ExprAt(F::NoEvents).Flag().value_or(false);
}

void TComWait::Execute(TCallMan&, TRunPoint& at)
{
    std::optional<bool> condition = ExprAt(F::Condition).Flag();
    if (condition && !*condition) {
        ++at.Index;
        return;
    }
    if (Remaining != 0) {
        if (FirstFrame > 0) {
            --FirstFrame;
        } else {
            Remaining -= FrameDelta;
            if (Remaining <= 0) {
                ++at.Index;
                return;
            }
        }
    }
    at.Running = false;
}

void TComWait::SaveState(TKwBigStream& s)
{
    WriteStateHeader(s);
    WriteInt(s, Remaining);
    WriteInt(s, FirstFrame);
    WriteByte(s, NoEvents ? 1 : 0);
}

void TComWait::LoadState(TKwBigStream& s)
{
    int version = ReadStateVersion(s);
    Remaining = ReadInt(s);
    FirstFrame = ReadInt(s);
    if (version >= 100) NoEvents = ReadByte(s) != 0;
}

int ReadStateVersion(TKwBigStream& s)
{
    const int64_t start = s.GetPosition();
    char tag[7];
    if (s.Remaining() >= 7) {
        ReadExact(s, tag, 7);
        if (std::memcmp(tag, "ruko", 4) == 0 && std::isdigit(static_cast<unsigned char>(tag[4])) &&
            std::isdigit(static_cast<unsigned char>(tag[5])) &&
            std::isdigit(static_cast<unsigned char>(tag[6])))
            return (tag[4] - '0') * 100 + (tag[5] - '0') * 10 + (tag[6] - '0');
    }
    s.SetPosition(start);
    return 0;
}

void WriteStateHeader(TKwBigStream& s)
{
    WriteExact(s, "ruko100", 7);
}

void RegisterFlowCommands()
{
    RegisterCommand<TComIf>(ccIf);
    RegisterCommand<TComChainEnd>(ccElseif);
    RegisterCommand<TComChainEnd>(ccElse);
    RegisterCommand<TComLabel>(ccLabel);
    RegisterCommand<TComJump>(ccJump);
    RegisterCommand<TComCall>(ccCall);
    RegisterCommand<TComExit>(ccExit);
    RegisterCommand<TComWait>(ccWait);
    RegisterCommand<TComCalc>(ccCalc);
    RegisterCommand<TComVarNew>(ccVarNew);
    RegisterCommand<TComVarDel>(ccVarDel);
    RegisterCommand<TComGetProp>(ccGetProp);
    RegisterCommand<TComSetProp>(ccSetProp);
    RegisterCommand<TComComment>(ccComment);
    RegisterCommand<TComWhile>(ccWhile);
    RegisterCommand<TComWhileInit>(ccWhileInit);
    RegisterCommand<TComWhileLoop>(ccWhileLoop);
    RegisterCommand<TComBreak>(ccBreak);
    RegisterCommand<TComContinue>(ccContinue);
    RegisterCommand<TComGameSave>(ccGameSave);
    RegisterCommand<TComGameLoad>(ccGameLoad);
    RegisterCommand<TComPCReset>(ccPCReset);
    RegisterCommand<TComReset>(ccReset);
    RegisterCommand<TComTerminate>(ccTerminate);
    RegisterCommand<TComDoEvent>(ccDoEvent);
}

} // namespace ruko
