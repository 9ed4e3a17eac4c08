#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <unistd.h>

#include "platform/platform.h"

namespace ruko {
namespace {

// Counts what it is asked for and fills frame i with (i, -i).
struct TCountingSource final : TAudioSource
{
    int64_t frames = 0;
    int largest = 0;
    void Pull(int16_t* out, int count) override
    {
        for (int i = 0; i < count; ++i) {
            out[2 * i] = static_cast<int16_t>(frames + i);
            out[2 * i + 1] = static_cast<int16_t>(-(frames + i));
        }
        frames += count;
        largest = std::max(largest, count);
    }
};

TEST(HeadlessAudio, WaitPullsTheFramesDueOnTheVirtualClock)
{
    auto platform = CreateHeadlessPlatform({});
    TCountingSource source;
    TAudioOutput& audio = platform->Audio();
    EXPECT_FALSE(audio.Open()); // the sink, never a device
    EXPECT_TRUE(audio.PullsOnMainThread());
    audio.SetSource(&source);
    struct TStep
    {
        int wait;
        int64_t total; // floor(ms × 44.1), cumulative: no drift from rounding each wait
    } steps[] = {{15, 661}, {15, 1323}, {15, 1984}, {0, 1984}, {-5, 1984}, {1000, 46084}, {100000, 4456084}};
    for (const TStep& s : steps) {
        platform->Wait(s.wait);
        EXPECT_EQ(source.frames, s.total) << "after waiting " << s.wait;
        EXPECT_EQ(audio.FramesPulled(), s.total);
    }
    EXPECT_LE(source.largest, AudioMaxPullFrames);
}

TEST(HeadlessAudio, TheCaptureHoldsExactlyWhatWasPulled)
{
    char folder[] = "/tmp/rukoaudioXXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    const std::string path = std::string(folder) + "/out.wav";
    {
        auto platform = CreateHeadlessPlatform({});
        TCountingSource source;
        platform->Audio().SetCapture(path);
        platform->Audio().Open();
        platform->Audio().SetSource(&source);
        platform->Wait(10);
        platform->Audio().SetSource(nullptr); // silence is written too
        platform->Wait(10);
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(wav.size(), 44u + 882 * 4);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(wav[40] | wav[41] << 8, 882 * 4);
    auto sample = [&](size_t frame, int ch) {
        return static_cast<int16_t>(wav[44 + 4 * frame + 2 * ch] | wav[45 + 4 * frame + 2 * ch] << 8);
    };
    EXPECT_EQ(sample(440, 0), 440);
    EXPECT_EQ(sample(440, 1), -440);
    EXPECT_EQ(sample(441, 0), 0);
    std::remove(path.c_str());
    rmdir(folder);
}

} // namespace
} // namespace ruko
