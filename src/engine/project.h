#pragma once
// The project: title-wide settings from "ruko.rpb", the global variables it declares, the
// folder-to-disc table, and the start and exit of the scenario. The scenario engine, the variable
// store and the save data plug in through TProjectHost, so the project reads and validates its
// file on its own.
#include "archive/header.h"
#include "base/numbers.h"
#include "base/screensize.h"
#include "io/bigstream.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

// A global variable the project declares: type 1 integer, 2 real, 3 boolean, 4 string (other
// types carry no initial value).
struct TGlobalVarDecl
{
    uint8_t Type = 0;
    std::string Name;
    int32_t IntValue = 0;
    Extended RealValue = 0;
    bool BoolValue = false;
    std::string StrValue;

    bool operator==(const TGlobalVarDecl&) const = default;
};

// "ruko.rpb" as stored. Strings are CP932.
struct TProjectSetting
{
    static constexpr uint32_t NewestVersion = 117;
    static constexpr int32_t MaxScreenSize = ruko::MaxScreenSize;

    uint32_t Version = NewestVersion;
    std::string Title;
    int32_t ScreenWidth = 640, ScreenHeight = 480;
    int32_t FullScreenWidth = 0, FullScreenHeight = 0;
    std::string StartPage;
    std::string ExitPage; // version ≥ 110
    std::string RegistryKey;
    int32_t IdentCode = 0;
    bool SaveStatus = false;                          // version > 103
    uint8_t Reserved1 = 0;                            // version ≥ 106, not interpreted
    std::string MediaExtensions = ".wav.wma.ogg.mid"; // version ≥ 109
    bool PauseWhenInactive = false;                   // version ≥ 113
    uint8_t Reserved2 = 0;                            // version ≥ 114, not interpreted
    bool ShowToolbar = true;                          // version ≥ 116
    std::string DiskPrompt, ExitPrompt;
    std::vector<TGlobalVarDecl> Variables;
    TFolderDiskList FolderDisks;

    // Reads every version up to the newest. A newer version raises "このバージョンには対応して
    // いません"; damage (counts, strings, a screen size outside 1..MaxScreenSize) raises an error naming
    // `fileName`. The object is unchanged on failure.
    void LoadFromStream(TKwBigStream& s, const std::string& fileName = "ruko.rpb");
    // Writes the fields of `Version` (the newest unless changed).
    void SaveToStream(TKwBigStream& s) const;
    std::vector<uint8_t> SaveToBytes() const;
};

class TParamCollection;

// Creates the declared global in the store unless a variable of that name exists already (a value
// the restored status brought back wins). Project globals belong to the persistent group.
void DeclareProjectGlobal(TParamCollection& store, const TGlobalVarDecl& decl);

// What the project needs from the rest of the player. Unset members are skipped, except
// DeclareGlobal, which defaults to DeclareProjectGlobal on ParamMan when the store exists.
struct TProjectHost
{
    // Finds the game data (the file manager's LocateGameData); false ends the run.
    std::function<bool()> LocateGameData;
    // Restores the persistent status from the save file (variables, read marks, tables, "save:"
    // members).
    std::function<void()> RestoreStatus;
    // Declares a global variable unless one of that name exists already (restored values win).
    std::function<void(const TGlobalVarDecl&)> DeclareGlobal;
    std::function<void()> LoadSlotCaptions;
    // Starts the scenario on a page.
    std::function<void(const std::string& page)> StartPage;
    // Runs the exit page: start it, run one engine step.
    std::function<void(const std::string& page)> RunExitPage;
    // Writes the persistent status to the save file.
    std::function<void()> SaveStatus;
    // A warning box (text, caption), CP932.
    std::function<void(const std::string& text, const std::string& caption)> ShowWarning;
    // Sets the application title and window caption.
    std::function<void(const std::string& title)> SetTitle;
};

class TProject
{
  public:
    explicit TProject(TProjectHost host);
    ~TProject();
    TProject(const TProject&) = delete;
    TProject& operator=(const TProject&) = delete;

    // The start-up sequence. `configOnly` skips locating the game data (the settings dialog).
    // Raises "プロジェクトがありません" when "ruko.rpb" is missing or empty. TerminateRequested
    // is set at the start and cleared only once the project is ready.
    void Create(bool configOnly = false);
    // Runs the exit page and saves the status, once, and only for a project that was fully created.
    void Destroy();
    bool Created() const { return created_; }
    // Writes the persistent status when the title keeps one; Destroy does it after the exit page,
    // an end that cannot run the exit page (the display was lost) calls it alone.
    void WriteStatus();

    // True when the file can be had: it exists, or it is on a disc the user inserts when asked.
    bool EnsureFileAvailable(std::string_view name);

    std::string GetSlotCaption(int slot) const;
    void SetSlotCaption(int slot, const std::string& caption);
    // Slot → caption, ascending slots.
    const std::map<int, std::string>& SlotCaptions() const { return slotCaptions_; }
    void SetSlotCaptions(std::map<int, std::string> captions) { slotCaptions_ = std::move(captions); }

    // Settings, as read.
    std::string Title;
    int32_t ScreenWidth = 0, ScreenHeight = 0;
    int32_t FullScreenWidth = 0, FullScreenHeight = 0;
    std::string StartPage, ExitPage, RegistryKey;
    int32_t IdentCode = 0;
    bool SaveStatus = true;
    std::string MediaExtensions = "wav.wma.ogg";
    bool PauseWhenInactive = false;
    bool ShowToolbar = true;
    std::string DiskPrompt, ExitPrompt;
    TFolderDiskList FolderDisks;

    // Game saves and loads the scenario asked for, applied between frames in the order asked:
    // "save, then load" in one handler saves the game as it was, and two saves are two saves.
    struct TGameRequest
    {
        bool Load = false;
        int Slot = 0;
        std::string Caption, Page; // a save's caption and resume page
        int Line = 0;              // the resume page's command index
    };
    std::vector<TGameRequest> Requests;

  private:
    TProjectHost host_;
    std::map<int, std::string> slotCaptions_;
    bool created_ = false;
    bool destroyed_ = false;
};

} // namespace ruko
