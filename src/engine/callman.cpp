#include "engine/callman.h"

#include "archive/fields.h"
#include "base/error.h"
#include "base/globals.h"
#include "base/text.h"
#include "params/paramcollection.h"
#include "params/rukoparser.h"

#include <algorithm>

namespace ruko {

TStack::TStack() = default;
TStack::~TStack() = default;
TStack::TStack(TStack&&) noexcept = default;
TStack& TStack::operator=(TStack&&) noexcept = default;

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

void TCallMan::PushFrame(TStack frame)
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
    Page = GetPage(pageName, true);
    Index = 0;
    Entered = false;
    Args.clear();
    State = 0;
    ClearStack();
    EventSender = 0;
    for (int d = 1; d <= EventDepth; ++d)
        events_->RemoveDepth(d);
    EventDepth = 2;
    return Page;
}

TPage* TCallMan::GetPage(const std::string& name, bool toFront)
{
    if (toFront) Index = 0;
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
    page->LoadFromBytes(name, host_.LoadFile(name));
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
        if (pages_[i].get() == Page) continue;
        if (ParamMan)
            if (TParamCollectionItem* item = ParamMan->Find(std::string(1, '\x01') + pages_[i]->Name))
                ParamMan->Remove(*item);
        pages_.erase(pages_.begin() + static_cast<ptrdiff_t>(i));
        if (pages_.size() <= MaxCachedPages) break;
    }
}

std::string TCallMan::GetArg(int i) const
{
    return i >= 0 && i < GetArgCount() ? Args[static_cast<size_t>(i)] : std::string();
}

std::string TCallMan::GetSenderName() const
{
    if (State == 0 || !EventSender || !host_.ComponentName) return std::string();
    return host_.ComponentName(EventSender);
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
    if (ParamMan)
        for (size_t i = 0; i < ParamMan->Count(); ++i) {
            TParamCollectionItem& item = ParamMan->Item(i);
            if (!item.IsSystem() && item.ScopeId > depth) --item.ScopeId;
        }
    return true;
}

void TCallMan::ExecuteCommand(TPage*& page)
{
    page = Page;
    lastWaits_ = false;
    TCommand* command = Page->Commands.At(Index);
    if (!command) {
        page = nullptr;
        return;
    }
    if (host_.Trace && command != lastTraced_) {
        lastTraced_ = command;
        host_.Trace(static_cast<uint32_t>(GameTime), Page->Name, static_cast<int>(command->Line));
    }
    if (!Entered) {
        if (command->GetDisabled()) {
            ++Index;
            return;
        }
        command->Enter(*this);
        Entered = true;
    }
    Running = command->GetContinue();
    lastWaits_ = command->WaitsForEvents();
    const int32_t before = Index;
    command->Execute(*this, page, Index);
    if (page != Page || Index != before) Entered = false;
}

int TCallMan::ExecOne()
{
    if (!Page || TerminateRequested) return 0;
    try {
        TPage* p = nullptr;
        ExecuteCommand(p);
        if (TerminateRequested) return 0;
        const int r = lastWaits_ ? 2 : 0;
        if (p) {
            Page = p;
            return r;
        }
        if (Stack.empty()) {
            Running = false;
            return r;
        }
        DeleteScope(StackCount());
        TStack frame = std::move(Stack.back());
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
        Page = GetPage(frame.PageName, true);
        Index = frame.Index;
        Entered = frame.Entered;
        Running = frame.Continue;
        Args = std::move(frame.Args);
        EventSender = frame.Sender;
        if (!frame.SavedState.empty() && Entered)
            if (TCommand* resumed = Page->Commands.At(Index)) {
                TKwBigMemoryStream state(std::move(frame.SavedState));
                resumed->LoadState(state);
            }
        // Only the return of the handler itself ends its event; calls inside it are ordinary.
        if (!frame.EventFrame) return r;
        if (!EventSender) return 1;
        return r == 0 ? -1 : r;
    } catch (const std::exception& error) {
        TerminateRequested = true;
        if (host_.OnError) host_.OnError(error.what());
        return 0;
    }
}

