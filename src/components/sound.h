#pragma once
// The sound component and the volume fades of media items. A sound names a game file; the run-
// state request (SetRunState) makes its media item through the manager its extension chooses,
// plays it, fades it in or out, and stops it. Volumes: `Volume` 0..1000 as the script sees it,
// mapped to attenuations in hundredths of a decibel (MappedVolume).
#include "components/component.h"

#include <cstdint>
#include <memory>
#include <string>

namespace ruko {

class TDMediaItem;
class TMediaManager;

// The fade of one media item (not owned). Step answers true when the fade has finished.
class TRukoMixer
{
  public:
    TRukoMixer(TDMediaItem& item, int32_t to, int32_t duration) : To(to), Item(&item), Duration(duration) {}
    virtual ~TRukoMixer() = default;
    virtual bool Step() { return false; }
    virtual bool IsFadeOut() const { return false; }
    // The volume now: falling fades (and rising ones of MIDI items) move over the whole span;
    // rising ones of other items start halfway, where they become audible.
    int32_t Current() const;

    int32_t StartTime = 0;
    int32_t From = 0;
    int32_t To;
    TDMediaItem* Item;
    int32_t Duration;
    bool Started = false;

  protected:
    int64_t Elapsed() const;
    bool Over() const;
};

// Starts its item silent and raises it to `To`.
class TRukoMixerFadein final : public TRukoMixer
{
  public:
    using TRukoMixer::TRukoMixer;
    bool Step() override;
};

// Lowers its item from its volume to silence.
class TRukoMixerFadeout final : public TRukoMixer
{
  public:
    TRukoMixerFadeout(TDMediaItem& item, int32_t duration) : TRukoMixer(item, -10000, duration) {}
    bool Step() override;
    bool IsFadeOut() const override { return true; }
};

// `Volume` as an attenuation: a MIDI item's spans the whole scale, every other item's the upper
// half (silent at 0).
int32_t MappedVolume(int32_t volume, bool midi);

class TRukoSound final : public TRukoComponent
{
  public:
    explicit TRukoSound(TRukoBaseList* owner) : TRukoComponent(owner) {}
    ~TRukoSound() override;

    std::string Source;
    uint8_t RunState = 2;
    TDMediaItem* Item = nullptr;
    bool Repeat = false;
    int32_t RepeatPos = 0;
    bool Paused = false;
    int32_t Volume = 1000;
    int32_t Balance = 0;
    std::unique_ptr<TRukoMixer> Fade;
    int32_t Delay = 0;
    int32_t Position = 0;
    bool AutoScrap = false;
    std::string OnPlayEnd;
    bool AniPaused = false;
    bool Ended = false;
    bool RewindOnLoad = false;
    bool MuteOnLoad = false;

    uint8_t GetCompoType() const override { return LT_SOUND; }
    void SetSource(const std::string& s);
    void SetRunState(int r) override;
    int GetRunState() const override { return RunState; }
    void StartPlayback() override;
    int Step() override;
    int32_t GetMappedVolume() const;

    void SaveToStream(TKwBigStream& s) const override;
    void LoadFromStream(TKwBigStream& s, int32_t version) override;
    void AfterLoad() override;

  protected:
    bool GetOwn(int id, TCustomParam& target) override;
    bool SetOwn(int id, const TCustomParam& source) override;

  private:
    void RemoveItem();
    void ApplyPause();
    void StartFadeIn();
    int32_t GetLength() const;

    // What a loaded record asks for once the list it came in is the running one.
    struct TLoaded
    {
        std::string Source;
        int32_t Position = 0;
        int32_t Delay = 0;
        uint8_t State = 2;
        bool Paused = false, AniPaused = false, Ended = false;
    };
    std::unique_ptr<TLoaded> loaded_;
};

// The manager that plays `source` by its extension (lower case): ".mid", ".sgt" MIDI; ".wma",
// ".asf", ".wmv" Windows Media; ".ogg", ".wav" Ogg; none for anything else (also "CD_" tracks).
TMediaManager* ManagerForSource(const std::string& source);

} // namespace ruko
