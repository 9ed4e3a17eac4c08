#pragma once
// The process-wide component list as the frame loop drives it.
#include "base/rect.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ruko {

// Input seen by the system variables, taken from the active base window after each
// input step.
struct TInputFlags
{
    bool LClick = false, RClick = false, LPush = false, RPush = false;
    bool WheelDown = false, WheelUp = false;
    // Windows virtual-key numbers 0..255.
    std::array<bool, 256> KeyPush{}, KeyClick{}, KeyRepeat{};
};

// The input flags of the frame just stepped (all clear while there is no component list).
TInputFlags ComponentsInputFlags();

// The cursor file named by the component last under the pointer ("" for none).
std::string ComponentsCursorName();

// Sizes the screen of `Bases` (the project's screen size).
void ComponentsSetScreenSize(int32_t width, int32_t height);

// The frame's steps on `Bases` (nothing while it does not exist).
void ComponentsInputStep(int32_t frameDeltaMs);
void ComponentsUpdateStep();
// Paints the changed areas and copies them into a 0x00RRGGBB picture of `width` x `height`
// (rows packed). Answers the copied rectangles.
std::vector<TRect> ComponentsDrawInto(uint32_t* pixels, int32_t width, int32_t height);

// Input from the window, in picture coordinates.
void ComponentsMouseDown(bool left, int32_t x, int32_t y);
void ComponentsMouseUp(int32_t x, int32_t y);
void ComponentsMouseMove(int32_t x, int32_t y);
void ComponentsWheel(bool up);
void ComponentsKey(int code, bool down);
void ComponentsReleaseInput();

} // namespace ruko
