#include "components/tile.h"

#include "base/numbers.h"
#include "components/baselist.h"
#include "graphics/bromcache.h"
#include "io/fields.h"

#include <cmath>

namespace ruko {

namespace {

int64_t CeilDiv(int64_t a, int64_t b) // b > 0
{
    return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

int64_t Wrap(int64_t v, int64_t period) // period > 0
{
    v %= period;
    return v < 0 ? v + period : v;
}

} // namespace

void TRukoTile::SetSource(const std::string& name)
{
    if (name == Source) return;
    Source = name;
    HideFrame();
    frames_.Clear();
    Motion.reset();
    Remaining = 0;
    if (HasExtension(name, ".brm")) {
        frames_.Load(name);
    } else if (HasExtension(name, ".rmt")) {
        LoadMotion(name);
        if (Motion) {
            Motion->Step(*this, 0);
            Motion->Restart();
        }
    }
    if (frames_.Count() > 0) SetIndex(0);
}

void TRukoTile::SetScroll(int32_t x, int32_t y)
{
    if (x == ScrollX && y == ScrollY) return;
    ScrollX = x;
    ScrollY = y;
    Invalidate();
}

void TRukoTile::SetDistance(int32_t x, int32_t y)
{
    if (x == DistanceX && y == DistanceY) return;
    DistanceX = x;
    DistanceY = y;
    Invalidate();
}

int32_t TRukoTile::PitchX() const
{
    const int32_t size = HasPicture ? Picture.Width() : 0;
    return DistanceX > 0 && DistanceX >= size / 2 ? DistanceX : size;
}

int32_t TRukoTile::PitchY() const
{
    const int32_t size = HasPicture ? Picture.Height() : 0;
    return DistanceY > 0 && DistanceY >= size / 2 ? DistanceY : size;
}

int32_t TRukoTile::GetDrawLeft() const
{
    int64_t r = int64_t{HasMotion() ? MotionX : Left} + PlusX;
    if (Parent) r += int64_t{Parent->GetDrawLeft()} - Parent->GetScrollX();
    return ClampToInt32(r);
}

int32_t TRukoTile::GetDrawTop() const
{
    int64_t r = int64_t{HasMotion() ? MotionY : Top} + PlusY;
    if (Parent) r += int64_t{Parent->GetDrawTop()} - Parent->GetScrollY();
    return ClampToInt32(r);
}

void TRukoTile::PaintPicture(TCustomDIBX& surface)
{
    const int32_t a = Alpha;
    if (!HasPicture || a <= 0 || Width <= 0 || Height <= 0 || !ZoomValid() || Picture.IsEmpty()) return;
    const int32_t pw = Picture.Width(), ph = Picture.Height();
    const TRect rect = GetDrawRect();
    const TCustomDIBX* m = EffectiveMask();
    const bool key = Picture.TransparentColor >= 0;
    const bool unit = ZoomX == 1 && ZoomY == 1;
    const double zx = double(ZoomX), zy = double(ZoomY);
    if (PitchX() == pw && PitchY() == ph) {
        if (unit && !key && !m && a == 255)
            surface.TileFill(rect, Picture, ScrollX, ScrollY, FlipH, FlipV);
        else if (m)
            surface.TileFillZoomMask(rect, Picture, zx, zy, ScrollX, ScrollY, *m, FlipH, FlipV, a);
        else
            surface.TileFillZoom(rect, Picture, zx, zy, ScrollX, ScrollY, key, FlipH, FlipV, a);
        return;
    }
    const TRect area = IntersectRect(rect, surface.EffectiveClip());
    if (area.IsEmpty()) return;
    const TRect saved = surface.ClipRect;
    surface.ClipRect = area;
    if (RectList.empty() || !unit) {
        PaintRepeated(surface, area, Picture.BoundsRect(), 0, 0, !unit);
    } else {
        for (const TRect& r : RectList)
            PaintRepeated(surface, area, r, FlipH ? pw - r.Right : r.Left, FlipV ? ph - r.Bottom : r.Top,
                          false);
    }
    surface.ClipRect = saved;
}

void TRukoTile::PaintRepeated(TCustomDIBX& surface, const TRect& area, const TRect& part, int32_t placeX,
                              int32_t placeY, bool stretched) const
{
    if (part.IsEmpty()) return;
    const TRect rect = GetDrawRect();
    int64_t pitchX = PitchX(), pitchY = PitchY();
    int64_t w = part.Width(), h = part.Height();
    if (stretched) {
        auto zoomed = [](int64_t v, Extended zoom) {
            return int64_t(SaturateToInt32(std::nearbyint(Extended(v) * zoom), 1, MaxComponentSize));
        };
        pitchX = zoomed(pitchX, ZoomX);
        pitchY = zoomed(pitchY, ZoomY);
        w = zoomed(w, ZoomX);
        h = zoomed(h, ZoomY);
    }
    if (pitchX <= 0 || pitchY <= 0) return;
    const int64_t baseX = int64_t{rect.Left} + placeX - Wrap(ScrollX, pitchX);
    const int64_t baseY = int64_t{rect.Top} + placeY - Wrap(ScrollY, pitchY);
    // Only the positions whose copy reaches into the visible area.
    const int64_t i0 = std::max<int64_t>(0, CeilDiv(int64_t{area.Left} - w + 1 - baseX, pitchX));
    const int64_t j0 = std::max<int64_t>(0, CeilDiv(int64_t{area.Top} - h + 1 - baseY, pitchY));
    for (int64_t y = baseY + j0 * pitchY; y < area.Bottom; y += pitchY)
        for (int64_t x = baseX + i0 * pitchX; x < area.Right; x += pitchX) {
            if (stretched)
                StretchOnce(surface, TRect(int32_t(x), int32_t(y), ClampToInt32(x + w), ClampToInt32(y + h)));
            else
                DrawOnce(surface, int32_t(x), int32_t(y), part);
        }
}

std::unique_ptr<TRukoControl> TRukoTile::MakeAfterImage()
{
    return std::make_unique<TRukoBlurTile>(Owner, *this);
}

bool TRukoTile::GetOwn(int id, TCustomParam& t)
{
    switch (id) {
    case PR_SOURCE:
        return t.SetStr(Source), true;
    case PR_REPEAT:
        return t.SetFlag(Repeat()), true;
    case PR_SCROLLX:
        return t.SetInt(ScrollX), true;
    case PR_SCROLLY:
        return t.SetInt(ScrollY), true;
    case PR_ONIDLE:
        return t.SetStr(IdleCommand), true;
    case PR_DISTANCEX:
        return t.SetInt(DistanceX), true;
    case PR_DISTANCEY:
        return t.SetInt(DistanceY), true;
    default:
        return TRukoCustomImages::GetOwn(id, t);
    }
}

bool TRukoTile::SetOwn(int id, const TCustomParam& v)
{
    switch (id) {
    case PR_SOURCE:
        return SetSource(v.GetStr()), true;
    case PR_SCROLLX:
        return SetScroll(CoordFromScript(v), ScrollY), true;
    case PR_SCROLLY:
        return SetScroll(ScrollX, CoordFromScript(v)), true;
    case PR_ONIDLE:
        return IdleCommand = v.GetStr(), true;
    case PR_DISTANCEX:
        return SetDistance(CoordFromScript(v), DistanceY), true;
    case PR_DISTANCEY:
        return SetDistance(DistanceX, CoordFromScript(v)), true;
    default:
        return TRukoCustomImages::SetOwn(id, v);
    }
}

void TRukoTile::SaveToStream(TKwBigStream& s) const
{
    SaveControlPart(s);
    CustomImageSave(s);
    CustomImagesSave(s);
    WriteInt(s, ScrollX);
    WriteInt(s, ScrollY);
    WriteStr(s, Source);
    WriteStr(s, IdleCommand);
    WriteInt(s, DistanceX);
    WriteInt(s, DistanceY);
}

void TRukoTile::LoadFromStream(TKwBigStream& s, int32_t version)
{
    LoadControlPart(s, version);
    CustomImageLoad(s, version);
    CustomImagesLoad(s, version);
    ScrollX = ReadInt(s);
    ScrollY = ReadInt(s);
    std::string source = ReadStr(s);
    IdleCommand = ReadStr(s);
    DistanceX = ReadInt(s);
    DistanceY = ReadInt(s);
    SetSource(source);
    RestoreFrame(loadedIndex_, loadedRemaining_);
}

TRukoBlurTile::TRukoBlurTile(TRukoBaseList* owner, const TRukoTile& source)
    : TAfterImage(owner, source, AfterImageStartAlpha(source.Alpha))
{
    CopyAfterImagePlace(*this, source);
    ScrollX = source.ScrollX;
    ScrollY = source.ScrollY;
    DistanceX = source.DistanceX;
    DistanceY = source.DistanceY;
    Alpha = StartAlpha();
}

} // namespace ruko
