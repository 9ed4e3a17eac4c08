// String and width-conversion functions run through compiled expressions.
#include "builtins_fixture.h"

#include "engine/builtins_support.h"

namespace ruko::test {
namespace {

class StringFunctions : public BuiltinsTest, public ::testing::WithParamInterface<EvalCase>
{
};

TEST_P(StringFunctions, GiveTheExpectedText)
{
    EXPECT_EQ(Eval(GetParam().Text), GetParam().Expected);
    EXPECT_TRUE(ok) << lastError;
}

// "表" and "ソ" end in 0x5C and "ア" in 0x41: trail bytes that look like '\' and 'A'.
INSTANTIATE_TEST_SUITE_P(
    Table, StringFunctions,
    ::testing::Values(
        EvalCase{"IntToStr(5, 3)", "005"}, EvalCase{"IntToStr(-5, 3)", "-005"},
        EvalCase{"IntToStr(1234, 2)", "1234"}, EvalCase{"IntToHex(255, 4)", "00FF"},
        EvalCase{"IntToHex(-1, 2)", "FFFFFFFF"}, EvalCase{"Length(\"表示\")", "4"},
        EvalCase{"JLength(\"表示a\")", "3"}, EvalCase{"Copy(\"abcdef\", 3)", "cdef"},
        EvalCase{"Copy(\"abcdef\", 0, 2)", "ab"}, EvalCase{"Copy(\"abc\", 5, 1)", ""},
        EvalCase{"JCopy(\"あいうえ\", 2, 2)", "いう"}, EvalCase{"JCopy(\"aあb\", 2)", "あb"},
        EvalCase{"JCopy(\"あい\", 2, 99)", "い"}, EvalCase{"Pos(\"cd\", \"abcdef\")", "3"},
        EvalCase{"Pos(\"\", \"abc\")", "0"}, EvalCase{"Pos(Chr(92), \"表\")", "2"},
        EvalCase{"JPos(Chr(92), \"表\")", "0"}, EvalCase{"JPos(\"う\", \"あいう\")", "3"},
        EvalCase{"CompareStr(\"a\", \"b\") < 0", "TRUE"}, EvalCase{"CompareStr(\"ab\", \"a\") > 0", "TRUE"},
        EvalCase{"CompareText(\"ABC\", \"abc\")", "0"}, EvalCase{"Trim(\"  a b  \")", "a b"},
        EvalCase{"Trim(\"　a\")", "　a"}, EvalCase{"JTrim(\"　 a　\")", "a"}, EvalCase{"Not(0)", "TRUE"},
        EvalCase{"FixStr(Copy(\"あい\", 1, 3))", "あ"}, EvalCase{"UpperCase(\"aアb\")", "AアB"},
        EvalCase{"LowerCase(\"Aア\")", "aア"}, EvalCase{"ExtractFilePath(\"a\\b\\c.txt\")", "a\\b\\"},
        EvalCase{"ExtractFileName(\"c:x.txt\")", "x.txt"}, EvalCase{"ExtractFileName(\"ソ.txt\")", "ソ.txt"},
        EvalCase{"ExtractFileExt(\"a\\b.c\\d\")", ""}, EvalCase{"ExtractFileExt(\"a\\b.tar.gz\")", ".gz"},
        EvalCase{"ChangeFileExt(\"a\\b.txt\", \".dat\")", "a\\b.dat"},
        EvalCase{"ChangeFileExt(\"readme\", \".txt\")", "readme.txt"},
        EvalCase{"AddBackSlash(\"dir\")", "dir\\"}, EvalCase{"AddBackSlash(\"表\")", "表\\"},
        EvalCase{"IsPathDelimiter(\"表\", 2)", "FALSE"},
        EvalCase{"IsPathDelimiter(AddBackSlash(\"a\"), 2)", "TRUE"},
        EvalCase{"IsDelimiter(\",;\", \"a;b\", 2)", "TRUE"},
        EvalCase{"IsDelimiter(\",;\", \"a;b\", 9)", "FALSE"}, EvalCase{"StringOfChar(\"ab\", 3)", "ababab"},
        EvalCase{"StringOfChar(\"x\", -1)", ""}, EvalCase{"StringReplace(\"aXbXc\", \"X\", \"-\")", "a-bXc"},
        EvalCase{"StringReplace(\"aXbXc\", \"X\", \"-\", 1)", "a-b-c"},
        EvalCase{"StringReplace(\"axbXc\", \"X\", \"-\", 1, 1)", "a-b-c"},
        EvalCase{"StringReplace(\"表\", Chr(92), \"/\", 1)", "表"},
        EvalCase{"AddDelimiter(\",\", \"abc\")", "abc,"}, EvalCase{"AddDelimiter(\",\", \"\")", ""},
        EvalCase{"StrToIntDef(\"12x\", 7)", "7"}, EvalCase{"StrToFloatDef(\"2.5\", 0)", "2.5"},
        EvalCase{"Chr(65)", "A"}, EvalCase{"Ord(\"A\")", "65"}, EvalCase{"Ord(\"\")", "0"},
        EvalCase{"HanToZen(\"A1 ~\")", "Ａ１　～"}, EvalCase{"HanToZen(\"ｶﾞﾊﾟ\")", "ガパ"},
        EvalCase{"HanToZen(\"ｳﾞ\")", "ウ゛"}, EvalCase{"HanToZen(\"ﾞｱﾟ\")", "゛ア゜"},
        EvalCase{"HanToZen(\"漢a\")", "漢ａ"}, EvalCase{"ZenToHan(\"漢１２字\")", "12"},
        EvalCase{"ZenToHan(\"ガパ\")", "ｶﾞﾊﾟ"}, EvalCase{"ZenToHan(\"“x”\")", "\"x\""},
        EvalCase{"ZenToHan(\"ひらがなa\")", "a"}));

TEST_F(BuiltinsTest, InPlaceEditsChangeTheNamedVariable)
{
    Var(ptStr, "s").Value->SetStr("abcdef");
    Var(ptStr, "j").Value->SetStr(Utf8ToCp932("あいう"));
    Eval("Delete(s, 2, 3)");
    EXPECT_EQ(Str("s"), "aef");
    Eval("Insert(\"XY\", s, 2)");
    EXPECT_EQ(Str("s"), "aXYef");
    Eval("Delete(s, 3)");
    EXPECT_EQ(Str("s"), "aX");
    Eval("Delete(s, 0, 1)");
    EXPECT_EQ(Str("s"), "aX");
    Eval("JDelete(j, 2, 1)");
    EXPECT_EQ(Str("j"), "あう");
    Eval("JInsert(\"か\", j, 2)");
    EXPECT_EQ(Str("j"), "あかう");
    Eval("JInsert(\"z\", j, 99)");
    EXPECT_EQ(Str("j"), "あかうz");
}

TEST_F(BuiltinsTest, LineBreaksAreDroppedByHanToZen)
{
    Var(ptStr, "t").Value->SetStr("a\r\n\tb");
    EXPECT_EQ(Eval("HanToZen(t)"), "ａｂ");
}

TEST(WidthConversion, AsciiBecomesTheFullWidthFormsWithTheChosenQuotes)
{
    for (int c = 0x21; c <= 0x7E; ++c) {
        std::string zen = Cp932ToUtf8(builtins::HanToZen(std::string(1, static_cast<char>(c))));
        std::string expected;
        switch (c) {
        case '"':
            expected = "”";
            break;
        case '\'':
            expected = "’";
            break;
        case '`':
            expected = "‘";
            break;
        case '\\':
            expected = "￥";
            break;
        default: {
            char32_t u = 0xFF01 + static_cast<char32_t>(c - 0x21);
            expected = {static_cast<char>(0xE0 | (u >> 12)), static_cast<char>(0x80 | ((u >> 6) & 0x3F)),
                        static_cast<char>(0x80 | (u & 0x3F))};
        }
        }
        EXPECT_EQ(zen, expected) << "byte " << c;
    }
}

TEST(WidthConversion, HalfWidthKanaBecomeFullWidthKana)
{
    std::string half;
    for (int c = 0xA1; c <= 0xDF; ++c)
        half += static_cast<char>(c);
    EXPECT_EQ(Cp932ToUtf8(builtins::HanToZen(half)),
              "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマ"
              "ミムメモヤユヨラリルレロワン゛゜");
}

TEST(WidthConversion, HalfWidthTextRoundTrips)
{
    std::string half;
    for (int c = 0x20; c <= 0x7E; ++c)
        half += static_cast<char>(c);
    for (int c = 0xA1; c <= 0xDF; ++c)
        half += static_cast<char>(c);
    // Every kana that takes a mark, with it.
    for (int c = 0xB6; c <= 0xCE; ++c)
        if (c <= 0xC4 || c >= 0xCA) half += std::string{static_cast<char>(c), '\xDE'};
    for (int c = 0xCA; c <= 0xCE; ++c)
        half += std::string{static_cast<char>(c), '\xDF'};
    std::string zen = builtins::HanToZen(half);
    EXPECT_EQ(CharCount(zen) * 2, zen.size()); // every character is double-byte
    EXPECT_EQ(builtins::ZenToHan(zen), half);
}

TEST(WidthConversion, DanglingLeadBytesAreDropped)
{
    EXPECT_EQ(builtins::HanToZen("a\x82"), builtins::HanToZen("a"));
    EXPECT_EQ(builtins::ZenToHan("a\x82"), "a");
}

} // namespace
} // namespace ruko::test
