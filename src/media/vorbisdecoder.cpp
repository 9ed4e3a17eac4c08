// Ogg Vorbis through libvorbisfile, reading the stream through ov_open_callbacks.
#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <cstring>

#include "base/error.h"
#include "io/bigstream.h"
#include "media/decoder.h"
#include "media/resampler.h"
#include "media/sourcedecoder.h"

namespace ruko {
namespace {

size_t ReadCallback(void* buffer, size_t size, size_t count, void* source)
{
    auto* stream = static_cast<TKwBigStream*>(source);
    if (size == 0) return 0;
    int64_t got = stream->Read(buffer, static_cast<int64_t>(size * count));
    return got > 0 ? static_cast<size_t>(got) / size : 0;
}

int SeekCallback(void* source, ogg_int64_t offset, int whence)
{
    auto* stream = static_cast<TKwBigStream*>(source);
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? stream->GetPosition() : stream->GetSize();
    int64_t target = base + offset;
    if (target < 0 || target > stream->GetSize()) return -1;
    stream->SetPosition(target);
    return 0;
}

long TellCallback(void* source)
{
    return static_cast<long>(static_cast<TKwBigStream*>(source)->GetPosition());
}

class TVorbisDecoder final : public TSourceDecoder
{
  public:
    explicit TVorbisDecoder(std::unique_ptr<TKwBigStream> stream) : stream_(std::move(stream))
    {
        ov_callbacks callbacks{ReadCallback, SeekCallback, nullptr, TellCallback};
        if (ov_open_callbacks(stream_.get(), &vorbis_.File, nullptr, 0, callbacks) != 0) RaiseBadSoundData();
        vorbis_.Open = true;
        const vorbis_info* info = ov_info(&file_, -1);
        if (!info || info->channels <= 0 || info->channels > 8 || info->rate <= 0 || info->rate > 384000)
            RaiseBadSoundData();
        ogg_int64_t total = ov_pcm_total(&file_, -1);
        Init(static_cast<int>(info->rate), info->channels, total > 0 ? total : 0, AV_SAMPLE_FMT_S16);
    }

    std::string FormatName() const override { return "Ogg Vorbis"; }

  protected:
    // One packet's worth of interleaved s16 source frames; false at the end or on damage.
    bool DecodeMore() override
    {
        char bytes[4096 * 2];
        for (int attempts = 0; attempts < 64; ++attempts) {
            int link = 0;
            long got = ov_read(&file_, bytes, sizeof bytes, 0, 2, 1, &link);
            if (got == OV_HOLE) continue; // a gap in the data: go on after it
            if (got <= 0) return false;
            // A chained stream that changes its format ends here rather than playing garbled.
            const vorbis_info* info = ov_info(&file_, link);
            if (!info || info->channels != SourceChannels() || info->rate != SourceRate()) return false;
            const uint8_t* planes[1] = {reinterpret_cast<const uint8_t*>(bytes)};
            Resampler().Push(planes, static_cast<int>(got / (2 * SourceChannels())));
            return true;
        }
        return false;
    }
    bool SeekSource(int64_t sourceFrame) override { return ov_pcm_seek(&file_, sourceFrame) == 0; }

  private:
    std::unique_ptr<TKwBigStream> stream_;
    // Cleared even when the constructor throws after opening.
    struct TOpenFile
    {
        OggVorbis_File File{};
        bool Open = false;
        ~TOpenFile()
        {
            if (Open) ov_clear(&File);
        }
    } vorbis_;
    OggVorbis_File& file_ = vorbis_.File;
};

} // namespace

std::unique_ptr<TSoundDecoder> OpenVorbisDecoder(std::unique_ptr<TKwBigStream> stream)
{
    return std::make_unique<TVorbisDecoder>(std::move(stream));
}

} // namespace ruko
