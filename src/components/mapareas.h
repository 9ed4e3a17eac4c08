#pragma once
// The selectable areas of a map image and the map file that holds them. A region is a
// rectangle, an ellipse inscribed in its box, or a polygon filled by the nonzero winding rule;
// a pixel belongs to it when the pixel's centre lies inside. Boxes are inclusive: (left, top,
// right, bottom) spans (left, top) to (right + 1, bottom + 1). Every test works on 64-bit
// coordinates and wider products, so no stored value can overflow it.
#include "base/rect.h"
#include "io/bigstream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ruko {

enum class TMapShape : uint8_t
{
    Rectangle = 0,
    Ellipse = 1,
    Polygon = 2, // any other stored shape byte
};

struct TMapPoint
{
    int32_t X = 0, Y = 0;
    bool operator==(const TMapPoint&) const = default;
};

class TMapRegion
{
  public:
    static TMapRegion Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
    static TMapRegion Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom);
    static TMapRegion Polygon(std::vector<TMapPoint> points);

    TMapShape Shape = TMapShape::Rectangle;
    // The stored box of a rectangle or an ellipse (inclusive).
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    std::vector<TMapPoint> Points; // polygons

    bool Contains(int64_t x, int64_t y) const;
    // The pixels that can be inside (right and bottom exclusive), clamped to 32 bits; empty for an
    // empty region.
    TRect BoundingBox() const;

  private:
    // The box in pixel-edge coordinates: [x0, x1) × [y0, y1), normalised.
    void Edges(int64_t& x0, int64_t& y0, int64_t& x1, int64_t& y1) const;
};

struct TMapArea
{
    std::string Name;
    TMapRegion Region;
};

// The map file at the stream's position. Counts and lengths are checked against the bytes left:
// a damaged file raises "ファイルが破壊されています" and gives nothing.
std::vector<TMapArea> ReadMapFile(TKwBigStream& s);
void WriteMapFile(TKwBigStream& s, const std::vector<TMapArea>& areas);

// The first area whose region holds the pixel (file order decides overlaps); −1 for none.
int32_t FindMapArea(const std::vector<TMapArea>& areas, int64_t x, int64_t y);

} // namespace ruko
