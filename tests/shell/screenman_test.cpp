#include "shell/screenman.h"

#include <gtest/gtest.h>

using namespace ruko;

TEST(PresentPlan, RulesForWindowAndFullScreen)
{
    const TRect none{}, whole{0, 0, 640, 480}, a{1, 2, 3, 4}, empty{5, 5, 5, 9};
    const struct
    {
        const char* name;
        bool full;
        int zoom;
        std::vector<TRect> dirty;
        TRect w;
        bool counted, all;
        size_t rects;
    } cases[] = {
        {"window, nothing changed", false, 100, {}, none, false, false, 0},
        {"window, dirty rectangles without empty ones", false, 100, {a, empty, a}, none, true, false, 2},
        {"window, whole-frame rectangle wins", false, 100, {a}, whole, true, false, 1},
        {"window, zoom 200 still by rectangles", false, 200, {a}, none, true, false, 1},
        {"window, zoom 150 shows everything", false, 150, {}, none, true, true, 0},
        {"full screen counts every frame", true, 100, {}, none, true, false, 0},
        {"full screen, rectangles as they are", true, 100, {a, empty}, none, true, false, 2},
        {"full screen, whole-frame rectangle", true, 150, {a}, whole, true, false, 1},
    };
    for (const auto& c : cases) {
        TPresentPlan plan = PlanPresent(c.full, c.zoom, c.dirty, c.w);
        EXPECT_EQ(plan.Counted, c.counted) << c.name;
        EXPECT_EQ(plan.Whole, c.all) << c.name;
        EXPECT_EQ(plan.Rects.size(), c.rects) << c.name;
    }
}

TEST(ScreenManager, ChoosesAModeAndCountsPresents)
{
    auto platform = CreateHeadlessPlatform({});
    TScreenManager screen(*platform, 1024, 768, 800, 600);
    ASSERT_GE(screen.ModeIndex(), 0);
    EXPECT_EQ(screen.Modes()[screen.ModeIndex()], (TDisplayMode{1024, 768, 32, 60}));
    EXPECT_EQ(screen.Index(), -1);
    screen.Present({});
    EXPECT_EQ(screen.PresentCount(), 0);
    screen.SetIndex(screen.ModeIndex());
    EXPECT_TRUE(screen.FullScreen());
    screen.Present({});
    EXPECT_EQ(screen.PresentCount(), 1);
}

TEST(ScreenManager, PictureLargerThanEveryModeLeavesNoFullScreen)
{
    auto platform = CreateHeadlessPlatform({});
    TScreenManager screen(*platform, 0, 0, 4000, 3000);
    EXPECT_EQ(screen.ModeIndex(), -1);
    EXPECT_TRUE(screen.Modes().empty());
    screen.SetIndex(0);
    EXPECT_EQ(screen.Index(), -1);
}
