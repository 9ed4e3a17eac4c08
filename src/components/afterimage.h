#pragma once
// What every after-image shares, whatever it copies: it follows its source by handle, sorts below
// it while both lie in one parent, is never named or saved, and fades out over the source's
// BlurDelay by the kind's own alpha rule, then goes.
#include "components/baselist.h"
#include "components/component.h"

#include <cstdint>

namespace ruko {

using TAfterImageFade = int32_t (*)(int32_t start, int32_t elapsed, int32_t lifetime);

template <class Base, TAfterImageFade FadeAt> class TAfterImage : public Base
{
  public:
    template <class Source>
    TAfterImage(TRukoBaseList* owner, const Source& source, int32_t startAlpha)
        : Base(owner), source_(source.Handle), startAlpha_(startAlpha), lifetime_(source.BlurDelay)
    {
    }

    const TRukoControl* AfterImageSource() const override
    {
        TRukoObject* source = this->Owner ? this->Owner->Resolve(source_) : nullptr;
        // Only while the source still lies beside the copy; otherwise the copy stands on its own.
        const TRukoControl* control = source ? source->AsControl() : nullptr;
        return control && control->Parent == this->Parent ? control : nullptr;
    }
    bool IsAfterImage() const override { return true; }
    int32_t AfterImageAlpha() const override { return this->Alpha; }
    bool WantsAutoName() const override { return false; }

    int Step() override
    {
        elapsed_ += this->Owner ? this->Owner->FrameDelta : 0;
        if (elapsed_ >= lifetime_) return 1;
        this->SetAlpha(FadeAt(startAlpha_, elapsed_, lifetime_));
        return 0;
    }

  protected:
    int32_t StartAlpha() const { return startAlpha_; }

  private:
    TComponentHandle source_;
    int32_t startAlpha_;
    int32_t lifetime_;
    int32_t elapsed_ = 0;
};

} // namespace ruko
