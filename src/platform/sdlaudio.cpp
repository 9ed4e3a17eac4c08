#include "platform/sdlaudio.h"

#include <SDL.h>

#include <cstdio>

namespace ruko {

TSdlAudioOutput::TSdlAudioOutput(std::function<int64_t()> clock) : clock_(std::move(clock)) {}

TSdlAudioOutput::~TSdlAudioOutput()
{
    if (device_) {
        SDL_CloseAudioDevice(device_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool TSdlAudioOutput::Open()
{
    if (opened_) return device_ != 0;
    opened_ = true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        SDL_AudioSpec want{};
        want.freq = AudioRate;
        want.format = AUDIO_S16SYS;
        want.channels = AudioChannels;
        want.samples = 1024;
        want.callback = &TSdlAudioOutput::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts to whatever the hardware takes.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (device_ == 0) {
        std::fprintf(stderr, "rukoplay: no audio device (%s); sounds play silently\n", SDL_GetError());
        sink_.SetSource(source_);
        sink_.Start(clock_());
        return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void TSdlAudioOutput::SetSource(TAudioSource* source)
{
    if (device_) SDL_LockAudioDevice(device_);
    source_ = source;
    sink_.SetSource(source);
    if (device_) SDL_UnlockAudioDevice(device_);
}

int64_t TSdlAudioOutput::FramesPulled() const
{
    if (!device_) return devicePulled_ + sink_.FramesPulled();
    SDL_LockAudioDevice(device_);
    int64_t pulled = devicePulled_;
    SDL_UnlockAudioDevice(device_);
    return pulled;
}

void TSdlAudioOutput::SetCapture(const std::string& wavPath)
{
    sink_.SetCapture(wavPath);
}

void TSdlAudioOutput::AdvanceSink()
{
    if (!device_) sink_.Advance(clock_());
}

void TSdlAudioOutput::DeviceRemoved(uint32_t device)
{
    if (device_ == 0 || device != device_) return;
    // Closing waits for a callback under way, which may wait for the source's lock: this thread
    // holds none of the source's locks, so the callback can finish and nothing deadlocks.
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    device_ = 0;
    std::fprintf(stderr, "rukoplay: the audio device was lost; sound goes on silently\n");
    sink_.SetSource(source_);
    sink_.Start(clock_());
}

void TSdlAudioOutput::Callback(void* self, uint8_t* stream, int bytes)
{
    auto& output = *static_cast<TSdlAudioOutput*>(self);
    auto* out = reinterpret_cast<int16_t*>(stream);
    int frames = bytes / (AudioChannels * static_cast<int>(sizeof(int16_t)));
    while (frames > 0) {
        int n = frames < AudioMaxPullFrames ? frames : AudioMaxPullFrames;
        TClockedAudioSink::PullInto(output.source_, out, n, output.sink_.Capture());
        output.devicePulled_ += n;
        out += n * AudioChannels;
        frames -= n;
    }
}

} // namespace ruko
