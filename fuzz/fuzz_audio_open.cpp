// Sound files: whatever opens must read, seek and loop through the mixer without a fault or a hang.
#include "base/error.h"
#include "io/bigstream.h"
#include "media/decoder.h"
#include "media/wavout.h"

#include <cstdlib>

using namespace ruko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<TSoundDecoder> decoder;
    try {
        decoder = OpenSoundDecoder(TRangeStream::OverBytes(std::vector<uint8_t>(data, data + size)));
    } catch (const ERukoError&) {
        return 0;
    }
    const int64_t length = decoder->Length();
    if (length < 0) std::abort();
    std::vector<int16_t> frames(2 * 4096);
    // A bounded read, two seeks, then a few seconds looping through the mixer.
    for (int i = 0; i < 8 && decoder->Read(frames.data(), 4096) > 0; ++i) {
    }
    decoder->Seek(length / 2);
    decoder->Read(frames.data(), 4096);
    decoder->Seek(length + 100);
    if (decoder->Read(frames.data(), 4096) > 4096) std::abort();
    decoder->Seek(0);

    TWavOut mixer(100);
    TWavBuffer* buffer = mixer.AddBuffer(std::move(decoder));
    buffer->Loop = true;
    buffer->LoopStart = WavMsToBytes(length * 1000 / AudioRate / 2);
    buffer->Play();
    for (int i = 0; i < 16; ++i)
        mixer.Pull(frames.data(), 4096);
    if (buffer->GetPlayPos() < 0 || buffer->GetPlayPos() > buffer->StreamSize()) std::abort();
    mixer.RemoveBuffer(buffer);
    return 0;
}
