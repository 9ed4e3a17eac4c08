#include "engine/builtins.h"

#include "engine/callman.h"

namespace ruko {

void TRandomSource::Seed(uint64_t seed) { state_ = seed; }

// splitmix64: every seed, including 0, gives a full-period, well-mixed sequence.
uint64_t TRandomSource::Next()
{
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int32_t TRandomSource::Below(int32_t n)
{
    if (n < 1)
        return 0;
    // Rejection keeps the draw uniform for every n.
    const uint64_t range = static_cast<uint64_t>(n);
    const uint64_t limit = UINT64_MAX - UINT64_MAX % range;
    uint64_t x;
    do
        x = Next();
    while (x >= limit);
    return static_cast<int32_t>(x % range);
}

void BindCallManager(TBuiltinServices& services, TCallMan& calls)
{
    TCallMan* cm = &calls;
    services.ArgCount = [cm] { return cm->GetArgCount(); };
    services.Arg = [cm](int32_t i) { return cm->GetArg(i); };
    services.SenderName = [cm] { return cm->GetSenderName(); };
    services.CallResult = [cm] { return cm->GetResult(); };
    services.StackCount = [cm] { return cm->StackCount(); };
    services.DeleteStack = [cm](int32_t depth) { return cm->DeleteStack(depth); };
}

} // namespace ruko

namespace ruko {

void InstallBuiltins(TSysFuncMan&, TBuiltinServices&) {}

std::unique_ptr<TSystemHost> MakeSystemHost(TBuiltinServices&) { return std::make_unique<TSystemHost>(); }

} // namespace ruko
