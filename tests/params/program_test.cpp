// Stored step programs: their record form, validation on load, and how they run.
#include "support.h"

#include "io/fields.h"
#include "params/functable.h"

#include <gtest/gtest.h>

namespace ruko::testing {
namespace {

std::vector<uint8_t> Saved(const TRukoParser& program)
{
    TKwBigMemoryStream stream;
    program.SaveToStream(stream);
    return stream.TakeBytes();
}

TRukoParser Compiled(const std::string& utf8)
{
    TRukoParser program;
    CompileText(Utf8ToCp932(utf8), program);
    return program;
}

TEST(Program, SaveAndLoadKeepEveryStepAndOperandKind)
{
    const char* texts[] = {
        "x = a[i+1] * 2 > 3",
        "\"表\\\"\" ++ 1.5 ++ TRUE ++ -7",
        "GetProp(\"btn\", 3) + IntToStr(Max(1, 2), 4)",
        "s = \"a\\nb\" ++ -1 >> 28 <> 2147483648",
    };
    for (const char* text : texts) {
        TRukoParser program = Compiled(text);
        std::vector<uint8_t> bytes = Saved(program);
        TKwBigMemoryStream stream(bytes);
        TRukoParser loaded;
        loaded.LoadFromStream(stream);
        EXPECT_EQ(stream.GetPosition(), stream.GetSize()) << text;
        EXPECT_EQ(DumpProgram(loaded), DumpProgram(program)) << text;
        EXPECT_EQ(Saved(loaded), bytes) << text;
        TRukoParser copy;
        copy.Assign(loaded);
        EXPECT_EQ(Saved(copy), bytes) << text;
    }
}

TEST(Program, StoredFormMatchesTheRecordLayout)
{
    TRukoParser program = Compiled("x = Max(y, 2.5)");
    TKwBigMemoryStream expected;
    WriteU32(expected, 2);
    WriteByte(expected, ocFunc);
    WriteStr(expected, "____0");
    WriteU32(expected, 2); // arguments only: the name is the row that follows
    WriteByte(expected, 127);
    WriteByte(expected, 0);
    WriteStr(expected, "y");
    WriteByte(expected, 2);
    WriteExtended(expected, 2.5);
    WriteByte(expected, ocTo);
    WriteStr(expected, "x");
    WriteU32(expected, 1);
    WriteByte(expected, 0);
    WriteStr(expected, "____0");
    EXPECT_EQ(Saved(program), expected.Bytes());
}

TEST(Program, BoundReferenceIsSavedAsAReference)
{
    TParamCollection store;
    store.AddVariable(ptInt, "y").Value->SetInt(5);
    store.AddVariable(ptInt, "x");
    TRukoParser program = Compiled("x = y + 1");
    std::vector<uint8_t> before = Saved(program);
    program.Execute(store);
    EXPECT_EQ(store.Find("x")->Value->GetInt(), 6);
    EXPECT_EQ(Saved(program), before);
    // Bindings are cleared after each step, so a reference never holds a variable past its run.
    for (const TOpeData& step : program.Steps)
        for (const auto& operand : step.Operands)
            if (auto* ref = dynamic_cast<TParamVar*>(operand.get())) {
                EXPECT_TRUE(ref->Target.expired());
            }
}

TEST(Program, FailingStepClearsItsBindingsAndSkipsTheRest)
{
    TParamCollection store;
    store.AddVariable(ptInt, "y").Value->SetInt(5);
    store.AddVariable(ptInt, "x");
    store.AddVariable(ptInt, "z");
    // The division fails after y was bound; z must not be assigned.
    TRukoParser program = Compiled("z = 1");
    TRukoParser failing = Compiled("x = y / 0");
    for (auto& step : program.Steps)
        failing.Steps.push_back(std::move(step));
    EXPECT_FALSE(failing.Execute(store));
    EXPECT_EQ(Cp932ToUtf8(failing.LastError), "0で除算しました");
    EXPECT_EQ(store.Find("z")->Value->GetInt(), 0);
    for (const TOpeData& step : failing.Steps)
        for (const auto& operand : step.Operands)
            if (auto* ref = dynamic_cast<TParamVar*>(operand.get())) {
                EXPECT_TRUE(ref->Target.expired());
            }
    // Temporaries leave the store with the run.
    EXPECT_EQ(store.Find("____0"), nullptr);
    EXPECT_EQ(store.Find("____arg"), nullptr);
}

// Builds one stored step by hand.
std::vector<uint8_t> OneStep(uint8_t op, const std::string& target, uint32_t operandCount, int funcRow,
                             const std::function<void(TKwBigStream&)>& operands)
{
    TKwBigMemoryStream s;
    WriteU32(s, 1);
    WriteByte(s, op);
    WriteStr(s, target);
    WriteU32(s, operandCount);
    if (funcRow >= 0) WriteByte(s, static_cast<uint8_t>(funcRow));
    operands(s);
    return s.TakeBytes();
}

void IntOperands(TKwBigStream& s, int count, int32_t value)
{
    for (int k = 0; k < count; ++k) {
        WriteByte(s, ptInt);
        WriteInt(s, value);
    }
}

TEST(Program, DamagedProgramsAreRejectedAndLeaveTheParserAlone)
{
    struct Case
    {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"plus with one operand", OneStep(ocPlus, "x", 1, -1, [](auto& s) { IntOperands(s, 1, 1); })},
        {"assignment with two", OneStep(ocTo, "x", 2, -1, [](auto& s) { IntOperands(s, 2, 1); })},
        {"element without subscript",
         OneStep(ocDimTo, "____d_0", 1, -1, [](auto& s) { IntOperands(s, 1, 1); })},
        {"too few arguments", OneStep(ocFunc, "____0", 1, 126, [](auto& s) { IntOperands(s, 1, 1); })},
        {"too many arguments", OneStep(ocFunc, "____0", 3, 126, [](auto& s) { IntOperands(s, 3, 1); })},
        {"operand count beyond the data",
         OneStep(ocPlus, "x", 0x40000000, -1, [](auto& s) { IntOperands(s, 2, 1); })},
        {"truncated operand", OneStep(ocTo, "x", 1, -1, [](auto& s) { WriteByte(s, ptFloat); })},
        {"target longer than the data", OneStep(ocTo, std::string(3, 'x'), 1, -1, [](auto&) {})},
    };
    TRukoParser original = Compiled("x = 1");
    std::vector<uint8_t> originalBytes = Saved(original);
    for (Case& c : cases) {
        TKwBigMemoryStream stream(c.bytes);
        EXPECT_EQ(ErrorOf([&] { original.LoadFromStream(stream); }), "ファイルが破壊されています") << c.what;
        EXPECT_EQ(Saved(original), originalBytes) << c.what;
    }
    TKwBigMemoryStream huge;
    WriteU32(huge, 0xFFFFFFFF);
    huge.SetPosition(0);
    EXPECT_NE(ErrorOf([&] { original.LoadFromStream(huge); }), "");

