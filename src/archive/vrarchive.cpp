#include "archive/vrarchive.h"

#include "archive/hostpath.h"
#include "base/error.h"
#include "base/fileio.h"
#include "base/text.h"
#include "io/fields.h"
#include "io/inflate.h"
#include "io/kwrandom.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <zlib.h>

namespace ruko {

// --- checksums and zlib -------------------------------------------------------------------------

uint32_t Crc32(const void* data, size_t size, uint32_t previous)
{
    uLong crc = previous;
    const auto* bytes = static_cast<const Bytef*>(data);
    while (size > 0) {
        uInt block = static_cast<uInt>(std::min<size_t>(size, 1 << 20));
        crc = crc32(crc, bytes, block);
        bytes += block;
        size -= block;
    }
    return static_cast<uint32_t>(crc);
}

size_t InflateLimit(int64_t size)
{
    // Deflate cannot expand beyond about 1032:1; a member claiming more is damaged.
    constexpr int64_t Cap = int64_t{1} << 30;
    if (size <= 0) return 0;
    if (size > Cap / 1032) return static_cast<size_t>(Cap);
    return static_cast<size_t>(size * 1032 + 1024);
}

std::vector<uint8_t> InflateMember(const uint8_t* bytes, size_t size, size_t limit)
{
    return InflateWhole(bytes, size, limit, std::max<size_t>(size * 4, 65536));
}

std::vector<uint8_t> DeflateMember(const uint8_t* bytes, size_t size)
{
    uLongf capacity = compressBound(static_cast<uLong>(size));
    std::vector<uint8_t> out(capacity);
    if (compress2(out.data(), &capacity, bytes, static_cast<uLong>(size), Z_DEFAULT_COMPRESSION) != Z_OK)
        RaiseError(Utf8ToCp932("圧縮できません"));
    out.resize(capacity);
    return out;
}

int64_t ReadTrailer(const TRangeSource& file)
{
    int64_t size = file.SourceSize();
    uint8_t trailer[TrailerSize];
    if (size < TrailerSize || file.ReadAt(size - TrailerSize, trailer, TrailerSize) != TrailerSize) return -1;
    if (trailer[4] != 'r' || trailer[5] != 'k') return -1;
    int64_t offset = static_cast<int64_t>(trailer[0]) | static_cast<int64_t>(trailer[1]) << 8 |
                     static_cast<int64_t>(trailer[2]) << 16 | static_cast<int64_t>(trailer[3]) << 24;
    return offset < size - TrailerSize ? offset : -1;
}

// --- directory ----------------------------------------------------------------------------------

namespace {

struct TDirectoryEntry
{
    std::string name;
    int64_t offset = 0;
    int64_t size = 0;
    bool stored = false;
    uint32_t time = 0;
    uint32_t checksum = 0;
    bool checksumOfPlain = false;
};

// Reads and checks a whole directory at the stream's position. `dataEnd` is the size of the data
// the offsets address, measured from the same origin as the stream.
std::vector<TDirectoryEntry> ReadDirectory(TKwBigStream& s, int64_t dataEnd)
{
    int64_t start = s.GetPosition();
    int64_t consumed = 0;
    std::vector<TDirectoryEntry> entries;
    std::vector<int64_t> offsets;
    int version = 0;
    {
        TKwBuffBigStream in(s);
        int64_t available = s.GetSize() - start;
        auto take = [&](void* buffer, int64_t count) {
            in.ReadExact(buffer, count);
            consumed += count;
        };
        auto takeU32 = [&]() {
            uint8_t b[4];
            take(b, 4);
            return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                   static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
        };

        uint8_t magic[2];
        take(magic, 2);
        int64_t count;
        if (magic[0] == 'v' && magic[1] == 'f') {
            uint32_t stored = takeU32();
            version =
                stored > static_cast<uint32_t>(ArchiveVersion) ? ArchiveVersion : static_cast<int>(stored);
            count = takeU32();
        } else {
            // Version 0 starts with the count: its first two bytes were the count's low half.
            uint8_t high[2];
            take(high, 2);
            count = static_cast<int64_t>(magic[0]) | static_cast<int64_t>(magic[1]) << 8 |
                    static_cast<int64_t>(high[0]) << 16 | static_cast<int64_t>(high[1]) << 24;
        }
        bool wide = version >= 101;
        int64_t offsetWidth = wide ? 8 : 4;
        int64_t perMember = 4 + offsetWidth + (wide ? 9 : 0) + (version >= 102 ? 1 : 0);
        if (count > (available - consumed - offsetWidth) / perMember) RaiseDamaged();

        entries.resize(static_cast<size_t>(count));
        TKwRandom names(ArchiveSeed);
        for (TDirectoryEntry& entry : entries) {
            uint32_t length = takeU32();
            if (length > static_cast<uint64_t>(available - consumed)) RaiseDamaged();
            entry.name.resize(length);
            take(entry.name.data(), length);
            if (version >= 100)
                for (char& c : entry.name)
                    c = static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(names.Next()));
        }

        TKwRandom scramble(ArchiveSeed);
        offsets.resize(static_cast<size_t>(count) + 1);
        for (int64_t& offset : offsets) {
            if (wide) {
                uint32_t low = takeU32(), high = takeU32();
                uint32_t v = scramble.Next();
                low ^= v;
                high ^= (v & 0x80000000u) ? 0xFFFFFFFFu : 0u;
                uint64_t value = static_cast<uint64_t>(high) << 32 | low;
                if (value > static_cast<uint64_t>(INT64_MAX)) RaiseDamaged();
                offset = static_cast<int64_t>(value);
            } else {
                uint32_t value = takeU32();
                if (version >= 100) value ^= scramble.Next();
                offset = value;
            }
        }
        if (wide) {
            std::vector<uint8_t> table(entries.size());
            take(table.data(), static_cast<int64_t>(table.size()));
            for (size_t i = 0; i < entries.size(); ++i)
                entries[i].stored = table[i] != 0;
            for (TDirectoryEntry& entry : entries)
                entry.time = takeU32();
            for (TDirectoryEntry& entry : entries)
                entry.checksum = takeU32();
            if (version >= 102) {
                take(table.data(), static_cast<int64_t>(table.size()));
                for (size_t i = 0; i < entries.size(); ++i)
                    entries[i].checksumOfPlain = table[i] != 0;
            }
        }
    }
    // Members must follow one another and stay inside the data.
    for (size_t i = 0; i < entries.size(); ++i) {
        if (offsets[i + 1] < offsets[i]) RaiseDamaged();
        entries[i].offset = start + offsets[i];
        entries[i].size = offsets[i + 1] - offsets[i];
    }
    if (offsets.back() > dataEnd - start) RaiseDamaged();
    TDirectoryEntry terminator;
    terminator.name = std::string(DirectoryTerminator);
    terminator.offset = start + offsets.back();
    entries.push_back(std::move(terminator));
    return entries;
}

void AddEntries(TVrFileCollection& archive, std::vector<TDirectoryEntry>& entries)
{
    archive.Reserve(entries.size());
    for (TDirectoryEntry& entry : entries) {
        TVrFile& item = archive.Emplace<TVrFile>(std::move(entry.name));
        item.Offset = entry.offset;
        item.Size = entry.size;
        item.Stored = entry.stored;
        item.Time = entry.time;
        item.Checksum = entry.checksum;
        item.ChecksumOfPlain = entry.checksumOfPlain;
    }
}

std::string DisplayName(const std::string& hostPath)
{
    return hostPath.empty() ? std::string("archive") : Utf8ToCp932(hostPath);
}

[[noreturn]] void RaiseDamagedArchive(const std::string& displayName)
{
    RaiseError(FormatText(Utf8ToCp932("%s:ファイルが破壊されています").c_str(), displayName.c_str()));
}

uint32_t DosDateTime(time_t when)
{
    struct tm local;
    if (!localtime_r(&when, &local) || local.tm_year < 80) return 0;
    return static_cast<uint32_t>((local.tm_year - 80) << 25 | (local.tm_mon + 1) << 21 | local.tm_mday << 16 |
                                 local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
}

} // namespace

// --- TVrFileCollection --------------------------------------------------------------------------

void TVrFileCollection::ClearAll()
{
    Clear();
    source_.reset();
    FileName.clear();
    Folder.clear();
}

void TVrFileCollection::Open(const std::string& hostPath, bool viaTrailer)
{
    OpenEx(hostPath, false, viaTrailer);
}

void TVrFileCollection::OpenEx(const std::string& hostPath, bool asFolder, bool viaTrailer)
{
    ClearAll();
    FileName = hostPath;
    bool exists = HostFileExists(hostPath);
    if (exists && !asFolder)
        Folder = HostFolderOf(hostPath);
    else if (!hostPath.empty())
        Folder = hostPath.back() == '/' ? hostPath : hostPath + "/";
    if (!exists || asFolder) return;

    std::shared_ptr<TKwBigFileStream> file = std::make_shared<TKwBigFileStream>(hostPath, TFileMode::Read);
    std::string baseName =
        hostPath.substr(hostPath.rfind('/') == std::string::npos ? 0 : hostPath.rfind('/') + 1);
    std::string extension =
        baseName.rfind('.') == std::string::npos ? std::string() : baseName.substr(baseName.rfind('.'));
    extension = LowerCaseText(extension);
    std::string display = DisplayName(hostPath);
    std::vector<TDirectoryEntry> entries;
    try {
        if (viaTrailer || extension == ".exe" || extension == ".scr") {
            int64_t offset = ReadTrailer(*file);
            if (offset < 0) RaiseDamaged();
            TRangeStream view(file, 0, file->SourceSize() - TrailerSize);
            view.SetPosition(offset);
            entries = ReadDirectory(view, view.GetSize());
        } else {
            std::string sidecar = hostPath.substr(0, hostPath.size() - extension.size()) + ".ext";
            if (!extension.empty() && HostFileExists(sidecar)) {
                TKwBigMemoryStream directory;
                directory.LoadFromFile(sidecar);
                entries = ReadDirectory(directory, file->SourceSize());
            } else {
                TRangeStream view(file, 0, file->SourceSize());
                entries = ReadDirectory(view, view.GetSize());
            }
        }
    } catch (const ERukoError&) {
        RaiseDamagedArchive(display);
    }
    AddEntries(*this, entries);
    source_ = std::move(file);
}

void TVrFileCollection::OpenSource(std::shared_ptr<const TRangeSource> source, int64_t directoryOffset,
                                   const std::string& displayName)
{
    ClearAll();
    FileName = displayName;
    if (!source) return;
    TRangeStream view(source, 0, source->SourceSize());
    view.SetPosition(directoryOffset);
    if (view.GetPosition() != directoryOffset) RaiseDamagedArchive(DisplayName(displayName));
    std::vector<TDirectoryEntry> entries;
    try {
        entries = ReadDirectory(view, view.GetSize());
    } catch (const ERukoError&) {
        RaiseDamagedArchive(DisplayName(displayName));
    }
    AddEntries(*this, entries);
    source_ = std::move(source);
}

void TVrFileCollection::LoadDirectory(TKwBigStream& stream)
{
    std::vector<TDirectoryEntry> entries = ReadDirectory(stream, stream.GetSize());
    Clear();
    AddEntries(*this, entries);
}

TVrFile& TVrFileCollection::Add(const std::string& name)
{
    // New members go before the terminator so the directory stays well-formed.
    int terminator = Count() > 0 && At(Count() - 1).Name() == DirectoryTerminator ? Count() - 1 : Count();
    return static_cast<TVrFile&>(Insert(terminator, std::make_unique<TVrFile>(name)));
}

TVrFile& TVrFileCollection::AddMemoryFile(const std::string& name)
{
    TVrFile& file = Add(name);
    file.Data = std::make_unique<TKwBigMemoryStream>();
    return file;
}

void TVrFileCollection::Remove(std::string_view name)
{
    int index = IndexOf(name);
    if (index >= 0) Delete(index);
}

TVrFile* TVrFileCollection::FindFile(std::string_view name) const
{
    return static_cast<TVrFile*>(Find(name));
}

int TVrFileCollection::MemberCount() const
{
    int count = Count();
    return count > 0 && At(count - 1).Name() == DirectoryTerminator ? count - 1 : count;
}

std::vector<uint8_t> TVrFileCollection::ReadStoredBytes(const TVrFile& file) const
{
    if (file.Size <= 0) return {};
    if (!source_ || file.Offset < 0 || file.Size > source_->SourceSize() - file.Offset)
        RaiseDamagedArchive(DisplayName(FileName));
    if (file.Size > (int64_t{1} << 31)) RaiseError(Utf8ToCp932("メモリが足りません"));
    std::vector<uint8_t> bytes(static_cast<size_t>(file.Size));
    if (source_->ReadAt(file.Offset, bytes.data(), file.Size) != file.Size)
        RaiseDamagedArchive(DisplayName(FileName));
    return bytes;
}

void TVrFileCollection::CopyStoredBytes(const TVrFile& file, TKwBigStream& target) const
{
    if (file.Size <= 0) return;
    if (!source_ || file.Offset < 0 || file.Size > source_->SourceSize() - file.Offset)
        RaiseDamagedArchive(DisplayName(FileName));
    std::vector<uint8_t> block(static_cast<size_t>(std::min<int64_t>(file.Size, 1 << 20)));
    for (int64_t done = 0; done < file.Size;) {
        int64_t want = std::min<int64_t>(file.Size - done, static_cast<int64_t>(block.size()));
        if (source_->ReadAt(file.Offset + done, block.data(), want) != want)
            RaiseDamagedArchive(DisplayName(FileName));
        WriteExact(target, block.data(), want);
        done += want;
    }
}

bool TVrFileCollection::ChecksumMatches(const TVrFile& file) const
{
    if (file.Data || file.Checksum == 0) return true;
    try {
        std::vector<uint8_t> bytes = file.ChecksumOfPlain ? ReadFileBytes(file) : ReadStoredBytes(file);
        return Crc32(bytes.data(), bytes.size()) == file.Checksum;
    } catch (const ERukoError&) {
        return false;
    }
}

bool TVrFileCollection::ReadFileHead(const TVrFile& file, size_t count, std::vector<uint8_t>& head) const
{
    head.clear();
    if (file.Data) {
        const std::vector<uint8_t>& bytes = file.Data->Bytes();
        if (bytes.size() < count) return false;
        head.assign(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(count));
        return true;
    }
    if (!source_ || file.Offset < 0 || file.Size < 0 || file.Size > source_->SourceSize() - file.Offset)
        return false;
    if (file.Stored) {
        if (static_cast<uint64_t>(file.Size) < count) return false;
        head.resize(count);
        return source_->ReadAt(file.Offset, head.data(), static_cast<int64_t>(count)) ==
               static_cast<int64_t>(count);
    }
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    head.resize(count);
    z.next_out = head.data();
    z.avail_out = static_cast<uInt>(count);
    uint8_t block[4096];
    int64_t read = 0;
    int status = Z_OK;
    while (z.avail_out > 0 && status == Z_OK) {
        if (z.avail_in == 0) {
            int64_t want = std::min<int64_t>(file.Size - read, static_cast<int64_t>(sizeof block));
            if (want <= 0 || source_->ReadAt(file.Offset + read, block, want) != want) break;
            read += want;
            z.next_in = block;
            z.avail_in = static_cast<uInt>(want);
        }
        status = inflate(&z, Z_NO_FLUSH);
    }
    bool whole = z.avail_out == 0;
    inflateEnd(&z);
    if (!whole) head.clear();
    return whole;
}

bool TVrFileCollection::TryReadMember(std::string_view name, std::vector<uint8_t>& bytes)
{
    TVrFile* file = FindFile(name);
    if (!file) return false;
    if (file->Data) {
        bytes = file->Data->Bytes();
        return true;
    }
    if (!source_) return false;
    bytes = ReadFileBytes(*file);
    return true;
}

std::vector<uint8_t> TVrFileCollection::ReadFileBytes(const TVrFile& file) const
{
    if (file.Data) return file.Data->Bytes();
    std::vector<uint8_t> raw = ReadStoredBytes(file);
    if (file.Stored || raw.empty()) return raw;
    try {
        return InflateMember(raw.data(), raw.size(), InflateLimit(file.Size));
    } catch (const ERukoError&) {
        RaiseError(FormatText(Utf8ToCp932("%s:ファイルが破壊されています").c_str(), file.Name().c_str()));
    }
}

std::string TVrFileCollection::LooseFilePath(std::string_view name) const
{
    if (Folder.empty()) return std::string();
    std::string path = ResolveGamePath(Folder, name);
    if (path.empty() || path == FileName) return std::string();
    return path;
}

std::vector<uint8_t> TVrFileCollection::ReadMemberBytes(std::string_view name)
{
    std::vector<uint8_t> bytes;
    if (TryReadMember(name, bytes)) return bytes;
    std::string loose = LooseFilePath(name);
    if (!loose.empty()) {
        TKwBigMemoryStream file;
        file.LoadFromFile(loose);
        return file.TakeBytes();
    }
    RaiseError(FormatText(Utf8ToCp932("%s:ファイルがありません").c_str(), std::string(name).c_str()));
}

void TVrFileCollection::ReadMember(TKwBigStream& target, std::string_view name)
{
    std::vector<uint8_t> bytes = ReadMemberBytes(name);
    if (auto* memory = dynamic_cast<TKwBigMemoryStream*>(&target)) memory->Clear();
    WriteExact(target, bytes.data(), static_cast<int64_t>(bytes.size()));
    target.SetPosition(0);
}

std::unique_ptr<TRangeStream> TVrFileCollection::OpenRange(std::string_view name)
{
    TVrFile* file = FindFile(name);
    if (!file) return nullptr;
    if (file->Data) return TRangeStream::OverBytes(file->Data->Bytes());
    if (!source_) return nullptr;
    if (file->Stored || file->Size == 0) {
        // An empty member is an empty window, never "the rest of the archive".
        if (file->Offset < 0 || file->Size > source_->SourceSize() - file->Offset)
            RaiseDamagedArchive(DisplayName(FileName));
        return std::make_unique<TRangeStream>(source_, file->Offset, file->Size);
    }
    // Decoders expect the file's own bytes, not a zlib stream.
    std::vector<uint8_t> bytes;
    TryReadMember(name, bytes);
    return TRangeStream::OverBytes(std::move(bytes));
}

void TVrFileCollection::ListFolder(std::string_view path, std::vector<std::string>& list) const
{
    std::string folder(path);
    if (!folder.empty() && !EndsWithSeparator(folder)) folder += '\\';
    std::unordered_set<std::string> known;
    for (const std::string& name : list)
        known.insert(UpperCaseText(name));
    for (int i = 0; i < Count(); ++i) {
        const std::string& name = At(i).Name();
        if (name == DirectoryTerminator || !SameText(GameFolderOf(name), folder)) continue;
        if (known.insert(UpperCaseText(name)).second) list.push_back(name);
    }
}

// --- writing ------------------------------------------------------------------------------------

namespace {

bool CompressibleExtension(const std::string& extension)
{
    static const char* const Never[] = {".WAV",  ".WMA", ".OGG", ".AVI", ".MPG",
                                        ".MPEG", ".M1V", ".WMV", ".ASF", ".DAT"};
    std::string upper = UpperCaseText(extension);
    return std::none_of(std::begin(Never), std::end(Never), [&](const char* e) { return upper == e; });
}

struct TWrittenMember
{
    bool stored = false;
    uint32_t time = 0;
    uint32_t checksum = 0;
    bool checksumOfPlain = false;
};

} // namespace

bool TVrFileCollection::SaveToStream(TKwBigStream& stream)
{
    int count = MemberCount();
    WriteExact(stream, "vf", 2);
    WriteU32(stream, ArchiveVersion);
    WriteU32(stream, static_cast<uint32_t>(count));
    TKwRandom names(ArchiveSeed);
    for (int i = 0; i < count; ++i) {
        std::string name = At(i).Name();
        for (char& c : name)
            c = static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(names.Next()));
        WriteStr(stream, name);
    }
    int64_t tablePosition = stream.GetPosition();
    std::vector<uint8_t> placeholder(static_cast<size_t>(count + 1) * 8 + static_cast<size_t>(count) * 10);
    WriteExact(stream, placeholder.data(), static_cast<int64_t>(placeholder.size()));

