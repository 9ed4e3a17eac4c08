#include "base/error.h"
#include "base/numbers.h"
#include "io/fields.h"
#include "params/param.h"
#include "records/dbmanager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ruko {
namespace {

std::unique_ptr<TCustomParam> Strs(std::vector<std::string> items)
{
    auto p = std::make_unique<TParamStr>();
    p->Data = std::move(items);
    return p;
}

std::unique_ptr<TCustomParam> Ints(std::vector<int32_t> items)
{
    auto p = std::make_unique<TParamInt>();
    p->Data = std::move(items);
    return p;
}

std::unique_ptr<TCustomParam> Flags(std::vector<uint8_t> items)
{
    auto p = std::make_unique<TParamFlag>();
    p->Data = std::move(items);
    return p;
}

// A table with fields i int, f float, b bool, s string(8).
std::unique_ptr<TDBTable> MixedTable(int records)
{
    auto t = std::make_unique<TDBTable>();
    t->Fields.AddField("i", ftInt, 0);
    t->Fields.AddField("f", ftFloat, 0);
    t->Fields.AddField("b", ftBool, 0);
    t->Fields.AddField("s", ftString, 8);
    for (int r = 0; r < records; ++r)
        t->Append();
    return t;
}

std::string Str(TDBTable& t, int32_t record, int32_t field)
{
    std::string s;
    EXPECT_TRUE(t.GetStr(record, field, s));
    return s;
}

// A value whose kind is none of the four (a call result outside any call).
struct NoKind final : TCustomParam
{
    uint8_t GetVarType() const override { return ptVar; }
    std::unique_ptr<TCustomParam> Clone() const override { return std::make_unique<NoKind>(); }
};

std::vector<int32_t> Select(TDBTable& t, const TCustomParam* names, const TCustomParam* values,
                            bool ignoreCase = false, bool partial = false)
{
    std::vector<int32_t> rows;
    t.Select(rows, names, values, ignoreCase, partial);
    return rows;
}

TEST(TableFields, AddFieldRefusesBadTypesLengthsAndDuplicateNames)
{
    TDBTable t;
    EXPECT_EQ(t.Fields.AddField("Name", ftString, 0), 0);
    EXPECT_EQ(t.Fields.AddField("NAME", ftInt, 0), -1);
    EXPECT_EQ(t.Fields.AddField("x", 0, 0), -1);
    EXPECT_EQ(t.Fields.AddField("x", 5, 0), -1);
    EXPECT_EQ(t.Fields.AddField("x", ftString, -1), -1);
    EXPECT_EQ(t.Fields.AddField("x", ftString, MaxDBStringLength + 1), -1);
    EXPECT_EQ(t.Fields.AddField("x", ftString, MaxDBStringLength), 1);
    EXPECT_EQ(t.Fields.AddField("y", ftFloat, -7), 2); // the length counts only for strings
    EXPECT_EQ(t.Fields.RecordSize(), 1u + 65536u + 10u);
    EXPECT_EQ(t.Fields.Offset(2), 1u + 65536u);
}

TEST(TableFields, AFieldAddedToFilledRecordsIsZeroAndKeepsTheOthers)
{
    TDBTable t;
    t.Fields.AddField("a", ftInt, 0);
    t.Append();
    t.SetInt(0, 0, 7);
    t.Append();
    t.SetInt(1, 0, -9);
    for (int type : {ftInt, ftFloat, ftBool, ftString})
        t.Fields.AddField("n" + std::to_string(type), type, 4);
    for (int32_t r = 0; r < 2; ++r)
        EXPECT_EQ(Str(t, r, 1) + "|" + Str(t, r, 2) + "|" + Str(t, r, 3) + "|" + Str(t, r, 4), "0|0|FALSE|");
    EXPECT_EQ(Str(t, 0, 0), "7");
    EXPECT_EQ(Str(t, 1, 0), "-9");
}

TEST(TableFields, SameAsComparesNamesCaseSensitivelyAndAssignFromKeepsLengths)
{
    TDBTable a, b;
    a.Fields.AddField("k", ftString, 12);
    b.Fields.AddField("K", ftString, 12);
    EXPECT_FALSE(a.Fields.SameAs(b.Fields));
    b.Fields.AssignFrom(a.Fields);
    EXPECT_TRUE(a.Fields.SameAs(b.Fields));
    EXPECT_EQ(b.Fields[0].Size, 13u);
}

TEST(TableRecords, NavigationBounds)
{
    auto t = MixedTable(0);
    EXPECT_FALSE(t->First());
    EXPECT_FALSE(t->Delete());
    t->Append();
    t->Append();
    t->Append();
    EXPECT_EQ(t->RecNo, 2);
    EXPECT_FALSE(t->Next());
    EXPECT_FALSE(t->SetRecNo(3));
    EXPECT_EQ(t->RecNo, 2);
    EXPECT_TRUE(t->SetRecNo(-5));
    EXPECT_EQ(t->RecNo, -1);
    EXPECT_FALSE(t->CurrentRecord());
    EXPECT_FALSE(t->Next());
    EXPECT_FALSE(t->Prior());
    EXPECT_TRUE(t->First());
    EXPECT_FALSE(t->Prior());
    EXPECT_TRUE(t->Next());
    EXPECT_EQ(t->RecNo, 1);
}

TEST(TableRecords, DeleteMovesLaterRecordsUpAndKeepsACurrentRecord)
{
    auto t = MixedTable(3);
    for (int32_t r = 0; r < 3; ++r)
        t->SetInt(r, 0, r * 10);
    t->SetRecNo(1);
    EXPECT_TRUE(t->Delete());
    EXPECT_EQ(t->RecNo, 1);
    EXPECT_EQ(Str(*t, 1, 0), "20");
    EXPECT_TRUE(t->Delete());
    EXPECT_EQ(t->RecNo, 0);
    EXPECT_TRUE(t->Delete());
    EXPECT_EQ(t->RecNo, -1);
    EXPECT_EQ(t->RecordCount(), 0);
}

TEST(TableRecords, TypedAccessOutsideTheTableFails)
{
    auto t = MixedTable(1);
    int32_t v = 5;
    EXPECT_FALSE(t->GetInt(1, 0, v));
    EXPECT_FALSE(t->GetInt(-1, 0, v));
    EXPECT_FALSE(t->GetInt(0, 4, v));
    EXPECT_FALSE(t->SetStr(0, -1, "x"));
    EXPECT_EQ(v, 5);
    t->SetRecNo(-1);
    EXPECT_FALSE(t->SetIntByName("i", 3));
    EXPECT_FALSE(t->GetIntByName("nosuch", v));
}

// Each written value read back from each field type as the four kinds.
TEST(TableValues, ConversionsBetweenFieldTypesAndKinds)
{
    const Extended inf = std::numeric_limits<Extended>::infinity();
    struct Case
    {
        const char* what;
        std::function<void(TDBTable&, int32_t)> write;
        int32_t field;
        int32_t asInt;
        Extended asFloat;
        bool asBool;
        std::string asStr;
    };
    const std::vector<Case> cases = {
        {"int from int", [](TDBTable& t, int32_t f) { t.SetInt(0, f, -42); }, 0, -42, -42, true, "-42"},
        {"int from 2.5", [](TDBTable& t, int32_t f) { t.SetFloat(0, f, 2.5L); }, 0, 2, 2, true, "2"},
        {"int from 3.5", [](TDBTable& t, int32_t f) { t.SetFloat(0, f, 3.5L); }, 0, 4, 4, true, "4"},
        {"int from -2.5", [](TDBTable& t, int32_t f) { t.SetFloat(0, f, -2.5L); }, 0, -2, -2, true, "-2"},
        {"int from NaN", [](TDBTable& t, int32_t f) { t.SetFloat(0, f, std::nanl("")); }, 0, 0, 0, false,
         "0"},
        {"int from inf", [inf](TDBTable& t, int32_t f) { t.SetFloat(0, f, inf); }, 0, 0, 0, false, "0"},
        {"int from 1e30", [](TDBTable& t, int32_t f) { t.SetFloat(0, f, 1e30L); }, 0, 0, 0, false, "0"},
        {"int from text", [](TDBTable& t, int32_t f) { t.SetStr(0, f, " 12 "); }, 0, 12, 12, true, "12"},
        {"int from junk", [](TDBTable& t, int32_t f) { t.SetStr(0, f, "12x"); }, 0, 0, 0, false, "0"},
        {"int from flag", [](TDBTable& t, int32_t f) { t.SetBool(0, f, true); }, 0, 1, 1, true, "1"},
        {"float keeps", [](TDBTable& t, int32_t f) { t.SetFloat(0, f, 2.5L); }, 1, 2, 2.5L, true, "2.5"},
        {"float 3.5 to int", [](TDBTable& t, int32_t f) { t.SetFloat(0, f, 3.5L); }, 1, 4, 3.5L, true, "3.5"},
        {"float from text", [](TDBTable& t, int32_t f) { t.SetStr(0, f, "1E3"); }, 1, 1000, 1000, true,
         "1000"},
        {"float from inf text", [](TDBTable& t, int32_t f) { t.SetStr(0, f, "inf"); }, 1, 0, 0, false, "0"},
        {"float 1e30 to int", [](TDBTable& t, int32_t f) { t.SetFloat(0, f, 1e30L); }, 1, 0, 1e30L, true,
         "1E30"},
        {"bool from 7", [](TDBTable& t, int32_t f) { t.SetInt(0, f, 7); }, 2, 1, 1, true, "TRUE"},
        {"bool from 0.0", [](TDBTable& t, int32_t f) { t.SetFloat(0, f, 0); }, 2, 0, 0, false, "FALSE"},
        {"bool from TRUE", [](TDBTable& t, int32_t f) { t.SetStr(0, f, "TRUE"); }, 2, 1, 1, true, "TRUE"},
        {"bool from True", [](TDBTable& t, int32_t f) { t.SetStr(0, f, "True"); }, 2, 0, 0, false, "FALSE"},
        {"text from int", [](TDBTable& t, int32_t f) { t.SetInt(0, f, -5); }, 3, -5, -5, false, "-5"},
        {"text from real", [](TDBTable& t, int32_t f) { t.SetFloat(0, f, 0.25L); }, 3, 0, 0.25L, false,
         "0.25"},
        {"text from flag", [](TDBTable& t, int32_t f) { t.SetBool(0, f, true); }, 3, 0, 0, true, "TRUE"},
        {"text 2.5 to int", [](TDBTable& t, int32_t f) { t.SetStr(0, f, "2.5"); }, 3, 0, 2.5L, false, "2.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto t = MixedTable(1);
        c.write(*t, c.field);
        int32_t i = -1;
        Extended x = -1;
        bool b = false;
        ASSERT_TRUE(t->GetInt(0, c.field, i));
        ASSERT_TRUE(t->GetFloat(0, c.field, x));
        ASSERT_TRUE(t->GetBool(0, c.field, b));
        EXPECT_EQ(i, c.asInt);
        EXPECT_EQ(x, c.asFloat);
        EXPECT_EQ(b, c.asBool);
        EXPECT_EQ(Str(*t, 0, c.field), c.asStr);
    }
}

TEST(TableValues, TextIsCutToItsLengthAtACharacterBoundary)
{
    struct Case
    {
        int32_t length;
        std::string text, stored;
    };
    const std::string a = "\x82\xa0"; // a double-byte character
    const std::vector<Case> cases = {
        {8, "abcdefghijkl", "abcdefgh"},
        {3, "x" + a + "y", "x" + a},
        {2, "x" + a, "x"}, // never a lone lead byte that would swallow the terminator
        {1, a, ""},
        {0, "abc", ""},
        {4, "ab", "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        TDBTable t;
        t.Fields.AddField("s", ftString, c.length);
        t.Append();
        t.SetStr(0, 0, "zzzzzzzz"); // a shorter text later leaves no old bytes behind
        t.SetStr(0, 0, c.text);
        EXPECT_EQ(Str(t, 0, 0), c.stored);
    }
}

TEST(TableSelect, MatchesByKindCaseAndPartialRule)
{
    TDBTable t;
    t.Fields.AddField("name", ftString, 16);
    t.Fields.AddField("n", ftInt, 0);
    for (const char* name : {"ab", "AB", "abcdef", "", "b\x82\x61"}) {
        t.Append();
        t.SetStr(t.RecNo, 0, name);
        t.SetInt(t.RecNo, 1, t.RecNo % 2);
    }
    auto name = Strs({"name"});
    EXPECT_EQ(Select(t, name.get(), Strs({"ab"}).get()), (std::vector<int32_t>{0}));
    EXPECT_EQ(Select(t, name.get(), Strs({"aB"}).get(), true), (std::vector<int32_t>{0, 1}));
    // Partial: the field's text inside the value; longer and empty field texts never match.
    EXPECT_EQ(Select(t, name.get(), Strs({"xabx"}).get(), false, true), (std::vector<int32_t>{0}));
    EXPECT_EQ(Select(t, name.get(), Strs({"xABx"}).get(), true, true), (std::vector<int32_t>{0, 1}));
    // Folding touches single-byte letters only: the trail byte 'a' of a double-byte character stays.
    EXPECT_EQ(Select(t, name.get(), Strs({"B\x82\x41"}).get(), true), (std::vector<int32_t>{}));
    EXPECT_EQ(Select(t, Strs({"n"}).get(), Ints({1}).get()), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(Select(t, Strs({"N", "name"}).get(), Strs({"0", "abcdef"}).get()), (std::vector<int32_t>{2}));
    // No criteria: every record.
    EXPECT_EQ(Select(t, nullptr, Strs({"x"}).get()).size(), 5u);
    EXPECT_EQ(Select(t, Strs({}).get(), Strs({"x"}).get()).size(), 5u);
    // A values list of no element kind matches nothing.
    NoKind none;
    EXPECT_TRUE(Select(t, name.get(), &none).empty());
}

TEST(TableSelect, ANameThatIsNoFieldStopsTheWholeSelection)
{
    TDBTable t;
    t.Fields.AddField("a", ftInt, 0);
    t.Append();
    t.Append();
    EXPECT_TRUE(Select(t, Strs({"a", "missing"}).get(), Ints({0, 0}).get()).empty());
    // A first criterion that fails rejects the record before the missing name is met.
    t.SetInt(0, 0, 1);
    EXPECT_TRUE(Select(t, Strs({"a", "missing"}).get(), Ints({1, 0}).get()).empty());
    std::vector<int32_t> rows{99};
    t.Select(rows, Strs({"a", "missing"}).get(), Ints({0, 0}).get(), false, false);
    EXPECT_EQ(rows, (std::vector<int32_t>{99}));
}

std::vector<std::string> Column(TDBTable& t, int32_t field)
{
    std::vector<std::string> out;
    for (int32_t r = 0; r < t.RecordCount(); ++r)
        out.push_back(Str(t, r, field));
    return out;
}

TEST(TableSort, NaNSortsAboveNumbersAndEqualKeysKeepTheirOrder)
{
    TDBTable t;
    t.Fields.AddField("x", ftFloat, 0);
    t.Fields.AddField("tag", ftInt, 0);
    const Extended nan = std::nanl("");
    const std::vector<Extended> xs = {2, nan, -1, 2, nan, 0.5L, 2};
    for (size_t i = 0; i < xs.size(); ++i) {
        t.Append();
        t.SetFloat(t.RecNo, 0, xs[i]);
        t.SetInt(t.RecNo, 1, static_cast<int32_t>(i));
    }
    t.SetRecNo(3);
    t.Sort(*Strs({"x"}), *Flags({0}));
    EXPECT_EQ(Column(t, 0), (std::vector<std::string>{"-1", "0.5", "2", "2", "2", "NAN", "NAN"}));
    EXPECT_EQ(Column(t, 1), (std::vector<std::string>{"2", "5", "0", "3", "6", "1", "4"}));
    EXPECT_EQ(t.RecNo, 3);
    t.Sort(*Strs({"x"}), *Flags({1}));
    EXPECT_EQ(Column(t, 0), (std::vector<std::string>{"NAN", "NAN", "2", "2", "2", "0.5", "-1"}));
    EXPECT_EQ(Column(t, 1), (std::vector<std::string>{"1", "4", "0", "3", "6", "5", "2"}));
}

TEST(TableSort, KeysInOrderStringsByUnsignedBytesAndUnknownNamesSkipped)
{
    TDBTable t;
    t.Fields.AddField("s", ftString, 8);
    t.Fields.AddField("b", ftBool, 0);
    for (const char* s : {"b", "\x82\xa0", "ab", "a", "B", "ab"}) {
        t.Append();
        t.SetStr(t.RecNo, 0, s);
        t.SetBool(t.RecNo, 1, t.RecNo % 2 == 1);
    }
    t.Sort(*Strs({"s"}), *Flags({0}));
    EXPECT_EQ(Column(t, 0), (std::vector<std::string>{"B", "a", "ab", "ab", "b", "\x82\xa0"}));
    t.Sort(*Strs({"s"}), *Flags({1}));
    EXPECT_EQ(Column(t, 0), (std::vector<std::string>{"\x82\xa0", "b", "ab", "ab", "a", "B"}));
    t.Sort(*Strs({"nosuch", "b", "s"}), *Flags({0, 1, 0}));
    EXPECT_EQ(Column(t, 1), (std::vector<std::string>{"TRUE", "TRUE", "TRUE", "FALSE", "FALSE", "FALSE"}));
    EXPECT_EQ(Column(t, 0), (std::vector<std::string>{"a", "ab", "\x82\xa0", "B", "ab", "b"}));
}

TEST(TableFiles, HeaderCellsGiveNamesTypesAndLengths)
{
    TDBTable t;
    ASSERT_TRUE(
        t.LoadFromStrings({"id int\tname\trate  float \tmemo str 4\tlong x 70000\tID bool\tflag bool\t"}));
    ASSERT_EQ(t.Fields.Count(), 6);
    const std::vector<std::pair<uint8_t, uint32_t>> expected = {{ftInt, 4},    {ftString, 81}, {ftFloat, 10},
                                                                {ftString, 5}, {ftString, 81}, {ftBool, 1}};
    for (int32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(t.Fields[i].FieldType, expected[static_cast<size_t>(i)].first) << i;
        EXPECT_EQ(t.Fields[i].Size, expected[static_cast<size_t>(i)].second) << i;
    }
    EXPECT_EQ(t.Fields[2].Name, "rate");
    EXPECT_EQ(t.Fields[5].Name, "flag"); // "ID" repeats "id" and is skipped
}

TEST(TableFiles, EmptyNameOrNoLinesFail)
{
    TDBTable t;
    t.Fields.AddField("old", ftInt, 0);
    EXPECT_FALSE(t.LoadFromStrings({}));
    EXPECT_EQ(t.Fields.Count(), 0);
    EXPECT_FALSE(t.LoadFromStrings({"a\t\tb", "1\t2"}));
    EXPECT_EQ(t.Fields.Count(), 0);
    EXPECT_EQ(t.RecordCount(), 0);
}

TEST(TableFiles, RowsUnescapeAndSplitWithoutTakingTrailBytesApart)
{
    TDBTable t;
    // "表" ends in the byte '\\'; a lead byte 0x82 before a tab is a byte of its own.
    const std::string hyo = "\x95\x5c";
    ASSERT_TRUE(
        t.LoadFromStrings({"a\tb\tc", "x\\\"y\\\\z\\n\\q\t" + hyo + "n\t\x82\t", "", "1", "1\t2\t3\t4"}));
    ASSERT_EQ(t.RecordCount(), 3);
    EXPECT_EQ(Str(t, 0, 0), "x\"y\\z\r\n\\q");
    EXPECT_EQ(Str(t, 0, 1), hyo + "n");
    EXPECT_EQ(Str(t, 0, 2), "\x82");
    EXPECT_EQ(Str(t, 1, 0), "1");
    EXPECT_EQ(Str(t, 1, 1), "");
    EXPECT_EQ(Str(t, 2, 2), "3");
}

// --- the manager and its stream forms ---

TDBManager TwoTables()
{
    TDBManager db;
    db.CreateTable("keep", true);
    db.ActiveTable()->Fields.AddField("v", ftString, 5);
    db.ActiveTable()->Append();
    db.ActiveTable()->SetStr(0, 0, "kept");
    db.CreateTable("Game", false);
    db.ActiveTable()->Fields.AddField("n", ftInt, 0);
    db.ActiveTable()->Fields.AddField("x", ftFloat, 0);
    for (int32_t i = 0; i < 3; ++i) {
        db.ActiveTable()->Append();
        db.ActiveTable()->SetInt(i, 0, i + 1);
        db.ActiveTable()->SetFloat(i, 1, i + 0.5L);
    }
    db.ActiveTable()->SetRecNo(1);
    return db;
}

TEST(TableManager, CreateExistingEmptiesOnlyWhenNotPersistent)
{
    TDBManager db = TwoTables();
    EXPECT_EQ(db.CreateTable("", true), -1);
    EXPECT_EQ(db.CreateTable("KEEP", true), 0);
    EXPECT_EQ(db.Active, 0);
    EXPECT_EQ(db.Table(0).RecordCount(), 1);
    EXPECT_EQ(db.CreateTable("keep", false), 0);
    EXPECT_EQ(db.Table(0).Fields.Count(), 0);
    EXPECT_EQ(db.Table(0).Persistent, 1);
}

TEST(TableManager, DeleteKeepsTheActiveTableByIdentity)
{
    TDBManager db = TwoTables();
    db.CreateTable("third", false);
    EXPECT_TRUE(db.DeleteTable("keep"));
    EXPECT_EQ(db.ActiveTable()->Name, "third");
    EXPECT_FALSE(db.DeleteTable("keep"));
    EXPECT_TRUE(db.DeleteTable("THIRD"));
    EXPECT_EQ(db.Active, -1);
}

TEST(TableManager, CopiesIntoItselfReadTheRowsAsTheyWere)
{
    TDBManager db = TwoTables();
    TDBTable& game = *db.ActiveTable();
    EXPECT_TRUE(db.CopyCurrentTo("game"));
    ASSERT_EQ(game.RecordCount(), 4);
    EXPECT_EQ(Str(game, 3, 0), "2"); // the record that was current, not the new empty one
    EXPECT_TRUE(db.InsertRowsFrom("game", {0, 3, 1}));
    EXPECT_EQ(Column(game, 0), (std::vector<std::string>{"1", "2", "3", "2", "1", "2", "2"}));
    EXPECT_FALSE(db.CopyRowsTo("game", {0}));
    EXPECT_FALSE(db.InsertRowsFrom("keep", {0}));
    EXPECT_TRUE(db.CopyRowsTo("keep", {2, 0}));
    EXPECT_TRUE(db.Table(0).Fields.SameAs(game.Fields));
    EXPECT_EQ(Column(db.Table(0), 1), (std::vector<std::string>{"2.5", "0.5"}));
}

TEST(TableManager, FindDirectChangesNoCurrentRecord)
{
    TDBManager db = TwoTables();
    auto found = db.FindDirect("GAME", Strs({"n"}).get(), Ints({3}).get(), false, false, "x");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Record, 2);
    EXPECT_EQ(found->Field, 1);
    EXPECT_EQ(db.ActiveTable()->RecNo, 1);
    EXPECT_FALSE(db.FindDirect("game", Strs({"n"}).get(), Ints({9}).get(), false, false, "x"));
    EXPECT_EQ(db.FindDirect("game", nullptr, nullptr, false, false, "nosuch")->Field, -1);
}

TEST(TableManager, ResetRemovesOnlyGameTables)
{
    TDBManager db = TwoTables();
    db.RemoveGameTables();
    ASSERT_EQ(db.TableCount(), 1);
    EXPECT_EQ(db.Table(0).Name, "keep");
    EXPECT_EQ(db.Active, -1);
}

TKwBigMemoryStream Saved(const TDBManager& db, bool persistent)
{
    TKwBigMemoryStream s;
    db.SaveToStream(s, persistent);
    s.SetPosition(0);
    return s;
}

TEST(TableStreams, EachFormRoundTripsItsOwnTables)
{
    const TDBManager db = TwoTables();
    TKwBigMemoryStream game = Saved(db, false), status = Saved(db, true);

    TDBManager loaded;
    loaded.CreateTable("other", true);
    loaded.LoadFromStream(game, false);
    EXPECT_EQ(game.Remaining(), 0);
    ASSERT_EQ(loaded.TableCount(), 2);
    EXPECT_EQ(loaded.ActiveTable()->Name, "Game");
    EXPECT_EQ(loaded.ActiveTable()->RecNo, 1);
    EXPECT_EQ(Column(*loaded.ActiveTable(), 1), (std::vector<std::string>{"0.5", "1.5", "2.5"}));

    loaded.LoadFromStream(status, true);
    ASSERT_EQ(loaded.TableCount(), 2); // "other" was persistent and is replaced
    EXPECT_EQ(loaded.Table(1).Name, "keep");
    EXPECT_EQ(loaded.Active, 1);
    EXPECT_EQ(Saved(loaded, true).Bytes(), Saved(db, true).Bytes());
    EXPECT_EQ(Saved(loaded, false).Bytes().size(), Saved(db, false).Bytes().size());
}

TEST(TableStreams, AGameFormWithoutActiveTableLoadsWithoutOne)
{
    TDBManager db = TwoTables();
    db.Active = -1;
    TKwBigMemoryStream s = Saved(db, false);
    const std::vector<uint8_t>& bytes = s.Bytes();
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()), (std::vector<uint8_t>{0, 0, 0, 0}));
    TDBManager loaded = TwoTables();
    loaded.LoadFromStream(s, false);
    EXPECT_EQ(loaded.Active, -1);
}

// One game table of an int field and a string(3) field, 2 records; offsets of interest noted.
std::vector<uint8_t> OneTableImage()
{
    TDBManager db;
    db.CreateTable("t", false);
    db.ActiveTable()->Fields.AddField("a", ftInt, 0);
    db.ActiveTable()->Fields.AddField("b", ftString, 3);
    db.ActiveTable()->Append();
    db.ActiveTable()->Append();
    db.ActiveTable()->SetStr(1, 1, "xyz");
    return Saved(db, false).Bytes();
}

TEST(TableStreams, PersistentIsDecidedByTheForm)
{
    std::vector<uint8_t> bytes = OneTableImage();
    bytes[4 + 4 + 1 + 4 + 1] = 1; // the record claims to be persistent
    TKwBigMemoryStream s(bytes);
    TDBManager db;
    db.LoadFromStream(s, false);
    EXPECT_EQ(db.Table(0).Persistent, 0);
}

TEST(TableStreams, DamagedTablesAreRefusedAndChangeNothing)
{
    // Offsets in OneTableImage: version 0, count 4, kind 8, name 9 ("t" at 13), persistent 14,
    // field count 15, field a: size 19, name 23, type 28; field b: size 29, name 33 ("b" at 37),
    // type 38; record count 39, records 43 (2 × 8, the second text at 55), RecNo 59, active name 63.
    struct Case
    {
        const char* what;
        size_t offset;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"type 0", 28, {0}},
        {"type 5", 28, {5}},
        {"int of 5 bytes", 19, {5}},
        {"string of 0 bytes", 29, {0}},
        {"string of 65537 bytes", 29, {1, 0, 1, 0}},
        {"duplicate field name", 37, {'a'}},
        {"more records than bytes", 39, {4}},
        {"record count beyond 31 bits", 39, {0, 0, 0, 0x80}},
        {"record count beyond 32 bits of bytes", 39, {0, 0, 0, 0x40}},
        {"RecNo 2 of 2", 59, {2}},
        {"RecNo -2", 59, {0xfe, 0xff, 0xff, 0xff}},
        {"unterminated string", 58, {'w'}},
        {"field count beyond the bytes", 15, {0xff, 0xff, 0xff, 0x0f}},
        {"table count beyond the bytes", 4, {0xff, 0xff, 0, 0}},
    };
    TDBManager db = TwoTables();
    const std::vector<uint8_t> before = Saved(db, false).Bytes();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = OneTableImage();
        ASSERT_EQ(bytes.size(), 68u);
        std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(c.offset));
        TKwBigMemoryStream s(bytes);
        EXPECT_THROW(db.LoadFromStream(s, false), ERukoError);
        EXPECT_EQ(Saved(db, false).Bytes(), before);
        EXPECT_EQ(db.ActiveTable()->Name, "Game");
    }
    std::vector<uint8_t> cut = OneTableImage();
    for (size_t n = 0; n < cut.size(); ++n) {
        TKwBigMemoryStream s(std::vector<uint8_t>(cut.begin(), cut.begin() + static_cast<std::ptrdiff_t>(n)));
        EXPECT_THROW(db.LoadFromStream(s, false), ERukoError) << n;
    }
    EXPECT_EQ(Saved(db, false).Bytes(), before);
}

// Rows without field bytes and tables of countless fields are bounded too: a few damaged bytes can
// neither claim 2^30 rows that the next copy would list nor a million fields found by a scan.
TEST(TableStreams, RowsWithoutBytesAndCountlessFieldsAreBounded)
{
    TDBManager db;
    db.CreateTable("t", false);
    std::vector<uint8_t> bytes = Saved(db, false).Bytes();
    // Offsets: version 0, count 4, kind 8, name 9 ("t" at 13), persistent 14, field count 15,
    // record count 19.
    const std::vector<uint8_t> manyRows = {0, 0, 0, 0x40};
    std::copy(manyRows.begin(), manyRows.end(), bytes.begin() + 19);
    TKwBigMemoryStream s(bytes);
    TDBManager loaded;
    EXPECT_THROW(loaded.LoadFromStream(s, false), ERukoError);

    TDBTable t;
    for (int32_t i = 0; i < MaxDBFields; ++i)
        ASSERT_EQ(t.Fields.AddField("f" + std::to_string(i), ftBool, 0), i);
    EXPECT_EQ(t.Fields.AddField("one more", ftBool, 0), -1);
}

} // namespace
} // namespace ruko
