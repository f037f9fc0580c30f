// SSE2 body of the channel-split filter: eight source pixels per step.
//
//   load   p0 p1 p2 p3 p4 p5 p6 p7          (16 bytes, unaligned)
//   lo  =  p0 p0 p1 p1 p2 p2 p3 p3          unpacklo_epi16(v, v)
//   hi  =  p4 p4 p5 p5 p6 p6 p7 p7          unpackhi_epi16(v, v)
//   upper row at pixel 2x:  lo & U, hi & U  U = F800 07E0 F800 07E0 ...  (red, green)
//   lower row at pixel 2x:  lo & L, hi & L  L = 001F FFFF 001F FFFF ...  (blue, whole)
//
// Lane i of a store lands in the output pixel i places right of the store's first
// pixel, so even lanes fill column 2x and odd lanes column 2x+1 of each cell.
// The body stops at M = W & ~7, so it never reads past the row's last pixel.
#include <emmintrin.h>

#include "quadrix_kernels.h"

namespace pellix {
namespace quadrix {

namespace {

// Lane masks as the low and high 16 bits of one 32-bit lane (even lane low).
constexpr int kUpperPair = static_cast<int>(uint32_t{kRedMask} | (uint32_t{kGreenMask} << 16));
constexpr int kLowerPair = static_cast<int>(uint32_t{kBlueMask} | (uint32_t{0xFFFF} << 16));

}  // namespace

void splitRow_sse2(const uint8_t* src, uint32_t w, uint8_t* upper, uint8_t* lower) {
    const __m128i upperMask = _mm_set1_epi32(kUpperPair);
    const __m128i lowerMask = _mm_set1_epi32(kLowerPair);
    const uint32_t m = w & ~7u;
    for (uint32_t x = 0; x < m; x += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * size_t{x}));
        const __m128i lo = _mm_unpacklo_epi16(v, v);
        const __m128i hi = _mm_unpackhi_epi16(v, v);
        __m128i* a = reinterpret_cast<__m128i*>(upper + 4 * size_t{x});
        __m128i* b = reinterpret_cast<__m128i*>(lower + 4 * size_t{x});
        _mm_storeu_si128(a, _mm_and_si128(lo, upperMask));
        _mm_storeu_si128(a + 1, _mm_and_si128(hi, upperMask));
        _mm_storeu_si128(b, _mm_and_si128(lo, lowerMask));
        _mm_storeu_si128(b + 1, _mm_and_si128(hi, lowerMask));
    }
    for (uint32_t x = m; x < w; ++x) splitPixel(src, x, upper, lower);
}

}  // namespace quadrix
}  // namespace pellix
