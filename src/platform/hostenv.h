#pragma once
// Host folders and process-wide guards. Paths here are host paths: UTF-8 with '/'.
#include "base/fileio.h"
#include <cstdint>
#include <string>

namespace ruko {

// Folder of the running executable, with a trailing '/'.
std::string ExecutableFolder();

// The absolute path with symbolic links, "." and ".." resolved; the input made absolute when it
// does not exist.
std::string CanonicalHostPath(const std::string& path);

// Per-user folders, created on demand: $XDG_CONFIG_HOME/rukoplayer/ and $XDG_DATA_HOME/rukoplayer/
// (falling back to ~/.config and ~/.local/share). Trailing '/'.
std::string UserConfigFolder();
std::string UserDataFolder();
// The folder of one title's saves under UserDataFolder(), created on demand. The title (UTF-8)
// becomes one safe folder name: separators, control characters and a leading '.' are replaced,
// so a title can never name a place outside.
std::string UserTitleDataFolder(const std::string& titleUtf8);
// UserTitleDataFolder without making it (folders are made at the first write).
std::string UserTitleDataPath(const std::string& titleUtf8);
// The folder name UserTitleDataFolder uses for a title: the characters a Windows file name cannot
// hold ("\\/:,;*?\"<>|") and control characters become "_"; whole characters are kept, since the
// title is UTF-8 here.
std::string SafeFolderName(const std::string& titleUtf8);
// The save file of a title: in its per-user folder, where a title without a name gets
// "untitled-" and its identification code in 8 hex digits.
std::string UserTitleSaveFile(const std::string& titleUtf8, int32_t identCode);

// The user's folder a title names as "{Desktop}" or "{MyDocuments}", by the rules of xdg-user-dir:
// XDG_DESKTOP_DIR / XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs (else the environment),
// falling back to $HOME/Desktop and $HOME. Trailing '/'; "" for any other name.
std::string UserSpecialFolder(const std::string& name);

// True when the user's language (LC_ALL, LC_MESSAGES, LANG, first one set) is Japanese: the
// exit question and the box buttons follow it.
bool UserLanguageIsJapanese();

// The single-copy guard: an exclusive flock on a lock file in $XDG_RUNTIME_DIR (else /tmp) named
// after the run-mutex name. Held until destruction or process end.
class TRunLock
{
  public:
    TRunLock() = default;
    TRunLock(const TRunLock&) = delete;
    TRunLock& operator=(const TRunLock&) = delete;
    ~TRunLock();
    // False when another process holds the lock for the same name.
    bool Acquire(const std::string& mutexName);
    void Release();
    const std::string& LockPath() const { return path_; }

  private:
    int fd_ = -1;
    std::string path_;
};

// A lock file name for a run-mutex name: the name itself when it is short and has no byte a
// file name cannot hold, else a shortened form with a hash of the whole.
std::string LockFileName(const std::string& mutexName);

// A private folder (mode 0700) for the run's temporary files; removed with its contents on
// destruction.
class TTempFolder
{
  public:
    TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    ~TTempFolder();
    const std::string& Path() const { return path_; } // trailing '/'; empty when it could not be made
    // A new empty file in the folder named prefix + a unique suffix; empty on failure.
    std::string CreateFile(const std::string& prefix);
    // Removes the folder now, for an end that skips the destructors.
    void Remove();

  private:
    std::string path_;
};

// The folder of TTempFolder for this run, once one exists; empty before.
std::string RunTempFolder();

} // namespace ruko
