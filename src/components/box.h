#pragma once
// The filled rectangle with an optional border, the simplest visual component.
#include "components/afterimage.h"
#include "components/component.h"

namespace ruko {

class TRukoBox : public TRukoControl
{
  public:
    explicit TRukoBox(TRukoBaseList* owner);

    int32_t BorderWidth = 0;
    int32_t BorderColor = -1;
    int32_t Alpha = 255;
    int32_t Delay = 0;
    std::string IdleCommand;
    std::string Source; // a motion file; only ".rmt" names are loaded
    bool RepeatFlag = false;
    bool AutoScrapFlag = false;
    std::string PlayEndCommand;
    bool Paused = false;
    int32_t BlurSpan = 0;
    int32_t BlurDelay = 0;

    uint8_t GetCompoType() const override { return LT_BOX; }
    bool IsPaused() const override { return Paused; }
    const std::string& OnIdle() const override { return IdleCommand; }
    const std::string& OnPlayEnd() const override { return PlayEndCommand; }
    bool AutoScrap() const override { return AutoScrapFlag; }
    bool Repeat() const override { return RepeatFlag; }
    void SetSource(const std::string& name);
    void SetAlpha(int32_t v);
    void SetBorder(int32_t width, int32_t color);

    void Paint(TCustomDIBX& surface) override;
    int Step() override;
    void SaveToStream(TKwBigStream& s) const override;
    void LoadFromStream(TKwBigStream& s, int32_t version) override;

  protected:
    // After-image bookkeeping: time since the last copy and the place it showed.
    int32_t blurElapsed_ = 0;
    TRect blurPlace_;
    int32_t blurBorder_ = 0;

    bool GetOwn(int id, TCustomParam& target) override;
    bool SetOwn(int id, const TCustomParam& source) override;
};

// The fading copy a moving box leaves behind (BlurSpan, BlurDelay). It sorts directly below its
// source and is never saved.
// A box copy starts at half its source's alpha and fades by the low byte of that start.
int32_t BoxAfterImageAlphaAt(int32_t start, int32_t elapsed, int32_t lifetime);

class TRukoBlurBox final : public TAfterImage<TRukoBox, BoxAfterImageAlphaAt>
{
  public:
    TRukoBlurBox(TRukoBaseList* owner, const TRukoBox& source);
};

} // namespace ruko
