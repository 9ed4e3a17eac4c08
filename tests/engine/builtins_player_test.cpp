// System variables over fake services, and the functions that ask the player.
#include "builtins_fixture.h"

#include "base/numtext.h"
#include "engine/builtins_support.h"

#include <map>

namespace ruko::test {
namespace {

TEST_F(BuiltinsTest, EveryFunctionHasABody)
{
    for (int row = 0; row < BuiltinFunctionCount; ++row)
        EXPECT_TRUE(SysFuncMan->HasBody(row)) << BuiltinFunctions[row].Name;
}

TEST_F(BuiltinsTest, KeyArraysReadHeldKeysAndTheWheel)
{
    services.Input.KeyPush[13] = true;
    services.Input.WheelDown = true;
    services.Input.KeyClick[65] = true;
    EXPECT_EQ(Eval("@KeyPush"), "FALSE");
    EXPECT_EQ(Eval("@KeyPush[13]"), "TRUE");
    EXPECT_EQ(Eval("@KeyPush[14]"), "FALSE");
    EXPECT_EQ(Eval("@KeyPush[256]"), "TRUE");
    EXPECT_EQ(Eval("@KeyPush[257]"), "FALSE");
    EXPECT_EQ(Eval("@KeyClick[65]"), "TRUE");
    EXPECT_EQ(Eval("GetArraySize(@KeyRepeat)"), "258");
    EXPECT_EQ(Eval("@WheelDown"), "TRUE");
    Eval("@KeyPush[258]");
    EXPECT_FALSE(ok);
}

TEST_F(BuiltinsTest, CallFrameVariablesFollowTheCallManager)
{
    std::vector<std::string> args = {"one", "two"};
    TParamStr result;
    services.ArgCount = [&] { return static_cast<int32_t>(args.size()); };
    services.Arg = [&](int32_t i) { return args[static_cast<size_t>(i)]; };
    services.SenderName = [] { return std::string("Base.Button1"); };
    services.StackCount = [] { return 3; };
    services.CallResult = [&]() -> TCustomParam* { return &result; };
    EXPECT_EQ(Eval("@ParamCount"), "2");
    EXPECT_EQ(Cp932ToUtf8(Value("@ParamStr").GetStr()), "");
    EXPECT_EQ(Eval("@ParamStr[1]"), "two");
    EXPECT_EQ(Eval("GetArraySize(@ParamStr)"), "2");
    EXPECT_EQ(Eval("@Sender"), "Base.Button1");
    EXPECT_EQ(Eval("@StackCount"), "3");
    Eval("@Result = \"a\\\"b\"");
    EXPECT_EQ(result.GetStr(), "a\"b");
    services.CallResult = [] { return nullptr; };
    Eval("@Result = 5"); // no call: ignored
    EXPECT_EQ(Value("@Result").GetInt(), 0);
}

TEST_F(BuiltinsTest, ClockAndDateRowsReadTheServices)
{
    services.PCTickCount = [] { return int64_t{0x100000005}; }; // the timer wraps at 32 bits
    services.LocalTime = [] {
        std::tm t{};
        t.tm_year = 123, t.tm_mon = 0, t.tm_mday = 1, t.tm_wday = 0, t.tm_hour = 9, t.tm_min = 8,
        t.tm_sec = 7;
        return t;
    };
    EXPECT_EQ(Eval("@PCTickCount"), "5");
    EXPECT_EQ(Eval("@Year * 10000 + @Month * 100 + @Day"), "20230101");
    EXPECT_EQ(Eval("@Week"), "1");
    EXPECT_EQ(Eval("@Hour * 10000 + @Min * 100 + @Sec"), "90807");
}

TEST_F(BuiltinsTest, WritableRowsReachThePlayer)
{
    int32_t mouseX = 10, mouseY = 20;
    bool full = false;
    services.GetMouse = [&](int32_t& x, int32_t& y) { x = mouseX, y = mouseY; };
    services.WarpMouse = [&](int32_t x, int32_t y) { mouseX = x, mouseY = y; };
    services.IsFullScreen = [&] { return full; };
    services.SetFullScreen = [&](bool b) { full = b; };
    services.ScreenWidth = 800;
    Eval("@MouseX = 99");
    EXPECT_EQ(mouseX * 1000 + mouseY, 99020);
    Value("@MouseY").SetStr("x"); // not a number: ignored
    EXPECT_EQ(mouseY, 20);
    Eval("@FullScr = 1");
    EXPECT_TRUE(full);
    EXPECT_EQ(Eval("@FullScr"), "TRUE");
    Eval("@LClick = 1");
    EXPECT_TRUE(services.Input.LClick);
    Eval("@ScrWidth = 1");
    EXPECT_EQ(Eval("@ScrWidth"), "800");
}

TEST_F(BuiltinsTest, FontListsAreJoinedByLineBreaks)
{
    services.FontNames = [](bool fixed) {
        return fixed ? std::vector<std::string>{"Mono"} : std::vector<std::string>{"Sans", "Mono"};
    };
    EXPECT_EQ(Eval("@Fonts"), "Sans\r\nMono");
    EXPECT_EQ(Eval("@FixedFonts"), "Mono");
}

// A component list with one menu "m" whose items are "Open" and "Quit".
class FakeComponents final : public TBuiltinComponents
{
  public:
    bool Exists(const std::string& name) override { return name == "m"; }
    std::optional<bool> GetItemState(const std::string& name, const TCustomParam& item,
                                     TItemState state) override
    {
        int index = Index(name, item);
        if (index < 0) return std::nullopt;
        return states[{index, state}];
    }
    bool SetItemState(const std::string& name, const TCustomParam& item, TItemState state,
                      bool value) override
    {
        int index = Index(name, item);
        if (index < 0) return false;
        states[{index, state}] = value;
        return true;
    }
    int32_t IndexOfMenu(const std::string& name, const std::string& text) override
    {
        return name == "m" && text == "Quit" ? 1 : -1;
    }
    std::vector<std::string> List(int32_t kind, const std::string& parent, bool) override
    {
        lastKind = kind;
        return parent == "ALL" ? std::vector<std::string>{"m", "b"} : std::vector<std::string>{};
    }

