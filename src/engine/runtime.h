#pragma once
// The scenario engine as the shell drives it: the variable store with the built-in functions,
// the project, the event queue and the call manager, created and freed in the player's order.
// The shell wires these calls into its start-up, frame and teardown hooks.
#include "base/processobject.h"
#include "engine/builtins.h"
#include "engine/callman.h"
#include "engine/gamesave.h"
#include "engine/project.h"
#include "engine/savefile.h"
#include "engine/timerlist.h"
#include "params/functable.h"
#include "params/paramcollection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ruko {

// Where a title's save file lives.
struct TSaveLocation
{
    std::string Path;   // host path of "save.dat"
    std::string Import; // an old "save.dat" copied there once while it has none; "" = none
};

struct TEngineOptions
{
    uint32_t Seed = 0;
    std::string DumpVarsFile; // written when the project is freed (host path, "" = none)
    std::string DataFolder;   // host folder searched for "install.dat" and "game.dat", trailing '/'
    std::function<void(const std::string& text, const std::string& caption)> ShowWarning; // CP932
    std::function<void()> RequestClose;
    // The title cannot go on (a page that must be rebuilt): close the window, the run failed.
    std::function<void()> CloseAfterFailure;
    std::function<void(const std::string& title)> SetTitle; // CP932
    // One line per executed command; unset: no trace.
    std::function<void(uint32_t time, const std::string& page, int line)> Trace;
    // What the author should know of but does not stop the run, such as a command the player
    // cannot run yet (CP932).
    std::function<void(uint32_t time, const std::string& message)> Notice;
    // The error that stopped the scenario (CP932); unset: it stops silently.
    std::function<void(const std::string& message)> OnError;
    // The save file of a title (title in CP932, its identification code); unset: no saves.
    std::function<TSaveLocation(const std::string& title, int32_t identCode)> LocateSaveFile;
    // What the save file reports as it mends itself (UTF-8); unset: stderr.
    std::function<void(const std::string& message)> SaveNotice;
};

class TEngine
{
  public:
    explicit TEngine(TEngineOptions options);
    ~TEngine();
    TEngine(const TEngine&) = delete;
    TEngine& operator=(const TEngine&) = delete;

    // ParamMan and SysFuncMan with every built-in body; the engine owns both.
    void CreateVariableStore();
    // Reads the project and starts its first page. Raises "プロジェクトがありません" when the
    // title has no project; other failures leave TerminateRequested set.
    void CreateProject();
    void Step();
    // Applies the game saves and loads the scenario asked for, in order; true when a load was
    // applied (the next frame is then not drawn). Once the run is ending only the saves are
    // applied, and none after an error stopped the scenario.
    bool ApplyRequests();
    // A save writes the slot and, when the title keeps one, the status in one rewrite; the caption
    // is set once the file was written. False (file, captions and game unchanged) when the caption
    // is empty, the slot negative or the file cannot be written (a warning says so).
    bool SaveGame(int slot, const std::string& caption, const std::string& page, int index);
    // False when there is no such slot or its record is refused or damaged (a warning says so);
    // then nothing of the game has changed.
    bool LoadGame(int slot);
    // Exit page, persistent status, then the variable dump.
    void FreeProject();
    // The persistent status alone, for an end that cannot run the teardown.
    void WriteStatus()
    {
        if (project_) project_->WriteStatus();
    }
    void FreeVariableStore();

    TProject* Project() { return project_.get(); }
    // A title file the scripts may read: through the project once it exists (which may ask to
    // install it), else straight from the file manager.
    bool FileAvailable(const std::string& name);
    TCallMan* CallMan() { return callMan_.get(); }
    // The save file, once the project has located it; null without one.
    TSaveFile* SaveFile() { return saveFile_.get(); }
    TTimerList& Events() { return events_; }
    // Filled by the shell (screen, mouse, dialogs) before the project starts.
    TBuiltinServices& Services() { return services_; }

  private:
    TGameParts GameParts();
    void SaveNotice(const std::string& message) const;
    void RestoreStatus();
    void LoadSlotCaptions();
    void SaveStatus();
    bool StoreSaveMember(const std::string& name, const std::vector<uint8_t>& bytes);

    TEngineOptions options_;
    std::unique_ptr<TSaveFile> saveFile_;
    bool scenarioFailed_ = false; // an error stopped the scenario
    bool exiting_ = false;        // the exit page has run
    TBuiltinServices services_;
    TTimerList events_;
    std::unique_ptr<TSystemHost> systemHost_;
    TProcessObject<TParamCollection> paramMan_{ParamMan};
    TProcessObject<TSysFuncMan> sysFuncMan_{SysFuncMan};
    std::unique_ptr<TCallMan> callMan_;
    std::unique_ptr<TProject> project_;
};

} // namespace ruko
