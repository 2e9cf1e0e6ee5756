// The window pictures are JPEG files beside the program, decoded with libjpeg.
#pragma once

#include <QImage>
#include <string>

// The decoded picture, or a null image when the file is missing or broken.
QImage LoadJpegPicture(const std::string& path);

// Same, from bytes in memory.
QImage DecodeJpeg(const unsigned char* data, size_t size);
