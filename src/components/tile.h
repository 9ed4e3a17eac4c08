#pragma once
// The tiled, scrollable picture (LT_TILE) and its after-image.
#include "components/images.h"

namespace ruko {

class TRukoTile : public TRukoCustomImages
{
  public:
    using TRukoCustomImages::TRukoCustomImages;

    std::string Source;
    int32_t ScrollX = 0, ScrollY = 0;
    std::string IdleCommand;
    int32_t DistanceX = 0, DistanceY = 0;

    uint8_t GetCompoType() const override { return LT_TILE; }
    TRukoImageList& GetFrameList() override { return frames_; }
    const std::string& SourceName() const override { return Source; }
    const std::string& OnIdle() const override { return IdleCommand; }
    bool NeedsOwnLayout() const override { return false; }
    bool IsRotated() const override { return false; }
    void SetSource(const std::string& name);
    void SetScroll(int32_t x, int32_t y);
    void SetDistance(int32_t x, int32_t y);
    // The pitch of the pattern: the distance when positive and at least half the picture size.
    int32_t PitchX() const;
    int32_t PitchY() const;

    // Ignores zoom and the centre point.
    int32_t GetDrawLeft() const override;
    int32_t GetDrawTop() const override;
    int32_t GetScrollX() const override { return ScrollX; }
    int32_t GetScrollY() const override { return ScrollY; }
    void PaintPicture(TCustomDIBX& surface) override;

    void SaveToStream(TKwBigStream& s) const override;
    void LoadFromStream(TKwBigStream& s, int32_t version) override;

  protected:
    std::unique_ptr<TRukoControl> MakeAfterImage() override;
    bool GetOwn(int id, TCustomParam& target) override;
    bool SetOwn(int id, const TCustomParam& source) override;

  private:
    TRukoImageList frames_;
    // Copies of the part `part` of the picture at every pitch position inside the clip.
    void PaintRepeated(TCustomDIBX& surface, const TRect& area, const TRect& part, int32_t placeX,
                       int32_t placeY, bool stretched) const;
};

// The fading copy a moving tile leaves behind.
class TRukoBlurTile final : public TAfterImage<TRukoTile, AfterImageAlphaAt>
{
  public:
    TRukoBlurTile(TRukoBaseList* owner, const TRukoTile& source);
};

} // namespace ruko
