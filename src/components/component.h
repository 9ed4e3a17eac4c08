#pragma once
// The component model: every object a scenario creates derives from TRukoObject. Scripts never
// hold components; they name them, and read and write their properties by id (params/proptable.h).
// TRukoControl is a visual component with a rectangle, a parent, children drawn in a fixed order,
// mouse and key events and a clip rectangle.
//
// Properties: GetProperty/SetProperty handle the rows every object shares and ask the class for
// the rest (GetOwn/SetOwn, each class answering the ids it implements and passing the others to
// its base). An id nobody answers reads the table's value when absent and ignores writes.
#include "components/eventqueue.h"
#include "graphics/dibsfc.h"
#include "io/bigstream.h"
#include "params/param.h"
#include "params/proptable.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ruko {

class TRukoBaseList;
class TRukoBase;
class TRukoControl;

constexpr char SOH = '\x01';
// Widths, heights and clip sizes taken from scripts stay within this (and at least 0 for sizes),
// so every position sum stays far from the 32-bit limits.
constexpr int32_t MaxComponentSize = 32768;
// Positions and offsets from scripts saturate to this range.
constexpr int32_t MaxComponentCoord = 1 << 24;

// Ignore-mouse values.
enum TIgnoreMouse : uint8_t
{
    IM_NONE = 0,
    IM_ALL = 1,
    IM_CLICK = 2,
    IM_LCLICK = 3,
    IM_RCLICK = 4,
};

// A film played onto a control. Films come with the cinema subsystem; until one is installed,
// LoadMotion answers "no film" and the control stays still.
class TRukoMotion
{
  public:
    virtual ~TRukoMotion() = default;
    // Advances by the frame's milliseconds; true when the motion ended in this step.
    virtual bool Step(TRukoControl& control, int32_t elapsedMs) = 0;
    virtual void Restart() = 0;
    virtual bool Ended() const = 0;
};
// Builds the motion of a film file for a control; nullptr = no film. Unset: always no film.
using TMotionFactory = std::unique_ptr<TRukoMotion> (*)(TRukoControl& control, const std::string& file);
extern TMotionFactory MotionFactory;

class TRukoObject
{
  public:
    explicit TRukoObject(TRukoBaseList* owner) : Owner(owner) {}
    TRukoObject(const TRukoObject&) = delete;
    TRukoObject& operator=(const TRukoObject&) = delete;
    virtual ~TRukoObject();

    TRukoBaseList* Owner;
    std::string Name;
    std::string Tag;
    int32_t Priority = 0;
    int32_t SubPriority = 0;
    // Given by the list when the object joins it; 0 for free-standing objects.
    TComponentHandle Handle = 0;

    virtual uint8_t GetCompoType() const { return LT_NONE; }
    virtual bool WantsAutoName() const { return true; }
    virtual TRukoControl* AsControl() { return nullptr; }
    const TRukoControl* AsControl() const { return const_cast<TRukoObject*>(this)->AsControl(); }

    const std::string& GetName() const { return Name; }
    // Non-visual objects replace an object of the same name (it is deleted); controls rename it.
    virtual void SetName(const std::string& name);
    // Marks the object for destruction at the end of the list's next update and clears its name.
    void Delete();
    bool IsPendingDeleteSelf() const;
    void SetPriority(int32_t n);
    void SetSubPriority(int32_t n);

    // Per-frame update; non-zero asks the list to destroy the object now.
    virtual int Step() { return 0; }
    virtual bool IsPaused() const { return false; }
    virtual bool IsDisabled() const { return false; }
    virtual bool IsInCabinet() const { return false; }
    virtual const std::string& OnIdle() const;

    // The run-state request of the media and menu kinds: 0 start at once, 1 start (fading over
    // the kind's delay), 2 stop at once, 3 stop gracefully. Kinds without it ignore it.
    virtual void SetRunState(int) {}
    virtual int GetRunState() const { return 2; }
    // Restarts playback from the beginning.
    virtual void StartPlayback() {}
    // The object was put into a cabinet, or taken out of one.
    virtual void CabinetEnter() {}
    virtual void CabinetLeave() {}
    // Runs once a loaded record has replaced the running list (the object is in it): media
    // start here, so a damaged save plays nothing.
    virtual void AfterLoad() {}

