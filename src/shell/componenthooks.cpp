#include "shell/componenthooks.h"

#include "base/globals.h"
#include "components/frame.h"
#include "engine/objcommands.h"
#include "engine/runtime.h"
#include "shell/screenman.h"

namespace ruko {

void InstallComponentHooks(TGameHooks& hooks)
{
    hooks.InitializeComponents = [](TStartContext&) {
        if (Engine) CreateComponentList(Engine->Events(), 8, 8);
    };
    auto createProject = hooks.CreateProject;
    if (createProject)
        hooks.CreateProject = [createProject](TStartContext& context) -> std::optional<TProjectInfo> {
            std::optional<TProjectInfo> info = createProject(context);
            if (info) ComponentsSetScreenSize(info->ScreenWidth, info->ScreenHeight);
            return info;
        };
    hooks.TakeInputSnapshot = [] {
        ComponentsInputStep(FrameDelta);
        if (Engine) Engine->Services().Input = ComponentsInputFlags();
    };
    hooks.UpdateComponents = [] { ComponentsUpdateStep(); };
    hooks.DrawComponents = [](TFrameSurface& surface) {
        TDrawResult result;
        result.Dirty = ComponentsDrawInto(surface.Pixels.data(), surface.Width, surface.Height);
        return result;
    };
    hooks.KeyDown = [](int code) { ComponentsKey(code, true); };
    hooks.KeyUp = [](int code) { ComponentsKey(code, false); };
    hooks.MouseDown = [](TMouseButton button, int x, int y) {
        if (button != TMouseButton::Middle) ComponentsMouseDown(button == TMouseButton::Left, x, y);
    };
    hooks.MouseUp = [](TMouseButton, int x, int y) { ComponentsMouseUp(x, y); };
    hooks.MouseMove = [](int x, int y) { ComponentsMouseMove(x, y); };
    hooks.Wheel = [](bool up) { ComponentsWheel(up); };
    hooks.ReleaseAllInput = [] { ComponentsReleaseInput(); };
    hooks.FinalizeComponents = [] { FreeComponentList(); };
}

} // namespace ruko
