// The SDL window back end: one window, one renderer, one streaming texture for the picture and
// one for the toolbar strip. Desktop full screen uses a logical size, so SDL centres and
// letterboxes the picture and maps the mouse back for us.
#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <thread>

#include "base/error.h"
#include "base/text.h"
#include "platform/displaywatch.h"
#include "platform/hostenv.h"
#include "platform/keymap.h"
#include "platform/platform.h"
#include "platform/sdlaudio.h"
#include "platform/toolbar.h"

namespace ruko {
namespace {

class TSdlPlatform;
// The window system's callbacks carry no context; there is one window.
TSdlPlatform* LivePlatform = nullptr;
[[noreturn]] void EndForLostDisplay();

int ModeBits(uint32_t format)
{
    int bits = SDL_BITSPERPIXEL(format);
    // SDL counts the used bits of XRGB formats (24); the display calls them 32-bit modes.
    if (bits == 24 && SDL_BYTESPERPIXEL(format) == 4) return 32;
    return bits;
}

class TSdlPlatform final : public TPlatform
{
  public:
    explicit TSdlPlatform(bool virtualClock) : virtualClock_(virtualClock)
    {
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
        SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
        // The player's own handlers end the run in order (endsignals.h); SDL's would only ask to
        // quit, and only for some signals.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
            RaiseError(std::string("cannot open a window: ") + SDL_GetError());
        SDL_DisableScreenSaver();
        start_ = std::chrono::steady_clock::now();
        audio_ = std::make_unique<TSdlAudioOutput>([this] { return Now(); });
        LivePlatform = this;
    }

    ~TSdlPlatform() override
    {
        audio_.reset();
        if (LivePlatform == this) LivePlatform = nullptr;
        if (pictureTexture_) SDL_DestroyTexture(pictureTexture_);
        if (toolbarTexture_) SDL_DestroyTexture(toolbarTexture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (window_) SDL_DestroyWindow(window_);
        if (cursor_) SDL_FreeCursor(cursor_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    }

    bool IsHeadless() const override { return false; }

    int64_t Now() override
    {
        if (virtualClock_) return virtualNow_;
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                     start_)
            .count();
    }

    void Wait(int ms) override
    {
        ms = std::max(ms, 0);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        if (virtualClock_) virtualNow_ += ms;
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            SDL_Event event;
            if (left.count() <= 0) {
                while (SDL_PollEvent(&event))
                    Translate(event);
                audio_->AdvanceSink();
                return;
            }
            if (SDL_WaitEventTimeout(&event, static_cast<int>(left.count()))) Translate(event);
        }
    }

    void OpenWindow(const TWindowSetup& setup) override
    {
        setup_ = setup;
        setup_.ScreenWidth = std::max(setup_.ScreenWidth, 1);
        setup_.ScreenHeight = std::max(setup_.ScreenHeight, 1);
        std::string caption = Cp932ToUtf8(setup_.CaptionCp932);
        if (!window_) {
            window_ = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                       ClientWidth(), ClientHeight(), SDL_WINDOW_HIDDEN);
            if (!window_) RaiseError(std::string("cannot open a window: ") + SDL_GetError());
            renderer_ = SDL_CreateRenderer(window_, -1, 0);
            if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
            if (!renderer_) RaiseError(std::string("cannot draw into the window: ") + SDL_GetError());
            WatchDisplay(window_, EndForLostDisplay);
        } else {
            SDL_SetWindowTitle(window_, caption.c_str());
        }
        if (fullScreen_) SetFullScreen(false);
        SDL_SetWindowSize(window_, ClientWidth(), ClientHeight());
        Centre();
        MakeTextures();
        SDL_ShowWindow(window_);
        SDL_RaiseWindow(window_);
        Render(true);
    }

    void SetCaption(const std::string& captionCp932) override
    {
        setup_.CaptionCp932 = captionCp932;
        if (window_) SDL_SetWindowTitle(window_, Cp932ToUtf8(captionCp932).c_str());
    }

