#pragma once
// The scenario engine as the shell drives it: the variable store with the built-in functions,
// the project, the event queue and the call manager, created and freed in the player's order.
// The shell wires these calls into its start-up, frame and teardown hooks.
#include "engine/callman.h"
#include "engine/project.h"
#include "engine/timerlist.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ruko {

struct TEngineOptions
{
    uint32_t Seed = 0;
    std::string DumpVarsFile; // written when the project is freed (host path, "" = none)
    std::function<void(const std::string& text, const std::string& caption)> ShowWarning; // CP932
    std::function<void()> RequestClose;
    std::function<void(const std::string& title)> SetTitle; // CP932
};

class TEngine
{
public:
    explicit TEngine(TEngineOptions options);
    ~TEngine();

    // ParamMan and SysFuncMan with every built-in body.
    void CreateVariableStore();
    // Reads the project and starts its first page; false when there is no project.
    bool CreateProject();
    void Step();
    // Exit page, persistent status, then the variable dump.
    void FreeProject();
    void FreeVariableStore();

    TProject* Project() { return project_.get(); }
    TCallMan* CallMan() { return callMan_.get(); }
    TTimerList& Events() { return events_; }

private:
    TEngineOptions options_;
    TTimerList events_;
    std::unique_ptr<TCallMan> callMan_;
    std::unique_ptr<TProject> project_;
    std::unique_ptr<TSystemHost> systemHost_;
};

// The process-wide engine; the shell creates it before the variable store and frees it last.
extern std::unique_ptr<TEngine> Engine;

} // namespace ruko