    std::vector<int64_t> offsets;
    std::vector<TWrittenMember> written;
    for (int i = 0; i < count; ++i) {
        TVrFile& file = FileAt(i);
        offsets.push_back(stream.GetPosition());
        TWrittenMember member;
        try {
            auto emit = [&](const std::vector<uint8_t>& plain, bool store) {
                if (store) {
                    WriteExact(stream, plain.data(), static_cast<int64_t>(plain.size()));
                    member.stored = true;
                    member.checksum = Crc32(plain.data(), plain.size());
                } else {
                    std::vector<uint8_t> packed = DeflateMember(plain.data(), plain.size());
                    WriteExact(stream, packed.data(), static_cast<int64_t>(packed.size()));
                    member.checksum = file.ChecksumOfPlain ? Crc32(plain.data(), plain.size())
                                                           : Crc32(packed.data(), packed.size());
                    member.checksumOfPlain = file.ChecksumOfPlain;
                }
            };
            std::string loose;
            if (file.Data) {
                emit(file.Data->Bytes(), file.Data->GetSize() > MaxCompressedMember);
            } else if (CopyOwnMembersRaw && source_) {
                CopyStoredBytes(file, stream);
                member.stored = file.Stored;
                member.time = file.Time;
                member.checksum = file.Checksum;
                member.checksumOfPlain = file.ChecksumOfPlain;
            } else if (!(loose = LooseFilePath(file.Name())).empty()) {
                struct stat info;
                if (stat(loose.c_str(), &info) != 0)
                    RaiseError(
                        FormatText(Utf8ToCp932("%s:ファイルがありません").c_str(), file.Name().c_str()));
                int64_t size = static_cast<int64_t>(info.st_size);
                member.time = DosDateTime(info.st_mtime);
                std::string extension = GameExtension(file.Name());
                bool compressible =
                    (SameText(extension, ".BRM") && BrmCompressible && BrmCompressible(loose)) ||
                    (CompressibleExtension(extension) && size < 0x500000);
                if (compressible && size <= (int64_t{1} << 30)) {
                    TKwBigMemoryStream source;
                    source.LoadFromFile(loose);
                    const std::vector<uint8_t>& plain = source.Bytes();
                    std::vector<uint8_t> packed = DeflateMember(plain.data(), plain.size());
                    int64_t plainSize = static_cast<int64_t>(plain.size());
                    if (static_cast<int64_t>(packed.size()) > plainSize * 9 / 10) {
                        emit(plain, true);
                    } else {
                        WriteExact(stream, packed.data(), static_cast<int64_t>(packed.size()));
                        member.checksum = file.ChecksumOfPlain ? Crc32(plain.data(), plain.size())
                                                               : Crc32(packed.data(), packed.size());
                        member.checksumOfPlain = file.ChecksumOfPlain;
                    }
                } else {
                    // Large stored files are copied in blocks, never held whole.
                    TKwBigFileStream source(loose, TFileMode::Read);
                    std::vector<uint8_t> block(1 << 20);
                    uint32_t crc = 0;
                    int64_t got;
                    while ((got = source.Read(block.data(), static_cast<int64_t>(block.size()))) > 0) {
                        WriteExact(stream, block.data(), got);
                        crc = Crc32(block.data(), static_cast<size_t>(got), crc);
                    }
                    member.stored = true;
                    member.checksum = crc;
                }
            } else {
                std::vector<uint8_t> plain;
                if (!TryReadMember(file.Name(), plain))
                    RaiseError(
                        FormatText(Utf8ToCp932("%s:ファイルがありません").c_str(), file.Name().c_str()));
                bool plainChecksum = file.ChecksumOfPlain;
                file.ChecksumOfPlain = false; // the checksum covers the bytes as written
                emit(plain, static_cast<int64_t>(plain.size()) > MaxCompressedMember);
                file.ChecksumOfPlain = plainChecksum;
                member.time = file.Time;
            }
        } catch (const ERukoError& error) {
            RaiseError(Utf8ToCp932("エラー:") + file.Name() + "\n" + error.what());
        }
        written.push_back(member);
        if (OnMemberWritten) OnMemberWritten(i + 1, count);
    }
    offsets.push_back(stream.GetPosition());
    int64_t end = stream.GetPosition();

