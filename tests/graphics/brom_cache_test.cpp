// The image cache: keys and variants, reuse of released items, missing and damaged files, and
// drawing cached frames with the opacity rule.
#include "brom_test_support.h"

#include "base/text.h"
#include "graphics/bromcache.h"
#include "graphics/png.h"

#include <gtest/gtest.h>

#include <map>

namespace ruko::test {
namespace {

// Files in memory, counting the reads so reuse can be observed.
struct TMemoryFiles
{
    std::map<std::string, std::vector<uint8_t>> Files;
    int Loads = 0;

    TBromFileSource Source()
    {
        return {[this](const std::string& name) { return Files.count(UpperCaseText(name)) > 0; },
                [this](const std::string& name) {
                    ++Loads;
                    auto found = Files.find(UpperCaseText(name));
                    if (found == Files.end())
                        RaiseError(FormatText(Utf8ToCp932("%s:ファイルがありません").c_str(), name.c_str()));
                    return found->second;
                }};
    }
};

// A 24-bit 4 × 3 picture keyed on green with one visible pixel at (2, 1) and a rectangle list.
std::vector<uint8_t> KeyedPicture(int32_t delay)
{
    TFrameSpec frame;
    frame.Width = 4;
    frame.Height = 3;
    frame.TransColor = 0x00FF00;
    frame.Delay = delay;
    std::vector<uint32_t> pixels(12, 0x00FF00);
    pixels[6] = 0x123456;
    TLayerSpec layer;
    layer.Data = Rows24(4, pixels);
    frame.Layers.push_back(layer);
    frame.Rects[0] = {TRect(0, 0, 4, 3)};
    return BuildBinary(105, {}, {frame, frame});
}

TEST(BromCache, ItemsAreFoundByNameAndVariantIgnoringCase)
{
    TMemoryFiles files;
    files.Files["CG\\A.BRM"] = KeyedPicture(0);
    TBromCollection cache(files.Source(), 0);
    int userA = 0, userB = 0;
    TBromItem& plain = cache.Acquire(&userA, "cg\\a.brm", false, false);
    TBromItem& again = cache.Acquire(&userB, "CG\\A.brm", false, false);
    TBromItem& masked = cache.Acquire(&userA, "cg\\a.brm", true, true);
    EXPECT_EQ(&plain, &again);
    EXPECT_NE(&plain, &masked);
    EXPECT_EQ(masked.Name(), "cg\\a.brm?m?t");
    EXPECT_EQ(files.Loads, 2);

    ASSERT_EQ(plain.Frames.size(), 2u);
    EXPECT_EQ(plain.Width, 4);
    EXPECT_EQ(plain.TotalDelay, 2) << "a delay of 0 counts as 1";
    const TBromItemFrame& whole = plain.Frames[0];
    EXPECT_EQ(whole.Surface->PixelFormat(), 32);
    EXPECT_EQ(whole.Surface->GetPixel(2, 1), 0x123456u) << "blue, green, red bytes pack into 0x00RRGGBB";
    EXPECT_EQ(whole.Surface->TransparentColor, 0x00FF00);
    EXPECT_FALSE(whole.Mask);

    const TBromItemFrame& trimmed = masked.Frames[0];
    EXPECT_EQ(trimmed.OffsetX, 2);
    EXPECT_EQ(trimmed.OffsetY, 1);
    EXPECT_EQ(trimmed.Surface->Width(), 1);
    ASSERT_TRUE(trimmed.Mask);
    EXPECT_EQ(trimmed.Mask->GetPixel(0, 0), 255u);
    EXPECT_EQ(trimmed.RectLists[0], (std::vector<TRect>{TRect(2, 1, 3, 2)}));
    EXPECT_EQ(masked.Width, 4) << "the item keeps the untrimmed size";
}

TEST(BromCache, ReleasedItemsAreReusedUntilForgotten)
{
    TMemoryFiles files;
    files.Files["A.BRM"] = KeyedPicture(10);
    TBromCollection cache(files.Source(), 0);
    int user = 0;
    cache.Release(cache.Acquire(&user, "a.brm", true, true), &user);
    cache.Release(cache.Acquire(&user, "a.brm", false, false), &user);
    EXPECT_EQ(cache.ReleasedCount(), 2);
    cache.Acquire(&user, "a.brm", true, true);
    EXPECT_EQ(files.Loads, 2) << "a released item is taken back without reading the file";
    EXPECT_EQ(cache.ReleasedCount(), 1);

    TBromItem& held = cache.Acquire(&user, "a.brm", true, true);
    held.Release(&user);
    cache.Forget("A.BRM");
    EXPECT_EQ(cache.Count(), 0) << "the bare name frees the ?m?t variant too";
    cache.Acquire(&user, "a.brm", true, true);
    EXPECT_EQ(files.Loads, 3);
}

TEST(BromCache, HeldItemsSurviveForget)
{
    TMemoryFiles files;
    files.Files["A.BRM"] = KeyedPicture(10);
    TBromCollection cache(files.Source(), 0);
    int user = 0;
    cache.Acquire(&user, "a.brm", false, false);
    cache.Forget("a.brm");
    EXPECT_EQ(cache.Count(), 1);
}

TEST(BromCache, TheCachedTotalStaysWithinItsCapByFreeingReleasedItemsFirst)
{
    TMemoryFiles files;
    files.Files["A.BRM"] = KeyedPicture(10);
    files.Files["B.BRM"] = KeyedPicture(10);
    TBromCollection cache(files.Source(), 0);
    int user = 0;
    TBromItem& a = cache.Acquire(&user, "a.brm", false, false);
    int64_t one = cache.Bytes();
    ASSERT_GT(one, 0);
    cache.MaxBytes = one * 3 / 2;
    EXPECT_EQ(ErrorOf([&] { cache.Acquire(&user, "b.brm", false, false); }), "b.brm:画像が大きすぎます");
    EXPECT_EQ(cache.Count(), 1);
    a.Release(&user);
    cache.Acquire(&user, "b.brm", false, false);
    EXPECT_EQ(cache.Count(), 1) << "the released picture made room";
    EXPECT_EQ(cache.Bytes(), one);
}

TEST(BromCache, ARulePictureIsTheFirstFrameAndNothingForAMissingFile)
{
    TMemoryFiles files;
    files.Files["RULE.BRM"] = KeyedPicture(10);
    TBromCollection cache(files.Source(), 0);
    EXPECT_EQ(CachedRulePicture(cache, "none.brm"), nullptr) << "not the cache's invisible stand-in";
    std::unique_ptr<TCustomDIBX> rule = CachedRulePicture(cache, "rule.brm");
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->Width(), 4);
    EXPECT_EQ(rule->GetPixel(2, 1), 0x123456u);
    EXPECT_EQ(cache.ReleasedCount(), 1) << "kept for the next flip, with no user";
}

TEST(BromCache, AMissingFileIsAnInvisibleEightByEightPicture)
{
    TMemoryFiles files;
    TBromCollection cache(files.Source(), 0);
    int user = 0;
    TBromItem& item = cache.Acquire(&user, "none.brm", true, false);
    ASSERT_EQ(item.Frames.size(), 1u);
    EXPECT_EQ(item.Frames[0].Surface->Width(), 8);
    EXPECT_EQ(item.Frames[0].Surface->TransparentColor, 0);
    EXPECT_EQ(item.Frames[0].Surface->GetPixel(7, 7), 0u);
    ASSERT_TRUE(item.Frames[0].Mask);
    EXPECT_EQ(item.Frames[0].Mask->GetPixel(3, 3), 0u);
}

TEST(BromCache, ADamagedFileRaisesAndAddsNothing)
{
    TMemoryFiles files;
    std::vector<uint8_t> damaged = KeyedPicture(10);
    damaged.resize(damaged.size() - 9);
    files.Files["BAD.BRM"] = damaged;
    TBromCollection cache(files.Source(), 0);
    int user = 0;
    EXPECT_EQ(ErrorOf([&] { cache.Acquire(&user, "bad.brm", false, false); }),
              "bad.brm:ファイルが破壊されています")
        << "the message names the picture";
    EXPECT_EQ(cache.Count(), 0);
}

TEST(BromCache, AReloadSkipsAPictureDamagedMeanwhileAndReportsIt)
{
    TMemoryFiles files;
    files.Files["A.BRM"] = KeyedPicture(10);
    files.Files["B.BRM"] = KeyedPicture(20);
    TBromCollection cache(files.Source(), 0);
    int user = 0;
    TBromItem& a = cache.Acquire(&user, "a.brm", false, false);
    TBromItem& b = cache.Acquire(&user, "b.brm", false, false);
    files.Files["A.BRM"].resize(20);
    files.Files["B.BRM"] = KeyedPicture(30);
    EXPECT_EQ(ErrorOf([&] { cache.SetOption(1); }), "a.brm:ファイルが破壊されています");
    EXPECT_EQ(cache.Option(), 1);
    ASSERT_EQ(a.Frames.size(), 2u) << "the damaged picture keeps its frames";
    EXPECT_EQ(a.TotalDelay, 20);
    EXPECT_EQ(b.TotalDelay, 60) << "the other picture was still reloaded";
}

TEST(BromCache, PngFilesLoadThroughTheSameCache)
{
    TMemoryFiles files;
    TPicture picture(2, 1, 24);
    picture.SetPixel(1, 0, 0xABCDEF);
    TPicture alpha(2, 1, 8);
    alpha.SetPixel(1, 0, 200);
    files.Files["P.PNG"] = EncodePng(picture, &alpha);
    TBromCollection cache(files.Source(), 0);
    int user = 0;
    TBromItem& item = cache.Acquire(&user, "p.png", false, false);
    EXPECT_EQ(item.Frames[0].Surface->GetPixel(1, 0), 0xABCDEFu);
    ASSERT_TRUE(item.Frames[0].Mask);
    EXPECT_EQ(item.Frames[0].Mask->GetPixel(1, 0), 200u);
}

TEST(BromCache, DrawCachedPicksTheOperationByOpacityAndMask)
{
    TBromItemFrame keyed;
    keyed.Surface = std::make_unique<TDIBX>(2, 1, 32);
    keyed.Surface->SetPixel(0, 0, 0x00FF00);
    keyed.Surface->SetPixel(1, 0, 0x808080);
    keyed.Surface->TransparentColor = 0x00FF00;
    TBromItemFrame masked;
    masked.Surface = std::make_unique<TDIBX>(2, 1, 32);
    masked.Surface->Fill(0x808080);
    masked.Mask = std::make_unique<TDIBX>(2, 1, 8);
    masked.Mask->SetPixel(0, 0, 0);
    masked.Mask->SetPixel(1, 0, 255);
    struct Case
    {
        const char* name;
        const TBromItemFrame* frame;
        int32_t alpha;
        uint32_t left, right; // over a destination of 0x202020
    } cases[] = {
        {"copy with key", &keyed, 255, 0x202020, 0x808080},
        {"blend with key", &keyed, 128, 0x202020, 0x4F4F4F},
        {"add with key", &keyed, 256 + 255, 0x202020, 0x9F9F9F},
        {"copy through mask", &masked, 255, 0x202020, 0x808080},
        {"add through mask", &masked, 256 + 128, 0x202020, 0x5F5F5F},
    };
    for (const Case& c : cases) {
        TDIBX dest(2, 1, 32);
        dest.Fill(0x202020);
        DrawCached(*c.frame, dest, 0, 0, c.alpha, false, false, TRect(0, 0, 2, 1));
        EXPECT_EQ(dest.GetPixel(0, 0), c.left) << c.name;
        EXPECT_EQ(dest.GetPixel(1, 0), c.right) << c.name;
    }
}

} // namespace
} // namespace ruko::test
