// Sound speed: a second of 16 decoded streams and a 64-voice MIDI song through the mixer; the mix
// stage alone beside SDL_MixAudioFormat over the same decoded frames; 60 s of 48 kHz Vorbis to
// 44.1 kHz beside sox; a MIDI render beside the fluidsynth program; reading a 50,000-event song.
#include "../tests/media/makemedia.h"
#include "io/bigstream.h"
#include "media/decoder.h"
#include "media/midiplay.h"
#include "media/wavout.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace {

using namespace ruko;
using test::TTestSound;
using test::TTone;

std::vector<uint8_t> Sound(TTestSound kind, int rate, int channels, int ms)
{
    return test::MakeTestSound({kind, rate, channels, int64_t{rate} * ms / 1000, 440, 0.1, {}});
}

// The 16 streams: 8 Vorbis 48 kHz, 4 WAV 22.05 kHz mono, 2 MS-ADPCM, 2 WMA; 3 s each, looping.
const std::vector<std::vector<uint8_t>>& Streams()
{
    static const std::vector<std::vector<uint8_t>> streams = [] {
        std::vector<std::vector<uint8_t>> s;
        for (int i = 0; i < 8; ++i)
            s.push_back(Sound(TTestSound::Vorbis, 48000, 2, 3000));
        for (int i = 0; i < 4; ++i)
            s.push_back(Sound(TTestSound::WavS16, 22050, 1, 3000));
        for (int i = 0; i < 2; ++i)
            s.push_back(Sound(TTestSound::WavMsAdpcm, 22050, 1, 3000));
        for (int i = 0; i < 2; ++i)
            s.push_back(Sound(TTestSound::Wma, 44100, 2, 3000));
        return s;
    }();
    return streams;
}

std::vector<uint8_t> Put32(std::vector<uint8_t> b, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<uint8_t>(v >> s));
    return b;
}

