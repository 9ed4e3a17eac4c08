#include "engine/comfactory.h"

#include "engine/callman.h"
#include "engine/page.h"

#include <array>

namespace ruko {
namespace {

// Read and written like every command; running it only advances, and says so once per code.
class TComWithoutBody final : public TCommand
{
  public:
    using TCommand::TCommand;
    void Execute(TCallMan& cm, TRunPoint& at) override
    {
        cm.NoteMissingBody(*this);
        ++at.Index;
    }
};

std::array<TCommandMaker, CommandCodeCount> Makers{};

const std::array<TCommandMaker, CommandCodeCount>& Table()
{
    static const bool registered = [] {
        RegisterFlowCommands();
        RegisterObjectCommands();
        return true;
    }();
    (void)registered;
    return Makers;
}

} // namespace

void RegisterCommand(int code, TCommandMaker make)
{
    Makers.at(static_cast<size_t>(code)) = make;
}

bool CommandHasBody(int code)
{
    return Table().at(static_cast<size_t>(code)) != nullptr;
}

std::unique_ptr<TCommand> MakeCommand(TComList& list, int code)
{
    if (TCommandMaker make = Table().at(static_cast<size_t>(code))) return make(list, code);
    return std::make_unique<TComWithoutBody>(list, code);
}

} // namespace ruko
