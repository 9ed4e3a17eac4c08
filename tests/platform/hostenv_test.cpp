#include "platform/hostenv.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

using namespace ruko;

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
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    std::string savedValue = saved ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    std::string name = "-PLANTED-";
    std::string victim = runtime.Path() + "victim";
    ASSERT_EQ(::symlink(victim.c_str(), (runtime.Path() + LockFileName(name)).c_str()), 0);
    TRunLock lock, second;
    EXPECT_TRUE(lock.Acquire(name));
    EXPECT_FALSE(HostFileExists(victim));
    EXPECT_FALSE(second.Acquire(name)); // the fallback file still guards
    if (saved)
        ::setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
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
