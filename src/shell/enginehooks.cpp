#include "shell/enginehooks.h"

#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/fileio.h"
#include "base/globals.h"
#include "base/text.h"
#include "engine/componentlink.h"
#include "engine/runtime.h"
#include "engine/savescreen.h"
#include "platform/hostenv.h"
#include "platform/trace.h"
#include "records/dbfunctions.h"
#include "shell/runobjects.h"
#include "shell/titlefonts.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace ruko {
namespace {

// 2000-01-01 00:00:00, the calendar of every headless run.
constexpr std::time_t HeadlessEpoch = 946684800;

// The window's display while the screen manager exists.
TDisplayControl* Display = nullptr;

// A dialog's answer as the title sees it: CP932 text of the host path.
std::optional<std::string> Chosen(const std::optional<std::string>& hostPath)
{
    if (!hostPath) return std::nullopt;
    return Utf8ToCp932(*hostPath);
}

// The in-memory archive first, then the base folder and the archives the command line names.
void RegisterDataSources(TRunObjects& run, TStartContext& context)
{
    run.Files.Create();
    TPlatform* platform = &context.Platform;
    TFileManagerHost host;
    host.AskOkCancel = [platform](const std::string& text, const std::string& caption) {
        return platform->AskOkCancel(caption, text) == TBoxAnswer::Ok ? TPromptAnswer::Ok
                                                                      : TPromptAnswer::Cancel;
    };
    host.ShowInfo = [platform](const std::string& text, const std::string& caption) {
        platform->WarningBox(caption, text);
    };
    FileManager->SetHost(std::move(host));
    FileManager->SetTempFolder(context.Temp.Path());
    // Fonts first: every source registered from here on offers its ".rft" files.
    StartFonts(run, context);
    FileManager->OnAdd = OfferTitleFonts;
    FileManager->AddArchive("");
    FileManager->RegisterDataSources("/proc/self/exe", context.Parameters);
    run.Tables.Create();
}

void CallTables(TRunObjects& run, TFuncCall& call)
{
    TTableFiles files;
    files.Files = FileManager;
    files.Available = [&run](const std::string& name) {
        return run.Engine && run.Engine->FileAvailable(name);
    };
    if (DBManager) CallTableFunction(*DBManager, call, files);
}

} // namespace

