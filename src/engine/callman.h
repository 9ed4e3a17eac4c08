#pragma once
// The call manager: runs the scenario one step per frame. A step runs commands until one of
// them yields (its Continue flag is off, or it waits); calls push frames; component events
// taken from the queue run as handler pages on top of the flow, at increasing depths while a
// command waits for events.
#include "engine/page.h"
#include "engine/runpoint.h"
#include "engine/timerlist.h"
#include "io/bigstream.h"

#include <bitset>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ruko {

class TCustomParam;

// What the call manager needs from the rest of the player. Unset members mean "not available".
struct TCallManHost
{
    // The bytes of a title file; raises when it cannot be had.
    std::function<std::vector<uint8_t>(const std::string& name)> LoadFile;
    // The project's check before jumping to or calling a page (asks for a disc where needed).
    std::function<bool(const std::string& name)> FileAvailable;
    // One line per executed command ("%.8x : %s(%d)": time, page, line); an event's page comes
    // as "<Event>" + its file.
    std::function<void(uint32_t time, const std::string& page, int line)> Trace;
    // Something a title author should know of, that does not stop the run (CP932), such as a
    // command the player cannot run yet.
    std::function<void(uint32_t time, const std::string& message)> Notice;
    // Full name of a component, "" when it no longer exists; and the reverse lookup.
    std::function<std::string(TComponentHandle)> ComponentName;
    std::function<TComponentHandle(const std::string& fullName)> FindComponent;
    // The error that stopped the run (CP932).
    std::function<void(const std::string& message)> OnError;
    // The terminate command: ask the window to close.
    std::function<void()> RequestClose;
    // The title cannot go on: show the message (CP932) in a warning box and close the window.
    // Unset: the message stops the run as an error does.
    std::function<void(const std::string& message)> StopWithWarning;
    // The reset command: remove all components, non-persistent tables and history formats.
    std::function<void()> ResetWorld;
    // The game save and load commands hand their requests to the project.
    std::function<void(int slot, const std::string& caption, const std::string& page, int index)> RequestSave;
    std::function<void(int slot)> RequestLoad;
};

// One suspended caller.
struct TCallFrame
{
    std::string PageName;
    int32_t Index = 0;
    bool Entered = false;
    std::string ResultVar;
    std::vector<std::string> Args;
    TComponentHandle Sender = 0;
    bool Continue = false;
    std::vector<uint8_t> SavedState;
    std::unique_ptr<TCustomParam> Result;
    // Pushed by an event rather than a call: only its return ends the event's handler. Not
    // stored; derived again when a save is loaded.
    bool EventFrame = false;

    TCallFrame();
    ~TCallFrame();
    TCallFrame(TCallFrame&&) noexcept;
    TCallFrame& operator=(TCallFrame&&) noexcept;
};

// What running one command did to the flow (ExecOne).
enum class TExecResult : int
{
    Ran = 0,            // the flow goes on (or rests)
    Waits = 2,          // the command waits for events
    BackInFlow = 1,     // an event handler returned, to a context without an event sender
    BackInHandler = -1, // an event handler returned into another handler
};

class TCallMan
{
  public:
    static constexpr int MaxCachedPages = 30;
    static constexpr int MaxStackDepth = 10000;
    // A flow that never yields (a jump to itself) would freeze the window: past this many commands
    // the step ends and the flow goes on in the next frame.
    int64_t MaxCommandsPerStep = int64_t{1} << 24;
    // Steps also end at this moment when set (the exit page must not hold up the end of a run).
    std::optional<std::chrono::steady_clock::time_point> StepDeadline;
    // The last step ended at StepDeadline with the flow unfinished.
    bool StepTimedOut() const { return stepTimedOut_; }
    // The last step ran MaxCommandsPerStep commands with the flow unfinished.
    bool StepOutOfCommands() const { return stepOutOfCommands_; }

    TCallMan(TCallManHost host, TTimerList& events);
    ~TCallMan();

    TPage* Start(const std::string& pageName);
    TPage* GetPage(const std::string& name, bool toFront);
    bool Step();

    int GetArgCount() const { return static_cast<int>(Point.Args.size()); }
    std::string GetArg(int i) const;
    std::string GetSenderName() const;
    TCustomParam* GetResult() const;
    int StackCount() const { return static_cast<int>(Stack.size()); }
    int CachedPageCount() const { return static_cast<int>(pages_.size()); }
    // Discards frame `depth` (0 = bottom) with the variables it owns; false when out of range.
    bool DeleteStack(int depth);

    void SaveToStream(TKwBigStream& s) const;
    // Loads a state written by SaveToStream (save-file `version`); a damaged or out-of-range
    // record raises and leaves the manager as it was.
    void LoadFromStream(TKwBigStream& s, int version);
    // LoadFromStream in two halves, for a record that holds more than the scenario state. The
    // read checks the whole state and already gives the running command its saved state; the
    // commit cannot fail and resolves the sender by name against the components as they are
    // then; a read that is not committed is abandoned, which gives that command its own state back.
    struct TLoadedState
    {
        std::string PageName;
        int32_t Index = 0;
        bool Running = false, Entered = false;
        int32_t State = 0;
        std::string Sender;
        std::vector<std::string> Args;
        std::vector<TCallFrame> Stack;
        std::vector<std::string> StackSenders;
        int32_t EventDepth = 2;
        TCommand* Restored = nullptr;        // the command whose state was read, if any
        std::vector<uint8_t> RestoredBefore; // its state before
        bool Committed = false;
    };
    TLoadedState ReadState(TKwBigStream& s, int version);
    void CommitState(TLoadedState& loaded);
    void AbandonState(TLoadedState& loaded);

    // Pushes the current context (as an event does) and continues at `page`, `index`; used to
    // resume a loaded game at its resume page.
    void EnterResumePage(const std::string& page, int index);

    const TCallManHost& Host() const { return host_; }
    TTimerList& Events() { return *events_; }
    TCommand* CurrentCommand() const { return Point.Page ? Point.Page->Commands.At(Point.Index) : nullptr; }

    // Where the flow stands; Execute receives it to move it.
    TRunPoint Point;
    std::vector<TCallFrame> Stack;

    // Frame operations used by the control-flow commands.
    void PushFrame(TCallFrame frame);
    void ClearStack();
    // Frees the variables owned by call depth `depth`.
    void DeleteScope(int depth);
    // The program-counter reset and the reset command; both move Point.
    void PCReset(const std::string& pageName, int target, bool allLevels);
    void ResetAll(const std::string& pageName, int target);
    // A command without a body ran: the first time for its code, the host hears of it.
    void NoteMissingBody(const TCommand& command);

  private:
    void ExecuteCommand();
    TExecResult ExecOne();
    bool CheckEvent(int depth);
    // The frame an event handler (or a resume page) is entered with: where the flow stands now,
    // with the running command's state when it had started.
    TCallFrame HandlerFrame() const;
    // True while an event handler's own frame is on the stack.
    bool InHandler() const;
    void SyncScope();
    void FreePages();
    void SaveFrame(TKwBigStream& s, const TCallFrame& frame) const;
    // With `senderName` the sender is left for the caller to resolve.
    TCallFrame LoadFrame(TKwBigStream& s, std::string* senderName = nullptr) const;

    TCallManHost host_;
    TTimerList* events_;
    std::vector<std::unique_ptr<TPage>> pages_; // most recently used first
    const TCommand* lastTraced_ = nullptr;
    bool lastWaits_ = false;
    bool stepTimedOut_ = false;
    bool stepOutOfCommands_ = false;
    std::bitset<CommandCodeCount> missingNoted_;
};

} // namespace ruko
