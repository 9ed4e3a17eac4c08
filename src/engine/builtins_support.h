#pragma once
// Shared by the built-in function bodies: argument helpers and the registrar each family of
// functions adds its bodies through.
#include "engine/builtins.h"
#include "params/paramcollection.h"

#include <string>
#include <vector>

namespace ruko::builtins {

using TBody = void (*)(TFuncCall&, TBuiltinServices&);

// Adds bodies by function name, so the row numbers stay written only in the function table.
class TRegistrar
{
  public:
    TRegistrar(TSysFuncMan& funcs, TBuiltinServices& services) : funcs_(funcs), services_(services) {}
    // Raises when the name is not in the function table (a programming error).
    void Add(const char* name, TBody body);

  private:
    TSysFuncMan& funcs_;
    TBuiltinServices& services_;
};

void RegisterStringBuiltins(TRegistrar& r);
void RegisterWidthBuiltins(TRegistrar& r);
void RegisterMathBuiltins(TRegistrar& r);
void RegisterDateBuiltins(TRegistrar& r);
void RegisterArrayBuiltins(TRegistrar& r);
void RegisterFileBuiltins(TRegistrar& r);
void RegisterPlayerBuiltins(TRegistrar& r);

// --- arguments ---

// Argument i, or null when the call has fewer arguments.
const TCustomParam* OptionalArg(const TFuncCall& call, size_t i);
std::string StrArg(const TFuncCall& call, size_t i, const std::string& fallback = std::string());
int32_t IntArg(const TFuncCall& call, size_t i, int32_t fallback = 0);
bool FlagArg(const TFuncCall& call, size_t i, bool fallback = false);

// The item a variable argument names: the argument must be a plain name (a reference operand)
// bound to an existing variable; null otherwise.
TParamCollectionItem* VariableItem(const TFuncCall& call, size_t i);
// The whole value of that variable; raises "<function>:変数が見つかりません" when there is none.
TCustomParam& RequireVariable(const TFuncCall& call, size_t i);
// The value an argument stands for as a whole: the named variable for a reference operand,
// else the argument itself (a literal or temporary).
const TCustomParam& WholeValue(const TFuncCall& call, size_t i);
// The element storage behind a value: references and forwarding system variables unwrapped.
// Null when nothing stands behind it.
TCustomParam* Storage(TCustomParam& value);

// Writes text lines into a variable as a one-dimensional array (a scalar "" when there are none).
void StoreStringArray(TCustomParam& target, const std::vector<std::string>& pieces);

// The zero value of the function's result kind (what a missing subsystem answers).
void SetZeroResult(TFuncCall& call);
// Says once per run on stderr that `what` (e.g. "tables") is not built yet, so a title's author
// knows why it answers empty.
void NoteMissing(const char* what);

// Caps on text a script can make grow without bound (repetition, file reads).
constexpr size_t MaxBuiltinText = size_t{1} << 26;
[[noreturn]] void RaiseTooLarge(const TFuncCall& call);

} // namespace ruko::builtins

namespace ruko::builtins {
// Half-width ⇄ full-width CP932 text (HanToZen / ZenToHan).
std::string HanToZen(const std::string& text);
std::string ZenToHan(const std::string& text);
} // namespace ruko::builtins

namespace ruko {
class TVrFileManager;
}

namespace ruko::builtins {
// Names that go to the file manager's memory ("mem:...", "save:...") and not to disk.
bool StartsWithText(const std::string& text, std::string_view prefix);
// A host path for a game name written under `hostFolder`; "" for names that would leave it
// (absolute, drive letters, "..").
std::string ConfinedHostPath(const std::string& hostFolder, const std::string& gameName);
// Writes through a temporary file renamed over the target; creates the folders on the way.
bool WriteHostFile(const std::string& hostPath, const std::vector<uint8_t>& bytes);
// Replaces (or adds to archive 0) the in-memory member `name`.
void PutMemoryMember(TVrFileManager& files, const std::string& name, const std::vector<uint8_t>& bytes);
} // namespace ruko::builtins

namespace ruko::builtins {
// Title file names against ExtractFile patterns ("*", "?", letters ignoring case).
bool MatchesWildcard(std::string_view name, std::string_view pattern);
} // namespace ruko::builtins