    TKwBigMemoryStream tables;
    TKwRandom scramble(ArchiveSeed);
    for (int64_t offset : offsets) {
        uint32_t v = scramble.Next();
        auto value = static_cast<uint64_t>(offset);
        WriteU32(tables, static_cast<uint32_t>(value) ^ v);
        WriteU32(tables, static_cast<uint32_t>(value >> 32) ^ ((v & 0x80000000u) ? 0xFFFFFFFFu : 0u));
    }
    for (const TWrittenMember& member : written)
        WriteByte(tables, member.stored ? 1 : 0);
    for (const TWrittenMember& member : written)
        WriteU32(tables, member.time);
    for (const TWrittenMember& member : written)
        WriteU32(tables, member.checksum);
    for (const TWrittenMember& member : written)
        WriteByte(tables, member.checksumOfPlain ? 1 : 0);
    stream.SetPosition(tablePosition);
    WriteExact(stream, tables.Bytes().data(), static_cast<int64_t>(tables.Bytes().size()));
    stream.SetPosition(end);
    return true;
}

void TVrFileCollection::SaveToFile(const std::string& hostPath)
{
    // Written beside the target under another name and renamed part by part only when complete,
    // so a failed write never destroys an archive that was there.
    std::string temporary = TemporaryNameBeside(hostPath);
    auto removeParts = [](const std::string& path, int from) {
        for (int i = from;; ++i)
            if (unlink(TKwBigFileStream::PartName(path, i).c_str()) != 0 && i > 0) break;
    };
    int parts = 0;
    try {
        TKwBigFileStream file(temporary, TFileMode::Create);
        SaveToStream(file);
        if (!file.Flush())
            RaiseError(FormatText(Utf8ToCp932("%s:ファイルを作成できません").c_str(),
                                  Utf8ToCp932(hostPath).c_str()));
        parts = file.PartCount();
    } catch (...) {
        removeParts(temporary, 0);
        throw;
    }
    for (int i = 0; i < parts; ++i)
        if (!RenameOver(TKwBigFileStream::PartName(temporary, i), TKwBigFileStream::PartName(hostPath, i))) {
            removeParts(temporary, 0);
            RaiseError(FormatText(Utf8ToCp932("%s:ファイルを作成できません").c_str(),
                                  Utf8ToCp932(hostPath).c_str()));
        }
    removeParts(hostPath, parts); // parts of an older, longer archive
}

} // namespace ruko
