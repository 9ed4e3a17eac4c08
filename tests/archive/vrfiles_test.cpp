#include "archive/header.h"
#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/globals.h"
#include "base/text.h"
#include "fixtures.h"

#include <gtest/gtest.h>

namespace ruko {
namespace {

using test::Deflate;
using test::EncodeArchive;
using test::ReadHost;
using test::Text;
using test::TScratchFolder;
using test::WriteHost;

std::shared_ptr<const TRangeSource> Source(std::vector<uint8_t> bytes)
{
    return std::make_shared<TMemoryRangeSource>(std::move(bytes));
}

void WriteInstall(const std::string& path, const std::string& title, uint32_t disk, bool allInstalled)
{
    TRukoInstallSet install;
    install.Title = title;
    install.DiskNumber = disk;
    install.AllInstalled = allInstalled;
    TKwBigMemoryStream s;
    install.SaveToStream(s);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    s.SaveToFile(path);
}

class FileManagerTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        TerminateRequested = false;
        files.SetTempFolder(work / "tmp");
        std::filesystem::create_directories(work / "tmp");
    }

    TScratchFolder work;
    TVrFileManager files;
};

TEST_F(FileManagerTest, LooseFilesWinForLoadingWhileArchivesAnswerExists)
{
    WriteHost(work / "base/a.txt", "loose");
    files.SetBaseFolder(work / "base");
    files.AddArchiveSource(
        Source(EncodeArchive({{"a.txt", Deflate("member")}, {"only.txt", Deflate("o")}}, 102)), 0, "mem");
    EXPECT_EQ(Text(files.LoadFile("A.TXT")), "loose");
    EXPECT_EQ(Text(files.LoadFile("only.txt")), "o");
    EXPECT_TRUE(files.Exists("a.txt"));
    EXPECT_TRUE(files.Exists("only.txt"));
    EXPECT_FALSE(files.Exists("none.txt"));
    EXPECT_FALSE(files.Exists(""));
    try {
        files.LoadFile("none.txt");
        FAIL();
    } catch (const ERukoError& error) {
        EXPECT_EQ(error.what(), Utf8ToCp932("none.txt:ファイルがありません"));
    }
}

TEST_F(FileManagerTest, LooseNamesResolveIgnoringCaseAndKeepJapaneseNames)
{
    WriteHost(work / "base/Data/画像/背景.PNG", "png");
    files.SetBaseFolder(work / "base");
    std::string name = Utf8ToCp932("data\\画像\\背景.png");
    EXPECT_TRUE(files.Exists(name));
    EXPECT_EQ(Text(files.LoadFile(name)), "png");
    EXPECT_EQ(Text(files.LoadFile(Utf8ToCp932("DATA/画像/背景.png"))), "png");
}

TEST_F(FileManagerTest, NamesNeverLeaveTheBaseFolder)
{
    WriteHost(work / "secret.txt", "outside");
    WriteHost(work / "base/in.txt", "inside");
    files.SetBaseFolder(work / "base");
    for (const char* name : {"..\\secret.txt", "sub\\..\\..\\secret.txt", "C:secret.txt"})
        EXPECT_FALSE(files.Exists(name)) << name;
    EXPECT_TRUE(files.Exists("\\in.txt"));
}

TEST_F(FileManagerTest, LocalFileOfAMemberIsExtractedOnce)
{
    files.AddArchiveSource(Source(EncodeArchive({{"movie\\op.wmv", "WMV", true}}, 102)), 0, "mem");
    std::string first = files.GetLocalFileName("movie\\op.wmv");
    EXPECT_EQ(first, work / "tmp/~rk00000000.wmv");
    EXPECT_EQ(ReadHost(first), "WMV");
    EXPECT_EQ(files.GetLocalFileName("movie\\op.wmv"), first);
    files.ReleaseLocalFile("movie\\op.wmv");
    EXPECT_TRUE(std::filesystem::exists(first)); // deleted at the next frame, not at once
    files.DeleteStaleWorkFiles();
    EXPECT_FALSE(std::filesystem::exists(first));
}

TEST_F(FileManagerTest, AFailedExtractionLeavesNothingBehind)
{
    files.AddArchiveSource(Source(EncodeArchive({{"bad.ogg", "not zlib"}}, 102)), 0, "mem");
    EXPECT_THROW(files.GetLocalFileName("bad.ogg"), ERukoError);
    EXPECT_THROW(files.GetLocalFileName("bad.ogg"), ERukoError);
    EXPECT_TRUE(std::filesystem::is_empty(work / "tmp"));
    EXPECT_TRUE(files.Locks().empty());
}

TEST_F(FileManagerTest, RangesComeFromLooseFilesOrMembers)
{
    WriteHost(work / "base/loose.ogg", "LOOSE");
    files.SetBaseFolder(work / "base");
    files.AddArchiveSource(Source(EncodeArchive({{"m.ogg", "MEMBER", true}}, 102)), 0, "mem");
    auto loose = files.OpenRange("LOOSE.OGG");
    auto member = files.OpenRange("m.ogg");
    EXPECT_EQ(loose->GetSize(), 5);
    EXPECT_EQ(member->GetSize(), 6);
    EXPECT_THROW(files.OpenRange("none.ogg"), ERukoError);
}

TEST_F(FileManagerTest, ListFilesMergesEverySourceWithoutDuplicates)
{
    WriteHost(work / "base/fonts/a.rft", "");
    WriteHost(work / "base/fonts/C.rft", "");
    WriteHost(work / "base/fonts/sub/d.rft", "");
    files.SetBaseFolder(work / "base");
    files.AddArchiveSource(
        Source(EncodeArchive({{"fonts\\A.RFT", "", true}, {"fonts\\b.rft", "", true}}, 102)), 0, "mem");
    std::vector<std::string> list;
    files.ListFiles("fonts", list);
    std::sort(list.begin(), list.end());
    EXPECT_EQ(list, (std::vector<std::string>{"fonts\\A.RFT", "fonts\\C.rft", "fonts\\b.rft"}));
}

