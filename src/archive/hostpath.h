#pragma once
// The one resolver from game names (CP932, "\" or "/" separators, any letter case) to host paths
// (UTF-8, "/"). Each component is matched case-insensitively (single-byte Latin letters) against
// cached folder listings, refreshed when a folder changes. Names that would leave the folder
// (".." components, drive letters) never resolve.
#include "base/fileio.h"
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

// Host path of the existing regular file (or folder, with `folder` set) that `gameName` names
// under `hostFolder`; empty when there is none.
std::string ResolveGamePath(const std::string& hostFolder, std::string_view gameName, bool folder = false);

// The regular files directly in a host folder, as UTF-8 names; empty when it cannot be listed.
std::vector<std::string> ListHostFiles(const std::string& hostFolder);

// Joins a host folder and a UTF-8 name with exactly one '/'.
std::string JoinHostPath(const std::string& hostFolder, std::string_view name);

// The folder part of a host path with a trailing '/' ("" for a bare name).
std::string HostFolderOf(const std::string& hostPath);

// Forgets every cached listing (after this process writes files into watched folders).
void ForgetHostListings();

} // namespace ruko
