#include "io/hash.h"
#include "io/kwrandom.h"

#include <gtest/gtest.h>

namespace ruko {
namespace {

TEST(HashTest, BucketFollowsLengthFirstAndSecondToLastByte)
{
    struct Case
    {
        std::string name;
        int expected;
    };
    const Case cases[] = {
        {"", 0},
        {"x", 16},
        {"ab", (32 + 2 * 0x61) % 256}, // second-to-last byte of two is the first: 226
        {"aZ", 226},
        {"AB", 226},                       // Latin letters fold to lower case
        {"abc", (48 + 0x61 + 0x62) % 256}, // 243
        {"\x83\x41"
         "b",
         (48 + 0x83 + 0x41) % 256}, // 'A' as a trail byte does not fold
    };
    for (const Case& c : cases)
        EXPECT_EQ(Hash(c.name), c.expected) << c.name;
}

struct TNamed : THashCollectionItem
{
    using THashCollectionItem::THashCollectionItem;
    int tag = 0;
};

TEST(HashCollectionTest, LookupFindsTheLaterOfTwoEqualNames)
{
    THashCollection list;
    list.Emplace<TNamed>("Page.rsb").tag = 1;
    list.Emplace<TNamed>("PAGE.RSB").tag = 2;
    ASSERT_EQ(list.IndexOf("page.rsb"), 1);
    // Deleting the newer one uncovers the older, and renumbers nothing before it.
    list.Delete(1);
    EXPECT_EQ(list.IndexOf("page.rsb"), 0);
    EXPECT_EQ(list.IndexOf("missing"), -1);
}

TEST(HashCollectionTest, ARenamedItemHeadsItsNewBucketAndTrailBytesStayUnfolded)
{
    THashCollection list;
    list.Emplace<TNamed>("old.rsb");
    list.Emplace<TNamed>("NEW.rsb");
    list.At(0).SetName("new.RSB"); // renamed later, so found first
    EXPECT_EQ(list.IndexOf("new.rsb"), 0);
    list.At(0).SetName("gone");
    EXPECT_EQ(list.IndexOf("new.rsb"), 1);
    // 0x83 0x41 and 0x83 0x61 are two different double-byte characters, not a case pair.
    list.Emplace<TNamed>("\x83\x41");
    EXPECT_EQ(list.IndexOf("\x83\x41"), 2);
    EXPECT_EQ(list.IndexOf("\x83\x61"), -1);
    EXPECT_EQ(list.IndexOf("a\x83\x41"), -1);
}

TEST(HashCollectionTest, DeleteAndRenameKeepIndexesAndBucketsConsistent)
{
    THashCollection list;
    for (const char* name : {"a", "b", "c", "d"})
        list.Emplace<TNamed>(name);
    list.Delete(1);
    EXPECT_EQ(list.IndexOf("c"), 1);
    EXPECT_EQ(list.IndexOf("d"), 2);
    EXPECT_EQ(list.IndexOf("b"), -1);
    list.At(1).SetName("renamed");
    EXPECT_EQ(list.IndexOf("c"), -1);
    EXPECT_EQ(list.IndexOf("RENAMED"), 1);
    auto taken = list.Extract(0);
    EXPECT_EQ(taken->Index(), -1);
    EXPECT_EQ(list.IndexOf("renamed"), 0);
    EXPECT_EQ(list.IndexOf("a"), -1);
}

TEST(KwRandomTest, FirstValuesAreSeedTimesOneSixThirtyOne)
{
    TKwRandom random(ArchiveSeed);
    EXPECT_EQ(random.Next(), ArchiveSeed);
    EXPECT_EQ(random.Next(), static_cast<uint32_t>(6u * ArchiveSeed));
    EXPECT_EQ(random.Next(), static_cast<uint32_t>(31u * ArchiveSeed));
}

TEST(KwRandomTest, PermutationYieldsEveryIndexOnce)
{
    TKwRandom random(12345);
    random.InitPermutation(50);
    std::vector<int> seen(50, 0);
    for (int i = 0; i < 50; ++i) {
        int index = random.NextIndex();
        ASSERT_GE(index, 0);
        ++seen[static_cast<size_t>(index)];
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 50);
    EXPECT_EQ(random.NextIndex(), -1);
}

} // namespace
} // namespace ruko