    void Present(const TFrameView& frame, const std::vector<TRect>& dirty, int zoomPercent) override
    {
        if (!renderer_ || !frame.Pixels) return;
        if (frame.Width != textureWidth_ || frame.Height != textureHeight_) {
            setup_.ScreenWidth = frame.Width;
            setup_.ScreenHeight = frame.Height;
            MakeTextures();
        }
        zoom_ = zoomPercent > 0 ? zoomPercent : 100;
        if (dirty.empty()) {
            SDL_UpdateTexture(pictureTexture_, nullptr, frame.Pixels, frame.PitchBytes);
        } else {
            for (const TRect& r : dirty) {
                SDL_Rect area{std::max(r.Left, 0), std::max(r.Top, 0), 0, 0};
                area.w = std::min(r.Right, frame.Width) - area.x;
                area.h = std::min(r.Bottom, frame.Height) - area.y;
                if (area.w <= 0 || area.h <= 0) continue;
                const auto* first = reinterpret_cast<const uint8_t*>(frame.Pixels) +
                                    static_cast<size_t>(area.y) * frame.PitchBytes + area.x * 4;
                SDL_UpdateTexture(pictureTexture_, &area, first, frame.PitchBytes);
            }
        }
        Render(true);
    }

    bool SetFullScreen(bool full) override
    {
        if (!window_ || full == fullScreen_) return full == fullScreen_;
        if (full) {
            if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) return false;
            SDL_RenderSetLogicalSize(renderer_, setup_.ScreenWidth, setup_.ScreenHeight);
            fullScreen_ = true;
        } else {
            SDL_SetWindowFullscreen(window_, 0);
            SDL_RenderSetLogicalSize(renderer_, 0, 0);
            SDL_RenderSetScale(renderer_, 1.0f, 1.0f);
            SDL_RenderSetViewport(renderer_, nullptr);
            fullScreen_ = false;
            SDL_SetWindowSize(window_, ClientWidth(), ClientHeight());
            Centre();
        }
        toolbarShown_ = false;
        Render(true);
        return true;
    }
    bool IsFullScreen() const override { return fullScreen_; }

