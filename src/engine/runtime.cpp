#include "engine/runtime.h"

#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/globals.h"
#include "base/text.h"
#include "components/baselist.h"
#include "engine/dumpvars.h"
#include "engine/gamesave.h"
#include "engine/objcommands.h"
#include "engine/savedata.h"
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
    calls.OnError = [this](const std::string& message) {
        scenarioFailed_ = true;
        if (options_.OnError) options_.OnError(message);
    };
    calls.RequestClose = options_.RequestClose;
    calls.StopWithWarning = [this](const std::string& message) {
        TerminateRequested = true;
        if (options_.ShowWarning) options_.ShowWarning(message, Utf8ToCp932("警告"));
        if (options_.CloseAfterFailure) options_.CloseAfterFailure();
    };
    calls.RequestSave = [this](int slot, const std::string& caption, const std::string& page, int index) {
        if (project_) project_->Requests.push_back({false, slot, caption, page, index});
    };
    calls.RequestLoad = [this](int slot) {
        if (project_) project_->Requests.push_back({true, slot, {}, {}, 0});
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
        // What the exit page asked to save is saved before the status.
        exiting_ = true;
        ApplyRequests();
        exiting_ = false;
        if (!options_.Notice) return;
        if (callMan_->StepTimedOut())
            options_.Notice(static_cast<uint32_t>(GameTime),
                            "the exit page did not end within 2 s; it was abandoned");
        else if (callMan_->StepOutOfCommands())
            options_.Notice(static_cast<uint32_t>(GameTime),
                            "the exit page did not end within one step's commands; it was abandoned");
    };
    host.RestoreStatus = [this] { RestoreStatus(); };
    host.LoadSlotCaptions = [this] { LoadSlotCaptions(); };
    host.SaveStatus = [this] { SaveStatus(); };
    host.ShowWarning = options_.ShowWarning;
    host.SetTitle = [this](const std::string& title) {
        services_.Title = title;
        if (options_.SetTitle) options_.SetTitle(title);
    };
    services_.SaveCaption = [this](int32_t slot) {
        return project_ ? project_->GetSlotCaption(slot) : std::string();
    };
    services_.SaveCaptions = [this] {
        std::vector<TSaveSlotCaption> list;
        if (project_)
            for (const auto& [slot, caption] : project_->SlotCaptions())
                list.push_back({caption, slot});
        return list;
    };
    services_.StoreSaveMember = [this](const std::string& name, const std::vector<uint8_t>& bytes) {
        return StoreSaveMember(name, bytes);
    };
    project_ = std::make_unique<TProject>(std::move(host));
    project_->Create();
    services_.ScreenWidth = project_->ScreenWidth;
    services_.ScreenHeight = project_->ScreenHeight;
}

void TEngine::SaveNotice(const std::string& message) const
{
    if (options_.SaveNotice)
        options_.SaveNotice(message);
    else
        std::fprintf(stderr, "rukoplay: %s\n", message.c_str());
}

void TEngine::RestoreStatus()
{
    if (!options_.LocateSaveFile || !project_) return;
    TSaveLocation where = options_.LocateSaveFile(project_->Title, project_->IdentCode);
    if (where.Path.empty()) return;
    saveFile_ = std::make_unique<TSaveFile>(where.Path);
    saveFile_->Notice = [this](const std::string& message) { SaveNotice(message); };
    if (!where.Import.empty()) saveFile_->ImportOnce(where.Import);
    saveFile_->RemoveStaleTemporaries();
    std::unique_ptr<TVrFileCollection> archive = saveFile_->Open();
    if (ParamMan)
        if (const TVrFile* status = archive->FindFile(StatusMemberName)) {
            // All or nothing: a damaged status never stops the title, it starts without one.
            try {
                TStatusRecord record = ReadStatusRecord(archive->ReadFileBytes(*status), *ParamMan);
                CommitStatusRecord(std::move(record), *ParamMan, DBManager, services_.Components);
            } catch (const ERukoError&) {
                SaveNotice("the status in " + saveFile_->FileName() +
                           " is damaged; the title starts without it");
            }
        }
    if (FileManager) CopySaveMembers(*archive, *FileManager);
}

