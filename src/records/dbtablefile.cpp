// Table files: tab-separated CP932 text, a header line of field declarations, then one record
// per line.
#include "base/numtext.h"
#include "base/text.h"
#include "records/dbtable.h"

#include <algorithm>

namespace ruko {

namespace {

// In table files a lead byte pairs only with a valid trail byte, so a tab after a stray lead
// byte still separates cells.
size_t FileCharLength(std::string_view text, size_t pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (!IsLeadByte(lead) || pos + 1 >= text.size()) return 1;
    const auto trail = static_cast<unsigned char>(text[pos + 1]);
    return (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC) ? 2 : 1;
}

std::vector<std::string> SplitCells(std::string_view line)
{
    std::vector<std::string> cells;
    size_t start = 0, pos = 0;
    while (pos < line.size()) {
        if (line[pos] == '\t') {
            cells.emplace_back(line.substr(start, pos - start));
            start = ++pos;
        } else {
            pos += FileCharLength(line, pos);
        }
    }
    if (start < line.size()) cells.emplace_back(line.substr(start));
    return cells;
}

std::string UnescapeRow(std::string_view line)
{
    std::string out;
    out.reserve(line.size());
    size_t pos = 0;
    while (pos < line.size()) {
        if (line[pos] == '\\' && pos + 1 < line.size()) {
            const char next = line[pos + 1];
            if (next == '"' || next == '\\') {
                out += next;
                pos += 2;
                continue;
            }
            if (next == 'n') {
                out += "\r\n";
                pos += 2;
                continue;
            }
        }
        const size_t n = FileCharLength(line, pos);
        out.append(line.substr(pos, n));
        pos += n;
    }
    return out;
}

// Splits a header cell at its first blank into the trimmed head and the trimmed rest.
std::pair<std::string_view, std::string_view> SplitAtBlank(std::string_view cell)
{
    const size_t blank = cell.find(' ');
    if (blank == std::string_view::npos) return {TrimText(cell), std::string_view()};
    return {TrimText(cell.substr(0, blank)), TrimText(cell.substr(blank + 1))};
}

int32_t TypeOfWord(std::string_view word)
{
    if (word == "int") return ftInt;
    if (word == "float") return ftFloat;
    if (word == "bool") return ftBool;
    return ftString;
}

} // namespace

bool TDBTable::LoadFromStrings(const std::vector<std::string>& lines)
{
    Clear();
    if (lines.empty()) return false;
    for (const std::string& cell : SplitCells(lines[0])) {
        const auto [name, rest] = SplitAtBlank(cell);
        if (name.empty()) {
            Fields.Clear();
            return false;
        }
        const auto [word, lengthText] = SplitAtBlank(rest);
        int32_t length = 80;
        if (!TryStrToInt(lengthText, length) || length < 0 || length > MaxDBStringLength) length = 80;
        Fields.AddField(std::string(name), TypeOfWord(word), length); // a duplicate is skipped
    }
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        const std::vector<std::string> cells = SplitCells(UnescapeRow(lines[i]));
        if (!Append()) break;
        const int32_t n =
            std::min(static_cast<int32_t>(std::min<size_t>(cells.size(), INT32_MAX)), Fields.Count());
        for (int32_t c = 0; c < n; ++c)
            SetStr(RecNo, c, cells[static_cast<size_t>(c)]);
    }
    return true;
}

} // namespace ruko
