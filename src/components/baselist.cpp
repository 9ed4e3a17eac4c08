#include "components/baselist.h"

#include "base/numbers.h"
#include "components/componentkind.h"
#include "graphics/bromcache.h"
#include "io/fields.h"

#include <algorithm>

namespace ruko {

std::unique_ptr<TRukoBaseList> Bases;

namespace {

constexpr TComponentHandle FirstHandle = 1;
TComponentHandle NextHandle = FirstHandle;

const std::string Base0Name = std::string(1, SOH) + "BASE0";
const std::string Base1Name = std::string(1, SOH) + "BASE1";

uint32_t Accept(std::initializer_list<int> values)
{
    uint32_t mask = 0;
    for (int v : values)
        mask |= 1u << v;
    return mask;
}

} // namespace

// --- TRukoBase --------------------------------------------------------------------------------

TRukoBase::TRukoBase(TRukoBaseList* owner) : TRukoControl(owner)
{
    DrawSurface.SetSize(8, 8, 32);
}

void TRukoBase::ResizeSurface()
{
    DrawSurface.SetSize(std::max(Width, 1), std::max(Height, 1), 32);
    DrawSurface.Fill(0);
    DirtyList.Clear();
    MarkAllDirty();
}

void TRukoBase::AddDirtyRect(const TRect& rect)
{
    TRect r = IntersectRect(rect, TRect(0, 0, Width, Height));
    if (!r.IsEmpty()) DirtyList.Add(r);
}

TCustomDIBX& TRukoBase::GetDrawSurface()
{
    if (Owner && this == &Owner->GetActiveBase() && !Owner->Transition() && Owner->TransitionKind == 0)
        return Owner->Surface();
    return DrawSurface;
}

void TRukoBase::PaintBase()
{
    TCustomDIBX& surface = GetDrawSurface();
    if (!Visible || surface.IsEmpty()) return;
    TRect saved = surface.ClipRect;
    for (const TRect& r : DirtyList.Rects()) {
        surface.ClipRect = r;
        if (Color >= 0) {
            TRect fill = GetDrawRect();
            TRect clip = GetClipRect();
            if (!clip.IsEmpty()) fill = IntersectRect(fill, clip);
            surface.FillRect(fill, static_cast<uint32_t>(surface.ColorToPixel(Color)));
        }
        PaintChildren(surface);
    }
    surface.ClipRect = saved;
}

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

void TRukoSnapshot::Paint(TCustomDIBX& surface)
{
    surface.Draw(GetDrawLeft(), GetDrawTop(), Picture, Picture.BoundsRect(), false, false, false);
}

// --- TRukoBaseList ----------------------------------------------------------------------------

TRukoBaseList::TRukoBaseList(TEventQueue* events)
{
    if (!events) {
        ownEvents_ = std::make_unique<TLocalEventQueue>();
        events = ownEvents_.get();
    }
    events_ = events;
    surface_.SetSize(width_, height_, 32);
    MakeBases();
}

TRukoBaseList::~TRukoBaseList()
{
    DestroyEverything();
}

void TRukoBaseList::MakeBases()
{
    base0_ = std::make_unique<TRukoBase>(this);
    base1_ = std::make_unique<TRukoBase>(this);
    base0_->Name = Base0Name;
    base1_->Name = Base1Name;
    for (TRukoBase* b : {base0_.get(), base1_.get()}) {
        b->Handle = NextHandle++;
        handles_[b->Handle] = b;
        b->Width = width_;
        b->Height = height_;
        b->ResizeSurface();
    }
}

void TRukoBaseList::DestroyEverything()
{
    destroying_ = true;
    transition_.reset();
    base0_.reset();
    base1_.reset();
    ownedObjects_.clear();
    items_.clear();
    pendingDelete_.clear();
    handles_.clear();
    focused_ = 0;
    RightClickClosers.clear();
    destroying_ = false;
}

void TRukoBaseList::Register(TRukoObject* obj)
{
    obj->Handle = NextHandle++;
    handles_[obj->Handle] = obj;
    items_.push_back(obj);
}

void TRukoBaseList::Unregister(TRukoObject* obj)
{
    if (destroying_) return;
    NamesFreed();
    if (obj->Handle) {
        events_->RemovePending(obj->Handle);
        handles_.erase(obj->Handle);
        std::erase(RightClickClosers, obj->Handle);
        if (focused_ == obj->Handle) {
            focused_ = 0;
            FocusRequest = true;
        }
    }
    std::erase(items_, obj);
    std::erase(pendingDelete_, obj);
}

TRukoObject* TRukoBaseList::Resolve(TComponentHandle handle) const
{
    auto it = handle ? handles_.find(handle) : handles_.end();
    return it == handles_.end() ? nullptr : it->second;
}

bool TRukoBaseList::Contains(const TRukoObject* obj) const
{
    return obj && obj->Handle && Resolve(obj->Handle) == obj;
}

std::string TRukoBaseList::ComponentName(TComponentHandle handle) const
{
    const TRukoObject* obj = Resolve(handle);
    return obj ? obj->Name : std::string();
}

TRukoObject* TRukoBaseList::CreateComponent(int code)
{
    TMakeComponent make = FindComponentKind(code);
    if (!make) return nullptr;
    std::unique_ptr<TRukoObject> obj = make(*this);
    if (!obj) return nullptr;
    TRukoObject* raw = obj.get();
    if (raw->WantsAutoName()) raw->Name = MakeUniqueName("object");
    Register(raw);
    if (TRukoControl* c = raw->AsControl()) {
        // A visual component always lies somewhere: on the active base window until moved.
        std::unique_ptr<TRukoControl> control(c);
        obj.release();
        GetActiveBase().InsertChild(std::move(control));
        if (!Focused()) FocusRequest = true;
    } else {
        ownedObjects_.push_back(std::move(obj));
    }
    return raw;
}

TRukoObject* TRukoBaseList::Adopt(std::unique_ptr<TRukoObject> obj)
{
    TRukoObject* raw = obj.get();
    raw->Owner = this;
    Register(raw);
    ownedObjects_.push_back(std::move(obj));
    return raw;
}

TRukoObject* TRukoBaseList::FindComponent(const std::string& name) const
{
    if (name.empty() || name == Base0Name) return &const_cast<TRukoBaseList*>(this)->GetActiveBase();
    if (name == std::string(1, SOH) || name == Base1Name)
        return &const_cast<TRukoBaseList*>(this)->GetBackBase();
    for (TRukoObject* obj : items_)
        if (obj->Name == name && !IsPendingDelete(obj)) return obj;
    return nullptr;
}

TRukoControl* TRukoBaseList::FindContainer(const std::string& name) const
{
    auto* self = const_cast<TRukoBaseList*>(this);
    if (name.empty()) return &self->GetActiveBase();
    if (name == std::string(1, SOH)) return &self->GetBackBase();
    if (name == Base0Name) return base0_.get();
    if (name == Base1Name) return base1_.get();
    for (TRukoObject* obj : items_)
        if (obj->Name == name && !IsPendingDelete(obj))
            if (TRukoControl* c = obj->AsControl()) return c;
    return nullptr;
}

int TRukoBaseList::IndexOfName(const std::string& name) const
{
    if (name.empty()) return -1; // an empty name never collides
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->Name == name && !IsPendingDelete(items_[i])) return static_cast<int>(i);
    return -1;
}

