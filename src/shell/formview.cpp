#include "shell/formview.h"

#include <cstdio>
#include <exception>

#include "base/error.h"
#include "base/globals.h"
#include "base/inifile.h"
#include "base/text.h"
#include "platform/hostenv.h"
#include "shell/options.h"

namespace ruko {
namespace {

template <typename F, typename... A> void Call(const F& hook, A&&... args)
{
    if (hook) hook(std::forward<A>(args)...);
}

// Teardown goes on past a failing step, so later subsystems are still freed.
void CallQuietly(const std::function<void()>& hook)
{
    try {
        if (hook) hook();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "rukoplay: %s\n", Cp932ToUtf8(e.what()).c_str());
    }
}

const char* const WarningCaptionUtf8 = "警告";
const char* const NoFileUtf8 = ":ファイルがありません";

} // namespace

TFormView::TFormView(TPlatform& platform, TGameHooks hooks) : platform_(platform), hooks_(std::move(hooks)) {}

TFormView::~TFormView()
{
    FreeGame();
}

bool TFormView::FormCreate(TStartContext& context)
{
    started_ = true;
    context.CloseWindow = [this](bool failed) {
        closeRequested_ = true;
        closedOnFailure_ |= failed;
    };
    try {
        // No code of ours writes this log; a stale one from the original player would mislead.
        std::remove((context.BaseFolder + "rukoplay.log").c_str());
        TIniFile ini;
        if (ini.Load(context.BaseFolder + "game.ini")) ReadGameOptions(ini, context.Options);
        Call(hooks_.RegisterDataSources, context);
        Call(hooks_.CreateVariableStore, context);
        InitializeGame(context);
    } catch (const ERukoError& e) {
        ShowStartupFailure(e.what());
        return false;
    } catch (const std::exception& e) {
        ShowStartupFailure(Utf8ToCp932(e.what()));
        return false;
    }
    if (TerminateRequested) {
        closeRequested_ = true;
        return false;
    }
    return true;
}

void TFormView::InitializeGame(TStartContext& context)
{
    // The audio output opens whatever "DirectSound" says: both sound paths play through it.
    if (hooks_.InitializeSound) {
        try {
            hooks_.InitializeSound(context);
        } catch (const ERukoError&) {
            // Without sound the title still plays.
        }
    }
    Call(hooks_.InitializeComponents, context);
    if (hooks_.CreateProject) {
        project_ = hooks_.CreateProject(context);
        if (TerminateRequested) return;
    }
    if (project_) {
        info_ = *project_;
    } else {
        // No project yet: a title folder that is not there is still an error worth showing.
        if (!context.Parameters.empty() && !HostFolderExists(context.BaseFolder))
            RaiseError(Utf8ToCp932(context.Parameters.front()) + Utf8ToCp932(NoFileUtf8));
        diagnostic_ = true;
        info_ = TProjectInfo{};
        info_.TitleCp932 = "RukoPlayer";
    }
    if (hooks_.InitializeMedia) hooks_.InitializeMedia(context, info_);
    if (info_.ScreenWidth > 0 && info_.ScreenHeight > 0)
        screen_ = std::make_unique<TScreenManager>(platform_, info_.FullScreenWidth, info_.FullScreenHeight,
                                                   info_.ScreenWidth, info_.ScreenHeight);
    if (screen_) Call(hooks_.ConnectDisplay, this);
    TWindowSetup setup;
    setup.CaptionCp932 = info_.TitleCp932;
    setup.ScreenWidth = std::max(info_.ScreenWidth, 1);
    setup.ScreenHeight = std::max(info_.ScreenHeight, 1);
    setup.ToolbarVisible = info_.Toolbar;
    platform_.OpenWindow(setup);
}

void TFormView::ShowStartupFailure(const std::string& messageCp932)
{
    platform_.WarningBox(Utf8ToCp932(WarningCaptionUtf8), messageCp932);
    closeRequested_ = true;
}

void TFormView::Run(const TRunLimits& limits)
{
    int64_t frames = 0;
    auto ending = [&] { return closeRequested_ || (limits.EndRequested && limits.EndRequested()); };
    pacer_.Start(platform_.Now());
    while (!ending()) {
        // While suspended the frames stop; the next interval after resuming is a stall.
        platform_.Wait(loopSuspended_ ? 50 : pacer_.WaitMs(platform_.Now()));
        TPlatformEvent event;
        while (!closeRequested_ && platform_.PollEvent(event))
            HandleEvent(event);
        if (ending() || loopSuspended_) continue;
        int64_t now = platform_.Now();
        std::optional<int> interval = pacer_.Tick(now);
        if (!interval) continue;
        GameTime += *interval;
        FrameDelta = *interval;
        LastTick = static_cast<int32_t>(now);
        if (switchingScreen_) continue;
        DoFrame();
        ++frames;
        if (limits.AfterFrame) limits.AfterFrame();
        if (limits.Frames && frames >= *limits.Frames) break;
        if (limits.Until && GameTime >= *limits.Until) break;
        if (limits.EndOnTerminate && TerminateRequested) break;
    }
}

