#pragma once
// Frames as PNG files (snapshots and window captures), encoded by the one PNG writer: equal frames
// give equal bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace ruko {

// Written through a temporary file renamed over the target; false (with the reason in `why`) when
// it cannot be written.
bool WriteFramePng(const std::string& hostPath, const TFrameView& frame, std::string* why = nullptr);

// Reads a PNG into XRGB pixels (alpha dropped); false when it is not a readable one.
bool ReadFramePng(const std::string& hostPath, std::vector<uint32_t>& pixels, int& width, int& height);

} // namespace ruko
