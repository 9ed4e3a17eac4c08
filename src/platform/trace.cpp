#include "platform/trace.h"

#include <cstdio>

namespace ruko {
namespace {

std::FILE* TraceFile = nullptr;

} // namespace

bool OpenTrace(const std::string& hostPath)
{
    CloseTrace();
    TraceFile = std::fopen(hostPath.c_str(), "wb");
    return TraceFile != nullptr;
}

void CloseTrace()
{
    if (TraceFile) std::fclose(TraceFile);
    TraceFile = nullptr;
}

bool TraceEnabled()
{
    return TraceFile != nullptr;
}

void TraceCommand(uint32_t time, std::string_view pageCp932, int line)
{
    if (!TraceFile) return;
    std::fprintf(TraceFile, "%.8x : %.*s(%d)\n", time, static_cast<int>(pageCp932.size()), pageCp932.data(),
                 line);
}

void TraceNote(uint32_t time, std::string_view textCp932)
{
    if (!TraceFile) return;
    std::fprintf(TraceFile, "%.8x : %.*s\n", time, static_cast<int>(textCp932.size()), textCp932.data());
}

} // namespace ruko
