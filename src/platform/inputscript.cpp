#include "platform/inputscript.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "base/fileio.h"

namespace ruko {
namespace {

std::vector<std::string_view> Words(std::string_view line)
{
    std::vector<std::string_view> words;
    size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        size_t start = pos;
        while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t')
            ++pos;
        if (pos > start) words.push_back(line.substr(start, pos - start));
    }
    return words;
}

bool ToInt(std::string_view word, int64_t low, int64_t high, int64_t& value)
{
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return ec == std::errc() && end == word.data() + word.size() && value >= low && value <= high;
}

// The offending line as it can be shown on one terminal line: bytes outside printable ASCII
// escaped, long lines cut.
std::string Shown(std::string_view line)
{
    constexpr size_t MaxShown = 60;
    std::string out;
    for (size_t i = 0; i < line.size() && i < MaxShown; ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (line.size() > MaxShown) out += "...";
    return out;
}

[[noreturn]] void Fail(int lineNumber, std::string_view line, const char* why)
{
    throw EInputScript{"input script line " + std::to_string(lineNumber) + ": " + why + ": " + Shown(line)};
}

} // namespace

TInputScript ParseInputScript(std::string_view text)
{
    TInputScript script;
    int lineNumber = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        auto words = Words(line);
        if (words.empty()) continue;
        if (words.size() < 2) Fail(lineNumber, line, "expected '<ms> <event> ...'");

        TScriptEvent event;
        if (!ToInt(words[0], 0, INT32_MAX, event.Time)) Fail(lineNumber, line, "bad time");
        std::string_view what = words[1];
        size_t argCount = words.size() - 2;
        auto need = [&](size_t n) {
            if (argCount != n) Fail(lineNumber, line, "wrong number of arguments");
        };
        auto coord = [&](std::string_view word) {
            int64_t v;
            if (!ToInt(word, -100000, 100000, v)) Fail(lineNumber, line, "bad coordinate");
            return static_cast<int>(v);
        };
        auto button = [&](std::string_view word) {
            if (word == "left") return TScriptButton::Left;
            if (word == "right") return TScriptButton::Right;
            Fail(lineNumber, line, "expected left or right");
        };
        if (what == "move" || what == "click") {
            need(2);
            event.Action = TScriptAction::Move;
            event.X = coord(words[2]);
            event.Y = coord(words[3]);
            script.push_back(event);
            if (what == "click") {
                event.Action = TScriptAction::Press;
                script.push_back(event);
                event.Action = TScriptAction::Release;
                event.Time += VirtualFrameMs;
                script.push_back(event);
            }
            continue;
        }
        if (what == "press" || what == "release") {
            need(1);
            event.Action = what == "press" ? TScriptAction::Press : TScriptAction::Release;
            event.Button = button(words[2]);
        } else if (what == "keydown" || what == "keyup") {
            need(1);
            int64_t key;
            if (!ToInt(words[2], 0, 255, key)) Fail(lineNumber, line, "virtual-key number must be 0..255");
            event.Action = what == "keydown" ? TScriptAction::KeyDown : TScriptAction::KeyUp;
            event.Key = static_cast<int>(key);
        } else if (what == "wheel") {
            need(1);
            if (words[2] == "up")
                event.Action = TScriptAction::WheelUp;
            else if (words[2] == "down")
                event.Action = TScriptAction::WheelDown;
            else
                Fail(lineNumber, line, "expected up or down");
        } else if (what == "choose") {
            if (argCount == 0) Fail(lineNumber, line, "expected a path or cancel");
            event.Action = TScriptAction::Choose;
            // The path is the rest of the line, blanks and all.
            std::string_view rest = line.substr(static_cast<size_t>(words[2].data() - line.data()));
            if (rest != "cancel") event.Path = std::string(rest);
        } else if (what == "answer") {
            need(1);
            event.Action = TScriptAction::Answer;
            if (words[2] == "yes")
                event.Answer = TScriptAnswer::Yes;
            else if (words[2] == "no")
                event.Answer = TScriptAnswer::No;
            else if (words[2] == "ok")
                event.Answer = TScriptAnswer::Ok;
            else if (words[2] == "cancel")
                event.Answer = TScriptAnswer::Cancel;
            else
                Fail(lineNumber, line, "expected yes, no, ok or cancel");
        } else {
            Fail(lineNumber, line, "unknown event");
        }
        script.push_back(event);
    }
    // A click's release may fall after later lines' events; keep equal times in written order.
    std::stable_sort(script.begin(), script.end(),
                     [](const TScriptEvent& a, const TScriptEvent& b) { return a.Time < b.Time; });
    return script;
}

TInputScript LoadInputScript(const std::string& hostPath)
{
    std::string text;
    if (!ReadHostFile(hostPath, text)) throw EInputScript{"cannot read input script " + hostPath};
    return ParseInputScript(text);
}

} // namespace ruko
