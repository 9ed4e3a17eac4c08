#pragma once
// An INI file held in memory: sections and keys compare case-insensitively, values are raw bytes.
// Reading never fails: a missing file is empty, unreadable lines are skipped.
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

class TIniFile
{
  public:
    TIniFile() = default;
    // Loads a host file; false when it does not exist or cannot be read (the object stays empty).
    bool Load(const std::string& hostPath);
    void Parse(std::string_view text);
    // Writes through a temporary file renamed over the old one.
    bool Save(const std::string& hostPath) const;
    std::string Text() const;

    bool HasKey(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
    // Decimal or hexadecimal ("$1F", "0x1F"); anything else gives the fallback.
    int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
    // An integer, 0 false and anything else true; "true"/"false" are also accepted.
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    std::vector<std::string> SectionNames() const;
    std::vector<std::string> KeyNames(std::string_view section) const;

  private:
    struct Entry
    {
        std::string key;
        std::string value;
    };
    struct Section
    {
        std::string name;
        std::vector<Entry> entries;
    };
    const Entry* Find(std::string_view section, std::string_view key) const;
    std::vector<Section> sections_;
};

} // namespace ruko
