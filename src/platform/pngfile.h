#pragma once
// Frames as PNG files: 8-bit RGB, no time stamp, fixed compression, so equal frames give equal bytes.
#include <string>

#include "platform/platform.h"

namespace ruko {

// Written through a temporary file renamed over the target; false (with errno-style reason in
// `why`) when it cannot be written.
bool WriteFramePng(const std::string& hostPath, const TFrameView& frame, std::string* why = nullptr);

// Reads an 8-bit RGB or RGBA PNG into XRGB pixels (alpha dropped); false when it is not one.
bool ReadFramePng(const std::string& hostPath, std::vector<uint32_t>& pixels, int& width, int& height);

} // namespace ruko
