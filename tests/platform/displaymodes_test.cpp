#include "platform/displaymodes.h"

#include <gtest/gtest.h>

using namespace ruko;

TEST(DisplayModes, ChoiceRuleOverModeTables)
{
    // The picture is 640x480, the preferred mode 800x600, the desktop 32 bits.
    const struct
    {
        const char* name;
        std::vector<TDisplayMode> offered;
        size_t usable;
        int chosen; // index into the usable modes
    } cases[] = {
        {"nothing fits", {{320, 240, 32, 60}, {640, 480, 8, 60}, {1024, 400, 32, 60}}, 0, -1},
        {"first usable when none preferred",
         {{320, 240, 32, 60}, {1024, 768, 16, 60}, {1280, 1024, 32, 60}},
         2,
         0},
        {"preferred size replaces another size", {{1024, 768, 32, 60}, {800, 600, 16, 75}}, 2, 1},
        {"desktop depth wins among preferred", {{800, 600, 16, 60}, {800, 600, 32, 85}}, 2, 1},
        {"lower refresh wins at desktop depth",
         {{800, 600, 32, 85}, {800, 600, 32, 60}, {800, 600, 32, 75}},
         3,
         1},
        {"equal refresh keeps the first", {{800, 600, 32, 60}, {800, 600, 32, 60}}, 2, 0},
        {"other depth never replaces desktop depth", {{800, 600, 32, 85}, {800, 600, 16, 60}}, 2, 0},
        {"other depth does not replace other depth", {{800, 600, 16, 85}, {800, 600, 24, 60}}, 2, 0},
        {"non-preferred never replaces preferred", {{800, 600, 16, 60}, {1024, 768, 32, 60}}, 2, 0},
        {"exactly the picture size is usable", {{640, 480, 16, 0}}, 1, 0},
    };
    for (const auto& c : cases) {
        TModeChoice choice = ChooseDisplayMode(c.offered, 640, 480, 800, 600, 32);
        EXPECT_EQ(choice.Modes.size(), c.usable) << c.name;
        EXPECT_EQ(choice.ModeIndex, c.chosen) << c.name;
    }
}
