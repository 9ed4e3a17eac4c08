// Every sound that is not Ogg Vorbis: libavformat and libavcodec reading the stream through a
// custom AVIOContext. Only containers of sound and movies are probed, and nothing may open a
// second file or a network resource.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <mutex>
#include <span>

#include "base/error.h"
#include "io/bigstream.h"
#include "media/sourcedecoder.h"

namespace ruko {
namespace {

constexpr int IoBufferSize = 32768;
constexpr const char* Containers =
    "wav,w64,asf,avi,mpeg,mp3,ogg,aiff,au,voc,flac,mov,mp4,m4a,3gp,matroska,webm";

int ReadPacket(void* opaque, uint8_t* buffer, int size)
{
    int64_t got = static_cast<TKwBigStream*>(opaque)->Read(buffer, size);
    return got > 0 ? static_cast<int>(got) : AVERROR_EOF;
}

int64_t SeekStream(void* opaque, int64_t offset, int whence)
{
    auto* stream = static_cast<TKwBigStream*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return stream->GetSize();
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? stream->GetPosition() : stream->GetSize();
    int64_t target = base + offset;
    if (target < 0 || target > stream->GetSize()) return -1;
    stream->SetPosition(target);
    return target;
}

int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

class TFfmpegDecoder final : public TSourceDecoder
{
  public:
    explicit TFfmpegDecoder(std::unique_ptr<TKwBigStream> stream) : stream_(std::move(stream))
    {
        static std::once_flag quiet;
        std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
        auto* buffer = static_cast<uint8_t*>(av_malloc(IoBufferSize));
        if (!buffer) RaiseBadSoundData();
        io_ = avio_alloc_context(buffer, IoBufferSize, 0, stream_.get(), ReadPacket, nullptr, SeekStream);
        if (!io_) {
            av_free(buffer);
            RaiseBadSoundData();
        }
        format_ = avformat_alloc_context();
        if (!format_) RaiseBadSoundData();
        format_->pb = io_;
        format_->flags |= AVFMT_FLAG_CUSTOM_IO;
        format_->io_open = RefuseNestedOpen;
        AVDictionary* options = nullptr;
        av_dict_set(&options, "format_whitelist", Containers, 0);
        av_dict_set(&options, "protocol_whitelist", "", 0);
        int opened = avformat_open_input(&format_, nullptr, nullptr, &options);
        av_dict_free(&options);
        if (opened < 0) {
            format_ = nullptr; // freed by the failed open
            RaiseBadSoundData();
        }
        if (avformat_find_stream_info(format_, nullptr) < 0) RaiseBadSoundData();
        const AVCodec* codec = nullptr;
        streamIndex_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (streamIndex_ < 0 || !codec) RaiseBadSoundData();
        AVStream* audio = format_->streams[streamIndex_];
        codec_ = avcodec_alloc_context3(codec);
        if (!codec_ || avcodec_parameters_to_context(codec_, audio->codecpar) < 0) RaiseBadSoundData();
        codec_->thread_count = 1;
        if (avcodec_open2(codec_, codec, nullptr) < 0) RaiseBadSoundData();
        const int rate = codec_->sample_rate, channels = codec_->ch_layout.nb_channels;
        if (rate <= 0 || rate > 384000 || channels <= 0 || channels > 8) RaiseBadSoundData();
        for (AVStream* s : std::span(format_->streams, format_->nb_streams))
            if (s != audio) s->discard = AVDISCARD_ALL;
        timeBase_ = audio->time_base;
        int64_t frames = 0;
        if (audio->duration != AV_NOPTS_VALUE && audio->duration > 0)
            frames = av_rescale_q(audio->duration, timeBase_, AVRational{1, rate});
        else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
            frames = av_rescale(format_->duration, rate, AV_TIME_BASE);
        packet_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        if (!packet_ || !frame_) RaiseBadSoundData();
        name_ = std::string(format_->iformat->name) + " " + codec->name;
        const bool isWav = std::string_view(format_->iformat->name) == "wav";
        if (isWav) name_ = std::string("WAV ") + codec->name;
        // WAV stamps compressed blocks from its header's byte rate, which encoders round: such
        // sounds seek by decoding from the start, which is cheap for the codecs WAV holds.
        const bool pcm = codec->id >= AV_CODEC_ID_PCM_S16LE && codec->id < AV_CODEC_ID_ADPCM_IMA_QT;
        seekByCounting_ = isWav && !pcm;
        // The codec's own layout when it names one, else the usual layout for the channel count.
        sampleFormat_ = codec_->sample_fmt;
        Init(rate, channels, frames, codec_->sample_fmt,
             codec_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ? nullptr : &codec_->ch_layout);
        // The first frame fixes where frame times count from, before any seek needs it.
        DecodeMore();
    }

    std::string FormatName() const override { return name_; }

  protected:
    bool DecodeMore() override
    {
        for (int attempts = 0; attempts < 4096; ++attempts) {
            int received = avcodec_receive_frame(codec_, frame_);
            if (received == 0) {
                // A stream that changes its format part-way (joined files) ends there rather than
                // being read with the first part's layout.
                if (frame_->format != sampleFormat_ || frame_->ch_layout.nb_channels != SourceChannels() ||
                    frame_->sample_rate != SourceRate()) {
                    av_frame_unref(frame_);
                    return false;
                }
                bool pushed = PushFrame();
                av_frame_unref(frame_);
                if (pushed) return true;
                continue;
            }
            if (received == AVERROR_EOF || draining_) return false;
            if (received != AVERROR(EAGAIN)) return false;
            int read = av_read_frame(format_, packet_);
            if (read < 0) {
                draining_ = true;
                avcodec_send_packet(codec_, nullptr);
                continue;
            }
            if (packet_->stream_index == streamIndex_) {
                // A damaged packet is dropped; the next one may decode again.
                avcodec_send_packet(codec_, packet_);
            }
            av_packet_unref(packet_);
        }
        return false;
    }

