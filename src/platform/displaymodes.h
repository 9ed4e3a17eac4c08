#pragma once
// Which display modes can show the picture in full screen, and which of them to use.
#include <vector>

#include "platform/platform.h"

namespace ruko {

struct TModeChoice
{
    std::vector<TDisplayMode> Modes; // the usable modes, in the display's order
    int ModeIndex = -1;              // into Modes; -1 when none is usable
};

// A mode is usable when it is at least the picture size and has at least 16 bits per pixel.
// The first usable mode is taken; a later one replaces it only when it has exactly the preferred
// size and either the chosen one has not, or the new one has the desktop's depth and (the chosen
// one has not, or the new one's refresh rate is strictly lower).
TModeChoice ChooseDisplayMode(const std::vector<TDisplayMode>& offered, int screenWidth, int screenHeight,
                              int preferredWidth, int preferredHeight, int desktopBits);

} // namespace ruko
