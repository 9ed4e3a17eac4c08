#pragma once
// The archive container "vf": a directory of named members followed by their bytes, each member a
// zlib stream or stored as is. Versions 0, 100, 101 and 102 are read; 102 is written. The same
// container is the save file.
#include "io/bigstream.h"
#include "io/hash.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

class TVrFile : public THashCollectionItem
{
  public:
    using THashCollectionItem::THashCollectionItem;

    int64_t Offset = 0;                       // absolute in the archive's data once loaded
    std::unique_ptr<TKwBigMemoryStream> Data; // a member held in memory (run-time files)
    int64_t Size = 0;                         // bytes in the archive (compressed size when not Stored)
    bool Stored = false;                      // the bytes are the file as is; else a zlib stream
    uint32_t Time = 0;                        // DOS date-time of the source file
    uint32_t Checksum = 0;                    // CRC-32
    bool ChecksumOfPlain = false;             // the checksum covers the uncompressed bytes
};

// The name of the terminator item that carries the end offset of a loaded directory.
inline constexpr std::string_view DirectoryTerminator = "\\EOF\\";
// Magic and version of the newest format.
inline constexpr int ArchiveVersion = 102;
// Members up to this size are compressed; larger ones are stored.
inline constexpr int64_t MaxCompressedMember = 0x4FFFFF;
// The six-byte trailer of a host file: u32 directory offset, then "rk".
inline constexpr int TrailerSize = 6;

// Standard reflected CRC-32 (0xEDB88320): Crc32("123456789") == 0xCBF43926. Pass the previous
// result to continue over further blocks.
uint32_t Crc32(const void* data, size_t size, uint32_t previous = 0);

// Inflates a complete zlib stream. The stream must end within `bytes` and inflate to at most
// `limit` bytes; otherwise the damaged-file error is raised (a truncated member is never short data).
std::vector<uint8_t> InflateMember(const uint8_t* bytes, size_t size, size_t limit);
// The most a member of `size` compressed bytes may inflate to.
size_t InflateLimit(int64_t size);
std::vector<uint8_t> DeflateMember(const uint8_t* bytes, size_t size);

// Reads the trailer of a host file: the offset of the archive directory, or −1 when the file has
// no valid trailer ("rk" marker and an offset inside the file before the trailer).
int64_t ReadTrailer(const TRangeSource& file);

class TVrFileCollection : public THashCollection
{
  public:
    TVrFileCollection() : THashCollection(true) {}

    // Host folder (ending in '/') of loose files next to the archive; asked when a member is not in
    // the directory. Empty for an archive without a file.
    std::string Folder;
    // Host path of the archive's own file.
    std::string FileName;
    // When set, large ".brm" files being packed are compressed when it answers true (the
    // layered-image reader knows which ones gain from it).
    std::function<bool(const std::string& hostPath)> BrmCompressible;

    // Attaches to a host file: the directory is found through the trailer when `viaTrailer` is set
    // or the extension is ".exe"/".scr"; else in a file of the same name with extension ".ext"
    // when one exists; else at the start. A missing file leaves an empty archive whose Folder is
    // the path itself (`asFolder` also makes an existing path count as a folder). A damaged
    // directory raises an error naming the file and leaves the collection empty.
    void Open(const std::string& hostPath, bool viaTrailer = false);
    void OpenEx(const std::string& hostPath, bool asFolder, bool viaTrailer = false);
    // Attaches to bytes already open (memory, tests); the directory starts at `directoryOffset`.
    void OpenSource(std::shared_ptr<const TRangeSource> source, int64_t directoryOffset,
                    const std::string& displayName);
    // Reads a directory at the stream's position; offsets count from that position. Members can
    // be read only when the stream is also the archive's data (OpenSource). All or nothing.
    void LoadDirectory(TKwBigStream& stream);

    // Writes the whole archive in the newest version to an empty stream at position 0. Members come
    // from memory, from loose files under Folder, or from this archive's own data.
    bool SaveToStream(TKwBigStream& stream);
    // SaveToStream into a new host file (split into 1 GiB parts when larger). Nothing is left
    // behind when writing fails.
    void SaveToFile(const std::string& hostPath);
    // Called after each member SaveToStream writes: (members written, member count).
    std::function<void(int done, int count)> OnMemberWritten;
    // When set, SaveToStream copies the members that come from this archive's own data as they
    // are stored (bytes, flags, time, checksum) instead of inflating and deflating them again:
    // a rewrite then leaves the members it did not replace byte for byte as they were. Loose
    // files are not asked for such members.
    bool CopyOwnMembersRaw = false;

    TVrFile& Add(const std::string& name);
    TVrFile& AddMemoryFile(const std::string& name); // with an empty Data stream
    void Remove(std::string_view name);

    TVrFile* FindFile(std::string_view name) const;
    TVrFile& FileAt(int index) const { return ItemAs<TVrFile>(index); }
    // Members without the terminator.
    int MemberCount() const;
    bool HasData() const { return source_ != nullptr; }
    const std::shared_ptr<const TRangeSource>& Source() const { return source_; }

    // The member's bytes, uncompressed, into `target` (emptied first when a memory stream), at
    // position 0 afterwards. Falls back to the loose file Folder + name. Raises
    // "%s:ファイルがありません" when neither exists.
    void ReadMember(TKwBigStream& target, std::string_view name);
    std::vector<uint8_t> ReadMemberBytes(std::string_view name);
    // One member's bytes, uncompressed (by item, so each of two equal names can be read).
    std::vector<uint8_t> ReadFileBytes(const TVrFile& file) const;
    // The first `count` bytes of the member, uncompressed, inflating no more than it takes (a list
    // of captions reads only the head of each saved game). False when the member is shorter or
    // its bytes are damaged.
    bool ReadFileHead(const TVrFile& file, size_t count, std::vector<uint8_t>& head) const;
    // True when the member's checksum matches its bytes (or it has none, as in versions 0 and
    // 100); false for damaged bytes.
    bool ChecksumMatches(const TVrFile& file) const;
    // The member's bytes from this archive only (memory or data); false when it has no such member.
    bool TryReadMember(std::string_view name, std::vector<uint8_t>& bytes);
    // A read-only stream over the member: a window on the archive for a stored member, the
    // inflated bytes for a compressed one. nullptr when there is no such member or no data.
    std::unique_ptr<TRangeStream> OpenRange(std::string_view name);
    // Appends the names of members whose folder part equals `path` (case-insensitive; a trailing
    // "\" is optional), skipping names already in `list`.
    void ListFolder(std::string_view path, std::vector<std::string>& list) const;

  private:
    void ClearAll();
    std::vector<uint8_t> ReadStoredBytes(const TVrFile& file) const;
    // The member's bytes as stored in the data, in blocks.
    void CopyStoredBytes(const TVrFile& file, TKwBigStream& target) const;
    std::string LooseFilePath(std::string_view name) const;

    std::shared_ptr<const TRangeSource> source_;
};

} // namespace ruko
