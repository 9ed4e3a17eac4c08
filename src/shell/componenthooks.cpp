#include "shell/componenthooks.h"

#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/globals.h"
#include "components/frame.h"
#include "components/images.h"
#include "components/mediakinds.h"
#include "engine/objcommands.h"
#include "engine/project.h"
#include "engine/runtime.h"
#include "graphics/bromcache.h"
#include "params/paramcollection.h"
#include "platform/cursorfile.h"
#include "shell/runobjects.h"
#include "shell/screenman.h"

namespace ruko {

namespace {

TPlatform* CursorPlatform = nullptr;

// The pointer follows the cursor file of the component under it, else the title's default
// ("@Cursor"); a file that cannot be read or decoded shows the standard pointer.
void ShowCursorFile(std::string& shown)
{
    std::string wanted = ComponentsCursorName();
    if (wanted.empty() && ParamMan) wanted = ParamMan->Cursor;
    if (!CursorPlatform || wanted == shown) return;
    shown = wanted;
    TCursorImage image;
    bool decoded = false;
    if (!wanted.empty() && FileManager) {
        try {
            decoded = DecodeCursorFile(FileManager->LoadFile(wanted), image);
        } catch (const ERukoError&) {
        }
    }
    CursorPlatform->SetCursorImage(decoded ? &image : nullptr);
}

} // namespace

void InstallComponentHooks(TGameHooks& hooks, TRunObjects& objects)
{
    TRunObjects* run = &objects;
    hooks.InitializeComponents = [run](TStartContext& context) {
        CursorPlatform = &context.Platform;
        RegisterImageKinds();
        run->ShownCursor.clear();
        RegisterMediaComponentKinds();
        if (run->Engine) run->Components = std::make_unique<TComponentList>(run->Engine->Events(), 8, 8);
        TBromFileSource files;
        files.Exists = [](const std::string& name) { return FileManager && FileManager->Exists(name); };
        // The cache asks Exists first, so Load runs only while the file manager is there.
        files.Load = [](const std::string& name) { return FileManager->LoadFile(name); };
        // The identification code is the project's, known once the project is read.
        run->Pictures.Create(std::move(files), 0);
        if (run->Engine)
            run->Engine->Services().ForgetPicture = [](const std::string& name) {
                if (BromMan) BromMan->Forget(name);
            };
    };
    auto createProject = hooks.CreateProject;
    if (createProject)
        hooks.CreateProject = [createProject, run](TStartContext& context) -> std::optional<TProjectInfo> {
            std::optional<TProjectInfo> info = createProject(context);
            if (info) ComponentsSetScreenSize(info->ScreenWidth, info->ScreenHeight);
            if (run->Pictures && run->Engine && run->Engine->Project())
                run->Pictures->IdentCode = run->Engine->Project()->IdentCode;
            return info;
        };
    hooks.TakeInputSnapshot = [run] {
        ComponentsInputStep(FrameDelta);
        if (run->Engine) run->Engine->Services().Input = ComponentsInputFlags();
        ShowCursorFile(run->ShownCursor);
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
    hooks.FinalizeComponents = [run] { run->FreeComponents(); };
}

} // namespace ruko
