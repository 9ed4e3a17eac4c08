#include "components/box.h"

#include "base/numbers.h"
#include "base/text.h"
#include "components/baselist.h"
#include "io/fields.h"

#include <cmath>

namespace ruko {

TRukoBox::TRukoBox(TRukoBaseList* owner) : TRukoControl(owner) {}

void TRukoBox::SetSource(const std::string& name)
{
    if (name == Source) return;
    Source = name;
    Motion.reset();
    if (name.size() >= 4 && LowerCaseText(name.substr(name.size() - 4)) == ".rmt") LoadMotion(name);
}

void TRukoBox::SetAlpha(int32_t v)
{
    if (v == Alpha) return;
    Alpha = v;
    Invalidate();
}

void TRukoBox::SetBorder(int32_t width, int32_t color)
{
    if (width == BorderWidth && color == BorderColor) return;
    Invalidate();
    BorderWidth = width;
    BorderColor = color;
    Invalidate();
}

namespace {

// A colour with each channel scaled by weight / 256 (the additive modes add such a colour).
int32_t ScaledColor(int32_t color, int32_t weight)
{
    uint32_t c = static_cast<uint32_t>(color), out = 0;
    for (int shift = 0; shift < 24; shift += 8)
        out |= ((((c >> shift) & 255u) * static_cast<uint32_t>(weight)) / 256u) << shift;
    return static_cast<int32_t>(out);
}

// Alpha 1..254 blends, 255 is opaque, 256..511 adds the colour scaled by (alpha - 256) / 256.
void FillWithAlpha(TCustomDIBX& surface, const TRect& r, int32_t color, int32_t alpha)
{
    if (alpha == 255)
        surface.FillRect(r, static_cast<uint32_t>(surface.ColorToPixel(color)));
    else if (alpha < 255)
        surface.FillRectAlpha(r, static_cast<uint32_t>(surface.ColorToPixel(color)), alpha);
    else
        surface.FillRectAdd(r, static_cast<uint32_t>(surface.ColorToPixel(ScaledColor(color, alpha - 256))));
}

void FrameWithAlpha(TCustomDIBX& surface, const TRect& r, int32_t width, int32_t color, int32_t alpha)
{
    if (alpha == 255)
        surface.FrameRect(r, width, static_cast<uint32_t>(surface.ColorToPixel(color)));
    else if (alpha < 255)
        surface.FrameRectAlpha(r, width, static_cast<uint32_t>(surface.ColorToPixel(color)), alpha);
    else
        surface.FrameRectAdd(r, width,
                             static_cast<uint32_t>(surface.ColorToPixel(ScaledColor(color, alpha - 256))));
}

} // namespace

void TRukoBox::Paint(TCustomDIBX& surface)
{
    if (!GetVisible() || Alpha < 1 || Alpha > 511) return;
    TRect r = GetDrawRect();
    if (BorderWidth > 0) {
        if (BorderColor >= 0) FrameWithAlpha(surface, r, BorderWidth, BorderColor, Alpha);
        if (Color >= 0) {
            int64_t w = BorderWidth;
            TRect inner(ClampToInt32(r.Left + w), ClampToInt32(r.Top + w), ClampToInt32(r.Right - w),
                        ClampToInt32(r.Bottom - w));
            if (!inner.IsEmpty()) FillWithAlpha(surface, inner, Color, Alpha);
        }
    } else if (Color >= 0) {
        FillWithAlpha(surface, r, Color, Alpha);
    }
    PaintChildren(surface);
}

int TRukoBox::Step()
{
    if (int result = TRukoControl::Step()) return result;
    if (BlurSpan <= 0 || BlurDelay <= 0 || !Owner || !Parent) return 0;
    blurElapsed_ += Owner->FrameDelta;
    if (blurElapsed_ < BlurSpan) return 0;
    blurElapsed_ = 0;
    TRect place(Left, Top, Width, Height);
    if (place == blurPlace_ && BorderWidth == blurBorder_) return 0;
    bool first = blurPlace_ == TRect() && blurBorder_ == 0;
    blurPlace_ = place;
    blurBorder_ = BorderWidth;
    if (first) return 0;
    auto copy = std::make_unique<TRukoBlurBox>(Owner, *this);
    TRukoBlurBox* raw = copy.get();
    raw->Name = Owner->MakeUniqueName(Name.empty() ? std::string("blur") : Name);
    Owner->Register(raw);
    Parent->InsertChild(std::move(copy));
    raw->Invalidate();
    return 0;
}

TRukoBlurBox::TRukoBlurBox(TRukoBaseList* owner, const TRukoBox& source)
    : TAfterImage(owner, source, source.Alpha / 2)
{
    Priority = source.Priority == INT32_MIN ? INT32_MIN : source.Priority - 1;
    Left = source.Left;
    Top = source.Top;
    Width = source.Width;
    Height = source.Height;
    OffsetX = source.OffsetX;
    OffsetY = source.OffsetY;
    PlusX = source.PlusX;
    PlusY = source.PlusY;
    MotionX = source.MotionX;
    MotionY = source.MotionY;
    PosZoomed = source.PosZoomed;
    Color = source.Color;
    BorderWidth = source.BorderWidth;
    BorderColor = source.BorderColor;
    ClipLeft = source.ClipLeft;
    ClipTop = source.ClipTop;
    ClipWidth = source.ClipWidth;
    ClipHeight = source.ClipHeight;
    IgnoreMouse = IM_ALL;
    Alpha = StartAlpha();
}

int32_t BoxAfterImageAlphaAt(int32_t start, int32_t elapsed, int32_t lifetime)
{
    return start - static_cast<int32_t>(std::nearbyint(double(elapsed) / lifetime * (start % 256)));
}

bool TRukoBox::GetOwn(int id, TCustomParam& t)
{
    switch (id) {
    case PR_SOURCE:
        return t.SetStr(Source), true;
    case PR_BORDERWIDTH:
        return t.SetInt(BorderWidth), true;
    case PR_BORDERCOLOR:
        return t.SetInt(BorderColor), true;
    case PR_ALPHA:
        return t.SetInt(Alpha), true;
    case PR_DELAY:
        return t.SetInt(Delay), true;
    case PR_PAUSED:
        return t.SetFlag(Paused), true;
    case PR_REPEAT:
        return t.SetFlag(RepeatFlag), true;
    case PR_ONPLAYEND:
        return t.SetStr(PlayEndCommand), true;
    case PR_AUTOSCRAP:
        return t.SetFlag(AutoScrapFlag), true;
    case PR_ONIDLE:
        return t.SetStr(IdleCommand), true;
    case PR_BLURSPAN:
        return t.SetInt(BlurSpan), true;
    case PR_BLURDELAY:
        return t.SetInt(BlurDelay), true;
    default:
        return TRukoControl::GetOwn(id, t);
    }
}

bool TRukoBox::SetOwn(int id, const TCustomParam& v)
{
    switch (id) {
    case PR_SOURCE:
        return SetSource(v.GetStr()), true;
    case PR_BORDERWIDTH:
        return SetBorder(SizeFromScript(v), BorderColor), true;
    case PR_BORDERCOLOR:
        return SetBorder(BorderWidth, v.GetInt()), true;
    case PR_ALPHA:
        return SetAlpha(v.GetInt()), true;
    case PR_DELAY:
        return Delay = v.GetInt(), true;
    case PR_PAUSED:
        return Paused = v.GetFlag(), true;
    case PR_REPEAT:
        RepeatFlag = v.GetFlag();
        if (RepeatFlag && Motion && Motion->Ended()) Motion->Restart();
        return true;
    case PR_ONPLAYEND:
        return PlayEndCommand = v.GetStr(), true;
    case PR_AUTOSCRAP:
        return AutoScrapFlag = v.GetFlag(), true;
    case PR_ONIDLE:
        return IdleCommand = v.GetStr(), true;
    case PR_BLURSPAN:
        return BlurSpan = v.GetInt(), true;
    case PR_BLURDELAY:
        return BlurDelay = v.GetInt(), true;
    default:
        return TRukoControl::SetOwn(id, v);
    }
}

void TRukoBox::SaveToStream(TKwBigStream& s) const
{
    SaveControlPart(s);
    WriteInt(s, BorderWidth);
    WriteInt(s, BorderColor);
    WriteInt(s, Alpha);
    WriteStr(s, IdleCommand);
    WriteStr(s, Source);
    WriteBool(s, RepeatFlag);
    WriteBool(s, AutoScrapFlag);
    WriteStr(s, PlayEndCommand);
    WriteBool(s, Paused);
    WriteBool(s, AniPaused);
    WriteInt(s, BlurSpan);
    WriteInt(s, BlurDelay);
}

void TRukoBox::LoadFromStream(TKwBigStream& s, int32_t version)
{
    LoadControlPart(s, version);
    BorderWidth = ReadInt(s);
    BorderColor = ReadInt(s);
    Alpha = ReadInt(s);
    if (version > 103) {
        IdleCommand = ReadStr(s);
        SetSource(ReadStr(s));
        RepeatFlag = ReadBool(s);
        AutoScrapFlag = ReadBool(s);
        PlayEndCommand = ReadStr(s);
        Paused = ReadBool(s);
        AniPaused = ReadBool(s);
    }
    if (version > 139) {
        BlurSpan = ReadInt(s);
        BlurDelay = ReadInt(s);
    }
}

} // namespace ruko
