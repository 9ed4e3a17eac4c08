#pragma once
// The bodies of the built-in functions and the player state behind the system variables. Every
// outside service they need comes through TBuiltinServices, so the shell fills it from the
// platform layer and the subsystems, and tests fill it with fakes. A service left unset answers
// the documented fallback of a player without it (FALSE, 0, "", nothing happens).
#include "components/frame.h"
#include "params/functable.h"
#include "params/sysvars.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ruko {

class TCallMan;
class TVrFileManager;

// The run-time's one pseudo-random generator (Random, and anything else a title makes random).
// Deterministic for a seed on every platform (splitmix64).
class TRandomSource
{
  public:
    explicit TRandomSource(uint64_t seed = 0) { Seed(seed); }
    void Seed(uint64_t seed);
    uint64_t Next();
    // Uniform in 0 .. n-1; 0 when n < 1.
    int32_t Below(int32_t n);

  private:
    uint64_t state_ = 0;
};

// Item state kinds of the item functions (GetCheck, GetEnabled, ...).
enum class TItemState
{
    Check,
    Enabled,
    Visible,
    Selected,
};

// Components found by name (the component list). The defaults answer "no such component".
class TBuiltinComponents
{
  public:
    virtual ~TBuiltinComponents() = default;
    virtual bool Exists(const std::string&) { return false; }
    virtual bool InPrimary(const std::string&) { return false; }
    virtual bool InCabinet(const std::string&) { return false; }
    // `item` is an item number, or for a menu a text naming the item.
    virtual std::optional<bool> GetItemState(const std::string&, const TCustomParam&, TItemState)
    {
        return std::nullopt;
    }
    virtual bool SetItemState(const std::string&, const TCustomParam&, TItemState, bool) { return false; }
    virtual std::optional<int32_t> GroupIndex(const std::string&, const TCustomParam&)
    {
        return std::nullopt;
    }
    virtual std::optional<std::string> ItemText(const std::string&, const TCustomParam&)
    {
        return std::nullopt;
    }
    virtual int32_t IndexOfMenu(const std::string&, const std::string&) { return -1; }
    // Names of components of `kind` (0: all) under `parent` ("ALL": every parent).
    virtual std::vector<std::string> List(int32_t, const std::string&, bool) { return {}; }
    // Coordinate conversion along x (or y); nullopt when the component is missing.
    virtual std::optional<int32_t> ToClient(const std::string&, int32_t, bool) { return std::nullopt; }
    virtual std::optional<int32_t> ToScreen(const std::string&, int32_t, bool) { return std::nullopt; }
    virtual bool CreateObject(int32_t, const std::string&, const std::string&) { return false; }
    virtual bool DeleteObject(const std::string&) { return false; }
    virtual std::optional<bool> ImeOpened(const std::string&) { return std::nullopt; }
    virtual bool SetImeOpened(const std::string&, bool) { return false; }
    // "@ActiveCompo".
    virtual std::string FocusedName() { return std::string(); }
    virtual void Focus(const std::string&) {}
    // Writing "@LClick" (right: "@RClick") changes the active base window's click of this frame.
    virtual void SetClickFlag(bool, bool) {}
    // "@CGDither" and "@SoundON".
    virtual bool Dither() { return false; }
    virtual void SetDither(bool) {}
    virtual bool SoundOn() { return false; }
    virtual void SetSoundOn(bool) {}
};

// Message histories by format name ("" = the default format).
class TBuiltinHistory
{
  public:
    virtual ~TBuiltinHistory() = default;
    virtual std::optional<int32_t> Count(const std::string&) { return std::nullopt; }
    virtual std::optional<int32_t> MaxCount(const std::string&) { return std::nullopt; }
    virtual bool SetMaxCount(const std::string&, int32_t) { return false; }
};

struct TSaveSlotCaption
{
    std::string Caption;
    int32_t Slot = 0;
};

struct TBuiltinServices
{
    // --- clock and date -------------------------------------------------------------------------
    // The system millisecond timer ("@PCTickCount"); unset: the monotonic clock. Headless runs
    // give the virtual clock here, so a run repeats exactly.
    std::function<int64_t()> PCTickCount;
    // The local date and time; unset: localtime_r of the system clock.
    std::function<std::tm()> LocalTime;

