#include "platform/pngfile.h"

#include <png.h>

#include <csetjmp>

#include "base/fileio.h"

namespace ruko {
namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

void NoFlush(png_structp) {}

} // namespace

bool WriteFramePng(const std::string& hostPath, const TFrameView& frame, std::string* why)
{
    if (!frame.Pixels || frame.Width <= 0 || frame.Height <= 0) {
        if (why) *why = "empty frame";
        return false;
    }
    std::string bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        if (why) *why = "out of memory";
        return false;
    }
    std::vector<png_byte> row(static_cast<size_t>(frame.Width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        if (why) *why = "PNG encoding failed";
        return false;
    }
    png_set_write_fn(png, &bytes, AppendBytes, NoFlush);
    png_set_IHDR(png, info, frame.Width, frame.Height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    for (int y = 0; y < frame.Height; ++y) {
        const auto* src = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(frame.Pixels) +
                                                            static_cast<size_t>(y) * frame.PitchBytes);
        for (int x = 0; x < frame.Width; ++x) {
            row[x * 3 + 0] = static_cast<png_byte>(src[x] >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(src[x] >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(src[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (!WriteHostFileAtomic(hostPath, bytes)) {
        if (why) *why = "cannot write " + hostPath;
        return false;
    }
    return true;
}

bool ReadFramePng(const std::string& hostPath, std::vector<uint32_t>& pixels, int& width, int& height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, hostPath.c_str())) return false;
    image.format = PNG_FORMAT_BGRA; // little-endian 0xAARRGGBB words
    std::vector<uint32_t> buffer(static_cast<size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    for (uint32_t& p : buffer)
        p &= 0x00FFFFFF;
    pixels = std::move(buffer);
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}

} // namespace ruko
