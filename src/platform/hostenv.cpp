#include "platform/hostenv.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace ruko {
namespace fs = std::filesystem;

namespace {

std::string WithSlash(std::string path)
{
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string EnvFolder(const char* variable, const char* homeRelative)
{
    const char* value = std::getenv(variable);
    if (value && value[0] == '/') return WithSlash(value);
    const char* home = std::getenv("HOME");
    return WithSlash(std::string(home && home[0] ? home : "/tmp") + "/" + homeRelative);
}

std::string MadeFolder(std::string path)
{
    std::error_code ec;
    fs::create_directories(path, ec);
    return path;
}

const TTempFolder* CurrentTempFolder = nullptr;

// $HOME without a trailing '/', so folders below it join with one.
std::string Home()
{
    const char* home = std::getenv("HOME");
    std::string folder = home && home[0] ? home : "/tmp";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

// One value of user-dirs.dirs: "$HOME/..." or an absolute path, in double quotes; "" otherwise.
std::string UserDirValue(std::string value)
{
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
        value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) return Home() + value.substr(5);
    return value.empty() || value[0] != '/' ? std::string() : value;
}

std::string UserDir(const std::string& key)
{
    std::string folder;
    std::string text;
    if (ReadHostFile(EnvFolder("XDG_CONFIG_HOME", ".config") + "user-dirs.dirs", text)) {
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            start = end + 1;
            size_t first = line.find_first_not_of(" \t");
            if (first == std::string::npos || line[first] == '#') continue;
            line = line.substr(first);
            if (line.compare(0, key.size() + 1, key + "=") == 0)
                folder = UserDirValue(line.substr(key.size() + 1));
        }
    }
    if (folder.empty())
        if (const char* value = std::getenv(key.c_str())) folder = UserDirValue(value);
    return folder;
}

} // namespace

std::string UserSpecialFolder(const std::string& name)
{
    if (name == "Desktop") {
        std::string folder = UserDir("XDG_DESKTOP_DIR");
        return WithSlash(folder.empty() ? Home() + "/Desktop" : folder);
    }
    if (name == "MyDocuments") {
        std::string folder = UserDir("XDG_DOCUMENTS_DIR");
        return WithSlash(folder.empty() ? Home() : folder);
    }
    return std::string();
}

std::string ExecutableFolder()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return WithSlash(fs::current_path(ec).string());
    return WithSlash(exe.parent_path().string());
}

std::string CanonicalHostPath(const std::string& path)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    fs::path canonical = fs::weakly_canonical(absolute, ec);
    std::string result = (ec ? absolute.lexically_normal() : canonical).string();
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

std::string UserConfigFolder()
{
    return MadeFolder(EnvFolder("XDG_CONFIG_HOME", ".config") + "rukoplayer/");
}

std::string UserDataFolder()
{
    return MadeFolder(EnvFolder("XDG_DATA_HOME", ".local/share") + "rukoplayer/");
}

std::string SafeFolderName(const std::string& titleUtf8)
{
    constexpr size_t MaxName = 200; // bytes, under NAME_MAX
    std::string name;
    for (char c : titleUtf8) {
        unsigned char byte = static_cast<unsigned char>(c);
        bool unsafe = byte < 0x20 || byte == 0x7F || std::strchr("\\/:,;*?\"<>|", c) != nullptr;
        name += unsafe ? '_' : c;
    }
    if (name.size() > MaxName) {
        name.resize(MaxName);
        // Never cut inside a UTF-8 sequence.
        while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80)
            name.pop_back();
        if (!name.empty() && (static_cast<unsigned char>(name.back()) & 0x80)) name.pop_back();
    }
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    if (!name.empty() && name.front() == '.') name.front() = '_'; // no ".", "..", or hidden folders
    return name.empty() ? "_" : name;
}

std::string UserTitleDataPath(const std::string& titleUtf8)
{
    return EnvFolder("XDG_DATA_HOME", ".local/share") + "rukoplayer/" + SafeFolderName(titleUtf8) + "/";
}

std::string UserTitleDataFolder(const std::string& titleUtf8)
{
    return MadeFolder(UserTitleDataPath(titleUtf8));
}

std::string UserTitleSaveFile(const std::string& titleUtf8, int32_t identCode)
{
    if (!titleUtf8.empty()) return UserTitleDataPath(titleUtf8) + "save.dat";
    char name[32];
    std::snprintf(name, sizeof name, "untitled-%08X", static_cast<uint32_t>(identCode));
    return UserTitleDataPath(name) + "save.dat";
}

bool UserLanguageIsJapanese()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return std::strncmp(value, "ja", 2) == 0;
    }
    return false;
}

std::string LockFileName(const std::string& mutexName)
{
    constexpr size_t MaxName = 180; // leaves room under NAME_MAX for the prefix and suffix
    bool plain = mutexName.size() <= MaxName && mutexName.find('/') == std::string::npos &&
                 mutexName.find('\0') == std::string::npos;
    if (plain) return "rukoplay-" + mutexName + ".lock";
    uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (unsigned char c : mutexName)
        hash = (hash ^ c) * 1099511628211ull;
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(hash));
    std::string head = mutexName.substr(0, 64);
    for (char& c : head)
        if (c == '/' || c == '\0') c = '-';
    // Never cut inside a UTF-8 sequence.
    while (!head.empty() && (static_cast<unsigned char>(head.back()) & 0xC0) == 0x80)
        head.pop_back();
    if (!head.empty() && (static_cast<unsigned char>(head.back()) & 0x80)) head.pop_back();
    return "rukoplay-" + head + "-" + suffix + ".lock";
}

TRunLock::~TRunLock()
{
    Release();
}

bool TRunLock::Acquire(const std::string& mutexName)
{
    Release();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder =
        runtime && runtime[0] == '/' && HostFolderExists(runtime) ? WithSlash(runtime) : "/tmp/";
    std::string path = folder + LockFileName(mutexName);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        // A lock file we cannot create (for example one left by another user in /tmp) must not
        // stop the title; a private fallback name still guards this user's copies.
        path = folder + "rukoplay-" + std::to_string(::getuid()) + "-" + LockFileName(mutexName);
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // Only a lock held elsewhere refuses the run; a folder that cannot lock at all (some
        // network file systems) must not end every start silently.
        bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return !held;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

void TRunLock::Release()
{
    if (fd_ >= 0) {
        // The file stays: removing it would let a third copy lock a fresh file while a second
        // still waits on the old one.
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

TTempFolder::TTempFolder()
{
    std::error_code ec;
    std::string base = WithSlash(fs::temp_directory_path(ec).string());
    if (ec) base = "/tmp/";
    std::string pattern = base + "rukoplay-XXXXXX";
    if (::mkdtemp(pattern.data())) {
        path_ = WithSlash(pattern);
        CurrentTempFolder = this;
    }
}

TTempFolder::~TTempFolder()
{
    Remove();
}

void TTempFolder::Remove()
{
    if (path_.empty()) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
    if (CurrentTempFolder == this) CurrentTempFolder = nullptr;
    path_.clear();
}

std::string TTempFolder::CreateFile(const std::string& prefix)
{
    if (path_.empty()) return {};
    std::string pattern = path_ + prefix + "XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) return {};
    ::close(fd);
    return pattern;
}

std::string RunTempFolder()
{
    return CurrentTempFolder ? CurrentTempFolder->Path() : std::string();
}

} // namespace ruko
