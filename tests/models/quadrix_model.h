// Reference model of the channel-split filter: every source pixel p becomes the cell
//
//     p & 0xF800   p & 0x07E0
//     p & 0x001F   p
#ifndef PELLIX_MODEL_QUADRIX_H
#define PELLIX_MODEL_QUADRIX_H

#include <vector>

#include "frames.h"

namespace pellix {
namespace model {

// Pixel (dx, dy) of the cell of p, dx and dy in {0, 1}.
inline uint16_t quadrixPixel(uint16_t p, unsigned dx, unsigned dy) {
    static const uint16_t masks[2][2] = {{0xF800, 0x07E0}, {0x001F, 0xFFFF}};
    return static_cast<uint16_t>(p & masks[dy][dx]);
}

inline std::vector<uint16_t> quadrix(const test::SourceImage& s) {
    const size_t ow = 2 * size_t{s.width};
    std::vector<uint16_t> out(ow * 2 * s.height);
    for (uint32_t y = 0; y < 2 * s.height; ++y)
        for (uint32_t x = 0; x < ow; ++x) out[y * ow + x] = quadrixPixel(s.at(x / 2, y / 2), x % 2, y % 2);
    return out;
}

}  // namespace model
}  // namespace pellix

#endif
