#include "engine/commands.h"

#include "archive/fields.h"
#include "base/error.h"
#include "base/globals.h"
#include "base/text.h"
#include "engine/callman.h"
#include "engine/objcommands.h"
#include "params/functable.h"
#include "params/paramcollection.h"

#include <cstring>

namespace ruko {

namespace {

bool IsTrue(const TExpr& e)
{
    return e.Flag().value_or(false);
}

// Field positions, as in the command table.
enum
{
    fRefPage = 0,
    fRefIndex = 1,
};

class TComIf final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TPage*&, int& index) override
    {
        ++index;
        if (IsTrue(ExprAt(0))) return;
        const TComList& list = Owner();
        while (TCommand* c = list.At(index)) {
            if (c->Indent < Indent) return;
            if (c->Indent == Indent) {
                if (c->GetCode() == ccElse) {
                    ++index;
                    return;
                }
                if (c->GetCode() != ccElseif) return;
                ++index;
                if (IsTrue(c->ExprAt(0))) return;
                continue;
            }
            ++index;
        }
    }
};

// Reached after a branch ran: skip the rest of the chain, block by block.
class TComChainEnd final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TPage*&, int& index) override
    {
        ++index;
        const TComList& list = Owner();
        while (TCommand* c = list.At(index)) {
            if (c->Indent < Indent) return;
            if (c->Indent == Indent && c->GetCode() != ccElseif && c->GetCode() != ccElse) return;
            ++index;
        }
    }
};

class TComJump final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan& cm, TPage*& page, int& index) override
    {
        ++index;
        const std::string& file = StrAt(fRefPage);
        if (IsTrue(ExprAt(2)) && cm.Host().FileAvailable && cm.Host().FileAvailable(file)) {
            page = cm.GetPage(file, true);
            index = NumAt(fRefIndex);
        }
    }
};

class TComCall final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan& cm, TPage*& page, int& index) override
    {
        ++index;
        const std::string& file = StrAt(fRefPage);
        if (!IsTrue(ExprAt(3)) || !cm.Host().FileAvailable || !cm.Host().FileAvailable(file)) return;
        std::vector<std::string> args;
        for (const TExpr& e : Fields[4].List)
            args.push_back(e.Str().value_or(std::string()));
        if (cm.StackCount() >= TCallMan::MaxStackDepth) RaiseError(Utf8ToCp932("スタックエラー"));
        TStack frame;
        frame.PageName = page->Name;
        frame.Index = index;
        frame.ResultVar = StrAt(2);
        frame.Continue = cm.Running;
        frame.Sender = cm.EventSender;
        frame.Args = std::move(cm.Args);
        cm.PushFrame(std::move(frame));
        cm.Args = std::move(args);
        page = cm.GetPage(file, true);
        index = NumAt(fRefIndex);
        if (page) {
            auto result = CreateParamByType(page->ResultType);
            cm.Stack.back().Result = result ? std::move(result) : CreateParamByType(ptInt);
        }
    }
};

class TComExit final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TPage*& page, int& index) override
    {
        if (IsTrue(ExprAt(0)))
            page = nullptr;
        else
            ++index;
    }
};

class TComCalc : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TPage*&, int& index) override
    {
        ++index;
        ExprAt(0).Run();
    }
};

class TComVarNew final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan& cm, TPage*&, int& index) override
    {
        ++index;
        const std::string& name = StrAt(0);
        if (name.empty()) RaiseError(Utf8ToCp932("変数名がありません"));
        const uint8_t type = static_cast<uint8_t>(NumAt(1));
        const int placement = NumAt(3);
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
        if (const TCustomParam* v = ExprAt(2).Run()) item->ConvertFrom(*v);
    }
};

class TComVarDel final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TPage*&, int& index) override
    {
        ++index;
        // System variables are part of the store's fixed head and are never freed.
        if (TParamCollectionItem* item = ParamMan->Find(StrAt(0)); item && !item->IsSystem())
            ParamMan->Remove(*item);
    }
};

class TComWhile final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TPage*&, int& index) override
    {
        ++index;
        if (!IsTrue(ExprAt(0))) index = NumAt(1);
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
    void Execute(TCallMan&, TPage*&, int& index) override
    {
        index = NumAt(1);
        ExprAt(0).Run();
    }
};

class TComBreak final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TPage*& page, int& index) override
    {
        if (!IsTrue(ExprAt(0))) {
            ++index;
            return;
        }
        if (NumAt(1) < 0)
            page = nullptr;
        else
            index = NumAt(1);
    }
};

class TComContinue final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TPage*& page, int& index) override
    {
        ++index;
        if (!IsTrue(ExprAt(0))) return;
        if (NumAt(1) < 0)
            page = nullptr;
        else
            index = NumAt(1);
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
    void Execute(TCallMan& cm, TPage*&, int&) override
    {
        TerminateRequested = true;
        if (cm.Host().RequestClose) cm.Host().RequestClose();
    }
};

class TComPCReset final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan& cm, TPage*& page, int& index) override
    {
        cm.PCReset(StrAt(fRefPage), NumAt(fRefIndex), NumAt(2) != 0, page, index);
    }
};

