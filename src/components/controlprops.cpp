// The properties a control implements, read and written by id.
#include "components/baselist.h"
#include "components/component.h"

namespace ruko {

namespace {

void SetIntTo(TCustomParam& t, int32_t v)
{
    t.SetInt(v);
}
void SetFlagTo(TCustomParam& t, bool v)
{
    t.SetFlag(v);
}
void SetStrTo(TCustomParam& t, const std::string& v)
{
    t.SetStr(v);
}

} // namespace

bool TRukoControl::GetOwn(int id, TCustomParam& t)
{
    switch (id) {
    case PR_PARENT:
        if (!Parent || !Owner || Parent == &Owner->GetActiveBase())
            SetStrTo(t, "");
        else if (Parent == &Owner->GetBackBase())
            SetStrTo(t, std::string(1, SOH));
        else
            SetStrTo(t, Parent->Name);
        return true;
    case PR_LEFT:
        return SetIntTo(t, Left), true;
    case PR_TOP:
        return SetIntTo(t, Top), true;
    case PR_WIDTH:
        return SetIntTo(t, Width), true;
    case PR_HEIGHT:
        return SetIntTo(t, Height), true;
    case PR_COLOR:
        return SetIntTo(t, Color), true;
    case PR_OFFSETX:
        return SetIntTo(t, OffsetX), true;
    case PR_OFFSETY:
        return SetIntTo(t, OffsetY), true;
    case PR_ONMOUSEMOVE:
        return SetStrTo(t, OnMouseMove), true;
    case PR_ONMOUSEOUT:
        return SetStrTo(t, OnMouseOut), true;
    case PR_ONLBTNDOWN:
        return SetStrTo(t, OnLBtnDown), true;
    case PR_ONLBTNUP:
        return SetStrTo(t, OnLBtnUp), true;
    case PR_ONRBTNDOWN:
        return SetStrTo(t, OnRBtnDown), true;
    case PR_ONRBTNUP:
        return SetStrTo(t, OnRBtnUp), true;
    case PR_ONWHEELDOWN:
        return SetStrTo(t, OnWheelDown), true;
    case PR_ONWHEELUP:
        return SetStrTo(t, OnWheelUp), true;
    case PR_VISIBLE:
        return SetFlagTo(t, GetVisible()), true;
    case PR_IGNOREMOUSE:
        return SetIntTo(t, IgnoreMouse), true;
    case PR_CURSOR:
        return SetStrTo(t, Cursor), true;
    case PR_POSZOOMED:
        return SetFlagTo(t, PosZoomed), true;
    case PR_ONMOUSEIN:
        return SetStrTo(t, OnMouseIn), true;
    case PR_CLIPLEFT:
        return SetIntTo(t, ClipLeft), true;
    case PR_CLIPTOP:
        return SetIntTo(t, ClipTop), true;
    case PR_CLIPWIDTH:
        return SetIntTo(t, ClipWidth), true;
    case PR_CLIPHEIGHT:
        return SetIntTo(t, ClipHeight), true;
    case PR_ANIPAUSED:
        return SetFlagTo(t, AniPaused), true;
    case PR_PLAYING:
        return SetFlagTo(t, Motion && !Motion->Ended() && !IsPaused() && !AniPaused), true;
    case PR_ONKEYDOWN:
        return SetStrTo(t, OnKeyDown), true;
    case PR_ONKEYUP:
        return SetStrTo(t, OnKeyUp), true;
    case PR_ONKEYREPEAT:
        return SetStrTo(t, OnKeyRepeat), true;
    case PR_HANDLEKEY:
        return SetFlagTo(t, HandleKey), true;
    case PR_ONFOCUSIN:
        return SetStrTo(t, OnFocusIn), true;
    case PR_ONFOCUSOUT:
        return SetStrTo(t, OnFocusOut), true;
    case PR_PLUSX:
        return SetIntTo(t, PlusX), true;
    case PR_PLUSY:
        return SetIntTo(t, PlusY), true;
    default:
        return TRukoComponent::GetOwn(id, t);
    }
}

bool TRukoControl::SetOwn(int id, const TCustomParam& v)
{
    switch (id) {
    case PR_PARENT:
        if (!IsBase() && Owner)
            if (TRukoControl* p = Owner->FindContainer(v.GetStr())) SetParent(p);
        return true;
    case PR_LEFT:
        return SetLeft(CoordFromScript(v)), true;
    case PR_TOP:
        return SetTop(CoordFromScript(v)), true;
    case PR_WIDTH:
        return SetWidth(SizeFromScript(v)), true;
    case PR_HEIGHT:
        return SetHeight(SizeFromScript(v)), true;
    case PR_COLOR:
        return SetColor(v.GetInt()), true;
    case PR_OFFSETX:
        return SetOffsetX(CoordFromScript(v)), true;
    case PR_OFFSETY:
        return SetOffsetY(CoordFromScript(v)), true;
    case PR_ONMOUSEMOVE:
        return OnMouseMove = v.GetStr(), true;
    case PR_ONMOUSEOUT:
        return OnMouseOut = v.GetStr(), true;
    case PR_ONLBTNDOWN:
        return OnLBtnDown = v.GetStr(), true;
    case PR_ONLBTNUP:
        return OnLBtnUp = v.GetStr(), true;
    case PR_ONRBTNDOWN:
        return OnRBtnDown = v.GetStr(), true;
    case PR_ONRBTNUP:
        return OnRBtnUp = v.GetStr(), true;
    case PR_ONWHEELDOWN:
        return OnWheelDown = v.GetStr(), true;
    case PR_ONWHEELUP:
        return OnWheelUp = v.GetStr(), true;
    case PR_VISIBLE:
        return SetVisible(v.GetFlag()), true;
    case PR_IGNOREMOUSE: {
        int32_t m = v.GetInt();
        IgnoreMouse = static_cast<uint8_t>(m >= IM_NONE && m <= IM_RCLICK ? m : IM_NONE);
        return true;
    }
    case PR_CURSOR:
        return Cursor = v.GetStr(), true;
    case PR_POSZOOMED:
        return SetPosZoomed(v.GetFlag()), true;
    case PR_ONMOUSEIN:
        return OnMouseIn = v.GetStr(), true;
    case PR_CLIPLEFT:
        return SetClip(CoordFromScript(v), ClipTop, ClipWidth, ClipHeight), true;
    case PR_CLIPTOP:
        return SetClip(ClipLeft, CoordFromScript(v), ClipWidth, ClipHeight), true;
    case PR_CLIPWIDTH:
        return SetClip(ClipLeft, ClipTop, SizeFromScript(v), ClipHeight), true;
    case PR_CLIPHEIGHT:
        return SetClip(ClipLeft, ClipTop, ClipWidth, SizeFromScript(v)), true;
    case PR_ANIPAUSED:
        return AniPaused = v.GetFlag(), true;
    case PR_ONKEYDOWN:
        return OnKeyDown = v.GetStr(), true;
    case PR_ONKEYUP:
        return OnKeyUp = v.GetStr(), true;
    case PR_ONKEYREPEAT:
        return OnKeyRepeat = v.GetStr(), true;
    case PR_HANDLEKEY:
        return SetHandleKey(v.GetFlag()), true;
    case PR_ONFOCUSIN:
        return OnFocusIn = v.GetStr(), true;
    case PR_ONFOCUSOUT:
        return OnFocusOut = v.GetStr(), true;
    case PR_PLUSX:
        return SetPlusX(CoordFromScript(v)), true;
    case PR_PLUSY:
        return SetPlusY(CoordFromScript(v)), true;
    default:
        return TRukoComponent::SetOwn(id, v);
    }
}

} // namespace ruko
