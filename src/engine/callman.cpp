#include "engine/callman.h"

#include "base/error.h"
#include "base/globals.h"
#include "base/text.h"
#include "io/fields.h"
#include "params/paramcollection.h"
#include "params/rukoparser.h"

#include <algorithm>

namespace ruko {

TCallFrame::TCallFrame() = default;
TCallFrame::~TCallFrame() = default;
TCallFrame::TCallFrame(TCallFrame&&) noexcept = default;
TCallFrame& TCallFrame::operator=(TCallFrame&&) noexcept = default;

namespace {

// "file:label": a ':' found scanning from the end before any '.' or '\\' separates the label.
void SplitEventCommand(const std::string& command, std::string& file, std::string& label)
{
    file = command;
    label.clear();
    std::vector<size_t> starts = CharStarts(command);
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
        if (CharLength(command, *it) != 1) continue;
        char c = command[*it];
        if (c == '.' || c == '\\') return;
        if (c == ':') {
            file = command.substr(0, *it);
            label = command.substr(*it + 1);
            return;
        }
    }
}

// Assigns a call's result to an element reference such as "a[i, 2]" without compiling the
// value: only the subscripts, which are the author's code, are evaluated.
void AssignToElement(const std::string& target, const TCustomParam& result)
{
    size_t open = FindChar(target, '[');
    if (open == std::string::npos || target.empty() || target.back() != ']') return;
    std::string name(target.substr(0, open));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    std::string inside = target.substr(open + 1, target.size() - open - 2);
    std::vector<int32_t> subscripts;
    int depth = 0;
    size_t from = 0;
    std::vector<size_t> starts = CharStarts(inside);
    auto evalPiece = [&](size_t a, size_t b) {
        TRukoParser program;
        CompileText(inside.substr(a, b - a), program);
        program.Execute(*ParamMan);
        if (!program.Result) RaiseError(Utf8ToCp932("添え字が不正です"));
        subscripts.push_back(program.Result->GetInt());
    };
    for (size_t pos : starts) {
        if (CharLength(inside, pos) != 1) continue;
        char c = inside[pos];
        if (c == '[' || c == '(')
            ++depth;
        else if (c == ']' || c == ')')
            --depth;
        else if (c == ',' && depth == 0) {
            evalPiece(from, pos);
            from = pos + 1;
        }
    }
    evalPiece(from, inside.size());
    TParamVar element;
    element.BindElement(*ParamMan, name, subscripts);
    element.SetStr(result.GetStr());
}

} // namespace

TCallMan::TCallMan(TCallManHost host, TTimerList& events) : host_(std::move(host)), events_(&events) {}

TCallMan::~TCallMan() = default;

void TCallMan::SyncScope()
{
    if (ParamMan) ParamMan->CurrentScope = StackCount();
}

void TCallMan::PushFrame(TCallFrame frame)
{
    if (StackCount() >= MaxStackDepth) RaiseError(Utf8ToCp932("スタックエラー"));
    Stack.push_back(std::move(frame));
    SyncScope();
}

void TCallMan::ClearStack()
{
    Stack.clear();
    SyncScope();
}

void TCallMan::DeleteScope(int depth)
{
    if (ParamMan) ParamMan->DeleteScope(depth);
}

TPage* TCallMan::Start(const std::string& pageName)
{
    Point.Page = GetPage(pageName, true);
    Point.Index = 0;
    Point.Entered = false;
    Point.Args.clear();
    Point.State = TCallState::Main;
    ClearStack();
    Point.Sender = 0;
    for (int d = 1; d <= Point.Depth; ++d)
        events_->RemoveDepth(d);
    Point.Depth = 2;
    return Point.Page;
}

