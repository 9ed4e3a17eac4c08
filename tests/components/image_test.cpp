// The picture components: sources through the image cache, the drawn geometry (zoom, rotation,
// mirroring, the mask hit test), frame animation, tiles, after-images, properties and records.
#include "../graphics/brom_test_support.h"
#include "picture_fixture.h"

#include "base/text.h"
#include "components/baselist.h"
#include "components/images.h"
#include "components/tile.h"
#include "graphics/bromcache.h"
#include "graphics/drawsmooth.h"
#include "params/paramcollection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <numbers>

namespace ruko {
namespace {

using test::BuildBinary;
using test::Rows24;
using test::TFrameSpec;
using test::TLayerSpec;

// Pixel values of the 32-bit surfaces (0x00RRGGBB).
constexpr uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF, White = 0xFFFFFF, Black = 0;

struct TTestPicture
{
    int Width = 2, Height = 2;
    std::vector<uint32_t> Pixels; // 0x00RRGGBB, row by row
    int Frames = 1;
    int32_t Delay = 100;
    int32_t TransColor = -1;
    std::vector<uint8_t> Alpha; // per pixel; empty: none
    std::vector<TRect> Rects;
};

TTestPicture Describe(void (*fill)(TTestPicture&))
{
    TTestPicture desc;
    fill(desc);
    return desc;
}

std::vector<uint8_t> MakePicture(const TTestPicture& desc)
{
    std::vector<TFrameSpec> frames;
    for (int f = 0; f < desc.Frames; ++f) {
        TFrameSpec frame;
        frame.Width = desc.Width;
        frame.Height = desc.Height;
        frame.Delay = desc.Delay;
        frame.TransColor = desc.TransColor;
        TLayerSpec layer;
        std::vector<uint32_t> pixels = desc.Pixels;
        if (pixels.empty()) pixels.assign(size_t(desc.Width * desc.Height), White);
        layer.Data = Rows24(desc.Width, pixels);
        if (!desc.Alpha.empty()) {
            layer.AlphaOn = true;
            TPicture alpha(desc.Width, desc.Height, 8);
            for (int i = 0; i < desc.Width * desc.Height; ++i)
                alpha.SetPixel(i % desc.Width, i / desc.Width, desc.Alpha[size_t(i)]);
            layer.AlphaData = alpha.Bytes();
        }
        frame.Layers.push_back(layer);
        frame.Rects[0] = desc.Rects;
        frames.push_back(frame);
    }
    return BuildBinary(105, {}, frames);
}

class Images : public test::TPictureListTest
{
  protected:
    void SetUp() override { StartList(32, 32); }

    void AddFile(const std::string& name, const TTestPicture& desc)
    {
        files_[UpperCaseText(name)] = MakePicture(desc);
    }

    template <class T = TRukoImages>
    T* Make(int kind, const std::string& source, const std::string& name = "img")
    {
        auto* c = static_cast<T*>(list_->CreateComponent(kind));
        c->SetName(name);
        c->SetSource(source);
        return c;
    }
    TRukoImages* MakeImage(const std::string& source) { return Make<TRukoImages>(LT_IMAGES, source); }

