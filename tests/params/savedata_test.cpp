// The store's save data: round trips, every accepted older layout, and damaged input.
#include "support.h"

#include "io/fields.h"

#include <gtest/gtest.h>

#include <set>

namespace ruko::testing {
namespace {

std::vector<uint8_t> SaveVariables(const TParamCollection& store)
{
    TKwBigMemoryStream s;
    store.SaveVariables(s);
    return s.TakeBytes();
}

void LoadVariables(TParamCollection& store, const std::vector<uint8_t>& bytes, int32_t version = 144)
{
    TKwBigMemoryStream s(bytes);
    store.LoadVariables(s, version);
    EXPECT_EQ(s.GetPosition(), s.GetSize());
}

// A store with every kind, a shape, a two-byte name, a local, a reference and a persistent.
void Populate(TParamCollection& store)
{
    TCustomParam& a = *store.AddVariable(ptInt, "a").Value;
    a.SetDims({2, 3});
    a.SetIntAt(5, -7);
    store.AddVariable(ptFloat, "x").Value->SetFloat(0.1L);
    store.AddVariable(ptFlag, "f").Value->SetFlag(true);
    TParamCollectionItem& text = store.AddVariable(ptStr, Cp("表示"));
    text.Value->SetCount(2);
    text.Value->SetStrAt(1, Cp("ソ\\|"));
    text.SpareFlag = 1;
    TParamCollectionItem& local = store.AddVariable(ptInt, "loc");
    local.Local = 1;
    local.ScopeId = 3;
    store.AddVariable(ptInt, "keep").Persistent = 1;
    store.TextDelay = 20;
    store.Cursor = "hand";
    store.SelStr = "choice";
    store.SelIndex = 4;
    store.TempName = "a";
}

// Describes the ordinary variables (store order) and the trailer fields.
std::string Contents(const TParamCollection& store)
{
    std::string out;
    for (size_t i = SystemVariableCount; i < store.Count(); ++i) {
        const TParamCollectionItem& item = store.Item(i);
        if (item.Persistent) continue;
        const TCustomParam& v = *item.Value;
        out += Cp932ToUtf8(item.Name()) + ":" + IntToStr(v.GetVarType()) + "[";
        for (int32_t d = 0; d < static_cast<int32_t>(v.Dims.size()); ++d)
            out += IntToStr(v.Dims[d]) + ",";
        out += "]";
        for (int32_t k = 0; k < v.GetCount(); ++k)
            out += Cp932ToUtf8(v.GetStrAt(k)) + ";";
        out += " s" + IntToStr(item.SpareFlag) + " l" + IntToStr(item.Local) + " @" + IntToStr(item.ScopeId) +
               "\n";
    }
    out += IntToStr(store.TextDelay) + " " + store.Cursor + " " + store.SelStr + " " +
           IntToStr(store.SelIndex) + " " + store.TempName;
    return out;
}

std::multiset<std::string> Lines(const std::string& text)
{
    std::multiset<std::string> lines;
    for (const std::string& line : SplitText(text, '\n'))
        lines.insert(line);
    return lines;
}

TEST(SaveData, VariablesRoundTrip)
{
    TParamCollection store;
    Populate(store);
    store.AddVariable(ptVar, "r");
    auto* ref = static_cast<TParamVar*>(store.Find("r")->Value.get());
    ref->BindElement(store, "a", {1, 2});
    ref->Reserved = 9;
    store.PushVariables({"x", Cp("表示")});
    std::vector<uint8_t> bytes = SaveVariables(store);

    TParamCollection loaded;
    loaded.AddVariable(ptInt, "stale");
    LoadVariables(loaded, bytes);
    EXPECT_EQ(loaded.Find("stale"), nullptr);
    // The reference came after its target and was bound again by name.
    auto* loadedRef = dynamic_cast<TParamVar*>(loaded.Find("r")->Value.get());
    ASSERT_NE(loadedRef, nullptr);
    EXPECT_EQ(loadedRef->GetInt(), -7);
    EXPECT_EQ(loadedRef->Reserved, 9);
    EXPECT_EQ(loaded.PushedSets, store.PushedSets);
    // Items are written from the end of the store, so the order flips with every save and load:
    // two round trips give the same bytes again.
    EXPECT_EQ(Lines(Contents(loaded)), Lines(Contents(store)));
    TParamCollection twice;
    LoadVariables(twice, SaveVariables(loaded));
    EXPECT_EQ(SaveVariables(twice), bytes);
    EXPECT_EQ(loaded.Find("keep"), nullptr); // persistent variables travel on their own

    loaded.Find("x")->Value->SetFloat(5);
    EXPECT_TRUE(loaded.PopVariables());
    EXPECT_EQ(loaded.Find("x")->Value->GetFloat(), 0.1L);
}

TEST(SaveData, ReferenceIsWrittenAfterItsTargetWhateverTheStoreOrder)
{
    TParamCollection store;
    store.AddVariable(ptVar, "early");
    store.AddVariable(ptStr, "target").Value->SetStr("t");
    static_cast<TParamVar*>(store.Find("early")->Value.get())->BindElement(store, "target", {0});
    // A reference to a variable outside the group (a system variable) is still written.
    store.AddVariable(ptVar, "outside");
    static_cast<TParamVar*>(store.Find("outside")->Value.get())->Target =
        store.Shared(*store.Find("@TextDelay"));
    std::vector<uint8_t> bytes = SaveVariables(store);

    TKwBigMemoryStream s(bytes);
    EXPECT_EQ(ReadU32(s), 3u);
    std::vector<std::string> order;
    for (int k = 0; k < 3; ++k) {
        uint8_t code = ReadByte(s);
        TParamCollectionItem item(CreateParamByType(code));
        item.LoadItem(s);
        order.push_back(item.Name());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"target", "early", "outside"}));

