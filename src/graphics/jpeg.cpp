#include "graphics/jpeg.h"

#include "base/error.h"
#include "io/fields.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace ruko {

namespace {

// libjpeg reports failures through error_exit, which must not return: jump back to the call
// and raise there, after libjpeg's state is destroyed.
struct TJpegError
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JumpOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<TJpegError*>(info->err)->jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

// A progressive stream can hold thousands of tiny scans, each a pass over the whole picture: a
// few hundred bytes could keep the decoder busy for minutes. No encoder writes this many.
constexpr int MaxScans = 500;

void LimitScans(j_common_ptr info)
{
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > MaxScans)
        std::longjmp(reinterpret_cast<TJpegError*>(info->err)->jump, 1);
}

// Decodes into `picture` (already empty); false when libjpeg failed or the size is out of range
// or, when `width` is not 0, differs from width × height: nothing is allocated for a wrong size.
// No object with a destructor lives in this frame, so the longjmp skips nothing.
bool DecodeInto(const uint8_t* data, size_t size, int width, int height, TPicture& picture)
{
    jpeg_decompress_struct info;
    TJpegError error;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = LimitScans;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JumpOnError;
    error.manager.output_message = IgnoreMessage;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    info.progress = &progress;
    info.mem->max_memory_to_use = 512L << 20;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (info.image_width < 1 || info.image_height < 1 || info.image_width > MaxPictureSide ||
        info.image_height > MaxPictureSide ||
        (width != 0 && (info.image_width != JDIMENSION(width) || info.image_height != JDIMENSION(height)))) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    picture = TPicture(int(info.output_width), int(info.output_height), 24);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture.Row(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool EncodeFrom(const TPicture& picture, int quality, unsigned char** buffer, unsigned long* size)
{
    jpeg_compress_struct info;
    TJpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JumpOnError;
    error.manager.output_message = IgnoreMessage;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = JDIMENSION(picture.Width());
    info.image_height = JDIMENSION(picture.Height());
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(picture.Row(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

bool IsJpegData(const uint8_t* data, size_t size)
{
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

TPicture DecodeJpeg(const uint8_t* data, size_t size, int width, int height)
{
    TPicture picture;
    if (size == 0 || !DecodeInto(data, size, width, height, picture)) RaiseDamaged();
    return picture;
}

std::vector<uint8_t> EncodeJpeg(const TPicture& picture, int quality)
{
    TPicture converted = picture.Bits() == 24 ? picture : picture.ConvertTo(24);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool ok = EncodeFrom(converted, quality < 1 ? 1 : quality > 100 ? 100 : quality, &buffer, &size);
    std::vector<uint8_t> bytes;
    if (ok) bytes.assign(buffer, buffer + size);
    std::free(buffer);
    if (!ok) RaiseError("JPEG encoding failed");
    return bytes;
}

} // namespace ruko
