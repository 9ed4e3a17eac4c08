// Reading of the layered picture containers, binary and XML.
#include "graphics/brom.h"

#include "base/error.h"
#include "base/text.h"
#include "graphics/bromformat.h"
#include "graphics/bromxml.h"
#include "graphics/jpeg.h"
#include "io/fields.h"
#include "io/kwrandom.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace ruko {

namespace {

using namespace brom;

// A plane of `planeBytes` cannot come from `storedBytes` at `ratio`: refuse before allocating.
void RequirePlausible(size_t storedBytes, int64_t planeBytes, int64_t ratio)
{
    if (planeBytes > int64_t(storedBytes) * ratio + PlaneSlack) RaiseDamaged();
}

// Copies a rectangle between two pictures of the same depth.
void CopyArea(TPicture& target, const TPicture& source, int left, int top, int width, int height)
{
    int bits = target.Bits();
    if (bits >= 8) {
        int bytes = StorageBits(bits) / 8;
        for (int y = top; y < top + height; ++y)
            std::memcpy(target.Row(y) + left * bytes, source.Row(y) + left * bytes, size_t(width) * bytes);
        return;
    }
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x)
            target.SetPixel(x, y, source.GetPixel(x, y));
}

// Pixel x of a packed (unpadded) row of 1- or 4-bit pixels, leftmost in the high bits.
uint32_t PackedPixel(const uint8_t* row, int x, int bits)
{
    return bits == 1 ? (row[x >> 3] >> (7 - (x & 7))) & 1 : (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
}

std::vector<const TKwXmlElement*> ChildrenNamed(const TKwXmlElement& parent, std::string_view name)
{
    std::vector<const TKwXmlElement*> found;
    for (const auto& child : parent.Children)
        if (SameText(child->Name, name)) found.push_back(child.get());
    return found;
}

class TBromReader
{
  public:
    TBromReader(const TBromFrameList& settings, bool firstFrameOnly, bool keepLayers, bool convert)
        : settings_(settings), firstFrameOnly_(firstFrameOnly), keepLayers_(keepLayers), convert_(convert)
    {
    }

    void Read(TKwBigStream& s);

    int32_t Version = 0;
    THeader Header;
    std::vector<std::unique_ptr<TBromFrame>> Frames;

  private:
    // The size and depth of the frame being read. Its picture is made only once a layer's data
    // has been read (or at the frame's end when it has no layers), so a header alone costs nothing.
    struct TShape
    {
        int Width = 0, Height = 0, Bits = 0;
        bool Made = false;
    };
    // One block table entry (see ReadBlockTable).
    using TBlockEntry = std::pair<int32_t, int32_t>;

    const TBromFrameList& settings_;
    bool firstFrameOnly_, keepLayers_, convert_;
    int64_t pixelBytes_ = 0;
    int64_t unbackedBytes_ = 0;
    int64_t fileBytes_ = 0;
    TShape shape_;

    void ReadBinary(TKwBigStream& s, int32_t version);
    void ReadXml(TKwBigStream& s);
    TBromFrame& StartFrame(int width, int height, int bits);
    void MakeFramePicture(TBromFrame& frame);
    void FinishFrame(TBromFrame& frame);
    void ReadLayerData(TKwBigStream& s, TBromFrame& frame, TBromLayer& layer);
    void FinishLayer(TBromFrame& frame, std::unique_ptr<TBromLayer> layer);
    void Finish();

    static void CheckShape(int width, int height, int bits);
    void Charge(int width, int height, int bits);
    TPicture NewPicture(int width, int height, int bits);
    TPicture DecodePlane(const std::vector<uint8_t>& data, int width, int height, int bits, bool alphaPlane);
    void ReadRows(const uint8_t* data, size_t size, TPicture& picture, bool scrambled);
    std::vector<TBlockEntry> ReadBlockTable(const uint8_t* data, size_t size, int width, int height, int bits,
                                            bool alphaPlane);
    void ReadBlocks(const uint8_t* data, const std::vector<TBlockEntry>& table, TPicture& picture,
                    bool alphaPlane);
    const TPicture& Referenced(int32_t frameIndex, int32_t layerIndex, int width, int height, int bits,
                               bool alphaPlane);
    void RequireIdentCode() const;
};

void TBromReader::CheckShape(int width, int height, int bits)
{
    if (!IsPictureDepth(bits) || width < 1 || height < 1 || width > MaxPictureSide || height > MaxPictureSide)
        RaiseDamaged();
}

void TBromReader::Charge(int width, int height, int bits)
{
    CheckShape(width, height, bits);
    pixelBytes_ += PaddedRowBytes(width, bits) * height;
    if (pixelBytes_ > MaxBromPixelBytes) RaiseDamaged();
}

TPicture TBromReader::NewPicture(int width, int height, int bits)
{
    Charge(width, height, bits);
    return TPicture(width, height, bits);
}

void TBromReader::RequireIdentCode() const
{
    if (settings_.IdentCode == 0) RaiseError(Utf8ToCp932("識別コードを設定してください"));
}

void TBromReader::Read(TKwBigStream& s)
{
    int64_t start = s.GetPosition();
    fileBytes_ = std::max<int64_t>(s.GetSize() - start, 0);
    char magic[8] = {};
    int64_t got = s.Read(magic, 8);
    if (got == 8 && !std::memcmp(magic, "BromX", 5)) {
        if (magic[5] < '0' || magic[5] > '2') RaiseUnreadable();
        ReadXml(s);
    } else {
        s.SetPosition(start);
        int32_t version = 0;
        if (got >= 7 && !std::memcmp(magic, "Brom", 4)) {
            for (int i = 4; i < 7; ++i) {
                if (magic[i] < '0' || magic[i] > '9') RaiseDamaged();
                version = version * 10 + (magic[i] - '0');
            }
            s.SetPosition(start + 7);
        }
        ReadBinary(s, version);
    }
    Finish();
}

void TBromReader::ReadBinary(TKwBigStream& s, int32_t version)
{
    Version = version;
    THeader& h = Header;
    h = THeader{};
    h.Version = version;
    if (version < 103) {
        h.Count = ReadInt(s);
        ReadByte(s);
        h.BGColor = version >= 102 ? ReadU32(s) : 0;
        h.CompType = bcZlib;
        h.BlockWidth = h.BlockHeight = 0;
        h.NotFillBG = false;
    } else {
        uint32_t length = ReadU32(s);
        CheckCount(s, length, 1);
        uint8_t record[40] = {};
        ReadExact(s, record, std::min<uint32_t>(length, 40));
        if (length > 40) s.SetPosition(s.GetPosition() + (length - 40));
        auto i32 = [&](int at) {
            return int32_t(record[at] | (record[at + 1] << 8) | (record[at + 2] << 16) |
                           (uint32_t(record[at + 3]) << 24));
        };
        h.Width = i32(4);
        h.Height = i32(8);
        h.Bpp = i32(12);
        h.Count = i32(16);
        h.SyncPal = record[20] != 0;
        h.Randomized = record[21] != 0;
        h.CompType = record[22];
        h.BGColor = uint32_t(i32(24));
        h.BlockWidth = i32(28);
        h.BlockHeight = i32(32);
        h.NotFillBG = version >= 105 && record[36] != 0;
        h.CompLevel = record[37];
    }
    CheckCount(s, h.Count, MinFrameRecord);
    int frameCount = firstFrameOnly_ ? std::min(h.Count, 1) : h.Count;
    for (int f = 0; f < frameCount; ++f) {
        std::string name = ReadStr(s);
        int32_t transColor = ReadInt(s);
        int32_t delay = ReadInt(s);
        uint8_t disposal = ReadByte(s);
        uint8_t reserved[4];
        ReadExact(s, reserved, 4);
        int32_t layerCount = ReadInt(s);
        int32_t width = ReadInt(s);
        int32_t height = ReadInt(s);
        int32_t bits = ReadInt(s);
        CheckCount(s, layerCount, MinLayerRecord);
        TBromFrame& frame = StartFrame(width, height, bits);
        frame.Name = std::move(name);
        frame.Delay = delay;
        frame.Disposal = disposal;
        if (bits <= 8) {
            int entries = 1 << bits;
            CheckCount(s, entries, 4);
            for (int i = 0; i < entries; ++i) {
                uint8_t entry[4];
                ReadExact(s, entry, 4);
                frame.Picture.Palette[i] = RgbColor(entry[2], entry[1], entry[0]);
            }
        }
        frame.SetTransColor(transColor);
        for (int l = 0; l < layerCount; ++l) {
            auto layer = std::make_unique<TBromLayer>();
            int32_t position[2];
            ReadExact(s, position, 8); // left and top: not used
            layer->Visible = ReadBool(s);
            layer->TransColor = ReadInt(s);
            layer->Alpha = ReadInt(s);
            layer->AlphaOn = version > 100 ? ReadBool(s) : false;
            layer->Name = ReadStr(s);
            ReadLayerData(s, frame, *layer);
            FinishLayer(frame, std::move(layer));
        }
        FinishFrame(frame);
        if (version >= 104)
            for (auto& list : frame.RectLists) {
                int32_t n = ReadInt(s);
                CheckCount(s, n, 16);
                for (int32_t i = 0; i < n; ++i) {
                    TRect rect;
                    rect.Left = ReadInt(s);
                    rect.Top = ReadInt(s);
                    rect.Right = ReadInt(s);
                    rect.Bottom = ReadInt(s);
                    list.push_back(rect);
                }
            }
    }
}

void TBromReader::ReadXml(TKwBigStream& s)
{
    uint32_t length = ReadU32(s);
    CheckCount(s, length, 1);
    std::vector<uint8_t> packed(length);
    ReadExact(s, packed.data(), length);
    std::vector<uint8_t> text = Inflate(packed.data(), packed.size(), MaxXmlBytes);
    TKwXml xml;
    xml.Parse(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    const TKwXmlElement& root = *xml.Root;
    if (!SameText(root.Name, "Frames")) RaiseDamaged();
    THeader& h = Header;
    auto int32Attr = [](const TKwXmlElement& e, const char* name, int64_t fallback) {
        int64_t value = e.IntAttribute(name, fallback);
        if (value < INT32_MIN || value > UINT32_MAX) RaiseDamaged();
        return int32_t(uint32_t(value));
    };
    h.Version = int32Attr(root, "Version", 200);
    h.Width = int32Attr(root, "Width", 100);
    h.Height = int32Attr(root, "Height", 100);
    h.Bpp = int32Attr(root, "Bpp", 8);
    h.Count = int32Attr(root, "Count", 0);
    h.SyncPal = root.BoolAttribute("SyncPal", false);
    h.Randomized = root.BoolAttribute("Randomized", false);
    h.CompType = uint8_t(int32Attr(root, "CompType", 0));
    h.BGColor = uint32_t(int32Attr(root, "BGColor", 0));
    h.BlockWidth = int32Attr(root, "BlockWidth", 32);
    h.BlockHeight = int32Attr(root, "BlockHeight", 32);
    h.NotFillBG = root.BoolAttribute("NotFillBG", true);
    h.CompLevel = uint8_t(int32Attr(root, "CompLevel", 0));
    Version = h.Version;
    if (h.Count < 0) RaiseDamaged();
    int frameCount = firstFrameOnly_ ? std::min(h.Count, 1) : h.Count;
    // Looked up once: finding the n-th child afresh for each frame would take quadratic time on
    // a document of many small frames.
    std::vector<const TKwXmlElement*> frameElements = ChildrenNamed(root, "Frame");
    for (int f = 0; f < frameCount; ++f) {
        const TKwXmlElement* element = size_t(f) < frameElements.size() ? frameElements[size_t(f)] : nullptr;
        if (!element) {
            if (f > 0) break;
            RaiseDamaged();
        }
        const TKwXmlElement* layers = element->FindChild("Layers");
        if (!layers) RaiseError(Utf8ToCp932("レイヤーがありません"));
        int32_t layerCount = int32Attr(*layers, "Count", 0);
        TBromFrame& frame = StartFrame(int32Attr(*layers, "Width", 100), int32Attr(*layers, "Height", 100),
                                       int32Attr(*layers, "Bpp", 8));
        frame.Name = element->Attribute("Name");
        frame.Delay = int32Attr(*element, "Delay", 0);
        frame.Disposal = uint8_t(int32Attr(*element, "Disposal", 0));
        int bits = frame.Picture.Bits();
        if (bits <= 8) {
            const TKwXmlElement* table = layers->FindChild("RGB");
            size_t entries = size_t(1) << bits;
            std::string digits = table ? table->Text : std::string();
            digits.erase(
                std::remove_if(digits.begin(), digits.end(),
                               [](char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }),
                digits.end());
            if (digits.size() < entries * 6) RaiseError(Utf8ToCp932("カラーテーブルがありません"));
            for (size_t i = 0; i < entries; ++i) {
                uint32_t value = 0;
                for (size_t k = 0; k < 6; ++k) {
                    char c = digits[i * 6 + k];
                    int digit = c >= '0' && c <= '9'   ? c - '0'
                                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                       : -1;
                    if (digit < 0) RaiseDamaged();
                    value = value << 4 | uint32_t(digit);
                }
                frame.Picture.Palette[i] = value;
            }
        }
        frame.SetTransColor(int32Attr(*element, "TransColor", -1));
        if (layerCount < 0) RaiseDamaged();
        std::vector<const TKwXmlElement*> layerElements = ChildrenNamed(*layers, "Layer");
        if (size_t(layerCount) > layerElements.size()) RaiseDamaged();
        for (int32_t l = 0; l < layerCount; ++l) {
            const TKwXmlElement* layerElement = layerElements[size_t(l)];
            auto layer = std::make_unique<TBromLayer>();
            layer->Visible = layerElement->BoolAttribute("Visible", true);
            layer->TransColor = int32Attr(*layerElement, "TransColor", -1);
            layer->Alpha = int32Attr(*layerElement, "Alpha", 255);
            layer->AlphaOn = layerElement->BoolAttribute("AlphaOn", false);
            layer->Name = layerElement->Attribute("Name");
            ReadLayerData(s, frame, *layer);
            FinishLayer(frame, std::move(layer));
        }
        FinishFrame(frame);
    }
}

TBromFrame& TBromReader::StartFrame(int width, int height, int bits)
{
    CheckShape(width, height, bits);
    shape_ = TShape{width, height, bits, false};
    auto frame = std::make_unique<TBromFrame>();
    // Until the picture is made, a one-pixel picture of the depth carries the colour table.
    frame->Picture = TPicture(1, 1, bits);
    Frames.push_back(std::move(frame));
    return *Frames.back();
}

void TBromReader::MakeFramePicture(TBromFrame& frame)
{
    if (shape_.Made) return;
    TPicture picture = NewPicture(shape_.Width, shape_.Height, shape_.Bits);
    picture.Palette = std::move(frame.Picture.Palette);
    picture.Fill(picture.ColorToPixel(Header.BGColor));
    frame.Picture = std::move(picture);
    shape_.Made = true;
}

void TBromReader::FinishFrame(TBromFrame& frame)
{
    if (!shape_.Made) {
        // No layer data stands behind this picture: bound it by what the whole file could hold.
        unbackedBytes_ += PaddedRowBytes(shape_.Width, shape_.Bits) * shape_.Height;
        if (unbackedBytes_ > fileBytes_ * MaxInflateRatio + UnbackedSlack) RaiseDamaged();
    }
    MakeFramePicture(frame);
}

void TBromReader::ReadLayerData(TKwBigStream& s, TBromFrame& frame, TBromLayer& layer)
{
    uint32_t size = ReadU32(s);
    CheckCount(s, size, 1);
    std::vector<uint8_t> data(size);
    ReadExact(s, data.data(), size);
    layer.Picture = DecodePlane(data, shape_.Width, shape_.Height, shape_.Bits, false);
    layer.Picture.Palette = frame.Picture.Palette;
    if (Version > 99) {
        uint32_t alphaSize = ReadU32(s);
        CheckCount(s, alphaSize, 1);
        if (alphaSize > 0) {
            data.resize(alphaSize);
            ReadExact(s, data.data(), alphaSize);
            layer.AlphaPlane = DecodePlane(data, shape_.Width, shape_.Height, 8, true);
        }
    }
}

void TBromReader::FinishLayer(TBromFrame& frame, std::unique_ptr<TBromLayer> layer)
{
    MakeFramePicture(frame);
    if (layer->Visible) {
        bool firstVisible = std::none_of(frame.Layers.begin(), frame.Layers.end(),
                                         [](const auto& earlier) { return earlier->Visible; });
        frame.ComposeLayer(*layer, firstVisible, frame.Layers.empty(), Header.NotFillBG);
    }
    // Kept until the whole file is read: blocks of later layers and frames may copy from it.
    frame.Layers.push_back(std::move(layer));
}

TPicture TBromReader::DecodePlane(const std::vector<uint8_t>& data, int width, int height, int bits,
                                  bool alphaPlane)
{
    CheckShape(width, height, bits);
    int64_t planeBytes = PaddedRowBytes(width, bits) * height;
    if (Version <= 102) {
        if (int64_t(data.size()) == planeBytes) {
            TPicture picture = NewPicture(width, height, bits);
            ReadRows(data.data(), data.size(), picture, true);
            return picture;
        }
        RequirePlausible(data.size(), planeBytes, MaxInflateRatio);
        std::vector<uint8_t> rows = Inflate(data.data(), data.size(), size_t(planeBytes));
        if (int64_t(rows.size()) < planeBytes) RaiseDamaged();
        TPicture picture = NewPicture(width, height, bits);
        ReadRows(rows.data(), rows.size(), picture, false);
        return picture;
    }
    uint8_t type = Header.CompType;
    if (type > bcJpeg) RaiseUnreadable();
    if (type == bcJpeg && !alphaPlane) {
        if (bits <= 8) RaiseDamaged();
        RequirePlausible(data.size(), PaddedRowBytes(width, 24) * height, MaxJpegRatio);
        Charge(width, height, 24);
        TPicture decoded = DecodeJpeg(data.data(), data.size(), width, height);
        return bits == 24 ? decoded : decoded.ConvertTo(bits);
    }
    bool blocks = Header.BlockWidth > 0 && Header.BlockHeight > 0 && type != bcJpeg;
    int64_t columns = 0, rows = 0;
    if (blocks) {
        columns = (width + int64_t(Header.BlockWidth) - 1) / Header.BlockWidth;
        rows = (height + int64_t(Header.BlockHeight) - 1) / Header.BlockHeight;
    }
    const uint8_t* bytes = data.data();
    size_t size = data.size();
    std::vector<uint8_t> inflated;
    if (type == bcZlib || type == bcJpeg) {
        // Blocks may repeat earlier ones, so only the table is sure to be stored.
        RequirePlausible(size, blocks ? columns * rows * 8 : planeBytes, MaxInflateRatio);
        int64_t limit = planeBytes;
        if (blocks) limit = columns * rows * 8 + (PackedRowBytes(width, bits) + columns) * height;
        inflated = Inflate(bytes, size, size_t(std::min(limit, MaxBromPixelBytes)));
        bytes = inflated.data();
        size = inflated.size();
    }
    if (Header.Randomized) RequireIdentCode();
    if (blocks) {
        std::vector<TBlockEntry> table = ReadBlockTable(bytes, size, width, height, bits, alphaPlane);
        TPicture picture = NewPicture(width, height, bits);
        ReadBlocks(bytes, table, picture, alphaPlane);
        return picture;
    }
    if (int64_t(size) < planeBytes) RaiseDamaged();
    TPicture picture = NewPicture(width, height, bits);
    ReadRows(bytes, size, picture, Header.Randomized);
    return picture;
}

// Whole-plane rows, padded to 4 bytes, top row first; scrambled rows go to the rows the
// identification code's permutation names.
void TBromReader::ReadRows(const uint8_t* data, size_t size, TPicture& picture, bool scrambled)
{
    size_t pitch = size_t(picture.Pitch());
    if (size < pitch * size_t(picture.Height())) RaiseDamaged();
    if (!scrambled) {
        std::memcpy(picture.Bytes().data(), data, pitch * size_t(picture.Height()));
        return;
    }
    TKwRandom random{uint32_t(settings_.IdentCode)};
    random.InitPermutation(picture.Height());
    for (int i = 0; i < picture.Height(); ++i)
        std::memcpy(picture.Row(random.NextIndex()), data + pitch * size_t(i), pitch);
}

// Reads and checks the block table and the bytes it asks for, before the plane is allocated:
// first value -1 = the block's bytes follow, -2 = repeat an earlier block of this plane, any
// other = the same area of a layer (second value) of an earlier frame (first value).
std::vector<TBromReader::TBlockEntry> TBromReader::ReadBlockTable(const uint8_t* data, size_t size, int width,
                                                                  int height, int bits, bool alphaPlane)
{
    int64_t blockWidth = Header.BlockWidth, blockHeight = Header.BlockHeight;
    int64_t columns = (width + blockWidth - 1) / blockWidth;
    int64_t rows = (height + blockHeight - 1) / blockHeight;
    int64_t count = columns * rows;
    if (uint64_t(count) * 8 > size) RaiseDamaged();
    std::vector<TBlockEntry> table(size_t(count), {0, 0});
    auto entryAt = [&](int64_t i) {
        const uint8_t* p = data + i * 8;
        auto i32 = [](const uint8_t* q) {
            return int32_t(q[0] | (q[1] << 8) | (q[2] << 16) | (uint32_t(q[3]) << 24));
        };
        return TBlockEntry(i32(p), i32(p + 4));
    };
    if (Header.Randomized) {
        TKwRandom random{uint32_t(settings_.IdentCode)};
        random.InitPermutation(int(count));
        for (int64_t i = 0; i < count; ++i)
            table[size_t(random.NextIndex())] = entryAt(i);
    } else {
        for (int64_t i = 0; i < count; ++i)
            table[size_t(i)] = entryAt(i);
    }
    uint64_t stored = 0;
    for (int64_t index = 0; index < count; ++index) {
        auto [kind, reference] = table[size_t(index)];
        if (kind == -1) {
            int64_t left = (index % columns) * blockWidth, top = (index / columns) * blockHeight;
            int64_t w = std::min<int64_t>(width - left, blockWidth),
                    h = std::min<int64_t>(height - top, blockHeight);
            stored += uint64_t(PackedRowBytes(int(w), bits)) * uint64_t(h);
        } else if (kind == -2) {
            // Only a block decoded before this one may be repeated.
            if (reference < 0 || reference >= index) RaiseDamaged();
        } else {
            Referenced(kind, reference, width, height, bits, alphaPlane);
        }
    }
    if (stored > size - size_t(count) * 8) RaiseDamaged();
    return table;
}

void TBromReader::ReadBlocks(const uint8_t* data, const std::vector<TBlockEntry>& table, TPicture& picture,
                             bool alphaPlane)
{
    int width = picture.Width(), height = picture.Height(), bits = picture.Bits();
    int64_t blockWidth = Header.BlockWidth, blockHeight = Header.BlockHeight;
    int64_t columns = (width + blockWidth - 1) / blockWidth;
    int64_t count = int64_t(table.size());
    size_t position = size_t(count) * 8;
    auto blockRect = [&](int64_t index) {
        int left = int((index % columns) * blockWidth), top = int((index / columns) * blockHeight);
        return TRect(left, top, int(std::min<int64_t>(width, left + blockWidth)),
                     int(std::min<int64_t>(height, top + blockHeight)));
    };
    for (int64_t index = 0; index < count; ++index) {
        TRect block = blockRect(index);
        auto [kind, reference] = table[size_t(index)];
        if (kind == -1) {
            size_t rowBytes = size_t(PackedRowBytes(block.Width(), bits));
            for (int y = block.Top; y < block.Bottom; ++y, position += rowBytes) {
                if (bits >= 8)
                    std::memcpy(picture.Row(y) + size_t(block.Left) * (StorageBits(bits) / 8),
                                data + position, rowBytes);
                else
                    for (int x = 0; x < block.Width(); ++x)
                        picture.SetPixel(block.Left + x, y, PackedPixel(data + position, x, bits));
            }
        } else if (kind == -2) {
            TRect source = blockRect(reference);
            int w = std::min(block.Width(), source.Width()), h = std::min(block.Height(), source.Height());
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    picture.SetPixel(block.Left + x, block.Top + y,
                                     picture.GetPixel(source.Left + x, source.Top + y));
        } else {
            const TPicture& source = Referenced(kind, reference, width, height, bits, alphaPlane);
            CopyArea(picture, source, block.Left, block.Top, block.Width(), block.Height());
        }
    }
}

// A plane of an already-read layer of the given size and depth: a layer of an earlier frame, or
// an earlier layer of the frame being read.
const TPicture& TBromReader::Referenced(int32_t frameIndex, int32_t layerIndex, int width, int height,
                                        int bits, bool alphaPlane)
{
    if (frameIndex < 0 || size_t(frameIndex) >= Frames.size()) RaiseBadFrame();
    const TBromFrame& frame = *Frames[size_t(frameIndex)];
    if (layerIndex < 0 || size_t(layerIndex) >= frame.Layers.size()) RaiseDamaged();
    const TBromLayer& layer = *frame.Layers[size_t(layerIndex)];
    const TPicture* plane = alphaPlane ? (layer.AlphaPlane ? &*layer.AlphaPlane : nullptr) : &layer.Picture;
    if (!plane || plane->Width() != width || plane->Height() != height || plane->Bits() != bits)
        RaiseDamaged();
    return *plane;
}

void TBromReader::Finish()
{
    for (auto& frame : Frames) {
        if (convert_) {
            if (frame->TransColor != -1) frame->MakeMask(keepLayers_);
            int bits = frame->Picture.Bits();
            if (settings_.TargetBits == 0 && bits <= 8) {
                TPicture converted = frame->Picture.ConvertTo(24);
                if (frame->TransColor != -1) {
                    // The key becomes the colour the transparent index shows. Every pixel with
                    // that index converts to exactly this value, so it is also defined when no
                    // pixel uses the index.
                    int64_t key =
                        converted.ColorToPixel(frame->Picture.PixelToColor(uint32_t(frame->TransColor)));
                    frame->TransColor = int32_t(key);
                }
                frame->Picture = std::move(converted);
                if (keepLayers_)
                    for (auto& layer : frame->Layers) {
                        int32_t key = layer->TransColor;
                        if (key != -1 && !layer->AlphaOn)
                            layer->TransColor = int32_t(
                                TPicture(1, 1, 24).ColorToPixel(layer->Picture.PixelToColor(uint32_t(key))));
                        layer->Picture = layer->Picture.ConvertTo(24);
                    }
            } else if (settings_.TargetBits != 0 && settings_.TargetBits != bits &&
                       settings_.TargetBits > 8 && IsPictureDepth(settings_.TargetBits) &&
                       (frame->AlphaPlane || frame->TransColor == -1)) {
                frame->Picture = frame->Picture.ConvertTo(settings_.TargetBits);
                if (frame->TransColor != -1)
                    frame->TransColor =
                        int32_t(frame->Picture.ColorToPixel(uint32_t(frame->TransColorValue)));
            }
        }
        if (!keepLayers_) frame->Layers.clear();
    }
}

} // namespace

void TBromFrameList::LoadFromStream(TKwBigStream& stream, bool firstFrameOnly, bool keepLayers, bool convert)
{
    TBromReader reader(*this, firstFrameOnly, keepLayers, convert);
    reader.Read(stream);
    Version = reader.Version;
    BGColor = reader.Header.BGColor;
    NotFillBG = reader.Header.NotFillBG;
    frames_ = std::move(reader.Frames);
}

} // namespace ruko
