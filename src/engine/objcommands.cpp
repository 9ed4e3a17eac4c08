#include "engine/objcommands.h"

#include "base/error.h"
#include "base/globals.h"
#include "base/text.h"
#include "components/baselist.h"
#include "components/images.h"
#include "components/propmotion.h"
#include "engine/callman.h"
#include "engine/comfactory.h"
#include "engine/commands.h"
#include "io/fields.h"
#include "media/mediaitem.h"
#include "params/functable.h"

namespace ruko {
namespace {

// The engine's queue as the component list sees it.
class TTimerListQueue final : public TEventQueue
{
  public:
    explicit TTimerListQueue(TTimerList& list) : list_(list) {}

    void Post(TComponentHandle target, const std::string& command, const std::vector<std::string>& args,
              uint8_t code) override
    {
        list_.Post(target, command, args, code);
    }
    int Find(TComponentHandle target, uint8_t code) const override { return list_.Find(target, code); }
    void RemovePending(TComponentHandle target) override { list_.RemovePending(target); }
    std::vector<TEventRecord> Entries() const override
    {
        std::vector<TEventRecord> out;
        for (int i = 0; i < list_.Count(); ++i) {
            const TTimerData& e = list_[i];
            out.push_back({e.Command, e.Target, e.Code, e.Depth, e.Args});
        }
        return out;
    }
    void Replace(std::vector<TEventRecord> entries) override
    {
        list_.Clear();
        for (const TEventRecord& e : entries) {
            list_.Post(e.Target, e.Command, e.Args, e.Code);
            // The queue hands out its entries read-only; a loaded entry keeps its saved depth.
            const_cast<TTimerData&>(list_[list_.Count() - 1]).Depth = e.Depth;
        }
    }

  private:
    TTimerList& list_;
};

class TComponentProperties final : public TPropertyAccess
{
  public:
    bool GetProperty(const std::string& component, int id, TCustomParam& result) override
    {
        TRukoObject* obj = Bases ? Bases->FindComponent(component) : nullptr;
        if (!obj) return false;
        obj->GetProperty(id, result);
        return true;
    }
    bool SetProperty(const std::string& component, int id, const TCustomParam& value) override
    {
        TRukoObject* obj = Bases ? Bases->FindComponent(component) : nullptr;
        if (!obj) return false;
        obj->SetProperty(id, value);
        return true;
    }
};

TComponentProperties PropertyAccess;

TRukoBaseList& List()
{
    if (!Bases) RaiseError(Utf8ToCp932("コンポーネントがありません"));
    return *Bases;
}

// Box creation: a box on the active base window, then the carried properties.
class TComBoxNew final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        if (TRukoObject* box = List().CreateComponent(LT_BOX)) ApplyProperties(*this, *box);
    }
};

// Image creation: the image keeps its own copy of the wait expression (PR_DELAY) and evaluates it
// each time its animation arrives at the last frame.
class TComImgNew final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        TRukoObject* obj = List().CreateComponent(LT_IMAGES);
        if (!obj) return;
        if (auto* images = dynamic_cast<TRukoCustomImages*>(obj))
            if (const TExpr* wait = Prop(PR_DELAY)) images->LastFrameWait.Assign(wait->Program());
        ApplyProperties(*this, *obj);
    }
};

// A creating command of a kind without further work: the component, then its properties.
template <int Kind> class TComCreate final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        if (TRukoObject* obj = List().CreateComponent(Kind)) ApplyProperties(*this, *obj);
    }
};
using TComTimer = TComCreate<LT_TIMER>;
using TComTileNew = TComCreate<LT_TILE>;
using TComBtnNew = TComCreate<LT_BUTTON>;

// A sound starts once its properties are set: fading in when it has a fade time.
class TComSound final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        TRukoObject* sound = List().CreateComponent(LT_SOUND);
        if (!sound) return;
        ApplyProperties(*this, *sound);
        auto delay = CreateParamByType(ptInt);
        sound->GetProperty(PR_DELAY, *delay);
        sound->SetRunState(delay->GetInt() != 0 ? 1 : 0);
    }
};

class TComMediaPlay final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        std::string name = ExprAt(TComFields<ccMediaPlay>::Object).Str().value_or(std::string());
        if (TRukoObject* obj = name.empty() ? nullptr : List().FindComponent(name)) obj->StartPlayback();
    }
};

