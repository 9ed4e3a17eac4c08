#include "shell/formview.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "base/fileio.h"
#include "base/globals.h"
#include "base/text.h"
#include "platform/hostenv.h"

using namespace ruko;

namespace {

// Runs the view on the headless platform with hooks that log their calls.
class FormViewTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        TerminateRequested = false;
        GameTime = FrameDelta = LastTick = FrameCount = 0;
    }

    TGameHooks LoggingHooks(TProjectInfo project = {})
    {
        TGameHooks h;
        auto log = [this](const char* name) { return [this, name](auto&&...) { calls.push_back(name); }; };
        h.RegisterDataSources = log("sources");
        h.CreateVariableStore = log("variables");
        h.InitializeSound = log("sound");
        h.InitializeComponents = log("components");
        h.CreateProject = [this, project](TStartContext&) -> std::optional<TProjectInfo> {
            calls.push_back("project");
            return project;
        };
        h.InitializeMedia = log("media");
        h.DeleteWorkFiles = log("workfiles");
        h.TakeInputSnapshot = log("snapshot");
        h.StepEngine = [this] {
            calls.push_back("engine");
            if (terminateAtStep) TerminateRequested = true;
        };
        h.UpdateComponents = log("update");
        h.ApplyProjectRequests = [this] {
            calls.push_back("requests");
            return std::exchange(loadApplied, false);
        };
        h.DrawComponents = [this](TFrameSurface&) {
            calls.push_back("draw");
            return TDrawResult{{{0, 0, 1, 1}}, {}, 100};
        };
        h.UpdateVideo = log("video");
        h.KeyDown = [this](int vk) { calls.push_back("key" + std::to_string(vk)); };
        h.MouseDown = [this](TMouseButton, int x, int y) {
            calls.push_back("down" + std::to_string(x) + "," + std::to_string(y));
        };
        h.PauseMedia = log("pause");
        h.ResumeMedia = log("resume");
        h.ReleaseAllInput = log("release");
        h.FreeProject = log("~project");
        h.FreeVariableStore = log("~variables");
        h.FinalizeComponents = log("~components");
        h.FinalizeMedia = log("~media");
        h.FreeDataSources = log("~sources");
        return h;
    }

    bool Start(TFormView& view)
    {
        TStartContext context{*platform, options, {}, folder.Path(), folder.Path(), 0, folder, {}};
        return view.FormCreate(context);
    }

    std::unique_ptr<TPlatform> platform = CreateHeadlessPlatform({});
    TGameOptions options;
    TTempFolder folder;
    std::vector<std::string> calls;
    bool terminateAtStep = false;
    bool loadApplied = false;
};

} // namespace

TEST_F(FormViewTest, StartsFramesAndTearsDownInOrder)
{
    {
        TFormView view(*platform, LoggingHooks());
        ASSERT_TRUE(Start(view));
        view.DoFrame();
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"sources", "variables", "sound", "components", "project",
                                               "media", "workfiles", "snapshot", "engine", "update",
                                               "requests", "draw", "video", "~project", "~variables",
                                               "~components", "~media", "~sources"}));
    EXPECT_EQ(FrameCount, 1);
}

// Both sound paths play through the one output, so it opens whatever "DirectSound" says.
TEST_F(FormViewTest, SoundOpensWhateverTheOptionsSayAndItsFailureIsIgnored)
{
    TGameHooks hooks = LoggingHooks();
    hooks.InitializeSound = [](TStartContext&) { RaiseError("no device"); };
    TFormView view(*platform, hooks);
    EXPECT_TRUE(Start(view));

    calls.clear();
    options.UseDirectSound = false;
    TFormView quiet(*platform, LoggingHooks());
    ASSERT_TRUE(Start(quiet));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "sound"), 1);
}

TEST_F(FormViewTest, OptionsComeFromGameIniInTheTitleFolder)
{
    ASSERT_TRUE(
        WriteHostFileAtomic(folder.Path() + "game.ini", "[Sound]\r\nDirectSound=0\r\nDelayTime=250\r\n"));
    TFormView view(*platform, LoggingHooks());
    ASSERT_TRUE(Start(view));
    EXPECT_EQ(options.SoundDelayTime, 200);
    EXPECT_FALSE(options.UseDirectSound);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "sound"), 1);
}

TEST_F(FormViewTest, ScenarioEndSkipsTheRestOfTheFrameButStillAppliesItsRequests)
{
    TFormView view(*platform, LoggingHooks());
    ASSERT_TRUE(Start(view));
    calls.clear();
    terminateAtStep = true;
    view.DoFrame();
    // "Save and quit" in one step: the save is applied before the run ends.
    EXPECT_EQ(calls, (std::vector<std::string>{"workfiles", "snapshot", "engine", "requests"}));
    EXPECT_EQ(FrameCount, 0);
}

TEST_F(FormViewTest, DrawingIsSkippedOnceAfterAGameLoad)
{
    TFormView view(*platform, LoggingHooks());
    ASSERT_TRUE(Start(view));
    loadApplied = true;
    calls.clear();
    view.DoFrame();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "draw"), 0);
    view.DoFrame();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "draw"), 1);
    EXPECT_EQ(FrameCount, 2);
}

TEST_F(FormViewTest, HeadlessFramesAdvanceTheGameTimeBy15Ms)
{
    TFormView view(*platform, LoggingHooks());
    ASSERT_TRUE(Start(view));
    int frames = 0;
    view.Run({std::nullopt, 150, false,
              [&] {
                  ++frames;
                  EXPECT_EQ(FrameDelta, 15);
                  EXPECT_EQ(GameTime, frames * 15);
              },
              nullptr});
    EXPECT_EQ(frames, 10);
    EXPECT_EQ(FrameCount, 10);
}

