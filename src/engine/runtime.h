#pragma once
// The scenario engine as the shell drives it: the variable store with the built-in functions,
// the project, the event queue and the call manager, created and freed in the player's order.
// The shell wires these calls into its start-up, frame and teardown hooks.
#include "base/processobject.h"
#include "engine/builtins.h"
#include "engine/callman.h"
#include "engine/project.h"
#include "engine/timerlist.h"
#include "params/functable.h"
#include "params/paramcollection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ruko {

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
    TTimerList& Events() { return events_; }
    // Filled by the shell (screen, mouse, dialogs) before the project starts.
    TBuiltinServices& Services() { return services_; }

  private:
    TEngineOptions options_;
    TBuiltinServices services_;
    TTimerList events_;
    std::unique_ptr<TSystemHost> systemHost_;
    TProcessObject<TParamCollection> paramMan_{ParamMan};
    TProcessObject<TSysFuncMan> sysFuncMan_{SysFuncMan};
    std::unique_ptr<TCallMan> callMan_;
    std::unique_ptr<TProject> project_;
};

} // namespace ruko