// Creates a property motion: each field only when its expression yields a value.
class TComPropMotion final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccPropMotion>;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        std::optional<std::string> name = ExprAt(F::Name).Str();
        std::optional<std::string> target = ExprAt(F::Target).Str();
        const int32_t id = PropertyId(ExprAt(F::Property));
        const TCustomParam* value = ExprAt(F::Value).Run();
        std::optional<Extended> targetValue;
        if (value) targetValue = value->GetFloat();
        std::optional<int32_t> duration = ExprAt(F::Duration).Int();
        std::optional<int32_t> kind = ExprAt(F::Kind).Int();
        std::optional<bool> paused = Has(F::Flag) ? ExprAt(F::Flag).Flag() : std::nullopt;
        auto* motion = dynamic_cast<TRukoPropMotion*>(List().CreateComponent(LT_PROPMOTION));
        if (!motion) return;
        if (name && !name->empty()) motion->SetName(*name);
        if (target) motion->TargetName = *target;
        motion->PropId = id;
        if (targetValue) motion->TargetValue = *targetValue;
        if (duration) motion->Duration = *duration;
        if (kind) motion->Easing = *kind;
        if (paused) motion->Paused = *paused;
    }
};

// Stops a sound (or any component with a run state): at once and deleted, or fading out over
// the given time, optionally waiting until it has gone.
class TComMovieStop final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccMovieStop>;

    void Enter(TCallMan&) override
    {
        NoEvents = Has(F::NoEvents) && ExprAt(F::NoEvents).Flag().value_or(false);
        Waiting = false;
        Target = 0;
        std::string name = ExprAt(F::Object).Str().value_or(std::string());
        TRukoObject* target = name.empty() ? nullptr : List().FindComponent(name);
        if (!target) return;
        const int32_t time = ExprAt(F::Time).Int().value_or(0);
        if (time > 0) {
            auto source = CreateParamByType(ptStr);
            target->GetProperty(PR_SOURCE, *source);
            const std::string file = source->GetStr();
            const int state = target->GetRunState();
            if ((file.rfind("CD_", 0) == 0 || MediaFileExists(file)) && (state == 0 || state == 1)) {
                auto delay = CreateParamByType(ptInt);
                delay->SetInt(time);
                target->SetProperty(PR_DELAY, *delay);
                target->SetRunState(3);
                Target = target->Handle;
            }
        } else {
            target->SetRunState(2);
            target->Delete();
        }
        Waiting = ExprAt(F::Wait).Flag().value_or(false);
    }

    void Execute(TCallMan&, TRunPoint& at) override
    {
        if (!Target || !Waiting || !List().Resolve(Target)) ++at.Index;
    }

    bool WaitsForEvents() const override { return Waiting; }
    bool BlocksEvents() const override { return NoEvents; }

    void SaveState(TKwBigStream& s) override
    {
        WriteStateHeader(s);
        WriteStr(s, Target ? ComponentNameOf(Target) : std::string());
        WriteByte(s, Waiting ? 1 : 0);
        WriteByte(s, NoEvents ? 1 : 0);
    }
    void LoadState(TKwBigStream& s) override
    {
        const int version = ReadStateVersion(s);
        Target = ComponentHandleOf(ReadStr(s));
        Waiting = ReadByte(s) != 0;
        if (version >= 100) NoEvents = ReadByte(s) != 0;
    }

    TComponentHandle Target = 0;
    bool Waiting = false;
    bool NoEvents = false;
};

class TComObjDel final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan&, TRunPoint& at) override
    {
        ++at.Index;
        std::string name = ExprAt(TComFields<ccObjDel>::Object).Str().value_or(std::string());
        if (name.empty() || !Bases) return;
        TRukoObject* obj = Bases->FindComponent(name);
        // The base windows are found by their system names but are never deleted.
        if (obj && !(obj->AsControl() && obj->AsControl()->IsBase())) obj->Delete();
    }
};

