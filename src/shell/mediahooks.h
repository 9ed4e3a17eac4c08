#pragma once
// Wires the audio output, the mixer and the MIDI player into the shell's start-up and teardown.
#include "shell/hooks.h"

namespace ruko {

class TWavOut;
class TMidiPlayV;

void InstallMediaHooks(TGameHooks& hooks);

// The mixer from InitializeSound and the MIDI player from InitializeMedia until FinalizeMedia;
// null outside that span.
TWavOut* SoundMixer();
TMidiPlayV* MidiPlayer();

} // namespace ruko
