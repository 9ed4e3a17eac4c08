// Title files through the file manager, file and folder dialogs, message boxes and the shell.
#include "archive/hostpath.h"
#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/fileio.h"
#include "base/text.h"
#include "engine/builtins_support.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace ruko::builtins {

namespace {

TVrFileManager* Files(TBuiltinServices& services)
{
    return services.Files ? services.Files : FileManager;
}

void FileExistsBody(TFuncCall& call, TBuiltinServices& services)
{
    TVrFileManager* files = Files(services);
    std::string name = call.Arg(0).GetStr();
    call.Result.Value->SetFlag(files && !name.empty() && files->Exists(name));
}

void LoadTextFileBody(TFuncCall& call, TBuiltinServices& services)
{
    TCustomParam& target = RequireVariable(call, 0);
    TVrFileManager* files = Files(services);
    std::string name = call.Arg(1).GetStr();
    if (!files || name.empty() || !files->Exists(name)) {
        call.Result.Value->SetFlag(false);
        return;
    }
    std::unique_ptr<TRangeStream> stream = files->OpenRange(name);
    if (!stream) {
        call.Result.Value->SetFlag(false);
        return;
    }
    if (stream->GetSize() > static_cast<int64_t>(MaxBuiltinText)) RaiseTooLarge(call);
    std::string text(static_cast<size_t>(stream->GetSize()), '\0');
    text.resize(static_cast<size_t>(
        std::max<int64_t>(0, stream->Read(text.data(), static_cast<int64_t>(text.size())))));
    std::vector<std::string> lines = SplitLines(text);
    StoreStringArray(target, lines);
    call.Result.Value->SetFlag(!lines.empty());
}

void CopyFileBody(TFuncCall& call, TBuiltinServices& services)
{
    TVrFileManager* files = Files(services);
    std::string source = call.Arg(0).GetStr(), target = call.Arg(1).GetStr();
    if (!files) {
        call.Result.Value->SetFlag(false);
        return;
    }
    std::vector<uint8_t> bytes = files->LoadFile(source);
    bool ok;
    if (StartsWithText(target, "mem:") || StartsWithText(target, "save:")) {
        PutMemoryMember(*files, target, bytes);
        ok = !StartsWithText(target, "save:") || !services.StoreSaveMember ||
             services.StoreSaveMember(target, bytes);
    } else {
        std::string hostPath = ConfinedHostPath(files->BaseFolder(), target);
        ok = !hostPath.empty() && WriteHostFile(hostPath, bytes);
    }
    call.Result.Value->SetFlag(ok);
}

// "*" any run of characters, "?" one character; letters compare ignoring case.
bool WildcardMatch(std::string_view name, std::string_view pattern)
{
    std::string n = UpperCaseText(name), p = UpperCaseText(pattern);
    size_t ni = 0, pi = 0, starP = std::string::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
            size_t length = p[pi] == '?' ? CharLength(n, ni) : 1;
            ni += length;
            ++pi;
        } else if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::string::npos) {
            pi = starP + 1;
            ni = starN += CharLength(n, starN);
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

// The host folder ExtractFile writes into; "" when it cannot be had.
std::string ExtractFolder(const TFuncCall& call, TBuiltinServices& services)
{
    if (!OptionalArg(call, 2)) {
        if (!services.SelectDirectory) return std::string();
        std::optional<std::string> chosen = services.SelectDirectory();
        return chosen ? Cp932ToUtf8(*chosen) : std::string();
    }
    std::string folder = call.Arg(2).GetStr();
    if (!folder.empty() && folder[0] == '{') {
        size_t close = folder.find('}');
        if (close == std::string::npos || !services.SpecialFolder) return std::string();
        std::string root = services.SpecialFolder(folder.substr(1, close - 1));
        if (root.empty()) return std::string();
        std::string rest = folder.substr(close + 1);
        while (!rest.empty() && rest[0] == '\\')
            rest.erase(0, 1);
        if (rest.empty()) return root;
        std::string path = ConfinedHostPath(root, rest);
        return path;
    }
    if (services.ProgramFolder.empty()) return std::string();
    std::string path = ConfinedHostPath(services.ProgramFolder, folder);
    return path.empty() ? services.ProgramFolder : path;
}

void ExtractFileBody(TFuncCall& call, TBuiltinServices& services)
{
    TVrFileManager* files = Files(services);
    std::string folder = files ? ExtractFolder(call, services) : std::string();
    std::error_code error;
    if (folder.empty() || (std::filesystem::create_directories(folder, error), error)) {
        call.Result.Value->SetFlag(false);
        return;
    }
    const TCustomParam& names = WholeValue(call, 0);
    bool ask = FlagArg(call, 1);
    bool ok = true;
    for (int32_t i = 0, n = names.GetCount(); i < n; ++i) {
        std::string pattern = names.GetStrAt(i);
        std::vector<std::string> listed;
        files->ListFiles(GameFolderOf(pattern), listed);
        for (const std::string& name : listed) {
            if (!WildcardMatch(name, pattern)) continue;
            std::string hostPath = JoinHostPath(folder, Cp932ToUtf8(GameFileName(name)));
            if (ask && HostFileExists(hostPath)) {
                std::string question = FormatText(
                    Utf8ToCp932("%s\r\n\r\n既に同名のファイルが存在します。上書きしますか？").c_str(),
                    GameFileName(name).c_str());
                if (!services.AskYesNo || !services.AskYesNo(question, services.Title)) continue;
            }
            ok = WriteHostFile(hostPath, files->LoadFile(name)) && ok;
        }
    }
    call.Result.Value->SetFlag(ok);
}

// --- dialogs, message boxes, shell ---

void SelectFileBody(TFuncCall& call,
                    const std::function<std::optional<std::string>(const std::string&)>& dialog)
{
    std::optional<std::string> chosen;
    if (dialog) chosen = dialog(StrArg(call, 1));
    if (chosen) call.Arg(0).SetStr(*chosen);
    call.Result.Value->SetFlag(chosen.has_value());
}

void SelectOpenFileBody(TFuncCall& call, TBuiltinServices& services)
{
    SelectFileBody(call, services.SelectOpenFile);
}
void SelectSaveFileBody(TFuncCall& call, TBuiltinServices& services)
{
    SelectFileBody(call, services.SelectSaveFile);
}

void SelectDirectoryBody(TFuncCall& call, TBuiltinServices& services)
{
    std::optional<std::string> chosen;
    if (services.SelectDirectory) chosen = services.SelectDirectory();
    if (chosen) {
        // Host folders from the desktop's dialog end in '/' already.
        if (!EndsWithSeparator(*chosen) && (chosen->empty() || chosen->back() != '/')) *chosen += '\\';
        call.Arg(0).SetStr(*chosen);
    }
    call.Result.Value->SetFlag(chosen.has_value());
}

void AlertBody(TFuncCall& call, TBuiltinServices& services)
{
    std::string text = call.Arg(0).GetStr();
    if (services.ShowInfo)
        services.ShowInfo(text, services.Title);
    else
        std::fprintf(stderr, "%s\n", Cp932ToUtf8(text).c_str());
    call.Result.Value->SetFlag(true);
}

void OpenUrlBody(TFuncCall& call, TBuiltinServices& services)
{
    std::string target = Cp932ToUtf8(call.Arg(0).GetStr());
    bool web = StartsWithText(target, "http") || StartsWithText(target, "ftp");
    bool folder = !web && services.FolderExists && services.FolderExists(target);
    if ((web || folder) && services.OpenUrl) services.OpenUrl(folder ? "file://" + target : target);
}

void SetWallPaperBody(TFuncCall& call, TBuiltinServices&)
{
    static bool told = false;
    if (!told) {
        std::fprintf(stderr, "SetWallPaper: desktop wallpaper is not available on this platform\n");
        told = true;
    }
    call.Result.Value->SetFlag(false);
}

void SaveScreenBody(TFuncCall& call, TBuiltinServices& services)
{
    bool saved =
        services.SaveScreen && services.SaveScreen(call.Arg(0).GetStr(), IntArg(call, 1), IntArg(call, 2),
                                                   FlagArg(call, 3), IntArg(call, 4));
    call.Result.Value->SetFlag(saved);
}

} // namespace

