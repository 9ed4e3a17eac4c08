#include "base/text.h"

#include <gtest/gtest.h>

using namespace ruko;

// "表" is 0x95 0x5C and "Ｂ" is 0x82 0x61: their trail bytes look like '\\' and 'a'.
const std::string Hyou = "\x95\x5C";
const std::string FullB = "\x82\x61";

TEST(Cp932Text, CaseFoldingLeavesTrailBytesAlone)
{
    EXPECT_EQ(UpperCaseText("a" + FullB + "z"), "A" + FullB + "Z");
    EXPECT_EQ(LowerCaseText("A" + FullB + "Z"), "a" + FullB + "z");
    EXPECT_TRUE(SameText("abc" + Hyou, "ABC" + Hyou));
    EXPECT_FALSE(SameText("\x82\x61", "\x82\x41")); // "Ｂ" differs from the pair 0x82 'A'
}

TEST(Cp932Text, CompareOrdersByFoldedBytes)
{
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_EQ(CompareText("ABC", "abc"), 0);
    EXPECT_GT(CompareText("abcd", "ABC"), 0);
}

TEST(Cp932Text, GamePathsSplitOnlyAtRealSeparators)
{
    std::string path = "bg\\" + Hyou + ".brm";
    EXPECT_EQ(SplitGamePath(path), (std::vector<std::string>{"bg", Hyou + ".brm"}));
    EXPECT_EQ(GameFileName(Hyou), Hyou);
    EXPECT_EQ(GameFolderOf("a\\b\\c.txt"), "a\\b\\");
    EXPECT_EQ(GameExtension("a.b\\c.TXT"), ".TXT");
    EXPECT_EQ(GameExtension("a.b\\c"), "");
    EXPECT_FALSE(EndsWithSeparator(Hyou));
    EXPECT_TRUE(EndsWithSeparator(Hyou + "\\"));
}

TEST(Cp932Text, CharactersAreWalkedWhole)
{
    std::string text = "a" + Hyou + "b";
    EXPECT_EQ(CharCount(text), 3u);
    EXPECT_EQ(CharStarts(text), (std::vector<size_t>{0, 1, 3}));
    EXPECT_EQ(FindChar(Hyou + "\\", '\\'), 2u);
    EXPECT_EQ(CharCount("\x95"), 1u); // a lone lead byte at the end is one character
}

TEST(Cp932Text, ConvertsThroughCp932NotShiftJis)
{
    // 0x5C stays a backslash and 0x815F is the fullwidth reverse solidus in CP932.
    EXPECT_EQ(Cp932ToUtf8("a\\b"), "a\\b");
    EXPECT_EQ(Cp932ToUtf8(Hyou), "\xE8\xA1\xA8");
    EXPECT_EQ(Utf8ToCp932("\xE8\xA1\xA8"), Hyou);
    EXPECT_EQ(Utf8ToCp932("\xEF\xBD\x9E"), "\x81\x60"); // fullwidth tilde, a CP932-only mapping
    std::string out;
    EXPECT_FALSE(TryUtf8ToCp932("\xF0\x9F\x98\x80", out)); // an emoji has no CP932 form
    EXPECT_FALSE(TryCp932ToUtf8("\x85\x40", out));         // an unassigned code
}
