#include "font_fixtures.h"

#include "base/text.h"
#include "words/fontfaces.h"
#include "words/fontpixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace ruko;
using namespace ruko::test;

namespace {

const std::string Gothic = Utf8ToCp932("ＭＳ ゴシック");
const std::string PGothic = Utf8ToCp932("ＭＳ Ｐゴシック");
const std::string Mincho = Utf8ToCp932("ＭＳ 明朝");
const std::string PMincho = Utf8ToCp932("ＭＳ Ｐ明朝");

bool HaveIpaFonts()
{
    TFontPixelManager glyphs(nullptr);
    const TInstalledFont* ipa = glyphs.FindInstalled("IPAGothic");
    return ipa && !ipa->Alias;
}

// A pixel font of `count` one-pixel glyphs, codes 0x8140 on.
TPixelFontData ManyGlyphs(int count)
{
    TPixelFontData font = SmallFont("Many");
    font.Glyphs.clear();
    for (int i = 0; i < count; ++i)
        font.Glyphs.push_back(MakeGlyph(uint16_t(0x8140 + i), 1, 1, 0, 1, 2, [](int, int) { return 255; }));
    return font;
}

TEST(GlyphCache, TheLeastRecentlyUsedGoesAndAHeldGlyphOutlivesIt)
{
    TPixelFontManager pixels;
    pixels.LoadFontStream("many.rft", StreamOf(WritePixelFont(ManyGlyphs(300))));
    TFontPixelManager glyphs(&pixels);
    const TFontPixelRef first = glyphs.GetGlyph(0x8140, "Many", 0, 8);
    const TFontPixelRef second = glyphs.GetGlyph(0x8141, "Many", 0, 8);
    for (int i = 2; i < 256; ++i)
        glyphs.GetGlyph(uint16_t(0x8140 + i), "Many", 0, 8);
    EXPECT_EQ(glyphs.CachedCount(), 256u);
    // Using the first moves it to the front; the 257th glyph then evicts the second.
    EXPECT_EQ(glyphs.GetGlyph(0x8140, "Many", 0, 8), first);
    glyphs.GetGlyph(0x8140 + 256, "Many", 0, 8);
    EXPECT_EQ(glyphs.CachedCount(), 256u);
    EXPECT_EQ(glyphs.GetGlyph(0x8140, "Many", 0, 8), first);
    const TFontPixelRef again = glyphs.GetGlyph(0x8141, "Many", 0, 8);
    EXPECT_NE(again, second);
    // The evicted glyph is still whole for whoever holds it.
    EXPECT_EQ(second->CharCode, 0x8141);
    EXPECT_EQ(second->Bitmap.Width(), 1);
    // Quality and style are part of the key.
    glyphs.SetQuality(0);
    EXPECT_NE(glyphs.GetGlyph(0x8140, "Many", 0, 8), first);
}

TEST(GlyphCache, QualityIsClamped)
{
    TFontPixelManager glyphs(nullptr);
    for (auto [set, read] : {std::pair{7, 3}, {-1, 0}, {2, 2}}) {
        glyphs.SetQuality(set);
        EXPECT_EQ(glyphs.Quality(), read);
    }
}

TEST(GlyphCache, PixelGlyphMetricsFollowTheFile)
{
    TPixelFontManager pixels;
    pixels.LoadFontStream("pix.rft", StreamOf(WritePixelFont(SmallFont())));
    TFontPixelManager glyphs(&pixels);
    const TFontPixelRef a = glyphs.GetGlyph('A', "Pix", 4 | 8, 8);
    EXPECT_EQ(a->LeftBearing, 1);
    EXPECT_EQ(a->TopOffset, 0);  // ascent 7 − origin 7
    EXPECT_EQ(a->RightSpace, 1); // 7 − 5 − 1
    EXPECT_EQ(a->UnderlineSize, 1);
    EXPECT_EQ(a->StrikePosition, 4); // ascent 7 − position 3
    EXPECT_EQ(a->StrikeSize, 1);
    const TFontPixelRef space = glyphs.GetGlyph(' ', "Pix", 0, 8);
    EXPECT_EQ(space->Bitmap.Width(), 0);
    EXPECT_EQ(space->RightSpace, 4);
    const TCharMetrics m = glyphs.GetCharMetrics('m', "Pix", 0, 8);
    EXPECT_EQ(m.LeftBearing, 0);
    EXPECT_EQ(m.Width, 3);
    EXPECT_EQ(m.RightSpace, 1);
}

TEST(GlyphCache, ListsInstalledFacesThenListedPixelFaces)
{
    TPixelFontManager pixels;
    pixels.LoadFontStream("a.rft", StreamOf(WritePixelFont(SmallFont("Listed"))));
    TPixelFontData unlisted = SmallFont("Hidden");
    unlisted.Header.Listed = false;
    pixels.LoadFontStream("b.rft", StreamOf(WritePixelFont(unlisted)));
    TFontPixelManager glyphs(&pixels);
    const std::vector<std::string> all = glyphs.ListFonts(false);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back(), "Listed");
    EXPECT_EQ(std::count(all.begin(), all.end(), "Hidden"), 0);
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end() - 1, [](const std::string& a, const std::string& b) {
        return CompareText(a, b) < 0;
    }));
    EXPECT_EQ(glyphs.GetCharset("Listed"), 1);
    EXPECT_EQ(glyphs.GetCharset("no such face"), 1);
}

