#pragma once
// The toolbar strip above the picture: two push buttons, "終了" and "画面切替", drawn by us in the
// classic grey look the titles were designed around.
#include <cstdint>
#include <vector>

namespace ruko {

enum class TToolbarButton
{
    None = -1,
    Exit = 0,  // "終了"
    Screen = 1 // "画面切替"
};

// The button under a point of the strip (strip coordinates, 0,0 = its top-left corner).
TToolbarButton ToolbarButtonAt(int x, int y);

// Draws the strip, `width` × DockHeight XRGB pixels, with `pressed` drawn sunk. The labels use an
// installed Japanese font found through fontconfig; without one the buttons stay blank.
std::vector<uint32_t> DrawToolbarStrip(int width, TToolbarButton pressed);

} // namespace ruko
