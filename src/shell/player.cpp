#include "shell/player.h"

#include <chrono>
#include <cstdio>

#include "base/error.h"
#include "base/globals.h"
#include "base/text.h"
#include "platform/endsignals.h"
#include "platform/hostenv.h"
#include "platform/inputscript.h"
#include "platform/trace.h"
#include "shell/cmdline.h"
#include "shell/formview.h"
#include "shell/framepng.h"
#include "shell/options.h"
#include "shell/runobjects.h"

namespace ruko {
namespace {

// Headless runs without a limit stop here, so a title that never ends cannot hang a test.
constexpr int64_t DefaultHeadlessUntil = 60000;

int UsageFailure(const std::string& message)
{
    std::fprintf(stderr, "rukoplay: %s\n", message.c_str());
    return 2;
}

std::string WithSlash(std::string path)
{
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

bool WriteSnapshot(const TFormView& view, TScreenManager* screen, const std::string& path)
{
    (void)view;
    std::string why;
    if (screen && WriteFramePng(path, screen->Surface().View(), &why)) return true;
    std::fprintf(stderr, "rukoplay: cannot write snapshot %s: %s\n", path.c_str(),
                 screen ? why.c_str() : "no picture");
    return false;
}

bool CaptureWindowPng(TPlatform& platform, const std::string& path)
{
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    return platform.CaptureWindow(pixels, width, height) &&
           WriteFramePng(path, {pixels.data(), width, height, width * 4});
}

} // namespace

int RunPlayer(int argc, char** argv)
{
    TCommandLine line;
    TInputScript input;
    try {
        line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (line.Help) {
            std::fputs(UsageText().c_str(), stdout);
            return 0;
        }
        if (!line.InputScript.empty()) {
            if (!line.Headless) throw EUsageError{"--input needs --headless"};
            input = LoadInputScript(line.InputScript);
        }
    } catch (const EUsageError& e) {
        return UsageFailure(e.Message);
    } catch (const EInputScript& e) {
        return UsageFailure(e.Message);
    }

    // The single-copy guard comes first: a second copy on the same title ends silently.
    const std::string executableFolder = ExecutableFolder();
    TRunLock runLock;
    std::string mutexBase = line.Parameters.empty() ? executableFolder : line.Parameters.front();
    if (!runLock.Acquire(RunMutexNameForHostPath(mutexBase))) return 0;
    // The settings dialog is not built yet: "/config" ends quietly.
    if (!line.Parameters.empty() && SameText(line.Parameters.front(), "/config")) return 0;

    if (!line.Trace.empty() && !OpenTrace(line.Trace))
        return UsageFailure("cannot write the trace file " + line.Trace);

    InstallEndSignals();
    TTempFolder temp;
    std::unique_ptr<TPlatform> platform;
    try {
        platform =
            line.Headless ? CreateHeadlessPlatform(std::move(input)) : CreateSdlPlatform(line.VirtualClock);
    } catch (const ERukoError& e) {
        std::fprintf(stderr, "rukoplay: %s\n", Cp932ToUtf8(e.what()).c_str());
        return 1;
    }

    if (!line.AudioOut.empty()) {
        try {
            platform->Audio().SetCapture(line.AudioOut);
        } catch (const ERukoError& e) {
            return UsageFailure(Cp932ToUtf8(e.what()));
        }
    }

    // Declared after the platform and before the window: the teardown that frees them may still
    // show a box, and the window's teardown reaches them through the hooks.
    TRunObjects objects;
    TGameHooks hooks;
    // Without hooks nothing of the title is loaded and the shell shows its test picture.
    if (!line.TestPattern) InstallGameHooks(hooks, objects);
    TGameOptions options;
    uint32_t seed = line.Seed ? *line.Seed
                    : line.Headless || line.VirtualClock
                        ? 0
                        : static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count());
    TStartContext context{*platform,
                          options,
                          line.Parameters,
                          line.Parameters.empty() ? executableFolder : WithSlash(line.Parameters.front()),
                          executableFolder,
                          seed,
                          temp,
                          line.DumpVars,
                          line.FontFiles,
                          line.FontAliases,
                          line.SoundFont,
                          line.SaveDir};

    std::function<void()> finalFileWork = hooks.FinalFileWork;
    platform->OnDisplayLost([&, finalFileWork] {
        BeginOrderlyEnd();
        if (finalFileWork) finalFileWork();
        CloseTrace();
        temp.Remove();
        runLock.Release();
    });

    TFormView view(*platform, std::move(hooks));
    if (!view.FormCreate(context)) {
        BeginOrderlyEnd();
        view.FreeGame();
        CloseTrace();
        return 1;
    }

    bool snapshotsOk = true;
    std::vector<bool> taken(line.SnapshotsAt.size(), false);
    TRunLimits limits;
    limits.Frames = line.Frames;
    limits.Until = line.Until;
    if (line.Headless && !line.Frames && !line.Until) limits.Until = DefaultHeadlessUntil;
    limits.EndOnTerminate = line.Headless;
    limits.EndRequested = [] { return EndSignalReceived() != 0; };
    limits.AfterFrame = [&] {
        for (size_t i = 0; i < line.SnapshotsAt.size(); ++i) {
            if (taken[i] || GameTime < line.SnapshotsAt[i].Time) continue;
            taken[i] = true;
            snapshotsOk &= WriteSnapshot(view, view.ScreenMan(), line.SnapshotsAt[i].Path);
        }
    };
    try {
        view.Run(limits);
    } catch (const std::exception& e) {
        // Commands catch their own errors; what reaches here is a fault of the player itself.
        std::fprintf(stderr, "rukoplay: %s\n", Cp932ToUtf8(e.what()).c_str());
        snapshotsOk = false;
    }
    BeginOrderlyEnd();

    for (size_t i = 0; i < line.SnapshotsAt.size(); ++i) {
        if (taken[i]) continue;
        std::fprintf(stderr, "rukoplay: the run ended at %d ms, before %lld ms; %s not written\n", GameTime,
                     static_cast<long long>(line.SnapshotsAt[i].Time), line.SnapshotsAt[i].Path.c_str());
        snapshotsOk = false;
    }
    if (!line.Snapshot.empty()) snapshotsOk &= WriteSnapshot(view, view.ScreenMan(), line.Snapshot);
    if (!line.ScreenshotWindow.empty() && !CaptureWindowPng(*platform, line.ScreenshotWindow)) {
        std::fprintf(stderr, "rukoplay: cannot capture the window into %s\n", line.ScreenshotWindow.c_str());
        snapshotsOk = false;
    }
    const bool failed = view.ClosedOnFailure();
    view.FreeGame();
    CloseTrace();
    return snapshotsOk && !failed ? 0 : 1;
}

} // namespace ruko