    // Codes 0 and above 20 load (they are defined to do nothing or fail when run).
    for (uint8_t op : {uint8_t{0}, uint8_t{21}, uint8_t{255}}) {
        TKwBigMemoryStream stream(OneStep(op, "x", 1, -1, [](auto& s) { IntOperands(s, 1, 1); }));
        TRukoParser loaded;
        EXPECT_EQ(ErrorOf([&] { loaded.LoadFromStream(stream); }), "");
    }
}

// A function step the tables cannot run: it loads, and running it stops only its own expression.
TEST(Program, UnknownFunctionRowOrPropertyStopsItsExpressionWhenRun)
{
    auto stepThenAssign = [](const std::string& target, int row, int32_t property) {
        TKwBigMemoryStream s;
        WriteU32(s, 2);
        WriteByte(s, ocFunc);
        WriteStr(s, target);
        WriteU32(s, 2);
        WriteByte(s, static_cast<uint8_t>(row));
        WriteByte(s, ptStr);
        WriteStr(s, "btn");
        IntOperands(s, 1, property);
        WriteByte(s, ocTo);
        WriteStr(s, "z");
        WriteU32(s, 1);
        IntOperands(s, 1, 7);
        return s.TakeBytes();
    };
    struct Case
    {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* error;
    } cases[] = {
        {"row 169", stepThenAssign("____0", 169, 1),
         "不正な式\r\n\r\n代入先:____0演算タイプ:ocFunc\r\nbtn\r\n1"},
        {"row 255 into a variable", stepThenAssign("x", 255, 1),
         "不正な式\r\n\r\n代入先:x演算タイプ:ocFunc\r\nbtn\r\n1"},
        {"property 171", stepThenAssign("____0", fnGetProp, 171), "GetPropの引数が違います"},
        {"property -1", stepThenAssign("____0", fnGetProp, -1), "GetPropの引数が違います"},
        {"property 200 into a variable", stepThenAssign("x", fnGetProp, 200), "GetPropの引数が違います"},
    };
    for (Case& c : cases) {
        TKwBigMemoryStream stream(c.bytes);
        TRukoParser program;
        ASSERT_EQ(ErrorOf([&] { program.LoadFromStream(stream); }), "") << c.what;
        TParamCollection store;
        store.AddVariable(ptInt, "x").Value->SetInt(3);
        store.AddVariable(ptInt, "z");
        EXPECT_FALSE(program.Execute(store)) << c.what;
        EXPECT_EQ(Cp932ToUtf8(program.LastError), c.error) << c.what;
        EXPECT_EQ(store.Find("x")->Value->GetInt(), 3) << c.what;
        EXPECT_EQ(store.Find("z")->Value->GetInt(), 0) << c.what; // the later step was skipped
        // The same program runs again, and saves as it was stored.
        EXPECT_FALSE(program.Execute(store)) << c.what;
        EXPECT_EQ(Saved(program), c.bytes) << c.what;
    }
}

TEST(Program, UnknownOperatorOnATemporaryReportsTheStep)
{
    TKwBigMemoryStream stream(OneStep(21, "____0", 1, -1, [](auto& s) {
        WriteByte(s, ptStr);
        WriteStr(s, "v");
    }));
    TRukoParser program;
    program.LoadFromStream(stream);
    TParamCollection store;
    EXPECT_FALSE(program.Execute(store));
    EXPECT_EQ(Cp932ToUtf8(program.LastError), "不正な式\r\n\r\n代入先:____0演算タイプ:\r\nv");
}

TEST(Program, ResultIsTheLastAssignmentToArg)
{
    TParamCollection store;
    store.AddVariable(ptStr, "s").Value->SetStr("abc");
    EXPECT_EQ(Eval(store, "s"), "string abc");
    EXPECT_EQ(Eval(store, "s = \"x\""), "none");
    // "@Temp" with no variable behind it and "@Result" outside a call have no value.
    EXPECT_EQ(Eval(store, "@Temp"), "none");
    EXPECT_EQ(Eval(store, "@Result"), "none");
    EXPECT_EQ(Eval(store, "@TextDelay + 1"), "int 51");
}

TEST(Program, NestedCalcKeepsItsTemporariesToItself)
{
    // Both Calls run their own "____0".."____2"; the inner ones must not overwrite the outer
    // string temporary holding the first Calc's answer.
    TParamCollection store;
    EXPECT_EQ(Eval(store, "Calc(\"1 + 2 + 3 + 4\") ++ Calc(\"5\")"), "string TRUETRUE");
    EXPECT_EQ(Eval(store, "Calc(\"1 +\")"), "string FALSE");
    EXPECT_EQ(Eval(store, "Calc(\"nothing\")"), "string FALSE");
    EXPECT_EQ(Eval(store, "Calc(\"  \")"), "string ");
}

TEST(Program, CalcWithinCalcIsLimited)
{
    TParamCollection store;
    // Each level counts itself, then runs the same text again.
    store.AddVariable(ptStr, "s").Value->SetStr("Calc(s) ++ Calc(\"n = n + 1\")");
    store.AddVariable(ptInt, "n");
    EXPECT_EQ(Eval(store, "Calc(s)"), "string TRUE");
    int32_t levels = store.Find("n")->Value->GetInt();
    EXPECT_GT(levels, 1);
    EXPECT_LT(levels, MaxEvalNesting);
}

TEST(Program, AssignTempRefusesSystemVariables)
{
    TParamCollection store;
    store.AddVariable(ptInt, "v").Value->SetInt(3);
    EXPECT_EQ(Eval(store, "AssignTemp(@Temp)"), "flag FALSE");
    EXPECT_EQ(Eval(store, "AssignTemp(\"@Temp\")"), "flag FALSE");
    EXPECT_EQ(Eval(store, "AssignTemp(\"missing\")"), "flag FALSE");
    EXPECT_EQ(store.TempName, "");
    EXPECT_EQ(Eval(store, "AssignTemp(v)"), "flag FALSE"); // the value 3 names no variable
    EXPECT_EQ(Eval(store, "AssignTemp(\"v\")"), "flag TRUE");
    EXPECT_EQ(Eval(store, "@Temp * 2"), "int 6");
    EXPECT_EQ(Eval(store, "AssignTemp(\"@MouseX\")"), "flag FALSE");
    EXPECT_EQ(store.TempName, "v");
    EXPECT_EQ(Eval(store, "@Temp = 9"), "none");
    EXPECT_EQ(store.Find("v")->Value->GetInt(), 9);
}

TEST(Program, PushVarAndPopVarSkipSystemVariables)
{
    TParamCollection store;
    store.AddVariable(ptInt, "v").Value->SetInt(3);
    store.AddVariable(ptStr, "w").Value->SetStr("keep");
    EXPECT_EQ(Eval(store, "PushVar(\"v\", \"@TextDelay\", \"w\", \"missing\")"), "flag TRUE");
    EXPECT_EQ(Eval(store, "v = 8"), "none");
    EXPECT_EQ(Eval(store, "w = \"changed\""), "none");
    EXPECT_EQ(Eval(store, "@TextDelay = 10"), "none");
    EXPECT_EQ(Eval(store, "PopVar()"), "flag TRUE");
    EXPECT_EQ(store.Find("v")->Value->GetInt(), 3);
    EXPECT_EQ(store.Find("w")->Value->GetStr(), "keep");
    EXPECT_EQ(store.TextDelay, 10);
    EXPECT_TRUE(store.PushedSets.empty());
    EXPECT_EQ(Eval(store, "PopVar()"), "flag TRUE"); // nothing left: no effect
}

} // namespace
} // namespace ruko::testing

