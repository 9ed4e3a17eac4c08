#include "archive/header.h"

#include "base/text.h"
#include "io/fields.h"

#include <cstdio>
#include <cstring>

namespace ruko {

namespace {

std::vector<std::string> ReadStringList(TKwBigStream& s)
{
    int32_t count = ReadInt(s);
    CheckCount(s, count, 4);
    std::vector<std::string> list;
    list.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        list.push_back(ReadStr(s));
    return list;
}

void WriteStringList(TKwBigStream& s, const std::vector<std::string>& list)
{
    WriteInt(s, static_cast<int32_t>(list.size()));
    for (const std::string& item : list)
        WriteStr(s, item);
}

std::array<uint64_t, 4> ReadNumbers(TKwBigStream& s, bool wide)
{
    std::array<uint64_t, 4> numbers{};
    for (uint64_t& number : numbers)
        number = wide ? static_cast<uint64_t>(ReadInt64(s)) : ReadU32(s);
    return numbers;
}

void WriteNumbers(TKwBigStream& s, const std::array<uint64_t, 4>& numbers, bool wide)
{
    for (uint64_t number : numbers)
        if (wide)
            WriteInt64(s, static_cast<int64_t>(number));
        else
            WriteU32(s, static_cast<uint32_t>(number));
}

} // namespace

void TRukoInstallSet::LoadFromStream(TKwBigStream& s)
{
    TRukoInstallSet read;
    int64_t start = s.GetPosition();
    char magic[5] = {};
    read.Version = 0;
    if (s.Read(magic, 5) == 5 && magic[0] == 'i' && magic[1] == 's') {
        read.Version = 0;
        for (int i = 2; i < 5; ++i) {
            if (magic[i] < '0' || magic[i] > '9') RaiseDamaged();
            read.Version = read.Version * 10 + (magic[i] - '0');
        }
    } else {
        s.SetPosition(start);
    }
    int v = read.Version;
    read.DiskNumber = ReadU32(s);
    read.Title = ReadStr(s);
    for (std::string& text : read.Strings1)
        text = ReadStr(s);
    read.Byte1 = ReadByte(s);
    read.String2 = ReadStr(s);
    read.Byte2 = ReadByte(s);
    int32_t entryCount = ReadInt(s);
    read.String3 = ReadStr(s);
    read.Number1 = ReadU32(s);
    read.Byte3 = ReadByte(s);
    read.Byte4 = ReadByte(s);
    for (std::string& text : read.Strings4)
        text = ReadStr(s);
    bool wide = v > 99;
    CheckCount(s, entryCount, wide ? 32 : 16);
    read.Entries.reserve(static_cast<size_t>(entryCount));
    for (int32_t i = 0; i < entryCount; ++i)
        read.Entries.push_back(ReadNumbers(s, wide));
    read.Totals = ReadNumbers(s, wide);
    read.Byte5 = ReadByte(s);
    if (v > 100) read.Byte6 = ReadByte(s);
    if (v > 101) read.List1 = ReadStringList(s);
    if (v > 102) read.AllInstalled = ReadBool(s);
    if (v > 103) read.Byte7 = ReadByte(s);
    if (v > 104) read.Byte8 = ReadByte(s);
    if (v > 105) read.List2 = ReadStringList(s);
    if (v > 106) read.String5 = ReadStr(s);
    if (v > 107)
        for (std::string& text : read.Strings6)
            text = ReadStr(s);
    *this = std::move(read);
}

void TRukoInstallSet::SaveToStream(TKwBigStream& s) const
{
    int v = Version;
    if (v > 0) {
        char magic[6];
        std::snprintf(magic, sizeof magic, "is%.3d", v % 1000);
        WriteExact(s, magic, 5);
    }
    WriteU32(s, DiskNumber);
    WriteStr(s, Title);
    for (const std::string& text : Strings1)
        WriteStr(s, text);
    WriteByte(s, Byte1);
    WriteStr(s, String2);
    WriteByte(s, Byte2);
    WriteInt(s, static_cast<int32_t>(Entries.size()));
    WriteStr(s, String3);
    WriteU32(s, Number1);
    WriteByte(s, Byte3);
    WriteByte(s, Byte4);
    for (const std::string& text : Strings4)
        WriteStr(s, text);
    bool wide = v > 99;
    for (const auto& entry : Entries)
        WriteNumbers(s, entry, wide);
    WriteNumbers(s, Totals, wide);
    WriteByte(s, Byte5);
    if (v > 100) WriteByte(s, Byte6);
    if (v > 101) WriteStringList(s, List1);
    if (v > 102) WriteBool(s, AllInstalled);
    if (v > 103) WriteByte(s, Byte7);
    if (v > 104) WriteByte(s, Byte8);
    if (v > 105) WriteStringList(s, List2);
    if (v > 106) WriteStr(s, String5);
    if (v > 107)
        for (const std::string& text : Strings6)
            WriteStr(s, text);
}

std::vector<uint8_t> TRukoInstallSet::SaveToBytes() const
{
    TKwBigMemoryStream s;
    SaveToStream(s);
    return s.TakeBytes();
}

TRukoInstallSet TRukoInstallSet::CompleteInstall(const std::string& title, uint32_t diskNumber)
{
    TRukoInstallSet install;
    install.Version = NewestVersion;
    install.DiskNumber = diskNumber;
    install.Title = title;
    install.AllInstalled = true;
    return install;
}

void TFolderDiskList::LoadFromStream(TKwBigStream& s)
{
    int32_t count = ReadInt(s);
    CheckCount(s, count, 8);
    std::vector<Entry> read;
    read.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        Entry entry;
        entry.Folder = ReadStr(s);
        entry.Disk = ReadInt(s);
        read.push_back(std::move(entry));
    }
    entries_ = std::move(read);
}

void TFolderDiskList::SaveToStream(TKwBigStream& s) const
{
    WriteInt(s, static_cast<int32_t>(entries_.size()));
    for (const Entry& entry : entries_) {
        WriteStr(s, entry.Folder);
        WriteInt(s, entry.Disk);
    }
}

int32_t TFolderDiskList::DiskOf(std::string_view fileName) const
{
    auto withSeparator = [](std::string text) {
        if (!EndsWithSeparator(text)) text += '\\';
        return text;
    };
    std::string name = UpperCaseText(fileName);
    while (!name.empty()) {
        std::string candidate = withSeparator(name);
        for (const Entry& entry : entries_)
            if (SameText(candidate, withSeparator(entry.Folder))) return entry.Disk;
        size_t slash = FindLastChar(name, '\\');
        name = slash == std::string::npos ? std::string() : name.substr(0, slash);
    }
    return 0;
}

} // namespace ruko
