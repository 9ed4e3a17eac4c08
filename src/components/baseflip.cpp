// Flips between the two base windows and the snapshot that holds the old picture meanwhile.
#include "components/baselist.h"
#include "graphics/bromcache.h"

#include <algorithm>

namespace ruko {

void TRukoSnapshot::Paint(TCustomDIBX& surface)
{
    surface.Draw(GetDrawLeft(), GetDrawTop(), Picture, Picture.BoundsRect(), false, false, false);
}

TCustomWipe* TRukoBaseList::SetActiveBase(int index, int kind, int32_t duration, int32_t elapsed,
                                          bool restart, bool reverse)
{
    ActiveBase = index ? 1 : 0;
    if (kind < 0 || kind > WipeTypeCount) kind = 0;
    TCustomWipe* created = nullptr;
    if (restart || (kind != 0 && !transition_)) {
        transition_.reset();
        base0_->MarkAllDirty();
        base1_->MarkAllDirty();
        if (kind != 0) {
            TRukoBase& active = GetActiveBase();
            TRukoBase& back = GetBackBase();
            // The shown picture so far is the screen surface; the transition needs it in the
            // base's own surface.
            active.DrawSurface.Assign(surface_);
            // The first frame shows the active base window as it is (the old picture), the last
            // one the back base window.
            transition_ = CreateWipe(kind, surface_, active.DrawSurface, back.DrawSurface);
            if (transition_) {
                // Rule pictures come through the image cache; without one the rule is flat.
                transition_->RuleLoader = [](const std::string& name) {
                    return BromMan ? CachedRulePicture(*BromMan, name) : nullptr;
                };
                transition_->Duration = std::max(duration, 1);
                transition_->SetReverse(reverse);
                created = transition_.get();
            }
        }
        TRukoControl* focused = Focused();
        if (!focused || focused->GetBase() != &GetActiveBase()) {
            focused_ = 0;
            FocusRequest = true;
        }
    }
    TransitionKind = static_cast<uint8_t>(transition_ ? kind : 0);
    if (transition_) transition_->Elapsed = elapsed;
    return created;
}

TRukoSnapshot* TRukoBaseList::TakeSnapshot()
{
    TRukoBase& active = GetActiveBase();
    auto snapshot = std::make_unique<TRukoSnapshot>(this);
    TRukoSnapshot* raw = snapshot.get();
    raw->Name = std::string(2, SOH);
    raw->Picture.SetSize(width_, height_, 32);
    raw->Picture.Assign(active.GetDrawSurface());
    raw->SetBounds(0, 0, width_, height_);
    Register(raw);
    raw->Parent = &active;
    active.Children.push_back(std::move(snapshot));
    active.SortChildren();
    raw->Invalidate();
    return raw;
}

} // namespace ruko