TEST_F(FileManagerTest, TheSameFileIsRegisteredOnce)
{
    WriteHost(work / "game.dat", Text(EncodeArchive({{"a", "x", true}}, 102)));
    EXPECT_EQ(files.AddArchive(work / "game.dat"), 0);
    EXPECT_EQ(files.AddArchive(work.Path() + "/./game.dat"), -1);
    EXPECT_EQ(files.ArchiveCount(), 1);
}

TEST_F(FileManagerTest, AnArchiveFileWithATrailerIsReadThroughItWhateverItsName)
{
    std::string archive = Text(EncodeArchive({{"ruko.rpb", Deflate("p")}}, 102));
    std::string program = "program bytes";
    std::string file = program + archive + std::string("\x0d\x00\x00\x00rk", 6);
    WriteHost(work / "title", file);
    ASSERT_EQ(files.AddArchive(work / "title", true), 0);
    EXPECT_EQ(Text(files.LoadFile("ruko.rpb")), "p");
}

TEST_F(FileManagerTest, FolderOfKeepsEverythingUpToTheLastSeparator)
{
    struct Case
    {
        const char* name;
        const char* folder;
    };
    const Case cases[] = {
        {"a\\b\\c.txt", "a\\b\\"}, {"c.txt", ""}, {"C:c.txt", "C:"}, {"\\\\srv\\x", "\\\\srv\\"}};
    for (const Case& c : cases)
        EXPECT_EQ(TVrFileManager::FolderOf(c.name), c.folder) << c.name;
}

class DiscTest : public FileManagerTest
{
  protected:
    void SetUp() override
    {
        FileManagerTest::SetUp();
        WriteHost(work / "user.ini", "[Discs]\nfirst=" + (work / "disc") + "\n");
        files.SetUserIniFile(work / "user.ini");
        files.SetProjectPrompts("Title", Utf8ToCp932("ディスク%dを入れて%s%n"), Utf8ToCp932("終了します"));
        TVrFileManager* manager = &files;
        files.SetHost({[this, manager](const std::string& text, const std::string&) {
                           (void)manager;
                           asked.push_back(text);
                           if (answers.empty()) return TPromptAnswer::Abort;
                           TPromptAnswer answer = answers.front();
                           answers.erase(answers.begin());
                           if (answer == TPromptAnswer::Ok && insertDisc) insertDisc();
                           return answer;
                       },
                       nullptr, [this] { closeRequested = true; }});
    }

    void InsertDisc(const std::string& title, uint32_t disk)
    {
        WriteHost(work / "disc/GAME.DAT", Text(EncodeArchive({{"bgm\\a.ogg", "OGG", true}}, 102)));
        WriteInstall(work / "disc/install.dat", title, disk, true);
    }

    std::vector<std::string> asked;
    std::vector<TPromptAnswer> answers;
    std::function<void()> insertDisc;
    bool closeRequested = false;
};

TEST_F(DiscTest, AskDiskPromptsUntilTheRightDiscIsFound)
{
    answers = {TPromptAnswer::Ok, TPromptAnswer::Ok};
    int oks = 0;
    insertDisc = [&] {
        if (++oks == 2) InsertDisc("Title", 1); // disc 2 is numbered 1 in its record
    };
    EXPECT_TRUE(files.AskDisk(2));
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], Utf8ToCp932("ディスク2を入れて%s%n")); // only %d is substituted
    EXPECT_EQ(Text(files.LoadFile("bgm\\a.ogg")), "OGG");
    EXPECT_FALSE(TerminateRequested);
}

TEST_F(DiscTest, AskDiskEndsTheRunWhenTheExitIsConfirmed)
{
    InsertDisc("Another title", 1);
    answers = {TPromptAnswer::Cancel, TPromptAnswer::Cancel, TPromptAnswer::Cancel, TPromptAnswer::Ok};
    EXPECT_FALSE(files.AskDisk(2));
    std::string disk = Utf8ToCp932("ディスク2を入れて%s%n"), exit = Utf8ToCp932("終了します");
    EXPECT_EQ(asked, (std::vector<std::string>{disk, exit, disk, exit}));
    EXPECT_TRUE(TerminateRequested);
    EXPECT_TRUE(closeRequested);
}

TEST_F(DiscTest, UnansweredPromptsGiveUpInsteadOfLooping)
{
    EXPECT_FALSE(files.AskDisk(1));
    EXPECT_TRUE(TerminateRequested);
    EXPECT_FALSE(files.LocateGameData(work / "nothing"));
}

TEST_F(DiscTest, LocateGameDataUsesTheInstallRecordBesideThePlayer)
{
    WriteInstall(work / "player/install.dat", "Title", 0, true);
    files.AddArchive("");
    EXPECT_TRUE(files.LocateGameData(work / "player"));
    EXPECT_EQ(files.BaseFolder(), work / "player/");
    EXPECT_TRUE(asked.empty());
}

TEST_F(DiscTest, LocateGameDataFindsTheDiscWithTheSameTitle)
{
    WriteInstall(work / "player/install.dat", "Title", 0, false);
    InsertDisc("Title", 0);
    EXPECT_TRUE(files.LocateGameData(work / "player"));
    EXPECT_TRUE(files.Exists("bgm\\a.ogg"));
}

TEST_F(DiscTest, LocateGameDataWithoutAnInstallRecordStops)
{
    std::filesystem::create_directories(work / "player");
    EXPECT_FALSE(files.LocateGameData(work / "player"));
}

} // namespace
} // namespace ruko
