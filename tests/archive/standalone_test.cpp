// Where a run finds its data: folders and files named on the command line, and a standalone title
// whose archive is appended to the player program itself.
#include "archive/header.h"
#include "archive/hostpath.h"
#include "archive/standalone.h"
#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/text.h"
#include "fixtures.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace ruko {
namespace {

using test::ReadHost;
using test::Text;
using test::TScratchFolder;
using test::WriteHost;

// A title archive with a complete install record and a project file (any bytes do here).
void WriteTitleArchive(const std::string& path, const std::string& project)
{
    TVrFileCollection archive;
    std::vector<uint8_t> install = TRukoInstallSet::CompleteInstall("Title").SaveToBytes();
    archive.AddMemoryFile("install.dat").Data->Write(install.data(), static_cast<int64_t>(install.size()));
    archive.AddMemoryFile("ruko.rpb").Data->Write(project.data(), static_cast<int64_t>(project.size()));
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    archive.SaveToFile(path);
}

class DataSourceTest : public ::testing::Test
{
  protected:
    void SetUp() override { files.AddArchive(""); }

    TScratchFolder work;
    TVrFileManager files;
};

TEST_F(DataSourceTest, ParametersRegisterGameDatInFoldersAndFilesWithATrailer)
{
    WriteTitleArchive(work / "data/GAME.DAT", "from folder");
    WriteTitleArchive(work / "plain.bin", "plain");
    WriteHost(work / "player", "#!program");
    WriteStandaloneTitle(work / "player", work / "plain.bin", work / "title.bin");

    files.RegisterDataSources("/proc/self/exe", {work / "data", work / "plain.bin", work / "title.bin"});
    EXPECT_EQ(files.BaseFolder(), work / "data/");
    // plain.bin ends without "rk" and is not registered even though it exists.
    ASSERT_EQ(files.ArchiveCount(), 3);
    EXPECT_EQ(Text(files.LoadFile("ruko.rpb")), "from folder");
    EXPECT_EQ(Text(files.Archive(2).ReadMemberBytes("ruko.rpb")), "plain");
}

TEST_F(DataSourceTest, AFolderOfLooseFilesOrWithGameDatIsFoundWithoutADisc)
{
    for (bool packed : {true, false}) {
        TScratchFolder title;
        if (packed) {
            WriteTitleArchive(title / "game.dat", "project");
        } else {
            std::vector<uint8_t> install = TRukoInstallSet::CompleteInstall("Title").SaveToBytes();
            WriteHost(title / "INSTALL.DAT", Text(install));
            WriteHost(title / "Ruko.rpb", "project");
        }
        TVrFileManager manager;
        manager.AddArchive("");
        manager.SetHost({[](const std::string&, const std::string&) -> TPromptAnswer {
                             ADD_FAILURE() << "prompted";
                             return TPromptAnswer::Abort;
                         },
                         nullptr, nullptr});
        manager.RegisterDataSources("/proc/self/exe", {title.Path()});
        EXPECT_TRUE(manager.LocateGameData(HostFolderOf("/proc/self/exe"))) << packed;
        EXPECT_EQ(Text(manager.LoadFile("ruko.rpb")), "project") << packed;
    }
}

TEST_F(DataSourceTest, StandaloneTitlesRefuseBadInputs)
{
    WriteTitleArchive(work / "game.dat", "p");
    WriteHost(work / "player", "program");
    WriteHost(work / "damaged.dat", "vf\x66\x00\x00\x00\xff\xff\xff\x7f");
    WriteStandaloneTitle(work / "player", work / "game.dat", work / "title");
    auto entries = [&] { return std::distance(std::filesystem::directory_iterator(work.Path()), {}); };
    const auto before = entries();
    for (auto [player, archive] : {std::pair{work / "title", work / "game.dat"},     // already a title
                                   std::pair{work / "player", work / "damaged.dat"}, // damaged archive
                                   std::pair{work / "player", work / "missing.dat"}}) {
        EXPECT_THROW(WriteStandaloneTitle(player, archive, work / "out"), ERukoError)
            << player << " " << archive;
        EXPECT_FALSE(std::filesystem::exists(work / "out"));
        EXPECT_EQ(entries(), before); // no temporary left behind
    }
}

// Runs inside a copy of this test program that carries a title archive (see the next test).
TEST(StandaloneChild, FindsItsArchiveThroughItsOwnFile)
{
    const char* report = std::getenv("RUKO_STANDALONE_REPORT");
    if (!report) GTEST_SKIP() << "runs only inside a standalone copy";
    TVrFileManager files;
    files.AddArchive("");
    files.RegisterDataSources("/proc/self/exe", {});
    ASSERT_EQ(files.ArchiveCount(), 2);
    ASSERT_TRUE(files.LocateGameData(files.BaseFolder()));
    WriteHost(report, Text(files.LoadFile("ruko.rpb")));
}

TEST(StandaloneTest, AnAppendedTitleFindsItsProjectThroughProcSelfExe)
{
    TScratchFolder work;
    WriteTitleArchive(work / "game.dat", "project bytes");
    WriteStandaloneTitle("/proc/self/exe", work / "game.dat", work / "title");
    std::filesystem::remove(work / "game.dat"); // nothing beside the title but itself
    std::string command = "RUKO_STANDALONE_REPORT='" + (work / "report") + "' '" + (work / "title") +
                          "' --gtest_filter=StandaloneChild.* > '" + (work / "log") + "' 2>&1";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadHost(work / "log");
    EXPECT_EQ(ReadHost(work / "report"), "project bytes");
}

} // namespace
} // namespace ruko
