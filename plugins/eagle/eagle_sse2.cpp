// SSE2 steps of the Eagle line builder: eight source pixels per step, eight windows.
//
//   cur = A[x] .. A[x+7]                 one 16-byte load per row
//   a   = A[x-1] .. A[x+6]               cur shifted up one lane, the previous step's
//                                        A[x-1] (the carried pixel) shifted into lane 0
//   b   = cur                            (c, d likewise from row B)
//
// Lane i is the window on columns x-1+i, x+i, so a step fills entries 2x .. 2x+15 of
// both lines; the window on its last pixel is the next step's lane 0.
//
//   ab = a==b  cd = c==d  bc = b==c  ac = a==c  bd = b==d     (cmpeq_epi16)
//   bottom-right of a = sel(bc & cd, b, a)     bottom-left of b = sel(ac & cd, c, b)
//   top-right of c    = sel(ab & bd, a, c)     top-left of d    = sel(ab & bc, a, d)
//   sel(m, p, q) = (m & p) | (~m & q)
//
// The results are interleaved (unpacklo/hi_epi16) into eight entries per line per half
// and stored at 32-byte-aligned offsets of the lines. Only whole steps of the row are
// loaded, so nothing past the row's last pixel is read.
#include <emmintrin.h>

#include "eagle_kernels.h"

namespace pellix {
namespace eagle {

static inline __m128i sel(__m128i m, __m128i p, __m128i q) {
    return _mm_or_si128(_mm_and_si128(m, p), _mm_andnot_si128(m, q));
}

uint32_t eagleSteps_sse2(const uint8_t* rowA, const uint8_t* rowB, uint32_t n, uint16_t carryA, uint16_t carryB,
                         uint16_t* upLine, uint16_t* loLine) {
    const uint32_t steps = n / 8;
    // The carried pixels sit in lane 7, where the previous step's last pixel would be.
    __m128i prevA = _mm_slli_si128(_mm_cvtsi32_si128(carryA), 14);
    __m128i prevB = _mm_slli_si128(_mm_cvtsi32_si128(carryB), 14);
    for (uint32_t g = 0; g < steps; ++g) {
        const __m128i curA = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowA + 16 * size_t{g}));
        const __m128i curB = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowB + 16 * size_t{g}));
        const __m128i a = _mm_or_si128(_mm_slli_si128(curA, 2), _mm_srli_si128(prevA, 14));
        const __m128i c = _mm_or_si128(_mm_slli_si128(curB, 2), _mm_srli_si128(prevB, 14));
        const __m128i b = curA, d = curB;

        const __m128i ab = _mm_cmpeq_epi16(a, b), cd = _mm_cmpeq_epi16(c, d), bc = _mm_cmpeq_epi16(b, c);
        const __m128i ac = _mm_cmpeq_epi16(a, c), bd = _mm_cmpeq_epi16(b, d);
        const __m128i bottomRightA = sel(_mm_and_si128(bc, cd), b, a);
        const __m128i bottomLeftB = sel(_mm_and_si128(ac, cd), c, b);
        const __m128i topRightC = sel(_mm_and_si128(ab, bd), a, c);
        const __m128i topLeftD = sel(_mm_and_si128(ab, bc), a, d);

        __m128i* up = reinterpret_cast<__m128i*>(upLine + 16 * size_t{g});
        __m128i* lo = reinterpret_cast<__m128i*>(loLine + 16 * size_t{g});
        _mm_store_si128(up, _mm_unpacklo_epi16(bottomRightA, bottomLeftB));
        _mm_store_si128(up + 1, _mm_unpackhi_epi16(bottomRightA, bottomLeftB));
        _mm_store_si128(lo, _mm_unpacklo_epi16(topRightC, topLeftD));
        _mm_store_si128(lo + 1, _mm_unpackhi_epi16(topRightC, topLeftD));
        prevA = curA;
        prevB = curB;
    }
    return 8 * steps;
}

}  // namespace eagle
}  // namespace pellix
