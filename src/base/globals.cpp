#include "base/globals.h"

namespace ruko {

bool TerminateRequested = false;
int32_t GameTime = 0;
int32_t FrameDelta = 0;
int32_t LastTick = 0;
int32_t FrameCount = 0;

} // namespace ruko
