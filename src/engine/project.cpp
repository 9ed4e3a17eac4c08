#include "engine/project.h"

#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/globals.h"
#include "base/text.h"
#include "graphics/wipe.h"
#include "io/fields.h"
#include "params/paramcollection.h"

namespace ruko {

namespace {

TGlobalVarDecl ReadDeclaration(TKwBigStream& s)
{
    TGlobalVarDecl decl;
    decl.Type = ReadByte(s);
    decl.Name = ReadStr(s);
    switch (decl.Type) {
    case 1:
        decl.IntValue = ReadInt(s);
        break;
    case 2:
        decl.RealValue = ReadExtended(s);
        break;
    case 3:
        decl.BoolValue = ReadBool(s);
        break;
    case 4:
        decl.StrValue = ReadStr(s);
        break;
    default:
        break;
    }
    return decl;
}

void WriteDeclaration(TKwBigStream& s, const TGlobalVarDecl& decl)
{
    WriteByte(s, decl.Type);
    WriteStr(s, decl.Name);
    switch (decl.Type) {
    case 1:
        WriteInt(s, decl.IntValue);
        break;
    case 2:
        WriteExtended(s, decl.RealValue);
        break;
    case 3:
        WriteBool(s, decl.BoolValue);
        break;
    case 4:
        WriteStr(s, decl.StrValue);
        break;
    default:
        break;
    }
}

} // namespace

void DeclareProjectGlobal(TParamCollection& store, const TGlobalVarDecl& decl)
{
    if (decl.Type < ptInt || decl.Type > ptStr || store.Find(decl.Name)) return;
    TParamCollectionItem& item = store.AddVariable(decl.Type, decl.Name);
    item.Persistent = 1;
    switch (decl.Type) {
    case ptInt:
        item.Value->SetInt(decl.IntValue);
        break;
    case ptFloat:
        item.Value->SetFloat(decl.RealValue);
        break;
    case ptFlag:
        item.Value->SetFlag(decl.BoolValue);
        break;
    case ptStr:
        item.Value->SetStr(decl.StrValue);
        break;
    default:
        break;
    }
}

void TProjectSetting::LoadFromStream(TKwBigStream& s, const std::string& fileName)
{
    TProjectSetting read;
    read.Version = ReadU32(s);
    if (read.Version > NewestVersion) RaiseError(Utf8ToCp932("このバージョンには対応していません"));
    uint32_t v = read.Version;
    try {
        read.Title = ReadStr(s);
        read.ScreenWidth = ReadInt(s);
        read.ScreenHeight = ReadInt(s);
        read.FullScreenWidth = ReadInt(s);
        read.FullScreenHeight = ReadInt(s);
        read.StartPage = ReadStr(s);
        if (v >= 110) read.ExitPage = ReadStr(s);
        read.RegistryKey = ReadStr(s);
        read.IdentCode = ReadInt(s);
        read.SaveStatus = v > 103 ? ReadBool(s) : false;
        read.Reserved1 = v >= 106 ? ReadByte(s) : 0;
        if (v >= 109) read.MediaExtensions = ReadStr(s);
        read.PauseWhenInactive = v >= 113 ? ReadBool(s) : false;
        read.Reserved2 = v >= 114 ? ReadByte(s) : 0;
        read.ShowToolbar = v >= 116 ? ReadBool(s) : true;
        read.DiskPrompt = ReadStr(s);
        read.ExitPrompt = ReadStr(s);
        int32_t count = ReadInt(s);
        // A type byte and a name length at least; grown as declarations arrive, since one costs
        // far more than its five bytes.
        CheckCount(s, count, 5);
        for (int32_t i = 0; i < count; ++i)
            read.Variables.push_back(ReadDeclaration(s));
        read.FolderDisks.LoadFromStream(s);
    } catch (const ERukoError&) {
        RaiseError(FormatText(Utf8ToCp932("%s:ファイルが破壊されています").c_str(), fileName.c_str()));
    }
    auto valid = [](int32_t size, int32_t low) { return size >= low && size <= MaxScreenSize; };
    // Named with the limit, so an author sees at once what to change.
    auto refuse = [&](int32_t width, int32_t height) {
        RaiseError(FormatText(Utf8ToCp932("%s:画面サイズ%d×%dは扱えません（最大%d×%d）").c_str(),
                              fileName.c_str(), width, height, MaxScreenSize, MaxScreenSize));
    };
    if (!valid(read.ScreenWidth, 1) || !valid(read.ScreenHeight, 1))
        refuse(read.ScreenWidth, read.ScreenHeight);
    if (!valid(read.FullScreenWidth, 0) || !valid(read.FullScreenHeight, 0))
        refuse(read.FullScreenWidth, read.FullScreenHeight);
    *this = std::move(read);
}

void TProjectSetting::SaveToStream(TKwBigStream& s) const
{
    uint32_t v = Version;
    WriteU32(s, v);
    WriteStr(s, Title);
    WriteInt(s, ScreenWidth);
    WriteInt(s, ScreenHeight);
    WriteInt(s, FullScreenWidth);
    WriteInt(s, FullScreenHeight);
    WriteStr(s, StartPage);
    if (v >= 110) WriteStr(s, ExitPage);
    WriteStr(s, RegistryKey);
    WriteInt(s, IdentCode);
    if (v > 103) WriteBool(s, SaveStatus);
    if (v >= 106) WriteByte(s, Reserved1);
    if (v >= 109) WriteStr(s, MediaExtensions);
    if (v >= 113) WriteBool(s, PauseWhenInactive);
    if (v >= 114) WriteByte(s, Reserved2);
    if (v >= 116) WriteBool(s, ShowToolbar);
    WriteStr(s, DiskPrompt);
    WriteStr(s, ExitPrompt);
    WriteInt(s, static_cast<int32_t>(Variables.size()));
    for (const TGlobalVarDecl& decl : Variables)
        WriteDeclaration(s, decl);
    FolderDisks.SaveToStream(s);
}

std::vector<uint8_t> TProjectSetting::SaveToBytes() const
{
    TKwBigMemoryStream s;
    SaveToStream(s);
    return s.TakeBytes();
}

TProject::TProject(TProjectHost host)
    : Title(Utf8ToCp932("情報")), DiskPrompt(Utf8ToCp932("ディスク%dを入れてから[OK]をクリックしてください")),
      ExitPrompt(Utf8ToCp932("終了します")), host_(std::move(host))
{
}

TProject::~TProject()
{
    Destroy();
}

void TProject::Create(bool configOnly)
{
    TerminateRequested = true;
    if (!configOnly && host_.LocateGameData && !host_.LocateGameData()) return;

    std::vector<uint8_t> bytes;
    if (FileManager && FileManager->Exists("ruko.rpb")) bytes = FileManager->LoadFile("ruko.rpb");
    if (bytes.empty()) RaiseError(Utf8ToCp932("プロジェクトがありません"));
    TProjectSetting setting;
    {
        TKwBigMemoryStream stream(std::move(bytes));
        setting.LoadFromStream(stream);
    }

    Title = setting.Title;
    ScreenWidth = setting.ScreenWidth;
    ScreenHeight = setting.ScreenHeight;
    FullScreenWidth = setting.FullScreenWidth;
    FullScreenHeight = setting.FullScreenHeight;
    StartPage = setting.StartPage;
    ExitPage = setting.ExitPage;
    RegistryKey = setting.RegistryKey;
    IdentCode = setting.IdentCode;
    SaveStatus = setting.SaveStatus;
    MediaExtensions = setting.MediaExtensions;
    PauseWhenInactive = setting.PauseWhenInactive;
    ShowToolbar = setting.ShowToolbar;
    // Empty prompts in the file keep the defaults rather than showing blank boxes.
    if (!setting.DiskPrompt.empty()) DiskPrompt = setting.DiskPrompt;
    if (!setting.ExitPrompt.empty()) ExitPrompt = setting.ExitPrompt;
    FolderDisks = setting.FolderDisks;
    if (host_.SetTitle) host_.SetTitle(Title);
    // The zoom-in transition zooms into the screen's centre unless a flip names a point.
    SetWipeDefaults(WipeTypeByName("TWipeZoomin"), ScreenWidth / 2, ScreenHeight / 2);
    if (FileManager) FileManager->SetProjectPrompts(Title, DiskPrompt, ExitPrompt);

    if (host_.RestoreStatus) host_.RestoreStatus();
    for (const TGlobalVarDecl& decl : setting.Variables) {
        if (host_.DeclareGlobal)
            host_.DeclareGlobal(decl);
        else if (ParamMan)
            DeclareProjectGlobal(*ParamMan, decl);
    }
    TerminateRequested = false;
    if (host_.LoadSlotCaptions) host_.LoadSlotCaptions();

    // A rebuilt title may ship the original project to keep the original disc layout.
    if (FileManager && FileManager->Exists("/original_ruko.rpb")) {
        TProjectSetting original;
        TKwBigMemoryStream stream(FileManager->LoadFile("/original_ruko.rpb"));
        original.LoadFromStream(stream, "/original_ruko.rpb");
        FolderDisks = original.FolderDisks;
    }

    created_ = true;
    if (FileManager && FileManager->Exists(StartPage)) {
        if (host_.StartPage) host_.StartPage(StartPage);
    } else {
        if (host_.ShowWarning)
            host_.ShowWarning(Utf8ToCp932("スタートページがありません"), Utf8ToCp932("警告"));
        TerminateRequested = true;
    }
}

void TProject::Destroy()
{
    if (!created_ || destroyed_) return;
    destroyed_ = true;
    if (!ExitPage.empty() && host_.RunExitPage) {
        TerminateRequested = false;
        try {
            host_.RunExitPage(ExitPage);
        } catch (const ERukoError&) {
            // A failing exit page must not keep the status from being saved.
        }
        TerminateRequested = true;
    }
    WriteStatus();
}

void TProject::WriteStatus()
{
    if (created_ && SaveStatus && host_.SaveStatus) host_.SaveStatus();
}

bool TProject::EnsureFileAvailable(std::string_view name)
{
    if (name.empty() || !FileManager) return false;
    if (FileManager->Exists(name)) return true;
    int32_t disk = FolderDisks.DiskOf(name);
    if (disk <= 0) return false;
    std::string extension = LowerCaseText(GameExtension(name)) + ".";
    if (LowerCaseText(MediaExtensions + ".").find(extension) != std::string::npos) return false;
    return FileManager->AskDisk(disk);
}

std::string TProject::GetSlotCaption(int slot) const
{
    auto it = slotCaptions_.find(slot);
    return it == slotCaptions_.end() ? std::string() : it->second;
}

void TProject::SetSlotCaption(int slot, const std::string& caption)
{
    slotCaptions_[slot] = caption;
}

} // namespace ruko