namespace ruko::testing {
namespace {

TEST(Program, RerunsSeeTheStoreAsItIsNow)
{
    TParamCollection store;
    store.AddVariable(ptInt, "v").Value->SetInt(1);
    TRukoParser program = Compiled("v * 10");
    program.Execute(store);
    EXPECT_EQ(Describe(program.Result.get()), "int 10");

    TParamCollectionItem& local = store.AddVariable(ptInt, "v");
    local.Value->SetInt(2);
    local.Local = 1;
    local.ScopeId = 1;
    program.Execute(store);
    EXPECT_EQ(Describe(program.Result.get()), "int 10"); // the local belongs to depth 1
    store.CurrentScope = 1;
    program.Execute(store);
    EXPECT_EQ(Describe(program.Result.get()), "int 20");
    store.CurrentScope = 0;
    store.Remove(*store.Find("v"));
    program.Execute(store);
    EXPECT_EQ(Describe(program.Result.get()), "none");
    store.AddVariable(ptStr, "V").Value->SetStr("3");
    program.Execute(store);
    EXPECT_EQ(Describe(program.Result.get()), "int 30");

    // The same program against another store.
    TParamCollection other;
    other.AddVariable(ptInt, "v").Value->SetInt(4);
    program.Execute(other);
    EXPECT_EQ(Describe(program.Result.get()), "int 40");
}

} // namespace
} // namespace ruko::testing

