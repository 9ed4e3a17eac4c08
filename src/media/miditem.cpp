// MIDI items and their manager over the one MIDI player.
#include <algorithm>

#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/globals.h"
#include "base/text.h"
#include "media/mediaitem.h"
#include "media/midiplay.h"
#include "media/smf.h"

namespace ruko {

namespace {

std::vector<uint8_t> ReadSong(const std::string& name)
{
    if (!FileManager) return {};
    try {
        return FileManager->LoadFile(name);
    } catch (const ERukoError&) {
        return {};
    }
}

} // namespace

TMidiItem::TMidiItem(TMidiManager& manager, const std::string& name)
    : TDMediaItem(manager), midi_(manager), name_(name)
{
}

TMidiItem::~TMidiItem()
{
    if (!IsCurrent()) return;
    Player()->Stop();
    Player()->CloseDevice();
    midi_.Current = nullptr;
}

TMidiPlayV* TMidiItem::Player() const
{
    return midi_.Player;
}

bool TMidiItem::IsCurrent() const
{
    return Player() && midi_.Current == this;
}

void TMidiItem::ApplyVolume()
{
    // The attenuation -10000..0 as a percentage of every controller-7 value.
    if (IsCurrent()) Player()->SetControllerScale(7, std::clamp(volume_ / 100 + 100, 0, 100));
}

bool TMidiItem::GetLoop() const
{
    return IsCurrent() ? Player()->GetLoop() : loop_;
}

void TMidiItem::SetLoop(bool loop)
{
    loop_ = loop;
    if (IsCurrent()) Player()->SetLoop(loop);
}

void TMidiItem::SetVolume(int32_t volume)
{
    volume_ = volume;
    ApplyVolume();
}

int32_t TMidiItem::GetPosition() const
{
    return IsCurrent() ? Player()->GetPosition() : 0;
}

void TMidiItem::SetPosition(int32_t ms)
{
    endedWhileDisabled_ = false;
    ms = std::max(ms, 0);
    if (IsCurrent() && !paused_)
        Player()->PlayFrom(ms);
    else
        resumePos_ = ms;
}

int32_t TMidiItem::GetLength() const
{
    if (length_ < 0) length_ = invalid_ ? 0 : ReadSmf(ReadSong(name_)).Length;
    return length_;
}

bool TMidiItem::IsEnd() const
{
    if (invalid_ || endedWhileDisabled_) return true;
    return IsCurrent() && Player()->IsEnd();
}

bool TMidiItem::IsPlaying() const
{
    return IsCurrent() && !endedWhileDisabled_ && Player()->IsPlaying();
}

void TMidiItem::Play()
{
    paused_ = false;
    if (DeferWhileDisabled() || !Player() || invalid_) return;
    TMidiPlayV& player = *Player();
    if (!IsCurrent()) {
        std::vector<uint8_t> bytes = ReadSong(name_);
        // Nothing to play: the song ends, and whatever another item loaded is left alone.
        if (bytes.empty() || ReadSmf(bytes).Events.empty()) {
            invalid_ = true;
            length_ = 0;
            return;
        }
        if (player.IsPlaying()) player.Stop();
        midi_.Current = this;
        player.Load(bytes);
        length_ = player.Length();
        player.SetLoop(loop_);
    }
    if (!player.IsOpen()) player.OpenDevice(midi_.CurrentDevice() - 1);
    player.GmReset();
    if (TerminateRequested) return;
    midi_.Current = this;
    player.PlayFrom(resumePos_);
    ApplyVolume();
}

void TMidiItem::Pause()
{
    SuspendMark = false;
    if (IsCurrent()) {
        resumePos_ = Player()->GetPosition();
        Player()->Stop();
    }
    paused_ = true;
}

TDMediaItem* TMidiManager::Add(const std::string& name)
{
    return Append(std::make_unique<TMidiItem>(*this, name));
}

std::string TMidiManager::DeviceName(int index) const
{
    return index == 1 ? std::string("FluidSynth") : Utf8ToCp932("MIDIマッパー");
}

void TMidiManager::SelectDevice(int index)
{
    index = std::clamp(index, 0, DeviceCount() - 1);
    if (index == device_) return;
    device_ = index;
    if (!Player || !Current || !Player->IsPlaying()) return;
    const int position = Player->GetPosition();
    Player->Stop();
    Player->CloseDevice();
    Player->OpenDevice(device_ - 1);
    Player->PlayFrom(position);
}

void TMidiManager::SelectDevice(const std::string& nameCp932)
{
    for (int i = 0; i < DeviceCount(); ++i)
        if (DeviceName(i) == nameCp932) return SelectDevice(i);
}

} // namespace ruko
