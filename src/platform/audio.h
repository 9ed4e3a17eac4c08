#pragma once
// The audio output: one stream of 44100 Hz, 16-bit, stereo frames that the machine pulls from a
// source (the mixer). The SDL back end opens one device whose thread pulls about 1024 frames at a
// time; without a device, and always when headless, a sink consumes the frames due on the
// platform clock inside `Wait`, on the main thread, so sounds still end on time.
#include "base/fileio.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace ruko {

constexpr int AudioRate = 44100;
constexpr int AudioChannels = 2;
// No pull asks for more frames than this.
constexpr int AudioMaxPullFrames = 4096;

// Frames due after `ms` milliseconds of output: floor(ms × 44.1).
constexpr int64_t AudioFramesAt(int64_t ms)
{
    return ms * AudioRate / 1000;
}

class TAudioSource
{
  public:
    virtual ~TAudioSource() = default;
    // Writes `frames` interleaved frames (left, right). Called on the device's thread unless the
    // output pulls on the main thread; never for more than AudioMaxPullFrames at once.
    virtual void Pull(int16_t* out, int frames) = 0;
};

class TAudioOutput
{
  public:
    virtual ~TAudioOutput() = default;

    // Starts the output; the first call opens the device (or the sink) and later calls do nothing.
    // False when only the sink could be had.
    virtual bool Open() = 0;
    virtual bool IsOpen() const = 0;
    // True when pulls happen inside Wait on the main thread (the sink), so a source may do all its
    // work there and sound the same on every run.
    virtual bool PullsOnMainThread() const = 0;
    // The source to pull from; null gives silence. Returns once no pull uses the old source.
    virtual void SetSource(TAudioSource* source) = 0;
    // Every frame pulled since Open.
    virtual int64_t FramesPulled() const = 0;
    // Writes every pulled frame to a WAV file as well (set before Open; "" for none). The file is
    // complete once the output is destroyed.
    virtual void SetCapture(const std::string& wavPath) = 0;
};

class TWavCapture;

// The output of a platform without a device: frames are consumed on `Advance` as the clock moves.
// Shared by the headless back end and the SDL back end when no device opens.
class TClockedAudioSink
{
  public:
    TClockedAudioSink();
    ~TClockedAudioSink();
    TClockedAudioSink(const TClockedAudioSink&) = delete;
    TClockedAudioSink& operator=(const TClockedAudioSink&) = delete;

    // Starts counting at clock time `now` (ms); frames before it are never due.
    void Start(int64_t now);
    bool IsStarted() const { return started_; }
    // Pulls every frame due up to `now`: the total is floor((now − start) × 44.1).
    void Advance(int64_t now);
    void SetSource(TAudioSource* source) { source_ = source; }
    int64_t FramesPulled() const { return pulled_; }

    // The pull used by every back end: from the source (silence without one), into the capture.
    static void PullInto(TAudioSource* source, int16_t* out, int frames, TWavCapture* capture);
    void SetCapture(const std::string& wavPath);
    TWavCapture* Capture() { return capture_.get(); }

  private:
    TAudioSource* source_ = nullptr;
    bool started_ = false;
    int64_t start_ = 0;
    int64_t pulled_ = 0;
    std::unique_ptr<TWavCapture> capture_;
};

// A 44.1 kHz s16 stereo WAV file written as frames arrive; the header's sizes are set on Close.
class TWavCapture
{
  public:
    explicit TWavCapture(const std::string& path); // throws ERukoError when it cannot be created
    ~TWavCapture();
    TWavCapture(const TWavCapture&) = delete;
    TWavCapture& operator=(const TWavCapture&) = delete;
    void Append(const int16_t* frames, int count);
    void Close();

  private:
    std::string path_, temporary_;
    THostFile file_;
    bool failed_ = false; // a write went wrong: Close reports it and keeps nothing
    int64_t frames_ = 0;
};

} // namespace ruko
