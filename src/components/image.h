#pragma once
// The picture components' drawing core: a picture (shared with the image cache, so a frame the
// cache replaces or frees stays valid here) drawn with the 0..511 alpha modes, zoomed, rotated
// about the centre point and mirrored; hit testing through the picture's mask; after-images.
#include "components/afterimage.h"
#include "components/component.h"
#include "graphics/dibsfc.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ruko {

struct TBromItemFrame;

class TRukoCustomImage : public TRukoControl
{
  public:
    explicit TRukoCustomImage(TRukoBaseList* owner);

    // The picture shown and its 8-bit mask, each valid only while its flag is set.
    TDIBX Picture;
    bool HasPicture = false;
    TDIBX MaskSource;
    bool HasMask = false;
    // A mask set explicitly; it takes the place of MaskSource while present.
    std::unique_ptr<TDIBX> MaskOverride;
    // The picture's first rectangle list: the parts worth drawing.
    std::vector<TRect> RectList;

    int32_t Alpha = 255;
    Extended ZoomX = 1, ZoomY = 1;
    Extended Angle = 0; // radians
    bool FlipH = false, FlipV = false;
    bool CaptureMask = false;
    int32_t CapMaskLevel = 128;
    bool AntiAlias = false;
    // Recompute the size at the next step.
    bool NeedsLayout = false;
    int32_t BlurSpan = 0, BlurDelay = 0;

    // --- picture -----------------------------------------------------------------------------
    // Shows a cached frame: shares its pixels and mask; brightness 1..254 scales a private copy
    // of the pixels by brightness / 255.
    void ShowCachedFrame(const TBromItemFrame& frame, int32_t brightness);
    // Shows another component's picture (shared).
    void SharePicture(const TRukoCustomImage& other);
    void ClearPicture();
    const TCustomDIBX* EffectiveMask() const;
    // The name the picture came from; without one and without a picture the size is 0 × 0.
    virtual const std::string& SourceName() const;

    // --- geometry ----------------------------------------------------------------------------
    // Zoom factors that are finite and positive; otherwise nothing is drawn or hit.
    bool ZoomValid() const;
    // A finite angle that is not a whole turn.
    virtual bool IsRotated() const;
    bool AngleValid() const;
    void SetAlpha(int32_t v);
    void SetZoom(Extended zoomX, Extended zoomY);
    void SetAngle(Extended radians);
    void SetFlip(bool h, bool v);
    void SetAntiAlias(bool v);
    // The size from the picture and the zoom (see NeedsLayout).
    void Layout();
    // The destination point of the rotated draw and the pivot in picture coordinates.
    void GetRotationPlacement(int32_t& x, int32_t& y, int32_t& pivotX, int32_t& pivotY) const;
    // Base coordinates of the point (Left, Top) without the centre offset.
    void GetOriginPoint(int32_t& x, int32_t& y) const;
    virtual bool NeedsOwnLayout() const { return !HasMotion(); }

    int32_t GetZoomX() const override;
    int32_t GetZoomY() const override;
    bool GetFlipH() const override { return FlipH; }
    bool GetFlipV() const override { return FlipV; }
    int32_t GetDrawLeft() const override;
    int32_t GetDrawTop() const override;
    TRect GetBoundsRect() const override;

    // --- drawing, input, life ----------------------------------------------------------------
    void Paint(TCustomDIBX& surface) override;
    virtual void PaintPicture(TCustomDIBX& surface);
    virtual void PaintBefore(TCustomDIBX&) {}
    virtual void PaintAfter(TCustomDIBX&) {}
    TRukoControl* HitTest(int32_t x, int32_t y, uint32_t acceptedMask) override;
    // Motion, then the class's animation, then the size, then after-images.
    int Step() override;

    void SaveToStream(TKwBigStream& s) const override;
    void LoadFromStream(TKwBigStream& s, int32_t version) override;

    // After-images one source may leave on screen at once.
    static constexpr int MaxAfterImages = 64;

  protected:
    // The class's per-step animation; non-zero asks for destruction.
    virtual int Animate() { return 0; }
    // The frame shown, for the after-image change check.
    virtual int32_t ShownFrame() const { return 0; }
    // A fading copy of this component, or none.
    virtual std::unique_ptr<TRukoControl> MakeAfterImage();
    void CustomImageSave(TKwBigStream& s) const;
    void CustomImageLoad(TKwBigStream& s, int32_t version);
    // Draws p (or the part r of it) at (x, y) with the single-draw alpha rule.
    void DrawOnce(TCustomDIBX& surface, int32_t x, int32_t y, const TRect& part) const;
    // Draws the whole of p stretched over dest with the alpha rule.
    void StretchOnce(TCustomDIBX& surface, const TRect& dest) const;

    bool GetOwn(int id, TCustomParam& target) override;
    bool SetOwn(int id, const TCustomParam& source) override;

  private:
    // Adds the shift and the parent's place and scroll to a point (px, py), saturating.
    void PlaceInParent(int64_t px, int64_t py, int32_t& x, int32_t& y) const;
    // The image-on-image placement applies: d and the parent picture's size.
    bool OnZoomedParent(bool vertical, int64_t& d, int32_t& parentSize) const;
    int32_t ZoomedParentEdge(bool vertical) const;
    TRect RotatedRect() const;

    // After-image bookkeeping: time since the last copy and the place it showed.
    struct TBlurPlace
    {
        int32_t Left = 0, Top = 0, Frame = 0, ScrollX = 0, ScrollY = 0;
        Extended Angle = 0, ZoomX = 1, ZoomY = 1;
        bool operator==(const TBlurPlace&) const = default;
    };
    int32_t blurElapsed_ = 0;
    bool blurRecorded_ = false;
    TBlurPlace blurPlace_;
    void BlurStep();
};

// Copies the geometry, mirroring, zoom, clip and picture of `source` into an after-image.
void CopyAfterImagePlace(TRukoCustomImage& copy, const TRukoCustomImage& source);
// An after-image's alpha: half the low byte, so an additive alpha stays additive.
int32_t AfterImageStartAlpha(int32_t alpha);
// The fade of an after-image `elapsed` ms into its `lifetime`.
int32_t AfterImageAlphaAt(int32_t start, int32_t elapsed, int32_t lifetime);

// The fading copy a moving image leaves behind: it keeps the source's picture (shared).
class TRukoBlurImage final : public TAfterImage<TRukoCustomImage, AfterImageAlphaAt>
{
  public:
    TRukoBlurImage(TRukoBaseList* owner, const TRukoCustomImage& source);

    bool NeedsOwnLayout() const override { return false; }
};

} // namespace ruko
