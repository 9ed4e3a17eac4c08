#include "archive/vrarchive.h"
#include "base/error.h"
#include "fixtures.h"

#include <gtest/gtest.h>
#include <random>

namespace ruko {
namespace {

using test::Bytes;
using test::Deflate;
using test::EncodeArchive;
using test::Text;
using test::TScratchFolder;
using test::TTestMember;

std::shared_ptr<const TRangeSource> Source(std::vector<uint8_t> bytes)
{
    return std::make_shared<TMemoryRangeSource>(std::move(bytes));
}

std::string ReadAll(TKwBigStream& s)
{
    std::string out(static_cast<size_t>(s.GetSize() - s.GetPosition()), '\0');
    s.Read(out.data(), static_cast<int64_t>(out.size()));
    return out;
}

TEST(Crc32Test, CheckValueOfTheNineDigits)
{
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    // Continuing over blocks gives the same value as one pass.
    EXPECT_EQ(Crc32("6789", 4, Crc32("12345", 5)), 0xCBF43926u);
}

TEST(ArchiveReadTest, EveryStoredVersionReadsItsMembers)
{
    for (int version : {0, 100, 101, 102}) {
        std::vector<TTestMember> members = {{"bgm\\title.ogg", "OggS raw", version >= 101},
                                            {"page\\start.rsb", Deflate("start page"), false},
                                            {"empty.txt", Deflate(""), false}};
        if (version < 101) members[0].bytes = Deflate("OggS raw");
        TVrFileCollection archive;
        archive.OpenSource(Source(EncodeArchive(members, version)), 0, "test.dat");
        SCOPED_TRACE(version);
        ASSERT_EQ(archive.MemberCount(), 3);
        EXPECT_EQ(Text(archive.ReadMemberBytes("BGM\\TITLE.OGG")), "OggS raw");
        EXPECT_EQ(Text(archive.ReadMemberBytes("page\\start.rsb")), "start page");
        EXPECT_EQ(Text(archive.ReadMemberBytes("empty.txt")), "");
        EXPECT_EQ(archive.FindFile("bgm\\title.ogg")->Stored, version >= 101);
    }
}

TEST(ArchiveReadTest, LookupIgnoresLatinCaseButNotSeparators)
{
    TVrFileCollection archive;
    archive.OpenSource(Source(EncodeArchive({{"Folder\\File.TXT", Deflate("x")}}, 102)), 0, "a");
    EXPECT_NE(archive.FindFile("folder\\file.txt"), nullptr);
    EXPECT_EQ(archive.FindFile("folder/file.txt"), nullptr);
    EXPECT_THROW(archive.ReadMemberBytes("folder/file.txt"), ERukoError);
}

TEST(ArchiveReadTest, OfTwoEqualNamesTheLaterWins)
{
    TVrFileCollection archive;
    archive.OpenSource(
        Source(EncodeArchive({{"a.txt", Deflate("first")}, {"A.TXT", Deflate("second")}}, 102)), 0, "a");
    EXPECT_EQ(Text(archive.ReadMemberBytes("a.txt")), "second");
}

TEST(ArchiveReadTest, DamagedDirectoriesAreRejectedWhole)
{
    std::vector<uint8_t> good = EncodeArchive({{"a.txt", Deflate("alpha")}, {"b.txt", Deflate("beta")}}, 102);
    auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> copy = good;
        std::copy(bytes.begin(), bytes.end(), copy.begin() + static_cast<std::ptrdiff_t>(at));
        return copy;
    };
    // Offsets table starts after "vf", version, count and the two names (4 + 5 bytes each).
    size_t offsets = 2 + 4 + 4 + 9 + 9;
    std::vector<uint8_t> truncated(good.begin(), good.begin() + 20);
    std::vector<uint8_t> shortData(good.begin(), good.end() - 3);
    struct Case
    {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"truncated directory", truncated},
        {"member count beyond the file", patched(6, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"name length beyond the file", patched(10, {0xF0, 0xFF, 0xFF, 0x7F})},
        {"offset before the previous one", patched(offsets + 8, {0x00, 0x00, 0x00, 0x00})},
        {"end beyond the file", shortData},
    };
    for (const Case& c : cases) {
        TVrFileCollection archive;
        archive.AddMemoryFile("kept");
        try {
            archive.OpenSource(Source(c.bytes), 0, "broken.dat");
            ADD_FAILURE() << c.what << " was accepted";
        } catch (const ERukoError& error) {
            EXPECT_NE(std::string(error.what()).find("broken.dat"), std::string::npos) << c.what;
        }
        EXPECT_EQ(archive.Count(), 0) << c.what;
    }
}

TEST(ArchiveReadTest, TruncatedOrOversizedMembersAreErrorsNotShortData)
{
    std::string packed = Deflate(std::string(1000, 'z'));
    std::string cut = packed.substr(0, packed.size() - 6);
    TVrFileCollection archive;
    archive.OpenSource(Source(EncodeArchive({{"cut.txt", cut}, {"junk.txt", "not zlib"}}, 102)), 0, "a");
    EXPECT_THROW(archive.ReadMemberBytes("cut.txt"), ERukoError);
    EXPECT_THROW(archive.ReadMemberBytes("junk.txt"), ERukoError);
    // A member may not inflate beyond the cap it is given.
    EXPECT_THROW(InflateMember(reinterpret_cast<const uint8_t*>(packed.data()), packed.size(), 999),
                 ERukoError);
    EXPECT_EQ(InflateMember(reinterpret_cast<const uint8_t*>(packed.data()), packed.size(), 1000).size(),
              1000u);
}

// Whole members inflate in one pass into a buffer that starts at a guess: one that inflates far
// beyond the guess still comes out whole, and bytes after the stream's end are ignored as before.
TEST(ArchiveReadTest, WholeMembersInflateExactlyWhateverTheirRatio)
{
    std::string plain;
    for (int k = 0; plain.size() < (8u << 20); ++k)
        plain += "line " + std::to_string(k % 97) + "\n";
    const std::string packed = Deflate(plain) + "trailing";
    const auto* bytes = reinterpret_cast<const uint8_t*>(packed.data());
    std::vector<uint8_t> out =
        InflateMember(bytes, packed.size(), InflateLimit(static_cast<int64_t>(packed.size())));
    EXPECT_EQ(std::string(out.begin(), out.end()), plain);
    EXPECT_THROW(InflateMember(bytes, packed.size(), plain.size() - 1), ERukoError);
}

TEST(ArchiveRangeTest, StoredMembersAreWindowsAndCompressedOnesAreInflated)
{
    TVrFileCollection archive;
    archive.OpenSource(Source(EncodeArchive({{"a.ogg", "OGGDATA", true},
                                             {"empty.ogg", "", true},
                                             {"b.txt", Deflate("plain text")},
                                             {"tail", "TAIL", true}},
                                            102)),
                       0, "a");
    auto stored = archive.OpenRange("a.ogg");
    ASSERT_TRUE(stored);
    EXPECT_EQ(ReadAll(*stored), "OGGDATA");
    auto empty = archive.OpenRange("empty.ogg");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->GetSize(), 0);
    auto inflated = archive.OpenRange("b.txt");
    ASSERT_TRUE(inflated);
    EXPECT_EQ(ReadAll(*inflated), "plain text");
    EXPECT_EQ(archive.OpenRange("missing"), nullptr);
}