    std::map<std::pair<int, TItemState>, bool> states;
    int32_t lastKind = -1;

  private:
    int Index(const std::string& name, const TCustomParam& item)
    {
        if (name != "m") return -1;
        int32_t n;
        std::string text = item.GetStr();
        if (TryStrToInt(text, n)) return n;
        return text == "Open" ? 0 : text == "Quit" ? 1 : -1;
    }
};

TEST_F(BuiltinsTest, ComponentFunctionsAnswerFallbacksWithoutTheComponent)
{
    const EvalCase cases[] = {
        {"Exists(\"m\")", "FALSE"},
        {"GetCheck(\"m\", 0)", "FALSE"},
        {"IndexOfMenu(\"m\", \"Quit\")", "-1"},
        {"ToClientX(\"m\", 42)", "42"},
        {"GetItem(\"m\", 0)", ""},
        {"GetHistoryCount(\"\")", "-1"},
        {"DBGetStr(\"f\")", ""},
        {"DBGetInt(\"f\")", "0"},
        {"DBSetRecNo(1)", "FALSE"},
        {"GetSaveCaption(1)", ""},
        {"DeleteStack(0)", "FALSE"},
        {"SaveScreen(\"a.brm\")", "FALSE"},
        {"SetWallPaper(\"\", 0)", "FALSE"},
        {"GetDisplayMode(0, i, i, i, i)", "FALSE"},
    };
    Var(ptInt, "i");
    for (const EvalCase& c : cases)
        EXPECT_EQ(Eval(c.Text), c.Expected) << c.Text;
}

TEST_F(BuiltinsTest, ItemStatesByNumberOrMenuText)
{
    FakeComponents components;
    services.Components = &components;
    Var(ptStr, "names");
    EXPECT_EQ(Eval("Exists(\"m\")"), "TRUE");
    EXPECT_EQ(Eval("Exists(\"\")"), "FALSE");
    Eval("SetCheck(\"m\", \"Quit\", 1)");
    EXPECT_EQ(Eval("GetCheck(\"m\", 1)"), "TRUE");
    EXPECT_EQ(Eval("GetCheck(\"m\", \"Open\")"), "FALSE");
    EXPECT_EQ(Eval("SetVisible(\"m\", 0, 1)"), "TRUE");
    EXPECT_EQ(Eval("SetVisible(\"x\", 0, 1)"), "FALSE");
    EXPECT_EQ(Eval("IndexOfMenu(\"m\", \"Quit\")"), "1");
    EXPECT_EQ(Eval("ListCompo(names, 40)"), "2");
    EXPECT_EQ(components.lastKind, 0); // kinds from 28 up list every kind
    EXPECT_EQ(Elements("names"), "m|b");
    EXPECT_EQ(Eval("ListCompo(names, 1, \"Base\")"), "0");
    EXPECT_EQ(Elements("names"), "");
}

TEST_F(BuiltinsTest, DisplayModesAndSaveListsFillTheNamedVariables)
{
    services.DisplayModes = [] {
        return std::vector<std::array<int32_t, 4>>{{640, 480, 32, 60}, {800, 600, 16, 0}};
    };
    services.SaveCaptions = [] { return std::vector<TSaveSlotCaption>{{"first", 1}, {"third", 3}}; };
    for (const char* name : {"w", "h", "b", "f", "slots"})
        Var(ptInt, name);
    Var(ptStr, "captions");
    EXPECT_EQ(Eval("GetDisplayMode(1, w, h, b, f)"), "TRUE");
    EXPECT_EQ(Value("w").GetInt() * 10000 + Value("h").GetInt(), 8000600);
    EXPECT_EQ(Value("b").GetInt(), 16);
    EXPECT_EQ(Eval("GetDisplayMode(2, w, h, b, f)"), "FALSE");
    EXPECT_EQ(Eval("@DisplayModeCount"), "2");
    EXPECT_EQ(Eval("ListSaveCaption()"), "2");
    EXPECT_EQ(Eval("ListSaveCaption(captions, slots)"), "2");
    EXPECT_EQ(Elements("captions"), "first|third");
    EXPECT_EQ(Elements("slots"), "1|3");
}

TEST_F(BuiltinsTest, TableRowsAreHandedToTheTables)
{
    std::vector<std::string> seen;
    services.Tables = [&](TFuncCall& call) {
        seen.push_back(BuiltinFunctions[call.Row].Name);
        call.Result.Value->SetInt(static_cast<int32_t>(call.ArgCount()));
    };
    EXPECT_EQ(Eval("DBRecordCount()"), "0");
    EXPECT_EQ(Eval("DBDirectGetInt(1, 2, 3, 4, 5, 6, 7)"), "7");
    EXPECT_EQ(Eval("DBGetTableCount()"), "0");
    EXPECT_EQ(seen, (std::vector<std::string>{"DBRecordCount", "DBDirectGetInt", "DBGetTableCount"}));
}

} // namespace
} // namespace ruko::test

namespace ruko::test {
namespace {

TEST_F(BuiltinsTest, TempStandsForTheAssignedVariableOnly)
{
    Var(ptInt, "x").Value->SetInt(5);
    EXPECT_EQ(Value("@Temp").GetInt(), 0);
    EXPECT_EQ(Value("@Temp").GetStr(), "");
    Eval("@Temp = 3");
    EXPECT_EQ(Value("x").GetInt(), 5);
    EXPECT_EQ(Eval("AssignTemp(\"x\")"), "TRUE");
    Eval("@Temp = @Temp + 1");
    EXPECT_EQ(Value("x").GetInt(), 6);
    EXPECT_EQ(Eval("AssignTemp(\"missing\")"), "FALSE");
    EXPECT_EQ(Eval("@Temp"), "6"); // the old name is kept
    EXPECT_EQ(Eval("AssignTemp(\"@Temp\")"), "FALSE");
}

} // namespace
} // namespace ruko::test
