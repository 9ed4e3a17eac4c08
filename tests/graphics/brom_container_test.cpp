// Reading the binary and XML containers: every version's layout, row and block storage,
// scrambling, and the checks that reject damaged files.
#include "allocation_watch.h"
#include "brom_test_support.h"

#include "graphics/bromxml.h"
#include "graphics/jpeg.h"
#include "graphics/png.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ruko::test {
namespace {

constexpr const char* Damaged = "ファイルが破壊されています";

TLayerSpec RawLayer24(int width, const std::vector<uint32_t>& pixels)
{
    TLayerSpec layer;
    layer.Data = Rows24(width, pixels);
    return layer;
}

TEST(BromBinary, EveryVersionReadsExactlyTheFieldsItStores)
{
    for (int version : {0, 99, 100, 101, 102, 103, 104, 105}) {
        SCOPED_TRACE(version);
        TFrameSpec frame;
        TLayerSpec layer = RawLayer24(4, {0, 0x112233, 0x112233, 0x112233, 0x112233, 0x112233, 0x112233, 0});
        layer.TransColor = 0;
        layer.Name = "top";
        layer.AlphaData = std::vector<uint8_t>(8, 255);
        frame.Layers.push_back(layer);
        frame.Rects[0] = {TRect(0, 0, 2, 2)};
        THeaderSpec header;
        header.BGColor = RgbColor(255, 0, 0);
        header.NotFillBG = true;
        TBromFrameList list = LoadBytes(BuildBinary(version, header, {frame}), 0, true);

        ASSERT_EQ(list.Count(), 1);
        const TBromFrame& loaded = list.Frames(0);
        EXPECT_EQ(loaded.Delay, 50);
        ASSERT_EQ(loaded.Layers.size(), 1u);
        EXPECT_EQ(loaded.Layers[0]->Name, "top");
        EXPECT_EQ(loaded.Layers[0]->AlphaPlane.has_value(), version > 99);
        EXPECT_EQ(loaded.RectLists[0].size(), version >= 104 ? 1u : 0u);
        EXPECT_EQ(list.NotFillBG, version >= 105);
        // The keyed pixel shows the background, unless the first layer is copied whole.
        uint32_t background = version >= 102 && version < 105 ? 0xFF0000 : 0;
        EXPECT_EQ(loaded.Picture.GetPixel(0, 0), background);
        EXPECT_EQ(loaded.Picture.GetPixel(1, 0), 0x112233u);
    }
}

TEST(BromBinary, VersionOneHundredAndOneHasTheAlphaOnByte)
{
    TFrameSpec frame;
    TLayerSpec layer = RawLayer24(4, std::vector<uint32_t>(8, 0x445566));
    layer.AlphaOn = true;
    layer.Name = "after";
    layer.AlphaData = std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 7};
    frame.Layers.push_back(layer);
    TBromFrameList list = LoadBytes(BuildBinary(101, {}, {frame}), 0, true);
    const TBromFrame& loaded = list.Frames(0);
    EXPECT_TRUE(loaded.Layers[0]->AlphaOn);
    EXPECT_EQ(loaded.Layers[0]->Name, "after");
    ASSERT_TRUE(loaded.AlphaPlane.has_value()) << "the first visible layer gives the frame its alpha plane";
    EXPECT_EQ(loaded.AlphaPlane->GetPixel(3, 1), 7u);
}