    // Raise "GetPropエラー" / "SetPropエラー" for ids outside 0..170 (and writing PR_APPEARX/Y).
    void GetProperty(int64_t id, TCustomParam& target);
    void SetProperty(int64_t id, const TCustomParam& source);

    // The object's save record (the class's ancestors first).
    virtual void SaveToStream(TKwBigStream& s) const;
    virtual void LoadFromStream(TKwBigStream& s, int32_t version);
    // After a whole game was loaded and committed: kinds whose state refers to other parts of the
    // game (pages, other components) settle it here.
    virtual void RestoreAfterLoad() {}

  protected:
    // True when the class answered the id.
    virtual bool GetOwn(int id, TCustomParam& target);
    virtual bool SetOwn(int id, const TCustomParam& source);
    void Post(const std::string& command, uint8_t code, const std::vector<std::string>& args = {});
    bool EventPending(uint8_t code) const;
};

// A member of a component list (the non-visual kinds derive from it directly).
class TRukoComponent : public TRukoObject
{
  public:
    using TRukoObject::TRukoObject;
};

class TRukoControl : public TRukoComponent
{
  public:
    explicit TRukoControl(TRukoBaseList* owner);
    ~TRukoControl() override;

    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    int32_t OffsetX = 0, OffsetY = 0;
    bool Visible = true;
    TRukoControl* Parent = nullptr;
    int32_t Color = 0;
    std::vector<std::unique_ptr<TRukoControl>> Children;
    TRect AuxRect{0, 0, 1, 1};
    std::string OnMouseMove, OnMouseIn, OnMouseOut, OnLBtnDown, OnLBtnUp, OnRBtnDown, OnRBtnUp, OnWheelDown,
        OnWheelUp;
    uint8_t IgnoreMouse = IM_NONE;
    std::string Cursor;
    bool PosZoomed = false;
    bool Marked = false;
    int32_t ClipLeft = 0, ClipTop = 0, ClipWidth = 0, ClipHeight = 0;
    int32_t MotionX = 0, MotionY = 0;
    int32_t PlusX = 0, PlusY = 0;
    bool AniPaused = false;
    bool HandleKey = false;
    std::string OnKeyDown, OnKeyUp, OnKeyRepeat, OnFocusIn, OnFocusOut;
    std::unique_ptr<TRukoMotion> Motion;

    TRukoControl* AsControl() override { return this; }
    void SetName(const std::string& name) override;
    virtual bool IsBase() const { return false; }
    // The after-image copy's source (drawn directly above it), or none.
    virtual const TRukoControl* AfterImageSource() const { return nullptr; }
    // After-image copies are never saved (they would come back as permanent ghosts).
    virtual bool IsAfterImage() const { return false; }
    // Alpha among after-image copies (they sort by it).
    virtual int32_t AfterImageAlpha() const { return 0; }
    virtual bool IsCabinet() const { return false; }

    // --- tree --------------------------------------------------------------------------------
    TRukoBase* GetBase();
    const TRukoBase* GetBase() const { return const_cast<TRukoControl*>(this)->GetBase(); }
    bool IsAncestorOf(const TRukoObject* obj) const;
    // Moves the control under p; nothing for the current parent, the control itself or one of
    // its descendants.
    void SetParent(TRukoControl* p);
    void SortChildren();
    // Puts a new child at its place in the drawing order (the others are already in order).
    void InsertChild(std::unique_ptr<TRukoControl> child);
    // Takes the child out of Children and hands it over (no invalidation).
    std::unique_ptr<TRukoControl> DetachChild(TRukoControl* child);
    bool IsInCabinet() const override;
    // Visible, on the active base window, and every ancestor visible.
    bool IsShowing() const;