bool TCallMan::CheckEvent(int depth)
{
    TCommand* current = CurrentCommand();
    if (Entered && current && current->BlocksEvents()) return false;
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
        Page = GetPage(file, true);
    } catch (const std::exception& error) {
        events_->Remove(entry);
        TerminateRequested = true;
        if (host_.OnError) host_.OnError(error.what());
        return false;
    }
    Index = label.empty() ? 0 : std::max(Page->Commands.FindLabel(label), 0);
    if (host_.Trace && Page->Commands.Count() > 0)
        if (TCommand* first = Page->Commands.At(Index))
            host_.Trace(static_cast<uint32_t>(GameTime), "<Event>" + file, static_cast<int>(first->Line));
    Entered = false;
    entry->Depth = depth;
    Args = entry->Args;
    EventSender = entry->Target;
    State = 1;
    return true;
}

bool TCallMan::InHandler() const
{
    for (const TStack& frame : Stack)
        if (frame.EventFrame) return true;
    return false;
}

bool TCallMan::Step()
{
    if (TerminateRequested) return true;
    int64_t budget = MaxCommandsPerStep;
    // At least one command runs each frame: a flow that rested (Running off) goes on here.
    do {
        if (--budget < 0) return true;
        switch (State) {
        case 0: {
            if (CheckEvent(1)) continue;
            TPage* before = Page;
            const int32_t index = Index;
            // A command still waiting (it stayed put) whose Continue flag is set would run again
            // and again within this frame: the step ends instead.
            if (ExecOne() == 2 && Page == before && Index == index && Entered) return true;
            break;
        }
        case 1: {
            const int r = ExecOne();
            if (r == 1) {
                events_->RemoveDepth(1);
                State = 0;
                Running = true;
            } else if (r == 2) {
                EventDepth = 2;
                State = 2;
                return true;
            } else if (State != 1) {
                Running = true;
            } else if (!InHandler()) {
                // No handler is running any more (a save resumed here, or the handler's frame was
                // reset away): this is the main flow, which yields by its Continue flags.
                State = 0;
            }
            break;
        }
        case 2:
            if (CheckEvent(EventDepth)) {
                ++EventDepth;
                State = 3;
            } else {
                State = EventDepth > 2 ? 3 : 1;
            }
            break;
        case 3: {
            const int r = ExecOne();
            if (r == 1 || r == -1) {
                --EventDepth;
                events_->RemoveDepth(EventDepth);
                if (EventDepth <= 2) State = 2;
            } else if (r == 2) {
                State = 2;
                return true;
            }
            break;
        }
        default:
            State = 0;
            break;
        }
    } while ((Running || State != 0) && !TerminateRequested);
    return true;
}

void TCallMan::PCReset(const std::string& pageName, int target, bool allLevels, TPage*& page, int& index)
{
    DeleteScope(StackCount());
    if (allLevels) {
        for (int i = StackCount() - 1; i >= 0; --i) {
            TStack& frame = Stack[static_cast<size_t>(i)];
            DeleteScope(i);
            if (!frame.Sender && frame.Entered)
                if (TPage* framePage = GetPage(frame.PageName, false))
                    if (TCommand* c = framePage->Commands.At(frame.Index)) c->Abort(*this);
        }
        page = Start(pageName);
        index = target;
        events_->Clear();
        return;
    }
    int bottom = -1;
    for (int i = 0; i < StackCount(); ++i)
        if (Stack[static_cast<size_t>(i)].Sender) {
            bottom = i;
            break;
        }
    if (bottom < 0 && EventSender) bottom = StackCount();
    TStack* rewritten = nullptr;
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
        ++index;
    } else {
        page = GetPage(pageName, true);
        index = target;
    }
    events_->RemoveRunning();
}

void TCallMan::ResetAll(const std::string& pageName, int target, TPage*& page, int& index)
{
    if (host_.ResetWorld) host_.ResetWorld();
    if (ParamMan) ParamMan->ClearVariables();
    page = Start(pageName);
    index = target;
}

TStack TCallMan::HandlerFrame() const
{
    TStack frame;
    frame.PageName = Page ? Page->Name : std::string();
    frame.Index = Index;
    frame.Entered = Entered;
    frame.Args = Args;
    frame.Sender = EventSender;
    frame.Continue = Running;
    frame.EventFrame = true;
    if (TCommand* current = CurrentCommand(); current && Entered) {
        TKwBigMemoryStream state;
        current->SaveState(state);
        frame.SavedState = state.TakeBytes();
    }
    return frame;
}

