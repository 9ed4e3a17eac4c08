#include "components/component.h"

#include "archive/fields.h"
#include "base/error.h"
#include "base/numbers.h"
#include "base/text.h"
#include "components/baselist.h"

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

std::vector<std::string> XY(int32_t x, int32_t y)
{
    return {std::to_string(x), std::to_string(y)};
}

void WriteRect(TKwBigStream& s, const TRect& r)
{
    WriteInt(s, r.Left);
    WriteInt(s, r.Top);
    WriteInt(s, r.Right);
    WriteInt(s, r.Bottom);
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
    std::unique_ptr<TRukoControl> self = Parent->DetachChild(this);
    if (!self) return;
    p->InsertChild(std::move(self));
    Invalidate();
    if (Owner) {
        TRukoControl* focused = Owner->Focused();
        if (!focused || focused == this || IsAncestorOf(focused) || GetBase() == &Owner->GetActiveBase())
            Owner->DropFocusWithin(nullptr);
    }
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
    TRect r = GetDrawRect();
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
    if (Motion->Step(*this, AniPaused || !Owner ? 0 : Owner->FrameDelta)) {
        if (AutoScrap()) return 1;
        if (!OnPlayEnd().empty()) Post(OnPlayEnd(), PR_ONPLAYEND);
    }
    return 0;
}

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
