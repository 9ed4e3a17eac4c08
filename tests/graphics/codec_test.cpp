// PNG, JPEG and BMP pictures: decoding real files, round trips, and damaged input.
#include "base/error.h"
#include "base/text.h"
#include "graphics/bmp.h"
#include "graphics/jpeg.h"
#include "graphics/png.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace ruko {
namespace {

std::vector<uint8_t> ReadTestFile(const std::string& name)
{
    std::ifstream in(std::string(RUKO_SOURCE_DIR) + "/tests/graphics/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A 24-bit picture whose every pixel differs from its neighbours.
TPicture Gradient(int width, int height)
{
    TPicture picture(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetPixel(
                x, y, picture.ColorToPixel(RgbColor(uint8_t(x * 6), uint8_t(y * 10), uint8_t((x + y) * 3))));
    return picture;
}

std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ERukoError& error) {
        return Cp932ToUtf8(error.what());
    }
    return "";
}

TEST(CodecPng, DecodesAnRgbaFileWithItsAlphaPlaneAndWritesItBackUnchanged)
{
    std::vector<uint8_t> file = ReadTestFile("codec_debian_logo.png");
    ASSERT_TRUE(IsPngData(file.data(), file.size()));
    TDecodedPicture decoded = DecodePng(file.data(), file.size());
    EXPECT_EQ(decoded.Picture.Width(), 48);
    EXPECT_EQ(decoded.Picture.Bits(), 24);
    ASSERT_TRUE(decoded.Alpha.has_value());
    int transparent = 0, opaque = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            transparent += decoded.Alpha->GetPixel(x, y) == 0;
            opaque += decoded.Alpha->GetPixel(x, y) == 255;
        }
    EXPECT_GT(transparent, 0);
    EXPECT_GT(opaque, 0);

    std::vector<uint8_t> written = EncodePng(decoded.Picture, &*decoded.Alpha);
    TDecodedPicture again = DecodePng(written.data(), written.size());
    EXPECT_TRUE(again.Picture == decoded.Picture);
    ASSERT_TRUE(again.Alpha.has_value());
    EXPECT_TRUE(*again.Alpha == *decoded.Alpha);
}

TEST(CodecPng, OpaquePicturesOfEveryTrueColourDepthKeepTheirColours)
{
    TPicture source = Gradient(13, 5);
    for (int bits : {15, 16, 24, 32}) {
        TPicture stored = source.ConvertTo(bits);
        std::vector<uint8_t> written = EncodePng(stored);
        TDecodedPicture decoded = DecodePng(written.data(), written.size());
        EXPECT_FALSE(decoded.Alpha.has_value());
        EXPECT_TRUE(decoded.Picture == stored.ConvertTo(24)) << bits;
    }
}

TEST(CodecPng, XrgbRowsAreWrittenAsTheirColours)
{
    uint32_t pixels[2 * 3] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00123456, 0, 0x00FFFFFF};
    std::vector<uint8_t> written = EncodePngXrgb(3, 2, pixels, 3 * 4);
    TDecodedPicture decoded = DecodePng(written.data(), written.size());
    EXPECT_EQ(decoded.Picture.PixelToColor(decoded.Picture.GetPixel(0, 0)), RgbColor(255, 0, 0));
    EXPECT_EQ(decoded.Picture.PixelToColor(decoded.Picture.GetPixel(2, 0)), RgbColor(0, 0, 255));
    EXPECT_EQ(decoded.Picture.GetPixel(0, 1), 0x123456u);
}

TEST(CodecJpeg, RoundTripStaysCloseToTheSource)
{
    TPicture source = Gradient(40, 24);
    std::vector<uint8_t> written = EncodeJpeg(source, 95);
    ASSERT_TRUE(IsJpegData(written.data(), written.size()));
    TPicture decoded = DecodeJpeg(written.data(), written.size());
    ASSERT_EQ(decoded.Width(), 40);
    ASSERT_EQ(decoded.Height(), 24);
    int worst = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40 * 3; ++x)
            worst = std::max(worst, std::abs(int(decoded.Row(y)[x]) - int(source.Row(y)[x])));
    EXPECT_LT(worst, 40);
}

