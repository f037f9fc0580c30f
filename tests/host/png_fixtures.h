// PNG files for the host tests, written and read with libpng directly.
#ifndef PELLIX_TEST_PNG_FIXTURES_H
#define PELLIX_TEST_PNG_FIXTURES_H

#include <cstdint>
#include <string>
#include <vector>

namespace pellix {
namespace test {

// One PNG as libpng lays it out: `samples` holds every row's samples (channels
// interleaved, palette indices for palette images), one value per sample at the file's
// bit depth; they are packed on writing.
struct PngSpec {
    uint32_t width = 0, height = 0;
    int colorType = 2;  // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<uint32_t> samples;
    std::vector<uint8_t> paletteRgb;  // 3 bytes per entry
    std::vector<uint8_t> trns;        // alpha per palette entry
    bool colourKey = false;           // tRNS for grey/RGB: this one colour is transparent
    uint16_t keyRgb[3] = {0, 0, 0};   // grey uses keyRgb[0]
};

void writePngFile(const std::string& path, const PngSpec& spec);

// An 8-bit RGB PNG of RGB565 pixels widened by bit replication (so the host reads the
// same pixels back).
PngSpec rgbSpec(uint32_t w, uint32_t h, const std::vector<uint16_t>& px);

struct Decoded {
    uint32_t width = 0, height = 0;
    std::vector<uint16_t> px;  // RGB565
    std::string error;         // empty when decoding worked
};

// Decodes an 8-bit RGB PNG written by the host and narrows it to RGB565. Sets `error`
// when the bytes are no PNG or a channel value is not a bit-replicated 5/6-bit level.
Decoded decodeHostPng(const std::string& bytes);

uint16_t rgbTo565Exact(uint8_t r, uint8_t g, uint8_t b);
void expand565(uint16_t p, uint8_t rgb[3]);

// Pseudo-random RGB565 pixels with a few repeated colours mixed in.
std::vector<uint16_t> samplePixels(uint32_t w, uint32_t h, uint32_t seed);

}  // namespace test
}  // namespace pellix

#endif