TEST(BromBinary, OldVersionsReadCompressedRowsAndRowsScrambledByTheIdentCode)
{
    std::vector<uint32_t> pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    TPicture expected(2, 6, 24);
    for (int i = 0; i < 12; ++i)
        expected.SetPixel(i % 2, i / 2, pixels[size_t(i)]);
    std::vector<uint8_t> rows = Rows24(2, pixels);

    TFrameSpec compressed;
    compressed.Width = 2;
    compressed.Height = 6;
    compressed.Layers.push_back(TLayerSpec{});
    compressed.Layers[0].Data = Zlib(rows);
    EXPECT_TRUE(LoadBytes(BuildBinary(102, {}, {compressed})).Frames(0).Picture == expected);

    const int32_t ident = 0x5A17;
    std::vector<uint8_t> scrambled(rows.size());
    TKwRandom random{uint32_t(ident)};
    random.InitPermutation(6);
    for (int i = 0; i < 6; ++i) // stored row i is picture row NextIndex
        std::memcpy(scrambled.data() + i * 8, rows.data() + random.NextIndex() * 8, 8);
    ASSERT_NE(scrambled, rows);
    TFrameSpec raw = compressed;
    raw.Layers[0].Data = scrambled;
    EXPECT_TRUE(LoadBytes(BuildBinary(102, {}, {raw}), ident).Frames(0).Picture == expected);

    THeaderSpec randomized;
    randomized.Randomized = true;
    EXPECT_TRUE(LoadBytes(BuildBinary(105, randomized, {raw}), ident).Frames(0).Picture == expected);
    EXPECT_EQ(ErrorOf([&] { LoadBytes(BuildBinary(105, randomized, {raw}), 0); }),
              "識別コードを設定してください");
}

// Block storage of frame pixels: blocks of 2 × 2 over 5 × 3 (edge blocks narrower and lower).
struct TBlockFile
{
    std::vector<uint8_t> Data;
    void Entry(int32_t kind, int32_t value)
    {
        for (int32_t v : {kind, value})
            for (int i = 0; i < 4; ++i)
                Data.push_back(uint8_t(uint32_t(v) >> (8 * i)));
    }
    void Block(const TPicture& picture, TRect block)
    {
        for (int y = block.Top; y < block.Bottom; ++y)
            for (int x = block.Left; x < block.Right; ++x)
                for (int c = 0; c < 3; ++c)
                    Data.push_back(uint8_t(picture.GetPixel(x, y) >> (8 * c)));
    }
};

TPicture Pattern(int width, int height, uint32_t seed)
{
    TPicture picture(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetPixel(x, y, (seed * 0x9E3779B1u + uint32_t(y * 31 + x) * 0x85EBCA6Bu) & 0xFFFFFF);
    return picture;
}

TEST(BromBinary, BlocksAreReadCopiedWithinThePictureAndFromEarlierFrames)
{
    const TRect blocks[6] = {TRect(0, 0, 2, 2), TRect(2, 0, 4, 2), TRect(4, 0, 5, 2),
                             TRect(0, 2, 2, 3), TRect(2, 2, 4, 3), TRect(4, 2, 5, 3)};
    TPicture first = Pattern(5, 3, 1), second = Pattern(5, 3, 2);
    for (bool zlib : {false, true})
        for (bool randomized : {false, true}) {
            SCOPED_TRACE(testing::Message() << "zlib " << zlib << " randomized " << randomized);
            TBlockFile a, b;
            for (int i = 0; i < 6; ++i)
                a.Entry(-1, 0);
            for (const TRect& block : blocks)
                a.Block(first, block);
            // Frame 1: block 0 from frame 0 layer 0, block 1 repeats block 0, the rest stored.
            std::vector<std::pair<int32_t, int32_t>> entries = {{0, 0},  {-2, 0}, {-1, 0},
                                                                {-1, 0}, {-1, 0}, {-1, 0}};
            if (randomized) { // stored entry i belongs to block NextIndex
                std::vector<std::pair<int32_t, int32_t>> stored(6);
                TKwRandom random{77u};
                random.InitPermutation(6);
                std::vector<int> order;
                for (int i = 0; i < 6; ++i)
                    order.push_back(random.NextIndex());
                for (int i = 0; i < 6; ++i)
                    stored[size_t(i)] = entries[size_t(order[size_t(i)])];
                for (auto [kind, value] : stored)
                    b.Entry(kind, value);
            } else {
                for (auto [kind, value] : entries)
                    b.Entry(kind, value);
            }
            for (int i = 2; i < 6; ++i)
                b.Block(second, blocks[i]);
            TFrameSpec f0, f1;
            f0.Width = f1.Width = 5;
            f0.Height = f1.Height = 3;
            f0.Layers.push_back(TLayerSpec{});
            f0.Layers[0].Data = zlib ? Zlib(a.Data) : a.Data;
            f1.Layers.push_back(TLayerSpec{});
            f1.Layers[0].Data = zlib ? Zlib(b.Data) : b.Data;
            THeaderSpec header;
            header.CompType = zlib ? 0 : 1;
            header.BlockWidth = header.BlockHeight = 2;
            header.Randomized = randomized;
            TBromFrameList list = LoadBytes(BuildBinary(104, header, {f0, f1}), randomized ? 77 : 0);
            EXPECT_TRUE(list.Frames(0).Picture == first);
            TPicture expected = second;
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 2; ++x) {
                    expected.SetPixel(x, y, first.GetPixel(x, y));
                    expected.SetPixel(x + 2, y, first.GetPixel(x, y));
                }
            EXPECT_TRUE(list.Frames(1).Picture == expected);
        }
}

