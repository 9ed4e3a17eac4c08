#pragma once
// The changed screen areas of a component list. Nearby rectangles (within 20 units on both axes)
// merge into their union so a frame presents a few larger areas instead of many small ones.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ruko {

struct TClipRect
{
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0; // right and bottom exclusive

    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TClipRect&) const = default;
};

class TClipList
{
  public:
    static constexpr int32_t MergeDistance = 20;

    // Adds a rectangle: empty ones are ignored, one inside a near rectangle changes nothing, a near
    // one is merged (and the union may merge further); otherwise it is appended.
    void Add(const TClipRect& rect);
    void Delete(int index);
    void Clear();

    int Count() const { return static_cast<int>(rects_.size()); }
    const TClipRect& operator[](int index) const { return rects_.at(static_cast<size_t>(index)); }
    const std::vector<TClipRect>& Rects() const { return rects_; }

    // Set by every addition, removal or clearing; the owner resets it.
    bool Changed = false;

  private:
    std::vector<TClipRect> rects_;
};

} // namespace ruko
