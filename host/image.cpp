#include "image.h"

namespace pellix {
namespace host {

uint16_t packRgb565(uint32_t r, uint32_t g, uint32_t b) {
    const uint32_t r5 = (r * 31 + 127) / 255;
    const uint32_t g6 = (g * 63 + 127) / 255;
    const uint32_t b5 = (b * 31 + 127) / 255;
    return static_cast<uint16_t>(r5 << 11 | g6 << 5 | b5);
}

void unpackRgb565(uint16_t p, uint8_t rgb[3]) {
    const uint32_t r5 = p >> 11, g6 = (p >> 5) & 0x3F, b5 = p & 0x1F;
    rgb[0] = static_cast<uint8_t>(r5 << 3 | r5 >> 2);
    rgb[1] = static_cast<uint8_t>(g6 << 2 | g6 >> 4);
    rgb[2] = static_cast<uint8_t>(b5 << 3 | b5 >> 2);
}

}  // namespace host
}  // namespace pellix