TEST(BromBinary, SubBytePixelsInBlocksAreUnpaddedWithTheLeftmostPixelHighest)
{
    TFrameSpec frame;
    frame.Width = 3;
    frame.Height = 2;
    frame.Bits = 4;
    frame.Palette.assign(16, 0);
    TBlockFile data;
    data.Entry(-1, 0);
    data.Data.insert(data.Data.end(), {0x12, 0x30, 0x45, 0x60});
    frame.Layers.push_back(TLayerSpec{});
    frame.Layers[0].Data = data.Data;
    THeaderSpec header;
    header.BlockWidth = 3;
    header.BlockHeight = 2;
    TBromFrameList list = LoadBytes(BuildBinary(103, header, {frame}));
    const TPicture& picture = list.Frames(0).Picture;
    EXPECT_EQ(picture.GetPixel(0, 0), 1u);
    EXPECT_EQ(picture.GetPixel(2, 0), 3u);
    EXPECT_EQ(picture.GetPixel(0, 1), 4u);
    EXPECT_EQ(picture.GetPixel(2, 1), 6u);
}

TEST(BromBinary, PalettisedFramesKeepTheirTableAndTheirKeyAsAColour)
{
    TFrameSpec frame;
    frame.Width = 4;
    frame.Height = 1;
    frame.Bits = 8;
    frame.Palette.assign(256, 0);
    frame.Palette[5] = 0x000000FF; // blue, green, red bytes: pure blue
    frame.TransColor = 5;
    frame.Layers.push_back(TLayerSpec{});
    frame.Layers[0].Data = {5, 0, 5, 1};
    TBromFrameList list = LoadBytes(BuildBinary(103, {}, {frame}));
    EXPECT_EQ(list.Frames(0).TransColorValue, RgbColor(0, 0, 255));
    EXPECT_EQ(list.Frames(0).Picture.GetPixel(3, 0), 1u);
}

// Converting a palettised frame keys on the colour of its first transparent pixel; when no pixel
// uses the transparent index, the key is the colour that index shows, never undefined.
TEST(BromBinary, ConvertedPalettisedFrameAlwaysGetsADefinedKey)
{
    for (bool used : {true, false}) {
        TFrameSpec frame;
        frame.Width = 2;
        frame.Height = 1;
        frame.Bits = 8;
        frame.Palette.assign(256, 0);
        frame.Palette[7] = 0x00102030;
        frame.Palette[1] = 0x00FFFFFF;
        frame.TransColor = 7;
        frame.Layers.push_back(TLayerSpec{});
        frame.Layers[0].Data = {1, uint8_t(used ? 7 : 1), 0, 0};
        TBromFrameList list = LoadBytes(BuildBinary(103, {}, {frame}), 0, false, true);
        const TBromFrame& loaded = list.Frames(0);
        EXPECT_EQ(loaded.Picture.Bits(), 24);
        EXPECT_EQ(loaded.TransColor, 0x102030) << used;
        ASSERT_TRUE(loaded.AlphaPlane.has_value());
        EXPECT_EQ(loaded.AlphaPlane->GetPixel(1, 0), used ? 0u : 255u);
    }
}