TEST(ArchiveWriteTest, SavedArchiveReadsBackWithScrambledNames)
{
    TVrFileCollection out;
    out.AddMemoryFile("save\\slot1.dat").Data->Write("slot one", 8);
    std::string big(MaxCompressedMember + 1, 'b');
    out.AddMemoryFile("big.bin").Data->Write(big.data(), static_cast<int64_t>(big.size()));
    std::string limit(MaxCompressedMember, 'c');
    out.AddMemoryFile("limit.bin").Data->Write(limit.data(), static_cast<int64_t>(limit.size()));
    TKwBigMemoryStream stream;
    ASSERT_TRUE(out.SaveToStream(stream));
    std::vector<uint8_t> bytes = stream.TakeBytes();
    // Names are scrambled: the plain text of a name does not appear in the file.
    EXPECT_EQ(Text(bytes).find("slot1"), std::string::npos);

    TVrFileCollection in;
    in.OpenSource(Source(bytes), 0, "out");
    ASSERT_EQ(in.MemberCount(), 3);
    EXPECT_EQ(Text(in.ReadMemberBytes("SAVE\\SLOT1.DAT")), "slot one");
    EXPECT_TRUE(in.FindFile("big.bin")->Stored);
    EXPECT_FALSE(in.FindFile("limit.bin")->Stored);
    EXPECT_EQ(Text(in.ReadMemberBytes("big.bin")), big);
    EXPECT_EQ(in.FindFile("big.bin")->Checksum, Crc32(big.data(), big.size()));
}

// Content of `size` bytes whose deflated form is exactly `size × 9 div 10 + extra` bytes long.
std::string ContentCompressingTo(int extra)
{
    std::mt19937 random(7);
    for (int noise = 200; noise < 2000; noise += 7) {
        std::string content(static_cast<size_t>(noise), '\0');
        for (char& c : content)
            c = static_cast<char>(random());
        for (int zeros = 0; zeros < 400; ++zeros) {
            std::string candidate = content + std::string(static_cast<size_t>(zeros), 'z');
            auto packed = static_cast<int64_t>(Deflate(candidate).size());
            if (packed == static_cast<int64_t>(candidate.size()) * 9 / 10 + extra) return candidate;
        }
    }
    return {};
}

