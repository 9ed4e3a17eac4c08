#pragma once
// Process-wide run state read across the subsystems. Main thread only.
#include <cstdint>

namespace ruko {

extern bool TerminateRequested; // the run must end
extern int32_t GameTime;        // ms: sum of accepted frame intervals
extern int32_t FrameDelta;      // ms: the last accepted frame interval (0..299)
extern int32_t LastTick;        // ms: clock time of the last accepted tick
extern int32_t FrameCount;      // logic frames run

} // namespace ruko
