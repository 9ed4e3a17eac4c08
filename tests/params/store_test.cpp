// Values, conversions, shapes and lookup of the variable store.
#include "support.h"

#include <gtest/gtest.h>

namespace ruko::testing {
namespace {

TEST(Values, NewValuesReadAsTheZeroValueOfEveryKind)
{
    struct Case
    {
        uint8_t code;
        int32_t asInt;
        const char* asStr;
        bool asFlag;
    } cases[] = {
        {ptInt, 0, "0", false}, {ptFloat, 0, "0", false}, {ptFlag, 0, "FALSE", false}, {ptStr, 0, "", false}};
    for (const Case& c : cases) {
        auto value = CreateParamByType(c.code);
        EXPECT_EQ(value->GetVarType(), c.code);
        EXPECT_EQ(value->GetCount(), 1);
        EXPECT_EQ(value->GetInt(), c.asInt);
        EXPECT_EQ(value->GetStr(), c.asStr);
        EXPECT_EQ(value->GetFlag(), c.asFlag);
    }
    EXPECT_NE(dynamic_cast<TParamVar*>(CreateParamByType(0x80).get()), nullptr); // low seven bits
    EXPECT_NE(dynamic_cast<TParamInt*>(CreateParamByType(0x81).get()), nullptr);
    EXPECT_EQ(CreateParamByType(5), nullptr);
}

TEST(Values, ConversionsBetweenKinds)
{
    TParamStr s;
    struct Case
    {
        const char* text;
        int32_t asInt;
        Extended asFloat;
        bool flag;   // GetFlag
        bool flagAt; // GetFlagAt(0)
    } cases[] = {
        {"1", 1, 1, true, false},       {"TRUE", 0, 0, true, true},
        {"FALSE", 0, 0, false, false},  {"true", 0, 0, false, false},
        {" 12 ", 12, 12, true, false},  {"2.5", 0, 2.5, false, false},
        {"1e3", 0, 1000, false, false}, {"inf", 0, 0, false, false},
        {"nan", 0, 0, false, false},    {"0x10", 0, 0, false, false},
        {"1,5", 0, 0, false, false},    {"99999999999", 0, 99999999999.0L, false, false},
    };
    for (const Case& c : cases) {
        s.SetStr(c.text);
        EXPECT_EQ(s.GetInt(), c.asInt) << c.text;
        EXPECT_EQ(s.GetFloat(), c.asFloat) << c.text;
        EXPECT_EQ(s.GetFlag(), c.flag) << c.text;
        EXPECT_EQ(s.GetFlagAt(0), c.flagAt) << c.text;
    }

    TParamFloat x;
    struct Real
    {
        Extended value;
        int32_t asInt;
        const char* asStr;
    } reals[] = {
        {2.9L, 2, "2.9"},
        {-2.9L, -2, "-2.9"},
        {4294967297.0L, 1, "4294967297"}, // low 32 bits of the 64-bit truncation
        {1e300L, 0, "1E300"},
        {std::numeric_limits<Extended>::quiet_NaN(), 0, "NAN"},
        {std::numeric_limits<Extended>::infinity(), 0, "INF"},
        {0.1L + 0.2L, 0, "0.3"},
        {1e-5L, 0, "1E-5"},
    };
    for (const Real& r : reals) {
        x.SetFloat(r.value);
        EXPECT_EQ(x.GetInt(), r.asInt) << r.asStr;
        EXPECT_EQ(x.GetStr(), r.asStr);
    }

    TParamFlag f;
    f.SetStr("TRUE");
    EXPECT_TRUE(f.GetFlag());
    f.SetStr("1");
    EXPECT_FALSE(f.GetFlag()); // only "TRUE" stores as set
    f.SetFloat(0.5);
    EXPECT_EQ(f.GetStr(), "TRUE");
    EXPECT_EQ(f.GetFloat(), 1);

    TParamInt n;
    n.SetStr("abc");
    EXPECT_EQ(n.GetInt(), 0);
    n.SetFlag(true);
    EXPECT_EQ(n.GetStr(), "1");
    n.SetInt(-2147483647 - 1);
    EXPECT_EQ(n.GetStr(), "-2147483648");
}

TEST(Values, ScalarAccessOnAnEmptyValue)
{
    TParamStr s;
    s.SetCount(0);
    EXPECT_EQ(s.GetStr(), "");
    EXPECT_EQ(s.GetInt(), 0);
    s.SetStr("x"); // grows to one element
    EXPECT_EQ(s.GetCount(), 1);
    EXPECT_EQ(s.GetStr(), "x");

    TParamInt n;
    n.SetDims({2, 2});
    n.RemoveValue(nullptr); // every element is the zero value
    EXPECT_EQ(n.GetCount(), 0);
    EXPECT_EQ(n.GetInt(), 0);
    n.SetInt(4);
    EXPECT_EQ(n.GetCount(), 1);
    EXPECT_TRUE(n.Dims.empty());
}

TEST(Values, ShapesAndElementIndexes)
{
    TParamInt a;
    a.SetDims({3, 4});
    EXPECT_EQ(a.GetCount(), 12);
    EXPECT_EQ(a.GetDimCount(), 2);
    EXPECT_EQ(a.GetDim(5), 1);
    a.SetIntAt(11, 7);
    EXPECT_EQ(ErrorOf([&] { a.GetIntAt(12); }), "[12]:配列の添字が不正です");
    EXPECT_EQ(ErrorOf([&] { a.SetIntAt(-1, 0); }), "[-1]:配列の添字が不正です");

    a.SetInt(5); // a scalar again
    EXPECT_EQ(a.GetCount(), 1);
    EXPECT_TRUE(a.Dims.empty());
    EXPECT_EQ(a.GetInt(), 5);

    TParamInt vector;
    vector.SetCount(3);
    vector.SetIntAt(2, 9);
    vector.SetInt(1); // an unshaped vector keeps its other elements
    EXPECT_EQ(vector.GetCount(), 3);
    EXPECT_EQ(vector.GetIntAt(2), 9);

    struct Bad
    {
        std::vector<int32_t> extents;
        const char* message;
    } bad[] = {
        {{3, 0}, "配列の要素数[3,0]が不正です"},
        {{2, -1}, "配列の要素数[2,-1]が不正です"},
        {{65536, 65536}, "配列の要素数[65536,65536]が不正です"},
        {{2147483647, 2147483647, 2}, "配列の要素数[2147483647,2147483647,2]が不正です"},
        {{1 << 12, 1 << 12, 2}, "配列の要素数[4096,4096,2]が不正です"},
    };
    for (const Bad& b : bad) {
        TParamStr s;
        s.SetDims({2});
        EXPECT_EQ(ErrorOf([&] { s.SetDims(b.extents); }), b.message);
        EXPECT_EQ(s.GetCount(), 2); // unchanged
    }
    TParamFlag big;
    big.SetDims({1 << 12, 1 << 12}); // exactly the cap
    EXPECT_EQ(big.GetCount(), 1 << 24);
}

TEST(Values, BindElementAddressesRowMajor)
{
    TParamCollection store;
    TCustomParam& a = *store.AddVariable(ptInt, "a").Value;
    a.SetDims({3, 4});
    TParamVar element;
    element.BindElement(store, "a", {1, 2});
    EXPECT_EQ(element.Index, 6);
    element.SetInt(42);
    EXPECT_EQ(a.GetIntAt(6), 42);
    EXPECT_EQ(element.GetStr(), "42");
    EXPECT_EQ(element.GetVarType(), ptInt);

    EXPECT_EQ(ErrorOf([&] { element.BindElement(store, "a", {3, 0}); }), "a[3,0]\r\n要素数を超えています");
    EXPECT_EQ(ErrorOf([&] { element.BindElement(store, "a", {1}); }), "a[1]\r\n添え字が不正です");
    EXPECT_EQ(ErrorOf([&] { element.BindElement(store, "b", {1}); }), "\"b\" 変数がありません");
    // Huge subscripts neither overflow nor pass.
    EXPECT_EQ(ErrorOf([&] {
                  element.BindElement(store, "a", {2147483647, 2147483647});
              }),
              "a[2147483647,2147483647]\r\n要素数を超えています");
    // A negative index binds; the access raises.
    element.BindElement(store, "a", {-1, 0});
    EXPECT_EQ(ErrorOf([&] { element.GetInt(); }), "[-4]:配列の添字が不正です");

    // A freed target leaves an empty reference, never a dangling one.
    element.BindElement(store, "a", {0, 0});
    store.Remove(*store.Find("a"));
    EXPECT_EQ(element.GetInt(), 0);
    EXPECT_EQ(element.GetVarType(), ptVar);
    element.SetInt(1);
}

TEST(Values, CopiesUniqueAndRemove)
{
    TParamStr s;
    TParamInt n;
    EXPECT_EQ(ErrorOf([&] { n.CopyMem(s); }), "CopyMem:変数の型があいません");

    TParamInt a, b;
    b.SetCount(3);
    b.SetIntAt(1, 5);
    a.CopyMem(b);
    EXPECT_EQ(a.GetCount(), 3);
    EXPECT_EQ(a.Dims, std::vector<int32_t>{1}); // an unshaped source gives one extent
    EXPECT_EQ(a.GetIntAt(1), 5);

    TParamFlag flags;
    flags.Data = {1, 1, 0, 1};
    flags.Unique();
    EXPECT_EQ(flags.Data, (std::vector<uint8_t>{1, 0}));
    flags.Data = {1, 0, 1, 1};
    TParamInt zero;
    flags.RemoveValue(&zero);
    EXPECT_EQ(flags.Data, (std::vector<uint8_t>{1, 1, 1}));

    TParamStr words;
    words.Data = {"b", "B", "a", "b"};
    words.Unique();
    EXPECT_EQ(words.Data, (std::vector<std::string>{"b", "B", "a"}));
    EXPECT_EQ(words.IndexOfStr("A", false, false), 2);
    EXPECT_EQ(words.IndexOfStr("A", true, false), -1);
    EXPECT_EQ(words.IndexOfStr("x", true, true), -1);
}

TEST(Values, ConvertFromReshapesAndConverts)
{
    TParamCollection store;
    TParamCollectionItem& target = store.AddVariable(ptStr, "t");
    TParamInt source;
    source.SetDims({2, 2});
    source.SetIntAt(3, 8);
    target.ConvertFrom(source);
    EXPECT_EQ(target.Value->GetDimCount(), 2);
    EXPECT_EQ(target.Value->GetStrAt(3), "8");
}

TEST(Store, NamesAndScopedLookup)
{
    TParamCollection store;
    EXPECT_EQ(store.Count(), size_t(SystemVariableCount));
    EXPECT_EQ(store.Find("@textdelay"), &store.Item(7));
    for (const char* bad : {"", "a b", "1a"}) {
        std::string expected = std::string("\"") + bad + "\"：変数名が不正です";
        EXPECT_EQ(ErrorOf([&] { store.AddVariable(ptInt, bad); }), expected);
    }
    EXPECT_EQ(store.Count(), size_t(SystemVariableCount)); // nothing half-added

    TParamCollectionItem& first = store.AddVariable(ptInt, "Value");
    TParamCollectionItem& second = store.AddVariable(ptInt, "VALUE");
    EXPECT_EQ(store.Find("value"), &first); // the older of two globals
    TParamCollectionItem& local = store.AddVariable(ptInt, "value");
    local.Local = 1;
    local.ScopeId = 2;
    for (int32_t depth : {1, 3}) {
        store.CurrentScope = depth;
        EXPECT_EQ(store.Find("value"), &first) << depth;
    }
    store.CurrentScope = 2;
    EXPECT_EQ(store.Find("value"), &local);
    EXPECT_EQ(store.FindDeclared("value", true), &local);
    EXPECT_EQ(store.FindDeclared("value", false), &first);

    store.Remove(first);
    store.CurrentScope = 0;
    EXPECT_EQ(store.Find("value"), &second);
    second.ScopeId = 2;
    store.DeleteScope(2);
    EXPECT_EQ(store.Find("value"), nullptr);
    EXPECT_EQ(store.Count(), size_t(SystemVariableCount));

    // Renaming re-indexes; a two-byte name whose trail byte is an ASCII letter folds only the ASCII.
    TParamCollectionItem& renamed = store.AddVariable(ptInt, "old");
    renamed.SetName(Cp("ア"));
    EXPECT_EQ(store.Find("old"), nullptr);
    EXPECT_EQ(store.Find(Cp("ア")), &renamed);
    EXPECT_EQ(store.Find(Cp("ャ")), nullptr); // 0x83 0x61, what folding the trail byte would make
}

TEST(Store, SnapshotCopiesTheValue)
{
    TParamCollection store;
    store.AddVariable(ptInt, "n").Value->SetDims({2});
    auto copy = store.Snapshot("N");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetCount(), 2);
    store.Find("n")->Value->SetIntAt(0, 3);
    EXPECT_EQ(copy->GetIntAt(0), 0);
    EXPECT_EQ(store.Snapshot("missing"), nullptr);
    store.AddVariable(ptVar, "r");
    EXPECT_EQ(ErrorOf([&] { store.Snapshot("r"); }), "r:不正な変数です");
    EXPECT_EQ(store.Snapshot("@Pi")->GetVarType(), ptFloat);
}

} // namespace
} // namespace ruko::testing