    TParamCollection loaded;
    LoadVariables(loaded, bytes);
    EXPECT_EQ(loaded.Find("early")->Value->GetStr(), "t");
    EXPECT_EQ(loaded.Find("outside")->Value->GetInt(), 50);
}

// Writes the ordinary section in the layout of `version` with the field routines.
std::vector<uint8_t> LegacySection(int32_t version)
{
    TKwBigMemoryStream s;
    WriteU32(s, 3);
    // integer array n[2] = {4, 5}
    WriteByte(s, ptInt);
    WriteStr(s, "n");
    WriteU32(s, 1);
    WriteInt(s, 2);
    WriteU32(s, 2);
    WriteInt(s, 4);
    WriteInt(s, 5);
    WriteByte(s, 0);
    WriteByte(s, 0);
    WriteInt(s, -1);
    WriteByte(s, 0);
    // an item with an empty name: skipped, the stream stays in step
    WriteByte(s, ptStr);
    WriteStr(s, "");
    WriteU32(s, 0);
    WriteU32(s, 1);
    WriteStr(s, "ignored");
    WriteByte(s, 0);
    WriteByte(s, 0);
    WriteInt(s, -1);
    WriteByte(s, 0);
    // real r = 1.5
    WriteByte(s, ptFloat);
    WriteStr(s, "r");
    WriteU32(s, 0);
    WriteU32(s, 1);
    WriteExtended(s, 1.5);
    WriteByte(s, 0);
    WriteByte(s, 1);
    WriteInt(s, -1);
    WriteByte(s, 0);

    WriteInt(s, 30);
    WriteStr(s, "cur");
    if (version > 102) {
        WriteStr(s, "sel");
        WriteInt(s, 2);
    }
    if (version > 112 && version < 135)
        for (int32_t m : {16, 1, 2, 400, 300, 4})
            WriteInt(s, m);
    if (version > 120) WriteStr(s, "n");
    if (version >= 139) {
        WriteInt(s, 1);
        WriteInt(s, 1); // one variable in the set
        WriteInt(s, ptInt);
        WriteStr(s, "n");
        WriteU32(s, 0);
        WriteU32(s, 1);
        WriteInt(s, 99);
    }
    return s.TakeBytes();
}