std::string TRukoBaseList::MakeUniqueName(const std::string& prefix)
{
    // Every number below the hint was in use when it was set, and no name has been freed since
    // (NamesFreed clears the hints), so the search starts there: making many names stays linear
    // per name. The counter is 64-bit and cannot run out.
    int64_t& hint = nameHints_[prefix];
    std::string candidate = prefix + std::to_string(hint);
    while (IndexOfName(candidate) >= 0)
        candidate = prefix + std::to_string(++hint);
    return candidate;
}

bool TRukoBaseList::IsPendingDelete(const TRukoObject* obj) const
{
    return std::find(pendingDelete_.begin(), pendingDelete_.end(), obj) != pendingDelete_.end();
}

void TRukoBaseList::MarkForDelete(TRukoObject* obj)
{
    if (!obj || obj == base0_.get() || obj == base1_.get() || IsPendingDelete(obj)) return;
    pendingDelete_.push_back(obj);
    NamesFreed();
}

void TRukoBaseList::FreeComponent(TRukoObject* obj)
{
    if (!Contains(obj) || obj == base0_.get() || obj == base1_.get()) return;
    if (TRukoControl* c = obj->AsControl()) {
        c->Invalidate();
        if (c->Parent) {
            std::unique_ptr<TRukoControl> owned = c->Parent->DetachChild(c);
            owned.reset();
        }
        return;
    }
    auto it = std::find_if(ownedObjects_.begin(), ownedObjects_.end(),
                           [&](const auto& p) { return p.get() == obj; });
    if (it != ownedObjects_.end()) {
        std::unique_ptr<TRukoObject> owned = std::move(*it);
        ownedObjects_.erase(it);
        owned.reset();
    }
}