void InstallEngineHooks(TGameHooks& hooks, TRunObjects& objects)
{
    TRunObjects* run = &objects;
    hooks.RegisterDataSources = [run](TStartContext& context) { RegisterDataSources(*run, context); };
    hooks.DeleteWorkFiles = [] {
        if (FileManager) FileManager->DeleteStaleWorkFiles();
    };
    hooks.FreeDataSources = [run] { run->FreeDataSources(); };
    hooks.FinalFileWork = [run] {
        if (run->Engine) run->Engine->WriteStatus();
        run->RemoveFilesDeletedAtExit();
    };
    hooks.CreateVariableStore = [run](TStartContext& context) {
        TEngineOptions options;
        options.Seed = context.Seed;
        options.DumpVarsFile = context.DumpVarsFile;
        options.DataFolder = context.BaseFolder;
        TPlatform* platform = &context.Platform;
        options.ShowWarning = [platform](const std::string& text, const std::string& caption) {
            platform->WarningBox(caption, text);
        };
        options.SetTitle = [platform](const std::string& title) { platform->SetCaption(title); };
        std::function<void(bool)> closeWindow = context.CloseWindow;
        options.RequestClose = [closeWindow] {
            TerminateRequested = true;
            if (closeWindow) closeWindow(false);
        };
        options.CloseAfterFailure = [closeWindow] {
            if (closeWindow) closeWindow(true);
        };
        if (TraceEnabled())
            options.Trace = [](uint32_t time, const std::string& page, int line) {
                TraceCommand(time, page, line);
            };
        options.Notice = [](uint32_t time, const std::string& message) {
            std::fprintf(stderr, "rukoplay: %s\n", Cp932ToUtf8(message).c_str());
            TraceNote(time, message);
        };
        // The scenario stops silently; the reason still helps whoever runs the title.
        options.OnError = [](const std::string& message) {
            std::fprintf(stderr, "rukoplay: %s\n", Cp932ToUtf8(message).c_str());
        };
        const std::string saveDir = context.SaveDir, dataFolder = context.BaseFolder;
        options.LocateSaveFile = [saveDir, dataFolder](const std::string& title, int32_t identCode) {
            TSaveLocation where;
            if (!saveDir.empty()) {
                where.Path = saveDir + (saveDir.back() == '/' ? "" : "/") + "save.dat";
            } else {
                where.Path = UserTitleSaveFile(Cp932ToUtf8(title), identCode);
                // Titles used to keep their saves beside them; the first run takes them along.
                where.Import = dataFolder + "save.dat";
            }
            return where;
        };
        run->Engine = std::make_unique<TEngine>(std::move(options));
        TEngine& engine = *run->Engine;
        TBuiltinServices& services = engine.Services();
        services.GetMouse = [platform](int32_t& x, int32_t& y) {
            int mx = 0, my = 0;
            platform->GetMouse(mx, my);
            x = mx;
            y = my;
        };
        services.WarpMouse = [platform](int32_t x, int32_t y) { platform->WarpMouse(x, y); };
        services.IsFullScreen = [] { return Display && Display->IsFullScreen(); };
        services.SetFullScreen = [](bool full) {
            if (Display) Display->SetFullScreen(full);
        };
        services.DisplayModes = [] {
            std::vector<std::array<int32_t, 4>> modes;
            if (Display)
                for (const TDisplayMode& m : Display->DisplayModes())
                    modes.push_back({m.Width, m.Height, m.Bits, m.Refresh});
            return modes;
        };
        services.DisplayModeIndex = [] { return Display ? Display->DisplayModeIndex() : -1; };
        services.SetDisplayModeIndex = [](int32_t index) {
            if (Display) Display->SetDisplayModeIndex(index);
        };
        services.Components = &ComponentLink();
        services.Tables = [run](TFuncCall& call) { CallTables(*run, call); };
        TBuiltinServices* all = &services;
        services.SaveScreen = [all](const std::string& name, int32_t width, int32_t height, bool back,
                                    int32_t keep) {
            return SaveScreen(*all, name, width, height, back, keep);
        };
        services.DeleteAtExit = [run](const std::string& hostPath) {
            std::vector<std::string>& files = run->DeletedAtExit;
            if (std::find(files.begin(), files.end(), hostPath) == files.end()) files.push_back(hostPath);
        };
        services.ShowInfo = [platform](const std::string& text, const std::string& caption) {
            platform->WarningBox(caption, text);
        };
        services.AskYesNo = [platform](const std::string& text, const std::string& caption) {
            return platform->AskYesNo(caption, text);
        };
        services.OpenUrl = [platform](const std::string& url) { return platform->OpenUrl(url); };
        services.FolderExists = [](const std::string& folder) { return HostFolderExists(folder); };
        services.SpecialFolder = [](const std::string& name) { return UserSpecialFolder(name); };
        services.SelectOpenFile = [platform](const std::string& filter) {
            return Chosen(platform->ChooseFile(TFileDialogKind::Open, Cp932ToUtf8(filter)));
        };
        services.SelectSaveFile = [platform](const std::string& filter) {
            return Chosen(platform->ChooseFile(TFileDialogKind::Save, Cp932ToUtf8(filter)));
        };
        services.SelectDirectory = [platform] {
            return Chosen(platform->ChooseFile(TFileDialogKind::Folder, std::string()));
        };
        services.FontNames = InstalledFontNames;
        services.ProgramFolder = context.ExecutableFolder;
        services.PCTickCount = [platform] { return platform->Now(); };
        if (platform->IsHeadless()) {
            // A headless run repeats exactly: its calendar starts at a fixed moment and moves
            // with the virtual clock.
            services.LocalTime = [platform] {
                std::time_t seconds = HeadlessEpoch + static_cast<std::time_t>(platform->Now() / 1000);
                std::tm local{};
                gmtime_r(&seconds, &local);
                return local;
            };
        }
        engine.CreateVariableStore();
    };
    hooks.CreateProject = [run](TStartContext&) -> std::optional<TProjectInfo> {
        run->Engine->CreateProject();
        const TProject& project = *run->Engine->Project();
        TProjectInfo info;
        info.TitleCp932 = project.Title;
        info.ScreenWidth = project.ScreenWidth;
        info.ScreenHeight = project.ScreenHeight;
        info.Toolbar = project.ShowToolbar;
        info.PauseWhenInactive = project.PauseWhenInactive;
        info.FullScreenWidth = project.FullScreenWidth;
        info.FullScreenHeight = project.FullScreenHeight;
        return info;
    };
    hooks.ConnectDisplay = [](TDisplayControl* display) { Display = display; };
    hooks.StepEngine = [run] {
        if (run->Engine) run->Engine->Step();
    };
    hooks.ApplyProjectRequests = [run] { return run->Engine && run->Engine->ApplyRequests(); };
    hooks.FreeProject = [run] { run->FreeProject(); };
    hooks.FreeVariableStore = [run] { run->FreeVariableStore(); };
}

} // namespace ruko
