#include "params/functable.h"
#include "params/proptable.h"

#include <gtest/gtest.h>

#include <set>

namespace ruko {
namespace {

TEST(PropertyTable, IdsFollowTheirIdentifiers)
{
    struct Case
    {
        int id;
        const char* name;
    } cases[] = {{PR_NAME, "PR_NAME"},           {PR_ZOOMX, "PR_ZOOMX"},
                 {PR_ONPLAYING, "PR_ONPLAYING"}, {PR_VISIBLE, "PR_VISIBLE"},
                 {PR_HANDLEKEY, "PR_HANDLEKEY"}, {PR_TAG, "PR_TAG"},
                 {PR_IMEMODE, "PR_IMEMODE"},     {PR_CAPMASKLEVEL, "PR_CAPMASKLEVEL"}};
    for (const Case& c : cases) {
        EXPECT_STREQ(PropertyTable[c.id].Name, c.name);
        EXPECT_EQ(PropertyIdOf(c.name), c.id);
    }
    EXPECT_EQ(PropertyIdOf("pr_left"), -1);
}

TEST(PropertyTable, TypesAccessorsAndAbsentValues)
{
    // The two rows whose accessor kind differs from their result type.
    EXPECT_EQ(PropertyTable[PR_ONPLAYING].Type, ptFlag);
    EXPECT_EQ(PropertyTable[PR_ONPLAYING].Access, ptStr);
    EXPECT_EQ(PropertyTable[PR_HANDLEKEY].Type, ptInt);
    EXPECT_EQ(PropertyTable[PR_HANDLEKEY].Access, ptFlag);
    for (int id = 0; id < PropertyCount; ++id) {
        EXPECT_EQ(PropertyKinds[id], PropertyTable[id].Type) << id;
        if (id != PR_ONPLAYING && id != PR_HANDLEKEY) {
            EXPECT_EQ(PropertyTable[id].Access, PropertyTable[id].Type) << id;
        }
    }
    EXPECT_EQ(PropertyTable[PR_COLOR].AbsentValue.Int, 0xFFFFFF);
    EXPECT_EQ(PropertyTable[PR_INDEX].AbsentValue.Int, -1);
    EXPECT_EQ(PropertyTable[PR_ZOOMX].AbsentValue.Int, 256);
    EXPECT_EQ(PropertyTable[PR_FLOATZOOMY].AbsentValue.Real, 1.0L);
    EXPECT_EQ(PropertyTable[PR_ORIGWIDTH].Absent, TAbsent::Width);
    EXPECT_EQ(PropertyTable[PR_ORIGHEIGHT].Absent, TAbsent::Height);
    EXPECT_EQ(PropertyTable[PR_REWINDONLOAD].AbsentValue.Int, 1);
    EXPECT_EQ(PropertyTable[PR_COLOR].CreationDefault.Int, -1);
    EXPECT_EQ(PropertyTable[PR_ZOOMX].Creation, TCreation::OnlyIfGiven);
    EXPECT_EQ(PropertyTable[PR_PLUSX].Creation, TCreation::NotApplied);
    EXPECT_EQ(PropertyTable[PR_VOLUME].CreationDefault.Int, 1000);
}

TEST(PropertyTable, ReadOnlyRowsAndKinds)
{
    std::set<int> readOnly;
    for (int id = 0; id < PropertyCount; ++id)
        if (PropertyTable[id].IsReadOnly()) readOnly.insert(id);
    // The read-only rows, the two that no component implements at all, and the column count.
    EXPECT_EQ(readOnly, (std::set<int>{PR_COUNT, PR_COLCOUNT, PR_CARETX, PR_CARETY, PR_APPEARX, PR_APPEARY,
                                       PR_PLAYING, PR_COMPOTYPE, PR_CARETHEIGHT}));
    EXPECT_TRUE(PropertyTable[PR_LEFT].GetKinds & CompoTypeBit(LT_NONE)); // base windows are visual
    EXPECT_FALSE(PropertyTable[PR_LEFT].GetKinds & CompoTypeBit(LT_TIMER));
    EXPECT_TRUE(PropertyTable[PR_ANIPAUSED].SetKinds & CompoTypeBit(LT_SOUND));
    EXPECT_FALSE(PropertyTable[PR_ANIPAUSED].GetKinds & CompoTypeBit(LT_SOUND));
    EXPECT_TRUE(PropertyTable[PR_REPEAT].GetKinds & CompoTypeBit(LT_TILE));
    EXPECT_FALSE(PropertyTable[PR_REPEAT].SetKinds & CompoTypeBit(LT_TILE));
}

TEST(PropertyTable, CreationOrderIsAPermutationStartingWithNameParentSourceAndZoom)
{
    std::set<int> seen(PropertyCreationOrder.begin(), PropertyCreationOrder.end());
    EXPECT_EQ(seen.size(), size_t(PropertyCount));
    const int head[] = {PR_NAME,  PR_PARENT,    PR_SOURCE, PR_FLOATZOOMX, PR_ZOOMX, PR_FLOATZOOMY,
                        PR_ZOOMY, PR_POSZOOMED, PR_WIDTH,  PR_HEIGHT,     PR_LEFT,  PR_TOP};
    for (size_t i = 0; i < std::size(head); ++i)
        EXPECT_EQ(PropertyCreationOrder[i], head[i]);
    EXPECT_EQ(PropertyCreationOrder.back(), PR_BLURDELAY);
}

} // namespace
} // namespace ruko
