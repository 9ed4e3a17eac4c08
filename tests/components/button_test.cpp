// Buttons: the state transitions of mouse, keys and the clicked animation, groups, the property
// table's row for the kind and the save record at each version threshold.
#include "../graphics/brom_test_support.h"
#include "picture_fixture.h"

#include "base/text.h"
#include "components/baselist.h"
#include "components/button.h"
#include "graphics/bromcache.h"
#include "io/fields.h"
#include "params/paramcollection.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace ruko {
namespace {

std::vector<uint8_t> Picture(int frames, int32_t delay)
{
    std::vector<test::TFrameSpec> list;
    for (int f = 0; f < frames; ++f) {
        test::TFrameSpec frame;
        frame.Width = 10;
        frame.Height = 10;
        frame.Delay = delay;
        test::TLayerSpec layer;
        layer.Data = test::Rows24(10, std::vector<uint32_t>(100, 0xFFFFFF));
        frame.Layers.push_back(layer);
        list.push_back(frame);
    }
    return test::BuildBinary(105, {}, list);
}

template <class T> struct TProbe : T
{
    using T::GetOwn;
    using T::SetOwn;
    using T::T;
    using TRukoButton::ButtonLoad;
};

class Buttons : public test::TPictureListTest
{
  protected:
    void SetUp() override
    {
        for (const char* name : {"N.BRM", "H.BRM", "P.BRM"})
            files_[name] = Picture(1, 100);
        files_["C.BRM"] = Picture(2, 50);
        StartList(64, 64);
    }

