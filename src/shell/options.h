#pragma once
// The per-installation options ("game.ini") and the other small rules of start-up.
#include <string>
#include <string_view>

namespace ruko {

class TIniFile;

struct TGameOptions
{
    bool UseDirectSound = true;   // false sends sound to the wave-out path
    int SoundDelayTime = 500;     // ms of wave-out buffering: a multiple of 100 in 100..500
    std::string SoundFontCp932;   // [Sound] SoundFont: the MIDI soundfont, "" for the default
    bool UseWMP = false;          // videos through the media-player item
    bool FontDefaultOnly = false; // the installed-font list keeps only the four default faces
};

// "DelayTime" rounded down to a multiple of 100, then clamped to 100..500.
int ClampDelayTime(int value);

// Reads [Sound] DirectSound, DelayTime, SoundFont, [Video] UseWMP and [Font] DefaultOnly over the current
// values; missing or unreadable values keep them.
void ReadGameOptions(const TIniFile& ini, TGameOptions& options);

// The run-mutex name from its base (CP932): upper-cased, a '\' appended when missing, every '\'
// turned into '-'. "C:\Games\Title\" gives "C:-GAMES-TITLE-".
std::string RunMutexName(std::string_view baseCp932);

// The run-mutex name for a host path (UTF-8, '/'): the canonical path written the Windows way.
std::string RunMutexNameForHostPath(const std::string& hostPath);

// The exit question for a title (CP932): Japanese or English.
std::string ExitQuestion(bool japanese, const std::string& titleCp932);

} // namespace ruko
