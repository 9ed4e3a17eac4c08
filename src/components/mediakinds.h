#pragma once
// The kinds of the media and timing components.

namespace ruko {

// Registers the sound, timer and property-motion kinds (one call at start-up).
void RegisterMediaComponentKinds();

} // namespace ruko
