#pragma once
// The SDL audio output: one device pulling 44100 Hz s16 stereo in ~1024-frame callbacks, or the
// clocked sink when no device opens.
#include <functional>
#include <memory>

#include "platform/audio.h"

namespace ruko {

// `clock` is the platform's clock in ms; the sink follows it when no device opens. Call
// AdvanceSink from the platform's Wait.
class TSdlAudioOutput final : public TAudioOutput
{
  public:
    explicit TSdlAudioOutput(std::function<int64_t()> clock);
    ~TSdlAudioOutput() override;

    bool Open() override;
    bool IsOpen() const override { return device_ != 0 || sink_.IsStarted(); }
    bool PullsOnMainThread() const override { return device_ == 0; }
    void SetSource(TAudioSource* source) override;
    int64_t FramesPulled() const override;
    void SetCapture(const std::string& wavPath) override;

    void AdvanceSink();
    // The device SDL reported removed: ours goes over to the sink, which carries on from the
    // clock's present time. Call on the main thread, outside any lock the source takes.
    void DeviceRemoved(uint32_t device);
    uint32_t Device() const { return device_; }

  private:
    static void Callback(void* self, uint8_t* stream, int bytes);

    std::function<int64_t()> clock_;
    TClockedAudioSink sink_; // also holds the capture file for both paths
    uint32_t device_ = 0;
    bool opened_ = false;
    TAudioSource* source_ = nullptr;
    // Written by the device thread under SDL's device lock; kept, and added to the sink's count,
    // once the device is gone.
    int64_t devicePulled_ = 0;
};

} // namespace ruko
