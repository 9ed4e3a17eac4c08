#pragma once
// libswresample from a decoder's native samples to the output's 44100 Hz s16 stereo, with the
// converted frames queued until they are taken.
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

struct SwrContext;

namespace ruko {

class TResampler
{
  public:
    // Throws ERukoError (bad sound data) when the conversion cannot be set up.
    TResampler(AVSampleFormat format, int rate, const AVChannelLayout& layout);
    ~TResampler();
    TResampler(const TResampler&) = delete;
    TResampler& operator=(const TResampler&) = delete;

    // `planes` as libavcodec lays out `frames` frames of the input format.
    void Push(const uint8_t* const* planes, int frames);
    // The end of the input: what the filter still holds comes out.
    void Flush();
    // Forgets all input and queued output (after a seek).
    void Reset();
    int Available() const { return static_cast<int>((queue_.size() - start_) / 2); }
    int Take(int16_t* out, int frames);
    // Drops up to `frames` queued frames; returns how many were dropped.
    int Drop(int frames);
    int Rate() const { return rate_; }

  private:
    void Convert(const uint8_t* const* planes, int frames);

    SwrContext* swr_ = nullptr;
    int rate_;
    std::vector<int16_t> queue_; // interleaved frames; the first start_ samples are taken
    size_t start_ = 0;
};

} // namespace ruko