TEST(InstalledFonts, WindowsNamesAreTheIpaFaces)
{
    if (!HaveIpaFonts()) GTEST_SKIP() << "fonts-ipafont-gothic and -mincho are not installed";
    TFontPixelManager glyphs(nullptr);
    const TInstalledFont* gothic = glyphs.FindInstalled(Gothic);
    ASSERT_NE(gothic, nullptr);
    EXPECT_TRUE(gothic->Alias);
    EXPECT_EQ(gothic->Family.Styles[0].Path, glyphs.FindInstalled("ipagothic")->Family.Styles[0].Path);
    EXPECT_EQ(glyphs.GetCharset(Gothic), 128);
    // Matching is exact: a prefix is not a face.
    EXPECT_EQ(glyphs.FindInstalled("IPAGoth"), nullptr);

    const std::vector<std::string> all = glyphs.ListFonts(false), fixed = glyphs.ListFonts(true);
    for (const std::string& name : {Gothic, PGothic, Mincho, PMincho})
        EXPECT_EQ(std::count(all.begin(), all.end(), name), 1) << Cp932ToUtf8(name);
    EXPECT_EQ(std::count(fixed.begin(), fixed.end(), Gothic), 1);
    EXPECT_EQ(std::count(fixed.begin(), fixed.end(), Mincho), 1);
    EXPECT_EQ(std::count(fixed.begin(), fixed.end(), PGothic), 0);

    glyphs.KeepDefaultFontsOnly();
    const std::vector<std::string> kept = glyphs.ListFonts(false);
    EXPECT_EQ(std::set<std::string>(kept.begin(), kept.end()),
              (std::set<std::string>{Gothic, PGothic, Mincho, PMincho}));
    EXPECT_EQ(glyphs.FindInstalled("IPAGothic"), nullptr);
}

TEST(InstalledFonts, QualityZeroIsOnlyNoneOrFullAndKeepsTheBlackBox)
{
    if (!HaveIpaFonts()) GTEST_SKIP() << "the IPA fonts are not installed";
    TFontPixelManager glyphs(nullptr);
    const uint16_t code = 0x88A4; // 愛
    glyphs.SetQuality(3);
    const TFontPixelRef smooth = glyphs.GetGlyph(code, Gothic, 0, 24);
    glyphs.SetQuality(0);
    const TFontPixelRef mono = glyphs.GetGlyph(code, Gothic, 0, 24);
    ASSERT_GT(mono->Bitmap.Width(), 0);
    EXPECT_EQ(mono->Bitmap.Width(), smooth->Bitmap.Width());
    EXPECT_EQ(mono->Bitmap.Height(), smooth->Bitmap.Height());
    EXPECT_EQ(mono->LeftBearing, smooth->LeftBearing);
    EXPECT_EQ(mono->TopOffset, smooth->TopOffset);
    std::set<uint32_t> levels, smoothLevels;
    for (int y = 0; y < mono->Bitmap.Height(); ++y)
        for (int x = 0; x < mono->Bitmap.Width(); ++x) {
            levels.insert(mono->Bitmap.GetPixel(x, y));
            smoothLevels.insert(smooth->Bitmap.GetPixel(x, y));
        }
    EXPECT_EQ(levels, (std::set<uint32_t>{0, 255}));
    EXPECT_GT(smoothLevels.size(), 2u);
    // The coverage of every level is one of its table's values.
    const std::array<uint8_t, 256>& five = CoverageTable(1);
    EXPECT_EQ(std::set<uint8_t>(five.begin(), five.end()), (std::set<uint8_t>{0, 79, 127, 207, 255}));
    const std::array<uint8_t, 256>& many = CoverageTable(3);
    EXPECT_EQ(std::set<uint8_t>(many.begin(), many.end()).size(), 65u);
}