    void Frame(int32_t ms)
    {
        list_->InputStep(ms);
        list_->Step();
    }
    uint32_t Pixel(int x, int y)
    {
        TRukoBase& base = list_->GetActiveBase();
        base.MarkAllDirty();
        list_->Paint();
        return base.GetDrawSurface().GetPixel(x, y) & 0xFFFFFF;
    }
    std::vector<TEventRecord> Events() { return list_->Events().Entries(); }
};

int CountEvents(const std::vector<TEventRecord>& events, uint8_t code)
{
    int n = 0;
    for (const TEventRecord& e : events)
        n += e.Code == code;
    return n;
}

// --- sources and geometry -------------------------------------------------------------------

TEST_F(Images, SourcesLoadByExtensionIgnoringCaseAndMissingFilesGiveNoFrames)
{
    AddFile("a.brm", Describe([](TTestPicture& p) {
                p.Width = 3;
                p.Height = 2;
            }));
    struct Case
    {
        const char* source;
        int frames, width, height;
    } cases[] = {{"a.brm", 1, 3, 2}, {"A.BRM", 1, 3, 2}, {"missing.brm", 0, 0, 0}, {"a.png", 0, 0, 0}};
    for (const Case& c : cases) {
        TRukoImages* image = MakeImage(c.source);
        Frame(15);
        EXPECT_EQ(image->GetCount(), c.frames) << c.source;
        EXPECT_EQ(image->Width, c.width) << c.source;
        EXPECT_EQ(image->Height, c.height) << c.source;
        EXPECT_EQ(image->FrameIndex, c.frames ? 0 : -1) << c.source;
        image->Delete();
        Frame(15);
    }
    EXPECT_EQ(cache_->Count(), 1); // the missing file never reached the cache
}

TEST_F(Images, ZoomSizesAndStretchesAndInvalidZoomDrawsAndHitsNothing)
{
    AddFile("p.brm", Describe([](TTestPicture& p) {
                p.Width = 2;
                p.Height = 2;
                p.Pixels = {Red, Green, Blue, White};
            }));
    TRukoImages* image = MakeImage("p.brm");
    image->SetZoom(2, 1.5L);
    Frame(15);
    EXPECT_EQ(image->Width, 4);
    EXPECT_EQ(image->Height, 3);
    EXPECT_EQ(Pixel(1, 0), Red);
    EXPECT_EQ(Pixel(2, 0), Green);
    EXPECT_EQ(Pixel(3, 2), White);
    EXPECT_EQ(list_->GetActiveBase().HitTest(1, 1, 1), image);
    // Sizes are capped and never below one pixel.
    image->SetZoom(100000, 1e-9L);
    Frame(15);
    EXPECT_EQ(image->Width, MaxComponentSize);
    EXPECT_EQ(image->Height, 1);
    for (Extended bad : {Extended(0), Extended(-1), std::numeric_limits<Extended>::quiet_NaN(),
                         std::numeric_limits<Extended>::infinity()}) {
        image->SetZoom(bad, 1);
        Frame(15);
        EXPECT_EQ(Pixel(0, 0), Black) << double(bad);
        EXPECT_NE(list_->GetActiveBase().HitTest(0, 0, 1), image) << double(bad);
    }
}

TEST_F(Images, IntegerViewsOfZoomAndAngleTruncateAndSaturate)
{
    TRukoImages* image = MakeImage("");
    TParamFloat f;
    TParamInt i;
    f.SetFloat(std::numbers::pi_v<Extended>);
    image->SetProperty(PR_FLOATANGLE, f);
    image->GetProperty(PR_ANGLE, i);
    EXPECT_EQ(i.GetInt(), 127);
    i.SetInt(300);
    image->SetProperty(PR_ZOOMX, i);
    image->GetProperty(PR_FLOATZOOMX, f);
    EXPECT_EQ(f.GetFloat(), 1.171875L);
    f.SetFloat(1e30L);
    image->SetProperty(PR_FLOATZOOMY, f);
    image->GetProperty(PR_ZOOMY, i);
    EXPECT_EQ(i.GetInt(), INT32_MAX);
    f.SetFloat(-1e30L);
    image->SetProperty(PR_FLOATANGLE, f);
    image->GetProperty(PR_ANGLE, i);
    EXPECT_EQ(i.GetInt(), INT32_MIN);
}

TEST_F(Images, FlipsMirrorThePictureAndAlphaModesBlendOrAdd)
{
    AddFile("p.brm", Describe([](TTestPicture& p) {
                p.Width = 2;
                p.Height = 1;
                p.Pixels = {Red, Blue};
            }));
    TRukoImages* image = MakeImage("p.brm");
    image->SetLeft(1);
    Frame(15);
    EXPECT_EQ(Pixel(1, 0), Red);
    EXPECT_EQ(Pixel(2, 0), Blue);
    // The centre point (0, 0) mirrors with the picture: it is now the right-hand pixel.
    image->SetFlip(true, false);
    EXPECT_EQ(Pixel(0, 0), Blue);
    EXPECT_EQ(Pixel(1, 0), Red);
    EXPECT_EQ(Pixel(2, 0), Black);
    // 300 adds with strength 44: 255 * 44 / 256 = 43.
    image->SetAlpha(300);
    EXPECT_EQ(Pixel(0, 0), 43u);
    image->SetAlpha(0);
    EXPECT_EQ(Pixel(0, 0), Black);
}

TEST_F(Images, RotationWidensTheBoundsAndTheHitTestRotatesBack)
{
    AddFile("bar.brm", Describe([](TTestPicture& p) {
                p.Width = 8;
                p.Height = 2;
            }));
    TRukoImages* image = MakeImage("bar.brm");
    image->SetLeft(10);
    image->SetTop(10);
    Frame(15);
    EXPECT_EQ(image->GetBoundsRect(), TRect(10, 10, 18, 12));
    image->SetAngle(std::numbers::pi_v<Extended> / 2); // clockwise on screen: the bar hangs down
    const TRect bounds = image->GetBoundsRect();
    EXPECT_EQ(bounds,
              RotatedBounds(10, 10, 1, 1, TRect(0, 0, 8, 2), 0, 0, std::numbers::pi / 2, false, false));
    EXPECT_GE(bounds.Height(), 8);
    EXPECT_LE(bounds.Width(), 4);
    TRukoControl& base = list_->GetActiveBase();
    EXPECT_EQ(base.HitTest(9, 15, 1), image);
    EXPECT_NE(base.HitTest(15, 11, 1), image);
    EXPECT_EQ(Pixel(9, 15), White);
    EXPECT_EQ(Pixel(15, 11), Black);
    // A whole turn is no rotation.
    image->SetAngle(2 * std::numbers::pi_v<Extended>);
    EXPECT_EQ(image->GetBoundsRect(), TRect(10, 10, 18, 12));
}

TEST_F(Images, MaskHitTestUsesTheLevelTheZoomAndTheMirror)
{
    // Alpha 0, 127, 128, 255 from left to right.
    AddFile("m.brm", Describe([](TTestPicture& p) {
                p.Width = 4;
                p.Height = 1;
                p.Alpha = {0, 127, 128, 255};
            }));
    TRukoImages* image = MakeImage("m.brm");
    image->CaptureMask = true;
    Frame(15);
    TRukoControl& base = list_->GetActiveBase();
    struct Case
    {
        int x;
        bool flip;
        int32_t level;
        bool hit;
    } cases[] = {{0, false, 128, false}, {1, false, 128, false}, {2, false, 128, true},
                 {3, false, 128, true},  {0, true, 128, true},   {3, true, 128, false},
                 {1, false, 127, true},  {2, false, 255, false}};
    for (const Case& c : cases) {
        // Mirrored, the centre point moves to the right-hand pixel: keep the picture at 0..3.
        image->SetLeft(c.flip ? 3 : 0);
        image->SetFlip(c.flip, false);
        image->CapMaskLevel = c.level;
        EXPECT_EQ(base.HitTest(c.x, 0, 1) == image, c.hit) << c.x << " " << c.flip << " " << c.level;
    }
    // Zoomed, the point maps back through the zoom.
    image->SetFlip(false, false);
    image->SetLeft(0);
    image->CapMaskLevel = 128;
    image->SetZoom(2, 1);
    Frame(15);
    EXPECT_NE(base.HitTest(1, 0, 1), image); // picture x 0.5 rounds to 0
    EXPECT_EQ(base.HitTest(5, 0, 1), image); // 2.5 rounds to 2
    // Without a mask every point of the rectangle hits.
    AddFile("plain.brm", Describe([](TTestPicture& p) {
                p.Width = 4;
                p.Height = 1;
            }));
    image->SetSource("plain.brm");
    Frame(15);
    EXPECT_EQ(base.HitTest(0, 0, 1), image);
}

TEST_F(Images, ImageOnZoomedImageFallsOnTheParentsGrid)
{
    AddFile("big.brm", Describe([](TTestPicture& p) {
                p.Width = 10;
                p.Height = 10;
            }));
    AddFile("small.brm", Describe([](TTestPicture& p) {
                p.Width = 3;
                p.Height = 3;
                p.Pixels = std::vector<uint32_t>(9, Red);
            }));
    TRukoImages* parent = MakeImage("big.brm");
    parent->SetZoom(1.5L, 1.5L);
    auto* child = Make<TRukoImages>(LT_IMAGES, "small.brm", "child");
    child->SetParent(parent);
    child->SetZoom(1.5L, 1.5L);
    child->SetPosZoomed(true);
    child->SetLeft(3);
    child->SetTop(3);
    Frame(15);
    // d = 10 / 15 in 16.16 (43690): the left edge 3 * 65536 div d = 4 (remainder below a half),
    // the right edge (3 + 3) * 65536 / d rounded up = 10.
    EXPECT_EQ(child->GetDrawLeft(), 4);
    EXPECT_EQ(child->Width, 6);
    EXPECT_EQ(child->Height, 6);
    EXPECT_EQ(Pixel(4, 4), Red);
    EXPECT_EQ(Pixel(9, 9), Red);
    EXPECT_EQ(Pixel(3, 4), White);
    EXPECT_EQ(Pixel(10, 4), White);
}

// --- animation --------------------------------------------------------------------------------

TEST_F(Images, AnimationStepsFramesDropsTwoFrameOvershootAndEndsOnce)
{
    AddFile("two.brm", Describe([](TTestPicture& p) {
                p.Frames = 2;
                p.Delay = 100;
            }));
    AddFile("three.brm", Describe([](TTestPicture& p) {
                p.Frames = 3;
                p.Delay = 100;
            }));
    AddFile("one.brm", Describe([](TTestPicture& p) {
                p.Frames = 1;
                p.Delay = 100;
            }));
    TRukoImages* two = MakeImage("two.brm");
    two->PlayEndCommand = "ended";
    auto* three = Make<TRukoImages>(LT_IMAGES, "three.brm", "three");
    auto* one = Make<TRukoImages>(LT_IMAGES, "one.brm", "one");
    one->RepeatFlag = true;
    Frame(250);
    EXPECT_EQ(two->FrameIndex, 1); // not skipped back to 0
    EXPECT_EQ(two->Remaining, 100);
    EXPECT_EQ(three->FrameIndex, 2); // more frames carry the overshoot
    EXPECT_EQ(three->Remaining, 50);
    // A one-frame repeat re-enters its frame once per step instead of hanging.
    EXPECT_EQ(one->FrameIndex, 0);
    EXPECT_EQ(one->Remaining, 100);
    for (int i = 0; i < 4; ++i)
        Frame(250);
    EXPECT_EQ(one->Remaining, 100);
    EXPECT_EQ(CountEvents(Events(), PR_ONPLAYEND), 1);
    TParamFlag playing;
    two->GetProperty(PR_PLAYING, playing);
    EXPECT_FALSE(playing.GetFlag());
    // Repeat on an ended animation starts it again.
    two->SetRepeat(true);
    EXPECT_EQ(two->FrameIndex, 0);
    two->GetProperty(PR_PLAYING, playing);
    EXPECT_TRUE(playing.GetFlag());
    // AutoScrap destroys the image when its animation ends.
    three->AutoScrapFlag = true;
    const TComponentHandle handle = three->Handle;
    Frame(250);
    EXPECT_EQ(list_->Resolve(handle), nullptr);
}

TEST_F(Images, BrightnessScalesAPrivateCopyOfTheFrame)
{
    AddFile("w.brm", Describe([](TTestPicture& p) {
                p.Width = 1;
                p.Height = 1;
            }));
    TRukoImages* image = MakeImage("w.brm");
    TRukoImages* other = Make<TRukoImages>(LT_IMAGES, "w.brm", "other");
    other->SetLeft(1);
    Frame(15);
    struct Case
    {
        int32_t brightness;
        uint32_t pixel;
    } cases[] = {{0, White}, {128, 0x808080}, {1, 0x010101}, {255, White}, {300, White}};
    for (const Case& c : cases) {
        image->SetBrightness(c.brightness);
        EXPECT_EQ(Pixel(0, 0), c.pixel) << c.brightness;
        EXPECT_EQ(Pixel(1, 0), White) << "the cached frame is shared and unchanged";
    }
}

TEST_F(Images, ReloadedCacheFramesAreShownAgainClampedToTheNewCount)
{
    AddFile("anim.brm", Describe([](TTestPicture& p) {
                p.Width = 1;
                p.Height = 1;
                p.Frames = 3;
            }));
    TRukoImages* image = MakeImage("anim.brm");
    image->SetIndex(2);
    Frame(15);
    AddFile("anim.brm", Describe([](TTestPicture& p) {
                p.Width = 1;
                p.Height = 1;
                p.Pixels = {Red};
                p.Frames = 1;
            }));
    cache_->ReloadAll(false);
    // The old picture stays valid until the image takes the new one.
    EXPECT_EQ(Pixel(0, 0), White);
    image->ReshowFrame();
    EXPECT_EQ(image->FrameIndex, 0);
    EXPECT_EQ(Pixel(0, 0), Red);
}

// --- tiles ------------------------------------------------------------------------------------

// The columns of row 0 that show the pattern's first (red) column.
std::vector<int> RedColumns(const TCustomDIBX& surface, int width)
{
    std::vector<int> columns;
    for (int x = 0; x < width; ++x)
        if ((surface.GetPixel(x, 0) & 0xFFFFFF) == Red) columns.push_back(x);
    return columns;
}

TEST_F(Images, TilesRepeatAtTheirPitchWithScrollAndOverlap)
{
    auto pattern = [](TTestPicture& p) {
        p.Width = 10;
        p.Height = 1;
        p.Pixels.assign(10, Blue);
        p.Pixels[0] = Red;
    };
    AddFile("t.brm", Describe(pattern));
    AddFile("tr.brm", Describe([](TTestPicture& p) {
                p.Width = 10;
                p.Height = 1;
                p.Pixels.assign(10, Blue);
                p.Pixels[0] = Red;
                p.Rects = {TRect(0, 0, 10, 1)};
            }));
    struct Case
    {
        const char* source;
        int32_t distance, scroll;
        std::vector<int> red;
    } cases[] = {
        {"t.brm", 6, 0, {0, 6, 12, 18, 24}},   // 6 ≥ 10 / 2: every 6 pixels, each copy over the last
        {"t.brm", 6, -3, {3, 9, 15, 21, 27}},  // scrolled back by 3
        {"t.brm", 4, 0, {0, 10, 20}},          // 4 < 5: the picture's own width
        {"t.brm", 4, -3, {3, 13, 23}},         //
        {"tr.brm", 6, -3, {3, 9, 15, 21, 27}}, // the rectangle-list path places alike
        {"t.brm", 12, 0, {0, 12, 24}},         // a pitch beyond the picture leaves gaps
    };
    for (const Case& c : cases) {
        auto* tile = Make<TRukoTile>(LT_TILE, c.source, "tile");
        tile->SetBounds(0, 0, 30, 1);
        tile->SetDistance(c.distance, 0);
        tile->SetScroll(c.scroll, 0);
        Frame(15);
        Pixel(0, 0);
        EXPECT_EQ(RedColumns(list_->GetActiveBase().GetDrawSurface(), 30), c.red)
            << c.source << " " << c.distance << " " << c.scroll;
        if (c.distance == 12) {
            EXPECT_EQ(Pixel(11, 0), Black);
        }
        tile->Delete();
        Frame(15);
    }
}

TEST_F(Images, HugeTileWithATinyPitchDrawsOnlyWhatTheClipShows)
{
    AddFile("dot.brm", Describe([](TTestPicture& p) {
                p.Width = 2;
                p.Height = 2;
                p.Pixels = {Red, Red, Red, Red};
                p.Rects = {TRect(0, 0, 1, 1)};
            }));
    auto* tile = Make<TRukoTile>(LT_TILE, "dot.brm", "tile");
    tile->SetBounds(-MaxComponentSize / 2, -MaxComponentSize / 2, MaxComponentSize, MaxComponentSize);
    tile->SetDistance(1, 1);
    Frame(15);
    EXPECT_EQ(Pixel(5, 7), Red);
    EXPECT_EQ(Pixel(31, 31), Red);
}

// --- after-images -----------------------------------------------------------------------------

TEST_F(Images, MovingImagesLeaveFadingCopiesThatKeepTheirPicture)
{
    AddFile("p.brm", Describe([](TTestPicture& p) {
                p.Width = 2;
                p.Height = 2;
                p.Pixels = {White, White, White, White};
            }));
    TRukoImages* image = MakeImage("p.brm");
    image->BlurSpan = 30;
    image->BlurDelay = 90;
    image->SetAlpha(300);
    Frame(30); // the first place is recorded
    image->SetLeft(10);
    Frame(30);
    TRukoBase& base = list_->GetActiveBase();
    ASSERT_EQ(base.Children.size(), 2u);
    TRukoControl* copy = base.Children[0].get();
    EXPECT_EQ(copy->AfterImageSource(), image);
    EXPECT_EQ(copy->AfterImageAlpha(), 256 + 22); // only the low byte halves
    EXPECT_TRUE(copy->IsAfterImage());
    // The copy keeps its picture when the source changes it or goes.
    image->SetSource("");
    image->Delete();
    Frame(30);
    // 30 of 90 ms: strength 22 - nearest(22 / 3) = 15 adds floor(15 * 255 / 256) per channel.
    EXPECT_EQ(Pixel(10, 0), 0x0E0E0Eu);
    EXPECT_EQ(Pixel(0, 0), Black);
    Frame(30);
    Frame(30);
    EXPECT_TRUE(base.Children.empty());
}

TEST_F(Images, AfterImagesPerSourceAreCapped)
{
    AddFile("p.brm", Describe([](TTestPicture& p) {
                p.Width = 1;
                p.Height = 1;
            }));
    TRukoImages* image = MakeImage("p.brm");
    image->BlurSpan = 1;
    image->BlurDelay = 1000000;
    for (int i = 0; i < 100; ++i) {
        image->SetLeft(i % 2);
        Frame(1);
    }
    int copies = 0;
    for (const auto& child : list_->GetActiveBase().Children)
        copies += child->AfterImageSource() == image;
    EXPECT_EQ(copies, TRukoCustomImage::MaxAfterImages);
}

// --- properties -------------------------------------------------------------------------------

// The classes' own answers, as the table's implemented-by columns give them.
template <class T> struct TProbe : T
{
    using T::GetOwn;
    using T::SetOwn;
    using T::T;
};

TEST_F(Images, EveryPropertyIsImplementedExactlyByTheKindsTheTableNames)
{
    TProbe<TRukoImages> images(list_.get());
    TProbe<TRukoTile> tile(list_.get());
    struct Kind
    {
        const char* name;
        int code;
        std::function<bool(int, TCustomParam&)> get, set;
    } kinds[] = {
        {"IMAGES", LT_IMAGES, [&](int id, TCustomParam& p) { return images.GetOwn(id, p); },
         [&](int id, TCustomParam& p) { return images.SetOwn(id, p); }},
        {"TILE", LT_TILE, [&](int id, TCustomParam& p) { return tile.GetOwn(id, p); },
         [&](int id, TCustomParam& p) { return tile.SetOwn(id, p); }},
    };
    for (const Kind& kind : kinds)
        for (int id = 0; id < PropertyCount; ++id) {
            const TPropertyInfo& row = PropertyTable[id];
            if (id == PR_NAME || id == PR_PRIORITY || id == PR_TAG || id == PR_COMPOTYPE ||
                id == PR_APPEARX || id == PR_APPEARY)
                continue;
            std::unique_ptr<TCustomParam> value = CreateParamByType(row.Access);
            row.AbsentValue.StoreInto(*value);
            const bool gets = (row.GetKinds & CompoTypeBit(kind.code)) != 0;
            EXPECT_EQ(kind.get(id, *value), gets) << kind.name << " reads " << row.Name;
            if (row.IsReadOnly() || id == PR_PARENT) continue;
            const bool sets = (row.SetKinds & CompoTypeBit(kind.code)) != 0;
            EXPECT_EQ(kind.set(id, *value), sets) << kind.name << " writes " << row.Name;
        }
}

// --- save records -----------------------------------------------------------------------------

// The object and control parts of a plain control as a record of `version` lays them out.
void WriteControlPart(TKwBigStream& s, int32_t version, const std::string& name)
{
    WriteStr(s, name);
    WriteInt(s, 3); // Priority
    if (version > 103) WriteInt(s, 0);
    if (version >= 120) WriteStr(s, "tag");
    for (int32_t v : {5, 6, 0, 0, 0, 0}) // Left, Top, Width, Height, OffsetX, OffsetY
        WriteInt(s, v);
    WriteBool(s, false);
    if (version >= 130)
        for (int i = 0; i < 4; ++i)
            WriteInt(s, 0);
    if (version > 103) {
        for (int i = 0; i < 4; ++i)
            WriteInt(s, 0);
        WriteBool(s, false);
    }
    WriteBool(s, true);
    WriteInt(s, 0);
    for (int32_t v : {0, 0, 1, 1})
        WriteInt(s, v);
    WriteByte(s, IM_NONE);
    WriteStr(s, "");
    WriteStr(s, "");
    if (version > 101) WriteStr(s, "");
    for (int i = 0; i < 7; ++i)
        WriteStr(s, "");
    if (version > 117) {
        WriteBool(s, false);
        for (int i = 0; i < 5; ++i)
            WriteStr(s, "");
    }
    WriteInt(s, 0); // children
}

// The drawing core's fields: zoom 1.5 × 2, a fifth of a turn, mirrored, blur 30/90, level 200.
void WriteCustomImagePart(TKwBigStream& s, int32_t version)
{
    WriteInt(s, 300);
    if (version >= 143) {
        WriteExtended(s, 1.5L);
        WriteExtended(s, 51.0L / 255 * 2 * std::numbers::pi_v<Extended>);
        WriteBool(s, true);
    } else {
        WriteInt(s, 384);
        WriteInt(s, 51);
    }
    WriteBool(s, true);
    WriteBool(s, false);
    WriteBool(s, true);
    if (version >= 143)
        WriteExtended(s, 2.0L);
    else if (version >= 104)
        WriteInt(s, 512);
    if (version > 139) {
        WriteInt(s, 30);
        WriteInt(s, 90);
    }
    if (version >= 144) WriteInt(s, 200);
}

void WriteAnimationPart(TKwBigStream& s, int32_t index)
{
    WriteInt(s, 42);    // Remaining
    WriteInt(s, index); // frame
    WriteInt(s, 128);   // Brightness
    WriteBool(s, true); // Paused
    WriteU32(s, 0);     // LastFrameWait: no steps
}

void ExpectCustomImage(const TRukoCustomImage& image, int32_t version)
{
    EXPECT_EQ(image.Alpha, 300);
    EXPECT_EQ(image.ZoomX, 1.5L);
    EXPECT_EQ(image.ZoomY, version >= 104 ? 2.0L : 1.5L);
    EXPECT_NEAR(double(image.Angle), 51.0 / 255 * 2 * std::numbers::pi, 1e-12);
    EXPECT_EQ(image.AntiAlias, version >= 143);
    EXPECT_TRUE(image.FlipH);
    EXPECT_FALSE(image.FlipV);
    EXPECT_TRUE(image.CaptureMask);
    EXPECT_EQ(image.BlurSpan, version > 139 ? 30 : 0);
    EXPECT_EQ(image.BlurDelay, version > 139 ? 90 : 0);
    EXPECT_EQ(image.CapMaskLevel, version >= 144 ? 200 : 128);
}

// Saves `obj`, loads the bytes as the newest version into a fresh object of the same kind and
// saves that again: both records must agree.
void ExpectStableRecord(TRukoBaseList& list, TRukoObject& obj)
{
    TKwBigMemoryStream first;
    obj.SaveToStream(first);
    first.SetPosition(0);
    TRukoObject* again = list.CreateComponent(obj.GetCompoType());
    again->LoadFromStream(first, 150);
    EXPECT_EQ(first.GetPosition(), int64_t(first.Bytes().size()));
    TKwBigMemoryStream second;
    again->SaveToStream(second);
    EXPECT_EQ(first.Bytes(), second.Bytes());
}

const int32_t Thresholds[] = {103, 104, 139, 140, 142, 143, 144, 150};

TEST_F(Images, ImageRecordsLoadAtEveryVersionThresholdAndShowTheSavedFrame)
{
    AddFile("anim.brm", Describe([](TTestPicture& p) {
                p.Width = 2;
                p.Height = 2;
                p.Frames = 3;
            }));
    for (int32_t version : Thresholds) {
        TKwBigMemoryStream s;
        WriteControlPart(s, version, "saved");
        WriteCustomImagePart(s, version);
        WriteAnimationPart(s, 2);
        WriteBool(s, true);  // Repeat
        WriteBool(s, false); // AutoScrap
        WriteStr(s, "anim.brm");
        WriteStr(s, "end");
        if (version > 103) WriteStr(s, "idle");
        s.SetPosition(0);
        auto* image = static_cast<TRukoImages*>(list_->CreateComponent(LT_IMAGES));
        image->LoadFromStream(s, version);
        EXPECT_EQ(s.GetPosition(), int64_t(s.Bytes().size())) << version;
        ExpectCustomImage(*image, version);
        EXPECT_EQ(image->FrameIndex, 2) << version;
        EXPECT_EQ(image->Remaining, 42) << version;
        EXPECT_EQ(image->Brightness, 128);
        EXPECT_TRUE(image->Paused);
        EXPECT_TRUE(image->RepeatFlag);
        EXPECT_EQ(image->PlayEndCommand, "end");
        EXPECT_EQ(image->IdleCommand, version > 103 ? "idle" : "");
        EXPECT_TRUE(image->HasPicture);
        ExpectStableRecord(*list_, *image);
    }
}

TEST_F(Images, TileRecordsLoadAtEveryVersionThreshold)
{
    AddFile("t.brm", Describe([](TTestPicture& p) {
                p.Width = 2;
                p.Height = 2;
                p.Frames = 2;
            }));
    for (int32_t version : Thresholds) {
        TKwBigMemoryStream s;
        WriteControlPart(s, version, "tile");
        WriteCustomImagePart(s, version);
        WriteAnimationPart(s, 1);
        WriteInt(s, -7);
        WriteInt(s, 9);
        WriteStr(s, "t.brm");
        WriteStr(s, "idle");
        WriteInt(s, 60);
        WriteInt(s, 40);
        s.SetPosition(0);
        auto* tile = static_cast<TRukoTile*>(list_->CreateComponent(LT_TILE));
        tile->LoadFromStream(s, version);
        EXPECT_EQ(s.GetPosition(), int64_t(s.Bytes().size())) << version;
        ExpectCustomImage(*tile, version);
        EXPECT_EQ(tile->FrameIndex, 1);
        EXPECT_EQ(tile->ScrollX, -7);
        EXPECT_EQ(tile->ScrollY, 9);
        EXPECT_EQ(tile->DistanceX, 60);
        EXPECT_EQ(tile->DistanceY, 40);
        EXPECT_EQ(tile->IdleCommand, "idle");
        ExpectStableRecord(*list_, *tile);
    }
}

TEST_F(Images, DamagedRecordValuesLoadAsDefaults)
{
    AddFile("anim.brm", Describe([](TTestPicture& p) {
                p.Width = 2;
                p.Height = 2;
                p.Frames = 3;
            }));
    struct Case
    {
        Extended real;
        const char* source;
        int32_t index;
        int32_t shown;
    } cases[] = {{std::numeric_limits<Extended>::quiet_NaN(), "anim.brm", 7, 0},
                 {std::numeric_limits<Extended>::infinity(), "anim.brm", -5, 0},
                 {-std::numeric_limits<Extended>::infinity(), "gone.brm", 2, -1}};
    for (const Case& c : cases) {
        TKwBigMemoryStream s;
        WriteControlPart(s, 150, "bad");
        WriteInt(s, 255);
        WriteExtended(s, c.real);
        WriteExtended(s, c.real);
        WriteBool(s, false);
        for (int i = 0; i < 3; ++i)
            WriteBool(s, false);
        WriteExtended(s, c.real);
        for (int32_t v : {0, 0, 128})
            WriteInt(s, v);
        WriteAnimationPart(s, c.index);
        WriteBool(s, false);
        WriteBool(s, false);
        WriteStr(s, c.source);
        WriteStr(s, "");
        WriteStr(s, "");
        s.SetPosition(0);
        auto* image = static_cast<TRukoImages*>(list_->CreateComponent(LT_IMAGES));
        image->LoadFromStream(s, 150);
        EXPECT_EQ(image->ZoomX, 1);
        EXPECT_EQ(image->ZoomY, 1);
        EXPECT_EQ(image->Angle, 0);
        EXPECT_EQ(image->FrameIndex, c.shown) << c.source << " " << c.index;
        EXPECT_EQ(image->HasPicture, c.shown >= 0);
    }
}

TEST(SmoothDraw, SamplesAtQuarterPointsWeighedByTheMask)
{
    TDIBX dest(4, 4, 32), source(2, 2, 32), mask(2, 2, 8);
    source.Fill(White);
    mask.Fill(255);
    mask.SetPixel(1, 0, 0);
    dest.Fill(Black);
    // Half size: one destination pixel takes one sample from each source pixel.
    RotateDrawSmooth(dest, 0, 0, 0.5, 0.5, source, source.BoundsRect(), 0, 0, 0, &mask, false, false, 255);
    EXPECT_EQ(dest.GetPixel(0, 0), 0xBEBEBEu);
    EXPECT_EQ(dest.GetPixel(1, 0), Black);
    // Additive, and nothing for a zoom that is not positive.
    dest.Fill(Black);
    RotateDrawSmooth(dest, 0, 0, 1, 1, source, source.BoundsRect(), 0, 0, 0, nullptr, false, false, 511);
    EXPECT_EQ(dest.GetPixel(1, 1), 0xFEFEFEu); // full coverage adds 255 * 255 / 256
    dest.Fill(Black);
    RotateDrawSmooth(dest, 0, 0, 0, 1, source, source.BoundsRect(), 0, 0, 0, nullptr, false, false, 255);
    EXPECT_EQ(dest.GetPixel(0, 0), Black);
}

} // namespace
} // namespace ruko
