#include "components/mapareas.h"

#include "io/fields.h"

#include <algorithm>
#include <limits>

namespace ruko {

namespace {

using Wide = __int128;

// Regions are confined to this box, and pixels beyond it are outside them: far beyond any picture,
// and small enough that every product below fits in 128 bits.
constexpr int64_t Reach = int64_t(1) << 30;

int32_t Clamp32(int64_t v)
{
    return int32_t(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

} // namespace

TMapRegion TMapRegion::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    TMapRegion r;
    r.Shape = TMapShape::Rectangle;
    r.Left = left;
    r.Top = top;
    r.Right = right;
    r.Bottom = bottom;
    return r;
}

TMapRegion TMapRegion::Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    TMapRegion r = Rectangle(left, top, right, bottom);
    r.Shape = TMapShape::Ellipse;
    return r;
}

TMapRegion TMapRegion::Polygon(std::vector<TMapPoint> points)
{
    TMapRegion r;
    r.Shape = TMapShape::Polygon;
    r.Points = std::move(points);
    return r;
}

void TMapRegion::Edges(int64_t& x0, int64_t& y0, int64_t& x1, int64_t& y1) const
{
    // Corners given the other way round still name the pixels between them.
    x0 = std::clamp<int64_t>(std::min(Left, Right), -Reach, Reach);
    x1 = std::clamp<int64_t>(int64_t(std::max(Left, Right)) + 1, -Reach, Reach);
    y0 = std::clamp<int64_t>(std::min(Top, Bottom), -Reach, Reach);
    y1 = std::clamp<int64_t>(int64_t(std::max(Top, Bottom)) + 1, -Reach, Reach);
}

bool TMapRegion::Contains(int64_t x, int64_t y) const
{
    if (x < -Reach || x > Reach || y < -Reach || y > Reach) return false;
    if (Shape == TMapShape::Polygon) {
        if (Points.size() < 3) return false;
        // Doubled coordinates put the pixel centre on odd values and every vertex on even ones,
        // so the centre is never level with a vertex.
        const int64_t px = 2 * x + 1, py = 2 * y + 1;
        int64_t winding = 0;
        for (size_t i = 0; i < Points.size(); ++i) {
            const TMapPoint& a = Points[i];
            const TMapPoint& b = Points[(i + 1) % Points.size()];
            const int64_t ax = 2 * int64_t(a.X), ay = 2 * int64_t(a.Y);
            const int64_t bx = 2 * int64_t(b.X), by = 2 * int64_t(b.Y);
            const Wide side = Wide(bx - ax) * (py - ay) - Wide(px - ax) * (by - ay);
            if (ay < py && by > py && side > 0) ++winding;
            if (ay > py && by < py && side < 0) --winding;
        }
        return winding != 0;
    }
    int64_t x0, y0, x1, y1;
    Edges(x0, y0, x1, y1);
    if (x < x0 || x >= x1 || y < y0 || y >= y1) return false;
    if (Shape == TMapShape::Rectangle) return true;
    // (2x + 1 − (x0 + x1))² / w² + (2y + 1 − (y0 + y1))² / h² ≤ 1, with w and h the doubled radii.
    const Wide w = x1 - x0, h = y1 - y0;
    const Wide dx = Wide(2 * x + 1) - (x0 + x1), dy = Wide(2 * y + 1) - (y0 + y1);
    // |dx| ≤ w and |dy| ≤ h ≤ 2^31 here, so every term stays below 2^126.
    return dx * dx * h * h + dy * dy * w * w <= w * w * h * h;
}

TRect TMapRegion::BoundingBox() const
{
    if (Shape == TMapShape::Polygon) {
        if (Points.size() < 3) return TRect();
        int64_t left = Points[0].X, right = left, top = Points[0].Y, bottom = top;
        for (const TMapPoint& p : Points) {
            left = std::min<int64_t>(left, p.X);
            right = std::max<int64_t>(right, p.X);
            top = std::min<int64_t>(top, p.Y);
            bottom = std::max<int64_t>(bottom, p.Y);
        }
        return TRect(Clamp32(left), Clamp32(top), Clamp32(right), Clamp32(bottom));
    }
    int64_t x0, y0, x1, y1;
    Edges(x0, y0, x1, y1);
    return TRect(Clamp32(x0), Clamp32(y0), Clamp32(x1), Clamp32(y1));
}

std::vector<TMapArea> ReadMapFile(TKwBigStream& s)
{
    const int32_t count = ReadInt(s);
    CheckCount(s, count, 4 + 1 + 4); // the smallest area: an empty name and a polygon's count
    std::vector<TMapArea> areas;
    areas.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        TMapArea area;
        area.Name = ReadStr(s);
        const uint8_t shape = ReadByte(s);
        if (shape == 0 || shape == 1) {
            const int32_t left = ReadInt(s), top = ReadInt(s), right = ReadInt(s), bottom = ReadInt(s);
            area.Region = shape == 0 ? TMapRegion::Rectangle(left, top, right, bottom)
                                     : TMapRegion::Ellipse(left, top, right, bottom);
        } else {
            const int32_t n = ReadInt(s);
            CheckCount(s, n, 8);
            std::vector<TMapPoint> points(static_cast<size_t>(n));
            for (TMapPoint& p : points) {
                p.X = ReadInt(s);
                p.Y = ReadInt(s);
            }
            area.Region = TMapRegion::Polygon(std::move(points));
        }
        areas.push_back(std::move(area));
    }
    return areas;
}

void WriteMapFile(TKwBigStream& s, const std::vector<TMapArea>& areas)
{
    WriteInt(s, int32_t(areas.size()));
    for (const TMapArea& area : areas) {
        WriteStr(s, area.Name);
        const TMapRegion& r = area.Region;
        WriteByte(s, uint8_t(r.Shape));
        if (r.Shape == TMapShape::Polygon) {
            WriteInt(s, int32_t(r.Points.size()));
            for (const TMapPoint& p : r.Points) {
                WriteInt(s, p.X);
                WriteInt(s, p.Y);
            }
        } else {
            WriteInt(s, r.Left);
            WriteInt(s, r.Top);
            WriteInt(s, r.Right);
            WriteInt(s, r.Bottom);
        }
    }
}

int32_t FindMapArea(const std::vector<TMapArea>& areas, int64_t x, int64_t y)
{
    for (size_t i = 0; i < areas.size(); ++i)
        if (areas[i].Region.Contains(x, y)) return int32_t(i);
    return -1;
}

} // namespace ruko
