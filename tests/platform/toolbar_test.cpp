#include "platform/toolbar.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

using namespace ruko;

TEST(Toolbar, ButtonsSitSideBySideBelowATwoPixelMargin)
{
    const struct
    {
        int x, y;
        TToolbarButton button;
    } cases[] = {
        {0, 2, TToolbarButton::Exit},      {66, 19, TToolbarButton::Exit},  {67, 2, TToolbarButton::Screen},
        {133, 19, TToolbarButton::Screen}, {134, 10, TToolbarButton::None}, {10, 1, TToolbarButton::None},
        {10, 20, TToolbarButton::None},    {-1, 10, TToolbarButton::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToolbarButtonAt(c.x, c.y), c.button) << c.x << "," << c.y;
}

TEST(Toolbar, StripIsDockHighAndShowsThePressedButtonSunk)
{
    std::vector<uint32_t> up = DrawToolbarStrip(200, TToolbarButton::None);
    std::vector<uint32_t> down = DrawToolbarStrip(200, TToolbarButton::Exit);
    ASSERT_EQ(up.size(), 200u * DockHeight);
    EXPECT_NE(up, down);
    // Only the pressed button changes.
    for (int y = 0; y < DockHeight; ++y)
        for (int x = ToolbarButtonWidth; x < 200; ++x)
            ASSERT_EQ(up[y * 200 + x], down[y * 200 + x]);
}
