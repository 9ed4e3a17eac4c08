#include "components/timer.h"

#include <algorithm>

#include "base/globals.h"
#include "components/baselist.h"
#include "io/fields.h"

namespace ruko {

// --- timer -------------------------------------------------------------------------------------

TRukoTimer::TRukoTimer(TRukoBaseList* owner) : TRukoComponent(owner), LastTime(GameTime) {}

void TRukoTimer::Reset()
{
    if (Owner && Handle) Owner->Events().RemovePending(Handle);
    LastTime = GameTime;
}

int TRukoTimer::Step()
{
    if (Fired && AutoScrap) return EventPending(PR_ONNOTIFY) ? 0 : 1;
    if (Interval < 0 || Paused) return 0;
    if (Interval > 0 && int64_t{GameTime} - LastTime < Interval) return 0;
    LastTime = static_cast<int32_t>(int64_t{LastTime} + Interval);
    if (!EventPending(PR_ONNOTIFY)) {
        Post(OnNotify, PR_ONNOTIFY);
        Fired = true;
    }
    return 0;
}

bool TRukoTimer::GetOwn(int id, TCustomParam& t)
{
    switch (id) {
    case PR_ONNOTIFY:
        return t.SetStr(OnNotify), true;
    case PR_DELAY:
        return t.SetInt(Interval), true;
    case PR_PAUSED:
        return t.SetFlag(Paused), true;
    case PR_AUTOSCRAP:
        return t.SetFlag(AutoScrap), true;
    default:
        return TRukoComponent::GetOwn(id, t);
    }
}

bool TRukoTimer::SetOwn(int id, const TCustomParam& v)
{
    switch (id) {
    case PR_ONNOTIFY:
        OnNotify = v.GetStr();
        Reset();
        return true;
    case PR_DELAY:
        Interval = v.GetInt();
        Reset();
        return true;
    case PR_PAUSED:
        if (bool paused = v.GetFlag(); paused != Paused) {
            Paused = paused;
            Reset();
        }
        return true;
    case PR_AUTOSCRAP:
        return AutoScrap = v.GetFlag(), true;
    default:
        return TRukoComponent::SetOwn(id, v);
    }
}

void TRukoTimer::SaveToStream(TKwBigStream& s) const
{
    TRukoComponent::SaveToStream(s);
    WriteStr(s, OnNotify);
    WriteInt(s, Interval);
    WriteBool(s, Paused);
    WriteBool(s, AutoScrap);
    WriteBool(s, Fired);
}

void TRukoTimer::LoadFromStream(TKwBigStream& s, int32_t version)
{
    TRukoComponent::LoadFromStream(s, version);
    OnNotify = ReadStr(s);
    Interval = ReadInt(s);
    Paused = ReadBool(s);
    if (version > 103) {
        AutoScrap = ReadBool(s);
        Fired = ReadBool(s);
    }
    LastTime = GameTime;
}

} // namespace ruko
