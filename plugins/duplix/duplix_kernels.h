// Row kernels of the pixel doubler. Each source pixel p at column x becomes
//
//     row A (2y):    p p      pixels 2x, 2x+1
//     row B (2y+1):  p p
//
// The vector body covers columns 0 .. M-1 with M = W & ~7; the tail columns M .. W-1
// go through doublePixel, the same helper the plain path uses for every column.
#ifndef PELLIX_DUPLIX_KERNELS_H
#define PELLIX_DUPLIX_KERNELS_H

#include <cstdint>
#include <cstring>

namespace pellix {
namespace duplix {

// One 32-bit store per output row holding p in both halves.
static inline void doublePixel(const uint8_t* src, uint32_t x, uint8_t* rowA, uint8_t* rowB) {
    uint16_t p;
    std::memcpy(&p, src + 2 * size_t{x}, 2);
    const uint32_t pair = p | (uint32_t{p} << 16);
    std::memcpy(rowA + 4 * size_t{x}, &pair, 4);
    std::memcpy(rowB + 4 * size_t{x}, &pair, 4);
}

void doubleRow_c(const uint8_t* src, uint32_t w, uint8_t* rowA, uint8_t* rowB);
#if defined(PELLIX_HAVE_SSE2)
void doubleRow_sse2(const uint8_t* src, uint32_t w, uint8_t* rowA, uint8_t* rowB);
#endif

}  // namespace duplix
}  // namespace pellix

#endif
