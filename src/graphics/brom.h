#pragma once
// Layered pictures (".brm"): frames of layers, read from the binary container ("Brom" + three
// version digits) and the XML container ("BromX200"), composed in their stored depth, and written
// as the XML container. PNG and BMP files load as one-frame lists through the same interface.
#include "base/rect.h"
#include "graphics/picture.h"
#include "io/bigstream.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ruko {

class TBromFrame;

// Compression of layer data in the container header.
enum TBromCompression : uint8_t
{
    bcZlib = 0,
    bcNone = 1,
    bcJpeg = 2
};

class TBromLayer
{
  public:
    std::string Name;
    TPicture Picture; // the frame's size and depth
    std::optional<TPicture> AlphaPlane;
    bool Visible = true;
    int32_t TransColor = -1; // pixel value (an index at 8 bits and less); -1 none
    int32_t Alpha = 255;
    bool AlphaOn = false;
};

class TBromFrame
{
  public:
    std::string Name;
    int32_t Delay = 100;
    uint8_t Disposal = 0;
    int32_t TransColor = -1;      // pixel value of the transparent colour; -1 none
    int64_t TransColorValue = -1; // the same as a colour 0x00BBGGRR; -1 none
    TPicture Picture;             // the composed picture
    std::optional<TPicture> AlphaPlane;
    // Two rectangle lists carried for the components; trimming intersects them.
    std::array<std::vector<TRect>, 2> RectLists;
    std::vector<std::unique_ptr<TBromLayer>> Layers; // kept only when loading asked for them

    // Builds an alpha plane from the transparent colour when there is none (with layers: also
    // for each layer, from its own key or the frame's).
    void MakeMask(bool withLayers);
    // Crops the picture to its visible pixels and returns the offset of the crop; nothing
    // changes (offset 0, 0) when nothing or everything is visible, or nothing marks visibility.
    std::pair<int, int> Trim();
    // Composes one layer onto the picture by the layer rules of the container.
    void ComposeLayer(const TBromLayer& layer, bool firstVisible, bool firstInFile, bool notFillBG);
    // Sets TransColor and derives TransColorValue from it.
    void SetTransColor(int32_t pixel);
};

class TBromFrameList
{
  public:
    explicit TBromFrameList(int32_t identCode = 0) : IdentCode(identCode) {}

    int32_t Version = 0;
    uint32_t BGColor = 0;
    int TargetBits = 0;
    bool NotFillBG = false;
    int32_t IdentCode;

    int Count() const { return int(frames_.size()); }
    // Raises "Error:TBromFrameList.GetFrame" for a bad index.
    TBromFrame& Frames(int index);
    const TBromFrame& Frames(int index) const;
    TBromFrame& AddFrame();
    void MakeMasks(bool withLayers);

    // Reads either container from the stream's position. The list is replaced only when the whole
    // file was read; a damaged file raises "ファイルが破壊されています" and leaves it as it was.
    void LoadFromStream(TKwBigStream& stream, bool firstFrameOnly = false, bool keepLayers = false,
                        bool convert = false);
    // Chooses the reader by the name's extension: ".brm" a container, ".png" and ".bmp"/".dib"
    // one frame; other names raise "読み込めないファイル形式です".
    void LoadFromData(const std::string& name, const std::vector<uint8_t>& bytes, bool firstFrameOnly = false,
                      bool keepLayers = false, bool convert = false);
    // Host path (UTF-8).
    void LoadFromFile(const std::string& hostPath, bool firstFrameOnly = false, bool keepLayers = false,
                      bool convert = false);

    // Writes the XML container. With an identification code the rows are stored raw and scrambled.
    void SaveToStream(TKwBigStream& stream, TBromCompression compType = bcZlib, int quality = 70) const;
    void SaveToFile(const std::string& hostPath) const;

  private:
    std::vector<std::unique_ptr<TBromFrame>> frames_;
};

// Loading never lets the pictures of one list (frames and the layers kept while reading) take
// more than this many bytes, the image cache's own cap: a long animation of big frames is a real
// picture file. Each plane is also made only once the bytes that hold it have been read and could
// inflate to it, so a tiny damaged header costs next to nothing.
constexpr int64_t MaxBromPixelBytes = int64_t(1) << 30;

} // namespace ruko
