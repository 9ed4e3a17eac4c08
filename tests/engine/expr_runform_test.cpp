// The run-time form of compiled programs against the step-by-step evaluator over the stored form:
// random programs from the compiler must leave the same Result, error and variables in twin
// stores, however often they run and whatever changes in the store between runs; and a warm
// program allocates nothing per run.
#include "allocation_watch.h"
#include "base/processobject.h"
#include "base/text.h"
#include "engine/builtins.h"
#include "io/bigstream.h"
#include "params/paramcollection.h"
#include "params/rukoparser.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace ruko;

namespace {

// Expression text over integer, real, string, flag and array variables, with steps that fail
// (missing names, division by zero, subscripts out of range, bad conversions of elements).
class TProgramMaker
{
  public:
    explicit TProgramMaker(uint32_t seed) : random_(seed) {}

    std::string Statement()
    {
        switch (Pick(6)) {
        case 0:
            return Expr(3); // a bare expression: its value is the Result
        case 1:
            return Pick({"i0", "i1", "r0", "s0", "f0", "s1"}) + " = " + Expr(3);
        case 2:
            return "a[" + Subscript() + ", " + Subscript() + "] = " + Expr(2);
        case 3:
            return "sa[" + Subscript() + "] = " + Expr(2);
        case 4:
            return Pick({"i2", "r1", "s2", "f1"}) + " = " + Expr(2) + " " + Operator() + " " + Expr(2);
        default:
            return "fa[" + Subscript() + ", 1] = " + Expr(2);
        }
    }

  private:
    int Pick(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }
    std::string Pick(std::initializer_list<const char*> list)
    {
        return *(list.begin() + Pick(static_cast<int>(list.size())));
    }

    std::string Operator()
    {
        return Pick(
            {"+", "-", "*", "/", "%", "|", "&", "^", "<<", ">>", "==", "<>", ">", "<", ">=", "<=", "++"});
    }

    std::string Subscript() { return Pick(4) == 0 ? Expr(1) : std::to_string(Pick(5) - 1); }

    std::string Atom()
    {
        switch (Pick(12)) {
        case 0:
            return Pick({"0", "1", "-3", "7", "2147483647", "-2147483648", "40"});
        case 1:
            return Pick({"2.5", "0.0", "-1.25", "1e3"});
        case 2:
            return Pick({"\"\"", "\"abc\"", "\"12\"", "\"TRUE\"", "\"FALSE\"", "\"1.5\"", "\"表\""});
        case 3:
            return Pick({"TRUE", "FALSE"});
        case 4:
            return Pick({"i0", "i1", "i2", "r0", "r1"});
        case 5:
            return Pick({"s0", "s1", "s2", "f0", "f1"});
        case 6:
            return "a[" + Subscript() + ", " + Subscript() + "]";
        case 7:
            return Pick({"sa", "fa"}) + (Pick(2) ? "[" + Subscript() + "]" : "[" + Subscript() + ", 0]");
        case 8:
            return Pick({"nope", "@TextDelay", "@Temp", "a", "sa"});
        case 9:
            return Function();
        default:
            return Pick({"i0", "s0", "r0", "f0"});
        }
    }

    std::string Function()
    {
        switch (Pick(10)) {
        case 0:
            return "Max(" + Expr(1) + ", " + Expr(1) + ")";
        case 1:
            return "IntToStr(" + Expr(1) + ")";
        case 2:
            return "Length(" + Expr(1) + ")";
        case 3:
            return "StrToIntDef(" + Expr(1) + ", " + Expr(1) + ")";
        case 4:
            return Pick({"Calc(\"i1 = i1 + 1\")", "Calc(\"s0 = s0 ++ i1\")", "Calc(\"nope + 1\")",
                         "Calc(\"sa[9] = 1\")"});
        case 5:
            return Pick({"AssignTemp(\"i1\")", "AssignTemp(\"s2\")", "AssignTemp(\"nope\")"});
        case 6:
            return Pick({"PushVar(\"i0\", \"s0\")", "PopVar()"});
        case 7:
            return "GetVarType(" + Pick({"i0", "s0", "a", "r1"}) + ")";
        case 8:
            return "Delete(s1, 1, 1)";
        default:
            return "Abs(" + Expr(1) + ")";
        }
    }

