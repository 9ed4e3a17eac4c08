#include "components/button.h"

#include "components/baselist.h"
#include "io/fields.h"

#include <algorithm>

namespace ruko {

namespace {

constexpr uint32_t LeftPressMask = (1u << IM_NONE) | (1u << IM_RCLICK);
constexpr int32_t KeyEnter = 13, KeySpace = 32;

} // namespace

TRukoButton::TRukoButton(TRukoBaseList* owner) : TRukoImages(owner), captionItem_(&Caption.Add()) {}

TRukoImageList& TRukoButton::GetFrameList()
{
    if (State >= 1 && State < StateCount) return stateFrames_[size_t(State - 1)];
    return frames_;
}

const std::string& TRukoButton::StateSource(int32_t i) const
{
    switch (i) {
    case 1:
        return HoverSource;
    case 2:
        return PressedSource;
    case 3:
        return ClickedSource;
    default:
        return Source;
    }
}

bool TRukoButton::HasStatePicture(int32_t i) const
{
    if (i < 0 || i >= StateCount) return false;
    const TRukoImageList& frames = i == 0 ? frames_ : stateFrames_[size_t(i - 1)];
    const bool motion = i == State ? Motion != nullptr : stateMotions_[size_t(i)] != nullptr;
    return frames.Count() > 0 || motion;
}

void TRukoButton::SetStateSource(int32_t i, const std::string& name)
{
    if (i < 0 || i >= StateCount || name == StateSource(i)) return;
    const_cast<std::string&>(StateSource(i)) = name;
    TRukoImageList& frames = i == 0 ? frames_ : stateFrames_[size_t(i - 1)];
    const bool shown = i == State;
    if (shown) HideFrame();
    frames.Clear();
    std::unique_ptr<TRukoMotion>& slot = shown ? Motion : stateMotions_[size_t(i)];
    slot.reset();
    if (HasExtension(name, ".brm")) {
        frames.Load(name);
    } else if (HasExtension(name, ".rmt")) {
        // LoadMotion fills the control's motion: keep the shown state's while making this one.
        std::unique_ptr<TRukoMotion> keep = shown ? nullptr : std::move(Motion);
        LoadMotion(name);
        std::unique_ptr<TRukoMotion> made = std::move(Motion);
        Motion = std::move(keep);
        if (made) {
            made->Step(*this, 0);
            made->Restart();
        }
        slot = std::move(made);
    }
    if (!shown) return;
    NeedsLayout = true;
    Remaining = 0;
    if (frames.Count() > 0) SetIndex(0);
    Invalidate();
}

void TRukoButton::SetState(int32_t i)
{
    if (State == ClickedState) {
        StateAfterClick = i;
        return;
    }
    // Below 0 only the transient state after a click exists: a request for it shows state 0.
    i = std::clamp(i, 0, StateCount - 1);
    if (i == State || (i > 0 && !HasStatePicture(i))) return;
    Invalidate();
    if (State >= 0) stateMotions_[size_t(State)] = std::move(Motion);
    Motion = std::move(stateMotions_[size_t(i)]);
    State = i;
    if (i == ClickedState) StateAfterClick = 0;
    HideFrame();
    Remaining = 0;
    if (GetCount() > 0) EnterFrame(0);
    if (Motion) Motion->Restart();
    NeedsLayout = true;
    Invalidate();
}

int TRukoButton::PlayEnded()
{
    if (AutoScrapFlag) return 1;
    Post(PlayEndCommand, PR_ONPLAYEND);
    State = -1;
    SetState(StateAfterClick);
    // A state without pictures is refused: the button falls back to its normal picture.
    if (State < 0) SetState(0);
    return 0;
}

int TRukoButton::AnimationEnded()
{
    return State == ClickedState ? PlayEnded() : 0;
}

int TRukoButton::MotionEnded()
{
    return PlayEnded();
}

int TRukoButton::Step()
{
    if (PressPhase == -1) return 1;
    return TRukoImages::Step();
}

// --- groups -------------------------------------------------------------------------------------

std::vector<TRukoButton*> TRukoButton::GroupMembers() const
{
    std::vector<TRukoButton*> members;
    if (GroupIndex == 0 || !Parent) return members;
    for (const auto& child : Parent->Children)
        if (auto* b = dynamic_cast<TRukoButton*>(child.get()); b && b->GroupIndex == GroupIndex)
            members.push_back(b);
    return members;
}

void TRukoButton::SetDown(bool b)
{
    Selected = b;
    SetState(b ? 2 : 0);
}

void TRukoButton::UpdateGroup()
{
    std::vector<TRukoButton*> members = GroupMembers();
    if (members.empty()) return;
    TRukoButton* winner = Selected ? this : nullptr;
    for (TRukoButton* m : members)
        if (!winner && m->Selected) winner = m;
    if (!winner && !AllowAllUp) winner = members.front();
    for (TRukoButton* m : members)
        if (m->Selected != (m == winner)) m->SetDown(m == winner);
}

void TRukoButton::SetSelected(bool b)
{
    if (b == Selected || (b && GroupIndex == 0)) return;
    SetDown(b);
    UpdateGroup();
}

void TRukoButton::SetGroupIndex(int32_t g)
{
    GroupIndex = g;
    UpdateGroup();
}

void TRukoButton::SetAllowAllUp(bool b)
{
    AllowAllUp = b;
    for (TRukoButton* m : GroupMembers())
        m->AllowAllUp = b;
    UpdateGroup();
}

// --- input --------------------------------------------------------------------------------------

bool TRukoButton::PointerOver() const
{
    TRukoBase* base = const_cast<TRukoButton*>(this)->GetBase();
    return base && base->HitTest(base->MouseX, base->MouseY, LeftPressMask) == this;
}

void TRukoButton::Click()
{
    // The clicked animation runs to its end first: a click meanwhile (by key) does nothing.
    if (State == ClickedState) return;
    Post(NotifyCommand, PR_ONNOTIFY);
    if (GroupIndex == 0) {
        const int32_t before = State;
        SetState(ClickedState);
        if (State == before && AutoScrapFlag) PressPhase = -1;
    } else if (AllowAllUp || !Selected) {
        SetSelected(!Selected);
    }
}

void TRukoButton::MouseMove(int32_t x, int32_t y)
{
    if (PressPhase == 0) {
        SetState(Selected ? 2 : IsPaused() ? 0 : 1);
        TRukoImages::MouseMove(x, y);
    } else if (PressPhase == 1) {
        SetState(PointerOver() || Selected ? 2 : 0);
    }
}

void TRukoButton::MouseLeave(TRukoControl* next)
{
    if (State != ClickedState) SetState(Selected ? 2 : 0);
    TRukoImages::MouseLeave(next);
}

void TRukoButton::LButtonDown(int32_t x, int32_t y)
{
    if (IgnoreMouse != IM_NONE && IgnoreMouse != IM_RCLICK) {
        TRukoImages::LButtonDown(x, y);
        return;
    }
    TRukoBase* base = GetBase();
    if (!IsPaused() && State != ClickedState) {
        if (base) base->Capture |= 4;
        SetState(2);
        PressPhase = 1;
    }
    if (base) base->LClick = false;
}

void TRukoButton::LButtonUp(int32_t, int32_t)
{
    if (PressPhase == 1 && PointerOver()) {
        Click();
        if (PressPhase == -1) return;
    }
    PressPhase = 0;
    if (GroupIndex == 0 && State != ClickedState) SetState(0);
}

void TRukoButton::KeyRepeat(const std::vector<int32_t>& keys)
{
    if (std::find(keys.begin(), keys.end(), KeyEnter) != keys.end() ||
        std::find(keys.begin(), keys.end(), KeySpace) != keys.end())
        Click();
    TRukoImages::KeyRepeat(keys);
}

// --- caption ------------------------------------------------------------------------------------

void TRukoButton::SetCaptionText(const std::string& text)
{
    CaptionText = text;
    captionItem_->SetText(text);
    captionItem_->Dirty = true;
    Invalidate();
}

void TRukoButton::CaptionChanged()
{
    if (CaptionText.empty()) return;
    Caption.MarkDirty();
    Invalidate();
}

void TRukoButton::PaintAfter(TCustomDIBX& surface)
{
    if (CaptionText.empty()) return;
    Caption.Surface = &surface;
    if (captionItem_->Dirty) {
        Caption.Measure();
        captionItem_->Render();
    }
    const int32_t shift = State == 2 || State == ClickedState ? 1 : 0;
    captionItem_->Draw(GetDrawLeft() + (Width - captionItem_->Width) / 2 + shift,
                       GetDrawTop() + (Height - captionItem_->Height) / 2 + shift);
}

// --- properties ---------------------------------------------------------------------------------

bool TRukoButton::GetOwn(int id, TCustomParam& t)
{
    switch (id) {
    case PR_HOVERSOURCE:
        return t.SetStr(HoverSource), true;
    case PR_PRESSEDSOURCE:
        return t.SetStr(PressedSource), true;
    case PR_CLICKEDSOURCE:
        return t.SetStr(ClickedSource), true;
    case PR_GROUPINDEX:
        return t.SetInt(GroupIndex), true;
    case PR_ALLOWALLUP:
        return t.SetFlag(AllowAllUp), true;
    case PR_SELECTED:
        return t.SetFlag(Selected), true;
    case PR_ONNOTIFY:
        return t.SetStr(NotifyCommand), true;
    case PR_REPEAT:
        return t.SetFlag(Repeat()), true;
    case PR_TEXT:
        return t.SetStr(CaptionText), true;
    case PR_FONTNAME:
        return t.SetStr(Caption.FontName), true;
    case PR_FONTHEIGHT:
        return t.SetInt(Caption.FontHeight), true;
    case PR_FONTSTYLE:
        return t.SetInt(Caption.FontStyle), true;
    case PR_FONTCOLOR:
        return t.SetInt(Caption.FontColor), true;
    case PR_ANTIALIAS:
        return t.SetFlag(Caption.Quality > 0), true;
    default:
        return TRukoImages::GetOwn(id, t);
    }
}

bool TRukoButton::SetOwn(int id, const TCustomParam& v)
{
    switch (id) {
    case PR_SOURCE:
        return SetStateSource(0, v.GetStr()), true;
    case PR_HOVERSOURCE:
        return SetStateSource(1, v.GetStr()), true;
    case PR_PRESSEDSOURCE:
        return SetStateSource(2, v.GetStr()), true;
    case PR_CLICKEDSOURCE:
        return SetStateSource(3, v.GetStr()), true;
    case PR_GROUPINDEX:
        return SetGroupIndex(v.GetInt()), true;
    case PR_ALLOWALLUP:
        return SetAllowAllUp(v.GetFlag()), true;
    case PR_SELECTED:
        return SetSelected(v.GetFlag()), true;
    case PR_ONNOTIFY:
        return NotifyCommand = v.GetStr(), true;
    case PR_TEXT:
        return SetCaptionText(v.GetStr()), true;
    case PR_FONTNAME:
        if (v.GetStr() != Caption.FontName) {
            Caption.FontName = v.GetStr();
            CaptionChanged();
        }
        return true;
    case PR_FONTHEIGHT:
        if (v.GetInt() != Caption.FontHeight) {
            Caption.SetFontHeight(v.GetInt());
            CaptionChanged();
        }
        return true;
    case PR_FONTSTYLE:
        if (uint8_t(v.GetInt()) != Caption.FontStyle) {
            Caption.FontStyle = uint8_t(v.GetInt());
            CaptionChanged();
        }
        return true;
    case PR_FONTCOLOR:
        if (v.GetInt() != Caption.FontColor) {
            Caption.FontColor = v.GetInt();
            CaptionChanged();
        }
        return true;
    case PR_ANTIALIAS:
        if (const int32_t quality = v.GetFlag() ? 3 : 0; quality != Caption.Quality) {
            Caption.Quality = quality;
            CaptionChanged();
        }
        return true;
    default:
        return TRukoImages::SetOwn(id, v);
    }
}

// --- save record --------------------------------------------------------------------------------

void TRukoButton::SaveToStream(TKwBigStream& s) const
{
    TRukoImages::SaveToStream(s);
    WriteStr(s, HoverSource);
    WriteStr(s, PressedSource);
    WriteInt(s, GroupIndex);
    WriteBool(s, Selected);
    WriteBool(s, AllowAllUp);
    WriteStr(s, NotifyCommand);
    WriteStr(s, IdleCommand);
    WriteStr(s, ClickedSource);
    Caption.SaveToStream(s);
}

void TRukoButton::LoadFromStream(TKwBigStream& s, int32_t version)
{
    TRukoImages::LoadFromStream(s, version);
    ButtonLoad(s, version);
}

void TRukoButton::ButtonLoad(TKwBigStream& s, int32_t version)
{
    SetStateSource(1, ReadStr(s));
    SetStateSource(2, ReadStr(s));
    GroupIndex = ReadInt(s);
    const bool selected = ReadBool(s);
    AllowAllUp = ReadBool(s);
    NotifyCommand = ReadStr(s);
    if (version > 103) {
        IdleCommand = ReadStr(s);
        SetStateSource(3, ReadStr(s));
    }
    if (version > 136) Caption.LoadFromStream(s, version);
    // The saved selection without touching the group: its other members load their own.
    Selected = selected;
    SetState(selected ? 2 : 0);
    PressPhase = 0;
    RestoreFrame(loadedIndex_, loadedRemaining_);
}

} // namespace ruko
