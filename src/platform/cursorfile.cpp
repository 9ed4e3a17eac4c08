#include "platform/cursorfile.h"

namespace ruko {
namespace {

uint32_t Read16(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8;
}

uint32_t Read32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

size_t RowBytes(uint64_t width, uint32_t bits)
{
    return static_cast<size_t>((width * bits + 31) / 32 * 4);
}

} // namespace

bool DecodeCursorFile(const std::vector<uint8_t>& file, TCursorImage& image)
{
    constexpr int MaxSide = 256;
    if (file.size() < 6 + 16 || Read16(file, 0) != 0 || (Read16(file, 2) != 1 && Read16(file, 2) != 2) ||
        Read16(file, 4) == 0)
        return false;
    const bool isCursor = Read16(file, 2) == 2;
    const uint32_t bytes = Read32(file, 6 + 8), offset = Read32(file, 6 + 12);
    if (offset > file.size() || bytes > file.size() - offset || bytes < 40) return false;
    const size_t dib = offset;
    const uint32_t headerSize = Read32(file, dib);
    const int32_t width = static_cast<int32_t>(Read32(file, dib + 4));
    const int32_t doubleHeight = static_cast<int32_t>(Read32(file, dib + 8));
    const uint32_t bits = Read16(file, dib + 14), compression = Read32(file, dib + 16);
    uint32_t colours = Read32(file, dib + 32);
    if (headerSize < 40 || headerSize > bytes || compression != 0 || width <= 0 || width > MaxSide ||
        doubleHeight <= 0 || doubleHeight % 2 != 0 || doubleHeight / 2 > MaxSide)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    const int32_t height = doubleHeight / 2;
    if (bits <= 8 && (colours == 0 || colours > (1u << bits))) colours = 1u << bits;
    if (bits > 8) colours = 0;
    const size_t palette = dib + headerSize;
    const size_t pixels = palette + size_t{colours} * 4;
    const size_t xorRow = RowBytes(static_cast<uint64_t>(width), bits),
                 andRow = RowBytes(static_cast<uint64_t>(width), 1);
    const size_t end = pixels + (xorRow + andRow) * static_cast<size_t>(height);
    if (end > offset + bytes) return false;

    image.Width = width;
    image.Height = height;
    image.HotX = isCursor ? static_cast<int>(Read16(file, 6 + 4)) : 0;
    image.HotY = isCursor ? static_cast<int>(Read16(file, 6 + 6)) : 0;
    image.Argb.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    bool anyAlpha = false;
    for (int32_t y = 0; y < height; ++y) {
        // Rows are stored bottom-up.
        const size_t row = pixels + xorRow * static_cast<size_t>(height - 1 - y);
        for (int32_t x = 0; x < width; ++x) {
            uint32_t argb;
            if (bits == 32) {
                argb = Read32(file, row + size_t(x) * 4);
                anyAlpha = anyAlpha || (argb >> 24) != 0;
            } else if (bits == 24) {
                const size_t p = row + size_t(x) * 3;
                argb = file[p] | file[p + 1] << 8 | file[p + 2] << 16;
            } else {
                // The leftmost pixel sits in the most significant bits of its byte.
                const size_t bit = size_t(x) * bits;
                const uint32_t index = (file[row + bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                argb = index < colours ? Read32(file, palette + size_t{index} * 4) & 0xFFFFFF : 0;
            }
            image.Argb[size_t(y) * size_t(width) + size_t(x)] = argb;
        }
    }
    if (!anyAlpha) {
        // Without alpha in the colours the AND mask decides: a set bit is transparent.
        const size_t mask = pixels + xorRow * static_cast<size_t>(height);
        for (int32_t y = 0; y < height; ++y) {
            const size_t row = mask + andRow * static_cast<size_t>(height - 1 - y);
            for (int32_t x = 0; x < width; ++x) {
                const bool clear = (file[row + size_t(x) / 8] >> (7 - x % 8)) & 1;
                uint32_t& argb = image.Argb[size_t(y) * size_t(width) + size_t(x)];
                argb = clear ? 0 : (argb | 0xFF000000u);
            }
        }
    }
    return true;
}

} // namespace ruko
