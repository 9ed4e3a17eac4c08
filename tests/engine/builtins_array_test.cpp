// Functions on whole variables: shapes, fills, list edits, splits, sorts.
#include "builtins_fixture.h"

namespace ruko::test {
namespace {

class ArrayFunctions : public BuiltinsTest
{
  protected:
    ArrayFunctions()
    {
        Var(ptInt, "grid");
        Var(ptStr, "list");
        Var(ptStr, "more");
        Var(ptInt, "nums");
        Var(ptFloat, "reals");
    }
    void SetList(const std::string& name, std::vector<std::string> items)
    {
        TCustomParam& v = Value(name);
        v.SetDims({static_cast<int32_t>(items.size())});
        for (size_t i = 0; i < items.size(); ++i)
            v.SetStrAt(static_cast<int32_t>(i), Utf8ToCp932(items[i]));
    }
};

TEST_F(ArrayFunctions, ShapeSizeAndFill)
{
    Eval("SetArray(grid, 3, 4)");
    EXPECT_EQ(Eval("GetArraySize(grid)"), "12");
    EXPECT_EQ(Eval("GetArraySize(grid, 0)"), "4");
    EXPECT_EQ(Eval("GetArraySize(grid, 1)"), "3");
    Eval("FillMem(grid, \"7\")");
    EXPECT_EQ(Value("grid").GetIntAt(11), 7);
    Eval("SetArray(grid, 0)");
    EXPECT_FALSE(ok);
    EXPECT_EQ(Value("grid").GetCount(), 12);
}

TEST_F(ArrayFunctions, ArgumentsThatAreNotVariablesAreRefusedByName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"GetArraySize(\"grid\")", "GetArraySize:変数が見つかりません"},
        {"SetArray(1 + 1, 2)", "SetArray:変数が見つかりません"},
        {"FillMem(5, 1)", "FillMem:変数が見つかりません"},
        {"CopyMem(grid, \"x\")", "CopyMem:変数が見つかりません"},
        {"CopyMem(grid, missing)", "\"missing\" 変数がありません"},
    };
    for (const auto& [text, message] : cases) {
        Eval(text);
        EXPECT_FALSE(ok) << text;
        EXPECT_EQ(lastError, message) << text;
    }
}

TEST_F(ArrayFunctions, AddInsertDeleteClampAndConvert)
{
    SetList("list", {"a", "b", "c"});
    SetList("more", {"x", "y"});
    EXPECT_EQ(Eval("AddArray(list, more)"), "5");
    EXPECT_EQ(Elements("list"), "a|b|c|x|y");
    EXPECT_EQ(Eval("InsertArray(list, -5, \"s\")"), "6");
    EXPECT_EQ(Elements("list"), "s|a|b|c|x|y");
    EXPECT_EQ(Eval("InsertArray(list, 99, more)"), "8");
    EXPECT_EQ(Elements("list"), "s|a|b|c|x|y|x|y");
    EXPECT_EQ(Eval("DeleteArray(list, 99, 1)"), "7");
    EXPECT_EQ(Eval("DeleteArray(list, 1, 2)"), "5");
    EXPECT_EQ(Elements("list"), "s|c|x|y|x");
    EXPECT_EQ(Eval("AddArray(list, list)"), "10");
    EXPECT_EQ(Eval("AddArray(nums, list)"), "11"); // texts become integers (0)
    EXPECT_EQ(Eval("DeleteArray(list, 0, 99)"), "0");
    EXPECT_EQ(Value("list").GetDimCount(), 1);
}

TEST_F(ArrayFunctions, ListEditsLeaveTwoDimensionalValuesAlone)
{
    Eval("SetArray(grid, 2, 5)");
    Eval("FillMem(grid, 3)");
    for (const char* text : {"AddArray(grid, 1)", "InsertArray(grid, 0, 1)", "DeleteArray(grid, 0, 4)",
                             "UniqueArray(grid)", "TrimArray(grid, 3)"}) {
        EXPECT_EQ(Eval(text), "10") << text;
        EXPECT_EQ(Value("grid").GetDimCount(), 2) << text;
    }
}

