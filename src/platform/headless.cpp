// The headless back end: no window and no devices; time moves only when the player waits, and
// input comes from the script, so a run is the same every time.
#include <cstdio>
#include <deque>
#include <optional>
#include <string>

#include "base/text.h"
#include "platform/platform.h"

namespace ruko {
namespace {

class THeadlessPlatform final : public TPlatform
{
  public:
    explicit THeadlessPlatform(TInputScript input) : script_(std::move(input)) {}

    bool IsHeadless() const override { return true; }

    int64_t Now() override { return clock_; }
    void Wait(int ms) override
    {
        if (ms > 0) clock_ += ms;
        audio_.Sink().Advance(clock_);
    }

    void OpenWindow(const TWindowSetup& setup) override { setup_ = setup; }
    void SetCaption(const std::string& captionCp932) override { setup_.CaptionCp932 = captionCp932; }
    void Present(const TFrameView&, const std::vector<TRect>&, int) override {}
    bool SetFullScreen(bool full) override
    {
        fullScreen_ = full;
        return true;
    }
    bool IsFullScreen() const override { return fullScreen_; }
    // A fixed imaginary display, so mode choices repeat.
    std::vector<TDisplayMode> DisplayModes() override
    {
        return {{640, 480, 32, 60},
                {800, 600, 32, 60},
                {1024, 768, 32, 60},
                {1280, 720, 32, 60},
                {1920, 1080, 32, 60}};
    }
    int DesktopBits() override { return 32; }

    bool PollEvent(TPlatformEvent& event) override
    {
        TakeDueEvents();
        if (queue_.empty()) return false;
        event = queue_.front();
        queue_.pop_front();
        return true;
    }
    void GetMouse(int& x, int& y) override
    {
        TakeDueEvents();
        x = mouseX_;
        y = mouseY_;
    }
    void WarpMouse(int x, int y) override
    {
        mouseX_ = x;
        mouseY_ = y;
    }

    void WarningBox(const std::string& captionCp932, const std::string& textCp932) override
    {
        Print("warning", captionCp932, textCp932);
        TakeAnswer();
        std::fprintf(stderr, " -> OK\n");
    }
    bool AskYesNo(const std::string& captionCp932, const std::string& textCp932) override
    {
        Print("question", captionCp932, textCp932);
        auto answer = TakeAnswer();
        bool yes = answer && (*answer == TScriptAnswer::Yes || *answer == TScriptAnswer::Ok);
        std::fprintf(stderr, " -> %s\n", yes ? "Yes" : "No");
        return yes;
    }
    TBoxAnswer AskOkCancel(const std::string& captionCp932, const std::string& textCp932) override
    {
        Print("question", captionCp932, textCp932);
        auto answer = TakeAnswer();
        bool ok = answer && (*answer == TScriptAnswer::Ok || *answer == TScriptAnswer::Yes);
        std::fprintf(stderr, " -> %s\n", ok ? "OK" : "Cancel");
        return ok ? TBoxAnswer::Ok : TBoxAnswer::Cancel;
    }

    bool OpenUrl(const std::string& urlUtf8) override
    {
        std::fprintf(stderr, "rukoplay: (headless) not opening %s\n", urlUtf8.c_str());
        return false;
    }
    bool CaptureWindow(std::vector<uint32_t>&, int&, int&) override { return false; }

    std::optional<std::string> ChooseFile(TFileDialogKind kind, const std::string& filterUtf8) override
    {
        static const char* const Kinds[] = {"open file", "save file", "folder"};
        std::fprintf(stderr, "rukoplay: dialog [%s]%s%s", Kinds[static_cast<int>(kind)],
                     filterUtf8.empty() ? "" : " ", filterUtf8.c_str());
        TakeDueEvents();
        std::optional<std::string> chosen;
        if (!choices_.empty()) {
            if (!choices_.front().empty()) chosen = choices_.front();
            choices_.pop_front();
        }
        if (chosen && kind == TFileDialogKind::Folder && chosen->back() != '/') *chosen += '/';
        std::fprintf(stderr, " -> %s\n", chosen ? chosen->c_str() : "cancelled");
        return chosen;
    }

    TAudioOutput& Audio() override { return audio_; }

  private:
    // Headless sound is always the sink: the frames due are pulled as the virtual clock moves.
    class THeadlessAudio final : public TAudioOutput
    {
      public:
        explicit THeadlessAudio(THeadlessPlatform& owner) : owner_(owner) {}
        bool Open() override
        {
            sink_.Start(owner_.clock_);
            return false;
        }
        bool IsOpen() const override { return sink_.IsStarted(); }
        bool PullsOnMainThread() const override { return true; }
        void SetSource(TAudioSource* source) override { sink_.SetSource(source); }
        int64_t FramesPulled() const override { return sink_.FramesPulled(); }
        void SetCapture(const std::string& wavPath) override { sink_.SetCapture(wavPath); }
        TClockedAudioSink& Sink() { return sink_; }

      private:
        THeadlessPlatform& owner_;
        TClockedAudioSink sink_;
    };

    void TakeDueEvents()
    {
        while (next_ < script_.size() && script_[next_].Time <= clock_) {
            const TScriptEvent& s = script_[next_++];
            TPlatformEvent e;
            e.X = mouseX_;
            e.Y = mouseY_;
            e.Button = s.Button == TScriptButton::Right ? TMouseButton::Right : TMouseButton::Left;
            switch (s.Action) {
            case TScriptAction::Move:
                mouseX_ = e.X = s.X;
                mouseY_ = e.Y = s.Y;
                e.Kind = TEventKind::MouseMove;
                break;
            case TScriptAction::Press:
                e.Kind = TEventKind::MouseDown;
                break;
            case TScriptAction::Release:
                e.Kind = TEventKind::MouseUp;
                break;
            case TScriptAction::KeyDown:
                e.Kind = TEventKind::KeyDown;
                e.Key = s.Key;
                break;
            case TScriptAction::KeyUp:
                e.Kind = TEventKind::KeyUp;
                e.Key = s.Key;
                break;
            case TScriptAction::WheelUp:
                e.Kind = TEventKind::WheelUp;
                break;
            case TScriptAction::WheelDown:
                e.Kind = TEventKind::WheelDown;
                break;
            case TScriptAction::Answer:
                answers_.push_back(s.Answer);
                continue;
            case TScriptAction::Choose:
                choices_.push_back(s.Path);
                continue;
            }
            queue_.push_back(e);
        }
    }

    std::optional<TScriptAnswer> TakeAnswer()
    {
        TakeDueEvents();
        if (answers_.empty()) return std::nullopt;
        TScriptAnswer a = answers_.front();
        answers_.pop_front();
        return a;
    }

    static void Print(const char* kind, const std::string& captionCp932, const std::string& textCp932)
    {
        std::fprintf(stderr, "rukoplay: %s [%s] %s", kind, Cp932ToUtf8(captionCp932).c_str(),
                     Cp932ToUtf8(textCp932).c_str());
    }

    TInputScript script_;
    size_t next_ = 0;
    std::deque<TPlatformEvent> queue_;
    std::deque<TScriptAnswer> answers_;
    std::deque<std::string> choices_; // "" = cancel
    int64_t clock_ = 0;
    int mouseX_ = 0, mouseY_ = 0;
    bool fullScreen_ = false;
    TWindowSetup setup_;
    THeadlessAudio audio_{*this};
};

} // namespace

std::unique_ptr<TPlatform> CreateHeadlessPlatform(TInputScript input)
{
    return std::make_unique<THeadlessPlatform>(std::move(input));
}

} // namespace ruko
