#pragma once
// Small builders shared by the archive tests: a scratch folder, host files, and a directory
// encoder for every stored version written independently of the reader.
#include "io/bigstream.h"
#include "io/fields.h"
#include "io/kwrandom.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <zlib.h>

namespace ruko::test {

class TScratchFolder
{
  public:
    TScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ruko-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TScratchFolder() { std::filesystem::remove_all(path_); }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline void WriteHost(const std::string& path, const std::string& content)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string ReadHost(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string Text(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}
inline std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

inline std::string Deflate(const std::string& plain)
{
    uLongf size = compressBound(static_cast<uLong>(plain.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(plain.data()),
             static_cast<uLong>(plain.size()));
    out.resize(size);
    return out;
}

struct TTestMember
{
    std::string name;
    std::string bytes; // as stored in the archive
    bool stored = false;
};

// Encodes an archive of the given version (0, 100, 101 or 102) the way stored files lay it out.
inline std::vector<uint8_t> EncodeArchive(const std::vector<TTestMember>& members, int version)
{
    TKwBigMemoryStream s;
    if (version > 0) {
        WriteExact(s, "vf", 2);
        WriteU32(s, static_cast<uint32_t>(version));
    }
    WriteU32(s, static_cast<uint32_t>(members.size()));
    TKwRandom names(ArchiveSeed);
    for (const TTestMember& member : members) {
        std::string name = member.name;
        if (version >= 100)
            for (char& c : name)
                c = static_cast<char>(c ^ static_cast<uint8_t>(names.Next()));
        WriteStr(s, name);
    }
    size_t tableSize = (members.size() + 1) * (version >= 101 ? 8 : 4);
    if (version >= 101) tableSize += members.size() * (version >= 102 ? 10 : 9);
    int64_t dataStart = s.GetPosition() + static_cast<int64_t>(tableSize);
    std::vector<int64_t> offsets{dataStart};
    for (const TTestMember& member : members)
        offsets.push_back(offsets.back() + static_cast<int64_t>(member.bytes.size()));
    TKwRandom scramble(ArchiveSeed);
    for (int64_t offset : offsets) {
        uint32_t v = version >= 100 ? scramble.Next() : 0;
        if (version >= 101) {
            WriteU32(s, static_cast<uint32_t>(offset) ^ v);
            WriteU32(s, static_cast<uint32_t>(offset >> 32) ^ ((v & 0x80000000u) ? 0xFFFFFFFFu : 0));
        } else {
            WriteU32(s, static_cast<uint32_t>(offset) ^ v);
        }
    }
    if (version >= 101) {
        for (const TTestMember& member : members)
            WriteByte(s, member.stored ? 1 : 0);
        for (size_t i = 0; i < members.size(); ++i)
            WriteU32(s, 0x12345678);
        for (size_t i = 0; i < members.size(); ++i)
            WriteU32(s, 0);
        if (version >= 102)
            for (size_t i = 0; i < members.size(); ++i)
                WriteByte(s, 0);
    }
    for (const TTestMember& member : members)
        WriteExact(s, member.bytes.data(), static_cast<int64_t>(member.bytes.size()));
    return s.TakeBytes();
}

} // namespace ruko::test
