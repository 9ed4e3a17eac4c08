#pragma once
// The timer: calls its command every `Interval` ms of game time.
#include "components/component.h"

#include <cstdint>
#include <string>

namespace ruko {

class TRukoTimer final : public TRukoComponent
{
  public:
    explicit TRukoTimer(TRukoBaseList* owner);

    std::string OnNotify;
    int32_t Interval = 0;
    bool Paused = false;
    bool AutoScrap = false;
    bool Fired = false;
    int32_t LastTime = 0;

    uint8_t GetCompoType() const override { return LT_TIMER; }
    // Ticks that fall while the last call is pending or running are skipped, not queued.
    int Step() override;
    // Drops the timer's pending calls and counts the interval from now.
    void Reset();

    void SaveToStream(TKwBigStream& s) const override;
    void LoadFromStream(TKwBigStream& s, int32_t version) override;

  protected:
    bool GetOwn(int id, TCustomParam& target) override;
    bool SetOwn(int id, const TCustomParam& source) override;
};

} // namespace ruko
