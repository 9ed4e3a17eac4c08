#include "archive/vrfiles.h"

#include "archive/header.h"
#include "archive/hostpath.h"
#include "base/error.h"
#include "base/fileio.h"
#include "base/globals.h"
#include "base/inifile.h"
#include "base/text.h"
#include "io/fields.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <unordered_set>

namespace ruko {

TVrFileManager* FileManager = nullptr;

namespace {

std::string CanonicalPath(const std::string& hostPath)
{
    char* resolved = realpath(hostPath.c_str(), nullptr);
    if (!resolved) return hostPath;
    std::string canonical = resolved;
    std::free(resolved);
    return canonical;
}

[[noreturn]] void RaiseMissing(std::string_view name)
{
    RaiseError(FormatText(Utf8ToCp932("%s:ファイルがありません").c_str(), std::string(name).c_str()));
}

// Octal escapes of /proc/self/mounts ("\040" for a space).
std::string UnescapeMountPath(const std::string& text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        bool octal = text[i] == '\\';
        int value = 0;
        for (size_t k = 1; octal && k <= 3; ++k) {
            octal = i + k < text.size() && text[i + k] >= '0' && text[i + k] <= '7';
            value = value * 8 + (octal ? text[i + k] - '0' : 0);
        }
        if (octal) {
            result += static_cast<char>(value);
            i += 3;
        } else {
            result += text[i];
        }
    }
    return result;
}

// The prompt texts come from the project file: only "%d" is replaced, never taken as a format.
std::string FormatDiskPrompt(const std::string& prompt, int disk)
{
    std::string result;
    for (size_t i = 0; i < prompt.size(); i += CharLength(prompt, i)) {
        if (prompt[i] == '%' && i + 1 < prompt.size() && prompt[i + 1] == 'd') {
            result += std::to_string(disk);
            ++i;
        } else if (prompt[i] == '%' && i + 1 < prompt.size() && prompt[i + 1] == '%') {
            result += '%';
            ++i;
        } else {
            result.append(prompt, i, CharLength(prompt, i));
        }
    }
    return result;
}

std::string NameFromHost(const std::string& utf8)
{
    std::string cp932;
    return TryUtf8ToCp932(utf8, cp932) ? cp932 : std::string();
}

} // namespace

TVrFileManager::TVrFileManager()
    : projectTitle_(Utf8ToCp932("情報")),
      diskPrompt_(Utf8ToCp932("ディスク%dを入れてから[OK]をクリックしてください")),
      exitPrompt_(Utf8ToCp932("終了します"))
{
    RefreshDiscRoots();
}

TVrFileManager::~TVrFileManager()
{
    Clear();
    for (const TVrLockData& lock : locks_)
        staleWorkFiles_.push_back(lock.Path);
    locks_.clear();
    DeleteStaleWorkFiles();
    if (ownTempFolder_) rmdir(tempFolder_.c_str());
}

void TVrFileManager::SetTempFolder(const std::string& hostFolder)
{
    tempFolder_ = hostFolder;
    ownTempFolder_ = false;
    if (!tempFolder_.empty() && tempFolder_.back() != '/') tempFolder_ += '/';
}

void TVrFileManager::SetProjectPrompts(const std::string& title, const std::string& diskPrompt,
                                       const std::string& exitPrompt)
{
    projectTitle_ = title;
    diskPrompt_ = diskPrompt;
    exitPrompt_ = exitPrompt;
}

// --- sources ------------------------------------------------------------------------------------

int TVrFileManager::Register(std::unique_ptr<TVrFileCollection> archive)
{
    archives_.push_back(std::move(archive));
    int index = ArchiveCount() - 1;
    if (OnAdd) OnAdd(*this, archives_.back().get());
    return index;
}

int TVrFileManager::AddArchive(const std::string& hostPath, bool viaTrailer)
{
    if (!hostPath.empty()) {
        std::string canonical = CanonicalPath(hostPath);
        for (const auto& archive : archives_)
            if (!archive->FileName.empty() && CanonicalPath(archive->FileName) == canonical) return -1;
    }
    auto archive = std::make_unique<TVrFileCollection>();
    if (!hostPath.empty()) archive->Open(hostPath, viaTrailer);
    return Register(std::move(archive));
}

bool TVrFileManager::HasTrailerMarker(const std::string& hostPath)
{
    int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char marker[2] = {};
    off_t size = lseek(fd, 0, SEEK_END);
    bool found =
        size >= TrailerSize && pread(fd, marker, 2, size - 2) == 2 && marker[0] == 'r' && marker[1] == 'k';
    close(fd);
    return found;
}