void TRukoBaseList::SetSize(int32_t width, int32_t height)
{
    width = std::clamp(width, 1, MaxScreenSize);
    height = std::clamp(height, 1, MaxScreenSize);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    surface_.SetSize(width, height, 32);
    surface_.Fill(0);
    for (TRukoBase* b : {base0_.get(), base1_.get()}) {
        b->Width = width;
        b->Height = height;
        b->ResizeSurface();
    }
}

void TRukoBaseList::SetColor(int32_t color)
{
    base0_->SetColor(color);
    base1_->SetColor(color);
    base0_->MarkAllDirty();
    base1_->MarkAllDirty();
}

TCustomWipe* TRukoBaseList::SetActiveBase(int index, int kind, int32_t duration, int32_t elapsed,
                                          bool restart, bool reverse)
{
    ActiveBase = index ? 1 : 0;
    if (kind < 0 || kind > WipeTypeCount) kind = 0;
    TCustomWipe* created = nullptr;
    if (restart || (kind != 0 && !transition_)) {
        transition_.reset();
        base0_->MarkAllDirty();
        base1_->MarkAllDirty();
        if (kind != 0) {
            TRukoBase& active = GetActiveBase();
            TRukoBase& back = GetBackBase();
            // The shown picture so far is the screen surface; the transition needs it in the
            // base's own surface.
            active.DrawSurface.Assign(surface_);
            // The first frame shows the active base window as it is (the old picture), the last
            // one the back base window.
            transition_ = CreateWipe(kind, surface_, active.DrawSurface, back.DrawSurface);
            if (transition_) {
                // Rule pictures come through the image cache; without one the rule is flat.
                transition_->RuleLoader = [](const std::string& name) {
                    return BromMan ? CachedRulePicture(*BromMan, name) : nullptr;
                };
                transition_->Duration = std::max(duration, 1);
                transition_->SetReverse(reverse);
                created = transition_.get();
            }
        }
        TRukoControl* focused = Focused();
        if (!focused || focused->GetBase() != &GetActiveBase()) {
            focused_ = 0;
            FocusRequest = true;
        }
    }
    TransitionKind = static_cast<uint8_t>(transition_ ? kind : 0);
    if (transition_) transition_->Elapsed = elapsed;
    return created;
}

TRukoSnapshot* TRukoBaseList::TakeSnapshot()
{
    TRukoBase& active = GetActiveBase();
    auto snapshot = std::make_unique<TRukoSnapshot>(this);
    TRukoSnapshot* raw = snapshot.get();
    raw->Name = std::string(2, SOH);
    raw->Picture.SetSize(width_, height_, 32);
    raw->Picture.Assign(active.GetDrawSurface());
    raw->SetBounds(0, 0, width_, height_);
    Register(raw);
    raw->Parent = &active;
    active.Children.push_back(std::move(snapshot));
    active.SortChildren();
    raw->Invalidate();
    return raw;
}

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

