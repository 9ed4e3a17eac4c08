#include "media/midiplay.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/stat.h>

namespace ruko {
namespace {

bool IsFile(const std::string& path)
{
    struct stat st
    {
    };
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// FluidSynth speaks only when we report one of its errors.
void SilenceFluidSynth()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
    });
}

constexpr uint8_t GmSystemOn[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};

} // namespace

std::string ChooseSoundFont(const std::string& given, const std::string& fromIni)
{
    for (const std::string& path : {given, fromIni, std::string("/usr/share/sounds/sf2/default-GM.sf2"),
                                    std::string("/usr/share/sounds/sf2/TimGM6mb.sf2")})
        if (IsFile(path)) return path;
    return "";
}

TMidiPlayV::TMidiPlayV(const std::string& soundFontPath, bool warnWhenSilent)
    : soundFontPath_(soundFontPath), warnWhenSilent_(warnWhenSilent && soundFontPath.empty()),
      left_(AudioMaxPullFrames), right_(AudioMaxPullFrames)
{
    for (auto& channel : scales_)
        channel.fill(100);
}

bool TMidiPlayV::HasSoundFont()
{
    // Only the main thread sets the synthesiser up; the pull sees it only once it is complete.
    if (soundFontTried_ || soundFontPath_.empty()) return soundFont_ >= 0;
    soundFontTried_ = true;
    SilenceFluidSynth();
    fluid_settings_t* settings = new_fluid_settings();
    if (!settings) return false;
    fluid_settings_setnum(settings, "synth.sample-rate", AudioRate);
    fluid_settings_setint(settings, "synth.polyphony", 256);
    fluid_settings_setint(settings, "synth.cpu-cores", 1);
    fluid_synth_t* synth = new_fluid_synth(settings);
    const int soundFont = synth ? fluid_synth_sfload(synth, soundFontPath_.c_str(), 1) : -1;
    if (soundFont < 0)
        std::fprintf(stderr, "rukoplay: the soundfont %s does not load; MIDI music plays silently\n",
                     soundFontPath_.c_str());
    std::lock_guard guard(lock_);
    settings_ = settings;
    synth_ = synth;
    soundFont_ = soundFont;
    return soundFont_ >= 0;
}

TMidiPlayV::~TMidiPlayV()
{
    if (synth_) delete_fluid_synth(synth_);
    if (settings_) delete_fluid_settings(settings_);
}

void TMidiPlayV::Load(std::span<const uint8_t> file)
{
    TMidiSong song = ReadSmf(file);
    HasSoundFont();
    if (warnWhenSilent_) {
        warnWhenSilent_ = false;
        std::fprintf(stderr,
                     "rukoplay: no soundfont /usr/share/sounds/sf2/TimGM6mb.sf2 (give --soundfont FILE.sf2);"
                     " MIDI music plays silently\n");
    }
    std::lock_guard guard(lock_);
    if (enabled_) {
        enabled_ = false;
        AllNotesOff();
    }
    song_ = std::move(song);
    current_ = 0;
    frame_ = 0;
    for (auto& channel : controllers_)
        channel[7] = 127;
}

bool TMidiPlayV::OpenDevice(int)
{
    std::lock_guard guard(lock_);
    open_ = true;
    return true;
}

void TMidiPlayV::CloseDevice()
{
    std::lock_guard guard(lock_);
    if (!open_) return;
    if (enabled_) AllNotesOff();
    enabled_ = false;
    if (synth_) fluid_synth_system_reset(synth_);
    open_ = false;
}

bool TMidiPlayV::IsOpen() const
{
    std::lock_guard guard(lock_);
    return open_;
}

void TMidiPlayV::GmReset()
{
    std::lock_guard guard(lock_);
    SendLong(GmSystemOn);
}

void TMidiPlayV::PlayFrom(int ms)
{
    std::lock_guard guard(lock_);
    enabled_ = false;
    const int count = static_cast<int>(song_.Events.size());
    // The first event at or after ms, so nothing that already sounded before ms sounds again;
    // past the song, its start.
    auto next = std::lower_bound(song_.Events.begin(), song_.Events.end(), ms,
                                 [](const TMidiMsgEvent& e, int t) { return e.Time < t; });
    const bool within = next != song_.Events.end();
    const int target = within ? static_cast<int>(next - song_.Events.begin()) : 0;
    if (target < current_) {
        AllNotesOff();
        current_ = 0;
        frame_ = 0;
    } else if (target > current_) {
        AllNotesOff();
    }
    // Chasing: every event on the way but the notes, so programs and controllers are as the song
    // left them at the target.
    while (current_ < target && current_ < count) {
        const TMidiMsgEvent& e = song_.Events[static_cast<size_t>(current_)];
        frame_ = FrameOf(e.Time);
        if (e.Kind != TMidiKind::NoteOn && e.Kind != TMidiKind::NoteOff) PlayEvent(e);
        ++current_;
    }
    // Play on from the position asked for, not from the chased event's time.
    if (within) frame_ = std::max(frame_, FrameOf(ms));
    enabled_ = true;
}

void TMidiPlayV::Stop()
{
    std::lock_guard guard(lock_);
    if (!enabled_) return;
    enabled_ = false;
    AllNotesOff();
}

bool TMidiPlayV::IsPlaying() const
{
    std::lock_guard guard(lock_);
    return enabled_;
}

bool TMidiPlayV::IsEnd() const
{
    std::lock_guard guard(lock_);
    return !loop_ && current_ >= static_cast<int>(song_.Events.size()) - 1;
}