TPage* TCallMan::GetPage(const std::string& name, bool toFront)
{
    if (toFront) Point.Index = 0;
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i]->Name != name) continue;
        TPage* page = pages_[i].get();
        if (toFront && i != 0)
            std::rotate(pages_.begin(), pages_.begin() + static_cast<ptrdiff_t>(i),
                        pages_.begin() + static_cast<ptrdiff_t>(i) + 1);
        return page;
    }
    if (!host_.LoadFile) RaiseError(FormatText(Utf8ToCp932("%s:ファイルがありません").c_str(), name.c_str()));
    auto page = std::make_unique<TPage>();
    std::vector<uint8_t> bytes = host_.LoadFile(name);
    if (PageNeedsRebuild(bytes) && host_.StopWithWarning) {
        // As at start-up: the author is told and the window closes; the page stays empty.
        page->Name = name;
        host_.StopWithWarning(RebuildMessage(name));
    } else {
        page->LoadFromBytes(name, bytes);
    }
    TPage* result = page.get();
    if (toFront) {
        pages_.insert(pages_.begin(), std::move(page));
        FreePages();
    } else {
        pages_.push_back(std::move(page));
    }
    return result;
}

void TCallMan::FreePages()
{
    // Beyond the cache size the least recently used pages go, but never the current page.
    for (size_t i = pages_.size(); i-- > MaxCachedPages;) {
        if (pages_[i].get() == Point.Page) continue;
        if (ParamMan)
            if (TParamCollectionItem* item = ParamMan->Find(std::string(1, '\x01') + pages_[i]->Name))
                ParamMan->Remove(*item);
        pages_.erase(pages_.begin() + static_cast<ptrdiff_t>(i));
        if (pages_.size() <= MaxCachedPages) break;
    }
}

std::string TCallMan::GetArg(int i) const
{
    return i >= 0 && i < GetArgCount() ? Point.Args[static_cast<size_t>(i)] : std::string();
}

std::string TCallMan::GetSenderName() const
{
    if (Point.State == TCallState::Main || !Point.Sender || !host_.ComponentName) return std::string();
    return host_.ComponentName(Point.Sender);
}

TCustomParam* TCallMan::GetResult() const
{
    return Stack.empty() ? nullptr : Stack.back().Result.get();
}

bool TCallMan::DeleteStack(int depth)
{
    if (depth < 0 || depth >= StackCount()) return false;
    DeleteScope(depth);
    Stack.erase(Stack.begin() + depth);
    SyncScope();
    if (ParamMan) ParamMan->LowerScopesAbove(depth);
    return true;
}

void TCallMan::ExecuteCommand()
{
    TRunPoint& at = Point;
    lastWaits_ = false;
    TCommand* command = at.Page->Commands.At(at.Index);
    if (!command) {
        at.Page = nullptr;
        return;
    }
    if (host_.Trace && command != lastTraced_) {
        lastTraced_ = command;
        host_.Trace(static_cast<uint32_t>(GameTime), at.Page->Name, static_cast<int>(command->Line));
    }
    if (!at.Entered) {
        if (command->GetDisabled()) {
            ++at.Index;
            return;
        }
        command->Enter(*this);
        at.Entered = true;
    }
    at.Running = command->GetContinue();
    lastWaits_ = command->WaitsForEvents();
    const TPage* const page = at.Page;
    const int32_t index = at.Index;
    command->Execute(*this, at);
    if (at.Page != page || at.Index != index) at.Entered = false;
}

