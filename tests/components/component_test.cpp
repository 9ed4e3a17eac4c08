#include "base/error.h"
#include "components/baselist.h"
#include "components/box.h"
#include "io/bigstream.h"
#include "params/param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ruko {
namespace {

TRukoBox* NewBox(TRukoBaseList& list, const std::string& name, int32_t left = 0, int32_t top = 0,
                 int32_t width = 10, int32_t height = 10, int32_t color = 0xFF)
{
    auto* box = static_cast<TRukoBox*>(list.CreateComponent(LT_BOX));
    box->SetName(name);
    box->SetBounds(left, top, width, height);
    box->SetColor(color);
    return box;
}

// A non-visual kind, as sounds and timers are.
class TFakeTimer : public TRukoComponent
{
  public:
    using TRukoComponent::TRukoComponent;
    uint8_t GetCompoType() const override { return LT_TIMER; }
    int Step() override { return Steps++, DestroyOnStep ? 1 : 0; }
    int Steps = 0;
    bool DestroyOnStep = false;
};

std::vector<std::string> ChildNames(const TRukoControl& c)
{
    std::vector<std::string> names;
    for (const auto& child : c.Children)
        names.push_back(child->Name);
    return names;
}

TEST(ComponentNames, AutomaticNamesAndRenamingOnCollision)
{
    TRukoBaseList list;
    EXPECT_EQ(list.CreateComponent(LT_BOX)->Name, "object0");
    EXPECT_EQ(list.CreateComponent(LT_BOX)->Name, "object1");
    struct Case
    {
        const char* existing;
        const char* renamedTo;
    } cases[] = {{"a", "a_2"}, {"a_5", "a_6"}, {"a_1", "a_1_2"}, {"b_x", "b_x_2"}};
    for (const Case& c : cases) {
        TRukoBox* old = NewBox(list, c.existing);
        TRukoBox* fresh = NewBox(list, c.existing);
        EXPECT_EQ(old->Name, c.renamedTo) << c.existing;
        EXPECT_EQ(fresh->Name, c.existing);
        EXPECT_EQ(list.FindComponent(c.existing), fresh);
    }
    // Empty names never collide.
    TRukoBox* x = NewBox(list, "");
    TRukoBox* y = NewBox(list, "");
    EXPECT_EQ(x->Name, "");
    EXPECT_EQ(y->Name, "");
}

TEST(ComponentNames, NonVisualKindReplacesItsNamesake)
{
    TRukoBaseList list;
    auto* first = static_cast<TFakeTimer*>(list.Adopt(std::make_unique<TFakeTimer>(&list)));
    first->SetName("t");
    TComponentHandle firstHandle = first->Handle;
    auto* second = list.Adopt(std::make_unique<TFakeTimer>(&list));
    second->SetName("t");
    EXPECT_EQ(list.FindComponent("t"), second);
    EXPECT_TRUE(list.IsPendingDelete(first));
    list.Step();
    EXPECT_EQ(list.Resolve(firstHandle), nullptr);
}

TEST(ComponentNames, UniqueNamesSkipDeletedComponents)
{
    TRukoBaseList list;
    TRukoObject* a = list.CreateComponent(LT_BOX); // object0
    list.CreateComponent(LT_BOX);                  // object1
    a->Delete();
    EXPECT_EQ(list.MakeUniqueName("object"), "object0");
    EXPECT_EQ(list.FindComponent("object0"), nullptr);
}

TEST(ComponentOrder, TotalKeyOrdersChildren)
{
    TRukoBaseList list;
    TRukoControl& base = list.GetActiveBase();
    NewBox(list, "b");
    NewBox(list, "a");
    NewBox(list, std::string(1, SOH) + "sys")->SetPriority(1000);
    NewBox(list, std::string(2, SOH))->SetPriority(-1000);
    TRukoBox* high = NewBox(list, "high");
    high->SetPriority(INT32_MAX);
    high->SetSubPriority(1); // the sum must not wrap below everything
    TRukoBox* low = NewBox(list, "low");
    low->SetPriority(-5);
    EXPECT_EQ(ChildNames(base), (std::vector<std::string>{std::string(1, SOH) + "sys", "low", "a", "b",
                                                          "high", std::string(2, SOH)}));
    // Changing a priority re-sorts; setting it resets the sub-priority.
    high->SetPriority(-10);
    EXPECT_EQ(high->SubPriority, 0);
    EXPECT_EQ(ChildNames(base)[1], "high");
}

TEST(ComponentGeometry, DrawnPositionFollowsParentOffsetAndPlus)
{
    TRukoBaseList list;
    list.SetSize(200, 200);
    TRukoBox* parent = NewBox(list, "p", 50, 40, 100, 100);
    TRukoBox* child = NewBox(list, "c", 5, 6, 10, 10);
    child->SetParent(parent);
    child->SetOffsetX(2);
    child->SetPlusY(3);
    EXPECT_EQ(child->GetDrawLeft(), 50 + 5 - 2);
    EXPECT_EQ(child->GetDrawTop(), 40 + 6 + 3);
    // Extreme positions saturate instead of wrapping.
    child->Left = INT32_MAX;
    EXPECT_EQ(child->GetDrawLeft(), INT32_MAX);
    child->Left = 5;
    // Clip width 0 means no clipping; 1 clips to one column.
    child->SetClip(0, 0, 0, 5);
    EXPECT_TRUE(child->GetClipRect().IsEmpty());
    child->SetClip(0, 0, 1, 5);
    EXPECT_EQ(child->GetClipRect().Width(), 1);
}

TEST(ComponentGeometry, SetParentRefusesCycles)
{
    TRukoBaseList list;
    TRukoBox* a = NewBox(list, "a");
    TRukoBox* b = NewBox(list, "b");
    b->SetParent(a);
    a->SetParent(b);
    EXPECT_EQ(b->Parent, a);
    EXPECT_EQ(a->Parent, &list.GetActiveBase());
}

TEST(ComponentProperties, BoxAnswersEveryIdAsTheTableSays)
{
    TRukoBaseList list;
    TRukoBox* box = NewBox(list, "box", 1, 2, 30, 40);
    for (int id = 0; id < PropertyCount; ++id) {
        const TPropertyInfo& row = PropertyTable[id];
        bool reads = row.GetKinds & CompoTypeBit(LT_BOX);
        bool writes = row.SetKinds & CompoTypeBit(LT_BOX);
        auto value = CreateParamByType(row.Type);
        if (!reads && row.Absent == TAbsent::Value) {
            box->GetProperty(id, *value);
            auto expected = CreateParamByType(row.Type);
            row.AbsentValue.StoreInto(*expected);
            EXPECT_EQ(value->GetStr(), expected->GetStr()) << row.Name;
        }
        if (id == PR_NAME || id == PR_PARENT || id == PR_SOURCE || id == PR_APPEARX || id == PR_APPEARY)
            continue;
        // Write a distinctive value of the accessor's kind and read it back.
        auto written = CreateParamByType(row.Access);
        switch (row.Access) {
        case ptInt:
            written->SetInt(id == PR_IGNOREMOUSE ? 2 : 7);
            break;
        case ptFlag:
            written->SetFlag(true);
            break;
        case ptFloat:
            written->SetFloat(0.5L);
            break;
        default:
            written->SetStr("cmd");
            break;
        }
        auto before = CreateParamByType(row.Access);
        box->GetProperty(id, *before);
        box->SetProperty(id, *written);
        auto after = CreateParamByType(row.Access);
        box->GetProperty(id, *after);
        if (writes)
            EXPECT_EQ(after->GetStr(), written->GetStr()) << row.Name;
        else
            EXPECT_EQ(after->GetStr(), before->GetStr()) << row.Name;
    }
}

TEST(ComponentProperties, IdsOutsideTheTableRaise)
{
    TRukoBaseList list;
    TRukoBox* box = NewBox(list, "box");
    auto v = CreateParamByType(ptInt);
    for (int64_t id : {-1LL, -2147483648LL, 171LL, 1000LL}) {
        EXPECT_THROW(box->GetProperty(id, *v), ERukoError) << id;
        EXPECT_THROW(box->SetProperty(id, *v), ERukoError) << id;
    }
    EXPECT_THROW(box->SetProperty(PR_APPEARX, *v), ERukoError);
    box->GetProperty(PR_APPEARX, *v);
    EXPECT_EQ(v->GetInt(), 0);
}

TEST(ComponentProperties, ScriptRealsSaturateIntoSizes)
{
    TRukoBaseList list;
    TRukoBox* box = NewBox(list, "box");
    auto v = CreateParamByType(ptFloat);
    struct Case
    {
        Extended in;
        int32_t width;
    } cases[] = {
        {std::numeric_limits<Extended>::quiet_NaN(), 0}, {1e30L, MaxComponentSize}, {-5.0L, 0}, {12.9L, 12}};
    for (const Case& c : cases) {
        v->SetFloat(c.in);
        box->SetProperty(PR_WIDTH, *v);
        EXPECT_EQ(box->Width, c.width);
    }
}

TEST(ComponentProperties, ParentNamesTheBackBaseWithSoh)
{
    TRukoBaseList list;
    TRukoBox* box = NewBox(list, "box");
    auto s = CreateParamByType(ptStr);
    s->SetStr(std::string(1, SOH));
    box->SetProperty(PR_PARENT, *s);
    EXPECT_EQ(box->Parent, &list.GetBackBase());
    auto r = CreateParamByType(ptStr);
    box->GetProperty(PR_PARENT, *r);
    EXPECT_EQ(r->GetStr(), std::string(1, SOH));
    s->SetStr("");
    box->SetProperty(PR_PARENT, *s);
    EXPECT_EQ(box->Parent, &list.GetActiveBase());
}

TEST(ComponentLife, DeletionIsDeferredAndHandlesNeverComeBack)
{
    TRukoBaseList list;
    TRukoBox* box = NewBox(list, "box");
    TComponentHandle h = box->Handle;
    box->Delete();
    EXPECT_EQ(list.FindComponent("box"), nullptr);
    EXPECT_EQ(list.Resolve(h), box); // still in the list until the update step
    list.Step();
    EXPECT_EQ(list.Resolve(h), nullptr);
    TRukoBox* next = NewBox(list, "box");
    EXPECT_NE(next->Handle, h);
    EXPECT_EQ(list.Resolve(h), nullptr);
}

TEST(ComponentLife, DestroyedDuringUpdateDoesNotSkipTheNext)
{
    TRukoBaseList list;
    auto* a = static_cast<TFakeTimer*>(list.Adopt(std::make_unique<TFakeTimer>(&list)));
    auto* b = static_cast<TFakeTimer*>(list.Adopt(std::make_unique<TFakeTimer>(&list)));
    a->DestroyOnStep = true;
    TComponentHandle ha = a->Handle;
    list.Step();
    EXPECT_EQ(list.Resolve(ha), nullptr);
    EXPECT_EQ(b->Steps, 1);
}

TEST(ComponentLife, DestroyingAParentDropsItsChildrenAndTheirEvents)
{
    TRukoBaseList list;
    TRukoBox* parent = NewBox(list, "p");
    TRukoBox* child = NewBox(list, "c");
    child->SetParent(parent);
    TComponentHandle hc = child->Handle;
    list.Events().Post(hc, "page", {}, PR_ONIDLE);
    list.FreeComponent(parent);
    EXPECT_EQ(list.Resolve(hc), nullptr);
    EXPECT_EQ(list.Events().Find(hc, PR_ONIDLE), -1);
    EXPECT_TRUE(list.Items().empty());
}

} // namespace
} // namespace ruko

