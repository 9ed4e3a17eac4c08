#include <gtest/gtest.h>

#include <thread>

#include "media/wavout.h"

namespace ruko {
namespace {

// A decoded stream whose frame i holds (Value(i), -Value(i)), so a test can tell which frames a
// pull mixed.
class TCountingDecoder final : public TSoundDecoder
{
  public:
    explicit TCountingDecoder(int64_t length, int constant = 0) : length_(length), constant_(constant) {}
    static int Value(int64_t frame) { return static_cast<int>(frame % 10000) + 1; }
    std::string FormatName() const override { return "counting"; }
    int SourceRate() const override { return AudioRate; }
    int SourceChannels() const override { return 2; }
    int64_t Length() const override { return length_; }
    int Read(int16_t* out, int frames) override
    {
        int n = static_cast<int>(std::min<int64_t>(frames, length_ - pos_));
        for (int i = 0; i < n; ++i) {
            int v = constant_ ? constant_ : Value(pos_ + i);
            out[2 * i] = static_cast<int16_t>(v);
            out[2 * i + 1] = static_cast<int16_t>(-v);
        }
        pos_ += n;
        return n;
    }
    void Seek(int64_t frame) override { pos_ = std::clamp<int64_t>(frame, 0, length_); }

  private:
    int64_t length_;
    int constant_;
    int64_t pos_ = 0;
};

struct TMixerFixture : ::testing::Test
{
    TWavOut mixer{500};
    std::vector<int16_t> out;

