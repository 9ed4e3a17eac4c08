#include "../words/font_fixtures.h"

#include "base/error.h"
#include "base/text.h"
#include "components/labellist.h"
#include "io/fields.h"
#include "words/fontpixels.h"
#include "words/packfonts.h"

#include <gtest/gtest.h>

namespace ruko {
namespace {

// Captions over the small pixel font "Pix" (size 8): 'A' advances 7, 'i' 4, 'm' 4, ' ' 4.
class CaptionTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        fonts_.LoadFontStream("pix.rft", test::StreamOf(WritePixelFont(test::SmallFont())));
        saved_ = FontPixelMan;
        FontPixelMan = &glyphs_;
        list_.FontName = "Pix";
        list_.FontHeight = 8;
        surface_.Fill(0);
        list_.Surface = &surface_;
    }
    void TearDown() override { FontPixelMan = saved_; }

    TPixelFontManager fonts_;
    TFontPixelManager glyphs_{&fonts_, false};
    TFontPixelManager* saved_ = nullptr;
    TKwLabelList list_;
    TDIBX surface_{64, 24, 32};
};

TEST_F(CaptionTest, DecorationWidensEveryCharacterAndTheLine)
{
    TKwLabelDIB& ab = list_.Add();
    ab.SetText("Ai");
    TKwLabelDIB& a = list_.Add();
    a.SetText("A");
    list_.Measure();
    EXPECT_EQ(ab.Advances, (std::vector<int32_t>{7, 4}));
    EXPECT_EQ(ab.Width, 11);
    EXPECT_EQ(a.Width, 7);
    EXPECT_EQ(ab.Height, 8);
    EXPECT_EQ(list_.MaxWidth(), 11);

    list_.Border = 1;
    list_.Shadow = 2;
    list_.Measure();
    EXPECT_EQ(ab.Advances, (std::vector<int32_t>{11, 8}));
    EXPECT_EQ(ab.Height, 12);
    EXPECT_EQ(list_.Item(2), nullptr);
    EXPECT_EQ(list_.Item(-1), nullptr);
}

TEST_F(CaptionTest, PlainTextIsDrawnInTheFontColourThroughTheMaskAlone)
{
    TKwLabelDIB& caption = list_.Add();
    caption.SetText("A");
    list_.FontColor = 0x0000FF; // red
    list_.Measure();
    caption.Draw(10, 5);
    EXPECT_FALSE(caption.Dirty);
    // 'A' of the fixture: coverage 255 where x + y is odd, placed at (1, 0) in its cell; full
    // coverage blends with weight 255 of 256.
    const uint32_t red = 0xFE0000;
    EXPECT_EQ(surface_.GetPixel(10 + 1 + 1, 5 + 0), red);
    EXPECT_EQ(surface_.GetPixel(10 + 1 + 0, 5 + 0), 0u);
    EXPECT_EQ(surface_.GetPixel(10 + 1 + 0, 5 + 1), red);
    // A new text renders again; the same text does not mark it.
    caption.SetText("A");
    EXPECT_FALSE(caption.Dirty);
    caption.SetText("i");
    EXPECT_TRUE(caption.Dirty);
}

TEST_F(CaptionTest, OutlinedTextUsesItsPictureAndFollowsTheSurfaceFormat)
{
    TKwLabelDIB& caption = list_.Add();
    caption.SetText("i");
    list_.Border = 1;
    list_.BorderColor = 0xFF0000; // blue
    list_.Measure();
    caption.Draw(0, 0);
    EXPECT_EQ(caption.Picture.PixelFormat(), 32);
    // 'i' sits at (2, 1) of its cell, moved (1, 1) by the border: column 3, rows 2 and 4..7.
    EXPECT_EQ(surface_.GetPixel(3, 2), uint32_t(surface_.ColorToPixel(0xFFFFFF)));
    EXPECT_EQ(surface_.GetPixel(2, 2), uint32_t(surface_.ColorToPixel(0xFF0000)));
    EXPECT_EQ(surface_.GetPixel(3, 3), uint32_t(surface_.ColorToPixel(0xFF0000)));

    TDIBX wide(64, 24, 16);
    wide.Fill(0);
    list_.Surface = &wide;
    caption.Draw(0, 0);
    EXPECT_EQ(caption.Picture.PixelFormat(), 16);
    EXPECT_EQ(wide.GetPixel(3, 2), uint32_t(wide.ColorToPixel(0xFFFFFF)));
}

TEST_F(CaptionTest, MetricsAreClampedAndHeightsBelowOneDrawNothing)
{
    TKwLabelDIB& caption = list_.Add();
    caption.SetText("A");
    struct Case
    {
        int32_t height, border, shadow;
        int32_t wantHeight, wantWidth;
    };
    // The pixel font has no glyph at the asked size beyond 8: those sizes measure blanks.
    const Case cases[] = {
        {0, 0, 0, 0, 0},
        {-5, 3, 3, 0, 0},
        {8, 100, 0, 8 + 64, 7 + 64},
        {8, -4, 40, 8 + 32, 7 + 32},
    };
    for (const Case& c : cases) {
        list_.FontHeight = c.height;
        list_.Border = c.border;
        list_.Shadow = c.shadow;
        list_.Measure();
        EXPECT_EQ(caption.Height, c.wantHeight) << c.height << " " << c.border << " " << c.shadow;
        EXPECT_EQ(caption.Width, c.wantWidth) << c.height << " " << c.border << " " << c.shadow;
    }
    list_.FontHeight = 100000;
    EXPECT_EQ(list_.DrawnFontHeight(), 512);

    list_.FontHeight = 0;
    list_.Measure();
    surface_.Fill(0);
    caption.Draw(0, 0);
    for (int32_t x = 0; x < 16; ++x)
        EXPECT_EQ(surface_.GetPixel(x, 1), 0u);
}

