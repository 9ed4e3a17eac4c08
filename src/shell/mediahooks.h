#pragma once
// Wires the audio output and the mixer into the shell's start-up and teardown.
#include "shell/hooks.h"

namespace ruko {

void InstallMediaHooks(TGameHooks& hooks);

} // namespace ruko