TExecResult TCallMan::ExecOne()
{
    if (!Point.Page || TerminateRequested) return TExecResult::Ran;
    TPage* const left = Point.Page;
    try {
        ExecuteCommand();
        if (TerminateRequested) return TExecResult::Ran;
        const TExecResult r = lastWaits_ ? TExecResult::Waits : TExecResult::Ran;
        if (Point.Page) return r;
        // The page ended. Until the caller's page is had, the flow still stands on the one left
        // (it stays cached, and with no caller the flow rests there: the next step ends it again).
        Point.Page = left;
        if (Stack.empty()) {
            Point.Running = false;
            return r;
        }
        DeleteScope(StackCount());
        TCallFrame frame = std::move(Stack.back());
        Stack.pop_back();
        SyncScope();
        if (!frame.ResultVar.empty() && frame.Result) {
            if (TParamCollectionItem* var = ParamMan->Find(frame.ResultVar)) {
                var->ConvertFrom(*frame.Result);
            } else {
                try {
                    AssignToElement(frame.ResultVar, *frame.Result);
                } catch (const ERukoError&) {
                    // A name that denotes no variable receives nothing.
                }
            }
        }
        Point.Page = GetPage(frame.PageName, true);
        Point.Index = frame.Index;
        Point.Entered = frame.Entered;
        Point.Running = frame.Continue;
        Point.Args = std::move(frame.Args);
        Point.Sender = frame.Sender;
        if (!frame.SavedState.empty() && Point.Entered)
            if (TCommand* resumed = Point.Page->Commands.At(Point.Index)) {
                TKwBigMemoryStream state(std::move(frame.SavedState));
                resumed->LoadState(state);
            }
        // Only the return of the handler itself ends its event; calls inside it are ordinary.
        if (!frame.EventFrame) return r;
        if (!Point.Sender) return TExecResult::BackInFlow;
        return r == TExecResult::Ran ? TExecResult::BackInHandler : r;
    } catch (const std::exception& error) {
        if (!Point.Page) Point.Page = left;
        TerminateRequested = true;
        if (host_.OnError) host_.OnError(error.what());
        return TExecResult::Ran;
    }
}

bool TCallMan::CheckEvent(int depth)
{
    TCommand* current = CurrentCommand();
    if (Point.Entered && current && current->BlocksEvents()) return false;
    TTimerData* entry = nullptr;
    std::string file, label;
    // A handler page that cannot be had would block the queue for good: such an event is dropped
    // and the next one is offered.
    while ((entry = events_->Next())) {
        SplitEventCommand(entry->Command, file, label);
        if (file.size() >= 3) {
            file.replace(file.size() - 3, 3, "rsb");
            if (host_.FileAvailable && host_.FileAvailable(file)) break;
        }
        events_->Remove(entry);
    }
    if (!entry) return false;
    try {
        PushFrame(HandlerFrame());
        Point.Page = GetPage(file, true);
    } catch (const std::exception& error) {
        events_->Remove(entry);
        TerminateRequested = true;
        if (host_.OnError) host_.OnError(error.what());
        return false;
    }
    Point.Index = label.empty() ? 0 : std::max(Point.Page->Commands.FindLabel(label), 0);
    if (host_.Trace && Point.Page->Commands.Count() > 0)
        if (TCommand* first = Point.Page->Commands.At(Point.Index))
            host_.Trace(static_cast<uint32_t>(GameTime), "<Event>" + file, static_cast<int>(first->Line));
    Point.Entered = false;
    entry->Depth = depth;
    Point.Args = entry->Args;
    Point.Sender = entry->Target;
    Point.State = TCallState::Handler;
    return true;
}

bool TCallMan::InHandler() const
{
    for (const TCallFrame& frame : Stack)
        if (frame.EventFrame) return true;
    return false;
}

