#pragma once
// The button of scripts (LT_BUTTON): an animated image with one picture per state (0 normal,
// 1 under the mouse, 2 pressed or selected, 3 clicked), press and click by mouse or key, radio
// groups among siblings, and a one-line caption drawn over the picture.
#include "components/images.h"
#include "components/labellist.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ruko {

class TRukoButton : public TRukoImages
{
  public:
    static constexpr int32_t StateCount = 4;
    static constexpr int32_t ClickedState = 3;

    explicit TRukoButton(TRukoBaseList* owner);

    int32_t PressPhase = 0; // 0 idle, 1 pressed, −1 destroy at the next step
    int32_t State = 0;
    int32_t StateAfterClick = 0;
    std::string HoverSource, PressedSource, ClickedSource;
    int32_t GroupIndex = 0;
    bool Selected = false;
    bool AllowAllUp = false;
    std::string NotifyCommand;
    std::string CaptionText;
    TKwLabelList Caption;

    uint8_t GetCompoType() const override { return LT_BUTTON; }
    TRukoImageList& GetFrameList() override;
    int32_t GetState() const override { return State; }
    void SetState(int32_t i) override;
    int32_t GetStateCount() const override { return StateCount; }
    // The clicked animation plays once; every other state repeats.
    bool Repeat() const override { return State != ClickedState; }

    // The picture of state i (0: `Source`).
    void SetStateSource(int32_t i, const std::string& name);
    const std::string& StateSource(int32_t i) const;
    // State i has frames or a motion to show.
    bool HasStatePicture(int32_t i) const;

    void SetSelected(bool b);
    void SetGroupIndex(int32_t g);
    void SetAllowAllUp(bool b);
    // The buttons of this button's group in `Children` order (none without a group).
    std::vector<TRukoButton*> GroupMembers() const;
    void Click();
    void SetCaptionText(const std::string& text);

    void MouseMove(int32_t x, int32_t y) override;
    void MouseLeave(TRukoControl* next) override;
    void LButtonDown(int32_t x, int32_t y) override;
    void LButtonUp(int32_t x, int32_t y) override;
    void KeyRepeat(const std::vector<int32_t>& keys) override;
    int Step() override;
    void PaintAfter(TCustomDIBX& surface) override;

    void SaveToStream(TKwBigStream& s) const override;
    void LoadFromStream(TKwBigStream& s, int32_t version) override;

  protected:
    // The button's own fields, after the image's record.
    void ButtonLoad(TKwBigStream& s, int32_t version);
    int AnimationEnded() override;
    int MotionEnded() override;
    bool GetOwn(int id, TCustomParam& target) override;
    bool SetOwn(int id, const TCustomParam& source) override;

  private:
    // The clicked animation or a state's motion ended: the state asked for meanwhile follows.
    int PlayEnded();
    void SetDown(bool b);
    void UpdateGroup();
    // The pointer lies over this button, as a left press would find it.
    bool PointerOver() const;
    // A caption setting changed: redraw only when there is a caption to show.
    void CaptionChanged();

    // States 1..3; state 0 shows the image's own frames.
    std::array<TRukoImageList, StateCount - 1> stateFrames_;
    // The motions of the states not shown; the shown state's motion is `Motion`.
    std::array<std::unique_ptr<TRukoMotion>, StateCount> stateMotions_;
    TKwLabelDIB* captionItem_;
};

} // namespace ruko
