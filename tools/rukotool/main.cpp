// rukotool: authoring and inspection of RukoPlayer titles.
#include "command.h"

#include "base/error.h"
#include "base/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

namespace ruko::tool {

namespace {

std::vector<TToolCommand>& Registry()
{
    static std::vector<TToolCommand> commands;
    return commands;
}

void PrintHelp(FILE* out)
{
    std::fprintf(out, "usage: rukotool COMMAND [ARGS...]\n\ncommands:\n");
    std::vector<TToolCommand> commands = Registry();
    std::sort(commands.begin(), commands.end(),
              [](const TToolCommand& a, const TToolCommand& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const TToolCommand& command : commands)
        std::fprintf(out, "  %-44s %s\n", command.usage, command.summary);
    std::fprintf(out, "\n'rukotool COMMAND --help' shows one command's usage.\n");
}

} // namespace

const std::vector<TToolCommand>& ToolCommands()
{
    return Registry();
}

TToolCommandRegistrar::TToolCommandRegistrar(const TToolCommand& command)
{
    Registry().push_back(command);
}

} // namespace ruko::tool

int main(int argc, char** argv)
{
    using namespace ruko::tool;
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
        !std::strcmp(argv[1], "help")) {
        PrintHelp(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const TToolCommand* command = nullptr;
    for (const TToolCommand& candidate : ToolCommands())
        if (!std::strcmp(candidate.name, argv[1])) command = &candidate;
    if (!command) {
        std::fprintf(stderr, "rukotool: unknown command '%s' (see 'rukotool --help')\n", argv[1]);
        return 2;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        std::printf("usage: rukotool %s\n  %s\n", command->usage, command->summary);
        return 0;
    }
    try {
        return command->run(args);
    } catch (const EUsage& usage) {
        std::fprintf(stderr, "rukotool %s: %s\nusage: rukotool %s\n", command->name, usage.message.c_str(),
                     command->usage);
        return 2;
    } catch (const ruko::ERukoError& error) {
        std::fprintf(stderr, "rukotool %s: %s\n", command->name, ruko::Cp932ToUtf8(error.what()).c_str());
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "rukotool %s: %s\n", command->name, error.what());
        return 1;
    }
}