TEST_F(CaptionTest, WidthsAreSummedWideAndCapped)
{
    TKwLabelDIB& caption = list_.Add();
    caption.SetText(std::string(5000, 'A')); // 5000 × 7 passes 32768
    list_.Measure();
    EXPECT_EQ(caption.Width, TKwLabelList::MaxCaptionWidth);
    caption.Draw(0, 0);
    EXPECT_EQ(caption.Picture.Width(), TKwLabelList::MaxCaptionWidth);
}

TEST_F(CaptionTest, NoFaceAtAllDrawsNothingAndRaisesNothing)
{
    TFontPixelManager bare(nullptr, false); // no pixel fonts, no installed faces
    FontPixelMan = &bare;
    TKwLabelDIB& caption = list_.Add();
    caption.SetText("A");
    EXPECT_THROW(bare.GetGlyph('A', "Pix", 0, 8), ERukoError);
    EXPECT_NO_THROW(list_.Measure());
    EXPECT_EQ(caption.Width, 0);
    EXPECT_NO_THROW(caption.Draw(0, 0));
    EXPECT_EQ(surface_.GetPixel(2, 0), 0u);
}

TEST_F(CaptionTest, TrailBytesBelongToTheirCharacter)
{
    // 0x83 0x5C is one character; its trail is not the single-byte 0x5C.
    EXPECT_EQ(CaptionCodes("\x83\x5C\x5C"
                           "A\x82"),
              (std::vector<uint16_t>{0x835C, 0x5C, 'A', 0x82}));
}

// Record fields as a version of the holding record gives them.
TEST(CaptionRecord, VersionsDecideQualityAndShadow)
{
    struct Case
    {
        int32_t version, storedQuality, wantQuality;
        bool hasShadow;
    };
    const Case cases[] = {
        {100, 2, 3, false}, {108, 1, 0, false}, {108, 0, 0, false}, {109, 2, 2, false},
        {121, 1, 1, false}, {122, 2, 2, true},  {150, 3, 3, true},
    };
    for (const Case& c : cases) {
        TKwLabelList source;
        source.Quality = c.storedQuality;
        source.Border = 2;
        source.Alpha = 128;
        source.FontHeight = 20;
        source.FontName = "Pix";
        source.FontColor = 0x123456;
        source.BorderColor = 0x654321;
        source.FontStyle = 5;
        source.Reserved[0] = 7;
        source.Reserved[211] = 9;
        source.Shadow = 3;
        source.ShadowColor = 0xABCDEF;
        TKwBigMemoryStream whole;
        source.SaveToStream(whole);
        std::vector<uint8_t> bytes = whole.TakeBytes();
        if (!c.hasShadow) bytes.resize(bytes.size() - 8); // an older record ends before the shadow
        TKwBigMemoryStream s(bytes);

        TKwLabelList loaded;
        loaded.Shadow = 1;
        loaded.ShadowColor = 77;
        loaded.LoadFromStream(s, c.version);
        EXPECT_EQ(s.Remaining(), 0) << c.version;
        EXPECT_EQ(loaded.Quality, c.wantQuality) << c.version;
        EXPECT_EQ(loaded.Border, 2);
        EXPECT_EQ(loaded.Alpha, 128);
        EXPECT_EQ(loaded.FontHeight, 20);
        EXPECT_EQ(loaded.FontName, "Pix");
        EXPECT_EQ(loaded.FontColor, 0x123456);
        EXPECT_EQ(loaded.BorderColor, 0x654321);
        EXPECT_EQ(loaded.FontStyle, 5);
        EXPECT_EQ(loaded.Reserved, source.Reserved);
        EXPECT_EQ(loaded.Shadow, c.hasShadow ? 3 : 1) << c.version;
        EXPECT_EQ(loaded.ShadowColor, c.hasShadow ? 0xABCDEF : 77) << c.version;
    }
}

TEST(CaptionRecord, ADamagedRecordLeavesTheListAsItWas)
{
    TKwLabelList source;
    source.FontName = "Pix";
    TKwBigMemoryStream whole;
    source.SaveToStream(whole);
    const std::vector<uint8_t> bytes = whole.TakeBytes();
    for (size_t cut : {size_t(3), size_t(20), bytes.size() - 1}) {
        TKwBigMemoryStream s(std::vector<uint8_t>(bytes.begin(), bytes.begin() + ptrdiff_t(cut)));
        TKwLabelList loaded;
        EXPECT_THROW(loaded.LoadFromStream(s, 150), ERukoError) << cut;
        EXPECT_EQ(loaded.FontName, Utf8ToCp932("ＭＳ Ｐゴシック"));
        EXPECT_EQ(loaded.FontHeight, 12);
    }
}

} // namespace
} // namespace ruko
