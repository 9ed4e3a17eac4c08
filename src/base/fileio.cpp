#include "base/fileio.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ruko {

bool HostFileExists(const std::string& hostPath)
{
    struct stat info;
    return !hostPath.empty() && stat(hostPath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool HostFolderExists(const std::string& hostPath)
{
    struct stat info;
    return !hostPath.empty() && stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// --- THostFile ----------------------------------------------------------------------------------

THostFile::~THostFile()
{
    Close();
}

THostFile& THostFile::operator=(THostFile&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

THostFile THostFile::Open(const std::string& hostPath, int flags, mode_t mode)
{
    return OpenAt(AT_FDCWD, hostPath, flags, mode);
}

THostFile THostFile::OpenAt(int folder, const std::string& name, int flags, mode_t mode)
{
    THostFile file;
    do
        file.fd_ = ::openat(folder, name.c_str(), flags | O_CLOEXEC, mode);
    while (file.fd_ < 0 && errno == EINTR);
    if (file.fd_ >= 0) file.path_ = name;
    return file;
}

int64_t THostFile::Size() const
{
    struct stat info;
    return fd_ >= 0 && fstat(fd_, &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
}

int64_t THostFile::Read(void* buffer, int64_t count)
{
    int64_t done = 0;
    while (done < count) {
        ssize_t got = ::read(fd_, static_cast<uint8_t*>(buffer) + done, static_cast<size_t>(count - done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return done > 0 ? done : -1;
        if (got == 0) break;
        done += got;
    }
    return done;
}

bool THostFile::WriteAll(const void* bytes, int64_t count)
{
    int64_t done = 0;
    while (done < count) {
        ssize_t wrote =
            ::write(fd_, static_cast<const uint8_t*>(bytes) + done, static_cast<size_t>(count - done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += wrote;
    }
    return true;
}

bool THostFile::SetPermissions(mode_t mode)
{
    return fd_ >= 0 && fchmod(fd_, mode) == 0;
}

bool THostFile::Sync()
{
    return fd_ >= 0 && fsync(fd_) == 0;
}

bool THostFile::Close()
{
    if (fd_ < 0) return true;
    // The descriptor is gone even when close reports an error; retrying could close another one.
    return ::close(std::exchange(fd_, -1)) == 0;
}

bool ReadHostFile(const std::string& hostPath, std::string& content)
{
    content.clear();
    THostFile file = THostFile::Open(hostPath, O_RDONLY);
    if (!file.IsOpen()) return false;
    char buffer[65536];
    int64_t got;
    while ((got = file.Read(buffer, sizeof buffer)) > 0)
        content.append(buffer, static_cast<size_t>(got));
    return got == 0;
}

// --- Crash-safe writes --------------------------------------------------------------------------

namespace {

// A name for a temporary of `name` that no other writer in this or another process picks at the
// same moment. The tag goes in front so the extension, and with it the names of an archive's
// parts, stay those of the target's kind without meeting the target's own parts.
std::string TemporaryName(const std::string& name)
{
    static std::atomic<uint64_t> counter{0};
    uint64_t mix = (static_cast<uint64_t>(getpid()) << 40) ^
                   static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                   (++counter * 0x9E3779B97F4A7C15ull);
    char tag[24];
    std::snprintf(tag, sizeof tag, "~%012llx-", static_cast<unsigned long long>(mix & 0xFFFFFFFFFFFFull));
    return tag + name;
}

// Splits a host path into its folder ("" for a bare name, else ending in '/') and the name in it.
void SplitHostPath(const std::string& hostPath, std::string& folder, std::string& name)
{
    size_t slash = hostPath.rfind('/');
    folder = slash == std::string::npos ? std::string() : hostPath.substr(0, slash + 1);
    name = hostPath.substr(folder.size());
}

THostFile OpenFolderOf(const std::string& folderPrefix)
{
    return THostFile::Open(folderPrefix.empty() ? "." : folderPrefix, O_RDONLY | O_DIRECTORY);
}

// WriteAtomicallyAt; `folderPrefix` names `folder` as a host path for WriteAtomically, so the
// writer sees the temporary's whole path.
bool WriteInFolder(int folder, const std::string& folderPrefix, const std::string& name,
                   const THostFileWriter& writer, const TWriteOptions& options)
{
    if (name.empty() || name.find('/') != std::string::npos) return false;
    THostFile file;
    std::string temporary;
    for (int attempt = 0; attempt < 100 && !file.IsOpen(); ++attempt) {
        temporary = TemporaryName(name);
        file = THostFile::OpenAt(folderPrefix.empty() ? folder : AT_FDCWD, folderPrefix + temporary,
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
        if (!file.IsOpen() && errno != EEXIST) return false;
    }
    if (!file.IsOpen()) return false;
    bool ok = false;
    try {
        ok = writer(file) && file.SetPermissions(options.Permissions) && (!options.Durable || file.Sync());
    } catch (...) {
        file.Close();
        unlinkat(folder, temporary.c_str(), 0);
        throw;
    }
    ok = file.Close() && ok;
    ok = ok && renameat(folder, temporary.c_str(), folder, name.c_str()) == 0;
    if (!ok) {
        unlinkat(folder, temporary.c_str(), 0);
        return false;
    }
    return !options.Durable || fsync(folder) == 0;
}

} // namespace

bool WriteAtomicallyAt(int folder, const std::string& name, const THostFileWriter& writer,
                       const TWriteOptions& options)
{
    return WriteInFolder(folder, std::string(), name, writer, options);
}

bool WriteAtomically(const std::string& hostPath, const THostFileWriter& writer, const TWriteOptions& options)
{
    std::string folderPrefix, name;
    SplitHostPath(hostPath, folderPrefix, name);
    THostFile folder = OpenFolderOf(folderPrefix);
    return folder.IsOpen() && WriteInFolder(folder.Descriptor(), folderPrefix, name, writer, options);
}

bool WriteHostFileAtomic(const std::string& hostPath, std::string_view content)
{
    return WriteAtomically(hostPath, [&](THostFile& file) { return file.WriteAll(content); });
}

std::string TemporaryNameBeside(const std::string& hostPath)
{
    std::string folderPrefix, name;
    SplitHostPath(hostPath, folderPrefix, name);
    return folderPrefix + TemporaryName(name);
}

bool RenameOver(const std::string& from, const std::string& to, bool durable)
{
    if (rename(from.c_str(), to.c_str()) != 0) return false;
    if (!durable) return true;
    std::string folderPrefix, name;
    SplitHostPath(to, folderPrefix, name);
    THostFile folder = OpenFolderOf(folderPrefix);
    return folder.IsOpen() && fsync(folder.Descriptor()) == 0;
}

} // namespace ruko