// The screen flip: optionally moves components to the back window behind a snapshot of the
// screen, runs the transition over the given time and then shows the back window.
class TComFlip final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccFlip>;

    // Where a flip stands between its executions.
    enum class TPhase : uint8_t
    {
        Entered = 0,  // the first execution only yields
        Starting = 1, // the next one starts the clock
        Running = 2,  // the transition runs until its length has passed
        Switch = 3,   // no transition to wait for: switch at the first execution
    };

    void Enter(TCallMan&) override
    {
        Phase = TPhase::Entered;
        int32_t kind = ExprAt(F::Kind).Int().value_or(0);
        if (kind > WipeTypeCount || kind < 0) kind = 0;
        std::optional<int32_t> duration = ExprAt(F::Duration).Int();
        int32_t d = std::max(duration.value_or(1), 1);
        bool reverse = ExprAt(F::Mode).Flag().value_or(false);
        NoEvents = Has(F::NoEvents) && ExprAt(F::NoEvents).Flag().value_or(false);
        HideAfter = ExprAt(F::HideRest).Flag().value_or(false);
        positiveDuration_ = duration && *duration > 0;
        TRukoBaseList& list = List();
        std::optional<int32_t> selection = ExprAt(F::Selection).Int();
        if (selection) {
            if (!positiveDuration_)
                Phase = TPhase::Switch;
            else
                list.TakeSnapshot();
            TRukoBase& active = list.GetActiveBase();
            // Children move last to first; the flip snapshot stays.
            std::vector<TRukoControl*> children;
            for (const auto& child : active.Children)
                children.push_back(child.get());
            for (size_t i = children.size(); i-- > 0;) {
                TRukoControl* child = children[i];
                if (child->Name == std::string(2, SOH)) continue;
                if (Matches(child->Name) == *selection) child->SetParent(&list.GetBackBase());
            }
        }
        if (Phase != TPhase::Switch) {
            // The back window must hold its picture before the transition reads it.
            TRukoBase& back = list.GetBackBase();
            back.MarkAllDirty();
            back.PaintBase();
            TCustomWipe* wipe = list.SetActiveBase(list.ActiveBase, kind, d, 0, true, reverse);
            if (wipe) {
                if (auto p = ExprAt(F::Param1).Int()) wipe->SetParam(0, *p);
                if (auto p = ExprAt(F::Param2).Int()) wipe->SetParam(1, *p);
                if (Has(F::Rule))
                    if (auto r = ExprAt(F::Rule).Str()) wipe->SetRuleName(*r);
                if (Has(F::DiffOnly))
                    if (auto f = ExprAt(F::DiffOnly).Flag()) wipe->DiffOnly = *f;
                wipe->Prepare();
            }
        }
    }

    void Execute(TCallMan&, TRunPoint& at) override
    {
        TRukoBaseList& list = List();
        if (Phase == TPhase::Entered) {
            Phase = TPhase::Starting;
            at.Running = false;
            return;
        }
        if (Phase == TPhase::Starting) {
            StartTime = GameTime;
            Phase = TPhase::Running;
        }
        if (Phase == TPhase::Running && GameTime - StartTime < list.GetTransitionDuration()) {
            list.SetTransitionElapsed(GameTime - StartTime);
            at.Running = false;
            return;
        }
        Finish(list, false);
        ++at.Index;
    }

    void Abort(TCallMan&) override
    {
        if (Bases) Finish(*Bases, true);
    }

    bool WaitsForEvents() const override { return positiveDuration_; }
    bool BlocksEvents() const override { return NoEvents; }

    void SaveState(TKwBigStream& s) override
    {
        WriteStateHeader(s);
        WriteByte(s, NoEvents ? 1 : 0);
        WriteByte(s, HideAfter ? 1 : 0);
    }
    void LoadState(TKwBigStream& s) override
    {
        if (ReadStateVersion(s) >= 100) {
            NoEvents = ReadByte(s) != 0;
            HideAfter = ReadByte(s) != 0;
        }
    }

    TPhase Phase = TPhase::Entered;
    int32_t StartTime = 0;
    bool NoEvents = false;
    bool HideAfter = false;

  private:
    // 1 when a list names the component, else 0.
    int32_t Matches(const std::string& name) const
    {
        for (const TExpr& e : Fields[F::Lists].List) {
            std::optional<std::string> text = e.Str();
            if (!text) continue;
            size_t start = 0;
            while (start <= text->size()) {
                size_t end = text->find_first_of("\r\n", start);
                if (end == std::string::npos) end = text->size();
                if (text->compare(start, end - start, name) == 0 && end - start == name.size()) return 1;
                start = end + 1;
            }
        }
        return 0;
    }

    void Finish(TRukoBaseList& list, bool aborted)
    {
        list.SetActiveBase(list.ActiveBase ^ 1, 0, 0, 0, true, false);
        if (TRukoObject* snapshot = list.FindComponent(std::string(2, SOH))) snapshot->Delete();
        if (HideAfter) {
            TRukoBase& hidden = list.GetBackBase();
            std::vector<TRukoControl*> children;
            for (const auto& child : hidden.Children)
                children.push_back(child.get());
            for (TRukoControl* child : children)
                if (aborted || !child->IsCabinet()) child->Delete();
        }
    }

    bool positiveDuration_ = false;
};

} // namespace

