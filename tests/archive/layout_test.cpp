#include "archive/header.h"
#include "archive/vrfiles.h"
#include "base/error.h"

#include <gtest/gtest.h>

namespace ruko {
namespace {

TEST(ExpandRelativePathTest, ResolvesParentStepsAgainstTheBase)
{
    struct Case
    {
        const char* path;
        const char* base;
        const char* expected;
    };
    const Case cases[] = {
        {"a", "C:\\Game\\", "a"},                             // one character: as is
        {"\\abs\\f.txt", "C:\\Game\\", "\\abs\\f.txt"},       // rooted: as is
        {"D:\\f.txt", "C:\\Game\\", "D:\\f.txt"},             // drive: as is
        {"sub\\f.txt", "C:\\Game\\", "C:\\Game\\sub\\f.txt"}, // plain: base + path, case kept
        {"..\\f.txt", "C:\\Game\\Data\\", "C:\\GAME\\f.txt"},
        {"..\\..\\f.txt", "C:\\Game\\Data", "C:\\f.txt"},
        {"..\\..\\..\\f.txt", "C:\\Game\\Data\\", "f.txt"},
        {"..\\f", "\\\\srv\\share\\dir\\", "\\\\SRV\\SHARE\\f"},
        {"..\\x.rsb", "page\\sub\\", "PAGE\\x.rsb"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpandRelativePath(c.path, c.base), c.expected) << c.path << " on " << c.base;
}

TEST(FolderDiskListTest, DiskOfWalksUpToTheNearestListedFolder)
{
    TFolderDiskList disks;
    EXPECT_EQ(disks.DiskOf("BGM\\SUB\\A.OGG"), 0);
    disks.Add("bgm", 2);
    disks.Add("movie\\op\\", 3);
    disks.Add("bgm\\sub", 4);
    struct Case
    {
        const char* name;
        int32_t disk;
    };
    const Case cases[] = {
        {"BGM\\A.OGG", 2},  {"bgm\\sub\\a.ogg", 4}, {"Movie\\OP\\op.mpg", 3},
        {"bgmx\\a.ogg", 0}, {"movie\\a.mpg", 0},    {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(disks.DiskOf(c.name), c.disk) << c.name;
}

TEST(FolderDiskListTest, StreamFormRoundTripsAndRejectsAbsurdCounts)
{
    TFolderDiskList disks;
    disks.Add("bgm", 2);
    TKwBigMemoryStream s;
    disks.SaveToStream(s);
    s.SetPosition(0);
    TFolderDiskList read;
    read.LoadFromStream(s);
    ASSERT_EQ(read.Entries().size(), 1u);
    EXPECT_EQ(read.Entries()[0].Folder, "bgm");
    EXPECT_EQ(read.Entries()[0].Disk, 2);
    TKwBigMemoryStream absurd({0xFF, 0xFF, 0xFF, 0x0F, 0, 0});
    EXPECT_THROW(read.LoadFromStream(absurd), ERukoError);
    EXPECT_EQ(read.Entries().size(), 1u); // unchanged after the failure
}

TEST(InstallSetTest, NewestVersionRoundTrips)
{
    TRukoInstallSet install;
    install.DiskNumber = 1;
    install.Title = "タイトル";
    install.Entries = {{1, 2, 3, 0x100000000ull}};
    install.List1 = {"x", "y"};
    install.AllInstalled = true;
    install.Strings6[1] = "last";
    TKwBigMemoryStream s;
    install.SaveToStream(s);
    EXPECT_EQ(std::string(s.Bytes().begin(), s.Bytes().begin() + 5), "is108");
    s.SetPosition(0);
    TRukoInstallSet read;
    read.LoadFromStream(s);
    EXPECT_EQ(read.Version, 108);
    EXPECT_EQ(read.Title, install.Title);
    EXPECT_EQ(read.Entries, install.Entries);
    EXPECT_TRUE(read.AllInstalled);
    EXPECT_EQ(read.Strings6[1], "last");
    EXPECT_EQ(s.Remaining(), 0);
}

TEST(InstallSetTest, RecordWithoutMagicIsVersionZeroWithNarrowNumbers)
{
    TRukoInstallSet old;
    old.Version = 0;
    old.DiskNumber = 3;
    old.Title = "Old";
    old.Entries = {{1, 2, 3, 4}};
    old.AllInstalled = true; // not stored before version 103
    TKwBigMemoryStream s;
    old.SaveToStream(s);
    // u32 disk, title, 3 strings, byte, string, byte, count, string, u32 + 2 bytes, 2 strings,
    // one entry and the totals as 4 × u32 each, a byte.
    EXPECT_EQ(s.GetSize(), 4 + 7 + 12 + 1 + 4 + 1 + 4 + 4 + 6 + 8 + 16 + 16 + 1);
    s.SetPosition(0);
    TRukoInstallSet read;
    read.LoadFromStream(s);
    EXPECT_EQ(read.Version, 0);
    EXPECT_EQ(read.DiskNumber, 3u);
    EXPECT_EQ(read.Entries, old.Entries);
    EXPECT_FALSE(read.AllInstalled);
}

TEST(InstallSetTest, DamagedRecordsRaise)
{
    TRukoInstallSet install;
    install.Entries.assign(3, {1, 1, 1, 1});
    TKwBigMemoryStream s;
    install.SaveToStream(s);
    std::vector<uint8_t> bytes = s.Bytes();
    std::vector<uint8_t> truncated(bytes.begin(), bytes.end() - 1);
    std::vector<uint8_t> badMagic = bytes;
    badMagic[3] = 'x';
    for (const auto& damaged : {truncated, badMagic, std::vector<uint8_t>{'i', 's'}}) {
        TKwBigMemoryStream in(damaged);
        TRukoInstallSet read;
        EXPECT_THROW(read.LoadFromStream(in), ERukoError);
    }
}

} // namespace
} // namespace ruko