bool TCallMan::Step()
{
    stepTimedOut_ = false;
    stepOutOfCommands_ = false;
    if (TerminateRequested) return true;
    int64_t budget = MaxCommandsPerStep;
    // The clock is read once every so many commands: reading it costs more than a command.
    constexpr int64_t ClockEvery = 1024;
    // At least one command runs each frame: a flow that rested (Running off) goes on here.
    using S = TCallState;
    using R = TExecResult;
    do {
        if (--budget < 0) {
            stepOutOfCommands_ = true;
            return true;
        }
        if (StepDeadline && budget % ClockEvery == 0 && std::chrono::steady_clock::now() >= *StepDeadline) {
            stepTimedOut_ = true;
            return true;
        }
        switch (Point.State) {
        case S::Main: {
            if (CheckEvent(1)) continue;
            const TPage* const page = Point.Page;
            const int32_t index = Point.Index;
            // A command still waiting (it stayed put) whose Continue flag is set would run again
            // and again within this frame: the step ends instead.
            if (ExecOne() == R::Waits && Point.Page == page && Point.Index == index && Point.Entered)
                return true;
            break;
        }
        case S::Handler: {
            const R r = ExecOne();
            if (r == R::BackInFlow) {
                events_->RemoveDepth(1);
                Point.State = S::Main;
                Point.Running = true;
            } else if (r == R::Waits) {
                Point.Depth = 2;
                Point.State = S::Waiting;
                return true;
            } else if (Point.State != S::Handler) {
                Point.Running = true;
            } else if (!InHandler()) {
                // No handler is running any more (a save resumed here, or the handler's frame was
                // reset away): this is the main flow, which yields by its Continue flags.
                Point.State = S::Main;
            }
            break;
        }
        case S::Waiting:
            if (CheckEvent(Point.Depth)) {
                ++Point.Depth;
                Point.State = S::WaitHandler;
            } else {
                Point.State = Point.Depth > 2 ? S::WaitHandler : S::Handler;
            }
            break;
        case S::WaitHandler: {
            const R r = ExecOne();
            if (r == R::BackInFlow || r == R::BackInHandler) {
                --Point.Depth;
                events_->RemoveDepth(Point.Depth);
                if (Point.Depth <= 2) Point.State = S::Waiting;
            } else if (r == R::Waits) {
                Point.State = S::Waiting;
                return true;
            }
            break;
        }
        default:
            Point.State = S::Main;
            break;
        }
    } while ((Point.Running || Point.State != S::Main) && !TerminateRequested);
    return true;
}

void TCallMan::PCReset(const std::string& pageName, int target, bool allLevels)
{
    DeleteScope(StackCount());
    if (allLevels) {
        for (int i = StackCount() - 1; i >= 0; --i) {
            TCallFrame& frame = Stack[static_cast<size_t>(i)];
            DeleteScope(i);
            if (!frame.Sender && frame.Entered)
                if (TPage* framePage = GetPage(frame.PageName, false))
                    if (TCommand* c = framePage->Commands.At(frame.Index)) c->Abort(*this);
        }
        Start(pageName);
        Point.Index = target;
        events_->Clear();
        return;
    }
    int bottom = -1;
    for (int i = 0; i < StackCount(); ++i)
        if (Stack[static_cast<size_t>(i)].Sender) {
            bottom = i;
            break;
        }
    if (bottom < 0 && Point.Sender) bottom = StackCount();
    TCallFrame* rewritten = nullptr;
    int position = -1;
    for (int i = bottom - 1; i >= 0; --i) {
        if (Stack[static_cast<size_t>(i)].Sender) continue;
        rewritten = &Stack[static_cast<size_t>(i)];
        position = i;
        break;
    }
    if (rewritten) {
        rewritten->PageName = pageName;
        rewritten->Index = target;
        rewritten->Entered = false;
        rewritten->ResultVar.clear();
        rewritten->Args.clear();
        rewritten->SavedState.clear();
        DeleteScope(position);
        ++Point.Index;
    } else {
        Point.Page = GetPage(pageName, true);
        Point.Index = target;
    }
    events_->RemoveRunning();
}

void TCallMan::NoteMissingBody(const TCommand& command)
{
    const size_t code = static_cast<size_t>(command.GetCode());
    if (missingNoted_[code]) return;
    missingNoted_[code] = true;
    if (!host_.Notice) return;
    const TCommandDef& def = command.Def();
    host_.Notice(static_cast<uint32_t>(GameTime), command.OwnerPage().Name + "(" +
                                                      std::to_string(command.Line) + "): " + def.ClassName +
                                                      " (" + def.Keyword + ") is not supported yet; skipped");
}

void TCallMan::ResetAll(const std::string& pageName, int target)
{
    if (host_.ResetWorld) host_.ResetWorld();
    if (ParamMan) ParamMan->ClearVariables();
    Start(pageName);
    Point.Index = target;
}

