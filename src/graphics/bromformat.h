#pragma once
// Internal to the layered picture containers: what the reader and the writer share.
#include "base/error.h"
#include "base/text.h"
#include "graphics/brom.h"
#include "io/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ruko::brom {

// The 40-byte header record; defaults are those of the XML attributes.
struct THeader
{
    int32_t Version = 200;
    int32_t Width = 100;
    int32_t Height = 100;
    int32_t Bpp = 8;
    int32_t Count = 0;
    bool SyncPal = false;
    bool Randomized = false;
    uint8_t CompType = bcZlib;
    uint32_t BGColor = 0;
    int32_t BlockWidth = 32;
    int32_t BlockHeight = 32;
    bool NotFillBG = true;
    uint8_t CompLevel = 0;
};

// Least bytes a binary frame and layer record can take; counts are checked against them.
constexpr int64_t MinFrameRecord = 33;
constexpr int64_t MinLayerRecord = 25;
// The compressed XML document of a picture is small; anything beyond this is not one.
constexpr size_t MaxXmlBytes = 64u << 20;
// Deflate cannot expand data more than about 1032:1, and baseline JPEG needs at least a bit or
// two per 8 x 8 block: a plane that claims more bytes per stored byte than this is not what its
// block holds. The slack covers headers and tiny planes.
constexpr int64_t MaxInflateRatio = 1032;
constexpr int64_t MaxJpegRatio = 2048;
constexpr int64_t PlaneSlack = 1024;
// Pixels no stored byte backs (the background of a frame without layers) may take this much
// beyond what the file's size could inflate to.
constexpr int64_t UnbackedSlack = 1 << 20;

[[noreturn]] inline void RaiseBadFrame()
{
    RaiseError("Error:TBromFrameList.GetFrame");
}
[[noreturn]] inline void RaiseUnreadable()
{
    RaiseError(Utf8ToCp932("読み込めないファイル形式です"));
}

// Inflates a zlib stream; more output than `limit` or a broken stream is damage.
inline std::vector<uint8_t> Inflate(const uint8_t* data, size_t size, size_t limit)
{
    return InflateWhole(data, size, limit, std::max<size_t>(size * 4, 4096));
}

inline std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data)
{
    uLongf size = compressBound(uLong(data.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), uLong(data.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
        RaiseError("zlib compression failed");
    out.resize(size);
    return out;
}

} // namespace ruko::brom