    // --- mouse, keys, screen --------------------------------------------------------------------
    // Mouse position on the active base, and moving the system pointer to a view position.
    std::function<void(int32_t& x, int32_t& y)> GetMouse;
    std::function<void(int32_t x, int32_t y)> WarpMouse;
    TInputFlags Input; // "@LClick"/"@RClick" writes go here
    int32_t ScreenWidth = 0, ScreenHeight = 0;
    std::string Title; // CP932
    std::function<bool()> IsFullScreen;
    std::function<void(bool)> SetFullScreen;
    // Display modes as (width, height, bits, refresh); the current index and choosing one.
    std::function<std::vector<std::array<int32_t, 4>>()> DisplayModes;
    std::function<int32_t()> DisplayModeIndex;
    std::function<void(int32_t)> SetDisplayModeIndex;

    // --- the call manager -----------------------------------------------------------------------
    std::function<int32_t()> ArgCount;
    std::function<std::string(int32_t)> Arg;
    std::function<std::string()> SenderName;
    std::function<TCustomParam*()> CallResult; // null outside any call
    std::function<int32_t()> StackCount;
    std::function<bool(int32_t)> DeleteStack; // false when the depth is out of range

    // --- subsystems -----------------------------------------------------------------------------
    TBuiltinComponents* Components = nullptr;
    TBuiltinHistory* History = nullptr;
    // Table functions (rows of the table subsystem): the whole call is handed over.
    std::function<void(TFuncCall&)> Tables;
    std::function<std::string(int32_t slot)> SaveCaption;
    std::function<std::vector<TSaveSlotCaption>()> SaveCaptions;
    std::function<std::vector<std::string>(bool fixedPitchOnly)> FontNames; // CP932
    std::function<std::string()> MidiPort;
    std::function<std::vector<std::string>()> MidiPorts;
    std::function<void(const std::string&)> SetMidiPort;
    // SaveScreen(name, width, height, back, keep) of the graphics side; unset: FALSE.
    std::function<bool(const std::string&, int32_t, int32_t, bool, int32_t)> SaveScreen;

    // --- files ----------------------------------------------------------------------------------
    TVrFileManager* Files = nullptr; // unset: the process-wide FileManager
    std::string ProgramFolder;       // host path, for ExtractFile
    // Host folder of "Desktop" / "MyDocuments"; "" when unknown.
    std::function<std::string(const std::string& name)> SpecialFolder;
    // The image cache reads a rewritten picture again (after SaveScreen); unset: nothing cached.
    std::function<void(const std::string& name)> ForgetPicture;
    // Adds a host file to those removed when the player ends (SaveScreen's keep mode 1).
    std::function<void(const std::string& hostPath)> DeleteAtExit;
    // Stores a member of the save file ("save:" targets); unset: only the in-memory copy is made.
    std::function<bool(const std::string& name, const std::vector<uint8_t>& bytes)> StoreSaveMember;

    // --- dialogs and message boxes (CP932 text; scripted in headless runs) ----------------------
    std::function<void(const std::string& text, const std::string& caption)> ShowInfo;
    std::function<bool(const std::string& text, const std::string& caption)> AskYesNo; // unset: No
    // File dialogs: the chosen name, nullopt when cancelled. SelectDirectory ends with a delimiter.
    std::function<std::optional<std::string>(const std::string& filter)> SelectOpenFile;
    std::function<std::optional<std::string>(const std::string& filter)> SelectSaveFile;
    std::function<std::optional<std::string>()> SelectDirectory;
    std::function<bool(const std::string& urlUtf8)> OpenUrl;
    std::function<bool(const std::string& hostFolder)> FolderExists;

    // --- random ---------------------------------------------------------------------------------
    TRandomSource Random;
};

// Fills the call-manager members from a running call manager.
void BindCallManager(TBuiltinServices& services, TCallMan& calls);

// Registers every body the engine owns (all rows but GetProp/SetProp/AssignTemp/Calc/PushVar/
// PopVar, which the dispatcher brings). `services` must outlive `funcs`' use.
void InstallBuiltins(TSysFuncMan& funcs, TBuiltinServices& services);

// The system variables' player state, read through `services` (which must outlive the host).
std::unique_ptr<TSystemHost> MakeSystemHost(TBuiltinServices& services);

} // namespace ruko
