// Windows bitmaps: whatever decodes must write as 24-bit and read back with the same colours.
#include "base/error.h"
#include "graphics/bmp.h"

#include <cstdlib>

using namespace ruko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TPicture picture;
    try {
        picture = DecodeBmp(data, size);
    } catch (const ERukoError&) {
        return 0;
    }
    std::vector<uint8_t> written = EncodeBmp24(picture);
    TPicture again = DecodeBmp(written.data(), written.size());
    if (again.Width() != picture.Width() || again.Height() != picture.Height()) std::abort();
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            if (picture.PixelToColor(picture.GetPixel(x, y)) != again.PixelToColor(again.GetPixel(x, y)))
                std::abort();
    return 0;
}
