// Writing of the layered picture container (the XML one).
#include "graphics/brom.h"

#include "base/error.h"
#include "graphics/bromformat.h"
#include "graphics/bromxml.h"
#include "graphics/jpeg.h"
#include "io/fields.h"
#include "io/kwrandom.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace ruko {

namespace {

using namespace brom;

// Raw rows of a plane, top row first, scrambled by the identification code when it is set.
std::vector<uint8_t> StoredRows(const TPicture& picture, int32_t identCode)
{
    size_t pitch = size_t(picture.Pitch());
    if (identCode == 0) return picture.Bytes();
    std::vector<uint8_t> rows(pitch * size_t(picture.Height()));
    TKwRandom random{uint32_t(identCode)};
    random.InitPermutation(picture.Height());
    for (int i = 0; i < picture.Height(); ++i)
        std::memcpy(rows.data() + pitch * size_t(i), picture.Row(random.NextIndex()), pitch);
    return rows;
}

void WriteBlock(TKwBigStream& s, const std::vector<uint8_t>& bytes)
{
    WriteU32(s, uint32_t(bytes.size()));
    WriteExact(s, bytes.data(), int64_t(bytes.size()));
}

} // namespace

void TBromFrameList::SaveToStream(TKwBigStream& stream, TBromCompression compType, int quality) const
{
    if (frames_.empty()) RaiseBadFrame();
    for (const auto& frame : frames_)
        if (frame->Picture.IsEmpty()) RaiseBadFrame();
    bool randomized = IdentCode != 0;
    TBromCompression type = randomized ? bcNone : compType;
    // JPEG holds only true-colour pictures; palettised frames keep their pixels through zlib.
    if (type == bcJpeg && std::any_of(frames_.begin(), frames_.end(),
                                      [](const auto& frame) { return frame->Picture.Bits() <= 8; }))
        type = bcZlib;

    TKwXml xml;
    xml.Root = std::make_unique<TKwXmlElement>("Frames");
    TKwXmlElement& root = *xml.Root;
    const TPicture& first = frames_[0]->Picture;
    root.SetAttribute("Version", 200);
    root.SetAttribute("Width", first.Width());
    root.SetAttribute("Height", first.Height());
    root.SetAttribute("Bpp", first.Bits());
    root.SetAttribute("Count", int64_t(frames_.size()));
    root.SetAttribute("SyncPal", 1);
    root.SetAttribute("Randomized", randomized ? 1 : 0);
    root.SetAttribute("CompType", int(type));
    root.SetAttribute("CompLevel", quality);
    root.SetAttribute("BGColor", int64_t(BGColor));
    root.SetAttribute("BlockWidth", 0);
    root.SetAttribute("BlockHeight", 0);
    root.SetAttribute("NotFillBG", NotFillBG ? 1 : 0);

    TKwBigMemoryStream data;
    auto writePlane = [&](const TPicture& picture, bool alphaPlane) {
        if (type == bcJpeg && !alphaPlane) {
            WriteBlock(data, EncodeJpeg(picture, quality));
            return;
        }
        std::vector<uint8_t> rows = StoredRows(picture, IdentCode);
        WriteBlock(data, type == bcNone ? rows : Deflate(rows));
    };
    for (const auto& frame : frames_) {
        TKwXmlElement& element = root.AddChild("Frame");
        element.SetAttribute("Name", frame->Name);
        // The reader takes a pixel value here, not a colour.
        element.SetAttribute("TransColor", frame->TransColor);
        element.SetAttribute("Delay", frame->Delay);
        element.SetAttribute("Disposal", frame->Disposal);
        TKwXmlElement& layers = element.AddChild("Layers");
        const TPicture& picture = frame->Picture;
        layers.SetAttribute("Count", frame->Layers.empty() ? 1 : int64_t(frame->Layers.size()));
        layers.SetAttribute("Width", picture.Width());
        layers.SetAttribute("Height", picture.Height());
        layers.SetAttribute("Bpp", picture.Bits());
        if (picture.IsPalettised()) {
            std::string table;
            char digits[8];
            // Always the full table: the reader refuses a shorter one.
            for (size_t i = 0; i < (size_t(1) << picture.Bits()); ++i) {
                uint32_t colour = i < picture.Palette.size() ? picture.Palette[i] : 0;
                std::snprintf(digits, sizeof digits, "%06X", colour & 0xFFFFFF);
                table += digits;
            }
            layers.AddChild("RGB").Text = table;
        }
        auto writeLayer = [&](const std::string& name, bool visible, int32_t transColor, int32_t alpha,
                              bool alphaOn, const TPicture& pixels, const std::optional<TPicture>& plane) {
            TKwXmlElement& layer = layers.AddChild("Layer");
            layer.SetAttribute("Visible", visible ? 1 : 0);
            layer.SetAttribute("TransColor", transColor);
            layer.SetAttribute("Alpha", alpha);
            layer.SetAttribute("AlphaOn", alphaOn ? 1 : 0);
            layer.SetAttribute("Name", name);
            layer.SetAttribute("Left", 0);
            layer.SetAttribute("Top", 0);
            layer.SetAttribute("Lock", 0);
            if (pixels.Width() != picture.Width() || pixels.Height() != picture.Height() ||
                pixels.Bits() != picture.Bits())
                RaiseBadFrame();
            writePlane(pixels, false);
            if (plane)
                writePlane(*plane, true);
            else
                WriteU32(data, 0);
        };
        if (frame->Layers.empty())
            writeLayer("Layer", true, -1, 255, frame->AlphaPlane.has_value(), picture, frame->AlphaPlane);
        else
            for (const auto& layer : frame->Layers)
                writeLayer(layer->Name, layer->Visible, layer->TransColor, layer->Alpha, layer->AlphaOn,
                           layer->Picture, layer->AlphaPlane);
    }

    std::string document = xml.Serialize();
    std::vector<uint8_t> packed = Deflate(std::vector<uint8_t>(document.begin(), document.end()));
    WriteExact(stream, "BromX200", 8);
    WriteBlock(stream, packed);
    WriteExact(stream, data.Bytes().data(), int64_t(data.Bytes().size()));
}

} // namespace ruko