void TVrFileManager::RegisterDataSources(const std::string& playerPath,
                                         const std::vector<std::string>& params)
{
    if (params.empty()) {
        // The real path, so the archive's folder is the player's and not /proc/self.
        std::string player = CanonicalPath(playerPath);
        SetBaseFolder(HostFolderOf(player));
        if (HasTrailerMarker(player)) AddArchive(player, true);
        return;
    }
    SetBaseFolder(params.front());
    for (const std::string& param : params) {
        if (HostFolderExists(param)) {
            std::string gameDat = ResolveGamePath(param, "game.dat");
            if (!gameDat.empty()) AddArchive(gameDat);
        } else if (HostFileExists(param) && HasTrailerMarker(param)) {
            AddArchive(param, true);
        }
    }
}

int TVrFileManager::AddArchiveSource(std::shared_ptr<const TRangeSource> source, int64_t directoryOffset,
                                     const std::string& displayName)
{
    auto archive = std::make_unique<TVrFileCollection>();
    archive->OpenSource(std::move(source), directoryOffset, displayName);
    return Register(std::move(archive));
}

void TVrFileManager::RemoveArchive(int index)
{
    if (index < 0 || index >= ArchiveCount()) return;
    if (OnRemove) OnRemove(*this, *archives_[static_cast<size_t>(index)]);
    archives_.erase(archives_.begin() + index);
}

void TVrFileManager::Clear()
{
    while (!archives_.empty())
        RemoveArchive(ArchiveCount() - 1);
}

void TVrFileManager::SetBaseFolder(const std::string& hostFolder)
{
    baseFolder_ = hostFolder;
    if (!baseFolder_.empty() && baseFolder_.back() != '/') baseFolder_ += '/';
    if (OnAdd) OnAdd(*this, nullptr);
}

// --- lookups ------------------------------------------------------------------------------------

std::string TVrFileManager::FindLooseFile(std::string_view name)
{
    std::string path = ResolveGamePath(baseFolder_, name);
    if (!path.empty()) return path;
    for (const std::string& root : discRoots_) {
        path = ResolveGamePath(root, name);
        if (!path.empty()) return path;
    }
    return std::string();
}

bool TVrFileManager::Exists(std::string_view name)
{
    if (name.empty()) return false;
    if (FindItem(name)) return true;
    return !FindLooseFile(name).empty();
}

TVrFile* TVrFileManager::FindItem(std::string_view name)
{
    for (const auto& archive : archives_)
        if (TVrFile* file = archive->FindFile(name); file && file->Name() != DirectoryTerminator) return file;
    return nullptr;
}

std::vector<uint8_t> TVrFileManager::LoadFile(std::string_view name)
{
    std::string loose = ResolveGamePath(baseFolder_, name);
    TKwBigMemoryStream file;
    if (!loose.empty()) {
        file.LoadFromFile(loose);
        return file.TakeBytes();
    }
    for (const auto& archive : archives_) {
        std::vector<uint8_t> bytes;
        if (archive->TryReadMember(name, bytes)) return bytes;
    }
    for (const std::string& root : discRoots_) {
        loose = ResolveGamePath(root, name);
        if (!loose.empty()) {
            file.LoadFromFile(loose);
            return file.TakeBytes();
        }
    }
    RaiseMissing(name);
}

void TVrFileManager::LoadToStream(TKwBigStream& stream, std::string_view name)
{
    if (auto* memory = dynamic_cast<TKwBigMemoryStream*>(&stream)) memory->Clear();
    std::vector<uint8_t> bytes = LoadFile(name);
    WriteExact(stream, bytes.data(), static_cast<int64_t>(bytes.size()));
    stream.SetPosition(0);
}

std::unique_ptr<TRangeStream> TVrFileManager::OpenRange(std::string_view name)
{
    std::string loose = ResolveGamePath(baseFolder_, name);
    if (!loose.empty())
        if (auto stream = TRangeStream::OpenFile(loose)) return stream;
    for (const auto& archive : archives_)
        if (auto stream = archive->OpenRange(name)) return stream;
    for (const std::string& root : discRoots_) {
        loose = ResolveGamePath(root, name);
        if (!loose.empty())
            if (auto stream = TRangeStream::OpenFile(loose)) return stream;
    }
    RaiseMissing(name);
}

