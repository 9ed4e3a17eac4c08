// The save record of a control: its fields and its children, each child after its type code.
#include "components/baselist.h"
#include "components/component.h"
#include "io/fields.h"

namespace ruko {

namespace {

bool IsSystemName(const std::string& name)
{
    return !name.empty() && name[0] == SOH;
}

void WriteRect(TKwBigStream& s, const TRect& r)
{
    WriteInt(s, r.Left);
    WriteInt(s, r.Top);
    WriteInt(s, r.Right);
    WriteInt(s, r.Bottom);
}

} // namespace

void TRukoControl::SaveControlPart(TKwBigStream& s) const
{
    TRukoObject::SaveToStream(s);
    for (int32_t v : {Left, Top, Width, Height, OffsetX, OffsetY})
        WriteInt(s, v);
    WriteBool(s, PosZoomed);
    for (int32_t v : {MotionX, MotionY, PlusX, PlusY, ClipLeft, ClipTop, ClipWidth, ClipHeight})
        WriteInt(s, v);
    WriteBool(s, AniPaused);
    WriteBool(s, Visible);
    WriteInt(s, Color);
    WriteRect(s, AuxRect);
    WriteByte(s, IgnoreMouse);
    for (const std::string* text : {&Cursor, &OnMouseMove, &OnMouseIn, &OnMouseOut, &OnLBtnDown, &OnLBtnUp,
                                    &OnRBtnDown, &OnRBtnUp, &OnWheelDown, &OnWheelUp})
        WriteStr(s, *text);
    WriteBool(s, HandleKey);
    for (const std::string* text : {&OnKeyDown, &OnKeyUp, &OnKeyRepeat, &OnFocusIn, &OnFocusOut})
        WriteStr(s, *text);
    // Children: deleted ones, system-named ones, kinds without a type code and after-images are
    // not written (an after-image would come back as a permanent ghost).
    std::vector<const TRukoControl*> saved;
    for (const auto& child : Children)
        if (!child->IsPendingDeleteSelf() && child->GetCompoType() != LT_NONE && !IsSystemName(child->Name) &&
            !child->IsAfterImage() && !child->Name.empty())
            saved.push_back(child.get());
    WriteInt(s, static_cast<int32_t>(saved.size()));
    for (const TRukoControl* child : saved) {
        WriteByte(s, child->GetCompoType());
        child->SaveToStream(s);
    }
}

void TRukoControl::SaveToStream(TKwBigStream& s) const
{
    SaveControlPart(s);
}

int32_t TRukoControl::Depth() const
{
    int32_t d = 0;
    for (const TRukoControl* c = Parent; c; c = c->Parent)
        ++d;
    return d;
}

void TRukoControl::LoadControlPart(TKwBigStream& s, int32_t version)
{
    TRukoObject::LoadFromStream(s, version);
    Left = ReadInt(s);
    Top = ReadInt(s);
    Width = ReadInt(s);
    Height = ReadInt(s);
    OffsetX = ReadInt(s);
    OffsetY = ReadInt(s);
    if (Width < 0 || Height < 0 || Width > MaxComponentSize || Height > MaxComponentSize) RaiseDamaged();
    PosZoomed = ReadBool(s);
    if (version >= 130) {
        MotionX = ReadInt(s);
        MotionY = ReadInt(s);
        PlusX = ReadInt(s);
        PlusY = ReadInt(s);
    }
    if (version > 103) {
        ClipLeft = ReadInt(s);
        ClipTop = ReadInt(s);
        ClipWidth = ReadInt(s);
        ClipHeight = ReadInt(s);
        AniPaused = ReadBool(s);
    }
    Visible = ReadBool(s);
    Color = ReadInt(s);
    AuxRect.Left = ReadInt(s);
    AuxRect.Top = ReadInt(s);
    AuxRect.Right = ReadInt(s);
    AuxRect.Bottom = ReadInt(s);
    IgnoreMouse = ReadByte(s);
    if (IgnoreMouse > IM_RCLICK) RaiseDamaged();
    Cursor = ReadStr(s);
    OnMouseMove = ReadStr(s);
    if (version > 101) OnMouseIn = ReadStr(s);
    for (std::string* text :
         {&OnMouseOut, &OnLBtnDown, &OnLBtnUp, &OnRBtnDown, &OnRBtnUp, &OnWheelDown, &OnWheelUp})
        *text = ReadStr(s);
    if (version > 117) {
        HandleKey = ReadBool(s);
        for (std::string* text : {&OnKeyDown, &OnKeyUp, &OnKeyRepeat, &OnFocusIn, &OnFocusOut})
            *text = ReadStr(s);
    }
    int32_t count = ReadInt(s);
    if (count > TRukoBaseList::MaxLoadedItems) RaiseDamaged();
    CheckCount(s, count, 1);
    if (count > 0 && Depth() >= TRukoBaseList::MaxNesting) RaiseDamaged();
    for (int32_t i = 0; i < count; ++i) {
        uint8_t code = ReadByte(s);
        TRukoObject* obj = Owner ? Owner->CreateComponent(code) : nullptr;
        TRukoControl* child = obj ? obj->AsControl() : nullptr;
        if (!child) {
            // A non-visual kind or a code without a class cannot be a child.
            if (obj) Owner->FreeComponent(obj);
            RaiseDamaged();
        }
        if (child->Parent != this) {
            std::unique_ptr<TRukoControl> owned = child->Parent->DetachChild(child);
            owned->Parent = this;
            Children.push_back(std::move(owned));
        }
        child->LoadFromStream(s, version);
    }
    SortChildren();
}

void TRukoControl::LoadFromStream(TKwBigStream& s, int32_t version)
{
    LoadControlPart(s, version);
}

} // namespace ruko
