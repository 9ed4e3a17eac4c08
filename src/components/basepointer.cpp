// Pointer dispatch: the mouse state the platform reports, turned into event calls on the
// component under it.
#include "components/baselist.h"

namespace ruko {

namespace {

uint32_t Accept(std::initializer_list<int> values)
{
    uint32_t mask = 0;
    for (int v : values)
        mask |= 1u << v;
    return mask;
}

} // namespace

void TRukoBase::MouseDispatch()
{
    TRukoBaseList& list = *Owner;
    LClick = LClickLatch;
    RClick = RClickLatch;
    WheelDown = WheelDownLatch;
    WheelUp = WheelUpLatch;
    LClickLatch = RClickLatch = WheelDownLatch = WheelUpLatch = false;

    // Right-click closers.
    if (RClick) {
        for (TComponentHandle h : std::vector<TComponentHandle>(list.RightClickClosers)) {
            TRukoControl* c = list.Resolve(h) ? list.Resolve(h)->AsControl() : nullptr;
            if (c && c->RClickScrap() && c->GetVisible() && c->GetBase() == this && !c->IsPaused() &&
                !c->IsInCabinet() && (c->IgnoreMouse == IM_NONE || c->IgnoreMouse == IM_LCLICK) &&
                c->HandleRightClick()) {
                RClick = false;
                break;
            }
        }
    }

    // A captured press keeps every mouse event on its component.
    TRukoObject* hoverObj = list.Resolve(Hover);
    TRukoControl* hover = hoverObj ? hoverObj->AsControl() : nullptr;
    if (Capture != 0 && hover) {
        if ((Capture & 4) && !LHeld) {
            hover->LButtonUp(MouseX, MouseY);
            Capture &= static_cast<uint8_t>(~4);
        } else if ((Capture & 8) && !RHeld) {
            hover->RButtonUp(MouseX, MouseY);
            Capture &= static_cast<uint8_t>(~8);
        }
        if (Moved && list.Resolve(Hover)) hover->MouseMove(MouseX, MouseY);
        if (list.Resolve(Hover)) hover->MouseHold();
        Moved = false;
        return;
    }

    uint32_t accepted = LClick   ? Accept({IM_NONE, IM_RCLICK})
                        : RClick ? Accept({IM_NONE, IM_LCLICK})
                                 : Accept({IM_NONE, IM_CLICK, IM_LCLICK, IM_RCLICK});
    TRukoControl* found = HitTest(MouseX, MouseY, accepted);
    if (found == this) found = nullptr;
    Capture = 0;
    TComponentHandle foundHandle = found ? found->Handle : 0;
    auto stillThere = [&] { return found && list.Resolve(foundHandle) == found; };

    if (found) {
        const std::string& cursor = found->GetCursorName();
        CursorName = cursor; // the platform shows the cursor file; the name is what we track
        if (LClick) {
            found->LButtonDown(MouseX, MouseY);
            if (!stillThere())
                found = nullptr;
            else if (!found->IsPaused() && found->HandleKey)
                list.SetFocus(found);
        } else if (RClick) {
            found->RButtonDown(MouseX, MouseY);
            if (!stillThere()) found = nullptr;
        } else if (WheelDown) {
            if (!found->OnWheelDown.empty() && !found->IsDisabled() &&
                list.Events().Find(found->Handle, PR_ONWHEELDOWN) < 0)
                list.Events().Post(found->Handle, found->OnWheelDown, {}, PR_ONWHEELDOWN);
        } else if (WheelUp) {
            if (!found->OnWheelUp.empty() && !found->IsDisabled() &&
                list.Events().Find(found->Handle, PR_ONWHEELUP) < 0)
                list.Events().Post(found->Handle, found->OnWheelUp, {}, PR_ONWHEELUP);
        }
    }
    TRukoObject* previousObj = list.Resolve(Hover);
    TRukoControl* previous = previousObj ? previousObj->AsControl() : nullptr;
    if (previous && previous != found) {
        previous->MouseLeave(found);
        if (!stillThere()) found = nullptr;
    }
    if (found && (Moved || found != previous)) {
        if (found != previous) {
            found->MouseEnter(previous);
            if (!stillThere()) found = nullptr;
        }
        if (found) found->MouseMove(MouseX, MouseY);
    }
    Hover = found && stillThere() ? found->Handle : 0;
    Moved = false;
}

void TRukoBaseList::MouseDown(bool left, int32_t x, int32_t y)
{
    MouseMoveTo(x, y);
    for (TRukoBase* b : {base0_.get(), base1_.get()}) {
        b->LHeld = left;
        b->RHeld = !left;
    }
    GetActiveBase().LClickLatch = left;
    GetActiveBase().RClickLatch = !left;
}

void TRukoBaseList::MouseUp(int32_t x, int32_t y)
{
    MouseMoveTo(x, y);
    for (TRukoBase* b : {base0_.get(), base1_.get()})
        b->LHeld = b->RHeld = false;
}

void TRukoBaseList::MouseMoveTo(int32_t x, int32_t y)
{
    for (TRukoBase* b : {base0_.get(), base1_.get()}) {
        if (b->MouseX != x || b->MouseY != y) b->Moved = true;
        b->MouseX = x;
        b->MouseY = y;
    }
}

void TRukoBaseList::Wheel(bool up)
{
    if (up)
        GetActiveBase().WheelUpLatch = true;
    else
        GetActiveBase().WheelDownLatch = true;
}

} // namespace ruko
