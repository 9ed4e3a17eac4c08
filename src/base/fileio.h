#pragma once
// Host files (UTF-8 paths with '/'): an owned descriptor, whole-file reads and crash-safe writes.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>

namespace ruko {

bool HostFileExists(const std::string& hostPath);
bool HostFolderExists(const std::string& hostPath);

// An open host file or folder, closed when destroyed. Reads and writes retry interrupted calls and
// go on after short transfers, so a short read means the end of the file or an error.
class THostFile
{
  public:
    THostFile() = default;
    ~THostFile();
    THostFile(THostFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_))
    {
    }
    THostFile& operator=(THostFile&& other) noexcept;

    // `flags` as for open(2) (O_CLOEXEC is added); not open when it fails, with errno set.
    static THostFile Open(const std::string& hostPath, int flags, mode_t mode = 0644);
    // `name` relative to the open folder `folder`; the same rules.
    static THostFile OpenAt(int folder, const std::string& name, int flags, mode_t mode = 0644);

    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    // The host path the file was opened by (relative to its folder for OpenAt).
    const std::string& Path() const { return path_; }
    int64_t Size() const; // 0 when unknown

    // The count read; -1 when nothing could be read because of an error.
    int64_t Read(void* buffer, int64_t count);
    bool WriteAll(const void* bytes, int64_t count);
    bool WriteAll(std::string_view bytes)
    {
        return WriteAll(bytes.data(), static_cast<int64_t>(bytes.size()));
    }
    bool SetPermissions(mode_t mode);
    // Pushes what was written to the disk.
    bool Sync();
    // False when the system reports that written data was lost.
    bool Close();

  private:
    int fd_ = -1;
    std::string path_;
};

bool ReadHostFile(const std::string& hostPath, std::string& content);

struct TWriteOptions
{
    mode_t Permissions = 0644;
    // False for files that do not outlive the run (work files, extracted members): no flushes to
    // the disk, only the rename that keeps a half-written file from being seen.
    bool Durable = true;
};

// Fills the file; false (or an exception) abandons the write.
using THostFileWriter = std::function<bool(THostFile& file)>;

// Writes `hostPath` so a crash leaves either the old file or the whole new one: `writer` fills a
// temporary file of its own name in the same folder, which is flushed to the disk, renamed over
// the target, and the folder flushed. The temporary is removed when any step fails, when the
// writer returns false and when it throws (the exception goes on).
bool WriteAtomically(const std::string& hostPath, const THostFileWriter& writer,
                     const TWriteOptions& options = {});
// The same for `name` in the open folder `folder`; a symbolic link at `name` is replaced, never
// followed.
bool WriteAtomicallyAt(int folder, const std::string& name, const THostFileWriter& writer,
                       const TWriteOptions& options = {});
// WriteAtomically of a byte string.
bool WriteHostFileAtomic(const std::string& hostPath, std::string_view content);

// The pieces of WriteAtomically for output made of several files (an archive in parts): a fresh
// name beside `hostPath` that keeps its extension, and the rename that commits one file.
std::string TemporaryNameBeside(const std::string& hostPath);
bool RenameOver(const std::string& from, const std::string& to, bool durable = true);

} // namespace ruko
