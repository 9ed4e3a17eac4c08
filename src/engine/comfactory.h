#pragma once
// The classes that run the commands, by code. Each command file registers its classes from its
// RegisterXxxCommands(); the table calls those once, before the first command is made, so no
// registration depends on a static initialiser a static library might drop. A code with no class
// registered has no body yet: its command is read, written and dumped like any other, and when it
// runs it is skipped with one notice per code (TCallMan::NoteMissingBody).
#include <memory>

namespace ruko {

class TCommand;
class TComList;

using TCommandMaker = std::unique_ptr<TCommand> (*)(TComList& list, int code);

// Code must be 0..60; a later registration of the same code replaces the earlier one.
void RegisterCommand(int code, TCommandMaker make);
template <class TClass> void RegisterCommand(int code)
{
    RegisterCommand(code, [](TComList& list, int c) -> std::unique_ptr<TCommand> {
        return std::make_unique<TClass>(list, c);
    });
}

// True when a class runs the code (0..60).
bool CommandHasBody(int code);
// The registered class of `code` (0..60) for a page's list, else a command without a body.
std::unique_ptr<TCommand> MakeCommand(TComList& list, int code);

// The command files' registrations.
void RegisterFlowCommands();   // commands.cpp: control flow, variables, waits, resets, saves
void RegisterObjectCommands(); // objcommands.cpp: components and the screen flip

} // namespace ruko
