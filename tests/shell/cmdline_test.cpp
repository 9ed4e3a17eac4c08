#include "shell/cmdline.h"

#include <gtest/gtest.h>

using namespace ruko;

TEST(CommandLine, OptionsAndParametersInAnyOrder)
{
    TCommandLine line =
        ParseCommandLine({"--headless", "title", "--frames", "10", "--snapshot-at", "500:a.png", "/config",
                          "--snapshot-at=1000:b:c.png", "--seed=7", "--input", "in.txt", "--trace", "t.log",
                          "--snapshot", "last.png", "--", "--odd-folder"});
    EXPECT_TRUE(line.Headless);
    EXPECT_EQ(line.Parameters, (std::vector<std::string>{"title", "/config", "--odd-folder"}));
    EXPECT_EQ(line.Frames.value_or(0), 10);
    ASSERT_EQ(line.SnapshotsAt.size(), 2u);
    EXPECT_EQ(line.SnapshotsAt[0].Time, 500);
    EXPECT_EQ(line.SnapshotsAt[1].Path, "b:c.png");
    EXPECT_EQ(line.Seed.value_or(0), 7u);
    EXPECT_EQ(line.InputScript, "in.txt");
    EXPECT_EQ(line.Trace, "t.log");
    EXPECT_EQ(line.Snapshot, "last.png");
    EXPECT_FALSE(line.Until.has_value());
}

TEST(CommandLine, FontsAndAliasesRepeat)
{
    TCommandLine line = ParseCommandLine(
        {"--font", "a.rft", "--font=b.ttf", "--font-alias", "MS UI Gothic=IPAGothic", "--font-alias=X=Y=Z"});
    EXPECT_EQ(line.FontFiles, (std::vector<std::string>{"a.rft", "b.ttf"}));
    using TAlias = std::pair<std::string, std::string>;
    EXPECT_EQ(line.FontAliases, (std::vector<TAlias>{{"MS UI Gothic", "IPAGothic"}, {"X", "Y=Z"}}));
}

TEST(CommandLine, SingleDashWordsAreParameters)
{
    TCommandLine line = ParseCommandLine({"-x", "-", "/CONFIG"});
    EXPECT_EQ(line.Parameters, (std::vector<std::string>{"-x", "-", "/CONFIG"}));
}

TEST(CommandLine, BadOptionsGiveOneLineErrors)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"--frames"},
        {"--frames", "0"},
        {"--frames", "ten"},
        {"--until", "-1"},
        {"--seed", "4294967296"},
        {"--snapshot-at", "500"},
        {"--snapshot-at", "x:a.png"},
        {"--snapshot-at", "5:"},
        {"--headless=1"},
        {"--frames", "5", "--until", "5"},
        {"--font"},
        {"--font-alias", "NoFace"},
        {"--font-alias", "=Face"},
        {"--font-alias", "Asked="},
    };
    for (const auto& args : cases) {
        try {
            ParseCommandLine(args);
            ADD_FAILURE() << "accepted " << args.front();
        } catch (const EUsageError& e) {
            EXPECT_FALSE(e.Message.empty());
            EXPECT_EQ(e.Message.find('\n'), std::string::npos);
        }
    }
}

TEST(CommandLine, HelpListsEveryOption)
{
    std::string usage = UsageText();
    for (const char* option :
         {"--headless", "--frames", "--until", "--input", "--snapshot ", "--snapshot-at", "--trace", "--seed",
          "--help", "--virtual-clock", "--screenshot-window", "--test-pattern", "--font ", "--font-alias"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}
