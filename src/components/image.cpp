#include "components/image.h"

#include "base/numbers.h"
#include "components/baselist.h"
#include "components/images.h"
#include "graphics/bromcache.h"
#include "graphics/drawsmooth.h"
#include "io/fields.h"

#include <cmath>
#include <numbers>

namespace ruko {

namespace {

constexpr Extended FullTurn = 2 * std::numbers::pi_v<Extended>;

int32_t Nearest(Extended v, int32_t low, int32_t high)
{
    return SaturateToInt32(std::nearbyint(v), low, high);
}

// Each colour channel times b / 255; pixels equal to the key keep it.
void ScaleBrightness(TDIBX& picture, int32_t b)
{
    const int32_t format = picture.PixelFormat();
    if (format != 15 && format != 16 && format != 24 && format != 32) return;
    const uint32_t masks[3] = {picture.RedMask(), picture.GreenMask(), picture.BlueMask()};
    const int32_t shifts[3] = {picture.RedShift(), picture.GreenShift(), picture.BlueShift()};
    const int64_t key = picture.TransparentColor;
    for (int32_t y = 0; y < picture.Height(); ++y)
        for (int32_t x = 0; x < picture.Width(); ++x) {
            const uint32_t v = picture.GetPixel(x, y);
            if (int64_t(v) == key) continue;
            uint32_t out = 0;
            for (int c = 0; c < 3; ++c) {
                const uint32_t channel = (v & masks[c]) >> shifts[c];
                out |= ((channel * uint32_t(b) / 255u) << shifts[c]) & masks[c];
            }
            picture.SetPixel(x, y, out);
        }
}

} // namespace

int32_t AfterImageStartAlpha(int32_t alpha)
{
    if (alpha < 0) return alpha / 2;
    return (alpha & ~255) | ((alpha & 255) / 2);
}

int32_t AfterImageAlphaAt(int32_t start, int32_t elapsed, int32_t lifetime)
{
    if (lifetime <= 0) return start;
    const double fade = std::nearbyint(double(elapsed) / lifetime * double(((start % 256) + 256) % 256));
    return ClampToInt32(int64_t{start} - int64_t(fade));
}

TRukoCustomImage::TRukoCustomImage(TRukoBaseList* owner) : TRukoControl(owner) {}

// --- picture ------------------------------------------------------------------------------------

const std::string& TRukoCustomImage::SourceName() const
{
    static const std::string none;
    return none;
}

void TRukoCustomImage::ShowCachedFrame(const TBromItemFrame& frame, int32_t brightness)
{
    const int32_t oldW = HasPicture ? Picture.Width() : -1, oldH = HasPicture ? Picture.Height() : -1;
    Invalidate();
    Picture.ShareStore(*frame.Surface);
    Picture.TransparentColor = frame.Surface->TransparentColor;
    if (brightness >= 1 && brightness <= 254) {
        Picture.Unshare();
        ScaleBrightness(Picture, brightness);
    }
    HasPicture = true;
    HasMask = frame.Mask != nullptr;
    if (HasMask) MaskSource.ShareStore(*frame.Mask);
    RectList = frame.RectLists[0];
    if (Picture.Width() != oldW || Picture.Height() != oldH) NeedsLayout = true;
    Invalidate();
}

void TRukoCustomImage::SharePicture(const TRukoCustomImage& other)
{
    HasPicture = other.HasPicture;
    if (HasPicture) {
        Picture.ShareStore(other.Picture);
        Picture.TransparentColor = other.Picture.TransparentColor;
    }
    const TCustomDIBX* mask = other.EffectiveMask();
    HasMask = mask != nullptr;
    if (HasMask) MaskSource.ShareStore(other.MaskOverride ? *other.MaskOverride : other.MaskSource);
    RectList = other.RectList;
}

void TRukoCustomImage::ClearPicture()
{
    if (HasPicture) Invalidate();
    HasPicture = false;
    HasMask = false;
    Picture.Clear();
    MaskSource.Clear();
    RectList.clear();
    NeedsLayout = true;
}

const TCustomDIBX* TRukoCustomImage::EffectiveMask() const
{
    if (MaskOverride) return MaskOverride.get();
    return HasMask ? &MaskSource : nullptr;
}

// --- geometry -----------------------------------------------------------------------------------

bool TRukoCustomImage::ZoomValid() const
{
    return std::isfinite(ZoomX) && std::isfinite(ZoomY) && ZoomX > 0 && ZoomY > 0;
}

bool TRukoCustomImage::AngleValid() const
{
    return std::isfinite(Angle);
}

bool TRukoCustomImage::IsRotated() const
{
    return AngleValid() && std::fabs(std::remainder(Angle, FullTurn)) >= 1e-9L;
}

int32_t TRukoCustomImage::GetZoomX() const
{
    return SaturateToInt32(ZoomX * 256);
}

int32_t TRukoCustomImage::GetZoomY() const
{
    return SaturateToInt32(ZoomY * 256);
}

void TRukoCustomImage::SetAlpha(int32_t v)
{
    if (v == Alpha) return;
    Alpha = v;
    Invalidate();
}

void TRukoCustomImage::SetZoom(Extended zoomX, Extended zoomY)
{
    // NaN never equals itself: compare the bits of meaning, not the values.
    auto same = [](Extended a, Extended b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    if (same(zoomX, ZoomX) && same(zoomY, ZoomY)) return;
    Invalidate();
    ZoomX = zoomX;
    ZoomY = zoomY;
    NeedsLayout = true;
    Invalidate();
}

void TRukoCustomImage::SetAngle(Extended radians)
{
    if (radians == Angle) return;
    Invalidate();
    Angle = radians;
    Invalidate();
}

void TRukoCustomImage::SetFlip(bool h, bool v)
{
    if (h == FlipH && v == FlipV) return;
    Invalidate();
    FlipH = h;
    FlipV = v;
    Invalidate();
}

void TRukoCustomImage::SetAntiAlias(bool v)
{
    if (v == AntiAlias) return;
    AntiAlias = v;
    Invalidate();
}

bool TRukoCustomImage::OnZoomedParent(bool vertical, int64_t& d, int32_t& parentSize) const
{
    if (!PosZoomed || !Parent || Parent->IsBase() || HasMotion() || !HasPicture) return false;
    const auto* p = dynamic_cast<const TRukoCustomImage*>(Parent);
    if (!p || !p->HasPicture) return false;
    if (vertical ? p->GetZoomY() != GetZoomY() : p->GetZoomX() != GetZoomX()) return false;
    const int32_t shown = vertical ? p->Height : p->Width;
    parentSize = vertical ? p->Picture.Height() : p->Picture.Width();
    // A parent without a size has no grid to fall on.
    if (shown <= 0) return false;
    d = std::max<int64_t>(1, int64_t(double(parentSize) / shown * 65536.0));
    return true;
}

int32_t TRukoCustomImage::ZoomedParentEdge(bool vertical) const
{
    int64_t d;
    int32_t parentSize;
    if (!OnZoomedParent(vertical, d, parentSize)) return 0;
    const int64_t pos = vertical ? Top : Left, offset = vertical ? OffsetY : OffsetX;
    const int64_t own = vertical ? Picture.Height() : Picture.Width();
    const bool flip = vertical ? FlipV : FlipH;
    const int64_t n = (flip ? parentSize + offset - pos - own : pos - offset) * 65536;
    return ClampToInt32(n / d + (n % d > 32767 ? 1 : 0));
}

int32_t TRukoCustomImage::GetDrawLeft() const
{
    int64_t d;
    int32_t size;
    if (!OnZoomedParent(false, d, size)) return TRukoControl::GetDrawLeft();
    return ClampToInt32(int64_t{ZoomedParentEdge(false)} + Parent->GetDrawLeft() + PlusX -
                        Parent->GetScrollX());
}

int32_t TRukoCustomImage::GetDrawTop() const
{
    int64_t d;
    int32_t size;
    if (!OnZoomedParent(true, d, size)) return TRukoControl::GetDrawTop();
    return ClampToInt32(int64_t{ZoomedParentEdge(true)} + Parent->GetDrawTop() + PlusY -
                        Parent->GetScrollY());
}

void TRukoCustomImage::Layout()
{
    NeedsLayout = false;
    int32_t w = 0, h = 0;
    if (HasPicture) {
        int64_t d;
        int32_t parentSize;
        for (int axis = 0; axis < 2; ++axis) {
            const bool vertical = axis == 1;
            int32_t& out = vertical ? h : w;
            const int64_t own = vertical ? Picture.Height() : Picture.Width();
            if (OnZoomedParent(vertical, d, parentSize)) {
                // Both drawn edges fall on the parent's zoomed pixel grid.
                const int64_t pos = vertical ? Top : Left, offset = vertical ? OffsetY : OffsetX;
                const bool flip = vertical ? FlipV : FlipH;
                const int64_t r = (flip ? parentSize + offset - pos : pos - offset + own) * 65536;
                const int64_t ceil = r / d + (r % d > 0 ? 1 : 0);
                out = int32_t(std::clamp<int64_t>(ceil - ZoomedParentEdge(vertical), 0, MaxComponentSize));
            } else {
                out = Nearest(Extended(own) * (vertical ? ZoomY : ZoomX), 1, MaxComponentSize);
            }
        }
    }
    SetBounds(Left, Top, w, h);
}

void TRukoCustomImage::PlaceInParent(int64_t px, int64_t py, int32_t& x, int32_t& y) const
{
    px += PlusX;
    py += PlusY;
    if (Parent) {
        px += int64_t{Parent->GetDrawLeft()} - Parent->GetScrollX();
        py += int64_t{Parent->GetDrawTop()} - Parent->GetScrollY();
    }
    x = ClampToInt32(px);
    y = ClampToInt32(py);
}

void TRukoCustomImage::GetRotationPlacement(int32_t& x, int32_t& y, int32_t& pivotX, int32_t& pivotY) const
{
    int64_t px, py;
    if (HasMotion())
        px = MotionX, py = MotionY;
    else if (PosZoomed)
        px = Nearest(ZoomX * Left, -MaxComponentCoord * 64, MaxComponentCoord * 64),
        py = Nearest(ZoomY * Top, -MaxComponentCoord * 64, MaxComponentCoord * 64);
    else
        px = Left, py = Top;
    PlaceInParent(px, py, x, y);
    // In picture coordinates: the rotated draws mirror the pivot along with the picture.
    pivotX = OffsetX;
    pivotY = OffsetY;
}

void TRukoCustomImage::GetOriginPoint(int32_t& x, int32_t& y) const
{
    const int64_t zx = GetZoomX(), zy = GetZoomY();
    int64_t px = HasMotion() ? MotionX : (PosZoomed ? zx * Left / 256 : Left);
    int64_t py = HasMotion() ? MotionY : (PosZoomed ? zy * Top / 256 : Top);
    PlaceInParent(px, py, x, y);
}

TRect TRukoCustomImage::RotatedRect() const
{
    int32_t x, y, pivotX, pivotY;
    GetRotationPlacement(x, y, pivotX, pivotY);
    return RotatedBounds(x, y, double(ZoomX), double(ZoomY), Picture.BoundsRect(), pivotX, pivotY,
                         double(Angle), FlipH, FlipV);
}

TRect TRukoCustomImage::GetBoundsRect() const
{
    if (HasPicture && IsRotated()) return ZoomValid() ? RotatedRect() : TRect();
    return GetDrawRect();
}

// --- drawing ------------------------------------------------------------------------------------

void TRukoCustomImage::Paint(TCustomDIBX& surface)
{
    if (!GetVisible()) return;
    if (HasPicture && Width > 0 && Height > 0) {
        PaintBefore(surface);
        PaintPicture(surface);
        PaintAfter(surface);
    }
    PaintChildren(surface);
}

void TRukoCustomImage::DrawOnce(TCustomDIBX& surface, int32_t x, int32_t y, const TRect& part) const
{
    const int32_t a = Alpha;
    const int32_t strength = std::min(a - 256, 255);
    if (const TCustomDIBX* m = EffectiveMask()) {
        if (a <= 254)
            surface.DrawAlphaMask(x, y, Picture, part, FlipH, FlipV, *m, a);
        else if (a == 255)
            surface.DrawMask(x, y, Picture, part, FlipH, FlipV, *m);
        else
            surface.DrawAddMask(x, y, Picture, part, FlipH, FlipV, *m, strength);
        return;
    }
    const bool key = Picture.TransparentColor >= 0;
    if (a <= 254)
        surface.DrawAlpha(x, y, Picture, part, key, FlipH, FlipV, a);
    else if (a == 255)
        surface.Draw(x, y, Picture, part, key, FlipH, FlipV);
    else
        surface.DrawAdd(x, y, Picture, part, FlipH, FlipV, strength);
}

void TRukoCustomImage::PaintPicture(TCustomDIBX& surface)
{
    const int32_t a = Alpha;
    if (a < 1 || Width < 1 || Height < 1 || !ZoomValid() || !AngleValid()) return;
    const TCustomDIBX* m = EffectiveMask();
    const bool key = Picture.TransparentColor >= 0;
    const TRect whole = Picture.BoundsRect();
    const bool zoomed = Picture.Width() != Width || Picture.Height() != Height;
    const bool rotated = IsRotated();
    const double zx = double(ZoomX), zy = double(ZoomY);
    if (rotated || (AntiAlias && zoomed)) {
        int32_t px, py, pivotX, pivotY;
        GetRotationPlacement(px, py, pivotX, pivotY);
        const double angle = rotated ? double(Angle) : 0.0;
        if (AntiAlias)
            RotateDrawSmooth(surface, px, py, zx, zy, Picture, whole, pivotX, pivotY, angle, m, FlipH, FlipV,
                             a);
        else if (m)
            surface.RotateDrawMask(px, py, zx, zy, Picture, whole, pivotX, pivotY, angle, *m, FlipH, FlipV,
                                   a);
        else
            surface.RotateDraw(px, py, zx, zy, Picture, whole, pivotX, pivotY, angle, key, FlipH, FlipV, a);
        return;
    }
    const int32_t x = GetDrawLeft(), y = GetDrawTop();
    if (!zoomed) {
        if (RectList.empty() || dynamic_cast<TDIBXWave*>(&surface)) {
            DrawOnce(surface, x, y, whole);
            return;
        }
        const TRect saved = surface.ClipRect;
        const TRect clip = surface.EffectiveClip();
        for (const TRect& r : RectList) {
            const int64_t left = FlipH ? int64_t{x} + Picture.Width() - r.Right : int64_t{x} + r.Left;
            const int64_t top = FlipV ? int64_t{y} + Picture.Height() - r.Bottom : int64_t{y} + r.Top;
            const TRect place =
                IntersectRect(TRect(ClampToInt32(left), ClampToInt32(top), ClampToInt32(left + r.Width()),
                                    ClampToInt32(top + r.Height())),
                              clip);
            if (place.IsEmpty()) continue;
            surface.ClipRect = place;
            DrawOnce(surface, x, y, whole);
        }
        surface.ClipRect = saved;
        return;
    }
    StretchOnce(surface, GetDrawRect());
}

void TRukoCustomImage::StretchOnce(TCustomDIBX& surface, const TRect& dest) const
{
    const int32_t a = Alpha;
    const int32_t strength = std::min(a - 256, 255);
    const TRect whole = Picture.BoundsRect();
    const bool key = Picture.TransparentColor >= 0;
    if (const TCustomDIBX* m = EffectiveMask()) {
        if (a > 255)
            surface.StretchDrawAddMask(dest, Picture, whole, *m, FlipH, FlipV, strength);
        else
            surface.StretchDrawMask(dest, Picture, whole, *m, FlipH, FlipV, a);
    } else if (a > 255)
        surface.StretchDrawAdd(dest, Picture, whole, key, FlipH, FlipV, strength);
    else
        surface.StretchDraw(dest, Picture, whole, key, FlipH, FlipV, a);
}

TRukoControl* TRukoCustomImage::HitTest(int32_t x, int32_t y, uint32_t acceptedMask)
{
    if (!GetVisible() || !GetBoundsRect().Contains(x, y)) return nullptr;
    TRect clip = GetClipRect();
    if (!clip.IsEmpty() && !clip.Contains(x, y)) return nullptr;
    for (size_t i = Children.size(); i-- > 0;) {
        TRukoControl& child = *Children[i];
        if (child.Name.empty()) continue;
        if (TRukoControl* hit = child.HitTest(x, y, acceptedMask)) return hit;
    }
    if (!((acceptedMask >> IgnoreMouse) & 1)) return nullptr;
    // The mapping back into the picture divides by the zoom.
    if (!ZoomValid() || !AngleValid()) return nullptr;
    int64_t qx = x, qy = y;
    if (IsRotated()) {
        int32_t ox, oy;
        GetOriginPoint(ox, oy);
        const double c = std::cos(double(Angle)), s = std::sin(double(Angle));
        const double dx = double(x) - ox, dy = double(y) - oy;
        qx = int64_t(std::nearbyint(ox + c * dx + s * dy));
        qy = int64_t(std::nearbyint(oy - s * dx + c * dy));
        const TRect drawn = GetDrawRect();
        if (qx < drawn.Left || qx >= drawn.Right || qy < drawn.Top || qy >= drawn.Bottom) return nullptr;
    }
    if (CaptureMask)
        if (const TCustomDIBX* m = EffectiveMask()) {
            const Extended fx = std::nearbyint(Extended(qx - GetDrawLeft()) / ZoomX);
            const Extended fy = std::nearbyint(Extended(qy - GetDrawTop()) / ZoomY);
            int64_t px = SaturateToInt32(fx), py = SaturateToInt32(fy);
            if (FlipH) px = int64_t{m->Width()} - px - 1;
            if (FlipV) py = int64_t{m->Height()} - py - 1;
            const bool inside = px >= 0 && py >= 0 && px < m->Width() && py < m->Height();
            const int64_t level = inside ? m->GetPixel(int32_t(px), int32_t(py)) : 0;
            if (level < CapMaskLevel) return nullptr;
        }
    return this;
}

// --- life ---------------------------------------------------------------------------------------

int TRukoCustomImage::Step()
{
    if (int result = TRukoControl::Step()) return result;
    if (int result = Animate()) return result;
    if (NeedsLayout) {
        if (NeedsOwnLayout())
            Layout();
        else
            NeedsLayout = false;
    }
    BlurStep();
    return 0;
}

void TRukoCustomImage::BlurStep()
{
    if (BlurSpan <= 0 || BlurDelay <= 0 || !Owner || !Parent) return;
    blurElapsed_ += Owner->FrameDelta;
    if (blurElapsed_ < BlurSpan) return;
    blurElapsed_ = 0;
    TBlurPlace place{Left, Top, ShownFrame(), GetScrollX(), GetScrollY(), Angle, ZoomX, ZoomY};
    if (blurRecorded_ && place == blurPlace_) return;
    const bool first = !blurRecorded_;
    blurRecorded_ = true;
    blurPlace_ = place;
    if (first || !HasPicture) return;
    int copies = 0;
    for (const auto& child : Parent->Children)
        if (child->AfterImageSource() == this) ++copies;
    if (copies >= MaxAfterImages) return;
    std::unique_ptr<TRukoControl> copy = MakeAfterImage();
    if (!copy) return;
    TRukoControl* raw = copy.get();
    raw->Name = Owner->MakeUniqueName(Name.empty() ? std::string("blur") : Name);
    Owner->Register(raw);
    Parent->InsertChild(std::move(copy));
    raw->Invalidate();
}

std::unique_ptr<TRukoControl> TRukoCustomImage::MakeAfterImage()
{
    return std::make_unique<TRukoBlurImage>(Owner, *this);
}

void CopyAfterImagePlace(TRukoCustomImage& copy, const TRukoCustomImage& source)
{
    copy.Priority = source.Priority == INT32_MIN ? INT32_MIN : source.Priority - 1;
    // The copy has no motion of its own: it stays where the source was drawn.
    copy.Left = source.HasMotion() ? source.MotionX : source.Left;
    copy.Top = source.HasMotion() ? source.MotionY : source.Top;
    copy.Width = source.Width;
    copy.Height = source.Height;
    copy.OffsetX = source.OffsetX;
    copy.OffsetY = source.OffsetY;
    copy.PlusX = source.PlusX;
    copy.PlusY = source.PlusY;
    copy.PosZoomed = source.PosZoomed;
    copy.Color = source.Color;
    copy.ClipLeft = source.ClipLeft;
    copy.ClipTop = source.ClipTop;
    copy.ClipWidth = source.ClipWidth;
    copy.ClipHeight = source.ClipHeight;
    copy.FlipH = source.FlipH;
    copy.FlipV = source.FlipV;
    copy.ZoomX = source.ZoomX;
    copy.ZoomY = source.ZoomY;
    copy.Angle = source.Angle;
    copy.AntiAlias = source.AntiAlias;
    copy.IgnoreMouse = IM_ALL;
    copy.SharePicture(source);
    copy.NeedsLayout = false;
}

TRukoBlurImage::TRukoBlurImage(TRukoBaseList* owner, const TRukoCustomImage& source)
    : TAfterImage(owner, source, AfterImageStartAlpha(source.Alpha))
{
    CopyAfterImagePlace(*this, source);
    Alpha = StartAlpha();
}

// --- properties and records ---------------------------------------------------------------------

bool TRukoCustomImage::GetOwn(int id, TCustomParam& t)
{
    switch (id) {
    case PR_ZOOMX:
        return t.SetInt(GetZoomX()), true;
    case PR_ZOOMY:
        return t.SetInt(GetZoomY()), true;
    case PR_ALPHA:
        return t.SetInt(Alpha), true;
    case PR_ANTIALIAS:
        return t.SetFlag(AntiAlias), true;
    case PR_ANGLE:
        return t.SetInt(SaturateToInt32(Angle / FullTurn * 255)), true;
    case PR_CAPTUREMASK:
        return t.SetFlag(CaptureMask), true;
    case PR_ORIGWIDTH:
        return t.SetInt(HasPicture ? Picture.Width() : 0), true;
    case PR_ORIGHEIGHT:
        return t.SetInt(HasPicture ? Picture.Height() : 0), true;
    case PR_FLIPH:
        return t.SetFlag(FlipH), true;
    case PR_FLIPV:
        return t.SetFlag(FlipV), true;
    case PR_BLURSPAN:
        return t.SetInt(BlurSpan), true;
    case PR_BLURDELAY:
        return t.SetInt(BlurDelay), true;
    case PR_FLOATANGLE:
        return t.SetFloat(Angle), true;
    case PR_FLOATZOOMX:
        return t.SetFloat(ZoomX), true;
    case PR_FLOATZOOMY:
        return t.SetFloat(ZoomY), true;
    case PR_CAPMASKLEVEL:
        return t.SetInt(CapMaskLevel), true;
    default:
        return TRukoControl::GetOwn(id, t);
    }
}

bool TRukoCustomImage::SetOwn(int id, const TCustomParam& v)
{
    switch (id) {
    case PR_ZOOMX:
        return SetZoom(Extended(v.GetInt()) / 256, ZoomY), true;
    case PR_ZOOMY:
        return SetZoom(ZoomX, Extended(v.GetInt()) / 256), true;
    case PR_ALPHA:
        return SetAlpha(v.GetInt()), true;
    case PR_ANTIALIAS:
        return SetAntiAlias(v.GetFlag()), true;
    case PR_ANGLE:
        return SetAngle(Extended(v.GetInt()) / 255 * FullTurn), true;
    case PR_CAPTUREMASK:
        return CaptureMask = v.GetFlag(), true;
    case PR_FLIPH:
        return SetFlip(v.GetFlag(), FlipV), true;
    case PR_FLIPV:
        return SetFlip(FlipH, v.GetFlag()), true;
    case PR_BLURSPAN:
        return BlurSpan = v.GetInt(), true;
    case PR_BLURDELAY:
        return BlurDelay = v.GetInt(), true;
    case PR_FLOATANGLE:
        return SetAngle(v.GetFloat()), true;
    case PR_FLOATZOOMX:
        return SetZoom(v.GetFloat(), ZoomY), true;
    case PR_FLOATZOOMY:
        return SetZoom(ZoomX, v.GetFloat()), true;
    case PR_CAPMASKLEVEL:
        return CapMaskLevel = v.GetInt(), true;
    default:
        return TRukoControl::SetOwn(id, v);
    }
}

void TRukoCustomImage::CustomImageSave(TKwBigStream& s) const
{
    WriteInt(s, Alpha);
    WriteExtended(s, ZoomX);
    WriteExtended(s, Angle);
    WriteBool(s, AntiAlias);
    WriteBool(s, FlipH);
    WriteBool(s, FlipV);
    WriteBool(s, CaptureMask);
    WriteExtended(s, ZoomY);
    WriteInt(s, BlurSpan);
    WriteInt(s, BlurDelay);
    WriteInt(s, CapMaskLevel);
}

void TRukoCustomImage::CustomImageLoad(TKwBigStream& s, int32_t version)
{
    Alpha = ReadInt(s);
    Extended zoomX, zoomY, angle;
    if (version >= 143) {
        zoomX = ReadExtended(s);
        angle = ReadExtended(s);
        AntiAlias = ReadBool(s);
    } else {
        zoomX = Extended(ReadInt(s)) / 256;
        angle = Extended(ReadInt(s)) / 255 * FullTurn;
    }
    FlipH = ReadBool(s);
    FlipV = ReadBool(s);
    CaptureMask = ReadBool(s);
    if (version >= 143)
        zoomY = ReadExtended(s);
    else if (version >= 104)
        zoomY = Extended(ReadInt(s)) / 256;
    else
        zoomY = zoomX;
    if (version > 139) {
        BlurSpan = ReadInt(s);
        BlurDelay = ReadInt(s);
    }
    CapMaskLevel = version >= 144 ? ReadInt(s) : 128;
    // A damaged real would poison every later computation with it.
    ZoomX = std::isfinite(zoomX) ? zoomX : 1;
    ZoomY = std::isfinite(zoomY) ? zoomY : 1;
    Angle = std::isfinite(angle) ? angle : 0;
    NeedsLayout = true;
}

void TRukoCustomImage::SaveToStream(TKwBigStream& s) const
{
    SaveControlPart(s);
    CustomImageSave(s);
}

void TRukoCustomImage::LoadFromStream(TKwBigStream& s, int32_t version)
{
    LoadControlPart(s, version);
    CustomImageLoad(s, version);
}

} // namespace ruko
