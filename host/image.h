// An RGB565 image in one tightly packed block (pitch = 2 * width bytes).
#ifndef PELLIX_HOST_IMAGE_H
#define PELLIX_HOST_IMAGE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pellix {
namespace host {

struct Image565 {
    uint32_t width = 0, height = 0;
    std::vector<uint16_t> pixels;

    Image565() = default;
    Image565(uint32_t w, uint32_t h) : width(w), height(h), pixels(size_t{w} * h) {}
    uint32_t pitch() const { return 2 * width; }
    uint16_t at(uint32_t x, uint32_t y) const { return pixels[size_t{y} * width + x]; }
    uint16_t& at(uint32_t x, uint32_t y) { return pixels[size_t{y} * width + x]; }
};

// 8-bit channels to RGB565, each rounded to the nearest level (c * 31 / 255 and
// c * 63 / 255, rounded), so 8-bit values made by bit replication come back exactly.
uint16_t packRgb565(uint32_t r, uint32_t g, uint32_t b);

// RGB565 to 8-bit channels by bit replication: 5 bits abcde give abcdeabc, 6 bits
// abcdef give abcdefab, so 0 maps to 0 and the top level to 255.
void unpackRgb565(uint16_t p, uint8_t rgb[3]);

}  // namespace host
}  // namespace pellix

#endif