int TMidiPlayV::GetPosition() const
{
    std::lock_guard guard(lock_);
    return static_cast<int>(frame_ * 1000 / AudioRate);
}

bool TMidiPlayV::GetLoop() const
{
    std::lock_guard guard(lock_);
    return loop_;
}

void TMidiPlayV::SetLoop(bool loop)
{
    std::lock_guard guard(lock_);
    loop_ = loop;
}

int TMidiPlayV::Length() const
{
    std::lock_guard guard(lock_);
    return song_.Length;
}

void TMidiPlayV::SetControllerScale(int controller, int percent)
{
    if (controller < 0 || controller > 127) return;
    std::lock_guard guard(lock_);
    for (int ch = 0; ch < 16; ++ch) {
        scales_[ch][controller] = percent;
        if (enabled_) SendController(ch, controller);
    }
}

void TMidiPlayV::SendController(int channel, int controller)
{
    const int64_t scaled = int64_t{controllers_[channel][controller]} * scales_[channel][controller] / 100;
    const uint8_t bytes[3] = {static_cast<uint8_t>(0xB0 + channel), static_cast<uint8_t>(controller),
                              static_cast<uint8_t>(std::clamp<int64_t>(scaled, 0, 127))};
    SendShort(bytes);
}

void TMidiPlayV::AllNotesOff()
{
    // Sustain off as well: all-notes-off leaves pedalled notes sounding.
    for (int ch = 0; ch < 16; ++ch) {
        const uint8_t sustain[3] = {static_cast<uint8_t>(0xB0 + ch), 0x40, 0x00};
        const uint8_t notesOff[3] = {static_cast<uint8_t>(0xB0 + ch), 0x7B, 0x00};
        SendShort(sustain);
        SendShort(notesOff);
    }
}

void TMidiPlayV::PlayEvent(const TMidiMsgEvent& e)
{
    auto d = song_.Data(e);
    if (e.Class == TMidiClass::Channel) {
        if (e.Kind == TMidiKind::ControlChange) {
            const int ch = d[0] & 0x0F;
            controllers_[ch][d[1]] = d[2];
            SendController(ch, d[1]);
        } else {
            SendShort(d);
        }
    } else if (e.Class == TMidiClass::SysEx) {
        SendLong(d);
    }
}

void TMidiPlayV::SendShort(std::span<const uint8_t> d)
{
    if (!open_ || d.empty()) return;
    if (OnSend) OnSend(frame_, d);
    if (!synth_) return;
    const int ch = d[0] & 0x0F;
    const int a = d.size() > 1 ? d[1] : 0, b = d.size() > 2 ? d[2] : 0;
    switch (d[0] & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth_, ch, a);
        break;
    case 0x90:
        if (b == 0)
            fluid_synth_noteoff(synth_, ch, a);
        else
            fluid_synth_noteon(synth_, ch, a, b);
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth_, ch, a, b);
        break;
    case 0xB0:
        fluid_synth_cc(synth_, ch, a, b);
        break;
    case 0xC0:
        fluid_synth_program_change(synth_, ch, a);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth_, ch, a);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth_, ch, a | (b << 7));
        break;
    }
}

void TMidiPlayV::SendLong(std::span<const uint8_t> d)
{
    if (!open_ || d.empty()) return;
    if (OnSend) OnSend(frame_, d);
    if (!synth_) return;
    // FluidSynth takes the bytes between F0 and F7.
    size_t first = d[0] == 0xF0 || d[0] == 0xF7 ? 1 : 0;
    size_t last = d.size();
    if (last > first && d[last - 1] == 0xF7) --last;
    if (last <= first) return;
    fluid_synth_sysex(synth_, reinterpret_cast<const char*>(d.data() + first), static_cast<int>(last - first),
                      nullptr, nullptr, nullptr, 0);
}

void TMidiPlayV::Render(int32_t* mix, int frames)
{
    if (!synth_ || soundFont_ < 0 || frames <= 0) return;
    fluid_synth_write_float(synth_, frames, left_.data(), 0, 1, right_.data(), 0, 1);
    for (int i = 0; i < frames; ++i) {
        mix[2 * i] += static_cast<int32_t>(std::lrint(std::clamp(left_[i], -1.0f, 1.0f) * 32767.0f));
        mix[2 * i + 1] += static_cast<int32_t>(std::lrint(std::clamp(right_[i], -1.0f, 1.0f) * 32767.0f));
    }
}

void TMidiPlayV::RenderAdd(int32_t* mix, int frames)
{
    std::lock_guard guard(lock_);
    frames = std::clamp(frames, 0, AudioMaxPullFrames);
    const int count = static_cast<int>(song_.Events.size());
    int done = 0;
    while (done < frames) {
        // A song of no length cannot loop: it would spin here.
        const bool loops = loop_ && count > 0 && song_.Events.back().Time > song_.Events.front().Time;
        if (!enabled_ || count == 0 || (current_ >= count - 1 && !loops)) {
            Render(mix + 2 * done, frames - done);
            break;
        }
        const int64_t now = frame_;
        const TMidiMsgEvent& e = song_.Events[static_cast<size_t>(current_)];
        const int64_t at = FrameOf(e.Time);
        if (at <= now) {
            if (current_ < count - 1) {
                PlayEvent(e);
                ++current_;
            } else {
                // The last event, the end of the song, is never played: a loop starts again there.
                AllNotesOff();
                current_ = 0;
                frame_ = FrameOf(song_.Events.front().Time);
            }
            continue;
        }
        const int step = static_cast<int>(std::min<int64_t>(at - now, frames - done));
        Render(mix + 2 * done, step);
        done += step;
        frame_ += step;
    }
}

} // namespace ruko