// Bitmap file bytes: headers, an optional colour table or masks, and bottom-up rows.
std::vector<uint8_t> MakeBmp(int width, int height, int bitCount, uint32_t compression,
                             const std::vector<uint32_t>& tableOrMasks, const std::vector<uint8_t>& rows)
{
    std::vector<uint8_t> out;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(uint8_t(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    uint32_t offset = 54 + uint32_t(tableOrMasks.size()) * 4;
    out = {'B', 'M'};
    u32(offset + uint32_t(rows.size()));
    u32(0);
    u32(offset);
    u32(40);
    u32(uint32_t(width));
    u32(uint32_t(height));
    u16(1);
    u16(uint16_t(bitCount));
    u32(compression);
    u32(uint32_t(rows.size()));
    u32(0);
    u32(0);
    u32(compression == 0 ? uint32_t(tableOrMasks.size()) : 0);
    u32(0);
    for (uint32_t entry : tableOrMasks)
        u32(entry);
    out.insert(out.end(), rows.begin(), rows.end());
    return out;
}

TEST(CodecBmp, EveryStoredDepthDecodesToTheSameColours)
{
    // Two rows of two pixels, bottom row first in the file: top = red, green; bottom = blue, white.
    const uint32_t red = RgbColor(255, 0, 0), green = RgbColor(0, 255, 0), blue = RgbColor(0, 0, 255),
                   white = RgbColor(255, 255, 255);
    std::vector<uint32_t> table = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFFFF}; // B,G,R,0 bytes
    struct Case
    {
        const char* name;
        int bitCount;
        uint32_t compression;
        std::vector<uint32_t> tableOrMasks;
        std::vector<uint8_t> rows;
        int expectedBits;
    } cases[] = {
        {"1-bit", 1, 0, {0x00000000, 0x00FFFFFF}, {0x40, 0, 0, 0, 0x80, 0, 0, 0}, 1},
        {"4-bit", 4, 0, table, {0x23, 0, 0, 0, 0x01, 0, 0, 0}, 4},
        {"8-bit", 8, 0, table, {2, 3, 0, 0, 0, 1, 0, 0}, 8},
        {"16-bit 5-5-5", 16, 0, {}, {0x1F, 0x00, 0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03}, 15},
        {"16-bit 5-6-5",
         16,
         3,
         {0xF800, 0x07E0, 0x001F},
         {0x1F, 0x00, 0xFF, 0xFF, 0x00, 0xF8, 0xE0, 0x07},
         16},
        {"24-bit", 24, 0, {}, {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0}, 24},
        {"32-bit", 32, 0, {}, {255, 0, 0, 9, 255, 255, 255, 9, 0, 0, 255, 9, 0, 255, 0, 9}, 32},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = MakeBmp(2, 2, c.bitCount, c.compression, c.tableOrMasks, c.rows);
        TPicture picture = DecodeBmp(file.data(), file.size());
        ASSERT_EQ(picture.Bits(), c.expectedBits) << c.name;
        if (c.bitCount == 1) {
            EXPECT_EQ(picture.PixelToColor(picture.GetPixel(0, 0)), white) << c.name;
            EXPECT_EQ(picture.PixelToColor(picture.GetPixel(1, 0)), 0u) << c.name;
            EXPECT_EQ(picture.PixelToColor(picture.GetPixel(1, 1)), white) << c.name;
            continue;
        }
        EXPECT_EQ(picture.PixelToColor(picture.GetPixel(0, 0)), red) << c.name;
        EXPECT_EQ(picture.PixelToColor(picture.GetPixel(1, 0)), green) << c.name;
        EXPECT_EQ(picture.PixelToColor(picture.GetPixel(0, 1)), blue) << c.name;
        EXPECT_EQ(picture.PixelToColor(picture.GetPixel(1, 1)), white) << c.name;
        if (c.bitCount == 32) {
            EXPECT_EQ(picture.GetPixel(0, 0) >> 24, 0u) << "the fourth byte is not colour";
        }
    }
}

TEST(CodecBmp, RealOneBitFileDecodesAndSurvivesATwentyFourBitRoundTrip)
{
    std::vector<uint8_t> file = ReadTestFile("codec_pilrc_1bit.bmp");
    TPicture picture = DecodeBmp(file.data(), file.size());
    ASSERT_EQ(picture.Width(), 48);
    ASSERT_EQ(picture.Bits(), 1);
    std::vector<uint8_t> written = EncodeBmp24(picture);
    TPicture again = DecodeBmp(written.data(), written.size());
    EXPECT_TRUE(again == picture.ConvertTo(24));
}

TEST(CodecBmp, DamagedAndUnsupportedFilesRaiseTheirErrors)
{
    std::vector<uint8_t> good = MakeBmp(2, 2, 24, 0, {}, std::vector<uint8_t>(16, 0));
    auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> file = good;
        std::copy(bytes.begin(), bytes.end(), file.begin() + long(at));
        return file;
    };
    struct Case
    {
        const char* name;
        std::vector<uint8_t> file;
        const char* error;
    } cases[] = {
        {"rows cut short", std::vector<uint8_t>(good.begin(), good.end() - 1), "ファイルが破壊されています"},
        {"zero width", patched(18, {0, 0, 0, 0}), "ファイルが破壊されています"},
        {"width beyond the limit", patched(18, {0x01, 0x40, 0, 0}), "ファイルが破壊されています"},
        {"odd bit count", patched(28, {7, 0}), "ファイルが破壊されています"},
        {"bits offset past the end", patched(10, {0xFF, 0xFF, 0, 0}), "ファイルが破壊されています"},
        {"run-length compressed", patched(30, {1, 0, 0, 0}), "読み込めないファイル形式です"},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 20), "ファイルが破壊されています"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorOf([&] { DecodeBmp(c.file.data(), c.file.size()); }), c.error) << c.name;
}

TEST(CodecDecoders, DamagedPngAndJpegStreamsRaiseTheDamagedFileError)
{
    std::vector<uint8_t> png = EncodePng(Gradient(8, 8));
    std::vector<uint8_t> jpeg = EncodeJpeg(Gradient(8, 8), 80);
    std::vector<uint8_t> cutPng(png.begin(), png.begin() + long(png.size() / 2));
    std::vector<uint8_t> cutJpeg(jpeg.begin(), jpeg.begin() + 20);
    EXPECT_EQ(ErrorOf([&] { DecodePng(cutPng.data(), cutPng.size()); }), "ファイルが破壊されています");
    EXPECT_EQ(ErrorOf([&] { DecodeJpeg(cutJpeg.data(), cutJpeg.size()); }), "ファイルが破壊されています");
    EXPECT_EQ(ErrorOf([&] { DecodeJpeg(png.data(), png.size()); }), "ファイルが破壊されています");
}

} // namespace
} // namespace ruko
