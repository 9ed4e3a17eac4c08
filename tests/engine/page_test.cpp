#include "engine/page.h"

#include <gtest/gtest.h>

#include "allocation_watch.h"
#include "base/error.h"
#include "base/text.h"
#include "engine/comfactory.h"
#include "engine/propnames.h"
#include "engine/scenario.h"
#include "engine/scenariotext.h"
#include "io/fields.h"

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
        ccMesNew,      ccMovie,     ccTextIns,     ccClrHist,     ccCinema,       ccCaption,  ccMenu,
        ccMenuClose,   ccTextClr,   ccCallHist,    ccParticleNew, ccFireNew,      ccEditNew,  ccMemoNew,
        ccClrRead,     ccMapImgNew, ccWaveNew,     ccSliderNew,   ccScrollbarNew, ccGaugeNew, ccCGCaption,
        ccPrevMenuNew, ccEntryHist, ccCabinetSave, ccCabinetLoad};
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
    ASSERT_EQ(page.Commands[0].Props.size(), 1u);
    EXPECT_EQ(page.Commands[0].Props[0].Id, PropLeft);
    EXPECT_NE(page.Commands[0].Prop(PropLeft), nullptr);
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
    EXPECT_TRUE(page.Commands[0].Props.empty());
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

std::vector<uint8_t> FromBase64(const std::string& text)
{
    auto value = [](char c) -> int {
        const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        return static_cast<int>(digits.find(c));
    };
    std::vector<uint8_t> bytes;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        bits = bits << 6 | static_cast<uint32_t>(value(c));
        if ((count += 6) >= 8) bytes.push_back(static_cast<uint8_t>(bits >> (count -= 8)));
    }
    return bytes;
}

TEST(PageFile, AMaskRecordSizeWithoutRecordsAllocatesNothing)
{
    // Found by fuzzing: no records, a record size of 2 and 4 GiB, and the page then ends.
    for (const char* input : {"dAAAAAQAAAAAAAAAgAA=", "dAAAAAAAAAAAAP///////////wAA"}) {
        const std::vector<uint8_t> bytes = FromBase64(input);
        TPage page;
        test::TAllocationWatch watch;
        EXPECT_THROW(page.LoadFromBytes("p.rsb", bytes), ERukoError) << input;
        EXPECT_LT(watch.Largest(), size_t{4096}) << input;
    }
}

TEST(PageFile, ManyEmptyMaskRecordsAreSkippedAtOnce)
{
    // Found by fuzzing: four billion records of no bytes took minutes to step over.
    TPage page;
    page.LoadFromBytes("p.rsb", TPageBytes().Header(0xFFFFFFFF, 0).U32(1).Command(ccElse).Take());
    EXPECT_EQ(page.Commands.Count(), 1);
    EXPECT_EQ(page.MaskRecordCount, CommandCodeCount);
}

TEST(PageFile, WhatAPageCostsGrowsWithItsBytes)
{
    // The shapes that cost the most per stored byte: commands without fields, component commands
    // with every property in the mask, and long expression lists, each page cut short too.
    std::vector<uint8_t> allProperties(MaskRecordSize, 0xFF);
    TPageBytes boxes;
    boxes.Header(ccBoxNew + 1, MaskRecordSize);
    for (int code = 0; code < ccBoxNew; ++code)
        boxes.Bytes(std::vector<uint8_t>(MaskRecordSize, 0));
    boxes.Bytes(allProperties).U32(200);
    for (int i = 0; i < 200; ++i) {
        boxes.Command(ccBoxNew);
        for (int id = 0; id < PropertyCount; ++id)
            boxes.Expr();
    }
    TPageBytes elses;
    elses.Header(0, MaskRecordSize).U32(20000);
    for (int i = 0; i < 20000; ++i)
        elses.Command(ccElse);
    TPageBytes lists;
    lists.Header(0, MaskRecordSize).U32(1).Command(ccCall);
    WriteU32(lists.s, 0); // page
    WriteU32(lists.s, 0); // index
    WriteU32(lists.s, 0); // result
    lists.Expr().U32(50000);
    for (int i = 0; i < 50000; ++i)
        lists.Expr();
    for (std::vector<uint8_t> bytes : {boxes.Take(), elses.Take(), lists.Take()}) {
        for (size_t size : {bytes.size(), bytes.size() / 2}) {
            const std::vector<uint8_t> input(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(size));
            TPage page;
            test::TAllocationWatch watch;
            try {
                page.LoadFromBytes("p.rsb", input);
            } catch (const ERukoError&) {
                EXPECT_LT(size, bytes.size());
            }
            EXPECT_LT(watch.Total(), 16 * size) << bytes.size() << " bytes cut to " << size;
        }
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
