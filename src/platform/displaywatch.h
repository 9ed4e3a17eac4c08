#pragma once
// Notices when the window system goes away under the SDL window. Kept apart from the SDL back end
// because the window-system headers it needs define names (None, Status, ...) that clash with ours.
#include <SDL.h>

namespace ruko {

// From now on, a lost X11 connection calls `lost`, which must end the process: Xlib cannot go on.
void WatchDisplay(SDL_Window* window, void (*lost)());
// True when the Wayland connection has failed; SDL reports that only as a quit request.
bool DisplayConnectionFailed();

} // namespace ruko