namespace ruko::testing {
namespace {

TEST(Program, FunctionMayFreeItsOwnResultVariable)
{
    TParamCollection store;
    store.AddVariable(ptInt, "v").Value->SetInt(6);
    store.PushVariables({"v"});
    store.Remove(*store.Find("v"));
    store.AddVariable(ptStr, "v").Value->SetStr("other kind");

    TRukoParser program;
    TOpeData& step = program.Steps.emplace_back();
    step.Op = ocFunc;
    step.Target = "v";
    step.FuncIndex = fnPopVar;
    EXPECT_TRUE(program.Execute(store));
    EXPECT_EQ(store.Find("v")->Value->GetVarType(), ptInt);
    EXPECT_EQ(store.Find("v")->Value->GetInt(), 6);
}

} // namespace
} // namespace ruko::testing

namespace ruko::testing {
namespace {

TEST(Program, EvalTextReportsOnlyWhetherTheTextCompiled)
{
    TParamCollection store;
    store.AddVariable(ptInt, "n");
    EXPECT_FALSE(EvalText("  \t ", store));
    EXPECT_FALSE(EvalText("n = ", store));
    EXPECT_TRUE(EvalText("  n = 4 * 2  ", store));
    EXPECT_EQ(store.Find("n")->Value->GetInt(), 8);
    EXPECT_TRUE(EvalText("n = missing", store)); // compiled; the run's failure is swallowed
    EXPECT_EQ(store.Find("n")->Value->GetInt(), 8);
}

} // namespace
} // namespace ruko::testing
