#include "engine/callman.h"

#include <gtest/gtest.h>

#include "allocation_watch.h"
#include "base/error.h"
#include "base/globals.h"
#include "base/processobject.h"
#include "base/text.h"
#include "engine/builtins.h"
#include "engine/scenario.h"
#include "io/fields.h"
#include "params/functable.h"
#include "params/paramcollection.h"

#include <algorithm>
#include <chrono>
#include <map>

using namespace ruko;

namespace {

// A call manager over pages compiled from sources, with the variable store and the built-ins, run
// one 15 ms frame at a time.
class CallManTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        TerminateRequested = false;
        GameTime = 0;
        FrameDelta = 15;
        paramMan.Create();
        InstallBuiltins(sysFuncMan.Create(), services);
    }

    void TearDown() override
    {
        if (ParamMan) ParamMan->SetHost(nullptr);
        cm.reset();
        systemHost.reset();
        sysFuncMan.Reset();
        paramMan.Reset();
        TerminateRequested = false;
    }

    TProcessObject<TParamCollection> paramMan{ParamMan};
    TProcessObject<TSysFuncMan> sysFuncMan{SysFuncMan};

    // Sources by page name ("main.rsb" → text); every page must compile.
    void Compile(const std::map<std::string, std::string>& sources)
    {
        std::vector<TScenarioSource> list;
        for (const auto& [page, text] : sources)
            list.push_back({page, page, text});
        std::vector<TCompiledPage> compiled;
        std::vector<TScenarioError> errors;
        ASSERT_TRUE(CompileScenarios(list, compiled, errors)) << (errors.empty() ? "" : errors[0].Format());
        for (TCompiledPage& page : compiled)
            pages[page.PageName] = std::move(page.Bytes);
    }

    std::unique_ptr<TCallMan> MakeCallMan()
    {
        TCallManHost host;
        host.LoadFile = [this](const std::string& name) {
            auto it = pages.find(name);
            if (it == pages.end()) RaiseError(name + Utf8ToCp932(":ファイルがありません"));
            return it->second;
        };
        host.FileAvailable = [this](const std::string& name) { return pages.count(name) != 0; };
        host.OnError = [this](const std::string& message) { errors.push_back(Cp932ToUtf8(message)); };
        auto made = std::make_unique<TCallMan>(std::move(host), events);
        BindCallManager(services, *made);
        return made;
    }

    void Start(const std::map<std::string, std::string>& sources, const std::string& page = "main.rsb")
    {
        Compile(sources);
        cm = MakeCallMan();
        systemHost = MakeSystemHost(services);
        ParamMan->SetHost(systemHost.get());
        cm->Start(page);
    }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i) {
            GameTime += 15;
            cm->Step();
        }
    }

    std::string Str(const char* name) const
    {
        TParamCollectionItem* item = ParamMan->Find(name);
        return item ? item->Value->GetStr() : "<none>";
    }
    int32_t Int(const char* name) const
    {
        TParamCollectionItem* item = ParamMan->Find(name);
        return item ? item->Value->GetInt() : -999;
    }

    TBuiltinServices services;
    std::unique_ptr<TSystemHost> systemHost;
    TTimerList events;
    std::unique_ptr<TCallMan> cm;
    std::map<std::string, std::vector<uint8_t>> pages;
    std::vector<std::string> errors;
};

TEST_F(CallManTest, CommandsRunUntilOneWithoutContinueThenTheNextFrameGoesOn)
{
    Start({{"main.rsb", "var int a = 0\n"
                        "calc a = a + 1\n"
                        "[yield] calc a = a + 1\n"
                        "calc a = a + 10\n"
                        "[yield] calc a = a + 100\n"}});
    Frames(1);
    EXPECT_EQ(Int("a"), 2);
    Frames(1);
    EXPECT_EQ(Int("a"), 112);
    // The flow rests at the end of the page; later frames do nothing more.
    Frames(3);
    EXPECT_EQ(Int("a"), 112);
    EXPECT_FALSE(TerminateRequested);
    EXPECT_FALSE(cm->StepOutOfCommands());
    EXPECT_FALSE(cm->StepTimedOut());
}

