#include "components/component.h"

#include "base/error.h"
#include "base/numbers.h"
#include "base/text.h"
#include "components/baselist.h"
#include "io/fields.h"

#include <algorithm>
#include <cstdlib>

namespace ruko {

TMotionFactory MotionFactory = nullptr;

namespace {

const std::string EmptyText;

bool IsSystemName(const std::string& name)
{
    return !name.empty() && name[0] == SOH;
}
bool IsSnapshotName(const std::string& name)
{
    return name.size() == 2 && name[0] == SOH && name[1] == SOH;
}

int32_t Clamp64(int64_t v)
{
    return ClampToInt32(v);
}

// 0: system names, 1: ordinary, 2: the flip snapshot.
int OrderGroup(const TRukoControl& c)
{
    if (IsSnapshotName(c.Name)) return 2;
    return IsSystemName(c.Name) ? 0 : 1;
}

std::vector<std::string> XY(int32_t x, int32_t y)
{
    return {std::to_string(x), std::to_string(y)};
}

} // namespace

int32_t SizeFromScript(const TCustomParam& v)
{
    if (v.GetVarType() == ptFloat) return SaturateToInt32(v.GetFloat(), 0, MaxComponentSize);
    return std::clamp(v.GetInt(), 0, MaxComponentSize);
}

int32_t CoordFromScript(const TCustomParam& v)
{
    if (v.GetVarType() == ptFloat)
        return SaturateToInt32(v.GetFloat(), -MaxComponentCoord, MaxComponentCoord);
    return std::clamp(v.GetInt(), -MaxComponentCoord, MaxComponentCoord);
}

bool ChildDrawsBefore(const TRukoControl& a, const TRukoControl& b)
{
    // Each side is ordered as its anchor: an after-image copy stands where its source stands.
    const TRukoControl& anchorA = a.AfterImageSource() ? *a.AfterImageSource() : a;
    const TRukoControl& anchorB = b.AfterImageSource() ? *b.AfterImageSource() : b;
    int groupA = OrderGroup(anchorA), groupB = OrderGroup(anchorB);
    if (groupA != groupB) return groupA < groupB;
    int64_t prioA = int64_t{anchorA.Priority} + anchorA.SubPriority;
    int64_t prioB = int64_t{anchorB.Priority} + anchorB.SubPriority;
    if (prioA != prioB) return prioA < prioB;
    if (&anchorA != &anchorB) {
        if (anchorA.Name != anchorB.Name) return anchorA.Name < anchorB.Name;
        // Same name (deleted controls have none): keep them apart by handle, so copies stay with
        // their own source.
        if (anchorA.Handle != anchorB.Handle) return anchorA.Handle < anchorB.Handle;
    }
    bool copyA = a.AfterImageSource() != nullptr, copyB = b.AfterImageSource() != nullptr;
    if (copyA != copyB) return copyA; // the copy directly below its source
    if (copyA) {
        int32_t alphaA = a.AfterImageAlpha() & 255, alphaB = b.AfterImageAlpha() & 255;
        if (alphaA != alphaB) return alphaA < alphaB;
    }
    if (a.Name != b.Name) return a.Name < b.Name;
    return a.Handle < b.Handle;
}

// --- TRukoObject ------------------------------------------------------------------------------

const std::string& TRukoObject::OnIdle() const
{
    return EmptyText;
}

void TRukoObject::SetName(const std::string& name)
{
    if (name == Name) return;
    if (Owner && !name.empty())
        if (TRukoObject* other = Owner->FindComponent(name); other && other != this && !IsSystemName(name))
            other->Delete();
    Name = name;
    if (Owner) Owner->NamesFreed();
}

void TRukoObject::Delete()
{
    if (Owner) Owner->MarkForDelete(this);
    if (TRukoControl* c = AsControl()) {
        c->Invalidate();
        Name.clear();
        if (c->Parent) c->Parent->SortChildren();
    } else {
        Name.clear();
    }
}

bool TRukoObject::IsPendingDeleteSelf() const
{
    return Owner && Owner->IsPendingDelete(this);
}

void TRukoObject::SetPriority(int32_t n)
{
    if (n == Priority) return;
    Priority = n;
    SubPriority = 0;
    if (TRukoControl* c = AsControl(); c && c->Parent) {
        c->Parent->SortChildren();
        c->Invalidate();
    }
}

void TRukoObject::SetSubPriority(int32_t n)
{
    if (n == SubPriority) return;
    SubPriority = n;
    if (TRukoControl* c = AsControl(); c && c->Parent) {
        c->Parent->SortChildren();
        c->Invalidate();
    }
}

void TRukoObject::GetProperty(int64_t id, TCustomParam& target)
{
    if (!IsPropertyId(id)) RaiseError(Utf8ToCp932("GetPropエラー"));
    int i = static_cast<int>(id);
    switch (i) {
    case PR_NAME:
        return target.SetStr(Name);
    case PR_TAG:
        return target.SetStr(Tag);
    case PR_PRIORITY:
        return target.SetInt(Priority);
    case PR_COMPOTYPE:
        return target.SetInt(GetCompoType());
    case PR_APPEARX:
    case PR_APPEARY:
        return target.SetInt(0);
    default:
        break;
    }
    if (GetOwn(i, target)) return;
    const TPropertyInfo& row = PropertyTable[i];
    switch (row.Absent) {
    case TAbsent::Width:
        if (!GetOwn(PR_WIDTH, target)) target.SetInt(0);
        return;
    case TAbsent::Height:
        if (!GetOwn(PR_HEIGHT, target)) target.SetInt(0);
        return;
    default:
        row.AbsentValue.StoreInto(target);
        return;
    }
}

void TRukoObject::SetProperty(int64_t id, const TCustomParam& source)
{
    if (!IsPropertyId(id) || id == PR_APPEARX || id == PR_APPEARY) RaiseError(Utf8ToCp932("SetPropエラー"));
    int i = static_cast<int>(id);
    switch (i) {
    case PR_NAME:
        return SetName(source.GetStr());
    case PR_TAG:
        Tag = source.GetStr();
        return;
    case PR_PRIORITY:
        return SetPriority(source.GetInt());
    default:
        break;
    }
    if (PropertyTable[i].IsReadOnly()) return;
    SetOwn(i, source);
}

bool TRukoObject::GetOwn(int, TCustomParam&)
{
    return false;
}
bool TRukoObject::SetOwn(int, const TCustomParam&)
{
    return false;
}

void TRukoObject::Post(const std::string& command, uint8_t code, const std::vector<std::string>& args)
{
    if (Owner && !command.empty()) Owner->Events().Post(Handle, command, args, code);
}

bool TRukoObject::EventPending(uint8_t code) const
{
    return Owner && Owner->Events().Find(Handle, code) >= 0;
}

void TRukoObject::SaveToStream(TKwBigStream& s) const
{
    WriteStr(s, Name);
    WriteInt(s, Priority);
    WriteInt(s, SubPriority);
    WriteStr(s, Tag);
}

void TRukoObject::LoadFromStream(TKwBigStream& s, int32_t version)
{
    Name = ReadStr(s); // as stored, without the collision rule
    Priority = ReadInt(s);
    SubPriority = version > 103 ? ReadInt(s) : 0;
    if (version >= 120) Tag = ReadStr(s);
}

// --- TRukoControl -----------------------------------------------------------------------------

TRukoObject::~TRukoObject()
{
    if (Owner) Owner->Unregister(this);
}

TRukoControl::TRukoControl(TRukoBaseList* owner) : TRukoComponent(owner) {}

TRukoControl::~TRukoControl()
{
    // Children go first, each leaving the list as it is destroyed.
    while (!Children.empty()) {
        std::unique_ptr<TRukoControl> child = std::move(Children.back());
        Children.pop_back();
        child->Parent = nullptr;
        child.reset();
    }
    Motion.reset();
}

void TRukoControl::SetName(const std::string& name)
{
    if (name == Name) return;
    if (Owner && !name.empty()) {
        int index = Owner->IndexOfName(name);
        TRukoObject* other = index >= 0 ? Owner->Items()[static_cast<size_t>(index)] : nullptr;
        if (other && other != this) {
            // "a" -> "a_2"; "a_5" -> "a_6"; "a_1" -> "a_1_2" (only numbers above 1 count).
            std::string stem = other->Name;
            int64_t n = 2;
            for (size_t pos = stem.size(); pos-- > 1;) {
                if (stem[pos] != '_') continue;
                std::string rest = stem.substr(pos + 1);
                bool digits =
                    !rest.empty() && rest.size() <= 9 &&
                    std::all_of(rest.begin(), rest.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
                if (digits && std::atoll(rest.c_str()) > 1) {
                    n = std::atoll(rest.c_str());
                    stem = stem.substr(0, pos);
                }
                break;
            }
            std::string candidate;
            do {
                candidate = stem + "_" + std::to_string(n++);
            } while (Owner->IndexOfName(candidate) >= 0);
            other->Name = candidate;
            if (TRukoControl* oc = other->AsControl(); oc && oc->Parent) oc->Parent->SortChildren();
        }
    }
    Name = name;
    if (Owner) Owner->NamesFreed();
    if (Parent) Parent->SortChildren();
}

TRukoBase* TRukoControl::GetBase()
{
    TRukoControl* c = this;
    while (c->Parent)
        c = c->Parent;
    return c->IsBase() ? static_cast<TRukoBase*>(c) : nullptr;
}

bool TRukoControl::IsAncestorOf(const TRukoObject* obj) const
{
    const TRukoControl* c = obj ? obj->AsControl() : nullptr;
    for (c = c ? c->Parent : nullptr; c; c = c->Parent)
        if (c == this) return true;
    return false;
}

bool TRukoControl::IsInCabinet() const
{
    for (const TRukoControl* c = Parent; c; c = c->Parent)
        if (c->IsCabinet()) return true;
    return false;
}

bool TRukoControl::IsShowing() const
{
    if (!Owner) return false;
    const TRukoControl* c = this;
    for (; c->Parent; c = c->Parent)
        if (!c->GetVisible()) return false;
    return c == &Owner->GetActiveBase() && c->GetVisible();
}

std::unique_ptr<TRukoControl> TRukoControl::DetachChild(TRukoControl* child)
{
    auto it = std::find_if(Children.begin(), Children.end(), [&](const auto& p) { return p.get() == child; });
    if (it == Children.end()) return nullptr;
    std::unique_ptr<TRukoControl> owned = std::move(*it);
    Children.erase(it);
    owned->Parent = nullptr;
    return owned;
}

void TRukoControl::SetParent(TRukoControl* p)
{
    if (!p || p == Parent || p == this || IsAncestorOf(p) || !Parent) return;
    // Base windows and free controls have no parent to leave; they are never moved.
    Invalidate();
    const bool wasInCabinet = IsInCabinet();
    std::unique_ptr<TRukoControl> self = Parent->DetachChild(this);
    if (!self) return;
    p->InsertChild(std::move(self));
    Invalidate();
    if (const bool inCabinet = IsInCabinet(); inCabinet != wasInCabinet) NotifyCabinet(inCabinet);
    if (Owner) {
        TRukoControl* focused = Owner->Focused();
        if (!focused || focused == this || IsAncestorOf(focused) || GetBase() == &Owner->GetActiveBase())
            Owner->DropFocusWithin(nullptr);
    }
}

void TRukoControl::NotifyCabinet(bool entered)
{
    if (entered)
        CabinetEnter();
    else
        CabinetLeave();
    for (auto& child : Children)
        child->NotifyCabinet(entered);
}

void TRukoControl::SortChildren()
{
    std::stable_sort(Children.begin(), Children.end(),
                     [](const auto& a, const auto& b) { return ChildDrawsBefore(*a, *b); });
}

void TRukoControl::InsertChild(std::unique_ptr<TRukoControl> child)
{
    child->Parent = this;
    auto at = std::upper_bound(Children.begin(), Children.end(), child,
                               [](const auto& a, const auto& b) { return ChildDrawsBefore(*a, *b); });
    Children.insert(at, std::move(child));
}

int32_t TRukoControl::GetDrawLeft() const
{
    int64_t z = GetZoomX();
    const TRukoControl* p = Parent;
    // Only plain controls are placed here; images on zoomed images (their own surfaces) bring
    // their own rule.
    int64_t b;
    if (!GetFlipH())
        b = z == 256 ? OffsetX : z * OffsetX / 256;
    else
        b = z == 256 ? int64_t{Width} - OffsetX - 1 : int64_t{Width} - z * OffsetX / 256 - 1;
    int64_t c = HasMotion() ? MotionX : (PosZoomed ? z * Left / 256 : Left);
    int64_t r = c - b + PlusX;
    if (p) r += int64_t{p->GetDrawLeft()} - p->GetScrollX();
    return Clamp64(r);
}

int32_t TRukoControl::GetDrawTop() const
{
    int64_t z = GetZoomY();
    const TRukoControl* p = Parent;
    int64_t b;
    if (!GetFlipV())
        b = z == 256 ? OffsetY : z * OffsetY / 256;
    else
        b = z == 256 ? int64_t{Height} - OffsetY - 1 : int64_t{Height} - z * OffsetY / 256 - 1;
    int64_t c = HasMotion() ? MotionY : (PosZoomed ? z * Top / 256 : Top);
    int64_t r = c - b + PlusY;
    if (p) r += int64_t{p->GetDrawTop()} - p->GetScrollY();
    return Clamp64(r);
}

int32_t TRukoControl::GetLocalLeft() const
{
    int64_t z = GetZoomX();
    int64_t b;
    if (!GetFlipH())
        b = z == 256 ? OffsetX : z * OffsetX / 256;
    else
        b = z == 256 ? int64_t{Width} - OffsetX : int64_t{Width} - z * OffsetX / 256;
    int64_t c = HasMotion() ? MotionX : (PosZoomed ? z * Left / 256 : Left);
    return Clamp64(PlusX + c - b);
}

int32_t TRukoControl::GetLocalTop() const
{
    int64_t z = GetZoomY();
    int64_t b;
    if (!GetFlipV())
        b = z == 256 ? OffsetY : z * OffsetY / 256;
    else
        b = z == 256 ? int64_t{Height} - OffsetY : int64_t{Height} - z * OffsetY / 256;
    int64_t c = HasMotion() ? MotionY : (PosZoomed ? z * Top / 256 : Top);
    return Clamp64(PlusY + c - b);
}

TRect TRukoControl::GetDrawRect() const
{
    int64_t x = GetDrawLeft(), y = GetDrawTop();
    return TRect(Clamp64(x), Clamp64(y), Clamp64(x + Width), Clamp64(y + Height));
}

TRect TRukoControl::GetClipRect() const
{
    if (ClipWidth < 1 || ClipHeight < 1) return TRect();
    int64_t x = int64_t{GetDrawLeft()} + ClipLeft, y = int64_t{GetDrawTop()} + ClipTop;
    return TRect(Clamp64(x), Clamp64(y), Clamp64(x + ClipWidth), Clamp64(y + ClipHeight));
}

void TRukoControl::SetLeft(int32_t v)
{
    if (v != Left) {
        Invalidate();
        Left = v;
        MotionX = 0;
        Invalidate();
    }
}

void TRukoControl::SetTop(int32_t v)
{
    if (v != Top) {
        Invalidate();
        Top = v;
        MotionY = 0;
        Invalidate();
    }
}

namespace {
template <typename T> void Change(TRukoControl& c, T& field, T v)
{
    if (field == v) return;
    c.Invalidate();
    field = v;
    c.Invalidate();
}
} // namespace

void TRukoControl::SetWidth(int32_t v)
{
    Change(*this, Width, v);
}
void TRukoControl::SetHeight(int32_t v)
{
    Change(*this, Height, v);
}
void TRukoControl::SetOffsetX(int32_t v)
{
    Change(*this, OffsetX, v);
}
void TRukoControl::SetOffsetY(int32_t v)
{
    Change(*this, OffsetY, v);
}
void TRukoControl::SetColor(int32_t v)
{
    Change(*this, Color, v);
}
void TRukoControl::SetPlusX(int32_t v)
{
    Change(*this, PlusX, v);
}
void TRukoControl::SetPlusY(int32_t v)
{
    Change(*this, PlusY, v);
}
void TRukoControl::SetPosZoomed(bool v)
{
    Change(*this, PosZoomed, v);
}

void TRukoControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height)
{
    if (left == Left && top == Top && width == Width && height == Height) return;
    Invalidate();
    Left = left;
    Top = top;
    Width = width;
    Height = height;
    Invalidate();
}

void TRukoControl::SetClip(int32_t left, int32_t top, int32_t width, int32_t height)
{
    if (left == ClipLeft && top == ClipTop && width == ClipWidth && height == ClipHeight) return;
    // The area outside the old clip was hidden; redraw the whole control before and after.
    int32_t savedWidth = ClipWidth;
    ClipWidth = 0;
    Invalidate();
    ClipWidth = savedWidth;
    ClipLeft = left;
    ClipTop = top;
    ClipWidth = width;
    ClipHeight = height;
    Invalidate();
}

void TRukoControl::SetVisible(bool v)
{
    if (v == Visible) return;
    if (!v) {
        Invalidate();
        Visible = false;
        if (Owner) Owner->DropFocusWithin(this);
    } else {
        Visible = true;
        Invalidate();
        if (Owner && !Owner->Focused()) Owner->RequestFocus();
    }
}

void TRukoControl::SetHandleKey(bool v)
{
    if (v == HandleKey) return;
    HandleKey = v;
    if (!Owner) return;
    if (v && !Owner->Focused()) Owner->RequestFocus();
    if (!v && Owner->Focused() == this) Owner->DropFocusWithin(this);
}

void TRukoControl::LoadMotion(const std::string& file)
{
    Motion.reset();
    MotionX = MotionY = 0;
    SubPriority = 0;
    if (MotionFactory) Motion = MotionFactory(*this, file);
}

void TRukoControl::Invalidate()
{
    if (!GetVisible() || !Owner) return;
    TRukoBase* base = GetBase();
    if (!base || IsBase()) return;
    // The bounds, not the draw rectangle: a rotated picture reaches past its box.
    TRect r = GetBoundsRect();
    if (Parent) {
        r = IntersectRect(r, Parent->GetBoundsRect());
        if (r.IsEmpty()) return;
    }
    TRect clip = GetClipRect();
    if (!clip.IsEmpty()) {
        r = IntersectRect(r, clip);
        if (r.IsEmpty()) return;
    }
    base->AddDirtyRect(r);
}

void TRukoControl::Paint(TCustomDIBX& surface)
{
    PaintChildren(surface);
}

void TRukoControl::PaintChildren(TCustomDIBX& surface)
{
    TRect saved = surface.ClipRect;
    TRect area = IntersectRect(surface.EffectiveClip(), GetBoundsRect());
    if (area.IsEmpty()) return;
    for (size_t i = 0; i < Children.size(); ++i) {
        TRukoControl& child = *Children[i];
        if (child.Name.empty() || !child.GetVisible()) continue;
        TRect c = area;
        TRect childClip = child.GetClipRect();
        if (!childClip.IsEmpty()) {
            c = IntersectRect(c, childClip);
            if (c.IsEmpty()) continue;
        }
        surface.ClipRect = c;
        child.Paint(surface);
    }
    surface.ClipRect = saved;
}

TRukoControl* TRukoControl::HitTest(int32_t x, int32_t y, uint32_t acceptedMask)
{
    if (!GetVisible() || !GetBoundsRect().Contains(x, y)) return nullptr;
    TRect clip = GetClipRect();
    if (!clip.IsEmpty() && !clip.Contains(x, y)) return nullptr;
    TRukoControl* result = (acceptedMask >> IgnoreMouse) & 1 ? this : nullptr;
    for (size_t i = Children.size(); i-- > 0;) {
        TRukoControl& child = *Children[i];
        if (child.Name.empty()) continue;
        if (TRukoControl* hit = child.HitTest(x, y, acceptedMask)) return hit;
    }
    return result;
}

TRukoControl* TRukoControl::FindFocusTarget()
{
    for (size_t i = Children.size(); i-- > 0;) {
        TRukoControl& child = *Children[i];
        if (!child.GetVisible() || child.Name.empty()) continue;
        if (TRukoControl* t = child.FindFocusTarget()) return t;
    }
    if (HandleKey && !IsPaused() && !IsBase()) return this;
    return nullptr;
}

void TRukoControl::PostAt(const std::string& command, uint8_t code, int32_t x, int32_t y)
{
    Post(command, code, XY(Clamp64(int64_t{x} - GetDrawLeft()), Clamp64(int64_t{y} - GetDrawTop())));
}

void TRukoControl::LButtonDown(int32_t x, int32_t y)
{
    if (IsBase()) return;
    TRukoBase* base = GetBase();
    bool accepts = IgnoreMouse == IM_NONE || IgnoreMouse == IM_RCLICK;
    if (accepts && !IsPaused() && !EventPending(PR_ONLBTNDOWN) && !IsDisabled()) {
        if (!OnLBtnDown.empty()) PostAt(OnLBtnDown, PR_ONLBTNDOWN, x, y);
        if (base) {
            base->Capture |= 4;
            base->LClick = false;
        }
    } else if (accepts && base) {
        base->LClick = false;
    }
}

void TRukoControl::RButtonDown(int32_t x, int32_t y)
{
    if (IsBase()) return;
    TRukoBase* base = GetBase();
    bool accepts = IgnoreMouse == IM_NONE || IgnoreMouse == IM_LCLICK;
    if (accepts && !IsPaused() && !EventPending(PR_ONRBTNDOWN) && !IsDisabled()) {
        if (!OnRBtnDown.empty()) PostAt(OnRBtnDown, PR_ONRBTNDOWN, x, y);
        if (base) {
            base->Capture |= 8;
            base->RClick = false;
        }
    } else if (accepts && base) {
        base->RClick = false;
    }
}

void TRukoControl::LButtonUp(int32_t x, int32_t y)
{
    if (IsDisabled()) return;
    if (!IsBase()) PostAt(OnLBtnUp, PR_ONLBTNUP, x, y);
    if (TRukoBase* base = GetBase()) base->Capture &= static_cast<uint8_t>(~4);
}

void TRukoControl::RButtonUp(int32_t x, int32_t y)
{
    if (IsDisabled()) return;
    if (!IsBase()) PostAt(OnRBtnUp, PR_ONRBTNUP, x, y);
    if (TRukoBase* base = GetBase()) base->Capture &= static_cast<uint8_t>(~8);
}

void TRukoControl::MouseMove(int32_t x, int32_t y)
{
    if (IsBase() || IsDisabled() || OnMouseMove.empty() || EventPending(PR_ONMOUSEMOVE)) return;
    PostAt(OnMouseMove, PR_ONMOUSEMOVE, x, y);
}

void TRukoControl::MouseLeave(TRukoControl*)
{
    if (!IsBase() && !IsDisabled()) Post(OnMouseOut, PR_ONMOUSEOUT);
}

void TRukoControl::MouseEnter(TRukoControl*)
{
    if (!IsBase() && !IsDisabled()) Post(OnMouseIn, PR_ONMOUSEIN);
}

void TRukoControl::PostKeys(const std::string& command, uint8_t code, const std::vector<int32_t>& keys)
{
    if (command.empty() || IsPaused() || EventPending(code) || IsBase() || IsDisabled()) return;
    std::vector<std::string> args;
    for (int32_t k : keys)
        args.push_back(std::to_string(k));
    Post(command, code, args);
}

void TRukoControl::KeyDown(const std::vector<int32_t>& keys)
{
    PostKeys(OnKeyDown, PR_ONKEYDOWN, keys);
}
void TRukoControl::KeyUp(const std::vector<int32_t>& keys)
{
    PostKeys(OnKeyUp, PR_ONKEYUP, keys);
}
void TRukoControl::KeyRepeat(const std::vector<int32_t>& keys)
{
    PostKeys(OnKeyRepeat, PR_ONKEYREPEAT, keys);
}

const std::string& TRukoControl::OnPlayEnd() const
{
    return EmptyText;
}

int TRukoControl::Step()
{
    if (!Motion) return 0;
    if (Motion->Step(*this, AniPaused || !Owner ? 0 : Owner->FrameDelta)) return MotionEnded();
    return 0;
}

int TRukoControl::MotionEnded()
{
    if (AutoScrap()) return 1;
    if (!OnPlayEnd().empty()) Post(OnPlayEnd(), PR_ONPLAYEND);
    return 0;
}

} // namespace ruko