TEST(InstalledFonts, AMissingCharacterFallsBackForThatCharacterOnly)
{
    if (!HaveIpaFonts()) GTEST_SKIP() << "the IPA fonts are not installed";
    TPixelFontManager pixels;
    pixels.LoadFontStream("g.rft", StreamOf(WritePixelFont(SmallFont(Gothic, 8))));
    TFontPixelManager glyphs(&pixels);
    // The pixel font beats the alias of its name for what it has...
    EXPECT_EQ(glyphs.GetGlyph('i', Gothic, 0, 8)->Bitmap.Width(), 1);
    // ...and a character it lacks comes from the installed face.
    const TFontPixelRef kanji = glyphs.GetGlyph(0x88A4, Gothic, 0, 8);
    EXPECT_GT(kanji->Bitmap.Width(), 1);
    // An unknown face draws with the default face.
    const TFontPixelRef unknown = glyphs.GetGlyph(0x88A4, "No Such Face", 0, 8);
    EXPECT_EQ(unknown->Bitmap.Width(), kanji->Bitmap.Width());
}

TEST(InstalledFonts, AFaceInstalledUnderItsNameBeatsAPixelFont)
{
    if (!HaveIpaFonts()) GTEST_SKIP() << "the IPA fonts are not installed";
    TPixelFontManager pixels;
    pixels.LoadFontStream("ipa.rft", StreamOf(WritePixelFont(SmallFont("IPAGothic", 8))));
    TFontPixelManager glyphs(&pixels);
    // The pixel font's 'm' is 3 × 4 with coverage 40 at (1, 0); the face's own is drawn instead.
    const TFontPixelRef m = glyphs.GetGlyph('m', "IPAGothic", 0, 8);
    EXPECT_FALSE(m->Bitmap.Width() == 3 && m->Bitmap.Height() == 4 && m->Bitmap.GetPixel(1, 0) == 40);
    EXPECT_GT(m->Bitmap.Width(), 0);
}

TEST(InstalledFonts, BoldWithoutABoldFaceIsMadeHeavier)
{
    if (!HaveIpaFonts()) GTEST_SKIP() << "the IPA fonts are not installed";
    TFontPixelManager glyphs(nullptr);
    auto ink = [](const TFontPixel& glyph) {
        int64_t sum = 0;
        for (int y = 0; y < glyph.Bitmap.Height(); ++y)
            for (int x = 0; x < glyph.Bitmap.Width(); ++x)
                sum += glyph.Bitmap.GetPixel(x, y);
        return sum;
    };
    const TFontPixelRef regular = glyphs.GetGlyph('H', Gothic, 0, 32);
    const TFontPixelRef bold = glyphs.GetGlyph('H', Gothic, FsBold, 32);
    const TFontPixelRef italic = glyphs.GetGlyph('H', Gothic, FsItalic, 32);
    EXPECT_GT(ink(*bold), ink(*regular) * 11 / 10);
    EXPECT_GT(italic->Bitmap.Width(), regular->Bitmap.Width());
}

TEST(InstalledFonts, CommandLineFacesAndAliases)
{
    if (!HaveIpaFonts()) GTEST_SKIP() << "the IPA fonts are not installed";
    TFontPixelManager glyphs(nullptr);
    const std::string file = glyphs.FindInstalled("IPAMincho")->Family.Styles[0].Path;
    EXPECT_FALSE(glyphs.AddFontFile("/nonexistent/font.ttf"));
    EXPECT_TRUE(glyphs.AddFontFile(file));
    EXPECT_FALSE(glyphs.AddAlias("Title Face", "No Such Face"));
    ASSERT_TRUE(glyphs.AddAlias("Title Face", "IPAMincho"));
    EXPECT_EQ(glyphs.FindInstalled("title face")->Family.Styles[0].Path, file);
    EXPECT_EQ(glyphs.GetCharset("Title Face"), 128);
}

TEST(Cp932Table, CodesMapThroughCp932)
{
    EXPECT_EQ(Cp932CodeToUnicode('A'), U'A');
    EXPECT_EQ(Cp932CodeToUnicode(0x5C), U'\\'); // CP932, not Shift_JIS's yen sign
    EXPECT_EQ(Cp932CodeToUnicode(0x82A0), U'あ');
    EXPECT_EQ(Cp932CodeToUnicode(0x815F), U'＼');
    EXPECT_EQ(Cp932CodeToUnicode(0xB1), U'ｱ');
    EXPECT_EQ(Cp932CodeToUnicode(0x8200), 0u);
}

} // namespace
