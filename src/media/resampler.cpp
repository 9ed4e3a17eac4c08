#include "media/resampler.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libswresample/swresample.h>
}

#include "base/error.h"
#include "media/decoder.h"
#include "platform/audio.h"

namespace ruko {

TResampler::TResampler(AVSampleFormat format, int rate, const AVChannelLayout& layout) : rate_(rate)
{
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    AVChannelLayout input{};
    if (av_channel_layout_copy(&input, &layout) < 0) RaiseBadSoundData();
    const int made = rate > 0 && input.nb_channels > 0
                         ? swr_alloc_set_opts2(&swr_, &stereo, AV_SAMPLE_FMT_S16, AudioRate, &input, format,
                                               rate, 0, nullptr)
                         : -1;
    av_channel_layout_uninit(&input);
    if (made < 0 || swr_init(swr_) < 0) {
        swr_free(&swr_);
        RaiseBadSoundData();
    }
}

TResampler::~TResampler()
{
    swr_free(&swr_);
}

void TResampler::Convert(const uint8_t* const* planes, int frames)
{
    int room = swr_get_out_samples(swr_, frames);
    if (room <= 0) return;
    if (start_ > 0 && start_ * 2 >= queue_.size()) {
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    size_t used = queue_.size();
    queue_.resize(used + static_cast<size_t>(room) * 2);
    uint8_t* out = reinterpret_cast<uint8_t*>(queue_.data() + used);
    int made = swr_convert(swr_, &out, room, const_cast<const uint8_t**>(planes), frames);
    queue_.resize(used + static_cast<size_t>(std::max(made, 0)) * 2);
}

void TResampler::Push(const uint8_t* const* planes, int frames)
{
    if (frames > 0) Convert(planes, frames);
}

void TResampler::Flush()
{
    Convert(nullptr, 0);
}

void TResampler::Reset()
{
    queue_.clear();
    start_ = 0;
    // Closing and initialising again clears the filter's history.
    swr_close(swr_);
    swr_init(swr_);
}

int TResampler::Take(int16_t* out, int frames)
{
    int n = std::min(frames, Available());
    std::memcpy(out, queue_.data() + start_, sizeof(int16_t) * 2 * static_cast<size_t>(n));
    start_ += static_cast<size_t>(n) * 2;
    return n;
}

int TResampler::Drop(int frames)
{
    int n = std::min(frames, Available());
    start_ += static_cast<size_t>(n) * 2;
    return n;
}

} // namespace ruko
