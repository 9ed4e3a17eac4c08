#include "components/baselist.h"

#include "components/componentkind.h"
#include "media/mediaitem.h"

#include <algorithm>

namespace ruko {

TRukoBaseList* Bases = nullptr;

namespace {

constexpr TComponentHandle FirstHandle = 1;
TComponentHandle NextHandle = FirstHandle;

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

void TRukoBaseList::SetSoundOn(bool on)
{
    if (on == SoundOn) return;
    SoundOn = on;
    SetMediaEnabled(on);
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
