#pragma once
// The changed screen areas of a component list. Nearby rectangles (within 20 units on both axes)
// merge into their union so a frame presents a few larger areas instead of many small ones.
#include "base/rect.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ruko {

class TClipList
{
  public:
    static constexpr int32_t MergeDistance = 20;

    // Adds a rectangle: empty ones are ignored, one inside a near rectangle changes nothing, a near
    // one is merged (and the union may merge further); otherwise it is appended.
    void Add(const TRect& rect);
    void Delete(int index);
    void Clear();

    int Count() const { return static_cast<int>(rects_.size()); }
    const TRect& operator[](int index) const { return rects_.at(static_cast<size_t>(index)); }
    const std::vector<TRect>& Rects() const { return rects_; }

    // Set by every addition, removal or clearing; the owner resets it.
    bool Changed = false;

  private:
    std::vector<TRect> rects_;
};

} // namespace ruko
