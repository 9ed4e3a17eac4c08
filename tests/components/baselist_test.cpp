#include "base/error.h"
#include "components/baselist.h"
#include "components/box.h"
#include "io/bigstream.h"

#include <gtest/gtest.h>

namespace ruko {
namespace {

class BaseListTest : public ::testing::Test
{
  protected:
    BaseListTest() { list.SetSize(100, 80); }

    TRukoBox* Box(const std::string& name, int32_t left, int32_t top, int32_t width, int32_t height,
                  int32_t color = 0x0000FF)
    {
        auto* box = static_cast<TRukoBox*>(list.CreateComponent(LT_BOX));
        box->SetName(name);
        box->SetBounds(left, top, width, height);
        box->SetColor(color);
        return box;
    }

    void Frame() { list.InputStep(15); }

    // The events posted so far as "name:code(args)", then cleared.
    std::vector<std::string> Events()
    {
        std::vector<std::string> out;
        for (const TEventRecord& e : list.Events().Entries()) {
            std::string text = list.ComponentName(e.Target) + ":" + std::to_string(e.Code) + "(";
            for (size_t i = 0; i < e.Args.size(); ++i)
                text += (i ? "," : "") + e.Args[i];
            out.push_back(text + ")");
        }
        list.Events().Replace({});
        return out;
    }

    uint32_t ScreenColor(int x, int y) { return list.Surface().PixelToColor(list.Surface().GetPixel(x, y)); }

