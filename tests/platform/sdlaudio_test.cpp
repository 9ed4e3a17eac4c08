// The SDL audio output losing its device (SDL's dummy drivers): the mixer goes on into the sink
// that follows the platform clock, so sounds still end on time.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "media/wavout.h"
#include "platform/platform.h"
#include "platform/sdlaudio.h"

namespace ruko {
namespace {

// `length` frames of a steady tone.
class TToneDecoder final : public TSoundDecoder
{
  public:
    explicit TToneDecoder(int64_t length) : length_(length) {}
    std::string FormatName() const override { return "tone"; }
    int SourceRate() const override { return AudioRate; }
    int SourceChannels() const override { return 2; }
    int64_t Length() const override { return length_; }
    int Read(int16_t* out, int frames) override
    {
        int n = static_cast<int>(std::min<int64_t>(frames, length_ - pos_));
        std::fill(out, out + 2 * n, int16_t{1000});
        pos_ += n;
        return n;
    }
    void Seek(int64_t frame) override { pos_ = std::clamp<int64_t>(frame, 0, length_); }

  private:
    int64_t length_;
    int64_t pos_ = 0;
};

void PushRemoved(uint32_t device)
{
    SDL_Event e{};
    e.type = SDL_AUDIODEVICEREMOVED;
    e.adevice.which = device;
    e.adevice.iscapture = 0;
    SDL_PushEvent(&e);
}

TEST(SdlAudioLoss, TheMixerGoesOnIntoTheClockedSinkAndSoundsEndOnTime)
{
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::unique_ptr<TPlatform> platform;
    try {
        platform = CreateSdlPlatform(true);
    } catch (const std::exception& e) {
        GTEST_SKIP() << "no SDL video driver: " << e.what();
    }
    auto& output = dynamic_cast<TSdlAudioOutput&>(platform->Audio());
    if (!output.Open()) GTEST_SKIP() << "no SDL dummy audio driver";
    const uint32_t device = output.Device();
    ASSERT_NE(device, 0u);
    EXPECT_FALSE(output.PullsOnMainThread());

    TWavOut mixer(100);
    mixer.Open(output);
    TWavBuffer* sound = mixer.AddBuffer(std::make_unique<TToneDecoder>(AudioFramesAt(700)));
    sound->Play();
    // The device's own thread plays a little of it first.
    for (int i = 0; i < 200 && sound->GetPlayPos() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GT(sound->GetPlayPos(), 0) << "the dummy device never pulled";

    testing::internal::CaptureStderr();
    PushRemoved(device + 1); // another device: ours plays on
    TPlatformEvent event;
    while (platform->PollEvent(event)) {
    }
    EXPECT_EQ(output.Device(), device);
    PushRemoved(device);
    PushRemoved(device); // reported twice: one note
    while (platform->PollEvent(event)) {
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "rukoplay: the audio device was lost; sound goes on silently\n");
    EXPECT_EQ(output.Device(), 0u);
    EXPECT_TRUE(output.PullsOnMainThread());

    // From here only the clock moves the sound: each wait pulls exactly the frames due.
    const int64_t pulledAtLoss = output.FramesPulled();
    const int64_t left = sound->StreamSize() / WavBytesPerFrame - sound->GetPlayPos() / WavBytesPerFrame;
    ASSERT_GT(left, 0) << "the sound ended before the device was lost";
    int64_t waited = 0;
    while (!sound->IsDone() && waited < 1000) {
        platform->Wait(15);
        waited += 15;
        const int64_t pulled = output.FramesPulled() - pulledAtLoss;
        ASSERT_EQ(pulled, AudioFramesAt(waited));
        EXPECT_EQ(sound->IsDone(), pulled >= left) << "after " << waited << " ms";
    }
    EXPECT_TRUE(sound->IsDone());
    mixer.Close();
}

} // namespace
} // namespace ruko