namespace ruko {
namespace {

TEST(ComponentLife, MovingBoxLeavesFadingCopiesThatAreNeverSaved)
{
    TRukoBaseList list;
    list.SetSize(100, 100);
    TRukoBox* box = NewBox(list, "b", 0, 0, 10, 10);
    box->BlurSpan = 30;
    box->BlurDelay = 90;
    box->SetAlpha(200);
    auto frame = [&] {
        list.InputStep(15);
        list.Step();
    };
    frame();
    frame(); // the first span notes the place
    box->SetLeft(20);
    frame();
    frame();
    ASSERT_EQ(box->Parent->Children.size(), 2u);
    TRukoControl* copy = box->Parent->Children[0].get();
    EXPECT_TRUE(copy->IsAfterImage());
    EXPECT_EQ(copy->Left, 20);
    EXPECT_EQ(box->Parent->Children[1].get(), box); // directly above its copy
    TKwBigMemoryStream s;
    list.SaveToStream(s);
    s.SetPosition(0);
    TRukoBaseList loaded;
    loaded.LoadFromStream(s, 150);
    EXPECT_EQ(loaded.GetActiveBase().Children.size(), 1u);
    for (int i = 0; i < 8; ++i)
        frame();
    EXPECT_EQ(box->Parent->Children.size(), 1u); // faded out and destroyed
}

} // namespace
} // namespace ruko
