#include "archive/standalone.h"

#include "archive/vrarchive.h"
#include "base/error.h"
#include "base/fileio.h"
#include "base/text.h"
#include "io/bigstream.h"

#include <cstdint>
#include <sys/stat.h>
#include <vector>

namespace ruko {

namespace {

[[noreturn]] void RaiseFor(const char* utf8Format, const std::string& hostPath)
{
    RaiseError(FormatText(Utf8ToCp932(utf8Format).c_str(), Utf8ToCp932(hostPath).c_str()));
}

// Copies a whole big file (every part) to `target`; false on a read or write failure.
bool CopyFile(TKwBigFileStream& source, THostFile& target)
{
    std::vector<uint8_t> block(1 << 20);
    int64_t position = 0, size = source.SourceSize();
    while (position < size) {
        int64_t got = source.ReadAt(position, block.data(), static_cast<int64_t>(block.size()));
        if (got <= 0 || !target.WriteAll(block.data(), got)) return false;
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
    auto offset = static_cast<uint32_t>(player.SourceSize());
    const uint8_t trailer[TrailerSize] = {static_cast<uint8_t>(offset),
                                          static_cast<uint8_t>(offset >> 8),
                                          static_cast<uint8_t>(offset >> 16),
                                          static_cast<uint8_t>(offset >> 24),
                                          'r',
                                          'k'};
    auto write = [&](THostFile& file) {
        if (!CopyFile(player, file) || !CopyFile(archive, file) || !file.WriteAll(trailer, TrailerSize))
            return false;
        // Read back through the trailer, as the player will.
        try {
            TVrFileCollection written;
            written.Open(file.Path(), true);
        } catch (const ERukoError&) {
            RaiseFor("%s:ファイルが破壊されています", archivePath);
        }
        return true;
    };
    if (!WriteAtomically(outPath, write, {.Permissions = mode}))
        RaiseFor("%s:ファイルを作成できません", outPath);
}

} // namespace ruko
