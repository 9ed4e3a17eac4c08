#pragma once
// The largest screen a title may have: the project refuses more at start-up, saves and the
// component list never go beyond it. Three pictures of this size (the screen and the two base
// windows) stay well within memory.
#include <cstdint>

namespace ruko {

constexpr int32_t MaxScreenSize = 4096;

} // namespace ruko