    TWavBuffer* Add(int64_t length, int constant = 0)
    {
        return mixer.AddBuffer(std::make_unique<TCountingDecoder>(length, constant));
    }
    // Left channel of `frames` pulled frames.
    std::vector<int> Pull(int frames)
    {
        out.assign(static_cast<size_t>(frames) * 2, 0);
        mixer.Pull(out.data(), frames);
        std::vector<int> left(static_cast<size_t>(frames));
        for (int i = 0; i < frames; ++i)
            left[static_cast<size_t>(i)] = out[2 * static_cast<size_t>(i)];
        return left;
    }
};

TEST_F(TMixerFixture, OnlyStartedUnpausedUnfinishedBuffersAreMixed)
{
    TWavBuffer* probe = Add(1000); // created, never started: e.g. a probe for the length
    EXPECT_EQ(Pull(10), std::vector<int>(10, 0));
    EXPECT_EQ(probe->GetPlayPos(), 0);

    probe->Play();
    EXPECT_EQ(Pull(3), (std::vector<int>{1, 2, 3}));
    probe->Pause();
    EXPECT_EQ(Pull(3), std::vector<int>(3, 0));
    EXPECT_EQ(probe->GetPlayPos(), 3 * WavBytesPerFrame);
    probe->Play();
    EXPECT_EQ(Pull(2), (std::vector<int>{4, 5}));
}

TEST_F(TMixerFixture, PositionCountsConsumedFramesAndDoneComesWithTheLastOne)
{
    TWavBuffer* b = Add(2500);
    b->Play();
    Pull(2000);
    EXPECT_EQ(b->GetPlayPos(), 2000 * WavBytesPerFrame);
    EXPECT_FALSE(b->IsDone());
    std::vector<int> tail = Pull(1000);
    EXPECT_EQ(tail[499], TCountingDecoder::Value(2499));
    EXPECT_EQ(tail[500], 0);
    EXPECT_TRUE(b->IsDone());
    EXPECT_EQ(b->GetPlayPos(), b->StreamSize());
    EXPECT_EQ(Pull(10), std::vector<int>(10, 0)); // a finished buffer adds nothing
}

TEST_F(TMixerFixture, SumsInThirtyTwoBitsAndClampsOnce)
{
    struct TCase
    {
        int a, b, c, expected;
    } cases[] = {
        {30000, 30000, 0, 32767},
        {-30000, -30000, 0, -32768},
        {30000, 30000, -30000, 30000}, // a 16-bit running sum would have clamped on the way
    };
    for (const TCase& t : cases) {
        TWavOut local(500);
        int16_t frame[2 * 4] = {};
        for (int v : {t.a, t.b, t.c})
            if (v) local.AddBuffer(std::make_unique<TCountingDecoder>(100, v))->Play();
        local.Pull(frame, 4);
        EXPECT_EQ(frame[0], t.expected) << t.a << " " << t.b << " " << t.c;
        EXPECT_EQ(frame[1], std::clamp(-t.a - t.b - t.c, -32768, 32767));
    }
}

TEST_F(TMixerFixture, SteadyVolumeKeepsTheIntegerRule)
{
    struct TCase
    {
        int volume, sample, expected;
    } cases[] = {{128, -3, -2}, {128, 3, 1}, {255, 1001, 1001}, {256, -7, -7}, {0, 3000, 0}, {64, 1000, 250}};
    for (const TCase& t : cases) {
        TWavOut local(500);
        TWavBuffer* b = local.AddBuffer(std::make_unique<TCountingDecoder>(100, t.sample));
        b->SetVolume(t.volume); // before Play: no glide
        b->Play();
        int16_t frame[2] = {};
        local.Pull(frame, 1);
        EXPECT_EQ(frame[0], t.expected) << "volume " << t.volume << " sample " << t.sample;
    }
}

TEST_F(TMixerFixture, AVolumeChangeWhilePlayingGlidesForFiveMilliseconds)
{
    TWavBuffer* b = Add(10000, 10000);
    b->Play();
    Pull(10);
    b->SetVolume(0);
    std::vector<int> left = Pull(400);
    EXPECT_GT(left[0], 9000);
    EXPECT_LE(left[0], 10000);
    EXPECT_GT(left[110], 3000);
    EXPECT_LT(left[110], 7000);
    for (size_t i = 1; i < left.size(); ++i)
        EXPECT_LE(left[i], left[i - 1]);
    EXPECT_EQ(left[AudioRate / 200], 0);
}

TEST_F(TMixerFixture, LoopingGoesOnFromLoopStartInTheSameBlock)
{
    struct TCase
    {
        int64_t loopStart;   // frames
        int64_t firstRepeat; // frame heard after the last one
    } cases[] = {{100, 100}, {0, 0}, {1000, 0}, {5000, 0}, {-5, 0}};
    for (const TCase& t : cases) {
        TWavOut local(500);
        TWavBuffer* b = local.AddBuffer(std::make_unique<TCountingDecoder>(1000));
        b->Loop = true;
        b->LoopStart = t.loopStart * WavBytesPerFrame;
        b->Play();
        std::vector<int16_t> frames(2 * 1500);
        local.Pull(frames.data(), 1500);
        EXPECT_EQ(frames[2 * 999], TCountingDecoder::Value(999));
        EXPECT_EQ(frames[2 * 1000], TCountingDecoder::Value(t.firstRepeat)) << "loop start " << t.loopStart;
        EXPECT_FALSE(b->IsDone());
        EXPECT_EQ(b->GetPlayPos(), (t.firstRepeat + 500) * WavBytesPerFrame);
    }
}

TEST_F(TMixerFixture, ALoopThatYieldsNothingEnds)
{
    TWavBuffer* b = Add(0);
    b->Loop = true;
    b->Play();
    EXPECT_EQ(Pull(100), std::vector<int>(100, 0));
    EXPECT_TRUE(b->IsDone());
}

TEST_F(TMixerFixture, SetReadPosMovesToAWholeFrame)
{
    TWavBuffer* b = Add(100000);
    b->Play();
    Pull(5);
    b->SetReadPos(WavMsToBytes(10) + 2); // inside a frame: down to its start
    EXPECT_EQ(b->GetPlayPos(), 441 * WavBytesPerFrame);
    EXPECT_EQ(Pull(1)[0], TCountingDecoder::Value(441));
    EXPECT_EQ(b->GetPlayPos(), 442 * WavBytesPerFrame);
}

TEST(WavMsToBytes, IsSixtyFourBitAndWholeFrames)
{
    EXPECT_EQ(WavMsToBytes(1), 44 * 4);
    EXPECT_EQ(WavMsToBytes(1000), 176400);
    EXPECT_EQ(WavMsToBytes(100'000'000), int64_t{4'410'000'000} * 4);
}

TEST_F(TMixerFixture, TheLengthFollowsWhatDecodingFinds)
{
    // A decoder that says 100 frames but holds 3000 (a header that misstates its data).
    struct TShortLength final : public TSoundDecoder
    {
        TCountingDecoder inner{3000};
        std::string FormatName() const override { return "short"; }
        int SourceRate() const override { return AudioRate; }
        int SourceChannels() const override { return 2; }
        int64_t Length() const override { return 100; }
        int Read(int16_t* out, int frames) override { return inner.Read(out, frames); }
        void Seek(int64_t frame) override { inner.Seek(frame); }
    };
    TWavBuffer* b = mixer.AddBuffer(std::make_unique<TShortLength>());
    b->Play();
    Pull(4000);
    EXPECT_TRUE(b->IsDone());
    EXPECT_EQ(b->GetPlayPos(), 3000 * WavBytesPerFrame);
    EXPECT_EQ(b->StreamSize(), 3000 * WavBytesPerFrame);
}

TEST_F(TMixerFixture, PlayAfterTheEndPlaysNothingMoreAndEndsAgain)
{
    TWavBuffer* b = Add(10);
    b->Play();
    Pull(20);
    ASSERT_TRUE(b->IsDone());
    b->Play();
    EXPECT_FALSE(b->IsDone());
    EXPECT_EQ(Pull(5), std::vector<int>(5, 0));
    EXPECT_TRUE(b->IsDone());
    b->SetReadPos(0);
    b->Play();
    EXPECT_EQ(Pull(2), (std::vector<int>{1, 2}));
}

// An output pulling on its own thread, as the SDL device does.
class TThreadOutput final : public TAudioOutput
{
  public:
    bool Open() override { return true; }
    bool IsOpen() const override { return true; }
    bool PullsOnMainThread() const override { return false; }
    void SetSource(TAudioSource* source) override { source_ = source; }
    int64_t FramesPulled() const override { return 0; }
    void SetCapture(const std::string&) override {}
    TAudioSource* source_ = nullptr;
};

TEST(WavOutThreaded, TheDecodingThreadFillsAheadAndARunDryRingStaysUnmoved)
{
    TThreadOutput output;
    TWavOut mixer(100);
    mixer.Open(output);
    ASSERT_EQ(output.source_, &mixer);
    TWavBuffer* b = mixer.AddBuffer(std::make_unique<TCountingDecoder>(100000));
    b->Play();
    int16_t frames[2 * 1024];
    // Until the thread has decoded, pulls are silent and the position stays.
    for (int i = 0; i < 2000 && b->GetPlayPos() == 0; ++i) {
        mixer.Pull(frames, 1024);
        if (b->GetPlayPos() == 0) {
            EXPECT_EQ(frames[0], 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ASSERT_GT(b->GetPlayPos(), 0);
    const int64_t first = b->GetPlayPos() / WavBytesPerFrame - 1024;
    EXPECT_EQ(frames[0], TCountingDecoder::Value(first));
    mixer.Close();
    EXPECT_EQ(output.source_, nullptr);
}

} // namespace
} // namespace ruko
