// The DB… functions as a script calls them, over a table manager of their own.
#include "builtins_fixture.h"
#include "records/dbfunctions.h"

namespace ruko::test {
namespace {

class TablesTest : public BuiltinsTest
{
  protected:
    TablesTest()
    {
        services.Tables = [this](TFuncCall& call) { CallTableFunction(db, call, files); };
    }
    TDBManager db;
    TTableFiles files;
};

TEST_F(TablesTest, WithoutAnActiveTableEachAnswersTheZeroOfItsKind)
{
    const EvalCase cases[] = {
        {"DBAddField(\"a\", 1)", "FALSE"},
        {"DBInsert(1)", "FALSE"},
        {"DBGetInt(\"a\")", "0"},
        {"DBGetFloat(\"a\")", "0"},
        {"DBGetStr(\"a\")", ""},
        {"DBSetInt(\"a\", 1)", "FALSE"},
        {"DBFindFirst()", "FALSE"},
        {"DBLocate(\"a\", 1)", "FALSE"},
        {"DBRecordCount()", "-1"},
        {"DBGetRecNo(5)", "-1"},
        {"DBGetActive()", ""},
        {"DBDeleteTable()", "FALSE"},
        {"DBClearRecord()", "FALSE"},
        {"DBSort(\"a\", 1)", "FALSE"},
        {"DBCopy(\"a\")", "FALSE"},
        {"DBDirectGetFloat(\"t\", \"a\", 1, 0, 0, \"a\", 1.5)", "1.5"},
    };
    for (const EvalCase& c : cases)
        EXPECT_EQ(Eval(c.Text), c.Expected) << c.Text;
    EXPECT_EQ(db.TableCount(), 0);
}

TEST_F(TablesTest, RecordFunctionsNeedACurrentRecord)
{
    Eval("DBCreateTable(\"t\", 0)");
    Eval("DBAddField(\"n\", 1)");
    EXPECT_EQ(Eval("DBInsert(2.5)"), "TRUE");
    EXPECT_EQ(Eval("DBGetInt(\"n\")"), "2"); // a real into an int field rounds half to even
    EXPECT_EQ(Eval("DBSetRecNo(-1)"), "TRUE");
    EXPECT_EQ(Eval("DBSetInt(\"n\", 9)"), "FALSE");
    EXPECT_EQ(Eval("DBDelete()"), "FALSE");
    EXPECT_EQ(Eval("DBGetInt(\"n\")"), "0");
    EXPECT_EQ(Eval("DBLocate(\"n\", 2)"), "TRUE");
    EXPECT_EQ(Eval("DBLocate(\"n\", 3)"), "FALSE");
    EXPECT_EQ(Eval("DBGetRecNo()"), "0"); // a failed search keeps the current record
    EXPECT_EQ(Eval("DBDelete()"), "TRUE");
    EXPECT_EQ(Eval("DBGetRecNo()"), "-1");
}

TEST_F(TablesTest, TableListAndClearing)
{
    Var(ptStr, "name");
    Var(ptFlag, "kept");
    Eval("DBCreateTable(\"a\", TRUE)");
    Eval("DBCreateTable(\"b\", FALSE)");
    EXPECT_EQ(Eval("DBGetTableCount()"), "2");
    EXPECT_EQ(Eval("DBGetTable(0, name, kept)"), "TRUE");
    EXPECT_EQ(Str("name") + " " + Value("kept").GetStr(), "a TRUE");
    EXPECT_EQ(Eval("DBGetTable(2, name)"), "FALSE");
    EXPECT_EQ(Eval("DBDeleteTable()"), "TRUE");
    EXPECT_EQ(Eval("DBGetActive()"), "");
    Eval("DBSetActive(\"A\")");
    EXPECT_EQ(Eval("DBClearTable()"), "FALSE");
    EXPECT_EQ(db.TableCount(), 0);
    EXPECT_EQ(Eval("DBGetActive()"), "");
}

} // namespace
} // namespace ruko::test
