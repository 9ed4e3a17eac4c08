#pragma once
// Media items and their managers. An item wraps one playing sound or song behind TDMediaItem
// (times in ms; volume and pan as attenuations in hundredths of a decibel, 0 full, -10000 silent,
// negative pan left). One manager per kind lists its items and suspends and resumes them
// together; switching sound off disables every manager.
//
// Ogg, WAV and Windows-Media sounds all play through the mixer (TWavOut), decoded by whatever
// decoder their content needs; MIDI songs through the one MIDI player. There are no CD-audio
// items: a "CD_" name starts nothing.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ruko {

class TMediaManager;
class TMidiManager;
class TMidiPlayV;
class TWavBuffer;
class TWavOut;

class TDMediaItem
{
  public:
    explicit TDMediaItem(TMediaManager& manager) : Manager(manager) {}
    virtual ~TDMediaItem() = default;
    TDMediaItem(const TDMediaItem&) = delete;
    TDMediaItem& operator=(const TDMediaItem&) = delete;

    virtual bool GetLoop() const { return false; }
    virtual void SetLoop(bool) {}
    virtual int32_t GetLoopStart() const { return 0; }
    virtual void SetLoopStart(int32_t) {}
    virtual int32_t GetPan() const { return 0; }
    virtual int32_t GetVolume() const { return 0; }
    virtual void SetPan(int32_t) {}
    virtual void SetVolume(int32_t) {}
    virtual int32_t GetPosition() const { return 0; }
    // Negative values become 0.
    virtual void SetPosition(int32_t) {}
    virtual int32_t GetLength() const { return 0; }
    // Playback reached the end and does not repeat.
    virtual bool IsEnd() const { return false; }
    virtual bool IsPlaying() const { return false; }
    virtual bool IsPaused() const { return false; }
    // Start or continue.
    virtual void Play() {}
    virtual void Pause() {}
    // MIDI volumes map and fade differently.
    virtual bool IsMidi() const { return false; }

    TMediaManager& Manager;
    bool SuspendMark = false;

  protected:
    // Play while the manager is disabled: a repeating item waits for sound to come back; any
    // other item ends at once (else effects would pile up and all sound when sound returns).
    // True when the caller must not start playing.
    bool DeferWhileDisabled();
    bool endedWhileDisabled_ = false;
};

class TMediaManager
{
  public:
    virtual ~TMediaManager();
    TMediaManager() = default;
    TMediaManager(const TMediaManager&) = delete;
    TMediaManager& operator=(const TMediaManager&) = delete;

    // A new item for the game file `name`, appended to the list. An item whose file cannot be
    // read or decoded stands at its end (silent, length 0) and says why on stderr.
    virtual TDMediaItem* Add(const std::string& name) = 0;
    // Frees the item (nothing for one the manager does not hold).
    void Remove(TDMediaItem* item);
    void Clear();
    int Count() const { return static_cast<int>(items_.size()); }
    TDMediaItem* Items(int i) const { return items_[static_cast<size_t>(i)].get(); }

    // Pauses what plays (when enabled and not already suspended) and marks it for ResumeAll.
    void SuspendAll();
    void ResumeAll();
    // Off suspends first; on resumes.
    void SetEnabled(bool enabled);

    bool Enabled = true;
    bool Suspended = false;

  protected:
    TDMediaItem* Append(std::unique_ptr<TDMediaItem> item);

  private:
    std::vector<std::unique_ptr<TDMediaItem>> items_;
};

// How attenuations become the mixer's 0..256 gains.
enum class TVolumeLaw : uint8_t
{
    Decibels, // gain 10^(v/2000), the device's law ("DirectSound" on)
    Linear    // ((max(v, -5000) + 5000) × 256) / 5000 ("DirectSound" off)
};
int MixerGain(int32_t volume, TVolumeLaw law);
// Left and right scales 0..256 of a pan: the far side is attenuated by |pan| in decibels.
void PanScales(int32_t pan, int& left, int& right);

// A sound file played through the mixer.
class TOggWaveItem : public TDMediaItem
{
  public:
    TOggWaveItem(TMediaManager& manager, TWavOut* mixer, TVolumeLaw law, const std::string& name);
    ~TOggWaveItem() override;