class TComReset final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan& cm, TPage*& page, int& index) override
    {
        cm.ResetAll(StrAt(fRefPage), NumAt(fRefIndex), page, index);
    }
};

class TComGameSave final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan& cm, TPage*&, int& index) override
    {
        ++index;
        std::optional<int32_t> slot = ExprAt(0).Int();
        if (slot && cm.Host().RequestSave)
            cm.Host().RequestSave(*slot, ExprAt(3).Str().value_or(std::string()), StrAt(fRefPage),
                                  Has(2) ? NumAt(2) : 0);
    }
};

class TComGameLoad final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan& cm, TPage*&, int& index) override
    {
        ++index;
        std::optional<int32_t> slot = ExprAt(0).Int();
        if (slot && cm.Host().RequestLoad) cm.Host().RequestLoad(*slot);
    }
};

// Reads and writes component properties by id through the component list.
int32_t PropertyId(const TExpr& e)
{
    std::optional<int32_t> id = e.Int();
    if (!id) RaiseError(Utf8ToCp932("プロパティ指定が不正です"));
    return *id;
}

class TComGetProp final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TPage*&, int& index) override
    {
        ++index;
        std::string object = ExprAt(0).Str().value_or(std::string());
        int32_t id = PropertyId(ExprAt(1));
        if (id < 0 || id >= PropertyCount) RaiseError(Utf8ToCp932("GetPropエラー"));
        TParamCollectionItem* var = ParamMan->Find(StrAt(2));
        TPropertyAccess* access = CurrentSysFuncs().Properties;
        if (var && access && !object.empty()) access->GetProperty(object, id, *var->Value);
    }
};

class TComSetProp final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TPage*&, int& index) override
    {
        ++index;
        std::string object = ExprAt(0).Str().value_or(std::string());
        int32_t id = PropertyId(ExprAt(1));
        if (id < 0 || id >= PropertyCount) RaiseError(Utf8ToCp932("SetPropエラー"));
        const TCustomParam* value = ExprAt(2).Run();
        TPropertyAccess* access = CurrentSysFuncs().Properties;
        if (value && access && !object.empty()) access->SetProperty(object, id, *value);
    }
};

} // namespace

// --- TComWait --------------------------------------------------------------------------------

void TComWait::Enter(TCallMan&)
{
    Remaining = ExprAt(1).Int().value_or(0);
    FirstFrame = 1;
    NoEvents = Has(2) && ExprAt(2).Flag().value_or(false);
}

void TComWait::Execute(TCallMan& cm, TPage*&, int& index)
{
    std::optional<bool> condition = ExprAt(0).Flag();
    if (condition && !*condition) {
        ++index;
        return;
    }
    if (Remaining != 0) {
        if (FirstFrame > 0) {
            --FirstFrame;
        } else {
            Remaining -= FrameDelta;
            if (Remaining <= 0) {
                ++index;
                return;
            }
        }
    }
    cm.Running = false;
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

std::unique_ptr<TCommand> MakeCommand(TComList& list, int code)
{
    switch (code) {
    case ccIf:
        return std::make_unique<TComIf>(list, code);
    case ccElseif:
    case ccElse:
        return std::make_unique<TComChainEnd>(list, code);
    case ccJump:
        return std::make_unique<TComJump>(list, code);
    case ccCall:
        return std::make_unique<TComCall>(list, code);
    case ccExit:
        return std::make_unique<TComExit>(list, code);
    case ccWait:
        return std::make_unique<TComWait>(list, code);
    case ccCalc:
        return std::make_unique<TComCalc>(list, code);
    case ccVarNew:
        return std::make_unique<TComVarNew>(list, code);
    case ccVarDel:
        return std::make_unique<TComVarDel>(list, code);
    case ccGetProp:
        return std::make_unique<TComGetProp>(list, code);
    case ccSetProp:
        return std::make_unique<TComSetProp>(list, code);
    case ccWhile:
        return std::make_unique<TComWhile>(list, code);
    case ccWhileInit:
        return std::make_unique<TComWhileInit>(list, code);
    case ccWhileLoop:
        return std::make_unique<TComWhileLoop>(list, code);
    case ccBreak:
        return std::make_unique<TComBreak>(list, code);
    case ccContinue:
        return std::make_unique<TComContinue>(list, code);
    case ccDoEvent:
        return std::make_unique<TComDoEvent>(list, code);
    case ccTerminate:
        return std::make_unique<TComTerminate>(list, code);
    case ccPCReset:
        return std::make_unique<TComPCReset>(list, code);
    case ccReset:
        return std::make_unique<TComReset>(list, code);
    case ccGameSave:
        return std::make_unique<TComGameSave>(list, code);
    case ccGameLoad:
        return std::make_unique<TComGameLoad>(list, code);
    default:
        if (std::unique_ptr<TCommand> command = MakeObjectCommand(list, code)) return command;
        return std::make_unique<TCommand>(list, code);
    }
}

} // namespace ruko
