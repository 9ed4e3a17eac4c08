#include "engine/savedata.h"

#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/text.h"
#include "engine/builtins.h"
#include "io/bigstream.h"
#include "io/fields.h"

#include <cstdio>
#include <cstring>

namespace ruko {
namespace {

constexpr char StatusTag[] = "Status";
constexpr int StatusHeaderSize = 9;

// The read marks of the status. The list of read marks is not kept yet, so a status is written
// with none and the marks a status holds are checked and passed over; the read-mark list will
// fill and take them here.
void WriteReadMarks(TKwBigStream& s)
{
    WriteInt(s, 0);
}

void SkipReadMarks(TKwBigStream& s)
{
    int32_t items = ReadInt(s);
    CheckCount(s, items, 4 + 4);
    for (int32_t i = 0; i < items; ++i) {
        ReadStr(s);
        int32_t pairs = ReadInt(s);
        CheckCount(s, pairs, 8);
        s.SetPosition(s.GetPosition() + int64_t{8} * pairs);
    }
}

} // namespace

TStatusRecord ReadStatusRecord(const std::vector<uint8_t>& bytes, const TParamCollection& store)
{
    TKwBigMemoryStream s(bytes);
    TStatusRecord record;
    // A record without the header is an old one read from its start.
    if (bytes.size() >= StatusHeaderSize && std::memcmp(bytes.data(), StatusTag, 6) == 0) {
        int32_t version = 0;
        for (int i = 6; i < StatusHeaderSize; ++i) {
            char c = static_cast<char>(bytes[static_cast<size_t>(i)]);
            if (c < '0' || c > '9') {
                version = 0;
                break;
            }
            version = version * 10 + (c - '0');
        }
        record.Version = version;
        s.SetPosition(StatusHeaderSize);
    }
    record.Variables = store.ReadPersistent(s, record.Version);
    SkipReadMarks(s);
    if (record.Version > 100) record.Dither = ReadByte(s);
    if (record.Version >= 103) record.Tables = TDBManager::ReadFromStream(s, true);
    return record;
}

void CommitStatusRecord(TStatusRecord record, TParamCollection& store, TDBManager* tables,
                        TBuiltinComponents* components)
{
    store.CommitPersistent(std::move(record.Variables));
    if (record.Dither && components) components->SetDither(*record.Dither != 0);
    if (record.Tables && tables) tables->Commit(std::move(*record.Tables));
}

std::vector<uint8_t> WriteStatusRecord(const TParamCollection& store, const TDBManager* tables, bool dither)
{
    TKwBigMemoryStream s;
    char header[16];
    std::snprintf(header, sizeof header, "Status%.3d", StatusVersion);
    WriteExact(s, header, StatusHeaderSize);
    store.SavePersistent(s);
    WriteReadMarks(s);
    WriteByte(s, dither ? 1 : 0);
    if (tables)
        tables->SaveToStream(s, true);
    else
        TDBManager().SaveToStream(s, true);
    return s.TakeBytes();
}

std::optional<TSlotHeader> ReadSlotHeader(const TVrFileCollection& archive, const TVrFile& member)
{
    // Captions are short; a longer one is taken for damage rather than inflated.
    constexpr uint32_t MaxCaption = 1 << 16;
    std::vector<uint8_t> head;
    if (!archive.ReadFileHead(member, 8, head)) return std::nullopt;
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(head[at]) | static_cast<uint32_t>(head[at + 1]) << 8 |
               static_cast<uint32_t>(head[at + 2]) << 16 | static_cast<uint32_t>(head[at + 3]) << 24;
    };
    TSlotHeader header;
    header.Version = u32(0);
    uint32_t length = u32(4);
    if (static_cast<int32_t>(length) < 0) length = 0; // read as an empty text, as a load does
    if (length > MaxCaption) return std::nullopt;
    if (length > 0) {
        if (!archive.ReadFileHead(member, 8 + length, head)) return std::nullopt;
        header.Caption.assign(reinterpret_cast<const char*>(head.data()) + 8, length);
    }
    return header;
}

std::map<int32_t, std::string> ReadSlotCaptions(const TVrFileCollection& archive)
{
    std::map<int32_t, std::string> captions;
    for (int i = 0; i < archive.MemberCount(); ++i) {
        const TVrFile& member = archive.FileAt(i);
        std::optional<int32_t> slot = SlotOfMemberName(member.Name());
        if (!slot) continue;
        std::optional<TSlotHeader> header = ReadSlotHeader(archive, member);
        if (header) captions[*slot] = header->Caption;
    }
    return captions;
}

void CopySaveMembers(TVrFileCollection& archive, TVrFileManager& files)
{
    for (int i = 0; i < archive.MemberCount(); ++i) {
        const TVrFile& member = archive.FileAt(i);
        if (member.Name().size() < 5 || !SameText(std::string_view(member.Name()).substr(0, 5), "save:"))
            continue;
        std::vector<uint8_t> bytes;
        try {
            bytes = archive.ReadFileBytes(member);
        } catch (const ERukoError&) {
            continue;
        }
        if (files.ArchiveCount() == 0) files.AddArchive(std::string());
        TVrFileCollection& memory = files.Archive(0);
        ReplaceMember(memory, member.Name(), std::move(bytes));
    }
}

} // namespace ruko
