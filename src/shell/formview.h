#pragma once
// The player's window and its frame loop: start-up of the subsystems through the hooks, one frame
// (DoFrame) at a time, input routing, display switching and the ordered teardown.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/platform.h"
#include "shell/diagnostic.h"
#include "shell/framepacer.h"
#include "shell/hooks.h"
#include "shell/screenman.h"

namespace ruko {

// Draw every FPSDivisor-th logic frame; particle effects step in units of ParticleStep ms.
// Both are fixed for the whole run.
constexpr int FPSDivisor = 1;
constexpr int ParticleStep = 16;

// When a run stops by itself (besides the user closing the window).
struct TRunLimits
{
    std::optional<int64_t> Frames;    // after this many frames
    std::optional<int64_t> Until;     // when GameTime reaches this
    bool EndOnTerminate = false;      // when the scenario ends (headless runs)
    std::function<void()> AfterFrame; // after each frame, e.g. to take snapshots
    // Asked between frames: true ends the run as closing the window does, without the question.
    std::function<bool()> EndRequested;
};

class TFormView final : public TDisplayControl
{
  public:
    TFormView(TPlatform& platform, TGameHooks hooks);
    ~TFormView() override;

    // The start-up: options, data sources, variables, then InitializeGame. False when it failed;
    // the failure has been shown in a warning box.
    bool FormCreate(TStartContext& context);
    // Runs frames until the window is closed or a limit is reached.
    void Run(const TRunLimits& limits);
    // The ordered teardown; also run by the destructor when still due.
    void FreeGame();

    void DoFrame();
    void HandleEvent(const TPlatformEvent& event);
    // Asks whether to end; Yes closes, No leaves TerminateRequested as it was.
    void ConfirmExit();
    void SetFullScreen(bool full) override;
    // Full screen again with the mode scripts chose.
    void ApplyScreenMode();
    bool IsFullScreen() const override { return screen_ && screen_->FullScreen(); }
    std::vector<TDisplayMode> DisplayModes() const override;
    int DisplayModeIndex() const override { return screen_ ? screen_->ModeIndex() : -1; }
    void SetDisplayModeIndex(int index) override;
    void SetMouseX(int x);
    void SetMouseY(int y);

    bool HasProject() const { return project_.has_value(); }
    const TProjectInfo& Project() const { return info_; }
    TScreenManager* ScreenMan() { return screen_.get(); }
    bool CloseRequested() const { return closeRequested_; }
    // The window was closed because the title could not go on (an old page, say).
    bool ClosedOnFailure() const { return closedOnFailure_; }
    bool Active() const { return active_; }
    int DrawSkip() const { return drawSkip_; }

  private:
    void InitializeGame(TStartContext& context);
    void ShowStartupFailure(const std::string& messageCp932);
    void Activate();
    void Deactivate();

    TPlatform& platform_;
    TGameHooks hooks_;
    std::optional<TProjectInfo> project_; // set when a project runs
    TProjectInfo info_;                   // the project's, or the diagnostic picture's settings
    bool diagnostic_ = false;
    TDiagnosticPattern pattern_;
    std::unique_ptr<TScreenManager> screen_;
    TFramePacer pacer_;
    bool started_ = false; // something to tear down
    bool active_ = true;
    bool loopSuspended_ = false;
    bool closeRequested_ = false;
    bool closedOnFailure_ = false;
    bool switchingScreen_ = false;
    int drawDivider_ = 0;
    int drawSkip_ = 0;
};

} // namespace ruko
