#include "shell/screenman.h"

#include <algorithm>

namespace ruko {

TPresentPlan PlanPresent(bool fullScreen, int zoom, const std::vector<TRect>& dirty, const TRect& whole)
{
    TPresentPlan plan;
    if (fullScreen) {
        plan.Counted = true;
        if (whole.IsEmpty())
            plan.Rects = dirty;
        else
            plan.Rects = {whole};
        return plan;
    }
    if (zoom % 100 != 0) {
        plan.Counted = true;
        plan.Whole = true;
        return plan;
    }
    if (whole.IsEmpty()) {
        if (dirty.empty()) return plan;
        plan.Counted = true;
        for (const TRect& r : dirty)
            if (!r.IsEmpty()) plan.Rects.push_back(r);
        return plan;
    }
    plan.Counted = true;
    plan.Rects = {whole};
    return plan;
}

TScreenManager::TScreenManager(TPlatform& platform, int preferredWidth, int preferredHeight, int screenWidth,
                               int screenHeight)
    : platform_(platform)
{
    surface_.Width = std::max(screenWidth, 1);
    surface_.Height = std::max(screenHeight, 1);
    surface_.Pixels.assign(static_cast<size_t>(surface_.Width) * surface_.Height, 0);
    TModeChoice choice = ChooseDisplayMode(platform.DisplayModes(), surface_.Width, surface_.Height,
                                           preferredWidth, preferredHeight, platform.DesktopBits());
    modes_ = std::move(choice.Modes);
    modeIndex_ = choice.ModeIndex;
}

void TScreenManager::SetModeIndex(int index)
{
    if (index >= -1 && index < static_cast<int>(modes_.size())) modeIndex_ = index;
}

void TScreenManager::SetIndex(int i)
{
    if (i == index_) return;
    if (i >= 0 && i < static_cast<int>(modes_.size()) && platform_.SetFullScreen(true)) {
        index_ = i;
        return;
    }
    platform_.SetFullScreen(false);
    index_ = -1;
}

void TScreenManager::Present(const TDrawResult& drawn)
{
    TPresentPlan plan = PlanPresent(FullScreen(), drawn.Zoom, drawn.Dirty, drawn.Whole);
    if (plan.Counted) ++presentCount_;
    if (plan.Whole)
        platform_.Present(surface_.View(), {}, drawn.Zoom);
    else if (!plan.Rects.empty())
        platform_.Present(surface_.View(), plan.Rects, drawn.Zoom);
}

} // namespace ruko
