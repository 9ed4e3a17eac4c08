#pragma once
// The command trace: one line per executed command, "%.8x : %s(%d)" (time, page, line), the
// bytes a logging library attached to the player would receive (page names stay CP932).
// Off unless the player was started with a trace file.
#include <cstdint>
#include <string>
#include <string_view>

namespace ruko {

// Starts writing to `hostPath` (truncated); false when it cannot be created.
bool OpenTrace(const std::string& hostPath);
void CloseTrace();
bool TraceEnabled();
// Called by the call manager for each command it runs.
void TraceCommand(uint32_t time, std::string_view pageCp932, int line);
// A line of its own among the commands, "%.8x : %s" (time, text), for what the run noticed.
void TraceNote(uint32_t time, std::string_view textCp932);

} // namespace ruko