    // --- geometry ----------------------------------------------------------------------------
    virtual int32_t GetZoomX() const { return 256; }
    virtual int32_t GetZoomY() const { return 256; }
    virtual bool GetFlipH() const { return false; }
    virtual bool GetFlipV() const { return false; }
    virtual int32_t GetScrollX() const { return 0; }
    virtual int32_t GetScrollY() const { return 0; }
    virtual int32_t GetDrawLeft() const;
    virtual int32_t GetDrawTop() const;
    int32_t GetLocalLeft() const;
    int32_t GetLocalTop() const;
    TRect GetDrawRect() const;
    virtual TRect GetBoundsRect() const { return GetDrawRect(); }
    // Empty when ClipWidth or ClipHeight is below 1 (no clipping).
    TRect GetClipRect() const;
    bool HasMotion() const { return Motion != nullptr; }

    void SetLeft(int32_t v);
    void SetTop(int32_t v);
    void SetWidth(int32_t v);
    void SetHeight(int32_t v);
    void SetOffsetX(int32_t v);
    void SetOffsetY(int32_t v);
    void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
    void SetColor(int32_t v);
    void SetPlusX(int32_t v);
    void SetPlusY(int32_t v);
    void SetPosZoomed(bool v);
    void SetClip(int32_t left, int32_t top, int32_t width, int32_t height);
    virtual void SetVisible(bool v);
    virtual bool GetVisible() const { return Visible; }
    void SetHandleKey(bool v);
    void LoadMotion(const std::string& file);

    // --- drawing and input -------------------------------------------------------------------
    virtual void Invalidate();
    // Draws the control onto its base's drawing surface (whose clip rectangle the caller set).
    virtual void Paint(TCustomDIBX& surface);
    void PaintChildren(TCustomDIBX& surface);
    virtual TRukoControl* HitTest(int32_t x, int32_t y, uint32_t acceptedMask);
    virtual TRukoControl* FindFocusTarget();
    virtual void GotFocus() {}
    virtual bool HandleRightClick() { return false; }
    virtual bool RClickScrap() const { return false; }

    virtual void LButtonDown(int32_t x, int32_t y);
    virtual void LButtonUp(int32_t x, int32_t y);
    virtual void RButtonDown(int32_t x, int32_t y);
    virtual void RButtonUp(int32_t x, int32_t y);
    virtual void MouseMove(int32_t x, int32_t y);
    virtual void MouseLeave(TRukoControl* next);
    virtual void MouseEnter(TRukoControl* previous);
    virtual void MouseHold() {}
    virtual void KeyDown(const std::vector<int32_t>& keys);
    virtual void KeyUp(const std::vector<int32_t>& keys);
    virtual void KeyRepeat(const std::vector<int32_t>& keys);
    virtual const std::string& GetCursorName() const { return Cursor; }

    int Step() override;
    // The motion ended in this step; non-zero asks for destruction.
    virtual int MotionEnded();
    virtual const std::string& OnPlayEnd() const;
    virtual bool AutoScrap() const { return false; }
    virtual bool Repeat() const { return false; }

    void SaveToStream(TKwBigStream& s) const override;
    void LoadFromStream(TKwBigStream& s, int32_t version) override;
    // The controls' part and the children, without the class's own fields.
    void SaveControlPart(TKwBigStream& s) const;

  protected:
    bool GetOwn(int id, TCustomParam& target) override;
    bool SetOwn(int id, const TCustomParam& source) override;
    // Posts a mouse event with the pointer relative to the drawn position.
    void PostAt(const std::string& command, uint8_t code, int32_t x, int32_t y);
    void PostKeys(const std::string& command, uint8_t code, const std::vector<int32_t>& keys);
    void LoadControlPart(TKwBigStream& s, int32_t version);
    void ChildrenChanged();
    // After loading a child list: the list's limits on nesting.
    int32_t Depth() const;

  private:
    void FocusLost();
    // Tells the control and everything below it.
    void NotifyCabinet(bool entered);
};

// The key that orders children (the last child is drawn on top): system names below everything,
// the flip snapshot above everything, then the 64-bit effective priority, after-image copies
// directly below their source (among themselves by alpha), then the name byte-wise. A total
// order, so a stable sort gives one drawing order whatever the history of the list.
bool ChildDrawsBefore(const TRukoControl& a, const TRukoControl& b);

// Helpers for property values taken from scripts.
int32_t SizeFromScript(const TCustomParam& v);  // 0..MaxComponentSize
int32_t CoordFromScript(const TCustomParam& v); // ±MaxComponentCoord

} // namespace ruko
