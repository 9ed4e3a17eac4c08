#pragma once
// The MIDI player: one song at a time, sequenced on the mixer's clock. Inside each pull the events
// due in the block go to FluidSynth at their frame, and FluidSynth renders into the mix (never an
// audio driver of its own). Without a soundfont the song still sequences, silently.
#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "media/smf.h"
#include "media/wavout.h"

typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_hashtable_t fluid_settings_t;

namespace ruko {

// The soundfont to use: `given` (--soundfont), else game.ini's [Sound] "SoundFont" (`fromIni`,
// a host path), else Debian's General-MIDI soundfonts; "" when none exists.
std::string ChooseSoundFont(const std::string& given, const std::string& fromIni);

class TMidiPlayV final : public TMixSynth
{
  public:
    // "" plays silently (with `warnWhenSilent`, the first song says so on stderr). The soundfont
    // is read at the first song (a General-MIDI set can be 100 MiB and most titles never play
    // MIDI); one that does not load says so then.
    explicit TMidiPlayV(const std::string& soundFontPath, bool warnWhenSilent = false);
    ~TMidiPlayV() override;
    TMidiPlayV(const TMidiPlayV&) = delete;
    TMidiPlayV& operator=(const TMidiPlayV&) = delete;

    // Stops and replaces the song; anything but a Standard MIDI File gives the empty song.
    void Load(std::span<const uint8_t> file);
    // The synthesiser as the device: while it is closed nothing is sent.
    bool OpenDevice(int id);
    void CloseDevice();
    bool IsOpen() const;
    void GmReset();
    void PlayFrom(int ms);
    void Stop();
    bool IsPlaying() const;
    bool IsEnd() const;
    int GetPosition() const;
    bool GetLoop() const;
    void SetLoop(bool loop);
    int Length() const;
    void SetControllerScale(int controller, int percent);
    const TMidiSong& Song() const { return song_; }
    // Reads the soundfont if that has not been tried yet; true when one is loaded.
    bool HasSoundFont();

    // Sequences and renders `frames` frames into the mix (the mixer calls it inside its pull).
    void RenderAdd(int32_t* mix, int frames) override;

    // Every message that goes out, with the song frame it goes out at; for tools and tests.
    std::function<void(int64_t frame, std::span<const uint8_t> bytes)> OnSend;

  private:
    void PlayEvent(const TMidiMsgEvent& e);
    void SendController(int channel, int controller);
    void SendShort(std::span<const uint8_t> bytes);
    void SendLong(std::span<const uint8_t> bytes);
    void AllNotesOff();
    void Render(int32_t* mix, int frames);
    int64_t FrameOf(int32_t ms) const { return AudioFramesAt(ms); }

    mutable std::mutex lock_;
    std::string soundFontPath_;
    bool soundFontTried_ = false;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    int soundFont_ = -1;
    bool warnWhenSilent_;
    std::vector<float> left_, right_;

    TMidiSong song_;
    bool open_ = false;
    bool enabled_ = false; // playing
    bool loop_ = false;
    int current_ = 0;
    int64_t frame_ = 0; // song position in frames
    std::array<std::array<int, 128>, 16> controllers_{};
    std::array<std::array<int, 128>, 16> scales_{};
};

} // namespace ruko
