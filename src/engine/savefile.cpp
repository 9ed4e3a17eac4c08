#include "engine/savefile.h"

#include "base/error.h"
#include "base/fileio.h"
#include "base/text.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace ruko {
namespace {

void SplitPath(const std::string& path, std::string& folder, std::string& name)
{
    size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// An exclusive flock on the lock file, held while alive. Not held when the folder is missing
// and `create` is false: there is then nothing to read.
class TSaveLock
{
  public:
    TSaveLock(const std::string& lockPath, bool create)
    {
        file_ = THostFile::Open(lockPath, O_RDWR | (create ? O_CREAT : 0), 0644);
        if (!file_.IsOpen()) return;
        while (flock(file_.Descriptor(), LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    bool Held() const { return file_.IsOpen(); }

  private:
    THostFile file_; // closing it releases the lock
};

// The temporary names WriteAtomically and TemporaryNameBeside give: "~" + 12 hex digits + "-"
// + the target's name.
bool IsTemporaryOf(const std::string& entry, const std::string& name)
{
    constexpr size_t Tag = 14;
    if (entry.size() != Tag + name.size() || entry[0] != '~' || entry[Tag - 1] != '-') return false;
    for (size_t i = 1; i < Tag - 1; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(entry[i]))) return false;
    return entry.compare(Tag, std::string::npos, name) == 0;
}

bool SyncFolder(const std::string& folder)
{
    THostFile handle = THostFile::Open(folder, O_RDONLY | O_DIRECTORY);
    return handle.IsOpen() && handle.Sync();
}

// Writes `bytes` to a fresh temporary beside `path` (O_EXCL) and flushes it; the temporary's
// path, or "" when it could not be written (nothing is left behind).
std::string WriteTemporary(const std::string& path, const std::vector<uint8_t>& bytes, bool durable)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = TemporaryNameBeside(path);
        THostFile file = THostFile::Open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0644);
        if (!file.IsOpen()) {
            if (errno == EEXIST) continue;
            return std::string();
        }
        bool ok =
            file.WriteAll(bytes.data(), static_cast<int64_t>(bytes.size())) && (!durable || file.Sync());
        ok = file.Close() && ok;
        if (ok) return temporary;
        unlink(temporary.c_str());
        return std::string();
    }
    return std::string();
}

} // namespace

std::unique_ptr<TVrFileCollection> OpenSaveArchive(const std::string& hostPath)
{
    auto archive = std::make_unique<TVrFileCollection>();
    // The directory is always the one in the file: a "save.ext" beside it is not this archive's
    // (a game archive's directory may lie in such a file; a save file's never does). Members come
    // from the file alone too: a loose file of a member's name beside it is never taken.
    if (!hostPath.empty() && HostFileExists(hostPath))
        archive->OpenSource(std::make_shared<TKwBigFileStream>(hostPath, TFileMode::Read), 0, hostPath);
    archive->CopyOwnMembersRaw = true;
    return archive;
}

std::string SlotMemberName(int32_t slot)
{
    return SlotMemberPrefix + std::to_string(slot);
}

std::optional<int32_t> SlotOfMemberName(const std::string& name)
{
    const std::string prefix = SlotMemberPrefix;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    if (*first < '0' || *first > '9' || (*first == '0' && last - first > 1)) return std::nullopt;
    int32_t slot = 0;
    auto [end, ec] = std::from_chars(first, last, slot);
    if (ec != std::errc() || end != last) return std::nullopt;
    return slot;
}

void ReplaceMember(TVrFileCollection& archive, const std::string& name, std::vector<uint8_t> bytes)
{
    while (archive.IndexOf(name) >= 0)
        archive.Remove(name);
    TVrFile& member = archive.AddMemoryFile(name);
    member.Data = std::make_unique<TKwBigMemoryStream>(std::move(bytes));
}

TSaveFile::TSaveFile(std::string hostPath) : path_(std::move(hostPath)) {}

