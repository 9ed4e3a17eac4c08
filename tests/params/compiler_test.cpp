// The compiler from text: exact step programs, and what compiled text computes.
#include "support.h"

#include "params/buildparser.h"
#include "params/functable.h"

#include <gtest/gtest.h>

namespace ruko::testing {
namespace {

std::string Steps(const std::string& utf8)
{
    TRukoParser program;
    CompileText(Utf8ToCp932(utf8), program);
    return Cp932ToUtf8(DumpProgram(program));
}

TEST(Compiler, WorkedExampleCompilesStepForStep)
{
    EXPECT_EQ(Steps("x = a[i+1] * 2 > 3"), "____2 := ocPlus i, 1\n"
                                           "____d_0 := ocDimTo a, ____2\n"
                                           "____3 := ocMul ____d_0, 2\n"
                                           "____4 := ocBig ____3, 3\n"
                                           "x := ocTo ____4\n");

    // The builder's own view before the stored form: the subscript took ____d_0 and ____1, and the
    // copy ____1 := ____2 was folded away.
    TBuildRukoParser builder;
    builder.Parse("x = a[i+1] * 2 > 3");
    EXPECT_EQ(builder.Counter, 5);
    ASSERT_EQ(builder.Steps.size(), 5u);
    EXPECT_EQ(builder.Steps[1].Operands, (std::vector<std::string>{"a", "____2"}));
}

TEST(Compiler, ShapesOfPrograms)
{
    struct Case
    {
        const char* text;
        const char* steps;
    } cases[] = {
        {"1", "____arg := ocTo 1\n"},
        {"", "____arg := ocTo <empty>\n"},
        {"x = -y", "____0 := ocMinus 0, y\nx := ocTo ____0\n"},
        {"+5", "____0 := ocPlus 0, 5\n____arg := ocTo ____0\n"},
        {"2 * -3", "____0 := ocMinus 0, 3\n____1 := ocMul 2, ____0\n____arg := ocTo ____1\n"},
        {"\"ab\" ++ 1.5", "____0 := ocTo \"ab\"\n____1 := ocComboStr ____0, 1.5\n____arg := ocTo ____1\n"},
        {"TRUE <> x", "____0 := ocNEqual TRUE, x\n____arg := ocTo ____0\n"},
        // Compound arguments go through a temporary; redundant outer parentheses are dropped.
        {"IntToStr((1+2), 3)",
         "____2 := ocPlus 1, 2\n____0 := ocFunc IntToStr(____2, 3)\n____arg := ocTo ____0\n"},
        {"Length(Trim(s))",
         "____0 := ocFunc Trim(s)\n____1 := ocFunc Length(____0)\n____arg := ocTo ____1\n"},
        {"1e-3", "____0 := ocMinus 1e, 3\n____arg := ocTo ____0\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Steps(c.text), c.steps) << c.text;
    // Calls are compiled right to left: Max's step (and its argument's) come before Length's.
    EXPECT_EQ(Steps("Length(a) + Max(b, c + 1)"), "____2 := ocPlus c, 1\n"
                                                  "____0 := ocFunc Max(b, ____2)\n"
                                                  "____3 := ocFunc Length(a)\n"
                                                  "____4 := ocPlus ____3, ____0\n"
                                                  "____arg := ocTo ____4\n");
}

// Text, variables to declare first (name, kind, value), and the Result as rukotool prints it.
struct ExprCase
{
    const char* text;
    const char* expected;
};

void DeclareSamples(TParamCollection& store)
{
    store.AddVariable(ptInt, "i").Value->SetInt(1);
    TCustomParam& a = *store.AddVariable(ptInt, "a").Value;
    a.SetDims({3, 4});
    for (int k = 0; k < 12; ++k)
        a.SetIntAt(k, k * 10);
    store.AddVariable(ptStr, Cp("表")).Value->SetStr(Cp("ソ|"));
    TCustomParam& kana = *store.AddVariable(ptInt, Cp("データ")).Value;
    kana.SetDims({3});
    kana.SetIntAt(2, 42);
    store.AddVariable(ptInt, Cp("－値")).Value->SetInt(5);
    store.AddVariable(ptFloat, "r").Value->SetFloat(2.5);
    store.AddVariable(ptFlag, "f").Value->SetFlag(true);
    store.AddVariable(ptStr, "s").Value->SetStr("10");
}

TEST(Compiler, ExpressionsComputeTheirValues)
{
    const ExprCase cases[] = {
        // precedence and grouping
        {"1 + 2 * 3", "int 7"},
        {"(1 + 2) * 3", "int 9"},
        {"10 - 4 - 3", "int 3"},
        {"2 * 3 - 4 / 2", "int 4"},
        {"1 << 2 + 1", "int 8"},
        {"1 + 2 == 3", "flag TRUE"},
        {"6 & 3 == 3", "int 0"}, // 6 & (3 == 3)
        {"1 | 2 ^ 3 & 1", "int 3"},
        {"\"a\" ++ 1 + 2", "string a3"},
        {"((((7))))", "int 7"},
        // signs
        {"-2 * 3", "int -6"},
        {"2 * -3", "int -6"},
        {"5 - -3", "int 8"},
        {"+5", "int 5"},
        {"-1 >> 28", "int 15"},
        {"1 << 33", "int 2"},
        // integer and real arithmetic
        {"7 / 2", "int 3"},
        {"7.0 / 2", "real 3.5"},
        {"-7 / 2", "int -3"},
        {"-7 % 2", "int -1"},
        {"7 % -2", "int 1"},
        {"0.1 + 0.2", "real 0.3"},
        {"r * 2", "real 5"},
        {"1 / 0", "none"},
        {"1 % 0", "none"},
        {"1.0 / 0", "none"},
        // wrap-around
        {"2147483647 + 1", "int -2147483648"},
        {"65536 * 65536", "int 0"},
        {"(-2147483647 - 1) / -1", "int -2147483648"},
        {"(-2147483647 - 1) % -1", "int 0"},
        {"-2147483648", "real -2147483648"}, // 2147483648 is a real literal
        // mixed kinds: the target's kind decides arithmetic, A's kind decides comparison
        {"\"1\" + \"2\"", "string 3"},
        {"\"abc\" + 1", "string 1"},
        {"1 ++ 2", "string 12"},
        {"\"ab\" ++ \"cd\"", "string abcd"},
        {"\"B\" > \"a\"", "flag FALSE"},
        {"\"10\" < \"9\"", "flag TRUE"},
        {"10 < \"9\"", "flag FALSE"},
        {"2.5 > 2", "flag TRUE"},
        {"2 > 2.5", "flag FALSE"},
        {"f + 1", "int 2"},
        {"f == 7", "flag TRUE"},
        {"s + 1", "string 11"},
        {"s * 2", "int 20"},
        // escapes and literals
        {"\"a\\\"b\"", "string a\"b"},
        {"\"a\\\\b\"", "string a\\b"},
        {"\"a\\nb\"", "string a\r\nb"},
        {"\"a\\tb\"", "string a\\tb"},
        {"\"x(1+2)[3],\"", "string x(1+2)[3],"},
        // two-byte text whose trail bytes are '\\', '[' and '|'
        {"\"表\"", "string 表"},
        {"\"ソ\" ++ \"ー\" ++ \"－\"", "string ソー－"},
        {"表 ++ \"能\"", "string ソ|能"},
        {"データ[2] + 1", "int 43"},
        {"－値 * 2", "int 10"},
        // element references
        {"a[1, 2]", "int 60"},
        {"a[i, i + 1] + a[2,3]", "int 170"},
        {"a[a[0,1] / 10, 0]", "int 40"},
        {"a[3, 0]", "none"},
        {"a[1]", "none"},
        // The failing step had already made "____arg", so the Result is its zero value.
        {"a[-1, 0]", "int 0"},
        // missing variables stop the run
        {"nothing + 1", "none"},
        {"x = 1", "none"},
        // compile errors
        {"1 +", "error 構文エラー"},
        {"()", "error 構文エラー"},
        {"x =", "error 構文エラー"},
        {"= 1", "error 構文エラー"},
        {"a = b = c", "error 構文エラー"},
        {"1 => 2", "error 構文エラー"},
        {"1 2", "none"}, // one operand token "1 2", a name that does not exist
        {"* 2", "error 構文エラー"},
        {"1 * * 2", "error 構文エラー"},
        {"(1", "error 構文エラー"},
        {"1)", "error 構文エラー"},
        {"a[1", "error 構文エラー"},
        {"a]1", "error 構文エラー"},
        {"[1]", "error 構文エラー"},
        {"1 + [1]", "error 構文エラー"},
        {"Max(a[1, 2)", "error 構文エラー"},
        {"a[]", "error 配列の添え字が不正です"},
        {"Foo(1)", "error \"Foo\" 関数名がありません"},
        {"max(1, 2)", "error \"max\" 関数名がありません"},
        {"IntToStr()", "error IntToStr 引数の数が不正です"},
        {"Max(1, 2, 3)", "error Max 引数の数が不正です"},
        {"GetProp(\"b\", 171)", "error GetPropの引数が違います"},
        {"GetProp(\"b\", i + 170)", "none"}, // a computed number is refused when run
        {"GetProp(\"b\", 170)", "int 0"},    // kind of property 170; no component list here
    };
    for (const ExprCase& c : cases) {
        TParamCollection store;
        DeclareSamples(store);
        EXPECT_EQ(Eval(store, c.text), c.expected) << c.text;
    }
}

TEST(Compiler, AssignmentsWriteThroughElementReferences)
{
    TParamCollection store;
    DeclareSamples(store);
    EXPECT_EQ(Eval(store, "a[2, i + 2] = 7 * 3"), "none");
    EXPECT_EQ(store.Find("a")->Value->GetIntAt(11), 21);
    EXPECT_EQ(Eval(store, "i = a[2,3] > 20"), "none");
    EXPECT_EQ(store.Find("i")->Value->GetInt(), 1); // a flag stored into an integer
    EXPECT_EQ(Eval(store, "表 = 表 ++ 1"), "none");
    EXPECT_EQ(Cp932ToUtf8(store.Find(Cp("表"))->Value->GetStr()), "ソ|1");
    // A reference target takes the element's kind.
    EXPECT_EQ(Eval(store, "a[0,0] = \"12\" ++ \"3\""), "none");
    EXPECT_EQ(store.Find("a")->Value->GetIntAt(0), 123);
}

TEST(Compiler, SetPropWithAPropertyOutsideTheTableStopsTheProgram)
{
    for (const char* id : {"-1", "171", "i - 1000"}) {
        TParamCollection store;
        DeclareSamples(store);
        int32_t before = store.Find("i")->Value->GetInt();
        std::string text = std::string("i = Length(SetProp(\"b\", ") + id + ", 1)) + 100";
        Eval(store, text);
        EXPECT_EQ(store.Find("i")->Value->GetInt(), before) << text;
    }
}

TEST(Compiler, DeepNestingNeitherCrashesNorRunsAway)
{
    std::string text = std::string(3000, '(') + "1" + std::string(3000, ')');
    TParamCollection store;
    EXPECT_EQ(Eval(store, text), "int 1");
    std::string unbalanced = std::string(3000, '(') + "1";
    EXPECT_EQ(Eval(store, unbalanced), "error 構文エラー");
    std::string arguments = "1";
    for (int k = 0; k < 200; ++k)
        arguments = "Max(" + arguments + " + 1, 0)";
    EXPECT_NE(Eval(store, arguments).substr(0, 5), "error");
}

TEST(Compiler, OperandsAreClassifiedWhenWritten)
{
    TRukoParser program;
    CompileText("x = F", program);
    ASSERT_EQ(program.Steps.size(), 1u);
    EXPECT_NE(dynamic_cast<TParamVar*>(program.Steps[0].Operands[0].get()), nullptr);

    struct Case
    {
        const char* operand;
        uint8_t kind;
    } cases[] = {{"12", ptInt},    {"-5", ptInt},    {"2147483648", ptFloat}, {"1.5", ptFloat},
                 {"1E3", ptFloat}, {"TRUE", ptFlag}, {"FALSE", ptFlag},       {"True", ptVar},
                 {"\"\"", ptStr},  {"\"", ptVar},    {"inf", ptVar},          {"nan", ptVar},
                 {"0x10", ptVar},  {"1,5", ptVar}};
    for (const Case& c : cases) {
        TBuildRukoParser builder;
        builder.Steps.push_back({ocTo, "x", {c.operand}});
        TKwBigMemoryStream stream;
        builder.WriteTo(stream);
        stream.SetPosition(0);
        TRukoParser loaded;
        loaded.LoadFromStream(stream);
        const TCustomParam& operand = *loaded.Steps[0].Operands[0];
        uint8_t kind = dynamic_cast<const TParamVar*>(&operand) ? uint8_t{ptVar} : operand.GetVarType();
        EXPECT_EQ(kind, c.kind) << c.operand;
    }
}

} // namespace
} // namespace ruko::testing
