// The XML container writer: what it writes loads back identically.
#include "brom_test_support.h"

#include "graphics/bromxml.h"

#include <gtest/gtest.h>

namespace ruko::test {
namespace {

// Palettised pictures get a table of their own, except 8-bit ones, which stand for alpha planes.
TPicture Noise(int width, int height, int bits, uint32_t seed)
{
    TPicture picture(width, height, bits);
    uint32_t state = seed;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            uint32_t value = state >> 8;
            picture.SetPixel(x, y,
                             bits <= 8    ? value % (1u << bits)
                             : bits <= 16 ? value & 0x7FFF
                                          : value & 0xFFFFFF);
        }
    if (bits < 8)
        for (size_t i = 0; i < picture.Palette.size(); ++i)
            picture.Palette[i] = uint32_t(i * 0x010203u + 0x0A0000u) & 0xFFFFFF;
    return picture;
}

// Two frames: a palettised one with a transparent index and no layers, and a true-colour one
// with a hidden layer and a layer with an alpha plane.
TBromFrameList Sample(int32_t identCode)
{
    TBromFrameList list(identCode);
    list.BGColor = 0x00336699;
    list.NotFillBG = true;
    TBromFrame& palettised = list.AddFrame();
    palettised.Name = "\x82\xa0&\"<>";
    palettised.Picture = Noise(7, 5, 4, 1);
    palettised.SetTransColor(3);
    palettised.Delay = 40;
    palettised.Disposal = 2;

    TBromFrame& layered = list.AddFrame();
    // Names are any bytes: control bytes, and lead bytes before a quote or '<' that cannot trail.
    layered.Name = std::string("\0\t\r\n\x81\"\x82<x\x1f\x81", 11);
    layered.Picture = Noise(7, 5, 24, 2);
    for (int i = 0; i < 2; ++i) {
        auto layer = std::make_unique<TBromLayer>();
        layer->Name = i ? "shade" : "base";
        layer->Picture = Noise(7, 5, 24, 3 + i);
        layer->Visible = i == 0;
        layer->TransColor = i ? 0x123456 : -1;
        layer->Alpha = i ? 77 : 255;
        if (i == 0) {
            layer->AlphaOn = true;
            layer->AlphaPlane = Noise(7, 5, 8, 9);
        }
        layered.Layers.push_back(std::move(layer));
    }
    return list;
}

TBromFrameList RoundTrip(const TBromFrameList& list, TBromCompression type, int32_t identCode)
{
    TKwBigMemoryStream stream;
    list.SaveToStream(stream, type, 90);
    return LoadBytes(stream.Bytes(), identCode, true);
}

TEST(BromWriter, WrittenFilesLoadBackIdentically)
{
    for (TBromCompression type : {bcZlib, bcNone})
        for (int32_t ident : {0, 0x2468ACE}) {
            SCOPED_TRACE(testing::Message() << "type " << int(type) << " ident " << ident);
            TBromFrameList original = Sample(ident);
            TBromFrameList loaded = RoundTrip(original, type, ident);
            ASSERT_EQ(loaded.Count(), 2);
            EXPECT_EQ(loaded.BGColor, original.BGColor);
            EXPECT_TRUE(loaded.NotFillBG);

            const TBromFrame& palettised = loaded.Frames(0);
            EXPECT_EQ(palettised.Name, original.Frames(0).Name);
            EXPECT_EQ(palettised.TransColor, 3) << "the key is stored as a pixel value";
            EXPECT_EQ(palettised.TransColorValue, original.Frames(0).TransColorValue);
            EXPECT_EQ(palettised.Delay, 40);
            EXPECT_EQ(palettised.Disposal, 2);
            EXPECT_TRUE(palettised.Picture == original.Frames(0).Picture) << "pixels and colour table";

            const TBromFrame& layered = loaded.Frames(1);
            EXPECT_EQ(layered.Name, original.Frames(1).Name);
            ASSERT_EQ(layered.Layers.size(), 2u);
            for (int i = 0; i < 2; ++i) {
                const TBromLayer& a = *original.Frames(1).Layers[size_t(i)];
                const TBromLayer& b = *layered.Layers[size_t(i)];
                EXPECT_EQ(b.Name, a.Name);
                EXPECT_EQ(b.Visible, a.Visible);
                EXPECT_EQ(b.TransColor, a.TransColor);
                EXPECT_EQ(b.Alpha, a.Alpha);
                EXPECT_EQ(b.AlphaOn, a.AlphaOn);
                EXPECT_TRUE(b.Picture == a.Picture);
                EXPECT_EQ(b.AlphaPlane.has_value(), a.AlphaPlane.has_value());
                if (a.AlphaPlane && b.AlphaPlane) {
                    EXPECT_TRUE(*b.AlphaPlane == *a.AlphaPlane);
                }
            }
            // The composed picture is the visible first layer, copied whole.
            EXPECT_TRUE(layered.Picture == original.Frames(1).Layers[0]->Picture);
        }
}

TEST(BromWriter, ScrambledFilesNeedTheIdentCodeTheyWereWrittenWith)
{
    TKwBigMemoryStream stream;
    Sample(0x2468ACE).SaveToStream(stream, bcZlib, 70);
    EXPECT_EQ(ErrorOf([&] { LoadBytes(stream.Bytes(), 0); }), "識別コードを設定してください");
    TBromFrameList wrong = LoadBytes(stream.Bytes(), 0x1357);
    EXPECT_FALSE(wrong.Frames(0).Picture == Sample(0).Frames(0).Picture);
}

TEST(BromWriter, JpegKeepsAlphaPlanesExactAndColoursClose)
{
    TBromFrameList list;
    TBromFrame& frame = list.AddFrame();
    frame.Picture = TPicture(16, 8, 24);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            frame.Picture.SetPixel(x, y, uint32_t(x * 16) << 8 | uint32_t(y * 32));
    frame.AlphaPlane = Noise(16, 8, 8, 5);
    TBromFrameList loaded = RoundTrip(list, bcJpeg, 0);
    ASSERT_TRUE(loaded.Frames(0).AlphaPlane.has_value());
    EXPECT_TRUE(*loaded.Frames(0).AlphaPlane == *frame.AlphaPlane);
    int worst = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16 * 3; ++x)
            worst = std::max(
                worst, std::abs(int(loaded.Frames(0).Picture.Row(y)[x]) - int(frame.Picture.Row(y)[x])));
    EXPECT_LT(worst, 24);
}

