#include "base/error.h"
#include "fixtures.h"
#include "io/bigstream.h"

#include <cstring>
#include <gtest/gtest.h>

namespace ruko {
namespace {

using test::TScratchFolder;

TEST(BigFileStreamTest, ThreePartsReadAsOneStreamAcrossBothSeams)
{
    TScratchFolder dir;
    std::string path = dir / "game.dat";
    std::string content = "abcdefghijklmnopqrstu"; // 21 bytes in parts of 8: 8 + 8 + 5
    {
        TKwBigFileStream out(path, TFileMode::Create, 8);
        EXPECT_EQ(out.Write(content.data(), 21), 21);
    }
    EXPECT_EQ(test::ReadHost(dir / "game.001"), "ijklmnop");
    EXPECT_EQ(test::ReadHost(dir / "game.002"), "qrstu");
    TKwBigFileStream in(path, TFileMode::Read, 8);
    EXPECT_EQ(in.PartCount(), 3);
    EXPECT_EQ(in.GetSize(), 21);
    std::string read(12, '\0');
    in.SetPosition(5);
    EXPECT_EQ(in.Read(read.data(), 12), 12);
    EXPECT_EQ(read, "fghijklmnopq");
}

TEST(BigFileStreamTest, NextPartIsCreatedOnlyPastAFullPart)
{
    TScratchFolder dir;
    std::string path = dir / "data.bin";
    {
        TKwBigFileStream out(path, TFileMode::Create, 4);
        out.Write("1234", 4);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "data.001"));
    {
        TKwBigFileStream out(path, TFileMode::ReadWrite, 4);
        out.SetPosition(4);
        out.Write("5", 1);
    }
    EXPECT_EQ(test::ReadHost(dir / "data.001"), "5");
}

TEST(BigFileStreamTest, AStrayPartAfterAShortPartIsIgnored)
{
    TScratchFolder dir;
    test::WriteHost(dir / "game.dat", "abc");
    test::WriteHost(dir / "game.001", "zzz");
    TKwBigFileStream in(dir / "game.dat", TFileMode::Read, 8);
    EXPECT_EQ(in.GetSize(), 3);
}

TEST(BigFileStreamTest, CreateDeletesOldPartsAndMissingFileRaises)
{
    TScratchFolder dir;
    test::WriteHost(dir / "a.dat", "12345678");
    test::WriteHost(dir / "a.001", "x");
    {
        TKwBigFileStream out(dir / "a.dat", TFileMode::Create, 8);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "a.001"));
    EXPECT_THROW(TKwBigFileStream(dir / "missing", TFileMode::Read), ERukoError);
}

TEST(RangeStreamTest, SeeksClampToTheWindowAndReadsStopAtItsEnd)
{
    auto source = std::make_shared<TMemoryRangeSource>(test::Bytes("0123456789"));
    TRangeStream range(source, 2, 5); // "23456"
    struct Case
    {
        int64_t offset;
        TSeekOrigin origin;
        int64_t expected;
    };
    const Case cases[] = {
        {-3, TSeekOrigin::Begin, 0},  {9, TSeekOrigin::Begin, 5}, {2, TSeekOrigin::Begin, 2},
        {1, TSeekOrigin::Current, 3}, {-1, TSeekOrigin::End, 4},  {4, TSeekOrigin::End, 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(range.Seek(c.offset, c.origin), c.expected);
    char buffer[8] = {};
    EXPECT_EQ(range.Read(buffer, 8), 0);
    range.Seek(3, TSeekOrigin::Begin);
    EXPECT_EQ(range.Read(buffer, 8), 2);
    EXPECT_EQ(std::string(buffer, 2), "56");
}

TEST(RangeStreamTest, AnEmptyWindowStaysEmpty)
{
    auto source = std::make_shared<TMemoryRangeSource>(test::Bytes("0123456789"));
    TRangeStream range(source, 4, 0);
    char buffer[4];
    EXPECT_EQ(range.GetSize(), 0);
    EXPECT_EQ(range.Read(buffer, 4), 0);
}

TEST(BuffBigStreamTest, SourceStandsAfterTheLastByteDelivered)
{
    std::vector<uint8_t> bytes(300000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    TKwBigMemoryStream source(bytes);
    {
        TKwBuffBigStream reader(source);
        std::vector<uint8_t> out(150000);
        EXPECT_EQ(reader.Read(out.data(), 150000), 150000);
        EXPECT_EQ(out[149999], bytes[149999]);
        EXPECT_EQ(reader.ReadU32(), uint32_t{bytes[150000]} | uint32_t{bytes[150001]} << 8 |
                                        uint32_t{bytes[150002]} << 16 | uint32_t{bytes[150003]} << 24);
    }
    EXPECT_EQ(source.GetPosition(), 150004);
}

// A stream that claims more bytes than it delivers.
class TLyingStream : public TKwBigStream
{
  public:
    explicit TLyingStream(std::string bytes) : bytes_(std::move(bytes)) {}
    int64_t GetSize() override { return 1 << 20; }
    int64_t GetPosition() override { return position_; }
    int64_t Read(void* buffer, int64_t count) override
    {
        int64_t take = std::min<int64_t>(count, static_cast<int64_t>(bytes_.size()) - position_);
        std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(take));
        position_ += take;
        return take;
    }

  private:
    std::string bytes_;
    int64_t position_ = 0;
};

TEST(BuffBigStreamTest, StopsWhenARefillDeliversNothing)
{
    TLyingStream source("abc");
    TKwBuffBigStream reader(source);
    char buffer[16];
    EXPECT_EQ(reader.Read(buffer, 16), 3);
    EXPECT_THROW(reader.ReadExact(buffer, 1), ERukoError);
}

} // namespace
} // namespace ruko
