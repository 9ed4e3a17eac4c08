#include "platform/audio.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "base/error.h"
#include "base/text.h"

namespace ruko {

static_assert(std::endian::native == std::endian::little, "WAV samples are written as they lie in memory");

TClockedAudioSink::TClockedAudioSink() = default;
TClockedAudioSink::~TClockedAudioSink() = default;

void TClockedAudioSink::Start(int64_t now)
{
    if (started_) return;
    started_ = true;
    start_ = now;
}

void TClockedAudioSink::Advance(int64_t now)
{
    if (!started_ || now <= start_) return;
    int64_t due = AudioFramesAt(now - start_);
    int16_t block[AudioMaxPullFrames * AudioChannels];
    while (pulled_ < due) {
        int frames = static_cast<int>(std::min<int64_t>(due - pulled_, AudioMaxPullFrames));
        PullInto(source_, block, frames, capture_.get());
        pulled_ += frames;
    }
}

void TClockedAudioSink::PullInto(TAudioSource* source, int16_t* out, int frames, TWavCapture* capture)
{
    if (source)
        source->Pull(out, frames);
    else
        std::memset(out, 0, sizeof(int16_t) * AudioChannels * frames);
    if (capture) capture->Append(out, frames);
}

void TClockedAudioSink::SetCapture(const std::string& wavPath)
{
    capture_ = wavPath.empty() ? nullptr : std::make_unique<TWavCapture>(wavPath);
}

namespace {

void PutU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

} // namespace

// Written under a temporary name and renamed on Close, so a run that dies never leaves a WAV
// whose header disagrees with its data under the requested name.
TWavCapture::TWavCapture(const std::string& path) : path_(path), temporary_(TemporaryNameBeside(path))
{
    file_ = THostFile::Open(temporary_, O_WRONLY | O_CREAT | O_EXCL);
    if (!file_.IsOpen()) RaiseError(Utf8ToCp932(path + ":ファイルを作成できません"));
    const uint8_t header[44] = {};
    failed_ = !file_.WriteAll(header, sizeof header);
}

TWavCapture::~TWavCapture()
{
    Close();
}

void TWavCapture::Append(const int16_t* frames, int count)
{
    if (!file_.IsOpen() || failed_ || count <= 0) return;
    failed_ = !file_.WriteAll(frames, int64_t{count} * int64_t{sizeof(int16_t)} * AudioChannels);
    frames_ += count;
}

void TWavCapture::Close()
{
    if (!file_.IsOpen()) return;
    const uint32_t dataBytes = static_cast<uint32_t>(std::min<int64_t>(frames_ * 4, UINT32_MAX - 36));
    uint8_t h[44];
    std::memcpy(h, "RIFF", 4);
    PutU32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutU32(h + 16, 16);
    PutU16(h + 20, 1); // PCM
    PutU16(h + 22, AudioChannels);
    PutU32(h + 24, AudioRate);
    PutU32(h + 28, AudioRate * 4);
    PutU16(h + 32, 4);
    PutU16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    PutU32(h + 40, dataBytes);
    bool ok = !failed_ && pwrite(file_.Descriptor(), h, sizeof h, 0) == static_cast<ssize_t>(sizeof h) &&
              file_.Sync();
    ok &= file_.Close();
    if (ok) ok = RenameOver(temporary_, path_);
    if (!ok) {
        std::remove(temporary_.c_str());
        std::fprintf(stderr, "rukoplay: cannot write %s\n", path_.c_str());
    }
}

} // namespace ruko
