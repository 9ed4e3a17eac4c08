// System variables: the player seen through "@" names, with a host standing in for the player.
#include "support.h"

#include <gtest/gtest.h>

#include <map>

namespace ruko::testing {
namespace {

class TFakeHost : public TSystemHost
{
  public:
    std::map<int, int32_t> ints;
    std::map<int, bool> flags;
    std::map<int, std::string> strs;
    std::vector<std::string> params{"first", "second"};
    std::vector<int32_t> askedKeys;
    TCustomParam* callResult = nullptr;

    TCustomParam* CallResult() override { return callResult; }
    int32_t ReadInt(int row) override { return row == 9 ? static_cast<int32_t>(params.size()) : ints[row]; }
    bool ReadFlag(int row) override { return flags[row]; }
    std::string ReadStr(int row) override { return strs[row]; }
    void WriteInt(int row, int32_t n) override { ints[row] = n; }
    void WriteFlag(int row, bool b) override { flags[row] = b; }
    void WriteStr(int row, const std::string& s) override { strs[row] = s; }
    std::string ReadStrAt(int, int32_t i) override { return params.at(static_cast<size_t>(i)); }
    bool ReadFlagAt(int, int32_t i) override
    {
        askedKeys.push_back(i);
        return i == 13;
    }
};

TEST(SystemVariables, ReadAndWriteThePlayerState)
{
    TParamCollection store;
    TFakeHost host;
    store.SetHost(&host);
    host.ints[5] = 120;
    host.flags[26] = true;

    EXPECT_EQ(Eval(store, "@MouseX + 1"), "int 121");
    EXPECT_EQ(Eval(store, "@FullScr ++ \"\""), "string TRUE");
    EXPECT_EQ(Eval(store, "@fullscr + 0"), "int 1"); // names compare ignoring case
    EXPECT_EQ(Eval(store, "@Pi > 3.14159"), "flag TRUE");
    EXPECT_EQ(Eval(store, "@IsDebug"), "flag FALSE");

    EXPECT_EQ(Eval(store, "@MouseY = \"77\""), "none");
    EXPECT_EQ(host.ints[6], 77);
    // Text stored through the string setter: a number is taken, anything else is ignored; a flag
    // row takes any non-zero number.
    TCustomParam& mouseY = *store.Find("@MouseY")->Value;
    mouseY.SetStr("left");
    EXPECT_EQ(host.ints[6], 77);
    mouseY.SetStr("12.7");
    EXPECT_EQ(host.ints[6], 12);
    TCustomParam& fullScreen = *store.Find("@FullScr")->Value;
    fullScreen.SetStr("0");
    EXPECT_FALSE(host.flags[26]);
    fullScreen.SetStr("2");
    EXPECT_TRUE(host.flags[26]);
    // An assignment converts by the target's kind first: "left" as an integer is 0.
    EXPECT_EQ(Eval(store, "@MouseY = \"left\""), "none");
    EXPECT_EQ(host.ints[6], 0);
    EXPECT_EQ(Eval(store, "@ScrWidth = 5"), "none"); // read-only
    EXPECT_EQ(host.ints.count(12), 0u);

    EXPECT_EQ(Eval(store, "@TextDelay = 20"), "none");
    EXPECT_EQ(store.TextDelay, 20);
    EXPECT_EQ(Eval(store, "@SelStr = \"pick\""), "none");
    EXPECT_EQ(store.SelStr, "pick");
}

TEST(SystemVariables, ArrayRowsAskOnlyForElementsThatExist)
{
    TParamCollection store;
    TFakeHost host;
    store.SetHost(&host);
    TCustomParam& keys = *store.Find("@KeyPush")->Value;
    EXPECT_FALSE(keys.GetFlag());
    EXPECT_TRUE(keys.GetFlagAt(13));
    EXPECT_EQ(keys.GetCount(), 258);
    EXPECT_FALSE(keys.GetFlagAt(258));
    EXPECT_FALSE(keys.GetFlagAt(-1));
    EXPECT_EQ(host.askedKeys, std::vector<int32_t>{13});
    EXPECT_EQ(Eval(store, "@KeyPush[13]"), "flag TRUE");
    EXPECT_EQ(Eval(store, "@KeyPush[300]"), "none");

    TCustomParam& params = *store.Find("@ParamStr")->Value;
    EXPECT_EQ(params.GetStr(), "");
    EXPECT_EQ(params.GetCount(), 2);
    EXPECT_EQ(params.GetStrAt(1), "second");
    EXPECT_EQ(params.GetStrAt(2), ""); // never reaches the host's list
    EXPECT_EQ(Eval(store, "@ParamStr[1] ++ @ParamCount"), "string second2");

    // A scalar row answers element reads with its value and has one element.
    TCustomParam& mouse = *store.Find("@MouseX")->Value;
    host.ints[5] = 9;
    EXPECT_EQ(mouse.GetIntAt(4), 9);
    EXPECT_EQ(mouse.GetCount(), 1);
}

TEST(SystemVariables, ResultAndTempStandForOtherValues)
{
    TParamCollection store;
    TFakeHost host;
    store.SetHost(&host);
    EXPECT_EQ(store.Find("@Result")->Value->GetVarType(), ptVar);
    TParamStr callResult;
    host.callResult = &callResult;
    EXPECT_EQ(Eval(store, "@Result = 4 * 2"), "none");
    EXPECT_EQ(callResult.GetStr(), "8");
    EXPECT_EQ(Eval(store, "@Result ++ \"!\""), "string 8!");

    // "@Temp" never forwards to a system variable, even if the name were stored directly.
    store.TempName = "@Temp";
    EXPECT_EQ(Eval(store, "@Temp"), "none");
    store.TempName = "@MouseX";
    EXPECT_EQ(Eval(store, "@Temp"), "none");
}

} // namespace
} // namespace ruko::testing
