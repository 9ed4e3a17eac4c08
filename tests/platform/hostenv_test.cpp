#include "platform/hostenv.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

using namespace ruko;

namespace {

// Sets an environment variable for one test and puts the old value back.
class TScopedEnv
{
  public:
    TScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (old) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~TScopedEnv()
    {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

} // namespace

TEST(RunLock, SecondHolderOfTheSameNameIsRefusedUntilReleased)
{
    std::string name = "-TEST-" + std::to_string(::getpid()) + "-";
    TRunLock first, second, other;
    ASSERT_TRUE(first.Acquire(name));
    EXPECT_FALSE(second.Acquire(name));
    EXPECT_TRUE(other.Acquire(name + "OTHER-"));
    first.Release();
    EXPECT_TRUE(second.Acquire(name));
}

TEST(RunLock, SymbolicLinkPlantedAsTheLockFileIsNotFollowed)
{
    TTempFolder runtime;
    TScopedEnv env("XDG_RUNTIME_DIR", runtime.Path());
    std::string name = "-PLANTED-";
    std::string victim = runtime.Path() + "victim";
    ASSERT_EQ(::symlink(victim.c_str(), (runtime.Path() + LockFileName(name)).c_str()), 0);
    TRunLock lock, second;
    EXPECT_TRUE(lock.Acquire(name));
    EXPECT_FALSE(HostFileExists(victim));
    EXPECT_FALSE(second.Acquire(name)); // the fallback file still guards
}

TEST(RunLock, LongOrUnusualNamesStillGiveDistinctFileNames)
{
    std::string longA(400, 'A'), longB = longA;
    longB.back() = 'B';
    EXPECT_NE(LockFileName(longA), LockFileName(longB));
    EXPECT_LE(LockFileName(longA).size(), 120u);
    EXPECT_EQ(LockFileName("a/b").find('/'), std::string::npos);
    EXPECT_EQ(LockFileName("-HOME-TITLE-"), "rukoplay--HOME-TITLE-.lock");
}

TEST(TempFolder, IsPrivateAndRemovedWithItsFiles)
{
    std::string path, file;
    {
        TTempFolder temp;
        path = temp.Path();
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(RunTempFolder(), path);
        file = temp.CreateFile("font");
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(file.rfind(path + "font", 0), 0u);
        EXPECT_NE(temp.CreateFile("font"), file);
        EXPECT_TRUE(HostFileExists(file));
    }
    EXPECT_FALSE(HostFolderExists(path));
    EXPECT_TRUE(RunTempFolder().empty());
}

TEST(HostPaths, CanonicalPathResolvesDotsAndMissingTails)
{
    EXPECT_EQ(CanonicalHostPath("/tmp/../tmp/./"), CanonicalHostPath("/tmp"));
    EXPECT_EQ(CanonicalHostPath("/nonexistent-x/a/../b"), "/nonexistent-x/b");
}

TEST(UserFolders, TitleNamesBecomeOneSafeFolderName)
{
    const struct
    {
        std::string title, folder;
    } cases[] = {
        {"物語", "物語"},
        {"a/b\\c", "a_b_c"},
        {"..", "_."},
        {".hidden", "_hidden"},
        {"", "_"},
        {"   ", "_"},
        {"line\nbreak\x7F", "line_break_"},
        {"title ", "title"},
        {"a:b,c;d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
        // Whole characters: UTF-8 never holds these bytes inside a character, so the CP932 trail
        // bytes "\\" and "|" of 表 and ソ (converted before) are never cut.
        {"表ソ|x", "表ソ_x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeFolderName(c.title), c.folder) << c.title;
    std::string longName;
    for (int i = 0; i < 100; ++i)
        longName += "長";
    std::string cut = SafeFolderName(longName);
    EXPECT_LE(cut.size(), 200u);
    EXPECT_EQ(cut.size() % 3, 0u); // whole characters only
}

TEST(UserFolders, SaveFilesLieInTheTitleFolderWhichIsMadeOnlyWhenWritten)
{
    TTempFolder home;
    TScopedEnv env("XDG_DATA_HOME", home.Path());
    EXPECT_EQ(UserTitleSaveFile("Tale: two", 7), home.Path() + "rukoplayer/Tale_ two/save.dat");
    EXPECT_EQ(UserTitleSaveFile("", 0x1A2B), home.Path() + "rukoplayer/untitled-00001A2B/save.dat");
    EXPECT_FALSE(HostFolderExists(home.Path() + "rukoplayer/Tale_ two"));
    TScopedEnv relative("XDG_DATA_HOME", "relative/place");
    TScopedEnv user("HOME", home.Path() + "user");
    EXPECT_EQ(UserTitleSaveFile("T", 0), home.Path() + "user/.local/share/rukoplayer/T/save.dat");
}

TEST(UserFolders, TitleFolderLiesUnderTheDataHome)
{
    TTempFolder home;
    TScopedEnv env("XDG_DATA_HOME", home.Path());
    std::string folder = UserTitleDataFolder("../Tale");
    EXPECT_EQ(folder, home.Path() + "rukoplayer/_._Tale/");
    EXPECT_TRUE(HostFolderExists(folder));
}
