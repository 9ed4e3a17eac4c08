#include "archive/standalone.h"

#include "archive/vrarchive.h"
#include "base/error.h"
#include "base/text.h"
#include "io/bigstream.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ruko {

namespace {

[[noreturn]] void RaiseFor(const char* utf8Format, const std::string& hostPath)
{
    RaiseError(FormatText(Utf8ToCp932(utf8Format).c_str(), Utf8ToCp932(hostPath).c_str()));
}

bool WriteAll(int fd, const uint8_t* bytes, size_t count)
{
    while (count > 0) {
        ssize_t wrote = write(fd, bytes, count);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        bytes += wrote;
        count -= static_cast<size_t>(wrote);
    }
    return true;
}

// Copies a whole big file (every part) to `fd`; false on a read or write failure.
bool CopyFile(TKwBigFileStream& source, int fd)
{
    std::vector<uint8_t> block(1 << 20);
    int64_t position = 0, size = source.SourceSize();
    while (position < size) {
        int64_t got = source.ReadAt(position, block.data(), static_cast<int64_t>(block.size()));
        if (got <= 0 || !WriteAll(fd, block.data(), static_cast<size_t>(got))) return false;
        position += got;
    }
    return true;
}

} // namespace

void WriteStandaloneTitle(const std::string& playerPath, const std::string& archivePath,
                          const std::string& outPath)
{
    TKwBigFileStream player(playerPath, TFileMode::Read);
    if (ReadTrailer(player) >= 0) RaiseFor("%s:既にアーカイブが付いています", playerPath);
    // The trailer holds a 32-bit offset: the archive must start below 4 GiB.
    if (player.SourceSize() > int64_t{0xFFFFFFFF}) RaiseFor("%s:ファイルが大きすぎます", playerPath);
    {
        TVrFileCollection check;
        check.Open(archivePath); // raises for a damaged directory
        if (!check.HasData()) RaiseFor("%s:ファイルがありません", archivePath);
    }
    TKwBigFileStream archive(archivePath, TFileMode::Read);

    struct stat info;
    mode_t mode = stat(playerPath.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0755;
    std::string temporary = outPath + ".~writing";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) RaiseFor("%s:ファイルを作成できません", outPath);
    auto offset = static_cast<uint32_t>(player.SourceSize());
    const uint8_t trailer[TrailerSize] = {static_cast<uint8_t>(offset),
                                          static_cast<uint8_t>(offset >> 8),
                                          static_cast<uint8_t>(offset >> 16),
                                          static_cast<uint8_t>(offset >> 24),
                                          'r',
                                          'k'};
    bool ok = CopyFile(player, fd) && CopyFile(archive, fd) && WriteAll(fd, trailer, TrailerSize) &&
              fchmod(fd, mode) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) {
        // Read back through the trailer, as the player will.
        try {
            TVrFileCollection written;
            written.Open(temporary, true);
        } catch (const ERukoError&) {
            unlink(temporary.c_str());
            RaiseFor("%s:ファイルが破壊されています", archivePath);
        }
    }
    if (!ok || rename(temporary.c_str(), outPath.c_str()) != 0) {
        unlink(temporary.c_str());
        RaiseFor("%s:ファイルを作成できません", outPath);
    }
}

} // namespace ruko