TEST_F(CallManTest, ADisabledCommandIsNeverEnteredNorExecuted)
{
    Start({{"main.rsb", "var int a = 0\n[off] wait 1000\n[off] calc a = 5\ncalc a = a + 1\n"}});
    Frames(1);
    EXPECT_EQ(Int("a"), 1);
}

TEST_F(CallManTest, AFlowThatNeverYieldsStillEndsEachFrame)
{
    Start({{"main.rsb", "var int n = 0\nlabel again\ncalc n = n + 1\njump :again\n"}});
    cm->MaxCommandsPerStep = 300;
    Frames(2);
    EXPECT_EQ(Int("n"), 200);
    EXPECT_FALSE(TerminateRequested);
    // The step says why it ended, so the exit page's end can say it was cut short.
    EXPECT_TRUE(cm->StepOutOfCommands());
    EXPECT_FALSE(cm->StepTimedOut());
    cm->MaxCommandsPerStep = 1 << 20;
    cm->StepDeadline = std::chrono::steady_clock::now();
    Frames(1);
    EXPECT_TRUE(cm->StepTimedOut());
    EXPECT_FALSE(cm->StepOutOfCommands());
}

TEST_F(CallManTest, EventsQueuedDuringAWaitRunAsHandlersAndTheWaitKeepsItsTime)
{
    Start({{"main.rsb", "var string log = \"\"\n"
                        "wait 300\n"
                        "calc log = log ++ \"done@\" ++ IntToStr(@TickCount)\n"},
           {"handler.rsb", "label click\n"
                           "calc log = log ++ @ParamStr[0] ++ \":\" ++ IntToStr(@StackCount) ++ \" \"\n"}});
    Frames(2);
    events.Post(7, "handler.rss:click", {"first"}, 1);
    events.Post(8, "handler.rss:click", {"second"}, 1);
    Frames(1);
    // Both ran in this frame, each on one pushed frame, and left the queue when they returned.
    EXPECT_EQ(Str("log"), "first:1 second:1 ");
    EXPECT_EQ(events.Count(), 0);
    Frames(20);
    // Entered at 15 ms; its first frame is not counted: 300 ms later, at 315 ms, it is done.
    EXPECT_EQ(Str("log"), "first:1 second:1 done@315");
    EXPECT_EQ(cm->StackCount(), 0);
}

TEST_F(CallManTest, AnOrdinaryCallReturningInsideAHandlerDoesNotEndItsEvent)
{
    // Handler A waits, so B and C run at the deeper depth; B's own call returning must not let C
    // in before B has finished.
    Start({{"main.rsb", "var string log = \"\"\nwait\n"},
           {"a.rsb", "calc log = log ++ \"A\"\nwait 1000\ncalc log = log ++ \"a\"\n"},
           {"b.rsb", "call sub.rsb\ncalc log = log ++ \"B\"\n"},
           {"c.rsb", "calc log = log ++ \"C\"\n"},
           {"sub.rsb", "calc log = log ++ \"s\"\n"}});
    Frames(1);
    events.Post(1, "a.rss", {}, 1);
    Frames(2);
    EXPECT_EQ(Str("log"), "A");
    events.Post(2, "b.rss", {}, 1);
    events.Post(3, "c.rss", {}, 1);
    Frames(1);
    EXPECT_EQ(Str("log"), "AsBC");
    // A's entry is still running; B's and C's left when their handlers returned.
    ASSERT_EQ(events.Count(), 1);
    EXPECT_EQ(events[0].Target, 1u);
    Frames(80);
    EXPECT_EQ(Str("log"), "AsBCa");
    EXPECT_EQ(events.Count(), 0);
    EXPECT_TRUE(errors.empty());
}

TEST_F(CallManTest, AnEventWhoseHandlerPageIsMissingIsDropped)
{
    Start({{"main.rsb", "var string log = \"\"\nwait\n"}, {"ok.rsb", "calc log = log ++ \"ok\"\n"}});
    Frames(1);
    for (const char* command : {"missing.rss", "ab", "", ":label", "ok.rss"})
        events.Post(1, command, {}, static_cast<uint8_t>(events.Count() + 1));
    Frames(1);
    EXPECT_EQ(Str("log"), "ok");
    EXPECT_EQ(events.Count(), 0);
    EXPECT_FALSE(TerminateRequested);
}