TEST(BromBinary, DamagedFilesRaiseTheirErrors)
{
    auto frameWith = [](auto change) {
        TFrameSpec frame = TFrameSpec{};
        frame.Layers.push_back(RawLayer24(4, std::vector<uint32_t>(8, 0x010203)));
        change(frame);
        return frame;
    };
    auto file = [&](auto change, THeaderSpec header = {}, int version = 103) {
        return BuildBinary(version, header, {frameWith(change)});
    };
    std::vector<uint8_t> good = file([](TFrameSpec&) {});
    THeaderSpec zlib;
    zlib.CompType = 0;
    THeaderSpec jpeg;
    jpeg.CompType = 2;
    THeaderSpec blocks;
    blocks.BlockWidth = blocks.BlockHeight = 2;
    auto blockTable = [](std::vector<std::pair<int32_t, int32_t>> entries) {
        TBlockFile data;
        for (auto [kind, value] : entries)
            data.Entry(kind, value);
        data.Data.resize(data.Data.size() + 64);
        return data.Data;
    };
    struct Case
    {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* error;
    } cases[] = {
        {"cut short", std::vector<uint8_t>(good.begin(), good.end() - 3), Damaged},
        {"depth 7", file([](TFrameSpec& f) { f.Bits = 7; }), Damaged},
        {"zero width", file([](TFrameSpec& f) { f.Width = 0; }), Damaged},
        {"width 16385", file([](TFrameSpec& f) { f.Width = 16385; }), Damaged},
        {"negative height", file([](TFrameSpec& f) { f.Height = -2; }), Damaged},
        {"short raw rows", file([](TFrameSpec& f) { f.Layers[0].Data.resize(20); }), Damaged},
        {"inflates past the plane",
         file([](TFrameSpec& f) { f.Layers[0].Data = Zlib(std::vector<uint8_t>(40, 1)); }, zlib), Damaged},
        {"broken zlib",
         file(
             [](TFrameSpec& f) {
                 f.Layers[0].Data = {0x78, 0x9C, 1, 2, 3};
             },
             zlib),
         Damaged},
        {"JPEG of another size",
         file([](TFrameSpec& f) { f.Layers[0].Data = EncodeJpeg(TPicture(3, 3, 24), 50); }, jpeg), Damaged},
        {"unknown compression",
         file([](TFrameSpec&) {},
              [] {
                  THeaderSpec h;
                  h.CompType = 9;
                  return h;
              }()),
         "読み込めないファイル形式です"},
        {"block from a later frame",
         file(
             [&](TFrameSpec& f) {
                 f.Layers[0].Data = blockTable({{3, 0}, {-1, 0}});
             },
             blocks),
         "Error:TBromFrameList.GetFrame"},
        {"block from the layer being read",
         file(
             [&](TFrameSpec& f) {
                 f.Layers[0].Data = blockTable({{0, 0}, {-1, 0}});
             },
             blocks),
         Damaged},
        {"repeat of a later block",
         file(
             [&](TFrameSpec& f) {
                 f.Layers[0].Data = blockTable({{-2, 1}, {-1, 0}});
             },
             blocks),
         Damaged},
        {"block table longer than the data",
         file(
             [](TFrameSpec& f) {
                 f.Layers[0].Data = {0xFF, 0xFF};
             },
             blocks),
         Damaged},
        {"frame count beyond the data",
         [&] {
             auto b = good;
             b[27] = 0x7F;
             return b;
         }(),
         Damaged},
        {"version that is not digits",
         [&] {
             auto b = good;
             b[5] = 'x';
             return b;
         }(),
         Damaged},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorOf([&] { LoadBytes(c.bytes); }), c.error) << c.name;
}

