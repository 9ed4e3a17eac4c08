#pragma once
// The mixer: every playing sound is a TWavBuffer whose decoder fills a ring of output frames
// ahead of the device, and the audio output's pull only mixes what the rings hold (summed in 32
// bits, clamped once). With a device a decoding thread keeps each ring `SoundDelayTime` ms ahead;
// when the output pulls on the main thread (headless, no device, a device lost while playing) the
// pull fills the rings itself, so the sound of a run never varies and sounds end on time.
//
// Positions are bytes of the decoded stream (44100 Hz, 16-bit, stereo: 4 bytes a frame) and
// count the frames the output consumed. A ring that runs dry leaves its sound silent and unmoved.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "media/decoder.h"
#include "platform/audio.h"

namespace ruko {

constexpr int WavBytesPerFrame = 4;

// Milliseconds of decoded sound as bytes, in 64 bits and down to a whole frame (a byte count
// inside a frame would swap the channels).
constexpr int64_t WavMsToBytes(int64_t ms)
{
    return AudioFramesAt(ms) * WavBytesPerFrame;
}

// Something rendered inside the pull itself (the MIDI synthesiser): it adds `frames` frames into
// the 32-bit mix. Called under the mixer's lock.
class TMixSynth
{
  public:
    virtual ~TMixSynth() = default;
    virtual void RenderAdd(int32_t* mix, int frames) = 0;
};

class TWavOut;

class TWavBuffer
{
  public:
    TWavBuffer(TWavOut& owner, std::unique_ptr<TSoundDecoder> decoder);
    TWavBuffer(const TWavBuffer&) = delete;
    TWavBuffer& operator=(const TWavBuffer&) = delete;

    // Starts or continues from the play position; a finished buffer plays on from there.
    void Play();
    void Pause();
    // The last frame of the stream was consumed (a looping buffer never gets there).
    bool IsDone() const;
    void SetReadPos(int64_t bytes);
    int64_t GetPlayPos() const;
    // 0..256: below 255 a sample s becomes (s × v) >> 8; 255 and 256 leave it as it is.
    void SetVolume(int volume);
    int GetVolume() const;
    // Per-channel scales 0..256 on top of the volume (256, 256 = centred).
    void SetPanScales(int left, int right);
    bool Started() const;
    bool Paused() const;
    // The decoder's length until decoding finds the true end (a header may misstate it).
    int64_t StreamSize() const { return length_.load() * WavBytesPerFrame; }
    const TSoundDecoder& Decoder() const { return *decoder_; }

    // Read on from LoopStart (bytes) at the end of the stream. A LoopStart at or past the end
    // loops from 0.
    std::atomic<bool> Loop{false};
    std::atomic<int64_t> LoopStart{0};

  private:
    friend class TWavOut;
    struct TChunk
    {
        int64_t Start = 0; // frame of the stream the chunk begins with
        int Count = 0;
        uint32_t Generation = 0;
        bool Last = false; // the stream ends after this chunk
        std::vector<int16_t> Frames;
    };
    static constexpr int ChunkFrames = 1024;

    bool IsActive() const { return started_ && !paused_ && !finished_; }
    void Restart(int64_t frame); // under the lock
    // Producer side: decodes until `want` frames of the current position lie in the ring.
    void Fill(int want, bool exact);
    // Consumer side, under the lock.
    void MixInto(int32_t* mix, int frames);
    void ApplyGain(const int16_t* in, int32_t* mix, int frames);

    TWavOut& owner_;
    std::unique_ptr<TSoundDecoder> decoder_;
    std::atomic<int64_t> length_;
    std::vector<TChunk> ring_;
    std::atomic<uint64_t> head_{0}, tail_{0};

    // Under the owner's lock.
    bool started_ = false, paused_ = false, finished_ = false;
    std::atomic<uint32_t> generation_{1}; // written under the lock; the producer peeks at it
    int64_t seekTarget_ = 0;
    int64_t playPos_ = 0;
    int readOffset_ = 0;
    int volume_ = 256;
    int pan_[2] = {256, 256};
    int gain_[2] = {256, 256};     // the gain reached
    int rampFrom_[2] = {256, 256}; // the gain a ramp started at
    int rampDone_ = 0;             // frames of the ramp mixed; RampFrames when none runs

    // Producer state: one producer at a time.
    std::mutex produce_;
    uint32_t producedGeneration_ = 0;
    int64_t producePos_ = 0;
    bool produceEnded_ = false;
    bool progressSinceLoop_ = false;
};

class TWavOut final : public TAudioSource
{
  public:
    // `soundDelayTime` is how far ahead (ms) the decoding thread keeps every ring.
    explicit TWavOut(int soundDelayTime = 500);
    ~TWavOut() override;
    TWavOut(const TWavOut&) = delete;
    TWavOut& operator=(const TWavOut&) = delete;

    // Becomes `output`'s source; with a device that pulls on its own thread a decoding thread starts.
    void Open(TAudioOutput& output);
    // Leaves the output (silence) and stops the decoding thread.
    void Close();

    TWavBuffer* AddBuffer(std::unique_ptr<TSoundDecoder> decoder);
    void RemoveBuffer(TWavBuffer* buffer);
    void AddSynth(TMixSynth* synth);
    void RemoveSynth(TMixSynth* synth);

    void Pull(int16_t* out, int frames) override;
    int SoundDelayTime() const { return delayTime_; }

  private:
    friend class TWavBuffer;
    void DecodeLoop();
    void Wake();

    const int delayTime_;
    mutable std::mutex lock_;
    std::vector<std::shared_ptr<TWavBuffer>> buffers_;
    std::vector<TMixSynth*> synths_;
    std::vector<int32_t> mix_;
    std::vector<std::shared_ptr<TWavBuffer>> filling_; // the pull's own list when it decodes

    TAudioOutput* output_ = nullptr;
    bool threaded_ = false;
    std::thread decoder_;
    std::mutex wakeLock_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool woken_ = false;
};

} // namespace ruko
