#include "platform/endsignals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <vector>

using namespace ruko;

namespace {

// Each case runs in a child process: the handlers and what they recorded are process-wide.
// The child ends with 0 when the signals it sent were only recorded.
struct TSignalCase
{
    const char* what;
    int ignoredAtStart; // 0: none
    bool endBegun;
    std::vector<int> sent;
    int recorded;   // what EndSignalReceived() shows afterwards
    int exitStatus; // the child's status
};

void RunCase(const TSignalCase& c)
{
    if (c.ignoredAtStart) signal(c.ignoredAtStart, SIG_IGN);
    InstallEndSignals();
    if (c.endBegun) BeginOrderlyEnd();
    for (int number : c.sent)
        raise(number);
    _exit(EndSignalReceived() == c.recorded ? 0 : 99);
}

TEST(EndSignals, TheFirstIsRecordedAndAnyLaterOneStopsAtOnce)
{
    const TSignalCase cases[] = {
        {"SIGINT recorded", 0, false, {SIGINT}, SIGINT, 0},
        {"SIGTERM recorded", 0, false, {SIGTERM}, SIGTERM, 0},
        {"SIGHUP recorded", 0, false, {SIGHUP}, SIGHUP, 0},
        {"second signal", 0, false, {SIGTERM, SIGINT}, SIGTERM, 128 + SIGINT},
        {"same signal twice", 0, false, {SIGHUP, SIGHUP}, SIGHUP, 128 + SIGHUP},
        {"after the end began", 0, true, {SIGTERM}, 0, 128 + SIGTERM},
        // A background job of a script starts with SIGINT ignored; Ctrl-C must still end it.
        {"SIGINT ignored at start", SIGINT, false, {SIGINT}, SIGINT, 0},
        // nohup asked for hangups to be ignored.
        {"SIGHUP ignored at start", SIGHUP, false, {SIGHUP}, 0, 0},
    };
    for (const TSignalCase& c : cases)
        EXPECT_EXIT(RunCase(c), testing::ExitedWithCode(c.exitStatus), "") << c.what;
}

} // namespace
