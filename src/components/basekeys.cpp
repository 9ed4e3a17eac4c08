// Keyboard state, key repeat and focus, and the frame's input step that hands both to the
// components.
#include "components/baselist.h"

#include <algorithm>

namespace ruko {

void TRukoBaseList::InputStep(int32_t elapsedMs)
{
    FrameDelta = std::max(elapsedMs, 0);
    if (FocusRequest) {
        SetFocus(GetActiveBase().FindFocusTarget());
        FocusRequest = false;
    }
    keyPressedLast_ = keyPressed_;
    keyPressed_.fill(0);
    keyRepeatLast_ = keyRepeatNow_;
    GetActiveBase().MouseDispatch();
    if (TRukoControl* f = Focused(); f && f->HandleKey) {
        TComponentHandle h = f->Handle;
        if (keyDownFlag_) f->KeyDown(downKeys_);
        if (keyRepeatFlag_ && Resolve(h) == f) f->KeyRepeat(repeatKeys_);
        if (keyUpFlag_ && Resolve(h) == f) f->KeyUp(upKeys_);
    }
    keyDownFlag_ = keyUpFlag_ = keyRepeatFlag_ = false;
    downKeys_.clear();
    upKeys_.clear();
    repeatKeys_.clear();
    for (int code = 0; code < 256; ++code) {
        if (!keyHeld_[code]) continue;
        repeatTimer_[code] -= FrameDelta;
        keyRepeatNow_[code] = repeatTimer_[code] <= 0;
        if (repeatTimer_[code] <= 0) {
            // A long stall gives one repeat, not a burst.
            repeatTimer_[code] = std::max(repeatTimer_[code] + KeyRepeatInterval, 1);
            keyRepeatFlag_ = true;
            repeatKeys_.push_back(code);
        }
    }
}

void TRukoBaseList::SetKeyState(int code, bool down)
{
    if (!InKeyRange(code) || (keyHeld_[code] != 0) == down) return;
    keyHeld_[code] = down;
    keyRepeatNow_[code] = down;
    if (down) {
        repeatTimer_[code] = KeyRepeatDelay;
        keyDownFlag_ = keyRepeatFlag_ = true;
        downKeys_.push_back(code);
        repeatKeys_.push_back(code);
    } else {
        keyUpFlag_ = true;
        upKeys_.push_back(code);
    }
}

void TRukoBaseList::SetKeyPressed(int code, bool pressed)
{
    if (InKeyRange(code)) keyPressed_[code] = pressed;
}

void TRukoBaseList::ClearKeys()
{
    keyHeld_.fill(0);
    keyPressed_.fill(0);
    keyRepeatNow_.fill(0);
    repeatTimer_.fill(0);
    keyDownFlag_ = keyUpFlag_ = keyRepeatFlag_ = false;
    downKeys_.clear();
    upKeys_.clear();
    repeatKeys_.clear();
}

TRukoControl* TRukoBaseList::Focused() const
{
    TRukoObject* obj = Resolve(focused_);
    return obj ? obj->AsControl() : nullptr;
}

void TRukoBaseList::SetFocus(TRukoControl* control)
{
    TRukoControl* old = Focused();
    if (control == old) return;
    if (old && !old->Name.empty() && !old->OnFocusOut.empty() && !old->IsDisabled())
        events_->Post(old->Handle, old->OnFocusOut, {}, PR_ONFOCUSOUT);
    focused_ = control ? control->Handle : 0;
    if (control && !control->OnFocusIn.empty() && !control->IsDisabled())
        events_->Post(control->Handle, control->OnFocusIn, {}, PR_ONFOCUSIN);
    FocusRequest = false;
    if (control) control->GotFocus();
}

void TRukoBaseList::DropFocusWithin(TRukoControl* control)
{
    TRukoControl* f = Focused();
    if (!control || (f && (f == control || control->IsAncestorOf(f)))) {
        focused_ = 0;
        FocusRequest = true;
    }
}

} // namespace ruko
