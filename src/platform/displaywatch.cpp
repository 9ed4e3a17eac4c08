#include "platform/displaywatch.h"

#include <SDL_syswm.h>
#include <dlfcn.h>

namespace ruko {
namespace {

// The window system's libraries are SDL's; they are reached as SDL loaded them, never linked.
void* LoadedSymbol(const char* library, const char* name)
{
    void* handle = dlopen(library, RTLD_LAZY | RTLD_NOLOAD);
    if (!handle) return nullptr;
    void* symbol = dlsym(handle, name);
    dlclose(handle); // SDL still holds the library
    return symbol;
}

void (*OnLost)() = nullptr;

int OnXIoError(Display*)
{
    if (OnLost) OnLost();
    return 0; // not reached: OnLost ends the process
}

#if defined(SDL_VIDEO_DRIVER_WAYLAND)
wl_display* WaylandDisplay = nullptr;
int (*WaylandError)(wl_display*) = nullptr;
#endif

} // namespace

void WatchDisplay(SDL_Window* window, void (*lost)())
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info)) return;
    OnLost = lost;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11) {
        using Handler = int (*)(Display*);
        if (auto set =
                reinterpret_cast<Handler (*)(Handler)>(LoadedSymbol("libX11.so.6", "XSetIOErrorHandler")))
            set(OnXIoError);
    }
#endif
#if defined(SDL_VIDEO_DRIVER_WAYLAND)
    if (info.subsystem == SDL_SYSWM_WAYLAND) {
        WaylandDisplay = info.info.wl.display;
        WaylandError = reinterpret_cast<int (*)(wl_display*)>(
            LoadedSymbol("libwayland-client.so.0", "wl_display_get_error"));
    }
#endif
}

bool DisplayConnectionFailed()
{
#if defined(SDL_VIDEO_DRIVER_WAYLAND)
    return WaylandDisplay && WaylandError && WaylandError(WaylandDisplay) != 0;
#else
    return false;
#endif
}

} // namespace ruko
