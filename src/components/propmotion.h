#pragma once
// The property motion: moves one property of another component (found by name, then held by
// handle) to a value over a time, linearly or eased.
#include "components/component.h"

#include <cstdint>
#include <memory>
#include <string>

namespace ruko {

class TRukoPropMotion final : public TRukoComponent
{
  public:
    explicit TRukoPropMotion(TRukoBaseList* owner);

    Extended TargetValue = 0;
    int32_t Duration = 0;
    std::string TargetName;
    TComponentHandle Target = 0; // 0 until found
    // Kept wide: an id outside 0..170 ends the motion instead of wrapping onto another property.
    int32_t PropId = 255;
    // 0 linear, 1 slow start, 2 slow end.
    int32_t Easing = 0;
    int32_t Elapsed = 0;
    Extended StartValue = 0;
    bool Paused = false;

    uint8_t GetCompoType() const override { return LT_PROPMOTION; }
    int Step() override;

    void SaveToStream(TKwBigStream& s) const override;
    void LoadFromStream(TKwBigStream& s, int32_t version) override;

  protected:
    bool GetOwn(int id, TCustomParam& target) override;
    bool SetOwn(int id, const TCustomParam& source) override;

  private:
    Extended ValueAt() const;
    std::unique_ptr<TCustomParam> value_;
    // A loaded motion that had moved goes on from its saved start, not from where it left the
    // property (which would jump).
    bool startKnown_ = false;
};

} // namespace ruko