TEST_F(FormViewTest, HeadlessRunEndsWhenTheScenarioEnds)
{
    TFormView view(*platform, LoggingHooks());
    ASSERT_TRUE(Start(view));
    terminateAtStep = true;
    view.Run({1000, std::nullopt, true, nullptr, nullptr});
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "engine"), 1);
}

// A signal asks between frames: the frame under way is finished, no further one starts, and the
// teardown runs as after closing the window.
TEST_F(FormViewTest, AnEndRequestStopsTheLoopAfterTheCurrentFrame)
{
    TFormView view(*platform, LoggingHooks());
    ASSERT_TRUE(Start(view));
    int frames = 0;
    view.Run({1000, std::nullopt, false, [&] { ++frames; }, [&] { return frames == 3; }});
    EXPECT_EQ(frames, 3);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "engine"), 3);
    calls.clear();
    view.FreeGame();
    EXPECT_EQ(calls,
              (std::vector<std::string>{"~project", "~variables", "~components", "~media", "~sources"}));
}

TEST_F(FormViewTest, StartupFailureShowsTheMessageAndStops)
{
    TGameHooks hooks = LoggingHooks();
    hooks.CreateProject = [](TStartContext&) -> std::optional<TProjectInfo> {
        RaiseError(Utf8ToCp932("プロジェクトがありません"));
    };
    TFormView view(*platform, hooks);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Start(view));
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("警告"), std::string::npos);
    EXPECT_NE(printed.find("プロジェクトがありません"), std::string::npos);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "media"), 0);
    EXPECT_TRUE(view.CloseRequested());
}

TEST_F(FormViewTest, ProjectLeavingTheTerminateFlagSetEndsTheStartUp)
{
    TGameHooks hooks = LoggingHooks();
    hooks.CreateProject = [](TStartContext&) -> std::optional<TProjectInfo> {
        TerminateRequested = true;
        return std::nullopt;
    };
    TFormView view(*platform, hooks);
    EXPECT_FALSE(Start(view));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "media"), 0);
}

TEST_F(FormViewTest, ExitQuestionAnsweredNoRestoresTheFlag)
{
    platform = CreateHeadlessPlatform(ParseInputScript("0 answer no\n0 answer yes\n"));
    TFormView view(*platform, LoggingHooks());
    ASSERT_TRUE(Start(view));
    testing::internal::CaptureStderr();
    TerminateRequested = false;
    view.ConfirmExit();
    EXPECT_FALSE(TerminateRequested);
    EXPECT_FALSE(view.CloseRequested());
    view.ConfirmExit();
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(TerminateRequested);
    EXPECT_TRUE(view.CloseRequested());
}

TEST_F(FormViewTest, InactiveWindowDropsPressesAndPausesWhenTheProjectAsks)
{
    TProjectInfo project;
    project.PauseWhenInactive = true;
    TFormView view(*platform, LoggingHooks(project));
    ASSERT_TRUE(Start(view));
    calls.clear();
    view.HandleEvent({TEventKind::Deactivate});
    view.HandleEvent({TEventKind::KeyDown, 13});
    view.HandleEvent({TEventKind::MouseDown, 0, TMouseButton::Left, 4, 5});
    view.HandleEvent({TEventKind::Activate});
    view.HandleEvent({TEventKind::KeyDown, 13});
    EXPECT_EQ(calls, (std::vector<std::string>{"pause", "release", "resume", "key13"}));
}

TEST_F(FormViewTest, ProjectsThatKeepRunningIgnoreFocusChanges)
{
    TFormView view(*platform, LoggingHooks());
    ASSERT_TRUE(Start(view));
    calls.clear();
    view.HandleEvent({TEventKind::Deactivate});
    view.HandleEvent({TEventKind::MouseDown, 0, TMouseButton::Left, 4, 5});
    EXPECT_EQ(calls, (std::vector<std::string>{"down4,5"}));
}

TEST_F(FormViewTest, WithoutAProjectTheDiagnosticPictureIsShown)
{
    TGameHooks hooks = LoggingHooks();
    hooks.CreateProject = nullptr;
    TFormView view(*platform, hooks);
    ASSERT_TRUE(Start(view));
    EXPECT_FALSE(view.HasProject());
    view.DoFrame();
    ASSERT_NE(view.ScreenMan(), nullptr);
    EXPECT_EQ(view.ScreenMan()->PresentCount(), 1);
    EXPECT_EQ(view.ScreenMan()->Surface().Pixels[0], 0xC0C0C0u); // the first colour bar
}

TEST_F(FormViewTest, FullScreenButtonDoesNothingWithoutAUsableMode)
{
    TProjectInfo huge;
    huge.ScreenWidth = 4000;
    huge.ScreenHeight = 3000;
    TFormView view(*platform, LoggingHooks(huge));
    ASSERT_TRUE(Start(view));
    view.HandleEvent({TEventKind::ScreenButton});
    EXPECT_FALSE(view.ScreenMan()->FullScreen());

    TFormView normal(*platform, LoggingHooks());
    ASSERT_TRUE(Start(normal));
    normal.HandleEvent({TEventKind::ScreenButton});
    EXPECT_TRUE(normal.ScreenMan()->FullScreen());
    normal.HandleEvent({TEventKind::ScreenButton});
    EXPECT_FALSE(normal.ScreenMan()->FullScreen());
}
