#include "graphics/png.h"

#include "base/error.h"
#include "io/fields.h"

#include <png.h>

#include <algorithm>
#include <cstring>

namespace ruko {

namespace {

// The simplified libpng interface keeps its state in `image`; this frees it on every path.
struct TPngImage
{
    png_image image{};
    TPngImage() { image.version = PNG_IMAGE_VERSION; }
    ~TPngImage() { png_image_free(&image); }
};

std::vector<uint8_t> WriteImage(TPngImage& png, const void* pixels, png_int_32 rowStride)
{
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png.image, nullptr, &size, 0, pixels, rowStride, nullptr))
        RaiseError(png.image.message);
    std::vector<uint8_t> bytes(size);
    if (!png_image_write_to_memory(&png.image, bytes.data(), &size, 0, pixels, rowStride, nullptr))
        RaiseError(png.image.message);
    bytes.resize(size);
    return bytes;
}

uint32_t BigEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// True when the image data chunks could inflate to the rows the header promises (deflate expands
// at most about 1032:1): a tiny file claiming a huge picture is refused before it is allocated.
bool RowsFitTheData(const uint8_t* data, size_t size)
{
    if (size < 33) return false;
    int64_t width = BigEndian32(data + 16), height = BigEndian32(data + 20);
    int depth = data[24], colourType = data[25];
    int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    // Filter bytes left out, so that interlaced rows are not over-counted either.
    int64_t rowBytes = height * (width * channels * depth / 8);
    int64_t stored = 0;
    for (size_t at = 8; at + 12 <= size;) {
        uint32_t length = BigEndian32(data + at);
        // What a chunk claims beyond the end of the file is not there to inflate.
        if (!std::memcmp(data + at + 4, "IDAT", 4)) stored += std::min<uint64_t>(length, size - (at + 8));
        at += 12 + size_t(length);
    }
    return rowBytes <= stored * 1032 + 1024;
}

} // namespace

bool IsPngData(const uint8_t* data, size_t size)
{
    return size >= 8 && !png_sig_cmp(data, 0, 8);
}

TDecodedPicture DecodePng(const uint8_t* data, size_t size)
{
    TPngImage png;
    if (!png_image_begin_read_from_memory(&png.image, data, size)) RaiseDamaged();
    if (png.image.width < 1 || png.image.height < 1 || png.image.width > MaxPictureSide ||
        png.image.height > MaxPictureSide || !RowsFitTheData(data, size))
        RaiseDamaged();
    int width = int(png.image.width), height = int(png.image.height);
    TDecodedPicture result;
    if (png.image.format & PNG_FORMAT_FLAG_ALPHA) {
        png.image.format = PNG_FORMAT_BGRA;
        std::vector<uint8_t> bgra(size_t(width) * height * 4);
        if (!png_image_finish_read(&png.image, nullptr, bgra.data(), width * 4, nullptr)) RaiseDamaged();
        result.Picture = TPicture(width, height, 24);
        result.Alpha = TPicture(width, height, 8);
        for (int y = 0; y < height; ++y) {
            const uint8_t* source = bgra.data() + size_t(y) * width * 4;
            uint8_t* colour = result.Picture.Row(y);
            uint8_t* alpha = result.Alpha->Row(y);
            for (int x = 0; x < width; ++x, source += 4) {
                std::memcpy(colour + x * 3, source, 3);
                alpha[x] = source[3];
            }
        }
    } else {
        png.image.format = PNG_FORMAT_BGR;
        result.Picture = TPicture(width, height, 24);
        if (!png_image_finish_read(&png.image, nullptr, result.Picture.Bytes().data(), result.Picture.Pitch(),
                                   nullptr))
            RaiseDamaged();
    }
    return result;
}

std::vector<uint8_t> EncodePng(const TPicture& picture, const TPicture* alpha)
{
    const TPicture* colour = &picture;
    TPicture converted;
    if (picture.Bits() != 24) {
        converted = picture.ConvertTo(24);
        colour = &converted;
    }
    TPngImage png;
    png.image.width = uint32_t(colour->Width());
    png.image.height = uint32_t(colour->Height());
    if (!alpha) {
        png.image.format = PNG_FORMAT_BGR;
        return WriteImage(png, colour->Bytes().data(), colour->Pitch());
    }
    png.image.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> bgra(size_t(colour->Width()) * colour->Height() * 4);
    uint8_t* target = bgra.data();
    for (int y = 0; y < colour->Height(); ++y) {
        const uint8_t* source = colour->Row(y);
        const uint8_t* plane = alpha->Row(y);
        for (int x = 0; x < colour->Width(); ++x, target += 4) {
            std::memcpy(target, source + x * 3, 3);
            target[3] = plane[x];
        }
    }
    return WriteImage(png, bgra.data(), colour->Width() * 4);
}

std::vector<uint8_t> EncodePngXrgb(int width, int height, const uint32_t* pixels, ptrdiff_t pitch)
{
    TPngImage png;
    png.image.width = uint32_t(width);
    png.image.height = uint32_t(height);
    png.image.format = PNG_FORMAT_BGR;
    std::vector<uint8_t> bgr(size_t(width) * height * 3);
    uint8_t* target = bgr.data();
    for (int y = 0; y < height; ++y) {
        const uint32_t* row =
            reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(pixels) + y * pitch);
        for (int x = 0; x < width; ++x, target += 3) {
            target[0] = uint8_t(row[x]);
            target[1] = uint8_t(row[x] >> 8);
            target[2] = uint8_t(row[x] >> 16);
        }
    }
    return WriteImage(png, bgr.data(), width * 3);
}

} // namespace ruko
