#include "shell/mediahooks.h"

namespace ruko {

void InstallMediaHooks(TGameHooks& hooks)
{
    hooks.InitializeSound = [](TStartContext& context) { context.Platform.Audio().Open(); };
}

} // namespace ruko