    std::vector<TDisplayMode> DisplayModes() override
    {
        std::vector<TDisplayMode> modes;
        int display = DisplayIndex();
        int count = SDL_GetNumDisplayModes(display);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode m;
            if (SDL_GetDisplayMode(display, i, &m) == 0)
                modes.push_back({m.w, m.h, ModeBits(m.format), m.refresh_rate});
        }
        return modes;
    }

    int DesktopBits() override
    {
        SDL_DisplayMode m;
        if (SDL_GetDesktopDisplayMode(DisplayIndex(), &m) != 0) return 24;
        return ModeBits(m.format);
    }

    bool PollEvent(TPlatformEvent& event) override
    {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            Translate(e);
        if (queue_.empty()) return false;
        event = queue_.front();
        queue_.pop_front();
        return true;
    }

    void GetMouse(int& x, int& y) override
    {
        int wx = 0, wy = 0;
        SDL_GetMouseState(&wx, &wy);
        if (fullScreen_ && renderer_) {
            float lx, ly;
            SDL_RenderWindowToLogical(renderer_, wx, wy, &lx, &ly);
            wx = static_cast<int>(lx);
            wy = static_cast<int>(ly);
        }
        ToPicture(wx, wy, x, y);
    }

    void WarpMouse(int x, int y) override
    {
        if (!window_) return;
        int wx = x * zoom_ / 100 + (fullScreen_ ? 0 : PanelLeft());
        int wy = y * zoom_ / 100 + (fullScreen_ ? 0 : PanelTop());
        if (fullScreen_)
            SDL_RenderLogicalToWindow(renderer_, static_cast<float>(wx), static_cast<float>(wy), &wx, &wy);
        SDL_WarpMouseInWindow(window_, wx, wy);
    }

    void SetCursorImage(const TCursorImage* image) override
    {
        SDL_Cursor* made = nullptr;
        if (image && image->Width > 0 && image->Height > 0) {
            SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
                const_cast<uint32_t*>(image->Argb.data()), image->Width, image->Height, 32, image->Width * 4,
                SDL_PIXELFORMAT_ARGB8888);
            if (surface) {
                made = SDL_CreateColorCursor(surface, std::clamp(image->HotX, 0, image->Width - 1),
                                             std::clamp(image->HotY, 0, image->Height - 1));
                SDL_FreeSurface(surface);
            }
        }
        // A cursor that cannot be made leaves the standard one.
        SDL_SetCursor(made ? made : SDL_GetDefaultCursor());
        if (cursor_) SDL_FreeCursor(cursor_);
        cursor_ = made;
    }

    void WarningBox(const std::string& captionCp932, const std::string& textCp932) override
    {
        Box(SDL_MESSAGEBOX_WARNING, captionCp932, textCp932, {{TBoxAnswer::Ok, "OK"}});
    }

    bool AskYesNo(const std::string& captionCp932, const std::string& textCp932) override
    {
        bool ja = UserLanguageIsJapanese();
        return Box(SDL_MESSAGEBOX_INFORMATION, captionCp932, textCp932,
                   {{TBoxAnswer::Yes, ja ? "\xE3\x81\xAF\xE3\x81\x84" : "Yes"},
                    {TBoxAnswer::No, ja ? "\xE3\x81\x84\xE3\x81\x84\xE3\x81\x88" : "No"}}) == TBoxAnswer::Yes;
    }

    TBoxAnswer AskOkCancel(const std::string& captionCp932, const std::string& textCp932) override
    {
        bool ja = UserLanguageIsJapanese();
        return Box(SDL_MESSAGEBOX_WARNING, captionCp932, textCp932,
                   {{TBoxAnswer::Ok, "OK"},
                    {TBoxAnswer::Cancel,
                     ja ? "\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\xB3\xE3\x82\xBB\xE3\x83\xAB" : "Cancel"}});
    }

    bool OpenUrl(const std::string& urlUtf8) override { return SDL_OpenURL(urlUtf8.c_str()) == 0; }
    std::optional<std::string> ChooseFile(TFileDialogKind kind, const std::string& filterUtf8) override
    {
        return RunDesktopFileDialog(kind, filterUtf8);
    }

    bool CaptureWindow(std::vector<uint32_t>& pixels, int& width, int& height) override
    {
        if (!renderer_ || !pictureTexture_) return false;
        Render(false);
        SDL_Rect area = PictureRect();
        pixels.assign(static_cast<size_t>(area.w) * area.h, 0);
        bool ok =
            SDL_RenderReadPixels(renderer_, &area, SDL_PIXELFORMAT_RGB888, pixels.data(), area.w * 4) == 0;
        SDL_RenderPresent(renderer_);
        if (!ok) return false;
        for (uint32_t& p : pixels)
            p &= 0x00FFFFFF;
        width = area.w;
        height = area.h;
        return true;
    }

    TAudioOutput& Audio() override { return *audio_; }
    void OnDisplayLost(std::function<void()> fileWork) override { displayLost_ = std::move(fileWork); }

    // Runs the file work once; the caller ends the process.
    void DisplayLostFileWork()
    {
        std::function<void()> work = std::move(displayLost_);
        displayLost_ = nullptr;
        try {
            if (work) work();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "rukoplay: %s\n", Cp932ToUtf8(e.what()).c_str());
        }
    }

  private:
    SDL_Cursor* cursor_ = nullptr;

    bool ToolbarInWindow() const { return setup_.ToolbarVisible && !fullScreen_; }
    int ClientWidth() const { return setup_.ScreenWidth; }
    int ClientHeight() const { return setup_.ScreenHeight + (setup_.ToolbarVisible ? DockHeight : 0); }
    int PanelLeft() const { return 0; }
    int PanelTop() const { return ToolbarInWindow() ? DockHeight : 0; }

    int DisplayIndex() const
    {
        int index = window_ ? SDL_GetWindowDisplayIndex(window_) : 0;
        return index < 0 ? 0 : index;
    }

    // The picture's place in renderer coordinates (logical ones in full screen).
    SDL_Rect PictureRect() const
    {
        return {PanelLeft(), PanelTop(), std::min(setup_.ScreenWidth, setup_.ScreenWidth * zoom_ / 100),
                std::min(setup_.ScreenHeight, setup_.ScreenHeight * zoom_ / 100)};
    }

    void Centre()
    {
        SDL_Rect area;
        if (SDL_GetDisplayUsableBounds(DisplayIndex(), &area) != 0) return;
        int top = 0, left = 0, bottom = 0, right = 0;
        SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right);
        int width = ClientWidth() + left + right, height = ClientHeight() + top + bottom;
        // Division truncates toward zero, also when the window is larger than the area.
        SDL_SetWindowPosition(window_, area.x + (area.w - width) / 2 + left,
                              area.y + (area.h - height) / 2 + top);
    }

    void MakeTextures()
    {
        if (pictureTexture_) SDL_DestroyTexture(pictureTexture_);
        pictureTexture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                            setup_.ScreenWidth, setup_.ScreenHeight);
        if (!pictureTexture_) RaiseError(std::string("cannot draw into the window: ") + SDL_GetError());
        textureWidth_ = setup_.ScreenWidth;
        textureHeight_ = setup_.ScreenHeight;
        std::vector<uint32_t> black(static_cast<size_t>(textureWidth_) * textureHeight_, 0);
        SDL_UpdateTexture(pictureTexture_, nullptr, black.data(), textureWidth_ * 4);
        DrawToolbar();
    }

    void DrawToolbar()
    {
        if (toolbarTexture_) SDL_DestroyTexture(toolbarTexture_);
        toolbarTexture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STATIC,
                                            setup_.ScreenWidth, DockHeight);
        if (!toolbarTexture_) return;
        std::vector<uint32_t> strip = DrawToolbarStrip(setup_.ScreenWidth, pressed_);
        SDL_UpdateTexture(toolbarTexture_, nullptr, strip.data(), setup_.ScreenWidth * 4);
    }

    void Render(bool present)
    {
        if (!renderer_) return;
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
        SDL_Rect clip = {PanelLeft(), PanelTop(), setup_.ScreenWidth, setup_.ScreenHeight};
        SDL_Rect target = {PanelLeft(), PanelTop(), setup_.ScreenWidth * zoom_ / 100,
                           setup_.ScreenHeight * zoom_ / 100};
        SDL_RenderSetClipRect(renderer_, &clip);
        SDL_RenderCopy(renderer_, pictureTexture_, nullptr, &target);
        SDL_RenderSetClipRect(renderer_, nullptr);
        // In full screen the strip appears over the picture while the pointer rests on the top row.
        if (toolbarTexture_ &&
            (ToolbarInWindow() || (fullScreen_ && toolbarShown_ && setup_.ToolbarVisible))) {
            SDL_Rect strip = {0, 0, setup_.ScreenWidth, DockHeight};
            SDL_RenderCopy(renderer_, toolbarTexture_, nullptr, &strip);
        }
        if (present) SDL_RenderPresent(renderer_);
    }

    void ToPicture(int rx, int ry, int& x, int& y) const
    {
        x = (rx - PanelLeft()) * 100 / zoom_;
        y = (ry - PanelTop()) * 100 / zoom_;
    }

    bool OnToolbar(int ry) const
    {
        if (ToolbarInWindow()) return ry < DockHeight;
        return fullScreen_ && toolbarShown_ && setup_.ToolbarVisible && ry < DockHeight;
    }

    void Push(TEventKind kind, int rx = 0, int ry = 0)
    {
        TPlatformEvent e;
        e.Kind = kind;
        ToPicture(rx, ry, e.X, e.Y);
        queue_.push_back(e);
    }

    void Translate(const SDL_Event& event)
    {
        switch (event.type) {
        case SDL_AUDIODEVICEREMOVED:
            if (!event.adevice.iscapture) audio_->DeviceRemoved(event.adevice.which);
            break;
        case SDL_QUIT:
            if (DisplayConnectionFailed()) EndForLostDisplay();
            Push(TEventKind::Quit);
            break;
        case SDL_WINDOWEVENT:
            switch (event.window.event) {
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                Push(TEventKind::Activate);
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                Push(TEventKind::Deactivate);
                break;
            case SDL_WINDOWEVENT_EXPOSED:
                Render(true);
                break;
            case SDL_WINDOWEVENT_CLOSE:
                Push(TEventKind::Quit);
                break;
            default:
                break;
            }
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            if (event.key.repeat) break;
            int key = VirtualKeyFromScancode(event.key.keysym.scancode);
            if (key == 0) break;
            TPlatformEvent e;
            e.Kind = event.type == SDL_KEYDOWN ? TEventKind::KeyDown : TEventKind::KeyUp;
            e.Key = key;
            queue_.push_back(e);
            break;
        }
        case SDL_MOUSEMOTION: {
            bool showStrip = fullScreen_ && event.motion.y <= 0;
            if (showStrip != toolbarShown_) {
                toolbarShown_ = showStrip;
                Render(true);
            }
            Push(TEventKind::MouseMove, event.motion.x, event.motion.y);
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            bool down = event.type == SDL_MOUSEBUTTONDOWN;
            int rx = event.button.x, ry = event.button.y;
            if (OnToolbar(ry) || pressed_ != TToolbarButton::None) {
                ToolbarClick(down, event.button.button, rx, ry);
                break;
            }
            TPlatformEvent e;
            e.Kind = down ? TEventKind::MouseDown : TEventKind::MouseUp;
            e.Button = event.button.button == SDL_BUTTON_RIGHT    ? TMouseButton::Right
                       : event.button.button == SDL_BUTTON_MIDDLE ? TMouseButton::Middle
                                                                  : TMouseButton::Left;
            ToPicture(rx, ry, e.X, e.Y);
            queue_.push_back(e);
            break;
        }
        case SDL_MOUSEWHEEL: {
            int dy = event.wheel.y;
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) dy = -dy;
            if (dy > 0) Push(TEventKind::WheelUp);
            if (dy < 0) Push(TEventKind::WheelDown);
            break;
        }
        default:
            break;
        }
    }

    // A toolbar button acts when the left button is released over the button it went down on.
    void ToolbarClick(bool down, int button, int rx, int ry)
    {
        if (button != SDL_BUTTON_LEFT) return;
        TToolbarButton under = ToolbarButtonAt(rx, ry);
        if (down) {
            pressed_ = under;
        } else {
            TToolbarButton was = pressed_;
            pressed_ = TToolbarButton::None;
            if (was != TToolbarButton::None && was == under)
                Push(was == TToolbarButton::Exit ? TEventKind::ExitButton : TEventKind::ScreenButton);
        }
        DrawToolbar();
        Render(true);
    }

    TBoxAnswer Box(uint32_t flags, const std::string& captionCp932, const std::string& textCp932,
                   std::initializer_list<std::pair<TBoxAnswer, const char*>> buttons)
    {
        std::vector<SDL_MessageBoxButtonData> data;
        for (const auto& [answer, label] : buttons)
            data.push_back({0, static_cast<int>(answer), label});
        data.front().flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        data.back().flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        std::string caption = Cp932ToUtf8(captionCp932), text = Cp932ToUtf8(textCp932);
        SDL_MessageBoxData box{
            flags,       window_, caption.c_str(), text.c_str(), static_cast<int>(data.size()),
            data.data(), nullptr};
        int chosen = static_cast<int>(data.back().buttonid);
        if (SDL_ShowMessageBox(&box, &chosen) != 0 || chosen < 0) chosen = data.back().buttonid;
        return static_cast<TBoxAnswer>(chosen);
    }

    bool virtualClock_;
    int64_t virtualNow_ = 0;
    std::unique_ptr<TSdlAudioOutput> audio_;
    std::chrono::steady_clock::time_point start_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* pictureTexture_ = nullptr;
    SDL_Texture* toolbarTexture_ = nullptr;
    int textureWidth_ = 0, textureHeight_ = 0;
    TWindowSetup setup_;
    int zoom_ = 100;
    bool fullScreen_ = false;
    bool toolbarShown_ = false;
    TToolbarButton pressed_ = TToolbarButton::None;
    std::deque<TPlatformEvent> queue_;
    std::function<void()> displayLost_;
};

// Called from inside the window system's library, which cannot go on: no SDL call, no teardown.
[[noreturn]] void EndForLostDisplay()
{
    if (LivePlatform) LivePlatform->DisplayLostFileWork();
    std::fputs("rukoplay: the display connection was lost\n", stderr);
    _exit(1);
}

} // namespace

std::unique_ptr<TPlatform> CreateSdlPlatform(bool virtualClock)
{
    return std::make_unique<TSdlPlatform>(virtualClock);
}

} // namespace ruko