    bool GetLoop() const override;
    void SetLoop(bool loop) override;
    int32_t GetLoopStart() const override;
    void SetLoopStart(int32_t ms) override;
    int32_t GetPan() const override { return pan_; }
    int32_t GetVolume() const override { return volume_; }
    void SetPan(int32_t pan) override;
    void SetVolume(int32_t volume) override;
    int32_t GetPosition() const override;
    void SetPosition(int32_t ms) override;
    int32_t GetLength() const override;
    bool IsEnd() const override;
    bool IsPlaying() const override;
    bool IsPaused() const override { return paused_; }
    void Play() override;
    void Pause() override;
    // The mixer's buffer; none when the file did not decode.
    TWavBuffer* Buffer() const { return buffer_; }

  private:
    TWavOut* mixer_;
    TWavBuffer* buffer_ = nullptr;
    TVolumeLaw law_;
    int32_t volume_ = 0;
    int32_t pan_ = 0;
    bool paused_ = false;
};

// Windows-Media sound (".wma", ".asf", ".wmv"): the same mixer path, its own manager.
class TWmpItem final : public TOggWaveItem
{
  public:
    using TOggWaveItem::TOggWaveItem;
};

class TOggManager final : public TMediaManager
{
  public:
    TOggManager(TWavOut* mixer, TVolumeLaw law) : mixer_(mixer), law_(law) {}
    ~TOggManager() override { Clear(); }
    TDMediaItem* Add(const std::string& name) override;

  private:
    TWavOut* mixer_;
    TVolumeLaw law_;
};

class TWmpManager final : public TMediaManager
{
  public:
    TWmpManager(TWavOut* mixer, TVolumeLaw law) : mixer_(mixer), law_(law) {}
    ~TWmpManager() override { Clear(); }
    TDMediaItem* Add(const std::string& name) override;

  private:
    TWavOut* mixer_;
    TVolumeLaw law_;
};

// A Standard MIDI File played by the manager's player. One song is loaded at a time: the item
// that played last is the current one.
class TMidiItem final : public TDMediaItem
{
  public:
    TMidiItem(TMidiManager& manager, const std::string& name);
    ~TMidiItem() override;

    bool GetLoop() const override;
    void SetLoop(bool loop) override;
    int32_t GetVolume() const override { return volume_; }
    void SetVolume(int32_t volume) override;
    int32_t GetPosition() const override;
    void SetPosition(int32_t ms) override;
    int32_t GetLength() const override;
    bool IsEnd() const override;
    bool IsPlaying() const override;
    bool IsPaused() const override { return paused_; }
    void Play() override;
    void Pause() override;
    bool IsMidi() const override { return true; }

  private:
    bool IsCurrent() const;
    TMidiPlayV* Player() const;
    void ApplyVolume();

    TMidiManager& midi_;
    std::string name_;
    int32_t resumePos_ = 0;
    bool paused_ = false;
    int32_t volume_ = 0;
    mutable int32_t length_ = -1; // until known
    bool loop_ = false;
    bool invalid_ = false; // empty or not a MIDI file: plays nothing, stands at its end
};

class TMidiManager final : public TMediaManager
{
  public:
    // `player` (may be null: MIDI items then do nothing) must outlive the manager.
    explicit TMidiManager(TMidiPlayV* player) : Player(player) {}
    ~TMidiManager() override { Clear(); }
    TDMediaItem* Add(const std::string& name) override;

    // Port 0 is "MIDIマッパー" (the mapper), 1 the synthesiser; out-of-range indices name the mapper.
    int DeviceCount() const { return 2; }
    std::string DeviceName(int index) const;
    // Clamped to 0..count-1; a playing song goes on at its position on the new port.
    void SelectDevice(int index);
    // By name; an unknown name changes nothing.
    void SelectDevice(const std::string& nameCp932);
    int CurrentDevice() const { return device_; }

    TMidiPlayV* Player;
    TMidiItem* Current = nullptr;

  private:
    int device_ = 0;
};

// The managers of the run (set while they live, in creation order: Windows Media, Ogg, MIDI).
extern TWmpManager* WmpMan;
extern TOggManager* OggMan;
extern TMidiManager* MidiMan;

// Every manager that exists, enabled or disabled (sound on or off).
void SetMediaEnabled(bool enabled);
void SuspendAllMedia();
void ResumeAllMedia();
// The file manager knows the game file.
bool MediaFileExists(const std::string& name);

} // namespace ruko
