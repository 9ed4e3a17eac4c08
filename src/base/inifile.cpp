#include "base/inifile.h"

#include "base/fileio.h"
#include "base/text.h"

#include <charconv>

namespace ruko {

namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

} // namespace

bool TIniFile::Load(const std::string& hostPath)
{
    sections_.clear();
    std::string content;
    if (!ReadHostFile(hostPath, content)) return false;
    Parse(content);
    return true;
}

void TIniFile::Parse(std::string_view text)
{
    sections_.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    Section* current = nullptr;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            if (close == std::string_view::npos) continue;
            std::string name(Trim(line.substr(1, close - 1)));
            current = nullptr;
            for (Section& section : sections_)
                if (SameText(section.name, name)) current = &section;
            if (!current) {
                sections_.push_back(Section{name, {}});
                current = &sections_.back();
            }
            continue;
        }
        size_t equals = FindChar(line, '=');
        if (!current || equals == std::string_view::npos) continue;
        std::string key(Trim(line.substr(0, equals)));
        std::string value(Trim(line.substr(equals + 1)));
        bool replaced = false;
        for (Entry& entry : current->entries)
            if (SameText(entry.key, key)) {
                entry.value = value;
                replaced = true;
            }
        if (!replaced) current->entries.push_back(Entry{key, value});
    }
}

std::string TIniFile::Text() const
{
    std::string text;
    for (const Section& section : sections_) {
        text += "[" + section.name + "]\n";
        for (const Entry& entry : section.entries)
            text += entry.key + "=" + entry.value + "\n";
        text += "\n";
    }
    return text;
}

bool TIniFile::Save(const std::string& hostPath) const
{
    return WriteHostFileAtomic(hostPath, Text());
}

const TIniFile::Entry* TIniFile::Find(std::string_view section, std::string_view key) const
{
    for (const Section& s : sections_)
        if (SameText(s.name, section))
            for (const Entry& entry : s.entries)
                if (SameText(entry.key, key)) return &entry;
    return nullptr;
}

bool TIniFile::HasKey(std::string_view section, std::string_view key) const
{
    return Find(section, key) != nullptr;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view fallback) const
{
    const Entry* entry = Find(section, key);
    return entry ? entry->value : std::string(fallback);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const
{
    const Entry* entry = Find(section, key);
    if (!entry) return fallback;
    std::string_view text = entry->value;
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return fallback;
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return fallback;
    return static_cast<int>(value);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const
{
    const Entry* entry = Find(section, key);
    if (!entry) return fallback;
    if (SameText(entry->value, "true")) return true;
    if (SameText(entry->value, "false")) return false;
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    Section* target = nullptr;
    for (Section& s : sections_)
        if (SameText(s.name, section)) target = &s;
    if (!target) {
        sections_.push_back(Section{std::string(section), {}});
        target = &sections_.back();
    }
    for (Entry& entry : target->entries)
        if (SameText(entry.key, key)) {
            entry.value = value;
            return;
        }
    target->entries.push_back(Entry{std::string(key), std::string(value)});
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

std::vector<std::string> TIniFile::SectionNames() const
{
    std::vector<std::string> names;
    for (const Section& s : sections_)
        names.push_back(s.name);
    return names;
}

std::vector<std::string> TIniFile::KeyNames(std::string_view section) const
{
    std::vector<std::string> names;
    for (const Section& s : sections_)
        if (SameText(s.name, section))
            for (const Entry& entry : s.entries)
                names.push_back(entry.key);
    return names;
}

} // namespace ruko