void TCallMan::EnterResumePage(const std::string& pageName, int index)
{
    PushFrame(HandlerFrame());
    Page = GetPage(pageName, true);
    Index = index;
    Entered = false;
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
    std::vector<std::string> list(count);
    for (std::string& item : list)
        item = ReadStr(s);
    return list;
}

} // namespace

void TCallMan::SaveFrame(TKwBigStream& s, const TStack& frame) const
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

TStack TCallMan::LoadFrame(TKwBigStream& s) const
{
    TStack frame;
    frame.PageName = ReadStr(s);
    frame.Index = ReadInt(s);
    frame.Entered = ReadByte(s) != 0;
    frame.Continue = ReadByte(s) != 0;
    frame.ResultVar = ReadStr(s);
    frame.Args = ReadStrings(s);
    std::string sender = ReadStr(s);
    if (!sender.empty() && host_.FindComponent) frame.Sender = host_.FindComponent(sender);
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
    WriteStr(s, Page ? Page->Name : std::string());
    WriteInt(s, Index);
    WriteByte(s, Running ? 1 : 0);
    WriteByte(s, Entered ? 1 : 0);
    WriteInt(s, State);
    WriteStr(s, EventSender && host_.ComponentName ? host_.ComponentName(EventSender) : std::string());
    WriteStrings(s, Args);
    SaveFrame(s, TStack()); // the spare frame
    WriteU32(s, static_cast<uint32_t>(Stack.size()));
    for (const TStack& frame : Stack)
        SaveFrame(s, frame);
    WriteInt(s, EventDepth);
    if (TCommand* current = CurrentCommand(); current && Entered) current->SaveState(s);
}

void TCallMan::LoadFromStream(TKwBigStream& s, int version)
{
    const std::string pageName = ReadStr(s);
    const int32_t index = ReadInt(s);
    const bool running = ReadByte(s) != 0;
    const bool entered = ReadByte(s) != 0;
    const int32_t state = ReadInt(s);
    if (state < 0 || state > 3) RaiseDamaged();
    const std::string sender = ReadStr(s);
    std::vector<std::string> args = ReadStrings(s);
    LoadFrame(s); // the spare frame carries nothing
    const uint32_t count = ReadU32(s);
    if (count > MaxStackDepth) RaiseDamaged();
    CheckCount(s, count, 4 + 4 + 1 + 1 + 4 + 4 + 4 + 4 + 1);
    std::vector<TStack> stack;
    for (uint32_t i = 0; i < count; ++i)
        stack.push_back(LoadFrame(s));
    int32_t eventDepth = 2;
    if (version >= 116) {
        eventDepth = ReadInt(s);
        if (eventDepth < 2 || eventDepth > static_cast<int32_t>(count) + 2) RaiseDamaged();
    }
    // Which frames events pushed is not stored: an event that interrupted a waiting command saved
    // that command's state, and a handler started from the main flow sits on the topmost frame of
    // the main flow.
    bool anyEventFrame = false;
    for (TStack& frame : stack) {
        frame.EventFrame = frame.Entered || !frame.SavedState.empty();
        anyEventFrame |= frame.EventFrame;
    }
    if (state == 1 && !anyEventFrame)
        for (auto it = stack.rbegin(); it != stack.rend(); ++it)
            if (!it->Sender) {
                it->EventFrame = true;
                break;
            }
    TPage* page = pageName.empty() ? nullptr : GetPage(pageName, false);
    if (page && entered)
        if (TCommand* current = page->Commands.At(index)) {
            // The command may be the one running now: a damaged record must not leave it half
            // loaded.
            TKwBigMemoryStream before;
            current->SaveState(before);
            try {
                current->LoadState(s);
            } catch (...) {
                before.SetPosition(0);
                current->LoadState(before);
                throw;
            }
        }
    // Commit.
    if (page) page = GetPage(pageName, true);
    Page = page;
    Index = index;
    Running = running;
    Entered = entered;
    State = state;
    EventSender = !sender.empty() && host_.FindComponent ? host_.FindComponent(sender) : 0;
    Args = std::move(args);
    Stack = std::move(stack);
    SyncScope();
    EventDepth = eventDepth;
}

} // namespace ruko
