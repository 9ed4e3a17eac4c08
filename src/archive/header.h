#pragma once
// The install layout: the "install.dat" record the installer writes, and the table of which disc
// holds which folder.
#include "io/bigstream.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

// "install.dat". The player uses the title, the disk number and AllInstalled; the other fields are
// the installer's and are kept so a record can be written back whole.
struct TRukoInstallSet
{
    static constexpr int NewestVersion = 108;

    int Version = NewestVersion;
    uint32_t DiskNumber = 0;
    std::string Title;
    std::string Strings1[3];
    uint8_t Byte1 = 0;
    std::string String2;
    uint8_t Byte2 = 0;
    std::string String3;
    uint32_t Number1 = 0;
    uint8_t Byte3 = 0, Byte4 = 0;
    std::string Strings4[2];
    std::vector<std::array<uint64_t, 4>> Entries; // K entries
    std::array<uint64_t, 4> Totals{};
    uint8_t Byte5 = 0;
    uint8_t Byte6 = 0;              // version > 100
    std::vector<std::string> List1; // version > 101
    bool AllInstalled = false;      // version > 102
    uint8_t Byte7 = 0;              // version > 103
    uint8_t Byte8 = 0;              // version > 104
    std::vector<std::string> List2; // version > 105
    std::string String5;            // version > 106
    std::string Strings6[2];        // version > 107

    // Reads the record; a damaged or truncated record raises the damaged-file error.
    void LoadFromStream(TKwBigStream& s);
    // Writes "is" + the version in three digits and every field of that version.
    void SaveToStream(TKwBigStream& s) const;
    std::vector<uint8_t> SaveToBytes() const;

    // The record of a title installed whole, in the newest version: AllInstalled is set, so the
    // player takes the data beside it (or appended to it) and never asks for a disc.
    static TRukoInstallSet CompleteInstall(const std::string& title, uint32_t diskNumber = 1);
};

// Which disc holds which folder: folder name → disk number.
class TFolderDiskList
{
  public:
    struct Entry
    {
        std::string Folder;
        int32_t Disk = 0;
    };

    void LoadFromStream(TKwBigStream& s); // u32 count, then name and u32 disk number each
    void SaveToStream(TKwBigStream& s) const;
    void Add(const std::string& folder, int32_t disk) { entries_.push_back({folder, disk}); }
    void Clear() { entries_.clear(); }
    const std::vector<Entry>& Entries() const { return entries_; }

    // The disk of the nearest listed folder containing `fileName` (case-insensitive, walking up
    // one folder at a time); 0 when none is listed.
    int32_t DiskOf(std::string_view fileName) const;

  private:
    std::vector<Entry> entries_;
};

} // namespace ruko
