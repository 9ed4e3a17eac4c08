#pragma once
// Test sounds made by our own encoders: FFmpeg's for WAV (u8, s16, MS-ADPCM) and WMA, libvorbisenc
// for Ogg Vorbis. Every sound is a quiet tone with a loud click at each given time, so a test can
// find where the decoded sound starts, loops and ends.
#include <cstdint>
#include <string>
#include <vector>

namespace ruko::test {

enum class TTestSound
{
    WavU8,
    WavS16,
    WavMsAdpcm,
    Vorbis,
    Wma,
    Mp2 // MPEG audio, whose frames may each change the format
};

struct TTone
{
    TTestSound Kind = TTestSound::WavS16;
    int Rate = 44100;
    int Channels = 2;
    int64_t Frames = 44100;            // at Rate
    double Frequency = 440;            // Hz; 0 = no tone
    double Level = 0.25;               // of full scale
    std::vector<int64_t> ClicksAtMs{}; // 2 ms bursts at 0.9 of full scale
};

// The signal as the encoder gets it, one float a sample, interleaved.
std::vector<float> ToneSamples(const TTone& tone);

// Writes the sound to `path`; throws std::runtime_error when an encoder is missing.
void WriteTestSound(const std::string& path, const TTone& tone);
std::vector<uint8_t> MakeTestSound(const TTone& tone);

// A short two-track Standard MIDI File: division 480, a tempo change at 1 s, running status, a GM
// reset SysEx, a program change, pedalled notes; about 3 s long.
std::vector<uint8_t> SampleSong();

} // namespace ruko::test
