#include "components/images.h"

#include "base/text.h"
#include "components/baselist.h"
#include "components/button.h"
#include "components/componentkind.h"
#include "components/tile.h"
#include "graphics/bromcache.h"
#include "io/fields.h"

#include <algorithm>

namespace ruko {

bool HasExtension(const std::string& name, const char* ext)
{
    const size_t n = std::char_traits<char>::length(ext);
    return name.size() >= n && LowerCaseText(name.substr(name.size() - n)) == ext;
}

void RegisterImageKinds()
{
    RegisterComponentKind(LT_IMAGES, MakeComponent<TRukoImages>);
    RegisterComponentKind(LT_TILE, MakeComponent<TRukoTile>);
    RegisterComponentKind(LT_BUTTON, MakeComponent<TRukoButton>);
}

// --- frame list ---------------------------------------------------------------------------------

void TRukoImageList::Load(const std::string& name)
{
    Clear();
    if (!BromMan || !BromMan->Exists(name)) return;
    item_ = &BromMan->Acquire(this, name, false, false);
    cache_ = BromMan;
}

void TRukoImageList::Clear()
{
    if (item_ && cache_) cache_->Release(*item_, this);
    item_ = nullptr;
    cache_ = nullptr;
}

int32_t TRukoImageList::Count() const
{
    return item_ ? int32_t(item_->Frames.size()) : 0;
}

const TBromItemFrame& TRukoImageList::Frame(int32_t i) const
{
    return item_->Frames[size_t(i)];
}

// --- animation ----------------------------------------------------------------------------------

void TRukoCustomImages::HideFrame()
{
    FrameIndex = -1;
    ClearPicture();
}

void TRukoCustomImages::EnterFrame(int32_t i)
{
    FrameIndex = i;
    playEndPosted_ = false;
    if (!ValidFrame(i)) return;
    const TBromItemFrame& frame = GetFrameList().Frame(i);
    ShowCachedFrame(frame, Brightness);
    Remaining += frame.Delay;
    const int32_t count = GetCount();
    if (i == count - 1 && count > 1 && !LastFrameWait.Steps.empty() && LastFrameWait.Execute() &&
        LastFrameWait.Result)
        Remaining += LastFrameWait.Result->GetInt();
}

void TRukoCustomImages::SetIndex(int32_t i)
{
    if (i == FrameIndex || HasMotion()) return;
    if (!ValidFrame(FrameIndex)) Remaining = 0;
    EnterFrame(i);
}

void TRukoCustomImages::SetBrightness(int32_t b)
{
    if (b == Brightness) return;
    Brightness = b;
    if (ValidFrame(FrameIndex)) ShowCachedFrame(GetFrameList().Frame(FrameIndex), Brightness);
}

void TRukoCustomImages::ReshowFrame()
{
    const int32_t count = GetCount();
    if (count == 0) {
        if (FrameIndex >= 0 || HasPicture) HideFrame();
        return;
    }
    FrameIndex = std::clamp(FrameIndex, 0, count - 1);
    ShowCachedFrame(GetFrameList().Frame(FrameIndex), Brightness);
}

void TRukoCustomImages::RestoreFrame(int32_t i, int64_t remaining)
{
    const int32_t count = GetCount();
    if (count == 0) {
        FrameIndex = -1;
        return;
    }
    FrameIndex = i >= 0 && i < count ? i : 0;
    ShowCachedFrame(GetFrameList().Frame(FrameIndex), Brightness);
    Remaining = remaining;
    playEndPosted_ = false;
}

bool TRukoCustomImages::Playing() const
{
    if (HasMotion()) return !Motion->Ended() && !Paused && !AniPaused;
    if (Paused || AniPaused || !ValidFrame(FrameIndex)) return false;
    return Repeat() || FrameIndex != GetCount() - 1 || Remaining >= 1;
}

int TRukoCustomImages::Animate()
{
    if (HasMotion() || !ValidFrame(FrameIndex) || !GetVisible() || Paused || AniPaused) return 0;
    if (Remaining > 0) Remaining -= Owner ? Owner->FrameDelta : 0;
    const int32_t count = GetCount();
    // A wrap re-enters frame 0 at most once per step, so frames whose times add up to less than
    // one step (or a last-frame wait that takes them back) cannot hold the step forever.
    bool wrapped = false;
    while (Remaining < 1) {
        if (FrameIndex < count - 1) {
            // Two frames drop the overshoot: a long step cannot skip the other frame.
            if (count <= 2) Remaining = 0;
            SetIndex(FrameIndex + 1);
            continue;
        }
        if (Repeat()) {
            if (wrapped) break;
            wrapped = true;
            Remaining = 0;
            EnterFrame(0);
            continue;
        }
        if (int result = AnimationEnded()) return result;
        break;
    }
    return 0;
}

int TRukoCustomImages::AnimationEnded()
{
    if (AutoScrap()) return 1;
    if (!playEndPosted_) {
        playEndPosted_ = true;
        Post(OnPlayEnd(), PR_ONPLAYEND);
    }
    return 0;
}

bool TRukoCustomImages::GetOwn(int id, TCustomParam& t)
{
    switch (id) {
    case PR_PAUSED:
        return t.SetFlag(Paused), true;
    case PR_BRIGHTNESS:
        return t.SetInt(Brightness), true;
    case PR_INDEX:
        return t.SetInt(FrameIndex), true;
    case PR_COUNT:
        return t.SetInt(GetCount()), true;
    case PR_PLAYING:
        return t.SetFlag(Playing()), true;
    default:
        return TRukoCustomImage::GetOwn(id, t);
    }
}

bool TRukoCustomImages::SetOwn(int id, const TCustomParam& v)
{
    switch (id) {
    case PR_PAUSED:
        return Paused = v.GetFlag(), true;
    case PR_BRIGHTNESS:
        return SetBrightness(v.GetInt()), true;
    case PR_INDEX:
        return SetIndex(v.GetInt()), true;
    default:
        return TRukoCustomImage::SetOwn(id, v);
    }
}

void TRukoCustomImages::CustomImagesSave(TKwBigStream& s) const
{
    WriteInt(s, ClampToInt32(Remaining));
    WriteInt(s, FrameIndex);
    WriteInt(s, Brightness);
    WriteBool(s, Paused);
    LastFrameWait.SaveToStream(s);
}

void TRukoCustomImages::CustomImagesLoad(TKwBigStream& s, int32_t)
{
    loadedRemaining_ = ReadInt(s);
    loadedIndex_ = ReadInt(s);
    Brightness = ReadInt(s);
    Paused = ReadBool(s);
    LastFrameWait.LoadFromStream(s);
}

// --- the image component ------------------------------------------------------------------------

void TRukoImages::SetSource(const std::string& name)
{
    if (name == Source) return;
    Source = name;
    HideFrame();
    frames_.Clear();
    Motion.reset();
    Remaining = 0;
    if (HasExtension(name, ".brm")) {
        frames_.Load(name);
    } else if (HasExtension(name, ".rmt")) {
        LoadMotion(name);
        if (Motion) {
            Motion->Step(*this, 0);
            Motion->Restart();
        }
    }
    NeedsLayout = true;
    if (frames_.Count() > 0) SetIndex(0);
}

void TRukoImages::SetRepeat(bool v)
{
    RepeatFlag = v;
    if (!v) return;
    if (Motion) {
        if (Motion->Ended()) Motion->Restart();
    } else if (ValidFrame(FrameIndex) && FrameIndex == GetCount() - 1 && Remaining < 1) {
        Remaining = 0;
        EnterFrame(0);
    }
}

bool TRukoImages::GetOwn(int id, TCustomParam& t)
{
    switch (id) {
    case PR_SOURCE:
        return t.SetStr(Source), true;
    case PR_REPEAT:
        return t.SetFlag(RepeatFlag), true;
    case PR_ONPLAYEND:
        return t.SetStr(PlayEndCommand), true;
    case PR_AUTOSCRAP:
        return t.SetFlag(AutoScrapFlag), true;
    case PR_ONIDLE:
        return t.SetStr(IdleCommand), true;
    default:
        return TRukoCustomImages::GetOwn(id, t);
    }
}

bool TRukoImages::SetOwn(int id, const TCustomParam& v)
{
    switch (id) {
    case PR_SOURCE:
        return SetSource(v.GetStr()), true;
    case PR_REPEAT:
        return SetRepeat(v.GetFlag()), true;
    case PR_ONPLAYEND:
        return PlayEndCommand = v.GetStr(), true;
    case PR_AUTOSCRAP:
        return AutoScrapFlag = v.GetFlag(), true;
    case PR_ONIDLE:
        return IdleCommand = v.GetStr(), true;
    default:
        return TRukoCustomImages::SetOwn(id, v);
    }
}

void TRukoImages::SaveToStream(TKwBigStream& s) const
{
    SaveControlPart(s);
    CustomImageSave(s);
    CustomImagesSave(s);
    WriteBool(s, RepeatFlag);
    WriteBool(s, AutoScrapFlag);
    WriteStr(s, Source);
    WriteStr(s, PlayEndCommand);
    WriteStr(s, IdleCommand);
}

void TRukoImages::LoadFromStream(TKwBigStream& s, int32_t version)
{
    LoadControlPart(s, version);
    CustomImageLoad(s, version);
    CustomImagesLoad(s, version);
    RepeatFlag = ReadBool(s);
    AutoScrapFlag = ReadBool(s);
    std::string source = ReadStr(s);
    PlayEndCommand = ReadStr(s);
    if (version > 103) IdleCommand = ReadStr(s);
    SetSource(source);
    RestoreFrame(loadedIndex_, loadedRemaining_);
}

} // namespace ruko
