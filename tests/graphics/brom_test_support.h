#pragma once
// Builders of binary layered-picture files for the tests: every version's layout, written field
// by field so the reader is checked against the stored format, not against our own writer.
#include "base/error.h"
#include "base/text.h"
#include "graphics/brom.h"
#include "io/bigstream.h"
#include "io/fields.h"
#include "io/kwrandom.h"

#include <zlib.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ruko::test {

struct TLayerSpec
{
    bool Visible = true;
    int32_t TransColor = -1;
    int32_t Alpha = 255;
    bool AlphaOn = false;
    std::string Name = "L";
    std::vector<uint8_t> Data;
    std::optional<std::vector<uint8_t>> AlphaData;
};

struct TFrameSpec
{
    int32_t TransColor = -1;
    int32_t Delay = 50;
    int Width = 4, Height = 2, Bits = 24;
    std::vector<uint32_t> Palette; // BGR0 bytes as little-endian words, 2^bits of them
    std::vector<TLayerSpec> Layers;
    std::vector<TRect> Rects[2];
};

struct THeaderSpec
{
    uint32_t BGColor = 0;
    bool Randomized = false;
    uint8_t CompType = 1;
    int32_t BlockWidth = 0, BlockHeight = 0;
    bool NotFillBG = false;
};

inline std::vector<uint8_t> Zlib(const std::vector<uint8_t>& data)
{
    uLongf size = compressBound(uLong(data.size()));
    std::vector<uint8_t> out(size);
    compress(out.data(), &size, data.data(), uLong(data.size()));
    out.resize(size);
    return out;
}

inline std::vector<uint8_t> BuildBinary(int version, const THeaderSpec& header,
                                        const std::vector<TFrameSpec>& frames)
{
    TKwBigMemoryStream s;
    char magic[8];
    std::snprintf(magic, sizeof magic, "Brom%03d", version);
    if (version > 0) WriteExact(s, magic, 7);
    if (version < 103) {
        WriteInt(s, int32_t(frames.size()));
        WriteByte(s, 0);
        if (version >= 102) WriteU32(s, header.BGColor);
    } else {
        WriteU32(s, 40);
        const TFrameSpec& first = frames.empty() ? TFrameSpec{} : frames[0];
        WriteInt(s, version);
        WriteInt(s, first.Width);
        WriteInt(s, first.Height);
        WriteInt(s, first.Bits);
        WriteInt(s, int32_t(frames.size()));
        WriteByte(s, 1);
        WriteByte(s, header.Randomized);
        WriteByte(s, header.CompType);
        WriteByte(s, 0);
        WriteU32(s, header.BGColor);
        WriteInt(s, header.BlockWidth);
        WriteInt(s, header.BlockHeight);
        WriteByte(s, header.NotFillBG);
        WriteByte(s, 80);
        WriteU16(s, 0);
    }
    for (const TFrameSpec& frame : frames) {
        WriteStr(s, "F");
        WriteInt(s, frame.TransColor);
        WriteInt(s, frame.Delay);
        WriteByte(s, 0);
        WriteInt(s, 0);
        WriteInt(s, int32_t(frame.Layers.size()));
        WriteInt(s, frame.Width);
        WriteInt(s, frame.Height);
        WriteInt(s, frame.Bits);
        for (uint32_t entry : frame.Palette)
            WriteU32(s, entry);
        for (const TLayerSpec& layer : frame.Layers) {
            WriteInt(s, 0);
            WriteInt(s, 0);
            WriteByte(s, layer.Visible);
            WriteInt(s, layer.TransColor);
            WriteInt(s, layer.Alpha);
            if (version > 100) WriteByte(s, layer.AlphaOn);
            WriteStr(s, layer.Name);
            WriteU32(s, uint32_t(layer.Data.size()));
            WriteExact(s, layer.Data.data(), int64_t(layer.Data.size()));
            if (version > 99) {
                const std::vector<uint8_t> none;
                const std::vector<uint8_t>& alpha = layer.AlphaData ? *layer.AlphaData : none;
                WriteU32(s, uint32_t(alpha.size()));
                WriteExact(s, alpha.data(), int64_t(alpha.size()));
            }
        }
        if (version >= 104)
            for (const auto& list : frame.Rects) {
                WriteInt(s, int32_t(list.size()));
                for (const TRect& r : list) {
                    WriteInt(s, r.Left);
                    WriteInt(s, r.Top);
                    WriteInt(s, r.Right);
                    WriteInt(s, r.Bottom);
                }
            }
    }
    return s.TakeBytes();
}

// Padded raw rows of a 24-bit picture given as 0x00RRGGBB values, top row first.
inline std::vector<uint8_t> Rows24(int width, const std::vector<uint32_t>& pixels)
{
    int height = int(pixels.size()) / width;
    TPicture picture(width, height, 24);
    for (int i = 0; i < int(pixels.size()); ++i)
        picture.SetPixel(i % width, i / width, pixels[size_t(i)]);
    return picture.Bytes();
}

inline TBromFrameList LoadBytes(const std::vector<uint8_t>& bytes, int32_t identCode = 0,
                                bool keepLayers = false, bool convert = false)
{
    TBromFrameList list(identCode);
    TKwBigMemoryStream stream(bytes);
    list.LoadFromStream(stream, false, keepLayers, convert);
    return list;
}

inline std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ERukoError& error) {
        return Cp932ToUtf8(error.what());
    }
    return "";
}

} // namespace ruko::test