    std::string Expr(int depth)
    {
        if (depth <= 0 || Pick(3) == 0) return Atom();
        switch (Pick(5)) {
        case 0:
            return "(" + Expr(depth - 1) + ")";
        case 1:
            return "-" + Atom();
        default:
            return Expr(depth - 1) + " " + Operator() + " " + Expr(depth - 1);
        }
    }

    std::mt19937 random_;
};

class TTwinStores
{
  public:
    TTwinStores()
    {
        InstallBuiltins(sysFuncMan_.Create(), services_);
        for (auto& store : stores_) {
            store = std::make_unique<TParamCollection>();
            hosts_.push_back(MakeSystemHost(services_));
            store->SetHost(hosts_.back().get());
            Fill(*store);
        }
    }
    ~TTwinStores()
    {
        for (auto& store : stores_)
            store->SetHost(nullptr);
        sysFuncMan_.Reset();
    }

    TParamCollection& Plain() { return *stores_[0]; }
    TParamCollection& Fast() { return *stores_[1]; }

    // The same change to both stores: what a title does between two runs of one expression.
    template <typename F> void Change(F&& change)
    {
        for (auto& store : stores_)
            change(*store);
    }

    std::vector<uint8_t> Saved(TParamCollection& store)
    {
        TKwBigMemoryStream stream;
        store.SaveVariables(stream);
        return stream.TakeBytes();
    }

  private:
    static void Fill(TParamCollection& store)
    {
        store.AddVariable(ptInt, "i0").Value->SetInt(12);
        store.AddVariable(ptInt, "i1").Value->SetInt(-5);
        store.AddVariable(ptInt, "i2").Value->SetInt(0);
        store.AddVariable(ptFloat, "r0").Value->SetFloat(2.75);
        store.AddVariable(ptFloat, "r1").Value->SetFloat(-0.5);
        store.AddVariable(ptStr, "s0").Value->SetStr("abc");
        store.AddVariable(ptStr, "s1").Value->SetStr("42");
        store.AddVariable(ptStr, "s2").Value->SetStr("TRUE");
        store.AddVariable(ptFlag, "f0").Value->SetFlag(true);
        store.AddVariable(ptFlag, "f1");
        TCustomParam& a = *store.AddVariable(ptInt, "a").Value;
        a.SetDims({3, 4});
        for (int k = 0; k < 12; ++k)
            a.SetIntAt(k, k * 3 - 7);
        TCustomParam& sa = *store.AddVariable(ptStr, "sa").Value;
        sa.SetDims({5});
        sa.SetStrAt(1, "x");
        sa.SetStrAt(2, "TRUE");
        sa.SetStrAt(3, "17");
        store.AddVariable(ptFloat, "fa").Value->SetDims({2, 2});
    }

