#include "media/wavout.h"

#include <algorithm>

namespace ruko {
namespace {

// Gain changes glide over about 5 ms, so a volume step makes no click.
constexpr int RampFrames = AudioRate / 200;

int16_t Clamp16(int32_t v)
{
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

} // namespace

TWavBuffer::TWavBuffer(TWavOut& owner, std::unique_ptr<TSoundDecoder> decoder)
    : owner_(owner), decoder_(std::move(decoder)), length_(std::max<int64_t>(decoder_->Length(), 0))
{
    const int ahead = static_cast<int>(AudioFramesAt(owner.delayTime_));
    const int chunks = std::max(ahead / ChunkFrames + 2, AudioMaxPullFrames / ChunkFrames + 2);
    ring_.resize(static_cast<size_t>(chunks));
    for (TChunk& c : ring_)
        c.Frames.resize(ChunkFrames * 2);
    rampDone_ = RampFrames;
}

void TWavBuffer::Restart(int64_t frame)
{
    ++generation_;
    seekTarget_ = playPos_ = std::clamp<int64_t>(frame, 0, length_.load());
    readOffset_ = 0;
    // What the ring holds now belongs to the old position: the consumer side lets it go.
    head_.store(tail_.load(std::memory_order_acquire), std::memory_order_release);
}

void TWavBuffer::Play()
{
    {
        std::lock_guard guard(owner_.lock_);
        started_ = true;
        paused_ = false;
        if (finished_) {
            finished_ = false;
            Restart(playPos_);
        }
    }
    owner_.Wake();
}

void TWavBuffer::Pause()
{
    std::lock_guard guard(owner_.lock_);
    paused_ = true;
}

bool TWavBuffer::IsDone() const
{
    std::lock_guard guard(owner_.lock_);
    return finished_;
}

void TWavBuffer::SetReadPos(int64_t bytes)
{
    {
        std::lock_guard guard(owner_.lock_);
        Restart(bytes / WavBytesPerFrame);
    }
    owner_.Wake();
}

int64_t TWavBuffer::GetPlayPos() const
{
    std::lock_guard guard(owner_.lock_);
    return playPos_ * WavBytesPerFrame;
}

void TWavBuffer::SetVolume(int volume)
{
    std::lock_guard guard(owner_.lock_);
    volume_ = std::clamp(volume, 0, 256);
    // The gain reached so far is where the glide to the new one starts.
    rampDone_ = 0;
    rampFrom_[0] = gain_[0];
    rampFrom_[1] = gain_[1];
    if (!started_ || paused_) rampDone_ = RampFrames;
}

int TWavBuffer::GetVolume() const
{
    std::lock_guard guard(owner_.lock_);
    return volume_;
}

void TWavBuffer::SetPanScales(int left, int right)
{
    std::lock_guard guard(owner_.lock_);
    pan_[0] = std::clamp(left, 0, 256);
    pan_[1] = std::clamp(right, 0, 256);
    rampDone_ = 0;
    rampFrom_[0] = gain_[0];
    rampFrom_[1] = gain_[1];
    if (!started_ || paused_) rampDone_ = RampFrames;
}

bool TWavBuffer::Started() const
{
    std::lock_guard guard(owner_.lock_);
    return started_;
}

bool TWavBuffer::Paused() const
{
    std::lock_guard guard(owner_.lock_);
    return paused_;
}

void TWavBuffer::Fill(int want, bool exact)
{
    std::lock_guard produce(produce_);
    uint32_t generation;
    int64_t target;
    int offset;
    {
        std::lock_guard guard(owner_.lock_);
        if (!IsActive()) return;
        generation = generation_.load();
        target = seekTarget_;
        offset = readOffset_;
    }
    if (generation != producedGeneration_) {
        producedGeneration_ = generation;
        decoder_->Seek(target);
        producePos_ = target;
        produceEnded_ = false;
        progressSinceLoop_ = true;
    }
    const uint64_t capacity = ring_.size();
    for (;;) {
        const uint64_t head = head_.load(std::memory_order_acquire);
        const uint64_t tail = tail_.load(std::memory_order_relaxed);
        if (produceEnded_ || tail - head >= capacity || generation_.load() != generation) return;
        int64_t held = exact ? -offset : 0;
        for (uint64_t i = head; i < tail; ++i) {
            const TChunk& c = ring_[i % capacity];
            if (c.Generation == generation) held += c.Count;
        }
        if (held >= want) return;

        TChunk& chunk = ring_[tail % capacity];
        int n = decoder_->Read(chunk.Frames.data(), ChunkFrames);
        chunk.Start = producePos_;
        chunk.Count = n;
        chunk.Generation = generation;
        chunk.Last = false;
        producePos_ += n;
        if (n > 0) progressSinceLoop_ = true;
        if (producePos_ > length_.load()) length_ = producePos_;
        if (n < ChunkFrames) {
            // Decoding from the start reached the true end: positions and loops go by it.
            length_ = producePos_;
            int64_t loopStart = LoopStart.load() / WavBytesPerFrame;
            if (loopStart < 0 || loopStart >= length_.load()) loopStart = 0;
            if (Loop.load() && progressSinceLoop_) {
                // A loop that yields nothing ends the sound instead of spinning here.
                decoder_->Seek(loopStart);
                producePos_ = loopStart;
                progressSinceLoop_ = false;
            } else {
                chunk.Last = true;
                produceEnded_ = true;
            }
        }
        if (n > 0 || chunk.Last) tail_.store(tail + 1, std::memory_order_release);
    }
}

void TWavBuffer::ApplyGain(const int16_t* in, int32_t* mix, int frames)
{
    const int target[2] = {volume_ * pan_[0] / 256, volume_ * pan_[1] / 256};
    int i = 0;
    for (; i < frames && rampDone_ < RampFrames; ++i, ++rampDone_) {
        for (int ch = 0; ch < 2; ++ch) {
            // Gain in 1/65536 steps along the glide.
            int64_t g = int64_t{rampFrom_[ch]} * 256 +
                        int64_t{target[ch] - rampFrom_[ch]} * 256 * rampDone_ / RampFrames;
            mix[2 * i + ch] += static_cast<int32_t>((int64_t{in[2 * i + ch]} * g) >> 16);
        }
    }
    gain_[0] = target[0];
    gain_[1] = target[1];
    if (i == frames) {
        if (rampDone_ < RampFrames) {
            // Keep where the glide is, in case it is changed again before it ends.
            for (int ch = 0; ch < 2; ++ch)
                gain_[ch] = rampFrom_[ch] + (target[ch] - rampFrom_[ch]) * rampDone_ / RampFrames;
        }
        return;
    }
    for (int ch = 0; ch < 2; ++ch) {
        const int g = target[ch];
        if (g >= 255) {
            for (int k = i; k < frames; ++k)
                mix[2 * k + ch] += in[2 * k + ch];
        } else {
            for (int k = i; k < frames; ++k)
                mix[2 * k + ch] += (in[2 * k + ch] * g) >> 8;
        }
    }
}

void TWavBuffer::MixInto(int32_t* mix, int frames)
{
    const uint64_t capacity = ring_.size();
    int done = 0;
    while (done < frames) {
        const uint64_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return; // ran dry: silent and unmoved
        const TChunk& c = ring_[head % capacity];
        if (c.Generation != generation_.load(std::memory_order_relaxed)) {
            head_.store(head + 1, std::memory_order_release);
            continue;
        }
        const int take = std::min(c.Count - readOffset_, frames - done);
        ApplyGain(c.Frames.data() + 2 * readOffset_, mix + 2 * done, take);
        readOffset_ += take;
        done += take;
        playPos_ = c.Start + readOffset_;
        if (readOffset_ == c.Count) {
            readOffset_ = 0;
            head_.store(head + 1, std::memory_order_release);
            if (c.Last) {
                finished_ = true;
                return;
            }
        }
    }
}

TWavOut::TWavOut(int soundDelayTime)
    : delayTime_(std::clamp(soundDelayTime, 100, 500)), mix_(static_cast<size_t>(AudioMaxPullFrames) * 2)
{
}

TWavOut::~TWavOut()
{
    Close();
}

void TWavOut::Open(TAudioOutput& output)
{
    Close();
    // The decoding thread starts with the first sound: most frames of most titles play none.
    threaded_ = !output.PullsOnMainThread();
    stop_ = false;
    output_ = &output;
    output.SetSource(this);
}

void TWavOut::Close()
{
    if (output_) output_->SetSource(nullptr);
    output_ = nullptr;
    if (decoder_.joinable()) {
        {
            std::lock_guard guard(wakeLock_);
            stop_ = true;
        }
        wake_.notify_all();
        decoder_.join();
    }
    threaded_ = false;
}

TWavBuffer* TWavOut::AddBuffer(std::unique_ptr<TSoundDecoder> decoder)
{
    auto buffer = std::make_shared<TWavBuffer>(*this, std::move(decoder));
    if (threaded_ && !decoder_.joinable()) decoder_ = std::thread([this] { DecodeLoop(); });
    std::lock_guard guard(lock_);
    buffers_.push_back(buffer);
    return buffer.get();
}

void TWavOut::RemoveBuffer(TWavBuffer* buffer)
{
    std::shared_ptr<TWavBuffer> gone;
    {
        std::lock_guard guard(lock_);
        auto it = std::find_if(buffers_.begin(), buffers_.end(), [&](auto& b) { return b.get() == buffer; });
        if (it == buffers_.end()) return;
        gone = std::move(*it);
        buffers_.erase(it);
    }
    // The decoding thread may still be filling it: it goes when the last holder lets go.
}

void TWavOut::AddSynth(TMixSynth* synth)
{
    std::lock_guard guard(lock_);
    synths_.push_back(synth);
}

void TWavOut::RemoveSynth(TMixSynth* synth)
{
    std::lock_guard guard(lock_);
    std::erase(synths_, synth);
}

void TWavOut::Pull(int16_t* out, int frames)
{
    frames = std::clamp(frames, 0, AudioMaxPullFrames);
    // An output whose device went away pulls on the main thread from then on, in larger steps
    // than the decoding thread keeps ahead of. A thread still filling is harmless: Fill takes
    // each buffer's producer lock.
    if (!threaded_ || (output_ && output_->PullsOnMainThread())) {
        // On the main thread: decode what this pull needs first, outside the lock.
        {
            std::lock_guard guard(lock_);
            filling_.clear();
            for (auto& b : buffers_)
                if (b->IsActive()) filling_.push_back(b);
        }
        for (auto& b : filling_)
            b->Fill(frames, true);
        filling_.clear();
    }
    std::lock_guard guard(lock_);
    std::fill(mix_.begin(), mix_.begin() + 2 * frames, 0);
    for (auto& b : buffers_)
        if (b->IsActive()) b->MixInto(mix_.data(), frames);
    for (TMixSynth* synth : synths_)
        synth->RenderAdd(mix_.data(), frames);
    for (int i = 0; i < 2 * frames; ++i)
        out[i] = Clamp16(mix_[i]);
}

void TWavOut::Wake()
{
    if (!threaded_) return;
    {
        std::lock_guard guard(wakeLock_);
        woken_ = true;
    }
    wake_.notify_all();
}

void TWavOut::DecodeLoop()
{
    const int want = static_cast<int>(AudioFramesAt(delayTime_));
    std::vector<std::shared_ptr<TWavBuffer>> active;
    for (;;) {
        {
            std::unique_lock wait(wakeLock_);
            wake_.wait_for(wait, std::chrono::milliseconds(delayTime_ / 4),
                           [this] { return stop_ || woken_; });
            if (stop_) return;
            woken_ = false;
        }
        active.clear();
        {
            std::lock_guard guard(lock_);
            for (auto& b : buffers_)
                if (b->IsActive()) active.push_back(b);
        }
        for (auto& b : active)
            b->Fill(want, false);
    }
}

} // namespace ruko
