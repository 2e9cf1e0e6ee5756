#include "app/jpeg_picture.h"

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// libjpeg's default handler ends the process; a broken picture must only
// leave the window without it.
void OnError(j_common_ptr info) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr, int) {}

}  // namespace

namespace {

// Only the pointers given in are used after setjmp, so a long jump out of
// libjpeg leaves nothing of this frame undefined.
bool Decode(jpeg_decompress_struct* info, ErrorManager* err, const unsigned char* data, size_t size, QImage* out) {
    if (setjmp(err->jump)) return false;
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) return false;
    info->out_color_space = JCS_RGB;
    jpeg_start_decompress(info);
    if (info->output_components != 3 || info->output_width == 0 || info->output_height == 0 ||
        info->output_width > 8192 || info->output_height > 8192)
        return false;
    *out = QImage(static_cast<int>(info->output_width), static_cast<int>(info->output_height), QImage::Format_RGB888);
    if (out->isNull()) return false;
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = out->scanLine(static_cast<int>(info->output_scanline));
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

}  // namespace

QImage DecodeJpeg(const unsigned char* data, size_t size) {
    if (!data || size == 0) return {};
    jpeg_decompress_struct info{};
    ErrorManager err{};
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    jpeg_create_decompress(&info);
    QImage image;
    bool ok = Decode(&info, &err, data, size, &image);
    jpeg_destroy_decompress(&info);
    return ok ? image : QImage();
}

QImage LoadJpegPicture(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return DecodeJpeg(bytes.data(), bytes.size());
}
