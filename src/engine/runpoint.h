#pragma once
// Where the scenario's flow stands: the call manager holds one, and every command's Execute
// receives it to move the flow (advance, jump, leave the page, yield).
#include "engine/timerlist.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ruko {

class TPage;

// The dispatch state of the call manager; the values are stored in saves.
enum class TCallState : int32_t
{
    Main = 0,        // the main flow
    Handler = 1,     // an event handler started from the main flow
    Waiting = 2,     // a command waits for events
    WaitHandler = 3, // an event handler started during such a wait
};

struct TRunPoint
{
    // The page being executed. A command sets it to another page to continue there, or to null to
    // leave the page (return to the caller; with no caller the flow rests on the page it left).
    TPage* Page = nullptr;
    int32_t Index = 0;             // position of the current command in Page
    bool Running = false;          // keep executing in this frame; a command clears it to yield
    bool Entered = false;          // the current command's Enter has run
    std::vector<std::string> Args; // of the current call or event
    TCallState State = TCallState::Main;
    TComponentHandle Sender = 0; // component whose event handler runs; 0 in the main flow
    int32_t Depth = 2;           // depth of the event handler being run; 2 after Start
};

} // namespace ruko
