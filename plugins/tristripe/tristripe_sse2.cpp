// SSE2 row kernel of the RGB-stripe plugin: eight columns per step.
#include <emmintrin.h>

#include "tristripe_core.h"
#include "tristripe_sse2_math.h"

namespace pellix {
namespace tristripe {

namespace {

inline __m128i load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Eight columns starting at k: bright/dim interleaved into the N bd rows, dim/dim into
// the dd row when there is one. N and the dd row are template parameters so that the
// stores of each row pattern are straight-line code.
template <uint32_t N, bool kDimRow>
inline void storeEight(uint8_t* const* bd, uint8_t* dd, uint32_t k, __m128i bright, __m128i dim) {
    const __m128i bdLo = _mm_unpacklo_epi16(bright, dim), bdHi = _mm_unpackhi_epi16(bright, dim);
    for (uint32_t r = 0; r < N; ++r) {
        store16(bd[r] + 4 * size_t{k}, bdLo);
        store16(bd[r] + 4 * size_t{k} + 16, bdHi);
    }
    if (kDimRow) {
        store16(dd + 4 * size_t{k}, _mm_unpacklo_epi16(dim, dim));
        store16(dd + 4 * size_t{k} + 16, _mm_unpackhi_epi16(dim, dim));
    }
}

}  // namespace

// Eight columns per step, from the source pixels alone, all in 16-bit lanes:
//
//   left  = pixels k-1 .. k+6      centre = pixels k .. k+7      right = pixels k+1 .. k+8
//   sX    = level1_X(centre) + bleed_X(left) + bleed_X(right)     (X = R, G, B)
//   B     = redField(bI(sR), 32) | greenField(bI(sG), 32) | blueField(bI(sB), 32)
//   D     = redField(dI(sR), 16) | greenField(dI(sG), 16) | blueField(dI(sB), 16)
//   bd row: B0 D0 B1 D1 ...      dd row: D0 D0 D1 D1 ...
//
// This is decomposeRow followed by stripePixels with the row arrays kept in registers:
// the levels of a step's columns are rule 1 (every step lies before w4), and a bleed is
// the same under both rules, so a neighbour in the rule-2 tail needs no table. Beyond
// either end of the row the neighbour is a zero lane shifted in, which is the zero
// bleed of the borders. No load reaches outside pixels 0 .. w-1. The columns after the
// last step (at most 7 + 3) go through the plain path's decomposition and
// stripePixels, from column k-1 on so that their left bleed is in the row arrays.
namespace {

template <uint32_t N, bool kDimRow>
inline void stripeStep(uint8_t* const* bd, uint8_t* dd, uint32_t k, __m128i left, __m128i centre, __m128i right) {
    __m128i r, g, b, nr, ng, nb;
    levelsRule1_v(centre, r, g, b);
    neighbourBleeds_v(left, right, nr, ng, nb);
    r = _mm_add_epi16(r, nr);
    g = _mm_add_epi16(g, ng);
    b = _mm_add_epi16(b, nb);
    storeEight<N, kDimRow>(bd, dd, k, brightPixel_v(r, g, b), dimPixel_v(r, g, b));
}

template <uint32_t N, bool kDimRow>
void stripeRowN(const uint8_t* row, const StripeTargets& t, uint32_t w) {
    uint8_t* bd[4];  // local copies: the stores cannot alias them
    for (uint32_t r = 0; r < 4; ++r) bd[r] = t.bd[r];
    uint8_t* const dd = t.dd;
    const uint32_t w4 = w & ~3u;
    // Steps at k with k + 8 <= w4 load their right neighbours while k + 8 < w; a step
    // ending exactly at w (w4 == w) shifts in the zero border instead.
    const uint32_t loadEnd = w4 == w ? w - 1 : w4;
    uint32_t k = 0;
    if (w4 >= 8) {
        const __m128i centre = load16(row);
        const __m128i right = w > 8 ? load16(row + 2) : _mm_srli_si128(centre, 2);
        stripeStep<N, kDimRow>(bd, dd, 0, _mm_slli_si128(centre, 2), centre, right);
#pragma GCC unroll 2
        for (k = 8; k + 8 <= loadEnd; k += 8) {
            const uint8_t* p = row + 2 * size_t{k};
            stripeStep<N, kDimRow>(bd, dd, k, load16(p - 2), load16(p), load16(p + 2));
        }
        if (k + 8 == w && w4 == w) {
            const __m128i c = load16(row + 2 * size_t{k});
            stripeStep<N, kDimRow>(bd, dd, k, load16(row + 2 * size_t{k} - 2), c, _mm_srli_si128(c, 2));
            k += 8;
        }
    }
    if (k < w) {
        decomposeColumns(row, k == 0 ? 0 : k - 1, w);
        for (; k < w; ++k) storeStripePair(t, k, stripePixels(k));
    }
}

}  // namespace

void stripeRow_sse2(const uint8_t* row, const StripeTargets& t, uint32_t w) {
    using Kernel = void (*)(const uint8_t*, const StripeTargets&, uint32_t);
    static constexpr Kernel kKernels[2][5] = {
        {stripeRowN<0, false>, stripeRowN<1, false>, stripeRowN<2, false>, stripeRowN<3, false>,
         stripeRowN<4, false>},
        {stripeRowN<0, true>, stripeRowN<1, true>, stripeRowN<2, true>, stripeRowN<3, true>, stripeRowN<4, true>},
    };
    kKernels[t.dd != nullptr][t.bdCount < 4 ? t.bdCount : 4](row, t, w);
}

}  // namespace tristripe
}  // namespace pellix
