#pragma once
// Integer rectangles as every drawing call takes them: right and bottom are exclusive.
#include <algorithm>
#include <cstdint>

namespace ruko {

struct TRect
{
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;

    constexpr TRect() = default;
    constexpr TRect(int32_t left, int32_t top, int32_t right, int32_t bottom)
        : Left(left), Top(top), Right(right), Bottom(bottom)
    {
    }

    constexpr int32_t Width() const { return Right - Left; }
    constexpr int32_t Height() const { return Bottom - Top; }
    constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    constexpr bool Contains(int32_t x, int32_t y) const
    {
        return x >= Left && x < Right && y >= Top && y < Bottom;
    }
    constexpr bool operator==(const TRect&) const = default;
};

// Rectangle of the given size at (x, y).
constexpr TRect Bounds(int32_t x, int32_t y, int32_t width, int32_t height)
{
    return TRect(x, y, x + width, y + height);
}

// The common part of two rectangles; empty rectangles come back as (0, 0, 0, 0).
constexpr TRect IntersectRect(const TRect& a, const TRect& b)
{
    TRect r(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom));
    return r.IsEmpty() ? TRect() : r;
}

// The smallest rectangle holding both; an empty side does not count.
constexpr TRect UnionRect(const TRect& a, const TRect& b)
{
    if (a.IsEmpty()) return b;
    if (b.IsEmpty()) return a;
    return TRect(std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                 std::max(a.Bottom, b.Bottom));
}

} // namespace ruko
