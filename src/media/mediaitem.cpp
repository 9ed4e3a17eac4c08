#include "media/mediaitem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/text.h"
#include "media/decoder.h"
#include "media/wavout.h"

namespace ruko {

TWmpManager* WmpMan = nullptr;
TOggManager* OggMan = nullptr;
TMidiManager* MidiMan = nullptr;

namespace {

int32_t FramesToMs(int64_t frames)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>((frames * 1000 + AudioRate / 2) / AudioRate, 0, INT32_MAX));
}

// 256 × 10^(v/2000): hundredths of a decibel as an amplitude.
int DecibelGain(int32_t attenuation)
{
    if (attenuation >= 0) return 256;
    if (attenuation <= -10000) return 0;
    return static_cast<int>(std::lround(256.0 * std::pow(10.0, attenuation / 2000.0)));
}

} // namespace

int MixerGain(int32_t volume, TVolumeLaw law)
{
    if (law == TVolumeLaw::Decibels) return DecibelGain(volume);
    const int64_t v = std::max<int64_t>(volume, -5000);
    return static_cast<int>(std::clamp<int64_t>((v + 5000) * 256 / 5000, 0, 256));
}

void PanScales(int32_t pan, int& left, int& right)
{
    pan = std::clamp(pan, -10000, 10000);
    left = pan > 0 ? DecibelGain(-pan) : 256;
    right = pan < 0 ? DecibelGain(pan) : 256;
}

// --- items and managers -----------------------------------------------------------------------

bool TDMediaItem::DeferWhileDisabled()
{
    if (Manager.Enabled) return false;
    if (GetLoop())
        SuspendMark = true;
    else
        endedWhileDisabled_ = true;
    return true;
}

TMediaManager::~TMediaManager() = default;

TDMediaItem* TMediaManager::Append(std::unique_ptr<TDMediaItem> item)
{
    items_.push_back(std::move(item));
    return items_.back().get();
}

void TMediaManager::Remove(TDMediaItem* item)
{
    auto it = std::find_if(items_.begin(), items_.end(), [&](auto& i) { return i.get() == item; });
    if (it == items_.end()) return;
    // Out of the list before it goes, so nothing its destructor calls finds it there.
    std::unique_ptr<TDMediaItem> gone = std::move(*it);
    items_.erase(it);
}

void TMediaManager::Clear()
{
    while (!items_.empty())
        Remove(items_.back().get());
}

void TMediaManager::SuspendAll()
{
    if (!Enabled || Suspended) return;
    for (auto& item : items_) {
        const bool playing = item->IsPlaying() && !item->IsPaused() && !item->IsEnd();
        if (playing) item->Pause();
        item->SuspendMark = playing; // after Pause, which forgets a mark
    }
    Suspended = true;
}

void TMediaManager::ResumeAll()
{
    if (!Enabled || !Suspended) return;
    Suspended = false;
    for (auto& item : items_)
        if (item->SuspendMark) {
            item->SuspendMark = false;
            item->Play();
        }
}

void TMediaManager::SetEnabled(bool enabled)
{
    if (!enabled) {
        SuspendAll();
        Enabled = false;
    } else {
        Enabled = true;
        ResumeAll();
    }
}

namespace {

template <class F> void EachManager(F f)
{
    for (TMediaManager* m : {static_cast<TMediaManager*>(WmpMan), static_cast<TMediaManager*>(OggMan),
                             static_cast<TMediaManager*>(MidiMan)})
        if (m) f(*m);
}

} // namespace

void SetMediaEnabled(bool enabled)
{
    EachManager([&](TMediaManager& m) { m.SetEnabled(enabled); });
}

void SuspendAllMedia()
{
    EachManager([](TMediaManager& m) { m.SuspendAll(); });
}

void ResumeAllMedia()
{
    EachManager([](TMediaManager& m) { m.ResumeAll(); });
}

bool MediaFileExists(const std::string& name)
{
    return FileManager && !name.empty() && FileManager->Exists(name);
}

// --- sounds through the mixer -----------------------------------------------------------------

TOggWaveItem::TOggWaveItem(TMediaManager& manager, TWavOut* mixer, TVolumeLaw law, const std::string& name)
    : TDMediaItem(manager), mixer_(mixer), law_(law)
{
    if (!mixer_ || !FileManager) return;
    try {
        buffer_ = mixer_->AddBuffer(OpenSoundDecoder(FileManager->OpenRange(name)));
    } catch (const ERukoError& e) {
        // The scenario goes on with a silent item that has already ended.
        std::fprintf(stderr, "%s\n", Cp932ToUtf8(e.what()).c_str());
    }
}

TOggWaveItem::~TOggWaveItem()
{
    if (buffer_) mixer_->RemoveBuffer(buffer_);
}

bool TOggWaveItem::GetLoop() const
{
    return buffer_ && buffer_->Loop.load();
}

void TOggWaveItem::SetLoop(bool loop)
{
    if (buffer_) buffer_->Loop = loop;
}

int32_t TOggWaveItem::GetLoopStart() const
{
    return buffer_ ? FramesToMs(buffer_->LoopStart.load() / WavBytesPerFrame) : 0;
}

void TOggWaveItem::SetLoopStart(int32_t ms)
{
    if (buffer_) buffer_->LoopStart = WavMsToBytes(std::max(ms, 0));
}

void TOggWaveItem::SetPan(int32_t pan)
{
    pan_ = std::clamp(pan, -10000, 10000);
    int left, right;
    PanScales(pan_, left, right);
    if (buffer_) buffer_->SetPanScales(left, right);
}

void TOggWaveItem::SetVolume(int32_t volume)
{
    volume_ = volume;
    if (buffer_) buffer_->SetVolume(MixerGain(volume, law_));
}

int32_t TOggWaveItem::GetPosition() const
{
    return buffer_ ? FramesToMs(buffer_->GetPlayPos() / WavBytesPerFrame) : 0;
}

void TOggWaveItem::SetPosition(int32_t ms)
{
    endedWhileDisabled_ = false;
    if (buffer_) buffer_->SetReadPos(WavMsToBytes(std::max(ms, 0)));
}

int32_t TOggWaveItem::GetLength() const
{
    return buffer_ ? FramesToMs(buffer_->StreamSize() / WavBytesPerFrame) : 0;
}

bool TOggWaveItem::IsEnd() const
{
    return !buffer_ || endedWhileDisabled_ || buffer_->IsDone();
}

bool TOggWaveItem::IsPlaying() const
{
    return buffer_ && !endedWhileDisabled_ && buffer_->Started() && !buffer_->Paused() && !buffer_->IsDone();
}

void TOggWaveItem::Play()
{
    paused_ = false;
    if (DeferWhileDisabled() || !buffer_) return;
    buffer_->Play();
}

void TOggWaveItem::Pause()
{
    // Paused by its owner: not to be resumed with the others.
    SuspendMark = false;
    paused_ = true;
    if (buffer_) buffer_->Pause();
}

TDMediaItem* TOggManager::Add(const std::string& name)
{
    return Append(std::make_unique<TOggWaveItem>(*this, mixer_, law_, name));
}

TDMediaItem* TWmpManager::Add(const std::string& name)
{
    return Append(std::make_unique<TWmpItem>(*this, mixer_, law_, name));
}

} // namespace ruko
