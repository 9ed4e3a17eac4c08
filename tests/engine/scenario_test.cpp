#include "engine/scenario.h"

#include <gtest/gtest.h>

using namespace ruko;

namespace {

TEST(ScenarioSource, EveryErrorIsReportedWithItsPositionAndNoPageIsMade)
{
    const std::string main = "calc a = 1\n"
                             "  bogus 3\n"              // indentation is fine; the keyword is not
                             "calc a = (1 +\n"          // unclosed bracket
                             "jump other.rsb:nowhere\n" // label missing in the other page
                             "while a < 3\n";           // never closed
    std::vector<TCompiledPage> pages;
    std::vector<TScenarioError> errors;
    EXPECT_FALSE(CompileScenarios(
        {{"main.rss", "main.rsb", main}, {"other.rss", "other.rsb", "label here\n"}}, pages, errors));
    EXPECT_TRUE(pages.empty());
    std::vector<std::string> where;
    for (const TScenarioError& e : errors)
        where.push_back(e.FileName + ":" + std::to_string(e.Line) + ":" + std::to_string(e.Column));
    EXPECT_EQ(where,
              (std::vector<std::string>{"main.rss:2:3", "main.rss:3:6", "main.rss:5:1", "main.rss:4:6"}));
    EXPECT_EQ(errors[0].Format().rfind("main.rss:2:3: ", 0), 0u);
}

TEST(ScenarioSource, LineNumbersAndIndentsUseTheirWholeUnsignedRange)
{
    std::vector<TCompiledPage> pages;
    std::vector<TScenarioError> errors;
    ASSERT_TRUE(CompileScenarios({{"p.rss", "p.rsb", "[line 4294967295] [indent 2147483648] calc a = 1\n"}},
                                 pages, errors));
    TPage page;
    page.LoadFromBytes("p.rsb", pages[0].Bytes);
    EXPECT_EQ(page.Commands[0].Line, 4294967295u);
    EXPECT_EQ(page.Commands[0].Indent, 2147483648u);
    EXPECT_FALSE(CompileScenarios({{"p.rss", "p.rsb", "[line 4294967296] calc a = 1\n"}}, pages, errors));
}

} // namespace