void TEngine::LoadSlotCaptions()
{
    if (saveFile_ && project_) project_->SetSlotCaptions(ReadSlotCaptions(*saveFile_->Open()));
}

void TEngine::SaveStatus()
{
    if (!saveFile_ || !ParamMan) return;
    std::vector<uint8_t> record =
        WriteStatusRecord(*ParamMan, DBManager, services_.Components && services_.Components->Dither());
    if (!saveFile_->Update(
            [&](TVrFileCollection& archive) { ReplaceMember(archive, StatusMemberName, std::move(record)); }))
        SaveNotice("cannot write " + saveFile_->FileName() + "; the status was not saved");
}

bool TEngine::StoreSaveMember(const std::string& name, const std::vector<uint8_t>& bytes)
{
    if (!saveFile_) return false;
    return saveFile_->Update([&](TVrFileCollection& archive) { ReplaceMember(archive, name, bytes); });
}

TGameParts TEngine::GameParts()
{
    return TGameParts{Bases, callMan_.get(), ParamMan, DBManager};
}

bool TEngine::ApplyRequests()
{
    if (!project_ || project_->Requests.empty()) return false;
    std::vector<TProject::TGameRequest> requests = std::move(project_->Requests);
    project_->Requests.clear();
    const bool ending = TerminateRequested || exiting_;
    if (ending && scenarioFailed_) return false;
    bool loaded = false;
    for (const TProject::TGameRequest& request : requests) {
        if (!request.Load)
            SaveGame(request.Slot, request.Caption, request.Page, request.Line);
        else if (!ending)
            loaded |= LoadGame(request.Slot);
    }
    return loaded;
}

bool TEngine::SaveGame(int slot, const std::string& caption, const std::string& page, int index)
{
    if (caption.empty() || slot < 0 || !project_ || !callMan_ || !ParamMan) return false;
    std::vector<uint8_t> record = WriteGameRecord(caption, page, index, GameParts());
    std::optional<std::vector<uint8_t>> status;
    if (project_->SaveStatus)
        status =
            WriteStatusRecord(*ParamMan, DBManager, services_.Components && services_.Components->Dither());
    bool written = saveFile_ && saveFile_->Update([&](TVrFileCollection& archive) {
        ReplaceMember(archive, SlotMemberName(slot), std::move(record));
        if (status) ReplaceMember(archive, StatusMemberName, std::move(*status));
    });
    if (!written) {
        if (options_.ShowWarning)
            options_.ShowWarning(Utf8ToCp932("データファイルを作成することができません"),
                                 Utf8ToCp932("警告"));
        return false;
    }
    project_->SetSlotCaption(slot, caption);
    return true;
}

bool TEngine::LoadGame(int slot)
{
    if (slot < 0 || !saveFile_ || !callMan_ || !ParamMan) return false;
    std::unique_ptr<TVrFileCollection> archive = saveFile_->Open();
    const TVrFile* member = archive->FindFile(SlotMemberName(slot));
    if (!member) return false;
    std::string refusal = UnusableSaveMessage();
    try {
        std::vector<uint8_t> bytes = archive->ReadFileBytes(*member);
        if (bytes.size() >= 4 &&
            (bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24) < OldestGameSaveVersion)
            refusal.clear(); // the record's own message says why
        TGameRecord record = ReadGameRecord(bytes, GameParts());
        record.Commit();
        return true;
    } catch (const ERukoError& error) {
        if (options_.ShowWarning)
            options_.ShowWarning(refusal.empty() ? error.what() : refusal, Utf8ToCp932("警告"));
        return false;
    }
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