    TProcessObject<TSysFuncMan> sysFuncMan_{SysFuncMan};
    TBuiltinServices services_;
    std::unique_ptr<TParamCollection> stores_[2];
    std::vector<std::unique_ptr<TSystemHost>> hosts_;
};

std::string Shape(const TCustomParam* value)
{
    if (!value) return "none";
    std::string text = DescribeValue(value) + " count " + std::to_string(value->GetCount()) + " dims";
    for (int32_t extent : value->Dims)
        text += " " + std::to_string(extent);
    return text;
}

TEST(RunForm, RandomProgramsAgreeWithThePlainEvaluator)
{
    TTwinStores twins;
    TProgramMaker maker(20261211);
    int compared = 0;
    for (int n = 0; n < 3000; ++n) {
        std::string text = maker.Statement();
        TRukoParser plain;
        try {
            CompileText(Utf8ToCp932(text), plain);
        } catch (const std::exception&) {
            continue;
        }
        TRukoParser fast;
        fast.Assign(plain);
        // Between runs the store changes as titles change it: a variable redeclared with another
        // kind, a call with a local that hides a global, a new variable.
        for (int run = 0; run < 3; ++run) {
            bool okPlain = plain.ExecutePlain(twins.Plain());
            bool okFast = fast.Execute(twins.Fast());
            ASSERT_EQ(okPlain, okFast) << text << " run " << run;
            ASSERT_EQ(plain.LastError, fast.LastError) << text << " run " << run;
            ASSERT_EQ(Shape(plain.Result.get()), Shape(fast.Result.get())) << text << " run " << run;
            ASSERT_EQ(twins.Saved(twins.Plain()), twins.Saved(twins.Fast())) << text << " run " << run;
            ++compared;
            switch ((n + run) % 7) {
            case 0:
                twins.Change([](TParamCollection& store) {
                    TParamCollectionItem* i2 = store.FindDeclared("i2", false);
                    uint8_t kind = i2 && i2->Value->GetVarType() == ptInt ? ptStr : ptInt;
                    if (i2) store.Remove(*i2);
                    store.AddVariable(kind, "i2").Value->SetStr("7");
                });
                break;
            case 1:
                twins.Change([](TParamCollection& store) {
                    store.CurrentScope = 1;
                    TParamCollectionItem& local = store.AddVariable(ptFloat, "i0");
                    local.Local = 1;
                    local.ScopeId = 1;
                    local.Value->SetFloat(-8.5);
                    store.ScopesChanged();
                });
                break;
            case 2:
                twins.Change([](TParamCollection& store) {
                    store.DeleteScope(1);
                    store.CurrentScope = 0;
                });
                break;
            case 3:
                twins.Change([](TParamCollection& store) {
                    if (TParamCollectionItem* item = store.Find("r1")) item->CreateValue(ptStr);
                });
                break;
            default:
                break;
            }
        }
    }
    EXPECT_GT(compared, 3000);
}

// Every benchmark workload and an element write, once warm, run without touching the heap.
TEST(RunForm, AWarmProgramAllocatesNothingPerRun)
{
    TTwinStores twins;
    TParamCollection& store = twins.Fast();
    store.AddVariable(ptInt, "x");
    store.AddVariable(ptStr, "s");
    store.AddVariable(ptInt, "i").Value->SetInt(1);
    const char* texts[] = {
        "x = (i0 + a[1, 2]) * 3 - i1 / 7 + i0 % 5",
        "f1 = (i0 > i1) & (r0 <= r1) | (s0 <> s1)",
        "s = s0 ++ \"a longer text than fits in place\" ++ i0",
        "x = a[i, 3] + a[i + 1, 2] * 2",
        "a[i, 0] = x + 1",
        "i0 * 2 + 1 > 3",
    };
    for (const char* text : texts) {
        TRukoParser program;
        CompileText(Utf8ToCp932(text), program);
        ASSERT_TRUE(program.Execute(store)) << text << ": " << Cp932ToUtf8(program.LastError);
        ASSERT_TRUE(program.Execute(store)) << text;
        ruko::test::TAllocationWatch watch;
        for (int run = 0; run < 100; ++run)
            program.Execute(store);
        EXPECT_EQ(watch.Total(), 0u) << text;
    }
}

// A temporary that grew large is let go with its run rather than kept beside the variable it
// went to until the program runs again: the next run has to make it afresh.
TEST(RunForm, ALargeTemporaryIsNotKeptBetweenRuns)
{
    TTwinStores twins;
    TParamCollection& store = twins.Fast();
    store.AddVariable(ptStr, "big").Value->SetStr(std::string(100000, 'x'));
    store.AddVariable(ptStr, "s");
    TRukoParser program;
    CompileText("s = big ++ big ++ \"!\"", program);
    ASSERT_TRUE(program.Execute(store));
    ruko::test::TAllocationWatch watch;
    ASSERT_TRUE(program.Execute(store));
    EXPECT_GE(watch.Total(), 200000u);
    EXPECT_EQ(store.Find("s")->Value->GetStr().size(), 200001u);
}

} // namespace
