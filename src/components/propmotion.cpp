#include "components/propmotion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/error.h"
#include "base/globals.h"
#include "components/baselist.h"
#include "io/fields.h"

namespace ruko {

TRukoPropMotion::TRukoPropMotion(TRukoBaseList* owner)
    : TRukoComponent(owner), value_(CreateParamByType(ptFloat))
{
}

Extended TRukoPropMotion::ValueAt() const
{
    if (Elapsed == 0) return StartValue;
    const int64_t d = Duration, e = Elapsed;
    if (d <= 0 || e >= d - 1) return TargetValue;
    const Extended delta = TargetValue - StartValue;
    const Extended quarter = std::numbers::pi_v<Extended> / 2;
    switch (Easing) {
    case 1:
        return TargetValue - std::sin(static_cast<Extended>(d - e - 1) * quarter / d) * delta;
    case 2:
        return StartValue + std::sin(static_cast<Extended>(e) * quarter / d) * delta;
    default:
        return StartValue + delta * e / d;
    }
}

int TRukoPropMotion::Step()
{
    if (Paused) return 0;
    if (!Owner) return 1;
    TRukoObject* target = Target ? Owner->Resolve(Target) : nullptr;
    if (Target && !target) return 1;
    if (!target) {
        target = TargetName.empty() ? nullptr : Owner->FindComponent(TargetName);
        if (!target || PropId < 0 || PropId > 170) return 1;
        Target = target->Handle;
        if (!startKnown_) {
            std::unique_ptr<TCustomParam> start = CreateParamByType(ptFloat);
            target->GetProperty(PropId, *start);
            StartValue = start->GetFloat();
            startKnown_ = true;
        }
    }
    const bool ends = Elapsed != 0 && (Duration <= 0 || int64_t{Elapsed} >= int64_t{Duration} - 1);
    value_->SetFloat(ValueAt());
    try {
        target->SetProperty(PropId, *value_);
    } catch (const ERukoError&) {
        return 1; // a property that cannot be written ends the motion
    }
    Elapsed = static_cast<int32_t>(std::min<int64_t>(int64_t{Elapsed} + FrameDelta, INT32_MAX));
    return ends ? 1 : 0;
}

bool TRukoPropMotion::GetOwn(int id, TCustomParam& t)
{
    switch (id) {
    case PR_PAUSED:
        return t.SetFlag(Paused), true;
    case PR_PLAYING:
        return t.SetFlag(!Paused), true;
    default:
        return TRukoComponent::GetOwn(id, t);
    }
}

bool TRukoPropMotion::SetOwn(int id, const TCustomParam& v)
{
    if (id != PR_PAUSED) return TRukoComponent::SetOwn(id, v);
    Paused = v.GetFlag();
    return true;
}

void TRukoPropMotion::SaveToStream(TKwBigStream& s) const
{
    TRukoComponent::SaveToStream(s);
    const TRukoObject* target = Target && Owner ? Owner->Resolve(Target) : nullptr;
    // Not found yet: the name it will be looked up by.
    WriteStr(s, target ? target->Name : (Target ? std::string() : TargetName));
    WriteInt(s, PropId);
    WriteExtended(s, TargetValue);
    WriteInt(s, Duration);
    WriteInt(s, Easing);
    WriteExtended(s, StartValue);
    WriteInt(s, Elapsed);
    WriteBool(s, Paused);
}

void TRukoPropMotion::LoadFromStream(TKwBigStream& s, int32_t version)
{
    TRukoComponent::LoadFromStream(s, version);
    TargetName = ReadStr(s);
    PropId = ReadInt(s);
    TargetValue = ReadExtended(s);
    Duration = ReadInt(s);
    Easing = ReadInt(s);
    StartValue = ReadExtended(s);
    Elapsed = std::max(ReadInt(s), 0);
    Paused = version > 125 && ReadBool(s);
    Target = 0;
    startKnown_ = Elapsed > 0;
}

} // namespace ruko
