// SSE2 row kernels of the RGB-stripe plugin: sixteen columns per step.
#include <emmintrin.h>

#include "tristripe_core.h"
#include "tristripe_sse2_math.h"

namespace pellix {
namespace tristripe {

namespace {

inline __m128i load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

inline void storeLevelsAndBleed(uint8_t* level, uint8_t* bleed, __m128i lo, __m128i hi) {
    const __m128i v = _mm_packus_epi16(lo, hi);  // levels <= 255: never saturates
    store16(level, v);
    store16(bleed, _mm_and_si128(_mm_srli_epi16(v, 3), _mm_set1_epi8(0x1F)));
}

// Channel sums of sixteen columns as two halves of eight 16-bit lanes. The two bleeds
// (<= 31 each) are added as bytes first.
inline void channelSums(const uint8_t* level, const uint8_t* bleed, uint32_t k, __m128i& lo, __m128i& hi) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i l = load16(level + k + 1);
    const __m128i b = _mm_add_epi8(load16(bleed + k), load16(bleed + k + 2));
    lo = _mm_add_epi16(_mm_unpacklo_epi8(l, zero), _mm_unpacklo_epi8(b, zero));
    hi = _mm_add_epi16(_mm_unpackhi_epi8(l, zero), _mm_unpackhi_epi8(b, zero));
}

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

// Rule 1 on sixteen pixels per step (32 source bytes, unaligned):
//
//   p0 .. p7 | p8 .. p15  -> levelsRule1_v -> packus -> 16 levels at index k+1
//                                        level >> 3 -> 16 bleeds at index k+1
//
// The body stops at M = w & ~15 (<= w4, so it is all rule-1 columns and reads no pixel
// past w-1); decomposeColumns, the plain path's loop, does columns M..w-1.
void decomposeRow_sse2(const uint8_t* row, uint32_t w) {
    if (w == 0) return;
    const uint32_t m = w & ~15u;
    for (uint32_t k = 0; k < m; k += 16) {
        __m128i r0, g0, b0, r1, g1, b1;
        levelsRule1_v(load16(row + 2 * size_t{k}), r0, g0, b0);
        levelsRule1_v(load16(row + 2 * size_t{k} + 16), r1, g1, b1);
        storeLevelsAndBleed(rowRed + k + 1, rowRedBleed + k + 1, r0, r1);
        storeLevelsAndBleed(rowGreen + k + 1, rowGreenBleed + k + 1, g0, g1);
        storeLevelsAndBleed(rowBlue + k + 1, rowBlueBleed + k + 1, b0, b1);
    }
    decomposeColumns(row, m, w);
}

// Sixteen columns per step, all in 16-bit lanes:
//
//   sX = rowX[k+1 ..] + rowXBleed[k ..] + rowXBleed[k+2 ..]     (X = R, G, B)
//   B  = redField(bI(sR), 32) | greenField(bI(sG), 32) | blueField(bI(sB), 32)
//   D  = redField(dI(sR), 16) | greenField(dI(sG), 16) | blueField(dI(sB), 16)
//   bd row: B0 D0 B1 D1 ...      dd row: D0 D0 D1 D1 ...
//
// The body stops at M = w & ~15: its widest read is rowXBleed[M+1] <= [w+1], the
// right border; columns M..w-1 take the plain path's per-column table lookups.
namespace {

template <uint32_t N, bool kDimRow>
void emitStripesN(const StripeTargets& t, uint32_t w) {
    uint8_t* bd[4];  // local copies: the stores cannot alias them
    for (uint32_t r = 0; r < 4; ++r) bd[r] = t.bd[r];
    uint8_t* const dd = t.dd;
    const uint32_t m = w & ~15u;
    for (uint32_t k = 0; k < m; k += 16) {
        __m128i rLo, rHi, gLo, gHi, bLo, bHi;
        channelSums(rowRed, rowRedBleed, k, rLo, rHi);
        channelSums(rowGreen, rowGreenBleed, k, gLo, gHi);
        channelSums(rowBlue, rowBlueBleed, k, bLo, bHi);
        storeEight<N, kDimRow>(bd, dd, k, brightPixel_v(rLo, gLo, bLo), dimPixel_v(rLo, gLo, bLo));
        storeEight<N, kDimRow>(bd, dd, k + 8, brightPixel_v(rHi, gHi, bHi), dimPixel_v(rHi, gHi, bHi));
    }
    for (uint32_t k = m; k < w; ++k) storeStripePair(t, k, stripePixels(k));
}

}  // namespace

void emitStripes_sse2(const StripeTargets& t, uint32_t w) {
    using Kernel = void (*)(const StripeTargets&, uint32_t);
    static constexpr Kernel kKernels[2][5] = {
        {emitStripesN<0, false>, emitStripesN<1, false>, emitStripesN<2, false>, emitStripesN<3, false>,
         emitStripesN<4, false>},
        {emitStripesN<0, true>, emitStripesN<1, true>, emitStripesN<2, true>, emitStripesN<3, true>,
         emitStripesN<4, true>},
    };
    kKernels[t.dd != nullptr][t.bdCount < 4 ? t.bdCount : 4](t, w);
}

}  // namespace tristripe
}  // namespace pellix
