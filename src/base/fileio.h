#pragma once
// Whole-file reads and crash-safe writes of host files (UTF-8 paths with '/').
#include <string>
#include <string_view>

namespace ruko {

bool HostFileExists(const std::string& hostPath);
bool HostFolderExists(const std::string& hostPath);

bool ReadHostFile(const std::string& hostPath, std::string& content);
// Writes to a temporary file beside the target, flushes it and renames it over the target.
bool WriteHostFileAtomic(const std::string& hostPath, std::string_view content);

} // namespace ruko