    bool SeekSource(int64_t sourceFrame) override
    {
        const int64_t wanted = sourceFrame;
        const int rate = SourceRate();
        if (seekByCounting_) sourceFrame = 0;
        int64_t ts = av_rescale_q(sourceFrame, AVRational{1, rate}, timeBase_);
        if (av_seek_frame(format_, streamIndex_, ts, AVSEEK_FLAG_BACKWARD) < 0 &&
            av_seek_frame(format_, streamIndex_, 0, AVSEEK_FLAG_BACKWARD) < 0)
            return false;
        avcodec_flush_buffers(codec_);
        draining_ = false;
        next_ = sourceFrame == 0 ? 0 : -1;
        counting_ = sourceFrame == 0;
        target_ = seekByCounting_ ? wanted : sourceFrame;
        return true;
    }

  private:
    // Pushes the part of the decoded frame at or after the seek target; false when it is all before.
    // Frame times count from the first frame the decoder gave (codecs with a delay stamp it later
    // than 0); where a container stamps only some packets, frames are counted from the start.
    bool PushFrame()
    {
        const int rate = SourceRate();
        int64_t stamp = AV_NOPTS_VALUE;
        if (frame_->best_effort_timestamp != AV_NOPTS_VALUE)
            stamp = av_rescale_q(frame_->best_effort_timestamp, timeBase_, AVRational{1, rate});
        if (!originKnown_) {
            origin_ = stamp != AV_NOPTS_VALUE ? stamp : 0;
            originKnown_ = true;
        }
        int64_t first = next_;
        if (!counting_ && stamp != AV_NOPTS_VALUE) first = stamp - origin_;
        if (first < 0 && target_ >= 0 && !counting_) {
            // After a seek without a stamp to go by: decode from the start and count.
            if (av_seek_frame(format_, streamIndex_, 0, AVSEEK_FLAG_BACKWARD) < 0) return false;
            avcodec_flush_buffers(codec_);
            counting_ = true;
            next_ = 0;
            return false;
        }
        first = std::max<int64_t>(first, 0);
        const int count = frame_->nb_samples;
        next_ = first + count;
        int64_t skip = std::clamp<int64_t>(target_ - first, 0, count);
        if (skip == count) return false;
        target_ = -1;
        const uint8_t* planes[8];
        const int bytes = av_get_bytes_per_sample(static_cast<AVSampleFormat>(frame_->format));
        const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame_->format));
        const int channels = SourceChannels();
        for (int p = 0; p < (planar ? channels : 1); ++p)
            planes[p] = frame_->extended_data[p] + skip * bytes * (planar ? 1 : channels);
        Resampler().Push(planes, static_cast<int>(count - skip));
        return true;
    }

    // Freed even when the constructor throws half-way.
    struct THandles
    {
        AVIOContext* Io = nullptr;
        AVFormatContext* Format = nullptr;
        AVCodecContext* Codec = nullptr;
        AVPacket* Packet = nullptr;
        AVFrame* Frame = nullptr;
        ~THandles()
        {
            av_frame_free(&Frame);
            av_packet_free(&Packet);
            avcodec_free_context(&Codec);
            avformat_close_input(&Format);
            if (Io) av_freep(&Io->buffer);
            avio_context_free(&Io);
        }
    };

    std::unique_ptr<TKwBigStream> stream_;
    THandles av_;
    AVIOContext*& io_ = av_.Io;
    AVFormatContext*& format_ = av_.Format;
    AVCodecContext*& codec_ = av_.Codec;
    AVPacket*& packet_ = av_.Packet;
    AVFrame*& frame_ = av_.Frame;
    int streamIndex_ = -1;
    AVRational timeBase_{1, 1};
    bool draining_ = false;
    int sampleFormat_ = AV_SAMPLE_FMT_NONE; // what the resampler was set up for
    int64_t target_ = -1;                   // native frame the next pushed frames start at, after a seek
    int64_t next_ = 0;     // native frame after the last decoded one, where timestamps are missing
    bool counting_ = true; // frames are counted from the start instead of read from stamps
    bool originKnown_ = false;
    bool seekByCounting_ = false;
    int64_t origin_ = 0;
    std::string name_;
};

} // namespace

std::unique_ptr<TSoundDecoder> OpenFfmpegDecoder(std::unique_ptr<TKwBigStream> stream)
{
    return std::make_unique<TFfmpegDecoder>(std::move(stream));
}

std::unique_ptr<TSoundDecoder> OpenSoundDecoder(std::unique_ptr<TKwBigStream> stream)
{
    if (!stream || stream->GetSize() <= 0) RaiseBadSoundData();
    char magic[4] = {};
    stream->SetPosition(0);
    const bool ogg = stream->Read(magic, 4) == 4 && std::equal(magic, magic + 4, "OggS");
    stream->SetPosition(0);
    if (ogg) return OpenVorbisDecoder(std::move(stream));
    return OpenFfmpegDecoder(std::move(stream));
}

} // namespace ruko
