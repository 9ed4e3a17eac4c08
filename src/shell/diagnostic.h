#pragma once
// The picture shown while there is no project: colour bars, a grey ramp and a marker that moves
// with the game time, so frames differ over time and every pixel is a known function of it.
#include <cstdint>

#include "shell/hooks.h"
#include "shell/screenman.h"

namespace ruko {

class TDiagnosticPattern
{
  public:
    // Draws the frame for `gameTime`; the first call draws (and reports) everything, later calls
    // only the marker strip.
    TDrawResult Draw(TFrameSurface& surface, int32_t gameTime);

  private:
    bool drawn_ = false;
};

} // namespace ruko
