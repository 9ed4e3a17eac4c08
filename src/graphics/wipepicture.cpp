// Transitions that move, scale and tint whole pictures: fade, scroll, white, black, flash, mosaic,
// sudare, rubber, small, big, twist and zoom-in.
#include "graphics/drawpixels.h"
#include "graphics/wipetypes.h"

#include <cmath>
#include <vector>

namespace ruko {

namespace {

int32_t Nearest(double value)
{
    if (!std::isfinite(value)) return 0;
    return int32_t(std::nearbyint(std::clamp(value, -2.0e9, 2.0e9)));
}

class TWipeFade : public TCustomWipe
{
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    void DrawStep() override
    {
        Target.Assign(FromPicture);
        const double f = double(int64_t(Duration) - Now() - 1) / Duration;
        const int32_t alpha = int32_t(Progress(256));
        Target.DrawAlpha(Nearest(Params[0] * f), Nearest(Params[1] * f), ToPicture, ToPicture.BoundsRect(),
                         false, false, false, alpha);
    }
};

class TWipeScroll : public TCustomWipe
{
  public:
    TWipeScroll(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from, bool vertical)
        : TCustomWipe(target, to, from), Vertical(vertical)
    {
    }

  protected:
    void DrawStep() override
    {
        const int32_t size = Vertical ? H() : W();
        const int32_t a = int32_t(Progress(size));
        const int32_t fromAt = Reverse ? a : -a, toAt = Reverse ? a - size : size - a;
        auto at = [&](const TCustomDIBX& picture, int32_t offset) {
            Target.Draw(Vertical ? 0 : offset, Vertical ? offset : 0, picture, picture.BoundsRect(), false,
                        false, false);
        };
        at(FromPicture, fromAt);
        at(ToPicture, toAt);
    }

  private:
    bool Vertical;
};

// Through white (added grey) or black (subtracted grey).
class TWipeTint : public TCustomWipe
{
  public:
    TWipeTint(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from, bool black)
        : TCustomWipe(target, to, from), Black(black)
    {
    }

  protected:
    void DrawStep() override
    {
        const int32_t a = int32_t(Progress(511));
        Target.Assign(a < 256 ? FromPicture : ToPicture);
        const uint32_t grey = Grey(a < 256 ? a : 511 - a);
        if (Black)
            Target.FillRectSub(Target.BoundsRect(), grey);
        else
            Target.FillRectAdd(Target.BoundsRect(), grey);
    }

  private:
    bool Black;
};

class TWipeFlash : public TCustomWipe
{
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    void DrawStep() override
    {
        Target.Assign(ToPicture);
        Target.FillRectAdd(Target.BoundsRect(), Grey(255 - int32_t(Progress(255))));
    }
};

class TWipeMosaic : public TCustomWipe
{
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    void DrawStep() override
    {
        if (!Work) Work = std::make_unique<TDIBX>(W(), H(), Target.PixelFormat());
        const int32_t b = int32_t(Progress(1023));
        int32_t f;
        if (b <= 255)
            f = 263 - (b / 2) * 15 / 16;
        else if (b <= 511)
            f = 263 - (((b >> 1) * 15) >> 4);
        else
            f = ((b - 512) >> 1) * 15 / 16 + 24;
        const int32_t w = std::max(1, (W() / 4) * f / 256), h = std::max(1, f * (H() / 4) / 256);
        const TRect small(0, 0, w, h);
        auto reduce = [&](const TCustomDIBX& picture, int32_t alpha) {
            Work->StretchDraw(small, picture, picture.BoundsRect(), false, false, false, alpha);
        };
        if (b <= 255)
            reduce(FromPicture, 255);
        else if (b <= 511)
            reduce(FromPicture, 255), reduce(ToPicture, (b - 256) / 4);
        else if (b <= 767)
            reduce(FromPicture, 255), reduce(ToPicture, (b - 256) / 2);
        else
            reduce(ToPicture, 255);
        Target.StretchDraw(Target.BoundsRect(), *Work, small, false, false, false, 255);
    }

  private:
    std::unique_ptr<TDIBX> Work;
};

// Sudare (one line stretched) and rubber (a strip of lines stretched) along either axis.
class TWipeSudare : public TCustomWipe
{
  public:
    TWipeSudare(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from, bool vertical,
                bool rubber)
        : TCustomWipe(target, to, from), Vertical(vertical), Rubber(rubber)
    {
    }

