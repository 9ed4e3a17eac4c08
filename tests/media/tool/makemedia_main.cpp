// makemedia KIND RATE CHANNELS MS OUT [CLICK-MS...]: one test sound (see makemedia.h).
// KIND is wav-u8, wav-s16, wav-msadpcm, vorbis or wma. makemedia smf OUT writes a short
// two-track MIDI song (tempo change, running status, SysEx, pedal).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "makemedia.h"

int main(int argc, char** argv)
{
    using namespace ruko::test;
    if (argc == 3 && std::string(argv[1]) == "smf") {
        std::FILE* out = std::fopen(argv[2], "wb");
        if (!out) return 1;
        std::vector<uint8_t> song = SampleSong();
        std::fwrite(song.data(), 1, song.size(), out);
        return std::fclose(out) == 0 ? 0 : 1;
    }
    if (argc < 6) {
        std::fprintf(
            stderr,
            "usage: makemedia wav-u8|wav-s16|wav-msadpcm|vorbis|wma RATE CHANNELS MS OUT [CLICK-MS...]\n");
        return 2;
    }
    const std::string kind = argv[1];
    TTone tone;
    tone.Kind = kind == "wav-u8"        ? TTestSound::WavU8
                : kind == "wav-msadpcm" ? TTestSound::WavMsAdpcm
                : kind == "vorbis"      ? TTestSound::Vorbis
                : kind == "wma"         ? TTestSound::Wma
                                        : TTestSound::WavS16;
    tone.Rate = std::atoi(argv[2]);
    tone.Channels = std::atoi(argv[3]);
    tone.Frames = std::atoll(argv[4]) * tone.Rate / 1000;
    for (int i = 6; i < argc; ++i)
        tone.ClicksAtMs.push_back(std::atoll(argv[i]));
    try {
        WriteTestSound(argv[5], tone);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
