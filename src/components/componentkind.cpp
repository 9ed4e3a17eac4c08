#include "components/componentkind.h"

#include "components/baselist.h"
#include "components/box.h"

#include <array>

namespace ruko {

namespace {

constexpr int KindCount = 128;

constexpr std::array<TMakeComponent, KindCount> BuiltinKinds()
{
    std::array<TMakeComponent, KindCount> kinds{};
    kinds[LT_BOX] = MakeComponent<TRukoBox>;
    kinds[LT_CABINET] = MakeComponent<TRukoCabinet>;
    return kinds;
}

// Constant-initialised, so it is complete before any code runs.
constinit std::array<TMakeComponent, KindCount> Kinds = BuiltinKinds();

} // namespace

void RegisterComponentKind(int code, TMakeComponent make)
{
    Kinds[static_cast<size_t>(code & 0x7F)] = make;
}

TMakeComponent FindComponentKind(int code)
{
    return Kinds[static_cast<size_t>(code & 0x7F)];
}

} // namespace ruko
