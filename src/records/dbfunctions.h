#pragma once
// The DB… built-in functions over a table manager. The engine hands every call of a DB… row here
// whole (TBuiltinServices::Tables); each answers a zero result rather than raising.
#include "params/functable.h"
#include "records/dbmanager.h"

#include <functional>
#include <optional>
#include <string>

namespace ruko {

class TVrFileManager;

struct TTableFiles
{
    TVrFileManager* Files = nullptr;
    // True when the file can be had (a disc the user is asked for counts); unset: Files' Exists.
    std::function<bool(const std::string& name)> Available;
};

// Whole title file `name` as DBLoadTsvFile reads it; nullopt when it cannot be had, is empty or
// is beyond what a table file may hold.
std::optional<std::string> ReadTableFile(const TTableFiles& files, const std::string& name);

// Runs the DB… function of row `call.Row`; other rows do nothing.
void CallTableFunction(TDBManager& tables, TFuncCall& call, const TTableFiles& files);

} // namespace ruko
