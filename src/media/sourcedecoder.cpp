#include "media/sourcedecoder.h"

#include <algorithm>
#include <cstdint>

#include "base/error.h"
#include "base/text.h"
#include "io/bigstream.h"
#include "platform/audio.h"

namespace ruko {

void RaiseBadSoundData()
{
    RaiseError(Utf8ToCp932("サウンドデータが不正です"));
}

void TSourceDecoder::Init(int rate, int channels, int64_t sourceFrames, AVSampleFormat format,
                          const AVChannelLayout* layout)
{
    if (rate <= 0 || channels <= 0) RaiseBadSoundData();
    rate_ = rate;
    channels_ = channels;
    // A length the header cannot mean counts as unknown; playing finds the real end.
    if (sourceFrames < 0 || sourceFrames > INT64_MAX / AudioRate) sourceFrames = 0;
    length_ = sourceFrames * AudioRate / rate;
    AVChannelLayout plain{};
    if (!layout) av_channel_layout_default(&plain, channels);
    resampler_ = std::make_unique<TResampler>(format, rate, layout ? *layout : plain);
    av_channel_layout_uninit(&plain);
}

int TSourceDecoder::Read(int16_t* out, int frames)
{
    int done = 0;
    while (done < frames) {
        while (!ended_ && resampler_->Available() < frames - done + std::min<int64_t>(skip_, 1 << 20)) {
            if (!DecodeMore()) {
                resampler_->Flush();
                ended_ = true;
            }
        }
        if (skip_ > 0) skip_ -= resampler_->Drop(static_cast<int>(std::min<int64_t>(skip_, 1 << 20)));
        int got = skip_ > 0 ? 0 : resampler_->Take(out + 2 * done, frames - done);
        done += got;
        if (got == 0 && ended_ && (skip_ == 0 || resampler_->Available() == 0)) break;
    }
    return done;
}

void TSourceDecoder::Seek(int64_t frame)
{
    frame = std::clamp<int64_t>(frame, 0, length_);
    const int64_t source = frame * rate_ / AudioRate;
    resampler_->Reset();
    ended_ = !SeekSource(source);
    skip_ = ended_ ? 0 : frame - source * AudioRate / rate_;
}

} // namespace ruko
