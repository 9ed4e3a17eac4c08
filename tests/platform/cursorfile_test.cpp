#include "platform/cursorfile.h"

#include <gtest/gtest.h>

namespace ruko {
namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
}
void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}

// A one-image cursor file: directory, bitmap header, palette, colour rows and AND rows (both
// bottom-up, already padded by the caller).
std::vector<uint8_t> CursorFile(int width, int height, int bits, const std::vector<uint32_t>& palette,
                                const std::vector<uint8_t>& rows, int hotX, int hotY)
{
    std::vector<uint8_t> dib;
    Put32(dib, 40);
    Put32(dib, uint32_t(width));
    Put32(dib, uint32_t(height * 2));
    Put16(dib, 1);
    Put16(dib, uint32_t(bits));
    for (int i = 0; i < 6; ++i)
        Put32(dib, i == 4 ? uint32_t(palette.size()) : 0);
    for (uint32_t colour : palette)
        Put32(dib, colour);
    dib.insert(dib.end(), rows.begin(), rows.end());
    std::vector<uint8_t> file;
    Put16(file, 0);
    Put16(file, 2);
    Put16(file, 1);
    file.insert(file.end(), {uint8_t(width), uint8_t(height), 0, 0});
    Put16(file, uint32_t(hotX));
    Put16(file, uint32_t(hotY));
    Put32(file, uint32_t(dib.size()));
    Put32(file, 22);
    file.insert(file.end(), dib.begin(), dib.end());
    return file;
}

TEST(CursorFile, OneBitCursorTakesItsPaletteAndMask)
{
    // 2 x 2: bottom row (stored first) black, white; top row white, black. The AND mask clears
    // the top-left pixel only.
    std::vector<uint8_t> rows = {0x40, 0, 0, 0, 0x80, 0, 0, 0,  // colour rows, bottom then top
                                 0x00, 0, 0, 0, 0x80, 0, 0, 0}; // AND rows, bottom then top
    TCursorImage image;
    ASSERT_TRUE(DecodeCursorFile(CursorFile(2, 2, 1, {0x000000, 0xFFFFFF}, rows, 1, 0), image));
    EXPECT_EQ(image.Width, 2);
    EXPECT_EQ(image.Height, 2);
    EXPECT_EQ(image.HotX, 1);
    EXPECT_EQ(image.HotY, 0);
    EXPECT_EQ(image.Argb, (std::vector<uint32_t>{0x00000000, 0xFF000000, 0xFF000000, 0xFFFFFFFF}));
}

TEST(CursorFile, ThirtyTwoBitCursorKeepsItsAlpha)
{
    std::vector<uint8_t> rows;
    Put32(rows, 0x80FF0000); // bottom row
    Put32(rows, 0x0000FF00); // top row: alpha 0 stays clear whatever the mask says
    rows.insert(rows.end(), 8, 0);
    TCursorImage image;
    ASSERT_TRUE(DecodeCursorFile(CursorFile(1, 2, 32, {}, rows, 0, 1), image));
    EXPECT_EQ(image.Argb, (std::vector<uint32_t>{0x0000FF00, 0x80FF0000}));
}

TEST(CursorFile, DamagedFilesAreRefused)
{
    std::vector<uint8_t> rows(16, 0);
    const std::vector<uint8_t> good = CursorFile(2, 2, 1, {0, 0xFFFFFF}, rows, 0, 0);
    TCursorImage image;
    ASSERT_TRUE(DecodeCursorFile(good, image));
    std::vector<std::vector<uint8_t>> bad;
    bad.push_back({});
    bad.push_back(std::vector<uint8_t>(good.begin(), good.end() - 1)); // truncated rows
    std::vector<uint8_t> kind = good;
    kind[2] = 7; // neither icon nor cursor
    bad.push_back(kind);
    std::vector<uint8_t> huge = good;
    huge[22 + 4 + 3] = 0x7F; // width beyond any cursor
    bad.push_back(huge);
    std::vector<uint8_t> odd = good;
    odd[22 + 8] = 3; // an odd double height
    bad.push_back(odd);
    std::vector<uint8_t> depth = good;
    depth[22 + 14] = 16;
    bad.push_back(depth);
    std::vector<uint8_t> offset = good;
    offset[6 + 12 + 3] = 0x7F; // image beyond the file
    bad.push_back(offset);
    for (size_t i = 0; i < bad.size(); ++i)
        EXPECT_FALSE(DecodeCursorFile(bad[i], image)) << i;
}

} // namespace
} // namespace ruko
