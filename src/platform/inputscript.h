#pragma once
// Scripted input for headless runs: one event a line, "<ms> <what> [args]", '#' starts a comment.
//   <ms> move <x> <y>          <ms> press left|right      <ms> release left|right
//   <ms> click <x> <y>         (a move and a press at ms, the release one frame later)
//   <ms> keydown <vk>          <ms> keyup <vk>            (Windows virtual-key numbers 0..255)
//   <ms> wheel up|down         <ms> answer yes|no|ok|cancel (the next message box's answer)
//   <ms> choose PATH           <ms> choose cancel       (the next file or folder dialog's answer;
//                                                        PATH is the rest of the line)
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

enum class TScriptAction
{
    Move,
    Press,
    Release,
    KeyDown,
    KeyUp,
    WheelUp,
    WheelDown,
    Answer,
    Choose
};

enum class TScriptButton
{
    Left,
    Right
};

enum class TScriptAnswer
{
    Yes,
    No,
    Ok,
    Cancel
};

struct TScriptEvent
{
    int64_t Time = 0; // virtual ms from the start of the run
    TScriptAction Action = TScriptAction::Move;
    int X = 0, Y = 0;
    TScriptButton Button = TScriptButton::Left;
    int Key = 0;
    TScriptAnswer Answer = TScriptAnswer::No;
    std::string Path; // Choose: the host path chosen; empty for "cancel"
};

// Events in time order (lines with equal times keep their order).
using TInputScript = std::vector<TScriptEvent>;

// The headless frame period; a click releases its button this much after the press.
constexpr int VirtualFrameMs = 15;

// Parses a whole script. Throws EInputScript naming the line on the first malformed line.
TInputScript ParseInputScript(std::string_view text);

// Reads and parses a host file; throws EInputScript when it cannot be read or parsed.
TInputScript LoadInputScript(const std::string& hostPath);

struct EInputScript
{
    std::string Message; // one line, UTF-8
};

} // namespace ruko
