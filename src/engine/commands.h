#pragma once
// The command classes. Control flow, variables, waits and resets act here; commands that drive
// components and media advance without effect until the component list is attached.
#include "engine/page.h"

#include <memory>

namespace ruko {

// The class of `code` (0..60) for a page's list.
std::unique_ptr<TCommand> MakeCommand(TComList& list, int code);

// A wait of `time` ms measured on the frame clock; the interval of its first frame is not counted.
class TComWait final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Enter(TCallMan& cm) override;
    void Execute(TCallMan& cm, TPage*& page, int& index) override;
    bool WaitsForEvents() const override { return true; }
    bool BlocksEvents() const override { return NoEvents; }
    void SaveState(TKwBigStream& s) override;
    void LoadState(TKwBigStream& s) override;

    int32_t Remaining = 0;
    int32_t FirstFrame = 0;
    bool NoEvents = false;
};

// Version of a saved command state that begins with "ruko" + three digits; 0 (and the stream
// rewound) when it does not.
int ReadStateVersion(TKwBigStream& s);
void WriteStateHeader(TKwBigStream& s);

} // namespace ruko
