#include "shell/framepng.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "base/fileio.h"

using namespace ruko;

namespace {

std::string TempName(const char* name)
{
    return testing::TempDir() + "/" + std::to_string(::getpid()) + "-" + name;
}

} // namespace

TEST(PngFile, FrameReadsBackPixelForPixelAndRowPitchIsHonoured)
{
    // 3x2 picture stored with a pitch of 4 pixels; the padding must not leak into the file.
    std::vector<uint32_t> pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xDEADBEEF,
                                    0x123456, 0xFFFFFF, 0x000000, 0xDEADBEEF};
    std::string path = TempName("frame.png");
    ASSERT_TRUE(WriteFramePng(path, {pixels.data(), 3, 2, 16}));
    std::vector<uint32_t> back;
    int w = 0, h = 0;
    ASSERT_TRUE(ReadFramePng(path, back, w, h));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(back, (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xFFFFFF, 0x000000}));
    std::remove(path.c_str());
}

TEST(PngFile, EqualFramesGiveEqualBytes)
{
    std::vector<uint32_t> pixels(64 * 64);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF;
    std::string a = TempName("a.png"), b = TempName("b.png");
    ASSERT_TRUE(WriteFramePng(a, {pixels.data(), 64, 64, 256}));
    ASSERT_TRUE(WriteFramePng(b, {pixels.data(), 64, 64, 256}));
    std::string bytesA, bytesB;
    ASSERT_TRUE(ReadHostFile(a, bytesA));
    ASSERT_TRUE(ReadHostFile(b, bytesB));
    EXPECT_EQ(bytesA, bytesB);
    std::remove(a.c_str());
    std::remove(b.c_str());
}

TEST(PngFile, UnwritablePathAndEmptyFrameFailWithAReason)
{
    uint32_t pixel = 0;
    std::string why;
    EXPECT_FALSE(WriteFramePng("/nonexistent/dir/x.png", {&pixel, 1, 1, 4}, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(WriteFramePng(TempName("empty.png"), {nullptr, 0, 0, 0}, &why));
}

TEST(PngFile, NonPngIsNotRead)
{
    std::string path = TempName("not.png");
    ASSERT_TRUE(WriteHostFileAtomic(path, "not a picture"));
    std::vector<uint32_t> pixels;
    int w, h;
    EXPECT_FALSE(ReadFramePng(path, pixels, w, h));
    std::remove(path.c_str());
}
