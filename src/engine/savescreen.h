#pragma once
// SaveScreen: a base window's picture written as a one-frame layered image.
#include "engine/builtins.h"

#include <cstdint>
#include <string>

namespace ruko {

// Writes the active base window (the other one with `back`) redrawn whole, resampled to
// width × height (0: the screen's), as "name" (".brm"): into the file manager's memory for
// "mem:" and "save:" names (the latter also into the save file), else under the base folder
// through a temporary file. keep 1 removes the file when the player ends; keep 2 lists it in
// "install.dat". False when nothing was written.
bool SaveScreen(TBuiltinServices& services, const std::string& name, int32_t width, int32_t height, bool back,
                int32_t keep);

} // namespace ruko
