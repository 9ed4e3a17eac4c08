// The frame list of a layered picture and loading by file name.
#include "graphics/brom.h"

#include "graphics/bmp.h"
#include "graphics/bromformat.h"
#include "graphics/png.h"

namespace ruko {

using namespace brom;

TBromFrame& TBromFrameList::Frames(int index)
{
    if (index < 0 || index >= Count()) RaiseBadFrame();
    return *frames_[size_t(index)];
}

const TBromFrame& TBromFrameList::Frames(int index) const
{
    return const_cast<TBromFrameList*>(this)->Frames(index);
}

TBromFrame& TBromFrameList::AddFrame()
{
    frames_.push_back(std::make_unique<TBromFrame>());
    return *frames_.back();
}

void TBromFrameList::MakeMasks(bool withLayers)
{
    for (auto& frame : frames_)
        frame->MakeMask(withLayers);
}

void TBromFrameList::LoadFromData(const std::string& name, const std::vector<uint8_t>& bytes,
                                  bool firstFrameOnly, bool keepLayers, bool convert)
{
    std::string extension = GameExtension(name);
    if (SameText(extension, ".brm")) {
        TKwBigMemoryStream stream(bytes);
        LoadFromStream(stream, firstFrameOnly, keepLayers, convert);
        return;
    }
    auto frame = std::make_unique<TBromFrame>();
    if (SameText(extension, ".png")) {
        TDecodedPicture decoded = DecodePng(bytes.data(), bytes.size());
        frame->Picture = std::move(decoded.Picture);
        frame->AlphaPlane = std::move(decoded.Alpha);
    } else if (SameText(extension, ".bmp") || SameText(extension, ".dib")) {
        frame->Picture = DecodeBmp(bytes.data(), bytes.size());
    } else {
        RaiseUnreadable();
    }
    if (convert && frame->Picture.Bits() <= 8)
        frame->Picture =
            frame->Picture.ConvertTo(TargetBits > 8 && IsPictureDepth(TargetBits) ? TargetBits : 24);
    Version = 0;
    frames_.clear();
    frames_.push_back(std::move(frame));
}

void TBromFrameList::LoadFromFile(const std::string& hostPath, bool firstFrameOnly, bool keepLayers,
                                  bool convert)
{
    TKwBigMemoryStream stream;
    stream.LoadFromFile(hostPath);
    LoadFromData(hostPath, stream.Bytes(), firstFrameOnly, keepLayers, convert);
}

void TBromFrameList::SaveToFile(const std::string& hostPath) const
{
    TKwBigMemoryStream stream;
    SaveToStream(stream, bcZlib, 70);
    stream.SaveToFile(hostPath);
}

} // namespace ruko
