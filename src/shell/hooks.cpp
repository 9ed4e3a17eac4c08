#include "shell/hooks.h"

#include "shell/componenthooks.h"
#include "shell/enginehooks.h"
#include "shell/mediahooks.h"

namespace ruko {

// The subsystems wire themselves in here as they arrive. Until the project exists, CreateProject
// stays unset and the player shows its diagnostic picture; once it exists, a title without a
// project becomes the error "プロジェクトがありません" inside CreateProject.
void InstallGameHooks(TGameHooks& hooks, TRunObjects& objects)
{
    InstallEngineHooks(hooks, objects);
    InstallComponentHooks(hooks, objects);
    InstallMediaHooks(hooks, objects);
}

} // namespace ruko
