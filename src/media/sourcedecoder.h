#pragma once
// What the two decoders share: reading through the resampler and frame-exact seeking, over a
// source that decodes some more native frames at a time and seeks to a native frame.
#include <memory>

#include "media/decoder.h"
#include "media/resampler.h"

namespace ruko {

class TSourceDecoder : public TSoundDecoder
{
  public:
    int SourceRate() const override { return rate_; }
    int SourceChannels() const override { return channels_; }
    int64_t Length() const override { return length_; }
    int Read(int16_t* out, int frames) override;
    void Seek(int64_t frame) override;

  protected:
    // Call once the native format is known; `sourceFrames` is the length in native frames.
    void Init(int rate, int channels, int64_t sourceFrames, AVSampleFormat format,
              const AVChannelLayout* layout = nullptr);
    // Pushes the next native frames into Resampler(); false at the end or where the data is damaged.
    virtual bool DecodeMore() = 0;
    // The next frames pushed start exactly at native frame `sourceFrame`; false when impossible.
    virtual bool SeekSource(int64_t sourceFrame) = 0;
    TResampler& Resampler() { return *resampler_; }

  private:
    std::unique_ptr<TResampler> resampler_;
    int rate_ = 0;
    int channels_ = 0;
    int64_t length_ = 0;
    bool ended_ = false;
    int64_t skip_ = 0; // output frames to drop after a seek
};

std::unique_ptr<TSoundDecoder> OpenVorbisDecoder(std::unique_ptr<TKwBigStream> stream);
std::unique_ptr<TSoundDecoder> OpenFfmpegDecoder(std::unique_ptr<TKwBigStream> stream);

} // namespace ruko