TEST(BromBinary, ABlockMayOnlyCopyAPlaneOfTheSameGeometry)
{
    TFrameSpec small;
    small.Width = 2;
    TBlockFile stored;
    stored.Entry(-1, 0);
    stored.Block(Pattern(2, 2, 3), TRect(0, 0, 2, 2));
    small.Layers.push_back(TLayerSpec{});
    small.Layers[0].Data = stored.Data;
    TFrameSpec wide;
    TBlockFile data;
    data.Entry(0, 0);
    data.Entry(-1, 0);
    data.Data.resize(data.Data.size() + 64);
    wide.Layers.push_back(TLayerSpec{});
    wide.Layers[0].Data = data.Data;
    THeaderSpec header;
    header.BlockWidth = header.BlockHeight = 2;
    EXPECT_EQ(ErrorOf([&] { LoadBytes(BuildBinary(103, header, {small, wide})); }), Damaged);
}

TEST(BromBinary, AFailedLoadLeavesTheListAsItWas)
{
    TFrameSpec frame;
    frame.Layers.push_back(RawLayer24(4, std::vector<uint32_t>(8, 0x0A0B0C)));
    TBromFrameList list = LoadBytes(BuildBinary(103, {}, {frame}));
    std::vector<uint8_t> damaged = BuildBinary(103, {}, {frame, frame});
    damaged.resize(damaged.size() - 5);
    TKwBigMemoryStream stream(damaged);
    EXPECT_THROW(list.LoadFromStream(stream), ERukoError);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Frames(0).Picture.GetPixel(0, 0), 0x0A0B0Cu);
    EXPECT_EQ(ErrorOf([&] { list.Frames(1); }), "Error:TBromFrameList.GetFrame");
}

// An XML container around a document and the layer data that follows it.
std::vector<uint8_t> XmlFile(const std::string& document, const std::vector<uint8_t>& data = {},
                             char major = '2')
{
    TKwBigMemoryStream s;
    std::string magic = "BromX200";
    magic[5] = major;
    WriteExact(s, magic.data(), 8);
    std::vector<uint8_t> packed = Zlib(std::vector<uint8_t>(document.begin(), document.end()));
    WriteU32(s, uint32_t(packed.size()));
    WriteExact(s, packed.data(), int64_t(packed.size()));
    WriteExact(s, data.data(), int64_t(data.size()));
    return s.TakeBytes();
}

const char* Declaration = "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\r\n";

TEST(BromXml, ColourTableDigitsReadBlueGreenRed)
{
    std::string document =
        std::string(Declaration) +
        "<Frames Version=\"200\" Count=\"1\" CompType=\"1\" BlockWidth=\"0\" BlockHeight=\"0\">"
        "<Frame TransColor=\"1\"><Layers Count=\"1\" Width=\"2\" Height=\"1\" Bpp=\"1\">"
        "<RGB>0000FF00FF00</RGB><Layer /></Layers></Frame></Frames>";
    std::vector<uint8_t> data = {4, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0};
    TBromFrameList list = LoadBytes(XmlFile(document, data));
    const TBromFrame& frame = list.Frames(0);
    EXPECT_EQ(frame.Picture.Palette[0], RgbColor(255, 0, 0));
    EXPECT_EQ(frame.Picture.Palette[1], RgbColor(0, 255, 0));
    EXPECT_EQ(frame.TransColorValue, RgbColor(0, 255, 0));
    EXPECT_EQ(frame.Picture.GetPixel(1, 0), 1u);
}

TEST(BromXml, AMissingFrameAfterTheFirstEndsTheListWithoutError)
{
    std::string document =
        std::string(Declaration) +
        "<Frames Count=\"3\" CompType=\"1\" BlockWidth=\"0\" Bpp=\"24\">"
        "<Frame><Layers Count=\"1\" Width=\"1\" Height=\"1\" Bpp=\"24\"><Layer/></Layers></Frame>"
        "</Frames>";
    std::vector<uint8_t> data = {4, 0, 0, 0, 1, 2, 3, 0, 0, 0, 0, 0};
    EXPECT_EQ(LoadBytes(XmlFile(document, data)).Count(), 1);
}

