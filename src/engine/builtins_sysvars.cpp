// The player state behind the system variables, read and written through the services.
#include "base/text.h"
#include "engine/builtins_support.h"

#include <chrono>

namespace ruko {

namespace {

enum TRow : int
{
    rLClick = 1,
    rRClick,
    rLPush,
    rRPush,
    rMouseX,
    rMouseY,
    rHistoryCount = 8,
    rParamCount = 9,
    rParamStr = 10,
    rSender = 11,
    rScrWidth = 12,
    rScrHeight = 13,
    rPCTickCount = 15,
    rYear = 17,
    rSec = 23,
    rFonts = 24,
    rFixedFonts = 25,
    rFullScr = 26,
    rCGDither = 31,
    rKeyPush = 35,
    rKeyClick = 36,
    rDisplayModeCount = 37,
    rDisplayModeIndex = 38,
    rTitle = 39,
    rSoundON = 40,
    rActiveCompo = 41,
    rKeyRepeat = 42,
    rHistoryMaxCount = 43,
    rMidiPort = 45,
    rMidiPorts = 46,
    rWheelDown = 47,
    rWheelUp = 48,
    rStackCount = 50,
};

constexpr int32_t KeyElements = 258; // 256 keys, then wheel down and wheel up

class TServicesHost final : public TSystemHost
{
  public:
    explicit TServicesHost(TBuiltinServices& services) : s_(services) {}

    TCustomParam* CallResult() override { return s_.CallResult ? s_.CallResult() : nullptr; }

    int32_t ReadInt(int row) override
    {
        switch (row) {
        case rMouseX:
        case rMouseY: {
            int32_t x = 0, y = 0;
            if (s_.GetMouse) s_.GetMouse(x, y);
            return row == rMouseX ? x : y;
        }
        case rHistoryCount:
            if (!s_.History) builtins::NoteMissing("message histories");
            return s_.History ? s_.History->Count("").value_or(0) : 0;
        case rHistoryMaxCount:
            if (!s_.History) builtins::NoteMissing("message histories");
            return s_.History ? s_.History->MaxCount("").value_or(0) : 0;
        case rParamCount:
            return s_.ArgCount ? s_.ArgCount() : 0;
        case rScrWidth:
            return s_.ScreenWidth;
        case rScrHeight:
            return s_.ScreenHeight;
        case rPCTickCount:
            if (s_.PCTickCount) return static_cast<int32_t>(static_cast<uint32_t>(s_.PCTickCount()));
            return TSystemHost::ReadInt(row);
        case rDisplayModeCount:
            return s_.DisplayModes ? static_cast<int32_t>(s_.DisplayModes().size()) : 0;
        case rDisplayModeIndex:
            return s_.DisplayModeIndex ? s_.DisplayModeIndex() : 0;
        case rStackCount:
            return s_.StackCount ? s_.StackCount() : 0;
        default:
            if (row >= rYear && row <= rSec && s_.LocalTime) {
                std::tm local = s_.LocalTime();
                const int values[] = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                      local.tm_wday + 1,    local.tm_hour,    local.tm_min,
                                      local.tm_sec};
                return values[row - rYear];
            }
            return TSystemHost::ReadInt(row);
        }
    }

    bool ReadFlag(int row) override
    {
        switch (row) {
        case rLClick:
            return s_.Input.LClick;
        case rRClick:
            return s_.Input.RClick;
        case rLPush:
            return s_.Input.LPush;
        case rRPush:
            return s_.Input.RPush;
        case rWheelDown:
            return s_.Input.WheelDown;
        case rWheelUp:
            return s_.Input.WheelUp;
        case rFullScr:
            return s_.IsFullScreen && s_.IsFullScreen();
        case rCGDither:
            return s_.Components && s_.Components->Dither();
        case rSoundON:
            return s_.Components && s_.Components->SoundOn();
        default:
            return false;
        }
    }

