#include "platform/endsignals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace ruko {
namespace {

// Lock-free atomics are safe to touch in a handler, whichever thread it runs on.
std::atomic<int> Received{0};
std::atomic<bool> Ending{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

extern "C" void OnEndSignal(int number)
{
    int none = 0;
    if (Ending.load() || !Received.compare_exchange_strong(none, number)) _exit(128 + number);
}

} // namespace

void InstallEndSignals()
{
    struct sigaction action = {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before = {};
        if (number == SIGHUP && sigaction(SIGHUP, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
            continue;
        sigaction(number, &action, nullptr);
    }
}

int EndSignalReceived()
{
    return Received.load();
}

void BeginOrderlyEnd()
{
    Ending.store(true);
}

} // namespace ruko
