#include "components/cliplist.h"

#include <algorithm>

namespace ruko {

namespace {

// Overlapping or within the merge distance on both axes; 64-bit so edges near the int range
// cannot wrap.
bool Near(const TRect& r, const TRect& rect)
{
    constexpr int64_t d = TClipList::MergeDistance;
    return !(int64_t{r.Right} + d < rect.Left || int64_t{r.Bottom} + d < rect.Top ||
             int64_t{rect.Right} < int64_t{r.Left} - d || int64_t{rect.Bottom} < int64_t{r.Top} - d);
}

bool Inside(const TRect& inner, const TRect& outer)
{
    return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
           inner.Bottom <= outer.Bottom;
}

} // namespace

void TClipList::Add(const TRect& rect)
{
    if (rect.IsEmpty()) return;
    TRect merged = rect;
    // Merging may reach further rectangles; loop instead of recursing.
    for (;;) {
        auto near =
            std::find_if(rects_.begin(), rects_.end(), [&](const TRect& r) { return Near(r, merged); });
        if (near == rects_.end()) break;
        if (Inside(merged, *near)) return;
        merged = UnionRect(*near, merged);
        rects_.erase(near);
        Changed = true;
    }
    rects_.push_back(merged);
    Changed = true;
}

void TClipList::Delete(int index)
{
    rects_.erase(rects_.begin() + index);
    Changed = true;
}

void TClipList::Clear()
{
    rects_.clear();
    Changed = true;
}

} // namespace ruko
