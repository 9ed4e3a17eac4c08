// Composition of layers in the frame's stored depth, masks and trimming.
#include "brom_test_support.h"

#include <gtest/gtest.h>

namespace ruko::test {
namespace {

struct TComposeCase
{
    const char* name;
    int bits;
    uint32_t destination, source;
    int32_t transColor, alpha;
    int plane; // -1: no alpha plane (AlphaOn is set with a plane)
    bool firstVisible, firstInFile, notFillBG;
    uint32_t expected;
};

TEST(BromCompose, LayerRulesGiveTheStoredPixelOfEveryDepth)
{
    const TComposeCase cases[] = {
        {"opaque layer without key is copied", 24, 0x000000, 0x102030, -1, 255, -1, false, false, false,
         0x102030},
        {"24-bit keyed opacity divides by 255", 24, 0x000000, 0xFF8040, -1, 128, -1, false, false, false,
         0x804020},
        {"32-bit keyed opacity divides by 256", 32, 0x000000, 0xFF8040, -1, 128, -1, false, false, false,
         0x7F4020},
        {"16-bit keyed opacity divides by 255", 16, 0x0000, 0xFFFF, -1, 128, -1, false, false, false, 0x7BEF},
        {"15-bit composes like 16-bit", 15, 0x0000, 0x7FFF, -1, 128, -1, false, false, false, 0x3DEF},
        {"source pixel equal to the key is skipped", 24, 0x111111, 0x222222, 0x222222, 200, -1, false, false,
         false, 0x111111},
        {"32-bit key ignores the fourth byte", 32, 0x111111, 0x07222222, 0x222222, 255, -1, false, false,
         false, 0x111111},
        {"opacity 0 draws nothing", 24, 0x111111, 0x222222, -1, 0, -1, false, false, false, 0x111111},
        {"full opacity with a key is an exact copy", 32, 0x000000, 0xFFFFFF, 0x123456, 255, -1, false, false,
         false, 0xFFFFFF},
        {"first visible layer with NotFillBG is copied despite its key", 24, 0x111111, 0x222222, 0x222222,
         255, -1, true, true, true, 0x222222},
        {"without NotFillBG the first layer keeps its key", 24, 0x111111, 0x222222, 0x222222, 255, -1, true,
         true, false, 0x111111},
        {"alpha plane blends by 256", 24, 0x000000, 0xFF8040, -1, 255, 128, false, false, false, 0x7F4020},
        {"alpha plane ignores the layer opacity", 24, 0x000000, 0xFF8040, -1, 10, 128, false, false, false,
         0x7F4020},
        {"alpha plane value 0 skips", 24, 0x111111, 0xFF8040, -1, 255, 0, false, false, false, 0x111111},
        {"alpha plane value 255 copies", 32, 0x111111, 0xFF8040, -1, 255, 255, false, false, false, 0xFF8040},
        {"16-bit alpha plane", 16, 0x0000, 0xFFFF, -1, 255, 128, false, false, false, 0x7BEF},
        {"palettised alpha plane copies from 128", 8, 1, 2, -1, 255, 128, false, false, false, 2},
        {"palettised alpha plane skips below 128", 8, 1, 2, -1, 255, 127, false, false, false, 1},
        {"alpha plane of the first layer in the file is copied, key ignored", 24, 0x111111, 0x222222,
         0x222222, 255, 7, true, true, false, 0x222222},
    };
    for (const TComposeCase& c : cases) {
        TBromFrame frame;
        frame.Picture = TPicture(1, 1, c.bits);
        frame.Picture.SetPixel(0, 0, c.destination);
        TBromLayer layer;
        layer.Picture = TPicture(1, 1, c.bits);
        layer.Picture.SetPixel(0, 0, c.source);
        layer.TransColor = c.transColor;
        layer.Alpha = c.alpha;
        if (c.plane >= 0) {
            layer.AlphaOn = true;
            layer.AlphaPlane = TPicture(1, 1, 8);
            layer.AlphaPlane->SetPixel(0, 0, uint32_t(c.plane));
        }
        frame.ComposeLayer(layer, c.firstVisible, c.firstInFile, c.notFillBG);
        EXPECT_EQ(frame.Picture.GetPixel(0, 0) & 0xFFFFFF, c.expected) << c.name;
        EXPECT_EQ(frame.AlphaPlane.has_value(), c.plane >= 0 && c.firstVisible) << c.name;
    }
}

TEST(BromCompose, PalettisedOpacityIsAnOrderedDither)
{
    const int matrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (int alpha : {1, 16, 128, 239, 240}) {
        TBromFrame frame;
        frame.Picture = TPicture(8, 4, 8);
        TBromLayer layer;
        layer.Picture = TPicture(8, 4, 8);
        layer.Picture.Fill(9);
        layer.Alpha = alpha;
        layer.TransColor = 3;
        frame.ComposeLayer(layer, false, false, false);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x)
                EXPECT_EQ(frame.Picture.GetPixel(x, y), matrix[y][x % 4] <= alpha / 16 ? 9u : 0u)
                    << "alpha " << alpha << " at " << x << "," << y;
    }
}

TEST(BromCompose, LayersComposeInFileOrderOverTheBackground)
{
    // Background red; layer 1 keyed (its key pixel shows the background); layer 2 hidden.
    TFrameSpec frame;
    frame.Width = 2;
    frame.Height = 1;
    TLayerSpec keyed;
    keyed.Data = Rows24(2, {0x00FF00, 0x0000FF});
    keyed.TransColor = 0x00FF00;
    TLayerSpec hidden;
    hidden.Visible = false;
    hidden.Data = Rows24(2, {0xFFFFFF, 0xFFFFFF});
    frame.Layers = {keyed, hidden};
    THeaderSpec header;
    header.BGColor = RgbColor(255, 0, 0);
    TBromFrameList list = LoadBytes(BuildBinary(105, header, {frame}));
    EXPECT_EQ(list.Frames(0).Picture.GetPixel(0, 0), 0xFF0000u);
    EXPECT_EQ(list.Frames(0).Picture.GetPixel(1, 0), 0x0000FFu);
    EXPECT_TRUE(list.Frames(0).Layers.empty()) << "layers are freed unless kept";
}

TEST(BromCompose, MakeMaskAndTrimFollowTheKey)
{
    TBromFrame frame;
    frame.Picture = TPicture(5, 4, 24);
    frame.Picture.Fill(0x00FF00);
    frame.Picture.SetPixel(1, 1, 0x123456);
    frame.Picture.SetPixel(3, 2, 0x654321);
    frame.TransColor = 0x00FF00;
    frame.RectLists[0] = {TRect(0, 0, 2, 2), TRect(4, 3, 5, 4)};
    frame.RectLists[1] = {TRect(0, 0, 5, 4)};

    TBromFrame masked;
    masked.Picture = frame.Picture;
    masked.TransColor = frame.TransColor;
    masked.MakeMask(false);
    ASSERT_TRUE(masked.AlphaPlane.has_value());
    EXPECT_EQ(masked.AlphaPlane->GetPixel(0, 0), 0u);
    EXPECT_EQ(masked.AlphaPlane->GetPixel(1, 1), 255u);

    auto [left, top] = frame.Trim();
    EXPECT_EQ(left, 1);
    EXPECT_EQ(top, 1);
    EXPECT_EQ(frame.Picture.Width(), 3);
    EXPECT_EQ(frame.Picture.Height(), 2);
    EXPECT_EQ(frame.Picture.GetPixel(0, 0), 0x123456u);
    EXPECT_EQ(frame.RectLists[0], (std::vector<TRect>{TRect(1, 1, 2, 2)}));
    EXPECT_EQ(frame.RectLists[1], (std::vector<TRect>{TRect(1, 1, 4, 3)}));

    masked.Trim();
    EXPECT_EQ(masked.AlphaPlane->Width(), 3) << "the alpha plane is cropped with the picture";
}

TEST(BromCompose, TrimLeavesFullyVisibleFullyHiddenAndUnkeyedFramesAlone)
{
    for (uint32_t fill : {0x111111u, 0x00FF00u}) {
        TBromFrame frame;
        frame.Picture = TPicture(3, 3, 24);
        frame.Picture.Fill(fill);
        frame.TransColor = 0x00FF00;
        EXPECT_EQ(frame.Trim(), std::make_pair(0, 0));
        EXPECT_EQ(frame.Picture.Width(), 3);
    }
    TBromFrame unkeyed;
    unkeyed.Picture = TPicture(3, 3, 24);
    EXPECT_EQ(unkeyed.Trim(), std::make_pair(0, 0));
}

// Masks and trimming compare stored pixel values in the picture's own depth; 32-bit pixels
// compare their colour bytes only.
TEST(BromCompose, MasksAndTrimmingKeyOnThePixelValueOfEveryDepth)
{
    struct Case
    {
        int bits;
        uint32_t keyPixel; // as stored in the picture
        int32_t key;
        uint32_t shown;
    } cases[] = {
        {1, 0, 0, 1},
        {4, 3, 3, 7},
        {8, 200, 200, 5},
        {15, 0x7C00, 0x7C00, 0x001F},
        {16, 0xF800, 0xF800, 0x07E0},
        {24, 0x00FF00, 0x00FF00, 0x123456},
        {32, 0xAB00FF00, 0x00FF00, 0x123456},
    };
    for (const Case& c : cases) {
        TBromFrame frame;
        frame.Picture = TPicture(9, 4, c.bits);
        frame.Picture.Fill(c.keyPixel);
        frame.Picture.SetPixel(2, 1, c.shown);
        frame.Picture.SetPixel(6, 2, c.shown);
        frame.TransColor = c.key;
        frame.MakeMask(false);
        ASSERT_TRUE(frame.AlphaPlane.has_value());
        EXPECT_EQ(frame.AlphaPlane->GetPixel(0, 0), 0u) << c.bits;
        EXPECT_EQ(frame.AlphaPlane->GetPixel(6, 2), 255u) << c.bits;

        TBromFrame keyed;
        keyed.Picture = frame.Picture;
        keyed.TransColor = c.key;
        EXPECT_EQ(keyed.Trim(), std::make_pair(2, 1)) << c.bits;
        EXPECT_EQ(keyed.Picture.Width(), 5) << c.bits;
        EXPECT_EQ(keyed.Picture.Height(), 2) << c.bits;
        EXPECT_EQ(keyed.Picture.GetPixel(4, 1), c.shown) << c.bits;
    }
}

} // namespace
} // namespace ruko::test
