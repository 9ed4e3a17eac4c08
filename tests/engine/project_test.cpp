#include "allocation_watch.h"
#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/globals.h"
#include "base/processobject.h"
#include "base/text.h"
#include "engine/project.h"
#include "graphics/wipe.h"
#include "params/paramcollection.h"

#include <gtest/gtest.h>

namespace ruko {
namespace {

std::vector<uint8_t> Encode(const TProjectSetting& setting)
{
    TKwBigMemoryStream s;
    setting.SaveToStream(s);
    return s.TakeBytes();
}

TProjectSetting Decode(std::vector<uint8_t> bytes)
{
    TKwBigMemoryStream s(std::move(bytes));
    TProjectSetting setting;
    setting.LoadFromStream(s);
    EXPECT_EQ(s.Remaining(), 0);
    return setting;
}

TProjectSetting Sample(uint32_t version)
{
    TProjectSetting setting;
    setting.Version = version;
    setting.Title = "Sample";
    setting.ScreenWidth = 800;
    setting.ScreenHeight = 600;
    setting.StartPage = "start.rsb";
    setting.ExitPage = "exit.rsb";
    setting.SaveStatus = true;
    setting.MediaExtensions = ".ogg";
    setting.PauseWhenInactive = true;
    setting.ShowToolbar = false;
    setting.Variables = {{1, "count", 7, 0, false, ""},
                         {2, "ratio", 0, 0.5L, false, ""},
                         {3, "seen", 0, 0, true, ""},
                         {4, "name", 0, 0, false, "x"},
                         {9, "odd", 0, 0, false, ""}};
    setting.FolderDisks.Add("movie", 2);
    return setting;
}

std::vector<uint8_t> U32(uint32_t v)
{
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

TEST(ProjectSettingTest, AVersion103FileHasNoLaterFields)
{
    // Written by hand: version, title, sizes, start page, registry key, ident code, prompts,
    // no variables, no folder table.
    std::vector<uint8_t> bytes;
    auto add = [&](std::vector<uint8_t> part) { bytes.insert(bytes.end(), part.begin(), part.end()); };
    auto str = [&](const std::string& text) {
        add(U32(static_cast<uint32_t>(text.size())));
        bytes.insert(bytes.end(), text.begin(), text.end());
    };
    add(U32(103));
    str("Old");
    add(U32(640));
    add(U32(480));
    add(U32(0));
    add(U32(0));
    str("start.rsb");
    str("Software\\Old");
    add(U32(42));
    str("");
    str("");
    add(U32(0));
    add(U32(0));
    TProjectSetting setting = Decode(bytes);
    EXPECT_EQ(setting.Title, "Old");
    EXPECT_EQ(setting.IdentCode, 42);
    EXPECT_EQ(setting.ExitPage, "");
    EXPECT_FALSE(setting.SaveStatus);
    EXPECT_EQ(setting.MediaExtensions, ".wav.wma.ogg.mid");
    EXPECT_TRUE(setting.ShowToolbar);
}

TEST(ProjectSettingTest, EachVersionReadsExactlyTheFieldsItHas)
{
    struct Case
    {
        uint32_t version;
        bool exitPage, saveStatus, media, pause, toolbarFromFile;
    };
    const Case cases[] = {
        {103, false, false, false, false, false}, {104, false, true, false, false, false},
        {109, false, true, true, false, false},   {110, true, true, true, false, false},
        {113, true, true, true, true, false},     {115, true, true, true, true, false},
        {116, true, true, true, true, true},      {117, true, true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        TProjectSetting setting = Decode(Encode(Sample(c.version)));
        EXPECT_EQ(setting.ExitPage, c.exitPage ? "exit.rsb" : "");
        EXPECT_EQ(setting.SaveStatus, c.saveStatus);
        EXPECT_EQ(setting.MediaExtensions, c.media ? ".ogg" : ".wav.wma.ogg.mid");
        EXPECT_EQ(setting.PauseWhenInactive, c.pause);
        EXPECT_EQ(setting.ShowToolbar, !c.toolbarFromFile);
        EXPECT_EQ(setting.Variables, Sample(c.version).Variables);
        EXPECT_EQ(setting.FolderDisks.DiskOf("movie\\op.mpg"), 2);
    }
}

TEST(ProjectSettingTest, UnsupportedOrDamagedFilesRaiseClearErrors)
{
    auto message = [](std::vector<uint8_t> bytes) {
        try {
            Decode(std::move(bytes));
        } catch (const ERukoError& error) {
            return Cp932ToUtf8(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message(Encode(Sample(118))), "このバージョンには対応していません");
    std::vector<uint8_t> truncated = Encode(Sample(117));
    truncated.resize(truncated.size() - 3);
    EXPECT_EQ(message(truncated), "ruko.rpb:ファイルが破壊されています");
    // A declaration count the bytes allow, over bytes that are no declarations.
    TProjectSetting bare = Sample(117);
    bare.Variables.clear();
    bare.FolderDisks = TFolderDiskList();
    std::vector<uint8_t> counted = Encode(bare);
    counted.resize(counted.size() - 8);
    for (uint32_t v : {100000u, 0x7FFFFFFFu})
        for (uint8_t byte : U32(v))
            counted.push_back(byte);
    counted.resize(counted.size() + 5 * 100000);
    {
        TKwBigMemoryStream s(counted);
        TProjectSetting setting;
        test::TAllocationWatch watch;
        EXPECT_THROW(setting.LoadFromStream(s), ERukoError);
        EXPECT_LT(watch.Total(), counted.size());
    }
    std::vector<uint8_t> hugeTitle = Encode(Sample(117));
    hugeTitle[4] = hugeTitle[5] = hugeTitle[6] = 0xFF;
    EXPECT_EQ(message(hugeTitle), "ruko.rpb:ファイルが破壊されています");

    struct Size
    {
        int32_t width, height;
        bool accepted;
    };
    for (Size size : {Size{1, 1, true}, Size{4096, 4096, true}, Size{0, 480, false}, Size{640, 4097, false},
                      Size{8192, 480, false}, Size{-640, 480, false}}) {
        TProjectSetting setting = Sample(117);
        setting.ScreenWidth = size.width;
        setting.ScreenHeight = size.height;
        EXPECT_EQ(message(Encode(setting)) == "accepted", size.accepted) << size.width << "x" << size.height;
    }
    // The refusal names the size and the limit.
    TProjectSetting wide = Sample(117);
    wide.ScreenWidth = 5000;
    EXPECT_EQ(message(Encode(wide)), "ruko.rpb:画面サイズ5000×600は扱えません（最大4096×4096）");
}

class ProjectTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        files.Create().AddArchive("");
        TerminateRequested = false;
        host.StartPage = [this](const std::string& page) { log.push_back("start " + page); };
        host.RunExitPage = [this](const std::string& page) {
            log.push_back("exit " + page + (TerminateRequested ? " stopped" : " running"));
        };
        host.SaveStatus = [this] { log.push_back("save"); };
        host.DeclareGlobal = [this](const TGlobalVarDecl& decl) { log.push_back("declare " + decl.Name); };
        host.ShowWarning = [this](const std::string& text, const std::string&) {
            log.push_back("warn " + Cp932ToUtf8(text));
        };
    }
    void TearDown() override { files.Reset(); }

    TProcessObject<TVrFileManager> files{FileManager};

    void AddFile(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        TVrFile& file = FileManager->Archive(0).AddMemoryFile(name);
        file.Data->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    }

    TProjectHost host;
    std::vector<std::string> log;
};

TEST_F(ProjectTest, CreateDeclaresVariablesAndStartsTheStartPage)
{
    TProjectSetting setting = Sample(117);
    setting.Variables.resize(2);
    AddFile("ruko.rpb", Encode(setting));
    AddFile("start.rsb", {1});
    TProject project(host);
    project.Create();
    EXPECT_FALSE(TerminateRequested);
    EXPECT_EQ(project.Title, "Sample");
    EXPECT_EQ(project.ScreenWidth, 800);
    // The zoom-in transition now zooms into the screen's centre.
    int32_t centreX = 0, centreY = 0;
    GetWipeDefaults(WipeTypeByName("TWipeZoomin"), centreX, centreY);
    EXPECT_EQ(centreX, 400);
    EXPECT_EQ(centreY, 300);
    EXPECT_EQ(log, (std::vector<std::string>{"declare count", "declare ratio", "start start.rsb"}));
    log.clear();
    project.Destroy();
    project.Destroy();
    EXPECT_EQ(log, (std::vector<std::string>{"exit exit.rsb running", "save"}));
    EXPECT_TRUE(TerminateRequested);
}

TEST_F(ProjectTest, MissingProjectRaisesAndDestroyDoesNothing)
{
    for (bool empty : {false, true}) {
        if (empty) AddFile("ruko.rpb", {});
        TProject project(host);
        try {
            project.Create();
            FAIL() << "no error";
        } catch (const ERukoError& error) {
            EXPECT_EQ(Cp932ToUtf8(error.what()), "プロジェクトがありません");
        }
        EXPECT_TRUE(TerminateRequested);
        project.Destroy();
        EXPECT_TRUE(log.empty());
    }
}

TEST_F(ProjectTest, MissingStartPageWarnsAndStops)
{
    AddFile("ruko.rpb", Encode(Sample(103)));
    TProject project(host);
    project.Create();
    EXPECT_TRUE(TerminateRequested);
    EXPECT_EQ(log.back(), "warn スタートページがありません");
    log.clear();
    project.Destroy(); // version 103 never saves the status
    EXPECT_TRUE(log.empty());
}

TEST_F(ProjectTest, OriginalProjectSuppliesTheFolderToDiscTable)
{
    AddFile("ruko.rpb", Encode(Sample(117)));
    TProjectSetting original = Sample(117);
    original.FolderDisks.Clear();
    original.FolderDisks.Add("bgm", 3);
    AddFile("/original_ruko.rpb", Encode(original));
    AddFile("start.rsb", {1});
    TProject project(host);
    project.Create();
    EXPECT_EQ(project.FolderDisks.DiskOf("bgm\\a.ogg"), 3);
    EXPECT_EQ(project.FolderDisks.DiskOf("movie\\a.mpg"), 0);
}

TEST_F(ProjectTest, MediaFilesOnADiscNeverPrompt)
{
    AddFile("ruko.rpb", Encode(Sample(108)));
    AddFile("start.rsb", {1});
    int prompts = 0;
    FileManager->SetHost({[&](const std::string&, const std::string&) {
                              ++prompts;
                              return TPromptAnswer::Abort;
                          },
                          nullptr, nullptr});
    TProject project(host);
    project.Create();
    EXPECT_TRUE(project.EnsureFileAvailable("start.rsb"));
    EXPECT_FALSE(project.EnsureFileAvailable(""));
    EXPECT_FALSE(project.EnsureFileAvailable("movie\\voice.WAV"));
    EXPECT_EQ(prompts, 0);
    EXPECT_FALSE(project.EnsureFileAvailable("movie\\op.mpg"));
    EXPECT_EQ(prompts, 1);
    EXPECT_FALSE(project.EnsureFileAvailable("other\\op.mpg"));
    EXPECT_EQ(prompts, 1);
}

TEST_F(ProjectTest, GlobalsGoToTheVariableStoreAndRestoredValuesWin)
{
    TProcessObject<TParamCollection> store{ParamMan};
    store.Create().AddVariable(ptInt, "count").Value->SetInt(42); // as restored from the status
    host.DeclareGlobal = nullptr;
    AddFile("ruko.rpb", Encode(Sample(117)));
    AddFile("start.rsb", {1});
    TProject project(host);
    project.Create();
    EXPECT_EQ(ParamMan->Find("count")->Value->GetInt(), 42);
    EXPECT_EQ(ParamMan->Find("RATIO")->Value->GetFloat(), 0.5L);
    EXPECT_TRUE(ParamMan->Find("seen")->Value->GetFlag());
    EXPECT_EQ(ParamMan->Find("name")->Value->GetStr(), "x");
    EXPECT_EQ(ParamMan->Find("name")->Persistent, 1);
    EXPECT_EQ(ParamMan->Find("odd"), nullptr); // a type without a value declares nothing
}

} // namespace
} // namespace ruko