std::string TVrFileManager::GetLocalFileName(std::string_view name)
{
    std::string loose = ResolveGamePath(baseFolder_, name);
    if (!loose.empty()) return loose;
    for (const auto& archive : archives_) {
        TVrFile* file = archive->FindFile(name);
        if (!file || file->Name() == DirectoryTerminator || (!file->Data && !archive->HasData())) continue;
        for (const TVrLockData& lock : locks_)
            if (lock.Name == name) return lock.Path;
        return ExtractToWorkFile(*archive, name);
    }
    for (const std::string& root : discRoots_) {
        loose = ResolveGamePath(root, name);
        if (!loose.empty()) return loose;
    }
    return Cp932ToUtf8(name);
}

std::string TVrFileManager::ExtractToWorkFile(TVrFileCollection& archive, std::string_view name)
{
    if (tempFolder_.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/rukoplay-XXXXXX";
        if (!mkdtemp(pattern.data())) RaiseError(Utf8ToCp932("作業用ファイルが作れません"));
        SetTempFolder(pattern);
        ownTempFolder_ = true;
    }
    int id = nextLockId_;
    auto used = [&](int candidate) {
        for (const TVrLockData& lock : locks_)
            if (lock.Id == candidate) return true;
        return false;
    };
    while (used(id))
        ++id;
    nextLockId_ = id + 1;
    while (used(nextLockId_))
        ++nextLockId_;

    std::string extension;
    TryCp932ToUtf8(GameExtension(name), extension);
    if (extension.find('/') != std::string::npos) extension.clear();
    char stem[16];
    std::snprintf(stem, sizeof stem, "~rk%.8X", static_cast<unsigned>(id));
    std::string path = tempFolder_ + stem + extension;

    std::vector<uint8_t> bytes;
    if (!archive.TryReadMember(name, bytes)) RaiseMissing(name);
    // Written under another name and renamed only when complete, so a failed extraction never
    // leaves a file that a later call would take for the member. Work files end with the run.
    if (!WriteAtomically(
            path,
            [&](THostFile& file) { return file.WriteAll(bytes.data(), static_cast<int64_t>(bytes.size())); },
            {.Permissions = 0600, .Durable = false}))
        RaiseError(Utf8ToCp932("作業用ファイルが作れません"));
    locks_.push_back({std::string(name), id, path});
    return path;
}