TEST_F(CallManTest, ALabelNotFoundStartsTheEventPageAtItsFirstCommand)
{
    Start({{"main.rsb", "var string log = \"\"\nwait\n"},
           {"h.rsb", "calc log = log ++ \"1\"\nlabel there\ncalc log = log ++ \"2\"\n"}});
    Frames(1);
    events.Post(1, "h.rss:there", {}, 1);
    Frames(1);
    events.Post(1, "h.rss:nowhere", {}, 1);
    Frames(1);
    EXPECT_EQ(Str("log"), "212");
}

TEST_F(CallManTest, RefusedCommandsStopTheRun)
{
    struct Case
    {
        const char* source;
        const char* error;
    };
    for (const Case& c : {Case{"getprop \"x\", 171, a", "GetProp"}, Case{"setprop \"x\", -1, 1", "SetProp"},
                          Case{"var int \"\" = 1", "変数名がありません"}}) {
        SCOPED_TRACE(c.source);
        TerminateRequested = false;
        errors.clear();
        pages.clear();
        Start({{"main.rsb", std::string("var int a = 0\n") + c.source + "\ncalc a = 1\n"}});
        Frames(2);
        EXPECT_TRUE(TerminateRequested);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find(c.error), std::string::npos) << errors[0];
        EXPECT_EQ(Int("a"), 0);
    }
}

// A stored GetProp with a property number the table lacks (the compiler refuses to write one, so
// the page is patched): the page loads, the branch never taken costs nothing, and where it runs it
// stops only its own expression.
TEST_F(CallManTest, AnExpressionTheTablesCannotRunStopsOnlyItself)
{
    Compile({{"main.rsb", "var int a = 1\nvar int x = 5\nvar int y = 0\n"
                          "if a > 5\n  calc x = GetProp(\"b\", 170)\n"
                          "calc y = 1\ncalc x = GetProp(\"b\", 170)\ncalc y = y + 1\n"}});
    // The literal reaches the call as the temporary "____0".
    const std::vector<uint8_t> stored = {fnGetProp, ptVar, 5,   0,     0,   0, '_', '_',
                                         '_',       '_',   '0', ptInt, 170, 0, 0,   0};
    std::vector<uint8_t>& bytes = pages["main.rsb"];
    int patched = 0;
    for (auto at = bytes.begin();
         (at = std::search(at, bytes.end(), stored.begin(), stored.end())) != bytes.end(); ++patched)
        at[12] = 200;
    ASSERT_EQ(patched, 2);
    cm = MakeCallMan();
    systemHost = MakeSystemHost(services);
    ParamMan->SetHost(systemHost.get());
    cm->Start("main.rsb");
    Frames(2);
    EXPECT_FALSE(TerminateRequested);
    EXPECT_TRUE(errors.empty()) << errors[0];
    EXPECT_EQ(Int("x"), 5);
    EXPECT_EQ(Int("y"), 2);
}

TEST_F(CallManTest, VarDelFreesScenarioVariablesButNeverSystemOnes)
{
    Start({{"main.rsb", "var int a = 1\nvardel a\nvardel @TextDelay\nvar int delay = @TextDelay\n"}});
    Frames(1);
    EXPECT_EQ(ParamMan->Find("a"), nullptr);
    EXPECT_EQ(Int("delay"), 50);
}

TEST_F(CallManTest, ASavedWaitGoesOnAfterLoadingWithItsRemainingTime)
{
    const std::map<std::string, std::string> sources = {
        {"main.rsb", "var string log = \"\"\nwait 300\ncalc log = log ++ IntToStr(@TickCount)\n"}};
    Start(sources);
    Frames(11); // entered at 15 ms, 150 ms counted since
    TKwBigMemoryStream saved;
    cm->SaveToStream(saved);
    saved.SetPosition(0);
    auto loaded = MakeCallMan();
    loaded->LoadFromStream(saved, 140);
    EXPECT_EQ(saved.Remaining(), 0);
    cm = std::move(loaded);
    Frames(9);
    EXPECT_EQ(Str("log"), "");
    Frames(1);
    EXPECT_EQ(Str("log"), "315");
}