TEST_F(ArrayFunctions, SplitAndJoin)
{
    EXPECT_EQ(Eval("StringToArray(\"a,b,,c\", list, \",\")"), "4");
    EXPECT_EQ(Eval("ArrayToString(list, \"/\")"), "a/b//c");
    EXPECT_EQ(Eval("StringToArray(\"x\\ny\\n\", list)"), "2");
    EXPECT_EQ(Elements("list"), "x|y");
    // A double-byte delimiter is one character; "表" ends in the byte of '\'.
    EXPECT_EQ(Eval("StringToArray(\"a表b\", list, \"表\")"), "2");
    EXPECT_EQ(Eval("StringToArray(\"a表b\", list, Chr(92))"), "1");
    EXPECT_EQ(Eval("StringToArray(\"\", list)"), "0");
    EXPECT_EQ(Value("list").GetCount(), 1);
    EXPECT_EQ(Str("list"), "");
    SetList("list", {"p", "q"});
    EXPECT_EQ(Eval("ArrayToString(list)"), "p\r\nq");
}

TEST_F(ArrayFunctions, SearchSortUniqueTrim)
{
    SetList("list", {"Pear", "apple", "Apple", "pear", "apple"});
    EXPECT_EQ(Eval("IndexOfStr(list, \"apple\")"), "1");
    EXPECT_EQ(Eval("IndexOfStr(list, \"PEAR\")"), "-1");
    EXPECT_EQ(Eval("IndexOfStr(list, \"PEAR\", 0)"), "0");
    EXPECT_EQ(Eval("IndexOfStr(list, \"pl\", 1, 1)"), "1");
    Eval("SortStr(list)");
    EXPECT_EQ(Elements("list"), "apple|apple|Apple|pear|Pear");
    EXPECT_EQ(Eval("UniqueArray(list)"), "4");
    EXPECT_EQ(Eval("TrimArray(list, \"Pear\")"), "3");
    EXPECT_EQ(Elements("list"), "apple|Apple|pear");
    EXPECT_EQ(Value("list").GetDim(0), 3);

    Eval("SortStr(list, 1)");
    EXPECT_EQ(Elements("list"), "pear|Apple|apple");
    SetList("reals", {"10", "9.5", "-1", "100"});
    Eval("SortStr(reals, 1, 1)");
    EXPECT_EQ(Elements("reals"), "100|10|9.5|-1");
}

TEST_F(ArrayFunctions, CopiesConvertToTheTargetKind)
{
    SetList("list", {"1", "25", "x"});
    EXPECT_EQ(Eval("CopyArray(nums, list)"), "TRUE");
    EXPECT_EQ(Elements("nums"), "1|25|0");
    Eval("CopyMem(nums, list)");
    EXPECT_FALSE(ok); // CopyMem needs the same kind
    EXPECT_EQ(Eval("VarExists(\"nums\")"), "TRUE");
    EXPECT_EQ(Eval("VarExists(nums)"), "TRUE");
    EXPECT_EQ(Eval("VarExists(\"missing\")"), "FALSE");
}

TEST_F(ArrayFunctions, CalcWithASyntaxErrorLetsTheOuterExpressionGoOn)
{
    Var(ptFlag, "f");
    Eval("f = Not(Calc(\"x = 1 +\"))");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(Value("f").GetFlag());
}

} // namespace
} // namespace ruko::test

namespace ruko::test {
namespace {

TEST_F(BuiltinsTest, PushVarRestoresVariablesButNeverSystemOnes)
{
    Var(ptInt, "x").Value->SetInt(1);
    Var(ptStr, "s").Value->SetStr("keep");
    EXPECT_EQ(Eval("PushVar(\"x\", \"s\", \"@TextDelay\")"), "TRUE");
    Eval("x = 9");
    Eval("s = \"changed\"");
    Eval("@TextDelay = 7");
    EXPECT_EQ(Eval("PopVar()"), "TRUE");
    EXPECT_EQ(Value("x").GetInt(), 1);
    EXPECT_EQ(Str("s"), "keep");
    EXPECT_EQ(store.TextDelay, 7);
    EXPECT_EQ(Eval("PopVar()"), "TRUE"); // nothing pushed: no effect
    EXPECT_EQ(Value("x").GetInt(), 1);
}

} // namespace
} // namespace ruko::test
