#pragma once
// The component list: the owner of every component, the two base windows (one shown, the other
// prepared behind it and swapped in by a flip), the keyboard state and focus, the input step
// that turns mouse and keys into event calls, the update step with its deferred deletions, and
// painting limited to dirty rectangles.
#include "base/screensize.h"
#include "components/cliplist.h"
#include "components/component.h"
#include "graphics/wipe.h"

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace ruko {

// The system names of the two base windows, kept whatever a save record says.
inline const std::string Base0Name = std::string(1, SOH) + "BASE0";
inline const std::string Base1Name = std::string(1, SOH) + "BASE1";

// One of the two full-screen root windows.
class TRukoBase : public TRukoControl
{
  public:
    explicit TRukoBase(TRukoBaseList* owner);

    TClipList DirtyList;
    TDIBX DrawSurface;
    int32_t MouseX = 0, MouseY = 0;
    bool LClickLatch = false, LClick = false, RClickLatch = false, RClick = false;
    bool LHeld = false, RHeld = false;
    bool Moved = false;
    uint8_t Capture = 0; // 4: left press captured by Hover, 8: right press
    TComponentHandle Hover = 0;
    bool WheelDownLatch = false, WheelDown = false, WheelUpLatch = false, WheelUp = false;
    std::string CursorName;

    bool IsBase() const override { return true; }
    bool WantsAutoName() const override { return false; }
    void AddDirtyRect(const TRect& rect);
    void MarkAllDirty() { AddDirtyRect(TRect(0, 0, Width, Height)); }
    TCustomDIBX& GetDrawSurface();
    void PaintBase();
    void MouseDispatch();
    void ResizeSurface();
};

// A container that is never shown: what lies in it is neither stepped, painted nor hit.
class TRukoCabinet final : public TRukoControl
{
  public:
    using TRukoControl::TRukoControl;
    uint8_t GetCompoType() const override { return LT_CABINET; }
    bool IsCabinet() const override { return true; }
    bool GetVisible() const override { return false; }
    void Paint(TCustomDIBX&) override {}
    TRukoControl* HitTest(int32_t, int32_t, uint32_t) override { return nullptr; }
};

// The picture of the screen that a flip lays over the active base window while it moves
// components away (named SOH SOH: drawn above everything, never saved).
class TRukoSnapshot final : public TRukoControl
{
  public:
    using TRukoControl::TRukoControl;
    TDIBX Picture;
    bool WantsAutoName() const override { return false; }
    void Paint(TCustomDIBX& surface) override;
};

class TRukoBaseList
{
  public:
    static constexpr int32_t KeyRepeatDelay = 300;
    static constexpr int32_t KeyRepeatInterval = 50;
    // Caps for loading: children per control, nesting depth, top-level components, queue entries.
    static constexpr int32_t MaxLoadedItems = 100000;
    static constexpr int32_t MaxNesting = 64;
    // The screen size a project or a save may ask for.
    static constexpr int32_t MaxScreenSize = ruko::MaxScreenSize;

    // Without a queue the list keeps its own (TLocalEventQueue).
    explicit TRukoBaseList(TEventQueue* events = nullptr);
    ~TRukoBaseList();
    TRukoBaseList(const TRukoBaseList&) = delete;
    TRukoBaseList& operator=(const TRukoBaseList&) = delete;

    // --- objects -----------------------------------------------------------------------------
    // A new component of the class registered for the type code (low seven bits; see
    // componentkind.h), owned by the list; a visual one lies on the active base window until it
    // is given a parent. None for codes without a class.
    TRukoObject* CreateComponent(int code);
    // Takes ownership of a non-visual object created by the caller (tests, other lists).
    TRukoObject* Adopt(std::unique_ptr<TRukoObject> obj);
    TRukoObject* FindComponent(const std::string& name) const;
    TRukoControl* FindContainer(const std::string& name) const;
    int IndexOfName(const std::string& name) const;
    // prefix + the lowest number no live object carries.
    std::string MakeUniqueName(const std::string& prefix);
    // A name went out of use (renamed, deleted, destroyed): lower numbers may be free again.
    void NamesFreed() { nameHints_.clear(); }
    bool IsPendingDelete(const TRukoObject* obj) const;
    void MarkForDelete(TRukoObject* obj);
    // Destroys the object now (its children with it).
    void FreeComponent(TRukoObject* obj);
    bool Contains(const TRukoObject* obj) const;
    // The object a handle names, or none when it is gone.
    TRukoObject* Resolve(TComponentHandle handle) const;
    const std::vector<TRukoObject*>& Items() const { return items_; }
    // A component's full name as events and saves refer to it.
    std::string ComponentName(TComponentHandle handle) const;

    // --- base windows and the screen ---------------------------------------------------------
    TRukoBase& GetBase(int i) { return i ? *base1_ : *base0_; }
    const TRukoBase& GetBase(int i) const { return i ? *base1_ : *base0_; }
    TRukoBase& GetActiveBase() { return GetBase(ActiveBase); }
    TRukoBase& GetBackBase() { return GetBase(ActiveBase ^ 1); }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    void SetSize(int32_t width, int32_t height);
    void SetColor(int32_t color);
    TDIBX& Surface() { return surface_; }
    int32_t ActiveBase = 0;
    uint8_t TransitionKind = 0;
    TRect FrameDirtyRect;
    int32_t Zoom = 100;
    // All media output on or off ("@SoundON"): switching it enables or disables every manager.
    bool SoundOn = true;
    void SetSoundOn(bool on);
    TCustomWipe* Transition() { return transition_.get(); }
    // Flip: see the flip command. Answers the transition created by this call, or none.
    TCustomWipe* SetActiveBase(int index, int kind, int32_t duration, int32_t elapsed, bool restart,
                               bool reverse);
    int32_t GetTransitionDuration() const { return transition_ ? transition_->Duration : 0; }
    void SetTransitionElapsed(int32_t v)
    {
        if (transition_) transition_->Elapsed = v;
    }

    // Lays a copy of the screen as last shown over the active base window, so what changes
    // under it stays hidden until the flip's transition reveals it.
    TRukoSnapshot* TakeSnapshot();

    // --- per frame ---------------------------------------------------------------------------
    // elapsedMs: the frame's milliseconds (key repeat timing).
    void InputStep(int32_t elapsedMs);
    void Step();
    void Paint();
    // The dirty rectangles of the active base window for presentation; clears both lists.
    std::vector<TRect> TakeDirty();

    // --- input from the window ---------------------------------------------------------------
    void MouseDown(bool left, int32_t x, int32_t y);
    void MouseUp(int32_t x, int32_t y);
    void MouseMoveTo(int32_t x, int32_t y);
    void Wheel(bool up);
    void SetKeyState(int code, bool down);
    void SetKeyPressed(int code, bool pressed);
    bool IsKeyHeld(int code) const { return InKeyRange(code) && keyHeld_[code]; }
    bool WasKeyPressed(int code) const { return InKeyRange(code) && keyPressedLast_[code]; }
    bool IsKeyRepeat(int code) const { return InKeyRange(code) && keyRepeatLast_[code]; }
    void ClearKeys();

    // --- focus -------------------------------------------------------------------------------
    TRukoControl* Focused() const;
    void SetFocus(TRukoControl* control);
    void RequestFocus() { FocusRequest = true; }
    // Clears the focus when it lies on `control` or below it, and asks for a new choice.
    void DropFocusWithin(TRukoControl* control);
    bool FocusRequest = false;

    TEventQueue& Events() { return *events_; }
    std::vector<TComponentHandle> RightClickClosers;

    // --- save records ------------------------------------------------------------------------
    void SaveToStream(TKwBigStream& s) const;
    // Validates the whole record into a fresh list and takes its contents only when it loaded
    // completely; a damaged record raises and leaves this list as it was.
    void LoadFromStream(TKwBigStream& s, int32_t version);
    // LoadFromStream in two halves, for a record that holds more than the components: a fresh
    // list holding the whole record (raises on damage), then taking its contents, which cannot
    // fail.
    static std::unique_ptr<TRukoBaseList> ReadFromStream(TKwBigStream& s, int32_t version);
    void Commit(TRukoBaseList& fresh);
    // Back to the created state (keeps the size).
    void Reset();

    // Called by controls; the list's bookkeeping of their life.
    void Register(TRukoObject* obj);
    void Unregister(TRukoObject* obj);
    // The frame's milliseconds, as the last input step got them.
    int32_t FrameDelta = 0;

  private:
    static bool InKeyRange(int code) { return code >= 0 && code < 256; }
    void LoadInto(TKwBigStream& s, int32_t version);
    void TakeFrom(TRukoBaseList& other);
    void MakeBases();
    void DestroyEverything();

    std::unique_ptr<TLocalEventQueue> ownEvents_;
    TEventQueue* events_;
    std::unique_ptr<TRukoBase> base0_, base1_;
    int32_t width_ = 8, height_ = 8;
    TDIBX surface_;
    std::unique_ptr<TCustomWipe> transition_;
    std::vector<TRukoObject*> items_;
    std::vector<std::unique_ptr<TRukoObject>> ownedObjects_; // non-visual objects
    std::vector<TRukoObject*> pendingDelete_;
    // Handles are never reused, so a component made at a freed address never takes over an old
    // one's events, frames or checks.
    std::unordered_map<TComponentHandle, TRukoObject*> handles_;
    bool destroying_ = false;
    std::unordered_map<std::string, int64_t> nameHints_;
    TComponentHandle focused_ = 0;
    std::array<uint8_t, 256> keyHeld_{}, keyPressed_{}, keyPressedLast_{}, keyRepeatNow_{}, keyRepeatLast_{};
    std::array<int32_t, 256> repeatTimer_{};
    bool keyDownFlag_ = false, keyUpFlag_ = false, keyRepeatFlag_ = false;
    std::vector<int32_t> downKeys_, upKeys_, repeatKeys_;

    friend class TRukoBase;
};

// The component list of the running title (not owned; created by the shell, freed at shutdown).
extern TRukoBaseList* Bases;

} // namespace ruko
