#pragma once
// The display-mode manager: owns the picture everything is drawn into, chooses the full-screen
// mode and hands finished frames to the platform.
#include <cstdint>
#include <vector>

#include "platform/displaymodes.h"
#include "platform/platform.h"
#include "shell/hooks.h"

namespace ruko {

// The off-screen picture: 32-bit 0x00RRGGBB pixels, rows packed.
struct TFrameSurface
{
    std::vector<uint32_t> Pixels;
    int Width = 0;
    int Height = 0;
    TFrameView View() const { return {Pixels.data(), Width, Height, Width * 4}; }
};

// What one Present shows: nothing, the rectangles, or everything; and whether it counts.
struct TPresentPlan
{
    bool Counted = false;
    bool Whole = false;
    std::vector<TRect> Rects;
};

// Full screen presents every frame: the dirty rectangles, or the whole-frame rectangle when set.
// A window presents the whole picture when the zoom is not a multiple of 100, else the non-empty
// dirty rectangles, or the whole-frame rectangle when set; with neither it presents nothing.
TPresentPlan PlanPresent(bool fullScreen, int zoom, const std::vector<TRect>& dirty, const TRect& whole);

class TScreenManager
{
  public:
    TScreenManager(TPlatform& platform, int preferredWidth, int preferredHeight, int screenWidth,
                   int screenHeight);

    TFrameSurface& Surface() { return surface_; }
    int ScreenWidth() const { return surface_.Width; }
    int ScreenHeight() const { return surface_.Height; }

    const std::vector<TDisplayMode>& Modes() const { return modes_; }
    int ModeIndex() const { return modeIndex_; } // -1 when no mode fits
    void SetModeIndex(int index);                // scripts may pick another usable mode
    int Index() const { return index_; }         // -1 windowed, else the full-screen mode in use
    // Switches to mode i (-1 windowed); falls back to windowed when full screen fails.
    void SetIndex(int i);
    bool FullScreen() const { return index_ >= 0; }

    void Present(const TDrawResult& drawn);
    int PresentCount() const { return presentCount_; }

  private:
    TPlatform& platform_;
    TFrameSurface surface_;
    std::vector<TDisplayMode> modes_;
    int modeIndex_ = -1;
    int index_ = -1;
    int presentCount_ = 0;
};

} // namespace ruko