TCallFrame TCallMan::HandlerFrame() const
{
    TCallFrame frame;
    frame.PageName = Point.Page ? Point.Page->Name : std::string();
    frame.Index = Point.Index;
    frame.Entered = Point.Entered;
    frame.Args = Point.Args;
    frame.Sender = Point.Sender;
    frame.Continue = Point.Running;
    frame.EventFrame = true;
    if (TCommand* current = CurrentCommand(); current && Point.Entered) {
        TKwBigMemoryStream state;
        current->SaveState(state);
        frame.SavedState = state.TakeBytes();
    }
    return frame;
}

void TCallMan::EnterResumePage(const std::string& pageName, int index)
{
    PushFrame(HandlerFrame());
    Point.Page = GetPage(pageName, true);
    Point.Index = index;
    Point.Entered = false;
}

namespace {

void WriteStrings(TKwBigStream& s, const std::vector<std::string>& list)
{
    WriteU32(s, static_cast<uint32_t>(list.size()));
    for (const std::string& item : list)
        WriteStr(s, item);
}

std::vector<std::string> ReadStrings(TKwBigStream& s)
{
    uint32_t count = ReadU32(s);
    CheckCount(s, count, 4);
    // Grown as the strings arrive: a count over bytes that are no strings costs nothing.
    std::vector<std::string> list;
    for (uint32_t i = 0; i < count; ++i)
        list.push_back(ReadStr(s));
    return list;
}

} // namespace

void TCallMan::SaveFrame(TKwBigStream& s, const TCallFrame& frame) const
{
    WriteStr(s, frame.PageName);
    WriteInt(s, frame.Index);
    WriteByte(s, frame.Entered ? 1 : 0);
    WriteByte(s, frame.Continue ? 1 : 0);
    WriteStr(s, frame.ResultVar);
    WriteStrings(s, frame.Args);
    WriteStr(s, frame.Sender && host_.ComponentName ? host_.ComponentName(frame.Sender) : std::string());
    WriteU32(s, static_cast<uint32_t>(frame.SavedState.size()));
    WriteExact(s, frame.SavedState.data(), static_cast<int64_t>(frame.SavedState.size()));
    const uint8_t type = frame.Result ? frame.Result->GetVarType() : 0;
    WriteByte(s, type);
    if (type) frame.Result->SaveToStream(s);
}

TCallFrame TCallMan::LoadFrame(TKwBigStream& s, std::string* senderName) const
{
    TCallFrame frame;
    frame.PageName = ReadStr(s);
    frame.Index = ReadInt(s);
    frame.Entered = ReadByte(s) != 0;
    frame.Continue = ReadByte(s) != 0;
    frame.ResultVar = ReadStr(s);
    frame.Args = ReadStrings(s);
    std::string sender = ReadStr(s);
    if (senderName)
        *senderName = sender;
    else if (!sender.empty() && host_.FindComponent)
        frame.Sender = host_.FindComponent(sender);
    uint32_t size = ReadU32(s);
    CheckCount(s, size, 1);
    frame.SavedState.resize(size);
    ReadExact(s, frame.SavedState.data(), size);
    uint8_t type = ReadByte(s);
    if (type) {
        frame.Result = CreateParamByType(type);
        if (!frame.Result || type == ptVar) RaiseDamaged();
        frame.Result->LoadFromStream(s);
    }
    return frame;
}

void TCallMan::SaveToStream(TKwBigStream& s) const
{
    WriteStr(s, Point.Page ? Point.Page->Name : std::string());
    WriteInt(s, Point.Index);
    WriteByte(s, Point.Running ? 1 : 0);
    WriteByte(s, Point.Entered ? 1 : 0);
    WriteInt(s, static_cast<int32_t>(Point.State));
    WriteStr(s, Point.Sender && host_.ComponentName ? host_.ComponentName(Point.Sender) : std::string());
    WriteStrings(s, Point.Args);
    SaveFrame(s, TCallFrame()); // the spare frame
    WriteU32(s, static_cast<uint32_t>(Stack.size()));
    for (const TCallFrame& frame : Stack)
        SaveFrame(s, frame);
    WriteInt(s, Point.Depth);
    if (TCommand* current = CurrentCommand(); current && Point.Entered) current->SaveState(s);
}

