#pragma once
// The one door to the machine. Everything above src/platform/ reaches the window, the clock, the
// input devices and the host's folders through TPlatform; only the SDL back end includes SDL.
//
// Two back ends exist: the SDL window (CreateSdlPlatform) and the headless runner
// (CreateHeadlessPlatform), which has no window, a virtual clock and scripted input. Both are
// driven from the main thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/rect.h"
#include "platform/audio.h"
#include "platform/cursorfile.h"
#include "platform/filedialog.h"
#include "platform/inputscript.h"

namespace ruko {

// A full-screen mode as the display offers it.
struct TDisplayMode
{
    int Width = 0;
    int Height = 0;
    int Bits = 0;    // bits per pixel
    int Refresh = 0; // Hz, 0 when unknown
    bool operator==(const TDisplayMode&) const = default;
};

// A 32-bit frame: each pixel is 0x00RRGGBB in host order. Not owned.
struct TFrameView
{
    const uint32_t* Pixels = nullptr;
    int Width = 0;
    int Height = 0;
    int PitchBytes = 0;
};

// What the window shows around the picture.
struct TWindowSetup
{
    std::string CaptionCp932;
    int ScreenWidth = 640; // the picture size
    int ScreenHeight = 480;
    bool ToolbarVisible = false; // the strip with the buttons "終了" and "画面切替" above the picture
};

// Height of the toolbar strip: the 18-pixel buttons plus 2 pixels above and below.
constexpr int ToolbarButtonWidth = 67;
constexpr int ToolbarButtonHeight = 18;
constexpr int DockHeight = ToolbarButtonHeight + 4;

enum class TEventKind
{
    KeyDown,     // Key: Windows virtual-key number 0..255; auto-repeat already dropped
    KeyUp,       // Key
    MouseMove,   // X, Y in picture coordinates (zoom and letterboxing undone; may lie outside)
    MouseDown,   // Button, X, Y
    MouseUp,     // Button, X, Y
    WheelUp,     //
    WheelDown,   //
    Activate,    // the window gained the input focus
    Deactivate,  // the window lost it
    Quit,        // the user closed the window
    ExitButton,  // toolbar "終了"
    ScreenButton // toolbar "画面切替"
};

enum class TMouseButton
{
    Left,
    Right,
    Middle
};

struct TPlatformEvent
{
    TEventKind Kind = TEventKind::Quit;
    int Key = 0;
    TMouseButton Button = TMouseButton::Left;
    int X = 0;
    int Y = 0;
};

enum class TBoxAnswer
{
    Ok,
    Cancel,
    Yes,
    No
};

class TPlatform
{
  public:
    virtual ~TPlatform() = default;

    virtual bool IsHeadless() const = 0;

    // --- Clock. Milliseconds on a monotonic clock (virtual when headless: it moves only in Wait).
    virtual int64_t Now() = 0;
    // Waits up to `ms` milliseconds; input arriving meanwhile is queued for PollEvent.
    virtual void Wait(int ms) = 0;

    // --- Window. OpenWindow centres the window on the usable desktop area; the client area is the
    // picture plus the toolbar strip when visible. Calling it again resizes and re-centres.
    virtual void OpenWindow(const TWindowSetup& setup) = 0;
    virtual void SetCaption(const std::string& captionCp932) = 0;
    // Shows `frame` scaled by zoomPercent (nearest neighbour); only the `dirty` rectangles of it
    // have changed since the last call (all of it when `dirty` is empty).
    virtual void Present(const TFrameView& frame, const std::vector<TRect>& dirty, int zoomPercent) = 0;
    // Desktop full screen with the picture centred at its own size scaled to fit; false when the
    // display cannot do it (the window stays as it was).
    virtual bool SetFullScreen(bool full) = 0;
    virtual bool IsFullScreen() const = 0;
    // Modes of the display the window is on, in the display's order; empty when unknown.
    virtual std::vector<TDisplayMode> DisplayModes() = 0;
    virtual int DesktopBits() = 0;

    // --- Input.
    virtual bool PollEvent(TPlatformEvent& event) = 0;
    // Pointer position in picture coordinates, and warping it there.
    virtual void GetMouse(int& x, int& y) = 0;
    virtual void WarpMouse(int x, int y) = 0;
    // The pointer shape over the picture: a decoded cursor file, or null for the standard one.
    // Headless runs have no pointer and ignore it.
    virtual void SetCursorImage(const TCursorImage*) {}

    // --- Boxes. Texts are CP932. Headless prints them on stderr and answers from the input
    // script ("answer" lines), else Cancel/No.
    virtual void WarningBox(const std::string& captionCp932, const std::string& textCp932) = 0;
    virtual bool AskYesNo(const std::string& captionCp932, const std::string& textCp932) = 0;
    virtual TBoxAnswer AskOkCancel(const std::string& captionCp932, const std::string& textCp932) = 0;

    // --- Desktop services. Headless does nothing and answers false.
    virtual bool OpenUrl(const std::string& urlUtf8) = 0;
    // A file or folder dialog: the chosen host path (a folder with a trailing '/'), nullopt when
    // cancelled. `filterUtf8` is the title's "Description|*.ext;*.ext|..." list. Headless runs
    // take the answer from the next "choose" line of the input script, else cancel.
    virtual std::optional<std::string> ChooseFile(TFileDialogKind kind, const std::string& filterUtf8) = 0;
    // The window's picture area as it is shown now, as rows of XRGB pixels without padding; false
    // when impossible.
    virtual bool CaptureWindow(std::vector<uint32_t>& pixels, int& width, int& height) = 0;

    // --- Sound. The one audio output; closed until the shell opens it at start-up.
    virtual TAudioOutput& Audio() = 0;

    // --- Losing the display. When the window system goes away, `fileWork` runs once, from inside
    // the call that found it out, and then the process ends with status 1 and one line on stderr;
    // nothing is drawn after. The teardown cannot run: its libraries have lost their connection.
    virtual void OnDisplayLost(std::function<void()> fileWork) { (void)fileWork; }
};

// The SDL window back end. Raises ERukoError when SDL cannot start a video driver.
// With virtualClock the clock behaves as the headless one (time moves only by Wait), so a
// windowed run can be repeated frame for frame.
std::unique_ptr<TPlatform> CreateSdlPlatform(bool virtualClock);

// The headless back end: the virtual clock starts at 0; `input` is the parsed input script.
std::unique_ptr<TPlatform> CreateHeadlessPlatform(TInputScript input);

} // namespace ruko
