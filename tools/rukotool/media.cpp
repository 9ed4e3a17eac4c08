// rukotool media / midi: what a sound file holds, a MIDI song's events and its rendering.
#include "command.h"

#include "base/error.h"
#include "base/fileio.h"
#include "base/text.h"
#include "io/bigstream.h"
#include "media/decoder.h"
#include "media/midiplay.h"
#include "media/smf.h"
#include "media/wavout.h"
#include "platform/audio.h"

#include <charconv>
#include <cstdio>

namespace ruko::tool {

namespace {

int Media(const std::vector<std::string>& args)
{
    if (args.size() != 1) throw EUsage{"media takes one file"};
    auto stream = TRangeStream::OpenFile(args[0]);
    if (!stream) RaiseError(Utf8ToCp932(args[0] + ":ファイルがありません"));
    std::unique_ptr<TSoundDecoder> decoder;
    try {
        decoder = OpenSoundDecoder(std::move(stream));
    } catch (const ERukoError& e) {
        RaiseError(Utf8ToCp932(args[0]) + ":" + e.what());
    }
    std::printf("format %s\nsource %d Hz, %d channels\nlength %lld ms\n", decoder->FormatName().c_str(),
                decoder->SourceRate(), decoder->SourceChannels(),
                static_cast<long long>(decoder->Length() * 1000 / AudioRate));
    return 0;
}

const char* KindName(TMidiKind kind)
{
    static const char* const Names[] = {"note-off",     "note-on",  "key-pressure", "control",
                                        "program",      "pressure", "pitch-bend",   "tempo",
                                        "end-of-track", "meta",     "gs-reset",     "sysex"};
    return Names[static_cast<int>(kind)];
}

int64_t Milliseconds(const std::vector<std::string>& args, size_t& i)
{
    const std::string& option = args[i];
    if (++i >= args.size()) throw EUsage{option + " needs a number of milliseconds"};
    int64_t value = 0;
    const std::string& text = args[i];
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > INT32_MAX)
        throw EUsage{option + ": '" + text + "' is not a number of milliseconds"};
    return value;
}

int Midi(const std::vector<std::string>& args)
{
    std::string input, render, soundFont;
    bool events = false;
    int64_t from = 0, until = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--events") {
            events = true;
        } else if (args[i] == "--render" || args[i] == "--soundfont") {
            if (i + 1 >= args.size()) throw EUsage{args[i] + " needs a file"};
            (args[i] == "--render" ? render : soundFont) = args[i + 1];
            ++i;
        } else if (args[i] == "--from") {
            from = Milliseconds(args, i);
        } else if (args[i] == "--until") {
            until = Milliseconds(args, i);
        } else if (input.empty() && args[i].rfind("--", 0) != 0) {
            input = args[i];
        } else {
            throw EUsage{"unexpected " + args[i]};
        }
    }
    if (input.empty()) throw EUsage{"midi needs a file"};
    std::string content;
    if (!ReadHostFile(input, content)) RaiseError(Utf8ToCp932(input + ":ファイルがありません"));
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(content.data()), content.size());
    TMidiSong song = ReadSmf(bytes);
    std::printf("%zu events, length %d ms\n", song.Events.size(), song.Length);
    if (events) {
        for (const TMidiMsgEvent& e : song.Events) {
            std::printf("%8d ms  tick %8d  track %3d  %-12s", e.Time, e.Tick, e.Track, KindName(e.Kind));
            for (uint8_t b : song.Data(e).first(std::min<size_t>(e.DataLength, 16)))
                std::printf(" %02X", b);
            std::printf("%s\n", e.DataLength > 16 ? " ..." : "");
        }
    }
    if (render.empty()) return 0;
    const std::string font = ChooseSoundFont(soundFont, "");
    if (font.empty()) RaiseError("no soundfont: give --soundfont FILE.sf2");
    if (until < 0) until = int64_t{song.Length} + 2000; // the last notes' release
    if (until < from) throw EUsage{"--until comes before --from"};
    // A WAV file's sizes are 32-bit: a few damaged bytes claiming days of music must not fill a disk.
    constexpr int64_t MaxRenderMs = (int64_t{UINT32_MAX} - 36) / (int64_t{AudioRate} * 4) * 1000;
    if (until - from > MaxRenderMs)
        RaiseError("the render would not fit in a WAV file (" + std::to_string((until - from) / 1000) +
                   " s): give --until");
    TMidiPlayV player(font);
    if (!player.HasSoundFont()) return 1;
    player.Load(bytes);
    player.OpenDevice(-1);
    player.GmReset();
    player.PlayFrom(static_cast<int>(from));
    // The song through the mixer, as the player hears it.
    TWavOut mixer;
    mixer.AddSynth(&player);
    TWavCapture capture(render);
    std::vector<int16_t> frames(2 * 1024);
    for (int64_t left = AudioFramesAt(until - from); left > 0;) {
        const int n = static_cast<int>(std::min<int64_t>(left, 1024));
        mixer.Pull(frames.data(), n);
        capture.Append(frames.data(), n);
        left -= n;
    }
    mixer.RemoveSynth(&player);
    capture.Close();
    return 0;
}

const TToolCommandRegistrar mediaCommand({"media", "media FILE", "a sound file's format and length", Media});
const TToolCommandRegistrar
    midiCommand({"midi", "midi FILE [--events] [--render OUT.wav [--soundfont F] [--from MS] [--until MS]]",
                 "a MIDI song's events with their times, or its sound as a WAV file", Midi});

} // namespace

} // namespace ruko::tool