TEST(BromWriter, PalettisedFramesAreNeverWrittenAsJpeg)
{
    TBromFrameList list = Sample(0);
    TBromFrameList loaded = RoundTrip(list, bcJpeg, 0);
    EXPECT_TRUE(loaded.Frames(0).Picture == list.Frames(0).Picture);
}

TEST(BromWriter, AShortColourTableIsWrittenInFull)
{
    TBromFrameList list;
    TBromFrame& frame = list.AddFrame();
    frame.Picture = TPicture(3, 2, 4);
    frame.Picture.SetPixel(1, 0, 2);
    frame.Picture.Palette = {0x0000FF, 0x00FF00, 0xFF0000};
    TKwBigMemoryStream stream;
    list.SaveToStream(stream, bcZlib, 70);
    TBromFrameList loaded = LoadBytes(stream.Bytes());
    const TPicture& picture = loaded.Frames(0).Picture;
    ASSERT_EQ(picture.Palette.size(), 16u);
    EXPECT_EQ(picture.PixelToColor(picture.GetPixel(1, 0)), 0xFF0000u);
    EXPECT_EQ(picture.Palette[15], 0u) << "missing entries are black";
}

TEST(BromWriter, TheColourTableIsWrittenAsElementText)
{
    TKwXml xml;
    xml.Root = std::make_unique<TKwXmlElement>("Layers");
    xml.Root->AddChild("RGB").Text = "0000FF";
    xml.Root->AddChild("Layer").SetAttribute("Name", "a\"b");
    std::string text = xml.Serialize();
    EXPECT_NE(text.find("<RGB>0000FF</RGB>"), std::string::npos) << text;
    EXPECT_NE(text.find("Name=\"a&quot;b\""), std::string::npos) << text;
    TKwXml parsed;
    parsed.Parse(text);
    EXPECT_EQ(parsed.Root->Child("RGB").Text, "0000FF");
    EXPECT_EQ(parsed.Root->Child("Layer").Attribute("name"), "a\"b");
    EXPECT_EQ(ErrorOf([&] { parsed.Root->Child("Frame"); }), "<Frame>がありません");
}

} // namespace
} // namespace ruko::test
