#include "base/fileio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using namespace ruko;

namespace {

namespace fs = std::filesystem;

class FileIoTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        folder_ = fs::path(testing::TempDir()) / ("fileio-" + std::to_string(getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }
    std::string Content(const std::string& name) const
    {
        std::string text;
        EXPECT_TRUE(ReadHostFile(PathOf(name), text)) << name;
        return text;
    }
    // Names in the folder, so a left-over temporary shows.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder_;
};

} // namespace

TEST_F(FileIoTest, AtomicWriteReplacesTheFileWithTheStatedPermissionsAndLeavesNoTemporary)
{
    ASSERT_TRUE(WriteHostFileAtomic(PathOf("a.sav"), "old"));
    std::string seenPath;
    ASSERT_TRUE(WriteAtomically(PathOf("a.sav"),
                                [&](THostFile& file) {
                                    seenPath = file.Path();
                                    return file.WriteAll("new ") && file.WriteAll("content");
                                },
                                {.Permissions = 0600}));
    EXPECT_EQ(Content("a.sav"), "new content");
    EXPECT_EQ(Names(), std::vector<std::string>{"a.sav"});
    // The writer sees a whole path in the same folder, so it can read its output back.
    EXPECT_EQ(fs::path(seenPath).parent_path(), folder_);
    struct stat info;
    ASSERT_EQ(stat(PathOf("a.sav").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(FileIoTest, AbandonedAtomicWritesKeepTheOldFile)
{
    ASSERT_TRUE(WriteHostFileAtomic(PathOf("a.sav"), "old"));
    EXPECT_FALSE(
        WriteAtomically(PathOf("a.sav"), [](THostFile& file) { return file.WriteAll("half") && false; }));
    EXPECT_THROW(WriteAtomically(PathOf("a.sav"),
                                 [](THostFile& file) -> bool {
                                     file.WriteAll("half");
                                     throw std::runtime_error("stop");
                                 }),
                 std::runtime_error);
    EXPECT_FALSE(WriteHostFileAtomic(PathOf("missing/a.sav"), "x"));
    EXPECT_EQ(Content("a.sav"), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"a.sav"});
}

TEST_F(FileIoTest, AtomicWriteInAFolderReplacesASymbolicLinkInsteadOfFollowingIt)
{
    ASSERT_TRUE(WriteHostFileAtomic(PathOf("target"), "keep"));
    fs::create_symlink(PathOf("target"), PathOf("link"));
    THostFile folder = THostFile::Open(folder_.string(), O_RDONLY | O_DIRECTORY);
    ASSERT_TRUE(folder.IsOpen());
    ASSERT_TRUE(
        WriteAtomicallyAt(folder.Descriptor(), "link", [](THostFile& file) { return file.WriteAll("new"); }));
    EXPECT_FALSE(fs::is_symlink(PathOf("link")));
    EXPECT_EQ(Content("link"), "new");
    EXPECT_EQ(Content("target"), "keep");
    EXPECT_FALSE(WriteAtomicallyAt(folder.Descriptor(), "sub/x", [](THostFile&) { return true; }));
}

TEST_F(FileIoTest, HostFileReadsWhatWasWrittenAndKnowsItsSize)
{
    {
        THostFile out = THostFile::Open(PathOf("f"), O_WRONLY | O_CREAT | O_TRUNC);
        ASSERT_TRUE(out.IsOpen());
        ASSERT_TRUE(out.WriteAll("0123456789"));
        EXPECT_EQ(out.Size(), 10);
        EXPECT_TRUE(out.Close());
    }
    THostFile in = THostFile::Open(PathOf("f"), O_RDONLY);
    char buffer[16];
    EXPECT_EQ(in.Read(buffer, 4), 4);
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 6); // a short count is the end of the file
    EXPECT_EQ(std::string(buffer, 6), "456789");
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 0);
    EXPECT_FALSE(THostFile::Open(PathOf("none"), O_RDONLY).IsOpen());
}

TEST_F(FileIoTest, TemporaryNamesStayBesideTheTargetWithItsExtensionAndDiffer)
{
    std::string a = TemporaryNameBeside(PathOf("game.dat")), b = TemporaryNameBeside(PathOf("game.dat"));
    EXPECT_NE(a, b);
    for (const std::string& name : {a, b}) {
        EXPECT_EQ(fs::path(name).parent_path(), folder_);
        EXPECT_EQ(fs::path(name).extension(), ".dat");
        EXPECT_NE(fs::path(name).stem(), "game"); // the parts of an archive in parts must not meet
    }
    ASSERT_TRUE(WriteHostFileAtomic(a, "x"));
    EXPECT_TRUE(RenameOver(a, PathOf("game.dat")));
    EXPECT_EQ(Content("game.dat"), "x");
    EXPECT_FALSE(RenameOver(a, PathOf("game.dat")));
}
