#pragma once
// Wires the file manager and the scenario engine into the shell's start-up, frame and teardown
// hooks.
#include "shell/hooks.h"

namespace ruko {

void InstallEngineHooks(TGameHooks& hooks, TRunObjects& objects);

} // namespace ruko
