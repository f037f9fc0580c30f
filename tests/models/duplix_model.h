// Reference model of the pixel doubler: every source pixel becomes a 2x2 block.
#ifndef PELLIX_MODEL_DUPLIX_H
#define PELLIX_MODEL_DUPLIX_H

#include <vector>

#include "frames.h"

namespace pellix {
namespace model {

inline std::vector<uint16_t> duplix(const test::SourceImage& s) {
    const size_t ow = 2 * size_t{s.width};
    std::vector<uint16_t> out(ow * 2 * s.height);
    for (uint32_t y = 0; y < 2 * s.height; ++y)
        for (uint32_t x = 0; x < ow; ++x) out[y * ow + x] = s.at(x / 2, y / 2);
    return out;
}

}  // namespace model
}  // namespace pellix

#endif