TEST(SaveData, EveryAcceptedVersionLoads)
{
    for (int32_t version : {107, 112, 113, 120, 121, 134, 135, 138, 139, 144}) {
        TParamCollection store;
        store.SelStr = "before";
        store.TempName = "before";
        LoadVariables(store, LegacySection(version), version);
        EXPECT_EQ(store.Count(), size_t(SystemVariableCount + 2)) << version;
        EXPECT_EQ(store.Find("n")->Value->GetIntAt(1), 5) << version;
        EXPECT_EQ(store.Find("r")->Value->GetFloat(), 1.5) << version;
        EXPECT_EQ(store.Find("r")->SpareFlag, 1) << version;
        EXPECT_EQ(store.TextDelay, 30);
        EXPECT_EQ(store.Cursor, "cur");
        EXPECT_EQ(store.SelStr, "sel");
        EXPECT_EQ(store.SelIndex, 2);
        EXPECT_EQ(store.TempName, version > 120 ? "n" : "before") << version;
        EXPECT_EQ(store.LoadedHistoryMetrics.has_value(), version > 112 && version < 135) << version;
        if (store.LoadedHistoryMetrics) {
            EXPECT_EQ(store.LoadedHistoryMetrics->Width, 400);
        }
        EXPECT_EQ(store.PushedSets.size(), version >= 139 ? 1u : 0u) << version;
        if (version >= 139) {
            EXPECT_TRUE(store.PopVariables());
            EXPECT_EQ(store.Find("n")->Value->GetInt(), 99);
        }
    }
}

TEST(SaveData, PersistentVariablesHaveTheirOwnSection)
{
    TParamCollection store;
    Populate(store);
    TKwBigMemoryStream s;
    store.SavePersistent(s);
    s.SetPosition(0);
    TParamCollection loaded;
    loaded.LoadPersistent(s, 144);
    EXPECT_EQ(loaded.Count(), size_t(SystemVariableCount + 1));
    EXPECT_EQ(loaded.Find("keep")->Persistent, 1);

    // A persistent variable the project declared first is filled, not shadowed by a second one.
    store.Find("keep")->Value->SetInt(42);
    TKwBigMemoryStream again;
    store.SavePersistent(again);
    again.SetPosition(0);
    loaded.LoadPersistent(again, 144);
    EXPECT_EQ(loaded.Count(), size_t(SystemVariableCount + 1));
    EXPECT_EQ(loaded.Find("keep")->Value->GetInt(), 42);

    // Ordinary loads and clears leave persistent variables alone.
    LoadVariables(loaded, SaveVariables(TParamCollection()));
    EXPECT_NE(loaded.Find("keep"), nullptr);
    loaded.AddVariable(ptInt, "gone");
    loaded.TextDelay = 3;
    loaded.ClearVariables();
    EXPECT_NE(loaded.Find("keep"), nullptr);
    EXPECT_EQ(loaded.Find("gone"), nullptr);
    EXPECT_EQ(loaded.TextDelay, 50);
}

// Damage applied to a valid section: each must be refused and leave the store as it was.
TEST(SaveData, DamagedSectionsAreRefusedAndTheStoreKept)
{
    auto item = [](uint8_t code, const std::function<void(TKwBigStream&)>& value) {
        TKwBigMemoryStream s;
        WriteU32(s, 1);
        WriteByte(s, code);
        WriteStr(s, "v");
        value(s);
        WriteByte(s, 0);
        WriteByte(s, 0);
        WriteInt(s, -1);
        WriteByte(s, 0);
        WriteInt(s, 50);
        WriteStr(s, "");
        WriteStr(s, "");
        WriteInt(s, 0);
        WriteStr(s, "");
        WriteInt(s, 0);
        return s.TakeBytes();
    };
    auto elements = [](std::vector<int32_t> dims, uint32_t count) {
        return [dims, count](TKwBigStream& s) {
            WriteU32(s, static_cast<uint32_t>(dims.size()));
            for (int32_t d : dims)
                WriteInt(s, d);
            WriteU32(s, count);
            for (uint32_t k = 0; k < count && k < 16; ++k)
                WriteInt(s, 0);
        };
    };
    struct Case
    {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"unknown type code", item(7, elements({}, 1))},
        {"element count beyond the data", item(ptInt, elements({}, 0x10000000))},
        {"extent count beyond the data", item(ptInt, [](TKwBigStream& s) { WriteU32(s, 0xFFFFFFF0); })},
        {"string length beyond the data", item(ptStr,
                                               [](TKwBigStream& s) {
                                                   WriteU32(s, 0);
                                                   WriteU32(s, 1);
                                                   WriteU32(s, 1000);
                                               })},
        {"zero extent", item(ptInt, elements({0}, 0))},
        {"negative extent", item(ptInt, elements({-2, -2}, 4))},
        {"extents whose product overflows", item(ptInt, elements({65536, 65536, 2}, 0))},
        {"count above the element cap", item(ptFlag, elements({}, (1u << 24) + 1))},
        {"truncated trailer", std::vector<uint8_t>{1, 0, 0, 0, ptInt}},
    };
    for (Case& c : cases) {
        TParamCollection store;
        Populate(store);
        std::string before = Contents(store);
        TKwBigMemoryStream s(c.bytes);
        std::string error = ErrorOf([&] { store.LoadVariables(s, 144); });
        EXPECT_NE(error, "") << c.what;
        EXPECT_EQ(Contents(store), before) << c.what;
    }
}