TEST(ArchiveWriteTest, NineTenthsIsTheLastCompressedSize)
{
    TScratchFolder dir;
    std::string atLimit = ContentCompressingTo(0), overLimit = ContentCompressingTo(1);
    ASSERT_FALSE(atLimit.empty());
    ASSERT_FALSE(overLimit.empty());
    test::WriteHost(dir / "src/at.txt", atLimit);
    test::WriteHost(dir / "src/over.txt", overLimit);
    test::WriteHost(dir / "src/music.ogg", "tiny but never compressed");
    TVrFileCollection out;
    out.Folder = dir / "src/";
    for (const char* name : {"at.txt", "over.txt", "MUSIC.OGG"})
        out.Add(name);
    TKwBigMemoryStream stream;
    out.SaveToStream(stream);
    TVrFileCollection in;
    in.OpenSource(Source(stream.TakeBytes()), 0, "out");
    EXPECT_FALSE(in.FindFile("at.txt")->Stored);
    EXPECT_TRUE(in.FindFile("over.txt")->Stored);
    EXPECT_TRUE(in.FindFile("music.ogg")->Stored);
    EXPECT_EQ(Text(in.ReadMemberBytes("at.txt")), atLimit);
    EXPECT_EQ(Text(in.ReadMemberBytes("over.txt")), overLimit);
    EXPECT_NE(in.FindFile("at.txt")->Time, 0u);
}

TEST(ArchiveFileTest, TrailerFindsTheArchiveAfterAHostProgram)
{
    TScratchFolder dir;
    std::vector<uint8_t> archive = EncodeArchive({{"ruko.rpb", Deflate("project")}}, 102);
    std::string program = "\x7f"
                          "ELF pretend program";
    std::string file = program + Text(archive);
    uint32_t offset = static_cast<uint32_t>(program.size());
    for (int i = 0; i < 4; ++i)
        file += static_cast<char>(offset >> (8 * i));
    file += "rk";
    test::WriteHost(dir / "title", file);
    TVrFileCollection viaTrailer;
    viaTrailer.Open(dir / "title", true);
    EXPECT_EQ(Text(viaTrailer.ReadMemberBytes("ruko.rpb")), "project");
    EXPECT_EQ(viaTrailer.Folder, dir.Path() + "/");

    // A trailer pointing past itself is damage, reported with the file's name.
    file[file.size() - 3] = 0x7F;
    test::WriteHost(dir / "bad", file);
    TVrFileCollection bad;
    EXPECT_THROW(bad.Open(dir / "bad", true), ERukoError);
}

TEST(ArchiveFileTest, MissingMembersFallBackToLooseFilesBesideTheArchive)
{
    TScratchFolder dir;
    std::vector<uint8_t> archive = EncodeArchive({{"in.txt", Deflate("inside")}}, 102);
    test::WriteHost(dir / "game.dat", Text(archive));
    test::WriteHost(dir / "Loose.TXT", "beside");
    TVrFileCollection collection;
    collection.Open(dir / "game.dat");
    EXPECT_EQ(Text(collection.ReadMemberBytes("in.txt")), "inside");
    EXPECT_EQ(Text(collection.ReadMemberBytes("loose.txt")), "beside");
    EXPECT_THROW(collection.ReadMemberBytes("game.dat"), ERukoError); // never the archive itself
}

TEST(ArchiveFileTest, AFailedSaveKeepsTheOldArchiveAndLeavesNothingBehind)
{
    TScratchFolder dir;
    TVrFileCollection good;
    good.AddMemoryFile("a.txt").Data->Write("old", 3);
    good.SaveToFile(dir / "game.dat");
    std::string before = test::ReadHost(dir / "game.dat");

    TVrFileCollection failing;
    failing.Folder = dir.Path() + "/";
    failing.AddMemoryFile("a.txt").Data->Write("new", 3);
    failing.Add("missing.txt"); // neither in memory nor beside
    EXPECT_THROW(failing.SaveToFile(dir / "game.dat"), ERukoError);
    EXPECT_EQ(test::ReadHost(dir / "game.dat"), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    TVrFileCollection reread;
    reread.Open(dir / "game.dat");
    EXPECT_EQ(Text(reread.ReadMemberBytes("A.TXT")), "old");
}

TEST(ArchiveListTest, ListFolderMatchesTheFolderPartOnly)
{
    TVrFileCollection archive;
    archive.OpenSource(Source(EncodeArchive({{"a.rft", "x", true},
                                             {"fonts\\b.rft", "x", true},
                                             {"FONTS\\c.rft", "x", true},
                                             {"fonts\\sub\\d.rft", "x", true}},
                                            102)),
                       0, "a");
    std::vector<std::string> root, fonts = {"Fonts\\B.RFT"};
    archive.ListFolder("", root);
    archive.ListFolder("fonts", fonts);
    EXPECT_EQ(root, (std::vector<std::string>{"a.rft"}));
    EXPECT_EQ(fonts, (std::vector<std::string>{"Fonts\\B.RFT", "FONTS\\c.rft"}));
}

} // namespace
} // namespace ruko
