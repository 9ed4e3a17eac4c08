#include "shell/player.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/globals.h"
#include "platform/hostenv.h"
#include "shell/framepng.h"

using namespace ruko;

namespace {

int Play(std::vector<std::string> args)
{
    TerminateRequested = false;
    GameTime = FrameDelta = LastTick = FrameCount = 0;
    args.insert(args.begin(), "rukoplay");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    return RunPlayer(static_cast<int>(argv.size()), argv.data());
}

struct TPicture
{
    std::vector<uint32_t> Pixels;
    int Width = 0, Height = 0;
    uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

TPicture Load(const std::string& path)
{
    TPicture p;
    EXPECT_TRUE(ReadFramePng(path, p.Pixels, p.Width, p.Height)) << path;
    return p;
}

} // namespace

// The snapshot written by a headless run is the frame of the requested game time, in the
// right colours: bars above a grey ramp, and a marker that crosses the bottom strip in 4 s and
// changes colour every second.
TEST(PlayerRun, TestPatternSnapshotsShowTheFrameOfTheirTime)
{
    TTempFolder folder;
    std::string at = folder.Path() + "at.png", last = folder.Path() + "last.png";
    ASSERT_EQ(Play({"--headless", "--test-pattern", "--until", "2000", "--snapshot-at", "1000:" + at,
                    "--snapshot", last, folder.Path()}),
              0);
    // Frames come every 15 ms: the snapshot at 1000 ms is the frame of 1005 ms, the last 2010 ms.
    const struct
    {
        std::string file;
        int markerX;
        uint32_t markerColour;
    } frames[] = {{at, 1005 * 624 / 4000, 0xC0C000}, {last, 2010 * 624 / 4000, 0x00C0C0}};
    for (const auto& f : frames) {
        TPicture p = Load(f.file);
        ASSERT_EQ(p.Width, 640);
        ASSERT_EQ(p.Height, 480);
        EXPECT_EQ(p.At(0, 0), 0xC0C0C0u);
        EXPECT_EQ(p.At(80, 100), 0xC0C000u); // red and green, no blue: channels in their places
        EXPECT_EQ(p.At(639, 319), 0x101010u);
        EXPECT_EQ(p.At(0, 320), 0x000000u);
        EXPECT_EQ(p.At(639, 399), 0xFFFFFFu);
        EXPECT_EQ(p.At(f.markerX, 432), f.markerColour) << f.file;
        EXPECT_EQ(p.At(f.markerX + 15, 447), f.markerColour) << f.file;
        EXPECT_EQ(p.At(f.markerX - 1, 440), 0x202020u) << f.file;
        EXPECT_EQ(p.At(f.markerX + 16, 440), 0x202020u) << f.file;
    }
}

TEST(PlayerRun, SnapshotTimesTheRunNeverReachesFailTheRun)
{
    TTempFolder folder;
    std::string late = folder.Path() + "late.png";
    testing::internal::CaptureStderr();
    EXPECT_EQ(Play({"--headless", "--test-pattern", "--frames", "3", "--snapshot-at", "5000:" + late,
                    folder.Path()}),
              1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("late.png not written"), std::string::npos);
    EXPECT_FALSE(HostFileExists(late));
}