void TRukoBaseList::Step()
{
    base0_->Step();
    base1_->Step();
    // Objects destroyed on the way (with their children) are simply not found again; objects
    // created on the way are stepped from the next frame on.
    std::vector<TComponentHandle> order;
    order.reserve(items_.size());
    for (TRukoObject* obj : items_)
        order.push_back(obj->Handle);
    for (TComponentHandle h : order) {
        TRukoObject* o = Resolve(h);
        if (!o) continue;
        bool inCabinet = o->IsInCabinet();
        if (!o->OnIdle().empty() && !inCabinet && !o->IsDisabled() && events_->Find(h, PR_ONIDLE) < 0)
            events_->Post(h, o->OnIdle(), {}, PR_ONIDLE);
        if (o->IsPaused() || IsPendingDelete(o) || inCabinet) continue;
        if (o->Step() != 0 && Resolve(h) == o) FreeComponent(o);
    }
    std::vector<TComponentHandle> doomed;
    for (TRukoObject* obj : pendingDelete_)
        doomed.push_back(obj->Handle);
    for (TComponentHandle h : doomed)
        if (TRukoObject* o = Resolve(h)) FreeComponent(o);
    pendingDelete_.clear();
}

void TRukoBaseList::Paint()
{
    FrameDirtyRect = TRect();
    base0_->PaintBase();
    base1_->PaintBase();
    if (transition_) {
        transition_->Step();
        FrameDirtyRect = transition_->ChangedRect;
    }
}

