#pragma once
// Wires the audio output, the mixer and the MIDI player into the shell's start-up and teardown.
#include "shell/hooks.h"

namespace ruko {

// The mixer and the MIDI player live in the run's objects, from InitializeSound and
// InitializeMedia until FinalizeMedia.
void InstallMediaHooks(TGameHooks& hooks, TRunObjects& objects);

} // namespace ruko