// 16 channels × 4 held notes, struck again every 250 ms for `seconds`: 64 voices at once.
std::vector<uint8_t> DenseSong(int seconds)
{
    std::vector<uint8_t> events;
    for (int beat = 0; beat < seconds * 4; ++beat) {
        for (int ch = 0; ch < 16; ++ch)
            for (int n = 0; n < 4; ++n) {
                bool first = ch == 0 && n == 0;
                events.insert(events.end(), {static_cast<uint8_t>(first && beat ? 0x81 : 0x00),
                                             static_cast<uint8_t>(first && beat ? 0x70 : 0x90 + ch)});
                if (first && beat) events.push_back(static_cast<uint8_t>(0x90 + ch));
                events.insert(events.end(), {static_cast<uint8_t>(48 + ch + 7 * n), 90});
            }
    }
    events.insert(events.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> song = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    song = Put32(song, static_cast<uint32_t>(events.size()));
    song.insert(song.end(), events.begin(), events.end());
    return song;
}

void MixerSecond(benchmark::State& state)
{
    const std::string font = ChooseSoundFont("", "");
    TWavOut mixer(500);
    for (const auto& bytes : Streams()) {
        TWavBuffer* b = mixer.AddBuffer(OpenSoundDecoder(TRangeStream::OverBytes(bytes)));
        b->Loop = true;
        b->SetVolume(64);
        b->Play();
    }
    TMidiPlayV midi(font);
    std::vector<uint8_t> song = DenseSong(60);
    midi.Load(song);
    midi.OpenDevice(-1);
    midi.SetLoop(true);
    midi.PlayFrom(0);
    mixer.AddSynth(&midi);
    std::vector<int16_t> out(2 * 1024);
    for (auto _ : state) {
        for (int64_t left = AudioRate; left > 0; left -= 1024)
            mixer.Pull(out.data(), static_cast<int>(std::min<int64_t>(left, 1024)));
        benchmark::DoNotOptimize(out.data());
    }
    mixer.RemoveSynth(&midi);
    state.SetLabel(font.empty() ? "16 streams, no soundfont" : "16 streams + 64 voices; target < 100 ms");
}
BENCHMARK(MixerSecond)->Unit(benchmark::kMillisecond)->UseRealTime();

// Frames already decoded, handed out again and again: only the mix stage is measured.
class TDecodedLoop final : public TSoundDecoder
{
  public:
    explicit TDecodedLoop(std::vector<int16_t> frames) : frames_(std::move(frames)) {}
    std::string FormatName() const override { return "decoded"; }
    int SourceRate() const override { return AudioRate; }
    int SourceChannels() const override { return 2; }
    int64_t Length() const override { return static_cast<int64_t>(frames_.size() / 2); }
    int Read(int16_t* out, int frames) override
    {
        int n = static_cast<int>(std::min<int64_t>(frames, Length() - pos_));
        std::copy_n(frames_.data() + 2 * pos_, 2 * n, out);
        pos_ += n;
        return n;
    }
    void Seek(int64_t frame) override { pos_ = std::clamp<int64_t>(frame, 0, Length()); }

  private:
    std::vector<int16_t> frames_;
    int64_t pos_ = 0;
};

const std::vector<std::vector<int16_t>>& DecodedStreams()
{
    static const std::vector<std::vector<int16_t>> decoded = [] {
        std::vector<std::vector<int16_t>> d;
        for (const auto& bytes : Streams()) {
            auto decoder = OpenSoundDecoder(TRangeStream::OverBytes(bytes));
            std::vector<int16_t> all(2 * static_cast<size_t>(decoder->Length() + 4096));
            all.resize(2 * static_cast<size_t>(decoder->Read(all.data(), static_cast<int>(all.size() / 2))));
            d.push_back(std::move(all));
        }
        return d;
    }();
    return decoded;
}

void MixStage(benchmark::State& state)
{
    TWavOut mixer(500);
    for (const auto& frames : DecodedStreams()) {
        TWavBuffer* b = mixer.AddBuffer(std::make_unique<TDecodedLoop>(frames));
        b->Loop = true;
        b->SetVolume(64);
        b->Play();
    }
    std::vector<int16_t> out(2 * 1024);
    for (auto _ : state) {
        for (int64_t left = AudioRate; left > 0; left -= 1024)
            mixer.Pull(out.data(), static_cast<int>(std::min<int64_t>(left, 1024)));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel("a second of 16 decoded streams (ring fill included)");
}
BENCHMARK(MixStage)->Unit(benchmark::kMillisecond);

void SdlMixAudioFormat(benchmark::State& state)
{
    const auto& streams = DecodedStreams();
    std::vector<size_t> pos(streams.size(), 0);
    std::vector<uint8_t> out(4 * 1024);
    for (auto _ : state) {
        for (int64_t left = AudioRate; left > 0; left -= 1024) {
            const size_t n = static_cast<size_t>(std::min<int64_t>(left, 1024));
            std::fill(out.begin(), out.end(), 0);
            for (size_t s = 0; s < streams.size(); ++s) {
                const auto& f = streams[s];
                if (pos[s] + 2 * n > f.size()) pos[s] = 0;
                SDL_MixAudioFormat(out.data(), reinterpret_cast<const uint8_t*>(f.data() + pos[s]),
                                   AUDIO_S16SYS, static_cast<uint32_t>(4 * n), SDL_MIX_MAXVOLUME / 4);
                pos[s] += 2 * n;
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel("the same frames through SDL_MixAudioFormat");
}
BENCHMARK(SdlMixAudioFormat)->Unit(benchmark::kMillisecond);

std::string TempFile(const std::string& suffix, const std::vector<uint8_t>& bytes)
{
    std::string path = "/tmp/rukobench-" + std::to_string(getpid()) + suffix;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

const std::vector<uint8_t>& MinuteOfVorbis()
{
    static const std::vector<uint8_t> bytes = Sound(TTestSound::Vorbis, 48000, 2, 60000);
    return bytes;
}

void VorbisMinute(benchmark::State& state)
{
    std::vector<int16_t> out(2 * 4096);
    for (auto _ : state) {
        auto decoder = OpenSoundDecoder(TRangeStream::OverBytes(MinuteOfVorbis()));
        int64_t frames = 0;
        for (int n; (n = decoder->Read(out.data(), 4096)) > 0;)
            frames += n;
        benchmark::DoNotOptimize(frames);
    }
    state.SetLabel("60 s of 48 kHz Vorbis to 44.1 kHz");
}
BENCHMARK(VorbisMinute)->Unit(benchmark::kMillisecond);

// The outside programs, timed as whole runs; skipped when they are not installed.
void Program(benchmark::State& state, const std::string& command, const char* label)
{
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
        state.SkipWithError("the program is not installed or failed");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(std::system((command + " >/dev/null 2>&1").c_str()));
    state.SetLabel(label);
}

void SoxMinute(benchmark::State& state)
{
    const std::string in = TempFile(".ogg", MinuteOfVorbis());
    Program(state, "sox " + in + " -r 44100 -t raw /dev/null", "sox, the same file");
    std::remove(in.c_str());
}
BENCHMARK(SoxMinute)->Unit(benchmark::kMillisecond)->UseRealTime();

void MidiRender(benchmark::State& state)
{
    const std::string font = ChooseSoundFont("", "");
    if (font.empty()) {
        state.SkipWithError("no soundfont");
        return;
    }
    const std::vector<uint8_t> song = DenseSong(20);
    std::vector<int32_t> mix(2 * 1024);
    for (auto _ : state) {
        TMidiPlayV midi(font);
        midi.Load(song);
        midi.OpenDevice(-1);
        midi.PlayFrom(0);
        for (int64_t left = AudioFramesAt(midi.Length() + 1000); left > 0; left -= 1024)
            midi.RenderAdd(mix.data(), static_cast<int>(std::min<int64_t>(left, 1024)));
        benchmark::DoNotOptimize(mix.data());
    }
    state.SetLabel("a 20 s, 64-voice song");
}
BENCHMARK(MidiRender)->Unit(benchmark::kMillisecond)->UseRealTime();

void FluidsynthProgram(benchmark::State& state)
{
    const std::string font = ChooseSoundFont("", "");
    const std::string song = TempFile(".mid", DenseSong(20));
    Program(state, "fluidsynth -ni -q -r 44100 -F /dev/null " + font + " " + song,
            "fluidsynth -ni -F, the same song");
    std::remove(song.c_str());
}
BENCHMARK(FluidsynthProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

void ReadLargeSong(benchmark::State& state)
{
    // 50,000 events over 16 tracks, with running status.
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 16, 0x01, 0xE0};
    for (int t = 0; t < 16; ++t) {
        std::vector<uint8_t> events = {0x00, static_cast<uint8_t>(0x90 + t), 60, 100};
        for (int i = 1; i < 50000 / 16; ++i)
            events.insert(events.end(), {static_cast<uint8_t>(1 + i % 100), static_cast<uint8_t>(40 + i % 40),
                                         static_cast<uint8_t>(i % 2 ? 0 : 90)});
        events.insert(events.end(), {0x00, 0xFF, 0x2F, 0x00});
        std::vector<uint8_t> head = Put32({'M', 'T', 'r', 'k'}, static_cast<uint32_t>(events.size()));
        file.insert(file.end(), head.begin(), head.end());
        file.insert(file.end(), events.begin(), events.end());
    }
    size_t count = 0;
    for (auto _ : state) {
        TMidiSong song = ReadSmf(file);
        count = song.Events.size();
        benchmark::DoNotOptimize(song.Events.data());
    }
    state.SetLabel(std::to_string(count) + " events; target < 10 ms");
}
BENCHMARK(ReadLargeSong)->Unit(benchmark::kMillisecond);

} // namespace
