#include "components/cliplist.h"

#include <climits>
#include <gtest/gtest.h>

namespace ruko {
namespace {

TEST(ClipListTest, NearRectanglesMergeAndDistantOnesStaySeparate)
{
    TClipList list;
    list.Add({0, 0, 100, 100});
    list.Add({110, 0, 150, 100}); // 10 to the right: merged
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0], (TRect{0, 0, 150, 100}));

    list.Changed = false;
    list.Add({10, 10, 20, 20}); // inside: nothing changes
    list.Add({5, 5, 5, 50});    // empty: ignored
    EXPECT_EQ(list.Count(), 1);
    EXPECT_FALSE(list.Changed);

    list.Add({180, 0, 200, 100}); // 30 apart: separate
    EXPECT_EQ(list.Count(), 2);
    EXPECT_TRUE(list.Changed);
}

TEST(ClipListTest, AUnionMayReachFurtherRectangles)
{
    TClipList list;
    list.Add({0, 0, 10, 10});
    list.Add({100, 0, 110, 10});
    list.Add({25, 0, 90, 10}); // near the first; their union is near the second
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0], (TRect{0, 0, 110, 10}));
}

TEST(ClipListTest, EdgesAtTheIntegerLimitsDoNotWrap)
{
    TClipList list;
    list.Add({INT_MAX - 10, INT_MAX - 10, INT_MAX, INT_MAX});
    list.Add({INT_MIN, INT_MIN, INT_MIN + 10, INT_MIN + 10});
    EXPECT_EQ(list.Count(), 2);
}

} // namespace
} // namespace ruko
