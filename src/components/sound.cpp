#include "components/sound.h"

#include <algorithm>

#include "base/globals.h"
#include "base/text.h"
#include "components/baselist.h"
#include "io/fields.h"
#include "media/mediaitem.h"

namespace ruko {

// --- fades -------------------------------------------------------------------------------------

int64_t TRukoMixer::Elapsed() const
{
    return int64_t{GameTime} - StartTime;
}

bool TRukoMixer::Over() const
{
    // Compared unsigned, so a clock that went back counts as over; a fade without time is over.
    return Duration <= 0 || static_cast<uint32_t>(Elapsed()) >= static_cast<uint32_t>(Duration);
}

int32_t TRukoMixer::Current() const
{
    if (Over()) return To;
    const int64_t e = Elapsed();
    const bool midi = Item->IsMidi();
    const int64_t span = midi ? int64_t{To} - From : (int64_t{To} - From) / 2;
    if (From > To || midi) return static_cast<int32_t>(From + e * span / Duration);
    return static_cast<int32_t>(From + span + e * span / Duration);
}

bool TRukoMixerFadein::Step()
{
    if (!Started) {
        Started = true;
        From = -10000;
        StartTime = GameTime;
        if (Duration <= 0) {
            Item->SetVolume(To);
            Item->Play();
            return true;
        }
        Item->SetVolume(-10000);
        Item->Play();
        return false;
    }
    if (!Over()) {
        Item->SetVolume(Current());
        return false;
    }
    Item->SetVolume(To);
    return true;
}

bool TRukoMixerFadeout::Step()
{
    if (!Started) {
        Started = true;
        From = Item->GetVolume();
        To = -10000;
        StartTime = GameTime;
        return Duration <= 0;
    }
    if (Over()) return true;
    Item->SetVolume(Current());
    return false;
}

int32_t MappedVolume(int32_t volume, bool midi)
{
    if (midi) return std::clamp(volume, 0, 1000) * 10 - 10000;
    if (volume <= 0) return -10000;
    if (volume > 1000) return 0;
    return 5 * volume - 5000;
}

TMediaManager* ManagerForSource(const std::string& source)
{
    std::string ext;
    if (size_t dot = source.rfind('.'); dot != std::string::npos) ext = LowerCaseText(source.substr(dot));
    if (ext == ".mid" || ext == ".sgt") return MidiMan;
    if (ext == ".wma" || ext == ".asf" || ext == ".wmv") return WmpMan;
    if (ext == ".ogg" || ext == ".wav") return OggMan;
    return nullptr;
}

// --- the sound ---------------------------------------------------------------------------------

TRukoSound::~TRukoSound()
{
    if (!Item) return;
    Item->SetVolume(-10000);
    Fade.reset();
    RemoveItem();
}

void TRukoSound::RemoveItem()
{
    if (!Item) return;
    TDMediaItem* item = Item;
    Item = nullptr;
    Fade.reset();
    item->Manager.Remove(item);
}

int32_t TRukoSound::GetMappedVolume() const
{
    return MappedVolume(Volume, Item && Item->IsMidi());
}

int32_t TRukoSound::GetLength() const
{
    if (Item) return Item->GetLength();
    if (!MediaFileExists(Source)) return 0;
    TMediaManager* manager = ManagerForSource(Source);
    if (!manager) return 0;
    // Measured on an item of its own, which goes again at once.
    TDMediaItem* probe = manager->Add(Source);
    const int32_t length = probe->GetLength();
    manager->Remove(probe);
    return length;
}

void TRukoSound::SetSource(const std::string& s)
{
    if (s == Source) return;
    RemoveItem();
    Source = s;
    RunState = 2;
    Paused = false;
    Position = 0;
    Ended = false;
}

void TRukoSound::StartFadeIn()
{
    Fade = std::make_unique<TRukoMixerFadein>(*Item, GetMappedVolume(), Delay);
}

void TRukoSound::SetRunState(int r)
{
    Fade.reset();
    Ended = false;
    RunState = static_cast<uint8_t>(r == 1 && Delay <= 0 ? 0 : r);
    switch (RunState) {
    case 0:
    case 1: {
        if (Item) return;
        if (!MediaFileExists(Source) && Source.rfind("CD_", 0) != 0) {
            if (AutoScrap) Delete();
            return;
        }
        TMediaManager* manager = ManagerForSource(Source);
        if (!manager) return;
        Item = manager->Add(Source);
        Item->SetPan(Balance);
        if (Position > 0) Item->SetPosition(Position);
        Item->SetLoop(Repeat);
        Item->SetLoopStart(RepeatPos);
        if (RunState == 0) {
            Item->SetVolume(GetMappedVolume());
            if (Paused)
                Item->Pause();
            else
                Item->Play();
            if (Position > 0) Item->SetPosition(Position);
        } else if (!Paused) {
            StartFadeIn();
        }
        return;
    }
    case 2:
        if (!Item) return;
        RemoveItem();
        Position = 0;
        Delete();
        return;
    case 3:
        if (!Item) {
            Delete();
            return;
        }
        Fade = std::make_unique<TRukoMixerFadeout>(*Item, Delay);
        Position = 0;
        // A system name frees the name at once; the counter keeps two fade-outs of one name apart.
        if (Owner)
            SetName(Owner->MakeUniqueName(std::string(1, SOH) + "SCRAP_" + Name + "_"));
        else
            SetName(std::string(1, SOH) + "SCRAP_" + Name);
        return;
    default:
        return;
    }
}

void TRukoSound::StartPlayback()
{
    Position = 0;
    Paused = false;
    Ended = false;
    SetRunState(1);
    if (!Item) return;
    Fade.reset();
    if (Delay <= 0) {
        Item->SetVolume(GetMappedVolume());
        Item->SetPosition(0);
        if (!Item->IsPlaying()) Item->Play();
    } else {
        Item->Pause();
        Item->SetVolume(-10000);
        Item->SetPosition(0);
        StartFadeIn();
    }
}

void TRukoSound::ApplyPause()
{
    if (!Item) return;
    if (Paused || AniPaused) {
        Item->Pause();
        Item->SetVolume(-10000);
    } else if (RunState == 1) {
        StartFadeIn();
    } else {
        Item->SetVolume(GetMappedVolume());
        Item->Play();
    }
}

int TRukoSound::Step()
{
    if (Item && Item->IsEnd()) {
        if (Repeat) {
            Item->SetPosition(0);
        } else if (!Ended) {
            // Once per end: the item goes on reporting it.
            Ended = true;
            if (AutoScrap) return 1;
            Post(OnPlayEnd, PR_ONPLAYEND);
        }
    }
    if (Fade && Fade->Step()) {
        const bool out = Fade->IsFadeOut();
        Fade.reset();
        if (out) return 1;
    }
    return 0;
}

bool TRukoSound::GetOwn(int id, TCustomParam& t)
{
    switch (id) {
    case PR_SOURCE:
        return t.SetStr(Source), true;
    case PR_REPEAT:
        return t.SetFlag(Repeat), true;
    case PR_REPEATPOS:
        return t.SetInt(RepeatPos), true;
    case PR_PAUSED:
        return t.SetFlag(Paused), true;
    case PR_ANIPAUSED:
        return t.SetFlag(AniPaused), true;
    case PR_VOLUME:
        return t.SetInt(Volume), true;
    case PR_BALANCE:
        return t.SetInt(Balance), true;
    case PR_DELAY:
        return t.SetInt(Delay), true;
    case PR_INDEX:
        return t.SetInt(Item ? Item->GetPosition() : 0), true;
    case PR_COUNT:
        return t.SetInt(GetLength()), true;
    case PR_PLAYING:
        return t.SetFlag(Item && Item->IsPlaying()), true;
    case PR_AUTOSCRAP:
        return t.SetFlag(AutoScrap), true;
    case PR_ONPLAYEND:
        return t.SetStr(OnPlayEnd), true;
    case PR_REWINDONLOAD:
        return t.SetFlag(RewindOnLoad), true;
    case PR_MUTEONLOAD:
        return t.SetFlag(MuteOnLoad), true;
    default:
        return TRukoComponent::GetOwn(id, t);
    }
}

bool TRukoSound::SetOwn(int id, const TCustomParam& v)
{
    switch (id) {
    case PR_SOURCE:
        return SetSource(v.GetStr()), true;
    case PR_REPEAT:
        Repeat = v.GetFlag();
        if (Item) {
            Item->SetLoop(Repeat);
            if (Repeat && !Paused && int64_t{Item->GetPosition()} >= int64_t{Item->GetLength()} - 1) {
                Item->SetPosition(0);
                Ended = false;
            }
        }
        return true;
    case PR_REPEATPOS:
        RepeatPos = v.GetInt();
        if (Item) Item->SetLoopStart(RepeatPos);
        return true;
    case PR_PAUSED:
    case PR_ANIPAUSED: {
        bool& flag = id == PR_PAUSED ? Paused : AniPaused;
        const bool value = v.GetFlag();
        if (value != flag) {
            flag = value;
            ApplyPause();
        }
        return true;
    }
    case PR_VOLUME:
        Volume = v.GetInt();
        if (Item) Item->SetVolume(GetMappedVolume());
        return true;
    case PR_BALANCE:
        Balance = std::clamp(v.GetInt(), -10000, 10000);
        if (Item) Item->SetPan(Balance);
        return true;
    case PR_DELAY:
        return Delay = v.GetInt(), true;
    case PR_INDEX:
        Position = v.GetInt();
        if (Item) {
            Item->SetPosition(Position);
            Ended = false;
            if (!Paused && !Item->IsPlaying()) Item->Play();
        }
        return true;
    case PR_AUTOSCRAP:
        return AutoScrap = v.GetFlag(), true;
    case PR_ONPLAYEND:
        return OnPlayEnd = v.GetStr(), true;
    case PR_REWINDONLOAD:
        return RewindOnLoad = v.GetFlag(), true;
    case PR_MUTEONLOAD:
        return MuteOnLoad = v.GetFlag(), true;
    default:
        return TRukoComponent::SetOwn(id, v);
    }
}

void TRukoSound::SaveToStream(TKwBigStream& s) const
{
    TRukoComponent::SaveToStream(s);
    WriteStr(s, Source);
    WriteBool(s, Repeat);
    WriteBool(s, AutoScrap);
    WriteBool(s, Paused);
    WriteBool(s, AniPaused);
    WriteBool(s, Ended);
    WriteInt(s, Volume);
    WriteInt(s, Balance);
    WriteInt(s, Delay);
    WriteInt(s, Item ? Item->GetPosition() : 0);
    // Short effects are not restarted by loading.
    uint8_t state = RunState;
    if (!Repeat && (state == 0 || state == 1) && GetLength() <= 2999) state = 2;
    WriteByte(s, state);
    WriteStr(s, OnPlayEnd);
    WriteBool(s, RewindOnLoad);
    WriteBool(s, MuteOnLoad);
    WriteInt(s, RepeatPos);
}

void TRukoSound::LoadFromStream(TKwBigStream& s, int32_t version)
{
    TRukoComponent::LoadFromStream(s, version);
    auto loaded = std::make_unique<TLoaded>();
    loaded->Source = ReadStr(s);
    Repeat = ReadBool(s);
    AutoScrap = ReadBool(s);
    loaded->Paused = ReadBool(s);
    loaded->AniPaused = ReadBool(s);
    loaded->Ended = ReadBool(s);
    Volume = ReadInt(s);
    Balance = std::clamp(ReadInt(s), -10000, 10000);
    loaded->Delay = ReadInt(s);
    loaded->Position = ReadInt(s);
    loaded->State = ReadByte(s);
    OnPlayEnd = ReadStr(s);
    RewindOnLoad = version > 107 && ReadBool(s);
    MuteOnLoad = version > 128 && ReadBool(s);
    RepeatPos = version > 137 ? ReadInt(s) : 0;
    loaded_ = std::move(loaded);
}

void TRukoSound::AfterLoad()
{
    if (!loaded_) return;
    std::unique_ptr<TLoaded> loaded = std::move(loaded_);
    if (MuteOnLoad) Volume = 0;
    SetSource(loaded->Source);
    Position = RewindOnLoad ? 0 : loaded->Position;
    Paused = loaded->Paused;
    AniPaused = loaded->AniPaused;
    Ended = loaded->Ended;
    Delay = 0;
    if (loaded->State == 3) SetRunState(0);
    Delay = loaded->Delay;
    if (Ended)
        RunState = loaded->State;
    else
        SetRunState(loaded->State);
    if (Paused || AniPaused) ApplyPause();
}

} // namespace ruko