    TRukoButton* Make(const std::string& name, bool clicked = true)
    {
        auto* b = static_cast<TRukoButton*>(list_->CreateComponent(LT_BUTTON));
        b->SetName(name);
        b->SetStateSource(0, "n.brm");
        b->SetStateSource(1, "h.brm");
        b->SetStateSource(2, "p.brm");
        if (clicked) b->SetStateSource(3, "c.brm");
        b->NotifyCommand = "notify";
        b->PlayEndCommand = "ended";
        return b;
    }
    void Frame(int32_t ms = 16)
    {
        list_->InputStep(ms);
        list_->Step();
    }
    int Count(uint8_t code)
    {
        int n = 0;
        for (const TEventRecord& e : list_->Events().Entries())
            n += e.Code == code;
        return n;
    }
};

TEST_F(Buttons, MouseAndClickedAnimationWalkTheStates)
{
    TRukoButton* b = Make("b");
    Frame();
    struct Step
    {
        const char* what;
        std::function<void()> act;
        int32_t state;
        int notifies;
    } steps[] = {
        {"hover", [&] { list_->MouseMoveTo(5, 5); }, 1, 0},
        {"press", [&] { list_->MouseDown(true, 5, 5); }, 2, 0},
        {"drag off", [&] { list_->MouseMoveTo(40, 40); }, 0, 0},
        {"release elsewhere", [&] { list_->MouseUp(40, 40); }, 0, 0},
        {"back", [&] { list_->MouseMoveTo(5, 5); }, 1, 0},
        {"press again", [&] { list_->MouseDown(true, 5, 5); }, 2, 0},
        {"release over it", [&] { list_->MouseUp(5, 5); }, 3, 1},
        {"move while clicked", [&] { list_->MouseMoveTo(6, 6); }, 3, 1},
        {"press while clicked", [&] { list_->MouseDown(true, 6, 6); }, 3, 1},
        {"release while clicked", [&] { list_->MouseUp(6, 6); }, 3, 1},
    };
    for (const Step& s : steps) {
        s.act();
        Frame();
        EXPECT_EQ(b->State, s.state) << s.what;
        EXPECT_EQ(Count(PR_ONNOTIFY), s.notifies) << s.what;
    }
    // The clicked animation ends once; the hover asked for meanwhile follows.
    for (int i = 0; i < 10; ++i)
        Frame();
    EXPECT_EQ(Count(PR_ONPLAYEND), 1);
    EXPECT_EQ(b->State, 1);
    EXPECT_TRUE(b->HasPicture);
}

TEST_F(Buttons, StateAfterClickWithoutPicturesShowsStateZero)
{
    TRukoButton* b = Make("b");
    b->SetStateSource(1, "");
    b->Click();
    EXPECT_EQ(b->State, 3);
    b->SetState(1); // remembered; state 1 has no picture
    EXPECT_EQ(b->StateAfterClick, 1);
    for (int i = 0; i < 10; ++i)
        Frame();
    EXPECT_EQ(b->State, 0);
    EXPECT_EQ(b->FrameIndex, 0);
    // Without a clicked picture, AutoScrap destroys the button at the next step.
    TRukoButton* plain = Make("plain", false);
    plain->AutoScrapFlag = true;
    plain->Click();
    EXPECT_EQ(plain->PressPhase, -1);
    Frame();
    EXPECT_EQ(list_->FindComponent("plain"), nullptr);
}

TEST_F(Buttons, KeysClickAndAGroupNeverLetsAllUp)
{
    TRukoButton* g[3];
    for (int i = 0; i < 3; ++i) {
        g[i] = Make("g" + std::to_string(i), false);
        g[i]->SetLeft(20 * i);
        g[i]->SetGroupIndex(1);
    }
    auto selected = [&] {
        return std::string{g[0]->Selected ? '1' : '0', g[1]->Selected ? '1' : '0',
                           g[2]->Selected ? '1' : '0'};
    };
    EXPECT_EQ(selected(), "100");
    g[0]->Click();
    EXPECT_EQ(selected(), "100");
    g[2]->KeyRepeat({13});
    EXPECT_EQ(selected(), "001");
    EXPECT_EQ(g[2]->State, 2);
    EXPECT_EQ(g[0]->State, 0);
    g[2]->SetSelected(false);
    EXPECT_EQ(selected(), "100");
    g[1]->SetAllowAllUp(true);
    EXPECT_TRUE(g[0]->AllowAllUp && g[2]->AllowAllUp);
    g[0]->Click();
    EXPECT_EQ(selected(), "000");
}

TEST_F(Buttons, EveryPropertyIsImplementedExactlyByTheKindsTheTableNames)
{
    TProbe<TRukoButton> button(list_.get());
    for (int id = 0; id < PropertyCount; ++id) {
        const TPropertyInfo& row = PropertyTable[id];
        if (id == PR_NAME || id == PR_PRIORITY || id == PR_TAG || id == PR_COMPOTYPE || id == PR_APPEARX ||
            id == PR_APPEARY)
            continue;
        std::unique_ptr<TCustomParam> value = CreateParamByType(row.Access);
        row.AbsentValue.StoreInto(*value);
        EXPECT_EQ(button.GetOwn(id, *value), (row.GetKinds & CompoTypeBit(LT_BUTTON)) != 0) << row.Name;
        if (row.IsReadOnly() || id == PR_PARENT) continue;
        EXPECT_EQ(button.SetOwn(id, *value), (row.SetKinds & CompoTypeBit(LT_BUTTON)) != 0) << row.Name;
    }
}

TEST_F(Buttons, RecordsLoadAtEachThresholdAndShowTheSelectedState)
{
    TRukoButton* source = Make("saved");
    source->GroupIndex = 2;
    source->Selected = true;
    source->AllowAllUp = true;
    source->IdleCommand = "idle";
    source->Caption.FontHeight = 20;
    source->PressPhase = 1;
    for (int32_t version : {103, 104, 136, 137, 150}) {
        // The newest record cut back to what an older version holds after the images part.
        TKwBigMemoryStream images;
        static_cast<const TRukoImages*>(source)->TRukoImages::SaveToStream(images);
        TKwBigMemoryStream s;
        s.Write(images.Bytes().data(), int64_t(images.Bytes().size()));
        WriteStr(s, "h.brm");
        WriteStr(s, "p.brm");
        WriteInt(s, 2);
        WriteBool(s, true);
        WriteBool(s, true);
        WriteStr(s, "notify");
        if (version > 103) {
            WriteStr(s, "idle");
            WriteStr(s, "c.brm");
        }
        if (version > 136) source->Caption.SaveToStream(s);
        s.SetPosition(0);
        auto probe = std::make_unique<TProbe<TRukoButton>>(list_.get());
        TProbe<TRukoButton>* b = probe.get();
        b->TRukoImages::LoadFromStream(s, 150);
        b->ButtonLoad(s, version);
        EXPECT_EQ(s.GetPosition(), int64_t(s.Bytes().size())) << version;
        EXPECT_EQ(b->GroupIndex, 2);
        EXPECT_TRUE(b->Selected);
        EXPECT_EQ(b->State, 2) << version;
        EXPECT_EQ(b->PressPhase, 0);
        EXPECT_TRUE(b->HasPicture);
        EXPECT_EQ(b->ClickedSource, version > 103 ? "c.brm" : "");
        EXPECT_EQ(b->Caption.FontHeight, version > 136 ? 20 : 12) << version;
    }
}

} // namespace
} // namespace ruko
