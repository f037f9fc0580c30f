// SSE2 body of the pixel doubler: eight source pixels per step.
//
//   load   p0 p1 p2 p3 p4 p5 p6 p7          (16 bytes, unaligned)
//   lo  =  p0 p0 p1 p1 p2 p2 p3 p3          unpacklo_epi16(v, v)
//   hi  =  p4 p4 p5 p5 p6 p6 p7 p7          unpackhi_epi16(v, v)
//   store lo, hi at pixel 2x of row A (32 bytes)
//
// Row B is then a copy of row A's body: the library copy writes whole cache lines
// without reading them first, which plain vector stores cannot, so big frames run
// faster than storing both rows from registers.
//
// The body stops at M = W & ~7, so it never reads past the row's last pixel.
#include <emmintrin.h>

#include "duplix_kernels.h"

namespace pellix {
namespace duplix {

void doubleRow_sse2(const uint8_t* src, uint32_t w, uint8_t* rowA, uint8_t* rowB) {
    const uint32_t m = w & ~7u;
    for (uint32_t x = 0; x < m; x += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * size_t{x}));
        const __m128i lo = _mm_unpacklo_epi16(v, v);
        const __m128i hi = _mm_unpackhi_epi16(v, v);
        __m128i* a = reinterpret_cast<__m128i*>(rowA + 4 * size_t{x});
        _mm_storeu_si128(a, lo);
        _mm_storeu_si128(a + 1, hi);
    }
    std::memcpy(rowB, rowA, 4 * size_t{m});
    for (uint32_t x = m; x < w; ++x) doublePixel(src, x, rowA, rowB);
}

}  // namespace duplix
}  // namespace pellix