TEST(SaveData, DamagedPushedSetsAndPersistentSectionsAreRefused)
{
    TParamCollection source;
    source.AddVariable(ptInt, "v");
    source.PushVariables({"v"});
    std::vector<uint8_t> bytes = SaveVariables(source);
    // The pushed set's type code (first field after its count) made unknown.
    std::vector<uint8_t> damaged = bytes;
    size_t setStart = damaged.size() - source.PushedSets[0].size();
    damaged[setStart + 4] = 9;
    TParamCollection store;
    Populate(store);
    std::string before = Contents(store);
    TKwBigMemoryStream s(damaged);
    EXPECT_NE(ErrorOf([&] { store.LoadVariables(s, 144); }), "");
    EXPECT_EQ(Contents(store), before);

    TKwBigMemoryStream persistent(std::vector<uint8_t>{5, 0, 0, 0, 1});
    size_t count = store.Count();
    EXPECT_NE(ErrorOf([&] { store.LoadPersistent(persistent, 144); }), "");
    EXPECT_EQ(store.Count(), count);
}

} // namespace
} // namespace ruko::testing

namespace ruko::testing {
namespace {

// Reference records whose targets lead back to themselves read as empty instead of recursing.
TEST(SaveData, ReferenceLoopsReadAsEmpty)
{
    auto reference = [](TKwBigStream& s, const std::string& name, const std::string& target) {
        WriteByte(s, ptVar);
        WriteStr(s, name);
        WriteU32(s, 0);
        WriteStr(s, name);
        WriteStr(s, target);
        WriteByte(s, 0);
        WriteInt(s, 0);
        WriteByte(s, 0);
        WriteByte(s, 0);
        WriteInt(s, -1);
        WriteByte(s, 0);
    };
    TKwBigMemoryStream s;
    WriteU32(s, 3);
    reference(s, "self", "self");
    reference(s, "ping", "pong");
    reference(s, "pong", "ping");
    WriteInt(s, 50);
    WriteStr(s, "");
    WriteStr(s, "");
    WriteInt(s, 0);
    WriteStr(s, "ping"); // "@Temp" joins the loop too
    WriteInt(s, 0);
    TParamCollection store;
    LoadVariables(store, s.TakeBytes());
    for (const char* name : {"self", "ping", "@Temp"}) {
        TCustomParam& value = *store.Find(name)->Value;
        EXPECT_EQ(value.GetInt(), 0) << name;
        EXPECT_EQ(value.GetStr(), "") << name;
        value.SetInt(1);
        EXPECT_EQ(value.GetCount(), 0) << name;
    }
    EXPECT_EQ(Eval(store, "self + ping ++ @Temp"), "string 0");
    std::vector<uint8_t> saved = SaveVariables(store); // the loop is written without walking forever
    EXPECT_FALSE(saved.empty());
}

} // namespace
} // namespace ruko::testing