void TFormView::DoFrame()
{
    if (!project_ && !diagnostic_) return;
    Call(hooks_.DeleteWorkFiles);
    Call(hooks_.TakeInputSnapshot);
    Call(hooks_.StepEngine);
    if (TerminateRequested) {
        // The step ended the run: the saves it asked for are still written ("save and quit").
        if (hooks_.ApplyProjectRequests) hooks_.ApplyProjectRequests();
        return;
    }
    Call(hooks_.UpdateComponents);
    ++FrameCount;
    if (hooks_.ApplyProjectRequests && hooks_.ApplyProjectRequests()) drawSkip_ = 1;
    if (drawSkip_ > 0) {
        --drawSkip_;
        return;
    }
    drawDivider_ = (drawDivider_ + 1) % FPSDivisor;
    if (drawDivider_ != 0) return;
    if (!screen_) return;
    TDrawResult drawn;
    if (diagnostic_)
        drawn = pattern_.Draw(screen_->Surface(), GameTime);
    else if (hooks_.DrawComponents)
        drawn = hooks_.DrawComponents(screen_->Surface());
    screen_->Present(drawn);
    Call(hooks_.UpdateVideo);
}

void TFormView::HandleEvent(const TPlatformEvent& event)
{
    switch (event.Kind) {
    case TEventKind::KeyDown:
        if (active_ && event.Key >= 0 && event.Key < 256) Call(hooks_.KeyDown, event.Key);
        break;
    case TEventKind::KeyUp:
        if (event.Key >= 0 && event.Key < 256) Call(hooks_.KeyUp, event.Key);
        break;
    case TEventKind::MouseDown:
        if (active_) Call(hooks_.MouseDown, event.Button, event.X, event.Y);
        break;
    case TEventKind::MouseUp:
        Call(hooks_.MouseUp, event.Button, event.X, event.Y);
        break;
    case TEventKind::MouseMove:
        Call(hooks_.MouseMove, event.X, event.Y);
        break;
    case TEventKind::WheelUp:
        Call(hooks_.Wheel, true);
        break;
    case TEventKind::WheelDown:
        Call(hooks_.Wheel, false);
        break;
    case TEventKind::Activate:
        Activate();
        break;
    case TEventKind::Deactivate:
        Deactivate();
        break;
    case TEventKind::Quit:
        closeRequested_ = true;
        break;
    case TEventKind::ExitButton:
        ConfirmExit();
        break;
    case TEventKind::ScreenButton:
        SetFullScreen(!(screen_ && screen_->FullScreen()));
        break;
    }
}

void TFormView::Deactivate()
{
    if (!project_ || !project_->PauseWhenInactive) return;
    loopSuspended_ = true;
    active_ = false;
    Call(hooks_.PauseMedia);
    Call(hooks_.ReleaseAllInput);
}

void TFormView::Activate()
{
    if (!project_ || project_->PauseWhenInactive) {
        loopSuspended_ = false;
        active_ = true;
        LastTick = static_cast<int32_t>(platform_.Now());
        if (project_) Call(hooks_.ResumeMedia);
        return;
    }
    active_ = true;
    LastTick = static_cast<int32_t>(platform_.Now());
}

void TFormView::ConfirmExit()
{
    bool was = TerminateRequested;
    TerminateRequested = true;
    const std::string& title = info_.TitleCp932;
    if (platform_.AskYesNo(title, ExitQuestion(UserLanguageIsJapanese(), title)))
        closeRequested_ = true;
    else
        TerminateRequested = was;
}

void TFormView::SetFullScreen(bool full)
{
    if (!screen_ || full == screen_->FullScreen()) return;
    if (full && screen_->ModeIndex() < 0) return;
    switchingScreen_ = true;
    Call(hooks_.FreeDisplayResources);
    Call(hooks_.PauseMedia);
    screen_->SetIndex(full ? screen_->ModeIndex() : -1);
    Call(hooks_.ReloadDisplayResources);
    Call(hooks_.ResumeMedia);
    // The new display shows nothing yet: present the whole picture once.
    platform_.Present(screen_->Surface().View(), {}, 100);
    switchingScreen_ = false;
}

void TFormView::ApplyScreenMode()
{
    if (!screen_ || !screen_->FullScreen() || screen_->ModeIndex() < 0 ||
        screen_->ModeIndex() == screen_->Index())
        return;
    switchingScreen_ = true;
    Call(hooks_.FreeDisplayResources);
    Call(hooks_.PauseMedia);
    screen_->SetIndex(screen_->ModeIndex());
    Call(hooks_.ReloadDisplayResources);
    Call(hooks_.ResumeMedia);
    switchingScreen_ = false;
}

std::vector<TDisplayMode> TFormView::DisplayModes() const
{
    return screen_ ? screen_->Modes() : std::vector<TDisplayMode>();
}

void TFormView::SetDisplayModeIndex(int index)
{
    if (!screen_) return;
    screen_->SetModeIndex(index);
    ApplyScreenMode();
}

void TFormView::SetMouseX(int x)
{
    int oldX, y;
    platform_.GetMouse(oldX, y);
    platform_.WarpMouse(x, y);
}

void TFormView::SetMouseY(int y)
{
    int x, oldY;
    platform_.GetMouse(x, oldY);
    platform_.WarpMouse(x, y);
}

void TFormView::FreeGame()
{
    if (!started_) return;
    started_ = false;
    TerminateRequested = true;
    CallQuietly(hooks_.FreeProject);
    project_.reset();
    CallQuietly(hooks_.FreeVariableStore);
    CallQuietly(hooks_.FinalizeComponents);
    if (screen_ && hooks_.ConnectDisplay) CallQuietly([this] { hooks_.ConnectDisplay(nullptr); });
    screen_.reset();
    CallQuietly(hooks_.FinalizeMedia);
    CallQuietly(hooks_.FreeDataSources);
}

} // namespace ruko
