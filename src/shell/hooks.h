#pragma once
// Where the subsystems plug into start-up, the frame and teardown. The shell calls each hook that
// is set, in the order written here; an unset hook is skipped. InstallGameHooks (hooks.cpp) is the
// one place that wires them.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "shell/options.h"

namespace ruko {

class TTempFolder;
struct TFrameSurface;
struct TRunObjects;

// What the shell needs to know of a running project.
struct TProjectInfo
{
    std::string TitleCp932;
    int ScreenWidth = 640;
    int ScreenHeight = 480;
    bool Toolbar = false;           // show the toolbar strip
    bool PauseWhenInactive = false; // stop the frames while the window has no focus
    int FullScreenWidth = 0;        // the preferred full-screen mode size
    int FullScreenHeight = 0;
};

struct TStartContext
{
    TPlatform& Platform;
    TGameOptions& Options;                // read from "game.ini" during start-up
    std::vector<std::string> Parameters;  // the title's command line (host paths as given)
    std::string BaseFolder;               // host folder of the title, trailing '/'
    std::string ExecutableFolder;         // trailing '/'
    uint32_t Seed = 0;                    // for every random source
    TTempFolder& Temp;                    // this run's private folder for temporary files
    std::string DumpVarsFile{};           // every global variable as JSON at the end (host path)
    std::vector<std::string> FontFiles{}; // --font: host paths of pixel fonts and font files
    std::vector<std::pair<std::string, std::string>> FontAliases{}; // --font-alias (UTF-8)
    std::string SoundFontFile{}; // --soundfont (host path), "" when not given
    std::string SaveDir{};       // --save-dir (host folder), "" for the per-user folder
    // Set by the window: closes it after the current frame; `failed` makes the run end with
    // status 1, as a failed start-up does.
    std::function<void(bool failed)> CloseWindow{};
};

// The result of drawing a frame: the changed rectangles of the active base window, the
// whole-frame rectangle (empty unless everything is to be shown) and the zoom in percent.
struct TDrawResult
{
    std::vector<TRect> Dirty;
    TRect Whole;
    int Zoom = 100;
};

// The window's display as scripts reach it: full screen, the display modes and the mode chosen
// for full screen. The window implements it, so a script and the window's own button switch
// through the same code.
class TDisplayControl
{
  public:
    virtual ~TDisplayControl() = default;
    virtual bool IsFullScreen() const = 0;
    virtual void SetFullScreen(bool full) = 0;
    virtual std::vector<TDisplayMode> DisplayModes() const = 0;
    // The mode chosen for full screen (-1 when none fits); choosing one in full screen applies it.
    virtual int DisplayModeIndex() const = 0;
    virtual void SetDisplayModeIndex(int index) = 0;
};

struct TGameHooks
{
    // Start-up, in this order. An ERukoError from any of them ends the start-up with its message
    // in a warning box; InitializeSound's errors are ignored.
    std::function<void(TStartContext&)> RegisterDataSources; // the file manager's archives and folders
    std::function<void(TStartContext&)> CreateVariableStore; // variables, then built-in functions
    std::function<void(TStartContext&)> InitializeSound;     // the audio device
    std::function<void(TStartContext&)>
        InitializeComponents; // component lists, history formats, read marks, image cache
    // The project; nullopt when there is none (the shell then shows its diagnostic picture).
    std::function<std::optional<TProjectInfo>(TStartContext&)> CreateProject;
    std::function<void(TStartContext&, const TProjectInfo&)> InitializeMedia; // sound library, media managers
    // The display, once the screen manager exists; null again before it goes.
    std::function<void(TDisplayControl*)> ConnectDisplay;

    // One frame, in this order (DoFrame).
    std::function<void()> DeleteWorkFiles;
    std::function<void()> TakeInputSnapshot;
    std::function<void()> StepEngine;
    std::function<void()> UpdateComponents;
    std::function<bool()> ApplyProjectRequests; // a requested load, then save; true when a load was applied
    std::function<TDrawResult(TFrameSurface&)> DrawComponents;
    std::function<void()> UpdateVideo;

    // Input, in picture coordinates; keys are virtual-key numbers 0..255.
    std::function<void(int)> KeyDown;
    std::function<void(int)> KeyUp;
    std::function<void(TMouseButton, int, int)> MouseDown;
    std::function<void(TMouseButton, int, int)> MouseUp;
    std::function<void(int, int)> MouseMove;
    std::function<void(bool)> Wheel; // true: up
    std::function<void()> ReleaseAllInput;

    // Media and display resources around focus changes and display switches.
    std::function<void()> PauseMedia;
    std::function<void()> ResumeMedia;
    std::function<void()> FreeDisplayResources;
    std::function<void()> ReloadDisplayResources;

    // Teardown, in this order.
    std::function<void()> FreeProject;        // runs the exit page and writes the persistent status
    std::function<void()> FreeVariableStore;  // built-in functions, then variables
    std::function<void()> FinalizeComponents; // read marks, history formats, component lists, image cache
    std::function<void()> FinalizeMedia;      // media managers, then the sound library
    std::function<void()> FreeDataSources;    // the file manager, then its work files
    // The file work of an end that cannot tear down (the display was lost): the persistent
    // status and the files the title asked to remove at exit.
    std::function<void()> FinalFileWork;
};

// The hooks create and free the process-wide objects in `objects`, which must outlive them.
void InstallGameHooks(TGameHooks& hooks, TRunObjects& objects);

} // namespace ruko