void TVrFileManager::ReleaseLocalFile(std::string_view name)
{
    for (size_t i = 0; i < locks_.size(); ++i)
        if (locks_[i].Name == name) {
            staleWorkFiles_.push_back(locks_[i].Path);
            locks_.erase(locks_.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
}

void TVrFileManager::DeleteStaleWorkFiles()
{
    for (const std::string& path : staleWorkFiles_)
        unlink(path.c_str());
    staleWorkFiles_.clear();
}

void TVrFileManager::ListFiles(std::string_view path, std::vector<std::string>& list)
{
    for (const auto& archive : archives_)
        archive->ListFolder(path, list);
    std::string prefix(path);
    if (!prefix.empty() && !EndsWithSeparator(prefix)) prefix += '\\';
    std::unordered_set<std::string> known;
    for (const std::string& name : list)
        known.insert(UpperCaseText(name));
    auto addFolder = [&](const std::string& root) {
        std::string folder = prefix.empty() ? root : ResolveGamePath(root, prefix, true);
        if (folder.empty() || !HostFolderExists(folder)) return;
        for (const std::string& entry : ListHostFiles(folder)) {
            std::string name = NameFromHost(entry);
            if (name.empty()) continue;
            name = prefix + name;
            if (known.insert(UpperCaseText(name)).second) list.push_back(name);
        }
    };
    if (!baseFolder_.empty()) addFolder(baseFolder_);
    for (const std::string& root : discRoots_)
        addFolder(root);
}

std::string TVrFileManager::FolderOf(std::string_view fileName)
{
    size_t cut = FindLastChar(fileName, '\\');
    bool special = (fileName.size() >= 2 && fileName[0] == '\\' && fileName[1] == '\\') ||
                   (fileName.size() >= 2 && fileName[1] == ':');
    if (special) {
        size_t colon = FindLastChar(fileName, ':');
        if (colon != std::string_view::npos && (cut == std::string_view::npos || colon > cut)) cut = colon;
    }
    return cut == std::string_view::npos ? std::string() : std::string(fileName.substr(0, cut + 1));
}

// --- discs --------------------------------------------------------------------------------------

std::vector<std::string> TVrFileManager::RefreshDiscRoots()
{
    std::vector<std::string> roots;
    std::ifstream mounts("/proc/self/mounts");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint, type;
        if (fields >> device >> mountPoint >> type && (type == "iso9660" || type == "udf"))
            roots.push_back(UnescapeMountPath(mountPoint) + "/");
    }
    if (!userIniFile_.empty()) {
        TIniFile ini;
        if (ini.Load(userIniFile_))
            for (const std::string& key : ini.KeyNames("Discs")) {
                std::string folder = ini.ReadString("Discs", key, "");
                if (!folder.empty()) roots.push_back(folder.back() == '/' ? folder : folder + "/");
            }
    }
    discRoots_ = roots;
    return roots;
}

TPromptAnswer TVrFileManager::Ask(const std::string& text, const std::string& caption)
{
    if (!host_.AskOkCancel) {
        std::fprintf(stderr, "%s: %s\n", Cp932ToUtf8(caption).c_str(), Cp932ToUtf8(text).c_str());
        return TPromptAnswer::Abort;
    }
    return host_.AskOkCancel(text, caption);
}

void TVrFileManager::Inform(const std::string& text, const std::string& caption)
{
    if (host_.ShowInfo)
        host_.ShowInfo(text, caption);
    else
        std::fprintf(stderr, "%s: %s\n", Cp932ToUtf8(caption).c_str(), Cp932ToUtf8(text).c_str());
}

bool TVrFileManager::ExitConfirmed()
{
    return Ask(exitPrompt_, projectTitle_) != TPromptAnswer::Cancel;
}

namespace {

// The install record of a disc root, or false when it has none or it cannot be read.
bool ReadDiscInstall(const std::string& root, TRukoInstallSet& install, std::string& gameDat)
{
    gameDat = ResolveGamePath(root, "game.dat");
    std::string installDat = ResolveGamePath(root, "install.dat");
    if (gameDat.empty() || installDat.empty()) return false;
    try {
        TKwBigMemoryStream file;
        file.LoadFromFile(installDat);
        install.LoadFromStream(file);
        return true;
    } catch (const ERukoError&) {
        return false;
    }
}

} // namespace

bool TVrFileManager::FindDisk(int d)
{
    bool found = false;
    for (const std::string& root : discRoots_) {
        TRukoInstallSet install;
        std::string gameDat;
        if (!ReadDiscInstall(root, install, gameDat)) continue;
        if (install.Title == projectTitle_ && static_cast<int64_t>(install.DiskNumber) == d) {
            AddArchive(gameDat); // −1 only when it is registered already
            found = true;
        }
    }
    return found;
}

bool TVrFileManager::AskDisk(int n)
{
    RefreshDiscRoots();
    for (int i = ArchiveCount() - 1; i >= 0; --i) {
        const std::string& folder = archives_[static_cast<size_t>(i)]->Folder;
        for (const std::string& root : discRoots_)
            if (!folder.empty() && folder.compare(0, root.size(), root) == 0) {
                RemoveArchive(i);
                break;
            }
    }
    for (;;) {
        TPromptAnswer answer = Ask(FormatDiskPrompt(diskPrompt_, n), projectTitle_);
        if (answer == TPromptAnswer::Ok) {
            RefreshDiscRoots();
            if (FindDisk(n - 1)) return true;
            continue;
        }
        if (answer == TPromptAnswer::Abort || ExitConfirmed()) {
            TerminateRequested = true;
            if (host_.RequestClose) host_.RequestClose();
            return false;
        }
    }
}

bool TVrFileManager::LocateGameData(const std::string& exeFolder)
{
    if (!ResolveGamePath(exeFolder, "install.dat").empty() && baseFolder_.empty()) SetBaseFolder(exeFolder);
    if (!Exists("install.dat")) {
        Inform(Utf8ToCp932("インストールし直してください"), Utf8ToCp932("情報"));
        return false;
    }
    TRukoInstallSet install;
    {
        TKwBigMemoryStream file(LoadFile("install.dat"));
        try {
            install.LoadFromStream(file);
        } catch (const ERukoError&) {
            RaiseError(Utf8ToCp932("install.dat:ファイルが破壊されています"));
        }
    }
    std::string gameDat = ResolveGamePath(exeFolder, "game.dat");
    if (!gameDat.empty()) {
        AddArchive(gameDat);
        if (install.AllInstalled) return true;
    } else if (ArchiveCount() > 0 && install.AllInstalled) {
        return true;
    }
    for (;;) {
        RefreshDiscRoots();
        for (const std::string& root : discRoots_) {
            TRukoInstallSet disc;
            std::string discGame;
            if (ReadDiscInstall(root, disc, discGame) && disc.Title == install.Title) {
                AddArchive(discGame);
                return true;
            }
        }
        TPromptAnswer answer = Ask(Utf8ToCp932("ディスクを入れてください"), Utf8ToCp932("情報"));
        if (answer == TPromptAnswer::Ok) continue;
        if (answer == TPromptAnswer::Abort || ExitConfirmed()) return false;
    }
}

} // namespace ruko
