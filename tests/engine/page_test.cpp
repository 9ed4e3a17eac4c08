#include "engine/page.h"

#include <gtest/gtest.h>

#include "archive/fields.h"
#include "base/error.h"
#include "base/text.h"
#include "engine/comfactory.h"
#include "engine/scenario.h"
#include "engine/scenariotext.h"

using namespace ruko;

namespace {

constexpr int PropLeft = 3;

// Page file bytes written field by field, the way the authoring tool lays them out.
struct TPageBytes
{
    TKwBigMemoryStream s;

    explicit TPageBytes(uint32_t version = 117) { WriteU32(s, version); }
    TPageBytes& Header(uint32_t recordCount, uint32_t recordSize)
    {
        WriteByte(s, 1);
        WriteU32(s, recordCount);
        WriteU32(s, recordSize);
        return *this;
    }
    TPageBytes& Bytes(const std::vector<uint8_t>& bytes)
    {
        WriteExact(s, bytes.data(), static_cast<int64_t>(bytes.size()));
        return *this;
    }
    TPageBytes& U32(uint32_t v)
    {
        WriteU32(s, v);
        return *this;
    }
    // A command: code byte and the common record (no fields follow).
    TPageBytes& Command(uint8_t code)
    {
        WriteByte(s, code);
        WriteU32(s, 0);
        WriteByte(s, 0);
        WriteByte(s, 1);
        WriteU32(s, 7);
        return *this;
    }
    TPageBytes& Expr() { return Bytes(EmptyProgram()); }
    std::vector<uint8_t> Take() { return s.TakeBytes(); }
};

std::vector<uint8_t> CompiledPage(const std::string& text)
{
    std::vector<TCompiledPage> pages;
    std::vector<TScenarioError> errors;
    EXPECT_TRUE(CompileScenarios({{"p.rss", "p.rsb", text}}, pages, errors))
        << (errors.empty() ? "" : errors[0].Format());
    return pages.empty() ? std::vector<uint8_t>() : pages[0].Bytes;
}

TEST(CommandTable, RowIDescribesCodeIAndTheFieldEnumsFollowTheRows)
{
    for (int code = 0; code < CommandCodeCount; ++code) {
        const TCommandDef& def = CommandDef(code);
        EXPECT_EQ(def.Code, code);
        EXPECT_EQ(CommandCodeOf(def.Keyword), code) << def.Keyword;
        EXPECT_EQ(std::string(def.ClassName).rfind("TCom", 0), 0u) << def.ClassName;
    }
    EXPECT_EQ(std::string(CommandDef(ccCabinetLoad).ClassName), "TComCabinetLoad");
    const TCommandDef& flip = CommandDef(ccFlip);
    ASSERT_EQ(flip.Fields.size(), size_t{TComFields<ccFlip>::DiffOnly} + 1);
    EXPECT_STREQ(flip.Fields[TComFields<ccFlip>::Rule].Name, "rule");
    EXPECT_EQ(flip.Fields[TComFields<ccFlip>::Rule].SinceVersion, 101);
    EXPECT_STREQ(CommandDef(ccCall).Fields[TComFields<ccCall>::Condition].Name, "if");
    EXPECT_EQ(CommandDef(ccCall).Fields[TComFields<ccCall>::Args].Role, TFieldRole::CallArgs);
}

TEST(CommandTable, TheCodesWithoutABodyYet)
{
    // Each later subsystem takes its codes off this list by registering their classes.
    const std::vector<int> expected = {
        ccImgNew,      ccMesNew,     ccTimer,     ccMovie,        ccTextIns,    ccMovieStop, ccClrHist,
        ccCinema,      ccCaption,    ccMenu,      ccMenuClose,    ccTextClr,    ccCallHist,  ccBtnNew,
        ccParticleNew, ccFireNew,    ccSound,     ccEditNew,      ccMemoNew,    ccClrRead,   ccMapImgNew,
        ccWaveNew,     ccTileNew,    ccSliderNew, ccScrollbarNew, ccGaugeNew,   ccCGCaption, ccMediaPlay,
        ccPrevMenuNew, ccPropMotion, ccEntryHist, ccCabinetSave,  ccCabinetLoad};
    std::vector<int> missing;
    for (int code = 0; code < CommandCodeCount; ++code)
        if (!CommandHasBody(code)) missing.push_back(code);
    EXPECT_EQ(missing, expected);
}

TEST(PageFile, AMaskRecordLongerThanOneMaskCoversTheNextCodesUntilTheirOwnRecords)
{
    // Nine records of 44 bytes: record 8 (box) also lays the mask of code 9 (image), where only
    // PR_LEFT is set, so the image command stores exactly one expression.
    std::vector<uint8_t> record(44, 0);
    record[MaskRecordSize + PropLeft / 8] = 1u << (PropLeft % 8);
    TPageBytes bytes;
    bytes.Header(9, 44);
    for (int i = 0; i < 8; ++i)
        bytes.Bytes(std::vector<uint8_t>(44, 0));
    bytes.Bytes(record).U32(2).Command(9).Expr().Command(8);
    TPage page;
    page.LoadFromBytes("p.rsb", bytes.Take());
    ASSERT_EQ(page.Commands.Count(), 2);
    EXPECT_TRUE(page.MaskHas(ccImgNew, PropLeft));
    EXPECT_FALSE(page.MaskHas(ccBoxNew, PropLeft));
    int stored = 0;
    for (const auto& prop : page.Commands[0].Props)
        stored += prop != nullptr;
    EXPECT_EQ(stored, 1);
}

TEST(PageFile, CodesAreTheLowSevenBitsAndAPageWithoutMasksStoresNoProperties)
{
    TPageBytes bytes;
    bytes.Header(0, MaskRecordSize).U32(2).Command(0x80 | ccBoxNew).Command(0x80 | ccElse);
    TPage page;
    page.LoadFromBytes("p.rsb", bytes.Take());
    ASSERT_EQ(page.Commands.Count(), 2);
    EXPECT_EQ(page.Commands[0].GetCode(), ccBoxNew);
    EXPECT_EQ(page.Commands[1].GetCode(), ccElse);
    for (const auto& prop : page.Commands[0].Props)
        EXPECT_EQ(prop, nullptr);
}

TEST(PageFile, VersionsOutsideTheReadRange)
{
    TPage newer;
    newer.LoadFromBytes("p.rsb", TPageBytes(118).Header(0, 22).U32(1).Command(ccElse).Take());
    EXPECT_EQ(newer.Commands.Count(), 0);

    TPage older;
    try {
        older.LoadFromBytes("old.rsb", TPageBytes(102).Header(0, 22).U32(0).Take());
        FAIL() << "a version 102 page was read";
    } catch (const ERukoError& e) {
        EXPECT_EQ(Cp932ToUtf8(e.what()), "old.rsb\r\nリビルドしてください");
    }
    TPageBytes unknown;
    unknown.Header(0, 22).U32(1);
    WriteByte(unknown.s, 61);
    EXPECT_THROW(TPage().LoadFromBytes("p.rsb", unknown.Take()), ERukoError);
}

TEST(PageFile, EveryTruncationAndHugeCountIsADamagedFileAndLeavesThePageEmpty)
{
    const std::vector<uint8_t> good =
        CompiledPage("var string s = \"text\"\ncall q.rsb(1, \"a\") -> s if s == \"\"\n"
                     "image PR_NAME: \"i\", PR_LEFT: 3\nflip 1, 2, 3, 4, [5, 6]\n");
    for (size_t size = 0; size < good.size(); ++size) {
        TPage page;
        EXPECT_THROW(page.LoadFromBytes("p.rsb", std::vector<uint8_t>(good.begin(), good.begin() + size)),
                     ERukoError)
            << size;
        EXPECT_EQ(page.Commands.Count(), 0);
    }
    for (std::vector<uint8_t> bytes :
         {TPageBytes().Header(0xFFFFFFFF, 22).Take(), TPageBytes().Header(1, 0xFFFFFFFF).Take(),
          TPageBytes().Header(0, 22).U32(0xFFFFFFFF).Take()}) {
        TPage page;
        EXPECT_THROW(page.LoadFromBytes("p.rsb", bytes), ERukoError);
    }
}

TEST(PageFile, WrittenPagesReadBackToTheSameBytes)
{
    const std::vector<uint8_t> bytes = CompiledPage("#version 106\nwait 10\ntext \"m\", 0, 0, 0 << \"hi\"\n"
                                                    "save 1, q.rsb:#4, \"c\"\nmotion 1, 2, 3, 4, 5, 6\n");
    TPage page;
    page.LoadFromBytes("p.rsb", bytes);
    EXPECT_EQ(page.Version, 106);
    EXPECT_FALSE(page.Commands[0].Has(2)); // the no-events flag came with version 107
    EXPECT_EQ(page.SaveToBytes(), bytes);
}

} // namespace