  protected:
    void DrawStep() override
    {
        const int32_t size = Vertical ? H() : W();
        int32_t e = int32_t(Progress(2 * int64_t(size) - 1));
        const TCustomDIBX* picture = &FromPicture;
        if (e >= size) picture = &ToPicture, e = 2 * size - e - 1;
        Target.Assign(*picture);
        int32_t stripStart, stripWidth = 1, spanStart, spanEnd;
        if (Rubber) {
            const double half = Duration / 2.0;
            const double k = Reverse ? e + 1 : e;
            stripWidth = std::max(1, Nearest(std::fabs(double(Now()) - half) * (k / 2.0) / half));
        }
        if (Reverse)
            stripStart = size - e - 1, spanStart = size - e - 1, spanEnd = size;
        else
            stripStart = Rubber ? std::max(0, e - stripWidth) : e, spanStart = 0, spanEnd = e + 1;
        const int32_t stripEnd = std::min(size, stripStart + stripWidth);
        if (Vertical)
            Target.StretchDraw(TRect(0, spanStart, W(), spanEnd), *picture,
                               TRect(0, stripStart, W(), stripEnd), false, false, false, 255);
        else
            Target.StretchDraw(TRect(spanStart, 0, spanEnd, H()), *picture,
                               TRect(stripStart, 0, stripEnd, H()), false, false, false, 255);
    }

  private:
    bool Vertical, Rubber;
};

// Small: the old picture shrinks away over the new one; big: the new one grows over the old.
class TWipeZoomRotate : public TCustomWipe
{
  public:
    TWipeZoomRotate(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from, bool grow)
        : TCustomWipe(target, to, from), Grow(grow)
    {
    }

    void Prepare() override
    {
        if (DiffOnly) Mask = DifferenceMask(FromPicture, ToPicture);
    }

  protected:
    void DrawStep() override
    {
        const double t = Fraction(), rest = double(int64_t(Duration) - Now() - 1) / Duration;
        const double zoom = Grow ? t : rest;
        const double turns = Params[0] / 256.0 * (Grow ? rest : t) * (Reverse ? -1 : 1);
        const TCustomDIBX& back = Grow ? FromPicture : ToPicture;
        const TCustomDIBX& front = Grow ? ToPicture : FromPicture;
        Target.Assign(back);
        const int32_t alpha = Nearest(zoom * 255);
        const double angle = turns * 2 * M_PI;
        if (DiffOnly && Mask)
            Target.RotateDrawMask(W() / 2, H() / 2, zoom, zoom, front, front.BoundsRect(), front.Width() / 2,
                                  front.Height() / 2, angle, *Mask, false, false, alpha);
        else
            Target.RotateDraw(W() / 2, H() / 2, zoom, zoom, front, front.BoundsRect(), front.Width() / 2,
                              front.Height() / 2, angle, false, false, false, alpha);
    }

  private:
    bool Grow;
    std::unique_ptr<TDIBX> Mask;
};

// Each row (column) turns over like a card, the lower rows later.
class TWipeTwist : public TCustomWipe
{
  public:
    TWipeTwist(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from, bool vertical)
        : TCustomWipe(target, to, from), Vertical(vertical)
    {
    }

  protected:
    void DrawStep() override
    {
        if (Vertical) return DrawColumns();
        const int32_t lines = Vertical ? W() : H(), length = Vertical ? H() : W();
        const double phi = Fraction() * 3 * M_PI / 2;
        for (int32_t line = 0; line < lines; ++line) {
            const int32_t counted = Reverse ? lines - 1 - line : line;
            const double theta = phi - (double(counted) / lines) * M_PI / 2;
            auto lineRect = [&](int32_t from, int32_t to) {
                return Vertical ? TRect(line, from, line + 1, to) : TRect(from, line, to, line + 1);
            };
            const TRect whole = lineRect(0, length);
            // Lines that have not started keep the old picture.
            if (theta < 0 || theta >= M_PI) {
                const TCustomDIBX& picture = theta < 0 ? FromPicture : ToPicture;
                Target.Draw(whole.Left, whole.Top, picture, whole, false, false, false);
                continue;
            }
            Target.FillRect(whole, 0);
            const int32_t w = Nearest(std::cos(theta) * length);
            if (w > 0)
                Target.StretchDraw(lineRect((length - w) / 2, (length - w) / 2 + w), FromPicture, whole,
                                   false, false, false, 255);
            else if (w < 0)
                Target.StretchDraw(lineRect((length + w) / 2, (length + w) / 2 - w), ToPicture, whole, false,
                                   false, false, 255);
        }
    }

  private:
    bool Vertical;

