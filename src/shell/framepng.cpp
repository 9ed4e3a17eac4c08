#include "shell/framepng.h"

#include "base/error.h"
#include "base/fileio.h"
#include "graphics/png.h"

namespace ruko {

bool WriteFramePng(const std::string& hostPath, const TFrameView& frame, std::string* why)
{
    if (!frame.Pixels || frame.Width <= 0 || frame.Height <= 0) {
        if (why) *why = "empty frame";
        return false;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes = EncodePngXrgb(frame.Width, frame.Height, frame.Pixels, frame.PitchBytes);
    } catch (const ERukoError& e) {
        if (why) *why = std::string("PNG encoding failed: ") + e.what();
        return false;
    }
    if (!WriteHostFileAtomic(hostPath,
                             std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
        if (why) *why = "cannot write " + hostPath;
        return false;
    }
    return true;
}

bool ReadFramePng(const std::string& hostPath, std::vector<uint32_t>& pixels, int& width, int& height)
{
    std::string bytes;
    if (!ReadHostFile(hostPath, bytes)) return false;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    if (!IsPngData(data, bytes.size())) return false;
    TDecodedPicture decoded;
    try {
        decoded = DecodePng(data, bytes.size());
    } catch (const ERukoError&) {
        return false;
    }
    const TPicture& picture = decoded.Picture; // 24-bit, rows of blue, green, red
    std::vector<uint32_t> result(static_cast<size_t>(picture.Width()) * picture.Height());
    for (int y = 0; y < picture.Height(); ++y) {
        const uint8_t* row = picture.Row(y);
        for (int x = 0; x < picture.Width(); ++x)
            result[static_cast<size_t>(y) * picture.Width() + x] =
                uint32_t(row[x * 3]) | uint32_t(row[x * 3 + 1]) << 8 | uint32_t(row[x * 3 + 2]) << 16;
    }
    pixels = std::move(result);
    width = picture.Width();
    height = picture.Height();
    return true;
}

} // namespace ruko