    TLocalEventQueue queue;
    TRukoBaseList list{&queue};
};

using Ev = std::vector<std::string>;

TEST_F(BaseListTest, ClickOnABoxPostsItsHandlerAndTakesTheClick)
{
    TRukoBox* box = Box("b", 10, 10, 20, 20);
    box->OnLBtnDown = "click";
    list.MouseDown(true, 15, 17);
    Frame();
    EXPECT_EQ(Events(), (Ev{"b:36(5,7)"}));
    EXPECT_FALSE(list.GetActiveBase().LClick); // taken
    // Clicking while the handler is still queued posts nothing more.
    list.MouseUp(15, 17);
    Frame();
    queue.Post(box->Handle, "click", {}, PR_ONLBTNDOWN);
    list.MouseDown(true, 15, 17);
    Frame();
    EXPECT_EQ(Events(), (Ev{"b:36()"}));
}

TEST_F(BaseListTest, IgnoredClickPassesThroughToWhatLiesBelow)
{
    TRukoBox* below = Box("below", 0, 0, 50, 50);
    below->OnLBtnDown = "below";
    TRukoBox* above = Box("above", 0, 0, 50, 50);
    above->OnLBtnDown = "above";
    above->IgnoreMouse = IM_CLICK;
    list.MouseDown(true, 5, 5);
    Frame();
    EXPECT_EQ(Events(), (Ev{"below:36(5,5)"}));
    // Over empty space the click stays with the frame.
    list.MouseUp(5, 5);
    Frame();
    list.MouseDown(true, 90, 70);
    Frame();
    EXPECT_TRUE(list.GetActiveBase().LClick);
}

TEST_F(BaseListTest, PressReleasedElsewhereStaysWithThePressedComponent)
{
    TRukoBox* a = Box("a", 0, 0, 20, 20);
    a->OnLBtnDown = "down";
    a->OnLBtnUp = "up";
    a->OnMouseOut = "out";
    TRukoBox* b = Box("b", 50, 0, 20, 20);
    b->OnMouseIn = "in";
    b->OnLBtnUp = "up";
    list.MouseMoveTo(5, 5);
    Frame();
    Events();
    list.MouseDown(true, 5, 5);
    Frame();
    list.MouseMoveTo(55, 5); // held: no out/in while captured
    Frame();
    EXPECT_EQ(Events(), (Ev{"a:36(5,5)"}));
    list.MouseUp(55, 5);
    Frame();
    EXPECT_EQ(Events(), (Ev{"a:37(55,5)"}));
    Frame(); // the capture has ended: the pointer now enters b
    EXPECT_EQ(Events(), (Ev{"a:35()", "b:103()"}));
    // A press on empty space released over b clicks nothing.
    list.MouseDown(true, 90, 70);
    Frame();
    list.MouseMoveTo(55, 5);
    list.MouseUp(55, 5);
    Frame();
    Frame();
    for (const std::string& e : Events())
        EXPECT_EQ(e.find(":37"), std::string::npos) << e;
}

TEST_F(BaseListTest, HoverChangePostsOutThenInThenMove)
{
    TRukoBox* a = Box("a", 0, 0, 20, 20);
    TRukoBox* b = Box("b", 20, 0, 20, 20);
    for (TRukoBox* box : {a, b}) {
        box->OnMouseIn = "in";
        box->OnMouseOut = "out";
        box->OnMouseMove = "move";
    }
    list.MouseMoveTo(5, 5);
    Frame();
    EXPECT_EQ(Events(), (Ev{"a:103()", "a:34(5,5)"}));
    list.MouseMoveTo(25, 6);
    Frame();
    EXPECT_EQ(Events(), (Ev{"a:35()", "b:103()", "b:34(5,6)"}));
    list.MouseMoveTo(26, 6);
    Frame();
    EXPECT_EQ(Events(), (Ev{"b:34(6,6)"}));
}

TEST_F(BaseListTest, ChildOutsideItsParentIsNeitherHitNorDrawn)
{
    TRukoBox* parent = Box("p", 0, 0, 20, 20, 0x00FF00);
    TRukoBox* child = Box("c", 30, 0, 10, 10, 0xFF0000);
    child->SetParent(parent);
    child->OnLBtnDown = "x";
    list.MouseDown(true, 32, 2);
    Frame();
    EXPECT_TRUE(Events().empty());
    list.Paint();
    EXPECT_EQ(ScreenColor(32, 2), 0u);
    EXPECT_EQ(ScreenColor(2, 2), 0x00FF00u);
}

TEST_F(BaseListTest, KeyRepeatFollowsDelayAndInterval)
{
    TRukoBox* box = Box("k", 0, 0, 10, 10);
    box->SetHandleKey(true);
    box->OnKeyDown = "down";
    box->OnKeyRepeat = "repeat";
    box->OnKeyUp = "up";
    Frame(); // focus chosen
    EXPECT_EQ(list.Focused(), box);
    list.SetKeyState(65, true);
    list.SetKeyPressed(65, true);
    std::vector<int> repeatFrames;
    for (int frame = 1; frame <= 30; ++frame) {
        Frame();
        for (const std::string& e : Events()) {
            if (e == "k:146(65)")
                repeatFrames.push_back(frame);
            else
                EXPECT_EQ(e, "k:144(65)") << frame;
        }
    }
    // 15 ms frames: the press, then after 300 ms (frame 20 counts it, frame 21 posts it), then
    // every 50 ms (frames 24/25, 27/28 ...).
    ASSERT_GE(repeatFrames.size(), 3u);
    EXPECT_EQ(repeatFrames[0], 1);
    EXPECT_EQ(repeatFrames[1], 21);
    EXPECT_EQ(repeatFrames[2] - repeatFrames[1], 4);
    list.SetKeyState(65, false);
    Frame();
    Ev last = Events();
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.back(), "k:145(65)");
}

TEST_F(BaseListTest, PrioritiesDecideWhatIsDrawnOnTop)
{
    Box("red", 0, 0, 50, 50, 0x0000FF);
    TRukoBox* green = Box("green", 25, 25, 50, 50, 0x00FF00);
    list.Paint();
    EXPECT_EQ(ScreenColor(30, 30), 0x0000FFu); // equal priorities: "red" > "green" by name
    list.TakeDirty();
    green->SetPriority(1);
    list.Paint();
    EXPECT_EQ(ScreenColor(30, 30), 0x00FF00u);
    EXPECT_EQ(ScreenColor(10, 10), 0x0000FFu);
}

TEST_F(BaseListTest, OnlyDirtyAreasAreRedrawn)
{
    TRukoBox* box = Box("b", 0, 0, 10, 10, 0x0000FF);
    list.Paint();
    list.TakeDirty();
    list.Surface().SetPixel(50, 50, 0x123456); // a stray pixel outside any dirty area survives
    box->SetLeft(20);
    list.Paint();
    std::vector<TRect> dirty = list.TakeDirty();
    ASSERT_EQ(dirty.size(), 1u); // the old and new places merge (within 20 pixels)
    EXPECT_EQ(dirty[0], TRect(0, 0, 30, 10));
    EXPECT_EQ(list.Surface().GetPixel(50, 50), 0x123456u);
    EXPECT_EQ(ScreenColor(5, 5), 0u);
    EXPECT_EQ(ScreenColor(25, 5), 0x0000FFu);
}

TEST_F(BaseListTest, FadeShowsTheOldScreenFirstAndTheNewOneLast)
{
    Box("old", 0, 0, 100, 80, 0x0000FF);
    list.Paint();
    list.TakeDirty();
    TRukoBox* fresh = Box("new", 0, 0, 100, 80, 0x00FF00);
    fresh->SetParent(&list.GetBackBase());
    TCustomWipe* wipe = list.SetActiveBase(list.ActiveBase, 1, 100, 0, true, false);
    ASSERT_NE(wipe, nullptr);
    list.Paint();
    EXPECT_EQ(ScreenColor(10, 10), 0x0000FFu);
    list.SetTransitionElapsed(99);
    list.Paint();
    uint32_t nearEnd = ScreenColor(10, 10);
    EXPECT_GT(nearEnd & 0xFF00, 0xE000u);
    // The switch at the end: the back window becomes the shown one, without a transition.
    list.SetActiveBase(list.ActiveBase ^ 1, 0, 0, 0, true, false);
    list.Paint();
    EXPECT_EQ(ScreenColor(10, 10), 0x00FF00u);
    EXPECT_EQ(list.Transition(), nullptr);
}

TEST_F(BaseListTest, EveryTransitionEndsOnTheNewScreenItself)
{
    // The new picture as drawn without any transition.
    TRukoBaseList plain{&queue};
    plain.SetSize(100, 80);
    for (TRukoBaseList* l : {&list, &plain}) {
        auto* back = static_cast<TRukoBox*>(l->CreateComponent(LT_BOX));
        back->SetBounds(0, 0, 100, 80);
        back->SetColor(0x00FF00);
        auto* spot = static_cast<TRukoBox*>(l->CreateComponent(LT_BOX));
        spot->SetBounds(30, 20, 25, 15);
        spot->SetColor(0x8040C0);
        spot->SetParent(back);
        if (l == &list) back->SetParent(&list.GetBackBase());
    }
    plain.Paint();
    Box("old", 0, 0, 100, 80, 0x0000FF);
    for (int32_t kind = 1; kind <= WipeTypeCount; ++kind) {
        SCOPED_TRACE(WipeTypeName(kind));
        list.Paint();
        TCustomWipe* wipe = list.SetActiveBase(list.ActiveBase, kind, 100, 0, true, false);
        ASSERT_NE(wipe, nullptr);
        wipe->Prepare();
        for (int32_t t = 0; t <= 100; t += 10) {
            list.SetTransitionElapsed(t);
            list.Paint();
        }
        list.SetActiveBase(list.ActiveBase ^ 1, 0, 0, 0, true, false);
        list.Paint();
        int32_t differing = 0;
        for (int32_t y = 0; y < 80; ++y)
            for (int32_t x = 0; x < 100; ++x)
                differing += list.Surface().GetPixel(x, y) != plain.Surface().GetPixel(x, y);
        EXPECT_EQ(differing, 0);
        // Back to the old screen for the next kind.
        list.SetActiveBase(list.ActiveBase ^ 1, 0, 0, 0, true, false);
    }
}

TEST_F(BaseListTest, SaveRecordRoundTripsIntoAFreshList)
{
    TRukoBox* parent = Box("p", 5, 6, 50, 40, 0x112233);
    TRukoBox* child = Box("c", 1, 2, 3, 4);
    child->SetParent(parent);
    child->OnLBtnDown = "page:label";
    child->SetHandleKey(true);
    child->Tag = "tag";
    parent->SetPriority(7);
    Box(std::string(1, SOH) + "private", 0, 0, 5, 5)->SetParent(parent);
    Frame();
    EXPECT_EQ(list.Focused(), child);
    queue.Post(child->Handle, "page:label", {"1", "2"}, PR_ONLBTNDOWN);
    TKwBigMemoryStream s;
    list.SaveToStream(s);

    TLocalEventQueue otherQueue;
    TRukoBaseList other(&otherQueue);
    s.SetPosition(0);
    other.LoadFromStream(s, 150);
    EXPECT_EQ(s.Remaining(), 0);
    auto* p = dynamic_cast<TRukoBox*>(other.FindComponent("p"));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Priority, 7);
    EXPECT_EQ(p->Color, 0x112233);
    ASSERT_EQ(p->Children.size(), 1u); // the private child is not saved
    TRukoControl* c = p->Children[0].get();
    EXPECT_EQ(c->Name, "c");
    EXPECT_EQ(c->OnLBtnDown, "page:label");
    EXPECT_EQ(c->Tag, "tag");
    EXPECT_EQ(other.Focused(), c);
    ASSERT_EQ(otherQueue.Items.size(), 1u);
    EXPECT_EQ(other.Resolve(otherQueue.Items[0].Target), c);
    EXPECT_EQ(otherQueue.Items[0].Args, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(c->Owner, &other);
}

TEST_F(BaseListTest, DamagedRecordLeavesTheRunningListAlone)
{
    TRukoBox* keep = Box("keep", 0, 0, 5, 5);
    TKwBigMemoryStream good;
    list.SaveToStream(good);
    std::vector<uint8_t> bytes = good.Bytes();
    // Every truncation fails cleanly, and so does an ActiveBase other than 0 or 1.
    for (size_t cut = 0; cut < bytes.size(); cut += 7) {
        TKwBigMemoryStream s(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
        EXPECT_THROW(list.LoadFromStream(s, 150), ERukoError) << cut;
        EXPECT_EQ(list.FindComponent("keep"), keep);
    }
    std::vector<uint8_t> badActive = bytes;
    badActive[8] = 2;
    TKwBigMemoryStream s(badActive);
    EXPECT_THROW(list.LoadFromStream(s, 150), ERukoError);
    EXPECT_EQ(list.FindComponent("keep"), keep);
}

TEST_F(BaseListTest, EmptyFocusNameInASaveFocusesNothing)
{
    Box("b", 0, 0, 5, 5);
    TKwBigMemoryStream s;
    list.SaveToStream(s); // nothing focusable, so the focused name is ""
    s.SetPosition(0);
    list.LoadFromStream(s, 150);
    EXPECT_EQ(list.Focused(), nullptr);
}

} // namespace
} // namespace ruko
