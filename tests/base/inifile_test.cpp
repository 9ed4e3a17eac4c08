#include "base/inifile.h"

#include <gtest/gtest.h>

using namespace ruko;

TEST(IniFile, ReadsCaseInsensitivelyAndFallsBackOnGarbage)
{
    TIniFile ini;
    ini.Parse("\xEF\xBB\xBF[Sound]\r\nDirectSound = 0\r\nDelayTime=$12C\r\nbad line\n[video]\nUseWMP=abc\n");
    EXPECT_FALSE(ini.ReadBool("sound", "directsound", true));
    EXPECT_EQ(ini.ReadInteger("SOUND", "DelayTime", 500), 300);
    EXPECT_TRUE(ini.ReadBool("Video", "UseWMP", true)); // unreadable value keeps the fallback
    EXPECT_EQ(ini.ReadInteger("Nowhere", "Key", 7), 7);
}

TEST(IniFile, WrittenTextReadsBack)
{
    TIniFile ini;
    ini.WriteInteger("A", "x", -5);
    ini.WriteString("A", "y", "text");
    ini.WriteBool("B", "z", true);
    TIniFile again;
    again.Parse(ini.Text());
    EXPECT_EQ(again.ReadInteger("a", "X", 0), -5);
    EXPECT_EQ(again.ReadString("a", "y", ""), "text");
    EXPECT_TRUE(again.ReadBool("b", "z", false));
}
