#pragma once
// The control-flow commands: branches, loops, jumps, calls, variables, waits, resets and the
// save and load requests (registered by RegisterFlowCommands, comfactory.h).
#include "engine/page.h"

namespace ruko {

// A wait of `time` ms measured on the frame clock; the interval of its first frame is not counted.
class TComWait final : public TCommand
{
  public:
    using TCommand::TCommand;
    using F = TComFields<ccWait>;
    void Enter(TCallMan& cm) override;
    void Execute(TCallMan& cm, TRunPoint& at) override;
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

// A property id a command requires: raises "プロパティ指定が不正です" when the expression yields none.
int32_t PropertyId(const TExpr& e);

} // namespace ruko