TEST_F(CallManTest, ADamagedOrOutOfRangeStateIsALoadErrorAndChangesNothing)
{
    Start({{"main.rsb", "wait 300\n"}});
    Frames(2);
    TKwBigMemoryStream good;
    cm->SaveToStream(good);
    const std::vector<uint8_t> bytes = good.Bytes();
    // Offsets in the record: page name (4 + 8), Index, Running, Entered, then State.
    const size_t stateAt = 4 + 8 + 4 + 1 + 1;
    auto patched = [&](size_t at, uint32_t value) {
        TKwBigMemoryStream copy(bytes);
        copy.SetPosition(static_cast<int64_t>(at));
        WriteU32(copy, value);
        return copy.Bytes();
    };
    // State, then the frame count after the sender name, the argument list and the spare frame.
    const size_t spareAt = stateAt + 4 + 4 + 4;
    const size_t spareSize = 4 + 4 + 1 + 1 + 4 + 4 + 4 + 4 + 1;
    const size_t countAt = spareAt + spareSize;
    const size_t depthAt = countAt + 4;
    std::vector<std::vector<uint8_t>> damaged = {
        patched(stateAt, 4),          patched(stateAt, 0xFFFFFFFF),
        patched(countAt, 0x7FFFFFFF), patched(depthAt, 1),
        patched(depthAt, 3),          std::vector<uint8_t>(bytes.begin(), bytes.end() - 3)};
    // An argument count the bytes allow, over bytes that are no arguments.
    const size_t argsAt = stateAt + 4 + 4;
    std::vector<uint8_t> arguments(bytes.begin(), bytes.begin() + argsAt);
    for (uint32_t v : {100000u, 0x7FFFFFFFu})
        for (int shift = 0; shift < 32; shift += 8)
            arguments.push_back(static_cast<uint8_t>(v >> shift));
    arguments.resize(argsAt + 4 * 100000);
    damaged.push_back(arguments);
    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(i);
        TKwBigMemoryStream s(damaged[i]);
        test::TAllocationWatch watch;
        EXPECT_THROW(cm->LoadFromStream(s, 140), ERukoError);
        EXPECT_LT(watch.Total(), size_t{65536});
        EXPECT_EQ(cm->Point.State, TCallState::Main);
        EXPECT_EQ(cm->StackCount(), 0);
        EXPECT_EQ(cm->Point.Depth, 2);
    }
}

TEST_F(CallManTest, TheResumePageRunsFirstAndTheInterruptedWaitThenGoesOn)
{
    Start({{"main.rsb",
            "var string log = \"\"\nwait 300\ncalc log = log ++ \"done@\" ++ IntToStr(@TickCount)\n"},
           {"resume.rsb", "calc log = log ++ \"resumed \"\n"}});
    Frames(11);
    cm->EnterResumePage("resume.rsb", 0);
    EXPECT_FALSE(cm->Point.Entered);
    Frames(1);
    EXPECT_EQ(Str("log"), "resumed ");
    // The resume frame ran no wait: 150 ms were left, now counted from the next frame.
    Frames(9);
    EXPECT_EQ(Str("log"), "resumed ");
    Frames(1);
    EXPECT_EQ(Str("log"), "resumed done@330");
    EXPECT_EQ(cm->StackCount(), 0);
}

TEST_F(CallManTest, TheCacheKeepsThirtyPagesAndTheCurrentOne)
{
    std::map<std::string, std::string> sources;
    std::string main = "var int n = 0\n";
    for (int i = 0; i < 40; ++i) {
        const std::string name = "p" + std::to_string(i) + ".rsb";
        sources[name] = "calc n = n + 1\n";
        main += "call " + name + "\n";
    }
    sources["main.rsb"] = main + "call p0.rsb\n";
    Start(sources);
    Frames(1);
    EXPECT_EQ(Int("n"), 41);
    EXPECT_LE(cm->CachedPageCount(), TCallMan::MaxCachedPages);
    EXPECT_FALSE(TerminateRequested);
}

} // namespace