    // The vertical twist row by row: a column at a time would walk memory across the rows. Each
    // column samples its picture as the one-column stretch does (centre sampling, 16.16 steps).
    void DrawColumns()
    {
        struct TColumn
        {
            const uint8_t* Base = nullptr; // the picture the column shows; nullptr = cleared
            int32_t Lo = 0, Hi = 0;        // the rows it covers
            int64_t U0 = 0, Step = 0;
        };
        const int32_t w = W(), h = H();
        const uint8_t* fromBase = FromPicture.ScanLine(0);
        const uint8_t* toBase = ToPicture.ScanLine(0);
        if (!fromBase || !toBase || FromPicture.Pitch() != ToPicture.Pitch() || FromPicture.Height() < h ||
            ToPicture.Height() < h || FromPicture.Width() < w || ToPicture.Width() < w)
            return;
        const intptr_t pitch = FromPicture.Pitch();
        const double phi = Fraction() * 3 * M_PI / 2;
        std::vector<TColumn> columns(static_cast<size_t>(w));
        for (int32_t x = 0; x < w; ++x) {
            const int32_t counted = Reverse ? w - 1 - x : x;
            const double theta = phi - (double(counted) / w) * M_PI / 2;
            TColumn& c = columns[size_t(x)];
            if (theta < 0 || theta >= M_PI) {
                c = {theta < 0 ? fromBase : toBase, 0, h, 0x8000, 0x10000};
                continue;
            }
            const int32_t span = Nearest(std::cos(theta) * h);
            if (span == 0) continue;
            const int32_t length = std::abs(span);
            const int64_t step = int64_t(double(h) / double(length) * 65536.0);
            const int32_t lo = span > 0 ? (h - span) / 2 : (h + span) / 2;
            c = {span > 0 ? fromBase : toBase, lo, lo + length, step / 2, step};
        }
        pixels::WithFormat(Target.PixelFormat(), [&](auto f) {
            using F = decltype(f);
            for (int32_t y = 0; y < h; ++y) {
                uint8_t* d = Target.ScanLine(y);
                if (!d) return;
                for (int32_t x = 0; x < w; ++x) {
                    const TColumn& c = columns[size_t(x)];
                    uint32_t v = 0;
                    if (c.Base && y >= c.Lo && y < c.Hi)
                        v = F::Load(c.Base + ((c.U0 + int64_t(y - c.Lo) * c.Step) >> 16) * pitch, x);
                    F::Store(d, x, v);
                }
            }
        });
    }
};

// Zooms into the point (param 0, param 1) on the old picture and out of it on the new one.
class TWipeZoomin : public TCustomWipe
{
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    void DrawStep() override
    {
        const double c = 2.0 * Fraction();
        const TCustomDIBX& picture = c <= 1 ? FromPicture : ToPicture;
        const double e = c <= 1 ? 1 - c : c - 1, f = c <= 1 ? c : 2 - c;
        const int32_t w = std::clamp(Nearest(W() * e), 1, W()), h = std::clamp(Nearest(H() * e), 1, H());
        int32_t cx = W() / 2 + Nearest((double(Params[0]) - W() / 2) * f);
        int32_t cy = H() / 2 + Nearest((double(Params[1]) - H() / 2) * f);
        const int32_t left = std::clamp(cx - w / 2, 0, W() - w), top = std::clamp(cy - h / 2, 0, H() - h);
        Target.StretchDraw(Target.BoundsRect(), picture, Bounds(left, top, w, h), false, false, false, 255);
    }
};

} // namespace

std::unique_ptr<TCustomWipe> CreatePictureWipe(int32_t type, TCustomDIBX& target, const TCustomDIBX& to,
                                               const TCustomDIBX& from)
{
    switch (type) {
    case 1:
        return std::make_unique<TWipeFade>(target, to, from);
    case 6:
        return std::make_unique<TWipeScroll>(target, to, from, false);
    case 7:
        return std::make_unique<TWipeScroll>(target, to, from, true);
    case 12:
        return std::make_unique<TWipeTint>(target, to, from, false);
    case 13:
        return std::make_unique<TWipeTint>(target, to, from, true);
    case 14:
        return std::make_unique<TWipeFlash>(target, to, from);
    case 15:
        return std::make_unique<TWipeMosaic>(target, to, from);
    case 16:
        return std::make_unique<TWipeSudare>(target, to, from, false, false);
    case 17:
        return std::make_unique<TWipeSudare>(target, to, from, true, false);
    case 22:
        return std::make_unique<TWipeZoomRotate>(target, to, from, false);
    case 23:
        return std::make_unique<TWipeZoomRotate>(target, to, from, true);
    case 27:
        return std::make_unique<TWipeTwist>(target, to, from, false);
    case 28:
        return std::make_unique<TWipeTwist>(target, to, from, true);
    case 30:
        return std::make_unique<TWipeZoomin>(target, to, from);
    case 32:
        return std::make_unique<TWipeSudare>(target, to, from, false, true);
    case 33:
        return std::make_unique<TWipeSudare>(target, to, from, true, true);
    default:
        return nullptr;
    }
}

} // namespace ruko