TEST(BromXml, DamagedDocumentsRaiseTheirErrors)
{
    std::string frames = "<Frames Count=\"1\" CompType=\"1\" BlockWidth=\"0\">";
    struct Case
    {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* error;
    } cases[] = {
        {"major version 3", XmlFile(std::string(Declaration) + frames + "</Frames>", {}, '3'),
         "読み込めないファイル形式です"},
        {"no frame", XmlFile(std::string(Declaration) + frames + "</Frames>"), Damaged},
        {"no layers", XmlFile(std::string(Declaration) + frames + "<Frame/></Frames>"),
         "レイヤーがありません"},
        {"short colour table",
         XmlFile(std::string(Declaration) + frames +
                 "<Frame><Layers Bpp=\"1\"><RGB>00000</RGB></Layers></Frame></Frames>"),
         "カラーテーブルがありません"},
        {"colour table of non-digits",
         XmlFile(std::string(Declaration) + frames +
                 "<Frame><Layers Bpp=\"1\"><RGB>00000G000000</RGB></Layers></Frame></Frames>"),
         Damaged},
        {"layer element missing",
         XmlFile(std::string(Declaration) + frames +
                 "<Frame><Layers Count=\"1\" Bpp=\"24\"></Layers></Frame></Frames>"),
         Damaged},
        {"other XML version", XmlFile("<?xml version=\"1.1\" encoding=\"Shift_JIS\" ?><Frames/>"),
         "未対応のXML形式です"},
        {"other character set", XmlFile("<?xml version=\"1.0\" encoding=\"UTF-8\" ?><Frames/>"),
         "未対応の文字セットです"},
        {"broken syntax", XmlFile(std::string(Declaration) + "<Frames><Frame></Frames>"),
         "未対応のファイル形式です"},
        {"document is not zlib",
         [] {
             std::vector<uint8_t> b = {'B', 'r', 'o', 'm', 'X', '2', '0', '0', 3, 0, 0, 0, 1, 2, 3};
             return b;
         }(),
         Damaged},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorOf([&] { LoadBytes(c.bytes); }), c.error) << c.name;
}

TEST(BromXml, EscapedNamesAndCaseInsensitiveAttributesAreRead)
{
    std::string document =
        std::string(Declaration) +
        "<Frames count=\"1\" comptype=\"1\" blockwidth=\"0\">"
        "<Frame NAME=\"a&amp;b&#x3042;\"><Layers Count=\"1\" Width=\"1\" Height=\"1\" Bpp=\"24\">"
        "<Layer name=\"&lt;x&gt;\" /></Layers></Frame></Frames>";
    std::vector<uint8_t> data = {4, 0, 0, 0, 1, 2, 3, 0, 0, 0, 0, 0};
    TBromFrameList list = LoadBytes(XmlFile(document, data), 0, true);
    EXPECT_EQ(list.Frames(0).Name, "a&b\x82\xa0");
    EXPECT_EQ(list.Frames(0).Layers[0]->Name, "<x>");
}

