#pragma once
// A picture in the depth it is stored in a file: the pixel store that layered images, PNG, JPEG
// and BMP decode into and compose in before anything is converted to the screen's format.
// Rows are top-down; each row is padded to a multiple of 4 bytes, as in device-independent
// bitmaps, so a whole plane of stored raw rows is one block copy. In 1- and 4-bit pictures the
// leftmost pixel sits in the most significant bits of its byte.
#include <cstdint>
#include <vector>

namespace ruko {

// A colour is 0x00BBGGRR; a pixel value is the raw value in a picture's own format.
constexpr uint32_t RgbColor(uint8_t r, uint8_t g, uint8_t b)
{
    return r | (g << 8) | (uint32_t(b) << 16);
}
constexpr uint8_t ColorRed(uint32_t colour)
{
    return colour & 0xFF;
}
constexpr uint8_t ColorGreen(uint32_t colour)
{
    return (colour >> 8) & 0xFF;
}
constexpr uint8_t ColorBlue(uint32_t colour)
{
    return (colour >> 16) & 0xFF;
}

// Largest width or height a stored picture may have.
constexpr int MaxPictureSide = 16384;

// True for the depths a stored picture may have: 1, 4, 8, 15 (5-5-5), 16 (5-6-5), 24, 32.
bool IsPictureDepth(int bits);
// Bits a pixel occupies in storage (16 for both 15 and 16).
int StorageBits(int bits);
// Unpadded bytes of a row of `width` pixels: ceil(storage bits × width / 8).
int64_t PackedRowBytes(int width, int bits);
// Padded (4-byte multiple) bytes of a row.
int64_t PaddedRowBytes(int width, int bits);

class TPicture
{
  public:
    TPicture() = default;
    // Zero-filled picture; the caller has checked the depth and the size. Pictures of 8 bits
    // and less get a grey colour table until one is loaded.
    TPicture(int width, int height, int bits);

    bool IsEmpty() const { return width_ == 0 || height_ == 0; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Bits() const { return bits_; }
    int Pitch() const { return pitch_; }
    bool IsPalettised() const { return bits_ <= 8; }

    uint8_t* Row(int y) { return pixels_.data() + int64_t(y) * pitch_; }
    const uint8_t* Row(int y) const { return pixels_.data() + int64_t(y) * pitch_; }
    std::vector<uint8_t>& Bytes() { return pixels_; }
    const std::vector<uint8_t>& Bytes() const { return pixels_; }

    uint32_t GetPixel(int x, int y) const;
    void SetPixel(int x, int y, uint32_t value);
    void Fill(uint32_t value);

    // Colour table (0x00BBGGRR entries, 2^bits of them) of a picture of 8 bits and less.
    std::vector<uint32_t> Palette;

    // The pixel value that shows `colour` (the nearest table entry in palettised pictures).
    uint32_t ColorToPixel(uint32_t colour) const;
    // The colour a pixel value shows; 5- and 6-bit channels widen by repeating their top bits.
    uint32_t PixelToColor(uint32_t value) const;

    // The same pixels in another depth of 15, 16, 24 or 32 bits.
    TPicture ConvertTo(int bits) const;
    // A copy of the rectangle (left, top, width, height), which lies inside the picture.
    TPicture Crop(int left, int top, int width, int height) const;

    bool operator==(const TPicture& other) const;

  private:
    int width_ = 0;
    int height_ = 0;
    int bits_ = 0;
    int pitch_ = 0;
    std::vector<uint8_t> pixels_;
};

} // namespace ruko
