#pragma once
// A standalone title: the player program, then an archive, then the six-byte trailer that points
// at the archive's directory, so the player finds its data in its own file.
#include <string>

namespace ruko {

// Writes player + archive + trailer to `outPath` (through a temporary file and a rename; the
// player's permission bits are kept). The archive is opened first with the container reader, and
// a player that already carries an archive is refused; both raise an error naming the file.
void WriteStandaloneTitle(const std::string& playerPath, const std::string& archivePath,
                          const std::string& outPath);

} // namespace ruko
