#pragma once
// The player's command line: the title's own parameters (a data folder first, then folders with
// "game.dat" or archive files, or "/config") plus our options, which all begin with "--".
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ruko {

struct TSnapshotAt
{
    int64_t Time = 0; // virtual ms
    std::string Path;
};

struct TCommandLine
{
    std::vector<std::string> Parameters; // positional, as given
    bool Headless = false;
    bool Help = false;
    std::optional<int64_t> Frames;
    std::optional<int64_t> Until;
    std::string InputScript;
    std::string Snapshot;
    std::vector<TSnapshotAt> SnapshotsAt;
    std::string Trace;
    std::optional<uint32_t> Seed;
    bool VirtualClock = false;          // a window whose clock moves 15 ms a frame, like headless runs
    bool TestPattern = false;           // show the built-in diagnostic picture instead of the title
    std::string ScreenshotWindow;       // PNG of the window's picture area at the end of the run
    std::string DumpVars;               // JSON of every global variable at the end of the run
    std::vector<std::string> FontFiles; // --font: pixel fonts and TrueType/OpenType files
    std::vector<std::pair<std::string, std::string>> FontAliases; // --font-alias ASKED=FACE (UTF-8)
    std::string AudioOut;  // WAV of every frame the audio output pulled
    std::string SoundFont; // the General-MIDI soundfont for MIDI songs
    std::string SaveDir;   // the save file is SaveDir/save.dat instead of the per-user one
};

// Usage errors carry one line for stderr; the program ends with status 2.
struct EUsageError
{
    std::string Message;
};

TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of --help.
std::string UsageText();

} // namespace ruko
