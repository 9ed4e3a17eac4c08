#pragma once
// rukotool commands register themselves, one file per command family, so adding a command never
// touches the dispatcher.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruko::tool {

// Thrown for a malformed command line; main prints the command's usage and exits with status 2.
struct EUsage
{
    std::string message;
};

struct TToolCommand
{
    const char* name;
    const char* usage;   // e.g. "pack DIR OUT"
    const char* summary; // one line for --help
    // Arguments after the command name. Returns the exit status; throws ERukoError for failures
    // (status 1) and EUsage for a malformed command line (status 2).
    int (*run)(const std::vector<std::string>& args);
};

const std::vector<TToolCommand>& ToolCommands();

// A number as the commands take it: decimal, or hexadecimal after "0x", with one optional '-' in
// front; nullopt for anything else (a second sign, other text around it, more than 64 bits).
std::optional<int64_t> ParseNumber(std::string_view text);

struct TToolCommandRegistrar
{
    explicit TToolCommandRegistrar(const TToolCommand& command);
};

} // namespace ruko::tool