std::vector<TRect> TRukoBaseList::TakeDirty()
{
    std::vector<TRect> dirty;
    if (!FrameDirtyRect.IsEmpty())
        dirty.push_back(FrameDirtyRect);
    else if (!transition_)
        dirty = GetActiveBase().DirtyList.Rects();
    base0_->DirtyList.Clear();
    base1_->DirtyList.Clear();
    return dirty;
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

// --- save records -----------------------------------------------------------------------------

void TRukoBaseList::SaveToStream(TKwBigStream& s) const
{
    WriteInt(s, width_);
    WriteInt(s, height_);
    WriteInt(s, ActiveBase);
    base0_->SaveToStream(s);
    base1_->SaveToStream(s);
    std::vector<const TRukoObject*> top;
    for (const TRukoObject* obj : items_)
        if (!obj->AsControl() && !IsPendingDelete(obj) && obj->GetCompoType() != LT_NONE &&
            !(obj->Name.size() > 0 && obj->Name[0] == SOH))
            top.push_back(obj);
    WriteInt(s, static_cast<int32_t>(top.size()));
    for (const TRukoObject* obj : top) {
        WriteByte(s, obj->GetCompoType());
        obj->SaveToStream(s);
    }
    std::vector<TEventRecord> entries = events_->Entries();
    WriteInt(s, static_cast<int32_t>(entries.size()));
    for (const TEventRecord& e : entries) {
        WriteStr(s, e.Command);
        WriteStr(s, ComponentName(e.Target));
        WriteByte(s, e.Code);
        WriteInt(s, e.Depth);
        WriteInt(s, static_cast<int32_t>(e.Args.size()));
        for (const std::string& a : e.Args)
            WriteStr(s, a);
    }
    const TRukoControl* f = Focused();
    WriteStr(s, f ? f->Name : std::string());
}

void TRukoBaseList::LoadInto(TKwBigStream& s, int32_t version)
{
    int32_t width = ReadInt(s), height = ReadInt(s), active = ReadInt(s);
    if (width < 1 || height < 1 || width > MaxScreenSize || height > MaxScreenSize ||
        (active != 0 && active != 1))
        RaiseDamaged();
    // The surfaces are made once the whole record has loaded (TakeFrom).
    width_ = width;
    height_ = height;
    ActiveBase = active;
    for (TRukoBase* b : {base0_.get(), base1_.get()}) {
        b->LoadFromStream(s, version);
        // A base window keeps its system name and the list's size whatever the record says.
        b->Name = b == base0_.get() ? Base0Name : Base1Name;
        b->Left = b->Top = 0;
        b->Width = width;
        b->Height = height;
        b->Parent = nullptr;
        b->MarkAllDirty();
    }
    int32_t count = ReadInt(s);
    if (count > MaxLoadedItems) RaiseDamaged();
    CheckCount(s, count, 1);
    for (int32_t i = 0; i < count; ++i) {
        uint8_t code = ReadByte(s);
        TRukoObject* obj = CreateComponent(code);
        if (!obj || obj->AsControl()) {
            if (obj) FreeComponent(obj);
            RaiseDamaged(); // controls are saved inside their base window
        }
        obj->LoadFromStream(s, version);
    }
    int32_t entries = ReadInt(s);
    if (entries > MaxLoadedItems) RaiseDamaged();
    CheckCount(s, entries, 10);
    std::vector<TEventRecord> queue;
    for (int32_t i = 0; i < entries; ++i) {
        TEventRecord e;
        e.Command = ReadStr(s);
        std::string target = ReadStr(s);
        e.Target = target.empty() ? 0 : (FindComponent(target) ? FindComponent(target)->Handle : 0);
        e.Code = ReadByte(s);
        e.Depth = version <= 113 ? (ReadByte(s) ? 1 : 0) : ReadInt(s);
        int32_t argc = ReadInt(s);
        if (argc > MaxLoadedItems) RaiseDamaged();
        CheckCount(s, argc, 4);
        for (int32_t a = 0; a < argc; ++a)
            e.Args.push_back(ReadStr(s));
        queue.push_back(std::move(e));
    }
    events_->Replace(std::move(queue));
    focused_ = 0;
    FocusRequest = false;
    if (version > 118) {
        std::string name = ReadStr(s);
        // An empty name means nothing was focused: it must not pick the base window.
        TRukoControl* c = name.empty() ? nullptr : FindContainer(name);
        if (c && !c->IsBase()) {
            focused_ = c->Handle;
            c->GotFocus();
        }
    }
}

void TRukoBaseList::TakeFrom(TRukoBaseList& other)
{
    DestroyEverything();
    base0_ = std::move(other.base0_);
    base1_ = std::move(other.base1_);
    ownedObjects_ = std::move(other.ownedObjects_);
    items_ = std::move(other.items_);
    pendingDelete_ = std::move(other.pendingDelete_);
    handles_ = std::move(other.handles_);
    RightClickClosers = std::move(other.RightClickClosers);
    width_ = other.width_;
    height_ = other.height_;
    ActiveBase = other.ActiveBase;
    focused_ = other.focused_;
    FocusRequest = other.FocusRequest;
    surface_.SetSize(width_, height_, 32);
    surface_.Fill(0);
    for (TRukoBase* b : {base0_.get(), base1_.get()})
        b->ResizeSurface();
    TransitionKind = 0;
    FrameDirtyRect = TRect();
    for (auto& [handle, obj] : handles_)
        obj->Owner = this;
    events_->Replace(other.events_->Entries());
    other.handles_.clear();
    other.MakeBases();
}

void TRukoBaseList::LoadFromStream(TKwBigStream& s, int32_t version)
{
    TRukoBaseList fresh;
    fresh.LoadInto(s, version);
    ClearKeys();
    TakeFrom(fresh);
}

void TRukoBaseList::Reset()
{
    int32_t w = width_, h = height_;
    int32_t mx = base0_->MouseX, my = base0_->MouseY;
    DestroyEverything();
    events_->Replace({});
    ActiveBase = 0;
    TransitionKind = 0;
    FrameDirtyRect = TRect();
    FocusRequest = false;
    width_ = w;
    height_ = h;
    MakeBases();
    for (TRukoBase* b : {base0_.get(), base1_.get()}) {
        b->MouseX = mx;
        b->MouseY = my;
    }
}

} // namespace ruko
