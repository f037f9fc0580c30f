// Row kernels of the channel-split filter. Each source pixel p at column x becomes
//
//     upper row (2y):    p & 0xF800   p & 0x07E0      red alone, green alone
//     lower row (2y+1):  p & 0x001F   p               blue alone, whole pixel
//
// in output columns 2x and 2x+1. The vector body covers columns 0 .. M-1 with
// M = W & ~7; the tail columns M .. W-1 go through splitPixel, the same helper the
// plain path uses for every column.
#ifndef PELLIX_QUADRIX_KERNELS_H
#define PELLIX_QUADRIX_KERNELS_H

#include <cstdint>
#include <cstring>

namespace pellix {
namespace quadrix {

constexpr uint16_t kRedMask = 0xF800;
constexpr uint16_t kGreenMask = 0x07E0;
constexpr uint16_t kBlueMask = 0x001F;

// One 32-bit store per output row: the left pixel in the low half, the right one in
// the high half (pixels are little-endian in memory).
static inline void splitPixel(const uint8_t* src, uint32_t x, uint8_t* upper, uint8_t* lower) {
    uint16_t p;
    std::memcpy(&p, src + 2 * size_t{x}, 2);
    const uint32_t q = p;
    const uint32_t top = (q & kRedMask) | ((q & kGreenMask) << 16);
    const uint32_t bottom = (q & kBlueMask) | (q << 16);
    std::memcpy(upper + 4 * size_t{x}, &top, 4);
    std::memcpy(lower + 4 * size_t{x}, &bottom, 4);
}

void splitRow_c(const uint8_t* src, uint32_t w, uint8_t* upper, uint8_t* lower);
#if defined(PELLIX_HAVE_SSE2)
void splitRow_sse2(const uint8_t* src, uint32_t w, uint8_t* upper, uint8_t* lower);
#endif

}  // namespace quadrix
}  // namespace pellix

#endif
