// PNG files to and from RGB565 images.
#ifndef PELLIX_HOST_PNG_IO_H
#define PELLIX_HOST_PNG_IO_H

#include <cstdint>
#include <string>
#include <vector>

#include "image.h"

namespace pellix {
namespace host {

// Decodes any PNG (palette, grey, 1 to 16 bits per channel, with or without alpha,
// interlaced or not) into RGB565. Alpha is composited over black; 16-bit channels are
// scaled to 8 bits with rounding. `name` labels the errors (Failure).
Image565 decodePng(const std::vector<uint8_t>& bytes, const std::string& name);

// Encodes an RGB565 image as an 8-bit RGB PNG, channels expanded by bit replication.
std::vector<uint8_t> encodePng(const Image565& img);

Image565 readPng(const std::string& path);                   // "-" reads standard input
void writePng(const std::string& path, const Image565& img);  // "-" writes standard output

}  // namespace host
}  // namespace pellix

#endif
