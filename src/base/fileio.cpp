#include "base/fileio.h"

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

bool ReadHostFile(const std::string& hostPath, std::string& content)
{
    content.clear();
    FILE* file = std::fopen(hostPath.c_str(), "rb");
    if (!file) return false;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, got);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool WriteHostFileAtomic(const std::string& hostPath, std::string_view content)
{
    std::string temporary = hostPath + ".tmp-XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) return false;
    size_t done = 0;
    while (done < content.size()) {
        ssize_t wrote = write(fd, content.data() + done, content.size() - done);
        if (wrote <= 0) {
            close(fd);
            unlink(temporary.c_str());
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    fchmod(fd, 0644);
    if (fsync(fd) != 0 || close(fd) != 0 || rename(temporary.c_str(), hostPath.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace ruko
