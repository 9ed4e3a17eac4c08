#pragma once
// The filled rectangle with an optional border, the simplest visual component.
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
    void SaveToStream(TKwBigStream& s) const override;
    void LoadFromStream(TKwBigStream& s, int32_t version) override;

  protected:
    bool GetOwn(int id, TCustomParam& target) override;
    bool SetOwn(int id, const TCustomParam& source) override;
};

} // namespace ruko