// A header may claim any size; what a load costs is bounded by the bytes that hold the pixels.
TEST(BromLimits, AHeaderClaimingAHugePictureIsRefusedBeforeAnythingLarge)
{
    auto huge = [](std::vector<TLayerSpec> layers = {}) {
        TFrameSpec frame;
        frame.Width = frame.Height = 16384;
        frame.Bits = 32;
        frame.Layers = std::move(layers);
        return frame;
    };
    auto layerOf = [](std::vector<uint8_t> data) {
        TLayerSpec layer;
        layer.Data = std::move(data);
        return layer;
    };
    THeaderSpec raw, zlib, blocks;
    zlib.CompType = 0;
    blocks.BlockWidth = blocks.BlockHeight = 16384;
    TBlockFile oneBlock;
    oneBlock.Entry(-1, 0);
    oneBlock.Data.resize(oneBlock.Data.size() + 64);
    struct Case
    {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"a frame without layers", BuildBinary(103, raw, {huge()})},
        {"four frames without layers", BuildBinary(103, raw, {huge(), huge(), huge(), huge()})},
        {"raw rows of a few bytes", BuildBinary(103, raw, {huge({layerOf(std::vector<uint8_t>(8, 1))})})},
        {"zlib rows of a few bytes",
         BuildBinary(103, zlib, {huge({layerOf(Zlib(std::vector<uint8_t>(64)))})})},
        {"old zlib rows of a few bytes",
         BuildBinary(100, raw, {huge({layerOf(Zlib(std::vector<uint8_t>(64)))})})},
        {"one stored block without its bytes", BuildBinary(103, blocks, {huge({layerOf(oneBlock.Data)})})},
        {"an XML frame without layers",
         XmlFile(std::string(Declaration) +
                 "<Frames Count=\"1\" CompType=\"1\"><Frame><Layers Count=\"0\" "
                 "Width=\"16384\" Height=\"16384\" Bpp=\"32\"/></Frame></Frames>")},
    };
    // A PNG read through the same interface, its header patched to the same size.
    std::vector<uint8_t> png = EncodePng(TPicture(1, 1, 24), nullptr);
    for (int at : {16, 20}) {
        png[size_t(at) + 2] = 0x40;
        png[size_t(at) + 3] = 0;
    }
    uint32_t crc = uint32_t(crc32(0, png.data() + 12, 17));
    for (int i = 0; i < 4; ++i)
        png[size_t(29 + i)] = uint8_t(crc >> (24 - 8 * i));
    for (const Case& c : cases) {
        TAllocationWatch watch;
        EXPECT_EQ(ErrorOf([&] { LoadBytes(c.bytes); }), Damaged) << c.name;
        EXPECT_LT(watch.Largest(), size_t(1) << 20) << c.name;
        EXPECT_LT(watch.Total(), size_t(4) << 20) << c.name;
    }
    TAllocationWatch watch;
    EXPECT_EQ(ErrorOf([&] { TBromFrameList().LoadFromData("huge.png", png); }), Damaged);
    EXPECT_LT(watch.Total(), size_t(4) << 20);
    // The same PNG with image data that claims megabytes the file does not hold.
    const std::string idat = "IDAT";
    const size_t at = size_t(std::search(png.begin(), png.end(), idat.begin(), idat.end()) - png.begin()) - 4;
    ASSERT_LT(at + 8, png.size());
    const uint32_t claimed = 8'000'000;
    for (int i = 0; i < 4; ++i)
        png[at + size_t(i)] = uint8_t(claimed >> (24 - 8 * i));
    TAllocationWatch claimWatch;
    EXPECT_EQ(ErrorOf([&] { TBromFrameList().LoadFromData("claims.png", png); }), Damaged);
    EXPECT_LT(claimWatch.Total(), size_t(4) << 20);
}

TEST(BromLimits, PicturesTheirBytesCanHoldStillLoad)
{
    // A flat plane compresses about as far as zlib goes: the ratio bound must let it through.
    TFrameSpec flat;
    flat.Width = flat.Height = 1024;
    flat.Layers.push_back({});
    flat.Layers[0].Data = Zlib(std::vector<uint8_t>(size_t(1024) * 1024 * 3));
    THeaderSpec zlib;
    zlib.CompType = 0;
    EXPECT_EQ(LoadBytes(BuildBinary(103, zlib, {flat})).Frames(0).Picture.Width(), 1024);
    // A small frame without layers is its background.
    TFrameSpec empty;
    empty.Width = empty.Height = 256;
    THeaderSpec background;
    background.BGColor = RgbColor(1, 2, 3);
    TBromFrameList list = LoadBytes(BuildBinary(103, background, {empty}));
    EXPECT_EQ(list.Frames(0).Picture.PixelToColor(list.Frames(0).Picture.GetPixel(255, 255)),
              RgbColor(1, 2, 3));
}

} // namespace
} // namespace ruko::test
