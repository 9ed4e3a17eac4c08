// The built-ins' link to the component list, on a list of its own.
#include "base/processobject.h"
#include "components/baselist.h"
#include "components/box.h"
#include "engine/componentlink.h"

#include <gtest/gtest.h>

namespace ruko {
namespace {

class ComponentLinkTest : public ::testing::Test
{
  protected:
    void SetUp() override { bases.Create().SetSize(100, 80); }
    void TearDown() override { bases.Reset(); }

    TProcessObject<TRukoBaseList> bases{Bases};

    TRukoBox* Box(const std::string& name, TRukoControl* parent = nullptr)
    {
        auto* box = static_cast<TRukoBox*>(Bases->CreateComponent(LT_BOX));
        box->SetName(name);
        box->SetBounds(2, 3, 20, 20);
        if (parent) box->SetParent(parent);
        return box;
    }

    TComponentLink link;
};

TEST_F(ComponentLinkTest, RecursiveListingDescendsThroughOtherKinds)
{
    TRukoControl* cabinet = Bases->CreateComponent(LT_CABINET)->AsControl();
    cabinet->SetName("cab");
    Box("held", cabinet);
    Box("top");
    using Names = std::vector<std::string>;
    EXPECT_EQ(link.List(LT_BOX, "ALL", false), (Names{"held", "top"}));
    EXPECT_EQ(link.List(LT_BOX, "", false), Names{"top"});
    // The active base window lists what lies directly on it; with the flag, what lies below too.
    EXPECT_EQ(link.List(0, "", false), (Names{"cab", "top"}));
    EXPECT_EQ(link.List(LT_BOX, "", true), (Names{"held", "top"}));
    EXPECT_TRUE(link.List(0, "nosuch", true).empty());
}

TEST_F(ComponentLinkTest, FocusGoesOnlyToShownComponentsThatTakeKeys)
{
    TRukoBox* keys = Box("keys");
    keys->SetHandleKey(true);
    TRukoBox* hidden = Box("hidden");
    hidden->SetHandleKey(true);
    hidden->SetVisible(false);
    Box("plain");
    for (const char* name : {"hidden", "plain", "nosuch", ""})
        link.Focus(name);
    EXPECT_EQ(link.FocusedName(), "");
    link.Focus("keys");
    EXPECT_EQ(link.FocusedName(), "keys");
}

TEST_F(ComponentLinkTest, WrittenClicksChangeTheActiveBaseWindow)
{
    link.SetClickFlag(false, true);
    link.SetClickFlag(true, true);
    EXPECT_TRUE(Bases->GetActiveBase().LClick);
    EXPECT_TRUE(Bases->GetActiveBase().RClick);
    EXPECT_FALSE(Bases->GetBackBase().LClick);
    link.SetClickFlag(false, false);
    EXPECT_FALSE(Bases->GetActiveBase().LClick);
}

TEST_F(ComponentLinkTest, DeletionWaitsForTheUpdateAndSparesTheBases)
{
    Box("gone");
    EXPECT_TRUE(link.DeleteObject("gone"));
    EXPECT_FALSE(link.Exists("gone"));
    EXPECT_EQ(Bases->Items().size(), 1u); // still there until the frame's update
    Bases->Step();
    EXPECT_TRUE(Bases->Items().empty());
    EXPECT_FALSE(link.DeleteObject(std::string(1, SOH) + "BASE1"));
    EXPECT_TRUE(link.Exists(std::string(1, SOH) + "BASE1"));
}

} // namespace
} // namespace ruko