void TSaveFile::Tell(const std::string& message) const
{
    if (Notice)
        Notice(message);
    else
        std::fprintf(stderr, "rukoplay: %s\n", message.c_str());
}

bool TSaveFile::ImportOnce(const std::string& hostPath)
{
    if (HostFileExists(path_) || !HostFileExists(hostPath)) return false;
    std::string content;
    if (!ReadHostFile(hostPath, content)) return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
    TSaveLock lock(LockPath(), true);
    if (!lock.Held() || HostFileExists(path_)) return false;
    return WriteHostFileAtomic(path_, content);
}

void TSaveFile::RemoveStaleTemporaries()
{
    TSaveLock lock(LockPath(), false);
    if (!lock.Held()) return;
    std::string folder, name;
    SplitPath(path_, folder, name);
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    // Every writer makes and renames its temporaries while it holds the lock, so what is there
    // now belongs to none.
    std::vector<std::string> stale;
    while (dirent* entry = readdir(dir)) {
        std::string entryName = entry->d_name;
        if (IsTemporaryOf(entryName, name) || IsTemporaryOf(entryName, name + ".bak"))
            stale.push_back(entryName);
    }
    closedir(dir);
    for (const std::string& entryName : stale)
        unlink((folder + entryName).c_str());
}

std::unique_ptr<TVrFileCollection> TSaveFile::Open()
{
    TSaveLock lock(LockPath(), false);
    return OpenLocked();
}

std::unique_ptr<TVrFileCollection> TSaveFile::OpenLocked()
{
    if (!HostFileExists(path_)) return OpenSaveArchive(std::string());
    try {
        return OpenSaveArchive(path_);
    } catch (const ERukoError&) {
    }
    // The damaged file stays for whoever wants to look at it; the backup becomes the file.
    rename(path_.c_str(), DamagedPath().c_str());
    std::string backup = BackupPath();
    bool restored = false;
    if (HostFileExists(backup)) {
        try {
            OpenSaveArchive(backup);
            restored = link(backup.c_str(), path_.c_str()) == 0;
            if (!restored) {
                std::string content;
                restored = ReadHostFile(backup, content) && WriteHostFileAtomic(path_, content);
            }
        } catch (const ERukoError&) {
        }
    }
    std::string folder, name;
    SplitPath(path_, folder, name);
    Tell(name + " is damaged and was kept as " + name + ".damaged; " +
         (restored ? "the backup " + name + ".bak is used" : "the saves start empty"));
    if (restored) {
        try {
            return OpenSaveArchive(path_);
        } catch (const ERukoError&) {
        }
    }
    return OpenSaveArchive(std::string());
}

bool TSaveFile::Update(const std::function<void(TVrFileCollection&)>& change)
{
    std::string folder, name;
    SplitPath(path_, folder, name);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    TSaveLock lock(LockPath(), true);
    if (!lock.Held()) return false;

    std::unique_ptr<TVrFileCollection> archive = OpenLocked();
    change(*archive);
    TKwBigMemoryStream whole;
    try {
        archive->SaveToStream(whole);
    } catch (const ERukoError&) {
        return false;
    }
    std::string temporary = WriteTemporary(path_, whole.Bytes(), Durable);
    if (temporary.empty()) return false;

    // The file as it was becomes the backup; where links fail the older backup stays.
    if (HostFileExists(path_)) {
        std::string backup = BackupPath();
        std::string link = TemporaryNameBeside(backup);
        // A rename between two links of one file does nothing (a writer killed after making the
        // backup left both names on the current file), so the link goes in any case.
        if (::link(path_.c_str(), link.c_str()) == 0) {
            rename(link.c_str(), backup.c_str());
            unlink(link.c_str());
        }
    }
    if (rename(temporary.c_str(), path_.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return !Durable || SyncFolder(folder);
}

} // namespace ruko
