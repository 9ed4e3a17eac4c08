#include "shell/framepacer.h"

#include <gtest/gtest.h>

using namespace ruko;

TEST(FramePacer, WakeUpsTableGivesIntervalsAndWaits)
{
    // Each row: the clock at a wake-up, the interval accepted (-1: dropped), then the wait asked
    // for when the frame took `work` ms: the next wake-up is 15 ms after this one.
    const struct
    {
        int64_t now;
        int interval;
        int work;
        int wait;
    } rows[] = {
        {15, 15, 0, 15},   // steady 15 ms frames
        {30, 15, 5, 10},   // a frame of 5 ms shortens the wait
        {45, 15, 20, 1},   // a frame longer than the period still waits 1 ms
        {66, 21, 0, 15},   // a late wake-up does not make the next one early: no 1 ms frames
        {365, 299, 2, 13}, // 299 ms is still accepted
        {665, -1, 0, 1},   // 300 ms is a stall: dropped, then wait 1 ms
        {666, 1, 0, 15},   {2000, -1, 3, 1}, // long stalls too
    };
    TFramePacer pacer;
    pacer.Start(0);
    EXPECT_EQ(pacer.WaitMs(0), 15);
    for (const auto& r : rows) {
        std::optional<int> accepted = pacer.Tick(r.now);
        EXPECT_EQ(accepted.value_or(-1), r.interval) << "at " << r.now;
        EXPECT_EQ(pacer.WaitMs(r.now + r.work), r.wait) << "at " << r.now;
    }
}

TEST(FramePacer, ClockGoingBackwardsIsAStall)
{
    TFramePacer pacer;
    pacer.Start(1000);
    EXPECT_FALSE(pacer.Tick(900).has_value());
    EXPECT_EQ(pacer.Tick(915).value_or(-1), 15);
}
