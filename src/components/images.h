#pragma once
// Frame-animated pictures: the frame list of a layered image file from the image cache, the
// animation that steps through it, and the image component of scripts (LT_IMAGES).
#include "components/image.h"
#include "params/rukoparser.h"

#include <cstdint>
#include <string>

namespace ruko {

class TBromItem;
class TBromCollection;

// The frames of one layered image file, held from the image cache (BromMan) while loaded.
class TRukoImageList
{
  public:
    TRukoImageList() = default;
    TRukoImageList(const TRukoImageList&) = delete;
    TRukoImageList& operator=(const TRukoImageList&) = delete;
    ~TRukoImageList() { Clear(); }

    // A name the cache's files lack gives no frames (the cache would answer with a stand-in).
    void Load(const std::string& name);
    void Clear();
    int32_t Count() const;
    const TBromItemFrame& Frame(int32_t i) const;

  private:
    TBromCollection* cache_ = nullptr;
    TBromItem* item_ = nullptr;
};

class TRukoCustomImages : public TRukoCustomImage
{
  public:
    using TRukoCustomImage::TRukoCustomImage;

    int64_t Remaining = 0; // ms left on the current frame
    int32_t FrameIndex = -1;
    int32_t Brightness = 0;
    bool Paused = false;
    // Evaluated each time the animation arrives at its last frame: ms added to that frame.
    TRukoParser LastFrameWait;

    virtual TRukoImageList& GetFrameList() = 0;
    const TRukoImageList& GetFrameList() const
    {
        return const_cast<TRukoCustomImages*>(this)->GetFrameList();
    }
    virtual int32_t GetState() const { return 0; }
    virtual void SetState(int32_t) {}
    virtual int32_t GetStateCount() const { return 1; }

    int32_t GetCount() const { return GetFrameList().Count(); }
    bool ValidFrame(int32_t i) const { return i >= 0 && i < GetCount(); }
    void SetIndex(int32_t i);
    void SetBrightness(int32_t b);
    // Shows the current frame again, clamped to the frame count (after the cache reloaded).
    void ReshowFrame();
    // Shows frame i again with `remaining` ms left; out of range: frame 0, or none without frames.
    void RestoreFrame(int32_t i, int64_t remaining);
    // True while the animation has not reached its end.
    bool Playing() const;

    bool IsPaused() const override { return Paused; }

  protected:
    // Hides the frame and drops the picture.
    void HideFrame();
    // Enters frame i even when it is the current one: shows it and adds its display time.
    void EnterFrame(int32_t i);
    int Animate() override;
    // The animation reached its end without repeating; non-zero asks for destruction.
    virtual int AnimationEnded();
    int32_t ShownFrame() const override { return FrameIndex; }
    void CustomImagesSave(TKwBigStream& s) const;
    void CustomImagesLoad(TKwBigStream& s, int32_t version);
    // Saved frame and time, shown again once the source is loaded.
    int32_t loadedIndex_ = -1;
    int64_t loadedRemaining_ = 0;
    bool playEndPosted_ = false;

    bool GetOwn(int id, TCustomParam& target) override;
    bool SetOwn(int id, const TCustomParam& source) override;
};

// The image or animation of scripts.
class TRukoImages : public TRukoCustomImages
{
  public:
    using TRukoCustomImages::TRukoCustomImages;

    bool RepeatFlag = false;
    bool AutoScrapFlag = false;
    std::string Source;
    std::string PlayEndCommand;
    std::string IdleCommand;

    uint8_t GetCompoType() const override { return LT_IMAGES; }
    TRukoImageList& GetFrameList() override { return frames_; }
    const std::string& SourceName() const override { return Source; }
    bool Repeat() const override { return RepeatFlag; }
    bool AutoScrap() const override { return AutoScrapFlag; }
    const std::string& OnPlayEnd() const override { return PlayEndCommand; }
    const std::string& OnIdle() const override { return IdleCommand; }
    // ".brm" (any case): frames from the image cache; ".rmt": a motion; anything else: no picture.
    void SetSource(const std::string& name);
    void SetRepeat(bool v);

    void SaveToStream(TKwBigStream& s) const override;
    void LoadFromStream(TKwBigStream& s, int32_t version) override;

  protected:
    bool GetOwn(int id, TCustomParam& target) override;
    bool SetOwn(int id, const TCustomParam& source) override;

    TRukoImageList frames_;
};

// True when the name ends in `ext` (".brm"), compared without regard to case.
bool HasExtension(const std::string& name, const char* ext);

// Gives LT_IMAGES, LT_TILE, LT_BUTTON and LT_MAPIMG their classes (start-up, the save loader's tools).
void RegisterImageKinds();

} // namespace ruko
