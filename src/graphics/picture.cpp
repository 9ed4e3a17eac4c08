#include "graphics/picture.h"

#include <cstring>

namespace ruko {

bool IsPictureDepth(int bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

int StorageBits(int bits)
{
    return bits == 15 ? 16 : bits;
}

int64_t PackedRowBytes(int width, int bits)
{
    return (int64_t(width) * StorageBits(bits) + 7) / 8;
}

int64_t PaddedRowBytes(int width, int bits)
{
    return (int64_t(width) * StorageBits(bits) + 31) / 32 * 4;
}

TPicture::TPicture(int width, int height, int bits)
    : width_(width), height_(height), bits_(bits), pitch_(int(PaddedRowBytes(width, bits)))
{
    pixels_.assign(size_t(pitch_) * size_t(height), 0);
    if (bits <= 8) {
        int count = 1 << bits;
        Palette.resize(count);
        for (int i = 0; i < count; ++i) {
            uint8_t grey = uint8_t(i * 255 / (count - 1));
            Palette[i] = RgbColor(grey, grey, grey);
        }
    }
}

uint32_t TPicture::GetPixel(int x, int y) const
{
    const uint8_t* row = Row(y);
    switch (bits_) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    case 8:
        return row[x];
    case 15:
    case 16:
        return row[x * 2] | (row[x * 2 + 1] << 8);
    case 24:
        return row[x * 3] | (row[x * 3 + 1] << 8) | (uint32_t(row[x * 3 + 2]) << 16);
    default:
        uint32_t value;
        std::memcpy(&value, row + x * 4, 4);
        return value;
    }
}

void TPicture::SetPixel(int x, int y, uint32_t value)
{
    uint8_t* row = Row(y);
    switch (bits_) {
    case 1: {
        uint8_t bit = uint8_t(0x80 >> (x & 7));
        row[x >> 3] = (value & 1) ? row[x >> 3] | bit : row[x >> 3] & ~bit;
        break;
    }
    case 4:
        row[x >> 1] =
            (x & 1) ? (row[x >> 1] & 0xF0) | (value & 0x0F) : (row[x >> 1] & 0x0F) | ((value & 0x0F) << 4);
        break;
    case 8:
        row[x] = uint8_t(value);
        break;
    case 15:
    case 16:
        row[x * 2] = uint8_t(value);
        row[x * 2 + 1] = uint8_t(value >> 8);
        break;
    case 24:
        row[x * 3] = uint8_t(value);
        row[x * 3 + 1] = uint8_t(value >> 8);
        row[x * 3 + 2] = uint8_t(value >> 16);
        break;
    default:
        std::memcpy(row + x * 4, &value, 4);
        break;
    }
}

void TPicture::Fill(uint32_t value)
{
    if (IsEmpty()) return;
    for (int x = 0; x < width_; ++x)
        SetPixel(x, 0, value);
    for (int y = 1; y < height_; ++y)
        std::memcpy(Row(y), Row(0), size_t(pitch_));
}

uint32_t TPicture::ColorToPixel(uint32_t colour) const
{
    uint32_t r = ColorRed(colour), g = ColorGreen(colour), b = ColorBlue(colour);
    switch (bits_) {
    case 15:
        return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case 16:
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    case 24:
    case 32:
        return (r << 16) | (g << 8) | b;
    default: {
        uint32_t best = 0;
        int64_t bestDistance = INT64_MAX;
        for (size_t i = 0; i < Palette.size(); ++i) {
            int dr = int(ColorRed(Palette[i])) - int(r);
            int dg = int(ColorGreen(Palette[i])) - int(g);
            int db = int(ColorBlue(Palette[i])) - int(b);
            int64_t distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = uint32_t(i);
            }
        }
        return best;
    }
    }
}

uint32_t TPicture::PixelToColor(uint32_t value) const
{
    auto widen5 = [](uint32_t v) { return uint8_t((v << 3) | (v >> 2)); };
    auto widen6 = [](uint32_t v) { return uint8_t((v << 2) | (v >> 4)); };
    switch (bits_) {
    case 15:
        return RgbColor(widen5((value >> 10) & 31), widen5((value >> 5) & 31), widen5(value & 31));
    case 16:
        return RgbColor(widen5((value >> 11) & 31), widen6((value >> 5) & 63), widen5(value & 31));
    case 24:
    case 32:
        return RgbColor(uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value));
    default:
        return value < Palette.size() ? Palette[value] : 0;
    }
}

TPicture TPicture::ConvertTo(int bits) const
{
    TPicture result(width_, height_, bits);
    if (bits == bits_) {
        result.pixels_ = pixels_;
        result.Palette = Palette;
        return result;
    }
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            result.SetPixel(x, y, result.ColorToPixel(PixelToColor(GetPixel(x, y))));
    return result;
}

TPicture TPicture::Crop(int left, int top, int width, int height) const
{
    TPicture result(width, height, bits_);
    result.Palette = Palette;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            result.SetPixel(x, y, GetPixel(left + x, top + y));
    return result;
}

bool TPicture::operator==(const TPicture& other) const
{
    if (width_ != other.width_ || height_ != other.height_ || bits_ != other.bits_ ||
        Palette != other.Palette)
        return false;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (GetPixel(x, y) != other.GetPixel(x, y)) return false;
    return true;
}

} // namespace ruko
