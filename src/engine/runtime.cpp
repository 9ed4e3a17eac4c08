#include "engine/runtime.h"

#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/globals.h"
#include "base/text.h"
#include "engine/dumpvars.h"
#include "engine/objcommands.h"
#include "params/functable.h"
#include "params/paramcollection.h"
#include "records/dbmanager.h"

#include <chrono>
#include <cstdio>

namespace ruko {
namespace {

// The exit page's share of the end of a run: besides the one step it gets, at most this long.
constexpr std::chrono::seconds ExitPageTime{2};

} // namespace

TEngine::TEngine(TEngineOptions options) : options_(std::move(options)) {}

TEngine::~TEngine()
{
    FreeProject();
    FreeVariableStore();
}

void TEngine::CreateVariableStore()
{
    paramMan_.Create();
    sysFuncMan_.Create();
    services_.Random.Seed(options_.Seed);
    InstallBuiltins(*SysFuncMan, services_);
    systemHost_ = MakeSystemHost(services_);
    ParamMan->SetHost(systemHost_.get());
}

void TEngine::CreateProject()
{
    TCallManHost calls;
    calls.LoadFile = [](const std::string& name) {
        if (!FileManager)
            RaiseError(FormatText(Utf8ToCp932("%s:ファイルがありません").c_str(), name.c_str()));
        return FileManager->LoadFile(name);
    };
    calls.FileAvailable = [this](const std::string& name) { return FileAvailable(name); };
    calls.ComponentName = ComponentNameOf;
    calls.FindComponent = ComponentHandleOf;
    calls.ResetWorld = [] {
        ResetComponents();
        if (DBManager) DBManager->RemoveGameTables();
    };
    calls.Trace = options_.Trace;
    calls.Notice = options_.Notice;
    calls.OnError = options_.OnError;
    calls.RequestClose = options_.RequestClose;
    calls.StopWithWarning = [this](const std::string& message) {
        TerminateRequested = true;
        if (options_.ShowWarning) options_.ShowWarning(message, Utf8ToCp932("警告"));
        if (options_.CloseAfterFailure) options_.CloseAfterFailure();
    };
    calls.RequestSave = [this](int slot, const std::string& caption, const std::string& page, int index) {
        if (!project_) return;
        project_->PendingSaveSlot = slot;
        project_->PendingSaveCaption = caption;
        project_->PendingSavePage = page;
        project_->PendingSaveLine = index;
    };
    calls.RequestLoad = [this](int slot) {
        if (project_) project_->PendingLoadSlot = slot;
    };
    callMan_ = std::make_unique<TCallMan>(std::move(calls), events_);
    BindCallManager(services_, *callMan_);

    TProjectHost host;
    const std::string dataFolder = options_.DataFolder;
    host.LocateGameData = [dataFolder] { return FileManager && FileManager->LocateGameData(dataFolder); };
    host.StartPage = [this](const std::string& page) { callMan_->Start(page); };
    host.RunExitPage = [this](const std::string& page) {
        callMan_->Start(page);
        callMan_->StepDeadline = std::chrono::steady_clock::now() + ExitPageTime;
        callMan_->Step();
        callMan_->StepDeadline.reset();
        if (!options_.Notice) return;
        if (callMan_->StepTimedOut())
            options_.Notice(static_cast<uint32_t>(GameTime),
                            "the exit page did not end within 2 s; it was abandoned");
        else if (callMan_->StepOutOfCommands())
            options_.Notice(static_cast<uint32_t>(GameTime),
                            "the exit page did not end within one step's commands; it was abandoned");
    };
    host.ShowWarning = options_.ShowWarning;
    host.SetTitle = [this](const std::string& title) {
        services_.Title = title;
        if (options_.SetTitle) options_.SetTitle(title);
    };
    project_ = std::make_unique<TProject>(std::move(host));
    project_->Create();
    services_.ScreenWidth = project_->ScreenWidth;
    services_.ScreenHeight = project_->ScreenHeight;
}

bool TEngine::FileAvailable(const std::string& name)
{
    return project_ ? project_->EnsureFileAvailable(name) : FileManager && FileManager->Exists(name);
}

void TEngine::Step()
{
    if (callMan_ && project_ && project_->Created()) callMan_->Step();
}

void TEngine::FreeProject()
{
    if (project_) {
        project_->Destroy();
        if (!options_.DumpVarsFile.empty() && ParamMan &&
            !WriteVariablesJson(*ParamMan, options_.DumpVarsFile))
            std::fprintf(stderr, "rukoplay: cannot write %s\n", options_.DumpVarsFile.c_str());
        options_.DumpVarsFile.clear();
    }
    project_.reset();
    // The built-ins must not reach a call manager that is gone.
    services_.ArgCount = nullptr;
    services_.Arg = nullptr;
    services_.SenderName = nullptr;
    services_.CallResult = nullptr;
    services_.StackCount = nullptr;
    services_.DeleteStack = nullptr;
    callMan_.reset();
    events_.Clear();
}

void TEngine::FreeVariableStore()
{
    sysFuncMan_.Reset();
    if (paramMan_) paramMan_->SetHost(nullptr);
    paramMan_.Reset();
    systemHost_.reset();
}

} // namespace ruko
