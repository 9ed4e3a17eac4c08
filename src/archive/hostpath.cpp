#include "archive/hostpath.h"

#include "base/text.h"

#include <dirent.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unordered_map>

namespace ruko {

namespace {

struct TListing
{
    int64_t stamp = -1; // change time of the folder in ns when it was listed
    // Folded name → real names (several when they differ only in case).
    std::unordered_map<std::string, std::vector<std::string>> entries;
};

// Never destroyed: a static destructor could run while another thread still resolves a name, or
// after an exit() from inside a library.
std::mutex& ListingLock = *new std::mutex;
std::map<std::string, TListing>& Listings = *new std::map<std::string, TListing>;

std::string FoldAscii(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

int64_t ChangeStamp(const struct stat& info)
{
    return static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

// The real name in `folder` matching `component`; empty when none. Called with the lock held.
std::string MatchEntry(const std::string& folder, const std::string& component)
{
    std::string exact = JoinHostPath(folder, component);
    struct stat info;
    if (lstat(exact.c_str(), &info) == 0) return component;
    if (stat(folder.empty() ? "." : folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return std::string();
    TListing& listing = Listings[folder];
    int64_t stamp = ChangeStamp(info);
    if (listing.stamp != stamp) {
        listing.entries.clear();
        listing.stamp = stamp;
        if (DIR* dir = opendir(folder.empty() ? "." : folder.c_str())) {
            while (struct dirent* entry = readdir(dir)) {
                std::string name = entry->d_name;
                if (name != "." && name != "..") listing.entries[FoldAscii(name)].push_back(name);
            }
            closedir(dir);
        }
    }
    auto it = listing.entries.find(FoldAscii(component));
    return it == listing.entries.end() ? std::string() : it->second.front();
}

} // namespace

std::string JoinHostPath(const std::string& hostFolder, std::string_view name)
{
    if (hostFolder.empty()) return std::string(name);
    if (hostFolder.back() == '/') return hostFolder + std::string(name);
    return hostFolder + "/" + std::string(name);
}

std::string HostFolderOf(const std::string& hostPath)
{
    size_t slash = hostPath.rfind('/');
    return slash == std::string::npos ? std::string() : hostPath.substr(0, slash + 1);
}

std::string ResolveGamePath(const std::string& hostFolder, std::string_view gameName, bool folder)
{
    if (hostFolder.empty()) return std::string();
    std::string utf8;
    if (!TryCp932ToUtf8(gameName, utf8)) return std::string();
    std::vector<std::string> components;
    std::string current;
    for (char c : utf8) {
        if (c == '\\' || c == '/') {
            components.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    components.push_back(std::move(current));

    std::lock_guard<std::mutex> guard(ListingLock);
    std::string path = hostFolder;
    bool any = false;
    for (const std::string& component : components) {
        if (component.empty() || component == ".") continue;
        if (component == ".." || component.find(':') != std::string::npos ||
            component.find('\0') != std::string::npos)
            return std::string();
        std::string real = MatchEntry(path, component);
        if (real.empty()) return std::string();
        path = JoinHostPath(path, real);
        any = true;
    }
    if (!any && !folder) return std::string();
    return folder ? (HostFolderExists(path) ? path : std::string())
                  : (HostFileExists(path) ? path : std::string());
}

std::vector<std::string> ListHostFiles(const std::string& hostFolder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(hostFolder.c_str())) {
        while (struct dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != ".." && HostFileExists(JoinHostPath(hostFolder, name)))
                names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

void ForgetHostListings()
{
    std::lock_guard<std::mutex> guard(ListingLock);
    Listings.clear();
}

} // namespace ruko
