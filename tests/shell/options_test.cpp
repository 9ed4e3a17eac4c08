#include "shell/options.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/inifile.h"
#include "base/text.h"
#include "platform/hostenv.h"

using namespace ruko;

TEST(GameOptions, DelayTimeIsRoundedDownToHundredsAndClamped)
{
    const struct
    {
        int in, out;
    } cases[] = {{250, 200}, {50, 100}, {900, 500},  {500, 500},       {100, 100},
                 {199, 100}, {0, 100},  {-250, 100}, {INT32_MAX, 500}, {INT32_MIN, 100}};
    for (const auto& c : cases)
        EXPECT_EQ(ClampDelayTime(c.in), c.out) << c.in;
}

TEST(GameOptions, ReadsTheFiveKeysAndKeepsDefaultsForGarbage)
{
    TIniFile ini;
    ini.Parse("[Sound]\nDirectSound=0\nDelayTime=250\nSoundFont=sf\\gm.sf2\n[Video]\nUseWMP=1\n[Font]"
              "\nDefaultOnly=1\n");
    TGameOptions options;
    ReadGameOptions(ini, options);
    EXPECT_FALSE(options.UseDirectSound);
    EXPECT_EQ(options.SoundDelayTime, 200);
    EXPECT_EQ(options.SoundFontCp932, "sf\\gm.sf2");
    EXPECT_TRUE(options.UseWMP);
    EXPECT_TRUE(options.FontDefaultOnly);

    TIniFile garbled;
    garbled.Parse("\x81\x5C[[Sound\nDelayTime=abc\nDirectSound=yes please\n[Video\n");
    TGameOptions defaults;
    ReadGameOptions(garbled, defaults);
    EXPECT_TRUE(defaults.UseDirectSound);
    EXPECT_EQ(defaults.SoundDelayTime, 500);
    EXPECT_EQ(defaults.SoundFontCp932, "");
    EXPECT_FALSE(defaults.UseWMP);
    EXPECT_FALSE(defaults.FontDefaultOnly);
}

TEST(RunMutex, NamesFromTheWindowsBase)
{
    const struct
    {
        std::string base, name;
    } cases[] = {
        {"C:\\Games\\Title\\", "C:-GAMES-TITLE-"},
        {"c:\\games\\title", "C:-GAMES-TITLE-"}, // a separator is appended
        {"D:\\a-b", "D:-A-B-"},
        {"", "-"},
        {"/config", "/CONFIG-"},
        // "表" ends in the byte 0x5C and "Ｂ" in "a": trail bytes are neither separators nor folded.
        {"C:\\\x95\x5C\\x", "C:-\x95\x5C-X-"},
        {"C:\\\x82\x61", "C:-\x82\x61-"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RunMutexName(c.base), c.name) << c.base;
}

TEST(RunMutex, HostPathsAreMadeCanonicalFirst)
{
    EXPECT_EQ(RunMutexNameForHostPath("/tmp/../tmp/x/"), RunMutexNameForHostPath("/tmp/x"));
    EXPECT_EQ(RunMutexNameForHostPath("/nonexistent/Title"), "-NONEXISTENT-TITLE-");
    EXPECT_NE(RunMutexNameForHostPath("/nonexistent/a"), RunMutexNameForHostPath("/nonexistent/b"));
    // Japanese folder names survive; the ASCII letters after them are still folded.
    EXPECT_EQ(RunMutexNameForHostPath("/nonexistent/表a"), "-NONEXISTENT-表A-");
    // Names CP932 cannot hold still give distinct names.
    EXPECT_EQ(RunMutexNameForHostPath("/nonexistent/\xF0\x9F\x98\x80x"), "-NONEXISTENT-\xF0\x9F\x98\x80X-");
}

TEST(ExitQuestion, JapaneseOrEnglishByLanguage)
{
    std::string title = Utf8ToCp932("物語");
    EXPECT_EQ(Cp932ToUtf8(ExitQuestion(true, title)), "「物語」を終了しますか？");
    EXPECT_EQ(ExitQuestion(false, "Tale %s"), "Do you want to exit Tale %s?");
}

TEST(ExitQuestion, LanguageComesFromTheFirstLocaleVariableSet)
{
    const char* saved[3];
    const char* names[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string copies[3];
    for (int i = 0; i < 3; ++i) {
        const char* v = std::getenv(names[i]);
        copies[i] = v ? v : "";
        saved[i] = v ? copies[i].c_str() : nullptr;
        ::unsetenv(names[i]);
    }
    EXPECT_FALSE(UserLanguageIsJapanese());
    ::setenv("LANG", "ja_JP.UTF-8", 1);
    EXPECT_TRUE(UserLanguageIsJapanese());
    ::setenv("LC_MESSAGES", "C", 1);
    EXPECT_FALSE(UserLanguageIsJapanese());
    for (int i = 0; i < 3; ++i) {
        if (saved[i])
            ::setenv(names[i], saved[i], 1);
        else
            ::unsetenv(names[i]);
    }
}
