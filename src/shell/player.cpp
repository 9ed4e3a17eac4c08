#include "shell/player.h"

#include <cstdio>

namespace ruko {

int RunPlayer(int, char**)
{
    std::fprintf(stderr, "rukoplay: not built yet\n");
    return 1;
}

} // namespace ruko
