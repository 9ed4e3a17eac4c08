#include "base/error.h"
#include "base/text.h"
#include "components/mapareas.h"
#include "io/fields.h"

#include <gtest/gtest.h>

#include <climits>

namespace ruko {
namespace {

// The pixels of a region inside a box, as rows of '.' and '#'.
std::string Picture(const TMapRegion& region, int32_t width, int32_t height)
{
    std::string out;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x)
            out += region.Contains(x, y) ? '#' : '.';
        out += '\n';
    }
    return out;
}

TEST(MapRegion, RectanglesAreInclusiveAndEllipsesInscribedInTheirBox)
{
    EXPECT_EQ(Picture(TMapRegion::Rectangle(1, 1, 3, 2), 5, 4), ".....\n"
                                                                ".###.\n"
                                                                ".###.\n"
                                                                ".....\n");
    // Written the other way round, the same box.
    EXPECT_EQ(Picture(TMapRegion::Rectangle(3, 2, 1, 1), 5, 4),
              Picture(TMapRegion::Rectangle(1, 1, 3, 2), 5, 4));
    EXPECT_EQ(Picture(TMapRegion::Ellipse(0, 0, 9, 5), 10, 6), "..######..\n"
                                                               ".########.\n"
                                                               "##########\n"
                                                               "##########\n"
                                                               ".########.\n"
                                                               "..######..\n");
    EXPECT_EQ(TMapRegion::Ellipse(0, 0, 9, 5).BoundingBox(), TRect(0, 0, 10, 6));
}

TEST(MapRegion, PolygonsFillByTheNonzeroRule)
{
    // A triangle: a pixel is inside when its centre is.
    EXPECT_EQ(Picture(TMapRegion::Polygon({{0, 0}, {4, 0}, {0, 4}}), 5, 5), "###..\n"
                                                                            "##...\n"
                                                                            "#....\n"
                                                                            ".....\n"
                                                                            ".....\n");
    // A square traced twice in the same direction overlaps itself: still inside (winding 2).
    const TMapRegion twice =
        TMapRegion::Polygon({{0, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}, {2, 0}, {2, 2}, {0, 2}});
    EXPECT_TRUE(twice.Contains(1, 1));
    // A pentagram's centre winds twice: filled, where the even-odd rule would leave a hole.
    const TMapRegion star = TMapRegion::Polygon({{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}});
    EXPECT_TRUE(star.Contains(10, 10));
    EXPECT_FALSE(star.Contains(1, 1));
    EXPECT_EQ(star.BoundingBox(), TRect(0, 0, 20, 19));
    EXPECT_FALSE(TMapRegion::Polygon({{0, 0}, {5, 5}}).Contains(2, 2));
}

TEST(MapRegion, ExtremeCoordinatesNeitherOverflowNorWrap)
{
    const TMapRegion huge = TMapRegion::Ellipse(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    EXPECT_TRUE(huge.Contains(0, 0));
    EXPECT_FALSE(huge.Contains(INT64_MAX / 4, 0));
    const TMapRegion wide = TMapRegion::Polygon(
        {{INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MIN}, {INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MAX}});
    EXPECT_TRUE(wide.Contains(0, 0));
    EXPECT_TRUE(wide.Contains(-1000000, 123456789));
    EXPECT_TRUE(TMapRegion::Rectangle(INT32_MAX, 0, INT32_MAX, 0).BoundingBox().Right > 0);
}

TEST(MapFile, WritesAndReadsEveryShapeAndTheFirstAreaWins)
{
    std::vector<TMapArea> areas = {
        {"door", TMapRegion::Rectangle(0, 0, 9, 9)},
        {"moon", TMapRegion::Ellipse(5, 5, 14, 14)},
        {"\x83\x5C", TMapRegion::Polygon({{20, 0}, {30, 0}, {25, 8}})},
    };
    TKwBigMemoryStream s;
    WriteMapFile(s, areas);
    s.SetPosition(0);
    const std::vector<TMapArea> read = ReadMapFile(s);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[1].Name, "moon");
    EXPECT_EQ(read[1].Region.Shape, TMapShape::Ellipse);
    EXPECT_EQ(read[2].Name, "\x83\x5C");
    EXPECT_EQ(read[2].Region.Points, areas[2].Region.Points);
    EXPECT_EQ(FindMapArea(read, 7, 7), 0); // in both the door and the moon
    EXPECT_EQ(FindMapArea(read, 12, 12), 1);
    EXPECT_EQ(FindMapArea(read, 25, 2), 2);
    EXPECT_EQ(FindMapArea(read, 40, 40), -1);
}

TEST(MapFile, AnyOtherShapeByteIsAPolygon)
{
    TKwBigMemoryStream s;
    WriteInt(s, 1);
    WriteStr(s, "p");
    WriteByte(s, 7);
    WriteInt(s, 3);
    for (int32_t v : {0, 0, 4, 0, 0, 4})
        WriteInt(s, v);
    s.SetPosition(0);
    const std::vector<TMapArea> read = ReadMapFile(s);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].Region.Shape, TMapShape::Polygon);
    EXPECT_TRUE(read[0].Region.Contains(1, 1));
}

TEST(MapFile, CountsAndLengthsBeyondTheBytesLeftAreDamage)
{
    auto bytesOf = [](auto&& write) {
        TKwBigMemoryStream s;
        write(s);
        return s.TakeBytes();
    };
    const std::vector<std::vector<uint8_t>> damaged = {
        bytesOf([](TKwBigStream& s) { WriteInt(s, -1); }),
        bytesOf([](TKwBigStream& s) { WriteInt(s, 1000000); }),
        bytesOf([](TKwBigStream& s) {
            WriteInt(s, 1);
            WriteInt(s, 1 << 30); // a name longer than the file
            WriteInt(s, 0);
            WriteInt(s, 0);
        }),
        bytesOf([](TKwBigStream& s) {
            WriteInt(s, 1);
            WriteStr(s, "r");
            WriteByte(s, 0);
            WriteInt(s, 1); // a rectangle cut short
        }),
        bytesOf([](TKwBigStream& s) {
            WriteInt(s, 1);
            WriteStr(s, "p");
            WriteByte(s, 2);
            WriteInt(s, 0x10000000); // more points than bytes
            WriteInt(s, 0);
            WriteInt(s, 0);
        }),
        bytesOf([](TKwBigStream& s) {
            WriteInt(s, 1);
            WriteStr(s, "p");
            WriteByte(s, 2);
            WriteInt(s, -3);
        }),
    };
    for (size_t i = 0; i < damaged.size(); ++i) {
        TKwBigMemoryStream s(damaged[i]);
        try {
            ReadMapFile(s);
            ADD_FAILURE() << "case " << i << " was read";
        } catch (const ERukoError& error) {
            EXPECT_EQ(error.what(), Utf8ToCp932("ファイルが破壊されています")) << i;
        }
    }
}

} // namespace
} // namespace ruko
