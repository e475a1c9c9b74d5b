#include "jpeg_image.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace tarnwick {

namespace {

constexpr JDIMENSION MaxSide = 4096;

// libjpeg's default error handler ends the process; this one jumps back.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf resume;
};

extern "C" void onJpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->resume, 1);
}

extern "C" void onJpegMessage(j_common_ptr) {}

// Everything that needs no destructor, so that the error jump skips nothing.
bool decodeInto(const QByteArray& data, jpeg_decompress_struct& info, ErrorManager& errors,
                QImage& image) {
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onJpegError;
    errors.base.output_message = onJpegMessage;
    if (setjmp(errors.resume)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || info.image_width > MaxSide ||
        info.image_height > MaxSide) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3 || info.output_width != info.image_width ||
        info.output_height != info.image_height) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

// Reads the size first, so that the image exists before the decoding jump
// point.
bool readSize(const QByteArray& data, int& width, int& height) {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onJpegError;
    errors.base.output_message = onJpegMessage;
    if (setjmp(errors.resume)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    const bool ok = jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK &&
                    info.image_width <= MaxSide && info.image_height <= MaxSide;
    width = static_cast<int>(info.image_width);
    height = static_cast<int>(info.image_height);
    jpeg_destroy_decompress(&info);
    return ok;
}

} // namespace

QImage decodeJpeg(const QByteArray& data) {
    if (data.isEmpty()) return {};
    int width = 0;
    int height = 0;
    if (!readSize(data, width, height) || width == 0 || height == 0) return {};
    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull()) return {};
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    if (!decodeInto(data, info, errors, image)) return {};
    return image;
}

} // namespace tarnwick