void ApplyProperties(const TCommand& command, TRukoObject& component)
{
    TRukoBaseList& list = List();
    bool parentGiven = false;
    for (uint8_t id : PropertyCreationOrder) {
        const TExpr* expr = command.Prop(id);
        if (!expr) continue;
        const TPropertyInfo& row = PropertyTable[id];
        if (row.Creation == TCreation::NotApplied) continue;
        const TCustomParam* value = expr->Run();
        std::unique_ptr<TCustomParam> fallback;
        if (!value) {
            if (row.Creation == TCreation::OnlyIfGiven) continue;
            fallback = CreateParamByType(row.CreationDefault.Kind ? row.CreationDefault.Kind : row.Access);
            row.CreationDefault.StoreInto(*fallback);
            value = fallback.get();
        }
        // The position rule of an image on an image reads the image's own size.
        if (id == PR_LEFT)
            if (auto* image = dynamic_cast<TRukoCustomImage*>(&component);
                image && image->HasPicture && image->NeedsOwnLayout())
                image->Layout();
        if (id == PR_NAME) {
            std::string name = value->GetStr();
            if (!name.empty()) component.SetName(name);
        } else if (id == PR_PARENT) {
            parentGiven = true;
            if (TRukoControl* control = component.AsControl()) {
                TRukoControl* container = list.FindContainer(value->GetStr());
                control->SetParent(container ? container : &list.GetActiveBase());
            }
        } else {
            component.SetProperty(id, *value);
        }
    }
    (void)parentGiven; // without a parent the component already lies on the active base window
    if (TRukoControl* control = component.AsControl()) control->Invalidate();
}

void RegisterObjectCommands()
{
    RegisterCommand<TComBoxNew>(ccBoxNew);
    RegisterCommand<TComImgNew>(ccImgNew);
    RegisterCommand<TComTileNew>(ccTileNew);
    RegisterCommand<TComBtnNew>(ccBtnNew);
    RegisterCommand<TComObjDel>(ccObjDel);
    RegisterCommand<TComFlip>(ccFlip);
    RegisterCommand<TComTimer>(ccTimer);
    RegisterCommand<TComSound>(ccSound);
    RegisterCommand<TComMovieStop>(ccMovieStop);
    RegisterCommand<TComMediaPlay>(ccMediaPlay);
    RegisterCommand<TComPropMotion>(ccPropMotion);
}

TComponentList::TComponentList(TTimerList& events, int32_t width, int32_t height)
    : queue_(std::make_unique<TTimerListQueue>(events)), list_(Bases)
{
    list_.Create(queue_.get()).SetSize(width, height);
    CurrentSysFuncs().Properties = &PropertyAccess;
}

std::string ComponentNameOf(TComponentHandle handle)
{
    return Bases ? Bases->ComponentName(handle) : std::string();
}

TComponentHandle ComponentHandleOf(const std::string& name)
{
    TRukoObject* obj = Bases && !name.empty() ? Bases->FindComponent(name) : nullptr;
    return obj ? obj->Handle : 0;
}

void ResetComponents()
{
    if (Bases) Bases->Reset();
}

TComponentList::~TComponentList()
{
    if (CurrentSysFuncs().Properties == &PropertyAccess) CurrentSysFuncs().Properties = nullptr;
    list_.Reset();
}

} // namespace ruko
