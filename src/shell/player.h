#pragma once

namespace ruko {

// The whole program: command line, start-up, frame loop and teardown. Returns the exit status.
int RunPlayer(int argc, char** argv);

} // namespace ruko
