#pragma once
// Wires the component list into the shell's start-up, frame, input and teardown hooks.
#include "shell/hooks.h"

namespace ruko {

// Call after InstallEngineHooks: it wraps the project creation to size the screen.
void InstallComponentHooks(TGameHooks& hooks, TRunObjects& objects);

} // namespace ruko