void TCallMan::LoadFromStream(TKwBigStream& s, int version)
{
    TLoadedState loaded = ReadState(s, version);
    CommitState(loaded);
}

TCallMan::TLoadedState TCallMan::ReadState(TKwBigStream& s, int version)
{
    TLoadedState loaded;
    loaded.PageName = ReadStr(s);
    loaded.Index = ReadInt(s);
    loaded.Running = ReadByte(s) != 0;
    loaded.Entered = ReadByte(s) != 0;
    loaded.State = ReadInt(s);
    if (loaded.State < 0 || loaded.State > 3) RaiseDamaged();
    loaded.Sender = ReadStr(s);
    loaded.Args = ReadStrings(s);
    LoadFrame(s, nullptr); // the spare frame carries nothing
    const uint32_t count = ReadU32(s);
    if (count > MaxStackDepth) RaiseDamaged();
    CheckCount(s, count, 4 + 4 + 1 + 1 + 4 + 4 + 4 + 4 + 1);
    for (uint32_t i = 0; i < count; ++i) {
        std::string sender;
        loaded.Stack.push_back(LoadFrame(s, &sender));
        loaded.StackSenders.push_back(std::move(sender));
    }
    if (version >= 116) {
        loaded.EventDepth = ReadInt(s);
        if (loaded.EventDepth < 2 || loaded.EventDepth > static_cast<int32_t>(count) + 2) RaiseDamaged();
    }
    // Which frames events pushed is not stored: an event that interrupted a waiting command saved
    // that command's state, and a handler started from the main flow sits on the topmost frame of
    // the main flow.
    bool anyEventFrame = false;
    for (TCallFrame& frame : loaded.Stack) {
        frame.EventFrame = frame.Entered || !frame.SavedState.empty();
        anyEventFrame |= frame.EventFrame;
    }
    if (loaded.State == static_cast<int32_t>(TCallState::Handler) && !anyEventFrame)
        for (size_t i = loaded.Stack.size(); i-- > 0;)
            if (loaded.StackSenders[i].empty()) {
                loaded.Stack[i].EventFrame = true;
                break;
            }
    TPage* page = loaded.PageName.empty() ? nullptr : GetPage(loaded.PageName, false);
    if (page && loaded.Entered)
        if (TCommand* current = page->Commands.At(loaded.Index)) {
            // The command may be the one running now: a damaged record must not leave it half
            // loaded, nor a record that is not committed in the end.
            TKwBigMemoryStream before;
            current->SaveState(before);
            try {
                current->LoadState(s);
            } catch (...) {
                before.SetPosition(0);
                current->LoadState(before);
                throw;
            }
            loaded.Restored = current;
            loaded.RestoredBefore = before.TakeBytes();
        }
    return loaded;
}

void TCallMan::AbandonState(TLoadedState& loaded)
{
    if (loaded.Committed || !loaded.Restored) return;
    TKwBigMemoryStream before(std::move(loaded.RestoredBefore));
    loaded.Restored->LoadState(before);
    loaded.Restored = nullptr;
}

void TCallMan::CommitState(TLoadedState& loaded)
{
    loaded.Committed = true;
    auto find = [this](const std::string& name) -> TComponentHandle {
        return !name.empty() && host_.FindComponent ? host_.FindComponent(name) : 0;
    };
    for (size_t i = 0; i < loaded.Stack.size(); ++i)
        loaded.Stack[i].Sender = find(loaded.StackSenders[i]);
    TPage* page = loaded.PageName.empty() ? nullptr : GetPage(loaded.PageName, true);
    Point.Page = page;
    Point.Index = loaded.Index;
    Point.Running = loaded.Running;
    Point.Entered = loaded.Entered;
    Point.State = static_cast<TCallState>(loaded.State);
    Point.Sender = find(loaded.Sender);
    Point.Args = std::move(loaded.Args);
    Stack = std::move(loaded.Stack);
    SyncScope();
    Point.Depth = loaded.EventDepth;
}

} // namespace ruko
