#include "graphics/bmp.h"

#include "base/error.h"
#include "base/text.h"
#include "io/fields.h"

#include <cstring>

namespace ruko {

namespace {

uint32_t U32At(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}
uint16_t U16At(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}
void PutU16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

constexpr size_t FileHeaderSize = 14;
constexpr uint32_t BiRgb = 0, BiBitfields = 3;

[[noreturn]] void RaiseUnsupported()
{
    RaiseError(Utf8ToCp932("読み込めないファイル形式です"));
}

} // namespace

bool IsBmpData(const uint8_t* data, size_t size)
{
    return size >= 2 && data[0] == 'B' && data[1] == 'M';
}

TPicture DecodeBmp(const uint8_t* data, size_t size)
{
    if (size < FileHeaderSize + 12 || !IsBmpData(data, size)) RaiseDamaged();
    uint32_t bitsOffset = U32At(data + 10);
    const uint8_t* info = data + FileHeaderSize;
    uint32_t infoSize = U32At(info);
    if (infoSize < 12 || infoSize > size - FileHeaderSize) RaiseDamaged();
    int64_t width, height;
    int bitCount;
    uint32_t compression = BiRgb, colourCount = 0;
    size_t entryBytes = 4;
    if (infoSize == 12) { // OS/2 core header: 16-bit sizes, 3-byte colour entries
        width = U16At(info + 4);
        height = int16_t(U16At(info + 6));
        bitCount = U16At(info + 10);
        entryBytes = 3;
    } else {
        if (infoSize < 40) RaiseDamaged();
        width = int32_t(U32At(info + 4));
        height = int32_t(U32At(info + 8));
        bitCount = U16At(info + 14);
        compression = U32At(info + 16);
        colourCount = U32At(info + 32);
    }
    bool topDown = height < 0;
    if (topDown) height = -height;
    if (width < 1 || height < 1 || width > MaxPictureSide || height > MaxPictureSide) RaiseDamaged();

    int bits;
    uint32_t masks[3] = {0, 0, 0};
    if (compression == BiBitfields && (bitCount == 16 || bitCount == 32)) {
        // After a 40-byte header, or inside a longer one at the same offset.
        size_t maskAt = FileHeaderSize + 40;
        if (maskAt + 12 > size) RaiseDamaged();
        for (int i = 0; i < 3; ++i)
            masks[i] = U32At(data + maskAt + 4 * i);
        if (bitCount == 16 && masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)
            bits = 15;
        else if (bitCount == 16 && masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F)
            bits = 16;
        else if (bitCount == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF)
            bits = 32;
        else
            RaiseUnsupported();
    } else if (compression == BiRgb) {
        if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
            bitCount != 32)
            RaiseDamaged();
        bits = bitCount == 16 ? 15 : bitCount;
    } else {
        RaiseUnsupported();
    }

    // The rows must all be there before anything the size of the picture is allocated.
    size_t pitch = size_t(PaddedRowBytes(int(width), bits));
    if (bitsOffset > size || size - bitsOffset < pitch * size_t(height)) RaiseDamaged();
    TPicture picture(int(width), int(height), bits);
    if (bits <= 8) {
        size_t tableSize = size_t(1) << bits;
        size_t stored = colourCount == 0 || colourCount > tableSize ? tableSize : colourCount;
        size_t tableAt = FileHeaderSize + infoSize;
        if (tableAt + stored * entryBytes > size) RaiseDamaged();
        for (size_t i = 0; i < stored; ++i) {
            const uint8_t* entry = data + tableAt + i * entryBytes;
            picture.Palette[i] = RgbColor(entry[2], entry[1], entry[0]);
        }
        for (size_t i = stored; i < tableSize; ++i)
            picture.Palette[i] = 0;
    }
    for (int y = 0; y < int(height); ++y) {
        const uint8_t* source = data + bitsOffset + pitch * size_t(topDown ? y : height - 1 - y);
        std::memcpy(picture.Row(y), source, pitch);
    }
    if (bits == 32) // the fourth byte is ignored by drawing and kept 0
        for (int y = 0; y < int(height); ++y)
            for (int x = 0; x < int(width); ++x)
                picture.Row(y)[x * 4 + 3] = 0;
    return picture;
}

std::vector<uint8_t> EncodeBmp24(const TPicture& picture)
{
    TPicture converted = picture.Bits() == 24 ? picture : picture.ConvertTo(24);
    uint32_t pitch = uint32_t(converted.Pitch());
    uint32_t imageSize = pitch * uint32_t(converted.Height());
    std::vector<uint8_t> out;
    out.reserve(54 + imageSize);
    out.push_back('B');
    out.push_back('M');
    PutU32(out, 54 + imageSize);
    PutU32(out, 0);
    PutU32(out, 54);
    PutU32(out, 40);
    PutU32(out, uint32_t(converted.Width()));
    PutU32(out, uint32_t(converted.Height()));
    PutU16(out, 1);
    PutU16(out, 24);
    PutU32(out, BiRgb);
    PutU32(out, imageSize);
    PutU32(out, 2835); // 72 dpi
    PutU32(out, 2835);
    PutU32(out, 0);
    PutU32(out, 0);
    for (int y = converted.Height() - 1; y >= 0; --y)
        out.insert(out.end(), converted.Row(y), converted.Row(y) + pitch);
    return out;
}

} // namespace ruko
