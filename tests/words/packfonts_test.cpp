#include "font_fixtures.h"

#include "base/error.h"
#include "base/text.h"
#include "graphics/dibsfc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace ruko;
using namespace ruko::test;

namespace {

void PutI32(std::vector<uint8_t>& bytes, size_t at, int32_t value)
{
    std::memcpy(bytes.data() + at, &value, 4);
}

TEST(PixelFont, WrittenFontReadsBackGlyphByGlyph)
{
    const TPixelFontData font = SmallFont();
    const std::vector<uint8_t> bytes = WritePixelFont(font);
    TPixelFontManager fonts;
    TPixelFontSection* section = fonts.LoadFontStream("pix.rft", StreamOf(bytes));
    ASSERT_NE(section, nullptr);
    int32_t indexLength = 0;
    std::memcpy(&indexLength, bytes.data() + 18, 4);
    EXPECT_EQ(section->BitmapBase, 322 + indexLength);
    EXPECT_EQ(section->Name(), "Pix_8_0_0");
    EXPECT_EQ(section->Header.Ascent, 7);
    EXPECT_EQ(section->Header.StrikePosition, 3);
    EXPECT_TRUE(section->Header.Listed);
    for (const TPixelFontGlyph& glyph : font.Glyphs) {
        TDIBX bitmap;
        TPixelGlyphInfo info;
        ASSERT_TRUE(fonts.GetGlyph("PIX", 8, 0, glyph.Code, bitmap, info)) << glyph.Code;
        EXPECT_EQ(info.Glyph.OriginX, glyph.Record.OriginX);
        EXPECT_EQ(info.Glyph.AdvanceX, glyph.Record.AdvanceX);
        ASSERT_EQ(bitmap.Width(), glyph.Record.Width);
        ASSERT_EQ(bitmap.Height(), glyph.Record.Height);
        for (int y = 0; y < bitmap.Height(); ++y)
            for (int x = 0; x < bitmap.Width(); ++x)
                EXPECT_EQ(bitmap.GetPixel(x, y), glyph.Coverage[size_t(y * bitmap.Width() + x)])
                    << glyph.Code;
    }
    TPixelGlyphInfo info;
    EXPECT_FALSE(fonts.GetGlyphMetrics("Pix", 8, 0, 'B', info));
    EXPECT_FALSE(fonts.GetGlyphMetrics("Pix", 9, 0, 'A', info));
    // The key holds only the bold and italic bits.
    EXPECT_TRUE(fonts.GetGlyphMetrics("pix", 8, 4 | 8, 'A', info));
    EXPECT_FALSE(fonts.GetGlyphMetrics("Pix", 8, 1, 'A', info));
}

TEST(PixelFont, SameFileOrSameKeyIsRefused)
{
    TPixelFontManager fonts;
    const std::vector<uint8_t> bytes = WritePixelFont(SmallFont());
    ASSERT_NE(fonts.LoadFontStream("a.rft", StreamOf(bytes)), nullptr);
    EXPECT_EQ(fonts.LoadFontStream("A.RFT", StreamOf(WritePixelFont(SmallFont("Other")))), nullptr);
    EXPECT_EQ(fonts.LoadFontStream("b.rft", StreamOf(WritePixelFont(SmallFont("PIX")))), nullptr);
    EXPECT_NE(fonts.LoadFontStream("c.rft", StreamOf(WritePixelFont(SmallFont("Pix", 8, 2)))), nullptr);
    EXPECT_EQ(fonts.GetCount(), 2);
}

TEST(PixelFont, EveryDamageIsFoundAtLoad)
{
    const std::vector<uint8_t> good = WritePixelFont(SmallFont());
    TPixelFontData wide = SmallFont();
    wide.Glyphs.push_back(MakeGlyph('W', 4097, 0, 0, 0, 1, [](int, int) { return 0; }));
    struct TCase
    {
        const char* what;
        std::function<std::vector<uint8_t>()> make;
    };
    const TCase cases[] = {
        {"wrong magic",
         [&] {
             auto b = good;
             b[0] = 'X';
             return b;
         }},
        {"shorter than the header", [&] { return std::vector<uint8_t>(good.begin(), good.begin() + 300); }},
        {"index past the end",
         [&] {
             auto b = good;
             PutI32(b, 18, int32_t(b.size()));
             return b;
         }},
        {"negative count",
         [&] {
             auto b = good;
             PutI32(b, 102, -1);
             return b;
         }},
        {"count past 65535",
         [&] {
             auto b = good;
             PutI32(b, 102, 65536);
             return b;
         }},
        {"index shorter than the count",
         [&] {
             auto b = good;
             PutI32(b, 102, 6);
             return b;
         }},
        {"index longer than the count",
         [&] {
             auto b = good;
             PutI32(b, 102, 4);
             return b;
         }},
        {"index not zlib",
         [&] {
             auto b = good;
             b[322] ^= 0xFF;
             return b;
         }},
        {"bitmap past the end", [&] { return std::vector<uint8_t>(good.begin(), good.end() - 1); }},
        {"face without its zero",
         [&] {
             auto b = good;
             std::memset(b.data() + 26, 'F', 64);
             return b;
         }},
        {"glyph wider than 4096", [&] { return WritePixelFont(wide); }},
    };
    const std::string expected = "t.rft\r\n" + Utf8ToCp932("フォントファイルが破壊されています");
    for (const TCase& c : cases) {
        TPixelFontManager fonts;
        try {
            fonts.LoadFontStream("t.rft", StreamOf(c.make()));
            ADD_FAILURE() << c.what << ": loaded";
        } catch (const ERukoError& error) {
            EXPECT_EQ(error.what(), expected) << c.what;
        }
        EXPECT_EQ(fonts.GetCount(), 0) << c.what;
    }
}

TEST(PixelFont, HostFileLoadsOnceIgnoringCase)
{
    const std::string path = std::string(RUKO_BINARY_DIR) + "/tests/words_pix.rft";
    TKwBigMemoryStream(WritePixelFont(SmallFont())).SaveToFile(path);
    TPixelFontManager fonts;
    ASSERT_NE(fonts.LoadFontFile(path), nullptr);
    std::string upper = path;
    upper.replace(upper.size() - 3, 3, "RFT");
    EXPECT_EQ(fonts.LoadFontFile(upper), nullptr);
    TDIBX bitmap;
    TPixelGlyphInfo info;
    EXPECT_TRUE(fonts.GetGlyph("Pix", 8, 0, 0x82A0, bitmap, info));
    EXPECT_EQ(bitmap.GetPixel(2, 2), 200u);
}

} // namespace
