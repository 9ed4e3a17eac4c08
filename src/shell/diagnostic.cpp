#include "shell/diagnostic.h"

#include <algorithm>

namespace ruko {
namespace {

constexpr uint32_t Bars[] = {0xC0C0C0, 0xC0C000, 0x00C0C0, 0x00C000, 0xC000C0, 0xC00000, 0x0000C0, 0x101010};

} // namespace

TDrawResult TDiagnosticPattern::Draw(TFrameSurface& surface, int32_t gameTime)
{
    const int w = surface.Width, h = surface.Height;
    const int barsBottom = h * 2 / 3, rampBottom = h * 5 / 6;
    auto row = [&](int y) { return surface.Pixels.data() + static_cast<size_t>(y) * w; };
    TDrawResult result;
    if (!drawn_) {
        for (int y = 0; y < rampBottom; ++y) {
            uint32_t* line = row(y);
            for (int x = 0; x < w; ++x) {
                if (y < barsBottom) {
                    line[x] = Bars[static_cast<int64_t>(x) * 8 / w];
                } else {
                    uint32_t level =
                        static_cast<uint32_t>(static_cast<int64_t>(x) * 255 / std::max(w - 1, 1));
                    line[x] = level * 0x010101;
                }
            }
        }
        result.Whole = {0, 0, w, h};
        drawn_ = true;
    } else {
        result.Dirty.push_back({0, rampBottom, w, h});
    }
    // The marker crosses the strip once every 4 seconds; its colour steps every second.
    int size = std::max(1, std::min(h - rampBottom, 16));
    int span = std::max(1, w - size);
    uint32_t time = static_cast<uint32_t>(gameTime); // the game time may wrap after 24 days
    int markerX = static_cast<int>(static_cast<uint64_t>(time) * span / 4000 % span);
    int markerY = rampBottom + (h - rampBottom - size) / 2;
    uint32_t markerColour = Bars[time / 1000 % 7];
    for (int y = rampBottom; y < h; ++y) {
        uint32_t* line = row(y);
        for (int x = 0; x < w; ++x) {
            bool marker = x >= markerX && x < markerX + size && y >= markerY && y < markerY + size;
            line[x] = marker ? markerColour : 0x202020;
        }
    }
    return result;
}

} // namespace ruko
