#pragma once
// One interface over every sound format: a source decoded to the output's 44100 Hz, 16-bit,
// stereo frames, with its length and frame-exact seeking. Ogg Vorbis goes through libvorbisfile;
// everything else FFmpeg reads (WAV in any codec, WMA/ASF, the sound of movies) through
// libavformat and libavcodec; libswresample converts every rate and channel layout.
#include <cstdint>
#include <memory>
#include <string>

namespace ruko {

class TKwBigStream;

class TSoundDecoder
{
  public:
    virtual ~TSoundDecoder() = default;
    // A short description for tools: container and codec, e.g. "Ogg Vorbis" or "WAV adpcm_ms".
    virtual std::string FormatName() const = 0;
    virtual int SourceRate() const = 0;
    virtual int SourceChannels() const = 0;
    // Length in output frames; the frames Read delivers from 0 to the end may differ by the
    // resampler's rounding (a few frames).
    virtual int64_t Length() const = 0;
    // Up to `frames` interleaved frames; fewer only at the end of the data or where it is damaged.
    virtual int Read(int16_t* out, int frames) = 0;
    // The next Read starts at output frame `frame` (clamped to 0..Length).
    virtual void Seek(int64_t frame) = 0;
};

// Opens the sound in `stream`, choosing the decoder by content. The stream is read from the
// decoder's own thread afterwards. Throws ERukoError "サウンドデータが不正です" when it holds no
// sound we can decode.
std::unique_ptr<TSoundDecoder> OpenSoundDecoder(std::unique_ptr<TKwBigStream> stream);

// That error: "サウンドデータが不正です".
[[noreturn]] void RaiseBadSoundData();

} // namespace ruko