bool StartsWithText(const std::string& text, std::string_view prefix)
{
    return text.size() >= prefix.size() && SameText(std::string_view(text).substr(0, prefix.size()), prefix);
}

std::string ConfinedHostPath(const std::string& hostFolder, const std::string& gameName)
{
    if (hostFolder.empty() || gameName.empty() || gameName[0] == '\\' || gameName[0] == '/')
        return std::string();
    std::string relative;
    for (const std::string& part : SplitGamePath(gameName)) {
        if (part.empty() || part == "." || part == ".." || FindChar(part, ':') != std::string::npos ||
            part.find('/') != std::string::npos)
            return std::string();
        relative += (relative.empty() ? "" : "/") + Cp932ToUtf8(part);
    }
    return relative.empty() ? std::string() : JoinHostPath(hostFolder, relative);
}

bool WriteHostFile(const std::string& hostPath, const std::vector<uint8_t>& bytes)
{
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path(), ignored);
    bool ok = WriteHostFileAtomic(
        hostPath, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    ForgetHostListings();
    return ok;
}

void PutMemoryMember(TVrFileManager& files, const std::string& name, const std::vector<uint8_t>& bytes)
{
    if (files.ArchiveCount() == 0) files.AddArchive(std::string());
    TVrFile* member = files.FindItem(name);
    if (!member || !member->Data) {
        TVrFileCollection& archive = files.Archive(0);
        if (archive.FindFile(name)) archive.Remove(name);
        member = &archive.AddMemoryFile(name);
    }
    member->Data->Clear();
    member->Data->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    member->Data->SetPosition(0);
    member->Size = static_cast<int64_t>(bytes.size());
    member->Stored = true;
}

bool MatchesWildcard(std::string_view name, std::string_view pattern)
{
    return WildcardMatch(name, pattern);
}

void RegisterFileBuiltins(TRegistrar& r)
{
    r.Add("FileExists", FileExistsBody);
    r.Add("LoadTextFile", LoadTextFileBody);
    r.Add("CopyFile", CopyFileBody);
    r.Add("ExtractFile", ExtractFileBody);
    r.Add("SelectOpenFile", SelectOpenFileBody);
    r.Add("SelectSaveFile", SelectSaveFileBody);
    r.Add("SelectDirectory", SelectDirectoryBody);
    r.Add("Alert", AlertBody);
    r.Add("OpenUrl", OpenUrlBody);
    r.Add("SetWallPaper", SetWallPaperBody);
    r.Add("SaveScreen", SaveScreenBody);
}

} // namespace ruko::builtins