    std::string ReadStr(int row) override
    {
        switch (row) {
        case rSender:
            return s_.SenderName ? s_.SenderName() : std::string();
        case rFonts:
        case rFixedFonts: {
            if (!s_.FontNames) {
                builtins::NoteMissing("installed font lists");
                return std::string();
            }
            std::string joined;
            for (const std::string& name : s_.FontNames(row == rFixedFonts))
                joined += (joined.empty() ? "" : "\r\n") + name;
            return joined;
        }
        case rTitle:
            return s_.Title;
        case rActiveCompo:
            return s_.Components ? s_.Components->FocusedName() : std::string();
        case rMidiPort:
            if (!s_.MidiPort) builtins::NoteMissing("MIDI ports");
            return s_.MidiPort ? s_.MidiPort() : std::string();
        default:
            return std::string();
        }
    }

    void WriteInt(int row, int32_t n) override
    {
        switch (row) {
        case rMouseX:
        case rMouseY:
            if (s_.WarpMouse) {
                int32_t x = 0, y = 0;
                if (s_.GetMouse) s_.GetMouse(x, y);
                s_.WarpMouse(row == rMouseX ? n : x, row == rMouseY ? n : y);
            }
            break;
        case rDisplayModeIndex:
            if (s_.SetDisplayModeIndex) s_.SetDisplayModeIndex(n);
            break;
        case rHistoryMaxCount:
            if (s_.History) s_.History->SetMaxCount("", n);
            break;
        default:
            break;
        }
    }

    void WriteFlag(int row, bool b) override
    {
        switch (row) {
        case rLClick:
        case rRClick:
            // The flag lives on the active base window, where components that take clicks
            // during the update read it too; the copy keeps this frame's reads in step.
            (row == rLClick ? s_.Input.LClick : s_.Input.RClick) = b;
            if (s_.Components) s_.Components->SetClickFlag(row == rRClick, b);
            break;
        case rFullScr:
            if (s_.SetFullScreen) s_.SetFullScreen(b);
            break;
        case rCGDither:
            if (s_.Components && s_.Components->Dither() != b) s_.Components->SetDither(b);
            break;
        case rSoundON:
            if (s_.Components) s_.Components->SetSoundOn(b);
            break;
        default:
            break;
        }
    }

    void WriteStr(int row, const std::string& text) override
    {
        if (row == rActiveCompo && s_.Components)
            s_.Components->Focus(text);
        else if (row == rMidiPort && s_.SetMidiPort)
            s_.SetMidiPort(text);
    }

    int32_t ElementCount(int row) override
    {
        switch (row) {
        case rParamStr:
            return s_.ArgCount ? s_.ArgCount() : 0;
        case rMidiPorts:
            if (!s_.MidiPorts) builtins::NoteMissing("MIDI ports");
            return s_.MidiPorts ? static_cast<int32_t>(s_.MidiPorts().size()) : 0;
        case rKeyPush:
        case rKeyClick:
        case rKeyRepeat:
            return KeyElements;
        default:
            return 0;
        }
    }

    std::string ReadStrAt(int row, int32_t i) override
    {
        if (row == rParamStr && s_.Arg && i >= 0 && i < ElementCount(row)) return s_.Arg(i);
        if (row == rMidiPorts && s_.MidiPorts) {
            std::vector<std::string> ports = s_.MidiPorts();
            if (i >= 0 && static_cast<size_t>(i) < ports.size()) return ports[static_cast<size_t>(i)];
        }
        return std::string();
    }

    bool ReadFlagAt(int row, int32_t i) override
    {
        if (i == 256) return s_.Input.WheelDown;
        if (i == 257) return s_.Input.WheelUp;
        if (i < 0 || i > 255) return false;
        switch (row) {
        case rKeyPush:
            return s_.Input.KeyPush[static_cast<size_t>(i)];
        case rKeyClick:
            return s_.Input.KeyClick[static_cast<size_t>(i)];
        case rKeyRepeat:
            return s_.Input.KeyRepeat[static_cast<size_t>(i)];
        default:
            return false;
        }
    }

  private:
    TBuiltinServices& s_;
};

} // namespace

std::unique_ptr<TSystemHost> MakeSystemHost(TBuiltinServices& services)
{
    return std::make_unique<TServicesHost>(services);
}

} // namespace ruko
